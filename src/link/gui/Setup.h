#pragma once

#include "platform/PanelTimers.h"

#include <QDialog>
#include <QTimer>

#include <optional>

class LinkOwner;
class QGroupBox;
class ValueBoard;
class QPushButton;

// The meter clock window: shows the meter's clock beside the PC's and sets the
// meter's from the PC's. Reading the meter stops the panel's timers (through
// the nesting guard) from the first meter refresh on; closing the window,
// however it happens, gives them back. Every exchange holds the link; a
// refresh that finds it held by another exchange waits for the next one, and
// a set request waits until it gets the link or the window closes.
class Setup : public QDialog
{
    Q_OBJECT

public:
    static constexpr int RefreshIntervalMs = 350;

    Setup(LinkOwner &link, PanelTimers &panelTimers, QWidget *panel);
    ~Setup() override;

    bool showMeterTime() const { return m_showMeterTime; }
    bool showPcTime() const { return m_showPcTime; }
    bool refreshRunning() const { return m_refreshing; }
    bool setPending() const { return m_setRequested; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeOverPanel();
    void refresh();
    void setMeterTimeToSystemTime();
    void trySetMeterTime();
    void holdPanelTimersOff();
    void giveTimersBack();

    LinkOwner &m_link;
    PanelTimers &m_panelTimers;
    QWidget *m_panel;

    QGroupBox *m_frameTime;
    ValueBoard *m_lblMeterTime;
    ValueBoard *m_lblPcTime;
    QPushButton *m_cmdSetTime;
    QPushButton *m_cmdExit;
    QTimer m_timer1;
    std::optional<TimersOffGuard> m_panelTimersOff;

    bool m_showMeterTime = false;
    bool m_showPcTime = false;
    bool m_loaded = false;
    bool m_refreshing = false;
    bool m_setRequested = false;
    bool m_closed = false;
};

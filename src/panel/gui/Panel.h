#pragma once

#include "link/LinkOwner.h"
#include "link/MeterReading.h"
#include "live/LiveMeter.h"
#include "live/PanelDisplay.h"
#include "live/PanelEvents.h"
#include "panel/PanelContext.h"
#include "platform/PanelTimers.h"

#include <QElapsedTimer>
#include <QWidget>

#include <functional>
#include <memory>

class ClickableLabel;
class Keypad;
class MeterDisplay;
class PanelToolbar;
class QFrame;
class QLabel;
class ValueBoard;
class QPushButton;
class SerialPort;

// The program's main window: owns the serial port and the panel timers,
// mirrors the meter five times a second, runs the recovery when the meter
// falls silent, and carries the keypad, the tool bar and the areas that the
// recording, statistics, list and graph parts fill.
class Panel : public QWidget
{
    Q_OBJECT

public:
    // Without a port, the panel makes the real serial port.
    explicit Panel(int comPortNumber, std::unique_ptr<SerialPort> port = nullptr,
                   QWidget *parent = nullptr);
    ~Panel() override;

    // Opens the port and starts the timers. On failure shows "No device
    // found, try again!" with the system's reason and returns false; the
    // program then ends, unless the user chose to open data files instead
    // (openFilesChosen()).
    bool startUp();
    bool openFilesChosen() const { return m_openFilesChosen; }

    const PanelContext &context() const { return m_context; }
    const MeterReading &currentReading() const { return m_live->reading(); }
    SerialPort &port() { return *m_port; }
    LinkOwner &link() { return *m_link; }
    // How long ago the newest valid frame was decoded; -1 before the first.
    qint64 frameAgeMs() const;
    PanelTimers &timers() { return m_timers; }
    PanelEvents &events() { return m_events; }

    PanelToolbar *toolbar() const { return m_toolbar; }
    Keypad *keypad() const { return m_keypad; }
    MeterDisplay *meterDisplay() const { return m_meterDisplay; }

    // Containers (with an empty vertical layout) for the other parts.
    QFrame *statisticsArea() const { return m_statisticsArea; }
    QFrame *listArea() const { return m_listArea; }
    QFrame *saveArea() const { return m_saveArea; }
    QFrame *graphsArea() const { return m_graphsArea; }
    QPushButton *leqButton() const { return m_cmdL; }

    // Receives every tool bar click; replaces the built-in handling of the
    // "Up" and "Down" buttons.
    void setToolbarDispatcher(std::function<void(const QString &key)> dispatch);

    // One poll: the tick of Timer1.
    void pollTick();

    bool isClosing() const { return m_closing; }

Q_SIGNALS:
    // The window was closed: the program ends.
    void closed();
    // A frame came and is decoded into currentReading().
    void frameDecoded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildLayout();
    // The panel's usual size, made smaller to fit the screen it is on.
    QSize fittingSize() const;
    QWidget *buildStatusColumn();
    void showDisplay();
    void showLinkState(bool linked);
    // The level the meter showed is no longer known: nothing is sampled.
    void clearShownLevel();
    void toggleCaption();
    void dispatchToolbar(const QString &key);
    void sendRangeCommand(char letter);
    void linkLost();
    void linkBack();
    // Enables the tool bar and keypad by the one rule set.
    void applyControlRules();

    std::unique_ptr<SerialPort> m_port;
    std::unique_ptr<LinkOwner> m_link;
    std::unique_ptr<LiveMeter> m_live;
    PanelTimers m_timers;
    PanelEvents m_events;
    PanelDisplay m_display;
    PanelContext m_context;
    std::function<void(const QString &)> m_dispatch;
    bool m_closing = false;
    bool m_openFilesChosen = false;
    bool m_captionWithDate = false;

    PanelToolbar *m_toolbar = nullptr;
    MeterDisplay *m_meterDisplay = nullptr;
    Keypad *m_keypad = nullptr;
    ValueBoard *m_boardSfi = nullptr;
    ValueBoard *m_boardCa = nullptr;
    ValueBoard *m_boardLevel = nullptr;
    ClickableLabel *m_lblCom = nullptr;
    QFrame *m_statisticsArea = nullptr;
    QFrame *m_listArea = nullptr;
    QFrame *m_saveArea = nullptr;
    QFrame *m_graphsArea = nullptr;
    QPushButton *m_cmdL = nullptr;
};

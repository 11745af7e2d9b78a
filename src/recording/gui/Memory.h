#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class LoggerSetHost;
class PanelTimers;
class QPushButton;
class ValueBoard;
class QTableWidget;
struct LoggerMemorySizes;
struct LoggerSplit;

// The logger memory window: the memory size and free space, the download's
// progress and the list of the data sets of the last download. A click on a
// set shows it in the host's window (the data list).
class Memory : public QWidget
{
    Q_OBJECT

public:
    static QString designedCaption() { return QStringLiteral("Data Logger"); }

    // Opens at the right edge of the live panel and marks the memory window
    // open. A chosen set is shown through the host.
    Memory(QWidget *panel, PanelTimers &timers, LoggerSetHost &host);
    // Marks the memory window closed.
    ~Memory() override;

    // The memory window that is up, if any.
    static Memory *openWindow();

    void showSizes(const LoggerMemorySizes &sizes);
    void showProgress(qint64 received, qint64 expected);
    void showMessage(const QString &text);
    // While a download runs, a Cancel button that calls onCancel; an empty
    // function hides it.
    void offerCancel(std::function<void()> onCancel);
    QPushButton *cancelButton() const { return m_cmdCancel; }
    // One row per set: its number, sampling interval and record count.
    void listSets(const LoggerSplit &split);

    // Decodes the set of the given GridSet row into the host's window.
    void ShowLoggerSet(int row);

    QTableWidget *gridSet() const { return m_gridSet; }
    // The window the last chosen set is shown in, while it is open.
    QWidget *setWindow() const { return m_setWindow; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    ValueBoard *addLabel(const QString &name, const QString &accessibleName, const QString &text);

    QWidget *m_panel;
    PanelTimers &m_timers;
    LoggerSetHost &m_host;
    QTableWidget *m_gridSet;
    ValueBoard *m_lblSize;
    ValueBoard *m_lblRemain;
    ValueBoard *m_lblMessage;
    QPushButton *m_cmdCancel;
    std::function<void()> m_onCancel;
    QPointer<QWidget> m_setWindow;
    bool m_showingSet = false;
};

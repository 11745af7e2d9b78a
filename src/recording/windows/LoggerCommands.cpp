#include "LoggerCommands.h"

#include "Memory.h"
#include "recording/LoggerDownload.h"
#include "recording/LoggerMemory.h"
#include "ui/core/Delay.h"
#include "ui/core/PanelTimers.h"
#include "ui/core/SerialPort.h"
#include "ui/widgets/Dialogs.h"

#include <QPointer>
#include <QScopedValueRollback>

namespace {

constexpr char EraseCommand = 'H';
constexpr double SettleSeconds = 0.02;

MessageIcon iconOf(LoggerDownloadStatus status)
{
    switch (status) {
    case LoggerDownloadStatus::EmptyMemory:
        return MessageIcon::Information;
    case LoggerDownloadStatus::Completed:
        return MessageIcon::Warning;
    default:
        return MessageIcon::Critical;
    }
}

// A download waits inside Delay, where the Memory button can be clicked
// again even after the user closed the new window.
bool s_downloadRunning = false;

} // namespace

Memory *DownloadLoggerMemory(QWidget *panel, SerialPort &port, PanelTimers &timers,
                             LoggerSetHost &host)
{
    LoggerMemory &memory = loggerMemory();
    if (memory.MemoryWindowOpen || s_downloadRunning)
        return nullptr;
    QScopedValueRollback<bool> running(s_downloadRunning, true);
    memory.MemoryWindowOpen = true;
    TimersOffGuard timersOff(timers);

    QPointer<Memory> window;
    LoggerDownloadHooks hooks;
    hooks.sizesKnown = [&](const LoggerMemorySizes &sizes) {
        window = new Memory(panel, timers, host);
        window->showSizes(sizes);
        window->show();
    };
    hooks.progress = [&](qint64 received, qint64 expected) {
        if (window)
            window->showProgress(received, expected);
    };
    const LoggerDownloadResult result = DownloadLoggerMemory(port, hooks);

    memory.LoggerEnd = result.loggerEnd;
    if (result.status == LoggerDownloadStatus::Completed
        || result.status == LoggerDownloadStatus::Stalled) {
        memory.LoggerSets.clear();
        for (const LoggerSetEntry &entry : result.split.sets)
            memory.LoggerSets.push_back(entry.bytes);
        if (window)
            window->listSets(result.split);
    }
    // The window's own life decides from now on; without one nothing is open.
    const bool windowUp = window && window->isVisible();
    memory.MemoryWindowOpen = windowUp;

    const QString message = LoggerDownloadMessage(result);
    if (!message.isEmpty()) {
        if (windowUp && result.status == LoggerDownloadStatus::Stalled)
            window->showMessage(message.section(QLatin1Char('\n'), 0, 0));
        dialogs().message(windowUp ? static_cast<QWidget *>(window) : panel, message, QString(),
                          iconOf(result.status), MessageButtons::Ok);
    }
    return windowUp ? window.data() : nullptr;
}

void EraseLoggerMemory(QWidget *panel, SerialPort &port, PanelTimers &timers)
{
    // An "H" in the middle of a transfer would cut it short and empty the
    // memory that is being read.
    if (s_downloadRunning)
        return;
    const MessageAnswer answer = dialogs().message(
        panel, QStringLiteral("All saved data in memory will be deleted."),
        QStringLiteral("Warning"), MessageIcon::Warning, MessageButtons::OkCancel);
    if (Memory *window = Memory::openWindow())
        window->close();
    if (answer != MessageAnswer::Ok)
        return;
    TimersOffGuard timersOff(timers);
    port.write(QByteArray(1, EraseCommand));
    Delay(SettleSeconds);
}

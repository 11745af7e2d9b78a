#include "LoggerCommands.h"

#include "Memory.h"
#include "link/LinkOwner.h"
#include "recording/LoggerDownload.h"
#include "recording/LoggerMemory.h"
#include "platform/Delay.h"
#include "platform/PanelTimers.h"
#include "platform/SerialPort.h"
#include "widgets/Dialogs.h"

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

Memory *DownloadLoggerMemory(QWidget *panel, LinkOwner &link, PanelTimers &timers,
                             LoggerSetHost &host, const StopRequested &closing)
{
    LoggerMemory &memory = loggerMemory();
    if (memory.MemoryWindowOpen || s_downloadRunning)
        return nullptr;
    auto hold = link.tryHold(Exchange::Download);
    if (!hold)
        return nullptr;
    QScopedValueRollback<bool> running(s_downloadRunning, true);
    memory.MemoryWindowOpen = true;
    TimersOffGuard timersOff(timers);

    QPointer<Memory> window;
    bool cancelled = false;
    LoggerDownloadHooks hooks;
    hooks.sizesKnown = [&](const LoggerMemorySizes &sizes) {
        window = new Memory(panel, timers, host);
        window->showSizes(sizes);
        window->offerCancel([&cancelled] { cancelled = true; });
        window->show();
    };
    hooks.cancelled = [&] { return cancelled || (closing && closing()); };
    hooks.progress = [&](qint64 received, qint64 expected) {
        if (window)
            window->showProgress(received, expected);
    };
    const LoggerDownloadResult result = DownloadLoggerMemory(hold->port(), hooks);
    if (MeterStillSending(result))
        hold->meterKeepsSending();
    // The exchange is over: no box below may keep the link, or the seconds a
    // user takes to read it would count as a silent meter.
    hold.reset();
    if (window)
        window->offerCancel({});
    if (closing && closing())
        return nullptr;

    memory.LoggerEnd = result.loggerEnd;
    if (result.status == LoggerDownloadStatus::Completed
        || result.status == LoggerDownloadStatus::Stalled
        || (result.status == LoggerDownloadStatus::Cancelled && result.sizes)) {
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
    // The user asked for the end: the window says what was kept, no box.
    if (result.status == LoggerDownloadStatus::Cancelled) {
        if (windowUp && !message.isEmpty())
            window->showMessage(message.section(QLatin1Char('\n'), 0, 0));
        return windowUp ? window.data() : nullptr;
    }
    if (!message.isEmpty()) {
        if (windowUp
            && (result.status == LoggerDownloadStatus::Stalled
                || result.status == LoggerDownloadStatus::Cancelled))
            window->showMessage(message.section(QLatin1Char('\n'), 0, 0));
        dialogs().message(windowUp ? static_cast<QWidget *>(window) : panel, message, QString(),
                          iconOf(result.status), MessageButtons::Ok);
    }
    return windowUp ? window.data() : nullptr;
}

void EraseLoggerMemory(QWidget *panel, LinkOwner &link, PanelTimers &timers)
{
    // An "H" in the middle of a transfer would cut it short and empty the
    // memory that is being read.
    if (s_downloadRunning || link.held())
        return;
    const MessageAnswer answer = dialogs().message(
        panel, QStringLiteral("All saved data in memory will be deleted."),
        QStringLiteral("Warning"), MessageIcon::Warning, MessageButtons::OkCancel);
    if (Memory *window = Memory::openWindow())
        window->close();
    if (answer != MessageAnswer::Ok)
        return;
    // The warning was open long enough for another exchange to start.
    const auto hold = link.tryHold(Exchange::Erase);
    if (!hold)
        return;
    TimersOffGuard timersOff(timers);
    hold->port().write(QByteArray(1, EraseCommand));
    Delay(SettleSeconds);
}

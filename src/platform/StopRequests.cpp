#include "StopRequests.h"

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#endif

namespace {

std::atomic<bool> s_requested { false };
std::mutex s_mutex;
std::condition_variable s_finishedChanged;
bool s_finished = false;

#ifdef Q_OS_WIN
// Windows allows about 5 s after a console is closed before it ends the
// process; the files are finished well inside that.
constexpr auto FinishWithin = std::chrono::milliseconds(4500);

BOOL WINAPI onConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        s_requested = true;
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: {
        s_requested = true;
        std::unique_lock lock(s_mutex);
        s_finishedChanged.wait_for(lock, FinishWithin, [] { return s_finished; });
        return TRUE;
    }
    default:
        return FALSE;
    }
}
#else
void onSignal(int)
{
    s_requested = true;
}
#endif

} // namespace

void watchStopRequests()
{
#ifdef Q_OS_WIN
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::signal(SIGHUP, onSignal);
#endif
}

bool stopRequested()
{
    return s_requested;
}

void stopFinished()
{
    {
        std::lock_guard lock(s_mutex);
        s_finished = true;
    }
    s_finishedChanged.notify_all();
}

#include "Delay.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

void Delay(double seconds)
{
    // Thirty years is forever here; beyond it the nanoseconds would overflow.
    constexpr double LongestSeconds = 1e9;
    const double wanted = seconds > 0 ? std::min(seconds, LongestSeconds) : 0.0;
    const qint64 totalNs = static_cast<qint64>(std::ceil(wanted * 1e9));
    const QDeadlineTimer deadline(std::chrono::nanoseconds(totalNs), Qt::PreciseTimer);

    // Without an application object there are no events to serve; sleep.
    if (!QCoreApplication::instance()) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(deadline.remainingTimeNSecs()));
        return;
    }

    // Repeating, so that a wake-up lost by a nested loop comes again (seen
    // once under Wine: a wait inside a timer handler never ended).
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    while (!deadline.hasExpired()) {
        // The one-argument form really blocks until something happens; the
        // timer makes sure that something happens at the deadline at latest.
        const qint64 leftMs
            = std::max<qint64>(1, (deadline.remainingTimeNSecs() + 999999) / 1000000);
        wake.start(static_cast<int>(std::min<qint64>(leftMs, 1 << 30)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

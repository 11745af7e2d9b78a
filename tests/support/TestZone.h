#pragma once

#include <QDateTime>
#include <QTimeZone>
#include <QtGlobal>

#include <cstdlib>
#include <ctime>

// Puts this test process in the named local zone, whatever the machine's.
// POSIX reads TZ. Windows takes its zone from its own settings, which under
// Wine follow the TZ Wine was started in (CTest starts the Windows tests so:
// LOCAL_ZONE in vorn_add_test); TZ itself must then go, as Windows' C
// runtime would read "Europe/Berlin" as a zone of its own without summer
// time. A Windows run in another zone stops here, saying so.
inline void useTestZone(const char *zone)
{
#ifdef Q_OS_WIN
    _putenv_s("TZ", "");
    _tzset();
    const QTimeZone wanted(zone);
    for (const QDate day : { QDate(2026, 1, 15), QDate(2026, 7, 15) }) {
        const QDateTime local(day, QTime(12, 0));
        if (local.offsetFromUtc() != wanted.offsetFromUtc(local))
            qFatal("The local zone is not %s: start this test with TZ=%s in Wine's "
                   "environment.",
                   zone, zone);
    }
#else
    qputenv("TZ", zone);
    tzset();
#endif
}

// Whether TZ sets a process's zone, this one's or a child's (POSIX). On
// Windows a process keeps the zone it started in, and its children get it.
constexpr bool TZSetsTheZone =
#ifdef Q_OS_WIN
    false;
#else
    true;
#endif

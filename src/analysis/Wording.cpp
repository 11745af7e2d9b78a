#include "analysis/Wording.h"

#include "recording/FormatTenths.h"

#include <QStringList>

#include <cmath>

namespace Wording {

QString hundredths(double level)
{
    // "inf" and "nan" are no numbers to a reader of the output.
    return std::isfinite(level) ? QString::number(level, 'f', 2) : QString();
}

QString tenthsCut(double level)
{
    return FormatTenths(level);
}

QString tenthsRounded(double value)
{
    return std::isfinite(value) ? QString::number(value, 'f', 1) : QString();
}

QString missing(Missing kind)
{
    switch (kind) {
    case Missing::Empty:
        break;
    case Missing::Dash:
        return QStringLiteral("-");
    case Missing::EmDash:
        return QString(QChar(0x2014));
    case Missing::Null:
        return QStringLiteral("null");
    }
    return QString();
}

QString percent(double share, int decimals, const QString &separator)
{
    return QString::number(100.0 * share, 'f', decimals) + separator + QLatin1Char('%');
}

double shareOf(qint64 part, qint64 whole)
{
    return whole > 0 ? double(part) / double(whole) : 0.0;
}

QString clockDuration(int64_t seconds)
{
    const int64_t days = seconds / 86400;
    const int64_t rest = seconds % 86400;
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(rest / 3600, 2, 10, QLatin1Char('0'))
                              .arg(rest / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(rest % 60, 2, 10, QLatin1Char('0'));
    return days > 0 ? QStringLiteral("%1 d %2").arg(days).arg(clock) : clock;
}

QString partsDuration(double seconds)
{
    const int64_t s = std::llround(seconds);
    if (s < 60)
        return QStringLiteral("%1 s").arg(s);
    QStringList parts;
    const std::pair<int64_t, const char *> units[]
        = { { 86400, "d" }, { 3600, "h" }, { 60, "min" }, { 1, "s" } };
    int64_t rest = s;
    for (const auto &[length, name] : units) {
        if (rest >= length)
            parts << QStringLiteral("%1 %2").arg(rest / length).arg(QLatin1StringView(name));
        rest %= length;
    }
    return parts.join(QLatin1Char(' '));
}

QString roughDuration(int64_t seconds)
{
    const int64_t s = std::max<int64_t>(seconds, 0);
    if (s >= 2 * 86400)
        return QStringLiteral("%1 d").arg(s / 86400);
    if (s >= 2 * 3600)
        return QStringLiteral("%1 h").arg(s / 3600);
    if (s >= 120)
        return QStringLiteral("%1 min").arg(s / 60);
    return QStringLiteral("%1 s").arg(s);
}

QString exactDuration(int64_t seconds)
{
    if (seconds % 3600 == 0)
        return QStringLiteral("%1 h").arg(seconds / 3600);
    if (seconds % 60 == 0)
        return QStringLiteral("%1 min").arg(seconds / 60);
    return QStringLiteral("%1 s").arg(seconds);
}

QString secondsDuration(double seconds)
{
    return QString::number(seconds) + QStringLiteral(" s");
}

std::optional<int64_t> parseDuration(const QString &text, int64_t maxSeconds, DayUnit days)
{
    const QString t = text.trimmed().toLower();
    struct Unit
    {
        const char *suffix;
        int64_t seconds;
    };
    // Longer suffixes first: "min" before "m" and "n".
    static const Unit units[]
        = { { "min", 60 }, { "h", 3600 }, { "s", 1 }, { "m", 60 }, { "d", 86400 }, { "", 1 } };
    for (const Unit &unit : units) {
        const QLatin1StringView suffix(unit.suffix);
        if (!t.endsWith(suffix) || (unit.seconds == 86400 && days == DayUnit::Refused))
            continue;
        bool ok = false;
        const qlonglong n = t.left(t.size() - suffix.size()).trimmed().toLongLong(&ok);
        if (!ok || n <= 0 || n > maxSeconds / unit.seconds)
            return std::nullopt;
        return int64_t(n) * unit.seconds;
    }
    return std::nullopt;
}

} // namespace Wording

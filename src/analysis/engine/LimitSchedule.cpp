#include "analysis/engine/LimitSchedule.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

std::optional<int> minuteOf(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2})(?::(\\d{2}))?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const int hour = m.captured(1).toInt();
    const int minute = m.captured(2).isEmpty() ? 0 : m.captured(2).toInt();
    if (hour > 24 || minute > 59 || (hour == 24 && minute > 0))
        return std::nullopt;
    return (hour * 60 + minute) % (24 * 60);
}

std::optional<double> levelOf(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    // NaN compares false with everything: a limit of it would never alarm.
    if (!ok || !std::isfinite(value) || value < 0.0 || value > 200.0)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<LimitSchedule> LimitSchedule::parse(const QString &text)
{
    LimitSchedule schedule;
    if (const auto all = levelOf(text)) {
        schedule.m_periods.push_back({ 0, 0, *all });
        return schedule;
    }
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList sides = part.split(QLatin1Char('='));
        if (sides.size() != 2)
            return std::nullopt;
        const QStringList hours = sides[0].split(QLatin1Char('-'));
        const auto limit = levelOf(sides[1]);
        if (hours.size() != 2 || !limit)
            return std::nullopt;
        const auto from = minuteOf(hours[0]);
        const auto to = minuteOf(hours[1]);
        if (!from || !to)
            return std::nullopt;
        schedule.m_periods.push_back({ *from, *to, *limit });
    }
    if (schedule.m_periods.empty())
        return std::nullopt;
    return schedule;
}

QString LimitSchedule::overlap() const
{
    // Minute by minute: a day has only 1440 of them.
    std::vector<int> owner(24 * 60, -1);
    for (int i = 0; i < int(m_periods.size()); ++i) {
        const Period &p = m_periods[size_t(i)];
        const int length = p.from == p.to ? 24 * 60 : (p.to - p.from + 24 * 60) % (24 * 60);
        for (int m = 0; m < length; ++m) {
            int &o = owner[size_t((p.from + m) % (24 * 60))];
            if (o >= 0) {
                const auto text = [](const Period &q) {
                    return QStringLiteral("%1-%2")
                        .arg(q.from / 60, 2, 10, QLatin1Char('0'))
                        .arg(q.to / 60, 2, 10, QLatin1Char('0'));
                };
                return QStringLiteral("%1 and %2 overlap").arg(text(m_periods[size_t(o)]), text(p));
            }
            o = i;
        }
    }
    return {};
}

std::optional<double> LimitSchedule::limitAt(int minuteOfDay) const
{
    for (const Period &p : m_periods) {
        const bool inside = p.from == p.to ? true
            : p.from < p.to                ? minuteOfDay >= p.from && minuteOfDay < p.to
                                           : minuteOfDay >= p.from || minuteOfDay < p.to;
        if (inside)
            return p.limit;
    }
    return std::nullopt;
}

std::optional<LimitSchedule> LimitSchedule::read(const QString &text, QString &why)
{
    const std::optional<LimitSchedule> schedule = parse(text);
    if (!schedule) {
        why = QStringLiteral("a level such as 75, or periods such as 07-19=55,19-23=50,23-07=45");
        return std::nullopt;
    }
    why = schedule->overlap();
    return why.isEmpty() ? schedule : std::nullopt;
}

std::optional<double> LimitSchedule::limitAtCivil(int64_t civilSeconds) const
{
    constexpr int64_t Day = 24 * 3600;
    return limitAt(int(((civilSeconds % Day + Day) % Day) / 60));
}

QString LimitSchedule::text() const
{
    if (m_periods.size() == 1 && m_periods.front().from == m_periods.front().to)
        return QString::number(m_periods.front().limit);
    QStringList parts;
    const auto time = [](int minute) {
        return minute % 60 ? QStringLiteral("%1:%2")
                                 .arg(minute / 60, 2, 10, QLatin1Char('0'))
                                 .arg(minute % 60, 2, 10, QLatin1Char('0'))
                           : QStringLiteral("%1").arg(minute / 60, 2, 10, QLatin1Char('0'));
    };
    for (const Period &p : m_periods)
        parts << QStringLiteral("%1-%2=%3").arg(time(p.from), time(p.to), QString::number(p.limit));
    return parts.join(QLatin1Char(','));
}

std::vector<int64_t> LimitSchedule::changesBetween(int64_t from, int64_t to) const
{
    constexpr int64_t Day = 24 * 3600;
    std::vector<int64_t> changes;
    for (int64_t day = (from / Day - 1) * Day; day < to; day += Day)
        for (const Period &p : m_periods)
            for (const int minute : { p.from, p.to }) {
                const int64_t t = day + int64_t(minute) * 60;
                if (t > from && t < to)
                    changes.push_back(t);
            }
    return changes;
}

std::vector<std::pair<double, double>> limitSteps(const LimitAt &at, std::vector<int64_t> changes,
                                                  int64_t from, int64_t to)
{
    changes.push_back(from);
    std::sort(changes.begin(), changes.end());
    changes.erase(std::unique(changes.begin(), changes.end()), changes.end());
    const double none = std::numeric_limits<double>::quiet_NaN();
    std::vector<std::pair<double, double>> steps;
    for (const int64_t t : changes) {
        if (t < from || t >= to)
            continue;
        const std::optional<double> limit = at(t);
        const double value = limit ? *limit : none;
        const bool same = !steps.empty()
            && (steps.back().second == value
                || (std::isnan(value) && std::isnan(steps.back().second)));
        if (!same)
            steps.emplace_back(double(t), value);
    }
    if (!steps.empty())
        steps.emplace_back(double(to), steps.back().second);
    return steps;
}

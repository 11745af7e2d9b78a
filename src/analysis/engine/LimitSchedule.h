#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// The limit in force at each time of day: one value all day, or one per
// period ("07-19=55,19-23=50,23-07=45"); an interval takes the limit of the
// period its start falls in.
class LimitSchedule
{
public:
    struct Period
    {
        int from = 0; // minutes after midnight
        int to = 0; // may be below from: the period runs over midnight
        double limit = 0.0;
    };

    // nullopt for a text that is neither a level nor a list of periods.
    static std::optional<LimitSchedule> parse(const QString &text);
    // The same, refusing overlapping periods; `why` says what is wrong, in
    // the words both programs print after "--limit \"TEXT\": ".
    static std::optional<LimitSchedule> read(const QString &text, QString &why);
    std::optional<double> limitAt(int minuteOfDay) const;
    bool isEmpty() const { return m_periods.empty(); }
    // "07-19 and 08-20 overlap" when two periods share a minute.
    QString overlap() const;
    const std::vector<Period> &periods() const { return m_periods; }
    // "55", or "07-19=55,19-23=50,23-07=45", as parse takes it.
    QString text() const;
    // Where the limit may change between two times: the periods' bounds.
    std::vector<int64_t> changesBetween(int64_t from, int64_t to) const;
    // The limit of an interval starting at these civil seconds.
    std::optional<double> limitAtCivil(int64_t civilSeconds) const;

private:
    std::vector<Period> m_periods;
};

// A limit by time (civil seconds), whatever its source.
using LimitAt = std::function<std::optional<double>(int64_t civil)>;

// The step line of a limit from `from` to `to`: (time, limit or NaN where
// none is in force) at `from` and at each change among `changes`, then `to`.
std::vector<std::pair<double, double>> limitSteps(const LimitAt &at, std::vector<int64_t> changes,
                                                  int64_t from, int64_t to);

#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// How figures become text: one rule per kind of figure, each named for where
// it is used. Every rule writes a point whatever the locale. Figures are
// computed elsewhere and reach here as numbers.
namespace Wording {

// ---- levels ----
// Two decimals (45.04): the CSV, the JSON, and every level shown beside the
// verdict it was judged by, so "over" never stands beside "45.0" when the
// limit is 45. Not finite: "".
QString hundredths(double level);
// One decimal cut as the meter cuts (45.09 gives "45.0", 0.5 ".5"): the
// live boards, the report and the text tables of readings' levels.
QString tenthsCut(double level);
// One decimal rounded (45.05 gives "45.1"): weather, events and periods.
QString tenthsRounded(double value);

// What stands for a missing figure in each output.
enum class Missing {
    Empty, // CSV fields
    Dash, // "-": text output, the series window, the station's lines
    EmDash, // "—": the measurement report
    Null, // "null": JSON
};
QString missing(Missing kind);
// rule(*value), or the missing form when there is no value or it is not
// finite.
template<typename Rule>
QString orMissing(const std::optional<double> &value, Rule rule, Missing kind)
{
    if (!value)
        return missing(kind);
    const QString text = rule(*value);
    return text.isEmpty() ? missing(kind) : text;
}

// ---- shares ----
// A share (0 … 1) in percent with `decimals` decimals and "%" after
// `separator` ("12.5%", "12.5 %").
QString percent(double share, int decimals = 1, const QString &separator = QString());
double shareOf(qint64 part, qint64 whole);

// ---- durations (elapsed seconds) ----
// "02:00:00", "1 d 02:00:00": how long nothing was read.
QString clockDuration(int64_t seconds);
// "1 d 2 h 30 s" (parts that are not zero; under a minute "45 s"): excluded
// time and time spans.
QString partsDuration(double seconds);
// The largest unit that gives at least two ("3 d", "5 h", "2 min", "90 s"),
// rounded down: a calibration check's age.
QString roughDuration(int64_t seconds);
// The unit that holds it exactly ("1 h", "15 min", "90 s"): an interval's
// length.
QString exactDuration(int64_t seconds);
// "1 s", "0.5 s": a sampling interval.
QString secondsDuration(double seconds);

// Reads "15min", "1 h", "30 s", "30" (seconds), "2m" and, when days are
// allowed, "7 d": a whole positive number of the unit, at most `maxSeconds`.
enum class DayUnit { Refused, Allowed };
std::optional<int64_t> parseDuration(const QString &text, int64_t maxSeconds,
                                     DayUnit days = DayUnit::Refused);

} // namespace Wording

#pragma once

#include "analysis/records/Exclusions.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// A weather station's record beside the levels: wind and rain make levels
// invalid, and rules turn them into exclusions of their own.
struct WeatherRow
{
    // The span the row covers (moments, UTC; the end is its time and not
    // included): from the row before, at most MaxSpan.
    int64_t start = 0;
    int64_t end = 0;
    std::optional<double> windSpeed; // m/s, the span's mean
    std::optional<double> windGust; // m/s, its highest
    std::optional<double> windDirection; // degrees
    std::optional<double> rain; // mm fallen in the span
    std::optional<double> temperature; // °C
};

// What a weather file holds: good rows in time order and what is wrong
// with it (the first bad line named, bad lines counted and left out).
struct WeatherFile
{
    std::vector<WeatherRow> rows;
    QString problem;
    qint64 line = 0;
    qint64 badLines = 0;
};

// A weather station's own export: which of its columns holds each field
// (time, wind_speed, ...) and in which unit.
struct WeatherColumns
{
    std::array<QString, 6> names; // in the order of WeatherCsv::Header; empty: none
    std::array<double, 6> factor { 1.0, 1.0, 1.0, 1.0, 1.0, 1.0 };
    std::array<double, 6> offset {};
    // "time=Date Time,wind_speed=Wind (km/h):km/h,rain=Rain (in):in".
    static std::optional<WeatherColumns> parse(const QString &text, QString *why);
};

namespace WeatherCsv {

inline constexpr char Header[] = "time,wind_speed,wind_gust,wind_direction,rain,temperature";
// A row covers at most this much before its time; a longer gap has no data.
constexpr int64_t MaxSpan = 15 * 60;

// The file that applies to a data file: "STATION weather.csv" in its folder.
QString pathForDataFile(const QString &dataFile);
// The file's text read; `name` is used in messages. With columns, a
// weather station's export, its times without an offset site time.
WeatherFile parse(const QByteArray &text, const QString &name,
                  const WeatherColumns *columns = nullptr);
// A missing file is no rows.
WeatherFile read(const QString &path, const WeatherColumns *columns = nullptr);
// One row of the file, its time with the offset.
QString rowText(int64_t time, const WeatherRow &row);

} // namespace WeatherCsv

// When weather makes levels invalid: mean wind over `wind`, a gust over
// `gust`, rain over `rain` (each may be off), judged on the weather's own
// rows or on clock-aligned intervals of `interval` seconds.
struct WeatherRules
{
    std::optional<double> wind = 5.0;
    std::optional<double> gust;
    std::optional<double> rain = 0.0;
    int64_t interval = 0;

    // "wind>5,gust>10,rain>0"; nothing with `why` when it is none.
    static std::optional<WeatherRules> parse(const QString &text, QString *why);
    QString text() const;
};

// The spans the rules take out, as exclusions made by rule (merged where
// they follow one another for the same reason), less the spans an
// acoustician kept.
std::vector<Exclusion> ruleExclusions(const std::vector<WeatherRow> &rows,
                                      const WeatherRules &rules,
                                      const std::vector<Exclusion> &kept);

// The weather of a measurement, for the outputs.
struct WeatherSummary
{
    QString source;
    QString rules; // empty when no rule applies
    int64_t measuredS = 0;
    int64_t coveredS = 0;
    std::optional<double> windMeanMax;
    int64_t windMeanMaxAt = 0;
    std::optional<double> gustMax;
    int64_t gustMaxAt = 0;
    std::optional<double> rainTotal;
    double coverage() const { return measuredS > 0 ? double(coveredS) / double(measuredS) : 0.0; }
};

// The weather an analysis reads: its rows, file and rules.
struct WeatherData
{
    QString source;
    std::vector<WeatherRow> rows;
    std::optional<WeatherRules> rules;
    // The spans the rules take out (less those kept).
    std::vector<Exclusion> ruleRows;
    // What the weather says of [from, to).
    WeatherSummary summary(int64_t from, int64_t to) const;
    // Each weather value over [from, to) (mean wind weighted by time, highest
    // gust, rain summed); nothing where no row touches it.
    WeatherRow over(int64_t from, int64_t to) const;
};

// The weather of a file, with the spans its rules (if any) take out less
// those the keep file keeps; what is wrong with either file is added to
// `problems` (damaged lines are left out, the rest is read).
std::shared_ptr<const WeatherData> readWeather(const QString &path, const QString &keepPath,
                                               const std::optional<WeatherRules> &rules,
                                               const WeatherColumns *columns,
                                               QStringList &problems);

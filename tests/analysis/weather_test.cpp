#include "analysis/stats/StatsOptions.h"
#include "analysis/records/CivilTime.h"
#include "analysis/records/Weather.h"
#include "recording/DataFileReader.h"
#include "support/TestZone.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr const char *Header = "time,wind_speed,wind_gust,wind_direction,rain,temperature\n";

int64_t moment(const char *iso)
{
    return *CivilTime::momentOfIso(QString::fromLatin1(iso));
}

QByteArray weatherRows(const QList<QByteArray> &rows)
{
    QByteArray text = Header;
    for (const QByteArray &row : rows)
        text += row + '\n';
    return text;
}

// A row per minute from 10:01 to 11:00 (+02:00): windy 10:10-10:20 (mean
// 7.5, gust 12), rain 10:40-10:42, 4 m/s with gusts of 11 at 10:50-10:51.
QByteArray hourOfWeather()
{
    QList<QByteArray> rows;
    const QDateTime from = QDateTime::fromString("2026-06-03T10:00:00+02:00", Qt::ISODate);
    for (int m = 1; m <= 60; ++m) {
        const double wind = m > 10 && m <= 20 ? 7.5 : m == 51 ? 4.0 : 2.0;
        const double gust = m > 10 && m <= 20 ? 12.0 : m == 51 ? 11.0 : 3.0;
        const double rain = m > 40 && m <= 42 ? 0.4 : 0.0;
        rows << QStringLiteral("%1,%2,%3,180,%4,18.5")
                    .arg(from.addSecs(60 * m).toOffsetFromUtc(7200).toString(Qt::ISODate))
                    .arg(wind)
                    .arg(gust)
                    .arg(rain)
                    .toLatin1();
    }
    return weatherRows(rows);
}

// A damaged line is named and left out; rows cover back to the row before,
// at most 15 minutes, the first as much as the one after it.
TEST(WeatherCsv, ReadsRowsAsSpansAndNamesDamagedLines)
{
    const struct
    {
        const char *name;
        QByteArray text;
        size_t rows;
        const char *problem; // empty: none
        std::vector<std::pair<const char *, const char *>> spans;
    } cases[] = {
        { "spans",
          weatherRows({ "2026-06-03T10:01:00+02:00,2,,,0,", "2026-06-03T10:02:00+02:00,3,,,,",
                        "2026-06-03T11:00:00+02:00,,,,0.2," }),
          3,
          "",
          { { "2026-06-03T10:00:00+02:00", "2026-06-03T10:01:00+02:00" },
            { "2026-06-03T10:01:00+02:00", "2026-06-03T10:02:00+02:00" },
            { "2026-06-03T10:45:00+02:00", "2026-06-03T11:00:00+02:00" } } },
        { "damaged",
          weatherRows({ "2026-06-03T10:01:00+02:00,2,,,0,", "not a row",
                        "2026-06-03T10:03:00+02:00,x,,,0,", "2026-06-03T10:02:00+02:00,-1,,,0,",
                        "2026-06-03T10:04:00+02:00,2,,,0," }),
          2,
          "w.csv, line 3: 6 fields expected",
          {} },
        // Numbers as a program writes them: a sign, spaces, an exponent and
        // a frost are numbers; words, "inf" and a comma are not.
        { "numbers",
          weatherRows({ "2026-06-03T10:01:00+02:00,+2.5, 3 ,1e2,0,-4.5",
                        "2026-06-03T10:02:00+02:00,inf,,,0,", "2026-06-03T10:03:00+02:00,2,,,0,x",
                        "2026-06-03T10:04:00+02:00,\"2.5\",,,0,", "2026-06-03T10:05:00+02:00,2,,,,," }),
          2,
          "w.csv, line 3: the wind_speed \"inf\" is not a number it can be",
          { { "2026-06-03T09:58:00+02:00", "2026-06-03T10:01:00+02:00" },
            { "2026-06-03T10:01:00+02:00", "2026-06-03T10:04:00+02:00" } } },
        { "header",
          "time,wind\n2026-06-03T10:01:00+02:00,2\n",
          0,
          "w.csv, line 1: the header must be",
          {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const WeatherFile file = WeatherCsv::parse(c.text, QStringLiteral("w.csv"));
        EXPECT_EQ(file.rows.size(), c.rows);
        if (*c.problem) {
            EXPECT_TRUE(file.problem.startsWith(QLatin1String(c.problem)))
                << file.problem.toStdString();
        } else {
            EXPECT_TRUE(file.problem.isEmpty()) << file.problem.toStdString();
        }
        if (QByteArray(c.name) == "damaged") {
            EXPECT_EQ(file.badLines, 3);
        }
        if (QByteArray(c.name) == "numbers" && file.rows.size() == 2) {
            EXPECT_EQ(file.badLines, 3);
            EXPECT_EQ(file.rows[0].windSpeed, 2.5);
            EXPECT_EQ(file.rows[0].windGust, 3.0);
            EXPECT_EQ(file.rows[0].windDirection, 100.0);
            EXPECT_EQ(file.rows[0].temperature, -4.5);
            EXPECT_EQ(file.rows[1].windSpeed, 2.5) << "a quoted field is read as CSV";
        }
        for (size_t i = 0; i < c.spans.size() && i < file.rows.size(); ++i) {
            EXPECT_EQ(file.rows[i].start, moment(c.spans[i].first)) << i;
            EXPECT_EQ(file.rows[i].end, moment(c.spans[i].second)) << i;
        }
    }
}

// A weather station's own export read as it is: its columns named, their
// units converted, its times site time, semicolons and decimal commas.
TEST(WeatherCsv, ReadsAWeatherStationsExportByItsColumns)
{
    QString why;
    const auto columns = WeatherColumns::parse(
        "time=Date Time,wind_speed=Wind (km/h):km/h,wind_gust=Gust:mph,rain=Rain (in):in,"
        "temperature=Temp:F",
        &why);
    ASSERT_TRUE(columns) << why.toStdString();
    const QByteArray export_ = "Date Time;Temp;Wind (km/h);Gust;Rain (in)\r\n"
                               "03.06.2026 10:00;68;18,0;10;0,1\r\n"
                               "03.06.2026 10:05;50;36,0;20;0\r\n";
    const WeatherFile file = WeatherCsv::parse(export_, QStringLiteral("export.csv"), &*columns);
    ASSERT_TRUE(file.problem.isEmpty()) << file.problem.toStdString();
    ASSERT_EQ(file.rows.size(), 2u);
    EXPECT_EQ(file.rows[0].end, moment("2026-06-03T10:00:00+02:00"));
    EXPECT_NEAR(*file.rows[0].windSpeed, 5.0, 1e-9);
    EXPECT_NEAR(*file.rows[0].windGust, 4.4704, 1e-9);
    EXPECT_NEAR(*file.rows[0].rain, 2.54, 1e-9);
    EXPECT_NEAR(*file.rows[0].temperature, 20.0, 1e-9);
    EXPECT_NEAR(*file.rows[1].temperature, 10.0, 1e-9);
    EXPECT_FALSE(file.rows[1].windDirection);
    const auto wrong = WeatherColumns::parse("time=When,wind_speed=Wind", &why);
    ASSERT_TRUE(wrong);
    EXPECT_TRUE(WeatherCsv::parse(export_, "export.csv", &*wrong)
                    .problem.startsWith("export.csv, line 1: there is no column \"When\""));
    for (const char *bad : { "wind_speed=Wind", "speed=Wind", "time=T,rain=R:furlong" })
        EXPECT_FALSE(WeatherColumns::parse(QLatin1String(bad), nullptr)) << bad;
}

// The rules take out what breaks them, merged and noted, never what an
// acoustician kept; on clock-aligned means when an interval is given.
TEST(WeatherRules, TakeOutWhatBreaksThemLessWhatIsKept)
{
    const WeatherFile file = WeatherCsv::parse(hourOfWeather(), QStringLiteral("w.csv"));
    ASSERT_EQ(file.rows.size(), 60u);
    Exclusion kept;
    kept.start = moment("2026-06-03T10:15:00+02:00");
    kept.end = moment("2026-06-03T10:17:00+02:00");
    const struct
    {
        const char *name;
        QString rules;
        int64_t interval;
        std::vector<Exclusion> kept;
        std::vector<std::tuple<const char *, const char *, const char *>> spans;
    } cases[] = {
        { "defaults",
          "wind>5,rain>0",
          0,
          {},
          { { "10:10", "10:20", "rule: mean wind 7.5 m/s over 5 m/s" },
            { "10:40", "10:42", "rule: rain 0.4 mm over 0 mm" } } },
        { "kept",
          "wind>5",
          0,
          { kept },
          { { "10:10", "10:15", "rule: mean wind 7.5 m/s over 5 m/s" },
            { "10:17", "10:20", "rule: mean wind 7.5 m/s over 5 m/s" } } },
        { "gust",
          "gust>10",
          0,
          {},
          { { "10:10", "10:20", "rule: gust 12.0 m/s over 10 m/s" },
            { "10:50", "10:51", "rule: gust 11.0 m/s over 10 m/s" } } },
        // 10-minute means: 10:10-10:20 is 7.5, 10:50-11:00 is 2.2.
        { "interval",
          "wind>5",
          600,
          {},
          { { "10:10", "10:20", "rule: mean wind 7.5 m/s over 5 m/s" } } },
        { "means of rain",
          "rain>0.5",
          600,
          {},
          { { "10:40", "10:50", "rule: rain 0.8 mm over 0.5 mm" } } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString why;
        std::optional<WeatherRules> rules = WeatherRules::parse(c.rules, &why);
        ASSERT_TRUE(rules) << why.toStdString();
        EXPECT_EQ(rules->text(), c.rules);
        rules->interval = c.interval;
        const std::vector<Exclusion> rows = ruleExclusions(file.rows, *rules, c.kept);
        ASSERT_EQ(rows.size(), c.spans.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const auto &[from, to, note] = c.spans[i];
            EXPECT_EQ(rows[i].start, moment(QByteArray("2026-06-03T") + from + ":00+02:00")) << i;
            EXPECT_EQ(rows[i].end, moment(QByteArray("2026-06-03T") + to + ":00+02:00")) << i;
            EXPECT_EQ(rows[i].note, QLatin1String(note)) << i;
            EXPECT_TRUE(rows[i].byRule);
        }
    }
    for (const char *bad : { "wind", "wind>", "snow>1", "wind>-1" })
        EXPECT_FALSE(WeatherRules::parse(QLatin1String(bad), nullptr)) << bad;
}

// A windy hour's readings are loud: with the rules they count in no figure,
// and the Leq is that of the quiet readings alone; the weather's summary
// says what it covered.
TEST(WeatherRules, EveryFigureIsThatOfTheReadingsTheyLeave)
{
    QTemporaryDir dir;
    const QString dataFile = dir.filePath("fence 2026-06-03.vorn");
    {
        QByteArray bytes = "Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n88.8\r\n2026/06/03 "
                           "10:00:00\r\n140.2\r\n85.0\r\nNo.s\tDate Time\tdB\t\r\n";
        const QDateTime from = QDateTime::fromString("2026-06-03T10:00:00", Qt::ISODate);
        for (int i = 0; i < 3600; ++i) {
            const int minute = i / 60;
            const bool windy = minute >= 10 && minute < 20;
            const bool rainy = minute >= 40 && minute < 42;
            bytes += QByteArray::number(i + 1) + '\t'
                + from.addSecs(i).toString("yyyy/MM/dd HH:mm:ss").toLatin1() + '\t'
                + (windy || rainy ? "80.0" : "50.0") + "\t\r\n";
        }
        QFile file(dataFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        QFile weather(dir.filePath("fence weather.csv"));
        ASSERT_TRUE(weather.open(QIODevice::WriteOnly));
        weather.write(hourOfWeather());
    }
    const struct
    {
        QStringList options;
        double leq;
        qint64 excluded;
    } cases[] = {
        { {}, 50.0, 720 },
        { { "--no-weather-rules" }, 0.0, 0 },
        { { "--no-weather" }, 0.0, 0 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const ParsedOptions parsed = parseStatsOptions(QStringList(c.options) << dataFile);
        ASSERT_TRUE(parsed.options) << parsed.error.toStdString();
        AnalysisRequest request = parsed.options->request;
        ExclusionsLookup lookup(*parsed.options);
        ASSERT_TRUE(lookup.apply(request, dataFile));
        const FileFigures report
            = analyseFile(dataFile, DataFileReader::readFile(dataFile), request);
        EXPECT_EQ(report.exclusions ? report.exclusions->readings : 0, c.excluded);
        if (c.leq > 0) {
            EXPECT_NEAR(*report.statistics.leq, c.leq, 1e-9);
        }
        EXPECT_EQ(report.weather.has_value(), !c.options.contains("--no-weather"));
        if (report.weather) {
            EXPECT_EQ(report.weather->coveredS, 3600);
            EXPECT_DOUBLE_EQ(report.weather->coverage(), 1.0);
            EXPECT_NEAR(*report.weather->rainTotal, 0.8, 1e-9);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    useTestZone("Europe/Berlin");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

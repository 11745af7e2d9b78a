#include "analysis/stats/StatsOptions.h"
#include "analysis/records/CivilTime.h"
#include "analysis/engine/FileSeries.h"
#include "support/TestZone.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A "Real Time" file of one reading per `step` seconds from `from` on.
QByteArray recording(const QDateTime &from, int count, int step = 1, int seed = 0)
{
    QByteArray bytes = QByteArray("Real Time\r\n ") + QByteArray::number(step)
        + " \r\nA\r\nSlow\r\n30-90\r\n88.8\r\n2026/03/01 00:00:00\r\n140.2\r\n85.0\r\n"
          "No.s\tDate Time\tdB\t\r\n";
    for (int i = 0; i < count; ++i) {
        const int tenths = 400 + ((i + seed) * 37) % 450;
        bytes += QByteArray::number(i + 1) + '\t'
            + from.addSecs(qint64(i) * step).toString("yyyy/MM/dd HH:mm:ss").toLatin1() + '\t'
            + QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10) + "\t\r\n";
    }
    return bytes;
}

class SeriesTest : public ::testing::Test
{
protected:
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    static QDateTime at(const char *text) { return QDateTime::fromString(text, Qt::ISODate); }
    QTemporaryDir dir;
};

// A day from 07:00 to 07:00 spans two day files: joined, it has the figures
// of the same readings in one file, and so do the hours at the border.
TEST_F(SeriesTest, JoinedDayFilesGiveTheFiguresOfOneFile)
{
    const QDateTime start = at("2026-03-11T20:00:00");
    const int seconds = 36 * 3600;
    const QByteArray whole = recording(start, seconds);
    const QString one = write("whole.vorn", whole);
    // Cut at midnight, with a restart's second file of the same day.
    const int toMidnight = 4 * 3600;
    const int restart = toMidnight + 10 * 3600;
    const QList<QByteArray> lines = whole.split('\n');
    const auto part = [&](int from, int to) {
        QByteArray bytes = lines.mid(0, 10).join('\n') + '\n';
        bytes += lines.mid(10 + from, to - from).join('\n') + '\n';
        return bytes;
    };
    const QStringList parts { write("b.vorn", part(toMidnight, restart)),
                              write("a.vorn", part(0, toMidnight)),
                              write("c.vorn", part(restart, seconds)) };
    AnalysisRequest request;
    request.intervalLength = 3600;
    request.dayEveningNight = true;
    const FileFigures expected = analyseFile("whole", DataFileReader::readFile(one), request);
    for (int jobs : { 1, 2, 3 }) {
        const SeriesOutcome series = analyseSeries(parts, request, jobs);
        ASSERT_TRUE(series.report) << series.refusal.toStdString();
        const FileFigures &joined = *series.report;
        ASSERT_EQ(joined.joined.size(), 3u);
        EXPECT_TRUE(joined.joined[0].name.endsWith("a.vorn"));
        EXPECT_EQ(joined.statistics.readings, seconds);
        EXPECT_EQ(joined.statistics.leq, expected.statistics.leq);
        EXPECT_EQ(joined.statistics.distribution.LnTable, expected.statistics.distribution.LnTable);
        ASSERT_EQ(joined.days.size(), expected.days.size());
        // The whole day between the partial first and last.
        ASSERT_EQ(joined.days.size(), 3u);
        EXPECT_TRUE(joined.days[0].partial && joined.days[2].partial);
        EXPECT_EQ(joined.days[1].lden, expected.days[1].lden);
        EXPECT_EQ(joined.days[1].coverageNight, 1.0);
        ASSERT_EQ(joined.intervals.size(), expected.intervals.size());
        for (size_t i = 0; i < joined.intervals.size(); ++i) {
            EXPECT_EQ(joined.intervals[i].start, expected.intervals[i].start) << i;
            EXPECT_EQ(joined.intervals[i].leq, expected.intervals[i].leq) << i;
            EXPECT_EQ(joined.intervals[i].l90, expected.intervals[i].l90) << i;
        }
        // The output does not depend on the number of threads.
        static QString first;
        const QString json = formatReports({ joined }, OutputFormat::Json);
        if (jobs == 1)
            first = json;
        EXPECT_EQ(json, first) << jobs;
        EXPECT_TRUE(json.contains("\"files\": [")) << jobs;
    }
}

TEST_F(SeriesTest, FilesThatCannotBeJoinedAreRefusedByName)
{
    const QString day = write("day.vorn", recording(at("2026-03-12T00:00:00"), 600));
    const QString overlapping = write("again.vorn", recording(at("2026-03-12T00:05:00"), 600));
    const QString slower = write("slow.vorn", recording(at("2026-03-13T00:00:00"), 60, 2));
    const QString list = write("list.vorn", "1\t2026/03/14 00:00:00\t50.0\t\r\n");
    const struct
    {
        QStringList files;
        QStringList named;
        const char *says;
    } rows[] = {
        { { day, overlapping }, { "day.vorn", "again.vorn" }, "overlap in time" },
        { { day, slower }, { "day.vorn (1 s)", "slow.vorn (2 s)" }, "different sampling" },
        { { day, list }, { "list.vorn" }, "cannot be joined" },
    };
    for (const auto &row : rows) {
        const SeriesOutcome series = analyseSeries(row.files, {}, 2);
        EXPECT_FALSE(series.report) << row.says;
        EXPECT_TRUE(series.refusal.contains(QLatin1String(row.says)))
            << series.refusal.toStdString();
        for (const QString &name : row.named)
            EXPECT_TRUE(series.refusal.contains(name)) << series.refusal.toStdString();
    }
}

// --from counts a reading at its minute, --to leaves out the one at its.
TEST_F(SeriesTest, TheWindowTakesReadingsFromItsStartUpToItsEnd)
{
    const QStringList files { write("n1.vorn", recording(at("2026-03-12T22:00:00"), 7200)),
                              write("n2.vorn", recording(at("2026-03-13T00:00:00"), 28800)),
                              write("n3.vorn", recording(at("2026-03-13T08:00:00"), 60)) };
    const struct
    {
        const char *from;
        const char *to;
        qint64 readings;
    } rows[] = {
        { "2026-03-12 23:00", "2026-03-13 07:00", 8 * 3600 },
        { "2026-03-12T23:59", "2026-03-13T00:01", 120 },
        { "2026-03-13 08:00", "2026-03-14 00:00", 60 }, // only the last file
    };
    for (const auto &row : rows) {
        const ParsedOptions parsed = parseStatsOptions(
            QStringList { "--join", "--from", row.from, "--to", row.to } + files);
        ASSERT_TRUE(parsed.options) << parsed.error.toStdString();
        AnalysisRequest request = parsed.options->request;
        QString why;
        ASSERT_TRUE(applyWindow(request, *parsed.options, why)) << why.toStdString();
        const SeriesOutcome series = analyseSeries(files, request, 2);
        ASSERT_TRUE(series.report) << row.from;
        EXPECT_EQ(series.report->statistics.readings, row.readings) << row.from;
    }
    for (const char *bad : { "2026-02-30 10:00", "2026-03-12 24:00", "12.03.2026 10:00" })
        EXPECT_FALSE(parseStatsOptions({ "--from", bad, "x.vorn" }).options) << bad;
    EXPECT_FALSE(
        parseStatsOptions({ "--from", "2026-03-13 00:00", "--to", "2026-03-12 00:00", "x.vorn" })
            .options);
}

} // namespace

int main(int argc, char **argv)
{
    useTestZone("Europe/Berlin");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

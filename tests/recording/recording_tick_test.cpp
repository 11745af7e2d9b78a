#include "RecordingTestSupport.h"
#include "recording/DataFileWriter.h"
#include "recording/FormatTenths.h"
#include "recording/LevelNumber.h"
#include "recording/MeasurementState.h"
#include "recording/RecordingSession.h"
#include "recording/SampleTick.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <vector>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class SampleTickTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_boards = { QStringLiteral("A"), QStringLiteral("SLOW"), QStringLiteral("80-140") };
    }

    SampleTickResult tick(double level, const QString &text = {}, qint64 frameAgeMs = 0)
    {
        SampleInput input;
        input.FrameAgeMs = frameAgeMs;
        input.Level = level;
        input.LevelText = text.isEmpty() ? QString::number(level, 'f', 1) : text;
        input.Now = sampleClock(m_seconds++);
        input.Boards = m_boards;
        input.Folder = m_dir.path();
        return OnSampleTick(m_state, input);
    }

    // Tick numbers (from 1) that took a sample.
    std::vector<int> sampledTicks(int ticks)
    {
        std::vector<int> sampled;
        for (int i = 1; i <= ticks; ++i) {
            if (tick(60.0).Sampled)
                sampled.push_back(i);
        }
        return sampled;
    }

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    MeasurementState m_state;
    HeaderBoards m_boards;
    int m_seconds = 0;
};

TEST_F(SampleTickTest, IntervalOneSamplesEveryTickAfterTheFirst)
{
    EXPECT_EQ(sampledTicks(4), (std::vector<int> { 2, 3, 4 }));
}

TEST_F(SampleTickTest, IntervalFiveSamplesFiveTicksApart)
{
    m_state.SampleInterval = 5;
    EXPECT_EQ(sampledTicks(16), (std::vector<int> { 6, 11, 16 }));
}

TEST_F(SampleTickTest, ChangedIntervalSamplesIntervalPlusOneTicksLater)
{
    sampledTicks(3);
    m_state.changeSampleInterval(3);
    EXPECT_EQ(sampledTicks(7), (std::vector<int> { 4, 7 }));
}

TEST_F(SampleTickTest, LiveStatisticsOfTwoTicks)
{
    tick(80.0);
    const SampleTickResult second = tick(90.0);
    // 10 log10((10^8 + 10^9) / 2) = 87.40..., SEL adds 10 log10(2).
    EXPECT_EQ(second.LeqText, QStringLiteral("87.4"));
    EXPECT_EQ(second.SelText, QStringLiteral("90.4"));
    EXPECT_TRUE(second.MaxChanged);
    EXPECT_EQ(second.MaxText, QStringLiteral("90.0"));
    EXPECT_EQ(second.MaxTime, QStringLiteral("2013/03/04 08:00:01"));
    EXPECT_FALSE(tick(85.0).MaxChanged);
}

TEST_F(SampleTickTest, ConstantLevelShowsThatLevelAsLeq)
{
    for (int i = 0; i < 50; ++i)
        tick(85.3);
    EXPECT_EQ(m_state.LiveLeqText, QStringLiteral("85.3"));
}

TEST_F(SampleTickTest, SampleGoesToListChartsAndHistory)
{
    tick(70.0);
    const SampleTickResult sampled = tick(72.5, QStringLiteral("72.5*"));
    ASSERT_TRUE(sampled.Sampled);
    ASSERT_EQ(m_state.List.count(), 1);
    EXPECT_EQ(m_state.List.number(0), QStringLiteral("1"));
    EXPECT_EQ(m_state.List.time(0), QStringLiteral("2013/03/04 08:00:01"));
    EXPECT_EQ(m_state.List.level(0), QStringLiteral("72.5*"));
    EXPECT_DOUBLE_EQ(sampled.Chart.Level, 72.5);
    EXPECT_DOUBLE_EQ(sampled.Chart.Leq, leadingLevelValue(m_state.LiveLeqText));
    EXPECT_EQ(m_state.History.LiveLogIndex, 1);
    EXPECT_DOUBLE_EQ(m_state.History.LevelLog()[0], 72.5);
    EXPECT_DOUBLE_EQ(m_state.History.SelLog()[0], leadingLevelValue(m_state.LiveSelText));
    EXPECT_EQ(sampled.Labels.Count, QString()); // not recording: labels cleared
}

struct ClassCase
{
    const char *name;
    double level;
    int tenths;
    int wholeDbClass;
};

class ClassBoundaryTest : public ::testing::TestWithParam<ClassCase>
{
};

TEST_P(ClassBoundaryTest, CountsInItsClasses)
{
    ClassTables tables;
    ASSERT_TRUE(tables.add(GetParam().level));
    EXPECT_EQ(tables.ClassCounts01dB[GetParam().tenths], 1);
    EXPECT_EQ(tables.ClassCounts1dB[GetParam().wholeDbClass], 1);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, ClassBoundaryTest,
    ::testing::Values(ClassCase { "WholeDbBelongsBelow", 85.0, 850, 85 },
                      ClassCase { "TenthAboveGoesUp", 85.1, 851, 86 },
                      ClassCase { "HalfTenthRoundsToEvenDown", 85.25, 852, 86 },
                      ClassCase { "HalfTenthRoundsToEvenUp", 85.35, 854, 86 },
                      ClassCase { "Zero", 0.0, 0, 0 }, ClassCase { "Top", 140.0, 1400, 140 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ClassTables, BoundsAndHistogramSwitchAtThirtyDbSpread)
{
    ClassTables tables;
    tables.add(60.0);
    EXPECT_EQ(tables.ClassMin1dB, 59);
    EXPECT_EQ(tables.ClassMax1dB, 61);
    EXPECT_EQ(tables.ClassMin01dB, 600);
    EXPECT_EQ(tables.ClassMax01dB, 600);
    tables.add(90.0);
    EXPECT_FALSE(tables.showWholeDbHistogram()); // exactly 30 dB
    tables.add(90.1);
    EXPECT_TRUE(tables.showWholeDbHistogram());
    EXPECT_FALSE(tables.add(140.1));
    EXPECT_FALSE(tables.add(-0.1));
    EXPECT_EQ(tables.ClassMax01dB, 901);
}

TEST(LiveLog, WrapsToSlotZeroAfterTheLastSlot)
{
    auto log = std::make_unique<LiveLog>();
    const double *levels = log->LevelLog();
    for (int i = 0; i < LiveLog::Slots - 1; ++i)
        log->store(50.0, 50.0, 50.0);
    EXPECT_EQ(log->LiveLogIndex, 864000);
    log->store(1.0, 2.0, 3.0);
    EXPECT_EQ(log->LiveLogIndex, 0);
    EXPECT_DOUBLE_EQ(log->LevelLog()[864000], 1.0);
    log->store(4.0, 5.0, 6.0);
    EXPECT_DOUBLE_EQ(log->LevelLog()[0], 4.0);
    EXPECT_DOUBLE_EQ(log->SelLog()[0], 6.0);
    EXPECT_EQ(log->LevelLog(), levels); // never reallocated
}

TEST_F(SampleTickTest, LevelAboveTheTablesIsStillASample)
{
    tick(60.0);
    const SampleTickResult high = tick(141.0, QStringLiteral("141.0"));
    EXPECT_TRUE(high.Sampled);
    EXPECT_FALSE(high.ClassTablesChanged);
    EXPECT_EQ(m_state.List.count(), 1);
    EXPECT_EQ(m_state.History.LiveLogIndex, 1);
    EXPECT_EQ(m_state.Classes.ClassMax01dB, 0);
    EXPECT_EQ(m_state.TickCount, 1);
    EXPECT_TRUE(tick(60.0).Sampled); // the next tick samples on schedule
    EXPECT_EQ(m_state.List.count(), 2);
}

TEST_F(SampleTickTest, AStaleReadingAddsNothingAnywhere)
{
    ASSERT_TRUE(StartRecording(m_state, path("rec.vorn"), m_dir.path()).ok);
    tick(60.0);
    tick(60.0);
    ASSERT_TRUE(m_state.TempFile.drain());
    const QByteArray fakeBefore = fileBytes(path("Fake"));
    struct
    {
        const char *name;
        qint64 ageMs;
    } const stale[] = { { "older than 1.5 s", 1501 }, { "no frame yet", -1 } };
    for (const auto &row : stale) {
        const SampleTickResult r = tick(90.0, QStringLiteral("90.0"), row.ageMs);
        EXPECT_TRUE(r.Stale) << row.name;
        EXPECT_FALSE(r.Sampled) << row.name;
        EXPECT_EQ(m_state.LiveCount, 2) << row.name;
        EXPECT_EQ(m_state.RecordingCount, 2) << row.name;
        EXPECT_EQ(m_state.MaxLevel, 60.0) << row.name;
        EXPECT_EQ(m_state.List.count(), 1) << row.name;
        EXPECT_EQ(m_state.History.LiveLogIndex, 1) << row.name;
        EXPECT_EQ(m_state.TickCount, 1) << row.name;
        ASSERT_TRUE(m_state.TempFile.drain());
        EXPECT_EQ(fileBytes(path("Fake")), fakeBefore) << row.name;
    }
    EXPECT_FALSE(tick(60.0, {}, 1500).Stale); // 1.5 s is still fresh
}

TEST_F(SampleTickTest, ADamagedLevelKeepsEverySumFiniteAndIsCounted)
{
    ASSERT_TRUE(StartRecording(m_state, path("rec.vorn"), m_dir.path()).ok);
    tick(60.0);
    const SampleTickResult damaged = tick(3276.7, QStringLiteral("3276.7*"));
    EXPECT_TRUE(damaged.DamagedLevel);
    EXPECT_EQ(m_state.DamagedLevels, 1);
    EXPECT_EQ(damaged.LeqText, QStringLiteral("60.0"));
    EXPECT_EQ(damaged.SelText, QStringLiteral("60.0"));
    EXPECT_EQ(m_state.LiveCount, 1);
    EXPECT_EQ(m_state.MaxLevel, 60.0);
    // Its text goes to the list and the file as received.
    EXPECT_EQ(m_state.List.count(), 1);
    ASSERT_TRUE(m_state.TempFile.drain());
    EXPECT_TRUE(fileBytes(path("Fake")).contains("\t3276.7*\t"));
    tick(60.0);
    ASSERT_TRUE(StopRecording(m_state, m_boards, StopKind::Manual, {}).ok);
    const QList<QByteArray> header = fileBytes(path("rec.vorn")).split('\n');
    ASSERT_GE(header.size(), 9);
    EXPECT_EQ(header[5], QByteArray("60.0\r")); // the recording's maximum
    EXPECT_EQ(header[7], QByteArray("63.0\r")); // SEL over the two good seconds
    EXPECT_EQ(header[8], QByteArray("60.0\r"));
}

TEST(FormatTenthsLimits, NonFiniteAndHugeValuesGiveNoText)
{
    for (const double value :
         { std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
           std::numeric_limits<double>::quiet_NaN(), 1e300, -1e300 })
        EXPECT_EQ(FormatTenths(value), QString()) << value;
    EXPECT_EQ(FormatTenths(32767.0), QStringLiteral("32767.0"));
}

TEST_F(SampleTickTest, OneSampleRecordingIsElevenExactLines)
{
    ASSERT_TRUE(StartRecording(m_state, path("rec.vorn"), m_dir.path()).ok);
    tick(85.3);
    const SampleTickResult sampled = tick(85.3);
    EXPECT_EQ(sampled.Labels.Count, QStringLiteral("1"));
    EXPECT_EQ(sampled.Labels.Rec, QStringLiteral("Rec"));
    EXPECT_EQ(sampled.Labels.FileName, QStringLiteral("rec.vorn"));
    ASSERT_TRUE(m_state.TempFile.drain());
    EXPECT_EQ(fileBytes(path("Fake")),
              QByteArray("No.s\tDate Time\tdB\t\r\n1\t2013/03/04 08:00:01\t85.3\t\r\n"));
    ASSERT_TRUE(StopRecording(m_state, m_boards, StopKind::Manual, {}).ok);
    EXPECT_EQ(fileBytes(path("rec.vorn")),
              QByteArray("Real Time\r\n"
                         " 1 \r\n"
                         "A\r\n"
                         "SLOW\r\n"
                         "80-140\r\n"
                         "85.3\r\n"
                         "2013/03/04 08:00:00\r\n"
                         "88.3\r\n"
                         "85.3\r\n"
                         "No.s\tDate Time\tdB\t\r\n"
                         "1\t2013/03/04 08:00:01\t85.3\t\r\n"));
    EXPECT_FALSE(m_state.Recording);
    EXPECT_TRUE(QFile::exists(path("Fake")));
    EXPECT_FALSE(QFile::exists(path("Fake.state"))) << "a finished recording is not recovered";
}

TEST_F(SampleTickTest, EmptyRecordingWritesMaximumAsNumberZero)
{
    ASSERT_TRUE(StartRecording(m_state, path("rec.vorn"), m_dir.path()).ok);
    ASSERT_TRUE(StopRecording(m_state, m_boards, StopKind::Manual, {}).ok);
    const QList<QByteArray> lines = fileBytes(path("rec.vorn")).split('\n');
    ASSERT_GE(lines.size(), 10);
    EXPECT_EQ(lines[5], QByteArray(" 0 \r"));
    EXPECT_EQ(lines[9], QByteArray("No.s\tDate Time\tdB\t\r"));
}

// A save that replaces a data file takes its details file with it once the
// new file is in place; details written for the new recording stay.
TEST_F(SampleTickTest, AReplacedDataFileLosesTheOldDetails)
{
    const struct
    {
        const char *name;
        bool listSave;
        bool detailsForTheNewOne;
        bool kept;
    } rows[] = {
        { "list save", true, false, false },
        { "recording", false, false, false },
        { "recording with its own details", false, true, true },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QString target = path("site.vorn");
        const QString details = DetailsPathOf(target);
        writeFile(target, "old");
        writeFile(details, "{\"meter_serial\": \"OLD\"}");
        if (row.listSave) {
            tick(60.0);
            tick(61.0);
            ASSERT_TRUE(SaveList(m_state, target, m_boards, {}).ok);
        } else {
            ASSERT_TRUE(StartRecording(m_state, target, m_dir.path()).ok);
            if (row.detailsForTheNewOne) {
                // Written anew as the panel does after the start: a new file
                // renamed over the old one.
                QSaveFile file(details);
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                file.write("{\"meter_serial\": \"NEW\"}");
                ASSERT_TRUE(file.commit());
            }
            tick(60.0);
            tick(61.0);
            ASSERT_TRUE(StopRecording(m_state, m_boards, StopKind::Manual, {}).ok);
        }
        EXPECT_EQ(QFile::exists(details), row.kept);
        QFile::remove(details);
    }
}

TEST_F(SampleTickTest, EachRecordingHeaderDescribesThatRecordingAlone)
{
    ASSERT_TRUE(StartRecording(m_state, path("loud.vorn"), m_dir.path()).ok);
    tick(100.0);
    tick(100.0);
    // Automatic stop keeps the sums; the next recording must not inherit them.
    ASSERT_TRUE(StopRecording(m_state, m_boards, StopKind::Automatic, {}).ok);
    ASSERT_TRUE(StartRecording(m_state, path("quiet.vorn"), m_dir.path()).ok);
    tick(50.0);
    ASSERT_TRUE(StopRecording(m_state, m_boards, StopKind::Manual, {}).ok);
    const QList<QByteArray> lines = fileBytes(path("quiet.vorn")).split('\n');
    EXPECT_EQ(lines[5], QByteArray("50.0\r"));
    EXPECT_EQ(lines[6], QByteArray("2013/03/04 08:00:02\r"));
    EXPECT_EQ(lines[7], QByteArray("50.0\r"));
    EXPECT_EQ(lines[8], QByteArray("50.0\r"));
}

TEST_F(SampleTickTest, RecordLimitStopsAfterWritingTheLastRecord)
{
    ASSERT_TRUE(StartRecording(m_state, path("full.vorn"), m_dir.path()).ok);
    tick(60.0);
    m_state.RecordCount = MeasurementState::RecordLimit - 1;
    const SampleTickResult last = tick(61.0);
    EXPECT_TRUE(last.AutoStopped);
    EXPECT_EQ(last.AutoStopPath, path("full.vorn"));
    EXPECT_FALSE(m_state.Recording);
    EXPECT_TRUE(last.Errors.isEmpty());
    EXPECT_TRUE(
        fileBytes(path("full.vorn")).endsWith("\r\n348000\t2013/03/04 08:00:01\t61.0\t\r\n"));
    EXPECT_FALSE(tick(62.0).AutoStopped);
}

TEST_F(SampleTickTest, FullListIsDumpedOnceAndSamplingGoesOn)
{
    QDir::setCurrent(m_dir.path());
    m_state.List.reserve(int(MeasurementState::ListLimit));
    for (int i = 1; i <= MeasurementState::ListLimit; ++i)
        m_state.List.append(QString::number(i), QStringLiteral("2013/03/04 08:00:00"),
                            QStringLiteral("60.0"));
    m_state.ListCount = MeasurementState::ListLimit;
    m_state.TickCount = 1;
    const SampleTickResult dumped = tick(61.0);
    ASSERT_TRUE(dumped.ListDumped);
    EXPECT_EQ(dumped.DumpPath, path("0304080000.vorn"));
    EXPECT_EQ(fileBytes(dumped.DumpPath).count("\r\n"), MeasurementState::ListLimit + 1);
    EXPECT_EQ(m_state.ListCount, 1);
    ASSERT_EQ(m_state.List.count(), 1);
    EXPECT_EQ(m_state.List.level(0), QStringLiteral("61.0"));
    const SampleTickResult next = tick(62.0);
    EXPECT_FALSE(next.ListDumped);
    EXPECT_EQ(m_state.ListCount, 2);
}

TEST_F(SampleTickTest, RecordingThatCannotCreateItsFileDoesNotStart)
{
    const UnwritableFolder locked(m_dir.path());
    const SessionOutcome started = StartRecording(m_state, path("rec.vorn"), locked.path());
    EXPECT_FALSE(started.ok);
    EXPECT_FALSE(m_state.Recording);
    EXPECT_TRUE(started.message.contains(QDir::toNativeSeparators(locked.filePath("Fake"))))
        << started.message.toStdString();
    EXPECT_TRUE(started.message.contains(QStringLiteral("has not started")));
    EXPECT_FALSE(tick(60.0).Sampled);
    EXPECT_TRUE(tick(60.0).Labels.Rec.isEmpty());
}

TEST_F(SampleTickTest, StopThatCannotWriteKeepsTheTemporaryFileAndSaysWhere)
{
    const UnwritableFolder locked(m_dir.path());
    const QString target = locked.filePath("rec.vorn");
    ASSERT_TRUE(StartRecording(m_state, target, m_dir.path()).ok);
    tick(70.0);
    tick(70.0);
    const SessionOutcome stopped = StopRecording(m_state, m_boards, StopKind::Manual, {});
    EXPECT_FALSE(stopped.ok);
    EXPECT_TRUE(stopped.message.contains(QDir::toNativeSeparators(target)));
    EXPECT_TRUE(stopped.message.contains(QDir::toNativeSeparators(path("Fake"))));
    EXPECT_FALSE(m_state.Recording);
    EXPECT_TRUE(fileBytes(path("Fake")).endsWith("1\t2013/03/04 08:00:01\t70.0\t\r\n"));
}

TEST_F(SampleTickTest, RecordThatCannotBeWrittenStopsTheRecordingWithWhatItHas)
{
    ASSERT_TRUE(StartRecording(m_state, path("cut.vorn"), m_dir.path()).ok);
    tick(70.0);
    tick(71.0);
    m_state.TempFile.close(); // the file is gone from under the recording
    const SampleTickResult failed = tick(72.0);
    ASSERT_FALSE(failed.Errors.isEmpty());
    EXPECT_TRUE(failed.Errors[0].contains(QDir::toNativeSeparators(path("Fake"))));
    EXPECT_TRUE(failed.Errors[0].contains(QStringLiteral("The recording has been stopped.")));
    EXPECT_TRUE(failed.AutoStopped);
    EXPECT_FALSE(m_state.Recording);
    EXPECT_TRUE(failed.ListAppended); // the sample itself is not lost
    EXPECT_TRUE(fileBytes(path("cut.vorn")).endsWith("1\t2013/03/04 08:00:01\t71.0\t\r\n"));
}

TEST_F(SampleTickTest, RefreshUsesItsOwnMinimumBoundsAndKeepsHistory)
{
    tick(60.0);
    tick(65.0);
    const double leqMax = m_state.LiveLeqMax;
    ResetLiveData(m_state);
    EXPECT_EQ(m_state.Classes.ClassMin1dB, 150);
    EXPECT_EQ(m_state.Classes.ClassMin01dB, 1500);
    EXPECT_EQ(m_state.Classes.ClassMax1dB, 0);
    EXPECT_EQ(m_state.Classes.ClassCounts01dB[650], 0);
    EXPECT_EQ(m_state.Classes.ClassCounts1dB[65], 0);
    EXPECT_EQ(m_state.History.LiveLogIndex, 0);
    EXPECT_DOUBLE_EQ(m_state.History.LevelLog()[0], 65.0);
    EXPECT_EQ(m_state.List.count(), 0);
    EXPECT_EQ(m_state.LiveCount, 0);
    EXPECT_DOUBLE_EQ(m_state.MaxLevel, 0.0);
    EXPECT_DOUBLE_EQ(m_state.LiveLeqMax, leqMax);
    EXPECT_EQ(MeasurementState().Classes.ClassMin1dB, 145);
    EXPECT_EQ(MeasurementState().Classes.ClassMin01dB, 1450);
}

TEST_F(SampleTickTest, LinkLossResetKeepsIntervalAndBounds)
{
    m_state.changeSampleInterval(2);
    for (int i = 0; i < 6; ++i)
        tick(70.0);
    ResetAfterLinkLoss(m_state);
    EXPECT_EQ(m_state.SampleInterval, 2);
    EXPECT_EQ(m_state.Classes.ClassMin01dB, 700);
    EXPECT_EQ(m_state.Classes.ClassCounts01dB[700], 0);
    EXPECT_EQ(m_state.ListCount, 0);
    EXPECT_GT(m_state.List.count(), 0); // emptied by the list step that follows
    EXPECT_EQ(m_state.LiveCount, 0);
    EXPECT_EQ(m_state.History.LiveLogIndex, 0);
    EXPECT_TRUE(m_state.MaxLevelTime.isEmpty());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "RecordingTestSupport.h"
#include "recording/MeasurementState.h"
#include "recording/RecordingRecovery.h"
#include "recording/RecordingSession.h"
#include "recording/SampleTick.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

#include <vector>

namespace {

const HeaderBoards Boards { QStringLiteral("A"), QStringLiteral("SLOW"), QStringLiteral("80-140") };

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void appendFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(bytes);
}

QList<QByteArray> linesOf(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

#ifdef Q_OS_UNIX
// Files of this process cannot grow past the limit while it lives, as on a
// full disk: a write crossing it stores what fits and then fails.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old {};
};
#endif

// One copy of the program recording in a folder, ticked by hand.
class Recorder
{
public:
    explicit Recorder(const QString &folder)
        : m_folder(folder)
    {
    }

    SessionOutcome start(const QString &target)
    {
        return StartRecording(m_state, target, m_folder, Boards);
    }
    SampleTickResult tick(double level)
    {
        SampleInput input;
        input.Level = level;
        input.LevelText = QString::number(level, 'f', 1);
        input.Now = sampleClock(m_seconds++);
        input.Boards = Boards;
        input.Folder = m_folder;
        return OnSampleTick(m_state, input);
    }
    void ticks(const std::vector<double> &levels)
    {
        for (double level : levels)
            tick(level);
    }
    SessionOutcome stop() { return StopRecording(m_state, Boards, StopKind::Manual, {}); }
    // What a killed program leaves: whatever was queued reached the disk,
    // nothing was finished.
    void crash()
    {
        ASSERT_TRUE(m_state.TempFile.drain());
        m_state.TempFile.abandon();
        m_state.Recording = false;
    }

    MeasurementState m_state;
    QString m_folder;
    int m_seconds = 0;
};

class RecoveryTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid() && m_clean.isValid()); }

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QString companion() const { return path("Fake.state"); }

    // The file a clean stop writes after the same ticks, in a folder of its own.
    QByteArray cleanStopFile(const std::vector<double> &levels)
    {
        Recorder clean(m_clean.path());
        const QString target = m_clean.filePath(QStringLiteral("clean.vorn"));
        EXPECT_TRUE(clean.start(target).ok);
        clean.ticks(levels);
        EXPECT_TRUE(clean.stop().ok);
        return fileBytes(target);
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_clean;
};

// Levels that move the maximum around, with a first tick that takes no sample.
const std::vector<double> Levels { 61.0, 64.2, 70.5, 66.3, 72.1, 58.0, 71.9 };

TEST_F(RecoveryTest, CrashedRecordingIsFinishedAsACleanStopWouldHave)
{
    // The companion is written after the records it counts: a crash between
    // the two leaves it one record behind the file, and recovery counts that
    // record itself, a damaged frame's level as the tick does (in no sum).
    for (const double last : { Levels.back(), 3276.7 })
        for (const bool companionBehind : { false, true }) {
            SCOPED_TRACE(companionBehind ? "companion one record behind" : "companion current");
            SCOPED_TRACE(last);
            std::vector<double> levels = Levels;
            levels.back() = last;
            QFile::remove(path("crash.vorn"));
            Recorder recorder(m_dir.path());
            ASSERT_TRUE(recorder.start(path("crash.vorn")).ok);
            recorder.ticks({ levels.begin(), levels.end() - 1 });
            ASSERT_TRUE(recorder.m_state.TempFile.drain());
            const QByteArray earlier = fileBytes(companion());
            recorder.tick(levels.back());
            recorder.crash();
            if (companionBehind)
                writeFile(companion(), earlier);
            ASSERT_FALSE(QFile::exists(path("crash.vorn")));

            const RecoveryOutcome recovered = RecoverUnfinishedRecording(m_dir.path());
            EXPECT_TRUE(recovered.Found && recovered.Ok) << recovered.Message.toStdString();
            EXPECT_EQ(recovered.Path, path("crash.vorn"));
            EXPECT_EQ(recovered.Records, qint64(Levels.size() - 1));
            EXPECT_EQ(recovered.TornLines, 0);
            EXPECT_EQ(fileBytes(path("crash.vorn")), cleanStopFile(levels));
            EXPECT_TRUE(recovered.Message.contains(QDir::toNativeSeparators(path("crash.vorn"))));
            EXPECT_TRUE(recovered.Message.contains(QStringLiteral("with 6 records")));
            EXPECT_FALSE(QFile::exists(companion()));
            EXPECT_FALSE(RecoverUnfinishedRecording(m_dir.path()).Found) << "recovered twice";
        }
}

TEST_F(RecoveryTest, CompanionWithoutSumsIsCompletedFromTheRecords)
{
    Recorder recorder(m_dir.path());
    ASSERT_TRUE(recorder.start(path("sums.vorn")).ok);
    recorder.ticks({ 70.0, 70.0, 75.0, 70.0 });
    recorder.crash();
    writeFile(companion(),
              QByteArray("{ \"target\": \"") + path("sums.vorn").toUtf8()
                  + "\", \"interval\": 1 }");
    ASSERT_TRUE(RecoverUnfinishedRecording(m_dir.path()).Ok);
    const QList<QByteArray> lines = linesOf(fileBytes(path("sums.vorn")));
    ASSERT_EQ(lines.size(), 13);
    EXPECT_EQ(lines[5], "75.0\r");
    EXPECT_EQ(lines[6], "2013/03/04 08:00:02\r");
    EXPECT_EQ(lines[8], "72.3\r"); // Leq of 70, 75, 70 dB
}

TEST_F(RecoveryTest, RecoveredFileOverwritesNothing)
{
    struct Case
    {
        const char *name;
        QStringList existing; // file names present before the recovery
        QString expected;
    };
    const QString recoveredName = QStringLiteral("Recovered 2026-01-02 03-04-05.vorn");
    const std::vector<Case> cases {
        { "target free", {}, QStringLiteral("rec.vorn") },
        { "target taken", { QStringLiteral("rec.vorn") }, recoveredName },
        { "recovered name taken too",
          { QStringLiteral("rec.vorn"), recoveredName },
          QStringLiteral("Recovered 2026-01-02 03-04-05 (2).vorn") },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        Recorder recorder(dir.path());
        ASSERT_TRUE(recorder.start(dir.filePath(QStringLiteral("rec.vorn"))).ok);
        recorder.ticks({ 60.0, 61.0, 62.0 });
        recorder.crash();
        // The recording's start names the recovered file.
        QByteArray state = fileBytes(dir.filePath(QStringLiteral("Fake.state")));
        const int at = state.indexOf("\"started\": \"") + 12;
        state.replace(at, state.indexOf('"', at) - at, "2026-01-02T03:04:05");
        writeFile(dir.filePath(QStringLiteral("Fake.state")), state);
        for (const QString &name : c.existing)
            writeFile(dir.filePath(name), "keep me");

        const RecoveryOutcome recovered = RecoverUnfinishedRecording(dir.path());
        ASSERT_TRUE(recovered.Ok) << recovered.Message.toStdString();
        EXPECT_EQ(recovered.Path, dir.filePath(c.expected));
        EXPECT_EQ(linesOf(fileBytes(recovered.Path)).size(), 12);
        for (const QString &name : c.existing)
            EXPECT_EQ(fileBytes(dir.filePath(name)), "keep me") << name.toStdString();
    }
}

TEST_F(RecoveryTest, TornLastLineIsLeftOutAndCounted)
{
    Recorder recorder(m_dir.path());
    ASSERT_TRUE(recorder.start(path("torn.vorn")).ok);
    recorder.ticks({ 60.0, 61.0, 62.0 });
    recorder.crash();
    appendFile(path("Fake"), "3\t2013/03/04 08:0");

    const RecoveryOutcome recovered = RecoverUnfinishedRecording(m_dir.path());
    ASSERT_TRUE(recovered.Ok);
    EXPECT_EQ(recovered.Records, 2);
    EXPECT_EQ(recovered.TornLines, 1);
    EXPECT_TRUE(recovered.Message.contains(QStringLiteral("1 incomplete line was left out")));
    EXPECT_TRUE(fileBytes(path("torn.vorn")).endsWith("\r\n2\t2013/03/04 08:00:02\t62.0\t\r\n"));
}

#ifdef Q_OS_UNIX
TEST_F(RecoveryTest, RecoveryThatCannotWriteKeepsBothFilesAndSaysSo)
{
    Recorder recorder(m_dir.path());
    ASSERT_TRUE(recorder.start(path("full.vorn")).ok);
    recorder.ticks({ 60.0, 61.0, 62.0 });
    recorder.crash();
    const QByteArray fake = fileBytes(path("Fake"));
    const QByteArray state = fileBytes(companion());
    {
        const FileSizeLimit diskFull(40);
        const RecoveryOutcome failed = RecoverUnfinishedRecording(m_dir.path());
        EXPECT_TRUE(failed.Found);
        EXPECT_FALSE(failed.Ok);
        EXPECT_TRUE(failed.Message.contains(QStringLiteral("could not be saved")));
        EXPECT_TRUE(failed.Message.contains(QDir::toNativeSeparators(path("Fake"))));
        EXPECT_TRUE(failed.Message.contains(QDir::toNativeSeparators(companion())));
    }
    EXPECT_EQ(fileBytes(path("Fake")), fake);
    EXPECT_EQ(fileBytes(companion()), state);
    EXPECT_FALSE(QFile::exists(path("full.vorn")));
    EXPECT_TRUE(RecoverUnfinishedRecording(m_dir.path()).Ok) << "tried again at the next start";
    EXPECT_EQ(linesOf(fileBytes(path("full.vorn"))).size(), 12);
}
#endif

TEST_F(RecoveryTest, FailedStopIsSavedBeforeTheNextRecordingStarts)
{
    const UnwritableFolder locked(m_dir.path());
    Recorder recorder(m_dir.path());
    ASSERT_TRUE(recorder.start(locked.filePath("lost.vorn")).ok);
    recorder.ticks({ 60.0, 61.0, 62.0, 63.0 });
    const SessionOutcome stopped = recorder.stop();
    ASSERT_FALSE(stopped.ok);
    EXPECT_TRUE(QFile::exists(companion()));

    // The target's folder is still unwritable: the records go beside "Fake".
    const SessionOutcome next = recorder.start(path("next.vorn"));
    ASSERT_TRUE(next.ok) << next.message.toStdString();
    EXPECT_TRUE(next.notice.contains(QStringLiteral("with 3 records")))
        << next.notice.toStdString();
    const QStringList recovered
        = QDir(m_dir.path()).entryList({ QStringLiteral("Recovered *.vorn") }, QDir::Files);
    ASSERT_EQ(recovered.size(), 1);
    EXPECT_TRUE(next.notice.contains(recovered.first()));
    EXPECT_TRUE(fileBytes(m_dir.filePath(recovered.first()))
                    .endsWith("\r\n3\t2013/03/04 08:00:03\t63.0\t\r\n"));
    recorder.ticks({ 70.0, 70.0 });
    ASSERT_TRUE(recorder.stop().ok);
    EXPECT_EQ(linesOf(fileBytes(path("next.vorn"))).size(), 12);
}

TEST_F(RecoveryTest, ARecordingIsNotStartedOnTheFileItsRecoveryJustWrote)
{
    Recorder recorder(m_dir.path());
    ASSERT_TRUE(recorder.start(path("day.vorn")).ok);
    recorder.ticks({ 60.0, 61.0, 62.0 });
    recorder.crash();
    // The same name again: the left records go there, so this one may not.
    const SessionOutcome again = recorder.start(path("day.vorn"));
    EXPECT_FALSE(again.ok);
    EXPECT_TRUE(again.message.contains(QStringLiteral("Choose another name")))
        << again.message.toStdString();
    EXPECT_TRUE(fileBytes(path("day.vorn")).endsWith("\r\n2\t2013/03/04 08:00:02\t62.0\t\r\n"));
    EXPECT_TRUE(recorder.start(path("day (2).vorn")).ok);
}

TEST_F(RecoveryTest, TheRecordingsOwnWorkingFilesAreNoTarget)
{
    Recorder recorder(m_dir.path());
    for (const char *own : { "Fake", "Fake.state", "Fake.lock", "fake" }) {
        const SessionOutcome started = recorder.start(path(own));
        EXPECT_FALSE(started.ok) << own;
        EXPECT_TRUE(started.message.contains(QStringLiteral("choose another name")))
            << started.message.toStdString();
    }
    EXPECT_FALSE(QFile::exists(path("Fake")));
    // The same names elsewhere are ordinary files.
    const SessionOutcome elsewhere = recorder.start(m_clean.filePath(QStringLiteral("Fake")));
    ASSERT_TRUE(elsewhere.ok) << elsewhere.message.toStdString();
    recorder.ticks({ 60.0, 61.0 });
    ASSERT_TRUE(recorder.stop().ok);
    EXPECT_TRUE(QFile::exists(m_clean.filePath(QStringLiteral("Fake"))));
}

#ifdef Q_OS_UNIX
TEST_F(RecoveryTest, WriteFailingMidLineLeavesOnlyWholeLinesInTheDataFile)
{
    Recorder recorder(m_dir.path());
    ASSERT_TRUE(recorder.start(path("cut.vorn")).ok);
    recorder.ticks({ 60.0, 61.0, 62.0 });
    ASSERT_TRUE(recorder.m_state.TempFile.drain());
    const qint64 whole = QFile(path("Fake")).size();
    {
        // Room for half of the next record only.
        const FileSizeLimit diskFull(rlim_t(whole + 12));
        recorder.tick(63.0);
        EXPECT_FALSE(recorder.m_state.TempFile.drain());
    }
    EXPECT_EQ(QFile(path("Fake")).size(), whole) << "the torn record was not cut off";
    const SampleTickResult stopped = recorder.tick(64.0);
    EXPECT_TRUE(stopped.AutoStopped);
    ASSERT_FALSE(stopped.Errors.isEmpty());
    EXPECT_TRUE(stopped.Errors[0].contains(QStringLiteral("The recording has been stopped.")));
    EXPECT_TRUE(fileBytes(path("cut.vorn")).endsWith("\r\n2\t2013/03/04 08:00:02\t62.0\t\r\n"));
}
#endif

TEST_F(RecoveryTest, StopLeavesATornLineOutOfTheDataFile)
{
    Recorder recorder(m_dir.path());
    ASSERT_TRUE(recorder.start(path("stop.vorn")).ok);
    recorder.ticks({ 60.0, 61.0 });
    ASSERT_TRUE(recorder.m_state.TempFile.drain());
    appendFile(path("Fake"), "2\t2013/03/04 08:00:0");
    ASSERT_TRUE(recorder.stop().ok);
    for (const QByteArray &line : linesOf(fileBytes(path("stop.vorn"))))
        EXPECT_TRUE(line.endsWith('\r')) << line.toStdString();
    EXPECT_TRUE(fileBytes(path("stop.vorn")).endsWith("\r\n1\t2013/03/04 08:00:01\t61.0\t\r\n"));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

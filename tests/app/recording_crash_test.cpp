// A recording against the emulated meter that loses nothing to a killed
// program, a second copy of the program in the same folder or a slow disk.

#include "AppDriver.h"

#include "analysis/gui/OpenDataFile.h"
#include "analysis/gui/StatisticsWindow.h"
#include "panel/gui/LiveSession.h"
#include "panel/gui/Panel.h"
#include "panel/gui/ProgramRun.h"
#include "recording/MeasurementState.h"
#include "recording/RecordingSession.h"
#include "recording/gui/RecordingController.h"
#include "recording/gui/SaveDataPanel.h"
#include "recording/gui/StartUpRecovery.h"
#include "support/ScriptedDialogs.h"
#include "platform/ReadingListModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <memory>
#include <random>
#include <vector>

#ifndef VORN_RECORDING_CHILD
#define VORN_RECORDING_CHILD ""
#endif

namespace {

QList<QByteArray> fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// A copy of the program recording in the given folder (see recording_child.cpp).
class RecordingChild
{
public:
    struct Record
    {
        qint64 printedAtMs = 0; // on the test's clock
        QStringList header; // what a stop at this record would write
    };

    explicit RecordingChild(const QElapsedTimer &clock)
        : m_clock(clock)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { read(); });
    }

    // Starts it on the meter of that ports folder; started() tells when it records.
    void start(const QString &folder, const QString &portsFolder, const QString &target)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VORN_PORTS_DIR"), portsFolder);
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(folder);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(VORN_RECORDING_CHILD), { target });
    }
    bool waitStarted()
    {
        WaitUntil([this] { return !m_started.isEmpty() || !running(); }, 15000);
        return started();
    }
    bool started() const { return m_started == QStringLiteral("STARTED 1"); }
    bool failed() const
    {
        return (!m_started.isEmpty() && !started()) || m_process.state() == QProcess::NotRunning;
    }
    // SIGKILL; returns the moment of the kill on the test's clock.
    qint64 kill()
    {
        read();
        const qint64 at = m_clock.elapsed();
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(5000);
        // Lines it printed before it died are still in the pipe.
        m_killedAtMs = at;
        read();
        return at;
    }
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    const QString &startLine() const { return m_started; }
    const std::map<qint64, Record> &records() const { return m_records; }

private:
    void read()
    {
        m_buffer += m_process.readAllStandardOutput();
        for (qsizetype end; (end = m_buffer.indexOf('\n')) >= 0;) {
            const QString line = QString::fromUtf8(m_buffer.left(end));
            m_buffer.remove(0, end + 1);
            if (line.startsWith(QStringLiteral("STARTED"))) {
                m_started = line;
            } else if (line.startsWith(QStringLiteral("R "))) {
                QStringList fields = line.mid(2).split(QLatin1Char('\t'));
                const qint64 number = fields.takeFirst().toLongLong();
                const qint64 at = m_killedAtMs >= 0 ? m_killedAtMs : m_clock.elapsed();
                m_records[number] = { at, fields };
            }
        }
    }

    const QElapsedTimer &m_clock;
    QProcess m_process;
    QByteArray m_buffer;
    QString m_started;
    std::map<qint64, Record> m_records;
    qint64 m_killedAtMs = -1;
};

class RecordingCrashTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (MeterEmulator::program().isEmpty()
            || !QFileInfo(QStringLiteral(VORN_RECORDING_CHILD)).isExecutable())
            GTEST_SKIP() << "no meter emulator or recording child built";
        ASSERT_TRUE(m_work.isValid());
        m_keptFolder = QDir::currentPath();
        QDir::setCurrent(m_work.path());
        QString why;
        ASSERT_TRUE(m_meter.start({ QStringLiteral("--level"), QStringLiteral("64.2") }, &why))
            << why.toStdString();
        m_clock.start();
    }
    void TearDown() override
    {
        if (!m_keptFolder.isEmpty())
            QDir::setCurrent(m_keptFolder);
    }

    QString path(const char *name) const { return m_work.filePath(QString::fromLatin1(name)); }

    // What the next start of the program recovers, checked against what the
    // killed copy printed: every record printed at least a second before the
    // kill, whole numbered lines, and the header a stop at the last one would
    // have written. Returns the recovered file.
    QString expectRecovered(const RecordingChild &child, qint64 killedAtMs, const QString &folder)
    {
        ScriptedDialogs dialogs;
        QDir::setCurrent(folder);
        const RecoveryOutcome recovered = RecoverRecordingAtStart();
        QDir::setCurrent(m_work.path());
        EXPECT_TRUE(recovered.Found && recovered.Ok) << recovered.Message.toStdString();
        qint64 required = 0;
        for (const auto &[number, record] : child.records()) {
            if (record.printedAtMs <= killedAtMs - 1000)
                required = number;
        }
        const qint64 printed = child.records().empty() ? 0 : child.records().rbegin()->first;
        EXPECT_GE(recovered.Records, required) << "records lost";
        // A record queued in the moment before the kill may be on the disk unprinted.
        EXPECT_LE(recovered.Records, printed + 1);
        if (qEnvironmentVariableIsSet("VORN_CRASH_VERBOSE"))
            fprintf(stderr, "DBG records=%lld required=%lld printed=%lld torn=%lld path=%s\n",
                    (long long)recovered.Records, (long long)required, (long long)printed,
                    (long long)recovered.TornLines,
                    qPrintable(QFileInfo(recovered.Path).fileName()));
        const QList<QByteArray> lines = fileLines(recovered.Path);
        EXPECT_EQ(lines.size(), 10 + recovered.Records);
        for (int i = 0; i < lines.size(); ++i)
            EXPECT_TRUE(lines[i].endsWith('\r')) << "line " << i << " is not whole";
        for (int i = 10; i < lines.size(); ++i)
            EXPECT_TRUE(lines[i].startsWith(QByteArray::number(i - 9) + '\t')) << lines[i].data();
        const auto record = child.records().find(recovered.Records);
        if (recovered.Records > 0 && record != child.records().end()) {
            QStringList header;
            for (int i = 0; i < 9 && i < lines.size(); ++i)
                header << QString::fromLatin1(lines[i].chopped(1));
            EXPECT_EQ(header, record->second.header);
        }
        const QStringList messages = dialogs.messageTexts();
        EXPECT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages.value(0).contains(QDir::toNativeSeparators(recovered.Path)));

        // The statistics window reads it with every record.
        if (StatisticsWindow *window = OpenDataFileAt(recovered.Path, AnalysisHost {})) {
            EXPECT_EQ(window->model()->count(), recovered.Records);
            delete window;
        } else {
            ADD_FAILURE() << "the statistics window did not open " << recovered.Path.toStdString();
        }
        return recovered.Path;
    }

    QTemporaryDir m_work;
    QString m_keptFolder;
    MeterEmulator m_meter;
    QElapsedTimer m_clock;
};

// Four copies record side by side, each in its own folder on its own meter,
// and each is killed five times: twenty kills at seeded random moments, with
// recordings long enough to hold several records, inside two minutes.
TEST_F(RecordingCrashTest, KilledAtTwentyRandomMomentsEveryRecordIsRecovered)
{
    const unsigned seed = qEnvironmentVariableIsSet("VORN_CRASH_SEED")
        ? unsigned(qEnvironmentVariableIntValue("VORN_CRASH_SEED"))
        : 14u;
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> killAfterMs(1500, 8000);
    std::uniform_int_distribution<int> tenths(550, 950);
    constexpr int Lanes = 4;
    constexpr int RoundsPerLane = 5;

    struct Lane
    {
        QTemporaryDir folder;
        MeterEmulator meter;
        std::unique_ptr<RecordingChild> child;
        int round = 0;
        qint64 killAtMs = -1;
        int kills = 0;
    };
    std::vector<std::unique_ptr<Lane>> lanes;
    for (int i = 0; i < Lanes; ++i) {
        auto lane = std::make_unique<Lane>();
        QString why;
        ASSERT_TRUE(lane->meter.start({ QStringLiteral("--level"), QStringLiteral("64.2") }, &why))
            << why.toStdString();
        lanes.push_back(std::move(lane));
    }
    const auto target
        = [](Lane &lane) { return lane.folder.filePath(QStringLiteral("crash.vorn")); };
    const auto startChild = [&](Lane &lane) {
        lane.child = std::make_unique<RecordingChild>(m_clock);
        lane.child->start(lane.folder.path(), lane.meter.portsFolder(), target(lane));
        lane.killAtMs = -1;
    };
    for (auto &lane : lanes)
        startChild(*lane);

    const auto allDone = [&] {
        for (const auto &lane : lanes) {
            if (lane->round < RoundsPerLane)
                return false;
        }
        return true;
    };
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        for (auto &lanePtr : lanes) {
            Lane &lane = *lanePtr;
            if (lane.round >= RoundsPerLane)
                continue;
            SCOPED_TRACE(testing::Message() << "seed " << seed << ", lane "
                                            << (&lanePtr - &lanes[0]) << ", round " << lane.round);
            if (lane.child->failed()) {
                ADD_FAILURE() << "the copy did not start recording: "
                              << lane.child->startLine().toStdString();
                lane.round = RoundsPerLane;
                continue;
            }
            if (!lane.child->started())
                continue;
            if (lane.killAtMs < 0) {
                lane.killAtMs = m_clock.elapsed() + killAfterMs(random);
                lane.meter.control(
                    QStringLiteral("level %1").arg(tenths(random) / 10.0, 0, 'f', 1));
                continue;
            }
            if (m_clock.elapsed() < lane.killAtMs)
                continue;
            const qint64 killedAt = lane.child->kill();
            lane.kills += 1;
            const QString recovered = expectRecovered(*lane.child, killedAt, lane.folder.path());
            // The first round's target is free; later ones find it taken.
            if (lane.round == 0)
                EXPECT_EQ(recovered, target(lane));
            else
                EXPECT_TRUE(
                    QFileInfo(recovered).fileName().startsWith(QStringLiteral("Recovered ")))
                    << recovered.toStdString();
            EXPECT_FALSE(QFile::exists(lane.folder.filePath(QStringLiteral("Fake.state"))));
            lane.round += 1;
            if (lane.round < RoundsPerLane)
                startChild(lane);
        }
    });
    driver.start();
    EXPECT_TRUE(WaitUntil(allDone, 110000)) << "the test is bounded at two minutes";
    driver.stop();
    int kills = 0;
    for (const auto &lane : lanes)
        kills += lane->kills;
    EXPECT_EQ(kills, Lanes * RoundsPerLane);
}

TEST_F(RecordingCrashTest, SecondCopyInTheFolderCannotDestroyTheFirstOnesRecords)
{
    RecordingChild first(m_clock);
    first.start(m_work.path(), m_meter.portsFolder(), path("first.vorn"));
    ASSERT_TRUE(first.waitStarted()) << first.startLine().toStdString();
    RunEventsFor(2500);

    // A second copy starting in the folder leaves the running recording alone
    // and refuses to record there.
    {
        ScriptedDialogs dialogs;
        const RecoveryOutcome atStart = RecoverRecordingAtStart();
        EXPECT_TRUE(atStart.Busy);
        EXPECT_FALSE(atStart.Found);
        EXPECT_TRUE(dialogs.messageTexts().isEmpty());
    }
    MeasurementState second;
    const SessionOutcome refused = StartRecording(second, path("second.vorn"), m_work.path());
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.message.contains(QDir::toNativeSeparators(m_work.path())))
        << refused.message.toStdString();
    EXPECT_FALSE(second.Recording);

    RunEventsFor(1500);
    const qint64 killedAt = first.kill();
    ASSERT_GE(first.records().size(), 2u);
    expectRecovered(first, killedAt, m_work.path());
    EXPECT_FALSE(QFile::exists(path("second.vorn")));
}

TEST_F(RecordingCrashTest, SlowDiskKeepsTheTicksInRhythmAndLosesNoRecord)
{
    ScriptedDialogs dialogs;
    const QString target = path("slow.vorn");
    ProgramRun run;
    qint64 largestPollGap = 0;
    qint64 largestSampleGap = 0;
    QString lastRecord;
    const int result = RunProgram(
        run,
        [&] {
            ASSERT_TRUE(ChoosePort(run, QStringLiteral("COM1")));
            Panel *panel = run.panel();
            auto *session = panel->findChild<LiveSession *>();
            session->state().TempFile.setSync([](QFileDevice &) {
                QThread::msleep(2000);
                return true;
            });
            QElapsedTimer clock;
            clock.start();
            qint64 lastPoll = -1;
            qint64 lastSample = -1;
            panel->timers().setPollTick([&, panel] {
                if (lastPoll >= 0)
                    largestPollGap = std::max(largestPollGap, clock.elapsed() - lastPoll);
                lastPoll = clock.elapsed();
                panel->pollTick();
            });
            const QMetaObject::Connection ticks = QObject::connect(
                &session->recording(), &RecordingController::ticked,
                [&](const SampleTickResult &tick) {
                    if (lastSample >= 0)
                        largestSampleGap = std::max(largestSampleGap, clock.elapsed() - lastSample);
                    lastSample = clock.elapsed();
                    if (!tick.Labels.Count.isEmpty())
                        lastRecord = tick.Labels.Count;
                });
            dialogs.answerSave(target);
            session->recording().ConfirmSaveChoice(SaveDataPanel::RecordToFile);
            ASSERT_TRUE(session->recording().recording());
            RunEventsFor(7000);
            QObject::disconnect(ticks);
            session->recording().StopRecording();
        },
        120000);
    EXPECT_EQ(result, 0);
    EXPECT_LT(largestSampleGap, 1100);
    EXPECT_LT(largestPollGap, 1100);
    ASSERT_GE(lastRecord.toInt(), 5);
    const QList<QByteArray> lines = fileLines(target);
    EXPECT_EQ(lines.size(), 10 + lastRecord.toInt()) << "records lost";
    EXPECT_TRUE(lines.value(lines.size() - 1).startsWith(lastRecord.toLatin1() + '\t'));
    EXPECT_TRUE(dialogs.messageTexts().isEmpty()) << dialogs.messageTexts().join('|').toStdString();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

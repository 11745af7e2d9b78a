#include "link/ClockExchange.h"
#include "link/LinkOwner.h"
#include "recording/LoggerDownload.h"
#include "recording/SamplingExchange.h"
#include "support/EventWaits.h"
#include "support/MeterEmulator.h"
#include "platform/Delay.h"
#include "platform/QtSerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// The program's port with every write noted, program-side, with its time and
// the exchange that made it.
class NotingPort : public SerialPort
{
public:
    struct Write
    {
        qint64 atMs;
        QByteArray bytes;
        QString by;
    };

    bool open(int n) override { return m_port.open(n); }
    bool isOpen() const override { return m_port.isOpen(); }
    void close() override { m_port.close(); }
    QByteArray readAll() override { return m_port.readAll(); }
    qint64 bytesWaiting() override { return m_port.bytesWaiting(); }
    bool write(const QByteArray &bytes) override
    {
        writes.push_back({ clock.elapsed(), bytes, current });
        return m_port.write(bytes);
    }
    bool isLost() const override { return m_port.isLost(); }
    bool reopen() override { return m_port.reopen(); }
    QString errorString() const override { return m_port.errorString(); }

    QElapsedTimer clock;
    QString current;
    std::vector<Write> writes;

private:
    QtSerialPort m_port;
};

struct ExchangeRow
{
    const char *name;
    Exchange kind;
    // Runs the exchange as the program does, on a port it holds; true when
    // it finished as meant.
    std::function<bool(SerialPort &)> run;
};

const std::vector<ExchangeRow> &exchanges()
{
    static const std::vector<ExchangeRow> rows = {
        { "poll", Exchange::Poll,
          [](SerialPort &port) {
              ReadLiveFrame(port); // a meter holding its frames after a command may stay quiet
              return true;
          } },
        { "key", Exchange::Key, [](SerialPort &port) { return PressKey(port, KeyCode::Integ); } },
        { "clock read", Exchange::ClockRead,
          [](SerialPort &port) { return ReadMeterClock(port).has_value(); } },
        { "clock set", Exchange::ClockSet,
          [](SerialPort &port) { return SetMeterClock(port, QDateTime::currentDateTime()); } },
        { "J", Exchange::SampleTimeRead,
          [](SerialPort &port) { return ReadMeterSampleTime(port).has_value(); } },
        { "C", Exchange::SampleTimeSet,
          [](SerialPort &port) {
              WriteMeterSampleTime(port, 2);
              return true;
          } },
        { "G", Exchange::Setting,
          [](SerialPort &port) {
              SendCommand(port, 'G');
              Delay(LinkTiming::CommandSettle);
              return true;
          } },
        { "download", Exchange::Download,
          [](SerialPort &port) {
              const auto status = DownloadLoggerMemory(port).status;
              return status == LoggerDownloadStatus::Completed
                  || status == LoggerDownloadStatus::EmptyMemory;
          } },
        { "erase", Exchange::Erase,
          [](SerialPort &port) {
              SendCommand(port, 'H');
              Delay(LinkTiming::CommandSettle);
              return true;
          } },
    };
    return rows;
}

class ExchangePairs : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        if (MeterEmulator::program().isEmpty())
            GTEST_SKIP() << "no meter emulator built";
        QString why;
        ASSERT_TRUE(emulator.start({ "--fast", "--set", "records=3,interval=1,level=60" }, &why))
            << why.toStdString();
        port.clock.start();
        ASSERT_TRUE(port.open(1)) << port.errorString().toStdString();
    }

    // Holds the link for the exchange as the program does and runs it.
    void runHeld(const ExchangeRow &row, const char *role, bool &finished, qint64 &startMs,
                 qint64 &endMs)
    {
        const auto hold = link.tryHold(row.kind);
        ASSERT_TRUE(hold) << row.name;
        port.current = QString::fromLatin1(role);
        startMs = port.clock.elapsed();
        finished = row.run(hold->port());
        endMs = port.clock.elapsed();
        port.current.clear();
    }

    MeterEmulator emulator;
    NotingPort port;
    LinkOwner link { port };
};

TEST_P(ExchangePairs, TheSecondStartedInsideTheFirstsWaitGoesOutAfterItAndBothFinish)
{
    const ExchangeRow &first = exchanges()[size_t(GetParam())];
    for (const ExchangeRow &second : exchanges()) {
        const std::string pair = std::string(first.name) + " then " + second.name;
        emulator.control(QStringLiteral("set records=3,interval=1,level=60"));
        Delay(0.05);
        const qsizetype receivedBefore = emulator.received().size();
        const size_t writesBefore = port.writes.size();

        bool firstDone = false, secondDone = false, secondRan = false;
        qint64 firstStart = 0, firstEnd = 0, secondStart = 0, secondEnd = 0;
        // The second is asked for from inside the first's wait, as a click would be.
        QTimer::singleShot(5, [&] {
            link.whenFree(second.kind, [&] {
                secondRan = true;
                runHeld(second, "second", secondDone, secondStart, secondEnd);
            });
        });
        runHeld(first, "first", firstDone, firstStart, firstEnd);
        ASSERT_TRUE(WaitUntil([&] { return secondRan && !link.held(); }, 5000)) << pair;

        EXPECT_TRUE(firstDone) << pair;
        EXPECT_TRUE(secondDone) << pair;
        EXPECT_GE(secondStart, firstEnd) << pair;
        QByteArray written;
        for (size_t i = writesBefore; i < port.writes.size(); ++i) {
            const NotingPort::Write &w = port.writes[i];
            if (w.by == QLatin1String("second") && w.atMs < secondStart)
                ADD_FAILURE() << pair << ": a byte of the second before it held the link";
            if (w.by == QLatin1String("first") && w.atMs > firstEnd)
                ADD_FAILURE() << pair << ": a byte of the first after it ended";
            written += w.bytes;
        }
        // The meter received exactly that, in that order: nothing interleaved.
        EXPECT_TRUE(WaitUntil(
            [&] { return emulator.received().size() >= receivedBefore + written.size(); }, 2000))
            << pair;
        EXPECT_EQ(emulator.received().mid(receivedBefore).toHex(' '), written.toHex(' ')) << pair;
        EXPECT_FALSE(link.lost()) << pair;
    }
}

INSTANTIATE_TEST_SUITE_P(EachFirst, ExchangePairs, ::testing::Range(0, 9),
                         [](const ::testing::TestParamInfo<int> &info) {
                             QString name
                                 = QString::fromLatin1(exchanges()[size_t(info.param)].name);
                             return name.replace(QLatin1Char(' '), QLatin1Char('_')).toStdString();
                         });

class DeafMeter : public ExchangePairs
{
};

TEST_P(DeafMeter, SilenceFromTheFirstByteIsALostLinkWithinThreeSeconds)
{
    const ExchangeRow &row = exchanges()[size_t(GetParam())];
    ASSERT_TRUE(WaitUntil([&] { return ReadLiveFrame(port).has_value(); }, 2000));
    // The poll writes nothing: its meter simply stops.
    emulator.control(row.kind == Exchange::Poll ? QStringLiteral("silent 4")
                                                : QStringLiteral("deaf-on-input 4"));
    Delay(0.05);
    QElapsedTimer sinceDeath;
    sinceDeath.start();
    bool finished = false;
    qint64 start = 0, end = 0;
    runHeld(row, "deaf", finished, start, end);
    // Then the panel's polls, every 200 ms, as long as the link is not lost.
    while (!link.lost() && sinceDeath.elapsed() < 4000) {
        Delay(0.2);
        if (const auto hold = link.tryHold(Exchange::Poll)) {
            if (!ReadLiveFrame(hold->port()))
                hold->meterSilent();
        }
    }
    EXPECT_TRUE(link.lost()) << row.name;
    EXPECT_LE(sinceDeath.elapsed(), 3000) << row.name;
}

INSTANTIATE_TEST_SUITE_P(EachExchange, DeafMeter, ::testing::Range(0, 9),
                         [](const ::testing::TestParamInfo<int> &info) {
                             QString name
                                 = QString::fromLatin1(exchanges()[size_t(info.param)].name);
                             return name.replace(QLatin1Char(' '), QLatin1Char('_')).toStdString();
                         });

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

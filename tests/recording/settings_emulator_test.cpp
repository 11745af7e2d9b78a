// The setting commands, the meter clock and the sampling interval against the
// meter emulator, over the program's own serial port.
#include "link/ClockExchange.h"
#include "link/LinkOwner.h"
#include "link/LiveFrame.h"
#include "link/gui/Setup.h"
#include "recording/SamplingExchange.h"
#include "recording/gui/SamplingChoice.h"
#include "recording/gui/ToolbarCommands.h"
#include "support/ScriptedDialogs.h"
#include "tools/EmulatorProcess.h"
#include "platform/Delay.h"
#include "platform/PanelTimers.h"
#include "platform/QtSerialPort.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr int PortNumber = 5;

struct MeterOnTheLine
{
    explicit MeterOnTheLine(std::vector<std::string> arguments)
        : emulator(std::move(arguments), "COM" + std::to_string(PortNumber))
    {
        linked = emulator.waitForLink();
        qputenv("VORN_PORTS_DIR", emulator.portsFolder().c_str());
        opened = linked && port.open(PortNumber);
        timers.setBothEnabled(true);
    }

    // Every byte the meter has received, in order.
    QByteArray received() const
    {
        QFile file(QString::fromStdString(emulator.recordPath()));
        QByteArray all;
        if (!file.open(QIODevice::ReadOnly))
            return all;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            for (qsizetype i = 1; i < fields.size(); ++i)
                all += QByteArray::fromHex(fields[i]);
        }
        return all;
    }

    // The display the next fresh live frame shows.
    std::optional<MeterReading> liveReading()
    {
        port.discardInput();
        QByteArray bytes;
        for (int step = 0; step < 100; ++step) {
            Delay(0.02);
            bytes += port.readAll();
            const QByteArray frame = LastSixBytes(bytes);
            if (FrameIsValid(frame)) {
                MeterReading reading;
                DecodeRangeByte(uint8_t(frame.at(1)), reading);
                DecodeModeByte(uint8_t(frame.at(2)), reading);
                DecodeLevel(uint8_t(frame.at(3)), uint8_t(frame.at(4)), reading);
                return reading;
            }
        }
        return std::nullopt;
    }

    bool timersOn() const { return timers.timer1Enabled() && timers.timer2Enabled(); }

    EmulatorProcess emulator;
    QtSerialPort port;
    LinkOwner link { port };
    PanelTimers timers;
    QWidget panel;
    ScriptedDialogs dialogs;
    bool linked = false;
    bool opened = false;
};

TEST(SettingLettersOnTheMeter, EachKeyChangesTheMeterAsTheFramesShow)
{
    MeterOnTheLine meter({ "--range", "3", "--freq", "A", "--time", "fast" });
    ASSERT_TRUE(meter.opened) << meter.port.errorString().toStdString();
    ToolbarCommands commands(meter.link, meter.timers, &meter.panel, {});

    const auto before = meter.liveReading();
    ASSERT_TRUE(before);
    EXPECT_EQ(before->FreqWeighting, "A");
    EXPECT_EQ(before->TimeWeighting, "FAST");
    EXPECT_EQ(before->RangeTop, 110);

    commands.OnToolbarButton("AC");
    EXPECT_TRUE(meter.timersOn());
    EXPECT_EQ(meter.liveReading()->FreqWeighting, "C");

    commands.OnToolbarButton("FSI");
    EXPECT_EQ(meter.liveReading()->TimeWeighting, "SLOW");

    commands.OnToolbarButton("Up");
    const auto up = meter.liveReading();
    ASSERT_TRUE(up);
    EXPECT_EQ(up->RangeTop, 120);
    EXPECT_EQ(up->RangeBottom, 60);

    commands.OnToolbarButton("Down");
    commands.OnToolbarButton("Down");
    const auto down = meter.liveReading();
    ASSERT_TRUE(down);
    EXPECT_EQ(down->RangeTop, 100);
    EXPECT_EQ(down->RangeBottom, 40);

    EXPECT_EQ(meter.received(), "GDEFF");
    EXPECT_TRUE(meter.timersOn());
}

TEST(ClockOnTheMeter, ReadShowsTheMeterTimeAndSetWritesBcd)
{
    MeterOnTheLine meter({});
    ASSERT_TRUE(meter.opened) << meter.port.errorString().toStdString();

    // The emulated clock starts at the PC's time.
    const auto first = ReadMeterClock(meter.port);
    ASSERT_TRUE(first);
    const QDateTime shown = QDateTime::fromString(*first, "yyyy/MM/dd HH:mm:ss");
    ASSERT_TRUE(shown.isValid()) << first->toStdString();
    EXPECT_LE(qAbs(shown.secsTo(QDateTime::currentDateTime())), 2);

    SetMeterClock(meter.port, QDateTime(QDate(2013, 3, 13), QTime(8, 5, 9)));
    const auto after = ReadMeterClock(meter.port);
    ASSERT_TRUE(after);
    EXPECT_TRUE(*after == "2013/03/13 08:05:09" || *after == "2013/03/13 08:05:10")
        << after->toStdString();
    EXPECT_EQ(meter.received().toHex(' '), "49 42 09 05 08 13 03 13 49");
}

QDateTime fromBcd(const QByteArray &b)
{
    const auto n = [&b](int i) { return (quint8(b.at(i)) >> 4) * 10 + (quint8(b.at(i)) & 0x0F); };
    return QDateTime(QDate(2000 + n(6), n(5), n(4)), QTime(n(3), n(2), n(1)));
}

TEST(ClockOnTheMeter, ClockWindowShowsAndSetsTheMeterClock)
{
    MeterOnTheLine meter({});
    ASSERT_TRUE(meter.opened) << meter.port.errorString().toStdString();
    SetMeterClock(meter.port, QDateTime(QDate(2020, 2, 29), QTime(23, 0, 0)));

    ::Setup window(meter.link, meter.timers, &meter.panel);
    window.show();
    QLabel *meterTime = window.findChild<QLabel *>("LblMeterTime");
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(meterTime, &release);
    Delay(0.5);
    EXPECT_TRUE(meterTime->text().startsWith("2020/02/29 23:00:0"))
        << meterTime->text().toStdString();
    EXPECT_FALSE(meter.timersOn());

    const qsizetype sentBefore = meter.received().size();
    window.findChild<QPushButton *>("CmdSetTime")->click();
    const QByteArray set = meter.received().mid(sentBefore, 7);
    ASSERT_EQ(set.size(), 7);
    EXPECT_EQ(set.at(0), 'B');
    EXPECT_LE(qAbs(fromBcd(set).secsTo(QDateTime::currentDateTime())), 2);
    Delay(0.5);
    const QDateTime now = QDateTime::fromString(meterTime->text(), "yyyy/MM/dd HH:mm:ss");
    EXPECT_LE(qAbs(now.secsTo(QDateTime::currentDateTime())), 2) << meterTime->text().toStdString();

    window.close();
    EXPECT_TRUE(meter.timersOn());
}

TEST(SampleTimeOnTheMeter, ReadWithJAndSetWithC)
{
    MeterOnTheLine meter({ "--interval", "17" });
    ASSERT_TRUE(meter.opened) << meter.port.errorString().toStdString();
    SamplingSettings settings;
    SamplingContext context { meter.link, meter.timers,     &meter.panel,
                              settings,   [] { return 1; }, [](int) {} };
    meter.dialogs.answerInput(QStringLiteral("42"));
    AskSamplingInterval(context);

    const auto inputs = meter.dialogs.callsOf(ScriptedDialogs::Kind::Input);
    ASSERT_EQ(inputs.size(), 1u);
    EXPECT_EQ(inputs[0].defaultText, "17");
    EXPECT_EQ(settings.MeterSampleTime, 42);
    EXPECT_EQ(meter.received().toHex(' '), "4a 43 00 2a");
    EXPECT_TRUE(meter.timersOn());
    EXPECT_EQ(ReadMeterSampleTime(meter.port), 42);
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

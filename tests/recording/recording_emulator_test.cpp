// Five seconds of recording from the emulated meter: every sample of the live
// frames reaches the data file, complete and in order.
#include "tools/EmulatorProcess.h"
#include "link/LiveFrame.h"
#include "recording/MeasurementState.h"
#include "recording/RecordingSession.h"
#include "recording/SampleTick.h"
#include "platform/Delay.h"
#include "platform/QtSerialPort.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The freshest valid frame that arrives within a second, decoded.
bool readReading(SerialPort &port, MeterReading &reading)
{
    port.discardInput();
    QByteArray bytes;
    for (int waited = 0; waited < 100; ++waited) {
        Delay(0.01);
        bytes += port.readAll();
        const QByteArray frame = LastSixBytes(bytes);
        if (FrameIsValid(frame)) {
            DecodeRangeByte(uint8_t(frame.at(1)), reading);
            DecodeModeByte(uint8_t(frame.at(2)), reading);
            DecodeLevel(uint8_t(frame.at(3)), uint8_t(frame.at(4)), reading);
            return true;
        }
    }
    return false;
}

TEST(RecordingFromTheMeter, FiveSecondsRecordedAndStoppedMakeACompleteFile)
{
    EmulatorProcess emulator({"--level", "72.4", "--range", "2"}, "COM4");
    ASSERT_TRUE(emulator.waitForLink());
    qputenv("VORN_PORTS_DIR", emulator.portsFolder().c_str());
    QtSerialPort port;
    ASSERT_TRUE(port.open(4)) << port.errorString().toStdString();

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("meter.vorn"));
    MeasurementState state;
    ASSERT_TRUE(StartRecording(state, target, dir.path()).ok);
    MeterReading reading;
    const HeaderBoards boards{QStringLiteral("A"), QStringLiteral("SLOW"), QStringLiteral("60-120")};
    for (int tick = 0; tick < 6; ++tick) {
        ASSERT_TRUE(readReading(port, reading)) << "no frame at tick " << tick;
        SampleInput input;
        input.Level = reading.Level;
        input.LevelText = reading.LevelText;
        input.Now = QDateTime::currentDateTime();
        input.Boards = boards;
        input.Folder = dir.path();
        OnSampleTick(state, input);
        Delay(0.8);
    }
    ASSERT_TRUE(StopRecording(state, boards, StopKind::Manual, {}).ok);

    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 9 + 1 + 5 + 1); // the last split is empty after CR LF
    EXPECT_EQ(lines[0], QByteArray("Real Time\r"));
    EXPECT_EQ(lines[4], QByteArray("60-120\r"));
    EXPECT_EQ(lines[5], QByteArray("72.4\r"));
    EXPECT_EQ(lines[7], QByteArray("80.1\r")); // SEL of six seconds at 72.4 dB
    EXPECT_EQ(lines[8], QByteArray("72.4\r"));
    EXPECT_EQ(lines[9], QByteArray("No.s\tDate Time\tdB\t\r"));
    const QRegularExpression record(
        QStringLiteral("^\\d\t\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\t72\\.4\t\r$"));
    for (int i = 1; i <= 5; ++i) {
        EXPECT_TRUE(lines[9 + i].startsWith(QByteArray::number(i) + '\t'));
        EXPECT_TRUE(record.match(QString::fromLatin1(lines[9 + i])).hasMatch())
            << lines[9 + i].toStdString();
    }
    EXPECT_TRUE(lines.last().isEmpty());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The program's own serial port against the emulator: what a user gets when
// running the two side by side.
#include "EmulatorProcess.h"
#include "platform/Delay.h"
#include "platform/QtSerialPort.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

// Reads until at least count bytes have come, or the time is up.
QByteArray readFromPort(SerialPort &port, int count, double seconds)
{
    QByteArray bytes;
    for (double waited = 0; waited < seconds && bytes.size() < count; waited += 0.01) {
        Delay(0.01);
        bytes += port.readAll();
    }
    return bytes;
}

bool isFrame(const QByteArray &bytes)
{
    return bytes.size() >= 6 && bytes.at(bytes.size() - 6) == 0x02 && bytes.back() == 0x03;
}

} // namespace

TEST(MeterEmulatorWithQtPort, OpensTheComNameAndReadsFramesAndReplies)
{
    EmulatorProcess emulator({ "--level", "72.4", "--range", "2" }, "COM3");
    ASSERT_TRUE(emulator.waitForLink());
    qputenv("VORN_PORTS_DIR", emulator.portsFolder().c_str());

    QtSerialPort port;
    ASSERT_TRUE(port.open(3)) << port.errorString().toStdString();
    port.discardInput();
    const QByteArray frames = readFromPort(port, 6, 1.0);
    ASSERT_TRUE(isFrame(frames));
    EXPECT_EQ(frames.right(6),
              QByteArray::fromHex("020204"
                                  "02d4"
                                  "03"));

    port.discardInput();
    ASSERT_TRUE(port.write("A"));
    EXPECT_EQ(readFromPort(port, 6, 0.5), QByteArray::fromHex("02ffffffff03"));
    ASSERT_TRUE(port.write(QByteArray::fromHex("4b00000a"))); // Down
    Delay(0.6);
    port.discardInput();
    const QByteArray after = readFromPort(port, 6, 1.0);
    ASSERT_TRUE(isFrame(after));
    EXPECT_EQ(after.at(after.size() - 5), 0x03); // range index 3 now
}

TEST(MeterEmulatorWithQtPort, UnpluggedPortIsLostAndReopens)
{
    EmulatorProcess emulator({}, "COM2");
    ASSERT_TRUE(emulator.waitForLink());
    qputenv("VORN_PORTS_DIR", emulator.portsFolder().c_str());

    QtSerialPort port;
    ASSERT_TRUE(port.open(2)) << port.errorString().toStdString();
    ASSERT_TRUE(isFrame(readFromPort(port, 6, 1.0)));
    emulator.control("unplug 0.5");
    for (double waited = 0; waited < 1.0 && !port.isLost(); waited += 0.02) {
        Delay(0.02);
        port.readAll();
    }
    EXPECT_TRUE(port.isLost());
    ASSERT_TRUE(emulator.waitForLink(2.0));
    ASSERT_TRUE(port.reopen()) << port.errorString().toStdString();
    port.discardInput();
    EXPECT_TRUE(isFrame(readFromPort(port, 6, 1.0)));
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

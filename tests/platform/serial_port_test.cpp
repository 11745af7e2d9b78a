#include "platform/ComPortNames.h"
#include "platform/Delay.h"
#include "support/FakeSerialPort.h"
#include "platform/QtSerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

namespace {

// Sets an environment variable for one test and puts the old value back.
class EnvOverride
{
public:
    EnvOverride(const char *name, const QByteArray &value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvOverride()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

struct TableRow
{
    const char *name;
    int port;
    const char *device;
};

class FallbackTableTest : public ::testing::TestWithParam<TableRow>
{
};

TEST_P(FallbackTableTest, MapsTheComNumberToItsDevice)
{
    EXPECT_EQ(ComPortNames::fallbackDevice(GetParam().port),
              QString::fromLatin1(GetParam().device));
}

INSTANTIATE_TEST_SUITE_P(ComTable, FallbackTableTest,
                         ::testing::Values(TableRow { "COM1", 1, "/dev/ttyUSB0" },
                                           TableRow { "COM8", 8, "/dev/ttyUSB7" },
                                           TableRow { "COM9", 9, "/dev/ttyACM0" },
                                           TableRow { "COM12", 12, "/dev/ttyACM3" },
                                           TableRow { "COM13", 13, "/dev/ttyS0" },
                                           TableRow { "COM16", 16, "/dev/ttyS3" },
                                           TableRow { "COM0", 0, "" }, TableRow { "COM17", 17, "" },
                                           TableRow { "negative", -1, "" }),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ComPortNames, OffersExactlyCom1ToCom16)
{
    const QStringList names = ComPortNames::names();
    ASSERT_EQ(names.size(), 16);
    EXPECT_EQ(names.first(), "COM1");
    EXPECT_EQ(names.last(), "COM16");
}

TEST(ComPortNames, PortsFolderComesFromTheEnvironmentInOrder)
{
    {
        EnvOverride ports("VORN_PORTS_DIR", "/some/ports");
        EnvOverride runtime("XDG_RUNTIME_DIR", "/run/user/1234");
        EXPECT_EQ(ComPortNames::portsFolder(), "/some/ports");
    }
    {
        EnvOverride ports("VORN_PORTS_DIR", QByteArray());
        EnvOverride runtime("XDG_RUNTIME_DIR", "/run/user/1234");
        EXPECT_EQ(ComPortNames::portsFolder(), "/run/user/1234/vorn/ports");
    }
    {
        EnvOverride ports("VORN_PORTS_DIR", QByteArray());
        EnvOverride runtime("XDG_RUNTIME_DIR", QByteArray());
        EXPECT_EQ(ComPortNames::portsFolder(), QStringLiteral("/tmp/vorn-%1/ports").arg(getuid()));
    }
}

TEST(ComPortNames, ALinkInThePortsFolderWinsOverTheTable)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EnvOverride ports("VORN_PORTS_DIR", dir.path().toLocal8Bit());
    const QString link = dir.filePath("COM3");
    ASSERT_EQ(symlink("/dev/null", QFile::encodeName(link).constData()), 0);
    EXPECT_EQ(ComPortNames::devicePath(3), link);
    EXPECT_EQ(ComPortNames::devicePath(4), "/dev/ttyUSB3");
    // A link whose target is gone still names the port, so it fails to open
    // instead of quietly opening another device.
    const QString dangling = dir.filePath("COM9");
    ASSERT_EQ(symlink("/dev/vorn-no-such-device", QFile::encodeName(dangling).constData()), 0);
    EXPECT_EQ(ComPortNames::devicePath(9), dangling);
    EXPECT_EQ(ComPortNames::devicePath(17), QString());
}

// A pseudo-terminal pair whose slave side is linked as COMn in a ports folder.
class Pty
{
public:
    explicit Pty(const QString &link)
        : m_link(link)
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        termios raw {};
        tcgetattr(m_master, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_master, TCSANOW, &raw);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_ok = symlink(ptsname(m_master), QFile::encodeName(link).constData()) == 0;
    }
    ~Pty()
    {
        closeMaster();
        removeLink();
    }
    bool ok() const { return m_ok; }
    void write(const QByteArray &bytes)
    {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), bytes.size());
    }
    QByteArray read()
    {
        QByteArray out;
        char buffer[256];
        for (;;) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                return out;
            out.append(buffer, n);
        }
    }
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    void removeLink() { QFile::remove(m_link); }

private:
    QString m_link;
    int m_master = -1;
    bool m_ok = false;
};

double processCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Waits, serving events, until the condition holds or the time is up.
template<typename Condition> bool waitFor(Condition condition, double seconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > seconds * 1000)
            return false;
        Delay(0.01);
    }
    return true;
}

class QtSerialPortTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString linkFor(int port) const { return dir.filePath(QStringLiteral("COM%1").arg(port)); }

    QTemporaryDir dir;
    EnvOverride ports { "VORN_PORTS_DIR", dir.path().toLocal8Bit() };
};

TEST_F(QtSerialPortTest, PortNamesOutsideTheRangeFailWithAMessage)
{
    QtSerialPort port;
    for (int number : { 0, 17, -3 }) {
        EXPECT_FALSE(port.open(number)) << number;
        EXPECT_FALSE(port.isOpen());
        EXPECT_TRUE(port.errorString().contains(QStringLiteral("COM%1").arg(number)))
            << port.errorString().toStdString();
    }
}

TEST_F(QtSerialPortTest, AMissingDeviceFailsWithAMessageNamingPortAndDevice)
{
    ASSERT_EQ(symlink("/dev/vorn-no-such-device", QFile::encodeName(linkFor(5)).constData()), 0);
    QtSerialPort port;
    EXPECT_FALSE(port.open(5));
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.errorString().startsWith("COM5 (" + linkFor(5) + "): "))
        << port.errorString().toStdString();
    EXPECT_EQ(port.readAll(), QByteArray());
    EXPECT_FALSE(port.write("A"));
}

TEST_F(QtSerialPortTest, ReadsWhatTheOtherSideWritesAndWritesToIt)
{
    Pty pty(linkFor(2));
    ASSERT_TRUE(pty.ok());
    QtSerialPort port;
    ASSERT_TRUE(port.open(2)) << port.errorString().toStdString();
    EXPECT_TRUE(port.isOpen());

    const QByteArray frame("\x02\x11\x22\x85\x5f\x03", 6);
    pty.write(frame);
    ASSERT_TRUE(waitFor([&] { return port.bytesWaiting() >= 6; }, 2.0));
    EXPECT_EQ(port.readAll(), frame);
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_EQ(port.readAll(), QByteArray());

    const QByteArray command("K\x00\x00\x07", 4);
    EXPECT_TRUE(port.write(command));
    QByteArray received;
    ASSERT_TRUE(waitFor([&] { return (received += pty.read()).size() >= 4; }, 2.0));
    EXPECT_EQ(received, command);
    EXPECT_FALSE(port.isLost());

    // A failed open of another name lets go of this one.
    EXPECT_FALSE(port.open(17));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.write("A"));
}

TEST_F(QtSerialPortTest, BytesSentBeforeTheOpenAreDropped)
{
    Pty pty(linkFor(2));
    ASSERT_TRUE(pty.ok());
    pty.write("stale");
    QtSerialPort port;
    ASSERT_TRUE(port.open(2));
    Delay(0.05);
    pty.write("fresh");
    ASSERT_TRUE(waitFor([&] { return port.bytesWaiting() >= 5; }, 2.0));
    EXPECT_EQ(port.readAll(), "fresh");
}

TEST_F(QtSerialPortTest, APortHeldByAnotherOpenIsRefused)
{
    Pty pty(linkFor(4));
    ASSERT_TRUE(pty.ok());
    QtSerialPort first;
    ASSERT_TRUE(first.open(4));
    QtSerialPort second;
    EXPECT_FALSE(second.open(4));
    EXPECT_FALSE(second.isOpen());
    EXPECT_FALSE(second.errorString().isEmpty());
    EXPECT_TRUE(first.isOpen());
}

TEST_F(QtSerialPortTest, ClosingTheOtherSideMarksThePortLostWithoutSpinning)
{
    Pty pty(linkFor(6));
    ASSERT_TRUE(pty.ok());
    QtSerialPort port;
    ASSERT_TRUE(port.open(6));
    pty.closeMaster();

    const double cpuBefore = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    // The poll keeps reading as the live panel would.
    ASSERT_TRUE(waitFor([&] { return port.readAll(), port.isLost(); }, 2.0));
    Delay(0.5);
    const double cpu = processCpuSeconds() - cpuBefore;
    const double seconds = wall.nsecsElapsed() / 1e9;
    EXPECT_LT(cpu / seconds, 0.2) << "cpu " << cpu << " s over " << seconds << " s";
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.errorString().isEmpty());
    EXPECT_EQ(port.readAll(), QByteArray());
    EXPECT_FALSE(port.write("A"));
}

TEST_F(QtSerialPortTest, TheLossIsNoticedWhileOnlyWaitingToo)
{
    Pty pty(linkFor(6));
    ASSERT_TRUE(pty.ok());
    QtSerialPort port;
    ASSERT_TRUE(port.open(6));
    pty.closeMaster();
    EXPECT_TRUE(waitFor([&] { return port.isLost(); }, 2.0));
    EXPECT_FALSE(port.errorString().isEmpty());
}

TEST_F(QtSerialPortTest, ADeviceThatIsNoSerialLineIsRefused)
{
    ASSERT_EQ(symlink("/dev/null", QFile::encodeName(linkFor(10)).constData()), 0);
    QtSerialPort port;
    EXPECT_FALSE(port.open(10));
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.errorString().startsWith("COM10 (" + linkFor(10) + "): "))
        << port.errorString().toStdString();
}

TEST_F(QtSerialPortTest, RemovingTheLinkMarksThePortLostAndReopenNeedsItBack)
{
    auto pty = std::make_unique<Pty>(linkFor(7));
    ASSERT_TRUE(pty->ok());
    QtSerialPort port;
    ASSERT_TRUE(port.open(7));
    pty->removeLink();
    ASSERT_TRUE(waitFor([&] { return port.bytesWaiting(), port.isLost(); }, 2.0));
    EXPECT_TRUE(port.errorString().contains(linkFor(7))) << port.errorString().toStdString();
    EXPECT_FALSE(port.reopen());
    EXPECT_TRUE(port.isLost());

    // The adapter comes back (as a new device behind the same name).
    pty.reset();
    pty = std::make_unique<Pty>(linkFor(7));
    ASSERT_TRUE(pty->ok());
    ASSERT_TRUE(port.reopen()) << port.errorString().toStdString();
    EXPECT_FALSE(port.isLost());
    pty->write("abcdef");
    ASSERT_TRUE(waitFor([&] { return port.bytesWaiting() >= 6; }, 2.0));
    EXPECT_EQ(port.readAll(), "abcdef");
}

TEST(FakeSerialPort, BehavesLikeTheRealPortAcrossCloseAndLoss)
{
    FakeSerialPort port;
    ASSERT_TRUE(port.open(3));
    port.feed("stale");
    port.close();
    ASSERT_TRUE(port.open(3));
    EXPECT_EQ(port.bytesWaiting(), 0) << "an open starts with nothing waiting";

    port.setResponder(
        [](const QByteArray &written) {
            return written == "A" ? QByteArray("\x02\xff\xff\xff\xff\x03", 6) : QByteArray();
        },
        20);
    EXPECT_TRUE(port.write("A"));
    EXPECT_EQ(port.bytesWaiting(), 0);
    Delay(0.05);
    EXPECT_EQ(port.readAll(), QByteArray("\x02\xff\xff\xff\xff\x03", 6));

    port.setLost(true);
    EXPECT_FALSE(port.write("A"));
    EXPECT_FALSE(port.reopen());
    EXPECT_EQ(port.written(), "A");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "recording/DataFileReader.h"
#include "support/EventWaits.h"
#include "support/MeterEmulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// vorn-monitor as a process against the emulated meter.
TEST(MonitorProcess, SurvivesASilentMeterAndStopsCleanly)
{
    if (MeterEmulator::program().isEmpty())
        GTEST_SKIP() << "no meter emulator built";
    MeterEmulator emulator;
    QString why;
    ASSERT_TRUE(emulator.start({ "--signal", "constant", "--level", "72.4" }, &why))
        << why.toStdString();
    QTemporaryDir dir;
    QProcess monitor;
    monitor.setProcessChannelMode(QProcess::MergedChannels);
    monitor.start(QStringLiteral(VORN_MONITOR),
                  { "--port", "COM1", "--folder", dir.path(), "--station", "site-1", "--interval",
                    "1min", "--limit", "60", "--on-alarm", "sleep 600" });
    ASSERT_TRUE(monitor.waitForStarted());
    QString out;
    const auto seen = [&](const QString &text, int ms) {
        return WaitUntil(
            [&] {
                out += QString::fromUtf8(monitor.readAll());
                return out.contains(text);
            },
            ms);
    };
    ASSERT_TRUE(seen("day file: site-1 ", 5000)) << out.toStdString();

    // A second monitor in the same folder is refused.
    QProcess second;
    second.start(QStringLiteral(VORN_MONITOR), { "--port", "COM1", "--folder", dir.path() });
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains(QDir(dir.path()).absolutePath().toUtf8()));

    emulator.control(QStringLiteral("silent 4"));
    EXPECT_TRUE(seen("link lost", 5000)) << out.toStdString();
    EXPECT_TRUE(seen("link back", 12000)) << out.toStdString();
    WaitUntil([] { return false; }, 2500); // samples again

    QElapsedTimer stopping;
    stopping.start();
    ::kill(pid_t(monitor.processId()), SIGTERM);
    ASSERT_TRUE(monitor.waitForFinished(3000));
    EXPECT_LE(stopping.elapsed(), 2000);
    EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(monitor.exitCode(), 0);
    out += QString::fromUtf8(monitor.readAll());
    EXPECT_TRUE(out.contains("stopped"));

    const QStringList days = QDir(dir.path()).entryList({ "site-1 ????-??-??.vorn" });
    ASSERT_EQ(days.size(), 1);
    const DataFileContents file = DataFileReader::readFile(dir.filePath(days.first()));
    EXPECT_TRUE(file.problem.isEmpty());
    EXPECT_GE(file.recordCount(), 3);
    for (qsizetype i = 0; i < file.recordCount(); ++i)
        EXPECT_EQ(file.level(i), "72.4");
    const QString events = fileText(dir.filePath("site-1 events.csv"));
    for (const char *event :
         { ",started,", ",day file,", ",link lost,", ",link back,", ",stopped," })
        EXPECT_TRUE(events.contains(QLatin1String(event))) << event;
    EXPECT_FALSE(QFile::exists(dir.filePath("Fake.state")));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "link/PortChoice.h"
#include "link/Twips.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(ComPortNumberOfText, OnlyExactNamesChoose)
{
    const struct
    {
        const char *text;
        int expected;
    } cases[] = {
        { "COM1", 1 },  { "COM16", 16 }, { "COM9", 9 },  { "com1", 7 },
        { "COM1 ", 7 }, { " COM1", 7 },  { "COM17", 7 }, { "COM0", 7 },
        { "COM01", 7 }, { "", 7 },       { "COM", 7 },   { "Com3", 7 },
    };
    for (const auto &c : cases)
        EXPECT_EQ(ComPortNumberOfText(QString::fromLatin1(c.text), 7), c.expected) << c.text;
    EXPECT_EQ(ComPortNumberOfText(QStringLiteral("cOM2"), 0), 0);
}

TEST(TwipsToPixels, FollowsTheScreenResolution)
{
    EXPECT_EQ(TwipsToPixels(2100, 96), 140);
    EXPECT_EQ(TwipsToPixels(1530, 96), 102);
    EXPECT_EQ(TwipsToPixels(4425, 96), 295);
    EXPECT_EQ(TwipsToPixels(3150, 96), 210);
    EXPECT_EQ(TwipsToPixels(2100, 144), 210);
    EXPECT_EQ(TwipsToPixels(1440, 120), 120);
}

TEST(PortHelpRows, ListsReachableDevicesInComOrderThenTheUnreachedOnes)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "COM names link to devices on POSIX only; Windows names its ports itself";
#endif
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString usb = dir.filePath(QStringLiteral("ttyUSB0"));
    const QString acm = dir.filePath(QStringLiteral("ttyACM0"));
    const QString other = dir.filePath(QStringLiteral("ttyXRUSB0"));
    for (const QString &path : { usb, acm, other }) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString link = dir.filePath(QStringLiteral("COM5"));
    ASSERT_TRUE(QFile::link(acm, link));

    QStringList comDevices;
    for (int n = 1; n <= 16; ++n)
        comDevices << dir.filePath(QStringLiteral("missing%1").arg(n));
    comDevices[0] = usb;
    comDevices[4] = link;

    const QList<QPair<QString, QString>> present = { { other, QStringLiteral("Adapter X") },
                                                     { acm, QStringLiteral("Meter cable") },
                                                     { usb, QString() } };
    const QList<PortHelpRow> rows = PortHelpRows(comDevices, present);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].comName, QStringLiteral("COM1"));
    EXPECT_EQ(rows[0].device, QFileInfo(usb).canonicalFilePath());
    EXPECT_EQ(rows[1].comName, QStringLiteral("COM5"));
    EXPECT_EQ(rows[1].device, QFileInfo(acm).canonicalFilePath()); // the link followed
    EXPECT_EQ(rows[1].description, QStringLiteral("Meter cable")); // found through the link
    EXPECT_EQ(rows[2].comName, QString());
    EXPECT_EQ(rows[2].device, QFileInfo(other).canonicalFilePath());

    const QString text = PortHelpText(rows, QStringLiteral("/run/ports"));
    EXPECT_TRUE(text.contains(QStringLiteral("COM5")));
    EXPECT_TRUE(text.contains(QStringLiteral("(no COM name)")));
    EXPECT_TRUE(text.contains(QStringLiteral("/run/ports")));
}

TEST(PortHelpRows, SaysSoWhenNothingIsFound)
{
    const QString text = PortHelpText(PortHelpRows({ QStringLiteral("/nonexistent/x") }, {}), {});
    EXPECT_TRUE(text.contains(QStringLiteral("(none")));
}

// Windows names its ports itself: they are listed as the system lists
// them, in COM order, without the device files of other systems.
TEST(PortHelpRows, WindowsListsTheSystemsPorts)
{
    const struct
    {
        QList<QPair<QString, QString>> present;
        QString listed;
    } cases[] = {
        { {}, "Serial ports found:\n  (none - is the meter's cable plugged in?)\n" },
        { { { "COM10", "Meter cable" }, { "COM3", "USB Serial Port" }, { "COM21", "" } },
          "Serial ports found:\nCOM3 \u2192 USB Serial Port\nCOM10 \u2192 Meter cable\n"
          "COM21 \u2192 (no description) (not opened here)\n" },
    };
    for (const auto &c : cases) {
        const QString text = WindowsPortHelpText(c.present);
        EXPECT_TRUE(text.startsWith(c.listed)) << text.toStdString();
        EXPECT_TRUE(text.contains("Device Manager: Ports (COM & LPT)"));
        EXPECT_FALSE(text.contains("/dev/")) << text.toStdString();
    }
}

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

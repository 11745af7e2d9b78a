#include "panel/gui/CalibrationWindow.h"
#include "panel/gui/Panel.h"
#include "panel/gui/SevenSegmentDisplay.h"
#include "support/EventWaits.h"
#include "support/MeterEmulator.h"
#include "support/ScriptedDialogs.h"

#include "widgets/ValueBoard.h"
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The panel on the real serial port, mirroring the meter emulator.
class PanelEmulatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (MeterEmulator::program().isEmpty())
            GTEST_SKIP() << "no meter emulator built";
        QString why;
        ASSERT_TRUE(emulator.start({ QStringLiteral("--signal"), QStringLiteral("constant"),
                                     QStringLiteral("--level"), QStringLiteral("72.4"),
                                     QStringLiteral("--range"), QStringLiteral("1") },
                                   &why))
            << why.toStdString();
        panel = std::make_unique<Panel>(1);
        clock.start();
        ASSERT_TRUE(panel->startUp());
        panel->show();
    }

    void TearDown() override
    {
        if (panel)
            panel->close();
    }

    QString text(const char *name)
    {
        return panel->findChild<QLabel *>(QLatin1String(name))->text();
    }
    QString figure() { return panel->findChild<SevenSegmentDisplay *>("ShownLCD")->text(); }

    ScriptedDialogs dialogs;
    MeterEmulator emulator;
    std::unique_ptr<Panel> panel;
    QElapsedTimer clock;
};

TEST_F(PanelEmulatorTest, ShowsTheMetersLevelWithinASecond)
{
    ASSERT_TRUE(WaitUntil([&] { return figure() == QStringLiteral("72.4"); }, 1000));
    EXPECT_LE(clock.elapsed(), 1000);
    EXPECT_EQ(text("LblCOM"), QStringLiteral("COM1"));
    EXPECT_EQ(text("BoardLevel"), QStringLiteral("70-130"));
}

TEST_F(PanelEmulatorTest, SilentMeterShowsNoComAndStopsTimer2UntilItSendsAgain)
{
    ASSERT_TRUE(WaitUntil([&] { return figure() == QStringLiteral("72.4"); }, 1500));
    bool timer2WhenLost = true;
    QString figureWhenLost, valueWhenLost;
    Watch lost([&] { return text("LblCOM") == QStringLiteral("No COM"); },
               [&] {
                   timer2WhenLost = panel->timers().timer2Enabled();
                   figureWhenLost = figure();
                   valueWhenLost = text("LblValue");
                   emulator.control(QStringLiteral("level 81.3"));
               });
    ASSERT_TRUE(emulator.control(QStringLiteral("silent 3")));
    ASSERT_TRUE(
        WaitUntil([&] { return lost.seen() && text("LblCOM") == QStringLiteral("COM1"); }, 6000));
    EXPECT_LE(lost.seenAtMs(), 1600);
    EXPECT_FALSE(timer2WhenLost);
    EXPECT_EQ(figureWhenLost, QStringLiteral("72.4")); // keeps its last figure
    EXPECT_EQ(valueWhenLost, QString());
    EXPECT_TRUE(panel->timers().timer2Enabled());
    EXPECT_TRUE(WaitUntil([&] { return figure() == QStringLiteral("81.3"); }, 1000));
}

TEST_F(PanelEmulatorTest, DownKeyReachesTheMeterAndItsNewRangeShows)
{
    ASSERT_TRUE(WaitUntil([&] { return text("BoardLevel") == QStringLiteral("70-130"); }, 1500));
    panel->findChild<QPushButton *>(QStringLiteral("BtnDown"))->click();
    const QByteArray keyFrame("\x4B\x00\x00\x0A", 4);
    WaitUntil([&] { return emulator.received().contains(keyFrame); }, 1000);
    const QByteArray received = emulator.received();
    const qsizetype key = received.indexOf(keyFrame);
    ASSERT_GE(key, 1) << received.toHex(' ').toStdString();
    EXPECT_TRUE(received.left(key).contains('\x41'));
    EXPECT_TRUE(WaitUntil([&] { return text("BoardLevel") == QStringLiteral("60-120"); }, 2500));
    EXPECT_EQ(text("LblBarMin"), QStringLiteral("60"));
    EXPECT_EQ(text("LblBarMax"), QStringLiteral("120"));
}

TEST_F(PanelEmulatorTest, UnpluggedAdapterRecoversWhenPluggedBack)
{
    ASSERT_TRUE(WaitUntil([&] { return figure() == QStringLiteral("72.4"); }, 1500));
    bool timer2WhenLost = true;
    Watch lost([&] { return text("LblCOM") == QStringLiteral("No COM"); },
               [&] {
                   timer2WhenLost = panel->timers().timer2Enabled();
                   emulator.control(QStringLiteral("level 66.6"));
               });
    ASSERT_TRUE(emulator.control(QStringLiteral("unplug 2")));
    ASSERT_TRUE(
        WaitUntil([&] { return lost.seen() && text("LblCOM") == QStringLiteral("COM1"); }, 8000));
    EXPECT_LE(lost.seenAtMs(), 1600);
    EXPECT_FALSE(timer2WhenLost);
    EXPECT_TRUE(panel->timers().timer2Enabled());
    EXPECT_TRUE(WaitUntil([&] { return figure() == QStringLiteral("66.6"); }, 1500));
}

// The calibration check reads the frames the poll receives: refused while
// recording, stored when stable, and unstable when the link is lost.
TEST_F(PanelEmulatorTest, TheCalibrationCheckReadsTenSecondsOfTheLiveLevel)
{
    ASSERT_TRUE(WaitUntil([&] { return figure() == QStringLiteral("72.4"); }, 1500));
    QTemporaryDir dir;
    bool recording = true;
    auto *window = new CalibrationWindow(*panel, [&] { return recording; });
    window->setLogPath(dir.filePath("calibration.csv"));
    window->findChild<QComboBox *>("calibratorLevel")->setCurrentText("72.0");
    window->show();
    auto *start = window->findChild<QPushButton *>("start");
    const auto board = [&](const char *caption) {
        for (ValueBoard *b : window->findChildren<ValueBoard *>())
            if (b->caption() == QLatin1String(caption))
                return b->text();
        return QString();
    };
    start->click();
    EXPECT_FALSE(window->running());
    EXPECT_EQ(dialogs.messageTexts(), QStringList { "Recording Mode!\n\rPlease stop recording!" });

    recording = false;
    start->click();
    ASSERT_TRUE(window->running());
    ASSERT_TRUE(WaitUntil([&] { return board("Progress").contains("s left"); }, 1000));
    ASSERT_TRUE(WaitUntil([&] { return !window->running(); }, 12000));
    EXPECT_EQ(board("Mean"), "72.40 dB");
    EXPECT_EQ(board("Deviation"), "+0.40 dB");
    EXPECT_EQ(board("Verdict"), "Stable, within the tolerance");
    QFile log(dir.filePath("calibration.csv"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = log.readAll().split('\n');
    ASSERT_GE(rows.size(), 2);
    EXPECT_TRUE(rows[1].contains(",72.00,72.40,72.40,72.40,0.40,0.50")) << rows[1].constData();
    log.close();

    start->click();
    ASSERT_TRUE(emulator.control(QStringLiteral("silent 3")));
    ASSERT_TRUE(WaitUntil([&] { return !window->running(); }, 4000));
    EXPECT_TRUE(board("Verdict").startsWith("Unstable: The link to the meter was lost"));
    if (const QString shots = qEnvironmentVariable("VORN_SCREENSHOT_DIR"); !shots.isEmpty())
        window->grab().save(shots + QStringLiteral("/calibration-window.png"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count('\n'), 2); // nothing more stored
    window->close();
}

} // namespace

int main(int argc, char **argv)
{
    // Test discovery runs this without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "link/MeterLink.h"
#include "panel/gui/Keypad.h"
#include "panel/gui/LevelBar.h"
#include "panel/gui/Panel.h"
#include "panel/gui/PanelToolbar.h"
#include "panel/gui/SevenSegmentDisplay.h"
#include "support/EventWaits.h"
#include "support/FakeSerialPort.h"
#include "support/ScriptedDialogs.h"
#include "platform/Delay.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QScreen>
#include <QScrollArea>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

const QByteArray Ack("\x02\xFF\xFF\xFF\xFF\x03", 6);

QByteArray frame(int range, int mode, int word)
{
    QByteArray f;
    f.append(char(0x02)).append(char(range)).append(char(mode));
    f.append(char(word >> 8)).append(char(word & 0xFF)).append(char(0x03));
    return f;
}

class PanelWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto owned = std::make_unique<FakeSerialPort>();
        port = owned.get();
        panel = std::make_unique<Panel>(3, std::move(owned));
    }

    template<typename T = QLabel> T *child(const char *name)
    {
        T *w = panel->findChild<T *>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString text(const char *name) { return child<QLabel>(name)->text(); }
    QString figure() { return child<SevenSegmentDisplay>("ShownLCD")->text(); }
    bool shown(const char *name) { return !child<QWidget>(name)->isHidden(); }

    void pollWith(const QByteArray &bytes)
    {
        port->feedAfter(20, bytes);
        panel->pollTick();
    }

    ScriptedDialogs dialogs;
    FakeSerialPort *port = nullptr;
    std::unique_ptr<Panel> panel;
};

TEST_F(PanelWindowTest, StartValuesBeforeTheFirstPoll)
{
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("Panel   V8.02"));
    EXPECT_EQ(figure(), QStringLiteral("140.0"));
    EXPECT_EQ(text("LblValue"), QStringLiteral("140.0"));
    EXPECT_FALSE(shown("LblValue"));
    EXPECT_EQ(text("LbldB"), QStringLiteral("dB"));
    EXPECT_EQ(text("LblCA"), QStringLiteral("C"));
    EXPECT_EQ(text("LblBarMin"), QStringLiteral("70"));
    EXPECT_EQ(text("LblBarMax"), QStringLiteral("130"));
    EXPECT_EQ(text("BoardSFI"), QStringLiteral("Slow"));
    EXPECT_EQ(text("BoardCA"), QString());
    EXPECT_EQ(text("BoardLevel"), QStringLiteral("80-140"));
    EXPECT_EQ(text("LblCOM"), QStringLiteral("No COM"));
    for (const char *hidden : { "LblFast", "LblSlow", "LblIMP", "LblOver", "LblUnder", "LblFull",
                                "LblMax", "LblA", "LblC" })
        EXPECT_FALSE(shown(hidden)) << hidden;
    EXPECT_EQ(child<QGroupBox>("SSTW")->title(), QStringLiteral("Time Weight"));
    EXPECT_EQ(child<QGroupBox>("SSFreq")->title(), QStringLiteral("Freq Weight"));
    EXPECT_EQ(child<QGroupBox>("SSSR")->title(), QStringLiteral("Level Range"));
    EXPECT_EQ(child<QLabel>("BoardLevel")->accessibleName(), QStringLiteral("Level Range"));
    for (const char *area : { "StatisticsArea", "ListArea", "SaveArea", "GraphsArea" })
        EXPECT_NE(child<QWidget>(area)->layout(), nullptr) << area;
    EXPECT_EQ(child<QPushButton>("CmdL")->text(), QStringLiteral("Leq"));
}

// A laptop's 1366x768 (less the task bar and title bar), and 1920x1080 at
// 150 %: the panel takes the size and scrolls what does not fit.
TEST_F(PanelWindowTest, FitsALaptopScreenAndScrollsTheRest)
{
    const QSize laptop(1366, 728);
    const QSize scaled(1280, 680);
    for (const QSize &room : { laptop, scaled }) {
        EXPECT_LE(panel->minimumSizeHint().width(), room.width());
        EXPECT_LE(panel->minimumSizeHint().height(), room.height());
        panel->resize(room);
        panel->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(panel->size(), room);
        auto *scroll = child<QScrollArea>("PanelScroll");
        EXPECT_LE(scroll->widget()->minimumSizeHint().width(), room.width());
        // What is below the fold is reached by scrolling, and every control
        // is inside the scrolled area or the tool bar.
        EXPECT_TRUE(scroll->widget()->isAncestorOf(child<QWidget>("GraphsArea")));
    }
    const QRect screen = panel->screen()->availableGeometry();
    EXPECT_LE(Panel(3).size().height(), screen.height());
}

TEST_F(PanelWindowTest, StartUpFailureSaysSoAndStopsTheTimers)
{
    port->setOpenFails(true);
    EXPECT_FALSE(panel->startUp());
    const auto messages = dialogs.callsOf(ScriptedDialogs::Kind::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("No device found, try again!"));
    EXPECT_EQ(messages[0].title, QString()); // the program's name
    EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(messages[0].buttons, MessageButtons::Ok);
    EXPECT_FALSE(panel->timers().timer1Enabled());
    EXPECT_FALSE(panel->timers().timer2Enabled());
}

TEST_F(PanelWindowTest, StartUpOpensThePortAndStartsBothTimers)
{
    EXPECT_TRUE(panel->startUp());
    EXPECT_TRUE(dialogs.calls().empty());
    EXPECT_EQ(port->openedPort(), 3);
    EXPECT_EQ(text("LblCOM"), QStringLiteral("COM3"));
    EXPECT_TRUE(panel->timers().timer1Enabled());
    EXPECT_TRUE(panel->timers().timer2Enabled());
    EXPECT_EQ(panel->pos(), QPoint(0, 0));
    panel->timers().setBothEnabled(false);
}

TEST_F(PanelWindowTest, PollMirrorsTheFrame)
{
    ASSERT_TRUE(port->open(3));
    pollWith(frame(0x80, 0x15, 0x8000 + 1500)); // 80-140, over, slow, running, stop, marked 150.0
    EXPECT_EQ(figure(), QStringLiteral("150.0*"));
    EXPECT_EQ(text("LblValue"), QStringLiteral("150.0*"));
    EXPECT_EQ(text("LblBarMin"), QStringLiteral("80"));
    EXPECT_EQ(text("LblBarMax"), QStringLiteral("140"));
    auto *bar = child<LevelBar>("SoundBar");
    EXPECT_DOUBLE_EQ(bar->minimum(), 80);
    EXPECT_DOUBLE_EQ(bar->maximum(), 140);
    EXPECT_DOUBLE_EQ(bar->value(), 140);
    EXPECT_TRUE(shown("LblOver"));
    EXPECT_FALSE(shown("LblUnder"));
    EXPECT_TRUE(shown("LblSlow"));
    EXPECT_FALSE(shown("LblFast"));
    EXPECT_TRUE(shown("LblRun"));
    EXPECT_FALSE(shown("LblPause"));
    EXPECT_TRUE(shown("LblStop"));
    EXPECT_EQ(text("BoardSFI"), QStringLiteral("SLOW"));
    EXPECT_EQ(text("BoardCA"), QStringLiteral("A"));
    EXPECT_EQ(text("BoardLevel"), QStringLiteral("80-140"));
    EXPECT_FALSE(panel->toolbar()->isButtonEnabled(QStringLiteral("Up")));
    EXPECT_TRUE(panel->toolbar()->isButtonEnabled(QStringLiteral("Down")));
    EXPECT_DOUBLE_EQ(panel->currentReading().Level, 150.0);

    pollWith(frame(0x05, 0x83, 249)); // 30-90, under, empty time weighting, 24.9
    EXPECT_EQ(figure(), QStringLiteral("- - -"));
    EXPECT_EQ(text("LblValue"), QStringLiteral("24.9"));
    EXPECT_DOUBLE_EQ(bar->value(), 30);
    EXPECT_TRUE(shown("LblSlow")); // kept
    EXPECT_EQ(text("BoardSFI"), QString());
    EXPECT_TRUE(panel->toolbar()->isButtonEnabled(QStringLiteral("Up")));
    EXPECT_FALSE(panel->toolbar()->isButtonEnabled(QStringLiteral("Down")));
}

TEST_F(PanelWindowTest, FilterBlinksTheA)
{
    ASSERT_TRUE(port->open(3));
    std::vector<bool> visible;
    for (int i = 0; i < 3; ++i) {
        pollWith(frame(0x01, 0x61, 700));
        visible.push_back(shown("LblCA"));
        EXPECT_EQ(text("LblCA"), QStringLiteral("A"));
        EXPECT_EQ(text("BoardCA"), QStringLiteral("20-200Hz Filter"));
    }
    EXPECT_EQ(visible, std::vector<bool>({ false, true, false }));
}

TEST_F(PanelWindowTest, SilentMeterShowsNoComStopsTimer2AndRecovers)
{
    ASSERT_TRUE(panel->startUp());
    panel->timers().setTimer1Enabled(false); // the test drives the polls
    pollWith(frame(0x01, 0x00, 654));
    ASSERT_EQ(figure(), QStringLiteral("65.4"));

    QElapsedTimer clock;
    clock.start();
    panel->pollTick(); // the meter stays silent
    EXPECT_GE(clock.elapsed(), 990);
    Delay(0.01); // the loss is announced once the poll has unwound
    EXPECT_EQ(text("LblCOM"), QStringLiteral("No COM"));
    EXPECT_EQ(text("LblValue"), QString());
    EXPECT_EQ(figure(), QStringLiteral("65.4"));
    EXPECT_FALSE(panel->timers().timer2Enabled());

    // The next polls try to recover, each for at most the silence limit.
    port->feedAfter(300, frame(0x02, 0x00, 800));
    panel->pollTick();
    EXPECT_EQ(text("LblCOM"), QStringLiteral("COM3"));
    EXPECT_TRUE(panel->timers().timer2Enabled());
    EXPECT_EQ(figure(), QStringLiteral("65.4")); // the frame that ended the wait is not shown
    pollWith(frame(0x02, 0x00, 800));
    EXPECT_EQ(figure(), QStringLiteral("80.0"));
    panel->timers().setBothEnabled(false);
}

TEST_F(PanelWindowTest, ClosingEndsAPollWait)
{
    ASSERT_TRUE(port->open(3));
    bool closed = false;
    QObject::connect(panel.get(), &Panel::closed, [&] { closed = true; });
    QTimer::singleShot(400, [&] { panel->close(); });
    QElapsedTimer clock;
    clock.start();
    panel->pollTick(); // silent
    EXPECT_TRUE(closed);
    EXPECT_LT(clock.elapsed(), 800);
    EXPECT_FALSE(panel->timers().timer2Enabled());
}

TEST_F(PanelWindowTest, ClickOnComLabelTogglesTheCaption)
{
    auto *label = child<QLabel>("LblCOM");
    auto click = [label] {
        const QPointF at(2, 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, label->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, label->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(label, &press);
        QApplication::sendEvent(label, &release);
    };
    click();
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("Panel   V8.02   130313"));
    click();
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("Panel   V8.02"));
}

TEST_F(PanelWindowTest, KeypadButtonsPressTheirKeysWithoutTouchingTheTimers)
{
    ASSERT_TRUE(port->open(3));
    port->setResponder([](const QByteArray &w) { return w == "A" ? Ack : QByteArray(); });
    panel->timers().setTimer2Enabled(true);
    const struct
    {
        const char *name;
        const char *caption;
        int code;
    } keys[] = { { "BtnCA", "A / C", 1 },
                 { "BtnFastSlow", "Fast/Slow/Imp", 2 },
                 { "BtnLeq", "Leq SEL SPL", 3 },
                 { "BtnMax", "Max Min Inst", 4 },
                 { "BtnPlayPause", "Run Pause Stop", 5 },
                 { "BtnRecord", "Record Erase", 6 },
                 { "BtnDate", "Date Time", 7 },
                 { "BtnInteg", "Integ Time", 8 },
                 { "BtnUp", "Up", 9 },
                 { "BtnDown", "Down", 10 } };
    for (const auto &k : keys) {
        auto *button = child<QPushButton>(k.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QLatin1String(k.caption));
        EXPECT_EQ(button->accessibleName(), QLatin1String(k.caption));
        port->clearWrites();
        button->click();
        ASSERT_EQ(port->writes().size(), 2u) << k.name;
        EXPECT_EQ(port->writes()[0].bytes, QByteArray("A"));
        EXPECT_EQ(port->writes()[1].bytes, QByteArray("K\0\0", 3) + char(k.code)) << k.name;
        EXPECT_FALSE(panel->timers().timer1Enabled());
        EXPECT_TRUE(panel->timers().timer2Enabled());
    }
    panel->timers().setBothEnabled(false);
}

TEST_F(PanelWindowTest, PollHoldsOffWhileAKeyWaitsForItsAcknowledgement)
{
    ASSERT_TRUE(port->open(3));
    port->setResponder([](const QByteArray &w) { return w == "A" ? Ack : QByteArray(); }, 100);
    bool pollReturned = false;
    QTimer::singleShot(20, [&] {
        panel->pollTick(); // falls due inside the handshake's wait
        pollReturned = true;
    });
    child<QPushButton>("BtnDown")->click();
    EXPECT_TRUE(pollReturned);
    EXPECT_EQ(port->written(), QByteArray("AK\0\0\x0A", 5));
    EXPECT_EQ(figure(), QStringLiteral("140.0")); // the acknowledgement was not shown as a level
}

TEST_F(PanelWindowTest, KeysClickedDuringAPollGoOutAfterItInClickOrderAtMostEight)
{
    ASSERT_TRUE(port->open(3));
    port->setResponder([](const QByteArray &w) { return w == "A" ? Ack : QByteArray(); });
    port->feedAfter(150, frame(0x01, 0x00, 654));
    const char *const order[] = { "BtnDown", "BtnCA",    "BtnUp",     "BtnMax",      "BtnDate",
                                  "BtnLeq",  "BtnInteg", "BtnRecord", "BtnPlayPause" };
    QTimer::singleShot(50, [&] {
        for (const char *name : order) // nine clicks inside the poll's wait
            child<QPushButton>(name)->click();
        EXPECT_TRUE(port->written().isEmpty()); // nothing cuts into the poll
    });
    panel->pollTick();
    EXPECT_TRUE(port->written().isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return port->writes().size() >= 16; }, 2000));
    Delay(0.1);
    QByteArray keys;
    for (const auto &w : port->writes())
        if (w.bytes.startsWith('K'))
            keys += w.bytes.right(1);
    EXPECT_EQ(keys.toHex(), QByteArray("0a01090407030806")); // the ninth was ignored
}

TEST_F(PanelWindowTest, KeysAndLettersAreRefusedWhileTheLinkIsLost)
{
    ASSERT_TRUE(panel->startUp());
    panel->timers().setBothEnabled(false);
    panel->pollTick(); // silent
    ASSERT_TRUE(WaitUntil([&] { return text("LblCOM") == QStringLiteral("No COM"); }, 500));
    port->setResponder([](const QByteArray &w) { return w == "A" ? Ack : QByteArray(); });
    port->clearWrites();
    child<QPushButton>("BtnDown")->click();
    panel->toolbar()->button(QStringLiteral("Down"))->click();
    Delay(0.1);
    EXPECT_TRUE(port->written().isEmpty());
    // Back again, nothing of the refused clicks bursts out.
    port->feedAfter(50, frame(0x02, 0x00, 800));
    panel->pollTick();
    ASSERT_EQ(text("LblCOM"), QStringLiteral("COM3"));
    Delay(0.1);
    EXPECT_TRUE(port->written().isEmpty());
    panel->timers().setBothEnabled(false);
}

TEST_F(PanelWindowTest, ToolbarHasTheElevenKeysThenTheCalibrationCheckAndOnlyTheRangeKeysWorkAlone)
{
    ASSERT_TRUE(port->open(3));
    PanelToolbar *bar = panel->toolbar();
    EXPECT_EQ(bar->objectName(), QStringLiteral("Toolbar1"));
    const QStringList keys = { "Save", "Open", "Sampling", "AC",    "FSI",     "Up",
                               "Down", "RTC",  "Memory",   "Erase", "Refresh", "Calibration" };
    const QStringList tips
        = { "Save As",     "Open File To Read", "Sampling Rate", "Frequency Weight",
            "Time Weight", "Level Up",          "Level Down",    "Real Time Clock",
            "Data Logger", "Erase Memory",      "Refresh",       "Calibration Check" };
    ASSERT_EQ(bar->keys(), keys);
    for (int i = 0; i < keys.size(); ++i) {
        QToolButton *b = bar->button(keys[i]);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->toolTip(), tips[i]);
        EXPECT_EQ(b->accessibleName(), tips[i]);
        EXPECT_FALSE(b->icon().isNull());
        const bool rangeKey = keys[i] == "Up" || keys[i] == "Down";
        EXPECT_EQ(b->isEnabled(), rangeKey) << keys[i].toStdString();
        EXPECT_EQ(b->accessibleDescription().isEmpty(), rangeKey);
    }

    panel->timers().setBothEnabled(true);
    bar->button(QStringLiteral("Down"))->click();
    bar->button(QStringLiteral("Up"))->click();
    EXPECT_EQ(port->written(), QByteArray("FE"));
    EXPECT_TRUE(panel->timers().timer1Enabled());
    EXPECT_TRUE(panel->timers().timer2Enabled());
    panel->timers().setBothEnabled(false);

    QStringList dispatched;
    panel->setToolbarDispatcher([&](const QString &key) { dispatched << key; });
    bar->setButtonAvailable(QStringLiteral("Refresh"), true);
    bar->button(QStringLiteral("Refresh"))->click();
    bar->button(QStringLiteral("Up"))->click();
    EXPECT_EQ(dispatched, QStringList({ "Refresh", "Up" }));
    EXPECT_EQ(port->written(), QByteArray("FE"));

    bar->setButtonAvailable(QStringLiteral("Save"), true);
    bar->setRecording(true);
    EXPECT_EQ(bar->button(QStringLiteral("Save"))->toolTip(), QStringLiteral("Stop Recording"));
    EXPECT_EQ(bar->button(QStringLiteral("Save"))->accessibleName(),
              QStringLiteral("Stop Recording"));
    bar->setRecording(false);
    EXPECT_EQ(bar->button(QStringLiteral("Save"))->toolTip(), QStringLiteral("Save As"));
}

TEST_F(PanelWindowTest, OpenAndRefreshCarryDesktopShortcutsButKeepTheirTips)
{
    PanelToolbar *bar = panel->toolbar();
    for (const char *key : { "Open", "Refresh" })
        bar->setButtonAvailable(QString::fromLatin1(key), true);
    QStringList dispatched;
    panel->setToolbarDispatcher([&](const QString &key) { dispatched << key; });

    QToolButton *open = bar->button(QStringLiteral("Open"));
    EXPECT_EQ(open->toolTip(), QStringLiteral("Open File To Read"));
    EXPECT_EQ(open->accessibleDescription(), QStringLiteral("Shortcut: Ctrl+O"));
    QToolButton *refresh = bar->button(QStringLiteral("Refresh"));
    EXPECT_EQ(refresh->toolTip(), QStringLiteral("Refresh"));
    EXPECT_EQ(refresh->accessibleDescription(), QStringLiteral("Shortcut: F5"));

    const auto actionOf = [bar](const char *key) {
        return bar->findChild<QAction *>(QStringLiteral("Toolbar1_") + QLatin1String(key));
    };
    EXPECT_EQ(actionOf("Open")->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(actionOf("Refresh")->shortcut(), QKeySequence(Qt::Key_F5));
    actionOf("Refresh")->trigger();
    EXPECT_EQ(dispatched, QStringList({ "Refresh" }));
}

TEST_F(PanelWindowTest, RangeStateAndAvailabilityBothDecide)
{
    PanelToolbar *bar = panel->toolbar();
    const QString key = QStringLiteral("Memory");
    bar->setButtonEnabled(key, true);
    EXPECT_FALSE(bar->isButtonEnabled(key)); // not available yet
    bar->setButtonAvailable(key, true);
    EXPECT_TRUE(bar->isButtonEnabled(key));
    bar->setButtonEnabled(key, false);
    EXPECT_FALSE(bar->isButtonEnabled(key));
}

// Renders the panel in the looks worth checking by eye when
// VORN_SCREENSHOT_DIR names a folder.
TEST_F(PanelWindowTest, Screenshots)
{
    const QString dir = qEnvironmentVariable("VORN_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VORN_SCREENSHOT_DIR not set";
    ASSERT_TRUE(panel->startUp());
    panel->timers().setBothEnabled(false);
    panel->show();
    auto save = [&](const char *name) {
        QApplication::processEvents();
        EXPECT_TRUE(panel->grab().save(QDir(dir).filePath(QLatin1String(name))));
    };
    pollWith(frame(0x01, 0x05, 734));
    save("panel-normal.png");
    pollWith(frame(0x80, 0x44, 0x8000 + 1412));
    save("panel-over.png");
    pollWith(frame(0x02, 0x61, 1375));
    pollWith(frame(0x02, 0x61, 1375));
    save("panel-filter-lit.png");
    pollWith(frame(0x05, 0x88, 212));
    save("panel-under.png");
    for (const QString &key : panel->toolbar()->keys())
        panel->toolbar()->setButtonAvailable(key, true);
    panel->toolbar()->setRecording(true);
    QApplication::processEvents();
    EXPECT_TRUE(panel->toolbar()->grab().save(QDir(dir).filePath("toolbar-recording.png")));
    QObject::connect(&panel->events(), &PanelEvents::linkStateChanged, [&](bool linked) {
        if (!linked)
            QTimer::singleShot(100, [&] {
                save("panel-no-com.png");
                panel->close();
            });
    });
    panel->pollTick();
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

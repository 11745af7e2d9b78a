#include "link/LinkOwner.h"
#include "link/gui/Setup.h"
#include "support/EventWaits.h"
#include "support/FakeSerialPort.h"
#include "support/ScriptedDialogs.h"
#include "platform/Delay.h"
#include "platform/PanelTimers.h"

#include <QAccessible>
#include <QApplication>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

void click(QWidget *widget)
{
    const QPointF centre = QRectF(widget->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, centre, widget->mapToGlobal(centre), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, widget->mapToGlobal(centre),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QCoreApplication::sendEvent(widget, &release);
}

// What a screen reader gets: "name = value".
QString spoken(QWidget *widget)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(widget);
    return a ? a->text(QAccessible::Name) + QStringLiteral(" = ") + a->text(QAccessible::Value)
             : QString();
}

struct ClockWindow
{
    ClockWindow()
        : link(port)
        , setup(link, timers, &panel)
    {
        port.open(1);
        timers.setBothEnabled(true);
        panel.setGeometry(40, 30, 900, 700);
        panel.show();
        meterTime = setup.findChild<QLabel *>("LblMeterTime");
        pcTime = setup.findChild<QLabel *>("LblPCTime");
    }

    void answerClockWith(const QByteArray &reply)
    {
        port.setResponder([reply](const QByteArray &w) { return w == "I" ? reply : QByteArray(); });
    }

    bool timersOn() const { return timers.timer1Enabled() && timers.timer2Enabled(); }
    bool timersOff() const { return !timers.timer1Enabled() && !timers.timer2Enabled(); }

    FakeSerialPort port;
    LinkOwner link;
    PanelTimers timers;
    QWidget panel;
    Setup setup;
    QLabel *meterTime = nullptr;
    QLabel *pcTime = nullptr;
};

TEST(ClockWindowLayout, CaptionsNamesAndPlaceUnderThePanel)
{
    ClockWindow w;
    w.setup.show();
    EXPECT_EQ(w.setup.windowTitle(), "Setup");
    EXPECT_EQ(w.setup.findChild<QGroupBox *>("FrameTime")->title(), "Time");
    EXPECT_EQ(w.meterTime->text(), "Meter Time");
    EXPECT_EQ(w.pcTime->text(), "PC System Time");
    EXPECT_EQ(w.setup.findChild<QPushButton *>("CmdSetTime")->text(),
              "Set Meter Time To System Time");
    EXPECT_EQ(w.setup.findChild<QPushButton *>("CmdExit")->text(), "Exit");
    EXPECT_FALSE(w.setup.showMeterTime());
    EXPECT_FALSE(w.setup.showPcTime());

    const QRect panel = w.panel.frameGeometry();
    const QRect window = w.setup.frameGeometry();
    EXPECT_EQ(window.left(), panel.left() + (panel.width() - window.width()) / 2);
    EXPECT_EQ(window.top(), panel.top() + qRound(1000 * w.panel.logicalDpiY() / 1440.0));
}

TEST(ClockWindowRefresh, OpenedAndClosedAtOnceLeavesThePanelPolling)
{
    ClockWindow w;
    QTimer::singleShot(0, &w.setup, [&w] { w.setup.findChild<QPushButton *>("CmdExit")->click(); });
    w.setup.exec();
    EXPECT_TRUE(w.timersOn());
    EXPECT_TRUE(w.port.writes().empty());
}

TEST(ClockWindowRefresh, MeterClockStopsThePanelUntilTheWindowCloses)
{
    ClockWindow w;
    w.answerClockWith(QByteArray::fromHex("090508130313"));
    w.setup.show();
    Delay(0.45);
    EXPECT_TRUE(w.timersOn()); // nothing asked of the meter yet
    EXPECT_TRUE(w.port.writes().empty());

    click(w.meterTime);
    EXPECT_TRUE(w.setup.showMeterTime());
    Delay(0.45);
    EXPECT_EQ(w.meterTime->text(), "2013/03/13 08:05:09");
    EXPECT_EQ(spoken(w.meterTime), "Meter Time = 2013/03/13 08:05:09");
    EXPECT_TRUE(w.timersOff());
    EXPECT_TRUE(w.port.written().startsWith("I"));

    click(w.meterTime);
    Delay(0.45);
    EXPECT_EQ(w.meterTime->text(), "Meter Time");
    EXPECT_TRUE(w.timersOff());
    EXPECT_EQ(spoken(w.meterTime), "Meter Time = Meter Time");

    w.setup.close();
    EXPECT_TRUE(w.timersOn());
}

TEST(ClockWindowRefresh, PcClockShowsYearFirst)
{
    ClockWindow w;
    w.setup.show();
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QCoreApplication::sendEvent(w.pcTime, &space);
    Delay(0.45);
    const QRegularExpression shape(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    EXPECT_TRUE(shape.match(w.pcTime->text()).hasMatch()) << w.pcTime->text().toStdString();
    const QDateTime shown = QDateTime::fromString(w.pcTime->text(), "yyyy/MM/dd HH:mm:ss");
    EXPECT_LE(qAbs(shown.secsTo(QDateTime::currentDateTime())), 2);
    EXPECT_TRUE(w.timersOn()); // the PC clock needs no meter
}

// Without a mouse: the labels' accessible action switches them as a click
// does.
TEST(ClockWindowRefresh, AccessibleActionSwitchesTheClock)
{
    ClockWindow w;
    w.setup.show();
    QAccessibleInterface *pc = QAccessible::queryAccessibleInterface(w.pcTime);
    ASSERT_NE(pc->actionInterface(), nullptr);
    const QString toggle = QAccessibleActionInterface::toggleAction();
    ASSERT_TRUE(pc->actionInterface()->actionNames().contains(toggle));
    pc->actionInterface()->doAction(toggle);
    Delay(0.45);
    EXPECT_NE(w.pcTime->text(), "PC System Time");
    EXPECT_EQ(spoken(w.pcTime), "PC System Time = " + w.pcTime->text());
    pc->actionInterface()->doAction(toggle);
    Delay(0.45);
    EXPECT_EQ(spoken(w.pcTime), "PC System Time = PC System Time");
}

TEST(ClockWindowRefresh, ClosingWhileTheMeterIsSilentEndsTheWait)
{
    ClockWindow w;
    bool waitingWhenClosed = false;
    QTimer::singleShot(20, &w.setup, [&w] { click(w.meterTime); });
    QTimer::singleShot(700, &w.setup, [&] {
        waitingWhenClosed = w.setup.refreshRunning();
        w.setup.findChild<QPushButton *>("CmdExit")->click();
    });
    w.setup.exec();
    EXPECT_TRUE(waitingWhenClosed);
    EXPECT_FALSE(w.setup.refreshRunning());
    EXPECT_TRUE(w.timersOn());
    const qsizetype asked = w.port.written().size();
    EXPECT_GE(asked, 5);
    EXPECT_EQ(w.port.written(), QByteArray(asked, 'I'));
    Delay(0.5);
    EXPECT_EQ(w.port.written().size(), asked); // nothing more after the close
}

QDateTime fromBcd(const QByteArray &b)
{
    const auto n = [&b](int i) { return (quint8(b.at(i)) >> 4) * 10 + (quint8(b.at(i)) & 0x0F); };
    return QDateTime(QDate(2000 + n(6), n(5), n(4)), QTime(n(3), n(2), n(1)));
}

TEST(ClockWindowSet, WritesThePcTimeInBcdAndKeepsThePanelStopped)
{
    ClockWindow w;
    w.setup.show();
    w.setup.findChild<QPushButton *>("CmdSetTime")->click();
    ASSERT_EQ(w.port.writes().size(), 1u);
    const QByteArray command = w.port.writes().front().bytes;
    ASSERT_EQ(command.size(), 7);
    EXPECT_EQ(command.at(0), 'B');
    EXPECT_LE(qAbs(fromBcd(command).secsTo(QDateTime::currentDateTime())), 2);
    EXPECT_TRUE(w.timersOff());
    Delay(0.45);
    EXPECT_TRUE(w.timersOff());
    w.setup.close();
    EXPECT_TRUE(w.timersOn());
}

TEST(ClockWindowSet, AClickDuringAReadIsCarriedOutAfterIt)
{
    ClockWindow w;
    constexpr int ReplyDelayMs = 200;
    w.port.setResponder(
        [](const QByteArray &bytes) {
            return bytes == "I" ? QByteArray::fromHex("000000010100") : QByteArray();
        },
        ReplyDelayMs);
    w.setup.show();
    click(w.meterTime);
    bool readingAtClick = false;
    QTimer::singleShot(420, &w.setup, [&] {
        readingAtClick = w.setup.refreshRunning();
        w.setup.findChild<QPushButton *>("CmdSetTime")->click();
    });
    Delay(1.0);
    w.setup.close();
    ASSERT_TRUE(readingAtClick);

    const auto &writes = w.port.writes();
    const auto set = std::find_if(writes.begin(), writes.end(),
                                  [](const auto &write) { return write.bytes.startsWith('B'); });
    ASSERT_NE(set, writes.end());
    EXPECT_EQ(set->bytes.size(), 7);
    // The set waited for the reply to the first "I", due ReplyDelayMs after it.
    EXPECT_GE(set->atMs - writes.front().atMs, ReplyDelayMs - 10);
    EXPECT_EQ(std::count_if(writes.begin(), writes.end(),
                            [](const auto &write) { return write.bytes.startsWith('B'); }),
              1);
}

TEST(ClockWindowLink, WhileAnotherExchangeHoldsTheLinkReadsAndSetWaitForIt)
{
    ClockWindow w;
    w.answerClockWith(QByteArray::fromHex("090508130313"));
    w.setup.show();
    auto other = w.link.tryHold(Exchange::Download);
    click(w.meterTime);
    w.setup.findChild<QPushButton *>("CmdSetTime")->click();
    Delay(0.8);
    EXPECT_TRUE(w.port.writes().empty()); // nothing cuts into the other exchange
    EXPECT_TRUE(w.setup.setPending());
    other.reset();
    ASSERT_TRUE(WaitUntil([&] { return w.meterTime->text() == "2013/03/13 08:05:09"; }, 1000));
    ASSERT_TRUE(WaitUntil([&] { return !w.setup.setPending(); }, 1000));
    // Whole commands are compared: the set's BCD bytes may hold 0x42 ('B').
    const auto &writes = w.port.writes();
    EXPECT_EQ(std::count_if(writes.begin(), writes.end(),
                            [](const auto &write) {
                                return write.bytes.size() == 7 && write.bytes.startsWith('B');
                            }),
              1)
        << w.port.written().toHex(' ').toStdString();
    w.setup.close();
    EXPECT_TRUE(w.timersOn());
}

TEST(ClockWindowLink, ASetThatNeverGotTheLinkSaysSoWhenTheWindowCloses)
{
    ScriptedDialogs dialogs;
    ClockWindow w;
    w.setup.show();
    const auto other = w.link.tryHold(Exchange::Download);
    w.setup.findChild<QPushButton *>("CmdSetTime")->click();
    w.setup.close();
    EXPECT_TRUE(w.port.writes().empty());
    ASSERT_EQ(dialogs.messageTexts().size(), 1);
    EXPECT_TRUE(dialogs.messageTexts().front().startsWith("The meter clock was not set"));
}

} // namespace

int main(int argc, char **argv)
{
    // Also when run by hand without a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "link/LinkOwner.h"
#include "recording/gui/SamplingChoice.h"
#include "recording/gui/ToolbarCommands.h"
#include "support/EventWaits.h"
#include "support/FakeSerialPort.h"
#include "support/ScriptedDialogs.h"
#include "platform/Delay.h"
#include "platform/PanelTimers.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using Kind = ScriptedDialogs::Kind;

// The live panel's side of a tool-bar click: its port, its timers and a log
// of the actions the other parts of the program would carry out.
struct PanelUnderTest
{
    PanelUnderTest()
    {
        port.open(3);
        timers.setBothEnabled(true);
    }

    ToolbarCommands::Actions allActions()
    {
        ToolbarCommands::Actions a;
        a.hideSavePanel = [this] { log << "hide"; };
        a.isRecording = [this] { return recording; };
        a.beginSaveChoice = [this] { log << "begin save"; };
        a.stopRecording = [this] { log << "stop"; };
        a.openDataFile = [this] { log << "open"; };
        a.memoryWindowOpen = [this] { return memoryOpen; };
        a.downloadLoggerMemory = [this] { log << "download"; };
        a.eraseLoggerMemory = [this] { log << "erase"; };
        a.resetLiveData = [this] { log << "reset"; };
        a.sampleInterval = [this] { return interval; };
        a.setSampleInterval = [this](int t) {
            interval = t;
            log << QStringLiteral("interval %1").arg(t);
        };
        return a;
    }

    bool timersOn() const { return timers.timer1Enabled() && timers.timer2Enabled(); }
    bool timersOff() const { return !timers.timer1Enabled() && !timers.timer2Enabled(); }

    FakeSerialPort port;
    LinkOwner link { port };
    PanelTimers timers;
    QWidget window;
    QStringList log;
    bool recording = false;
    bool memoryOpen = false;
    int interval = 1;
    ScriptedDialogs dialogs;
};

// Clicks OK in the modal window that opens next, after picking an option.
void answerNextModal(const char *optionName)
{
    QTimer::singleShot(50, [optionName] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_TRUE(modal);
        if (optionName)
            modal->findChild<QRadioButton *>(optionName)->click();
        modal->findChild<QPushButton *>("CmdOK")->click();
    });
}

TEST(ToolbarLetters, EachSendsOneByteWithTheTimersOff)
{
    const struct
    {
        const char *key;
        const char *hex;
    } rows[] = { { "AC", "47" }, { "FSI", "44" }, { "Up", "45" }, { "Down", "46" } };
    for (const auto &row : rows) {
        PanelUnderTest panel;
        ToolbarCommands commands(panel.link, panel.timers, &panel.window, {});
        bool offWhileWriting = false;
        panel.port.setResponder([&](const QByteArray &) {
            offWhileWriting = panel.timersOff();
            return QByteArray();
        });
        commands.OnToolbarButton(QString::fromLatin1(row.key));
        ASSERT_EQ(panel.port.writes().size(), 1u) << row.key;
        EXPECT_EQ(panel.port.written().toHex(), row.hex) << row.key;
        EXPECT_TRUE(offWhileWriting) << row.key;
        EXPECT_TRUE(panel.timersOn()) << row.key;
        EXPECT_TRUE(panel.dialogs.calls().empty()) << row.key;
    }
}

TEST(ToolbarLetters, ClicksInsideAnotherLettersWaitGoOutAfterItInClickOrder)
{
    PanelUnderTest panel;
    ToolbarCommands commands(panel.link, panel.timers, &panel.window, {});
    QTimer::singleShot(0, [&] {
        commands.OnToolbarButton("AC");
        commands.OnToolbarButton("FSI");
    });
    commands.OnToolbarButton("Up");
    EXPECT_EQ(panel.port.written(), "E"); // the others wait for the link
    ASSERT_TRUE(WaitUntil([&] { return panel.port.written() == "EGD"; }, 1000))
        << panel.port.written().toStdString();
    const auto &writes = panel.port.writes();
    // Each letter waited for the settle time of the one before.
    EXPECT_GE(writes[1].atMs - writes[0].atMs, 19);
    EXPECT_GE(writes[2].atMs - writes[1].atMs, 19);
    EXPECT_TRUE(panel.timersOn());
}

TEST(ToolbarAvailability, ButtonsWithoutTheirActionAreDisabled)
{
    PanelUnderTest panel;
    ToolbarCommands bare(panel.link, panel.timers, &panel.window, {});
    QStringList enabled, disabled;
    bare.applyAvailability([&](const QString &key, bool on) { (on ? enabled : disabled) << key; });
    EXPECT_EQ(enabled, QStringList({ "AC", "FSI", "Up", "Down", "RTC" }));
    EXPECT_EQ(disabled, QStringList({ "Save", "Open", "Sampling", "Memory", "Erase", "Refresh" }));

    ToolbarCommands full(panel.link, panel.timers, &panel.window, panel.allActions());
    QStringList all;
    full.applyAvailability([&](const QString &key, bool on) {
        EXPECT_TRUE(on) << key.toStdString();
        all << key;
    });
    EXPECT_EQ(all, ToolbarCommands::Keys());
    EXPECT_EQ(all,
              QStringList({ "Save", "Open", "Sampling", "AC", "FSI", "Up", "Down", "RTC", "Memory",
                            "Erase", "Refresh" }));

    // A half-wired Save (no stop) must not look usable.
    ToolbarCommands::Actions halfSave;
    halfSave.isRecording = [] { return false; };
    halfSave.beginSaveChoice = [] {};
    ToolbarCommands half(panel.link, panel.timers, &panel.window, halfSave);
    EXPECT_FALSE(half.isAvailable("Save"));
}

TEST(ToolbarDispatch, EveryClickHidesTheSavePanelFirstThenRunsItsAction)
{
    const struct
    {
        const char *key;
        bool recording;
        bool memoryOpen;
        QStringList log;
    } rows[] = {
        { "Save", false, false, { "hide", "begin save" } },
        { "Save", true, false, { "hide", "stop" } },
        { "Open", false, false, { "hide", "open" } },
        { "Open", true, false, { "hide" } },
        { "Memory", false, false, { "hide", "download" } },
        { "Memory", false, true, { "hide" } },
        { "Erase", false, false, { "hide", "erase" } },
        { "Refresh", true, false, { "hide", "reset" } },
        { "refresh", false, false, { "hide" } },
        { "Save ", false, false, { "hide" } },
    };
    for (const auto &row : rows) {
        PanelUnderTest panel;
        panel.recording = row.recording;
        panel.memoryOpen = row.memoryOpen;
        ToolbarCommands commands(panel.link, panel.timers, &panel.window, panel.allActions());
        commands.OnToolbarButton(QString::fromLatin1(row.key));
        EXPECT_EQ(panel.log, row.log) << '"' << row.key << "\" recording " << row.recording;
        EXPECT_TRUE(panel.port.writes().empty()) << row.key;
    }
}

TEST(ToolbarDispatch, OpenWhileRecordingSaysSo)
{
    PanelUnderTest panel;
    panel.recording = true;
    ToolbarCommands commands(panel.link, panel.timers, &panel.window, panel.allActions());
    commands.OnToolbarButton("Open");
    const auto messages = panel.dialogs.callsOf(Kind::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Recording Mode!\n\rPlease stop recording!");
    EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
}

TEST(ToolbarDispatch, RealTimeClockOpensTheClockWindowModally)
{
    PanelUnderTest panel;
    ToolbarCommands commands(panel.link, panel.timers, &panel.window, {});
    QString shown;
    QTimer::singleShot(50, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_TRUE(modal);
        shown = modal->objectName();
        modal->close();
    });
    commands.OnToolbarButton("RTC");
    EXPECT_EQ(shown, "Setup");
    EXPECT_TRUE(panel.timersOn());
}

TEST(ToolbarDispatch, SamplingAsksForThePcIntervalChosenInItsWindow)
{
    PanelUnderTest panel;
    panel.interval = 5;
    ToolbarCommands commands(panel.link, panel.timers, &panel.window, panel.allActions());
    panel.dialogs.answerInput(QStringLiteral("2.5"));
    answerNextModal("OptPC");
    commands.OnToolbarButton("Sampling");
    EXPECT_EQ(panel.log, QStringList({ "hide", "interval 2" }));
    EXPECT_TRUE(commands.samplingSettings().UsePcSampling);
    const auto inputs = panel.dialogs.callsOf(Kind::Input);
    ASSERT_EQ(inputs.size(), 1u);
    EXPECT_EQ(inputs[0].text, "Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) ");
    EXPECT_EQ(inputs[0].title, "Input Sampling Time");
    EXPECT_EQ(inputs[0].defaultText, "5");
    EXPECT_TRUE(panel.port.writes().empty());
}

TEST(SamplingChoiceWindow, ClosingWithoutOkSetsNothing)
{
    PanelUnderTest panel;
    SamplingSettings settings;
    settings.UsePcSampling = true;
    SamplingContext context { panel.link,       panel.timers,
                              &panel.window,    settings,
                              [] { return 1; }, [&](int t) { panel.log << QString::number(t); } };
    QTimer::singleShot(50, [] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_TRUE(modal);
        modal->findChild<QRadioButton *>("OptMeter")->click();
        modal->close();
    });
    ChooseSampling(context);
    EXPECT_TRUE(settings.UsePcSampling);
    EXPECT_TRUE(panel.dialogs.calls().empty());
    EXPECT_TRUE(panel.port.writes().empty());
    EXPECT_TRUE(panel.timersOn());
}

TEST(SamplingChoiceWindow, CaptionsAndTheOptionOfTheLastChoice)
{
    QWidget panel;
    panel.setGeometry(100, 80, 800, 600);
    panel.show();
    SamplingChoice choice(true, &panel);
    choice.show();
    EXPECT_EQ(choice.windowTitle(), "Sampling Rate");
    EXPECT_EQ(choice.findChild<QRadioButton *>("OptMeter")->text(), "Meter Sampling Rate");
    EXPECT_EQ(choice.findChild<QRadioButton *>("OptPC")->text(), "PC Sampling Rate");
    EXPECT_TRUE(choice.usePcSampling());
    const int offset = qRound(1000 * panel.logicalDpiX() / 1440.0);
    EXPECT_EQ(choice.frameGeometry().topLeft(),
              panel.frameGeometry().topLeft() + QPoint(offset, offset));
}

struct SamplingCase : PanelUnderTest
{
    SamplingCase(bool pc)
    {
        settings.UsePcSampling = pc;
        interval = 7;
    }
    SamplingContext context()
    {
        auto a = allActions();
        return { link, timers, &window, settings, a.sampleInterval, a.setSampleInterval };
    }
    SamplingSettings settings;
};

TEST(PcSampling, AnswersGiveTheIntervalOrNothing)
{
    const struct
    {
        const char *name;
        std::vector<std::optional<QString>> answers;
        QStringList log;
        int messages;
    } rows[] = {
        { "number", { QStringLiteral("30") }, { "interval 30" }, 0 },
        { "clamped", { QStringLiteral("100000") }, { "interval 86400" }, 0 },
        { "zero", { QStringLiteral("0") }, { "interval 1" }, 0 },
        { "cancel", { std::nullopt }, {}, 0 },
        { "empty", { QString() }, {}, 0 },
        { "word then number",
          { QStringLiteral("ten"), QStringLiteral("10") },
          { "interval 10" },
          1 },
        { "word then cancel", { QStringLiteral("ten"), std::nullopt }, {}, 1 },
    };
    for (const auto &row : rows) {
        SamplingCase c(true);
        for (const auto &answer : row.answers)
            c.dialogs.answerInput(answer);
        SamplingContext context = c.context();
        AskSamplingInterval(context);
        EXPECT_EQ(c.log, row.log) << row.name;
        EXPECT_EQ(c.dialogs.messageTexts(),
                  QStringList(row.messages, QStringLiteral("Please enter a number.")))
            << row.name;
        EXPECT_EQ(c.dialogs.pendingAnswers(), 0) << row.name;
        EXPECT_TRUE(c.timersOn()) << row.name;
        EXPECT_TRUE(c.port.writes().empty()) << row.name;
    }
}

TEST(PcSampling, ARefusedAnswerIsOfferedAgainForMending)
{
    SamplingCase c(true);
    c.dialogs.answerInput(QStringLiteral("1O"));
    c.dialogs.answerInput(QStringLiteral("10"));
    SamplingContext context = c.context();
    AskSamplingInterval(context);
    const auto inputs = c.dialogs.callsOf(Kind::Input);
    ASSERT_EQ(inputs.size(), 2u);
    EXPECT_EQ(inputs[0].defaultText, "7");
    EXPECT_EQ(inputs[1].defaultText, "1O");
}

TEST(MeterSampling, ReadsWithJAndSetsWithC)
{
    const struct
    {
        const char *name;
        std::optional<QString> answer;
        QByteArray written;
        int meterTime;
    } rows[] = {
        { "set", QStringLiteral("60"), QByteArray("J") + QByteArray::fromHex("43003c"), 60 },
        { "clamped", QStringLiteral("256"), QByteArray("J") + QByteArray::fromHex("4300ff"), 255 },
        { "half to even", QStringLiteral("2.5"), QByteArray("J") + QByteArray::fromHex("430002"),
          2 },
        { "cancel", std::nullopt, "J", 10 },
        { "empty", QString(), "J", 10 },
    };
    for (const auto &row : rows) {
        SamplingCase c(false);
        bool offAtEveryWrite = true;
        c.port.setResponder([&](const QByteArray &w) {
            offAtEveryWrite = offAtEveryWrite && c.timersOff();
            return w == "J" ? QByteArray::fromHex("000a") : QByteArray();
        });
        c.dialogs.answerInput(row.answer);
        SamplingContext context = c.context();
        AskSamplingInterval(context);
        EXPECT_EQ(c.port.written().toHex(' '), row.written.toHex(' ')) << row.name;
        EXPECT_EQ(c.settings.MeterSampleTime, row.meterTime) << row.name;
        EXPECT_TRUE(offAtEveryWrite) << row.name;
        EXPECT_TRUE(c.timersOn()) << row.name;
        EXPECT_TRUE(c.log.isEmpty()) << row.name;
        const auto inputs = c.dialogs.callsOf(Kind::Input);
        ASSERT_EQ(inputs.size(), 1u) << row.name;
        EXPECT_EQ(inputs[0].text, "Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 255 ) ");
        EXPECT_EQ(inputs[0].title, "Input Sampling Time");
        EXPECT_EQ(inputs[0].defaultText, "10");
    }
}

TEST(MeterSampling, SilentMeterIsReportedAndNothingIsSent)
{
    SamplingCase c(false);
    c.dialogs.answerInput(QStringLiteral("60")); // must stay unused
    SamplingContext context = c.context();
    AskSamplingInterval(context);
    EXPECT_EQ(c.port.written(), "JJJJJJ");
    EXPECT_EQ(c.dialogs.messageTexts(), QStringList { "The meter did not answer. Try again!" });
    EXPECT_TRUE(c.dialogs.callsOf(Kind::Input).empty());
    EXPECT_EQ(c.settings.MeterSampleTime, 0);
    EXPECT_TRUE(c.timersOn());
}

TEST(LeqButton, AsksAgainUntilTheAnswerHasAColonThenStarts)
{
    PanelUnderTest panel;
    ToolbarCommands commands(panel.link, panel.timers, &panel.window, {});
    panel.dialogs.answerInput(QStringLiteral("10"));
    panel.dialogs.answerInput(QStringLiteral("1:2:3"));
    commands.OnLeqButton();

    const auto inputs = panel.dialogs.callsOf(Kind::Input);
    ASSERT_EQ(inputs.size(), 2u);
    EXPECT_EQ(inputs[0].text, "Set up the willing time period to launch. \r\n (hh:nn:ss) ");
    EXPECT_EQ(inputs[0].title, "Set up the willing time period");
    EXPECT_EQ(inputs[0].defaultText, "00:00:10");
    EXPECT_EQ(inputs[1].defaultText, "10");
    const auto messages = panel.dialogs.callsOf(Kind::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Invalid, comply with the data format properly\r\n");
    EXPECT_EQ(messages[0].icon, MessageIcon::Critical);

    const TimedIntegration &integration = commands.timedIntegration();
    ASSERT_TRUE(integration.running());
    EXPECT_EQ(integration.period().text, "01:02:03");
    EXPECT_EQ(integration.period().seconds, 3723);
}

TEST(LeqButton, AnsweringAgainStopsAndAnEmptyAnswerChangesNothing)
{
    PanelUnderTest panel;
    ToolbarCommands commands(panel.link, panel.timers, &panel.window, {});
    TimedIntegration &integration = commands.timedIntegration();
    panel.dialogs.answerInput(QStringLiteral("0:0:5"));
    commands.OnLeqButton();
    ASSERT_TRUE(integration.running());
    panel.dialogs.answerInput(QString());
    commands.OnLeqButton();
    EXPECT_TRUE(integration.running());
    panel.dialogs.answerInput(std::nullopt);
    commands.OnLeqButton();
    EXPECT_TRUE(integration.running());
    panel.dialogs.answerInput(QStringLiteral("0:0:5"));
    commands.OnLeqButton();
    EXPECT_FALSE(integration.running());
    EXPECT_TRUE(panel.dialogs.messageTexts().isEmpty());
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

#include "RecordingTestSupport.h"
#include "recording/MeasurementState.h"
#include "recording/gui/LiveStatisticsView.h"
#include "recording/gui/RecordingController.h"
#include "recording/gui/SaveDataPanel.h"
#include "recording/gui/SaveListDialog.h"
#include "platform/Delay.h"
#include "widgets/Dialogs.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include <deque>

namespace {

// Answers save dialogs from a script and records every dialog shown.
class ScriptedSaves : public DialogProvider
{
public:
    ScriptedSaves() { setDialogProvider(this); }
    ~ScriptedSaves() override { setDialogProvider(nullptr); }

    MessageAnswer message(QWidget *, const QString &text, const QString &, MessageIcon icon,
                          MessageButtons) override
    {
        messages << text;
        lastIcon = icon;
        // A box open over another one would not be shown one at a time.
        overlapped = overlapped || open;
        open = true;
        if (whileOpen)
            std::exchange(whileOpen, {})(); // what happens while the user reads it
        open = false;
        return MessageAnswer::Ok;
    }
    std::optional<QString> input(QWidget *, const QString &, const QString &,
                                 const QString &) override
    {
        return std::nullopt;
    }
    QString openFileName(QWidget *, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &filter, bool askOverwrite) override
    {
        filters << filter;
        overwritePrompts << askOverwrite;
        if (answers.empty())
            return {};
        const QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool setUpPrinter(QWidget *, QPrinter &, bool) override { return false; }

    std::deque<QString> answers;
    QStringList filters;
    QList<bool> overwritePrompts;
    QStringList messages;
    MessageIcon lastIcon = MessageIcon::None;
    std::function<void()> whileOpen;
    bool open = false;
    bool overlapped = false;
};

TEST(SaveListDialog, AlwaysAsksBeforeOverwritingAndCancelForgetsTheOldPath)
{
    ScriptedSaves dialogs;
    dialogs.answers = { QStringLiteral("/data/a.vorn"), QString() };
    SaveState state;
    SaveListDialog(nullptr, state);
    EXPECT_TRUE(state.FileChosen);
    EXPECT_EQ(state.TargetPath, QStringLiteral("/data/a.vorn"));
    SaveListDialog(nullptr, state);
    EXPECT_FALSE(state.FileChosen);
    EXPECT_TRUE(state.TargetPath.isEmpty());
    EXPECT_EQ(dialogs.overwritePrompts, (QList<bool> { true, true }));
    EXPECT_EQ(dialogs.filters.value(0),
              QStringLiteral("Data Files (*.vorn)|*.vorn|All Files (*.*)|*.*|"));
}

class RecordingControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_oldFolder = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        m_window.setWindowTitle(QStringLiteral("Panel   V8.02"));
        m_view = new LiveStatisticsView(&m_window);
        m_panel = new SaveDataPanel(&m_window);
        m_controller
            = std::make_unique<RecordingController>(m_state, &m_window, m_view, m_panel, [] {
                  return HeaderBoards { QStringLiteral("A"), QStringLiteral("SLOW"),
                                        QStringLiteral("80-140") };
              });
        QObject::connect(m_controller.get(), &RecordingController::recordingChanged,
                         [this](bool on) { m_recordingSignals << on; });
        saveState() = {};
    }
    void TearDown() override { QDir::setCurrent(m_oldFolder); }

    void tick(double level)
    {
        m_controller->OnSampleTick(level, QString::number(level, 'f', 1), sampleClock(m_seconds++));
    }

    template<typename T> T *child(const char *name) const
    {
        return m_window.findChild<T *>(QString::fromLatin1(name));
    }

    void startRecordingTo(const QString &path)
    {
        m_dialogs.answers.push_back(path);
        m_controller->onRecordButton();
        ASSERT_TRUE(m_panel->isVisibleTo(&m_window));
        child<QPushButton>("CmdSaveOK")->click();
    }

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    ScriptedSaves m_dialogs;
    QTemporaryDir m_dir;
    QString m_oldFolder;
    QWidget m_window;
    MeasurementState m_state;
    LiveStatisticsView *m_view = nullptr;
    SaveDataPanel *m_panel = nullptr;
    std::unique_ptr<RecordingController> m_controller;
    QList<bool> m_recordingSignals;
    int m_seconds = 0;
};

TEST_F(RecordingControllerTest, RecordButtonRecordsAndStopsIntoTheChosenFile)
{
    startRecordingTo(path("run.vorn"));
    EXPECT_FALSE(m_panel->isVisibleTo(&m_window));
    ASSERT_TRUE(m_controller->recording());
    EXPECT_EQ(m_view->lblFileName()->text(), QStringLiteral("run.vorn"));
    EXPECT_TRUE(m_view->lblRec()->isVisibleTo(&m_window));
    tick(85.3);
    tick(85.3);
    EXPECT_EQ(m_view->lblCount()->text(), QStringLiteral("1"));
    EXPECT_EQ(m_view->boardLeq()->text(), QStringLiteral("85.3"));
    EXPECT_EQ(m_view->boardMaxdB()->text(), QStringLiteral("85.3"));
    EXPECT_EQ(m_view->boardMaxTime()->text(), QStringLiteral("2013/03/04 08:00:00"));

    m_controller->onRecordButton();
    EXPECT_FALSE(m_controller->recording());
    EXPECT_FALSE(m_view->lblRec()->isVisibleTo(&m_window));
    EXPECT_TRUE(m_view->lblCount()->text().isEmpty());
    EXPECT_FALSE(saveState().FileChosen);
    EXPECT_EQ(m_recordingSignals, (QList<bool> { true, false }));
    EXPECT_EQ(fileBytes(path("run.vorn")).count("\r\n"), 11);
    EXPECT_TRUE(m_dialogs.messages.isEmpty());
}

TEST_F(RecordingControllerTest, CancelledDialogStartsNothing)
{
    startRecordingTo(QString());
    EXPECT_FALSE(m_controller->recording());
    EXPECT_TRUE(m_recordingSignals.isEmpty());
    EXPECT_FALSE(QFile::exists(path("Fake")));
}

// The ways an option button can be chosen; a screen reader's toggle action
// and setChecked send no click.
enum class Choice { Click, SetChecked, AccessibleToggle };

void choose(QRadioButton *option, Choice how)
{
    switch (how) {
    case Choice::Click:
        option->click();
        break;
    case Choice::SetChecked:
        option->setChecked(true);
        break;
    case Choice::AccessibleToggle: {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(option);
        ASSERT_NE(accessible, nullptr);
        ASSERT_NE(accessible->actionInterface(), nullptr);
        accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        break;
    }
    }
    ASSERT_TRUE(option->isChecked());
}

TEST_F(RecordingControllerTest, SaveListOptionWritesTheListAndRestoresTheCaption)
{
    tick(70.0);
    tick(71.0);
    tick(72.0);
    for (const Choice how : { Choice::Click, Choice::SetChecked, Choice::AccessibleToggle }) {
        SCOPED_TRACE(int(how));
        QFile::remove(path("list.vorn"));
        m_dialogs.answers.push_back(path("list.vorn"));
        m_controller->onRecordButton();
        choose(child<QRadioButton>("OptSaveList"), how);
        child<QPushButton>("CmdSaveOK")->click();
        EXPECT_FALSE(m_controller->recording());
        const QByteArray bytes = fileBytes(path("list.vorn"));
        EXPECT_TRUE(bytes.startsWith("Real Time\r\n 1 \r\nA\r\nSLOW\r\n80-140\r\n 72 \r\n"));
        EXPECT_TRUE(bytes.endsWith("2\t2013/03/04 08:00:02\t72.0\t\r\n"));
        EXPECT_EQ(m_window.windowTitle(), QStringLiteral("Panel   V8.02"));
        EXPECT_FALSE(saveState().FileChosen);
    }
    EXPECT_TRUE(m_recordingSignals.isEmpty());
}

TEST_F(RecordingControllerTest, FullListDumpShowsTheBusyPointerWhileItWrites)
{
    m_state.List.reserve(int(MeasurementState::ListLimit));
    for (int i = 1; i <= MeasurementState::ListLimit; ++i)
        m_state.List.append(QString::number(i), QStringLiteral("2013/03/04 08:00:00"),
                            QStringLiteral("60.0"));
    m_state.ListCount = MeasurementState::ListLimit;
    m_state.TickCount = 1;
    // The caption shows the dump's progress: the pointer then must be busy.
    QList<int> pointers;
    QObject::connect(&m_window, &QWidget::windowTitleChanged, [&pointers] {
        const QCursor *cursor = QApplication::overrideCursor();
        pointers << (cursor ? int(cursor->shape()) : -1);
    });
    const SampleTickResult result
        = m_controller->OnSampleTick(61.0, QStringLiteral("61.0"), sampleClock(1));
    ASSERT_TRUE(result.ListDumped);
    ASSERT_GE(pointers.size(), 2); // progress, then the caption restored
    EXPECT_EQ(pointers.first(), int(Qt::WaitCursor));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(RecordingControllerTest, LostLinkFinishesTheRecordingIntoItsFile)
{
    startRecordingTo(path("lost.vorn"));
    tick(60.0);
    tick(61.0);
    tick(62.0);
    m_controller->linkLost();
    EXPECT_FALSE(m_controller->recording());
    EXPECT_TRUE(fileBytes(path("lost.vorn")).endsWith("2\t2013/03/04 08:00:02\t62.0\t\r\n"));
    EXPECT_EQ(m_state.List.count(), 0);
    EXPECT_EQ(m_recordingSignals.last(), false);
}

TEST_F(RecordingControllerTest, ClosingWhileRecordingFinishesTheFileFirst)
{
    startRecordingTo(path("close.vorn"));
    tick(60.0);
    tick(61.0);
    m_controller->finishBeforeClose();
    EXPECT_FALSE(m_controller->recording());
    EXPECT_EQ(fileBytes(path("close.vorn")).count("\r\n"), 11);
}

TEST_F(RecordingControllerTest, StopThatCannotWriteSaysWhichFileAndWhereTheSamplesAre)
{
    const UnwritableFolder locked(m_dir.path());
    startRecordingTo(locked.filePath("run.vorn"));
    tick(60.0);
    tick(61.0);
    m_controller->StopRecording();
    ASSERT_EQ(m_dialogs.messages.size(), 1);
    EXPECT_EQ(m_dialogs.lastIcon, MessageIcon::Critical);
    EXPECT_TRUE(
        m_dialogs.messages[0].contains(QDir::toNativeSeparators(locked.filePath("run.vorn"))));
    EXPECT_TRUE(m_dialogs.messages[0].contains(QDir::toNativeSeparators(path("Fake"))));
    EXPECT_FALSE(m_controller->recording());
}

TEST_F(RecordingControllerTest, MessagesFromATickComeAfterItOneAtATimeWhileSamplingGoesOn)
{
    const auto recordThatFails = [this](const char *name) {
        startRecordingTo(path(name));
        tick(70.0);
        tick(70.0);
        m_state.TempFile.close(); // the file is gone from under the recording
        tick(71.0);
    };
    recordThatFails("a.vorn");
    EXPECT_TRUE(m_dialogs.messages.isEmpty()); // not from inside the tick
    qint64 rowsWhileOpen = 0;
    m_dialogs.whileOpen = [&] {
        const qint64 before = m_state.List.count();
        recordThatFails("b.vorn"); // sampling goes on, and fails again
        Delay(0.05);
        rowsWhileOpen = m_state.List.count() - before;
    };
    Delay(0.05);
    Delay(0.05); // the second waited for the first to close
    ASSERT_EQ(m_dialogs.messages.size(), 2);
    EXPECT_TRUE(m_dialogs.messages[0].contains(QStringLiteral("The recording has been stopped.")));
    EXPECT_TRUE(m_dialogs.messages[1].contains(QStringLiteral("The recording has been stopped.")));
    EXPECT_FALSE(m_dialogs.overlapped);
    EXPECT_EQ(rowsWhileOpen, 3);
}

TEST(LiveStatisticsView, NamedControlsAndStripChartChoice)
{
    LiveStatisticsView view;
    for (const char *name : { "BoardLeq", "BoardSEL", "BoardMaxdB", "BoardMaxTime", "LblCount",
                              "LblRec", "LblFileName" }) {
        auto *label = view.findChild<QLabel *>(QString::fromLatin1(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_FALSE(label->accessibleName().isEmpty()) << name;
    }
    EXPECT_EQ(view.boardLeq()->accessibleName(), QStringLiteral("Leq"));
    EXPECT_EQ(view.lblRec()->text(), QStringLiteral("Rec"));
    QList<int> chosen;
    QObject::connect(&view, &LiveStatisticsView::stripChartChosen, [&](int c) { chosen << c; });
    auto option = [&view](int i) {
        return view.findChild<QRadioButton *>(QStringLiteral("SSOpt%1").arg(i));
    };
    choose(option(2), Choice::Click);
    choose(option(1), Choice::AccessibleToggle);
    choose(option(0), Choice::SetChecked);
    choose(option(2), Choice::AccessibleToggle);
    EXPECT_EQ(chosen, (QList<int> { 2, 1, 0, 2 }));
    EXPECT_EQ(view.stripChart(), 2);
    EXPECT_EQ(view.findChild<QGroupBox *>(QStringLiteral("SSMax"))->title(),
              QStringLiteral("Max dB"));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

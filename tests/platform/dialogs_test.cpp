#include "support/ScriptedDialogs.h"
#include "widgets/Dialogs.h"
#include "widgets/RememberedFolders.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

struct FilterRow
{
    const char *name;
    const char *pipe;
    const char *qt;
};

class PipeFilterTest : public ::testing::TestWithParam<FilterRow>
{
};

TEST_P(PipeFilterTest, BecomesQtsFilter)
{
    EXPECT_EQ(qtFilterFromPipeFilter(QString::fromUtf8(GetParam().pipe)),
              QString::fromUtf8(GetParam().qt));
}

INSTANTIATE_TEST_SUITE_P(
    Filters, PipeFilterTest,
    ::testing::Values(
        FilterRow { "dataFiles", "Data Files (*.vorn)|*.vorn|All Files (*.*)|*.*|",
                    "Data Files (*.vorn);;All Files (*)" },
        FilterRow { "noTrailingBar", "Data Files (*.vorn)|*.vorn", "Data Files (*.vorn)" },
        FilterRow { "severalPatterns", "Lists (*.vorn;*.txt)|*.vorn;*.txt|",
                    "Lists (*.vorn *.txt)" },
        FilterRow { "descriptionWithoutPatterns", "Pictures|*.png", "Pictures (*.png)" },
        FilterRow { "descriptionDisagreesWithPattern", "Text (*.doc)|*.txt", "Text (*.txt)" },
        FilterRow { "missingPattern", "Anything|", "Anything (*)" }, FilterRow { "empty", "", "" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ScriptedDialogs, InstallsItselfAndPutsThePreviousProviderBack)
{
    DialogProvider *qt = &dialogs();
    {
        ScriptedDialogs outer;
        EXPECT_EQ(&dialogs(), &outer);
        {
            ScriptedDialogs inner;
            EXPECT_EQ(&dialogs(), &inner);
        }
        EXPECT_EQ(&dialogs(), &outer);
    }
    EXPECT_EQ(&dialogs(), qt);
}

TEST(ScriptedDialogs, MessagesTakeTheirAnswersInOrderAndAreRecordedExactly)
{
    ScriptedDialogs scripted;
    scripted.answerMessage(MessageAnswer::Yes);
    scripted.answerMessage(MessageAnswer::Cancel);
    EXPECT_EQ(dialogs().message(nullptr, "Save changes?", "", MessageIcon::Question,
                                MessageButtons::YesNo),
              MessageAnswer::Yes);
    EXPECT_EQ(dialogs().message(nullptr, "Go on?", "Memory", MessageIcon::Warning,
                                MessageButtons::OkCancel),
              MessageAnswer::Cancel);
    ASSERT_EQ(scripted.calls().size(), 2u);
    const ScriptedDialogs::Call &second = scripted.calls().at(1);
    EXPECT_EQ(second.kind, ScriptedDialogs::Kind::Message);
    EXPECT_EQ(second.text, "Go on?");
    EXPECT_EQ(second.title, "Memory");
    EXPECT_EQ(second.icon, MessageIcon::Warning);
    EXPECT_EQ(second.buttons, MessageButtons::OkCancel);
    EXPECT_TRUE(second.answered);
    EXPECT_EQ(scripted.messageTexts(), (QStringList { "Save changes?", "Go on?" }));
    EXPECT_EQ(scripted.pendingAnswers(), 0);
}

TEST(ScriptedDialogs, UnansweredCallsGetTheSafeAnswerAndAreStillRecorded)
{
    ScriptedDialogs scripted;
    EXPECT_EQ(dialogs().message(nullptr, "a", "", MessageIcon::Critical, MessageButtons::Ok),
              MessageAnswer::Ok);
    EXPECT_EQ(dialogs().message(nullptr, "b", "", MessageIcon::None, MessageButtons::OkCancel),
              MessageAnswer::Cancel);
    EXPECT_EQ(dialogs().message(nullptr, "c", "", MessageIcon::None, MessageButtons::YesNo),
              MessageAnswer::No);
    EXPECT_EQ(dialogs().input(nullptr, "Prompt", "", "1"), std::nullopt);
    EXPECT_EQ(dialogs().openFileName(nullptr, "X|*.x|"), QString());
    EXPECT_EQ(dialogs().saveFileName(nullptr, "X|*.x|", true), QString());
    QPrinter printer;
    EXPECT_FALSE(dialogs().setUpPrinter(nullptr, printer, true));
    ASSERT_EQ(scripted.calls().size(), 7u);
    for (const auto &call : scripted.calls())
        EXPECT_FALSE(call.answered);
}

TEST(ScriptedDialogs, InputRecordsPromptAndDefaultAndTellsEmptyFromCancel)
{
    ScriptedDialogs scripted;
    scripted.answerInput(QString());
    scripted.answerInput(std::nullopt);
    scripted.answerInput(QStringLiteral("3"));
    const QString prompt = QStringLiteral("Input record(s) to print in one row (1-5)");
    const std::optional<QString> empty = dialogs().input(nullptr, prompt, "", "1");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_EQ(dialogs().input(nullptr, prompt, "", "1"), std::nullopt);
    EXPECT_EQ(dialogs().input(nullptr, prompt, "Print", "1"), QStringLiteral("3"));
    const auto inputs = scripted.callsOf(ScriptedDialogs::Kind::Input);
    ASSERT_EQ(inputs.size(), 3u);
    EXPECT_EQ(inputs[2].text, prompt);
    EXPECT_EQ(inputs[2].title, "Print");
    EXPECT_EQ(inputs[2].defaultText, "1");
}

TEST(ScriptedDialogs, FileDialogsRecordFilterAndOverwriteQuestion)
{
    ScriptedDialogs scripted;
    const QString filter = QStringLiteral("Data Files (*.vorn)|*.vorn|All Files (*.*)|*.*|");
    scripted.answerOpen("/data/a.vorn");
    scripted.answerSave("/data/b");
    EXPECT_EQ(dialogs().openFileName(nullptr, filter), "/data/a.vorn");
    EXPECT_EQ(dialogs().saveFileName(nullptr, filter, false), "/data/b");
    EXPECT_EQ(dialogs().saveFileName(nullptr, filter, true), QString());
    const auto saves = scripted.callsOf(ScriptedDialogs::Kind::SaveFile);
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_EQ(saves[0].filter, filter);
    EXPECT_FALSE(saves[0].askOverwrite);
    EXPECT_TRUE(saves[1].askOverwrite);
    EXPECT_FALSE(saves[1].answered);
    EXPECT_EQ(scripted.callsOf(ScriptedDialogs::Kind::OpenFile).at(0).filter, filter);
}

TEST(ScriptedDialogs, PrinterSetUpWritesAPdfWithTheScriptedCopiesAndOrientation)
{
    ScriptedDialogs scripted;
    scripted.answerPrinter({ true, "/tmp/out-1.pdf", 3, QPageLayout::Landscape });
    scripted.answerPrinter({ true, "/tmp/out-2.pdf", 4, QPageLayout::Portrait });
    scripted.answerPrinter({ false, "/tmp/out-3.pdf", 1, QPageLayout::Portrait });
    QPrinter first;
    ASSERT_TRUE(dialogs().setUpPrinter(nullptr, first, true));
    EXPECT_EQ(first.outputFormat(), QPrinter::PdfFormat);
    EXPECT_EQ(first.outputFileName(), "/tmp/out-1.pdf");
    EXPECT_EQ(first.copyCount(), 3);
    EXPECT_EQ(first.pageLayout().orientation(), QPageLayout::Landscape);

    QPrinter second;
    ASSERT_TRUE(dialogs().setUpPrinter(nullptr, second, false));
    EXPECT_EQ(second.copyCount(), 1) << "no copies choice offered";

    QPrinter third;
    EXPECT_FALSE(dialogs().setUpPrinter(nullptr, third, true));
    EXPECT_TRUE(scripted.callsOf(ScriptedDialogs::Kind::Printer).at(0).allowCopies);
    EXPECT_FALSE(scripted.callsOf(ScriptedDialogs::Kind::Printer).at(1).allowCopies);
}

// Drives the real Qt dialogs: the handler runs on the first modal dialog
// that shows up and closes it.
template<typename Dialog> void whenShown(std::function<void(Dialog *)> handle)
{
    auto *poll = new QTimer;
    auto *clock = new QElapsedTimer;
    clock->start();
    QObject::connect(poll, &QTimer::timeout, [poll, clock, handle] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        const bool givingUp = !dialog && clock->elapsed() > 5000;
        if (!dialog && !givingUp)
            return;
        poll->stop();
        poll->deleteLater();
        delete clock;
        if (dialog) {
            handle(dialog);
            return;
        }
        // Never block the suite on a dialog that is not the expected one.
        ADD_FAILURE() << "the expected dialog did not show";
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *other = qobject_cast<QDialog *>(widget))
                other->reject();
        }
    });
    poll->start(5);
}

TEST(QtDialogs, MessageBoxShowsTextTitleIconAndTheAskedButtons)
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    whenShown<QMessageBox>([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(dialogs().message(nullptr, "No device found, try again!", "", MessageIcon::Critical,
                                MessageButtons::YesNo),
              MessageAnswer::No);
    EXPECT_EQ(title, "VORN");
    EXPECT_EQ(text, "No device found, try again!");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);

    whenShown<QMessageBox>([&](QMessageBox *box) { box->reject(); });
    EXPECT_EQ(dialogs().message(nullptr, "x", "T", MessageIcon::None, MessageButtons::OkCancel),
              MessageAnswer::Cancel);
}

TEST(QtDialogs, CarriageReturnsInAMessageBreakItsLinesOnScreen)
{
    QString text;
    whenShown<QMessageBox>([&](QMessageBox *box) {
        text = box->text();
        box->accept();
    });
    dialogs().message(nullptr, "Recording Mode!\n\rPlease stop recording!\rNote\r\nEnd", "",
                      MessageIcon::Critical, MessageButtons::Ok);
    EXPECT_EQ(text, "Recording Mode!\n\nPlease stop recording!\nNote\nEnd");
}

TEST(QtDialogs, InputBoxReturnsTheTextOrNothingWhenCancelled)
{
    QString shownDefault;
    whenShown<QInputDialog>([&](QInputDialog *dialog) {
        shownDefault = dialog->textValue();
        dialog->setTextValue("4");
        dialog->accept();
    });
    EXPECT_EQ(dialogs().input(nullptr, "Rows?", "", "1"), QStringLiteral("4"));
    EXPECT_EQ(shownDefault, "1");

    whenShown<QInputDialog>([](QInputDialog *dialog) { dialog->reject(); });
    EXPECT_EQ(dialogs().input(nullptr, "Rows?", "", "1"), std::nullopt);
}

TEST(QtDialogs, SaveDialogGetsTheConvertedFilterAndTheOverwriteChoice)
{
    for (bool askOverwrite : { true, false }) {
        QStringList filters;
        bool confirms = false;
        whenShown<QFileDialog>([&](QFileDialog *dialog) {
            filters = dialog->nameFilters();
            confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            dialog->reject();
        });
        EXPECT_EQ(dialogs().saveFileName(nullptr, "Data Files (*.vorn)|*.vorn|All Files (*.*)|*.*|",
                                         askOverwrite),
                  QString());
        EXPECT_EQ(filters, (QStringList { "Data Files (*.vorn)", "All Files (*)" }));
        EXPECT_EQ(confirms, askOverwrite);
    }
}

TEST(QtDialogs, NoDeviceBoxGivesTheReasonAndTheSecondWayOn)
{
    for (const bool choose : { true, false }) {
        QString text;
        QString reason;
        whenShown<QMessageBox>([&](QMessageBox *box) {
            text = box->text();
            reason = box->informativeText();
            for (QAbstractButton *button : box->buttons()) {
                if ((button->text() == "Open Data Files") == choose)
                    button->click();
            }
        });
        EXPECT_EQ(dialogs().messageWithChoice(nullptr, "No device found, try again!",
                                              "COM3 (/dev/ttyUSB2): Permission denied",
                                              "Open Data Files", MessageIcon::Critical),
                  choose ? MessageAnswer::Yes : MessageAnswer::Ok);
        EXPECT_EQ(text, "No device found, try again!");
        EXPECT_EQ(reason, "COM3 (/dev/ttyUSB2): Permission denied");
    }
}

// Each kind of file dialog starts where that kind was chosen last, also in
// the next run; a cancelled dialog forgets nothing.
TEST(QtDialogs, FileDialogsStartInTheFolderLastUsedForTheirKind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("saved"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("opened"));
    const QString filter = "Data Files (*.vorn)|*.vorn|";
    const auto saveAnswering = [&](const QString &answer) {
        QString shownFolder;
        whenShown<QFileDialog>([&](QFileDialog *dialog) {
            shownFolder = dialog->directory().absolutePath();
            if (answer.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->selectFile(answer);
            QMetaObject::invokeMethod(dialog, "accept"); // protected, but a slot
        });
        dialogs().saveFileName(nullptr, filter, false);
        return shownFolder;
    };
    const auto write = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly)
            && file.write("1\t2013/03/04 08:00:00\t60.0\t\r\n") > 0;
    };
    saveAnswering(dir.filePath("saved/a.vorn"));
    ASSERT_TRUE(write(dir.filePath("saved/a.vorn")));
    // A save that failed leaves no folder behind; nor does one of special
    // files, which read as empty.
    ASSERT_TRUE(QDir(dir.path()).mkpath("failed"));
    EXPECT_EQ(saveAnswering(dir.filePath("failed/x.vorn")), dir.filePath("saved"));
    RememberedFolders::remember(RememberedFolders::Kind::DataOpened, "/proc/self/status");
    EXPECT_EQ(RememberedFolders::folder(RememberedFolders::Kind::DataOpened), QString());
    EXPECT_EQ(saveAnswering(QString()), dir.filePath("saved"));
    EXPECT_EQ(saveAnswering(QString()), dir.filePath("saved")); // a cancel keeps it
    EXPECT_EQ(RememberedFolders::folder(RememberedFolders::Kind::DataSaved), dir.filePath("saved"));
    EXPECT_EQ(QSettings("VORN", "VORN").value("Folders/DataSaved").toString(),
              dir.filePath("saved/a.vorn")); // kept for the next run

    // The kinds are apart, and a folder that went away is no place to start.
    ASSERT_TRUE(write(dir.filePath("opened/b.vorn")));
    RememberedFolders::remember(RememberedFolders::Kind::DataOpened, dir.filePath("opened/b.vorn"));
    EXPECT_EQ(RememberedFolders::folder(RememberedFolders::Kind::DataOpened),
              dir.filePath("opened"));
    EXPECT_EQ(RememberedFolders::folder(RememberedFolders::Kind::DataSaved), dir.filePath("saved"));
    EXPECT_EQ(RememberedFolders::folder(RememberedFolders::Kind::Reports), QString());
    ASSERT_TRUE(QDir(dir.filePath("opened")).removeRecursively());
    EXPECT_EQ(RememberedFolders::folder(RememberedFolders::Kind::DataOpened), QString());
}

} // namespace

int main(int argc, char **argv)
{
    // Test discovery runs this without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The remembered folders go to a settings file of this run only.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

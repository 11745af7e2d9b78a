// The meter misbehaves while the user works: it falls silent during a
// recording, sends noise into a logger download, is unplugged between polls.
// The program says what happened, keeps what it had and goes on.

#include "AppDriver.h"

#include "panel/gui/Panel.h"
#include "panel/gui/PanelToolbar.h"
#include "panel/gui/ProgramRun.h"
#include "panel/gui/SevenSegmentDisplay.h"
#include "recording/gui/Memory.h"
#include "support/ScriptedDialogs.h"
#include "widgets/ReadingGrid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

QString lcd(Panel *panel)
{
    const auto *display = panel->findChild<SevenSegmentDisplay *>(QStringLiteral("ShownLCD"));
    return display ? display->text() : QString();
}

QString lblValue(Panel *panel)
{
    const auto *label = panel->findChild<QLabel *>(QStringLiteral("LblValue"));
    return label ? label->text() : QStringLiteral("(no LblValue)");
}

QString lblCom(Panel *panel)
{
    const auto *label = panel->findChild<QLabel *>(QStringLiteral("LblCOM"));
    return label ? label->text() : QString();
}

bool usable(Panel *panel, const QString &key)
{
    QToolButton *b = panel->toolbar()->button(key);
    return b && b->isEnabled();
}

// The program is back: the link shows its port and the figure follows a new level.
void expectMirroringAgain(Panel *panel, MeterEmulator &meter, const QString &level)
{
    meter.control(QStringLiteral("level ") + level);
    EXPECT_TRUE(WaitUntil([&] { return lcd(panel) == level; }, 10000))
        << "figure: " << lcd(panel).toStdString();
    EXPECT_EQ(lblCom(panel), QStringLiteral("COM1"));
}

QStringList dataLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

class Faults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (MeterEmulator::program().isEmpty())
            GTEST_SKIP() << "no meter emulator built";
        ASSERT_TRUE(m_work.isValid());
        m_keptFolder = QDir::currentPath();
        QDir::setCurrent(m_work.path());
    }
    void TearDown() override
    {
        if (!m_keptFolder.isEmpty())
            QDir::setCurrent(m_keptFolder);
    }

    bool startMeter(const QStringList &arguments)
    {
        QString why;
        const bool started = m_meter.start(arguments, &why);
        EXPECT_TRUE(started) << why.toStdString();
        return started;
    }

    // Runs the program with the steps after the port choice; checks that it
    // ends when its panel closes.
    void runProgram(const std::function<void(Panel *)> &steps)
    {
        ProgramRun run;
        const int result = RunProgram(
            run,
            [&] {
                if (!ChoosePort(run, QStringLiteral("COM1"))) {
                    ADD_FAILURE() << "the panel did not mirror the meter";
                    return;
                }
                steps(run.panel());
            },
            120000);
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(m_meter.stop());
    }

    QTemporaryDir m_work;
    QString m_keptFolder;
    MeterEmulator m_meter;
    ScriptedDialogs m_dialogs;
    WalkGaps m_gaps;
};

TEST_F(Faults, SilentMeterDuringARecordingKeepsEverySampleAndGoesOn)
{
    ASSERT_TRUE(startMeter({ QStringLiteral("--level"), QStringLiteral("64.2") }));
    const QString path = m_work.filePath(QStringLiteral("silent.vorn"));
    runProgram([&](Panel *panel) {
        QWidget *picSave = panel->findChild<QWidget *>(QStringLiteral("PicSave"));
        const bool canRecord = usable(panel, QStringLiteral("Save")) && picSave;
        if (canRecord) {
            panel->toolbar()->button(QStringLiteral("Save"))->click();
            WaitUntil([&] { return picSave->isVisible(); }, 2000);
            if (auto *sampling
                = picSave->findChild<QAbstractButton *>(QStringLiteral("OptSampling")))
                sampling->click();
            m_dialogs.answerSave(path);
            if (auto *ok = picSave->findChild<QAbstractButton *>(QStringLiteral("CmdSaveOK")))
                ok->click();
            EXPECT_TRUE(WaitUntil([&] { return panel->toolbar()->isRecording(); }, 3000));
            RunEventsFor(6000);
        } else {
            m_gaps.note(QStringLiteral("recording from the panel is not wired: only the lost "
                                       "link and its recovery are checked"));
        }
        // What the user sees at the moment the link is declared lost.
        QString figureWhenLost;
        QString valueWhenLost;
        bool recordingWhenLost = true;
        QStringList fileWhenLost;
        auto *levelGrid = panel->findChild<ReadingGrid *>(QStringLiteral("GridN2"));
        ASSERT_NE(levelGrid, nullptr);
        WaitUntil([&] { return levelGrid->rowCount() > 0; }, 3000);
        const int rowsBeforeLoss = levelGrid->rowCount();
        int rowsWhenLost = -1;
        const Watch lost([&] { return lblCom(panel) == QStringLiteral("No COM"); },
                         [&] {
                             rowsWhenLost = levelGrid->rowCount();
                             figureWhenLost = lcd(panel);
                             valueWhenLost = lblValue(panel);
                             recordingWhenLost = panel->toolbar()->isRecording();
                             fileWhenLost = dataLines(path);
                         });
        m_meter.control(QStringLiteral("silent 6"));
        EXPECT_TRUE(WaitUntil([&] { return lost.seen(); }, 8000));
        // The figure keeps its last reading; the level text a sample is
        // taken from is empty, so no sample repeats a reading that no longer comes.
        EXPECT_EQ(figureWhenLost, QStringLiteral("64.2"));
        EXPECT_EQ(valueWhenLost, QString());
        EXPECT_GT(rowsBeforeLoss, 0);
        EXPECT_EQ(rowsWhenLost, 0) << "the list keeps rows of a lost link";
        if (canRecord) {
            // The recording ended into its file with every sample taken.
            EXPECT_FALSE(recordingWhenLost);
            const QStringList lines = dataLines(path);
            EXPECT_EQ(lines, fileWhenLost) << "the file changed after the stop";
            ASSERT_GE(lines.size(), 10) << "no complete file at " << path.toStdString();
            EXPECT_EQ(lines.at(0), QStringLiteral("Real Time"));
            const int records = int(lines.size()) - 10;
            EXPECT_GE(records, 5) << "six seconds recorded";
            EXPECT_LE(records, 9);
            for (int i = 10; i < lines.size(); ++i) {
                const QStringList fields = lines.at(i).split(QLatin1Char('\t'));
                EXPECT_EQ(fields.value(0), QString::number(i - 9));
                EXPECT_EQ(fields.value(2), QStringLiteral("64.2"));
            }
        }
        expectMirroringAgain(panel, m_meter, QStringLiteral("65.1"));
        SaveScreenshot(panel, QStringLiteral("fault-silent-back"));
    });
}

// Noise in the middle of a logger transfer. The memory holds two sets of
// 3000 records; what is listed must be either those or a message saying the
// transfer was damaged.
class GarbageInDownload : public Faults
{
protected:
    struct Outcome
    {
        QStringList messages;
        QList<int> listedRecords;
    };

    Outcome downloadWithNoise()
    {
        // Two sets of 3000 records: 12,116 bytes, over three seconds at line pace.
        Outcome outcome;
        if (!startMeter({ QStringLiteral("--set"), QStringLiteral("records=3000,level=60"),
                          QStringLiteral("--set"), QStringLiteral("records=3000,level=70") }))
            return outcome;
        runProgram([&](Panel *panel) {
            // The noise arrives a second into the transfer.
            QTimer::singleShot(1000, [&] { m_meter.control(QStringLiteral("garbage 300")); });
            EXPECT_TRUE(usable(panel, QStringLiteral("Memory")));
            panel->toolbar()->button(QStringLiteral("Memory"))->click();
            if (Memory *memory = Memory::openWindow()) {
                SaveScreenshot(memory, QStringLiteral("fault-garbage-memory"));
                for (int r = 0; r < memory->gridSet()->rowCount(); ++r) {
                    const QTableWidgetItem *count = memory->gridSet()->item(r, 2);
                    outcome.listedRecords << (count ? count->text().toInt() : -1);
                }
                memory->close();
            }
            outcome.messages = m_dialogs.messageTexts();
            // The program goes on mirroring the meter.
            expectMirroringAgain(panel, m_meter, QStringLiteral("58.8"));
        });
        return outcome;
    }
};

TEST_F(GarbageInDownload, TheProgramGoesOn)
{
    const Outcome outcome = downloadWithNoise();
    EXPECT_LE(outcome.listedRecords.size(), 2);
}

// Noise on the line counts towards the announced length and pushes as many
// real bytes past its end: the sets cannot be trusted, and the user is told.
TEST_F(GarbageInDownload, DamagedTransferIsReportedNotListedAsGood)
{
    const Outcome outcome = downloadWithNoise();
    const bool listedRight = outcome.listedRecords == QList<int>({ 3000, 3000 });
    EXPECT_TRUE(listedRight || !outcome.messages.isEmpty())
        << "listed " << outcome.listedRecords.size() << " sets without a message";
}

TEST_F(Faults, UnpluggedMeterIsFoundAgain)
{
    ASSERT_TRUE(startMeter({ QStringLiteral("--level"), QStringLiteral("61.0") }));
    runProgram([&](Panel *panel) {
        QString valueWhenLost;
        QPixmap panelWhenLost;
        const Watch lost([&] { return lblCom(panel) == QStringLiteral("No COM"); },
                         [&] {
                             valueWhenLost = lblValue(panel);
                             panelWhenLost = panel->grab();
                         });
        m_meter.control(QStringLiteral("unplug 2"));
        EXPECT_TRUE(WaitUntil([&] { return lost.seen(); }, 8000));
        EXPECT_EQ(valueWhenLost, QString());
        panelWhenLost.save(
            QDir(ScreenshotFolder()).filePath(QStringLiteral("fault-unplugged.png")));
        expectMirroringAgain(panel, m_meter, QStringLiteral("62.3"));
        EXPECT_TRUE(m_dialogs.messageTexts().isEmpty())
            << m_dialogs.messageTexts().join('|').toStdString();
    });
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

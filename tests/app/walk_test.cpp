// A new user's first session with the program, start to end, against the
// meter emulator through the real serial port: every step checks what the
// user would see and what the meter received.

#include "AppDriver.h"

#include "analysis/gui/AnalysisHost.h"
#include "analysis/gui/DataList.h"
#include "analysis/gui/DataListHost.h"
#include "analysis/gui/OpenDataFile.h"
#include "analysis/gui/StatisticsWindow.h"
#include "graphs/gui/Histogram.h"
#include "graphs/gui/Plot.h"
#include "link/gui/Port.h"
#include "link/gui/Setup.h"
#include "panel/gui/Panel.h"
#include "panel/gui/PanelToolbar.h"
#include "panel/gui/ProgramRun.h"
#include "panel/gui/SevenSegmentDisplay.h"
#include "recording/AtomicFile.h"
#include "recording/DataFileWriter.h"
#include "recording/gui/LoggerCommands.h"
#include "recording/gui/Memory.h"
#include "support/ScriptedDialogs.h"
#include "platform/ReadingListModel.h"
#include "widgets/GraphControl.h"
#include "widgets/QCustomPlotInclude.h"
#include "widgets/ReadingGrid.h"

#include <memory>
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Two logger data sets: a quiet one at 1 s and a louder one at 2 s with a
// paused stretch, so that browsing shows different boards and row counts.
const QStringList LoggerRecipes {
    QStringLiteral("--set"),
    QStringLiteral("records=30,interval=1,level=55,spread=2,seed=3"),
    QStringLiteral("--set"),
    QStringLiteral("records=12,interval=2,levels=70/71/72/73*/74*/75/76/77/78/79/80/81"),
};

QString text(QWidget *root, const char *name)
{
    if (!root)
        return {};
    if (auto *label = root->findChild<QLabel *>(QLatin1String(name)))
        return label->text();
    if (auto *lcd = root->findChild<SevenSegmentDisplay *>(QLatin1String(name)))
        return lcd->text();
    return {};
}

QAbstractButton *button(QWidget *root, const char *name)
{
    return root ? root->findChild<QAbstractButton *>(QLatin1String(name)) : nullptr;
}

// The lines of a data file as stored (CR LF).
QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The time of the last clock setting the meter received: "B" then six BCD
// bytes second..year. A "B" byte inside other arguments does not decode to a
// time near now, so the search goes on backwards past it.
QDateTime lastClockSet(const QByteArray &received)
{
    for (qsizetype at = received.lastIndexOf('B'); at >= 0;
         at = at > 0 ? received.lastIndexOf('B', at - 1) : -1) {
        if (at + 7 > received.size())
            continue;
        const auto bcd = [&](int i) {
            const auto b = static_cast<unsigned char>(received.at(at + 1 + i));
            return (b >> 4) * 10 + (b & 0x0F);
        };
        const QDateTime time(QDate(2000 + bcd(5), bcd(4), bcd(3)), QTime(bcd(2), bcd(1), bcd(0)));
        if (time.isValid() && std::abs(time.secsTo(QDateTime::currentDateTime())) < 3600)
            return time;
    }
    return {};
}

class UserWalk
{
public:
    UserWalk(ProgramRun &run, MeterEmulator &meter, ScriptedDialogs &dialogs, const QString &dir)
        : m_run(run)
        , m_meter(meter)
        , m_dialogs(dialogs)
        , m_dir(dir)
    {
    }

    // Every step in order, each named in the log with the time it began;
    // false when one could not go on.
    bool walk()
    {
        using Step = bool (UserWalk::*)();
        const std::pair<const char *, Step> steps[] = {
            { "Port window", &UserWalk::choosePort },
            { "panel mirrors the meter", &UserWalk::panelMirrorsTheMeter },
            { "keys and tool bar settings", &UserWalk::settingsChangeTheMeter },
            { "recording with a pause", &UserWalk::recordWithAPause },
            { "open the recording", &UserWalk::openTheRecording },
            { "plot with markers", &UserWalk::plotShowsThePause },
            { "Ln at both widths", &UserWalk::lnTablesAtBothWidths },
            { "print the report", &UserWalk::printTheReport },
            { "small graphs", &UserWalk::smallGraphsOpen },
            { "logger download, browse, save, open", &UserWalk::downloadBrowseAndSave },
            { "erase", &UserWalk::eraseTheMemory },
            { "clock window", &UserWalk::readAndSetTheClock },
            { "refresh", &UserWalk::refreshEmptiesTheLiveData },
        };
        QElapsedTimer clock;
        clock.start();
        for (const auto &[name, step] : steps) {
            std::fprintf(stderr, "[ step     ] %s at %.1f s\n", name, clock.elapsed() / 1000.0);
            SCOPED_TRACE(name);
            if (!(this->*step)())
                return false;
        }
        return true;
    }

    const WalkGaps &gaps() const { return m_gaps; }

private:
    Panel *panel() const { return m_run.panel(); }
    PanelToolbar *toolbar() const { return panel()->toolbar(); }
    AnalysisHost host() const
    {
        AnalysisHost host;
        host.panel = panel();
        host.timers = &panel()->timers();
        return host;
    }

    // A tool bar button the user can press now.
    bool wired(const QString &key) const
    {
        QToolButton *b = toolbar()->button(key);
        return b && b->isEnabled();
    }

    void clickToolbar(const QString &key) { toolbar()->button(key)->click(); }

    bool choosePort()
    {
        Port *port = m_run.portWindow();
        EXPECT_TRUE(port->isVisible());
        EXPECT_EQ(port->windowTitle(), QStringLiteral("COM Port"));
        SaveScreenshot(port, QStringLiteral("port"));
        auto *combo = port->findChild<QComboBox *>(QStringLiteral("TxtCOM"));
        auto *ok = button(port, "CmdOK");
        if (!combo || !ok) {
            ADD_FAILURE() << "the Port window has no TxtCOM or CmdOK";
            return false;
        }
        combo->setEditText(QStringLiteral("COM1"));
        ok->click();
        if (!panel() || !WaitUntil([&] { return panel()->isVisible(); }, 3000)) {
            ADD_FAILURE() << "OK did not show the panel";
            return false;
        }
        EXPECT_FALSE(port->isVisible());
        EXPECT_EQ(m_dialogs.calls().size(), 0u);
        EXPECT_EQ(text(panel(), "LblCOM"), QStringLiteral("COM1"));
        EXPECT_TRUE(panel()->windowTitle().startsWith(QStringLiteral("Panel")));
        return true;
    }

    bool panelMirrorsTheMeter()
    {
        // The emulator started at 62.5 dB, range 2 (60-120), A, FAST, running.
        const bool shown = WaitUntil([&] { return text(panel(), "ShownLCD") == "62.5"; }, 5000);
        EXPECT_TRUE(shown) << "level figure: " << text(panel(), "ShownLCD").toStdString();
        EXPECT_EQ(text(panel(), "LblValue"), QStringLiteral("62.5"));
        EXPECT_EQ(text(panel(), "BoardCA"), QStringLiteral("A"));
        EXPECT_EQ(text(panel(), "BoardSFI"), QStringLiteral("FAST"));
        EXPECT_EQ(text(panel(), "BoardLevel"), QStringLiteral("60-120"));
        m_meter.control(QStringLiteral("level 71.3"));
        EXPECT_TRUE(WaitUntil([&] { return text(panel(), "ShownLCD") == "71.3"; }, 3000))
            << "after the level changed: " << text(panel(), "ShownLCD").toStdString();
        // A live panel with some history in its small graphs looks like one.
        RunEventsFor(2500);
        SaveScreenshot(panel(), QStringLiteral("panel"));
        return shown;
    }

    bool settingsChangeTheMeter()
    {
        // Keypad: the key frame K 00 00 code reaches the meter, which then
        // shows the new weighting in its live frames.
        const auto pressKey = [&](const char *name, char code, const char *board,
                                  const QString &expected) {
            SCOPED_TRACE(name);
            const int before = CountOf(m_meter.received(), QByteArray("K\0\0", 3) + code);
            QAbstractButton *key = button(panel(), name);
            ASSERT_NE(key, nullptr);
            key->click();
            EXPECT_TRUE(WaitUntil(
                [&] {
                    return CountOf(m_meter.received(), QByteArray("K\0\0", 3) + code) == before + 1;
                },
                3000));
            EXPECT_TRUE(WaitUntil([&] { return text(panel(), board) == expected; }, 3000))
                << board << ": " << text(panel(), board).toStdString();
        };
        pressKey("BtnCA", 1, "BoardCA", QStringLiteral("C"));
        pressKey("BtnFastSlow", 2, "BoardSFI", QStringLiteral("SLOW"));
        pressKey("BtnCA", 1, "BoardCA", QStringLiteral("A"));

        // Tool bar: one letter each, no answer; the boards follow the meter.
        const auto pressTool = [&](const QString &key, char letter, const char *board,
                                   const QString &expected) {
            SCOPED_TRACE(key.toStdString());
            if (!wired(key)) {
                m_gaps.note(QStringLiteral("tool bar \"%1\" is not usable").arg(key));
                return;
            }
            const int before = CountOf(m_meter.received(), QByteArray(1, letter));
            clickToolbar(key);
            EXPECT_TRUE(WaitUntil(
                [&] { return CountOf(m_meter.received(), QByteArray(1, letter)) == before + 1; },
                3000));
            EXPECT_TRUE(WaitUntil([&] { return text(panel(), board) == expected; }, 3000))
                << board << ": " << text(panel(), board).toStdString();
        };
        pressTool(QStringLiteral("Up"), 'E', "BoardLevel", QStringLiteral("70-130"));
        pressTool(QStringLiteral("Down"), 'F', "BoardLevel", QStringLiteral("60-120"));
        pressTool(QStringLiteral("AC"), 'G', "BoardCA", QStringLiteral("C"));
        pressTool(QStringLiteral("FSI"), 'D', "BoardSFI", QStringLiteral("IMP"));
        // The meter's own logging interval, through the modal sampling choice.
        if (wired(QStringLiteral("Sampling"))) {
            bool chosen = false;
            QTimer::singleShot(0, [&] {
                QWidget *choice = nullptr;
                WaitUntil([&] { return (choice = TopLevel("SamplingChoice")) != nullptr; }, 3000);
                if (!choice)
                    return;
                SaveScreenshot(choice, QStringLiteral("samplingchoice"));
                QAbstractButton *meterOption = button(choice, "OptMeter");
                QAbstractButton *ok = button(choice, "CmdOK");
                if (meterOption && ok) {
                    meterOption->click();
                    ok->click();
                    chosen = true;
                }
            });
            m_dialogs.answerInput(QStringLiteral("5"));
            clickToolbar(QStringLiteral("Sampling"));
            EXPECT_TRUE(chosen);
            EXPECT_TRUE(WaitUntil(
                [&] { return m_meter.received().contains(QByteArray("C\0\x05", 3)); }, 3000));
            m_meter.control(QStringLiteral("status"));
            EXPECT_TRUE(WaitUntil(
                [&] { return m_meter.output().contains(QStringLiteral("interval 5 s")); }, 3000))
                << m_meter.output().toStdString();
        } else {
            m_gaps.note(QStringLiteral("tool bar \"Sampling\" is not usable"));
        }
        // The live figure is back after the exchanges.
        EXPECT_TRUE(WaitUntil([&] { return text(panel(), "ShownLCD") == "71.3"; }, 3000));
        EXPECT_EQ(text(panel(), "LblCOM"), QStringLiteral("COM1"));
        return true;
    }

    // Twenty seconds of recording with a paused run on the meter in the
    // middle; the paused samples carry the marker "*".
    bool recordWithAPause()
    {
        m_recordedPath = QDir(m_dir).filePath(QStringLiteral("walk.vorn"));
        QWidget *picSave = panel()->findChild<QWidget *>(QStringLiteral("PicSave"));
        if (!wired(QStringLiteral("Save")) || !picSave) {
            m_gaps.note(QStringLiteral("recording from the panel (Save, PicSave) is not wired; "
                                       "the walk goes on with a file of the program's writer"));
            return writeStandInRecording();
        }
        // A level that moves makes graphs and a distribution worth a look.
        m_meter.control(QStringLiteral("amplitude 6"));
        m_meter.control(QStringLiteral("period 9"));
        m_meter.control(QStringLiteral("signal sine"));
        clickToolbar(QStringLiteral("Save"));
        EXPECT_TRUE(WaitUntil([&] { return picSave->isVisible(); }, 2000));
        SaveScreenshot(panel(), QStringLiteral("panel-save-choice"));
        if (auto *sampling = button(panel(), "OptSampling"))
            sampling->click();
        m_dialogs.answerSave(m_recordedPath);
        QAbstractButton *ok = button(panel(), "CmdSaveOK");
        if (!ok) {
            ADD_FAILURE() << "no CmdSaveOK";
            return false;
        }
        ok->click();
        if (!WaitUntil([&] { return toolbar()->isRecording(); }, 3000)) {
            ADD_FAILURE() << "the recording did not start";
            return false;
        }
        EXPECT_EQ(toolbar()->button(QStringLiteral("Save"))->toolTip(),
                  QStringLiteral("Stop Recording"));
        RunEventsFor(7000);
        m_meter.control(QStringLiteral("pause"));
        RunEventsFor(5000);
        m_meter.control(QStringLiteral("run"));
        // Opening a file is refused while recording, and the recording goes on.
        const qsizetype opensBefore = m_dialogs.callsOf(ScriptedDialogs::Kind::OpenFile).size();
        clickToolbar(QStringLiteral("Open"));
        EXPECT_EQ(m_dialogs.messageTexts().value(m_dialogs.messageTexts().size() - 1),
                  QStringLiteral("Recording Mode!\n\rPlease stop recording!"));
        EXPECT_EQ(m_dialogs.callsOf(ScriptedDialogs::Kind::OpenFile).size(), opensBefore);
        EXPECT_TRUE(toolbar()->isRecording());
        RunEventsFor(8000);
        SaveScreenshot(panel(), QStringLiteral("panel-recording"));
        // The live boards and the list follow the samples.
        EXPECT_FALSE(text(panel(), "BoardLeq").isEmpty());
        EXPECT_FALSE(text(panel(), "BoardSEL").isEmpty());
        const auto *grid = panel()->findChild<ReadingGrid *>(QStringLiteral("GridN2"));
        EXPECT_NE(grid, nullptr);
        const int listed = grid ? grid->rowCount() : 0;
        clickToolbar(QStringLiteral("Save"));
        EXPECT_TRUE(WaitUntil([&] { return !toolbar()->isRecording(); }, 5000));
        m_meter.control(QStringLiteral("signal constant"));
        EXPECT_EQ(toolbar()->button(QStringLiteral("Save"))->toolTip(), QStringLiteral("Save As"));
        const QStringList lines = fileLines(m_recordedPath);
        if (lines.size() < 10) {
            ADD_FAILURE() << "the recording file has " << lines.size() << " lines";
            return false;
        }
        EXPECT_EQ(lines.at(0), QStringLiteral("Real Time"));
        EXPECT_EQ(lines.at(9), QStringLiteral("No.s\tDate Time\tdB\t"));
        const int records = int(lines.size()) - 10;
        EXPECT_GE(records, 18);
        EXPECT_LE(records, 23);
        m_recordedRecords = records;
        // The list holds at least every sample of the recording.
        EXPECT_GE(listed, records - 1);
        int marked = 0;
        for (int i = 10; i < lines.size(); ++i) {
            const QStringList fields = lines.at(i).split(QLatin1Char('\t'));
            EXPECT_EQ(fields.size(), 4) << lines.at(i).toStdString();
            EXPECT_EQ(fields.value(0), QString::number(i - 9));
            if (fields.value(2).endsWith(QLatin1Char('*')))
                ++marked;
        }
        // Five seconds paused: four to six marked samples.
        EXPECT_GE(marked, 3);
        EXPECT_LE(marked, 7);
        return true;
    }

    // Without the panel's recording: the same kind of file, written by the
    // program's own writer, so that the analysis steps still run.
    bool writeStandInRecording()
    {
        RealTimeHeader header;
        header.FreqWeighting = QStringLiteral("A");
        header.TimeWeighting = QStringLiteral("FAST");
        header.LevelRange = QStringLiteral("60-120");
        header.MaxLevel = QStringLiteral("74.0");
        header.MaxTime = QStringLiteral("2026/12/07 21:00:15");
        header.Sel = QStringLiteral("84.3");
        header.Leq = QStringLiteral("71.3");
        QFile file(m_recordedPath);
        if (!file.open(QIODevice::WriteOnly)) {
            ADD_FAILURE() << "cannot write " << m_recordedPath.toStdString();
            return false;
        }
        for (const QString &line : header.lines())
            file.write(FileLine(line));
        file.write(FileLine(ColumnHeaderLine()));
        const QDateTime start(QDate(2026, 12, 7), QTime(21, 0, 0));
        for (int i = 1; i <= 20; ++i) {
            QString level = QString::number(70.0 + (i % 5) * 0.5, 'f', 1);
            if (i >= 8 && i <= 12)
                level += QLatin1Char('*');
            file.write(FileLine(RecordLine(i, TimeStamp(start.addSecs(i)), level)));
        }
        m_recordedRecords = 20;
        return true;
    }

    bool openTheRecording()
    {
        if (wired(QStringLiteral("Open"))) {
            m_dialogs.answerOpen(m_recordedPath);
            clickToolbar(QStringLiteral("Open"));
        } else {
            m_gaps.note(QStringLiteral("tool bar \"Open\" is not wired; the file is opened "
                                       "through the program's own open"));
            OpenDataFileAt(m_recordedPath, host());
        }
        m_fileListReal = openFileListRealWindow();
        if (!WaitUntil([&] { return (m_fileListReal = openFileListRealWindow()) != nullptr; },
                       5000)) {
            ADD_FAILURE() << "no FileListReal window";
            return false;
        }
        EXPECT_EQ(m_fileListReal->objectName(), QStringLiteral("FileListReal"));
        EXPECT_EQ(m_fileListReal->windowTitle(), QStringLiteral("walk.vorn"));
        EXPECT_EQ(m_fileListReal->model()->count(), m_recordedRecords);
        // The boards show the header lines exactly as stored.
        const QStringList lines = fileLines(m_recordedPath);
        EXPECT_EQ(m_fileListReal->board(QStringLiteral("BoardCA"))->text(), lines.value(2));
        EXPECT_EQ(m_fileListReal->board(QStringLiteral("BoardSFI"))->text(), lines.value(3));
        EXPECT_EQ(m_fileListReal->board(QStringLiteral("BoardLevel"))->text(), lines.value(4));
        EXPECT_EQ(m_fileListReal->board(QStringLiteral("BoardLeq"))->text(), lines.value(8));
        EXPECT_EQ(m_fileListReal->board(QStringLiteral("BoardSEL"))->text(), lines.value(7));
        const QStringList last = lines.last().split(QLatin1Char('\t'));
        const int lastRow = m_fileListReal->model()->count() - 1;
        EXPECT_EQ(m_fileListReal->model()->number(lastRow), last.value(0));
        EXPECT_EQ(m_fileListReal->model()->time(lastRow), last.value(1));
        EXPECT_EQ(m_fileListReal->model()->level(lastRow), last.value(2));
        SaveScreenshot(m_fileListReal, QStringLiteral("filelistreal"));
        return true;
    }

    bool plotShowsThePause()
    {
        QAction *plot = m_fileListReal->toolBarAction(QStringLiteral("Plot"));
        if (!plot) {
            ADD_FAILURE() << "FileListReal has no Plot button";
            return false;
        }
        plot->trigger();
        Plot *window = nullptr;
        if (!WaitUntil([&] { return (window = Plot::openWindow()) && window->isVisible(); },
                       5000)) {
            ADD_FAILURE() << "Plot did not open";
            return false;
        }
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Plot"));
        GraphControl *graph = window->findChild<GraphControl *>(QStringLiteral("CWGraph1"));
        EXPECT_NE(graph, nullptr);
        if (graph) {
            EXPECT_EQ(graph->pointCount(), m_recordedRecords);
            QStringList captions;
            for (int i = 0; i < graph->annotationCount(); ++i)
                captions << graph->annotationCaption(i);
            EXPECT_TRUE(captions.contains(QStringLiteral("Pause")))
                << captions.join(',').toStdString();
            EXPECT_TRUE(captions.contains(QStringLiteral("Start")))
                << captions.join(',').toStdString();
        }
        SaveScreenshot(window, QStringLiteral("plot"));
        window->close();
        return true;
    }

    bool lnTablesAtBothWidths()
    {
        QAction *ln = m_fileListReal->toolBarAction(QStringLiteral("Ln"));
        if (!ln) {
            ADD_FAILURE() << "FileListReal has no Ln button";
            return false;
        }
        const auto atWidth = [&](const char *buttonName, const QString &shot) {
            SCOPED_TRACE(buttonName);
            ln->trigger();
            QWidget *choice = m_fileListReal->resolutionPanel();
            ASSERT_TRUE(WaitUntil([&] { return choice->isVisible(); }, 2000));
            QAbstractButton *width = button(choice, buttonName);
            ASSERT_NE(width, nullptr);
            width->click();
            Histogram *window = nullptr;
            ASSERT_TRUE(WaitUntil(
                [&] { return (window = Histogram::openWindow()) && window->isVisible(); }, 5000));
            QTableWidget *table = window->lnGrid();
            EXPECT_GT(table->rowCount(), 0);
            // The table is full: no empty cell among the L values.
            int filled = 0;
            for (int r = 0; r < table->rowCount(); ++r)
                for (int c = 0; c < table->columnCount(); ++c)
                    if (table->item(r, c) && !table->item(r, c)->text().isEmpty())
                        ++filled;
            EXPECT_GE(filled, 100) << "L(0)..L(99) need a hundred cells";
            EXPECT_FALSE(choice->isVisible());
            // Counts are whole: every tick of the count axis sits on a whole
            // number, so that its label tells the truth.
            QCPAxis *counts = window->graph()->plot()->yAxis;
            counts->setRange(0, 16); // a range whose readable step would be 2.5
            window->graph()->plot()->replot();
            const QVector<double> ticks = counts->tickVector();
            EXPECT_FALSE(ticks.isEmpty());
            for (double tick : ticks)
                EXPECT_EQ(tick, std::floor(tick)) << "count axis tick at " << tick;
            window->resetScale();
            SaveScreenshot(window, shot);
            window->close();
        };
        atWidth("Cmd01dB", QStringLiteral("histogram-tenth"));
        atWidth("Cmd1dB", QStringLiteral("histogram"));
        return true;
    }

    bool printTheReport()
    {
        QAction *print = m_fileListReal->toolBarAction(QStringLiteral("Print"));
        if (!print) {
            ADD_FAILURE() << "FileListReal has no Print button";
            return false;
        }
        const QString pdf = QDir(m_dir).filePath(QStringLiteral("report.pdf"));
        ScriptedDialogs::PrinterAnswer answer;
        answer.pdfPath = pdf;
        m_dialogs.answerPrinter(answer);
        m_dialogs.answerInput(QStringLiteral("2")); // readings per line
        print->trigger();
        EXPECT_TRUE(WaitUntil([&] { return QFileInfo(pdf).size() > 0; }, 10000));
        const QString report = PdfText(pdf);
        if (report.isEmpty()) {
            m_gaps.note(QStringLiteral("pdftotext missing: the printed report was not read back"));
            return true;
        }
        const QStringList lines = fileLines(m_recordedPath);
        EXPECT_TRUE(report.contains(lines.value(8))) << "Leq " << lines.value(8).toStdString();
        EXPECT_TRUE(report.contains(lines.value(7))) << "SEL " << lines.value(7).toStdString();
        // The first and last readings are listed with their times.
        EXPECT_TRUE(report.contains(lines.value(10).split(QLatin1Char('\t')).value(1)))
            << report.toStdString();
        // Two readings a line: one line per pair, each starting with its first.
        static const QRegularExpression readingLine(
            QStringLiteral("^\\s*(\\d+) \\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d"),
            QRegularExpression::MultilineOption);
        QStringList firstNumbers;
        for (auto it = readingLine.globalMatch(report); it.hasNext();)
            firstNumbers << it.next().captured(1);
        EXPECT_EQ(firstNumbers.size(), (m_recordedRecords + 1) / 2) << report.toStdString();
        EXPECT_EQ(firstNumbers.value(1), QStringLiteral("3"));
        EXPECT_EQ(m_fileListReal->windowTitle(), QStringLiteral("walk.vorn"));
        return true;
    }

    // The five small graphs open their large windows with the panel's data.
    // Each small graph the user can see opens its large window with the
    // panel's data. The strip charts share one place: an option picks which.
    bool smallGraphsOpen()
    {
        struct Small
        {
            const char *graph;
            const char *option; // the option that shows it, if any
        };
        const Small graphs[] = { { "CWLeq", "SSOpt1" },
                                 { "CWSEL", "SSOpt2" },
                                 { "CWG", "SSOpt0" },
                                 { "CWInt", nullptr },
                                 { "CWDec", nullptr } };
        int clicked = 0;
        for (const Small &entry : graphs) {
            SCOPED_TRACE(entry.graph);
            if (entry.option) {
                QAbstractButton *option = button(panel(), entry.option);
                EXPECT_NE(option, nullptr);
                if (option)
                    option->click();
            }
            GraphControl *small = panel()->findChild<GraphControl *>(QLatin1String(entry.graph));
            if (!small) {
                ADD_FAILURE() << "the panel has no small graph " << entry.graph;
                continue;
            }
            // The two histograms take turns by the spread of the levels.
            if (!small->isVisible()) {
                EXPECT_EQ(entry.option, nullptr) << "its option did not show it";
                continue;
            }
            EXPECT_GT(small->pointCount(), 0);
            // A large window may be the one closed before, shown again.
            QWidgetList shownBefore;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->isVisible())
                    shownBefore << w;
            Q_EMIT small->clicked();
            QWidget *opened = nullptr;
            WaitUntil(
                [&] {
                    for (QWidget *w : QApplication::topLevelWidgets())
                        if (w->isVisible() && !shownBefore.contains(w))
                            opened = w;
                    return opened != nullptr;
                },
                3000);
            EXPECT_NE(opened, nullptr) << "no window opened";
            if (!opened)
                continue;
            ++clicked;
            const auto *large = opened->findChild<GraphControl *>();
            EXPECT_TRUE(large && large->pointCount() > 0) << "the window shows no data";
            SaveScreenshot(opened, QStringLiteral("small-graph-") + QLatin1String(entry.graph));
            opened->close();
        }
        EXPECT_EQ(clicked, 4); // three strip charts and the histogram shown
        return true;
    }

    bool downloadBrowseAndSave()
    {
        const qsizetype messagesBefore = m_dialogs.messageTexts().size();
        if (wired(QStringLiteral("Memory"))) {
            clickToolbar(QStringLiteral("Memory"));
        } else {
            m_gaps.note(QStringLiteral("tool bar \"Memory\" is not wired; the download runs "
                                       "through the program's own logger command"));
            m_setHost = std::make_unique<DataListHost>(panel(), &panel()->timers());
            DownloadLoggerMemory(panel(), panel()->link(), panel()->timers(), *m_setHost);
        }
        Memory *memory = nullptr;
        if (!WaitUntil(
                [&] {
                    return (memory = Memory::openWindow()) && memory->isVisible()
                        && memory->gridSet()->rowCount() >= 2;
                },
                20000)) {
            ADD_FAILURE() << "the memory window did not list the two sets";
            return false;
        }
        EXPECT_EQ(memory->windowTitle(), QStringLiteral("Data Logger"));
        EXPECT_EQ(memory->gridSet()->rowCount(), 2);
        EXPECT_EQ(m_dialogs.messageTexts().size(), messagesBefore)
            << m_dialogs.messageTexts().join('|').toStdString();
        SaveScreenshot(memory, QStringLiteral("memory"));

        // Browse both sets: the data list shows each with its own rows.
        const int records[] = { 30, 12 };
        QString leqOfSecond;
        for (int row = 0; row < 2; ++row) {
            SCOPED_TRACE(row);
            Q_EMIT memory->gridSet()->cellClicked(row, 0);
            DataList *list = nullptr;
            EXPECT_TRUE(WaitUntil(
                [&] {
                    return (list = qobject_cast<DataList *>(memory->setWindow())) && list->isVisible()
                        && list->list().count() == records[row];
                },
                5000));
            if (!list)
                return false;
            EXPECT_EQ(text(list, "BoardLevel").isEmpty(), false);
            if (row == 1) {
                EXPECT_EQ(list->list().level(3), QStringLiteral("73.0*"));
                EXPECT_EQ(text(list, "BoardMaxdB"), QStringLiteral("81.0"));
                leqOfSecond = text(list, "BoardLeq");
            }
            SaveScreenshot(list, QStringLiteral("datalist-set%1").arg(row + 1));
        }

        // Save the second set and open it: a FileList with the same boards.
        DataList *list = qobject_cast<DataList *>(memory->setWindow());
        const QString saved = QDir(m_dir).filePath(QStringLiteral("logger.vorn"));
        m_dialogs.answerSave(saved);
        list->saveAction()->trigger();
        EXPECT_TRUE(WaitUntil([&] { return QFileInfo::exists(saved); }, 5000));
        const QStringList lines = fileLines(saved);
        EXPECT_EQ(lines.value(0), QStringLiteral("Data Logger"));
        EXPECT_EQ(lines.value(1), QStringLiteral(" 2 "));
        EXPECT_EQ(lines.size(), 14 + 1 + 12);
        EXPECT_TRUE(lines.last().startsWith(QStringLiteral("12\t")));

        if (wired(QStringLiteral("Open"))) {
            m_dialogs.answerOpen(saved);
            clickToolbar(QStringLiteral("Open"));
        } else {
            OpenDataFileAt(saved, host());
        }
        StatisticsWindow *fileList = nullptr;
        EXPECT_TRUE(WaitUntil([&] { return (fileList = openFileListWindow()) != nullptr; }, 5000));
        if (fileList) {
            EXPECT_EQ(fileList->objectName(), QStringLiteral("FileList"));
            EXPECT_EQ(fileList->model()->count(), 12);
            EXPECT_EQ(fileList->board(QStringLiteral("BoardLeq"))->text(), leqOfSecond);
            EXPECT_EQ(fileList->board(QStringLiteral("BoardMaxdB"))->text(),
                      QStringLiteral("81.0"));
            SaveScreenshot(fileList, QStringLiteral("filelist"));
            fileList->close();
        }
        return true;
    }

    bool eraseTheMemory()
    {
        const int before = CountOf(m_meter.received(), "H");
        m_dialogs.answerMessage(MessageAnswer::Ok);
        if (wired(QStringLiteral("Erase"))) {
            clickToolbar(QStringLiteral("Erase"));
        } else {
            m_gaps.note(QStringLiteral("tool bar \"Erase\" is not wired; erasing through the "
                                       "program's own logger command"));
            EraseLoggerMemory(panel(), panel()->link(), panel()->timers());
        }
        EXPECT_TRUE(m_dialogs.messageTexts().contains(
            QStringLiteral("All saved data in memory will be deleted.")));
        EXPECT_TRUE(
            WaitUntil([&] { return CountOf(m_meter.received(), "H") == before + 1; }, 3000));
        EXPECT_EQ(Memory::openWindow(), nullptr);
        // The meter's memory is empty now.
        m_meter.control(QStringLiteral("status"));
        EXPECT_TRUE(WaitUntil(
            [&] { return m_meter.output().contains(QStringLiteral("logger end 48,")); }, 3000))
            << m_meter.output().toStdString();
        return true;
    }

    // The clock window is modal: its steps run inside its own event loop.
    bool readAndSetTheClock()
    {
        bool done = false;
        bool ok = false;
        const auto steps = [&] {
            Setup *setup = nullptr;
            WaitUntil([&] { return (setup = qobject_cast<Setup *>(TopLevel("Setup"))) != nullptr; },
                      3000);
            ok = clockWindow(setup);
            if (setup && setup->isVisible())
                setup->reject(); // never leave the modal loop waiting
            done = true;
        };
        if (wired(QStringLiteral("RTC"))) {
            QTimer::singleShot(0, steps);
            clickToolbar(QStringLiteral("RTC"));
        } else {
            m_gaps.note(QStringLiteral("tool bar \"RTC\" is not wired; the clock window is opened "
                                       "directly"));
            Setup own(panel()->link(), panel()->timers(), panel());
            QTimer::singleShot(0, steps);
            own.exec();
        }
        EXPECT_TRUE(done);
        if (!ok)
            return false;
        // The panel polls again once the clock window is gone.
        m_meter.control(QStringLiteral("level 66.6"));
        EXPECT_TRUE(WaitUntil([&] { return text(panel(), "ShownLCD") == "66.6"; }, 4000));
        return true;
    }

    bool clockWindow(Setup *setup)
    {
        if (!setup) {
            ADD_FAILURE() << "no clock window";
            return false;
        }
        EXPECT_EQ(setup->windowTitle(), QStringLiteral("Setup"));
        auto *meterTime = setup->findChild<QLabel *>(QStringLiteral("LblMeterTime"));
        auto *pcTime = setup->findChild<QLabel *>(QStringLiteral("LblPCTime"));
        if (!meterTime || !pcTime) {
            ADD_FAILURE() << "no clock labels";
            return false;
        }
        EXPECT_EQ(meterTime->text(), QStringLiteral("Meter Time"));
        // The user switches both clocks on with Space.
        for (QLabel *label : { meterTime, pcTime }) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
            QApplication::sendEvent(label, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier,
                              QStringLiteral(" "));
            QApplication::sendEvent(label, &release);
        }
        const auto shownTime = [](QLabel *label) {
            return QDateTime::fromString(label->text(), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        };
        EXPECT_TRUE(WaitUntil(
            [&] { return shownTime(meterTime).isValid() && shownTime(pcTime).isValid(); }, 4000))
            << meterTime->text().toStdString() << " / " << pcTime->text().toStdString();
        // The emulated meter's clock started at the PC's time.
        EXPECT_LE(std::abs(shownTime(meterTime).secsTo(QDateTime::currentDateTime())), 3);
        SaveScreenshot(setup, QStringLiteral("setup"));

        QAbstractButton *setTime = button(setup, "CmdSetTime");
        QAbstractButton *exit = button(setup, "CmdExit");
        if (!setTime || !exit) {
            ADD_FAILURE() << "no CmdSetTime or CmdExit";
            return false;
        }
        EXPECT_FALSE(lastClockSet(m_meter.received()).isValid()) << "set before the click";
        setTime->click();
        EXPECT_TRUE(WaitUntil([&] { return lastClockSet(m_meter.received()).isValid(); }, 4000));
        EXPECT_LE(std::abs(lastClockSet(m_meter.received()).secsTo(QDateTime::currentDateTime())),
                  3);
        exit->click();
        EXPECT_TRUE(WaitUntil([&] { return !setup->isVisible(); }, 2000));
        return true;
    }

    // Refresh starts the live statistics, list and graphs again.
    bool refreshEmptiesTheLiveData()
    {
        const auto *grid = panel()->findChild<ReadingGrid *>(QStringLiteral("GridN2"));
        if (!grid) {
            ADD_FAILURE() << "no GridN2";
            return false;
        }
        EXPECT_GT(grid->rowCount(), 20);
        clickToolbar(QStringLiteral("Refresh"));
        EXPECT_TRUE(WaitUntil([&] { return grid->rowCount() <= 2; }, 2000))
            << grid->rowCount() << " rows after Refresh";
        // And the sampling goes on from there.
        EXPECT_TRUE(WaitUntil([&] { return grid->rowCount() >= 2; }, 4000));
        EXPECT_EQ(text(panel(), "LblCOM"), QStringLiteral("COM1"));
        return true;
    }

    ProgramRun &m_run;
    MeterEmulator &m_meter;
    ScriptedDialogs &m_dialogs;
    QString m_dir;
    WalkGaps m_gaps;
    std::unique_ptr<DataListHost> m_setHost;
    QString m_recordedPath;
    int m_recordedRecords = 0;
    StatisticsWindow *m_fileListReal = nullptr;
};

TEST(Walk, NewUserFromPortWindowToTheEnd)
{
    if (MeterEmulator::program().isEmpty())
        GTEST_SKIP() << "no meter emulator built";
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    // The temporary recording file and list dumps go into the current folder.
    const QString keptFolder = QDir::currentPath();
    QDir::setCurrent(work.path());

    MeterEmulator meter;
    QString why;
    ASSERT_TRUE(meter.start(
        QStringList { QStringLiteral("--fast"), QStringLiteral("--level"), QStringLiteral("62.5"),
                      QStringLiteral("--range"), QStringLiteral("2"), QStringLiteral("--freq"),
                      QStringLiteral("A"), QStringLiteral("--time"), QStringLiteral("fast"),
                      QStringLiteral("--state"), QStringLiteral("run") }
            + LoggerRecipes,
        &why))
        << why.toStdString();

    ScriptedDialogs dialogs;
    ProgramRun run;
    UserWalk walk(run, meter, dialogs, work.path());
    bool walked = false;
    QElapsedTimer clock;
    clock.start();
    // A safety exit: the walk takes well under two minutes.
    const int result = RunProgram(
        run, [&] { walked = walk.walk(); }, 180000);

    EXPECT_TRUE(walked);
    EXPECT_EQ(result, 0) << "the program did not end by closing its panel";
    for (QWidget *w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString() << " still shown";
    EXPECT_TRUE(meter.stop());
    EXPECT_FALSE(meter.running());
    EXPECT_LT(clock.elapsed(), 150000);
    QDir::setCurrent(keptFolder);
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

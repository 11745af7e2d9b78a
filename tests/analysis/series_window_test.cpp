// The series window on a station's folder: its figures, tables and exports
// are those of vorn-stats on the same files, its limits come from the
// station's tables or are typed and remembered, and its report is written.
#include "analysis/output/Outputs.h"
#include "analysis/records/CivilTime.h"
#include "analysis/gui/ReportCommand.h"
#include "analysis/gui/SeriesWindow.h"
#include "recording/FormatTenths.h"
#include "support/EventWaits.h"
#include "support/MeterEmulator.h"
#include "support/ScriptedDialogs.h"
#include "support/TestZone.h"
#include "widgets/QCustomPlotInclude.h"
#include "widgets/ValueBoard.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QFile>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <csignal>

namespace {

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A station's day file: one reading a second from midnight for `hours`.
QByteArray dayFile(const QDate &day, int hours)
{
    QByteArray bytes = "Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n61.0\r\n"
        + day.toString("yyyy/MM/dd").toLatin1() + " 00:00:00\r\n95.5\r\n60.0\r\n"
        + "No.s\tDate Time\tdB\t\r\n";
    const QByteArray date = day.toString("yyyy/MM/dd ").toLatin1();
    for (int s = 0; s < hours * 3600; ++s) {
        const int tenths = 420 + (s * 37) % 120 + (s / 3600 >= 7 && s / 3600 < 19 ? 120 : 0);
        bytes += QByteArray::number(s + 1) + '\t' + date
            + QByteArray::number(s / 3600).rightJustified(2, '0') + ':'
            + QByteArray::number(s / 60 % 60).rightJustified(2, '0') + ':'
            + QByteArray::number(s % 60).rightJustified(2, '0') + '\t'
            + QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10) + "\t\r\n";
    }
    return bytes;
}

QString statsCsv(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(VORN_STATS_PATH), arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

class SeriesWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QSettings().clear();
        for (int d = 0; d < 2; ++d)
            write(folder.filePath(QStringLiteral("fence 2026-06-0%1.vorn").arg(d + 1)),
                  dayFile(QDate(2026, 6, d + 1), d == 0 ? 24 : 10));
        write(folder.filePath("fence events.csv"),
              "time,event,detail\n2026-06-01T03:00:00+02:00,link lost,port gone\n"
              "2026-06-01T03:00:20+02:00,link back,\n");
        files = SeriesFolder::dataFiles(folder.path());
    }

    QTemporaryDir settings;
    QTemporaryDir folder;
    QStringList files;
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(SeriesWindowTest, ShowsTheJoinWithTypedLimitsAndExportsAsVornStats)
{
    SeriesWindow *window = OpenSeries({ folder.path() });
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(),
              QString::fromUtf8("fence 2026-06-01.vorn … fence 2026-06-02.vorn (2 files)"));
    const FileFigures &report = window->report();
    EXPECT_EQ(window->board("Leq")->text(), FormatTenths(*report.statistics.leq));
    EXPECT_EQ(window->board("Readings")->text(), QString::number(34 * 3600));
    EXPECT_EQ(window->board("Duration")->text(), "1 d 10:00:00");
    EXPECT_EQ(window->intervalTable()->rowCount(), int(report.intervals.size()));
    EXPECT_EQ(window->intervalTable()->rowCount(), 34 * 4);
    EXPECT_EQ(window->eventTable()->rowCount(), 2);
    EXPECT_EQ(window->eventTable()->item(0, 1)->text(), "link lost");
    EXPECT_FALSE(window->dayTable()->rowCount() == 0);

    // Limits typed: judged at once, remembered for the folder, refused with
    // a message when they are none.
    dialogs.answerMessage(MessageAnswer::Ok);
    EXPECT_FALSE(window->setLimitsText("07-19=55,08-09=50"));
    EXPECT_TRUE(dialogs.messageTexts().last().contains("07-19 and 08-09 overlap"));
    const QString limits = "07-19=55,19-23=50,23-07=45";
    ASSERT_TRUE(window->setLimitsText(limits));
    EXPECT_EQ(window->intervalTable()->item(28, 11)->text(), "over"); // 07:00, 55 dB limit
    EXPECT_EQ(window->intervalsCsv(),
              statsCsv({ "--join", "--intervals", "15min", "--limit", limits, "--csv", files[0],
                         files[1] }));
    EXPECT_EQ(window->daysCsv(), statsCsv({ "--join", "--lden", "--csv", files[0], files[1] }));
    dialogs.answerSave(folder.filePath("intervals.csv"));
    ASSERT_TRUE(window->exportCsv("intervals"));
    QFile exported(folder.filePath("intervals.csv"));
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(exported.readAll()), window->intervalsCsv());

    // Another length reads the series again, with the same limits.
    ASSERT_TRUE(window->setIntervalLength(3600));
    EXPECT_EQ(window->intervalsCsv(),
              statsCsv({ "--join", "--intervals", "1h", "--limit", limits, "--csv", files[0],
                         files[1] }));

    // Zoom: the month by columns, an interval reading by reading.
    window->resize(1000, 700);
    window->show();
    QApplication::processEvents();
    window->showAll();
    EXPECT_FALSE(window->trace().readingByReading);
    const double start = double(window->report().intervals[3].start);
    window->showRange(start, start + 300);
    EXPECT_TRUE(window->trace().readingByReading);
    EXPECT_NEAR(window->plot()->xAxis->range().lower, start, 1e-6);

    // The report: the series' PDF with its limits.
    dialogs.answerSave(folder.filePath("series.pdf"));
    dialogs.answerMessage(MessageAnswer::No);
    EXPECT_EQ(window->reportCommand()->run(), folder.filePath("series.pdf"));
    QProcess text;
    text.start("pdftotext", { "-layout", folder.filePath("series.pdf"), "-" });
    text.waitForFinished(30000);
    const QString pdf = QString::fromUtf8(text.readAllStandardOutput());
    // Named by its files, not by the folder they were given with.
    EXPECT_TRUE(pdf.contains(QString::fromUtf8("fence 2026-06-01.vorn … fence 2026-06-02.vorn "
                                               "(2 files)")))
        << pdf.left(400).toStdString();
    EXPECT_TRUE(pdf.contains("interval over its limit"));
    EXPECT_TRUE(pdf.contains("Interval levels (1 h)"));
    delete window;

    // Opened again, the folder's limits are back.
    SeriesWindow *again = OpenSeries(files);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->findChild<QLineEdit *>("Limits")->text(), limits);
    delete again;
}

TEST_F(SeriesWindowTest, TheStationsTablesGiveTheLimitsAndBadSeriesAreRefused)
{
    write(folder.filePath("fence 2026-06-01 intervals.csv"),
          "file,start,end,readings,coverage,leq,lmax,lmin,l10,l50,l90,limit,state,partial\n"
          "f,2026-06-01T07:00:00+02:00,2026-06-01T08:00:00+02:00,3600,1.00,1,1,1,1,1,1,70,ok,\n");
    SeriesWindow *window = OpenSeries(files);
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->findChild<QLineEdit *>("Limits")->isEnabled());
    EXPECT_EQ(window->intervalTable()->item(28, 10)->text(), "70");
    EXPECT_EQ(window->intervalTable()->item(27, 10)->text(), "-");
    delete window;

    // Files that overlap are refused by name, as vorn-stats refuses them.
    write(folder.filePath("copy.vorn"), dayFile(QDate(2026, 6, 1), 2));
    dialogs.answerMessage(MessageAnswer::Ok);
    EXPECT_FALSE(OpenSeries({ files[0], folder.filePath("copy.vorn") }));
    EXPECT_TRUE(dialogs.messageTexts().last().contains("overlap in time"));
    dialogs.answerMessage(MessageAnswer::Ok);
    EXPECT_FALSE(OpenSeries({ settings.path() }));
    EXPECT_TRUE(dialogs.messageTexts().last().contains("no data files"));

    // A folder of two stations is two series, not an overlap: the one
    // chosen opens.
    QFile::remove(folder.filePath("copy.vorn"));
    write(folder.filePath("gate 2026-06-01.vorn"), dayFile(QDate(2026, 6, 1), 2));
    EXPECT_EQ(SeriesFolder::stations(folder.path()), (QStringList { "fence", "gate" }));
    window = OpenSeries({ folder.path() });
    ASSERT_TRUE(window);
    EXPECT_EQ(window->report().joined.size(), size_t(files.size()));
    EXPECT_TRUE(window->report().joined.front().name.contains("fence"));
    delete window;
}

// A folder as a station leaves it: the emulated meter recorded by
// vorn-monitor with 20 s intervals over a limit, then stopped. The window's
// figures and intervals are those of vorn-stats on the day file, its limits
// those of the station's table, its events the station's.
TEST_F(SeriesWindowTest, AFolderTheStationMadeShowsWhatVornStatsSays)
{
    if (MeterEmulator::program().isEmpty())
        GTEST_SKIP() << "no meter emulator built";
    MeterEmulator emulator;
    QString why;
    ASSERT_TRUE(emulator.start({ "--signal", "constant", "--level", "65.0" }, &why))
        << why.toStdString();
    QTemporaryDir station;
    QProcess monitor;
    monitor.setProcessChannelMode(QProcess::MergedChannels);
    monitor.start(QStringLiteral(VORN_MONITOR),
                  { "--port", "COM1", "--folder", station.path(), "--station", "gate", "--interval",
                    "20s", "--limit", "60" });
    ASSERT_TRUE(monitor.waitForStarted());
    QString out;
    // Two whole intervals at least.
    EXPECT_TRUE(WaitUntil(
        [&] {
            out += QString::fromUtf8(monitor.readAll());
            return out.count(" over") >= 2;
        },
        60000))
        << out.toStdString();
    ::kill(pid_t(monitor.processId()), SIGTERM);
    ASSERT_TRUE(monitor.waitForFinished(10000));

    const QStringList dayFiles = SeriesFolder::dataFiles(station.path());
    ASSERT_FALSE(dayFiles.isEmpty());
    SeriesWindow *window = OpenSeries({ station.path() }, nullptr, 20);
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->limits().table.empty());
    EXPECT_EQ(window->board("Leq")->text(), "65.0");
    EXPECT_GE(window->eventTable()->rowCount(), 2); // the day file, the alarm
    // The station's own rows carry its limit; a row cut by the stop is judged
    // against nothing there, so the levels are compared, not the judgement.
    const auto levels = [](const QString &csv) {
        QStringList rows;
        for (const QString &row : csv.split('\n', Qt::SkipEmptyParts))
            rows << row.section(',', 0, -6); // less limit, state and the verdict's columns
        return rows;
    };
    const QString stats = statsCsv(
        QStringList { "--join", "--intervals", "20s", "--limit", "60", "--csv" } + dayFiles);
    EXPECT_EQ(levels(window->intervalsCsv()), levels(stats));
    EXPECT_TRUE(window->intervalsCsv().contains(",60,over,not verified,,\n"));
    delete window;
}

namespace {

// A month of a station's day files at one reading a minute.
QStringList writeMonth(const QTemporaryDir &dir)
{
    for (int d = 0; d < 30; ++d) {
        const QDate day = QDate(2026, 4, 1).addDays(d);
        QByteArray bytes = "Real Time\r\n 60 \r\nA\r\nSlow\r\n30-90\r\n61.0\r\n"
            + day.toString("yyyy/MM/dd").toLatin1() + " 00:00:00\r\n95.5\r\n60.0\r\n"
            + "No.s\tDate Time\tdB\t\r\n";
        const QByteArray date = day.toString("yyyy/MM/dd ").toLatin1();
        for (int m = 0; m < 1440; ++m) {
            const int tenths = 400 + (m * 37 + d * 11) % 300;
            bytes += QByteArray::number(m + 1) + '\t' + date
                + QByteArray::number(m / 60).rightJustified(2, '0') + ':'
                + QByteArray::number(m % 60).rightJustified(2, '0') + ":00\t"
                + QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10)
                + "\t\r\n";
        }
        write(dir.filePath(QStringLiteral("mast %1.vorn").arg(day.toString(Qt::ISODate))), bytes);
    }
    return SeriesFolder::dataFiles(dir.path());
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Fills the exclusion dialog when it opens and accepts it.
void answerExclusionDialog(const QString &reason, const QString &note)
{
    QTimer::singleShot(0, [reason, note] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QDialog *>(w);
                dialog && dialog->objectName() == "ExclusionDialog" && dialog->isVisible()) {
                dialog->findChild<QComboBox *>("Reason")->setCurrentText(reason);
                dialog->findChild<QLineEdit *>("Note")->setText(note);
                dialog->accept();
            }
    });
}

} // namespace

// A month: an exclusion made through the window's dialog is saved beside
// the files, every figure follows at once and is what vorn-stats gives with
// that file; removed, the figures are back. The report lists the exclusion,
// the excluded time per day, and shades the span.
TEST_F(SeriesWindowTest, ExclusionsMadeInTheWindowAreSavedReportedAndEqualVornStats)
{
    QTemporaryDir month;
    const QStringList monthFiles = writeMonth(month);
    ASSERT_EQ(monthFiles.size(), 30);
    SeriesWindow *window = OpenSeries({ month.path() });
    ASSERT_TRUE(window);
    const QString path = month.filePath("mast exclusions.csv");
    EXPECT_EQ(window->exclusionsPath(), path);
    const std::optional<double> leqBefore = window->report().statistics.leq;
    const QStringList join = { "--join", "--intervals", "15min", "--csv" };
    const QString unexcluded = statsCsv(join + monthFiles);

    // Shift+drag chose 10:00 to 12:30 on the 3rd; the dialog takes a reason and a note.
    const int64_t from = CivilTime::civilSecondsOf(QDate(2026, 4, 3), QTime(10, 0));
    window->setSelection(double(from), double(from + 9000));
    answerExclusionDialog("rain", "shower, heavy");
    window->exclude();
    ASSERT_EQ(window->exclusions().size(), 1u);
    ASSERT_TRUE(WaitUntil([&] { return !window->exclusionsSaving(); }, 10000));
    const QByteArray saved = readAll(path);
    EXPECT_TRUE(saved.startsWith("start,end,reason,note,made\n2026-04-03T10:00:00+02:00,"
                                 "2026-04-03T12:30:00+02:00,rain,\"shower, heavy\",20"))
        << saved.toStdString();
    EXPECT_EQ(window->exclusionTable()->rowCount(), 1);
    EXPECT_EQ(window->exclusionTable()->item(0, 2)->text(), "2 h 30 min");
    EXPECT_EQ(window->exclusionTable()->item(0, 3)->text(), "rain");
    EXPECT_EQ(window->board("Readings")->text(), QString::number(30 * 1440 - 150));
    EXPECT_NE(window->report().statistics.leq, leqBefore);
    EXPECT_EQ(window->intervalsCsv(), statsCsv(join + monthFiles));
    EXPECT_EQ(window->daysCsv(),
              statsCsv(QStringList { "--join", "--lden", "--csv" } + monthFiles));
    // The 3rd is partial; the verdict's columns end the row.
    EXPECT_TRUE(window->daysCsv().contains(",yes,9000,rain=9000,not verified,,\n"));

    // The report: an exclusions page and the span shaded.
    dialogs.answerSave(month.filePath("month.pdf"));
    dialogs.answerMessage(MessageAnswer::No);
    EXPECT_EQ(window->reportCommand()->run(), month.filePath("month.pdf"));
    QProcess text;
    text.start("pdftotext", { "-layout", month.filePath("month.pdf"), "-" });
    text.waitForFinished(30000);
    const QString pdf = QString::fromUtf8(text.readAllStandardOutput());
    for (const char *expected : { "Excluded time per day", "2026/04/03 10:00:00", "2 h 30 min",
                                  "shower, heavy", "excluded: not measured, in no figure",
                                  "Excluded from every figure: 2 h 30 min (150 readings: rain" })
        EXPECT_TRUE(pdf.contains(QString::fromUtf8(expected))) << expected;

    // Edited through its dialog: the new reason, the times and when it was
    // made as they were.
    const Exclusion before = window->exclusions()[0];
    answerExclusionDialog("wind", "gusts");
    window->editExclusion(0);
    EXPECT_EQ(window->exclusions()[0].reason, ExclusionReason::Wind);
    EXPECT_EQ(window->exclusions()[0].note, "gusts");
    EXPECT_EQ(window->exclusions()[0].made, before.made);
    EXPECT_EQ(window->exclusions()[0].startText, before.startText);
    EXPECT_EQ(window->exclusionTable()->item(0, 3)->text(), "wind");

    // Shift+drag in the graph chooses a span and leaves the view where it is.
    window->resize(1000, 700);
    window->show();
    QApplication::processEvents();
    QCustomPlot *plot = window->plot();
    const QCPRange view = plot->xAxis->range();
    const QPointF a(plot->axisRect()->left() + 100, plot->axisRect()->center().y());
    const QPointF b(a.x() + 250, a.y());
    const auto mouse
        = [plot](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
              QMouseEvent event(type, at, plot->mapToGlobal(at), button, held, Qt::ShiftModifier);
              QApplication::sendEvent(plot, &event);
          };
    mouse(QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton);
    ASSERT_TRUE(window->selection());
    EXPECT_NEAR(window->selection()->first, plot->xAxis->pixelToCoord(a.x()), 1.0);
    EXPECT_NEAR(window->selection()->second, plot->xAxis->pixelToCoord(b.x()), 1.0);
    EXPECT_EQ(plot->xAxis->range(), view);

    // Removed: the file keeps its header, the figures are those without it.
    window->removeExclusion(0);
    ASSERT_TRUE(WaitUntil([&] { return !window->exclusionsSaving(); }, 10000));
    EXPECT_EQ(readAll(path), "start,end,reason,note,made\n");
    EXPECT_EQ(window->report().statistics.leq, leqBefore);
    EXPECT_EQ(window->board("Readings")->text(), QString::number(30 * 1440));
    EXPECT_EQ(window->intervalsCsv(), statsCsv(join + monthFiles));
    EXPECT_EQ(statsCsv(QStringList { "--no-exclusions" } + join + monthFiles), unexcluded);
    delete window;
}

// A file damaged by hand: the window says which line, applies the rows that
// read, and writes nothing until Save Exclusions.
// The folder's weather: its rules' spans are shaded and listed apart,
// count in every figure as vorn-stats counts them, and are never written
// into the exclusions file.
TEST_F(SeriesWindowTest, TheWeatherRulesSpansCountAsVornStatsCountsThem)
{
    write(folder.filePath("fence weather.csv"),
          "time,wind_speed,wind_gust,wind_direction,rain,temperature\n"
          "2026-06-01T10:10:00+02:00,2.0,3.0,90,0,15\n"
          "2026-06-01T10:20:00+02:00,6.4,9.0,90,0,15\n"
          "2026-06-01T10:30:00+02:00,2.0,3.0,90,1.2,15\n"
          "2026-06-01T10:40:00+02:00,2.0,3.0,90,0,15\n");
    SeriesWindow *window = OpenSeries({ folder.path() });
    ASSERT_TRUE(window);
    ASSERT_EQ(window->exclusionTable()->rowCount(), 2);
    EXPECT_EQ(window->exclusionTable()->item(0, 3)->text(), "wind");
    EXPECT_EQ(window->exclusionTable()->item(0, 4)->text(), "rule: mean wind 6.4 m/s over 5 m/s");
    EXPECT_EQ(window->exclusionTable()->item(1, 3)->text(), "rain");
    EXPECT_EQ(window->exclusionTable()->item(1, 5)->text(), "by rule");
    EXPECT_EQ(window->board("Readings")->text(), QString::number(34 * 3600 - 1200));
    const QStringList join = { "--join", "--intervals", "15min", "--csv" };
    EXPECT_EQ(window->intervalsCsv(), statsCsv(join + files));
    EXPECT_FALSE(QFile::exists(folder.filePath("fence exclusions.csv")));
    window->close();
}

// Weather imported, events and period limits typed: the noise events and
// the verdicts are vorn-stats' with the same options, recomputed at once
// when a span is excluded; a bad field is refused and keeps what it had.
TEST_F(SeriesWindowTest, NoiseEventsAndVerdictsFollowTheFieldsAsVornStatsGivesThem)
{
    QTemporaryDir elsewhere;
    const QString weather = elsewhere.filePath("site weather.csv");
    write(weather,
          "time,wind_speed,wind_gust,wind_direction,rain,temperature\n"
          "2026-06-01T08:10:00+02:00,2.0,3.0,90,0,15\n"
          "2026-06-01T08:20:00+02:00,7.5,12.0,90,0,15\n"
          "2026-06-01T08:30:00+02:00,2.0,3.0,90,0.4,15\n");
    SeriesWindow *window = OpenSeries({ folder.path() });
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->weatherPlot()->isHidden());
    dialogs.answerOpen(weather);
    QAction *import = window->findChild<QAction *>("ImportWeather");
    ASSERT_TRUE(import);
    EXPECT_FALSE(import->shortcut().isEmpty());
    import->trigger();
    EXPECT_FALSE(window->weatherPlot()->isHidden());
    EXPECT_EQ(window->exclusionTable()->rowCount(), 2); // the windy and the rainy span

    const auto type = [&](const char *name, const QString &text) {
        auto *edit = window->findChild<QLineEdit *>(name);
        ASSERT_TRUE(edit) << name;
        edit->setText(text);
        Q_EMIT edit->editingFinished();
    };
    type("EventThreshold", "53.5");
    type("PeriodLimits", "day=54,evening=50,night=48");
    const QStringList options = { "--join", "--weather", weather, "--events", "53.5",
                                  "--period-limits", "day=54,evening=50,night=48" };
    const auto tableCsv = [](QTableWidget *table, const QString &header) {
        QString csv = header + "\n";
        for (int r = 0; r < table->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells << (table->item(r, c) ? table->item(r, c)->text() : QString());
            csv += cells.join(',') + "\n";
        }
        return csv;
    };
    const auto statsTable = [&](const QString &flag, const QList<int> &columns) {
        QTemporaryDir out;
        const QString path = out.filePath("t.csv");
        statsCsv(QStringList { flag, path } + options + files);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QString csv;
        for (const QString &line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(',');
            QStringList kept;
            for (int c : columns)
                kept << fields.value(c);
            csv += kept.join(',') + "\n";
        }
        return csv;
    };
    auto *tabs = window->findChild<QTabWidget *>("SeriesTables");
    ASSERT_TRUE(tabs);
    const auto check = [&] {
        // Each table as a user sees it: its tab shown.
        tabs->setCurrentWidget(window->noiseEventTable());
        // Events: start, end, Lmax, its time, SEL, period (the window words
        // the duration and the cut mark as the text does).
        QString events = tableCsv(window->noiseEventTable(), "start,end,duration_s,lmax,lmax_time,sel,period,cut");
        QString shown;
        for (const QString &line : events.split('\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split(',');
            shown += QStringList { f[0], f[1], f[3], f[4], f[5], f[6] }.join(',') + "\n";
        }
        EXPECT_EQ(shown, statsTable("--events-csv", { 1, 2, 4, 5, 6, 7 }));
        tabs->setCurrentWidget(window->assessmentTable());
        QString verdicts;
        for (const QString &line :
             tableCsv(window->assessmentTable(), "day_start,period,leq,l90,lmax,coverage,limit,margin,verdict,deciding")
                 .split('\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split(',');
            verdicts += QStringList { f[1], f[2], f[3], f[4], f[6], f[7], f[8] }.join(',') + "\n";
        }
        EXPECT_EQ(verdicts, statsTable("--assessment-csv", { 2, 7, 8, 9, 10, 11, 12 }));
    };
    check();
    ASSERT_GT(window->noiseEventTable()->rowCount(), 0);
    ASSERT_GT(window->assessmentTable()->rowCount(), 0);

    // A span excluded by hand: both tables follow at once (the day's long
    // run is cut in two by it).
    const auto cut = [&] {
        int n = 0;
        for (int r = 0; r < window->noiseEventTable()->rowCount(); ++r)
            n += window->noiseEventTable()->item(r, 7)->text() == "cut";
        return n;
    };
    tabs->setCurrentWidget(window->noiseEventTable());
    const int cutBefore = cut();
    window->addExclusion(makeExclusion(
        CivilTime::utcOf(CivilTime::civilSecondsOf(QDate(2026, 6, 1), QTime(9, 0))),
        CivilTime::utcOf(CivilTime::civilSecondsOf(QDate(2026, 6, 1), QTime(15, 0))),
        ExclusionReason::Other, "test", "m"));
    ASSERT_TRUE(WaitUntil([&] { return !window->exclusionsSaving(); }, 10000));
    EXPECT_EQ(cut(), cutBefore + 1); // 08:30-19:00 is now 08:30-09:00 and 15:00-19:00
    check();

    // Refused: the field gets back what applies.
    dialogs.answerMessage(MessageAnswer::Ok);
    type("EventThreshold", "loud");
    EXPECT_EQ(window->findChild<QLineEdit *>("EventThreshold")->text(), "53.5");
    if (const QString dir = qEnvironmentVariable("VORN_SCREENSHOT_DIR"); !dir.isEmpty()) {
        window->resize(1400, 1000);
        window->show();
        window->showAll();
        QApplication::processEvents();
        window->grab().save(QDir(dir).filePath("series-assessment.png"));
    }
    window->close();
}

// Every action by keyboard: a shortcut each, its button a Tab stop, and
// each table one Tab stop.
TEST_F(SeriesWindowTest, EveryActionIsReachedByKeyboard)
{
    SeriesWindow *window = OpenSeries({ folder.path() });
    ASSERT_TRUE(window);
    auto *bar = window->findChild<QToolBar *>();
    ASSERT_TRUE(bar);
    QStringList keys;
    for (const char *name :
         { "WholeSeries", "ExportIntervals", "ExportDays", "Exclude", "SaveExclusions", "Report" }) {
        QAction *action = nullptr;
        for (QAction *a : bar->actions())
            if (a->objectName() == QLatin1String(name))
                action = a;
        ASSERT_TRUE(action) << name;
        EXPECT_FALSE(action->shortcut().isEmpty()) << name;
        keys << action->shortcut().toString();
        EXPECT_TRUE(bar->widgetForAction(action)->focusPolicy() & Qt::TabFocus) << name;
    }
    keys.removeDuplicates();
    EXPECT_EQ(keys.size(), 6);
    for (QTableWidget *table : window->findChildren<QTableWidget *>())
        EXPECT_FALSE(table->tabKeyNavigation()) << table->objectName().toStdString();
    window->close();
}

TEST_F(SeriesWindowTest, ADamagedExclusionsFileIsSaidAndLeftAloneUntilSaved)
{
    const QByteArray damaged = "start,end,reason,note,made\n"
                               "2026-06-01T08:00:00+02:00,2026-06-01T09:00:00+02:00,wind,,\n"
                               "2026-06-01T10:00:00+02:00,2026-06-01T11:00:00+02:00,snow,,\n";
    write(folder.filePath("fence exclusions.csv"), damaged);
    SeriesWindow *window = OpenSeries(files);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->exclusionsProblem().contains("fence exclusions.csv, line 3: the reason "
                                                     "\"snow\" is none of"));
    EXPECT_TRUE(window->findChild<QLabel *>("SeriesNotes")->text().contains("line 3"));
    EXPECT_EQ(window->exclusions().size(), 1u);
    EXPECT_EQ(window->board("Readings")->text(), QString::number(34 * 3600 - 3600));
    window->addExclusion(makeExclusion(
        CivilTime::utcOf(CivilTime::civilSecondsOf(QDate(2026, 6, 2), QTime(1, 0))),
        CivilTime::utcOf(CivilTime::civilSecondsOf(QDate(2026, 6, 2), QTime(2, 0))),
                                       ExclusionReason::Maintenance, "mast", "m"));
    QApplication::processEvents();
    EXPECT_EQ(readAll(folder.filePath("fence exclusions.csv")), damaged);
    EXPECT_TRUE(window->exclusionsUnsaved());
    EXPECT_EQ(window->board("Readings")->text(), QString::number(34 * 3600 - 7200));
    ASSERT_TRUE(window->saveExclusions());
    const ExclusionsFile again = ExclusionsCsv::read(folder.filePath("fence exclusions.csv"));
    EXPECT_TRUE(again.ok());
    EXPECT_EQ(again.rows, window->exclusions());
    delete window;
}

// The folder opened twice: window A excludes one hour for wind, window B
// another for rain. The file ends with both, and A takes in B's row, so its
// figures count both, as vorn-stats does.
TEST_F(SeriesWindowTest, TwoWindowsOnOneFolderLoseNoExclusion)
{
    SeriesWindow *a = OpenSeries(files);
    SeriesWindow *b = OpenSeries(files);
    ASSERT_TRUE(a && b);
    const auto hour = [](int day, int h, ExclusionReason reason, const char *made) {
        return makeExclusion(
            CivilTime::utcOf(CivilTime::civilSecondsOf(QDate(2026, 6, day), QTime(h, 0))),
            CivilTime::utcOf(CivilTime::civilSecondsOf(QDate(2026, 6, day), QTime(h + 1, 0))),
            reason, QString(), QString::fromLatin1(made));
    };
    a->addExclusion(hour(1, 8, ExclusionReason::Wind, "a"));
    ASSERT_TRUE(WaitUntil([&] { return !a->exclusionsSaving(); }, 10000));
    b->addExclusion(hour(1, 10, ExclusionReason::Rain, "b"));
    ASSERT_TRUE(WaitUntil([&] { return !b->exclusionsSaving(); }, 10000));
    const QString path = folder.filePath("fence exclusions.csv");
    EXPECT_EQ(ExclusionsCsv::read(path).rows.size(), 2u) << readAll(path).toStdString();
    EXPECT_EQ(b->exclusions().size(), 2u);
    // A's next save takes B's row in and says so.
    a->addExclusion(hour(1, 12, ExclusionReason::Maintenance, "a2"));
    ASSERT_TRUE(WaitUntil([&] { return !a->exclusionsSaving(); }, 10000));
    EXPECT_EQ(ExclusionsCsv::read(path).rows, a->exclusions());
    EXPECT_EQ(a->exclusions().size(), 3u);
    EXPECT_EQ(a->board("Readings")->text(), QString::number(34 * 3600 - 3 * 3600));
    EXPECT_TRUE(a->findChild<QLabel *>("SeriesNotes")->text().contains(
        "An exclusion another window or program saved is taken in"));
    delete a;
    delete b;
}

int main(int argc, char **argv)
{
    useTestZone("Europe/Berlin");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("vorn-test");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The series window on a station's folder: its figures, tables and exports
// are those of vorn-stats on the same files, its limits come from the
// station's tables or are typed and remembered, and its report is written.
#include "analysis/windows/ReportCommand.h"
#include "analysis/windows/SeriesWindow.h"
#include "recording/FormatTenths.h"
#include "support/EventWaits.h"
#include "support/MeterEmulator.h"
#include "support/ScriptedDialogs.h"
#include "ui/widgets/QCustomPlotInclude.h"
#include "ui/widgets/ValueBoard.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>

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
    const FileReport &report = window->report();
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
            rows << row.section(',', 0, -3);
        return rows;
    };
    const QString stats = statsCsv(
        QStringList { "--join", "--intervals", "20s", "--limit", "60", "--csv" } + dayFiles);
    EXPECT_EQ(levels(window->intervalsCsv()), levels(stats));
    EXPECT_TRUE(window->intervalsCsv().contains(",60,over\n"));
    delete window;
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("vorn-test");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

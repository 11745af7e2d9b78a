#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

struct ToolRun
{
    int exitCode = -1;
    QByteArray out;
    QString err;
};

ToolRun run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(120000);
    return { process.exitCode(), process.readAllStandardOutput(),
             QString::fromUtf8(process.readAllStandardError()) };
}

ToolRun stats(const QStringList &arguments)
{
    return run(QStringLiteral(VORN_STATS_PATH), arguments);
}

QString stamp(qint64 t)
{
    const qint64 day = t / 86400, s = t % 86400;
    return QStringLiteral("2013/03/%1 %2:%3:%4")
        .arg(4 + day, 2, 10, QLatin1Char('0'))
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

// A "Real Time" file from 2013/03/04 08:00:00, one reading every `step` s.
QByteArray realTime(int readings, int step, const std::function<QString(int)> &level,
                    const std::function<qint64(int)> &time = {})
{
    QByteArray bytes = "Real Time\r\n " + QByteArray::number(step)
        + " \r\nA\r\nSlow\r\n30-130\r\n98.7\r\n2013/03/04 08:00:05\r\n120.4\r\n85.3\r\n"
          "No.s\tDate Time\tdB\t\r\n";
    bytes.reserve(bytes.size() + readings * 36);
    for (int i = 0; i < readings; ++i) {
        const qint64 t = time ? time(i) : 8 * 3600 + qint64(i) * step;
        bytes += QByteArray::number(i + 1) + '\t' + stamp(t).toLatin1() + '\t' + level(i).toLatin1()
            + "\t\r\n";
    }
    return bytes;
}

// Levels that move with the hour and jump now and then, with a pause, a few
// under-range and over-range readings.
QString varied(int i)
{
    if (i >= 1000 && i < 1300)
        return QStringLiteral("66.6*");
    if (i % 997 == 5)
        return QStringLiteral("--");
    if (i % 1511 == 7)
        return i % 2 ? QStringLiteral("L") : QStringLiteral("146.3");
    const int tenths = 450 + (i * 37) % 300 + (i % 4000 < 50 ? 200 : 0);
    return QString::number(tenths / 10) + QLatin1Char('.') + QString::number(tenths % 10);
}

class ReportPdf : public ::testing::Test
{
protected:
    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QString pdf(const QStringList &inputs, const QStringList &options = {})
    {
        const QString out = dir.filePath(QStringLiteral("report%1.pdf").arg(++m_reports));
        const ToolRun r = stats(QStringList { "--pdf", out } + options + inputs);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        return out;
    }
    static QString text(const QString &pdfPath)
    {
        return QString::fromUtf8(run("pdftotext", { "-layout", pdfPath, "-" }).out);
    }
    static int pages(const QString &pdfPath)
    {
        const QString info = QString::fromUtf8(run("pdfinfo", { pdfPath }).out);
        const auto m = QRegularExpression("Pages:\\s+(\\d+)").match(info);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }
    QImage page(const QString &pdfPath, int number, int dpi)
    {
        const QString prefix = dir.filePath("page");
        run("pdftoppm",
            { "-f", QString::number(number), "-l", QString::number(number), "-r",
              QString::number(dpi), "-png", "-singlefile", pdfPath, prefix });
        return QImage(prefix + ".png");
    }

    QTemporaryDir dir;
    int m_reports = 0;
};

// The first number after a label at the start of a line of the text.
std::optional<double> figure(const QString &text, const QString &label)
{
    const QRegularExpression re(
        QStringLiteral("^\\s*%1\\s+(\\d*\\.?\\d+)\\b").arg(QRegularExpression::escape(label)),
        QRegularExpression::MultilineOption);
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toDouble();
}

// The report shows one decimal, truncated; JSON two, rounded.
void expectTruncationOf(const std::optional<double> &shown, double json, const char *what)
{
    ASSERT_TRUE(shown) << what;
    EXPECT_LE(*shown, json + 0.0051) << what;
    EXPECT_GT(*shown, json - 0.1051) << what;
}

} // namespace

TEST_F(ReportPdf, EveryFigureAgreesWithTheJsonOfTheSameFile)
{
    const QString input = file("two-hours.vorn", realTime(7200, 1, varied));
    const ToolRun json = stats({ "--json", "--intervals", "15min", input });
    ASSERT_EQ(json.exitCode, 0);
    const QJsonObject j = QJsonDocument::fromJson(json.out).array().at(0).toObject();
    const QString t = text(pdf({ input }, { "--company", "Acme Acoustics", "--name", "J. Doe" }));

    // The recomputed figures; the header's stored texts stand above them.
    const QString results = t.section("\nResults\n", 1).section("\nMethod\n", 0, 0);
    ASSERT_FALSE(results.isEmpty());
    expectTruncationOf(figure(results, "Leq"), j["leq"].toDouble(), "Leq");
    expectTruncationOf(figure(results, "SEL"), j["sel"].toDouble(), "SEL");
    expectTruncationOf(figure(results, "Lmax"), j["maximum"]["level"].toDouble(), "Lmax");
    expectTruncationOf(figure(results, "Lmin"), j["minimum"]["level"].toDouble(), "Lmin");
    const QJsonArray ln = j["ln"].toArray();
    for (const int m : { 5, 10, 50, 90, 95 })
        EXPECT_NEAR(figure(results, QStringLiteral("L%1").arg(m)).value_or(-1), ln[m].toDouble(),
                    1e-6)
            << m;
    EXPECT_EQ(figure(results, "Marked readings"), j["marked"].toDouble());
    EXPECT_EQ(figure(results, "Under-range readings"), j["under_range"].toDouble());
    EXPECT_EQ(figure(results, "Over-range readings"), j["over_range"].toDouble());
    EXPECT_EQ(figure(t, "Readings"), j["readings"].toDouble());
    EXPECT_TRUE(t.contains(
        j["maximum"]["time"].toString().left(19).replace('-', '/').replace('T', ' ')));
    EXPECT_TRUE(t.contains("Acme Acoustics"));
    EXPECT_TRUE(t.contains("J. Doe"));
    EXPECT_FALSE(t.contains("Sector"));

    // The whole L table, row by row.
    for (int row = 0; row < 10; ++row) {
        const auto m = QRegularExpression(QStringLiteral("^\\s*L\\(%1\\)((?:\\s+\\d+\\.\\d)+)\\s*$")
                                              .arg(row * 10, 2, 10, QLatin1Char('0')),
                                          QRegularExpression::MultilineOption)
                           .match(t);
        ASSERT_TRUE(m.hasMatch()) << row;
        const QStringList values = m.captured(1).split(' ', Qt::SkipEmptyParts);
        ASSERT_EQ(values.size(), 10) << row;
        for (int c = 0; c < 10; ++c)
            EXPECT_NEAR(values[c].toDouble(), ln[row * 10 + c].toDouble(), 1e-6);
    }

    // The interval table: From, To, Leq, Lmax, L10, L90 of each quarter.
    const QJsonArray intervals = j["intervals"].toArray();
    ASSERT_EQ(intervals.size(), 8);
    for (const QJsonValue &v : intervals) {
        const QJsonObject i = v.toObject();
        const QString from = i["start"].toString().left(16).replace('-', '/').replace('T', ' ');
        const auto m
            = QRegularExpression(
                  QStringLiteral("^\\s*%1\\s+\\d\\d:\\d\\d\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)")
                      .arg(QRegularExpression::escape(from)),
                  QRegularExpression::MultilineOption)
                  .match(t);
        ASSERT_TRUE(m.hasMatch()) << from.toStdString();
        expectTruncationOf(m.captured(1).toDouble(), i["leq"].toDouble(), "interval Leq");
        expectTruncationOf(m.captured(2).toDouble(), i["lmax"].toDouble(), "interval Lmax");
        EXPECT_NEAR(m.captured(3).toDouble(), i["l10"].toDouble(), 1e-6);
        EXPECT_NEAR(m.captured(4).toDouble(), i["l90"].toDouble(), 1e-6);
    }
}

TEST_F(ReportPdf, PagesFollowTheLengthAndEveryPageSaysWhereItBelongs)
{
    const auto steady = [](int i) { return QString::number(50 + i % 20) + ".0"; };
    const QString hour = pdf({ file("hour.vorn", realTime(360, 10, steady)) });
    // Summary, history, distribution, intervals.
    EXPECT_EQ(pages(hour), 4);
    // Three days: days on strips, hours on two interval pages with the day table.
    const QString days = pdf({ file("days.vorn", realTime(3 * 8640, 10, steady)) });
    EXPECT_EQ(pages(days), 5);
    const QString t = text(days);
    for (int p = 1; p <= 5; ++p)
        EXPECT_TRUE(t.contains(QStringLiteral("Page %1 of 5").arg(p))) << p;
    EXPECT_EQ(t.count("days.vorn"), 5 + 2); // every page's head, and the title and path
    EXPECT_EQ(t.count("Report date: "), 5);
    EXPECT_EQ(t.count("VORN 8.02"), 5);
    EXPECT_TRUE(t.contains("Interval levels (1 h)"));
    EXPECT_TRUE(t.contains("Lnight"));

    // Two files: one report, a section for each.
    const QString both = pdf({ dir.filePath("hour.vorn"), dir.filePath("days.vorn") });
    EXPECT_EQ(pages(both), 9);
}

TEST_F(ReportPdf, HistoryPageShowsTheTraceInsideItsAxes)
{
    const QString report = pdf({ file("trace.vorn", realTime(7200, 1, varied)) });
    const QImage image = page(report, 2, 50);
    ASSERT_FALSE(image.isNull());
    const double perMm = 50 / 25.4;
    int inside = 0, outside = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            // The trace's dark blue, not the text's grey-black.
            if (!(c.blue() > 110 && c.red() < 90 && c.blue() - c.red() > 60))
                continue;
            const double xMm = x / perMm, yMm = y / perMm;
            // The plot area of the strips: right of the level axis, inside the margins.
            if (xMm > 28 && xMm < 193 && yMm > 40 && yMm < 280)
                ++inside;
            else if (yMm > 40)
                ++outside;
        }
    }
    EXPECT_GT(inside, 500);
    EXPECT_LT(outside, 40); // only the legend's sample line
}

TEST_F(ReportPdf, EdgeFilesMakeAReportWithoutInventedNumbers)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *says;
    } cases[] = {
        { "marked.vorn", realTime(50, 1, [](int) { return QStringLiteral("70.1*"); }),
          "No reading carries a level" },
        { "one.vorn", realTime(1, 1, [](int) { return QStringLiteral("70.0"); }),
          "Leq                                                      70.0 dB" },
        { "headerless.vorn",
          QByteArray("No.s\tDate Time\tdB\t\r\n1\t2013/03/04 08:00:00\t61.0\t\r\n"
                     "2\t2013/03/04 08:00:01\t62.0\t\r\n"),
          "The file has no header" },
        { "backwards.vorn",
          realTime(
              600, 1, [](int) { return QStringLiteral("60.0"); },
              [](int i) { return 8 * 3600 + (i < 300 ? i : i - 3600); }),
          "run backwards at reading 301" },
    };
    for (const auto &c : cases) {
        const QString report = pdf({ file(c.name, c.bytes) });
        const QString t = text(report);
        EXPECT_GE(pages(report), 3) << c.name;
        EXPECT_TRUE(QString(t).simplified().contains(QString::fromLatin1(c.says).simplified()))
            << c.name << "\n"
            << t.left(3000).toStdString();
        EXPECT_FALSE(t.contains(
            QRegularExpression("\\b(inf|nan)\\b", QRegularExpression::CaseInsensitiveOption)))
            << c.name;
    }
}

// Page 1 says what the calibration checks around the file show; anything
// but "within tolerance" stands in a framed line at its top.
TEST_F(ReportPdf, TheFirstPageShowsDetailsAndTheCalibrationVerdict)
{
    const auto local = [](int hour, int minute) {
        const QDateTime t(QDate(2013, 3, 4), QTime(hour, minute));
        return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
    };
    const auto check = [&](int hour, const char *mean, const char *deviation) {
        return QStringLiteral("%1,M1,C7,94.00,%2,%2,%2,%3,0.50\n")
            .arg(local(hour, 0), mean, deviation)
            .toUtf8();
    };
    const QByteArray header = "time,meter_serial,calibrator_serial,calibrator_level,mean,lowest,"
                              "highest,deviation,tolerance\n";
    const struct
    {
        const char *folder;
        QByteArray log;
        const char *verdict;
        const char *alert;
    } cases[] = {
        { "within", header + check(7, "94.10", "0.10") + check(10, "94.30", "0.30"),
          "within tolerance", nullptr },
        { "outside", header + check(7, "94.10", "0.10") + check(10, "94.70", "0.70"),
          "outside tolerance", "Calibration outside tolerance" },
        { "none", {}, "not verified", "Calibration not verified: no check before and none after" },
    };
    for (const auto &c : cases) {
        QDir(dir.path()).mkdir(c.folder);
        const QString data = file(QStringLiteral("%1/day.vorn").arg(c.folder),
                                  realTime(600, 1, [](int) { return QStringLiteral("60.0"); }));
        if (!c.log.isEmpty())
            file(QStringLiteral("%1/calibration.csv").arg(c.folder), c.log);
        file(QStringLiteral("%1/day.vorn.json").arg(c.folder),
             "{\"site\": \"North fence\", \"meter_serial\": \"M1\"}");
        const QString first = QString::fromUtf8(
            run("pdftotext", { "-layout", "-f", "1", "-l", "1", pdf({ data }), "-" }).out);
        const QString flat = first.simplified();
        EXPECT_TRUE(flat.contains("Measurement details")) << c.folder;
        EXPECT_TRUE(flat.contains("North fence")) << c.folder;
        EXPECT_TRUE(flat.contains(QStringLiteral("Verdict %1").arg(c.verdict)))
            << c.folder << "\n"
            << first.toStdString();
        if (c.alert)
            EXPECT_TRUE(flat.contains(QLatin1String(c.alert))) << first.toStdString();
        else
            EXPECT_FALSE(flat.contains("Calibration outside") || flat.contains("not verified:"));
    }
}

TEST_F(ReportPdf, LongRecordingKeepsItsReportShort)
{
    // 348,000 readings at 1 s: four days on five day strips.
    const QString input = file("long.vorn", realTime(348000, 1, varied));
    const QString report = pdf({ input });
    EXPECT_EQ(pages(report), 7);
    EXPECT_LT(QFileInfo(report).size(), 2 * 1024 * 1024);
}

TEST_F(ReportPdf, WithJsonBothAreWrittenAndAFailedWriteIsReported)
{
    const QString input = file("short.vorn", realTime(60, 1, varied));
    const QString out = dir.filePath("both.pdf");
    const ToolRun both = stats({ "--json", "--pdf", out, input });
    EXPECT_EQ(both.exitCode, 0);
    EXPECT_TRUE(both.out.startsWith("[\n"));
    EXPECT_EQ(pages(out), 4);
    // Alone, --pdf prints nothing.
    EXPECT_TRUE(stats({ "--pdf", out, input }).out.isEmpty());

    const QString unwritable = dir.filePath("no-such-folder/report.pdf");
    const ToolRun failed = stats({ "--pdf", unwritable, input });
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.err.startsWith("vorn-stats: ")) << failed.err.toStdString();
    EXPECT_TRUE(failed.err.contains(unwritable)) << failed.err.toStdString();
    EXPECT_FALSE(QFile::exists(unwritable));
    EXPECT_EQ(stats({ "--pdf", input }).exitCode, 2); // the file name is not the output
}

TEST_F(ReportPdf, PlainRunsNeedNoReportProgram)
{
    // vorn-stats alone, without vorn-stats-report beside it.
    const QString alone = dir.filePath("alone/vorn-stats");
    QDir().mkpath(dir.filePath("alone"));
    ASSERT_TRUE(QFile::copy(VORN_STATS_PATH, alone));
    QFile(alone).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const QString input = file("plain.vorn", realTime(60, 1, varied));
    const ToolRun plain = run(alone, { "--csv", input });
    EXPECT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_TRUE(plain.out.startsWith("file,kind,readings"));
    const ToolRun report = run(alone, { "--pdf", dir.filePath("x.pdf"), input });
    EXPECT_EQ(report.exitCode, 1);
    EXPECT_TRUE(report.err.contains("vorn-stats-report")) << report.err.toStdString();
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

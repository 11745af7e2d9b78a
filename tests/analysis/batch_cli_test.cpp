#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct StatsRun
{
    int exitCode;
    QString out;
    QString err;
};

StatsRun runStats(const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(QStringLiteral(VORN_STATS_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(30000);
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
             QString::fromUtf8(process.readAllStandardError()) };
}

QByteArray realTimeFile(int readings)
{
    QByteArray bytes = "Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n61.0\r\n2013/03/04 08:00:00\r\n"
                       "95.5\r\n60.0\r\nNo.s\tDate Time\tdB\t\r\n";
    for (int i = 0; i < readings; ++i)
        bytes += QByteArray::number(i + 1)
            + "\t2013/03/04 08:00:" + QByteArray::number(i).rightJustified(2, '0') + "\t60.0\t\r\n";
    return bytes;
}

} // namespace

TEST(VornStats, ReadsStandardInputAndWritesCsvWithPoints)
{
    const StatsRun run = runStats({ "--csv", "-" }, realTimeFile(10));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty());
    const QStringList lines = run.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].startsWith("-,Real Time,10,0,0,0,1.00,60.00,70.00,60.00,"))
        << lines[1].toStdString();
}

TEST(VornStats, ExitStatusesAndMessagesNameTheFileAndLine)
{
    QTemporaryDir dir;
    const QString broken = dir.filePath("broken.vorn");
    {
        QFile f(broken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(realTimeFile(3) + "4\tno tabs after this\r\n");
    }
    const StatsRun bad = runStats({ broken });
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.startsWith("vorn-stats: " + broken + ": ")) << bad.err.toStdString();
    EXPECT_TRUE(bad.err.contains("line 14")) << bad.err.toStdString();
    EXPECT_EQ(bad.err.count('\n'), 1);

    EXPECT_EQ(runStats({ dir.filePath("missing.vorn") }).exitCode, 1);
    EXPECT_EQ(runStats({ "--intervals" }).exitCode, 2);
    const StatsRun help = runStats({ "--help" });
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: vorn-stats"));
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

TEST(VornStats, ADamagedLevelLeavesEveryFigureFiniteInEachOutput)
{
    QByteArray file = realTimeFile(5);
    file += "6\t2013/03/04 08:00:05\t3276.7*\t\r\n7\t2013/03/04 08:00:06\t3276.7\t\r\n";
    for (const QStringList &form : { QStringList { "-" }, QStringList { "--csv", "-" },
                                     QStringList { "--json", "--intervals", "1min", "-" } }) {
        const StatsRun run = runStats(form, file);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        for (const char *bad : { "inf", "nan", "-922337203685477580" })
            EXPECT_FALSE(run.out.contains(QLatin1String(bad), Qt::CaseInsensitive))
                << form.join(' ').toStdString() << ": " << run.out.toStdString();
    }
    const StatsRun text = runStats({ "-" }, file);
    EXPECT_TRUE(text.out.contains(QRegularExpression(QStringLiteral("Leq:\\s+60\\.0"))))
        << text.out.toStdString();
    // The marked one is left out as marked; the other is said to be left out.
    EXPECT_TRUE(text.out.contains(QStringLiteral("Left out: 1 readings above 200.0 dB")))
        << text.out.toStdString();
}

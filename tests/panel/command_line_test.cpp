#include "panel/CommandLine.h"

#include <QDir>

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

using Action = CommandLineRequest::Action;

TEST(CommandLine, ArgumentsGiveTheRequest)
{
    const struct
    {
        QStringList arguments;
        Action action;
        int exitCode;
        QStringList files;
        bool portGiven;
        QString port;
        QString output; // the whole output, or empty: not compared
    } cases[] = {
        { {}, Action::Run, 0, {}, false, {}, {} },
        { { "a.vorn", "dir/b.vorn" }, Action::Run, 0, { "a.vorn", "dir/b.vorn" }, false, {}, {} },
        { { "--port", "COM3" }, Action::Run, 0, {}, true, "COM3", {} },
        // The text is passed on as typed: the exact-name rule decides later.
        { { "--port=com3" }, Action::Run, 0, {}, true, "com3", {} },
        { { "--", "--odd.vorn" }, Action::Run, 0, { "--odd.vorn" }, false, {}, {} },
        { { "--version" }, Action::Print, 0, {}, false, {}, "VORN 8.02\n" },
        { { "-v" }, Action::Print, 0, {}, false, {}, "VORN 8.02\n" },
        { { "--bogus", "a.vorn" }, Action::Fail, 2, {}, false, {}, "Unknown option 'bogus'.\n" },
        { { "-x" }, Action::Fail, 2, {}, false, {}, "Unknown option 'x'.\n" },
        { { "--port" }, Action::Fail, 2, {}, false, {}, "Missing value after '--port'.\n" },
        { { "--port", "COM1", "a.vorn" }, Action::Fail, 2, {}, false, {}, {} },
    };
    for (const auto &c : cases) {
        const std::string label = c.arguments.join(' ').toStdString();
        const CommandLineRequest r
            = ParseCommandLine(QStringList { QStringLiteral("vorn") } + c.arguments, "8.02");
        EXPECT_EQ(r.action, c.action) << label;
        EXPECT_EQ(r.exitCode, c.exitCode) << label;
        if (c.action != Action::Run) {
            if (!c.output.isEmpty())
                EXPECT_EQ(r.output, c.output) << label;
            EXPECT_TRUE(r.output.endsWith('\n')) << label;
            continue;
        }
        // Files are taken against the folder the program started in.
        QStringList files;
        for (const QString &file : c.files)
            files << QDir::current().absoluteFilePath(file);
        EXPECT_EQ(r.files, files) << label;
        EXPECT_EQ(r.portGiven, c.portGiven) << label;
        EXPECT_EQ(r.port, c.port) << label;
    }
}

// A series: files with --series, or one folder alone; --series alone is a
// usage error.
TEST(CommandLine, AFolderOrSeriesOpensOneSeries)
{
    const QString folder = QDir::tempPath();
    const struct
    {
        QStringList arguments;
        Action action;
        bool series;
    } cases[] = {
        { { folder }, Action::Run, true },
        { { "--series", "a.vorn", "b.vorn" }, Action::Run, true },
        { { "a.vorn" }, Action::Run, false },
        { { folder, "a.vorn" }, Action::Run, false },
        { { "--series" }, Action::Fail, false },
    };
    for (const auto &c : cases) {
        const CommandLineRequest r
            = ParseCommandLine(QStringList { QStringLiteral("vorn") } + c.arguments, "8.02");
        EXPECT_EQ(r.action, c.action) << c.arguments.join(' ').toStdString();
        if (c.action == Action::Run)
            EXPECT_EQ(r.series, c.series) << c.arguments.join(' ').toStdString();
    }
}

TEST(CommandLine, HelpNamesTheOptionsAndTheFiles)
{
    for (const char *help : { "--help", "-h", "--help-all" }) {
        const CommandLineRequest r = ParseCommandLine({ "vorn", help }, "8.02");
        EXPECT_EQ(r.action, Action::Print) << help;
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_TRUE(r.output.startsWith("Usage: ")) << r.output.toStdString();
        for (const char *part : { "--port <port>", "--series", "--version", "files" })
            EXPECT_TRUE(r.output.contains(QLatin1String(part))) << part;
    }
}

#ifdef VORN_PROGRAM
// The program itself: help, version and a wrong option need no display and
// start no window.
TEST(CommandLine, ProgramPrintsAndEndsWithoutADisplay)
{
    const struct
    {
        QStringList arguments;
        int exitCode;
        const char *stdoutStart;
        const char *stderrText;
    } cases[] = {
        { { "--help" }, 0, "Usage: ", "" },
        { { "--version" }, 0, "VORN 8.02\n", "" },
        { { "--bogus" }, 2, "", "Unknown option 'bogus'.\n" },
    };
    for (const auto &c : cases) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(VORN_PROGRAM), c.arguments);
        ASSERT_TRUE(program.waitForFinished(10000)) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(program.readAllStandardOutput().startsWith(c.stdoutStart));
        EXPECT_EQ(program.readAllStandardError(), QByteArray(c.stderrText));
    }
}
#endif

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

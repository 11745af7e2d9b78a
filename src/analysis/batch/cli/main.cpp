#include "analysis/batch/BatchOptions.h"
#include "analysis/batch/BatchReport.h"
#include "recording/DataFileReader.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

void writeTo(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

// One pass over the file: memory does not grow with its length.
std::pair<FileReport, DataFileContents> analyseInput(const QString &name,
                                                     const BatchRequest &request)
{
    QFile in;
    bool opened = false;
    if (name == QLatin1String("-")) {
        opened = in.open(stdin, QIODevice::ReadOnly);
    } else {
        in.setFileName(name);
        opened = in.open(QIODevice::ReadOnly);
    }
    if (!opened) {
        DataFileContents failed;
        failed.problem = DataFileReader::cannotOpenMessage(name);
        return { FileReport {}, failed };
    }
    return analyseStream(name, in, request);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    const ParsedOptions parsed = parseBatchOptions(arguments);
    if (!parsed.options) {
        writeTo(stderr,
                QStringLiteral("vorn-stats: %1\nTry 'vorn-stats --help'.\n").arg(parsed.error));
        return 2;
    }
    const BatchOptions &options = *parsed.options;
    if (options.help) {
        writeTo(stdout, batchUsage());
        return 0;
    }

    int status = 0;
    std::vector<FileReport> reports;
    for (const QString &name : options.files) {
        auto [report, contents] = analyseInput(name, options.request);
        const QString problem = !contents.problem.isEmpty() ? contents.problem
            : contents.isEmpty()                            ? DataFileReader::emptyFileMessage()
                                                            : QString();
        if (!problem.isEmpty()) {
            writeTo(stderr, QStringLiteral("vorn-stats: %1: %2\n").arg(name, problem));
            status = 1;
            continue;
        }
        reports.push_back(std::move(report));
    }
    if (!reports.empty())
        writeTo(stdout, formatReports(reports, options.format));
    return status;
}

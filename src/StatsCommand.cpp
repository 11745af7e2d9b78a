#include "StatsCommand.h"

#include "analysis/records/CivilTime.h"
#include "platform/StandardStreams.h"
#ifdef VORN_HAVE_HUB
#include "hub/HubReadings.h"
#include "platform/PasswordFile.h"
#endif

#include <QFileInfo>
#include <QTemporaryDir>

std::optional<int> readStatsCommandLine(int argc, char *argv[], QStringList &arguments,
                                        StatsOptions &options)
{
    // Output is byte for byte the same on every system.
    useBinaryStandardStreams();
    arguments = programArguments(argc, argv);
    const QString program = QFileInfo(QString::fromLocal8Bit(argv[0])).baseName();
    const ParsedOptions parsed = parseStatsOptions(arguments);
    if (!parsed.options) {
        writeText(stderr,
                  QStringLiteral("vorn-stats: %1\nTry 'vorn-stats --help'.\n").arg(parsed.error));
        return 2;
    }
    options = *parsed.options;
    if (options.help) {
        writeText(stdout, statsUsage());
        return 0;
    }
    if (options.version) {
        writeText(stdout, QStringLiteral("%1 %2\n").arg(program, QStringLiteral(VORN_VERSION)));
        return 0;
    }
    return std::nullopt;
}

std::optional<int> takeHubDays(StatsOptions &options, const QTemporaryDir &days)
{
    if (options.hub.isEmpty())
        return std::nullopt;
#ifdef VORN_HAVE_HUB
    QString password;
    if (!options.hubPasswordFile.isEmpty()) {
        QString reason;
        const auto read = readPasswordFile(options.hubPasswordFile, &reason);
        if (!read) {
            writeText(stderr, QStringLiteral("vorn-stats: --hub-password-file: %1\n").arg(reason));
            return 2;
        }
        password = *read;
    }
    const auto dayOf = [](const std::optional<StatsOptions::SiteTime> &time) {
        return time
            ? std::optional(QDate::fromString(CivilTime::toIso(time->civil).left(10), Qt::ISODate))
            : std::nullopt;
    };
    const HubSeries series
        = exportHubSeries(options.hub, password, options.station.section(QLatin1Char('@'), 0, 0),
                          options.station.section(QLatin1Char('@'), 1), dayOf(options.from),
                          dayOf(options.to), days.path());
    if (!series.problem.isEmpty()) {
        writeText(stderr, QStringLiteral("vorn-stats: %1\n").arg(series.problem));
        return 1;
    }
    options.files = series.files;
    return std::nullopt;
#else
    Q_UNUSED(days);
    writeText(stderr,
              QStringLiteral("vorn-stats: this build has no hub (--hub): it was built "
                             "without SQLite and PostgreSQL\n"));
    return 2;
#endif
}

std::function<void(QString &)> hubDayNames(const StatsOptions &options, const QTemporaryDir &days)
{
    if (options.hub.isEmpty())
        return {};
    return [laidOut = days.path() + QLatin1Char('/'), hub = options.hub](QString &name) {
        if (name.startsWith(laidOut))
            name = hub + QStringLiteral(": ") + name.mid(laidOut.size());
    };
}

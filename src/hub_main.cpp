// vorn-hub: every station's readings, interval rows, events and state from
// an MQTT broker into one database, for the fleet's record and its dashboards.
#include "hub/Hub.h"
#include "platform/StopRequests.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vorn-hub"));
    const HubOptionsResult parsed = parseHubOptions(
        app.arguments().mid(1), QSysInfo::machineHostName(), QStringLiteral(VORN_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parsed.options) {
        (parsed.exitCode == 0 ? out : err) << parsed.output << Qt::flush;
        return parsed.exitCode;
    }
    watchStopRequests();
    Hub hub(*parsed.options, [&out](const QString &line) { out << line << Qt::endl; });
    const int status = hub.run([] { return stopRequested(); });
    stopFinished();
    return status;
}

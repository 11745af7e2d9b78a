// vorn-monitor: an unattended station that records the meter without a
// window (day files, interval levels, limit alarms) and reconnects by itself.
#include "station/Monitor.h"
#include "station/MonitorCheck.h"
#include "platform/SystemSerialPort.h"
#include "platform/StopRequests.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

namespace {

QString defaultStation()
{
    QString name = QSysInfo::machineHostName().section(QLatin1Char('.'), 0, 0);
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    return name.isEmpty() ? QStringLiteral("station") : name;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vorn-monitor"));
    const MonitorOptionsResult parsed = parseMonitorOptions(
        app.arguments().mid(1), defaultStation(), QStringLiteral(VORN_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parsed.options) {
        (parsed.exitCode == 0 ? out : err) << parsed.output << Qt::endl;
        return parsed.exitCode;
    }
    const MonitorOptions &options = *parsed.options;

    SystemSerialPort port;
    if (options.checkLevel)
        return runMonitorCheck(
            options, port, [&out](const QString &line) { out << line << Qt::endl; },
            [&err](const QString &line) { err << "vorn-monitor: " << line << Qt::endl; });
    Monitor monitor(options, port);
    QObject::connect(&monitor, &Monitor::line, &app,
                     [&out](const QString &text) { out << text << Qt::endl; });
    const QString refusal = monitor.station().lockFolder();
    if (!refusal.isEmpty()) {
        err << "vorn-monitor: " << refusal << Qt::endl;
        return 1;
    }

    // A closed terminal or console stops as a service manager's stop does.
    watchStopRequests();
    QTimer signals;
    QObject::connect(&signals, &QTimer::timeout, &app, [&] {
        if (!stopRequested())
            return;
        signals.stop();
        monitor.stop();
        stopFinished();
        QCoreApplication::quit();
    });
    signals.start(100);
    monitor.start();
    return app.exec();
}

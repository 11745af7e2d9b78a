// vorn-monitor: an unattended station that records the meter without a
// window (day files, interval levels, limit alarms) and reconnects by itself.
#include "station/Monitor.h"
#include "station/MonitorCheck.h"
#include "ui/core/QtSerialPort.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTextStream>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> s_stopRequested { false };

void requestStop(int)
{
    s_stopRequested = true;
}

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

    QtSerialPort port;
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

    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);
#ifdef SIGHUP
    // A closed terminal or a service manager's hang-up stops as SIGTERM does.
    std::signal(SIGHUP, requestStop);
#endif
    QTimer signals;
    QObject::connect(&signals, &QTimer::timeout, &app, [&] {
        if (!s_stopRequested)
            return;
        signals.stop();
        monitor.stop();
        QCoreApplication::quit();
    });
    signals.start(100);
    monitor.start();
    return app.exec();
}

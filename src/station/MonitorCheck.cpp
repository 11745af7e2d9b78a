#include "MonitorCheck.h"

#include "MqttPublisher.h"
#include "Station.h"
#include "analysis/output/Outputs.h"
#include "analysis/records/CivilTime.h"
#include "analysis/records/Calibration.h"
#include "link/LinkOwner.h"
#include "live/LiveMeter.h"
#include "platform/SerialPort.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {

// The first frame must come within this long, or there is no meter.
constexpr int FirstFrameMs = 3000;

} // namespace

int runMonitorCheck(const MonitorOptions &options, SerialPort &port,
                    const std::function<void(const QString &)> &say,
                    const std::function<void(const QString &)> &complain)
{
    // The folder's lock, as a monitor takes it: a running monitor or
    // recording there holds the meter.
    Station station(options, {});
    if (const QString refusal = station.lockFolder(); !refusal.isEmpty()) {
        complain(refusal);
        return 1;
    }
    QString reason;
    if (!LiveMeter::openPort(port, options.comPortNumber, &reason)) {
        complain(QStringLiteral("The meter's port %1 cannot be opened: %2")
                     .arg(options.portText, reason));
        return 1;
    }
    LinkOwner link(port);
    LiveMeter live(link);
    CalibrationCheck check(*options.checkLevel);
    bool started = false;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(200);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        switch (live.poll({}, false)) {
        case LiveMeter::Poll::Frame:
            if (!started) {
                started = true;
                clock.restart();
                say(QStringLiteral("Reading the meter for %1 s with the calibrator at %2 dB …")
                        .arg(CalibrationCheck::Seconds)
                        .arg(QString::number(*options.checkLevel, 'f', 1)));
            }
            check.add(calibrationLevelOf(live.reading()));
            break;
        case LiveMeter::Poll::Silent:
            if (started)
                check.linkLost();
            loop.quit();
            return;
        default:
            break;
        }
        if (started ? clock.elapsed() >= CalibrationCheck::Seconds * 1000
                    : clock.elapsed() >= FirstFrameMs)
            loop.quit();
    });
    poll.start();
    loop.exec();
    if (!started) {
        complain(QStringLiteral("No meter answers on %1.").arg(options.portText));
        return 1;
    }
    const CalibrationCheck::Result r = check.result();
    if (r.measured)
        say(QStringLiteral("Mean %1 dB, lowest %2 dB, highest %3 dB, deviation %4 dB from %5 dB "
                           "(%6 readings)")
                .arg(QString::number(r.mean, 'f', 2), QString::number(r.lowest, 'f', 1),
                     QString::number(r.highest, 'f', 1), signedHundredthsText(r.deviation),
                     QString::number(*options.checkLevel, 'f', 1))
                .arg(r.readings));
    if (!r.stable) {
        say(QStringLiteral("Unstable: ") + r.why + QStringLiteral(" Not logged."));
        return 1;
    }
    const CalibrationRecord record = CalibrationRecord::ofCheck(
        r, *options.checkLevel, options.tolerance, options.meterSerial, options.calibratorSerial);
    const QString log = QDir(options.folder).filePath(QLatin1String(CalibrationLog::FileName));
    if (const QString error = CalibrationLog::append(log, record); !error.isEmpty()) {
        complain(error);
        return 1;
    }
    // As the calibration window says it: a stable check outside the
    // tolerance is logged, and fails.
    const bool within = withinTolerance(r.deviation, record.tolerance);
    // The broker hears of it with the station's next run, through its spool
    // (a retained topic would keep only the last check).
    if (options.mqtt) {
        MqttPublisher publisher(*options.mqtt, options.station,
                                QDir(options.folder).filePath(MqttPublisher::spoolName(options.station)),
                                options.version, {});
        const QString error = publisher.spoolForNextRun(
            QStringLiteral("calibration"),
            QStringLiteral("{\"time\": %1, \"event\": %2, \"calibrator_level\": %3, \"mean\": "
                           "%4, \"deviation\": %5, \"tolerance\": %6, \"meter\": %7, "
                           "\"calibrator\": %8}")
                .arg(jsonString(CivilTime::toIsoWithOffset(record.time)),
                     jsonString(within ? QStringLiteral("within") : QStringLiteral("outside")),
                     QString::number(record.calibratorLevel, 'f', 1),
                     QString::number(record.mean, 'f', 2), QString::number(record.deviation, 'f', 2),
                     QString::number(record.tolerance, 'f', 2), jsonString(record.meterSerial),
                     jsonString(record.calibratorSerial))
                .toUtf8());
        if (!error.isEmpty())
            complain(error);
    }
    say(QStringLiteral("%1; logged in \"%2\".")
            .arg(stableCheckText(within), QDir::toNativeSeparators(log)));
    return within ? 0 : 1;
}

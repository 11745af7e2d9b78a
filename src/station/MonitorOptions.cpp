#include "MonitorOptions.h"

#include "analysis/engine/IntervalLevels.h"
#include "link/PortChoice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <cmath>

namespace {

const char *const Help
    = "Usage: vorn-monitor --port COMn --folder DIR [options]\n"
      "Records the meter on COMn into one data file per day in DIR, with interval\n"
      "levels and limit alarms, without a window; reconnects by itself.\n"
      "\n"
      "  --port COMn          the meter's port, COM1 to COM16\n"
      "  --folder DIR         where the day files, interval tables and events go\n"
      "  --station NAME       the station's name (letters, digits, - and _; default:\n"
      "                       the host name)\n"
      "  --interval LENGTH    a length that divides the day: 90s, 1min, 15min\n"
      "                       (default), 1h or 900 (seconds),\n"
      "                       aligned to the local clock\n"
      "  --limit SPEC         75 (all day) or 07-19=55,19-23=50,23-07=45\n"
#ifdef Q_OS_WIN
      "  --on-alarm CMD       run through cmd.exe /C on each alarm and clear\n"
      "  --mqtt URL           publish to an MQTT broker (not in this build)\n"
#else
      "  --on-alarm CMD       run through /bin/sh -c on each alarm and clear\n"
      "  --mqtt URL           publish to the broker at mqtt://HOST[:PORT] or\n"
      "                       mqtts://HOST[:PORT] (TLS), under vorn/STATION/\n"
#endif
      "  --mqtt-user NAME     the user name at the broker\n"
      "  --mqtt-password-file FILE\n"
      "                       the password, in a file only its owner may read\n"
      "  --mqtt-ca FILE       the certificate authority that signed the broker's\n"
      "                       certificate (TLS; default: the system's)\n"
      "  --weather-topic TOPIC\n"
      "                       a weather station's JSON on the broker (433 MHz\n"
      "                       receivers' keys): a row a minute to STATION weather.csv\n"
      "  --check LEVEL        one calibration check: reads the meter for 10 s with\n"
      "                       the calibrator at LEVEL dB on it, prints the result,\n"
      "                       adds a stable one to DIR/calibration.csv and exits\n"
      "                       (0 stable and within the tolerance, 1 otherwise)\n"
      "  --meter-serial S, --calibrator-serial S, --tolerance DB\n"
      "                       recorded with the check (tolerance 0.5 dB by default)\n"
      "  --config FILE        the same keys in an INI file (port=, folder=, ...);\n"
      "                       the command line wins\n"
      "  --help, --version\n"
#ifdef Q_OS_WIN
      // No service manager starts it here: the Task Scheduler does.
      "\n"
      "Examples:\n"
      "  vorn-monitor --port COM3 --folder C:\\VORN\\fence --limit 07-19=55,19-07=45\n"
      "  vorn-monitor --config C:\\VORN\\fence.conf\n"
      "To start it with Windows, make a Task Scheduler task \"At startup\" that runs\n"
      "  \"C:\\Program Files\\VORN\\bin\\vorn-monitor.exe\" --config C:\\VORN\\fence.conf\n"
      "Ctrl+C, Ctrl+Break or closing the console finishes the day file and stops.\n"
#endif
    ;

struct Keys
{
    QString port, folder, station, interval, limit, onAlarm, mqtt, mqttUser, mqttPasswordFile,
        mqttCa, weatherTopic, check, meterSerial, calibratorSerial, tolerance;
    // The keys given (as in the file: "station"), even with an empty value.
    QSet<QString> given;
};

// The options that take a value: "--NAME VALUE" on the command line, and
// "NAME = VALUE" in the configuration file, but for a calibration check.
struct Key
{
    const char *name;
    QString Keys::*member;
    bool inFile;
};
const Key ValuedKeys[] = { { "port", &Keys::port, true },
                           { "folder", &Keys::folder, true },
                           { "station", &Keys::station, true },
                           { "interval", &Keys::interval, true },
                           { "limit", &Keys::limit, true },
                           { "on-alarm", &Keys::onAlarm, true },
                           { "mqtt", &Keys::mqtt, true },
                           { "mqtt-user", &Keys::mqttUser, true },
                           { "mqtt-password-file", &Keys::mqttPasswordFile, true },
                           { "mqtt-ca", &Keys::mqttCa, true },
                           { "weather-topic", &Keys::weatherTopic, true },
                           { "check", &Keys::check, false },
                           { "meter-serial", &Keys::meterSerial, true },
                           { "calibrator-serial", &Keys::calibratorSerial, true },
                           { "tolerance", &Keys::tolerance, true } };

// The station's configuration file: values keep their text exactly, and
// only the alarm command may hold quotes.
QString readIni(const QString &path, Keys &keys)
{
    return readIniFile(path, [&keys](const QString &key, const QString &value) -> QString {
        QString Keys::*member = nullptr;
        for (const Key &k : ValuedKeys)
            if (k.inFile && key == QLatin1String(k.name))
                member = k.member;
        if (!member)
            return QStringLiteral("unknown key \"%1\"").arg(key);
        for (const QChar quote : { QLatin1Char('"'), QLatin1Char('\'') })
            if (key != QLatin1String("on-alarm") && value.size() >= 2
                && value.startsWith(quote) && value.endsWith(quote))
                return QStringLiteral("%1: quotes are not needed").arg(key);
        // The command line wins over the file.
        if (!keys.given.contains(key)) {
            keys.*member = value;
            keys.given.insert(key);
        }
        return {};
    });
}

} // namespace

QString readIniFile(const QString &path,
                    const std::function<QString(const QString &key, const QString &value)> &take)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("the config file \"%1\" cannot be read: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    QSet<QString> seen;
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        QByteArray bytes = file.readLine();
        // Notepad's byte order mark is no part of the first key.
        if (number == 1 && bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        // A file saved in another code page would turn a folder's name into
        // another folder's: refused, never guessed.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString line = utf8(bytes);
        if (utf8.hasError())
            return QStringLiteral("%1, line %2: the line is not UTF-8 text; save the file as "
                                  "UTF-8")
                .arg(QDir::toNativeSeparators(path))
                .arg(number);
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#'))
            || trimmed.startsWith(QLatin1Char(';')))
            continue;
        const auto at = [&](const QString &what) {
            return QStringLiteral("%1, line %2: %3")
                .arg(QDir::toNativeSeparators(path))
                .arg(number)
                .arg(what);
        };
        if (trimmed.startsWith(QLatin1Char('[')))
            return at(QStringLiteral("sections are not used; write the keys without \"%1\"")
                          .arg(trimmed));
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return at(QStringLiteral("\"%1\" is no key = value line").arg(trimmed));
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (seen.contains(key))
            return at(QStringLiteral("the key \"%1\" comes twice").arg(key));
        seen.insert(key);
        if (const QString problem = take(key, value); !problem.isEmpty())
            return at(problem);
    }
    return {};
}

std::optional<MqttSettings> parseMqttUrl(const QString &url)
{
    static const QRegularExpression form(
        QStringLiteral("^(mqtts?)://([A-Za-z0-9.-]+|\\[[0-9A-Fa-f:.]+\\])(?::(\\d{1,5}))?/?$"));
    const QRegularExpressionMatch m = form.match(url.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    MqttSettings settings;
    settings.url = url.trimmed();
    settings.tls = m.captured(1) == QLatin1String("mqtts");
    settings.host = m.captured(2);
    if (settings.host.startsWith(QLatin1Char('[')))
        settings.host = settings.host.mid(1, settings.host.size() - 2);
    settings.port = settings.tls ? 8883 : 1883;
    if (!m.captured(3).isEmpty()) {
        settings.port = m.captured(3).toInt();
        if (settings.port < 1 || settings.port > 65535)
            return std::nullopt;
    }
    return settings;
}

bool isValidStationName(const QString &name)
{
    static const QRegularExpression form(QStringLiteral("^[A-Za-z0-9_-]+$"));
    return form.match(name).hasMatch();
}

std::optional<int> parseMonitorInterval(const QString &text)
{
    // The forms of vorn-stats --intervals; intervals align to the clock, so
    // a length divides the day.
    const std::optional<int64_t> seconds = parseIntervalLength(text);
    if (!seconds || *seconds > 86400 || 86400 % *seconds != 0)
        return std::nullopt;
    return int(*seconds);
}

MonitorOptionsResult parseMonitorOptions(const QStringList &arguments, const QString &hostName,
                                         const QString &version)
{
    MonitorOptionsResult result;
    const auto fail = [&result](const QString &message) {
        result.exitCode = 2;
        result.output = QStringLiteral("vorn-monitor: ") + message;
        return result;
    };
    Keys given;
    QString config;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == QLatin1String("--help")) {
            result.output = QString::fromLatin1(Help);
            return result;
        }
        if (arg == QLatin1String("--version")) {
            result.output = QStringLiteral("vorn-monitor ") + version;
            return result;
        }
        bool known = false;
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        if (arg == QLatin1String("--config")) {
            const auto v = value();
            if (!v)
                return fail(QStringLiteral("--config needs a file"));
            config = *v;
            continue;
        }
        for (const Key &k : ValuedKeys) {
            if (!arg.startsWith(QLatin1String("--")) || arg.mid(2) != QLatin1String(k.name))
                continue;
            known = true;
            const auto v = value();
            if (!v)
                return fail(QStringLiteral("%1 needs a value").arg(arg));
            given.*k.member = *v;
            given.given.insert(arg.mid(2));
        }
        if (!known)
            return fail(QStringLiteral("unknown option \"%1\"; --help lists them").arg(arg));
    }
    if (!config.isEmpty()) {
        if (!QFile::exists(config))
            return fail(QStringLiteral("the config file \"%1\" does not exist").arg(config));
        if (const QString error = readIni(config, given); !error.isEmpty())
            return fail(error);
    }

    MonitorOptions options;
    options.version = version;
    if (given.port.isEmpty())
        return fail(QStringLiteral("--port is missing (COM1 to COM16)"));
    options.comPortNumber = ComPortNumberOfText(given.port, 0);
    if (options.comPortNumber == 0)
        return fail(QStringLiteral("--port \"%1\" is no port name: COM1 to COM16").arg(given.port));
    options.portText = given.port;
    if (given.folder.isEmpty())
        return fail(QStringLiteral("--folder is missing"));
    options.folder = given.folder;
    // Not given is the host's name; given empty is a mistake.
    options.station = given.given.contains(QStringLiteral("station")) ? given.station : hostName;
    if (!isValidStationName(options.station))
        return fail(
            QStringLiteral("--station \"%1\": only letters, digits, - and _").arg(options.station));
    if (given.given.contains(QStringLiteral("interval"))) {
        const auto seconds = parseMonitorInterval(given.interval);
        if (!seconds)
            return fail(QStringLiteral("--interval \"%1\": a length that divides the day, such "
                                       "as 90s, 1min, 15min, 1h or 900 (seconds)")
                            .arg(given.interval));
        options.intervalSeconds = *seconds;
    }
    if (given.given.contains(QStringLiteral("limit"))) {
        QString why;
        const auto limits = LimitSchedule::read(given.limit, why);
        if (!limits)
            return fail(QStringLiteral("--limit \"%1\": %2").arg(given.limit, why));
        options.limits = *limits;
    }
    options.onAlarm = given.onAlarm;
    if (!given.mqtt.isEmpty()) {
#ifndef VORN_HAVE_MQTT
        return fail(QStringLiteral("built without MQTT"));
#endif
        options.mqtt = parseMqttUrl(given.mqtt);
        if (!options.mqtt)
            return fail(QStringLiteral("--mqtt \"%1\": mqtt://HOST[:PORT] or mqtts://HOST[:PORT]")
                            .arg(given.mqtt));
        options.mqtt->user = given.mqttUser;
        // A password nobody would use is a mistake, not a silence.
        if (!given.mqttPasswordFile.isEmpty() && given.mqttUser.isEmpty())
            return fail(QStringLiteral("--mqtt-password-file needs --mqtt-user"));
        if (!given.mqttPasswordFile.isEmpty()) {
            QString reason;
            const auto password = readPasswordFile(given.mqttPasswordFile, &reason);
            if (!password)
                return fail(QStringLiteral("--mqtt-password-file: ") + reason);
            options.mqtt->password = *password;
        }
        if (!given.mqttCa.isEmpty()) {
            if (!QFileInfo(given.mqttCa).isReadable())
                return fail(QStringLiteral("--mqtt-ca \"%1\" cannot be read").arg(given.mqttCa));
            options.mqtt->caFile = given.mqttCa;
        }
        if (!given.weatherTopic.isEmpty()) {
            if (given.weatherTopic.contains(QLatin1Char('+'))
                || given.weatherTopic.contains(QLatin1Char('#')))
                return fail(QStringLiteral("--weather-topic \"%1\": one topic, without + or #")
                                .arg(given.weatherTopic));
            options.weatherTopic = given.weatherTopic;
        }
    } else if (!given.mqttUser.isEmpty() || !given.mqttPasswordFile.isEmpty()
               || !given.mqttCa.isEmpty() || !given.weatherTopic.isEmpty()) {
        return fail(QStringLiteral("--mqtt-user, --mqtt-password-file, --mqtt-ca and "
                                   "--weather-topic need --mqtt"));
    }
    if (!given.check.isEmpty()) {
        bool ok = false;
        const double level = given.check.toDouble(&ok);
        if (!ok || !std::isfinite(level) || level < 60.0 || level > 140.0)
            return fail(QStringLiteral("--check \"%1\": the calibrator's level, 60.0 to 140.0 dB")
                            .arg(given.check));
        options.checkLevel = level;
    }
    if (!given.tolerance.isEmpty()) {
        bool ok = false;
        options.tolerance = given.tolerance.toDouble(&ok);
        if (!ok || !std::isfinite(options.tolerance) || options.tolerance < 0.1
            || options.tolerance > 2.0)
            return fail(QStringLiteral("--tolerance \"%1\": 0.1 to 2.0 dB").arg(given.tolerance));
    }
    options.meterSerial = given.meterSerial;
    options.calibratorSerial = given.calibratorSerial;
    result.options = options;
    return result;
}

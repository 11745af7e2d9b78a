#pragma once

#include "analysis/engine/LimitSchedule.h"
#include "platform/PasswordFile.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// The broker the station publishes to. The password is read from a file
// only its owner may read; it never comes from the command line.
struct MqttSettings
{
    QString url; // as given, for messages
    QString host;
    int port = 1883;
    bool tls = false;
    QString user;
    QString password;
    QString caFile;
};

struct MonitorOptions
{
    QString portText; // "COM1"
    int comPortNumber = 0;
    QString folder;
    QString station;
    int intervalSeconds = 900;
    LimitSchedule limits;
    QString onAlarm;
    std::optional<MqttSettings> mqtt;
    // A weather station's topic on the same broker (needs mqtt).
    QString weatherTopic;
    QString version; // the program's, for the broker's device list
    // --check: one calibration check at this calibrator level, then exit.
    std::optional<double> checkLevel;
    QString meterSerial;
    QString calibratorSerial;
    double tolerance = 0.5;
};

struct MonitorOptionsResult
{
    std::optional<MonitorOptions> options;
    int exitCode = 0; // when there are no options: 0 for --help and --version
    QString output; // what to print (help, version or the one-line error)
};

// The command line (without the program name), and the INI file that
// --config names, whose keys are the options' names without the dashes;
// the command line wins. hostName is the station's default.
MonitorOptionsResult parseMonitorOptions(const QStringList &arguments, const QString &hostName,
                                         const QString &version);

// "key = value" lines and comment lines beginning with # or ;, in UTF-8.
// take() gets each key and value and says what is wrong with them, if
// anything; the error names the file, the line and the key.
QString readIniFile(const QString &path,
                    const std::function<QString(const QString &key, const QString &value)> &take);

// "mqtt://HOST[:PORT]" or "mqtts://HOST[:PORT]"; nullopt for anything else.
std::optional<MqttSettings> parseMqttUrl(const QString &url);

// Letters, digits, "-" and "_" only.
bool isValidStationName(const QString &name);
// The forms of vorn-stats --intervals ("90s", "15min", "1h", "900") of a
// length that divides the day.
std::optional<int> parseMonitorInterval(const QString &text);

#include "HubOptions.h"

#include <QMap>
#include <QRegularExpression>

namespace {

const char *const Usage
    = "Usage: vorn-hub --mqtt URL --db DATABASE [options]\n"
      "Keeps every station's readings, interval rows, events, alarms, status and details\n"
      "from an MQTT broker in a database.\n"
      "\n"
      "  --mqtt URL           the broker: mqtt://HOST[:PORT] or mqtts://HOST[:PORT]\n"
      "  --mqtt-user NAME     the broker's user name\n"
      "  --mqtt-password-file FILE\n"
      "                       the broker's password, in a file only its owner may read\n"
      "  --mqtt-ca FILE       the certificate authority of an mqtts:// broker\n"
      "  --db DATABASE        an SQLite file, or postgresql://USER@HOST[:PORT]/NAME\n"
      "  --db-password-file FILE\n"
      "                       the database's password, in a file only its owner may read\n"
      "  --keep-readings AGE  readings older than AGE go (400d, 12h); intervals, events\n"
      "                       and the rest are kept\n"
      "  --client-id ID       the hub's client id at the broker (vorn-hub-HOST)\n"
      "  --share GROUP        share the stations with other hubs of GROUP (MQTT 5)\n"
      "  --config FILE        an INI file of these options without the dashes\n"
      "  --help, --version\n";

const QStringList Keys { "mqtt", "mqtt-user", "mqtt-password-file", "mqtt-ca", "db",
                         "db-password-file", "keep-readings", "client-id", "share" };

} // namespace

std::optional<qint64> parseKeepPeriod(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,6})(d|h|min)$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch() || m.captured(1).toLongLong() == 0)
        return std::nullopt;
    const qint64 unit = m.captured(2) == QLatin1String("d") ? 86400000
        : m.captured(2) == QLatin1String("h")               ? 3600000
                                                            : 60000;
    return m.captured(1).toLongLong() * unit;
}

HubOptionsResult parseHubOptions(const QStringList &arguments, const QString &hostName,
                                 const QString &version)
{
    HubOptionsResult result;
    const auto fail = [&result](const QString &message) {
        result.exitCode = 2;
        result.output = QStringLiteral("vorn-hub: %1\nTry 'vorn-hub --help'.\n").arg(message);
        return result;
    };
    QMap<QString, QString> given;
    QString config;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == QLatin1String("--help")) {
            result.output = QString::fromLatin1(Usage);
            return result;
        }
        if (arg == QLatin1String("--version")) {
            result.output = QStringLiteral("vorn-hub %1\n").arg(version);
            return result;
        }
        if (!arg.startsWith(QLatin1String("--")))
            return fail(QStringLiteral("unexpected argument \"%1\"").arg(arg));
        const QString key = arg.mid(2);
        if (key != QLatin1String("config") && !Keys.contains(key))
            return fail(QStringLiteral("unknown option %1").arg(arg));
        if (i + 1 >= arguments.size())
            return fail(QStringLiteral("%1 needs a value").arg(arg));
        if (key == QLatin1String("config"))
            config = arguments[++i];
        else
            given[key] = arguments[++i];
    }
    if (!config.isEmpty()) {
        const QString error = readIniFile(config, [&](const QString &key, const QString &value) {
            if (!Keys.contains(key))
                return QStringLiteral("unknown key \"%1\"").arg(key);
            if (!given.contains(key))
                given[key] = value;
            return QString();
        });
        if (!error.isEmpty())
            return fail(error);
    }
    HubOptions options;
    if (!given.contains(QStringLiteral("mqtt")))
        return fail(QStringLiteral("--mqtt is needed: the broker the stations publish to"));
    const auto mqtt = parseMqttUrl(given.value(QStringLiteral("mqtt")));
    if (!mqtt)
        return fail(QStringLiteral("--mqtt: \"%1\" is no mqtt://HOST[:PORT] or mqtts://HOST[:PORT]")
                        .arg(given.value(QStringLiteral("mqtt"))));
    options.mqtt = *mqtt;
    options.mqtt.user = given.value(QStringLiteral("mqtt-user"));
    options.mqtt.caFile = given.value(QStringLiteral("mqtt-ca"));
    for (const auto &[key, target] :
         { std::pair { QStringLiteral("mqtt-password-file"), &options.mqtt.password },
           std::pair { QStringLiteral("db-password-file"), &options.databasePassword } }) {
        if (!given.contains(key))
            continue;
        QString reason;
        const auto password = readPasswordFile(given.value(key), &reason);
        if (!password)
            return fail(QStringLiteral("--%1: %2").arg(key, reason));
        *target = *password;
    }
    if (!options.mqtt.password.isEmpty() && options.mqtt.user.isEmpty())
        return fail(QStringLiteral("--mqtt-password-file needs --mqtt-user"));
    options.database = given.value(QStringLiteral("db"));
    if (options.database.isEmpty())
        return fail(QStringLiteral("--db is needed: an SQLite file or postgresql://…"));
    // A password in the address would be on the command line and in the journal.
    if (options.database.contains(QRegularExpression(QStringLiteral("^postgres(ql)?://[^/@]*:[^/@]*@"))))
        return fail(QStringLiteral("--db: give the password in --db-password-file, not in the "
                                   "address"));
    if (given.contains(QStringLiteral("keep-readings"))) {
        const auto keep = parseKeepPeriod(given.value(QStringLiteral("keep-readings")));
        if (!keep)
            return fail(QStringLiteral("--keep-readings: \"%1\" is no age such as 400d or 12h")
                            .arg(given.value(QStringLiteral("keep-readings"))));
        options.keepReadingsMs = *keep;
    }
    options.clientId = given.value(QStringLiteral("client-id"),
                                   QStringLiteral("vorn-hub-") + hostName);
    options.shareGroup = given.value(QStringLiteral("share"));
    result.options = options;
    return result;
}

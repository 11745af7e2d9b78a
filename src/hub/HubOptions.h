#pragma once

#include "station/MonitorOptions.h"

#include <QString>
#include <QStringList>

#include <optional>

struct HubOptions
{
    MqttSettings mqtt;
    QString database; // an SQLite file or postgresql://…
    QString databasePassword; // from a file, never the command line
    // Readings older than this go (intervals, events and the rest stay); 0 keeps all.
    qint64 keepReadingsMs = 0;
    QString clientId;
    // MQTT 5 shared subscriptions of this group, so that hubs share the load.
    QString shareGroup;
};

struct HubOptionsResult
{
    std::optional<HubOptions> options;
    int exitCode = 0;
    QString output;
};

// The command line (without the program name) and the INI file --config
// names, whose keys are the options' names without the dashes; the command
// line wins.
HubOptionsResult parseHubOptions(const QStringList &arguments, const QString &hostName,
                                 const QString &version);

// "400d", "12h", "90min": milliseconds; nullopt for anything else.
std::optional<qint64> parseKeepPeriod(const QString &text);

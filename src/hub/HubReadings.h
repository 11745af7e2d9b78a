#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

// A station's readings in the hub, laid out as the day files the station
// wrote (one "Real Time" file per site day, its details naming the zone and
// the first reading's offset), so that vorn-stats reads them with every
// option it has for files and finds the same figures, bit for bit.
struct HubSeries
{
    QStringList files; // in time order
    QString problem; // why nothing could be read
};

// `origin` chooses among stations of one name (their folder hash); the days
// limit the readings read, from and to included.
HubSeries exportHubSeries(const QString &database, const QString &password,
                          const QString &station, QString origin, std::optional<QDate> fromDay,
                          std::optional<QDate> toDay, const QString &folder);

#pragma once

#include "SqlDatabase.h"

#include <QByteArray>
#include <QJsonObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

// What the hub keeps of the stations' messages, in its database: readings,
// interval rows, events, alarms, status and link changes, weather rows,
// details and calibration checks per station, and its own events. Every row
// is keyed by station, origin (the host and folder hash the station's rows
// carry) and instant, so a spool replayed after an outage, or two hubs
// writing at once, neither duplicates nor loses one, whatever the order
// messages come in.
class HubStore
{
public:
    enum class Outcome {
        Stored,
        Ignored, // a topic the hub keeps nothing of (live levels, presence)
        Refused, // a message that cannot be stored: said, not dropped in silence
        DatabaseAway, // to be stored again once the database is back
    };
    struct Result
    {
        Outcome outcome = Outcome::Stored;
        QString reason;
    };
    // The hub's own events (time is the hub's clock): to its journal and table.
    using Tell = std::function<void(const QString &name, const QString &detail)>;
    using Clock = std::function<qint64()>; // milliseconds since the epoch

    HubStore(std::unique_ptr<SqlDatabase> db, Tell tell, Clock clock = {});

    // Makes the tables and views (again, harmlessly); false with the reason.
    bool prepare(QString *reason);
    // One message, committed before this returns.
    Result store(const QString &topic, const QByteArray &payload);
    // Readings (not intervals, events or the rest) older than the limit go.
    bool dropReadingsBefore(qint64 utcMs, qint64 *dropped = nullptr);
    // A row in the hub's events table (and the journal, through tell).
    void event(const QString &name, const QString &detail);

    SqlDatabase &database() { return *m_db; }

private:
    Result readings(const QString &station, const QByteArray &payload);
    Result keyedRow(const QString &station, const QString &kind, const QByteArray &payload);
    Result stateChange(const QString &station, const QString &kind, const QByteArray &payload);
    Result details(const QString &station, const QByteArray &payload);
    void noteOrigin(const QString &station, const QString &origin, const QString &host);
    Result failed(const QString &what);
    // One message's rows in one transaction, after its station's origin (from
    // the message, when it carries one) is noted: committed, or rolled back
    // and the database said to be away.
    Result transaction(const QString &what, const QString &station, const QJsonObject *from,
                       const std::function<bool()> &rows);

    std::unique_ptr<SqlDatabase> m_db;
    Tell m_tell;
    Clock m_clock;
    QSet<QString> m_knownOrigins; // "station\norigin", seen by this hub
};

#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

// The hub's database: SQLite in a file where one machine serves, PostgreSQL
// when the fleet outgrows it. Statements are written once for both
// ("$1", "$2" … in order; ON CONFLICT; BIGINT and DOUBLE PRECISION).
class SqlDatabase
{
public:
    using Values = std::vector<QVariant>;

    virtual ~SqlDatabase() = default;

    // "postgresql://…" or "postgres://…" is a PostgreSQL server (its password
    // given apart, never in the address); anything else an SQLite file.
    static bool isPostgres(const QString &target);
    // A reader (vorn-stats --hub) opens an SQLite file read-only: the hub's
    // file is the hub's user's to write.
    enum class Access { ReadWrite, ReadOnly };
    static std::unique_ptr<SqlDatabase> open(const QString &target, const QString &password,
                                             QString *error, Access access = Access::ReadWrite);

    // False with error() set when the statement failed.
    virtual bool exec(const QString &sql, const Values &values = {}) = 0;
    virtual bool select(const QString &sql, const Values &values,
                        const std::function<void(const Values &row)> &row)
        = 0;
    // The same, each value as the database's text (UTF-8; numbers as
    // digits; a null has no data): a month of readings without a copy each.
    using Texts = std::vector<QByteArrayView>;
    virtual bool selectTexts(const QString &sql, const Values &values,
                             const std::function<void(const Texts &row)> &row)
        = 0;
    virtual QString error() const = 0;
    // Whether the connection still stands (a server that went away).
    virtual bool alive() = 0;
    virtual bool postgres() const = 0;

    bool begin() { return exec(QStringLiteral("BEGIN")); }
    bool commit() { return exec(QStringLiteral("COMMIT")); }
    void rollback() { exec(QStringLiteral("ROLLBACK")); }
};

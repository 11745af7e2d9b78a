#include "SqlDatabase.h"

#include <QDir>
#include <QHash>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace {

class SqliteDatabase final : public SqlDatabase
{
public:
    ~SqliteDatabase() override
    {
        for (sqlite3_stmt *statement : std::as_const(m_statements))
            sqlite3_finalize(statement);
        if (m_db)
            sqlite3_close(m_db);
    }

    bool open(const QString &path, Access access)
    {
        const QByteArray name = QDir::toNativeSeparators(path).toUtf8();
        const int flags = access == Access::ReadOnly
            ? SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX
            : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
        if (sqlite3_open_v2(name.constData(), &m_db, flags, nullptr)
            != SQLITE_OK) {
            m_error = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db))
                           : QStringLiteral("out of memory");
            return false;
        }
        // Another hub or a reader may hold the file a moment.
        sqlite3_busy_timeout(m_db, 10000);
        if (access == Access::ReadOnly)
            return true;
        // A message is acknowledged once stored: a commit must outlive a power cut.
        return exec(QStringLiteral("PRAGMA journal_mode=WAL"), {})
            && exec(QStringLiteral("PRAGMA synchronous=FULL"), {});
    }

    bool exec(const QString &sql, const Values &values) override
    {
        sqlite3_stmt *statement = prepared(sql, values);
        if (!statement)
            return false;
        const int rc = sqlite3_step(statement);
        while (rc == SQLITE_ROW && sqlite3_step(statement) == SQLITE_ROW) { }
        return finish(statement, rc == SQLITE_DONE || rc == SQLITE_ROW);
    }

    bool select(const QString &sql, const Values &values,
                const std::function<void(const Values &)> &row) override
    {
        sqlite3_stmt *statement = prepared(sql, values);
        if (!statement)
            return false;
        const int columns = sqlite3_column_count(statement);
        Values out(static_cast<size_t>(columns));
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                switch (sqlite3_column_type(statement, c)) {
                case SQLITE_INTEGER:
                    out[size_t(c)] = qint64(sqlite3_column_int64(statement, c));
                    break;
                case SQLITE_FLOAT:
                    out[size_t(c)] = sqlite3_column_double(statement, c);
                    break;
                case SQLITE_NULL:
                    out[size_t(c)] = QVariant();
                    break;
                default:
                    out[size_t(c)] = QString::fromUtf8(
                        reinterpret_cast<const char *>(sqlite3_column_text(statement, c)),
                        sqlite3_column_bytes(statement, c));
                }
            }
            row(out);
        }
        return finish(statement, rc == SQLITE_DONE);
    }

    bool selectTexts(const QString &sql, const Values &values,
                     const std::function<void(const Texts &)> &row) override
    {
        sqlite3_stmt *statement = prepared(sql, values);
        if (!statement)
            return false;
        Texts out(static_cast<size_t>(sqlite3_column_count(statement)));
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            for (size_t c = 0; c < out.size(); ++c) {
                const auto *text
                    = reinterpret_cast<const char *>(sqlite3_column_text(statement, int(c)));
                out[c] = QByteArrayView(text, text ? sqlite3_column_bytes(statement, int(c)) : 0);
            }
            row(out);
        }
        return finish(statement, rc == SQLITE_DONE);
    }

    QString error() const override { return m_error; }
    bool alive() override { return m_db != nullptr; }
    bool postgres() const override { return false; }

private:
    sqlite3_stmt *prepared(const QString &sql, const Values &values)
    {
        sqlite3_stmt *&statement = m_statements[sql];
        if (!statement) {
            const QByteArray text = sql.toUtf8();
            if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &statement, nullptr)
                != SQLITE_OK) {
                m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
                m_statements.remove(sql);
                return nullptr;
            }
            // Statements of many rows are made once per row count; only the
            // usual ones are worth keeping.
            if (m_statements.size() > 200) {
                for (sqlite3_stmt *old : std::as_const(m_statements))
                    if (old != statement)
                        sqlite3_finalize(old);
                m_statements.clear();
                m_statements.insert(sql, statement);
            }
        }
        for (size_t i = 0; i < values.size(); ++i) {
            const QVariant &v = values[i];
            const int at = int(i) + 1;
            if (v.isNull())
                sqlite3_bind_null(statement, at);
            else if (v.typeId() == QMetaType::Double)
                sqlite3_bind_double(statement, at, v.toDouble());
            else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int
                     || v.typeId() == QMetaType::Bool)
                sqlite3_bind_int64(statement, at, v.toLongLong());
            else {
                const QByteArray text = v.toString().toUtf8();
                sqlite3_bind_text(statement, at, text.constData(), int(text.size()),
                                  SQLITE_TRANSIENT);
            }
        }
        return statement;
    }

    bool finish(sqlite3_stmt *statement, bool ok)
    {
        if (!ok)
            m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        return ok;
    }

    sqlite3 *m_db = nullptr;
    QHash<QString, sqlite3_stmt *> m_statements;
    QString m_error;
};

class PostgresDatabase final : public SqlDatabase
{
public:
    ~PostgresDatabase() override
    {
        if (m_conn)
            PQfinish(m_conn);
    }

    bool open(const QString &url, const QString &password)
    {
        const QByteArray dbname = url.toUtf8();
        const QByteArray secret = password.toUtf8();
        const char *keys[] = { "dbname", password.isEmpty() ? nullptr : "password",
                               "connect_timeout", nullptr, nullptr };
        const char *values[] = { dbname.constData(), secret.constData(), "10", nullptr, nullptr };
        if (password.isEmpty()) {
            keys[1] = "connect_timeout";
            values[1] = "10";
            keys[2] = nullptr;
        }
        m_conn = PQconnectdbParams(keys, values, 1);
        if (PQstatus(m_conn) != CONNECTION_OK) {
            m_error = QString::fromUtf8(PQerrorMessage(m_conn)).simplified();
            return false;
        }
        // The hub's own notices (a table that already exists) are no news.
        PQsetNoticeProcessor(m_conn, [](void *, const char *) { }, nullptr);
        return true;
    }

    bool exec(const QString &sql, const Values &values) override
    {
        PGresult *result = run(sql, values);
        const bool ok = result
            && (PQresultStatus(result) == PGRES_COMMAND_OK
                || PQresultStatus(result) == PGRES_TUPLES_OK);
        note(result, ok);
        return ok;
    }

    bool select(const QString &sql, const Values &values,
                const std::function<void(const Values &)> &row) override
    {
        PGresult *result = run(sql, values);
        const bool ok = result && PQresultStatus(result) == PGRES_TUPLES_OK;
        if (ok) {
            const int rows = PQntuples(result);
            const int columns = PQnfields(result);
            Values out(static_cast<size_t>(columns));
            for (int r = 0; r < rows; ++r) {
                for (int c = 0; c < columns; ++c) {
                    if (PQgetisnull(result, r, c)) {
                        out[size_t(c)] = QVariant();
                        continue;
                    }
                    const char *text = PQgetvalue(result, r, c);
                    switch (PQftype(result, c)) {
                    case 20: // int8
                    case 21: // int2
                    case 23: // int4
                        out[size_t(c)] = QByteArray(text).toLongLong();
                        break;
                    case 700: // float4
                    case 701: // float8
                    case 1700: // numeric
                        out[size_t(c)] = QByteArray(text).toDouble();
                        break;
                    default:
                        out[size_t(c)] = QString::fromUtf8(text, PQgetlength(result, r, c));
                    }
                }
                row(out);
            }
        }
        note(result, ok);
        return ok;
    }

    bool selectTexts(const QString &sql, const Values &values,
                     const std::function<void(const Texts &)> &row) override
    {
        // Row by row: a month of readings is never held whole.
        std::vector<QByteArray> texts;
        std::vector<const char *> pointers;
        parameters(values, texts, pointers);
        const QByteArray text = sql.toUtf8();
        if (!PQsendQueryParams(m_conn, text.constData(), int(values.size()), nullptr,
                               pointers.data(), nullptr, nullptr, 0)
            || !PQsetSingleRowMode(m_conn)) {
            m_error = QString::fromUtf8(PQerrorMessage(m_conn)).simplified();
            return false;
        }
        bool ok = true;
        while (PGresult *result = PQgetResult(m_conn)) {
            const ExecStatusType status = PQresultStatus(result);
            if (status == PGRES_SINGLE_TUPLE) {
                Texts out(static_cast<size_t>(PQnfields(result)));
                for (size_t c = 0; c < out.size(); ++c)
                    out[c] = PQgetisnull(result, 0, int(c))
                        ? QByteArrayView()
                        : QByteArrayView(PQgetvalue(result, 0, int(c)),
                                         PQgetlength(result, 0, int(c)));
                row(out);
            } else if (status != PGRES_TUPLES_OK) {
                ok = false;
                m_error = QString::fromUtf8(PQresultErrorMessage(result)).simplified();
            }
            PQclear(result);
        }
        return ok;
    }

    QString error() const override { return m_error; }
    bool alive() override
    {
        if (PQstatus(m_conn) == CONNECTION_OK)
            return true;
        PQreset(m_conn);
        return PQstatus(m_conn) == CONNECTION_OK;
    }
    bool postgres() const override { return true; }

private:
    static void parameters(const Values &values, std::vector<QByteArray> &texts,
                           std::vector<const char *> &pointers)
    {
        texts.reserve(values.size());
        for (const QVariant &v : values) {
            if (v.isNull()) {
                texts.emplace_back();
                pointers.push_back(nullptr);
                continue;
            }
            // Numbers with a point, and all digits a double needs.
            texts.push_back(v.typeId() == QMetaType::Double ? QByteArray::number(v.toDouble(), 'g', 17)
                                : v.typeId() == QMetaType::Bool ? QByteArray(v.toBool() ? "1" : "0")
                                                                 : v.toString().toUtf8());
            pointers.push_back(texts.back().constData());
        }
    }

    PGresult *run(const QString &sql, const Values &values)
    {
        std::vector<QByteArray> texts;
        std::vector<const char *> pointers;
        parameters(values, texts, pointers);
        const QByteArray text = sql.toUtf8();
        return PQexecParams(m_conn, text.constData(), int(values.size()), nullptr,
                            pointers.data(), nullptr, nullptr, 0);
    }

    void note(PGresult *result, bool ok)
    {
        if (!ok)
            m_error = QString::fromUtf8(result ? PQresultErrorMessage(result)
                                               : PQerrorMessage(m_conn))
                          .simplified();
        PQclear(result);
    }

    PGconn *m_conn = nullptr;
    QString m_error;
};

} // namespace

bool SqlDatabase::isPostgres(const QString &target)
{
    return target.startsWith(QLatin1String("postgresql://"))
        || target.startsWith(QLatin1String("postgres://"));
}

std::unique_ptr<SqlDatabase> SqlDatabase::open(const QString &target, const QString &password,
                                               QString *error, Access access)
{
    if (isPostgres(target)) {
        auto db = std::make_unique<PostgresDatabase>();
        if (db->open(target, password))
            return db;
        *error = db->error();
        return nullptr;
    }
    auto db = std::make_unique<SqliteDatabase>();
    if (db->open(target, access))
        return db;
    *error = db->error();
    return nullptr;
}

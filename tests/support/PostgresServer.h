#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

// A PostgreSQL cluster of the test's own, made with initdb in a temporary
// folder and run on a free loopback port; as the user postgres when the test
// runs as root, since the server refuses to run as root.
class PostgresServer
{
public:
    static QString tool(const QString &name)
    {
        QStringList folders = QDir(QStringLiteral("/usr/lib/postgresql"))
                                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (QString &folder : folders)
            folder = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(folder);
        return QStandardPaths::findExecutable(name, folders).isEmpty()
            ? QStandardPaths::findExecutable(name)
            : QStandardPaths::findExecutable(name, folders);
    }
    static bool available() { return !tool(QStringLiteral("initdb")).isEmpty(); }

    bool start()
    {
        if (!m_folder.isValid())
            return false;
        QFile::setPermissions(m_folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                   | QFileDevice::ExeOwner);
        if (::getuid() == 0) {
            const passwd *postgres = ::getpwnam("postgres");
            if (!postgres
                || ::chown(m_folder.path().toLocal8Bit().constData(), postgres->pw_uid,
                           postgres->pw_gid)
                    != 0)
                return false;
        }
        if (run(tool(QStringLiteral("initdb")),
                { "-D", data(), "-U", "postgres", "--auth=trust", "-E", "UTF8", "--no-sync" })
            != 0)
            return false;
        // A port another program took is tried again elsewhere.
        for (int attempt = 0; attempt < 10; ++attempt) {
            m_port = 20000 + int(QRandomGenerator::global()->bounded(40000));
            if (resume())
                return true;
        }
        return false;
    }
    bool resume()
    {
        return run(tool(QStringLiteral("pg_ctl")),
                   { "-D", data(), "-l", m_folder.filePath("log"), "-w", "-o",
                     QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                         .arg(m_port)
                         .arg(m_folder.path()),
                     "start" })
            == 0;
    }
    void stop() { run(tool(QStringLiteral("pg_ctl")), { "-D", data(), "-m", "fast", "-w", "stop" }); }
    ~PostgresServer() { stop(); }
    QString url() const
    {
        return QStringLiteral("postgresql://postgres@127.0.0.1:%1/postgres").arg(m_port);
    }
    QString log() const
    {
        QFile file(m_folder.filePath("log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    QString data() const { return m_folder.filePath("data"); }
    int run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (::getuid() == 0)
            process.start(QStringLiteral("runuser"),
                          QStringList { "-u", "postgres", "--", program } + arguments);
        else
            process.start(program, arguments);
        process.waitForFinished(60000);
        m_output += QString::fromUtf8(process.readAll());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QTemporaryDir m_folder;
    QString m_output;
    int m_port = 0;
};

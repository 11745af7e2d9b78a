#pragma once

#include "EventWaits.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QString>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

// A mosquitto broker of the test's own on a free loopback port.
class Broker
{
public:
    explicit Broker(const QString &folder, const QString &extra = {})
        : m_folder(folder)
        , m_extra(extra)
    {
    }
    ~Broker() { stop(); }
    static QString userName()
    {
#ifdef Q_OS_UNIX
        if (const passwd *me = ::getpwuid(::getuid()))
            return QString::fromLocal8Bit(me->pw_name);
#endif
        return QStringLiteral("mosquitto");
    }
    static bool available()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("mosquitto"), { "/usr/sbin" })
                    .isEmpty()
            && !QStandardPaths::findExecutable(QStringLiteral("mosquitto_sub")).isEmpty();
    }
    bool start(int port = 0)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            m_port = port ? port : 20000 + int(QRandomGenerator::global()->bounded(40000));
            QFile conf(QDir(m_folder).filePath("broker.conf"));
            if (!conf.open(QIODevice::WriteOnly))
                return false;
            // Run as root, the broker would turn into a user that cannot read
            // the test's private folder.
            conf.write(QStringLiteral("listener %1 127.0.0.1\nlog_dest stderr\nuser %2\n%3\n")
                           .arg(m_port)
                           .arg(userName())
                           .arg(m_extra.isEmpty() ? "allow_anonymous true" : m_extra)
                           .toUtf8());
            conf.close();
            m_log.clear();
            m_process.setProcessChannelMode(QProcess::MergedChannels);
            m_process.start(QStandardPaths::findExecutable("mosquitto", { "/usr/sbin" }),
                            { "-c", conf.fileName() });
            if (WaitUntil(
                    [&] {
                        m_log += QString::fromUtf8(m_process.readAll());
                        return m_log.contains("running")
                            || m_process.state() == QProcess::NotRunning;
                    },
                    3000)
                && m_process.state() == QProcess::Running)
                return true;
            m_process.kill();
            m_process.waitForFinished();
            m_log += QString::fromUtf8(m_process.readAll())
                + QStringLiteral(" (exit %1)\n").arg(m_process.exitCode());
            if (port)
                return false;
        }
        return false;
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    int port() const
    {
        return m_port;
    }
    QString log() const
    {
        return m_log;
    }
    QString url() const
    {
        return QStringLiteral("mqtt://127.0.0.1:%1").arg(m_port);
    }

private:
    QString m_folder;
    QString m_extra;
    QProcess m_process;
    QString m_log;
    int m_port = 0;
};

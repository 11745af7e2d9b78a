#include "EmulatorSession.h"

#include "ui/core/Delay.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#ifndef VORN_METER_EMULATOR
#define VORN_METER_EMULATOR ""
#endif

QString EmulatorSession::program()
{
    const QString fromEnv = qEnvironmentVariable("VORN_METER_EMULATOR");
    const QString path = fromEnv.isEmpty() ? QStringLiteral(VORN_METER_EMULATOR) : fromEnv;
    return QFileInfo(path).isExecutable() ? path : QString();
}

EmulatorSession::~EmulatorSession()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }
}

bool EmulatorSession::start(const QStringList &extraArguments, QString *why)
{
    if (!m_dir.isValid()) {
        *why = QStringLiteral("no temporary folder");
        return false;
    }
    qputenv("VORN_PORTS_DIR", m_dir.path().toLocal8Bit());
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program(),
                    QStringList { QStringLiteral("--port"), QStringLiteral("COM1"),
                                  QStringLiteral("--record"),
                                  m_dir.filePath(QStringLiteral("received.txt")) }
                        + extraArguments);
    if (!m_process.waitForStarted(5000)) {
        *why = QStringLiteral("emulator did not start: ") + m_process.errorString();
        return false;
    }
    const QString link = m_dir.filePath(QStringLiteral("COM1"));
    if (!WaitFor([&] { return QFileInfo::exists(link); }, 5000)) {
        *why = QStringLiteral("no COM1 link appeared");
        return false;
    }
    return true;
}

bool EmulatorSession::control(const QString &command)
{
    QFile fifo(m_dir.filePath(QStringLiteral("COM1.control")));
    if (!fifo.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray line = command.toUtf8() + '\n';
    return fifo.write(line) == line.size();
}

QByteArray EmulatorSession::received() const
{
    QFile file(m_dir.filePath(QStringLiteral("received.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().simplified().split(' ');
        for (qsizetype i = 1; i < fields.size(); ++i) // field 0 is the time
            bytes.append(char(fields[i].toUInt(nullptr, 16)));
    }
    return bytes;
}

bool WaitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        Delay(0.02);
    }
    return true;
}

Watch::Watch(std::function<bool()> condition, std::function<void()> whenSeen)
    : m_condition(std::move(condition))
    , m_whenSeen(std::move(whenSeen))
{
    m_clock.start();
    m_timer.setInterval(20);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_condition()) {
            m_seenAtMs = m_clock.elapsed();
            m_timer.stop();
            if (m_whenSeen)
                m_whenSeen();
        }
    });
    m_timer.start();
}

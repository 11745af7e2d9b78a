#include "MeterEmulator.h"

#include "EventWaits.h"

#include <QFile>
#include <QFileInfo>

#ifndef VORN_METER_EMULATOR
#define VORN_METER_EMULATOR ""
#endif

QString MeterEmulator::program()
{
    const QString fromEnv = qEnvironmentVariable("VORN_METER_EMULATOR");
    const QString path = fromEnv.isEmpty() ? QStringLiteral(VORN_METER_EMULATOR) : fromEnv;
    return QFileInfo(path).isExecutable() ? path : QString();
}

MeterEmulator::~MeterEmulator()
{
    stop();
}

bool MeterEmulator::start(const QStringList &extraArguments, QString *why)
{
    if (!m_dir.isValid()) {
        *why = QStringLiteral("no temporary folder");
        return false;
    }
    qputenv("VORN_PORTS_DIR", m_dir.path().toLocal8Bit());
    // Its complaints about commands belong in the test log.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program(),
                    QStringList { QStringLiteral("--port"), QStringLiteral("COM1"),
                                  QStringLiteral("--record"),
                                  m_dir.filePath(QStringLiteral("received.txt")) }
                        + extraArguments);
    if (!m_process.waitForStarted(5000)) {
        *why = QStringLiteral("the emulator did not start: ") + m_process.errorString();
        return false;
    }
    const QString link = m_dir.filePath(QStringLiteral("COM1"));
    if (!WaitUntil([&] { return QFileInfo::exists(link); }, 5000)) {
        *why = QStringLiteral("no COM1 link appeared");
        return false;
    }
    return true;
}

bool MeterEmulator::control(const QString &command)
{
    QFile fifo(m_dir.filePath(QStringLiteral("COM1.control")));
    if (!fifo.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray line = command.toUtf8() + '\n';
    return fifo.write(line) == line.size();
}

QByteArray MeterEmulator::received() const
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

bool MeterEmulator::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
    return m_process.state() == QProcess::NotRunning;
}

QString MeterEmulator::output()
{
    m_output += QString::fromUtf8(m_process.readAllStandardOutput());
    return m_output;
}

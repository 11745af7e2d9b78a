#include "SamplingExchange.h"

#include "link/MeterReply.h"
#include "ui/core/Delay.h"
#include "ui/core/SerialPort.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

constexpr double ReplyStep = 0.02;
constexpr double CommandSettleTime = 0.02;
constexpr int Retries = 5;
constexpr qint64 AllTriesMs = 2000;
// Each try gets an equal share of the two seconds to collect its reply, so
// that a slow meter is not asked again before it could answer.
constexpr qint64 OneTryMs = AllTriesMs / (Retries + 1);

} // namespace

std::optional<int> ReadMeterSampleTime(SerialPort &port)
{
    QElapsedTimer sinceFirstTry;
    sinceFirstTry.start();
    for (int attempt = 0; attempt <= Retries && sinceFirstTry.elapsed() < AllTriesMs; ++attempt) {
        const qint64 tryEndsMs = std::min(sinceFirstTry.elapsed() + OneTryMs, AllTriesMs);
        port.discardInput();
        port.write(QByteArrayLiteral("J"));
        QByteArray reply;
        do {
            Delay(ReplyStep);
            reply = SkipLeadingLiveFrames(reply + port.readAll());
        } while (reply.size() < 2 && sinceFirstTry.elapsed() < tryEndsMs);
        if (reply.size() >= 2)
            return quint8(reply.at(0)) * 256 + quint8(reply.at(1));
    }
    return std::nullopt;
}

QByteArray SetSampleTimeCommand(int seconds)
{
    QByteArray command("C");
    command.append(char(seconds / 256));
    command.append(char(seconds % 256));
    return command;
}

void WriteMeterSampleTime(SerialPort &port, int seconds)
{
    port.write(SetSampleTimeCommand(seconds));
    Delay(CommandSettleTime);
}

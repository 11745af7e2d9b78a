#include "SamplingExchange.h"

#include "link/MeterLink.h"
#include "link/MeterReply.h"
#include "platform/Delay.h"
#include "platform/SerialPort.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

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
        SendCommand(port, 'J');
        QByteArray reply;
        do {
            Delay(LinkTiming::FrameWaitStep);
            reply = SkipLeadingLiveFrames(reply + port.readAll());
        } while (reply.size() < 2 && sinceFirstTry.elapsed() < tryEndsMs);
        if (reply.size() >= 2)
            return quint8(reply.at(0)) * 256 + quint8(reply.at(1));
    }
    return std::nullopt;
}

QByteArray SampleTimeBytes(int seconds)
{
    QByteArray bytes;
    bytes.append(char(seconds / 256));
    bytes.append(char(seconds % 256));
    return bytes;
}

void WriteMeterSampleTime(SerialPort &port, int seconds)
{
    SendCommand(port, 'C', SampleTimeBytes(seconds));
    Delay(LinkTiming::CommandSettle);
}

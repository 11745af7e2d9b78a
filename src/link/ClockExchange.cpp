#include "ClockExchange.h"

#include "MeterReply.h"
#include "platform/Delay.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

constexpr int ClockReplyLength = 6;
// Steps of the frame wait that one "I" gets for its reply.
constexpr int ClockReplySteps = 3;

} // namespace

QString ClockFieldText(quint8 byte)
{
    const QString hex = QString::number(byte, 16).toUpper();
    const bool allDecimal
        = std::all_of(hex.cbegin(), hex.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return allDecimal ? hex.rightJustified(2, u'0') : hex;
}

QString ClockTextFromReply(const QByteArray &reply)
{
    const auto field = [&reply](int index) { return ClockFieldText(quint8(reply.at(index))); };
    return QStringLiteral("20") + field(5) + u'/' + field(4) + u'/' + field(3) + u' ' + field(2)
        + u':' + field(1) + u':' + field(0);
}

quint8 ToBcd(int value)
{
    return quint8(((value / 10) % 10) << 4 | (value % 10));
}

QByteArray ClockBytes(const QDateTime &time)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    QByteArray bytes;
    for (const int field : { clock.second(), clock.minute(), clock.hour(), date.day(), date.month(),
                             date.year() % 100 })
        bytes.append(char(ToBcd(field)));
    return bytes;
}

std::optional<QString> ReadMeterClock(SerialPort &port, const StopRequested &stop)
{
    QElapsedTimer since;
    since.start();
    const auto stopped
        = [&] { return (stop && stop()) || since.elapsed() >= LinkTiming::SilenceLimitMs; };
    while (!stopped()) {
        port.discardInput();
        SendCommand(port, 'I');
        // A live frame already under way comes first and is passed over; the
        // reply gets a few more steps to follow it.
        QByteArray reply;
        for (int step = 0; step < ClockReplySteps && !stopped(); ++step) {
            Delay(LinkTiming::FrameWaitStep);
            reply = SkipLeadingLiveFrames(reply + port.readAll());
            if (reply.size() >= ClockReplyLength)
                return ClockTextFromReply(reply);
        }
    }
    return std::nullopt;
}

bool SetMeterClock(SerialPort &port, const QDateTime &time)
{
    const bool written = SendCommand(port, 'B', ClockBytes(time));
    Delay(LinkTiming::CommandSettle);
    return written;
}

#include "MeterLink.h"

#include "LiveFrame.h"
#include "platform/Delay.h"

#include <QElapsedTimer>

namespace {

bool stopNow(const StopRequested &stop)
{
    return stop && stop();
}

// A port whose device went away is reopened at most once per call; false
// while it is still gone.
bool portUsable(SerialPort &port)
{
    return !port.isLost() || port.reopen();
}

} // namespace

QByteArray HandshakeAcknowledgement()
{
    return QByteArray("\x02\xFF\xFF\xFF\xFF\x03", FrameLength);
}

bool SendCommand(SerialPort &port, char letter, const QByteArray &args)
{
    return port.write(QByteArray(1, letter) + args);
}

std::optional<QByteArray> ReadLiveFrame(SerialPort &port, const StopRequested &stop)
{
    for (;;) {
        port.discardInput();
        // 100 steps of 0.01 s, counted by the clock as well: on a busy machine
        // a step takes longer, and the meter must not seem to live longer.
        QElapsedTimer waiting;
        waiting.start();
        const auto silent = [&](int steps) {
            return steps >= LinkTiming::LivePollLimit
                || waiting.elapsed() >= LinkTiming::SilenceLimitMs;
        };
        int steps = 0;
        while (!silent(steps) && port.bytesWaiting() < FrameLength) {
            if (port.isLost() || stopNow(stop))
                return std::nullopt;
            Delay(LinkTiming::LivePollStep);
            ++steps;
        }
        if (port.bytesWaiting() < FrameLength) {
            port.discardInput();
            return std::nullopt;
        }
        const QByteArray frame = LastSixBytes(port.readAll());
        if (FrameIsValid(frame))
            return frame;
    }
}

bool MeterHandshake(SerialPort &port, const StopRequested &stop, int limitMs)
{
    const QByteArray acknowledgement = HandshakeAcknowledgement();
    QElapsedTimer since;
    since.start();
    const auto timedOut = [&] { return limitMs >= 0 && since.elapsed() >= limitMs; };
    for (;;) {
        portUsable(port);
        port.discardInput();
        QByteArray received;
        do {
            if (stopNow(stop) || timedOut())
                return false;
            if (port.isLost())
                portUsable(port);
            SendCommand(port, 'A');
            // "A" goes out again every 0.2 s, but the acknowledgement is taken
            // as soon as it is there: a key then reaches the meter at once.
            QElapsedTimer sinceA;
            sinceA.start();
            while (sinceA.elapsed() < qint64(LinkTiming::HandshakeResend * 1000)) {
                received += port.readAll();
                if (LastSixBytes(received) == acknowledgement)
                    return true;
                if (stopNow(stop))
                    return false;
                Delay(LinkTiming::LivePollStep);
            }
            received += port.readAll();
        } while (received.size() < FrameLength);
        if (LastSixBytes(received) == acknowledgement)
            return true;
    }
}

bool AwaitValidFrame(SerialPort &port, const StopRequested &stop, int limitMs)
{
    QElapsedTimer since;
    since.start();
    const auto timedOut = [&] { return limitMs >= 0 && since.elapsed() >= limitMs; };
    for (;;) {
        if (stopNow(stop) || timedOut())
            return false;
        if (!portUsable(port)) {
            Delay(LinkTiming::ReopenPause);
            continue;
        }
        port.discardInput();
        while (!port.isLost() && port.bytesWaiting() < FrameLength) {
            if (stopNow(stop) || timedOut())
                return false;
            Delay(LinkTiming::FrameWaitStep);
        }
        if (port.isLost())
            continue;
        if (FrameIsValid(LastSixBytes(port.readAll())))
            return true;
    }
}

bool PressKey(SerialPort &port, KeyCode code, const StopRequested &stop)
{
    if (!MeterHandshake(port, stop, LinkTiming::SilenceLimitMs))
        return false;
    return SendCommand(port, 'K', QByteArray("\x00\x00", 2) + char(static_cast<uint8_t>(code)));
}

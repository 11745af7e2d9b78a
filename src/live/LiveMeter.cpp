#include "LiveMeter.h"

#include "LinkLostRecovery.h"
#include "link/LinkOwner.h"
#include "link/LiveFrame.h"
#include "recording/SampleTick.h"
#include "platform/SerialPort.h"

LiveMeter::LiveMeter(LinkOwner &link)
    : m_link(link)
{
}

bool LiveMeter::openPort(SerialPort &port, int comPortNumber, QString *reason)
{
    if (port.isOpen() || port.open(comPortNumber))
        return true;
    if (reason)
        *reason = port.errorString();
    return false;
}

LiveMeter::Poll LiveMeter::poll(const StopRequested &stop, bool mayRecover)
{
    const bool recovering = m_link.lost();
    if (recovering && !mayRecover)
        return Poll::Busy;
    // Another exchange holds the link (this poll may run inside its wait):
    // reading now would swallow its reply.
    auto hold = m_link.tryHold(recovering ? Exchange::Recovery : Exchange::Poll);
    if (!hold)
        return Poll::Busy;
    if (recovering) {
        const bool back = TryRecoverLink(hold->port(), stop);
        hold.reset();
        if (stop && stop())
            return Poll::Stopped;
        if (!back)
            return Poll::StillLost;
        m_link.setLinkBack();
        return Poll::Back;
    }
    const std::optional<QByteArray> frame = ReadLiveFrame(hold->port(), stop);
    if (stop && stop())
        return Poll::Stopped;
    if (!frame) {
        hold->meterSilent();
        return Poll::Silent;
    }
    hold.reset();
    m_sinceFrame.start();
    DecodeLiveFrame(*frame, m_reading);
    m_hasReading = true;
    return Poll::Frame;
}

qint64 LiveMeter::frameAgeMs() const
{
    return m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : -1;
}

bool LiveMeter::readingIsFresh() const
{
    return m_hasReading && ReadingIsFresh(frameAgeMs());
}

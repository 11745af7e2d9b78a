#pragma once

#include "link/MeterLink.h"
#include "link/MeterReading.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>

class LinkOwner;
class SerialPort;

// The live meter as the panel and the unattended monitor both run it: one
// poll through the link's owner, the recovery of a lost link, the frame just
// decoded and its age. It shows nothing; the panel and the monitor decide
// what a frame, a silence or a return of the link means to them.
class LiveMeter
{
public:
    explicit LiveMeter(LinkOwner &link);

    enum class Poll {
        Busy, // another exchange holds the link: try again next time
        Frame, // a frame came and is decoded into reading()
        Silent, // the meter sent nothing within the silence limit
        Back, // the lost link answers again
        StillLost, // a recovery attempt heard nothing
        Stopped, // the caller stopped during the wait
    };

    // One poll or, while the link is lost, one recovery attempt.
    // mayRecover lets a caller space its recovery attempts.
    Poll poll(const StopRequested &stop, bool mayRecover = true);

    // Opens the port unless it is open; the reason when it cannot.
    static bool openPort(SerialPort &port, int comPortNumber, QString *reason = nullptr);

    const MeterReading &reading() const { return m_reading; }
    bool hasReading() const { return m_hasReading; }
    // Milliseconds since the last frame; -1 when none came since the link
    // was (re)gained.
    qint64 frameAgeMs() const;
    // A reading the meter sent recently enough to be sampled.
    bool readingIsFresh() const;
    // The link was lost: the last reading may no longer be sampled.
    void forgetFrame() { m_sinceFrame.invalidate(); }

private:
    LinkOwner &m_link;
    QElapsedTimer m_sinceFrame;
    MeterReading m_reading;
    bool m_hasReading = false;
};

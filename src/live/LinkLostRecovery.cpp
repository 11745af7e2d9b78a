#include "LinkLostRecovery.h"

#include "PanelEvents.h"
#include "platform/PanelTimers.h"

void AnnounceLinkLost(PanelTimers &timers, PanelEvents &events,
                      const std::function<bool()> &stillLost)
{
    // A step may wait (a recording's stop drains its writer) while the poll
    // brings the meter back: the steps after that would switch sampling off
    // for good, with no link-back left to switch it on.
    const auto lost = [&stillLost] { return !stillLost || stillLost(); };
    Q_EMIT events.linkLostStopRecording();
    if (!lost())
        return;
    Q_EMIT events.linkLostResetMeasurement();
    if (!lost())
        return;
    timers.setLinkLost(true);
    Q_EMIT events.linkStateChanged(false);
    Q_EMIT events.linkLostClearLists();
    Q_EMIT events.linkLostClearGraphs();
}

bool TryRecoverLink(SerialPort &port, const StopRequested &stop)
{
    return AwaitValidFrame(port, stop, LinkTiming::SilenceLimitMs);
}

void AnnounceLinkBack(PanelTimers &timers, PanelEvents &events)
{
    Q_EMIT events.linkStateChanged(true);
    timers.setLinkLost(false);
}

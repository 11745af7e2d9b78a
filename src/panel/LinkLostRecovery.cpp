#include "LinkLostRecovery.h"

#include "PanelEvents.h"
#include "ui/core/PanelTimers.h"

void AnnounceLinkLost(PanelTimers &timers, PanelEvents &events)
{
    Q_EMIT events.linkLostStopRecording();
    Q_EMIT events.linkLostResetMeasurement();
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

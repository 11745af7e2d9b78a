#include "LinkLostRecovery.h"

#include "PanelEvents.h"
#include "ui/core/PanelTimers.h"

bool LinkLostRecovery(SerialPort &port, PanelTimers &timers, PanelEvents &events,
                      const StopRequested &stop)
{
    Q_EMIT events.linkLostStopRecording();
    Q_EMIT events.linkLostResetMeasurement();
    timers.setTimer2Enabled(false);
    Q_EMIT events.linkStateChanged(false);
    Q_EMIT events.linkLostClearLists();
    Q_EMIT events.linkLostClearGraphs();
    if (!AwaitValidFrame(port, stop))
        return false;
    Q_EMIT events.linkStateChanged(true);
    timers.setTimer2Enabled(true);
    return true;
}

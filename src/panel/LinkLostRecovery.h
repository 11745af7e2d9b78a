#pragma once

#include "link/MeterLink.h"

class PanelEvents;
class PanelTimers;
class SerialPort;

// What the panel does when the meter fell silent: announce the loss (see
// PanelEvents for the order), stop Timer2, wait without limit for a valid
// frame (reopening a port whose device went away), then announce the link
// back and start Timer2 again. The frame that ends the wait is not decoded.
// False when a stop request ended the wait; Timer2 then stays off.
bool LinkLostRecovery(SerialPort &port, PanelTimers &timers, PanelEvents &events,
                      const StopRequested &stop = {});

#pragma once

#include "link/MeterLink.h"

class LinkOwner;
struct MeterReading;
class PanelEvents;
class PanelTimers;
class SerialPort;
struct PanelDisplay;

// The live panel's state that other windows use for the whole run: the one
// serial port and its link owner, the two timers (switch them off around any exchange with
// TimersOffGuard), the reading every poll overwrites, the captions the poll
// left on the boards, the announcements of start-up and link loss, and the
// stop request that ends endless waits when the program closes.
struct PanelContext
{
    SerialPort *port = nullptr; // opening only; exchanges hold the link
    LinkOwner *link = nullptr;
    PanelTimers *timers = nullptr;
    PanelEvents *events = nullptr;
    const MeterReading *currentReading = nullptr;
    const PanelDisplay *display = nullptr; // boardCA, boardSFI, boardLevel
    int comPortNumber = 0;
    StopRequested stopRequested;
};

#pragma once

#include "link/MeterLink.h"

#include <functional>

class PanelEvents;
class PanelTimers;
class SerialPort;

// What the panel does when the link owner found the meter silent: announce
// the loss (see PanelEvents for the order) with Timer2 off, so the last
// reading is never sampled. Timer1 goes on ticking and each tick tries to
// recover the link (TryRecoverLink), so a recovery never holds the link for
// longer than one poll and the clock window can still reach the meter.
// The steps stop as soon as stillLost says the link is back.
void AnnounceLinkLost(PanelTimers &timers, PanelEvents &events,
                      const std::function<bool()> &stillLost = {});

// One recovery attempt: discards input and waits up to the silence limit for
// a valid frame, reopening a port whose device went away. The frame that
// ends the wait is not decoded.
bool TryRecoverLink(SerialPort &port, const StopRequested &stop = {});

// A valid frame came: "COM<n>" again and Timer2 back (unless a guard holds
// the timers off).
void AnnounceLinkBack(PanelTimers &timers, PanelEvents &events);

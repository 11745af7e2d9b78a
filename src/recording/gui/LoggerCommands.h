#pragma once

#include "link/MeterLink.h"

class LinkOwner;
class PanelTimers;
class QWidget;
class LoggerSetHost;
class Memory;

// The live panel tool bar's "Memory" button: reads the logger memory out and
// lists its data sets in the memory window beside the panel. Holds the link
// for the whole transfer; does nothing while the memory window is open or
// another exchange holds the link. The window's Cancel, or closing (true from
// closing), ends the transfer within half a second and keeps the complete
// sets. Returns the memory window when one is up. A set chosen there is shown
// through the host.
Memory *DownloadLoggerMemory(QWidget *panel, LinkOwner &link, PanelTimers &timers,
                             LoggerSetHost &host, const StopRequested &closing = {});

// The tool bar's "Erase" button: after a warning the user confirms, tells the
// meter to erase its logger memory. The memory window closes either way.
// Does nothing while another exchange (a download) holds the link.
void EraseLoggerMemory(QWidget *panel, LinkOwner &link, PanelTimers &timers);

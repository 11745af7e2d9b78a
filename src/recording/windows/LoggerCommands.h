#pragma once

class PanelTimers;
class QWidget;
class SerialPort;
class LoggerSetHost;
class Memory;

// The live panel tool bar's "Memory" button: reads the logger memory out and
// lists its data sets in the memory window beside the panel. Does nothing
// while the memory window is open. Returns the memory window when one is up.
// A set chosen there is shown through the host.
Memory *DownloadLoggerMemory(QWidget *panel, SerialPort &port, PanelTimers &timers,
                             LoggerSetHost &host);

// The tool bar's "Erase" button: after a warning the user confirms, tells the
// meter to erase its logger memory. The memory window closes either way.
// Does nothing while a download runs.
void EraseLoggerMemory(QWidget *panel, SerialPort &port, PanelTimers &timers);

#pragma once

// A program that runs until it is told to stop (the station): Ctrl+C, a
// service manager's stop and a closed terminal on POSIX (SIGINT, SIGTERM,
// SIGHUP); Ctrl+C, Ctrl+Break, a closed console, a log-off and a shutdown on
// Windows. The request is only noted here; the program polls for it and
// finishes its files in its own thread.
void watchStopRequests();
bool stopRequested();

// Windows ends a process soon after its console is closed, once the
// handler returns: the handler waits (a few seconds at most) until the
// program says here that its files are finished.
void stopFinished();

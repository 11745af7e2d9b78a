#pragma once

#include "MonitorOptions.h"

#include <functional>

class SerialPort;

// vorn-monitor --check: ten seconds of the levels the meter sends with the
// calibrator on it, judged and, when stable, appended to the folder's
// calibration log. `say` gets the result lines, `complain` the errors.
// The exit code: 0 stable, 1 unstable, no meter or a folder held.
int runMonitorCheck(const MonitorOptions &options, SerialPort &port,
                    const std::function<void(const QString &)> &say,
                    const std::function<void(const QString &)> &complain);

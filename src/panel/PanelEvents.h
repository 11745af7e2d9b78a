#pragma once

#include <QObject>

// What the live panel announces to the parts of the program that keep
// measurement state (recording, statistics, lists, graphs). Connections are
// direct: each signal's work is done when the emit returns, so the order
// below is the order in which the work happens.
class PanelEvents : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

Q_SIGNALS:
    // Start-up, after the port opened: measurement state to its start values.
    void startingUp();

    // Link lost, in this order: stop a running recording (its temporary file
    // closed, no data file written); reset the live measurement state; then,
    // after Timer2 stopped and "No COM" shows, empty the lists and clear the
    // graphs, class tables and live log.
    void linkLostStopRecording();
    void linkLostResetMeasurement();
    void linkLostClearLists();
    void linkLostClearGraphs();

    // "COM<n>" (true) or "No COM" (false).
    void linkStateChanged(bool linked);
};

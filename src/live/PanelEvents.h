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
    // Link lost, in this order: finish a running recording into its data file
    // (every record taken is kept); reset the live measurement state (sums,
    // maxima, class tables, live log); then, after Timer2 stopped and "No COM"
    // shows, empty the list and clear the level chart and histograms.
    void linkLostStopRecording();
    void linkLostResetMeasurement();
    void linkLostClearLists();
    void linkLostClearGraphs();

    // "COM<n>" (true) or "No COM" (false).
    void linkStateChanged(bool linked);
};

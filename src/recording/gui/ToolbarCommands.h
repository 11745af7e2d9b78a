#pragma once

#include "recording/SamplingSettings.h"
#include "recording/TimedIntegration.h"

#include <QObject>
#include <QStringList>

#include <functional>

class LinkOwner;
class PanelTimers;
class QWidget;

// What the panel's tool bar and its Leq button do. The setting letters, the
// sampling interval, the meter clock and the timed Leq are handled here; the
// recording, file, logger and reset actions come from their owners as
// functions. A button whose action was not given is reported unavailable so
// that the tool bar can disable it. Every action that talks to the meter goes
// through the link owner: at once when the link is free, else when the
// exchange that holds it has ended.
class ToolbarCommands : public QObject
{
    Q_OBJECT

public:
    struct Actions
    {
        std::function<void()> hideSavePanel;
        std::function<bool()> isRecording;
        std::function<void()> beginSaveChoice;
        std::function<void()> stopRecording;
        std::function<void()> openDataFile;
        std::function<bool()> memoryWindowOpen;
        std::function<void()> downloadLoggerMemory;
        std::function<void()> eraseLoggerMemory;
        std::function<void()> resetLiveData;
        std::function<void()> calibrationCheck;
        // The PC's sampling interval; setting it restarts the tick count.
        std::function<int()> sampleInterval;
        std::function<void(int)> setSampleInterval;
    };

    ToolbarCommands(LinkOwner &link, PanelTimers &timers, QWidget *panel, Actions actions,
                    QObject *parent = nullptr);

    // The button keys in tool-bar order.
    static const QStringList &Keys();

    bool isAvailable(const QString &key) const;
    // Tells the tool bar which buttons to enable, one call per key.
    void applyAvailability(const std::function<void(const QString &, bool)> &setEnabled) const;

    // The tool bar's click on the button with this key.
    void OnToolbarButton(const QString &key);
    // The Leq button: asks for a period and starts or stops a timed integration.
    void OnLeqButton();

    SamplingSettings &samplingSettings() { return m_sampling; }
    TimedIntegration &timedIntegration() { return m_timedIntegration; }

private:
    void sendSettingLetter(char letter);
    void openFileUnlessRecording();
    void downloadUnlessRecording();
    void refuseWhileRecording();
    bool recording() const;

    LinkOwner &m_link;
    PanelTimers &m_timers;
    QWidget *m_panel;
    Actions m_actions;
    SamplingSettings m_sampling;
    TimedIntegration m_timedIntegration;
};

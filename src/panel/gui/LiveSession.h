#pragma once

#include <QPointer>

#include "analysis/records/Calibration.h"
#include "analysis/gui/AnalysisHost.h"
#include "recording/MeasurementState.h"

#include <QObject>

#include <memory>

class DataListHost;
struct LiveGraphData;
class LiveGraphs;
class LiveStatisticsView;
class Panel;
class ReadingListView;
class RecordingController;
class SaveDataPanel;
class CalibrationWindow;
class ToolbarCommands;
struct SampleTickResult;

// Everything the live panel runs besides mirroring the meter: the sampling
// tick with its boards, list, charts and histograms, recording, the tool bar
// commands and the timed Leq. It fills the panel's areas and lives as long as
// the panel.
class LiveSession : public QObject
{
    Q_OBJECT

public:
    explicit LiveSession(Panel &panel);
    ~LiveSession() override;

    MeasurementState &state() { return m_state; }
    RecordingController &recording() { return *m_recording; }
    ToolbarCommands &commands() { return *m_commands; }
    LiveGraphs *graphs() const { return m_graphs; }
    ReadingListView *list() const { return m_list; }
    LiveStatisticsView *statistics() const { return m_statistics; }

private:
    void buildAreas();
    void connectRecording();
    void connectToolbar();
    void connectLinkEvents();
    void sampleTick();
    void showTick(const SampleTickResult &result);
    LiveGraphData liveGraphData() const;
    // What the statistics windows opened from the panel get of it.
    AnalysisHost analysisHost();

    Panel &m_panel;
    MeasurementState m_state;
    LiveStatisticsView *m_statistics = nullptr;
    SaveDataPanel *m_saveData = nullptr;
    ReadingListView *m_list = nullptr;
    LiveGraphs *m_graphs = nullptr;
    std::unique_ptr<RecordingController> m_recording;
    std::unique_ptr<ToolbarCommands> m_commands;
    QPointer<CalibrationWindow> m_calibration;
    // Entered in the Save Data choice, written when the recording starts.
    MeasurementDetails m_pendingDetails;
    std::unique_ptr<DataListHost> m_setHost;
};

#include "LiveSession.h"

#include "CalibrationWindow.h"
#include "analysis/gui/DetailsDialog.h"
#include "recording/SaveState.h"
#include "widgets/Dialogs.h"

#include "LiveGraphs.h"
#include "Panel.h"
#include "PanelToolbar.h"
#include "TimedIntegrationBoard.h"
#include "analysis/gui/DataListHost.h"
#include "analysis/gui/OpenDataFile.h"
#include "analysis/gui/SeriesWindow.h"
#include "link/MeterReading.h"
#include "live/PanelDisplay.h"
#include "recording/LoggerMemory.h"
#include "recording/RecordingSession.h"
#include "recording/SampleTick.h"
#include "recording/gui/LiveStatisticsView.h"
#include "recording/gui/LoggerCommands.h"
#include "recording/gui/RecordingController.h"
#include "recording/gui/SaveDataPanel.h"
#include "recording/gui/ToolbarCommands.h"
#include "widgets/FileDrop.h"
#include "widgets/ReadingListView.h"

#include <QDateTime>
#include <QFrame>
#include <QLayout>
#include <QPushButton>

LiveSession::LiveSession(Panel &panel)
    : QObject(&panel)
    , m_panel(panel)
    , m_setHost(std::make_unique<DataListHost>(&panel, &panel.timers()))
{
    buildAreas();
    connectRecording();
    connectToolbar();
    connectLinkEvents();
    m_panel.timers().setSampleTick([this] { sampleTick(); });
}

LiveSession::~LiveSession() = default;

void LiveSession::buildAreas()
{
    m_statistics = new LiveStatisticsView;
    m_panel.statisticsArea()->layout()->addWidget(m_statistics);

    m_saveData = new SaveDataPanel;
    m_saveData->hide();
    // The Save Data choice draws its own frame; the empty area stays blank.
    m_panel.saveArea()->setFrameShape(QFrame::NoFrame);
    m_panel.saveArea()->layout()->addWidget(m_saveData);

    m_list = new ReadingListView(&m_state.List);
    m_list->setFollowNewest(true);
    m_panel.listArea()->layout()->addWidget(m_list);

    m_graphs = new LiveGraphs;
    m_graphs->setDataSource([this] { return liveGraphData(); });
    m_panel.graphsArea()->layout()->addWidget(m_graphs);
    connect(m_statistics, &LiveStatisticsView::stripChartChosen, m_graphs,
            &LiveGraphs::setVisibleStripChart);
}

LiveGraphData LiveSession::liveGraphData() const
{
    LiveGraphData data;
    const LiveLog &log = m_state.History;
    data.levelLog = { log.LevelLog(), size_t(LiveLog::Slots) };
    data.leqLog = { log.LeqLog(), size_t(LiveLog::Slots) };
    data.selLog = { log.SelLog(), size_t(LiveLog::Slots) };
    data.liveLogIndex = log.LiveLogIndex;
    const ClassTables &classes = m_state.Classes;
    data.classCounts1dB = classes.ClassCounts1dB;
    data.classMin1dB = classes.ClassMin1dB;
    data.classMax1dB = classes.ClassMax1dB;
    data.classCounts01dB = classes.ClassCounts01dB;
    data.classMin01dB = classes.ClassMin01dB;
    data.classMax01dB = classes.ClassMax01dB;
    data.liveLeqMin = m_state.LiveLeqMin;
    data.liveLeqMax = m_state.LiveLeqMax;
    data.liveSelMin = m_state.LiveSelMin;
    data.liveSelMax = m_state.LiveSelMax;
    return data;
}

void LiveSession::connectRecording()
{
    m_recording = std::make_unique<RecordingController>(
        m_state, &m_panel, m_statistics, m_saveData, [this] {
            const PanelDisplay &display = *m_panel.context().display;
            return HeaderBoards { display.boardCA, display.boardSFI, display.boardLevel };
        });
    connect(m_recording.get(), &RecordingController::ticked, this, &LiveSession::showTick);
    // Details entered in the Save Data choice go beside the file the
    // recording writes, once it has started.
    connect(m_saveData, &SaveDataPanel::detailsRequested, this, [this] {
        QPointer<DetailsDialog> dialog = new DetailsDialog(m_pendingDetails, &m_panel);
        const int answer = dialog->exec();
        if (!dialog)
            return;
        if (answer == QDialog::Accepted)
            m_pendingDetails = dialog->details();
        delete dialog;
    });
    connect(m_recording.get(), &RecordingController::recordingChanged, this, [this](bool on) {
        if (!on || m_pendingDetails.isEmpty())
            return;
        const QString error
            = m_pendingDetails.write(MeasurementDetails::pathFor(saveState().TargetPath));
        m_pendingDetails = {};
        if (!error.isEmpty())
            dialogs().message(&m_panel, error, QString(), MessageIcon::Warning, MessageButtons::Ok);
    });
    connect(m_recording.get(), &RecordingController::recordingChanged, m_panel.toolbar(),
            &PanelToolbar::setRecording);
    // A recording running when the panel closes is finished into its file.
    connect(&m_panel, &Panel::closed, m_recording.get(), &RecordingController::finishBeforeClose);
}

void LiveSession::connectToolbar()
{
    ToolbarCommands::Actions actions;
    actions.hideSavePanel = [this] { m_recording->hideSaveChoice(); };
    actions.isRecording = [this] { return m_recording->recording(); };
    actions.beginSaveChoice = [this] { m_recording->BeginSaveChoice(); };
    actions.stopRecording = [this] { m_recording->StopRecording(); };
    actions.openDataFile = [this] { OpenDataFile(analysisHost(), m_recording->recording()); };
    connect(m_panel.toolbar(), &PanelToolbar::openSeriesChosen, this,
            [this] { OpenSeriesDialog(analysisHost()); });
    AcceptDataFileDrops(&m_panel, [this](const QStringList &paths) {
        OpenDroppedDataFiles(paths, analysisHost());
    });
    actions.memoryWindowOpen = [] { return loggerMemory().MemoryWindowOpen; };
    actions.downloadLoggerMemory = [this] {
        DownloadLoggerMemory(&m_panel, m_panel.link(), m_panel.timers(), *m_setHost,
                             m_panel.context().stopRequested);
    };
    actions.eraseLoggerMemory
        = [this] { EraseLoggerMemory(&m_panel, m_panel.link(), m_panel.timers()); };
    actions.resetLiveData = [this] {
        m_recording->ResetLiveData();
        m_graphs->clear();
    };
    actions.calibrationCheck = [this] {
        // One check window at a time; a second click brings it forward.
        if (!m_calibration) {
            m_calibration = new CalibrationWindow(
                m_panel, [this] { return m_recording->recording(); }, &m_panel);
            m_calibration->setWindowFlag(Qt::Window);
        }
        m_calibration->show();
        m_calibration->raise();
        m_calibration->activateWindow();
    };
    actions.sampleInterval = [this] { return m_state.SampleInterval; };
    actions.setSampleInterval = [this](int seconds) { m_state.changeSampleInterval(seconds); };

    m_commands = std::make_unique<ToolbarCommands>(m_panel.link(), m_panel.timers(), &m_panel,
                                                   std::move(actions));
    m_panel.setToolbarDispatcher([this](const QString &key) { m_commands->OnToolbarButton(key); });
    m_commands->applyAvailability([this](const QString &key, bool available) {
        m_panel.toolbar()->setButtonAvailable(key, available);
    });

    QPushButton *leq = m_panel.leqButton();
    leq->setEnabled(true);
    leq->setAccessibleDescription(QStringLiteral("Starts or stops a timed Leq"));
    connect(leq, &QPushButton::clicked, m_commands.get(), &ToolbarCommands::OnLeqButton);
    m_panel.statisticsArea()->layout()->addWidget(
        new TimedIntegrationBoard(m_commands->timedIntegration()));
}

AnalysisHost LiveSession::analysisHost()
{
    AnalysisHost host;
    host.panel = &m_panel;
    host.timers = &m_panel.timers();
    host.recording = [this] { return m_recording->recording(); };
    return host;
}

void LiveSession::connectLinkEvents()
{
    PanelEvents &events = m_panel.events();
    connect(&events, &PanelEvents::linkLostStopRecording, m_recording.get(),
            &RecordingController::stopForLostLink);
    connect(&events, &PanelEvents::linkLostResetMeasurement, m_recording.get(),
            &RecordingController::resetForLostLink);
    connect(&events, &PanelEvents::linkLostClearLists, m_recording.get(),
            &RecordingController::clearListForLostLink);
    connect(&events, &PanelEvents::linkLostClearGraphs, m_graphs, &LiveGraphs::clearAfterLinkLoss);
}

void LiveSession::sampleTick()
{
    const MeterReading &reading = m_panel.currentReading();
    // The sample's text is what the hidden level label holds. A second
    // without a fresh frame adds nothing anywhere, the timed Leq included.
    const SampleTickResult result
        = m_recording->OnSampleTick(reading.Level, m_panel.context().display->valueText,
                                    QDateTime::currentDateTime(), m_panel.frameAgeMs());
    if (!result.Stale)
        m_commands->timedIntegration().addSecond(reading.Level);
}

void LiveSession::showTick(const SampleTickResult &result)
{
    if (!result.Sampled)
        return;
    m_graphs->appendSample(result.Chart.Level, result.Chart.Leq, result.Chart.Sel);
    if (result.ClassTablesChanged)
        m_graphs->setClassTables(liveGraphData());
}

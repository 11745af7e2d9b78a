#pragma once

#include "recording/RecordingSession.h"
#include "recording/SampleTick.h"

#include <QObject>
#include <QStringList>

#include <functional>

class LiveStatisticsView;
class QWidget;
class SaveDataPanel;
struct MeasurementState;

// Drives recording from the panel: the sampling tick into the live view, the
// Save Data choice, start and stop of a recording, the list save, Refresh and
// the reset after a lost link. Failures are reported in a message that names
// the file and the reason.
class RecordingController : public QObject
{
    Q_OBJECT

public:
    // window: the panel (parent of dialogs, its caption shows progress).
    // boards: the captions of the frequency weighting, time weighting and
    // level range boards at the moment a file header is written.
    RecordingController(MeasurementState &state, QWidget *window, LiveStatisticsView *view,
                        SaveDataPanel *saveData, std::function<HeaderBoards()> boards,
                        QObject *parent = nullptr);

    // Timer2: one tick with the current level, its display text and the age
    // of the frame it came from. A message the tick raises is shown after
    // the tick has returned, one at a time, while sampling goes on.
    SampleTickResult OnSampleTick(double level, const QString &levelText, const QDateTime &now,
                                  qint64 frameAgeMs = 0);
    // Messages waiting to be shown (one may be open).
    int messagesWaiting() const { return int(m_messages.size()); }

    // The record button: shows the Save Data choice, or stops a recording.
    void onRecordButton();
    void BeginSaveChoice();
    // Every tool bar click hides the Save Data choice first.
    void hideSaveChoice();
    void ConfirmSaveChoice(int saveMode);
    void StopRecording();
    void saveList();
    // Refresh.
    void ResetLiveData();
    // The meter fell silent: a running recording is finished into its file,
    // then the live state starts again and the list is emptied. The three
    // steps are there for a panel that announces them one after the other.
    void linkLost();
    void stopForLostLink();
    void resetForLostLink();
    void clearListForLostLink();
    // The panel closes: a running recording is finished into its file first.
    void finishBeforeClose();

    bool recording() const;

Q_SIGNALS:
    // The record button shows its recording image and "Stop Recording" while true.
    void recordingChanged(bool recording);
    // Every tick, for the list, the charts and the histograms.
    void ticked(const SampleTickResult &result);

private:
    void startRecording();
    // reportAfter: a failure is shown once the current work has unwound.
    void finishRecording(StopKind kind, bool reportAfter = false);
    void report(const QString &message);
    void reportLater(const QString &message);
    void showNextMessage();
    void showCaption(const QString &caption);

    MeasurementState &m_state;
    QWidget *m_window;
    LiveStatisticsView *m_view;
    SaveDataPanel *m_saveData;
    std::function<HeaderBoards()> m_boards;
    QStringList m_messages;
    bool m_messageOpen = false;
};

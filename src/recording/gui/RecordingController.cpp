#include "RecordingController.h"

#include "LiveStatisticsView.h"
#include "SaveDataPanel.h"
#include "SaveListDialog.h"
#include "recording/MeasurementState.h"
#include "widgets/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QScopedValueRollback>
#include <QTimer>
#include <QWidget>

namespace {

// The hourglass for the length of a save, on every exit path.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// Restores the window caption after a long write showed its progress there.
class CaptionKeeper
{
public:
    explicit CaptionKeeper(QWidget *window)
        : m_window(window)
        , m_caption(window ? window->windowTitle() : QString())
    {
    }
    ~CaptionKeeper()
    {
        if (m_window)
            m_window->setWindowTitle(m_caption);
    }
    CaptionKeeper(const CaptionKeeper &) = delete;
    CaptionKeeper &operator=(const CaptionKeeper &) = delete;

private:
    QWidget *m_window;
    QString m_caption;
};

} // namespace

RecordingController::RecordingController(MeasurementState &state, QWidget *window,
                                         LiveStatisticsView *view, SaveDataPanel *saveData,
                                         std::function<HeaderBoards()> boards, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_window(window)
    , m_view(view)
    , m_saveData(saveData)
    , m_boards(std::move(boards))
{
    if (m_saveData)
        connect(m_saveData, &SaveDataPanel::confirmed, this,
                &RecordingController::ConfirmSaveChoice);
}

bool RecordingController::recording() const
{
    return m_state.Recording;
}

SampleTickResult RecordingController::OnSampleTick(double level, const QString &levelText,
                                                   const QDateTime &now, qint64 frameAgeMs)
{
    const bool wasRecording = m_state.Recording;
    SampleInput input = SampleInputOf(level, levelText, now, frameAgeMs,
                                      m_boards ? m_boards() : HeaderBoards {}, QDir::currentPath());
    input.DumpProgress = [this](const QString &caption) { showCaption(caption); };
    input.DumpBusy = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    input.StopProgress = [this](const qint64 &lines) {
        if (m_view)
            m_view->showCopyProgress(lines);
    };

    SampleTickResult result;
    {
        CaptionKeeper caption(m_window);
        result = ::OnSampleTick(m_state, input);
    }
    if (result.Stale)
        return result;
    if (m_view)
        m_view->showTick(result);
    Q_EMIT ticked(result);
    if (result.AutoStopped)
        saveState().FileChosen = false;
    // A box opened here would hold the tick, and with it all sampling, until
    // it is dismissed.
    for (const QString &error : std::as_const(result.Errors))
        reportLater(error);
    if (wasRecording != m_state.Recording)
        Q_EMIT recordingChanged(m_state.Recording);
    return result;
}

void RecordingController::onRecordButton()
{
    if (m_state.Recording)
        StopRecording();
    else
        BeginSaveChoice();
}

void RecordingController::BeginSaveChoice()
{
    if (m_saveData)
        m_saveData->beginChoice();
}

void RecordingController::hideSaveChoice()
{
    if (m_saveData)
        m_saveData->hide();
}

void RecordingController::ConfirmSaveChoice(int saveMode)
{
    hideSaveChoice();
    if (m_state.Recording)
        return;
    if (saveMode == SaveDataPanel::RecordToFile)
        startRecording();
    else
        saveList();
}

void RecordingController::startRecording()
{
    // Said before the user picks a file that could not be recorded anyway.
    const QString refusal = RecordingFolderRefusal(m_state, QDir::currentPath());
    if (!refusal.isEmpty()) {
        report(refusal);
        return;
    }
    SaveListDialog(m_window);
    if (!saveState().FileChosen)
        return;
    const SessionOutcome started
        = ::StartRecording(m_state, saveState().TargetPath, QDir::currentPath(),
                           m_boards ? m_boards() : HeaderBoards {});
    if (!started.ok) {
        saveState().FileChosen = false;
        report(started.message);
        return;
    }
    if (m_view)
        m_view->showRecordingStarted(m_state.RecordingFileName);
    Q_EMIT recordingChanged(true);
    if (!started.notice.isEmpty())
        dialogs().message(m_window, started.notice, QString(), MessageIcon::Information,
                          MessageButtons::Ok);
}

void RecordingController::StopRecording()
{
    finishRecording(StopKind::Manual);
}

void RecordingController::finishRecording(StopKind kind, bool reportAfter)
{
    if (!m_state.Recording)
        return;
    if (m_view)
        m_view->showRecordingStopped();
    const SessionOutcome stopped = ::StopRecording(m_state, m_boards ? m_boards() : HeaderBoards {},
                                                   kind, [this](const qint64 &lines) {
                                                       if (m_view)
                                                           m_view->showCopyProgress(lines);
                                                   });
    if (m_view)
        m_view->showRecordingStopped();
    saveState().FileChosen = false;
    Q_EMIT recordingChanged(false);
    if (!stopped.ok) {
        if (reportAfter)
            reportLater(stopped.message);
        else
            report(stopped.message);
    }
}

void RecordingController::saveList()
{
    BusyCursor busy;
    SaveListDialog(m_window);
    if (!saveState().FileChosen)
        return;
    SessionOutcome saved;
    {
        CaptionKeeper caption(m_window);
        saved = ::SaveList(m_state, saveState().TargetPath, m_boards ? m_boards() : HeaderBoards {},
                           [this](const QString &text) { showCaption(text); });
    }
    saveState().FileChosen = false;
    if (!saved.ok)
        report(saved.message);
}

void RecordingController::ResetLiveData()
{
    ::ResetLiveData(m_state);
}

void RecordingController::linkLost()
{
    stopForLostLink();
    resetForLostLink();
    clearListForLostLink();
}

void RecordingController::stopForLostLink()
{
    // Every record taken so far is kept: the recording ends as a stop would.
    // A failure is told after the lost-link steps, as a tick's messages are:
    // a box opened inside them would let the poll bring the link back
    // between the steps.
    finishRecording(StopKind::Manual, true);
}

void RecordingController::resetForLostLink()
{
    ResetAfterLinkLoss(m_state);
}

void RecordingController::clearListForLostLink()
{
    m_state.List.clear();
}

void RecordingController::finishBeforeClose()
{
    finishRecording(StopKind::Manual);
}

void RecordingController::report(const QString &message)
{
    dialogs().message(m_window, message, QString(), MessageIcon::Critical, MessageButtons::Ok);
}

void RecordingController::reportLater(const QString &message)
{
    m_messages << message;
    QTimer::singleShot(0, this, &RecordingController::showNextMessage);
}

void RecordingController::showNextMessage()
{
    if (m_messageOpen || m_messages.isEmpty())
        return;
    const QScopedValueRollback open(m_messageOpen, true);
    report(m_messages.takeFirst());
    if (!m_messages.isEmpty())
        QTimer::singleShot(0, this, &RecordingController::showNextMessage);
}

void RecordingController::showCaption(const QString &caption)
{
    if (m_window)
        m_window->setWindowTitle(caption);
}

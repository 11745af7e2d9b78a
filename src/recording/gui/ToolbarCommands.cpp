#include "ToolbarCommands.h"

#include "link/LinkOwner.h"
#include "link/gui/Setup.h"
#include "recording/LeqPeriod.h"
#include "recording/gui/SamplingChoice.h"
#include "platform/Delay.h"
#include "platform/PanelTimers.h"
#include "widgets/Dialogs.h"

#include <QTime>

#include <optional>

namespace {

char settingLetter(const QString &key)
{
    if (key == u"AC")
        return 'G';
    if (key == u"FSI")
        return 'D';
    if (key == u"Up")
        return 'E';
    if (key == u"Down")
        return 'F';
    return 0;
}

} // namespace

ToolbarCommands::ToolbarCommands(LinkOwner &link, PanelTimers &timers, QWidget *panel,
                                 Actions actions, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_timers(timers)
    , m_panel(panel)
    , m_actions(std::move(actions))
{
}

const QStringList &ToolbarCommands::Keys()
{
    static const QStringList keys { "Save", "Open", "Sampling", "AC",    "FSI",    "Up",
                                    "Down", "RTC",  "Memory",   "Erase", "Refresh" };
    return keys;
}

bool ToolbarCommands::isAvailable(const QString &key) const
{
    const Actions &a = m_actions;
    if (key == u"Save")
        return a.isRecording && a.beginSaveChoice && a.stopRecording;
    if (key == u"Open")
        return bool(a.openDataFile);
    if (key == u"Sampling")
        return a.sampleInterval && a.setSampleInterval;
    if (key == u"Memory")
        return bool(a.downloadLoggerMemory);
    if (key == u"Calibration")
        return bool(a.calibrationCheck);
    if (key == u"Erase")
        return bool(a.eraseLoggerMemory);
    if (key == u"Refresh")
        return bool(a.resetLiveData);
    return settingLetter(key) != 0 || key == u"RTC";
}

void ToolbarCommands::applyAvailability(
    const std::function<void(const QString &, bool)> &setEnabled) const
{
    for (const QString &key : Keys())
        setEnabled(key, isAvailable(key));
}

void ToolbarCommands::OnToolbarButton(const QString &key)
{
    if (m_actions.hideSavePanel)
        m_actions.hideSavePanel();
    if (!isAvailable(key))
        return;

    if (const char letter = settingLetter(key)) {
        sendSettingLetter(letter);
    } else if (key == u"Save") {
        if (!recording())
            m_actions.beginSaveChoice();
        else
            m_actions.stopRecording();
    } else if (key == u"Open") {
        openFileUnlessRecording();
    } else if (key == u"Sampling") {
        m_link.whenFree(Exchange::SampleTimeRead, [this] {
            SamplingContext context { m_link,
                                      m_timers,
                                      m_panel,
                                      m_sampling,
                                      m_actions.sampleInterval,
                                      m_actions.setSampleInterval };
            ChooseSampling(context);
        });
    } else if (key == u"RTC") {
        // The window opens only once no exchange holds the link, so no
        // exchange sits under its whole life.
        m_link.whenFree(Exchange::ClockRead, [this] {
            Setup clock(m_link, m_timers, m_panel);
            clock.exec();
        });
    } else if (key == u"Memory") {
        downloadUnlessRecording();
    } else if (key == u"Erase") {
        m_link.whenFree(Exchange::Erase, [this] { m_actions.eraseLoggerMemory(); });
    } else if (key == u"Refresh") {
        m_actions.resetLiveData();
    } else if (key == u"Calibration") {
        // The calibrator's tone would go into the recording.
        if (recording())
            refuseWhileRecording();
        else
            m_actions.calibrationCheck();
    }
}

bool ToolbarCommands::recording() const
{
    return m_actions.isRecording && m_actions.isRecording();
}

void ToolbarCommands::refuseWhileRecording()
{
    dialogs().message(m_panel, QStringLiteral("Recording Mode!\n\rPlease stop recording!"),
                      QString(), MessageIcon::Critical, MessageButtons::Ok);
}

void ToolbarCommands::openFileUnlessRecording()
{
    if (recording()) {
        refuseWhileRecording();
        return;
    }
    m_actions.openDataFile();
}

void ToolbarCommands::downloadUnlessRecording()
{
    // A download stops sampling for its whole length, up to an hour: it
    // would cut a hole into the recording.
    if (recording()) {
        refuseWhileRecording();
        return;
    }
    m_link.whenFree(Exchange::Download, [this] {
        if (recording())
            return;
        if (!(m_actions.memoryWindowOpen && m_actions.memoryWindowOpen()))
            m_actions.downloadLoggerMemory();
    });
}

void ToolbarCommands::sendSettingLetter(char letter)
{
    m_link.whenFree(Exchange::Setting, [this, letter] {
        const auto hold = m_link.tryHold(Exchange::Setting);
        if (!hold)
            return;
        const TimersOffGuard timersOff(m_timers);
        SendCommand(hold->port(), letter);
        Delay(LinkTiming::CommandSettle);
    });
}

void ToolbarCommands::OnLeqButton()
{
    QString shown = LeqPeriodDefault();
    for (;;) {
        const std::optional<QString> answer
            = dialogs().input(m_panel, LeqPeriodPrompt(), LeqPeriodTitle(), shown);
        if (!answer || answer->trimmed().isEmpty())
            return;
        if (const std::optional<LeqPeriod> period = ReadLeqPeriod(*answer)) {
            m_timedIntegration.toggle(*period, QTime::currentTime().msecsSinceStartOfDay() / 1000);
            return;
        }
        dialogs().message(m_panel, LeqPeriodInvalidMessage(), QString(), MessageIcon::Critical,
                          MessageButtons::Ok);
        shown = *answer;
    }
}

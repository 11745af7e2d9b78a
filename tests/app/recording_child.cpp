// A copy of the program that records the emulated meter into the current
// folder until it is killed. It chooses COM1, starts a recording into the
// target given as its argument and, once each tick has queued its record,
// prints the record number and the nine header lines a stop at that moment
// would write:  R <number> TAB <line 1> TAB ... TAB <line 9>
// Its first line is "STARTED 1" (or "STARTED 0" with the reason after it).
#include "AppDriver.h"

#include "panel/gui/LiveSession.h"
#include "panel/gui/Panel.h"
#include "panel/gui/ProgramRun.h"
#include "recording/DataFileWriter.h"
#include "recording/gui/RecordingController.h"
#include "recording/gui/SaveDataPanel.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {

void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2) {
        say(QStringLiteral("STARTED 0 no target"));
        return 2;
    }
    ScriptedDialogs dialogs;
    ProgramRun run;
    run.start();
    QTimer::singleShot(0, [&] {
        if (!ChoosePort(run, QStringLiteral("COM1"))) {
            say(QStringLiteral("STARTED 0 the panel did not mirror the meter"));
            QCoreApplication::exit(3);
            return;
        }
        Panel *panel = run.panel();
        auto *session = panel->findChild<LiveSession *>();
        QObject::connect(&session->recording(), &RecordingController::ticked,
                         [panel, session](const SampleTickResult &tick) {
                             if (tick.Labels.Count.isEmpty())
                                 return;
                             const MeasurementState &state = session->state();
                             const PanelDisplay &display = *panel->context().display;
                             RealTimeHeader header;
                             header.SampleInterval = state.SampleInterval;
                             header.FreqWeighting = display.boardCA;
                             header.TimeWeighting = display.boardSFI;
                             header.LevelRange = display.boardLevel;
                             header.MaxLevel = state.RecordingMaxText;
                             header.MaxTime = state.RecordingMaxTime;
                             header.Sel = state.RecordingSelText;
                             header.Leq = state.RecordingLeqText;
                             say(QStringLiteral("R ") + tick.Labels.Count + QLatin1Char('\t')
                                 + header.lines().join(QLatin1Char('\t')));
                         });
        dialogs.answerSave(arguments.at(1));
        session->recording().ConfirmSaveChoice(SaveDataPanel::RecordToFile);
        say(session->recording().recording()
                ? QStringLiteral("STARTED 1")
                : QStringLiteral("STARTED 0 ") + dialogs.messageTexts().join(QLatin1Char('|')));
    });
    return app.exec();
}

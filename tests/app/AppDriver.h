#pragma once

#include "support/EventWaits.h"
#include "support/MeterEmulator.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

class ProgramRun;
class QWidget;

// Processes events for the given time.
void RunEventsFor(int ms);

// Runs the program as main() does: starts the run, plays the steps inside
// its event loop, closes the panel after them and returns the run's exit
// code (99 when the safety time ran out first).
int RunProgram(ProgramRun &run, const std::function<void()> &steps, int safetyMs);
// Types the name into the Port window and presses OK; true once the panel
// shows and the meter's level figure mirrors a reading.
bool ChoosePort(ProgramRun &run, const QString &name);

// The visible top-level window with this object name, or nullptr.
QWidget *TopLevel(const QString &objectName);
// Saves a picture of the window as <name>.png in the screenshot folder;
// returns the file path (empty when it could not be written).
QString SaveScreenshot(QWidget *window, const QString &name);
QString ScreenshotFolder();

// The text of a PDF, by pdftotext; empty when it is not installed.
QString PdfText(const QString &pdfPath);

// Counts occurrences of a byte sequence.
int CountOf(const QByteArray &haystack, const QByteArray &needle);

// Steps of a walk whose feature is not in this build of the program yet:
// noted once and printed at the end, so a run says what it could not check.
class WalkGaps
{
public:
    void note(const QString &gap);
    const QStringList &all() const { return m_gaps; }
    ~WalkGaps();

private:
    QStringList m_gaps;
};

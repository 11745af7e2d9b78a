#include "AppDriver.h"

#include "link/gui/Port.h"
#include "panel/gui/Panel.h"
#include "panel/gui/ProgramRun.h"
#include "panel/gui/SevenSegmentDisplay.h"
#include "platform/Delay.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdio>

#ifndef VORN_SCREENSHOT_DIR
#define VORN_SCREENSHOT_DIR "screenshots"
#endif

void RunEventsFor(int ms)
{
    Delay(ms / 1000.0);
}

int RunProgram(ProgramRun &run, const std::function<void()> &steps, int safetyMs)
{
    run.start();
    QTimer::singleShot(0, [&] {
        steps();
        if (run.panel())
            run.panel()->close();
    });
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    safety.start(safetyMs);
    return run.exitCode(QApplication::exec());
}

bool ChoosePort(ProgramRun &run, const QString &name)
{
    auto *combo = run.portWindow()->findChild<QComboBox *>(QStringLiteral("TxtCOM"));
    auto *ok = run.portWindow()->findChild<QAbstractButton *>(QStringLiteral("CmdOK"));
    if (!combo || !ok)
        return false;
    combo->setEditText(name);
    ok->click();
    return run.panel()
        && WaitUntil(
               [&] {
                   const auto *lcd
                       = run.panel()->findChild<SevenSegmentDisplay *>(QStringLiteral("ShownLCD"));
                   return run.panel()->isVisible() && lcd && !lcd->text().trimmed().isEmpty()
                       && lcd->text() != QStringLiteral("140.0");
               },
               5000);
}

QWidget *TopLevel(const QString &objectName)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w->objectName() == objectName && w->isVisible())
            return w;
    }
    return nullptr;
}

QString ScreenshotFolder()
{
    return QStringLiteral(VORN_SCREENSHOT_DIR);
}

QString SaveScreenshot(QWidget *window, const QString &name)
{
    if (!window)
        return {};
    QDir().mkpath(ScreenshotFolder());
    // Let layouts and pending paints settle first.
    RunEventsFor(150);
    const QString path = QDir(ScreenshotFolder()).filePath(name + QStringLiteral(".png"));
    return window->grab().save(path) ? path : QString();
}

QString PdfText(const QString &pdfPath)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    { QStringLiteral("-layout"), pdfPath, QStringLiteral("-") });
    if (!pdftotext.waitForStarted(3000) || !pdftotext.waitForFinished(10000))
        return {};
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

int CountOf(const QByteArray &haystack, const QByteArray &needle)
{
    int count = 0;
    for (qsizetype at = haystack.indexOf(needle); at >= 0;
         at = haystack.indexOf(needle, at + needle.size()))
        ++count;
    return count;
}

void WalkGaps::note(const QString &gap)
{
    if (!m_gaps.contains(gap))
        m_gaps << gap;
}

WalkGaps::~WalkGaps()
{
    for (const QString &gap : std::as_const(m_gaps))
        std::fprintf(stderr, "[ gap      ] %s\n", qPrintable(gap));
}

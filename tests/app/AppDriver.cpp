#include "AppDriver.h"

#include "link/windows/Port.h"
#include "panel/windows/Panel.h"
#include "panel/windows/ProgramRun.h"
#include "panel/windows/SevenSegmentDisplay.h"
#include "ui/core/Delay.h"

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

#ifndef VORN_METER_EMULATOR
#define VORN_METER_EMULATOR ""
#endif
#ifndef VORN_SCREENSHOT_DIR
#define VORN_SCREENSHOT_DIR "screenshots"
#endif

QString MeterEmulator::program()
{
    const QString fromEnv = qEnvironmentVariable("VORN_METER_EMULATOR");
    const QString path = fromEnv.isEmpty() ? QStringLiteral(VORN_METER_EMULATOR) : fromEnv;
    return QFileInfo(path).isExecutable() ? path : QString();
}

MeterEmulator::~MeterEmulator()
{
    stop();
}

bool MeterEmulator::start(const QStringList &extraArguments, QString *why)
{
    if (!m_dir.isValid()) {
        *why = QStringLiteral("no temporary folder");
        return false;
    }
    qputenv("VORN_PORTS_DIR", m_dir.path().toLocal8Bit());
    // Its complaints about commands belong in the test log.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program(),
                    QStringList { QStringLiteral("--port"), QStringLiteral("COM1"),
                                  QStringLiteral("--record"),
                                  m_dir.filePath(QStringLiteral("received.txt")) }
                        + extraArguments);
    if (!m_process.waitForStarted(5000)) {
        *why = QStringLiteral("the emulator did not start: ") + m_process.errorString();
        return false;
    }
    const QString link = m_dir.filePath(QStringLiteral("COM1"));
    if (!WaitUntil([&] { return QFileInfo::exists(link); }, 5000)) {
        *why = QStringLiteral("no COM1 link appeared");
        return false;
    }
    return true;
}

bool MeterEmulator::control(const QString &command)
{
    QFile fifo(m_dir.filePath(QStringLiteral("COM1.control")));
    if (!fifo.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray line = command.toUtf8() + '\n';
    return fifo.write(line) == line.size();
}

QByteArray MeterEmulator::received() const
{
    QFile file(m_dir.filePath(QStringLiteral("received.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().simplified().split(' ');
        for (qsizetype i = 1; i < fields.size(); ++i) // field 0 is the time
            bytes.append(char(fields[i].toUInt(nullptr, 16)));
    }
    return bytes;
}

bool MeterEmulator::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
    return m_process.state() == QProcess::NotRunning;
}

QString MeterEmulator::output()
{
    m_output += QString::fromUtf8(m_process.readAllStandardOutput());
    return m_output;
}

bool WaitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (condition())
            return true;
        Delay(0.02);
    }
    return condition();
}

Watch::Watch(std::function<bool()> condition, std::function<void()> whenSeen)
    : m_condition(std::move(condition))
    , m_whenSeen(std::move(whenSeen))
{
    m_timer.setInterval(20);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!m_condition())
            return;
        m_seen = true;
        m_timer.stop();
        if (m_whenSeen)
            m_whenSeen();
    });
    m_timer.start();
}

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

#include "OpenDataFile.h"

#include "SeriesWindow.h"

#include "StatisticsWindow.h"

#include "recording/DataFileReader.h"
#include "platform/PanelTimers.h"
#include "widgets/Dialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QScopedValueRollback>

#include <optional>

namespace {

QPointer<StatisticsWindow> &fileListWindow()
{
    static QPointer<StatisticsWindow> window;
    return window;
}

QPointer<StatisticsWindow> &fileListRealWindow()
{
    static QPointer<StatisticsWindow> window;
    return window;
}

// Reads the file with the timers off and the caption counting, and gives
// both back before anything else is shown.
DataFileContents readCounting(const QString &path, const AnalysisHost &host)
{
    std::optional<TimersOffGuard> timersOff;
    if (host.timers)
        timersOff.emplace(*host.timers);
    const QString keptCaption = host.currentCaption();
    DataFileContents contents = DataFileReader::readFile(path, [&host](qint64 records) {
        host.showCaption(recordsCompletedCaption(records));
        QCoreApplication::processEvents();
    });
    host.showCaption(keptCaption);
    return contents;
}

} // namespace

QString recordingModeMessage()
{
    return QStringLiteral("Recording Mode!\n\rPlease stop recording!");
}

QString dataFileFilter()
{
    return QStringLiteral("Data Files (*.vorn)|*.vorn|All Files (*.*)|*.*|");
}

QString recordsCompletedCaption(qint64 records)
{
    return QString::number(records) + QStringLiteral(" Records Completed");
}

StatisticsWindow *openFileListWindow()
{
    return fileListWindow();
}

StatisticsWindow *openFileListRealWindow()
{
    return fileListRealWindow();
}

StatisticsWindow *OpenDataFile(const AnalysisHost &host, bool recording)
{
    if (recording) {
        dialogs().message(host.panel, recordingModeMessage(), QString(), MessageIcon::Critical,
                          MessageButtons::Ok);
        return nullptr;
    }
    const QString path = dialogs().openFileName(host.panel, dataFileFilter());
    if (path.isEmpty())
        return nullptr;
    return OpenDataFileAt(path, host);
}

StatisticsWindow *OpenDataFileAt(const QString &path, const AnalysisHost &host, WindowUse use)
{
    // Events run during the read: a second Open meanwhile is ignored.
    static bool reading = false;
    if (reading)
        return nullptr;
    QScopedValueRollback busy(reading, true);

    DataFileContents contents = readCounting(path, host);
    if (contents.isEmpty()) {
        dialogs().message(host.panel, contents.problem, QString(), MessageIcon::Warning,
                          MessageButtons::Ok);
        return nullptr;
    }

    QString problem = contents.problem;
    // Damaged lines the read went past are said too: the figures leave them out.
    if (contents.damagedLines > 0)
        problem = (problem.isEmpty() ? QString() : problem + QLatin1Char(' '))
            + DataFileReader::damagedLinesMessage(contents.damagedLines, contents.firstDamagedLine);
    const bool logger = contents.kind == DataFileKind::DataLogger;
    QPointer<StatisticsWindow> &slot = logger ? fileListWindow() : fileListRealWindow();
    if (slot && use == WindowUse::ReplaceOpen) {
        // Not close(): a window that is busy refuses to close, and this one
        // is replaced either way.
        slot->hide();
        slot->deleteLater();
    }
    StatisticsWindow *window = logger
        ? static_cast<StatisticsWindow *>(new FileList(std::move(contents), host))
        : new FileListReal(std::move(contents), host);
    window->setWindowTitle(QFileInfo(path).fileName());
    window->setSourcePath(path);
    slot = window;
    window->show();

    // The message runs events; the window may be gone by its end.
    const QPointer<StatisticsWindow> shown = window;
    if (!problem.isEmpty()) {
        dialogs().message(window, problem, QString(), MessageIcon::Warning, MessageButtons::Ok);
    }
    return shown;
}

int OpenDroppedDataFiles(const QStringList &paths, const AnalysisHost &host)
{
    if (paths.isEmpty())
        return 0;
    if (host.isRecording()) {
        dialogs().message(host.panel, recordingModeMessage(), QString(), MessageIcon::Critical,
                          MessageButtons::Ok);
        return 0;
    }
    const WindowUse use = host.panel ? WindowUse::ReplaceOpen : WindowUse::OwnWindow;
    int opened = 0;
    for (const QString &path : paths) {
        // A folder stands for its data files, as one series.
        if (QFileInfo(path).isDir()) {
            if (OpenSeries({ path }, host.panel))
                ++opened;
            continue;
        }
        if (OpenDataFileAt(path, host, use))
            ++opened;
    }
    return opened;
}

// Opening a series: its files (those given, or a folder's), read on a thread
// of their own with a progress dialog, then its window.
#include "SeriesWindow.h"
#include "SeriesWindowParts.h"
#include "analysis/Wording.h"
#include "analysis/output/Outputs.h"
#include "analysis/records/StationFolder.h"
#include "analysis/records/Weather.h"
#include "analysis/series/SeriesDocument.h"

#include "OpenDataFile.h"
#include "ReportCommand.h"
#include "analysis/records/CivilTime.h"
#include "analysis/report/Report.h"
#include "recording/FormatTenths.h"
#include "widgets/Dialogs.h"
#include "widgets/ValueBoard.h"

#include "widgets/QCustomPlotInclude.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <atomic>

using namespace SeriesWindowParts;

namespace {

constexpr int SeriesProgressMs = 30;

} // namespace

std::optional<LoadedSeries> SeriesWindowParts::loadWithProgress(const QStringList &files,
                                                                const AnalysisRequest &request,
                                                                QWidget *parent)
{
    struct Shared
    {
        std::atomic<int> done { 0 };
        std::atomic<int> total { int(0) };
        std::atomic<bool> cancelled { false };
    };
    const auto shared = std::make_shared<Shared>();
    shared->total = int(files.size());
    QProgressDialog progress(openSeriesCaption(), QStringLiteral("Cancel"), 0, int(files.size()),
                             parent);
    progress.setWindowTitle(programName());
    progress.setAccessibleName(QStringLiteral("Reading the series"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    LoadedSeries loaded;
    std::unique_ptr<QThread> thread(QThread::create([&loaded, &files, &request, shared] {
        loaded = loadSeries(files, request, [shared](qsizetype done, qsizetype total) {
            shared->done = int(done);
            shared->total = int(total);
            return !shared->cancelled.load();
        });
    }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer tick;
    tick.setInterval(SeriesProgressMs);
    QObject::connect(&tick, &QTimer::timeout, &progress, [&progress, shared] {
        progress.setMaximum(shared->total);
        progress.setValue(shared->done);
    });
    QObject::connect(&progress, &QProgressDialog::canceled, &loop,
                     [shared] { shared->cancelled = true; });
    tick.start();
    thread->start();
    loop.exec();
    thread->wait();
    progress.setValue(progress.maximum());
    if (shared->cancelled || loaded.outcome.cancelled)
        return std::nullopt;
    return loaded;
}

QString openSeriesCaption()
{
    return QStringLiteral("Reading the series…");
}

QStringList seriesFilesOf(const QStringList &filesOrFolder, QWidget *parent, bool *cancelled)
{
    if (!(filesOrFolder.size() == 1 && QFileInfo(filesOrFolder.front()).isDir()))
        return filesOrFolder;
    const QString folder = filesOrFolder.front();
    // Two stations in one folder are two series: the user picks one.
    const QStringList stations = SeriesFolder::stations(folder);
    if (stations.size() < 2)
        return SeriesFolder::dataFiles(folder);
    const std::optional<int> chosen = dialogs().chooseItem(
        parent,
        QStringLiteral("The folder holds the day files of %1 stations. Open the series of:")
            .arg(stations.size()),
        QStringLiteral("Open Series"), stations);
    if (!chosen) {
        if (cancelled)
            *cancelled = true;
        return {};
    }
    return SeriesFolder::dataFiles(folder, stations.value(*chosen));
}

SeriesWindow *OpenSeries(const QStringList &filesOrFolder, QWidget *parent, int64_t intervalLength)
{
    bool cancelled = false;
    const QPointer<QWidget> asker = parent;
    const QStringList files = seriesFilesOf(filesOrFolder, parent, &cancelled);
    // The choice ran events: the window that asked may be gone.
    if (cancelled || (parent && !asker))
        return nullptr;
    if (files.isEmpty()) {
        dialogs().message(parent,
                          QStringLiteral("There are no data files (*.vorn) in\n%1")
                              .arg(QDir::toNativeSeparators(filesOrFolder.value(0))),
                          QString(), MessageIcon::Warning, MessageButtons::Ok);
        return nullptr;
    }
    const QPointer<QWidget> owner = parent;
    std::optional<LoadedSeries> loaded
        = loadWithProgress(files, SeriesDocument::requestFor(intervalLength), parent);
    if (!loaded || (parent && !owner))
        return nullptr;
    const SeriesOutcome &outcome = loaded->outcome;
    if (!outcome.refusal.isEmpty() || !outcome.report) {
        QStringList why = outcome.problems;
        if (!outcome.refusal.isEmpty())
            why << outcome.refusal;
        dialogs().message(owner,
                          QStringLiteral("The files cannot be opened as one series:\n%1")
                              .arg(why.isEmpty() ? QStringLiteral("none of them can be read")
                                                 : why.join(QLatin1Char('\n'))),
                          QString(), MessageIcon::Warning, MessageButtons::Ok);
        return nullptr;
    }
    auto *window = new SeriesWindow(std::move(*loaded), intervalLength, owner);
    window->show();
    return window;
}

SeriesWindow *OpenSeriesDialog(const AnalysisHost &host)
{
    const QStringList files = dialogs().openFileNames(host.panel, dataFileFilter());
    if (files.isEmpty())
        return nullptr;
    return OpenSeries(files, host.panel);
}

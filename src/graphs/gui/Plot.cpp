#include "Plot.h"

#include "WindowImagePrint.h"
#include "graphs/LevelListPlot.h"
#include "graphs/ThrottledProgress.h"
#include "platform/PanelTimers.h"
#include "platform/ReadingListModel.h"
#include "widgets/Dialogs.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrinter>
#include <QScopeGuard>
#include <QVBoxLayout>

#include <optional>

namespace {
QPointer<Plot> s_openPlot;
}

Plot::Plot()
    : SeriesGraphWindow(QStringLiteral("Label4"), QStringLiteral("dB"))
{
    setWindowTitle(QStringLiteral("Plot"));
    graph()->setAxisCaption(GraphControl::Axis::Y, QStringLiteral("dB"));
    graph()->setAxisLabelFormat(GraphControl::Axis::Y, GraphControl::LabelFormat::Whole);

    auto *fields = new QGridLayout;
    const std::array<std::pair<const char *, QString>, 3> labels { {
        { "LblCompany", QStringLiteral("Company:") },
        { "LblSector", QStringLiteral("Sector:") },
        { "LblName", QStringLiteral("Name:") },
    } };
    for (int i = 0; i < 3; ++i) {
        auto *label = new QLabel(labels[std::size_t(i)].second, this);
        label->setObjectName(QLatin1String(labels[std::size_t(i)].first));
        label->setAccessibleName(label->text());
        auto *text = new QLineEdit(this);
        text->setObjectName(QStringLiteral("TxtText(%1)").arg(i));
        text->setAccessibleName(labels[std::size_t(i)].second.chopped(1));
        label->setBuddy(text);
        m_texts[std::size_t(i)] = text;
        fields->addWidget(label, i, 0);
        fields->addWidget(text, i, 1);
    }
    leftColumn()->addLayout(fields);
    chooseTrackMode(GraphControl::TrackMode::Normal);
}

Plot *Plot::openWindow()
{
    return s_openPlot.data();
}

Plot *Plot::PlotFromList(const QVector<QString> &levels, const PlotHost &host)
{
    return PlotFromList(std::span<const QString>(levels.constData(), std::size_t(levels.size())),
                        host);
}

Plot *Plot::PlotFromList(const ReadingListModel &list, const PlotHost &host)
{
    // A copy: the list may go while events run during the plot.
    const ReadingRows rows = list.rows();
    return plotLevels(host, [&rows](const std::function<void(int)> &progress) {
        return levelsFromRows(rows, progress);
    });
}

Plot *Plot::PlotFromList(std::span<const QString> levels, const PlotHost &host)
{
    return plotLevels(host, [levels](const std::function<void(int)> &progress) {
        return levelsFromList(levels, progress);
    });
}

Plot *Plot::plotLevels(const PlotHost &host,
                       const std::function<LevelListPlot(const std::function<void(int)> &)> &levels)
{
    std::optional<TimersOffGuard> timersOff;
    if (host.timers)
        timersOff.emplace(*host.timers);
    QPointer<QWidget> mainWindow = host.mainWindow;
    const QString caption = mainWindow ? mainWindow->windowTitle() : QString();
    const auto restoreCaption = qScopeGuard([&] {
        if (mainWindow)
            mainWindow->setWindowTitle(caption);
    });

    ThrottledProgress progress([&](int row) {
        if (mainWindow)
            mainWindow->setWindowTitle(QString::number(row) + QStringLiteral(" Completed"));
        QCoreApplication::processEvents();
    });
    const LevelListPlot plotted = levels([&](int row) { progress.update(row); });
    const int count = int(plotted.levels.size());
    progress.finish(count);

    if (!s_openPlot) {
        s_openPlot = new Plot;
        if (mainWindow)
            s_openPlot->move(mainWindow->x() + mainWindow->frameGeometry().width(), mainWindow->y());
    }
    Plot *window = s_openPlot.data();
    window->m_source = host.source;
    window->show();
    window->setBoxQuietly(RangeBox::XMax, count);
    window->setBoxQuietly(RangeBox::XMin, 1);
    window->setBoxQuietly(RangeBox::YMax, OverRangePlotLevel);
    window->setBoxQuietly(RangeBox::YMin, UnderRangePlotLevel);
    window->graph()->setAxisRange(GraphControl::Axis::Y, UnderRangePlotLevel, OverRangePlotLevel);
    window->graph()->setAxisRange(GraphControl::Axis::X, 1, count);

    // Captions of an earlier list would point at readings of this one.
    window->graph()->clearAnnotations();
    window->graph()->plotY(plotted.levels, 1.0, 1.0);
    for (const PlotMarker &marker : plotted.markers)
        window->AddPlotMarker(marker.row, marker.caption, marker.captionLevel);
    return window;
}

void Plot::AddPlotMarker(int row, const QString &caption, double captionLevel)
{
    graph()->addAnnotation(row - 1, caption, row, captionLevel);
}

void Plot::showCursor()
{
    if (!graph()->hasCursor())
        graph()->createCursor(Qt::red);
    graph()->setCursorVisible(true);
}

void Plot::hideCursor()
{
    graph()->removeCursor();
}

void Plot::resetScale()
{
    const AxisSpan x = listResetXSpan(graphSharedState().plotPointCount);
    const AxisSpan y = listResetYSpan();
    graph()->setAxisRange(GraphControl::Axis::X, x.min, x.max);
    graph()->setAxisRange(GraphControl::Axis::Y, y.min, y.max);
}

void Plot::printGraph()
{
    chooseTrackMode(GraphControl::TrackMode::Normal);

    QPrinter &printer = currentPrinter();
    // This graph prints one copy in the orientation the printer already had.
    const QPageLayout::Orientation orientation = printer.pageLayout().orientation();
    if (!dialogs().setUpPrinter(this, printer, false))
        return;
    printer.setCopyCount(1);
    printer.setPageOrientation(orientation);
    setPrintLayout(true, std::nullopt);
    const auto restore = qScopeGuard([&] { setPrintLayout(false, std::nullopt); });
    printWindowImage(this, graph()->plot(), printer, 1);
}

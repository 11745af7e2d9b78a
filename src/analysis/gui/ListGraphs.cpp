#include "ListGraphs.h"

#include "graphs/GraphRanges.h"
#include "graphs/gui/Histogram.h"
#include "graphs/gui/Plot.h"
#include "platform/ReadingListModel.h"

void plotReadingList(const ReadingListModel &list, const AnalysisHost &host, const QString &source)
{
    // "Reset Scale" in the plot goes back to all the readings plotted.
    graphSharedState().plotPointCount = list.count();
    Plot::PlotFromList(list, PlotHost { host.panel, host.timers, source });
}

void showListHistogram(const ListDistribution &distribution)
{
    Histogram::LoadListHistogram(histogramInputFrom(distribution));
}

HistogramInput histogramInputFrom(const ListDistribution &distribution)
{
    HistogramInput input;
    input.width
        = distribution.mode == ResolutionMode::Tenth ? ClassWidth::Tenth : ClassWidth::Whole;
    // The whole array: the histogram finds the occupied classes itself.
    const std::span<const qint64> counts = distribution.chosenCounts();
    input.firstClassIndex = 0;
    input.counts.assign(counts.begin(), counts.end());
    for (int m = 0; m < ListDistribution::LnCount; ++m)
        input.lnTexts[m] = distribution.LnTable.value(m);
    return input;
}

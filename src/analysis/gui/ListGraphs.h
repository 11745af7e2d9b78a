#pragma once

#include "AnalysisHost.h"

#include "analysis/ListDistribution.h"
#include "graphs/HistogramInput.h"

class ReadingListModel;

// The graph windows a statistics window opens.

// Plots the level column in the list graph; the panel's caption counts the
// rows meanwhile and its timers stay off.
// `source` names the file, for a report that takes the graph's free texts.
void plotReadingList(const ReadingListModel &list, const AnalysisHost &host,
                     const QString &source = {});

// Shows the distribution in the list histogram with its Ln table.
void showListHistogram(const ListDistribution &distribution);

// What the histogram draws of a distribution: the counts of the chosen class
// width and the Ln texts.
HistogramInput histogramInputFrom(const ListDistribution &distribution);

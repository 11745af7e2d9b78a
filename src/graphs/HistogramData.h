#pragma once

#include "HistogramInput.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Points of a histogram: class index i of `counts` drawn at X = i + firstX.
struct HistogramPoints
{
    std::vector<double> x;
    std::vector<double> y;
};

HistogramPoints histogramPoints(std::span<const int64_t> counts, double firstX);

// First class with a count, searching upward from index 0 (level texts
// without a number count there), and last class with a count, searching
// downward from the top. Indices are positions in `counts`. Empty when no
// class has a count.
struct OccupiedClasses
{
    int first = 0;
    int last = 0;
};
std::optional<OccupiedClasses> occupiedClasses(std::span<const int64_t> counts);

// Where the list histogram draws class index 0: a 0.1 dB class is centred on
// its level, a 1 dB class k covers the levels from k up to k + 1.
double listHistogramFirstX(ClassWidth width);

// Largest count, 0 for no counts.
int64_t largestCount(std::span<const int64_t> counts);

// The Y maximum a histogram is drawn with: a little head room above the
// largest count, and never a zero-height axis.
double histogramYMaximum(std::span<const int64_t> counts);

// The Ln table: header texts ("Ln", " 0" .. " 9") and ten rows of eleven
// cells: "L(00)" .. "L(90)" followed by L(10 t + u) for u = 0..9.
QStringList lnTableHeader();
std::vector<QStringList> lnTableRows(const std::array<QString, 100> &lnTexts);

// Counts laid out from class index 0, whatever class the input starts at.
std::vector<int64_t> countsFromClassZero(const HistogramInput &input);

#pragma once

#include "LevelText.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <span>

class ReadingRows;

// Class width of a level distribution: tenths of a dB or whole dB.
enum class ResolutionMode { Tenth, Whole };

// The level distribution of a reading list and its percentile table L(0) …
// L(99). Both class arrays are always filled; the mode chooses which one the
// table is read from.
struct ListDistribution
{
    static constexpr int TenthClassCount = 1451; // 0.0 … 145.0 dB
    static constexpr int WholeClassCount = 146; // 0 … 145 dB
    static constexpr int UnderRangeTenthClass = 250;
    static constexpr int UnderRangeWholeClass = 25;
    static constexpr int OverRangeTenthClass = 1450;
    static constexpr int OverRangeWholeClass = 145;
    static constexpr int LnCount = 100;

    ResolutionMode mode = ResolutionMode::Tenth;
    // 64-bit: no class wraps however long the list.
    std::array<qint64, TenthClassCount> ListTenthCounts {};
    std::array<qint64, WholeClassCount> ListWholeCounts {};
    // N: the readings put into classes (marked and damaged readings are
    // left out).
    qint64 ListSampleCount = 0;
    qint64 markedCount = 0;
    qint64 damagedCount = 0;
    // LnClass[m] is the class index of L(m) in the chosen array, -1 when no
    // class was reached (N = 0).
    std::array<int, LnCount> LnClass {};
    // LnTable[m]: "65.3" in Tenth mode, "65" in Whole mode; empty when N = 0.
    QStringList LnTable;

    std::span<const qint64> chosenCounts() const;
    bool hasReadings() const { return ListSampleCount > 0; }
};

// Called with the share of the list counted so far, 0 … 100, at most every
// few tens of milliseconds and once at the end with 100.
using DistributionProgress = std::function<void(double percent)>;

// Counts the level texts into both class arrays and computes the percentile
// table of the chosen width. Pure: no window, no timers.
ListDistribution BuildListDistribution(std::span<const QString> levels, ResolutionMode mode,
                                       const DistributionProgress &progress = {});

// Counts one reading into both class arrays (a marked one into markedCount
// only), for callers that see the readings one at a time. Set
// ListSampleCount before computeLnTable.
void countLevel(ListDistribution &distribution, const LevelTextClass &level);
// The class of a reading that is not marked, in the given width.
int classIndexOf(const LevelTextClass &level, ResolutionMode mode);

// The same over the level column of compactly kept rows.
ListDistribution BuildListDistribution(const ReadingRows &rows, ResolutionMode mode,
                                       const DistributionProgress &progress = {});

// The two steps of BuildListDistribution, for callers that time them apart.
void countLevelTexts(std::span<const QString> levels, ListDistribution &distribution,
                     const DistributionProgress &progress = {});
void computeLnTable(ListDistribution &distribution);
// L(m) alone of class counts, as computeLnTable gives it; empty when the
// counts hold no sample.
QString lnTextOf(std::span<const qint64> counts, qint64 samples, int m, ResolutionMode mode);
// The same as a level in dB (the class in tenths or whole decibels).
std::optional<double> lnLevelOf(std::span<const qint64> counts, qint64 samples, int m,
                                ResolutionMode mode);
// A level of the Ln table as the table words it: "65.3", or "65" for whole
// decibels.
QString lnLevelText(double level, ResolutionMode mode);

// The caption text of the counting progress: "42.5% Completed".
QString distributionProgressCaption(double percent);

QString noReadingsMessage();

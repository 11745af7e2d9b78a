#include "ListDistribution.h"

#include "LevelText.h"
#include "platform/ReadingRows.h"

#include <QElapsedTimer>

#include <cmath>

namespace {

constexpr int ProgressIntervalMs = 30;

QString lnText(int classIndex, ResolutionMode mode)
{
    if (classIndex < 0)
        return {};
    if (mode == ResolutionMode::Whole)
        return QString::number(classIndex);
    // The class index is already the level in tenths: print it with the
    // point before its last digit, without a detour through a float.
    return QString::number(classIndex / 10) + u'.' + QString::number(classIndex % 10);
}

} // namespace

std::span<const qint64> ListDistribution::chosenCounts() const
{
    if (mode == ResolutionMode::Whole)
        return ListWholeCounts;
    return ListTenthCounts;
}

int classIndexOf(const LevelTextClass &level, ResolutionMode mode)
{
    const bool tenth = mode == ResolutionMode::Tenth;
    switch (level.kind) {
    case LevelKind::UnderRange:
        return tenth ? ListDistribution::UnderRangeTenthClass
                     : ListDistribution::UnderRangeWholeClass;
    case LevelKind::OverRange:
        return tenth ? ListDistribution::OverRangeTenthClass
                     : ListDistribution::OverRangeWholeClass;
    case LevelKind::Marked:
    case LevelKind::Ordinary:
    case LevelKind::Damaged:
        break;
    }
    // A value of whole tenths: rint(10 * t / 10.0) is t, floor(t / 10.0) is
    // t / 10 (t / 10.0 is the double nearest to it).
    if (level.tenths >= 0)
        return tenth ? level.tenths : level.tenths / 10;
    // 0 <= value < 145, so both indices stay inside their arrays; rint
    // rounds ties to even in the default rounding mode.
    return tenth ? int(std::rint(10.0 * level.value)) : int(std::floor(level.value));
}

void countLevel(ListDistribution &distribution, const LevelTextClass &level)
{
    if (level.kind == LevelKind::Marked) {
        ++distribution.markedCount;
        return;
    }
    if (level.kind == LevelKind::Damaged) {
        ++distribution.damagedCount;
        return;
    }
    ++distribution.ListTenthCounts[classIndexOf(level, ResolutionMode::Tenth)];
    ++distribution.ListWholeCounts[classIndexOf(level, ResolutionMode::Whole)];
}

namespace {

// Counts `total` readings, the class of each from `classOf`, telling the
// progress at most every ProgressIntervalMs and once at the end.
template<typename ClassOf>
void countAll(ListDistribution &distribution, qint64 total, ClassOf classOf,
              const DistributionProgress &progress)
{
    QElapsedTimer clock;
    clock.start();
    for (qint64 i = 0; i < total; ++i) {
        countLevel(distribution, classOf(i));
        if (progress && (i & 0x3FF) == 0 && clock.elapsed() >= ProgressIntervalMs) {
            progress(100.0 * double(i + 1) / double(total));
            clock.restart();
        }
    }
    distribution.ListSampleCount = total - distribution.markedCount - distribution.damagedCount;
    if (progress)
        progress(100.0);
}

} // namespace

void countLevelTexts(std::span<const QString> levels, ListDistribution &distribution,
                     const DistributionProgress &progress)
{
    distribution.ListTenthCounts.fill(0);
    distribution.ListWholeCounts.fill(0);
    distribution.markedCount = 0;
    distribution.damagedCount = 0;

    countAll(
        distribution, qint64(levels.size()),
        [&](qint64 i) { return classifyLevelText(levels[size_t(i)]); }, progress);
}

namespace {

// The class of L(m): the same thresholds and the same walk as
// computeLnTable, for one m. -1 when the counts hold no sample.
int lnClassOf(std::span<const qint64> counts, qint64 samples, int m)
{
    const double n = double(samples);
    const int step = ListDistribution::LnCount - m;
    const double threshold = n / 200.0 + double(step - 1) * (n / 100.0);
    qint64 runningSum = 0;
    for (size_t k = 0; k < counts.size(); ++k) {
        runningSum += counts[k];
        if (double(runningSum) > threshold)
            return int(k);
    }
    return -1;
}

} // namespace

QString lnTextOf(std::span<const qint64> counts, qint64 samples, int m, ResolutionMode mode)
{
    return lnText(lnClassOf(counts, samples, m), mode);
}

std::optional<double> lnLevelOf(std::span<const qint64> counts, qint64 samples, int m,
                                ResolutionMode mode)
{
    const int k = lnClassOf(counts, samples, m);
    if (k < 0)
        return std::nullopt;
    return mode == ResolutionMode::Tenth ? k / 10.0 : double(k);
}

QString lnLevelText(double level, ResolutionMode mode)
{
    return lnText(int(std::lround(mode == ResolutionMode::Tenth ? level * 10.0 : level)), mode);
}

void computeLnTable(ListDistribution &distribution)
{
    const std::span<const qint64> counts = distribution.chosenCounts();
    const double n = double(distribution.ListSampleCount);
    distribution.LnClass.fill(-1);
    distribution.LnTable.clear();
    distribution.LnTable.reserve(ListDistribution::LnCount);
    for (int m = 0; m < ListDistribution::LnCount; ++m)
        distribution.LnTable.append(QString());

    // The thresholds grow with n, so one pass over the classes serves all
    // hundred of them; each still takes the first class whose running sum
    // is strictly greater than its threshold.
    size_t k = 0;
    qint64 runningSum = counts.empty() ? 0 : counts[0];
    for (int step = 1; step <= ListDistribution::LnCount; ++step) {
        const double threshold = n / 200.0 + double(step - 1) * (n / 100.0);
        while (k < counts.size() && !(double(runningSum) > threshold)) {
            ++k;
            if (k < counts.size())
                runningSum += counts[k];
        }
        if (k >= counts.size())
            break;
        const int m = ListDistribution::LnCount - step;
        distribution.LnClass[m] = int(k);
        distribution.LnTable[m] = lnText(int(k), distribution.mode);
    }
}

ListDistribution BuildListDistribution(std::span<const QString> levels, ResolutionMode mode,
                                       const DistributionProgress &progress)
{
    ListDistribution distribution;
    distribution.mode = mode;
    countLevelTexts(levels, distribution, progress);
    computeLnTable(distribution);
    return distribution;
}

ListDistribution BuildListDistribution(const ReadingRows &rows, ResolutionMode mode,
                                       const DistributionProgress &progress)
{
    ListDistribution distribution;
    distribution.mode = mode;
    countAll(
        distribution, rows.count(), [&](qint64 i) { return classifyRowLevel(rows, i); }, progress);
    computeLnTable(distribution);
    return distribution;
}

QString distributionProgressCaption(double percent)
{
    return QString::number(percent, 'f', 1) + QStringLiteral("% Completed");
}

QString noReadingsMessage()
{
    return QStringLiteral("No readings to count.");
}

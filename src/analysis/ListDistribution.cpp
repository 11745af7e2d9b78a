#include "ListDistribution.h"

#include "LevelText.h"

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

void countLevelTexts(std::span<const QString> levels, ListDistribution &distribution,
                     const DistributionProgress &progress)
{
    distribution.ListTenthCounts.fill(0);
    distribution.ListWholeCounts.fill(0);
    distribution.markedCount = 0;

    QElapsedTimer clock;
    clock.start();
    const qint64 total = qint64(levels.size());
    for (qint64 i = 0; i < total; ++i) {
        const LevelTextClass level = classifyLevelText(levels[i]);
        switch (level.kind) {
        case LevelKind::Marked:
            ++distribution.markedCount;
            break;
        case LevelKind::UnderRange:
            ++distribution.ListTenthCounts[ListDistribution::UnderRangeTenthClass];
            ++distribution.ListWholeCounts[ListDistribution::UnderRangeWholeClass];
            break;
        case LevelKind::OverRange:
            ++distribution.ListTenthCounts[ListDistribution::OverRangeTenthClass];
            ++distribution.ListWholeCounts[ListDistribution::OverRangeWholeClass];
            break;
        case LevelKind::Ordinary: {
            // 0 <= value < 145, so both indices stay inside their arrays;
            // rint rounds ties to even in the default rounding mode.
            const int tenth = int(std::rint(10.0 * level.value));
            const int whole = int(std::floor(level.value));
            ++distribution.ListTenthCounts[tenth];
            ++distribution.ListWholeCounts[whole];
            break;
        }
        }
        if (progress && (i & 0x3FF) == 0 && clock.elapsed() >= ProgressIntervalMs) {
            progress(100.0 * double(i + 1) / double(total));
            clock.restart();
        }
    }
    distribution.ListSampleCount = total - distribution.markedCount;
    if (progress)
        progress(100.0);
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

QString distributionProgressCaption(double percent)
{
    return QString::number(percent, 'f', 1) + QStringLiteral("% Completed");
}

QString noReadingsMessage()
{
    return QStringLiteral("No readings to count.");
}

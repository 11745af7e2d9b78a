#include "FileStatistics.h"

#include "CivilTime.h"
#include "analysis/LevelText.h"

#include <algorithm>
#include <cmath>

QStringList storedBoardCaptions(DataFileKind kind)
{
    switch (kind) {
    case DataFileKind::RealTime:
        return { QStringLiteral("Freq Weight"), QStringLiteral("Time Weight"),
                 QStringLiteral("Level Range"), QStringLiteral("Max dB"),
                 QStringLiteral("Max Time"),    QStringLiteral("SEL"),
                 QStringLiteral("Leq") };
    case DataFileKind::DataLogger:
        return { QStringLiteral("Freq Weight"), QStringLiteral("Time Weight"),
                 QStringLiteral("Level Range"), QStringLiteral("L 05"),
                 QStringLiteral("L 10"),        QStringLiteral("L 50"),
                 QStringLiteral("L 90"),        QStringLiteral("L 95"),
                 QStringLiteral("Max dB"),      QStringLiteral("Max Time"),
                 QStringLiteral("SEL"),         QStringLiteral("Leq") };
    case DataFileKind::Headerless:
        break;
    }
    return {};
}

double energyOf(double level)
{
    return std::pow(10.0, level / 10.0);
}

double levelFromEnergy(double energySum, qint64 count)
{
    return 10.0 * std::log10(energySum / double(count));
}

std::optional<double> intervalFromTimeStamps(const QVector<QString> &times)
{
    std::vector<int64_t> steps;
    std::optional<int64_t> previous;
    for (const QString &time : times) {
        const auto t = CivilTime::parseStamp(time);
        if (!t)
            continue;
        if (previous && *t > *previous)
            steps.push_back(*t - *previous);
        previous = t;
    }
    if (steps.empty())
        return std::nullopt;
    auto middle = steps.begin() + steps.size() / 2;
    std::nth_element(steps.begin(), middle, steps.end());
    return double(*middle);
}

namespace {

// The value an over-range reading carries, when it carries one ("150.2"
// does, "L" does not).
std::optional<double> overRangeValue(const QString &text)
{
    if (text.contains(QLatin1Char('L')))
        return std::nullopt;
    const double v = leadingLevelValue(text);
    return v >= OverRangeLevel ? std::optional<double>(v) : std::nullopt;
}

} // namespace

FileStatistics computeFileStatistics(const DataFileContents &file, ResolutionMode mode)
{
    FileStatistics stats;
    stats.kind = file.kind;
    const QStringList captions = storedBoardCaptions(file.kind);
    for (qsizetype i = 0; i < captions.size(); ++i)
        stats.storedBoards.emplace_back(
            captions.at(i), i < file.boardTexts.size() ? file.boardTexts.at(i) : QString());

    if (file.samplingInterval > 0) {
        stats.interval = file.samplingInterval;
        stats.intervalSource = IntervalSource::Header;
    } else if (const auto fromTimes = intervalFromTimeStamps(file.times)) {
        stats.interval = *fromTimes;
        stats.intervalSource = IntervalSource::TimeStamps;
    }

    stats.readings = file.levels.size();
    double energy = 0.0;
    for (qsizetype i = 0; i < file.levels.size(); ++i) {
        const QString &text = file.levels.at(i);
        const LevelTextClass c = classifyLevelText(text);
        std::optional<double> level;
        switch (c.kind) {
        case LevelKind::Marked:
            ++stats.marked;
            break;
        case LevelKind::UnderRange:
            ++stats.underRange;
            break;
        case LevelKind::OverRange:
            ++stats.overRange;
            level = overRangeValue(text);
            break;
        case LevelKind::Ordinary:
            if (startsWithLevelNumber(text))
                level = c.value;
            else
                ++stats.withoutNumber;
            break;
        }
        if (!level)
            continue;
        ++stats.energyReadings;
        energy += energyOf(*level);
        const QString &time = i < file.times.size() ? file.times.at(i) : QString();
        if (!stats.maximum || *level > stats.maximum->level)
            stats.maximum = LevelAt { *level, text, time };
        if (!stats.minimum || *level < stats.minimum->level)
            stats.minimum = LevelAt { *level, text, time };
    }
    if (stats.energyReadings > 0) {
        stats.leq = levelFromEnergy(energy, stats.energyReadings);
        stats.sel = *stats.leq + 10.0 * std::log10(double(stats.energyReadings) * stats.interval);
    }
    stats.distribution = BuildListDistribution(file.levels, mode);
    return stats;
}

QStringList methodDescription(const FileStatistics &stats)
{
    const bool tenth = stats.distribution.mode == ResolutionMode::Tenth;
    QStringList lines;
    lines << QStringLiteral("Leq: 10*log10 of the mean of 10^(L/10) over %1 readings "
                            "(ordinary levels and over-range readings that carry a value).")
                 .arg(stats.energyReadings);
    QString source;
    switch (stats.intervalSource) {
    case IntervalSource::Header:
        source = QStringLiteral("from the file header");
        break;
    case IntervalSource::TimeStamps:
        source = QStringLiteral("from the time stamps");
        break;
    case IntervalSource::Assumed:
        source = QStringLiteral("assumed, the file gives none");
        break;
    }
    lines << QStringLiteral("SEL: Leq + 10*log10(readings x %1 s), referred to 1 s; interval %2.")
                 .arg(QString::number(stats.interval), source);
    lines << QStringLiteral("L(m): the lowest %1 class holding more than (100 - m - 0.5) % of "
                            "the %2 counted samples; no interpolation inside a class.")
                 .arg(tenth ? QStringLiteral("0.1 dB") : QStringLiteral("1 dB"))
                 .arg(stats.distribution.ListSampleCount);
    lines << QStringLiteral("Left out: %1 marked readings from every figure; %2 under-range "
                            "readings from Leq, SEL, maximum and minimum (counted at 25.0 dB in "
                            "the L table); over-range readings count at 145.0 dB in the L table.")
                 .arg(stats.marked)
                 .arg(stats.underRange);
    lines << QStringLiteral("Left out: %1 readings whose text starts with no number from Leq, SEL, "
                            "maximum and minimum (counted at 0.0 dB in the L table).")
                 .arg(stats.withoutNumber);
    return lines;
}

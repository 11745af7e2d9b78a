#include "analysis/engine/FileStatistics.h"
#include "recording/Energy.h"

#include "analysis/LevelText.h"
#include "analysis/records/CivilTime.h"
#include "recording/SampleTick.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

const EnergyTable &energyTable()
{
    static const EnergyTable table = [] {
        EnergyTable t { std::vector<double>(2001), std::vector<double>(2001) };
        for (std::size_t i = 0; i < t.level.size(); ++i) {
            t.level[i] = double(i) / 10.0;
            t.energy[i] = Energy::ofLevel(t.level[i]);
        }
        return t;
    }();
    return table;
}

double energyOfLevel(double level)
{
    return energyOf(level);
}

double energyOfAny(double level)
{
    return Energy::ofLevel(level);
}

double levelFromEnergy(double energySum, qint64 count)
{
    return Energy::leq(energySum, double(count));
}

std::optional<double> energyLevelOf(QStringView text, const LevelTextClass &level)
{
    switch (level.kind) {
    case LevelKind::Marked:
    case LevelKind::UnderRange:
    case LevelKind::Damaged:
        return std::nullopt;
    case LevelKind::OverRange: {
        if (text.contains(u'L'))
            return std::nullopt;
        const double v = leadingLevelValue(text);
        // Only a damaged frame carries a level above any range; it would
        // make the energy sum infinite.
        return v >= OverRangeLevel && LevelEntersEnergySums(v) ? std::optional<double>(v)
                                                               : std::nullopt;
    }
    case LevelKind::Ordinary:
        break;
    }
    // A leading digit is a leading number; only other texts need the parser.
    const bool digitFirst = !text.isEmpty() && text[0] >= u'0' && text[0] <= u'9';
    if (!digitFirst && !startsWithLevelNumber(text))
        return std::nullopt;
    return level.value;
}

FileStatisticsBuilder::FileStatisticsBuilder(ResolutionMode mode)
{
    m_stats.distribution.mode = mode;
}

bool isDamagedLevel(QStringView text, const LevelTextClass &level,
                    std::optional<double> energyLevel)
{
    return level.kind == LevelKind::OverRange && !energyLevel && !text.contains(u'L')
        && !LevelEntersEnergySums(leadingLevelValue(text));
}

void FileStatisticsBuilder::add(QStringView timeText, std::optional<int64_t> time,
                                QStringView levelText, const LevelTextClass &level,
                                std::optional<double> energyLevel)
{
    add(time, level, energyLevel, isDamagedLevel(levelText, level, energyLevel), timeText,
        levelText);
}

void FileStatisticsBuilder::add(std::optional<int64_t> time, const LevelTextClass &level,
                                std::optional<double> energyLevel, bool damaged,
                                QStringView timeText, QStringView levelText)
{
    // The reader names damaged lines; they count in no figure.
    if (level.kind == LevelKind::Damaged)
        return;
    ++m_stats.readings;
    if (time)
        m_steps.add(*time);
    countLevel(m_stats.distribution, level);
    switch (level.kind) {
    case LevelKind::Marked:
        ++m_stats.marked;
        break;
    case LevelKind::UnderRange:
        ++m_stats.underRange;
        break;
    case LevelKind::OverRange:
        ++m_stats.overRange;
        if (damaged)
            ++m_stats.damaged;
        break;
    case LevelKind::Ordinary:
        if (!energyLevel)
            ++m_stats.withoutNumber;
        break;
    case LevelKind::Damaged:
        break;
    }
    if (!energyLevel)
        return;
    ++m_stats.energyReadings;
    m_energy += energyOf(*energyLevel);
    // The texts are copied only when the extreme changes.
    if (!m_stats.maximum || *energyLevel > m_stats.maximum->level)
        m_stats.maximum = LevelAt { *energyLevel, levelText.toString(), timeText.toString(), time };
    if (!m_stats.minimum || *energyLevel < m_stats.minimum->level)
        m_stats.minimum = LevelAt { *energyLevel, levelText.toString(), timeText.toString(), time };
}

FileStatistics FileStatisticsBuilder::finish(const DataFileContents &header) const
{
    FileStatistics stats = m_stats;
    stats.kind = header.kind;
    const QStringList captions = storedBoardCaptions(header.kind);
    for (qsizetype i = 0; i < captions.size(); ++i)
        stats.storedBoards.emplace_back(
            captions.at(i), i < header.boardTexts.size() ? header.boardTexts.at(i) : QString());

    if (header.samplingInterval > 0) {
        stats.interval = header.samplingInterval;
        stats.intervalSource = IntervalSource::Header;
    } else if (const auto fromTimes = m_steps.median()) {
        stats.interval = *fromTimes;
        stats.intervalSource = IntervalSource::TimeStamps;
    }
    if (stats.energyReadings > 0) {
        stats.leq = levelFromEnergy(m_energy, stats.energyReadings);
        stats.sel = Energy::sel(*stats.leq, double(stats.energyReadings) * stats.interval);
    }
    stats.distribution.ListSampleCount = stats.readings - stats.distribution.markedCount;
    computeLnTable(stats.distribution);
    return stats;
}

FileStatistics computeFileStatistics(const DataFileContents &file, ResolutionMode mode)
{
    FileStatisticsBuilder builder(mode);
    for (qsizetype i = 0; i < file.rows.count(); ++i) {
        const QString time = file.time(i);
        const QString text = file.level(i);
        const LevelTextClass level = classifyLevelText(text);
        builder.add(time, CivilTime::parseStamp(time), text, level, energyLevelOf(text, level));
    }
    return builder.finish(file);
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
    if (stats.damaged > 0)
        lines << QStringLiteral("Left out: %1 readings above %2 dB, which only a damaged transfer "
                                "carries, from Leq, SEL, maximum and minimum (counted at 145.0 dB "
                                "in the L table).")
                     .arg(stats.damaged)
                     .arg(QString::number(HighestPlausibleLevel, 'f', 1));
    return lines;
}

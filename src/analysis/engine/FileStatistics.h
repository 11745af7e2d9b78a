#pragma once

#include "analysis/engine/IntervalLevels.h"
#include "analysis/ListDistribution.h"
#include "recording/DataFileReader.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// Where the sampling interval of a file's statistics came from.
enum class IntervalSource { Header, TimeStamps, Assumed };

struct LevelAt
{
    double level = 0.0;
    QString text;
    QString time;
    std::optional<int64_t> civil; // the time read, when it reads
};

// Statistics recomputed from the readings of one data file, next to the
// header texts exactly as stored.
struct FileStatistics
{
    DataFileKind kind = DataFileKind::Headerless;
    // (board caption, stored text) in file order.
    std::vector<std::pair<QString, QString>> storedBoards;

    double interval = 1.0;
    IntervalSource intervalSource = IntervalSource::Assumed;

    qint64 readings = 0; // body lines
    qint64 marked = 0;
    qint64 underRange = 0;
    qint64 overRange = 0;
    // Readings whose text has no number at its start (""): they count at
    // class 0 in the L table but enter no energy figure, maximum or minimum.
    qint64 withoutNumber = 0;
    // Over-range readings above any range (only a damaged transfer carries
    // one): they count at 145.0 dB in the L table but enter no energy
    // figure, maximum or minimum.
    qint64 damaged = 0;
    // Readings whose energy enters Leq and SEL: ordinary levels and
    // over-range readings that carry a value.
    qint64 energyReadings = 0;

    std::optional<double> leq;
    std::optional<double> sel;
    std::optional<LevelAt> maximum;
    std::optional<LevelAt> minimum;

    ListDistribution distribution;
};

// The board captions of the header lines of each kind of file, from line 3 on.
QStringList storedBoardCaptions(DataFileKind kind);

// The level a reading adds to Leq, SEL, maximum and minimum: an ordinary
// level whose text starts with a number, or an over-range reading that
// carries a value ("150.2" does, "L" does not).
std::optional<double> energyLevelOf(QStringView text, const LevelTextClass &level);

// An over-range reading above any range, which only a damaged transfer
// carries.
bool isDamagedLevel(QStringView text, const LevelTextClass &level,
                    std::optional<double> energyLevel);

// The statistics of a file gathered in one pass over its readings; memory
// does not grow with the number of readings.
class FileStatisticsBuilder
{
public:
    explicit FileStatisticsBuilder(ResolutionMode mode);
    // One reading; `time` is its time stamp read as civil seconds, if it reads.
    void add(QStringView timeText, std::optional<int64_t> time, QStringView levelText,
             const LevelTextClass &level, std::optional<double> energyLevel);
    // The same of a reading kept without its texts: `damaged` as
    // isDamagedLevel tells; the maximum and minimum then carry no texts.
    void add(std::optional<int64_t> time, const LevelTextClass &level,
             std::optional<double> energyLevel, bool damaged, QStringView timeText = {},
             QStringView levelText = {});
    // The header of the file (kind, boards, interval) and the figures.
    FileStatistics finish(const DataFileContents &header) const;

private:
    FileStatistics m_stats;
    double m_energy = 0.0;
    StepMedian m_steps;
};

FileStatistics computeFileStatistics(const DataFileContents &file, ResolutionMode mode);

// 10·log10 of the mean of 10^(L/10); the energy sum is kept by the caller.
double levelFromEnergy(double energySum, qint64 count);
// Readings come in tenths of a dB: their energies are looked up, the same
// numbers pow gives, without its cost on every reading.
struct EnergyTable
{
    std::vector<double> level;
    std::vector<double> energy;
};
const EnergyTable &energyTable();
double energyOfAny(double level);
inline double energyOf(double level)
{
    static const EnergyTable &table = energyTable();
    const double scaled = level * 10.0 + 0.5;
    if (scaled >= 0.0 && scaled < 2001.0) {
        const auto t = std::size_t(scaled);
        if (table.level[t] == level)
            return table.energy[t];
    }
    return energyOfAny(level);
}

// The method behind the figures, in words, for the reports.
QStringList methodDescription(const FileStatistics &stats);

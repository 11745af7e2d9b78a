#pragma once

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

// Median step between consecutive readable time stamps, when there is one.
std::optional<double> intervalFromTimeStamps(const QVector<QString> &times);

FileStatistics computeFileStatistics(const DataFileContents &file, ResolutionMode mode);

// 10·log10 of the mean of 10^(L/10); the energy sum is kept by the caller.
double levelFromEnergy(double energySum, qint64 count);
double energyOf(double level);

// The method behind the figures, in words, for the reports.
QStringList methodDescription(const FileStatistics &stats);

#pragma once

#include "LoggerDataSet.h"

#include <QString>
#include <QVector>

#include <functional>
#include <optional>

// A logger data set decoded for the data list window: the board texts and
// one row per record. Member names follow the boards they fill.
struct LoggerSetView
{
    int records = 0;
    int interval = 0; // seconds

    QString BoardCA; // frequency weighting, "20-200Hz Filter" for the filter
    QString BoardSFI; // time weighting
    QString BoardLevel; // "80-140"
    QString BoardMaxdB;
    QString BoardMaxTime;
    QString BoardPeakdB;
    QString BoardPeakTime;
    QString Board05, Board10, Board50, Board90, Board95; // "- - -" near the range bottom
    QString BoardSEL;
    QString BoardLeq;

    QString startTime;
    // False when the start stamp is no real date and time: the record times
    // then all show the start stamp as it stands.
    bool startTimeValid = true;

    QVector<QString> numbers; // "1", "2", ...
    QVector<QString> times; // "yyyy/mm/dd hh:nn:ss"
    QVector<QString> levels; // level texts
};

// Reports decoded records j of k; called at most every ~30 ms and once at the end.
using LoggerDecodeProgress = std::function<void(int record, int records)>;

// The text of a six-byte BCD stamp (second, minute, hour, day, month, year):
// the century of pcYear, then every byte as its two hex digits.
QString LoggerStampText(const char *stamp, int pcYear);

// Decodes a set; std::nullopt when the bytes do not hold a whole set.
// pcYear gives the century of the two-digit years.
std::optional<LoggerSetView> DecodeLoggerSet(const LoggerDataSet &set, int pcYear,
                                             const LoggerDecodeProgress &progress = {});

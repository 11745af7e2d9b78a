#pragma once

#include "analysis/engine/FileAnalysis.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

// Why a read gives nothing to report: the reader's problem, or an empty
// file; empty when the contents are good.
QString readProblem(const DataFileContents &contents);
// A file a damaged line ended after `readings` readings, which then count:
// the line and "line 43211 is not a reading: …"; nothing otherwise.
std::optional<FileTrouble> cutOf(const QString &name, const DataFileContents &contents,
                                 qint64 readings);

// Reads one file ("-" is standard input) in one pass, keeping no readings.
std::pair<FileFigures, DataFileContents> analysePath(const QString &name,
                                                    const AnalysisRequest &request);

// The files' reports in the order given, read by up to `jobs` threads at
// once (0: one per core). The output does not depend on the number.
std::vector<std::pair<FileFigures, DataFileContents>>
analysePaths(const QStringList &names, const AnalysisRequest &request, int jobs);
// The same with a request of each file's own (its exclusions).
std::vector<std::pair<FileFigures, DataFileContents>>
analysePaths(const QStringList &names, const std::vector<AnalysisRequest> &requests, int jobs);

// The files as one series ordered by time.
struct SeriesOutcome
{
    // The series; empty when refused or when no file could be read.
    std::optional<FileFigures> report;
    // "NAME: message" of each file that could not be read and is left out.
    QStringList problems;
    // Why the files cannot be joined (overlap, sampling intervals, a list
    // without one): then nothing is reported.
    QString refusal;
    bool cancelled = false;
};

// "fence 2026-04-01.vorn … fence 2026-04-30.vorn (30 files)": the title of
// the joined files, by their names without folders.
QString seriesTitle(const std::vector<JoinedFile> &joined);

// What a window that shows the series takes while it is analysed: every
// counted reading in series order, and the progress, which may cancel.
struct SeriesSink
{
    // time: civil seconds, when the stamp reads; energy: the level entering
    // Leq, if any; damaged: as isDamagedLevel tells.
    std::function<void(std::optional<int64_t> time, const LevelTextClass &level,
                       std::optional<double> energy, bool damaged)>
        reading;
    // After each file: files done and in all; false cancels the analysis.
    std::function<bool(qsizetype done, qsizetype total)> progress;
};

// Files are put in the order of their first reading and read by up to `jobs`
// threads at once, while their readings enter one analysis in time order;
// at most a few files are held at a time, whatever their number.
SeriesOutcome analyseSeries(const QStringList &names, const AnalysisRequest &request, int jobs,
                            const SeriesSink *sink = nullptr);

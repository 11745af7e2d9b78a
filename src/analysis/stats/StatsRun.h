#pragma once

#include "analysis/engine/FileSeries.h"
#include "analysis/stats/StatsOptions.h"

#include <functional>
#include <optional>

// What the PDF report takes of a run, given where one is asked for: each file
// read whole, or the joined series.
class StatsReportSink
{
public:
    virtual ~StatsReportSink() = default;
    // A file read whole, in its request's zone; `figures` when the run writes
    // them, else null. `cut`: where a damaged line stopped the read.
    virtual void file(const QString &name, const DataFileContents &contents,
                      const AnalysisRequest &request, const FileFigures *figures,
                      const std::optional<FileTrouble> &cut,
                      const std::optional<DamagedLines> &damaged)
        = 0;
    virtual void series(const FileFigures &series, const AnalysisRequest &request) = 0;
};

// One run of vorn-stats once its command line is read: each file's zone and
// request, the analysis of the files or their series, and the outputs on
// standard output and in the tables asked for. Problems go to standard error
// as they are met.
class StatsRun
{
public:
    explicit StatsRun(StatsOptions options)
        : m_options(std::move(options))
    {
    }
    // How the outputs name a file (the hub's days by where they came from).
    void nameFilesBy(std::function<void(QString &name)> rename) { m_rename = std::move(rename); }
    // The exit status: 0, 1 when a file could not be read or an output not
    // written, 2 for a usage error found once the files are known. With a
    // report, every file is read whole and handed to it.
    int run(StatsReportSink *report = nullptr);

private:
    // Each file's (or the series') request; false when the run cannot go on.
    bool makeRequests();
    void analyseForReport(StatsReportSink &report);
    void analyse();
    void writeOutputs();
    void fail(const QString &message);
    // Says a file's read problem; false when the file is left out.
    bool takeProblem(const QString &name, const DataFileContents &contents,
                     const std::optional<FileTrouble> &cut);
    // Says what a series left out; true when it was refused as a whole.
    bool refused(const SeriesOutcome &series);

    StatsOptions m_options;
    std::function<void(QString &)> m_rename;
    std::vector<AnalysisRequest> m_requests;
    std::vector<FileFigures> m_figures;
    int m_status = 0;
    bool m_refused = false;
};

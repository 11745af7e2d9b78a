#pragma once

#include "analysis/output/Outputs.h"

#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <utility>

// The command line of vorn-stats.
struct StatsOptions
{
    AnalysisRequest request;
    OutputFormat format = OutputFormat::Text;
    QStringList files; // "-" is standard input
    // The PDF report, when one is asked for, and the lines it names.
    QString pdfPath;
    QString company;
    QString sector;
    QString name;
    // False when only the PDF was asked for: nothing goes to standard output.
    bool standardOutput = true;
    bool help = false;
    bool version = false;
    // The files as one series ordered by time.
    bool join = false;
    // --station: which station's series a folder (or the hub) stands for.
    QString station;
    // --hub DATABASE: the station's readings from a hub's database instead of
    // files; --hub-password-file: the database's password.
    QString hub;
    QString hubPasswordFile;
    // Threads reading files at once; 0: as many as the machine has cores.
    int jobs = 0;
    // --zone: the zone of files whose details name none.
    QString zone;
    // --from and --to as given; they name moments once the zone is known.
    struct SiteTime
    {
        int64_t civil = 0;
        std::optional<int> offset; // seconds east, when one was written
    };
    std::optional<SiteTime> from;
    std::optional<SiteTime> to;
    // --exclusions FILE instead of the folder's; --no-exclusions.
    QString exclusionsPath;
    bool noExclusions = false;
    // --weather FILE instead of the folder's; --no-weather; --weather-rule,
    // --no-weather-rules, --weather-interval.
    QString weatherPath;
    bool noWeather = false;
    // --weather-columns: the weather file is a weather station's own export.
    std::optional<WeatherColumns> weatherColumns;
    // --events-csv FILE: the events as one table of their own.
    QString eventsCsvPath;
    // --assessment-csv FILE: the verdict per period as a table of its own.
    QString assessmentCsvPath;
    std::optional<WeatherRules> weatherRules = WeatherRules {};
    int64_t weatherInterval = 0;
};

// The exclusions that apply to each data file under the options: none with
// --no-exclusions, those of --exclusions FILE, else those of the file's
// folder when it has an exclusions file; and the spans the weather rules
// take out of the folder's (or --weather) weather, less those its keep file
// keeps. Each file is read once; a damaged exclusions file is refused, since
// figures without it would misstate the record; a damaged weather or keep
// line is named and skipped.
class ExclusionsLookup
{
public:
    explicit ExclusionsLookup(const StatsOptions &options);
    // Sets the request's exclusions for the data file; false with problem().
    bool apply(AnalysisRequest &request, const QString &dataFile);
    const QString &problem() const { return m_problem; }
    // Lines a damaged weather or keep file had: named, skipped, said once.
    QStringList takeWarnings() { return std::exchange(m_warnings, {}); }

private:
    struct Loaded
    {
        std::shared_ptr<const ExclusionSpans> spans;
        QString problem;
    };
    // The hand-made rows of an exclusions file (empty path: none).
    const Loaded &handRows(const QString &path);
    // The weather of a data file's folder, read once.
    std::shared_ptr<const WeatherData> weatherFor(const QString &dataFile);
    QString m_chosen;
    bool m_none = false;
    QString m_weatherChosen;
    bool m_noWeather = false;
    std::optional<WeatherRules> m_rules;
    std::optional<WeatherColumns> m_columns;
    std::map<QString, Loaded> m_loaded;
    std::map<QString, std::shared_ptr<const WeatherData>> m_weather;
    std::map<QString, std::shared_ptr<const ExclusionSpans>> m_combined;
    QStringList m_warnings;
    QString m_problem;
};

struct ParsedOptions
{
    std::optional<StatsOptions> options;
    QString error; // set when options is empty
};

ParsedOptions parseStatsOptions(const QStringList &arguments);

QString statsUsage();

// "2026-03-12 23:00" or "2026-03-12T23:00" as civil seconds.
std::optional<int64_t> parseLocalMinute(const QString &text);
// The same, seconds allowed, with an offset ("+01:00") or Z when written.
std::optional<StatsOptions::SiteTime> parseSiteTime(const QString &text);
// --from and --to as moments in the zone in force (a time without an offset
// is the site's, in the hour that repeats its first run); false with `why`
// when --to does not come after --from.
bool applyWindow(AnalysisRequest &request, const StatsOptions &options, QString &why);

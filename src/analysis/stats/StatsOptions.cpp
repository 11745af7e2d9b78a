#include "analysis/stats/StatsOptions.h"

#include "platform/Calendar.h"

#include "analysis/records/Calibration.h"
#include "analysis/records/CivilTime.h"
#include "analysis/records/SiteZone.h"
#include "analysis/records/StationFolder.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>

#include <cmath>

ParsedOptions parseStatsOptions(const QStringList &arguments)
{
    StatsOptions options;
    bool csv = false;
    bool json = false;
    bool onlyFiles = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        const auto value = [&](const QString &name) -> std::optional<QString> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            Q_UNUSED(name)
            return arguments.at(++i);
        };
        if (onlyFiles || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
            options.files << arg;
        } else if (arg == QLatin1String("--")) {
            onlyFiles = true;
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (arg == QLatin1String("--csv")) {
            csv = true;
        } else if (arg == QLatin1String("--json")) {
            json = true;
        } else if (arg == QLatin1String("--join")) {
            options.join = true;
        } else if (arg == QLatin1String("--no-exclusions")) {
            options.noExclusions = true;
        } else if (arg == QLatin1String("--exclusions")) {
            const auto v = value(arg);
            if (!v || v->isEmpty())
                return { std::nullopt, QStringLiteral("--exclusions takes a file") };
            options.exclusionsPath = *v;
        } else if (arg == QLatin1String("--events") || arg == QLatin1String("--number-above")) {
            const auto v = value(arg);
            const std::vector<double> levels
                = EventRules::parseLevels(v.value_or(QString())).value_or(std::vector<double> {});
            if (levels.empty() || (arg == QLatin1String("--events") && levels.size() > 1))
                return { std::nullopt,
                         arg == QLatin1String("--events")
                             ? QStringLiteral("--events takes a level in dB such as 65")
                             : QStringLiteral("--number-above takes levels in dB such as "
                                              "60,65,70") };
            if (arg == QLatin1String("--events"))
                options.request.events.threshold = levels.front();
            else
                options.request.events.numberAbove = levels;
        } else if (arg == QLatin1String("--event-min") || arg == QLatin1String("--event-gap")) {
            const auto v = value(arg);
            const auto length = v ? parseIntervalLength(*v) : std::nullopt;
            if (!length)
                return { std::nullopt, QStringLiteral("%1 takes a length such as 3s").arg(arg) };
            if (arg == QLatin1String("--event-min"))
                options.request.events.minDuration = length;
            else
                options.request.events.gap = *length;
        } else if (arg == QLatin1String("--period-limits")) {
            const auto v = value(arg);
            QString why = QStringLiteral("give day=55,evening=50,night=45");
            const auto limits = v ? PeriodLimits::parse(*v, &why) : std::nullopt;
            if (!limits)
                return { std::nullopt, QStringLiteral("--period-limits: ") + why };
            options.request.assessment.limits = limits;
        } else if (arg == QLatin1String("--min-coverage")) {
            const auto v = value(arg);
            QString text = v.value_or(QString()).trimmed();
            if (text.endsWith(QLatin1Char('%')))
                text.chop(1);
            bool ok = false;
            const double percent = text.toDouble(&ok);
            if (!ok || percent < 0.0 || percent > 100.0)
                return { std::nullopt,
                         QStringLiteral("--min-coverage takes a share in percent such as 75") };
            options.request.assessment.minCoverage = percent / 100.0;
        } else if (arg == QLatin1String("--assessment-csv")) {
            const auto v = value(arg);
            if (!v || v->isEmpty())
                return { std::nullopt, QStringLiteral("--assessment-csv takes a file") };
            options.assessmentCsvPath = *v;
        } else if (arg == QLatin1String("--events-csv")) {
            const auto v = value(arg);
            if (!v || v->isEmpty())
                return { std::nullopt, QStringLiteral("--events-csv takes a file") };
            options.eventsCsvPath = *v;
        } else if (arg == QLatin1String("--no-weather")) {
            options.noWeather = true;
        } else if (arg == QLatin1String("--weather")) {
            const auto v = value(arg);
            if (!v || v->isEmpty())
                return { std::nullopt, QStringLiteral("--weather takes a file") };
            options.weatherPath = *v;
        } else if (arg == QLatin1String("--weather-columns")) {
            const auto v = value(arg);
            QString why = QStringLiteral("give FIELD=COLUMN[:UNIT] separated by commas");
            const auto columns = v ? WeatherColumns::parse(*v, &why) : std::nullopt;
            if (!columns)
                return { std::nullopt, QStringLiteral("--weather-columns: ") + why };
            options.weatherColumns = columns;
        } else if (arg == QLatin1String("--no-weather-rules")) {
            options.weatherRules.reset();
        } else if (arg == QLatin1String("--weather-rule")) {
            const auto v = value(arg);
            QString why = QStringLiteral("--weather-rule takes rules such as wind>5,rain>0");
            const auto rules = v ? WeatherRules::parse(*v, &why) : std::nullopt;
            if (!rules)
                return { std::nullopt, why };
            const int64_t interval = options.weatherRules ? options.weatherRules->interval : 0;
            options.weatherRules = rules;
            options.weatherRules->interval = interval;
        } else if (arg == QLatin1String("--weather-interval")) {
            const auto v = value(arg);
            const auto length = v ? parseIntervalLength(*v) : std::nullopt;
            if (!length)
                return { std::nullopt,
                         QStringLiteral("--weather-interval takes a length such as 10min") };
            options.weatherInterval = *length;
        } else if (arg == QLatin1String("--from") || arg == QLatin1String("--to")) {
            const auto v = value(arg);
            const auto time = v ? parseSiteTime(*v) : std::nullopt;
            if (!time)
                return { std::nullopt,
                         QStringLiteral("%1 takes a date and time such as \"2026-03-12 "
                                        "23:00\" (site time) or 2026-10-25T02:30+01:00")
                             .arg(arg) };
            (arg == QLatin1String("--from") ? options.from : options.to) = time;
        } else if (arg == QLatin1String("--hub") || arg == QLatin1String("--hub-password-file")) {
            const auto v = value(arg);
            if (!v || v->isEmpty())
                return { std::nullopt,
                         arg == QLatin1String("--hub")
                             ? QStringLiteral("--hub takes the hub's database: an SQLite file "
                                              "or postgresql://...")
                             : QStringLiteral("--hub-password-file takes a file") };
            (arg == QLatin1String("--hub") ? options.hub : options.hubPasswordFile) = *v;
        } else if (arg == QLatin1String("--station")) {
            const auto v = value(arg);
            if (!v || v->isEmpty())
                return { std::nullopt, QStringLiteral("--station takes a station's name") };
            options.station = *v;
        } else if (arg == QLatin1String("--zone")) {
            const auto v = value(arg);
            if (!v || !isKnownZone(*v))
                return { std::nullopt,
                         QStringLiteral("--zone takes the name of a time zone such as "
                                        "Europe/Berlin") };
            options.zone = v->trimmed();
        } else if (arg == QLatin1String("--jobs")) {
            const auto v = value(arg);
            bool ok = false;
            const int jobs = v ? v->toInt(&ok) : 0;
            if (!ok || jobs < 1 || jobs > 256)
                return { std::nullopt,
                         QStringLiteral("--jobs takes a number of threads, 1 to 256") };
            options.jobs = jobs;
        } else if (arg == QLatin1String("--lden")) {
            options.request.dayEveningNight = true;
        } else if (arg == QLatin1String("--resolution")) {
            const auto v = value(arg);
            if (v == QLatin1String("0.1"))
                options.request.mode = ResolutionMode::Tenth;
            else if (v == QLatin1String("1"))
                options.request.mode = ResolutionMode::Whole;
            else
                return { std::nullopt, QStringLiteral("--resolution takes 0.1 or 1") };
        } else if (arg == QLatin1String("--pdf") || arg == QLatin1String("--company")
                   || arg == QLatin1String("--sector") || arg == QLatin1String("--name")) {
            const auto v = value(arg);
            if (!v || v->isEmpty())
                return { std::nullopt, QStringLiteral("%1 takes a value").arg(arg) };
            QString &target = arg == QLatin1String("--pdf") ? options.pdfPath
                : arg == QLatin1String("--company")         ? options.company
                : arg == QLatin1String("--sector")          ? options.sector
                                                            : options.name;
            target = *v;
        } else if (arg == QLatin1String("--max-check-age")) {
            const auto v = value(arg);
            const auto age = v ? parseCheckAge(*v) : std::nullopt;
            if (!age)
                return { std::nullopt,
                         QStringLiteral("--max-check-age takes a duration such as 12h or 7d") };
            options.request.maxCheckAgeS = age;
        } else if (arg == QLatin1String("--limit")) {
            const auto v = value(arg);
            QString why = QStringLiteral("a level such as 75, or periods such as "
                                         "07-19=55,19-23=50,23-07=45");
            const auto limits = v ? LimitSchedule::read(*v, why) : std::nullopt;
            if (!limits)
                return { std::nullopt,
                         QStringLiteral("--limit \"%1\": %2").arg(v.value_or(QString()), why) };
            options.request.limits = limits;
        } else if (arg == QLatin1String("--intervals")) {
            const auto v = value(arg);
            const auto length = v ? parseIntervalLength(*v) : std::nullopt;
            if (!length)
                return { std::nullopt,
                         QStringLiteral(
                             "--intervals takes a length such as 1min, 15min, 1h or 900") };
            options.request.intervalLength = length;
        } else {
            return { std::nullopt, QStringLiteral("unknown option %1").arg(arg) };
        }
    }
    if (options.help || options.version)
        return { options, {} };
    if (csv && json)
        return { std::nullopt, QStringLiteral("choose one of --csv and --json") };
    if (csv && options.request.intervalLength && options.request.dayEveningNight)
        return { std::nullopt,
                 QStringLiteral("--csv writes one table: choose --intervals or --lden") };
    if (options.request.limits && !options.request.intervalLength)
        return { std::nullopt, QStringLiteral("--limit judges intervals: give --intervals too") };
    if (!options.hub.isEmpty()) {
        // The hub's readings are laid out as day files once the zone is known.
        if (!options.files.isEmpty())
            return { std::nullopt,
                     QStringLiteral("--hub reads a station from the hub: give no "
                                    "files") };
        if (options.station.isEmpty())
            return { std::nullopt, QStringLiteral("--hub needs --station NAME") };
        options.join = true;
    } else if (!options.hubPasswordFile.isEmpty()) {
        return { std::nullopt, QStringLiteral("--hub-password-file needs --hub") };
    } else if (options.files.isEmpty()) {
        return { std::nullopt, QStringLiteral("no file given (use - for standard input)") };
    }
    // Both site times without offsets: known to be wrong before any zone.
    if (options.from && options.to && !options.from->offset && !options.to->offset
        && options.to->civil <= options.from->civil)
        return { std::nullopt, QStringLiteral("--to must come after --from") };
    if (options.noExclusions && !options.exclusionsPath.isEmpty())
        return { std::nullopt, QStringLiteral("choose one of --exclusions and --no-exclusions") };
    if (!options.assessmentCsvPath.isEmpty() && !options.request.assessment.limits)
        return { std::nullopt, QStringLiteral("--assessment-csv needs --period-limits") };
    if (!options.eventsCsvPath.isEmpty() && !options.request.events.threshold)
        return { std::nullopt, QStringLiteral("--events-csv needs --events") };
    if (options.weatherColumns && options.weatherPath.isEmpty())
        return { std::nullopt, QStringLiteral("--weather-columns needs --weather FILE") };
    if (options.noWeather && !options.weatherPath.isEmpty())
        return { std::nullopt, QStringLiteral("choose one of --weather and --no-weather") };
    if (options.weatherRules)
        options.weatherRules->interval = options.weatherInterval;
    // A folder stands for its station's series: its day files in order, the
    // running day last.
    QStringList files;
    bool folders = false;
    for (const QString &file : std::as_const(options.files)) {
        if (file == QLatin1String("-") || !QFileInfo(file).isDir()) {
            files << file;
            continue;
        }
        folders = true;
        const std::vector<StationFolder::Station> stations = StationFolder::stationsIn(file);
        QStringList names;
        for (const StationFolder::Station &s : stations)
            names << s.name;
        if (const StationFolder::Station *chosen
            = StationFolder::stationNamed(stations, options.station)) {
            files << chosen->series();
            continue;
        }
        if (stations.empty())
            return { std::nullopt,
                     QStringLiteral("%1 holds no station's day files")
                         .arg(QDir::toNativeSeparators(file)) };
        if (options.station.isEmpty())
            return { std::nullopt,
                     QStringLiteral("%1 holds the day files of %2 stations (%3): name one with "
                                    "--station")
                         .arg(QDir::toNativeSeparators(file))
                         .arg(stations.size())
                         .arg(names.join(QStringLiteral(", "))) };
        return { std::nullopt,
                 QStringLiteral("%1 holds no day files of the station %2 (it holds: %3)")
                     .arg(QDir::toNativeSeparators(file), options.station,
                          names.join(QStringLiteral(", "))) };
    }
    if (folders) {
        options.files = files;
        options.join = true;
    } else if (!options.station.isEmpty() && options.hub.isEmpty()) {
        return { std::nullopt,
                 QStringLiteral("--station chooses among a folder's stations: give "
                                "a folder") };
    }
    if (options.join && options.files.contains(QStringLiteral("-")))
        return { std::nullopt, QStringLiteral("--join reads files, not standard input") };
    options.format = csv ? OutputFormat::Csv : json ? OutputFormat::Json : OutputFormat::Text;
    options.standardOutput = options.pdfPath.isEmpty() || csv || json;
    return { options, {} };
}

QString statsUsage()
{
    return QStringLiteral(
        "Usage: vorn-stats [options] FILE...\n"
        "Statistics, level tables and interval levels of \".vorn\" data files\n"
        "(\"Real Time\", \"Data Logger\" and headerless list files). FILE - reads\n"
        "standard input. A station's folder is its series (--join): its day files\n"
        "in order, then the running day from the station's working file (Fake).\n"
        "\n"
        "Options:\n"
        "  --resolution 0.1|1   class width of the L(0)..L(99) table in dB (default 0.1)\n"
        "  --max-check-age DURATION\n"
        "                       calibration checks further than DURATION (12h, 7d)\n"
        "                       from the readings leave them not verified; the\n"
        "                       details key max_check_age does the same\n"
        "  --intervals LENGTH   Leq, Lmax, L10, L90 per clock-aligned interval,\n"
        "                       e.g. 1min, 15min, 1h, 900 (seconds); in the PDF\n"
        "                       report 15min by default, 1h for files over a day\n"
        "  --limit PERIODS      the limit of each interval, as vorn-monitor takes it\n"
        "                       (75, or 07-19=55,19-23=50,23-07=45): interval rows\n"
        "                       get the columns limit and state (over, ok)\n"
        "  --lden               day (07-19), evening (19-23) and night (23-07) levels\n"
        "                       and Lden for every day (07:00 to 07:00) the\n"
        "                       readings span; a day is marked partial when a\n"
        "                       period is covered less than 90 % of its real\n"
        "                       length that day (7 h or 9 h nights at clock changes)\n"
        "  --csv                one CSV table (intervals, else Lden days, else one\n"
        "                       summary row per file), ISO 8601 times, point decimals\n"
        "  --json               everything as JSON\n"
        "  --join               the files as one series ordered by time (day files of a\n"
        "                       station): figures, intervals and Lden across their\n"
        "                       borders; files that overlap or differ in sampling\n"
        "                       interval are refused\n"
        "  --station NAME       the station whose files a folder's series holds, when\n"
        "                       the folder holds several stations' day files\n"
        "  --hub DATABASE --station NAME[@HASH]\n"
        "                       the station's readings from a hub's database (an SQLite\n"
        "                       file or postgresql://...) instead of files, as its series\n"
        "  --hub-password-file FILE\n"
        "                       the hub database's password, in a file only its owner\n"
        "                       may read\n"
        "  --exclusions FILE    take out the spans of FILE (start,end,reason,note,made):\n"
        "                       their readings count as not measured; by default the\n"
        "                       files' folder's \"STATION exclusions.csv\" (a station's\n"
        "                       day files) or \"exclusions.csv\" applies when present\n"
        "  --no-exclusions      count every reading, whatever the folder holds\n"
        "  --weather FILE       the weather (time,wind_speed,wind_gust,wind_direction,\n"
        "                       rain,temperature) beside the readings; by default the\n"
        "                       folder's \"STATION weather.csv\" when present\n"
        "  --no-weather         read no weather\n"
        "  --weather-columns COLUMNS\n"
        "                       the weather file is a weather station's own export:\n"
        "                       'time=Date Time,wind_speed=Wind (km/h):km/h,rain=Rain\n"
        "                       (in):in' names its columns and units (times without\n"
        "                       an offset are site time)\n"
        "  --events LEVEL       noise events: runs of readings above LEVEL dB, with\n"
        "                       their times, Lmax, SEL and period, counted per period\n"
        "                       and per 07:00 day; none in excluded time\n"
        "  --event-min LENGTH   the shortest event (default the sampling interval)\n"
        "  --event-gap LENGTH   runs closer than LENGTH are one event (default 5s)\n"
        "  --number-above LEVELS\n"
        "                       count the runs above each level (60,65,70) apart\n"
        "  --events-csv FILE    the events as one table of their own\n"
        "  --period-limits LIMITS\n"
        "                       a verdict per day and period: day=55,evening=50,\n"
        "                       night=45 (or 07-19=55,19-23=50,23-07=45, the limit in\n"
        "                       force at a period's start): Leq, L90, Lmax, coverage,\n"
        "                       limit, margin, pass or fail, the period deciding the day\n"
        "  --min-coverage PCT   the coverage a period needs for a verdict (default 75)\n"
        "  --assessment-csv FILE\n"
        "                       the verdicts as one table of their own\n"
        "  --weather-rule RULES take out the weather's spans over RULES (default\n"
        "                       wind>5,rain>0: mean wind over 5 m/s, any rain; also\n"
        "                       gust>M/S); \"STATION keep.csv\" keeps spans from them\n"
        "  --no-weather-rules   the weather is reported, nothing is taken out by it\n"
        "  --weather-interval LENGTH\n"
        "                       judge the rules on clock-aligned means of LENGTH\n"
        "                       (10min) instead of the weather's own rows\n"
        "  --from TIME, --to TIME\n"
        "                       only readings from TIME up to but not including TIME\n"
        "                       (site time, \"2026-03-12 23:00\" or 2026-03-12T23:00;\n"
        "                       with an offset, 2026-10-25T02:30+01:00, one moment)\n"
        "  --zone ZONE          the site's time zone (Europe/Berlin) of files whose\n"
        "                       details name none (\"time_zone\"); else the\n"
        "                       computer's. Stamps are read in it, one moment each\n"
        "  --jobs N             files read at once (default: one per core)\n"
        "  --pdf OUT.pdf        a measurement report of all the files as one A4 PDF\n"
        "                       (figures, time history, distribution, L table,\n"
        "                       interval and day-evening-night levels); alone it\n"
        "                       prints nothing, with --csv or --json it prints those too\n"
        "  --company TEXT, --sector TEXT, --name TEXT\n"
        "                       lines on the first page of the report\n"
        "  -h, --help           this text\n"
        "  --version            the program's version\n"
        "\n"
        "Text output shows levels in the program's one-decimal form (truncated);\n"
        "CSV and JSON carry two decimals.\n"
        "\n"
        "Calibration: the details file NAME.vorn.json beside a data file (site,\n"
        "meter serial, tolerance, max_check_age, ...) and the checks in\n"
        "calibration.csv beside it and in the user's log give a verdict: within,\n"
        "outside or not verified, with the drift (deviation after less deviation\n"
        "before). JSON: details, details_problem, calibration {before, during,\n"
        "after, drift, tolerance, meter_serial, max_check_age_s, verdict, reason};\n"
        "CSV: calibration_verdict, drift_db, details_problem. A file damaged after\n"
        "some readings is cut at that line (JSON cut), one that cannot be read is\n"
        "left out (JSON left_out); both are said on standard error, exit status 1.\n"
        "\n"
        "Exit status: 0 success, 1 a file could not be read or the report not\n"
        "written, 2 usage error.\n");
}

std::optional<int64_t> parseLocalMinute(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})[ T](\\d{2}):(\\d{2})$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const int month = m.captured(2).toInt();
    const int day = m.captured(3).toInt();
    const int hour = m.captured(4).toInt();
    const int minute = m.captured(5).toInt();
    if (!Calendar::isValidDate(m.captured(1).toInt(), month, day) || hour > 23 || minute > 59)
        return std::nullopt;
    return Calendar::daysFromCivil(m.captured(1).toInt(), unsigned(month), unsigned(day))
        * CivilTime::SecondsPerDay
        + hour * 3600 + minute * 60;
}

std::optional<StatsOptions::SiteTime> parseSiteTime(const QString &text)
{
    static const QRegularExpression form(QStringLiteral(
        "^(\\d{4})-(\\d{2})-(\\d{2})[ T](\\d{2}):(\\d{2})(?::(\\d{2}))?(Z|[+-]\\d{2}:\\d{2})?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const int second = m.captured(6).isEmpty() ? 0 : m.captured(6).toInt();
    const auto minute = parseLocalMinute(text.trimmed().left(16));
    if (!minute || second > 59)
        return std::nullopt;
    StatsOptions::SiteTime time { *minute + second, std::nullopt };
    const QString zone = m.captured(7);
    if (zone == QLatin1String("Z")) {
        time.offset = 0;
    } else if (!zone.isEmpty()) {
        const int hours = zone.mid(1, 2).toInt();
        const int minutes = zone.mid(4, 2).toInt();
        if (hours > 18 || minutes > 59)
            return std::nullopt;
        time.offset = (zone.startsWith(QLatin1Char('-')) ? -1 : 1) * (hours * 3600 + minutes * 60);
    }
    return time;
}

bool applyWindow(AnalysisRequest &request, const StatsOptions &options, QString &why)
{
    const auto moment = [](const std::optional<StatsOptions::SiteTime> &t) {
        return t
            ? std::optional<int64_t>(t->offset ? t->civil - *t->offset : CivilTime::utcOf(t->civil))
            : std::nullopt;
    };
    request.from = moment(options.from);
    request.to = moment(options.to);
    if (request.from && request.to && *request.to <= *request.from) {
        why = QStringLiteral("--to must come after --from");
        return false;
    }
    return true;
}

ExclusionsLookup::ExclusionsLookup(const StatsOptions &options)
    : m_chosen(options.exclusionsPath)
    , m_none(options.noExclusions)
    , m_weatherChosen(options.weatherPath)
    , m_noWeather(options.noWeather)
    , m_rules(options.weatherRules)
    , m_columns(options.weatherColumns)
{
}

const ExclusionsLookup::Loaded &ExclusionsLookup::handRows(const QString &path)
{
    auto found = m_loaded.find(path);
    if (found != m_loaded.end())
        return found->second;
    Loaded loaded;
    if (path.isEmpty()) {
        // None: an empty list.
    } else if (!QFileInfo::exists(path)) {
        loaded.problem
            = QStringLiteral("%1: no such exclusions file").arg(QDir::toNativeSeparators(path));
    } else {
        ExclusionsFile file = ExclusionsCsv::read(path);
        loaded.problem = file.problem;
        if (file.ok())
            loaded.spans = std::make_shared<const ExclusionSpans>(std::move(file.rows));
    }
    return m_loaded.emplace(path, std::move(loaded)).first->second;
}

std::shared_ptr<const WeatherData> ExclusionsLookup::weatherFor(const QString &dataFile)
{
    if (m_noWeather || (m_weatherChosen.isEmpty() && dataFile == QLatin1String("-")))
        return nullptr;
    const QString dayFile = StationFolder::dataFileOf(dataFile);
    const QString path
        = m_weatherChosen.isEmpty() ? WeatherCsv::pathForDataFile(dayFile) : m_weatherChosen;
    const QString keep = QDir(QFileInfo(dayFile).absolutePath())
                             .filePath(StationFolder::keepName(dayFileStation(dayFile)));
    const QString key = path + QLatin1Char('\n') + keep;
    if (auto found = m_weather.find(key); found != m_weather.end())
        return found->second;
    std::shared_ptr<const WeatherData> data;
    if (!m_weatherChosen.isEmpty() && !QFileInfo::exists(path))
        m_warnings
            << QStringLiteral("%1: no such weather file").arg(QDir::toNativeSeparators(path));
    else if (QFileInfo::exists(path))
        data = readWeather(path, keep, m_rules, m_columns ? &*m_columns : nullptr, m_warnings);
    m_weather.emplace(key, data);
    return data;
}

bool ExclusionsLookup::apply(AnalysisRequest &request, const QString &dataFile)
{
    request.exclusions.reset();
    request.exclusionsSource.clear();
    request.weather = weatherFor(dataFile);
    QString path;
    if (!m_none) {
        path = m_chosen;
        // Standard input has no folder: only a file named on the command line.
        if (path.isEmpty() && dataFile != QLatin1String("-")) {
            path = ExclusionsCsv::pathForDataFile(dataFile);
            if (!QFileInfo::exists(path))
                path.clear();
        }
    }
    const Loaded &hand = handRows(path);
    if (!hand.problem.isEmpty()) {
        m_problem = hand.problem;
        return false;
    }
    const bool ruled = request.weather && !request.weather->ruleRows.empty();
    if (!ruled) {
        request.exclusions = hand.spans;
        if (hand.spans)
            request.exclusionsSource = path;
        return true;
    }
    // The hand-made rows and the weather's rule-made ones, as one lookup.
    // By the weather read (its keep file too), not only its name.
    const QString key = path + QLatin1Char('\n')
        + QString::number(reinterpret_cast<quintptr>(request.weather.get()));
    auto combined = m_combined.find(key);
    if (combined == m_combined.end()) {
        std::vector<Exclusion> rows = hand.spans ? hand.spans->rows() : std::vector<Exclusion> {};
        rows.insert(rows.end(), request.weather->ruleRows.begin(), request.weather->ruleRows.end());
        combined = m_combined.emplace(key, std::make_shared<const ExclusionSpans>(std::move(rows)))
                       .first;
    }
    request.exclusions = combined->second;
    request.exclusionsSource = path;
    return true;
}

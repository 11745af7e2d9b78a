#include "analysis/series/SeriesDocument.h"

#include "analysis/records/CivilTime.h"
#include "analysis/records/StationFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QThreadPool>
#include <QUrl>

#include <mutex>

struct SeriesDocument::Saver
{
    std::mutex mutex;
    quint64 written = 0;
};

QString SeriesDocument::limitsSettingKey(const QString &folder)
{
    return QStringLiteral("Series/limits_")
        + QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(folder).absoluteFilePath()));
}

AnalysisRequest SeriesDocument::requestFor(int64_t intervalLength)
{
    AnalysisRequest request;
    request.intervalLength = intervalLength;
    request.dayEveningNight = true;
    return request;
}

SeriesDocument::SeriesDocument(LoadedSeries &&series, int64_t intervalLength, QObject *parent)
    : QObject(parent)
    , m_series(std::move(series))
    , m_intervalLength(intervalLength)
    , m_saver(std::make_shared<Saver>())
{
    // Every time shown or typed is the site's wall clock.
    CivilTime::setZone(m_series.zone.zone);
    m_limits.table = SeriesFolder::tableLimits(m_series.folder, m_series.station);
    if (m_limits.table.empty()) {
        const QString typed = QSettings().value(limitsSettingKey(m_series.folder)).toString();
        if (const auto schedule = LimitSchedule::parse(typed);
            schedule && schedule->overlap().isEmpty())
            m_limits.schedule = schedule;
    }
    m_unexcluded = figures();
    m_exclusionsPath = ExclusionsCsv::pathFor(m_series.folder, m_series.station);
    const ExclusionsFile file = ExclusionsCsv::read(m_exclusionsPath);
    m_exclusions = file.rows;
    m_exclusionsBase = file.rows;
    m_exclusionsProblem = file.problem;
    if (!file.ok())
        m_exclusionsProblem
            += QStringLiteral(
                   " (%1 bad lines are left out; the file is not written until you choose Save "
                   "Exclusions, which drops them)")
                   .arg(file.badLines);
    // The weather's rule-made spans, less what the keep file keeps: computed,
    // never written into the exclusions file.
    const QString weatherPath
        = QDir(m_series.folder).filePath(StationFolder::weatherName(m_series.station));
    if (QFileInfo::exists(weatherPath)) {
        m_weatherPath = weatherPath;
        loadWeather();
    }
    m_exclusionsApply = m_exclusionsApply || QFileInfo::exists(m_exclusionsPath);
    reanalyse();
}

SeriesDocument::~SeriesDocument() = default;

std::vector<Exclusion> SeriesDocument::allExclusions() const
{
    std::vector<Exclusion> rows = m_exclusions;
    rows.insert(rows.end(), m_ruleRows.begin(), m_ruleRows.end());
    return rows;
}

void SeriesDocument::reanalyse()
{
    FileFigures &shown = *m_series.outcome.report;
    if (m_exclusionsApply || m_weather || m_eventRules.any() || m_assessmentRules.limits) {
        AnalysisRequest request = requestFor(m_intervalLength);
        m_series.placeInZone(request);
        if (m_exclusionsApply) {
            request.exclusions = std::make_shared<const ExclusionSpans>(allExclusions());
            request.exclusionsSource = m_exclusionsPath;
        }
        request.weather = m_weather;
        request.events = m_eventRules;
        request.assessment = m_assessmentRules;
        shown = ::reanalyse(m_series, request);
    } else {
        shown = m_unexcluded;
    }
    judgeIntervals(shown, m_limits);
    Q_EMIT figuresChanged();
}

QString SeriesDocument::setLimitsText(const QString &text)
{
    const QString trimmed = text.trimmed();
    std::optional<LimitSchedule> schedule;
    if (!trimmed.isEmpty()) {
        QString why;
        schedule = LimitSchedule::read(trimmed, why);
        if (!schedule)
            return QStringLiteral("Limits \"%1\": %2").arg(trimmed, why);
    }
    m_limits.schedule = schedule;
    QSettings().setValue(limitsSettingKey(m_series.folder),
                         schedule ? schedule->text() : QString());
    judgeIntervals(*m_series.outcome.report, m_limits);
    Q_EMIT limitsChanged();
    return {};
}

QString SeriesDocument::setEventThreshold(const QString &text)
{
    const QString trimmed = text.trimmed();
    std::optional<double> threshold;
    if (!trimmed.isEmpty()) {
        const auto levels = EventRules::parseLevels(trimmed);
        if (!levels || levels->size() != 1)
            return QStringLiteral("Events above \"%1\": give a level in dB, such as 65.")
                .arg(trimmed);
        threshold = levels->front();
    }
    m_eventRules.threshold = threshold;
    reanalyse();
    return {};
}

QString SeriesDocument::setPeriodLimitsText(const QString &text)
{
    const QString trimmed = text.trimmed();
    std::optional<PeriodLimits> limits;
    if (!trimmed.isEmpty()) {
        QString why;
        limits = PeriodLimits::parse(trimmed, &why);
        if (!limits)
            return QStringLiteral("Period limits \"%1\": %2").arg(trimmed, why);
    }
    m_assessmentRules.limits = limits;
    reanalyse();
    return {};
}

QString SeriesDocument::setWeatherRulesText(const QString &text)
{
    const QString trimmed = text.trimmed();
    std::optional<WeatherRules> rules = WeatherRules {};
    if (trimmed.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0) {
        rules.reset();
    } else if (!trimmed.isEmpty()) {
        QString why;
        rules = WeatherRules::parse(trimmed, &why);
        if (!rules)
            return QStringLiteral("Weather rules \"%1\": %2").arg(trimmed, why);
    }
    m_weatherRules = rules;
    loadWeather();
    reanalyse();
    return {};
}

QString SeriesDocument::importWeather(const QString &path)
{
    const WeatherFile file = WeatherCsv::read(path);
    if (file.rows.empty())
        return QStringLiteral("%1: %2").arg(
            QDir::toNativeSeparators(path),
            file.problem.isEmpty() ? QStringLiteral("no weather rows") : file.problem);
    m_weatherPath = path;
    loadWeather();
    reanalyse();
    return {};
}

void SeriesDocument::loadWeather()
{
    m_weather.reset();
    m_ruleRows.clear();
    m_weatherProblem.clear();
    if (m_weatherPath.isEmpty())
        return;
    QStringList problems;
    m_weather = readWeather(
        m_weatherPath, QDir(m_series.folder).filePath(StationFolder::keepName(m_series.station)),
        m_weatherRules, nullptr, problems);
    m_ruleRows = m_weather->ruleRows;
    m_exclusionsApply = m_exclusionsApply || !m_ruleRows.empty();
    // Said apart: a damaged weather line holds no save of exclusions up.
    m_weatherProblem = problems.join(QLatin1Char('\n'));
}

void SeriesDocument::replaceSeries(LoadedSeries &&series, int64_t intervalLength)
{
    m_series = std::move(series);
    m_intervalLength = intervalLength;
    m_unexcluded = figures();
    reanalyse();
}

void SeriesDocument::exclusionsChanged()
{
    m_exclusionsApply = true;
    // A damaged file is kept as it is until the user saves on purpose.
    if (m_exclusionsProblem.isEmpty())
        saveInBackground();
    else
        m_exclusionsUnsaved = true;
    reanalyse();
}

void SeriesDocument::saveInBackground()
{
    const quint64 generation = ++m_saveGeneration;
    ++m_savesPending;
    const QPointer<SeriesDocument> self(this);
    QThreadPool::globalInstance()->start([saver = m_saver, base = m_exclusionsBase,
                                          rows = m_exclusions, path = m_exclusionsPath, generation,
                                          self] {
        bool ok = true;
        QString why;
        ExclusionsCsv::Merge merged;
        merged.rows = rows;
        {
            const std::lock_guard lock(saver->mutex);
            // A newer list was written already: this one is out of date.
            if (generation > saver->written) {
                // Another window or an editor may have written since.
                ok = ExclusionsCsv::mergeAndWrite(path, base, rows, merged, why);
                saver->written = generation;
            }
        }
        QMetaObject::invokeMethod(qApp, [self, ok, why, generation, merged] {
            if (self)
                self->savedInBackground(ok, why, generation, merged);
        });
    });
}

bool SeriesDocument::tookIn(const ExclusionsCsv::Merge &merged, bool latest)
{
    m_exclusionsBase = merged.rows;
    // Edits made while the save ran are merged by the save they queued.
    if (!latest)
        return false;
    QStringList said;
    if (merged.taken > 0)
        said << (merged.taken == 1
                     ? QStringLiteral("An exclusion another window or program saved is taken in.")
                     : QStringLiteral("%1 exclusions another window or program saved are taken in.")
                           .arg(merged.taken));
    if (merged.kept > 0)
        said << (merged.kept == 1 ? QStringLiteral("An exclusion this window changed was changed "
                                                   "elsewhere too: both versions are kept.")
                                  : QStringLiteral("%1 exclusions this window changed were changed "
                                                   "elsewhere too: both versions are kept.")
                                        .arg(merged.kept));
    m_mergeNotice = said.join(QLatin1Char(' '));
    if (merged.rows != m_exclusions) {
        m_exclusions = merged.rows;
        reanalyse();
        return true;
    }
    if (!said.isEmpty())
        Q_EMIT exclusionsStateChanged();
    return false;
}

void SeriesDocument::savedInBackground(bool ok, const QString &why, quint64 generation,
                                       const ExclusionsCsv::Merge &merged)
{
    --m_savesPending;
    if (ok) {
        tookIn(merged, generation == m_saveGeneration);
        if (generation == m_saveGeneration && m_exclusionsUnsaved) {
            m_exclusionsUnsaved = false;
            Q_EMIT exclusionsStateChanged();
        }
        return;
    }
    m_exclusionsUnsaved = true;
    Q_EMIT exclusionsStateChanged();
    Q_EMIT saveFailed(why);
}

void SeriesDocument::addExclusion(const Exclusion &exclusion)
{
    m_exclusions.push_back(exclusion);
    exclusionsChanged();
}

void SeriesDocument::replaceExclusion(int row, const Exclusion &exclusion)
{
    if (row < 0 || size_t(row) >= m_exclusions.size())
        return;
    m_exclusions[size_t(row)] = exclusion;
    exclusionsChanged();
}

void SeriesDocument::removeExclusion(int row)
{
    if (row < 0 || size_t(row) >= m_exclusions.size())
        return;
    m_exclusions.erase(m_exclusions.begin() + row);
    exclusionsChanged();
}

QString SeriesDocument::saveExclusions()
{
    QString why;
    bool written = false;
    ExclusionsCsv::Merge merged;
    {
        // In turn with the saves under way, which this one makes out of date.
        const std::lock_guard lock(m_saver->mutex);
        // A damaged file is replaced on purpose; a sound one may hold rows
        // another writer saved, which are taken in.
        if (m_exclusionsProblem.isEmpty()) {
            written = ExclusionsCsv::mergeAndWrite(m_exclusionsPath, m_exclusionsBase, m_exclusions,
                                                   merged, why);
        } else {
            merged.rows = m_exclusions;
            written = ExclusionsCsv::write(m_exclusionsPath, m_exclusions, why);
        }
        m_saver->written = ++m_saveGeneration;
    }
    if (!written) {
        m_exclusionsUnsaved = true;
        Q_EMIT exclusionsStateChanged();
        return why;
    }
    m_exclusionsUnsaved = false;
    m_exclusionsApply = true;
    m_exclusionsProblem.clear();
    // The figures as the saved file gives them.
    if (!tookIn(merged, true))
        reanalyse();
    return {};
}

SeriesDocument::ReportJob SeriesDocument::reportJob(const ReportOptions &given) const
{
    ReportOptions options = given;
    options.intervalLength = m_intervalLength;
    if (m_exclusionsApply) {
        options.exclusions = std::make_shared<const ExclusionSpans>(allExclusions());
        options.exclusionsSource = m_exclusionsPath;
    }
    if (!m_limits.isEmpty()) {
        const SeriesLimits limits = m_limits;
        options.limitsText = *figures().limits;
        options.limitAt = [limits](int64_t t) { return limits.at(t); };
        options.limitSteps = [limits](int64_t from, int64_t to) { return limits.steps(from, to); };
    }
    AnalysisRequest request;
    m_series.placeInZone(request);
    request.intervalLength = m_intervalLength;
    request.dayEveningNight = true;
    request.exclusions = options.exclusions;
    request.exclusionsSource = options.exclusionsSource;
    return [series = figures(), options,
            request](const ReportProgress &progress) -> std::optional<Report> {
        std::optional<ReportSection> section
            = buildSeriesSection(series, request, options, progress);
        if (!section)
            return std::nullopt;
        Report made;
        made.options = options;
        made.sections.push_back(std::move(*section));
        made.pages = paginate(made.sections);
        return made;
    };
}

#include "analysis/engine/FileAnalysis.h"

#include "analysis/records/CivilTime.h"

#include <cmath>

FileAnalysis::FileAnalysis(const AnalysisRequest &request, Parts parts)
    : m_request(request)
    , m_parts(parts)
    , m_statistics(request.mode)
{
    if (parts == Parts::Figures) {
        m_request.intervalLength.reset();
        m_request.dayEveningNight = false;
    }
    if (m_request.intervalLength)
        m_intervals.emplace(*request.intervalLength, request.mode);
    // When the two parts run apart, the events go with the tables and the
    // verdicts with the figures: the two then take about as long.
    if (parts != Parts::Figures && request.events.any())
        m_events.emplace(request.events);
    if (parts != Parts::Tables && request.assessment.limits)
        m_assessment.emplace();
    if (request.exclusions) {
        m_exclusions = *request.exclusions;
        m_tally.source = request.exclusionsSource;
    }
}

bool AnalysisRequest::inWindowCivil(std::optional<int64_t> civil) const
{
    return civil && inWindow(CivilTime::utcOf(*civil));
}

ReadingValues readingValuesOf(QStringView timeText, QStringView levelText)
{
    ReadingValues values;
    values.time = CivilTime::parseStamp(timeText);
    values.level = classifyLevelText(levelText);
    values.energyLevel = energyLevelOf(levelText, values.level);
    return values;
}

void FileAnalysis::add(QStringView timeText, QStringView levelText)
{
    const ReadingValues v = readingValuesOf(timeText, levelText);
    add(timeText, v.time, levelText, v.level, v.energyLevel);
}

void FileAnalysis::add(QStringView timeText, std::optional<int64_t> time, QStringView levelText,
                       const LevelTextClass &level, std::optional<double> energy)
{
    add(timeText, time, levelText, level, energy, isDamagedLevel(levelText, level, energy));
}

void FileAnalysis::add(std::optional<int64_t> time, const LevelTextClass &level,
                       std::optional<double> energy, bool damaged)
{
    add({}, time, {}, level, energy, damaged);
}

bool FileAnalysis::excluded(int64_t utc, int64_t place, int64_t civil)
{
    if (!m_timedFirst || utc < *m_timedFirst)
        m_timedFirst = utc;
    if (!m_timedLast || utc > *m_timedLast)
        m_timedLast = utc;
    const int row = m_exclusions->rowAt(utc);
    if (row < 0)
        return false;
    const Exclusion &by = m_exclusions->rows()[size_t(row)];
    const size_t reason = size_t(by.reason);
    ++m_tally.readings;
    ++m_tally.byReason[reason];
    if (by.byRule)
        ++m_tally.byRule[reason];
    // By the interval's key here; finish() names each by its moment.
    if (m_intervals)
        ++m_intervalTally.at(
            m_tally.byInterval,
            m_intervals->keyOf(m_intervals->splitsRepeatedHours() ? place : civil))[reason];
    ++m_dayTally.at(m_tally.byDay,
                    CivilTime::alignDown(civil - DayStart, CivilTime::SecondsPerDay)
                        + DayStart)[reason];
    return true;
}

void FileAnalysis::add(QStringView timeText, std::optional<int64_t> time, QStringView levelText,
                       const LevelTextClass &level, std::optional<double> energy, bool damaged)
{
    // Each stamp is one moment in the site's zone: in the hour that repeats
    // the file's order tells the runs apart.
    int64_t place = 0;
    int64_t utc = 0;
    if (time) {
        m_hours.begin(*time, m_request.firstOffset);
        place = m_hours.place(*time);
        utc = CivilTime::utcOf(*time, m_hours.secondRun(place));
    }
    if (m_request.hasWindow() && !(time && m_request.inWindow(utc)))
        return;
    // Named by the reader; in no figure, not even as time measured.
    if (level.kind == LevelKind::Damaged)
        return;
    if (time) {
        // The span the readings cover, excluded ones too.
        if (!m_firstUtc)
            m_firstUtc = utc;
        m_lastUtc = utc;
        // Taken out: not measured, so in no figure and no coverage.
        const bool out = m_exclusions && excluded(utc, place, *time);
        // Excluded time holds no event: an event it cuts is marked so.
        if (m_events)
            m_events->add(utc, *time, energy, out);
        if (out)
            return;
        if (!m_first)
            m_first = time;
        m_last = time;
    }
    if (m_parts != Parts::Tables)
        m_statistics.add(time, level, energy, damaged, timeText, levelText);
    if (m_assessment && time)
        m_assessment->add(*time, energy);
    if (!m_intervals && !m_request.dayEveningNight)
        return;
    if (!time) {
        ++m_untimed;
        return;
    }
    if (m_intervals)
        m_intervals->add(m_intervals->splitsRepeatedHours() ? place : *time, level, energy);
    if (m_request.dayEveningNight)
        m_days.add(*time, energy);
}

FileFigures FileAnalysis::finish(const QString &name, const DataFileContents &header) const
{
    FileFigures report;
    report.name = name;
    report.statistics = m_statistics.finish(header);
    const double interval = report.statistics.interval;
    report.untimedReadings = m_untimed;
    if (const auto damaged = damagedLinesOf(name, header))
        report.damaged.push_back(*damaged);
    report.from = m_request.from;
    report.to = m_request.to;
    report.zone = m_request.zone;
    report.timeZone = m_request.timeZone;
    report.timeZoneSource = m_request.timeZoneSource;
    report.timeZoneNote = m_request.timeZoneNote;
    report.maxCheckAgeS = m_request.maxCheckAgeS;
    report.firstReading = m_first;
    report.lastReading = m_last;
    report.firstUtc = m_firstUtc;
    report.lastUtc = m_lastUtc;
    if (m_intervals) {
        report.intervalLength = m_request.intervalLength;
        // Lengths that cannot tell the runs of a repeated hour apart keep
        // civil keys.
        const RepeatedHours none;
        const RepeatedHours &hours = m_intervals->splitsRepeatedHours() ? m_hours : none;
        report.intervals = m_intervals->result(interval, hours);
        report.repeatedHour = m_hours.any() && m_intervals->splitsRepeatedHours();
        if (const std::optional<LimitSchedule> &limits = m_request.limits)
            judgeIntervals(report, limits->text(),
                           [&limits](int64_t t) { return limits->limitAtCivil(t); });
    }
    report.ambiguousTime = m_first && CivilTime::isRepeated(*m_first) && !m_hours.any();
    if (m_request.dayEveningNight) {
        report.withDayEveningNight = true;
        report.days = m_days.result(interval);
    }
    report.weatherData = m_request.weather;
    if (m_events)
        report.events = m_events->finish(interval);
    if (m_assessment)
        report.assessment = m_assessment->finish(m_request.assessment, interval);
    if (m_request.weather && m_firstUtc)
        report.weather = m_request.weather->summary(
            *m_firstUtc, *m_lastUtc + std::max<int64_t>(1, std::llround(interval)));
    if (m_exclusions) {
        report.exclusions = m_tally;
        if (m_intervals) {
            const RepeatedHours none;
            const RepeatedHours &hours = m_intervals->splitsRepeatedHours() ? m_hours : none;
            report.exclusions->byInterval.clear();
            for (const auto &[key, counts] : m_tally.byInterval)
                report.exclusions->byInterval[IntervalAccumulator::utcOfKey(key, hours)] = counts;
        }
        if (m_timedFirst)
            report.exclusions->listed = m_exclusions->rowsBetween(
                *m_timedFirst, *m_timedLast + std::max<int64_t>(1, std::llround(interval)));
    }
    return report;
}

void judgeIntervals(FileFigures &report, const QString &limits, const LimitAt &limitAt)
{
    report.limits = limits;
    for (IntervalLevel &i : report.intervals)
        i.limit = i.gap ? std::nullopt : limitAt(i.start);
}

void attachMeasurementContext(FileFigures &report, const QString &dataFilePath)
{
    MeasurementContext context = measurementContextOf(dataFilePath, report.firstReading,
                                                      report.lastReading, report.maxCheckAgeS);
    report.details = std::move(context.details);
    report.detailsProblem = std::move(context.detailsProblem);
    report.calibration = std::move(context.calibration);
}

std::optional<DamagedLines> damagedLinesOf(const QString &name, const DataFileContents &contents)
{
    if (contents.damagedLines <= 0)
        return std::nullopt;
    return DamagedLines { name, contents.damagedLines, contents.firstDamagedLine };
}

qint64 FileFigures::damagedLineCount() const
{
    qint64 count = 0;
    for (const DamagedLines &d : damaged)
        count += d.count;
    return count;
}

FileFigures analyseFile(const QString &name, const DataFileContents &file,
                        const AnalysisRequest &request)
{
    FileAnalysis analysis(request);
    for (qsizetype i = 0; i < file.rows.count(); ++i)
        analysis.add(file.time(i), file.level(i));
    return analysis.finish(name, file);
}

QStringView fieldTextOf(QByteArrayView bytes, QString &buffer)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            buffer = DataFileReader::decodeField(bytes);
            return buffer;
        }
    }
    buffer.resize(bytes.size());
    QChar *out = buffer.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = QLatin1Char(bytes[i]);
    return buffer;
}

std::pair<FileFigures, DataFileContents> analyseStream(const QString &name, QIODevice &device,
                                                       const AnalysisRequest &request)
{
    FileAnalysis analysis(request);
    QString time;
    QString level;
    DataFileContents header = DataFileReader::scan(
        device, [&](const DataFileContents &, const DataFileReader::RowBytes *row) {
            if (row)
                analysis.add(fieldTextOf(row->time, time), fieldTextOf(row->level, level));
        });
    return { analysis.finish(name, header), std::move(header) };
}

QString damagedLine(const DamagedLines &damaged)
{
    return QStringLiteral("%1: %2").arg(
        damaged.file, DataFileReader::damagedLinesMessage(damaged.count, damaged.firstLine));
}

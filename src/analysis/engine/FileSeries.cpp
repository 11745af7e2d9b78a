#include "analysis/engine/FileSeries.h"
#include "analysis/Wording.h"

#include "analysis/LevelText.h"
#include "analysis/records/CivilTime.h"
#include "analysis/records/StationFolder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

namespace {

// The threads to use for `jobs` (0: the machine's cores) and `files`.
int threadsFor(int jobs, qsizetype files)
{
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    return int(std::max<qsizetype>(1, std::min<qsizetype>(jobs > 0 ? jobs : cores, files)));
}

// Runs `work(i)` for every i in [0, count) on `threads` threads, this one
// among them; items are taken in order.
template<typename Work> void runOnThreads(int threads, qsizetype count, const Work &work)
{
    std::atomic<qsizetype> next { 0 };
    const auto loop = [&] {
        for (qsizetype i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(loop);
    loop();
    for (std::thread &thread : pool)
        thread.join();
}

// A file of a series opened for reading: a station's running day (its
// working file) reads as the day file it becomes, up to its last whole line.
class SeriesInput
{
public:
    bool open(const QString &name)
    {
        if (name == QLatin1String("-"))
            return m_file.open(stdin, QIODevice::ReadOnly) || fail(name);
        if (StationFolder::isWorkingFile(name)) {
            StationFolder::RunningDay day = StationFolder::readRunningDay(name);
            if (!day.problem.isEmpty()) {
                problem = day.problem;
                return false;
            }
            m_bytes = std::move(day.bytes);
            m_buffer.setBuffer(&m_bytes);
            m_device = &m_buffer;
            return m_buffer.open(QIODevice::ReadOnly);
        }
        m_file.setFileName(name);
        return m_file.open(QIODevice::ReadOnly) || fail(name);
    }
    QIODevice &device() { return *m_device; }
    QString problem;

private:
    bool fail(const QString &name)
    {
        problem = DataFileReader::cannotOpenMessage(name);
        return false;
    }
    QFile m_file;
    QByteArray m_bytes;
    QBuffer m_buffer;
    QIODevice *m_device = &m_file;
};

// What a join needs to know of a file before reading it: its kind, its
// sampling interval and the time of its first reading, from its head.
struct Probe
{
    DataFileContents head;
    std::optional<int64_t> first;
};

Probe probe(const QString &name)
{
    Probe p;
    SeriesInput input;
    if (!input.open(name)) {
        p.head.problem = input.problem;
        return p;
    }
    QIODevice &file = input.device();
    QByteArray head = file.read(64 * 1024);
    // Whole lines only: a line cut at the end of the head is no record.
    if (!file.atEnd())
        head.truncate(head.lastIndexOf('\n') + 1);
    p.head = DataFileReader::readBytes(head);
    if (p.head.recordCount() > 0)
        p.first = CivilTime::parseStamp(p.head.time(0));
    return p;
}

// One file's readings as read by a worker, for the analysis to take in order.
struct ParsedFile
{
    // Compact: a few files of a day's readings each are held at once.
    struct Row
    {
        static constexpr int64_t NoTime = std::numeric_limits<int64_t>::min();
        int64_t time = NoTime;
        double levelValue = 0.0;
        double energy = std::numeric_limits<double>::quiet_NaN(); // NaN: none
        uint32_t at = 0; // of the time text in `texts`; the level text follows
        uint16_t timeLength = 0;
        uint8_t levelLength = 0;
        LevelKind kind = LevelKind::Ordinary;
    };
    DataFileContents header;
    QString texts;
    std::vector<Row> rows;
    std::optional<int64_t> first;
    std::optional<int64_t> last;
};

ParsedFile parse(const QString &name)
{
    ParsedFile parsed;
    SeriesInput input;
    if (!input.open(name)) {
        parsed.header.problem = input.problem;
        return parsed;
    }
    QIODevice &file = input.device();
    QString time;
    QString level;
    parsed.header = DataFileReader::scan(
        file, [&](const DataFileContents &, const DataFileReader::RowBytes *bytes) {
            if (!bytes)
                return;
            // Fields are at most a line long; the row keeps their length in
            // 16 and 8 bits, and no meter's field comes near either.
            const QStringView timeText
                = fieldTextOf(bytes->time, time)
                      .first(
                          std::min<qsizetype>(time.size(), std::numeric_limits<uint16_t>::max()));
            const QStringView levelText
                = fieldTextOf(bytes->level, level)
                      .first(
                          std::min<qsizetype>(level.size(), std::numeric_limits<uint8_t>::max()));
            ParsedFile::Row row;
            const ReadingValues values = readingValuesOf(timeText, levelText);
            const std::optional<int64_t> stamp = values.time;
            row.time = stamp.value_or(ParsedFile::Row::NoTime);
            row.kind = values.level.kind;
            row.levelValue = values.level.value;
            if (values.energyLevel)
                row.energy = *values.energyLevel;
            row.at = uint32_t(parsed.texts.size());
            row.timeLength = uint16_t(timeText.size());
            row.levelLength = uint8_t(levelText.size());
            parsed.texts += timeText;
            parsed.texts += levelText;
            if (stamp) {
                if (!parsed.first)
                    parsed.first = stamp;
                parsed.last = stamp;
            }
            parsed.rows.push_back(row);
        });
    return parsed;
}

} // namespace

QString readProblem(const DataFileContents &contents)
{
    return !contents.problem.isEmpty() ? contents.problem
        : contents.isEmpty()           ? DataFileReader::emptyFileMessage()
                                       : QString();
}

std::optional<FileTrouble> cutOf(const QString &name, const DataFileContents &contents,
                                 qint64 readings)
{
    if (contents.problem.isEmpty() || contents.problemLine <= 0 || readings <= 0)
        return std::nullopt;
    return FileTrouble { name, contents.problemLine,
                         QStringLiteral("line %1 is not a reading: %2; the %3 readings before "
                                        "it count")
                             .arg(contents.problemLine)
                             .arg(contents.problemWhat)
                             .arg(readings) };
}

std::pair<FileFigures, DataFileContents> analysePath(const QString &name,
                                                     const AnalysisRequest &request)
{
    const CivilTime::ZoneScope zone(request.zone);
    SeriesInput in;
    if (!in.open(name)) {
        DataFileContents failed;
        failed.problem = in.problem;
        return { FileFigures {}, failed };
    }
    auto result = analyseStream(name, in.device(), request);
    result.first.running = StationFolder::isWorkingFile(name);
    return result;
}

std::vector<std::pair<FileFigures, DataFileContents>>
analysePaths(const QStringList &names, const AnalysisRequest &request, int jobs)
{
    return analysePaths(names, std::vector<AnalysisRequest>(size_t(names.size()), request), jobs);
}

std::vector<std::pair<FileFigures, DataFileContents>>
analysePaths(const QStringList &names, const std::vector<AnalysisRequest> &requests, int jobs)
{
    std::vector<std::pair<FileFigures, DataFileContents>> results(size_t(names.size()));
    runOnThreads(threadsFor(jobs, names.size()), names.size(), [&](qsizetype i) {
        results[size_t(i)] = analysePath(names[i], requests[size_t(i)]);
        attachMeasurementContext(results[size_t(i)].first, names[i]);
    });
    return results;
}

QString seriesTitle(const std::vector<JoinedFile> &joined)
{
    if (joined.empty())
        return {};
    const QString first = QFileInfo(joined.front().name).fileName();
    if (joined.size() == 1)
        return first;
    return QStringLiteral("%1 … %2 (%3 files)")
        .arg(first, QFileInfo(joined.back().name).fileName())
        .arg(joined.size());
}

SeriesOutcome analyseSeries(const QStringList &names, const AnalysisRequest &request, int jobs,
                            const SeriesSink *sink)
{
    const CivilTime::ZoneScope zone(request.zone);
    SeriesOutcome outcome;
    struct Member
    {
        QString name;
        Probe probe;
    };
    std::vector<Member> members(size_t(names.size()));
    runOnThreads(threadsFor(jobs, names.size()), names.size(), [&](qsizetype i) {
        members[size_t(i)] = { names[i], probe(names[i]) };
    });

    // The files that can take part, in the order of their first reading.
    std::vector<Member> series;
    std::vector<FileTrouble> leftOut;
    for (Member &m : members) {
        const QString problem = readProblem(m.probe.head);
        if (!problem.isEmpty() && !(m.probe.first && m.probe.head.problemLine > 0)) {
            outcome.problems << QDir::toNativeSeparators(m.name) + QStringLiteral(": ") + problem;
            leftOut.push_back({ m.name, 0, problem });
            continue;
        }
        if (m.probe.head.kind == DataFileKind::Headerless) {
            outcome.refusal = QStringLiteral("%1: a list without a header has no sampling "
                                             "interval and cannot be joined")
                                  .arg(m.name);
            return outcome;
        }
        if (!m.probe.first) {
            const QString why = QStringLiteral("its first reading has no readable time stamp, so "
                                               "it has no place in the series");
            outcome.problems << QDir::toNativeSeparators(m.name) + QStringLiteral(": ") + why;
            leftOut.push_back({ m.name, 0, why });
            continue;
        }
        // A file that starts at or after the end of the window adds nothing.
        if (request.to && CivilTime::utcOf(*m.probe.first) >= *request.to)
            continue;
        series.push_back(std::move(m));
    }
    std::stable_sort(series.begin(), series.end(), [](const Member &a, const Member &b) {
        return *a.probe.first < *b.probe.first;
    });
    for (size_t i = 1; i < series.size(); ++i) {
        const double a = series[i - 1].probe.head.samplingInterval;
        const double b = series[i].probe.head.samplingInterval;
        if (a != b) {
            outcome.refusal = QStringLiteral("%1 (%2) and %3 (%4) hold different sampling "
                                             "intervals and cannot be joined")
                                  .arg(series[i - 1].name, Wording::secondsDuration(a),
                                       series[i].name, Wording::secondsDuration(b));
            return outcome;
        }
    }
    if (series.empty())
        return outcome;

    // Workers read ahead at most a few files; the analysis takes them in
    // order, so memory follows the window, not the number of files.
    const int threads = threadsFor(jobs, qsizetype(series.size()));
    const size_t window = size_t(threads) + 1;
    std::vector<std::optional<ParsedFile>> parsed(series.size());
    std::mutex mutex;
    std::condition_variable changed;
    size_t taken = 0; // files the analysis is done with
    bool abandoned = false;
    const auto worker = [&](qsizetype i) {
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return abandoned || size_t(i) < taken + window; });
            if (abandoned)
                return;
        }
        ParsedFile file = parse(series[size_t(i)].name);
        const std::lock_guard lock(mutex);
        parsed[size_t(i)] = std::move(file);
        changed.notify_all();
    };

    FileAnalysis analysis(request);
    std::optional<DataFileContents> firstHeader;
    std::optional<std::pair<QString, int64_t>> lastSeen; // file and its last reading
    std::vector<JoinedFile> joined;
    std::vector<FileTrouble> cuts;
    std::vector<DamagedLines> damaged;
    std::thread reader([&] { runOnThreads(threads, qsizetype(series.size()), worker); });
    for (size_t i = 0; i < series.size(); ++i) {
        ParsedFile file;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return parsed[i].has_value(); });
            file = std::move(*parsed[i]);
            parsed[i].reset();
        }
        const QString &name = series[i].name;
        const QString problem = readProblem(file.header);
        // A file damaged after some readings gives those; one that gives
        // none is left out. Either is said.
        const std::optional<FileTrouble> cut = cutOf(name, file.header, qint64(file.rows.size()));
        if (cut) {
            outcome.problems << QDir::toNativeSeparators(name) + QStringLiteral(": ") + cut->reason;
            cuts.push_back(*cut);
        }
        if (const auto d = damagedLinesOf(name, file.header); d && (problem.isEmpty() || cut)) {
            outcome.problems << damagedLine(*d);
            damaged.push_back(*d);
        }
        if (!problem.isEmpty() && !cut) {
            outcome.problems << QDir::toNativeSeparators(name) + QStringLiteral(": ") + problem;
            leftOut.push_back({ name, 0, problem });
        } else if (lastSeen && file.first && *file.first <= lastSeen->second) {
            outcome.refusal = QStringLiteral("%1 and %2 overlap in time (%3 is not after %4); "
                                             "files to join must follow one another")
                                  .arg(lastSeen->first, name, CivilTime::toIso(*file.first),
                                       CivilTime::toIso(lastSeen->second));
        } else {
            const QStringView texts(file.texts);
            const bool sinkReadings = sink && sink->reading;
            for (const ParsedFile::Row &row : file.rows) {
                const std::optional<int64_t> time
                    = row.time == ParsedFile::Row::NoTime ? std::nullopt : std::optional(row.time);
                const LevelTextClass level { row.kind, row.levelValue };
                const std::optional<double> energy
                    = std::isnan(row.energy) ? std::nullopt : std::optional(row.energy);
                const QStringView levelText
                    = texts.sliced(row.at + row.timeLength, row.levelLength);
                analysis.add(texts.sliced(row.at, row.timeLength), time, levelText, level, energy);
                // The reading the analysis took, and only that.
                if (sinkReadings && (!request.hasWindow() || request.inWindowCivil(time)))
                    sink->reading(time, level, energy, isDamagedLevel(levelText, level, energy));
            }
            if (file.last)
                lastSeen = { name, *file.last };
            if (!firstHeader)
                firstHeader = file.header;
            // A file without a reading in the window gives nothing to the series.
            qint64 inWindow = qint64(file.rows.size());
            if (request.hasWindow())
                inWindow = std::count_if(file.rows.begin(), file.rows.end(), [&](const auto &row) {
                    return row.time != ParsedFile::Row::NoTime
                        && request.inWindowCivil(std::optional<int64_t>(row.time));
                });
            if (inWindow > 0 || !request.hasWindow()) {
                JoinedFile member;
                member.name = name;
                member.kind = file.header.kind;
                member.running = StationFolder::isWorkingFile(name);
                const QStringList captions = storedBoardCaptions(file.header.kind);
                for (qsizetype c = 0; c < captions.size(); ++c)
                    member.storedBoards.emplace_back(captions[c], file.header.boardTexts.value(c));
                member.readings = inWindow;
                member.first = file.first;
                member.last = file.last;
                joined.push_back(std::move(member));
            }
        }
        if (sink && sink->progress && !sink->progress(qsizetype(i + 1), qsizetype(series.size())))
            outcome.cancelled = true;
        const std::lock_guard lock(mutex);
        ++taken;
        if (!outcome.refusal.isEmpty() || outcome.cancelled)
            abandoned = true;
        changed.notify_all();
        if (abandoned)
            break;
    }
    reader.join();
    if (!outcome.refusal.isEmpty() || outcome.cancelled || !firstHeader)
        return outcome;
    if (joined.empty()) {
        outcome.refusal
            = QStringLiteral("no readings between %1 and %2")
                  .arg(request.from ? CivilTime::isoOfUtc(*request.from)
                                    : QStringLiteral("the start"),
                       request.to ? CivilTime::isoOfUtc(*request.to) : QStringLiteral("the end"));
        return outcome;
    }
    QString seriesName = joined.front().name;
    if (joined.size() > 1)
        seriesName += QStringLiteral(" … %1 (%2 files)").arg(joined.back().name).arg(joined.size());
    outcome.report = analysis.finish(seriesName, *firstHeader);
    // A station's details and checks are those of its folder: the first
    // file's stand for the series.
    attachMeasurementContext(*outcome.report, joined.front().name);
    outcome.report->joined = std::move(joined);
    outcome.report->cut = std::move(cuts);
    outcome.report->leftOut = std::move(leftOut);
    outcome.report->damaged = std::move(damaged);
    outcome.report->running
        = std::any_of(outcome.report->joined.begin(), outcome.report->joined.end(),
                      [](const JoinedFile &f) { return f.running; });
    return outcome;
}

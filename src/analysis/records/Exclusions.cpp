#include "analysis/records/Exclusions.h"
#include "analysis/Wording.h"

#include "analysis/records/StationFolder.h"

#include "analysis/records/Csv.h"
#include "analysis/records/CivilTime.h"
#include "recording/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

const std::array<const char *, ExclusionReasonCount> ReasonTexts { "rain", "wind",
                                                                   "extraneous sound",
                                                                   "maintenance", "other" };

} // namespace

QString exclusionReasonText(ExclusionReason reason)
{
    return QString::fromLatin1(ReasonTexts[size_t(reason)]);
}

std::optional<ExclusionReason> exclusionReasonOf(const QString &text)
{
    const QString wanted = text.trimmed().toLower();
    for (int i = 0; i < ExclusionReasonCount; ++i)
        if (wanted == QLatin1String(ReasonTexts[size_t(i)]))
            return ExclusionReason(i);
    return std::nullopt;
}

QStringList exclusionReasonTexts()
{
    QStringList texts;
    for (const char *t : ReasonTexts)
        texts << QString::fromLatin1(t);
    return texts;
}

Exclusion makeExclusion(int64_t start, int64_t end, ExclusionReason reason, const QString &note,
                        const QString &made)
{
    Exclusion row;
    row.start = start;
    row.end = end;
    row.reason = reason;
    // One row is one line: a note keeps no line breaks.
    row.note = note.simplified();
    row.made = made;
    row.startText = CivilTime::isoOfUtc(start);
    row.endText = CivilTime::isoOfUtc(end);
    return row;
}

QString dayFileStation(const QString &fileName)
{
    return StationFolder::stationOf(StationFolder::dataFileOf(fileName));
}

namespace ExclusionsCsv {

QString pathForDataFile(const QString &dataFile)
{
    return pathFor(QFileInfo(dataFile).absolutePath(), dayFileStation(dataFile));
}

QString pathFor(const QString &folder, const QString &station)
{
    return QDir(folder).filePath(StationFolder::exclusionsName(station));
}

ExclusionsFile parse(const QByteArray &bytes, const QString &name)
{
    ExclusionsFile file;
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    // A bad row is said (the first one by its line) and skipped: the rows
    // around it still read, so nothing else is lost when the file is saved.
    bool badRow = false;
    const auto bad = [&](qint64 line, const QString &why) {
        ++file.badLines;
        if (file.problem.isEmpty()) {
            file.line = line;
            file.problem = QStringLiteral("%1, line %2: %3").arg(name).arg(line).arg(why);
        }
        badRow = true;
    };

    bool headerSeen = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        const qint64 number = i + 1;
        const QStringList fields = csvLineFields(line);
        if (!headerSeen) {
            headerSeen = true;
            QStringList names;
            for (const QString &f : fields)
                names << f.trimmed();
            if (names.join(QLatin1Char(',')) != QLatin1String(Header)) {
                // Without the header the columns cannot be trusted: no row counts.
                bad(number, QStringLiteral("the header must be \"%1\"").arg(QLatin1String(Header)));
                return file;
            }
            continue;
        }
        badRow = false;
        if (fields.size() != 5) {
            bad(number,
                QStringLiteral("5 fields expected (start,end,reason,note,made), %1 found")
                    .arg(fields.size()));
            continue;
        }
        const std::optional<int64_t> start = CivilTime::momentOfIso(fields[0]);
        const std::optional<int64_t> end = CivilTime::momentOfIso(fields[1]);
        const std::optional<ExclusionReason> reason = exclusionReasonOf(fields[2]);
        if (!start)
            bad(number, QStringLiteral("the start \"%1\" is not an ISO 8601 time").arg(fields[0]));
        else if (!end)
            bad(number, QStringLiteral("the end \"%1\" is not an ISO 8601 time").arg(fields[1]));
        else if (*end <= *start)
            bad(number, QStringLiteral("the end is not after the start"));
        else if (!reason)
            bad(number,
                QStringLiteral("the reason \"%1\" is none of %2")
                    .arg(fields[2], exclusionReasonTexts().join(QStringLiteral(", "))));
        if (badRow)
            continue;
        Exclusion row;
        row.start = *start;
        row.end = *end;
        row.reason = *reason;
        row.note = fields[3];
        row.made = fields[4].trimmed();
        row.startText = fields[0].trimmed();
        row.endText = fields[1].trimmed();
        file.rows.push_back(row);
    }
    return file;
}

ExclusionsFile read(const QString &path)
{
    QFile in(path);
    if (!in.exists())
        return {};
    ExclusionsFile file;
    // A hand-made file of some hundred rows is small; anything huge is not one.
    constexpr qint64 Largest = 16 * 1024 * 1024;
    if (!in.open(QIODevice::ReadOnly)) {
        file.problem = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), in.errorString());
        return file;
    }
    if (in.size() > Largest) {
        file.problem = QStringLiteral("%1: larger than 16 MiB, not an exclusions file")
                           .arg(QDir::toNativeSeparators(path));
        return file;
    }
    return parse(in.readAll(), path);
}

QByteArray text(const std::vector<Exclusion> &rows)
{
    QString out = QLatin1String(Header) + QLatin1Char('\n');
    for (const Exclusion &row : rows)
        out += csvRow({ row.startText, row.endText, exclusionReasonText(row.reason),
                        row.note.simplified(), row.made })
            + QLatin1Char('\n');
    return out.toUtf8();
}

bool write(const QString &path, const std::vector<Exclusion> &rows, QString &why)
{
    AtomicFile file(path);
    if (!file.open() || !file.write(text(rows)) || !file.commit()) {
        why = fileErrorMessage(path, file.errorString());
        return false;
    }
    return true;
}

Merge merge(const std::vector<Exclusion> &base, const std::vector<Exclusion> &mine,
            const std::vector<Exclusion> &onDisk)
{
    // What this window did since it read the file, as two multisets.
    std::vector<Exclusion> removed = base;
    std::vector<Exclusion> added;
    for (const Exclusion &row : mine) {
        const auto was = std::find(removed.begin(), removed.end(), row);
        if (was != removed.end())
            removed.erase(was);
        else
            added.push_back(row);
    }
    Merge merged;
    merged.rows = onDisk;
    for (const Exclusion &row : removed) {
        const auto still = std::find(merged.rows.begin(), merged.rows.end(), row);
        if (still != merged.rows.end())
            merged.rows.erase(still);
        else if (!row.made.isEmpty()
                 && std::any_of(onDisk.begin(), onDisk.end(),
                                [&](const Exclusion &r) { return r.made == row.made; }))
            ++merged.kept; // another writer edited it too (an edit keeps "made")
    }
    std::vector<Exclusion> mineLeft = mine;
    for (const Exclusion &row : onDisk) {
        const auto ours = std::find(mineLeft.begin(), mineLeft.end(), row);
        if (ours != mineLeft.end())
            mineLeft.erase(ours);
        else if (std::find(base.begin(), base.end(), row) == base.end())
            ++merged.taken;
    }
    for (const Exclusion &row : added)
        if (std::find(merged.rows.begin(), merged.rows.end(), row) == merged.rows.end())
            merged.rows.push_back(row);
    return merged;
}

bool mergeAndWrite(const QString &path, const std::vector<Exclusion> &base,
                   const std::vector<Exclusion> &mine, Merge &merged, QString &why)
{
    const ExclusionsFile now = read(path);
    if (!now.ok()) {
        why = QStringLiteral("%1 changed and now has bad lines (%2); it is left as it is")
                  .arg(QDir::toNativeSeparators(path), now.problem);
        return false;
    }
    merged = merge(base, mine, now.rows);
    return write(path, merged.rows, why);
}

} // namespace ExclusionsCsv

ExclusionSpans::ExclusionSpans(std::vector<Exclusion> rows)
    : m_rows(std::move(rows))
{
    std::vector<int> order(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return m_rows[size_t(a)].start < m_rows[size_t(b)].start;
    });
    for (const int i : order) {
        const Exclusion &row = m_rows[size_t(i)];
        const int64_t reached = m_segments.empty() ? row.start : m_segments.back().end;
        const int64_t from = std::max(row.start, reached);
        if (row.end <= from)
            continue;
        if (!m_segments.empty() && m_segments.back().row == i && m_segments.back().end == from)
            m_segments.back().end = row.end;
        else
            m_segments.push_back({ from, row.end, i });
    }
}

int ExclusionSpans::rowAt(int64_t utc) const
{
    if (m_segments.empty())
        return -1;
    size_t at = std::min(m_cursor, m_segments.size() - 1);
    if (at > 0 && utc < m_segments[at - 1].end) {
        const auto found
            = std::upper_bound(m_segments.begin(), m_segments.end(), utc,
                               [](int64_t t, const Segment &s) { return t < s.start; });
        at = found == m_segments.begin() ? 0 : size_t(found - m_segments.begin()) - 1;
    }
    while (at + 1 < m_segments.size() && utc >= m_segments[at].end)
        ++at;
    m_cursor = at;
    const Segment &s = m_segments[at];
    return utc >= s.start && utc < s.end ? s.row : -1;
}

int64_t ExclusionSpans::coveredBetween(int64_t from, int64_t to) const
{
    int64_t covered = 0;
    for (const Segment &s : m_segments)
        covered += std::max<int64_t>(0, std::min(s.end, to) - std::max(s.start, from));
    return covered;
}

std::vector<Exclusion> ExclusionSpans::rowsBetween(int64_t from, int64_t to) const
{
    std::vector<Exclusion> touching;
    for (const Exclusion &row : m_rows)
        if (row.start < to && row.end > from)
            touching.push_back(row);
    std::stable_sort(touching.begin(), touching.end(),
                     [](const Exclusion &a, const Exclusion &b) { return a.start < b.start; });
    return touching;
}

ReasonCounts ExclusionTally::within(const std::map<int64_t, ReasonCounts> &table, int64_t from,
                                    int64_t to)
{
    ReasonCounts sum {};
    for (auto it = table.lower_bound(from); it != table.end() && it->first < to; ++it)
        for (size_t r = 0; r < sum.size(); ++r)
            sum[r] += it->second[r];
    return sum;
}

qint64 totalOf(const ReasonCounts &counts)
{
    qint64 total = 0;
    for (const qint64 c : counts)
        total += c;
    return total;
}

QString reasonsText(const ReasonCounts &counts, double interval)
{
    QStringList parts;
    for (int r = 0; r < ExclusionReasonCount; ++r)
        if (counts[size_t(r)] > 0)
            parts << QStringLiteral("%1 %2").arg(exclusionReasonText(ExclusionReason(r)),
                                                 Wording::partsDuration(double(counts[size_t(r)]) * interval));
    return parts.join(QStringLiteral(", "));
}

#include "Weather.h"

#include "BatchReport.h"
#include "CivilTime.h"
#include "StationFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

std::optional<double> numberOf(const QString &text, bool *ok)
{
    const QString trimmed = text.trimmed();
    *ok = true;
    if (trimmed.isEmpty())
        return std::nullopt;
    const double value = QLocale::c().toDouble(trimmed, ok);
    if (!*ok || !std::isfinite(value)) {
        *ok = false;
        return std::nullopt;
    }
    return value;
}

QString number(double value)
{
    return QString::number(value, 'f', 1);
}

QString limitText(double value)
{
    return QString::number(value, 'g', 6);
}

// One judged span: the reason, what broke the rule and by how much.
struct Breach
{
    ExclusionReason reason = ExclusionReason::Wind;
    int kind = 0; // 0 mean wind, 1 gust, 2 rain
    double value = 0.0;
};

std::optional<Breach> judge(const WeatherRow &row, const WeatherRules &rules)
{
    if (rules.wind && row.windSpeed && *row.windSpeed > *rules.wind)
        return Breach { ExclusionReason::Wind, 0, *row.windSpeed };
    if (rules.gust && row.windGust && *row.windGust > *rules.gust)
        return Breach { ExclusionReason::Wind, 1, *row.windGust };
    if (rules.rain && row.rain && *row.rain > *rules.rain)
        return Breach { ExclusionReason::Rain, 2, *row.rain };
    return std::nullopt;
}

QString breachNote(const Breach &breach, const WeatherRules &rules)
{
    switch (breach.kind) {
    case 0:
        return QStringLiteral("rule: mean wind %1 m/s over %2 m/s")
            .arg(number(breach.value), limitText(*rules.wind));
    case 1:
        return QStringLiteral("rule: gust %1 m/s over %2 m/s")
            .arg(number(breach.value), limitText(*rules.gust));
    default:
        return QStringLiteral("rule: rain %1 mm over %2 mm")
            .arg(number(breach.value), limitText(*rules.rain));
    }
}

// [start, end) less every kept span, in pieces.
void addLessKept(std::vector<Exclusion> &out, Exclusion row, const std::vector<Exclusion> &kept)
{
    std::vector<std::pair<int64_t, int64_t>> pieces { { row.start, row.end } };
    for (const Exclusion &k : kept) {
        std::vector<std::pair<int64_t, int64_t>> next;
        for (const auto &[from, to] : pieces) {
            if (k.end <= from || k.start >= to) {
                next.emplace_back(from, to);
                continue;
            }
            if (k.start > from)
                next.emplace_back(from, k.start);
            if (k.end < to)
                next.emplace_back(k.end, to);
        }
        pieces.swap(next);
    }
    for (const auto &[from, to] : pieces) {
        row.start = from;
        row.end = to;
        row.startText = CivilTime::isoOfUtc(from);
        row.endText = CivilTime::isoOfUtc(to);
        out.push_back(row);
    }
}

} // namespace

namespace WeatherCsv {

QString pathForDataFile(const QString &dataFile)
{
    return QDir(QFileInfo(dataFile).absolutePath())
        .filePath(StationFolder::weatherName(dayFileStation(dataFile)));
}

WeatherFile parse(const QByteArray &bytes, const QString &name)
{
    WeatherFile file;
    // Lines as views of the bytes: a month of rows a minute is 43,200 lines.
    std::vector<QByteArrayView> lines;
    for (qsizetype from = 0; from < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', from);
        if (end < 0)
            end = bytes.size();
        lines.emplace_back(bytes.constData() + from, end - from);
        from = end + 1;
    }
    const auto bad = [&](qint64 line, const QString &why) {
        ++file.badLines;
        if (file.problem.isEmpty()) {
            file.line = line;
            file.problem = QStringLiteral("%1, line %2: %3")
                               .arg(QDir::toNativeSeparators(name))
                               .arg(line)
                               .arg(why);
        }
    };
    // Each row's time first; its span once the rows around it are known.
    std::vector<std::pair<int64_t, WeatherRow>> timed;
    timed.reserve(size_t(lines.size()));
    file.rows.reserve(size_t(lines.size()));
    bool headerSeen = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        QByteArrayView bytesOfLine = lines[i];
        if (bytesOfLine.endsWith('\r'))
            bytesOfLine.chop(1);
        if (bytesOfLine.trimmed().isEmpty())
            continue;
        const qint64 lineNumber = qint64(i) + 1;
        // Rows without quotes split at their commas; the rest as CSV.
        QStringList fields;
        if (bytesOfLine.contains('"')) {
            fields = csvLineFields(QString::fromUtf8(bytesOfLine));
        } else {
            for (qsizetype from = 0;;) {
                const qsizetype comma = bytesOfLine.indexOf(',', from);
                fields << QString::fromUtf8(
                    bytesOfLine.sliced(from, comma < 0 ? bytesOfLine.size() - from : comma - from));
                if (comma < 0)
                    break;
                from = comma + 1;
            }
        }
        if (!headerSeen) {
            headerSeen = true;
            QStringList names;
            for (const QString &f : fields)
                names << f.trimmed();
            if (names.join(QLatin1Char(',')) != QLatin1String(Header)) {
                bad(lineNumber,
                    QStringLiteral("the header must be \"%1\"").arg(QLatin1String(Header)));
                return file;
            }
            continue;
        }
        if (fields.size() != 6) {
            bad(lineNumber,
                QStringLiteral("6 fields expected (%1), %2 found")
                    .arg(QLatin1String(Header))
                    .arg(fields.size()));
            continue;
        }
        const std::optional<int64_t> time = CivilTime::momentOfIso(fields[0]);
        if (!time) {
            bad(lineNumber,
                QStringLiteral("the time \"%1\" is not an ISO 8601 time").arg(fields[0]));
            continue;
        }
        if (!timed.empty() && *time <= timed.back().first) {
            bad(lineNumber, QStringLiteral("the time is not after the row before"));
            continue;
        }
        WeatherRow row;
        bool ok = true;
        int badField = -1;
        std::optional<double> *targets[]
            = { &row.windSpeed, &row.windGust, &row.windDirection, &row.rain, &row.temperature };
        for (int f = 0; f < 5 && badField < 0; ++f) {
            *targets[f] = numberOf(fields[f + 1], &ok);
            if (!ok || (f != 4 && *targets[f] && **targets[f] < 0))
                badField = f + 1;
        }
        if (badField >= 0) {
            bad(lineNumber,
                QStringLiteral("the %1 \"%2\" is not a number it can be")
                    .arg(QString::fromLatin1(Header).section(QLatin1Char(','), badField, badField),
                         fields[badField].trimmed()));
            continue;
        }
        timed.emplace_back(*time, row);
    }
    for (size_t i = 0; i < timed.size(); ++i) {
        auto &[time, row] = timed[i];
        // The first row covers as much as the one after it does.
        const int64_t before = i > 0 ? time - timed[i - 1].first
            : i + 1 < timed.size()   ? timed[i + 1].first - time
                                     : 0;
        row.end = time;
        row.start = time - std::min(before, MaxSpan);
        if (row.end > row.start)
            file.rows.push_back(row);
    }
    return file;
}

WeatherFile read(const QString &path)
{
    QFile in(path);
    if (!in.exists())
        return {};
    WeatherFile file;
    if (!in.open(QIODevice::ReadOnly)) {
        file.problem
            = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), in.errorString());
        return file;
    }
    return parse(in.readAll(), path);
}

QString rowText(int64_t time, const WeatherRow &row)
{
    const auto field = [](const std::optional<double> &value, int decimals) {
        return value ? QString::number(*value, 'f', decimals) : QString();
    };
    return csvRow({ CivilTime::isoOfUtc(time), field(row.windSpeed, 1), field(row.windGust, 1),
                    field(row.windDirection, 0), field(row.rain, 1), field(row.temperature, 1) });
}

} // namespace WeatherCsv

std::optional<WeatherRules> WeatherRules::parse(const QString &text, QString *why)
{
    WeatherRules rules;
    rules.wind.reset();
    rules.rain.reset();
    for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = item.section(QLatin1Char('>'), 0, 0).trimmed().toLower();
        bool ok = false;
        const double value
            = QLocale::c().toDouble(item.section(QLatin1Char('>'), 1).trimmed(), &ok);
        std::optional<double> *target = name == QLatin1String("wind") ? &rules.wind
            : name == QLatin1String("gust")                           ? &rules.gust
            : name == QLatin1String("rain")                           ? &rules.rain
                                                                      : nullptr;
        if (!item.contains(QLatin1Char('>')) || !target || !ok || value < 0) {
            if (why)
                *why = QStringLiteral("\"%1\" is no weather rule: give wind>M/S, gust>M/S or "
                                      "rain>MM, separated by commas")
                           .arg(item.trimmed());
            return std::nullopt;
        }
        *target = value;
    }
    return rules;
}

QString WeatherRules::text() const
{
    QStringList items;
    if (wind)
        items << QStringLiteral("wind>") + limitText(*wind);
    if (gust)
        items << QStringLiteral("gust>") + limitText(*gust);
    if (rain)
        items << QStringLiteral("rain>") + limitText(*rain);
    return items.join(QLatin1Char(','));
}

std::vector<Exclusion> ruleExclusions(const std::vector<WeatherRow> &rows,
                                      const WeatherRules &rules, const std::vector<Exclusion> &kept)
{
    // The spans judged: the rows themselves, or clock-aligned intervals.
    std::vector<WeatherRow> judged;
    if (rules.interval > 0 && !rows.empty()) {
        WeatherData data;
        data.rows = rows;
        const int64_t length = rules.interval;
        int64_t civil = CivilTime::alignDown(CivilTime::civilOfUtc(rows.front().start), length);
        const int64_t last = rows.back().end;
        for (int64_t from = CivilTime::utcOf(civil); from < last;) {
            civil += length;
            const int64_t to = CivilTime::utcOf(civil);
            WeatherRow mean = data.over(from, to);
            mean.start = from;
            mean.end = to;
            if (mean.windSpeed || mean.windGust || mean.rain)
                judged.push_back(mean);
            from = to;
        }
    } else {
        judged = rows;
    }
    std::vector<Exclusion> merged;
    std::optional<Breach> open;
    Exclusion current;
    const auto close = [&] {
        if (!open)
            return;
        current.note = breachNote(*open, rules);
        addLessKept(merged, current, kept);
        open.reset();
    };
    for (const WeatherRow &row : judged) {
        const std::optional<Breach> breach = judge(row, rules);
        if (open && (!breach || breach->kind != open->kind || row.start != current.end))
            close();
        if (!breach)
            continue;
        if (!open) {
            open = breach;
            current = Exclusion {};
            current.start = row.start;
            current.reason = breach->reason;
            current.byRule = true;
        }
        open->value = std::max(open->value, breach->value);
        current.end = row.end;
    }
    close();
    return merged;
}

WeatherRow WeatherData::over(int64_t from, int64_t to) const
{
    WeatherRow out;
    double windWeighted = 0.0;
    int64_t windSeconds = 0;
    auto it = std::partition_point(rows.begin(), rows.end(),
                                   [from](const WeatherRow &r) { return r.end <= from; });
    for (; it != rows.end() && it->start < to; ++it) {
        const int64_t overlap = std::min(to, it->end) - std::max(from, it->start);
        if (overlap <= 0)
            continue;
        const double share = double(overlap) / double(it->end - it->start);
        if (it->windSpeed) {
            windWeighted += *it->windSpeed * double(overlap);
            windSeconds += overlap;
        }
        if (it->windGust)
            out.windGust = std::max(out.windGust.value_or(0.0), *it->windGust);
        if (it->rain)
            out.rain = out.rain.value_or(0.0) + *it->rain * share;
        if (it->temperature)
            out.temperature = it->temperature;
        if (it->windDirection)
            out.windDirection = it->windDirection;
    }
    if (windSeconds > 0)
        out.windSpeed = windWeighted / double(windSeconds);
    return out;
}

WeatherSummary WeatherData::summary(int64_t from, int64_t to) const
{
    WeatherSummary summary;
    summary.source = source;
    summary.rules = rules ? rules->text() : QString();
    summary.measuredS = std::max<int64_t>(0, to - from);
    auto it = std::partition_point(rows.begin(), rows.end(),
                                   [from](const WeatherRow &r) { return r.end <= from; });
    for (; it != rows.end() && it->start < to; ++it) {
        const int64_t overlap = std::min(to, it->end) - std::max(from, it->start);
        if (overlap <= 0)
            continue;
        summary.coveredS += overlap;
        if (it->windSpeed && (!summary.windMeanMax || *it->windSpeed > *summary.windMeanMax)) {
            summary.windMeanMax = it->windSpeed;
            summary.windMeanMaxAt = it->end;
        }
        if (it->windGust && (!summary.gustMax || *it->windGust > *summary.gustMax)) {
            summary.gustMax = it->windGust;
            summary.gustMaxAt = it->end;
        }
        if (it->rain)
            summary.rainTotal = summary.rainTotal.value_or(0.0)
                + *it->rain * double(overlap) / double(it->end - it->start);
    }
    return summary;
}

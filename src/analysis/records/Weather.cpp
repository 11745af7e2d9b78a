#include "analysis/records/Weather.h"

#include "analysis/records/CivilTime.h"
#include "analysis/records/Csv.h"
#include "analysis/records/StationFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// A field's number, as the C locale writes it; none when it is empty.
std::optional<double> numberOf(QByteArrayView text, bool *ok)
{
    text = text.trimmed();
    *ok = true;
    if (text.isEmpty())
        return std::nullopt;
    if (text.startsWith('+'))
        text = text.sliced(1);
    double value = 0.0;
    const char *end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || !std::isfinite(value)) {
        *ok = false;
        return std::nullopt;
    }
    return value;
}

// A time as a weather station's export writes it: ISO 8601 with a space
// or slashes, or day.month.year; without an offset, site time.
std::optional<int64_t> momentOfExportTime(const QString &text)
{
    QString t = text.trimmed();
    if (const auto iso = CivilTime::momentOfIso(t))
        return iso;
    if (t.size() >= 16 && (t[4] == QLatin1Char('-') || t[4] == QLatin1Char('/'))) {
        t[4] = t[7] = QLatin1Char('-');
        t[10] = QLatin1Char('T');
        if (t.size() == 16)
            t += QStringLiteral(":00");
        return CivilTime::momentOfIso(t);
    }
    for (const char *format : { "dd.MM.yyyy HH:mm:ss", "dd.MM.yyyy HH:mm", "d.M.yyyy H:mm" }) {
        const QDateTime at = QDateTime::fromString(t, QLatin1String(format));
        if (at.isValid())
            return CivilTime::utcOf(CivilTime::civilSecondsOf(at.date(), at.time()));
    }
    return std::nullopt;
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

WeatherFile parse(const QByteArray &bytes, const QString &name, const WeatherColumns *columns)
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
    // A row from its time and its fields (time, wind_speed, ...; an empty
    // view for a column the file does not have), checked and kept.
    const auto addRow = [&](qint64 lineNumber, const std::optional<int64_t> &time,
                            const std::array<QByteArrayView, 6> &fields) {
        if (!time) {
            bad(lineNumber,
                QStringLiteral("the time \"%1\" is not an ISO 8601 time")
                    .arg(QString::fromUtf8(fields[0].trimmed())));
            return;
        }
        if (!timed.empty() && *time <= timed.back().first) {
            bad(lineNumber, QStringLiteral("the time is not after the row before"));
            return;
        }
        WeatherRow row;
        std::optional<double> *targets[]
            = { &row.windSpeed, &row.windGust, &row.windDirection, &row.rain, &row.temperature };
        for (int f = 0; f < 5; ++f) {
            bool ok = true;
            *targets[f] = numberOf(fields[size_t(f + 1)], &ok);
            if (ok && *targets[f] && columns)
                *targets[f] = (**targets[f] + columns->offset[size_t(f + 1)])
                    * columns->factor[size_t(f + 1)];
            if (!ok || (f != 4 && *targets[f] && **targets[f] < 0)) {
                bad(lineNumber,
                    QStringLiteral("the %1 \"%2\" is not a number it can be")
                        .arg(QString::fromLatin1(Header).section(QLatin1Char(','), f + 1, f + 1),
                             QString::fromUtf8(fields[size_t(f + 1)].trimmed())));
                return;
            }
        }
        timed.emplace_back(*time, row);
    };
    // A weather station's own export may separate by semicolons or tabs
    // (and then write decimal commas).
    char separator = ',';
    // Where each of time, wind_speed, ... stands in a row.
    std::array<qsizetype, 6> at { 0, 1, 2, 3, 4, 5 };
    file.rows.reserve(size_t(lines.size()));
    bool headerSeen = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        QByteArrayView bytesOfLine = lines[i];
        if (bytesOfLine.endsWith('\r'))
            bytesOfLine.chop(1);
        if (bytesOfLine.trimmed().isEmpty())
            continue;
        const qint64 lineNumber = qint64(i) + 1;
        if (!headerSeen && columns) {
            if (bytesOfLine.contains(';') && !bytesOfLine.contains(','))
                separator = ';';
            else if (bytesOfLine.contains('\t') && !bytesOfLine.contains(','))
                separator = '\t';
        }
        // The station's own rows, as it writes them: read as bytes, each
        // field made text only to be named in a message.
        if (headerSeen && !columns && !bytesOfLine.contains('"')) {
            std::array<QByteArrayView, 6> views;
            int count = 0;
            for (qsizetype from = 0;; ++count) {
                const qsizetype cut = bytesOfLine.indexOf(',', from);
                const QByteArrayView field
                    = bytesOfLine.sliced(from, (cut < 0 ? bytesOfLine.size() : cut) - from);
                if (count < 6)
                    views[size_t(count)] = field;
                if (cut < 0)
                    break;
                from = cut + 1;
            }
            ++count;
            if (count != 6) {
                bad(lineNumber,
                    QStringLiteral("6 fields expected (%1), %2 found")
                        .arg(QLatin1String(Header))
                        .arg(count));
                continue;
            }
            addRow(lineNumber, CivilTime::momentOfIso(QString::fromUtf8(views[0].trimmed())),
                   views);
            continue;
        }
        // Rows without quotes split at their separators; the rest as CSV.
        QStringList fields;
        if (separator == ',' && bytesOfLine.contains('"')) {
            fields = csvLineFields(QString::fromUtf8(bytesOfLine));
        } else {
            for (qsizetype from = 0;;) {
                const qsizetype cut = bytesOfLine.indexOf(separator, from);
                QString field = QString::fromUtf8(
                    bytesOfLine.sliced(from, cut < 0 ? bytesOfLine.size() - from : cut - from));
                if (field.startsWith(QLatin1Char('"')) && field.endsWith(QLatin1Char('"'))
                    && field.size() > 1)
                    field = field.mid(1, field.size() - 2);
                fields << field;
                if (cut < 0)
                    break;
                from = cut + 1;
            }
        }
        if (!headerSeen) {
            headerSeen = true;
            QStringList names;
            for (const QString &f : fields)
                names << f.trimmed();
            if (!columns) {
                if (names.join(QLatin1Char(',')) != QLatin1String(Header)) {
                    bad(lineNumber,
                        QStringLiteral("the header must be \"%1\"").arg(QLatin1String(Header)));
                    return file;
                }
                continue;
            }
            for (int c = 0; c < 6; ++c) {
                at[size_t(c)] = columns->names[size_t(c)].isEmpty()
                    ? -1
                    : names.indexOf(columns->names[size_t(c)]);
                if (!columns->names[size_t(c)].isEmpty() && at[size_t(c)] < 0) {
                    bad(lineNumber,
                        QStringLiteral("there is no column \"%1\" (the columns are: %2)")
                            .arg(columns->names[size_t(c)], names.join(QStringLiteral(", "))));
                    return file;
                }
            }
            continue;
        }
        const qsizetype needed = *std::max_element(at.begin(), at.end()) + 1;
        if (fields.size() < needed || (!columns && fields.size() != 6)) {
            bad(lineNumber,
                QStringLiteral("%1 fields expected (%2), %3 found")
                    .arg(columns ? needed : 6)
                    .arg(columns ? QStringLiteral("the columns named") : QLatin1String(Header))
                    .arg(fields.size()));
            continue;
        }
        std::array<QByteArray, 6> texts;
        std::array<QByteArrayView, 6> views;
        for (int c = 0; c < 6; ++c) {
            if (at[size_t(c)] < 0)
                continue;
            texts[size_t(c)] = fields[at[size_t(c)]].toUtf8();
            // An export that separates by semicolons writes decimal commas.
            if (c > 0 && separator != ',')
                texts[size_t(c)].replace(',', '.');
            views[size_t(c)] = texts[size_t(c)];
        }
        addRow(lineNumber,
               columns ? momentOfExportTime(fields[at[0]]) : CivilTime::momentOfIso(fields[0]),
               views);
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

WeatherFile read(const QString &path, const WeatherColumns *columns)
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
    return parse(in.readAll(), path, columns);
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

namespace {

// Each row that overlaps [from, to), with the seconds it overlaps; rows are
// in time order and do not overlap one another.
template<typename Visit>
void forEachOverlap(const std::vector<WeatherRow> &rows, int64_t from, int64_t to, Visit visit)
{
    auto it = std::partition_point(rows.begin(), rows.end(),
                                   [from](const WeatherRow &r) { return r.end <= from; });
    for (; it != rows.end() && it->start < to; ++it)
        if (const int64_t overlap = std::min(to, it->end) - std::max(from, it->start); overlap > 0)
            visit(*it, overlap);
}

} // namespace

WeatherRow WeatherData::over(int64_t from, int64_t to) const
{
    WeatherRow out;
    double windWeighted = 0.0;
    int64_t windSeconds = 0;
    forEachOverlap(rows, from, to, [&](const WeatherRow &row, int64_t overlap) {
        const double share = double(overlap) / double(row.end - row.start);
        if (row.windSpeed) {
            windWeighted += *row.windSpeed * double(overlap);
            windSeconds += overlap;
        }
        if (row.windGust)
            out.windGust = std::max(out.windGust.value_or(0.0), *row.windGust);
        if (row.rain)
            out.rain = out.rain.value_or(0.0) + *row.rain * share;
        if (row.temperature)
            out.temperature = row.temperature;
        if (row.windDirection)
            out.windDirection = row.windDirection;
    });
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
    forEachOverlap(rows, from, to, [&](const WeatherRow &row, int64_t overlap) {
        summary.coveredS += overlap;
        if (row.windSpeed && (!summary.windMeanMax || *row.windSpeed > *summary.windMeanMax)) {
            summary.windMeanMax = row.windSpeed;
            summary.windMeanMaxAt = row.end;
        }
        if (row.windGust && (!summary.gustMax || *row.windGust > *summary.gustMax)) {
            summary.gustMax = row.windGust;
            summary.gustMaxAt = row.end;
        }
        if (row.rain)
            summary.rainTotal = summary.rainTotal.value_or(0.0)
                + *row.rain * double(overlap) / double(row.end - row.start);
    });
    return summary;
}

std::optional<WeatherColumns> WeatherColumns::parse(const QString &text, QString *why)
{
    WeatherColumns columns;
    static const QStringList fields
        = QString::fromLatin1(WeatherCsv::Header).split(QLatin1Char(','));
    const auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString field = item.section(QLatin1Char('='), 0, 0).trimmed();
        QString header = item.section(QLatin1Char('='), 1).trimmed();
        const int index = int(fields.indexOf(field));
        if (index < 0 || header.isEmpty())
            return fail(QStringLiteral("\"%1\": give FIELD=COLUMN[:UNIT], FIELD one of %2")
                            .arg(item.trimmed(), fields.join(QStringLiteral(", "))));
        QString unit;
        if (const qsizetype colon = header.lastIndexOf(QLatin1Char(':')); colon > 0) {
            unit = header.mid(colon + 1).trimmed().toLower();
            header = header.left(colon).trimmed();
        }
        double factor = 1.0;
        double offset = 0.0;
        if (unit == QLatin1String("km/h"))
            factor = 1.0 / 3.6;
        else if (unit == QLatin1String("mph"))
            factor = 0.44704;
        else if (unit == QLatin1String("kn"))
            factor = 1852.0 / 3600.0;
        else if (unit == QLatin1String("in"))
            factor = 25.4;
        else if (unit == QLatin1String("f")) {
            factor = 5.0 / 9.0;
            offset = -32.0;
        } else if (!unit.isEmpty() && unit != QLatin1String("m/s") && unit != QLatin1String("mm")
                   && unit != QLatin1String("c") && unit != QLatin1String("deg"))
            return fail(QStringLiteral("\"%1\" is no unit here: m/s, km/h, mph, kn, mm, in, C "
                                       "or F")
                            .arg(unit));
        columns.names[size_t(index)] = header;
        columns.factor[size_t(index)] = factor;
        columns.offset[size_t(index)] = offset;
    }
    if (columns.names[0].isEmpty())
        return fail(QStringLiteral("the time's column must be named (time=COLUMN)"));
    return columns;
}

std::shared_ptr<const WeatherData> readWeather(const QString &path, const QString &keepPath,
                                               const std::optional<WeatherRules> &rules,
                                               const WeatherColumns *columns, QStringList &problems)
{
    WeatherFile file = WeatherCsv::read(path, columns);
    if (!file.problem.isEmpty())
        problems << file.problem
                + (file.badLines > 1 ? QStringLiteral(" (%1 lines left out)").arg(file.badLines)
                                     : QStringLiteral(" (left out)"));
    auto data = std::make_shared<WeatherData>();
    data->source = path;
    data->rows = std::move(file.rows);
    data->rules = rules;
    if (rules) {
        const ExclusionsFile kept = ExclusionsCsv::read(keepPath);
        if (!kept.problem.isEmpty())
            problems << kept.problem;
        data->ruleRows = ruleExclusions(data->rows, *rules, kept.rows);
    }
    return data;
}

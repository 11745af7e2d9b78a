#include "analysis/records/SiteZone.h"

#include "analysis/records/Calibration.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSet>

bool isKnownZone(const QString &name)
{
    const QByteArray id = name.trimmed().toUtf8();
    if (id.isEmpty())
        return false;
    if (QTimeZone::isTimeZoneIdAvailable(id))
        return true;
    // UTC and its aliases are no entries of the zone list, yet valid names.
    static const QSet<QByteArray> utc { "UTC", "Etc/UTC", "Etc/UCT", "Etc/Universal",
                                        "Etc/Zulu", "Etc/GMT", "GMT", "Universal", "Zulu" };
    return (utc.contains(id) || id.startsWith("Etc/GMT")) && QTimeZone(id).isValid();
}

SiteZone computerZone()
{
    const QTimeZone zone = QTimeZone::systemTimeZone();
    // A zone that has kept UTC's time since 1970 is UTC, whatever the
    // system calls it (Windows names it after Reykjavik): the same figures,
    // said the same way on every system.
    const QDateTime epoch(QDate(1970, 1, 1), QTime(0, 0), QTimeZone::utc());
    if (zone.offsetFromUtc(epoch) == 0
        && zone.offsetFromUtc(QDateTime::currentDateTimeUtc()) == 0
        && (!zone.hasTransitions() || !zone.nextTransition(epoch).atUtc.isValid()))
        return { QTimeZone::utc(), QStringLiteral("UTC"), QStringLiteral("computer"), {} };
    QString name = QString::fromUtf8(zone.id());
    if (name.isEmpty())
        name = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    return { zone, name, QStringLiteral("computer"), {} };
}

std::optional<SiteZone> namedZone(const QString &name)
{
    const QByteArray id = name.trimmed().toUtf8();
    if (!isKnownZone(name))
        return std::nullopt;
    return SiteZone { QTimeZone(id), QString::fromUtf8(id), QStringLiteral("--zone"), {} };
}

std::optional<SiteZone> detailsZone(const QString &dataFile)
{
    if (dataFile == QLatin1String("-"))
        return std::nullopt;
    QString problem;
    const std::optional<MeasurementDetails> details
        = MeasurementDetails::read(MeasurementDetails::pathFor(dataFile), &problem);
    if (!details || details->timeZone.isEmpty())
        return std::nullopt;
    const QByteArray id = details->timeZone.toUtf8();
    return SiteZone { QTimeZone(id), details->timeZone, QStringLiteral("details"),
                      details->firstReadingOffset() };
}

SiteZone zoneOfFile(const QString &dataFile, const SiteZone &fallback)
{
    return detailsZone(dataFile).value_or(fallback);
}

SeriesZone zoneOfSeries(const QStringList &dataFiles, const SiteZone &fallback)
{
    SeriesZone series { fallback, {}, {} };
    QString namedBy;
    qsizetype without = 0;
    for (const QString &file : dataFiles) {
        const std::optional<SiteZone> own = detailsZone(file);
        if (!own) {
            ++without;
            continue;
        }
        if (namedBy.isEmpty()) {
            series.zone = *own;
            namedBy = file;
        } else if (own->name != series.zone.name) {
            series.refusal = QStringLiteral("%1 (time zone %2) and %3 (time zone %4) come from "
                                            "sites in different zones and cannot be joined: a "
                                            "series is one site")
                                 .arg(namedBy, series.zone.name, file, own->name);
            return series;
        }
    }
    if (!namedBy.isEmpty() && without > 0)
        series.note = QStringLiteral("%1 of the %2 files name no time zone in their details: "
                                     "they take %3, which the others name")
                          .arg(without)
                          .arg(dataFiles.size())
                          .arg(series.zone.name);
    return series;
}

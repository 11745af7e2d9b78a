#pragma once

#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <optional>

// The zone a data file's stamps are read in: the site's, from the details
// file beside it ("time_zone"), else the one named on the command line
// (--zone), else this computer's. Files from a site whose zone is known give
// the same figures on any computer.
struct SiteZone
{
    QTimeZone zone;
    QString name; // "Europe/Berlin"
    // Where it came from: "details", "--zone" or "computer".
    QString source;
    // The offset of the file's first reading, as its details say.
    std::optional<int> firstOffset;
};

// An IANA zone name this computer knows ("Europe/Berlin", "Etc/UTC"); a
// text it would read as a POSIX rule ("Nowhere") is none.
bool isKnownZone(const QString &name);

// The computer's own zone.
SiteZone computerZone();
// A zone named on the command line; nothing when it names no known zone.
std::optional<SiteZone> namedZone(const QString &name);

// The zone named by the details file of a data file, if any (a damaged one
// names none: its problem is said with the others).
std::optional<SiteZone> detailsZone(const QString &dataFile);

// One file's zone: its details', else `fallback` (--zone or the computer's).
SiteZone zoneOfFile(const QString &dataFile, const SiteZone &fallback);

// The zone of files joined as one series, which is one site: the zone their
// details name, which files without one take (said in `note`); files that
// name different zones are refused (`refusal` names two of them).
struct SeriesZone
{
    SiteZone zone;
    QString note;
    QString refusal;
};
SeriesZone zoneOfSeries(const QStringList &dataFiles, const SiteZone &fallback);

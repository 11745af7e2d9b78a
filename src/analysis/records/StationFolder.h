#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <vector>

// A station's folder: the one place that names its files and recognises
// them, for the station that writes them and the analysis that reads them.
namespace StationFolder {

// "fence 2026-03-12.vorn", "fence 2026-03-12 (2).vorn" for the second run
// of a day.
QString dayFileName(const QString &station, const QDate &day, int copy = 1);
QString intervalsName(const QString &station, const QDate &day);
// "fence * intervals.csv" as a pattern for a folder listing.
QString intervalsPattern(const QString &station);
QString eventsName(const QString &station);
QString stateName(const QString &station);
QString exclusionsName(const QString &station);
// "fence weather.csv": the weather station's rows; "fence keep.csv": spans
// an acoustician keeps from every weather rule.
QString weatherName(const QString &station);
QString keepName(const QString &station);

// The station a day file's name belongs to ("fence"); empty when the name
// is no day file's.
QString stationOf(const QString &fileName);

// The running day: the working file a running (or killed) station appends
// to, with its companion, until the day file is written at the day's end.
QString workingFileName(); // "Fake"
bool isWorkingFile(const QString &path);
// The day file a path stands for: a working file's day file (whose details
// and exclusions it shares), any other path itself.
QString dataFileOf(const QString &path);

// One station's files in a folder: its day files by name, and the path of
// its running day's working file, when one runs there.
struct Station
{
    QString name;
    QStringList dayFiles;
    QString runningDay;
    // The day files, then the running day.
    QStringList series() const;
};
// The stations whose day files (or running day) lie in the folder, by name.
std::vector<Station> stationsIn(const QString &folder);
// The station of that name, or with no name the only one; null when none.
const Station *stationNamed(const std::vector<Station> &stations, const QString &name);

// A running day read as the day file it will become: the header the
// companion holds and the working file's whole lines. Empty, with `problem`
// set, when there is no companion or no working file.
struct RunningDay
{
    QByteArray bytes;
    QString dayFile; // the day file it becomes
    QString problem;
};
RunningDay readRunningDay(const QString &workingFile);

} // namespace StationFolder

#include "analysis/records/StationFolder.h"

#include "recording/DataFileWriter.h"
#include "recording/RecordingCompanion.h"
#include "recording/RecordingTempFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

namespace StationFolder {

namespace {

QString dayText(const QDate &day)
{
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}

std::optional<RecordingCompanion> companionBeside(const QString &workingFile)
{
    QFile file(QFileInfo(workingFile).dir().filePath(QString::fromLatin1(RecordingCompanion::FileName)));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return RecordingCompanion::fromBytes(file.readAll());
}

// The day file a working file's companion names, in the working file's folder.
QString dayFileBeside(const QString &workingFile, const RecordingCompanion &companion)
{
    if (companion.TargetPath.isEmpty())
        return workingFile;
    return QFileInfo(workingFile).dir().filePath(QFileInfo(companion.TargetPath).fileName());
}

} // namespace

QString dayFileName(const QString &station, const QDate &day, int copy)
{
    QString name = station + QLatin1Char(' ') + dayText(day);
    if (copy > 1)
        name += QStringLiteral(" (%1)").arg(copy);
    return name + QStringLiteral(".vorn");
}

QString intervalsName(const QString &station, const QDate &day)
{
    return station + QLatin1Char(' ') + dayText(day) + QStringLiteral(" intervals.csv");
}

QString intervalsPattern(const QString &station)
{
    return station + QStringLiteral(" \?\?\?\?-\?\?-\?\? intervals.csv");
}

QString eventsName(const QString &station)
{
    return station + QStringLiteral(" events.csv");
}

QString stateName(const QString &station)
{
    return station + QStringLiteral(" state.json");
}

QString exclusionsName(const QString &station)
{
    return station.isEmpty() ? QStringLiteral("exclusions.csv")
                             : station + QStringLiteral(" exclusions.csv");
}

QString weatherName(const QString &station)
{
    return station.isEmpty() ? QStringLiteral("weather.csv") : station + QStringLiteral(" weather.csv");
}

QString keepName(const QString &station)
{
    return station.isEmpty() ? QStringLiteral("keep.csv") : station + QStringLiteral(" keep.csv");
}

QString stationOf(const QString &fileName)
{
    static const QRegularExpression form(
        QStringLiteral("^(.+) (\\d{4}-\\d{2}-\\d{2})(?: \\(\\d+\\))?\\.vorn$"));
    const QRegularExpressionMatch m = form.match(QFileInfo(fileName).fileName());
    return m.hasMatch() ? m.captured(1) : QString();
}

QString workingFileName()
{
    return QString::fromLatin1(RecordingTempFile::FileName);
}

bool isWorkingFile(const QString &path)
{
    return QFileInfo(path).fileName() == workingFileName();
}


QString dataFileOf(const QString &path)
{
    if (!isWorkingFile(path))
        return path;
    const auto companion = companionBeside(path);
    return companion ? dayFileBeside(path, *companion) : path;
}

QStringList Station::series() const
{
    QStringList files = dayFiles;
    if (!runningDay.isEmpty())
        files << runningDay;
    return files;
}

std::vector<Station> stationsIn(const QString &folder)
{
    const QDir dir(folder);
    QMap<QString, Station> byName;
    const QStringList names = dir.entryList({ QStringLiteral("*.vorn") }, QDir::Files, QDir::Name);
    for (const QString &name : names)
        if (const QString station = stationOf(name); !station.isEmpty()) {
            byName[station].name = station;
            byName[station].dayFiles << dir.filePath(name);
        }
    const QString working = dir.filePath(workingFileName());
    if (QFileInfo::exists(working))
        if (const auto companion = companionBeside(working))
            if (const QString station = stationOf(companion->TargetPath); !station.isEmpty()) {
                byName[station].name = station;
                byName[station].runningDay = working;
            }
    return { byName.begin(), byName.end() };
}

const Station *stationNamed(const std::vector<Station> &stations, const QString &name)
{
    for (const Station &s : stations)
        if (s.name == name || (name.isEmpty() && stations.size() == 1))
            return &s;
    return nullptr;
}

RunningDay readRunningDay(const QString &workingFile)
{
    RunningDay day;
    const std::optional<RecordingCompanion> companion = companionBeside(workingFile);
    if (!companion) {
        day.problem = QStringLiteral("no running day here: %1 has no readable %2 beside it")
                          .arg(workingFile, QString::fromLatin1(RecordingCompanion::FileName));
        return day;
    }
    QFile file(workingFile);
    if (!file.open(QIODevice::ReadOnly)) {
        day.problem = QStringLiteral("Cannot open the file %1.").arg(workingFile);
        return day;
    }
    // The station appends as it goes: only whole lines are readings yet.
    QByteArray body = file.readAll();
    body.truncate(body.lastIndexOf('\n') + 1);
    RealTimeHeader header;
    header.SampleInterval = companion->SampleInterval;
    header.FreqWeighting = companion->FreqWeighting;
    header.TimeWeighting = companion->TimeWeighting;
    header.LevelRange = companion->LevelRange;
    header.MaxLevel = companion->MaxText;
    header.MaxTime = companion->MaxTime;
    header.Sel = companion->SelText;
    header.Leq = companion->LeqText;
    for (const QString &line : header.lines())
        day.bytes += FileLine(line);
    // The working file begins with the column header line a day file has.
    day.bytes += body;
    day.dayFile = dayFileBeside(workingFile, *companion);
    return day;
}

} // namespace StationFolder

#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class ReadingListModel;

// The ".vorn" data files: every line ends with CR LF, every field of a body
// line (the last one too) with TAB, and numbers in header lines are written
// blank, number, blank with a point whatever the locale.

// Line 1 of each file variant.
inline constexpr char RealTimeTitle[] = "Real Time";
inline constexpr char DataLoggerTitle[] = "Data Logger";

// " 1 " for 1, "-1.5 " for -1.5: the header form of a number.
QString HeaderNumber(double value);
// Record number, TAB, time stamp, TAB, level text, TAB.
QString RecordLine(qint64 number, const QString &time, const QString &level);
// "No.s", TAB, "Date Time", TAB, "dB", TAB.
QString ColumnHeaderLine();
// The bytes of one line as stored: the text in the 8-bit code page, CR LF.
QByteArray FileLine(const QString &text);
// "yyyy/mm/dd hh:nn:ss" in local time.
QString TimeStamp(const QDateTime &time);

// The nine header lines of a "Real Time" file. MaxLevel is already in its
// stored form: a level text after a recording, HeaderNumber(MaxLevel) after a
// list save.
struct RealTimeHeader
{
    int SampleInterval = 1;
    QString FreqWeighting;
    QString TimeWeighting;
    QString LevelRange;
    QString MaxLevel;
    QString MaxTime;
    QString Sel;
    QString Leq;

    QStringList lines() const;
};

// The fourteen header lines of a "Data Logger" file: the interval, then the
// board texts frequency weighting, time weighting, level range, L05, L10,
// L50, L90, L95, maximum, time of the maximum, SEL and Leq in this order.
struct DataLoggerHeader
{
    int SampleInterval = 1;
    QStringList BoardTexts; // exactly 12

    QStringList lines() const;
};

// Receives the caption texts of a long write ("12Records Completed").
using CaptionProgress = std::function<void(const QString &caption)>;
// Receives the count of lines copied so far.
using CountProgress = std::function<void(const qint64 &count)>;

class AtomicFile;

// Writes rows 0 (the column header) to lastRow of the list, one line per row,
// each cell followed by TAB, and reports the row number followed by
// captionSuffix ("Records Completed", or " Records Completed" for the dump).
// False when a write failed; the file's error string says why.
bool WriteListGrids(AtomicFile &out, const ReadingListModel &list, int lastRow,
                    const QString &captionSuffix, const CaptionProgress &progress);

struct WriteOutcome
{
    bool ok = false;
    QString path;
    QString message; // names the file and the reason when !ok
};

// The list save: the nine header lines, then rows 0 (the column header) to
// the last row of the list.
WriteOutcome WriteRealTimeListFile(const QString &path, const RealTimeHeader &header,
                                   const ReadingListModel &list, const CaptionProgress &progress);

// The end of a recording: the nine header lines, then every whole line of
// the temporary file unchanged (its column header first); a torn line is
// left out.
WriteOutcome WriteRealTimeFileFromTemp(const QString &path, const RealTimeHeader &header,
                                       const QString &tempPath, const CountProgress &progress);

// The data list window's save: the fourteen header lines, the column header
// and one body line per row of the list.
WriteOutcome WriteDataLoggerFile(const QString &path, const DataLoggerHeader &header,
                                 const ReadingListModel &list, const CaptionProgress &progress);

// The automatic dump of a full list: "mmddhhnnss.vorn" in the given folder,
// the column header line and the rows, no header lines.
WriteOutcome WriteListDump(const QString &folder, const QDateTime &now,
                           const ReadingListModel &list, const CaptionProgress &progress);
QString ListDumpFileName(const QDateTime &now);

// The measurement's details kept beside a data file ("NAME.vorn.json").
QString DetailsPathOf(const QString &dataFilePath);

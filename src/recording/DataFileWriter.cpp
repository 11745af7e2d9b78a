#include "DataFileWriter.h"

#include "AtomicFile.h"
#include "ProgressThrottle.h"
#include "platform/ReadingListModel.h"

#include <QDir>
#include <QFile>
#include <QLocale>

namespace {

const QString ListSaveCaption = QStringLiteral("Records Completed");
const QString DumpCaption = QStringLiteral(" Records Completed");

WriteOutcome failure(const QString &path, const QString &reason)
{
    return { false, path, fileErrorMessage(path, reason) };
}

bool writeLines(AtomicFile &out, const QStringList &lines)
{
    for (const QString &line : lines) {
        if (!out.write(FileLine(line)))
            return false;
    }
    return true;
}

WriteOutcome headerAndList(const QString &path, const QStringList &headerLines,
                           const ReadingListModel &list, const QString &captionSuffix,
                           const CaptionProgress &progress)
{
    AtomicFile out(path);
    if (!out.open() || !writeLines(out, headerLines)
        || !WriteListGrids(out, list, list.count(), captionSuffix, progress) || !out.commit())
        return failure(path, out.errorString());
    // The details of a file this one replaced describe another measurement.
    QFile::remove(DetailsPathOf(path));
    return { true, path, {} };
}

} // namespace

QString HeaderNumber(double value)
{
    const QString digits = QString::number(value, 'f', QLocale::FloatingPointShortest);
    return value < 0 ? digits + QLatin1Char(' ') : QLatin1Char(' ') + digits + QLatin1Char(' ');
}

QString RecordLine(qint64 number, const QString &time, const QString &level)
{
    return QString::number(number) + QLatin1Char('\t') + time + QLatin1Char('\t') + level
        + QLatin1Char('\t');
}

QString ColumnHeaderLine()
{
    return QStringLiteral("No.s\tDate Time\tdB\t");
}

QByteArray FileLine(const QString &text)
{
    return text.toLatin1() + "\r\n";
}

QString TimeStamp(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QStringList RealTimeHeader::lines() const
{
    return { QString::fromLatin1(RealTimeTitle),
             HeaderNumber(SampleInterval),
             FreqWeighting,
             TimeWeighting,
             LevelRange,
             MaxLevel,
             MaxTime,
             Sel,
             Leq };
}

QStringList DataLoggerHeader::lines() const
{
    QStringList result { QString::fromLatin1(DataLoggerTitle), HeaderNumber(SampleInterval) };
    result += BoardTexts;
    return result;
}

bool WriteListGrids(AtomicFile &out, const ReadingListModel &list, int lastRow,
                    const QString &captionSuffix, const CaptionProgress &progress)
{
    ProgressThrottle<QString> caption(progress);
    if (!out.write(FileLine(ColumnHeaderLine())))
        return false;
    for (int row = 1; row <= lastRow; ++row) {
        const int data = row - 1;
        const QString cells = list.number(data) + QLatin1Char('\t') + list.time(data)
            + QLatin1Char('\t') + list.level(data) + QLatin1Char('\t');
        if (!out.write(FileLine(cells)))
            return false;
        caption.step(QString::number(row) + captionSuffix);
    }
    caption.finish(QString::number(lastRow) + captionSuffix);
    return true;
}

WriteOutcome WriteRealTimeListFile(const QString &path, const RealTimeHeader &header,
                                   const ReadingListModel &list, const CaptionProgress &progress)
{
    return headerAndList(path, header.lines(), list, ListSaveCaption, progress);
}

WriteOutcome WriteDataLoggerFile(const QString &path, const DataLoggerHeader &header,
                                 const ReadingListModel &list, const CaptionProgress &progress)
{
    return headerAndList(path, header.lines(), list, ListSaveCaption, progress);
}

WriteOutcome WriteRealTimeFileFromTemp(const QString &path, const RealTimeHeader &header,
                                       const QString &tempPath, const CountProgress &progress)
{
    QFile temp(tempPath);
    if (!temp.open(QIODevice::ReadOnly))
        return { false, path,
                 QStringLiteral("The recording file \"%1\" could not be read: %2.")
                     .arg(QDir::toNativeSeparators(tempPath), temp.errorString()) };
    AtomicFile out(path);
    if (!out.open() || !writeLines(out, header.lines()))
        return failure(path, out.errorString());
    ProgressThrottle<qint64> copied(progress);
    qint64 count = 0;
    while (!temp.atEnd()) {
        QByteArray line = temp.readLine();
        // A write that failed part way may have left a line without its end:
        // the data file takes whole lines only.
        if (!line.endsWith('\n') || line.contains('\0'))
            continue;
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (!out.write(line + "\r\n"))
            return failure(path, out.errorString());
        copied.step(++count);
    }
    copied.finish(count);
    if (!out.commit())
        return failure(path, out.errorString());
    return { true, path, {} };
}

QString ListDumpFileName(const QDateTime &now)
{
    return now.toString(QStringLiteral("MMddHHmmss")) + QStringLiteral(".vorn");
}

WriteOutcome WriteListDump(const QString &folder, const QDateTime &now,
                           const ReadingListModel &list, const CaptionProgress &progress)
{
    return headerAndList(QDir(folder).filePath(ListDumpFileName(now)), {}, list, DumpCaption,
                         progress);
}

QString DetailsPathOf(const QString &dataFilePath)
{
    return dataFilePath + QStringLiteral(".json");
}

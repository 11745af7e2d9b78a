#pragma once

#include "platform/ReadingRows.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QIODevice;
class ReadingListModel;

// The three kinds of ".vorn" files, told apart by their first line.
enum class DataFileKind { RealTime, DataLogger, Headerless };

// Everything a data file holds, as texts exactly as stored: the statistics
// windows show the header texts on their boards and never recompute them.
struct DataFileContents
{
    DataFileKind kind = DataFileKind::Headerless;
    // Lines before the column header line: 9, 14, or 0 for a headerless file.
    int headerLength = 0;
    // Numeric value of line 2 ("Real Time" and "Data Logger" files); 0 otherwise.
    double samplingInterval = 0.0;
    // Lines 3 … headerLength in file order: weighting, range, (L05 … L95,)
    // maximum, its time, SEL, Leq. Shorter when the file ends inside the header.
    QStringList boardTexts;
    // The three fields of each body line, in file order, kept compactly;
    // number(i), time(i) and level(i) give back the texts as read.
    ReadingRows rows;
    // Lines read from the file, the first line included.
    qint64 linesRead = 0;
    // Empty when the whole file was read; otherwise what stopped the read.
    // Rows read before the problem are kept.
    QString problem;
    // The line the problem is on and what is wrong with it, when a line of
    // the body is damaged (0 otherwise).
    qint64 problemLine = 0;
    QString problemWhat;
    // Damaged lines the read went past: lines that are no reading with
    // readings after them (skipped), and readings whose level text is
    // damaged (kept as read; they count in no figure). The first one's line.
    qint64 damagedLines = 0;
    qint64 firstDamagedLine = 0;

    qint64 recordCount() const { return rows.count(); }
    QString number(qsizetype row) const { return rows.number(row); }
    QString time(qsizetype row) const { return rows.time(row); }
    QString level(qsizetype row) const { return rows.level(row); }
    // Every text of a column as its own string (memory per row: for short
    // lists and checks).
    QVector<QString> numbers() const;
    QVector<QString> times() const;
    QVector<QString> levels() const;
    // The file has more records than MaxRecords: none are kept.
    bool refused = false;
    // Nothing at all could be read, or the file was refused: there is
    // nothing to show.
    bool isEmpty() const { return linesRead == 0 || refused; }
};

// Reads a data file in large blocks and splits its body lines at the TABs
// without building a temporary string per field. Any line ending (CR LF, LF
// or CR alone) is accepted, and a UTF-8 byte order mark is skipped. A line
// longer than MaxLineLength ends the read, so memory stays bounded whatever
// the file holds.
class DataFileReader
{
public:
    // Called with the number of records read so far, at most every
    // ProgressIntervalMs and once at the end with the exact count.
    using Progress = std::function<void(qint64 records)>;

    static constexpr qsizetype MaxLineLength = 64 * 1024;
    // A window holds at most this many readings (about 14 bytes each, some
    // 280 MB); a longer file is refused with a message naming the limit.
    static constexpr qint64 MaxRecords = 20'000'000;
    static constexpr int ProgressIntervalMs = 30;

    // recordLimit: MaxRecords, lower only in tests.
    static DataFileContents read(QIODevice &device, const Progress &progress = {},
                                 qint64 recordLimit = MaxRecords);
    static DataFileContents readFile(const QString &path, const Progress &progress = {});

    // One pass without keeping the rows, for figures over files of any
    // length: `visit` is called once with the header (row null) before the
    // first body line, then once per body line with its fields. The
    // contents returned hold the header and the outcome, no rows.
    struct RowBytes
    {
        QByteArrayView number;
        QByteArrayView time;
        QByteArrayView level;
    };
    using RowVisitor = std::function<void(const DataFileContents &header, const RowBytes *row)>;
    static DataFileContents scan(QIODevice &device, const RowVisitor &visit);

    // The text of field bytes: UTF-8 when they are valid UTF-8, else Latin-1.
    static QString decodeField(QByteArrayView bytes);
    static DataFileContents readBytes(QByteArrayView bytes, const Progress &progress = {});

    // Appends the rows to the list and leaves the contents without rows.
    // Fill a list before a view is attached: a view follows every insert.
    static void moveRowsInto(DataFileContents &contents, ReadingListModel &list);

    // Messages for a read that stopped early; line numbers count from 1.
    static QString endsEarlyMessage(qint64 lineNumber);
    static QString lineTooLongMessage(qint64 lineNumber);
    static QString tooManyRecordsMessage(qint64 recordLimit);
    static QString emptyFileMessage();
    // "Line 911 is damaged and counts in no figure.", or how many and the first.
    static QString damagedLinesMessage(qint64 count, qint64 firstLine);
    static QString cannotOpenMessage(const QString &path);

    // Value of a number at the start of the text after blanks (" 60 " is 60);
    // 0 when the text does not start with a number.
    static double leadingNumber(QByteArrayView text);
};

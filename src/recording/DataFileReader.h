#pragma once

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
    // The three fields of each body line, in file order.
    QVector<QString> numbers;
    QVector<QString> times;
    QVector<QString> levels;
    // Lines read from the file, the first line included.
    qint64 linesRead = 0;
    // Empty when the whole file was read; otherwise what stopped the read.
    // Rows read before the problem are kept.
    QString problem;

    qint64 recordCount() const { return levels.size(); }
    // Nothing at all could be read: there is nothing to show.
    bool isEmpty() const { return linesRead == 0; }
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
    static constexpr qint64 MaxRecords = 100'000'000;
    static constexpr int ProgressIntervalMs = 30;

    static DataFileContents read(QIODevice &device, const Progress &progress = {});
    static DataFileContents readFile(const QString &path, const Progress &progress = {});
    static DataFileContents readBytes(QByteArrayView bytes, const Progress &progress = {});

    // Appends the rows to the list and leaves the contents without rows.
    // Fill a list before a view is attached: a view follows every insert.
    static void moveRowsInto(DataFileContents &contents, ReadingListModel &list);

    // Messages for a read that stopped early; line numbers count from 1.
    static QString endsEarlyMessage(qint64 lineNumber);
    static QString lineTooLongMessage(qint64 lineNumber);
    static QString tooManyRecordsMessage(qint64 lineNumber);
    static QString emptyFileMessage();
    static QString cannotOpenMessage(const QString &path);

    // Value of a number at the start of the text after blanks (" 60 " is 60);
    // 0 when the text does not start with a number.
    static double leadingNumber(QByteArrayView text);
};

#include "recording/DataFileReader.h"
#include "platform/ReadingListModel.h"

#include <QBuffer>
#include <QIODevice>
#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>
#include <random>

namespace {

QByteArray realTimeFile(int records, const QByteArray &eol = "\r\n")
{
    QByteArray file = "Real Time" + eol + " 60 " + eol + "A" + eol + "Slow" + eol + "80-140" + eol
        + "98.7" + eol + "2013/03/04 08:00:05" + eol + "120.4" + eol + "85.3" + eol
        + "No.s\tDate Time\tdB\t" + eol;
    for (int r = 1; r <= records; ++r)
        file += QByteArray::number(r) + "\t2013/03/04 08:00:0" + QByteArray::number(r % 10) + "\t8"
            + QByteArray::number(r % 10) + ".3\t" + eol;
    return file;
}

QByteArray loggerFile(int records)
{
    QByteArray file = "Data Logger\r\n 1 \r\nC\r\nFast\r\n30-90\r\n61.0\r\n60.0\r\n55.5\r\n"
                      "50.1\r\n49.0\r\n88.8\r\n2013/03/04 09:10:11\r\n99.9\r\n77.7\r\n"
                      "No.s\tDate Time\tdB\t\r\n";
    for (int r = 1; r <= records; ++r)
        file += QByteArray::number(r) + "\t2013/03/04 09:00:00\t70.0\t\r\n";
    return file;
}

// Hands out a long run of bytes without holding them: a line of any length
// costs the test no memory.
class GeneratedDevice : public QIODevice
{
public:
    GeneratedDevice(QByteArray head, qint64 fillLength, char fill)
        : m_head(std::move(head))
        , m_fillLength(fillLength)
        , m_fill(fill)
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 bytesHandedOut() const { return m_position; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 total = m_head.size() + m_fillLength;
        qint64 n = 0;
        while (n < maxSize && m_position < total) {
            data[n++] = m_position < m_head.size() ? m_head.at(m_position) : m_fill;
            ++m_position;
        }
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_head;
    qint64 m_fillLength;
    char m_fill;
    qint64 m_position = 0;
};

TEST(DataFileReader, RealTimeFileFillsBoardsAndRowsButNotTheColumnHeader)
{
    const DataFileContents c = DataFileReader::readBytes(realTimeFile(3));
    EXPECT_EQ(c.kind, DataFileKind::RealTime);
    EXPECT_EQ(c.headerLength, 9);
    EXPECT_EQ(c.samplingInterval, 60.0);
    EXPECT_EQ(
        c.boardTexts,
        QStringList({ "A", "Slow", "80-140", "98.7", "2013/03/04 08:00:05", "120.4", "85.3" }));
    ASSERT_EQ(c.recordCount(), 3);
    EXPECT_EQ(c.numbers(), QVector<QString>({ "1", "2", "3" }));
    EXPECT_EQ(c.times().at(0), "2013/03/04 08:00:01");
    EXPECT_EQ(c.levels(), QVector<QString>({ "81.3", "82.3", "83.3" }));
    EXPECT_TRUE(c.problem.isEmpty()) << c.problem.toStdString();
}

TEST(DataFileReader, OneSampleRealTimeFileHasElevenLinesAndOneRow)
{
    const DataFileContents c = DataFileReader::readBytes(realTimeFile(1));
    EXPECT_EQ(c.linesRead, 11);
    EXPECT_EQ(c.recordCount(), 1);
    EXPECT_TRUE(c.problem.isEmpty());
}

TEST(DataFileReader, LoggerFileHasTwelveBoards)
{
    const DataFileContents c = DataFileReader::readBytes(loggerFile(2));
    EXPECT_EQ(c.kind, DataFileKind::DataLogger);
    EXPECT_EQ(c.headerLength, 14);
    EXPECT_EQ(c.samplingInterval, 1.0);
    ASSERT_EQ(c.boardTexts.size(), 12);
    EXPECT_EQ(c.boardTexts.first(), "C");
    EXPECT_EQ(c.boardTexts.at(3), "61.0");
    EXPECT_EQ(c.boardTexts.last(), "77.7");
    EXPECT_EQ(c.recordCount(), 2);
    EXPECT_EQ(c.levels().at(1), "70.0");
}

TEST(DataFileReader, HeaderlessFileListsEveryLineAfterTheFirst)
{
    const DataFileContents c
        = DataFileReader::readBytes("No.s\tDate Time\tdB\t\r\n1\tt1\t70.1\t\r\n2\tt2\t--\t\r\n");
    EXPECT_EQ(c.kind, DataFileKind::Headerless);
    EXPECT_EQ(c.headerLength, 0);
    EXPECT_EQ(c.samplingInterval, 0.0);
    EXPECT_TRUE(c.boardTexts.isEmpty());
    EXPECT_EQ(c.levels(), QVector<QString>({ "70.1", "--" }));
}

TEST(DataFileReader, FirstLineIsRecognisedAnywhereInTheLine)
{
    struct Case
    {
        const char *name;
        QByteArray firstLine;
        DataFileKind kind;
    };
    const Case cases[] = {
        { "leading blank", " Real Time", DataFileKind::RealTime },
        { "text around", "xx Data Logger yy", DataFileKind::DataLogger },
        { "lower case is not it", "real time", DataFileKind::Headerless },
        { "neither word", "Something", DataFileKind::Headerless },
    };
    for (const Case &c : cases) {
        const DataFileContents contents = DataFileReader::readBytes(c.firstLine + "\r\n");
        EXPECT_EQ(contents.kind, c.kind) << c.name;
    }
}

TEST(DataFileReader, FieldsAreCutAtTheTabs)
{
    struct Case
    {
        const char *name;
        QByteArray line;
        QString number, time, level;
    };
    const Case cases[] = {
        { "empty third field kept", "5\t2013/03/04 08:00:00\t\t", "5", "2013/03/04 08:00:00", "" },
        { "all empty", "\t\t\t", "", "", "" },
        { "text after the third tab ignored", "1\t2\t3\textra", "1", "2", "3" },
        { "blanks kept", " 1 \t 2 \t 72.4* \t", " 1 ", " 2 ", " 72.4* " },
        { "comma number kept as text", "1\tt\t65,3\t", "1", "t", "65,3" },
    };
    for (const Case &c : cases) {
        const DataFileContents contents = DataFileReader::readBytes("h\n" + c.line + "\n");
        ASSERT_EQ(contents.recordCount(), 1) << c.name;
        EXPECT_EQ(contents.numbers().at(0), c.number) << c.name;
        EXPECT_EQ(contents.times().at(0), c.time) << c.name;
        EXPECT_EQ(contents.levels().at(0), c.level) << c.name;
        EXPECT_TRUE(contents.problem.isEmpty()) << c.name;
    }
}

TEST(DataFileReader, EveryLineEndingGivesTheSameContents)
{
    const DataFileContents reference = DataFileReader::readBytes(realTimeFile(5));
    const struct
    {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        { "LF only", realTimeFile(5, "\n") },
        { "CR only", realTimeFile(5, "\r") },
        { "UTF-8 byte order mark", "\xEF\xBB\xBF" + realTimeFile(5) },
        { "no line end after the last line", realTimeFile(5).chopped(2) },
        { "trailing blank lines", realTimeFile(5) + "\r\n\r\n  \r\n" },
    };
    for (const auto &c : cases) {
        const DataFileContents contents = DataFileReader::readBytes(c.bytes);
        EXPECT_EQ(contents.kind, reference.kind) << c.name;
        EXPECT_EQ(contents.boardTexts, reference.boardTexts) << c.name;
        EXPECT_EQ(contents.levels(), reference.levels()) << c.name;
        EXPECT_EQ(contents.times(), reference.times()) << c.name;
        EXPECT_TRUE(contents.problem.isEmpty()) << c.name << contents.problem.toStdString();
    }
}

TEST(DataFileReader, CrAtTheEndOfABlockFollowedByLf)
{
    const qsizetype blockSize = 1024 * 1024;
    QByteArray bytes = "h\r\n";
    int n = 0;
    while (bytes.size() < blockSize - 40)
        bytes += QByteArray::number(++n) + "\tt\t70.0\t\r\n";
    QByteArray last = QByteArray::number(++n) + "\tt\t";
    last += QByteArray(blockSize - bytes.size() - last.size() - 2, 'y') + "\t";
    bytes += last + "\r\n" + QByteArray::number(++n) + "\tt\t71.0\t\r\n";
    ASSERT_EQ(bytes.at(blockSize - 1), '\r');
    const DataFileContents c = DataFileReader::readBytes(bytes);
    EXPECT_TRUE(c.problem.isEmpty()) << c.problem.toStdString();
    ASSERT_EQ(c.recordCount(), n);
    EXPECT_EQ(c.levels().last(), "71.0");
}

// A line that is no reading is skipped and counted when readings follow it
// (a NUL-filled line must not cut a day's file); with none after it the tail
// is torn and the read ends there. Damaged level texts are kept but counted.
TEST(DataFileReader, DamagedLinesAreCountedAndOnlyATornTailEndsTheRead)
{
    struct Case
    {
        const char *name;
        QByteArray body;
        qint64 rows;
        QString problem;
        qint64 damaged;
        qint64 firstDamaged;
    };
    const QByteArray nulLine(QByteArray(24, '\0') + "\r\n");
    const Case cases[] = {
        { "no tab at all", "1\tt\t70.0\t\r\ngarbage\r\n3\tt\t72.0\t\r\n", 2, "", 1, 12 },
        { "a NUL-filled line", "1\tt\t70.0\t\r\n" + nulLine + nulLine + "4\tt\t72.0\t\r\n", 2, "", 2,
          12 },
        { "third tab missing at the end", "1\tt\t70.0\t\r\n2\tt\t71.0\r\n", 1,
          "File ends early at line 12.", 0, 0 },
        { "blank line before more data", "1\tt\t70.0\t\r\n\r\n3\tt\t72.0\t\r\n", 2, "", 1, 12 },
        { "blank lines at the end", "1\tt\t70.0\t\r\n\r\n\r\n", 1, "", 0, 0 },
        { "blank line, then a torn tail", "1\tt\t70.0\t\r\n\r\nx\r\n", 1,
          "File ends early at line 12.", 0, 0 },
        { "first body line broken", "x\r\n", 0, "File ends early at line 11.", 0, 0 },
        { "a NUL inside a level", QByteArray("1\tt\t5") + '\0' + "\xff" "7.1\t\r\n2\tt\t71.0\t\r\n", 2, "",
          1, 11 },
        { "junk after the number", "1\tt\t71.0\t\r\n2\tt\t7x1\t\r\n3\tt\t99.9 L\t\r\n", 3, "", 1,
          12 },
        { "the meter's marks", "1\tt\t71.0*\t\r\n2\tt\t--\t\r\n3\tt\tL\t\r\n4\tt\t140.2L\t\r\n", 4,
          "", 0, 0 },
    };
    for (const Case &c : cases) {
        const DataFileContents contents = DataFileReader::readBytes(realTimeFile(0) + c.body);
        EXPECT_EQ(contents.recordCount(), c.rows) << c.name;
        EXPECT_EQ(contents.problem, c.problem) << c.name;
        EXPECT_EQ(contents.boardTexts.size(), 7) << c.name;
        EXPECT_EQ(contents.damagedLines, c.damaged) << c.name;
        EXPECT_EQ(contents.firstDamagedLine, c.firstDamaged) << c.name;
    }
}

TEST(DataFileReader, FilesThatAreNotDataFiles)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QString problem;
        bool nothingToShow;
    };
    const Case cases[] = {
        { "empty file", "", "The file is empty.", true },
        { "header cut short", "Real Time\r\n 1 \r\nA\r\n", "File ends early at line 4.", false },
        { "column header missing", realTimeFile(0).chopped(22), "File ends early at line 10.",
          false },
        { "only a byte order mark", "\xEF\xBB\xBF", "", false },
    };
    for (const Case &c : cases) {
        const DataFileContents contents = DataFileReader::readBytes(c.bytes);
        EXPECT_EQ(contents.problem, c.problem) << c.name;
        EXPECT_EQ(contents.isEmpty(), c.nothingToShow) << c.name;
        EXPECT_EQ(contents.recordCount(), 0) << c.name;
    }
}

// A file over the limit is refused whole, with the limit in its message;
// one at the limit opens.
TEST(DataFileReader, FileOverTheRecordLimitIsRefusedNamingTheLimit)
{
    QByteArray bytes = realTimeFile(5);
    QBuffer atLimit(&bytes);
    atLimit.open(QIODevice::ReadOnly);
    const DataFileContents fits = DataFileReader::read(atLimit, {}, 5);
    EXPECT_FALSE(fits.isEmpty());
    EXPECT_EQ(fits.recordCount(), 5);
    EXPECT_TRUE(fits.problem.isEmpty());

    QBuffer over(&bytes);
    over.open(QIODevice::ReadOnly);
    const DataFileContents refused = DataFileReader::read(over, {}, 4);
    EXPECT_TRUE(refused.refused);
    EXPECT_TRUE(refused.isEmpty());
    EXPECT_EQ(refused.recordCount(), 0);
    EXPECT_EQ(refused.problem, DataFileReader::tooManyRecordsMessage(4));
    EXPECT_TRUE(DataFileReader::tooManyRecordsMessage(DataFileReader::MaxRecords)
                    .contains(QStringLiteral("20000000")));
}

// The one-pass scan sees the same header and fields as the full read, and
// keeps no rows.
TEST(DataFileReader, ScanVisitsEveryRowWithoutKeepingIt)
{
    QByteArray bytes = loggerFile(7);
    const DataFileContents full = DataFileReader::readBytes(bytes);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QStringList seen;
    int headers = 0;
    const DataFileContents scanned = DataFileReader::scan(
        buffer, [&](const DataFileContents &header, const DataFileReader::RowBytes *row) {
            if (!row) {
                ++headers;
                EXPECT_EQ(header.boardTexts, full.boardTexts);
                return;
            }
            seen << QString::fromLatin1(row->number) + '|' + QString::fromLatin1(row->time) + '|'
                    + QString::fromLatin1(row->level);
        });
    EXPECT_EQ(headers, 1);
    ASSERT_EQ(seen.size(), 7);
    EXPECT_EQ(seen.last(), QStringLiteral("7|2013/03/04 09:00:00|70.0"));
    EXPECT_EQ(scanned.recordCount(), 0);
    EXPECT_EQ(scanned.kind, DataFileKind::DataLogger);
    EXPECT_EQ(scanned.samplingInterval, full.samplingInterval);
    EXPECT_EQ(scanned.linesRead, full.linesRead);
    EXPECT_TRUE(scanned.problem.isEmpty());
}

TEST(DataFileReader, HundredMegabyteLineIsRefusedWithoutReadingItAll)
{
    GeneratedDevice device("Real Time\r\n 1 \r\n", 100LL * 1024 * 1024, 'z');
    const DataFileContents c = DataFileReader::read(device);
    EXPECT_EQ(c.problem, DataFileReader::lineTooLongMessage(3));
    EXPECT_EQ(c.linesRead, 2);
    EXPECT_LT(device.bytesHandedOut(), 4LL * 1024 * 1024) << "the read goes on after the cap";
}

TEST(DataFileReader, BinaryGarbageIsReadSafely)
{
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        QByteArray bytes(int(random() % 200000), Qt::Uninitialized);
        for (char &b : bytes)
            b = char(random() % 256);
        const DataFileContents c = DataFileReader::readBytes(bytes);
        EXPECT_EQ(c.numbers().size(), c.levels().size());
        EXPECT_EQ(c.times().size(), c.levels().size());
    }
}

TEST(DataFileReader, TextsInEitherCodePage)
{
    const DataFileContents latin1 = DataFileReader::readBytes("h\n1\t\xC4\t70\t\n");
    const DataFileContents utf8 = DataFileReader::readBytes("h\n1\t\xC3\x84\t70\t\n");
    EXPECT_EQ(latin1.times().at(0), QString(QChar(0xC4)));
    EXPECT_EQ(utf8.times().at(0), QString(QChar(0xC4)));
}

TEST(DataFileReader, LeadingNumberOfALine)
{
    struct Case
    {
        const char *text;
        double value;
    };
    const Case cases[] = {
        { " 60 ", 60 }, { "1", 1 },     { "-2.5", -2.5 }, { "  7.5x", 7.5 }, { "+3", 3 },
        { ".5", 0.5 },  { "1e2", 100 }, { "1e", 1 },      { "1,5", 1 },      { "", 0 },
        { "abc", 0 },   { ".", 0 },     { "inf", 0 },     { "nan", 0 },      { "-", 0 },
        { "1e999", 0 }, { "0.1", 0.1 }, { " 1 0", 1 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(DataFileReader::leadingNumber(c.text), c.value) << c.text;
}

TEST(DataFileReader, ProgressIsThrottledAndEndsWithTheExactCount)
{
    std::vector<qint64> calls;
    const DataFileContents c
        = DataFileReader::readBytes(realTimeFile(100000), [&](qint64 n) { calls.push_back(n); });
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), 100000);
    EXPECT_EQ(c.recordCount(), 100000);
    EXPECT_LT(calls.size(), 50u);
    EXPECT_TRUE(std::is_sorted(calls.begin(), calls.end()));
}

TEST(DataFileReader, RowsMoveIntoAListInOneInsert)
{
    ReadingListModel list;
    list.append("0", "t0", "60.0");
    int inserts = 0;
    QObject::connect(&list, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex &, int first, int last) {
                         ++inserts;
                         EXPECT_EQ(first, 1);
                         EXPECT_EQ(last, 3);
                     });
    DataFileContents contents = DataFileReader::readBytes(realTimeFile(3));
    DataFileReader::moveRowsInto(contents, list);
    EXPECT_EQ(inserts, 1);
    ASSERT_EQ(list.count(), 4);
    EXPECT_EQ(list.level(0), "60.0");
    EXPECT_EQ(list.level(3), "83.3");
    EXPECT_EQ(list.time(1), "2013/03/04 08:00:01");
    EXPECT_EQ(contents.recordCount(), 0);

    ReadingListModel empty;
    DataFileContents more = DataFileReader::readBytes(realTimeFile(2));
    DataFileReader::moveRowsInto(more, empty);
    EXPECT_EQ(empty.count(), 2);
    EXPECT_EQ(empty.number(1), "2");
}

TEST(DataFileReader, MissingFileGivesAMessage)
{
    const DataFileContents c = DataFileReader::readFile("/nonexistent/dir/x.vorn");
    EXPECT_TRUE(c.isEmpty());
    EXPECT_EQ(c.problem, DataFileReader::cannotOpenMessage("/nonexistent/dir/x.vorn"));
}

} // namespace

int main(int argc, char **argv)
{
    // Numbers are read with a point whatever the machine's locale.
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

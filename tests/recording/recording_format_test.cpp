#include "RecordingTestSupport.h"
#include "recording/AtomicFile.h"
#include "recording/DataFileReader.h"
#include "recording/DataFileWriter.h"
#include "recording/FormatTenths.h"
#include "recording/LevelNumber.h"
#include "platform/ReadingListModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct TenthsCase
{
    const char *name;
    double value;
    const char *text;
};

class FormatTenthsTest : public ::testing::TestWithParam<TenthsCase>
{
};

TEST_P(FormatTenthsTest, TruncatesToTenths)
{
    EXPECT_EQ(FormatTenths(GetParam().value), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatTenthsTest,
    ::testing::Values(TenthsCase { "TruncatesNotRounds", 85.37, "85.3" },
                      TenthsCase { "JustBelowNextTenth", 85.39999, "85.3" },
                      TenthsCase { "BelowOne", 0.5, ".5" }, TenthsCase { "Zero", 0.0, ".0" },
                      TenthsCase { "Hundreds", 120.06, "120.0" },
                      TenthsCase { "NegativeTowardZero", -3.27, "-3.2" },
                      TenthsCase { "NegativeBelowOne", -0.5, "-.5" },
                      TenthsCase { "ExactTenthWithNoise", 85.3 - 1e-12, "85.3" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LeadingNumber, ReadsTheNumberAtTheStart)
{
    EXPECT_DOUBLE_EQ(leadingLevelValue(QStringLiteral(" 0 ")), 0.0);
    EXPECT_DOUBLE_EQ(leadingLevelValue(QStringLiteral("85.3*")), 85.3);
    EXPECT_DOUBLE_EQ(leadingLevelValue(QStringLiteral(".5")), 0.5);
    EXPECT_DOUBLE_EQ(leadingLevelValue(QStringLiteral("L")), 0.0);
    EXPECT_DOUBLE_EQ(leadingLevelValue(QString()), 0.0);
}

TEST(HeaderNumber, BlankNumberBlankWithAPoint)
{
    EXPECT_EQ(HeaderNumber(1), QStringLiteral(" 1 "));
    EXPECT_EQ(HeaderNumber(86400), QStringLiteral(" 86400 "));
    EXPECT_EQ(HeaderNumber(85.3), QStringLiteral(" 85.3 "));
    EXPECT_EQ(HeaderNumber(-1.5), QStringLiteral("-1.5 "));
    EXPECT_EQ(HeaderNumber(0), QStringLiteral(" 0 "));
}

TEST(FileLines, BodyAndColumnHeaderBytes)
{
    EXPECT_EQ(
        FileLine(RecordLine(1, QStringLiteral("2013/03/04 08:00:00"), QStringLiteral("85.3"))),
        QByteArray("1\t2013/03/04 08:00:00\t85.3\t\r\n"));
    EXPECT_EQ(FileLine(ColumnHeaderLine()), QByteArray("No.s\tDate Time\tdB\t\r\n"));
    EXPECT_EQ(TimeStamp(sampleClock(3600 * 5 + 61)), QStringLiteral("2013/03/04 13:01:01"));
    EXPECT_EQ(ListDumpFileName(sampleClock(0)), QStringLiteral("0304080000.vorn"));
}

class DataFileWriterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_list.append(QStringLiteral("1"), QStringLiteral("2013/03/04 08:00:00"),
                      QStringLiteral("85.3"));
    }
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    ReadingListModel m_list;
};

TEST_F(DataFileWriterTest, ListSaveOfOneRowIsElevenExactLines)
{
    RealTimeHeader header;
    header.SampleInterval = 1;
    header.FreqWeighting = QStringLiteral("A");
    header.TimeWeighting = QStringLiteral("Slow");
    header.LevelRange = QStringLiteral("80-140");
    header.MaxLevel = HeaderNumber(85.3);
    header.MaxTime = QStringLiteral("2013/03/04 08:00:00");
    header.Sel = QStringLiteral("85.3");
    header.Leq = QStringLiteral("85.3");
    QStringList captions;
    const WriteOutcome outcome = WriteRealTimeListFile(path("list.vorn"), header, m_list,
                                                       [&](const QString &c) { captions << c; });
    ASSERT_TRUE(outcome.ok) << outcome.message.toStdString();
    EXPECT_EQ(fileBytes(path("list.vorn")),
              QByteArray("Real Time\r\n"
                         " 1 \r\n"
                         "A\r\n"
                         "Slow\r\n"
                         "80-140\r\n"
                         " 85.3 \r\n"
                         "2013/03/04 08:00:00\r\n"
                         "85.3\r\n"
                         "85.3\r\n"
                         "No.s\tDate Time\tdB\t\r\n"
                         "1\t2013/03/04 08:00:00\t85.3\t\r\n"));
    ASSERT_FALSE(captions.isEmpty());
    EXPECT_EQ(captions.last(), QStringLiteral("1Records Completed"));
}

TEST_F(DataFileWriterTest, LoggerFileOfOneRecordIsSixteenExactLines)
{
    DataLoggerHeader header;
    header.SampleInterval = 2;
    header.BoardTexts = { QStringLiteral("A"),     QStringLiteral("Fast"),
                          QStringLiteral("30-90"), QStringLiteral("60.1"),
                          QStringLiteral("59.0"),  QStringLiteral("55.5"),
                          QStringLiteral("50.2"),  QStringLiteral("49.9"),
                          QStringLiteral("85.3"),  QStringLiteral("2013/03/04 08:00:00"),
                          QStringLiteral("88.3"),  QStringLiteral("85.3") };
    ASSERT_TRUE(WriteDataLoggerFile(path("logger.vorn"), header, m_list, {}).ok);
    const QByteArray bytes = fileBytes(path("logger.vorn"));
    EXPECT_EQ(bytes,
              QByteArray("Data Logger\r\n 2 \r\nA\r\nFast\r\n30-90\r\n60.1\r\n59.0\r\n"
                         "55.5\r\n50.2\r\n49.9\r\n85.3\r\n2013/03/04 08:00:00\r\n"
                         "88.3\r\n85.3\r\nNo.s\tDate Time\tdB\t\r\n"
                         "1\t2013/03/04 08:00:00\t85.3\t\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 16);
}

TEST_F(DataFileWriterTest, DumpIsHeaderlessWithSpacedCaption)
{
    m_list.append(QStringLiteral("2"), QStringLiteral("2013/03/04 08:00:01"), QStringLiteral("L*"));
    QString lastCaption;
    const WriteOutcome outcome = WriteListDump(m_dir.path(), sampleClock(62), m_list,
                                               [&](const QString &c) { lastCaption = c; });
    ASSERT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.path, path("0304080102.vorn"));
    EXPECT_EQ(fileBytes(outcome.path),
              QByteArray("No.s\tDate Time\tdB\t\r\n"
                         "1\t2013/03/04 08:00:00\t85.3\t\r\n"
                         "2\t2013/03/04 08:00:01\tL*\t\r\n"));
    EXPECT_EQ(lastCaption, QStringLiteral("2 Records Completed"));
}

TEST_F(DataFileWriterTest, CaptionIsThrottledButEndsWithTheExactCount)
{
    for (int i = 2; i <= 20000; ++i)
        m_list.append(QString::number(i), QStringLiteral("2013/03/04 08:00:00"),
                      QStringLiteral("85.3"));
    QStringList captions;
    ASSERT_TRUE(WriteListDump(m_dir.path(), sampleClock(0), m_list, [&](const QString &c) {
                    captions << c;
                }).ok);
    EXPECT_LT(captions.size(), 100);
    EXPECT_EQ(captions.last(), QStringLiteral("20000 Records Completed"));
}

TEST_F(DataFileWriterTest, RecordingCopiesTheTemporaryFileUnchanged)
{
    const QString temp = path("Fake");
    {
        QFile file(temp);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("No.s\tDate Time\tdB\t\r\n1\t2013/03/04 08:00:00\t85.3*\t\r\n");
    }
    RealTimeHeader header;
    header.MaxLevel = QStringLiteral("85.3*");
    qint64 copied = 0;
    ASSERT_TRUE(WriteRealTimeFileFromTemp(path("rec.vorn"), header, temp, [&](const qint64 &n) {
                    copied = n;
                }).ok);
    EXPECT_TRUE(fileBytes(path("rec.vorn"))
                    .endsWith("\r\n85.3*\r\n\r\n\r\n\r\nNo.s\tDate Time\tdB\t\r\n"
                              "1\t2013/03/04 08:00:00\t85.3*\t\r\n"));
    EXPECT_EQ(copied, 2);
}

TEST_F(DataFileWriterTest, UnwritableFolderGivesMessageNamingFileAndLeavesNothing)
{
    const UnwritableFolder locked(m_dir.path());
    const QString target = locked.filePath("x.vorn");
    const WriteOutcome outcome = WriteRealTimeListFile(target, {}, m_list, {});
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.message.startsWith(QStringLiteral("The file \"%1\" could not be written: ")
                                               .arg(QDir::toNativeSeparators(target))))
        << outcome.message.toStdString();
    EXPECT_FALSE(QFile::exists(target));
}

TEST_F(DataFileWriterTest, FailedWriteKeepsThePreviousFileWhole)
{
    const QString target = path("keep.vorn");
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old contents\r\n");
    }
    {
        AtomicFile file(target);
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(file.write("half a new fi"));
        // destroyed without commit, as a failed save would leave it
    }
    EXPECT_EQ(fileBytes(target), QByteArray("old contents\r\n"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files),
              QStringList { QStringLiteral("keep.vorn") });
}

// A spreadsheet that keeps the old file open: Windows cannot rename over it,
// so the save fails, says why and leaves both the old file and no temporary
// behind; POSIX replaces the name under the reader's feet.
TEST_F(DataFileWriterTest, TargetOpenInAnotherProgram)
{
    const QString target = path("open.vorn");
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents\r\n");
    old.flush();
    AtomicFile file(target);
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.write("new contents\r\n"));
    const bool committed = file.commit();
    old.close();
#ifdef Q_OS_WIN
    EXPECT_FALSE(committed);
    EXPECT_EQ(file.errorString(),
              QStringLiteral("it is open in another program; close it there and try again"));
    EXPECT_EQ(fileBytes(target), QByteArray("old contents\r\n"));
#else
    EXPECT_TRUE(committed) << file.errorString().toStdString();
    EXPECT_EQ(fileBytes(target), QByteArray("new contents\r\n"));
#endif
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files),
              QStringList { QStringLiteral("open.vorn") });
}

TEST_F(DataFileWriterTest, EveryWrittenVariantReadsBackWhole)
{
    m_list.append(QStringLiteral("2"), QStringLiteral("2013/03/04 08:00:01"),
                  QStringLiteral("-10.0"));
    RealTimeHeader realTime;
    realTime.SampleInterval = 5;
    realTime.MaxLevel = QStringLiteral("85.3");
    DataLoggerHeader logger;
    logger.SampleInterval = 255;
    for (int i = 0; i < 12; ++i)
        logger.BoardTexts << QString::number(i);
    ASSERT_TRUE(WriteRealTimeListFile(path("rt.vorn"), realTime, m_list, {}).ok);
    ASSERT_TRUE(WriteDataLoggerFile(path("dl.vorn"), logger, m_list, {}).ok);
    const WriteOutcome dump = WriteListDump(m_dir.path(), sampleClock(0), m_list, {});
    ASSERT_TRUE(dump.ok);

    struct Expected
    {
        QString path;
        DataFileKind kind;
        int headerLength;
        double interval;
    };
    for (const Expected &e : { Expected { path("rt.vorn"), DataFileKind::RealTime, 9, 5.0 },
                               Expected { path("dl.vorn"), DataFileKind::DataLogger, 14, 255.0 },
                               Expected { dump.path, DataFileKind::Headerless, 0, 0.0 } }) {
        SCOPED_TRACE(e.path.toStdString());
        const DataFileContents read = DataFileReader::readFile(e.path);
        EXPECT_TRUE(read.problem.isEmpty()) << read.problem.toStdString();
        EXPECT_EQ(read.kind, e.kind);
        EXPECT_EQ(read.headerLength, e.headerLength);
        EXPECT_DOUBLE_EQ(read.samplingInterval, e.interval);
        ASSERT_EQ(read.recordCount(), 2);
        EXPECT_EQ(read.levels()[1], QStringLiteral("-10.0"));
        EXPECT_EQ(read.times()[0], QStringLiteral("2013/03/04 08:00:00"));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Files written by the recording and the list saves read back into the
// statistics windows unchanged.
#include "analysis/gui/OpenDataFile.h"
#include "analysis/gui/StatisticsWindow.h"
#include "recording/DataFileWriter.h"
#include "recording/MeasurementState.h"
#include "recording/RecordingSession.h"
#include "recording/SampleTick.h"
#include "support/ScriptedDialogs.h"
#include "platform/ReadingListModel.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>

namespace {

class RoundTrip : public ::testing::Test
{
protected:
    void TearDown() override
    {
        delete openFileListWindow();
        delete openFileListRealWindow();
    }

    void record(const QStringList &levelTexts)
    {
        for (const QString &text : levelTexts) {
            SampleInput input;
            input.Level = text.toDouble();
            input.LevelText = text;
            input.Now = QDateTime(QDate(2013, 3, 4), QTime(8, 0)).addSecs(seconds++);
            input.Boards = boards;
            input.Folder = dir.path();
            OnSampleTick(state, input);
        }
    }

    void expectSameRows(const StatisticsWindow &window, const ReadingListModel &written)
    {
        ASSERT_EQ(window.model()->count(), written.count());
        for (int row = 0; row < written.count(); ++row) {
            EXPECT_EQ(window.model()->number(row), written.number(row)) << row;
            EXPECT_EQ(window.model()->time(row), written.time(row)) << row;
            EXPECT_EQ(window.model()->level(row), written.level(row)) << row;
        }
    }

    QTemporaryDir dir;
    MeasurementState state;
    HeaderBoards boards { "A", "SLOW", "80-140" };
    int seconds = 0;
    AnalysisHost host;
    ScriptedDialogs dialogs;
};

TEST_F(RoundTrip, RecordingReadsBackIntoFileListReal)
{
    const QString path = dir.filePath("rec.vorn");
    ASSERT_TRUE(StartRecording(state, path, dir.path()).ok);
    record({ "70.0", "85.3", "--", "72.4*", "130.0", "0.5", "65.2", "65.3" });
    ASSERT_TRUE(StopRecording(state, boards, StopKind::Manual, {}).ok);

    StatisticsWindow *window = OpenDataFileAt(path, host);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->objectName(), "FileListReal");
    EXPECT_EQ(window->board("BoardCA")->text(), "A");
    EXPECT_EQ(window->board("BoardSFI")->text(), "SLOW");
    EXPECT_EQ(window->board("BoardLevel")->text(), "80-140");
    EXPECT_EQ(window->board("BoardMaxdB")->text(), state.RecordingMaxText);
    EXPECT_EQ(window->board("BoardMaxTime")->text(), state.RecordingMaxTime);
    EXPECT_EQ(window->board("BoardSEL")->text(), state.RecordingSelText);
    EXPECT_EQ(window->board("BoardLeq")->text(), state.RecordingLeqText);
    EXPECT_EQ(window->samplingInterval(), state.SampleInterval);
    // The first tick takes no sample; the list holds what was recorded.
    ASSERT_EQ(window->model()->count(), 7);
    EXPECT_EQ(window->model()->level(0), "85.3");
    EXPECT_EQ(window->model()->level(2), "72.4*");
    expectSameRows(*window, state.List);
    EXPECT_TRUE(dialogs.messageTexts().isEmpty()) << dialogs.messageTexts().join('|').toStdString();
}

TEST_F(RoundTrip, ListSaveReadsBackWithTheSameRows)
{
    record({ "60.1", "60.2", "L", "61.0" });
    const QString path = dir.filePath("list.vorn");
    ASSERT_TRUE(SaveList(state, path, boards, {}).ok);
    StatisticsWindow *window = OpenDataFileAt(path, host);
    ASSERT_NE(window, nullptr);
    expectSameRows(*window, state.List);
    EXPECT_EQ(window->board("BoardLeq")->text(), state.LiveLeqText);
    EXPECT_EQ(window->board("BoardMaxdB")->text(), HeaderNumber(state.MaxLevel));
}

TEST_F(RoundTrip, LoggerFileReadsBackIntoFileList)
{
    ReadingListModel list;
    list.append("1", "2013/03/04 09:00:00", "55.5");
    list.append("2", "2013/03/04 09:00:10", "");
    list.append("3", "2013/03/04 09:00:20", "--");
    DataLoggerHeader header;
    header.SampleInterval = 10;
    header.BoardTexts = { "C",    "FAST", "30-90", "61.0", "60.0",
                          "55.5", "50.1", "49.0",  "88.8", "2013/03/04 09:10:11",
                          "99.9", "77.7" };
    const QString path = dir.filePath("set.vorn");
    ASSERT_TRUE(WriteDataLoggerFile(path, header, list, {}).ok);
    StatisticsWindow *window = OpenDataFileAt(path, host);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->objectName(), "FileList");
    EXPECT_EQ(window->samplingInterval(), 10.0);
    EXPECT_EQ(window->board("Board50")->text(), "55.5");
    EXPECT_EQ(window->board("BoardMaxTime")->text(), "2013/03/04 09:10:11");
    expectSameRows(*window, list);
}

TEST_F(RoundTrip, ListDumpReadsBackAsHeaderless)
{
    record({ "70.0", "71.0" });
    const WriteOutcome dump
        = WriteListDump(dir.path(), QDateTime(QDate(2013, 3, 4), QTime(8, 0)), state.List, {});
    ASSERT_TRUE(dump.ok);
    StatisticsWindow *window = OpenDataFileAt(dump.path, host);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->objectName(), "FileListReal");
    expectSameRows(*window, state.List);
}

} // namespace

int main(int argc, char **argv)
{
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

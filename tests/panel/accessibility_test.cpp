// What a screen reader gets of each window, asked in-process through the
// accessibility interface: every value shown is readable, and the reading
// grids are tables with their rows.
#include "analysis/gui/DataList.h"
#include "analysis/gui/OpenDataFile.h"
#include "analysis/gui/StatisticsWindow.h"
#include "graphs/gui/RealTimeGraph.h"
#include "panel/gui/LiveSession.h"
#include "panel/gui/Panel.h"
#include "recording/LoggerDownload.h"
#include "recording/LoggerSetDecoding.h"
#include "recording/gui/LoggerSetHost.h"
#include "recording/gui/Memory.h"
#include "support/FakeSerialPort.h"
#include "support/ScriptedDialogs.h"
#include "platform/PanelTimers.h"
#include "platform/ReadingListModel.h"
#include "widgets/ReadingGrid.h"
#include "widgets/ReadingListView.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QAccessibleInterface *accessible(QWidget *widget)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(widget);
    EXPECT_NE(a, nullptr) << widget->objectName().toStdString();
    return a;
}

struct Board
{
    const char *name; // object name
    const char *caption; // what a screen reader calls it
};

// Each board is named by its caption and its value is the text it shows.
void expectBoards(QWidget *window, std::initializer_list<Board> boards)
{
    for (const Board &board : boards) {
        auto *label = window->findChild<QLabel *>(QLatin1String(board.name));
        ASSERT_NE(label, nullptr) << board.name;
        QAccessibleInterface *a = accessible(label);
        EXPECT_EQ(a->text(QAccessible::Name), QLatin1String(board.caption)) << board.name;
        EXPECT_EQ(a->text(QAccessible::Value), label->text()) << board.name;
        // Linux screen readers read a label's text, never its Value.
        QAccessibleTextInterface *text = a->textInterface();
        ASSERT_NE(text, nullptr) << board.name;
        EXPECT_EQ(text->text(0, text->characterCount()), label->text()) << board.name;
    }
}

// No text on screen is kept from a screen reader: every visible label's
// text is its spoken name, value or description.
void expectEveryLabelReadable(QWidget *window)
{
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (!label->isVisibleTo(window) || label->text().isEmpty()
            || label->textFormat() == Qt::RichText)
            continue;
        QAccessibleInterface *a = accessible(label);
        const QString text = label->text();
        EXPECT_TRUE(a->text(QAccessible::Name) == text || a->text(QAccessible::Value) == text
                    || a->text(QAccessible::Description) == text)
            << label->objectName().toStdString() << ": " << text.toStdString();
    }
}

// A grid is a one-column table named by its header, with the list's row
// count and, as its children, the rows on screen.
void expectTable(ReadingGrid *grid, const QString &header, const ReadingListModel &model)
{
    QAccessibleInterface *a = accessible(grid);
    ASSERT_EQ(a->role(), QAccessible::Table) << header.toStdString();
    EXPECT_EQ(a->text(QAccessible::Name), header);
    QAccessibleTableInterface *table = a->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), model.count());
    EXPECT_EQ(table->columnCount(), 1);
    EXPECT_EQ(table->columnDescription(0), header);
    ASSERT_GT(a->childCount(), 0);
    EXPECT_LE(a->childCount(), model.count());
    const int top = grid->topRow();
    for (int i : { 0, a->childCount() - 1 }) {
        QAccessibleInterface *row = a->child(i);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->text(QAccessible::Name), grid->cellText(top + i));
        EXPECT_EQ(a->indexOfChild(row), i);
    }
    EXPECT_EQ(table->cellAt(model.count() - 1, 0)->text(QAccessible::Name),
              grid->cellText(model.count() - 1));
    EXPECT_EQ(table->cellAt(model.count(), 0), nullptr);
}

void expectListTables(ReadingListView *view)
{
    const char *headers[] = { "No.s", "Date Time", "dB" };
    for (int column = 0; column < ReadingListView::GridCount; ++column)
        expectTable(view->grid(column), QLatin1String(headers[column]), *view->model());
}

TEST(ScreenReader, PanelBoardsAndListAreReadable)
{
    ScriptedDialogs dialogs;
    auto owned = std::make_unique<FakeSerialPort>();
    Panel panel(3, std::move(owned));
    auto *session = new LiveSession(panel);
    for (int r = 1; r <= 40; ++r)
        session->state().List.append(
            QString::number(r),
            QStringLiteral("2013/03/04 08:00:%1").arg(r % 60, 2, 10, QLatin1Char('0')),
            QStringLiteral("7%1.%2").arg(r % 10).arg(r % 7));
    panel.show();
    session->list()->setTopRow(10);

    expectBoards(&panel,
                 { { "BoardSFI", "Time Weight" },
                   { "BoardCA", "Freq Weight" },
                   { "BoardLevel", "Level Range" },
                   { "BoardLeq", "Leq" },
                   { "BoardSEL", "SEL" },
                   { "BoardMaxdB", "Max dB" },
                   { "BoardMaxTime", "Max dB time" },
                   { "LblCount", "Records" },
                   { "LblFileName", "Recording file" },
                   { "LblTimedLeq", "Timed Leq" } });
    expectEveryLabelReadable(&panel);
    expectListTables(session->list());
}

class ScreenReaderFiles : public ::testing::Test
{
protected:
    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    static QByteArray body(int records)
    {
        QByteArray lines;
        for (int r = 1; r <= records; ++r)
            lines += QByteArray::number(r)
                + "\t2013/03/04 08:00:" + QByteArray::number(r % 60).rightJustified(2, '0') + "\t6"
                + QByteArray::number(r % 10) + ".5\t\r\n";
        return lines;
    }

    ScriptedDialogs dialogs;
    QTemporaryDir dir;
};

TEST_F(ScreenReaderFiles, StatisticsWindowsBoardsAndListAreReadable)
{
    const QByteArray realTime = "Real Time\r\n 60 \r\nA\r\nSlow\r\n80-140\r\n98.7\r\n"
                                "2013/03/04 08:00:05\r\n120.4\r\n85.3\r\nNo.s\tDate Time\tdB\t\r\n";
    const QByteArray logger = "Data Logger\r\n 1 \r\nC\r\nFast\r\n30-90\r\n61.0\r\n60.0\r\n"
                              "55.5\r\n50.1\r\n49.0\r\n88.8\r\n2013/03/04 09:10:11\r\n99.9\r\n"
                              "77.7\r\nNo.s\tDate Time\tdB\t\r\n";
    const AnalysisHost noPanel;
    for (const QByteArray &header : { realTime, logger }) {
        StatisticsWindow *w = OpenDataFileAt(writeFile(QStringLiteral("a.vorn"), header + body(90)),
                                             noPanel, WindowUse::OwnWindow);
        ASSERT_NE(w, nullptr);
        expectBoards(w,
                     { { "BoardCA", "Freq Weight" },
                       { "BoardSFI", "Time Weight" },
                       { "BoardLevel", "Level Range" },
                       { "BoardMaxdB", "Max dB" },
                       { "BoardMaxTime", "Max dB Time" },
                       { "BoardLeq", "Leq" },
                       { "BoardSEL", "SEL" } });
        if (header == logger)
            expectBoards(w, { { "Board05", "L 05" }, { "Board95", "L 95" } });
        expectEveryLabelReadable(w);
        expectListTables(w->findChild<ReadingListView *>());
        delete w;
    }
}

TEST(ScreenReader, DataListBoardsAndListAreReadable)
{
    ScriptedDialogs dialogs;
    QWidget panel;
    DataList list(&panel, [](QWidget *, SaveState &) {});
    LoggerSetView set;
    set.BoardCA = QStringLiteral("A");
    set.BoardSFI = QStringLiteral("Fast");
    set.BoardLevel = QStringLiteral("30-90");
    set.BoardMaxdB = QStringLiteral("88.8");
    set.BoardMaxTime = QStringLiteral("2013/03/04 09:10:11");
    set.BoardPeakdB = QStringLiteral("99.9");
    set.BoardPeakTime = QStringLiteral("2013/03/04 09:10:12");
    set.Board05 = QStringLiteral("61.0");
    set.Board95 = QStringLiteral("- - -");
    set.BoardLeq = QStringLiteral("77.7");
    set.BoardSEL = QStringLiteral("95.5");
    for (int r = 1; r <= 30; ++r) {
        set.numbers << QString::number(r);
        set.times << QStringLiteral("2013/03/04 09:10:%1").arg(r, 2, 10, QLatin1Char('0'));
        set.levels << QStringLiteral("6%1.0").arg(r % 10);
    }
    set.records = 30;
    list.showLoggerSet(set, 1);
    list.show();
    expectBoards(&list,
                 { { "BoardCA", "Freq Weight" },
                   { "BoardPeakdB", "Peak" },
                   { "BoardPeakTime", "Peak Date Time" },
                   { "Board95", "L 95" },
                   { "BoardLeq", "Leq" } });
    expectEveryLabelReadable(&list);
    expectListTables(list.findChild<ReadingListView *>());
}

TEST(ScreenReader, MemoryWindowSizesAndProgressAreReadable)
{
    ScriptedDialogs dialogs;
    QWidget panel;
    PanelTimers timers;
    struct NoSetWindow : LoggerSetHost
    {
        QWidget *openSetWindow() override { return nullptr; }
        void showSet(QWidget *, const LoggerSetView &, int) override { }
    } sets;
    auto *memory = new Memory(&panel, timers, sets);
    memory->show();
    memory->showSizes({ 64, 12595, QStringLiteral("64 K"), QStringLiteral("12.3 K") });
    memory->showProgress(512, 1024);
    expectBoards(memory,
                 { { "LblSize", "Memory size" },
                   { "LblRemain", "Free memory" },
                   { "LblMessage", "Download" } });
    EXPECT_EQ(accessible(memory->findChild<QLabel *>("LblRemain"))->text(QAccessible::Value),
              QStringLiteral("12.3 K"));
    EXPECT_EQ(accessible(memory->findChild<QLabel *>("LblMessage"))->text(QAccessible::Value),
              QStringLiteral("50.0% Completed"));
    expectEveryLabelReadable(memory);
    delete memory;
}

TEST(ScreenReader, GraphCursorReadOutIsReadable)
{
    const std::vector<double> values(10, 70.0);
    RealTimeGraph *graph = RealTimeGraph::LoadSeries(values, 10, "SPL (dB)", 60, 80);
    graph->chooseTrackMode(GraphControl::TrackMode::CursorCoordinates);
    graph->graph()->setCursorPosition(3.25, 65.349);
    expectBoards(graph, { { "XPosition", "No.s ( X )" }, { "YPosition", "Value ( Y )" } });
    EXPECT_EQ(accessible(graph->findChild<QLabel *>("YPosition"))->text(QAccessible::Value),
              QStringLiteral("65.3"));
    expectEveryLabelReadable(graph);
    delete graph;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

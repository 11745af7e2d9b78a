#include "platform/ReadingListModel.h"
#include "widgets/ReadingGrid.h"
#include "widgets/ReadingListView.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

void appendRows(ReadingListModel &model, int rows)
{
    for (int i = 0; i < rows; ++i) {
        const int n = model.count() + 1;
        model.append(QString::number(n),
                     QStringLiteral("2026/12/07 10:00:%1").arg(n % 60, 2, 10, QLatin1Char('0')),
                     QString::number(50 + n % 40) + QStringLiteral(".5"));
    }
}

// Texts a list may hold, canonical or not: each must come back exactly as
// it went in, through both ways of appending.
TEST(ReadingRows, EveryTextComesBackExactlyAsRead)
{
    const QStringList numbers { "1", "0", "348000", "007", "+5", " 3", "1234567890", "", "x" };
    const QStringList times { "2013/03/04 08:00:01", "2024/02/29 23:59:59",
                              "0001/01/01 00:00:00", "9999/12/31 23:59:59",
                              "2023/02/29 00:00:00", "2013/3/4 8:00:00",
                              "0000/01/01 00:00:00", "2013/03/04 24:00:00",
                              "2013-03-04 08:00:01", "",
                              "2013/03/04 08:00:01 " };
    const QStringList levels { "65.3",
                               "65.3*",
                               "0.0",
                               "145.0",
                               "1638.3*",
                               "1638.4",
                               "65.30",
                               "065.3",
                               ".5",
                               "65",
                               "--",
                               "L",
                               "",
                               "abc",
                               "-10.0",
                               "65.3**",
                               QString(QChar(0xC4)) };
    const qsizetype rows = std::max({ numbers.size(), times.size(), levels.size() });
    ReadingRows fromText;
    ReadingRows fromBytes;
    for (qsizetype i = 0; i < rows; ++i) {
        const QString number = numbers.at(i % numbers.size());
        const QString time = times.at(i % times.size());
        const QString level = levels.at(i % levels.size());
        fromText.append(number, time, level);
        fromBytes.appendBytes(number.toLatin1(), time.toLatin1(), level.toLatin1(),
                              [](QByteArrayView b) { return QString::fromLatin1(b); });
    }
    ReadingRows joined;
    joined.append(fromText);
    joined.append(fromBytes);
    ASSERT_EQ(joined.count(), 2 * rows);
    for (qsizetype i = 0; i < rows; ++i) {
        SCOPED_TRACE(i);
        for (const ReadingRows *r : { &fromText, &fromBytes }) {
            EXPECT_EQ(r->number(i), numbers.at(i % numbers.size()));
            EXPECT_EQ(r->time(i), times.at(i % times.size()));
            EXPECT_EQ(r->level(i), levels.at(i % levels.size()));
        }
        EXPECT_EQ(joined.level(rows + i), levels.at(i % levels.size()));
        EXPECT_EQ(joined.time(rows + i), times.at(i % times.size()));
    }
    // Only canonical levels are read as tenths.
    EXPECT_EQ(fromText.levelTenths(0), 653);
    EXPECT_FALSE(fromText.levelMarked(0));
    EXPECT_EQ(fromText.levelTenths(1), 653);
    EXPECT_TRUE(fromText.levelMarked(1));
    EXPECT_EQ(fromText.levelTenths(6), -1); // "65.30"
}

TEST(ReadingRows, CanonicalRowsCostAboutFourteenBytes)
{
    ReadingRows rows;
    constexpr int Count = 100000;
    rows.reserve(Count);
    for (int i = 0; i < Count; ++i)
        rows.append(QString::number(i + 1), ReadingRows::formatStamp(63'000'000'000 + i),
                    QString::number(40 + i % 60) + QStringLiteral(".5"));
    EXPECT_LE(rows.bytesUsed(), std::size_t(Count) * 16);
    EXPECT_EQ(rows.time(Count - 1), ReadingRows::formatStamp(63'000'000'000 + Count - 1));
    EXPECT_EQ(ReadingRows::parseStamp(rows.time(5)), 63'000'000'005);
}

TEST(ReadingListModel, HeaderTextsAreExact)
{
    ReadingListModel model;
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.rowCount(), 0);
    const char *expected[] = { "No.s", "Date Time", "dB" };
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(ReadingListModel::headerText(column), expected[column]);
        EXPECT_EQ(model.headerData(column, Qt::Horizontal).toString(), expected[column]);
    }
    EXPECT_EQ(ReadingListModel::headerText(3), QString());
    EXPECT_EQ(ReadingListModel::headerText(-1), QString());
}

TEST(ReadingListModel, AppendAddsOneRowAtTheEndWithItsThreeTexts)
{
    ReadingListModel model;
    QList<std::pair<int, int>> inserted;
    QObject::connect(&model, &ReadingListModel::rowsInserted,
                     [&](const QModelIndex &, int first, int last) {
                         inserted.append({ first, last });
                     });
    model.append("1", "2026/12/07 10:00:01", "65.4");
    model.append("2", "2026/12/07 10:00:02", "-");
    model.append("3", "2026/12/07 10:00:03", "137.5*");
    ASSERT_EQ(model.count(), 3);
    EXPECT_EQ(inserted, (QList<std::pair<int, int>> { { 0, 0 }, { 1, 1 }, { 2, 2 } }));
    EXPECT_EQ(model.data(model.index(1, ReadingListModel::NumberColumn)).toString(), "2");
    EXPECT_EQ(model.data(model.index(1, ReadingListModel::TimeColumn)).toString(),
              "2026/12/07 10:00:02");
    EXPECT_EQ(model.data(model.index(2, ReadingListModel::LevelColumn)).toString(), "137.5*");
    EXPECT_FALSE(model.data(model.index(2, ReadingListModel::LevelColumn), Qt::EditRole).isValid());
    EXPECT_EQ(model.levels(), (QVector<QString> { "65.4", "-", "137.5*" }));
    EXPECT_EQ(model.time(0), "2026/12/07 10:00:01");
}

TEST(ReadingListModel, TabSeparatedLinesSplitIntoTheThreeColumnsAndBack)
{
    ReadingListModel model;
    model.appendLine("12\t2026/12/07 10:00:12\t65.4\t");
    model.appendLine("13\t2026/12/07 10:00:13\t66.0"); // no closing TAB
    model.appendLine("14\t\t-\t\textra"); // empty time, trailing junk
    model.appendLine("15"); // one field only
    ASSERT_EQ(model.count(), 4);
    EXPECT_EQ(model.line(0), "12\t2026/12/07 10:00:12\t65.4\t");
    EXPECT_EQ(model.line(1), "13\t2026/12/07 10:00:13\t66.0\t");
    EXPECT_EQ(model.time(2), "");
    EXPECT_EQ(model.level(2), "-");
    EXPECT_EQ(model.line(3), "15\t\t\t");
    EXPECT_EQ(ReadingListModel::headerLine(), "No.s\tDate Time\tdB\t");
}

TEST(ReadingListModel, ClearLeavesOnlyTheHeader)
{
    ReadingListModel model;
    appendRows(model, 5);
    int resets = 0;
    QObject::connect(&model, &ReadingListModel::modelReset, [&] { ++resets; });
    model.clear();
    EXPECT_EQ(model.count(), 0);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "dB");
    appendRows(model, 1);
    EXPECT_EQ(model.number(0), "1");
}

class ReadingListViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view.resize(400, 200);
        view.show();
        QApplication::processEvents();
    }
    void expectAligned(int topRow)
    {
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(view.grid(c)->topRow(), topRow) << "grid " << c;
    }

    ReadingListModel model;
    ReadingListView view { &model };
};

TEST_F(ReadingListViewTest, GridsAreNamedAndCarryTheirHeaders)
{
    const char *headers[] = { "No.s", "Date Time", "dB" };
    for (int c = 0; c < 3; ++c) {
        ReadingGrid *grid = view.findChild<ReadingGrid *>(QStringLiteral("GridN%1").arg(c));
        ASSERT_NE(grid, nullptr) << c;
        EXPECT_EQ(grid, view.grid(c));
        EXPECT_EQ(grid->headerText(), headers[c]);
        EXPECT_EQ(grid->accessibleName(), headers[c]);
    }
}

TEST_F(ReadingListViewTest, AScreenReaderHearsTheHeaderAndTheCurrentRowsText)
{
    appendRows(model, 5);
    view.grid(1)->setCurrentRow(3);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(view.grid(1));
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), "Date Time");
    EXPECT_EQ(accessible->text(QAccessible::Value), model.time(3));
}

// The rows a screen reader walks follow the scrolling, and a cleared list
// leaves no rows behind that still speak.
TEST_F(ReadingListViewTest, AScreenReaderWalksTheRowsOnScreenAsATable)
{
    appendRows(model, 200);
    view.resize(400, 300);
    view.show();
    ReadingGrid *levels = view.grid(2);
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(levels);
    ASSERT_NE(table->tableInterface(), nullptr);
    EXPECT_EQ(table->tableInterface()->rowCount(), 200);

    view.setTopRow(150);
    ASSERT_GT(table->childCount(), 1);
    EXPECT_LE(table->childCount(), levels->visibleRowCount() + 1);
    EXPECT_EQ(table->child(0)->text(QAccessible::Name), model.level(150));
    EXPECT_EQ(table->child(0)->tableCellInterface()->rowIndex(), 150);
    EXPECT_FALSE(table->child(0)->rect().isEmpty());
    QAccessibleInterface *farCell = table->tableInterface()->cellAt(3, 0);
    EXPECT_TRUE(farCell->rect().isEmpty()); // scrolled out of sight
    EXPECT_TRUE(farCell->state().invisible);

    QAccessibleInterface *kept = table->child(0);
    model.clear();
    EXPECT_EQ(table->tableInterface()->rowCount(), 0);
    EXPECT_EQ(table->childCount(), 0);
    EXPECT_FALSE(kept->isValid());
    EXPECT_EQ(kept->text(QAccessible::Name), QString());
}

TEST_F(ReadingListViewTest, ColumnWidthsAreTheTemplateTextsInTheWidgetsFont)
{
    const char *templates[] = { "ABADEAA", "AAAAA/AA/AAHH:NN:SSA", "ABADEAAA" };
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(ReadingListView::templateText(c), templates[c]);
        EXPECT_EQ(view.grid(c)->columnWidth(), view.fontMetrics().horizontalAdvance(templates[c]));
    }
    QFont bigger = view.font();
    bigger.setPointSize(bigger.pointSize() * 2);
    view.setFont(bigger);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(view.grid(c)->columnWidth(),
                  QFontMetrics(bigger).horizontalAdvance(templates[c]));
}

TEST_F(ReadingListViewTest, OnlyTheLevelGridShowsAVerticalScrollBar)
{
    appendRows(model, 200);
    QApplication::processEvents();
    EXPECT_FALSE(view.grid(0)->verticalScrollBar()->isVisible());
    EXPECT_FALSE(view.grid(1)->verticalScrollBar()->isVisible());
    EXPECT_TRUE(view.grid(2)->verticalScrollBar()->isVisible());
}

TEST_F(ReadingListViewTest, ScrollingAnyGridKeepsTheThreeAligned)
{
    appendRows(model, 200);
    QList<int> scrolled;
    QObject::connect(&view, &ReadingListView::scrolled, [&](int top) { scrolled.append(top); });

    view.grid(2)->verticalScrollBar()->setValue(120);
    expectAligned(120);
    EXPECT_EQ(view.grid(0)->cellText(view.grid(0)->topRow()), "121");

    // A wheel turned over the number column (which has no visible bar).
    QWheelEvent wheel(QPointF(5, 40), view.grid(0)->mapToGlobal(QPointF(5, 40)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.grid(0)->viewport(), &wheel);
    const int afterWheel = view.grid(0)->topRow();
    EXPECT_LT(afterWheel, 120);
    expectAligned(afterWheel);

    // Keyboard in the date column.
    view.grid(1)->setFocus();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QApplication::sendEvent(view.grid(1), &end);
    EXPECT_EQ(view.grid(1)->currentRow(), 199);
    expectAligned(view.grid(2)->verticalScrollBar()->maximum());
    EXPECT_GE(scrolled.count(), 3);
    EXPECT_EQ(scrolled.last(), view.topRow());
}

TEST_F(ReadingListViewTest, FollowNewestKeepsTheNewestRowInViewOnceMoreThanThreeRows)
{
    view.setFollowNewest(true);
    appendRows(model, 3);
    expectAligned(0);
    EXPECT_EQ(view.grid(2)->currentRow(), -1);

    appendRows(model, 300);
    const int last = model.count() - 1;
    for (int c = 0; c < 3; ++c) {
        ReadingGrid *grid = view.grid(c);
        EXPECT_EQ(grid->currentRow(), last);
        EXPECT_LE(grid->topRow(), last);
        EXPECT_GT(grid->topRow() + grid->visibleRowCount(), last) << "grid " << c;
    }
    expectAligned(view.grid(2)->topRow());
}

TEST_F(ReadingListViewTest, WithoutFollowTheTopRowStays)
{
    appendRows(model, 300);
    expectAligned(0);
    EXPECT_EQ(view.grid(2)->currentRow(), -1);
}

TEST_F(ReadingListViewTest, ClearScrollsBackToTheHeader)
{
    view.setFollowNewest(true);
    appendRows(model, 300);
    ASSERT_GT(view.topRow(), 0);
    model.clear();
    expectAligned(0);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(view.grid(c)->rowCount(), 0);
        EXPECT_EQ(view.grid(c)->currentRow(), -1);
    }
}

// Pixels of text colour in the rows below the header of a grid.
int inkBelowHeader(ReadingGrid *grid)
{
    const QImage image = grid->viewport()->grab().toImage();
    int ink = 0;
    for (int y = grid->rowHeight() + 1; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ink += qGray(image.pixel(x, y)) < 100;
    }
    return ink;
}

TEST_F(ReadingListViewTest, RowsArePaintedUnderTheHeader)
{
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(inkBelowHeader(view.grid(c)), 0) << "grid " << c;
    appendRows(model, 5);
    for (int c = 0; c < 3; ++c)
        EXPECT_GT(inkBelowHeader(view.grid(c)), 20) << "grid " << c;
}

TEST_F(ReadingListViewTest, ClickingARowMakesItCurrentAndRowsMapToPositions)
{
    appendRows(model, 50);
    ReadingGrid *grid = view.grid(2);
    const int h = grid->rowHeight();
    EXPECT_EQ(grid->rowAt(h / 2), -1) << "the header is no row";
    EXPECT_EQ(grid->rowAt(h + h / 2), 0);
    EXPECT_EQ(grid->rowAt(3 * h + 1), 2);
    grid->setTopRow(10);
    EXPECT_EQ(grid->rowAt(h + 1), 10);
}

} // namespace

int main(int argc, char **argv)
{
    // Test discovery runs this without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

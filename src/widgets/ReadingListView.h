#pragma once

#include <QWidget>

#include <array>

class QModelIndex;
class ReadingGrid;
class ReadingListModel;

// The reading list as three one-column grids side by side, "GridN0" (number),
// "GridN1" (date and time) and "GridN2" (level), all over one model. Only the
// level grid shows a vertical scroll bar; scrolling any grid scrolls the other
// two to the same top row so the columns stay aligned.
class ReadingListView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int GridCount = 3;

    // The model is shared, not owned: the live panel keeps its list for the
    // whole run while windows come and go.
    explicit ReadingListView(ReadingListModel *model, QWidget *parent = nullptr);

    ReadingListModel *model() const { return m_model; }
    ReadingGrid *grid(int column) const { return m_grids.at(column); }

    // The text whose width in the widget's font is the width of a column.
    static QString templateText(int column);

    // With follow-newest on, the newest row is kept in view (and made the
    // current row) once the list holds more than three rows.
    void setFollowNewest(bool follow);
    bool followNewest() const { return m_followNewest; }

    // The first data row shown at the top of the grids (0-based).
    int topRow() const;
    void setTopRow(int row);

Q_SIGNALS:
    // A grid was scrolled; the other two already show the same top row.
    void scrolled(int topRow);

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyColumnWidths();
    void alignTo(int column, int topRow);
    void onRowsInserted(const QModelIndex &parent, int first, int last);
    void showNewest();

    ReadingListModel *m_model;
    std::array<ReadingGrid *, GridCount> m_grids {};
    bool m_followNewest = false;
    bool m_aligning = false;
};

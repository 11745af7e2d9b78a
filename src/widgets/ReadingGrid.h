#pragma once

#include <QAbstractScrollArea>

class QModelIndex;
class ReadingListModel;

// One column of a reading list as a grid: a fixed header cell, then one row
// per reading, all rows the same height. Only the visible rows are ever
// looked at, so appending to or scrolling a list of hundreds of thousands of
// readings costs the same as for a short one. The vertical scroll bar's value
// is the top row.
class ReadingGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    ReadingGrid(ReadingListModel *model, int column, QWidget *parent = nullptr);

    int column() const { return m_column; }
    QString headerText() const;
    QString cellText(int row) const;
    int rowCount() const;

    void setColumnWidth(int width);
    int columnWidth() const { return m_columnWidth; }
    int rowHeight() const;
    // Rows that fit fully below the header.
    int visibleRowCount() const;

    int topRow() const;
    void setTopRow(int row);
    // The data row under a viewport position; -1 on the header or past the end.
    int rowAt(int y) const;

    int currentRow() const { return m_currentRow; }
    // Makes the row current and scrolls it into view.
    void setCurrentRow(int row);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void currentRowChanged(int row);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollRange();
    void onRowsInserted(const QModelIndex &parent, int first, int last);
    void onReset();
    void scrollToRow(int row);
    int frameExtent() const;

    ReadingListModel *m_model;
    int m_column;
    int m_columnWidth = 80;
    int m_currentRow = -1;
};

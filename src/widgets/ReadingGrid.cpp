#include "ReadingGrid.h"

#include "platform/ReadingListModel.h"
#include "widgets/AccessibleFactory.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>

#include <algorithm>

namespace {
constexpr int CellPadding = 2;

// One reading of a grid as a table cell; the grid may scroll or be cleared
// while a screen reader holds it, so it looks the row up on each question.
class ReadingCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface
{
public:
    ReadingCellAccessible(ReadingGrid *grid, int row)
        : m_grid(grid)
        , m_row(row)
    {
    }

    bool isValid() const override { return m_grid && m_row < m_grid->rowCount(); }
    QObject *object() const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override
    {
        return m_grid ? QAccessible::queryAccessibleInterface(m_grid.data()) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text kind) const override
    {
        if (!m_grid || (kind != QAccessible::Name && kind != QAccessible::Value))
            return {};
        return m_grid->cellText(m_row);
    }
    void setText(QAccessible::Text, const QString &) override { }

    QRect rect() const override
    {
        if (!m_grid)
            return {};
        const int top = m_grid->rowHeight() * (1 + m_row - m_grid->topRow());
        const QWidget *viewport = m_grid->viewport();
        const QRect local(0, top, viewport->width(), m_grid->rowHeight());
        if (!local.intersects(viewport->rect()))
            return {};
        return QRect(viewport->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.readOnly = true;
        state.selectable = true;
        state.selected = m_grid && m_grid->currentRow() == m_row;
        state.invisible = rect().isEmpty();
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface *>(this);
        return nullptr;
    }

    bool isSelected() const override { return state().selected; }
    QList<QAccessibleInterface *> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return 0; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return parent(); }

private:
    QPointer<ReadingGrid> m_grid;
    int m_row;
};

// A screen reader sees each grid as a one-column table named by its header:
// the row count, the rows on screen as its children, and the current row's
// text as its value.
class ReadingGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit ReadingGridAccessible(ReadingGrid *grid)
        : QAccessibleWidget(grid, QAccessible::Table)
    {
    }

    ~ReadingGridAccessible() override { forgetCells(); }

    ReadingGrid *grid() const { return static_cast<ReadingGrid *>(widget()); }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return grid()->cellText(grid()->currentRow());
        return QAccessibleWidget::text(kind);
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // The rows on screen, a partly shown last one included.
    int childCount() const override
    {
        const int first = grid()->topRow();
        const int last = std::min(grid()->rowCount() - 1, first + grid()->visibleRowCount());
        return std::max(0, last - first + 1);
    }
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        return cellAt(grid()->topRow() + index, 0);
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child || child->role() != QAccessible::Cell)
            return -1;
        const auto *cell = const_cast<QAccessibleInterface *>(child)->tableCellInterface();
        if (!cell)
            return -1;
        const int index = cell->rowIndex() - grid()->topRow();
        return index >= 0 && index < childCount() ? index : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint local = grid()->viewport()->mapFromGlobal(QPoint(x, y));
        const int row = grid()->rowAt(local.y());
        return row >= 0 ? cellAt(row, 0) : nullptr;
    }

    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override
    {
        if (column != 0 || row < 0 || row >= grid()->rowCount())
            return nullptr;
        if (const auto known = m_cells.constFind(row); known != m_cells.constEnd())
            return QAccessible::accessibleInterface(*known);
        // A reader walking a long list must not pile up cells without end.
        if (m_cells.size() >= MaxCells)
            const_cast<ReadingGridAccessible *>(this)->forgetCells();
        auto *cell = new ReadingCellAccessible(grid(), row);
        m_cells.insert(row, QAccessible::registerAccessibleInterface(cell));
        return cell;
    }
    int selectedCellCount() const override { return grid()->currentRow() >= 0 ? 1 : 0; }
    QList<QAccessibleInterface *> selectedCells() const override
    {
        if (QAccessibleInterface *cell = cellAt(grid()->currentRow(), 0))
            return { cell };
        return {};
    }
    QString columnDescription(int column) const override
    {
        return column == 0 ? grid()->headerText() : QString();
    }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return selectedCellCount(); }
    int columnCount() const override { return 1; }
    int rowCount() const override { return grid()->rowCount(); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override
    {
        if (grid()->currentRow() >= 0)
            return { grid()->currentRow() };
        return {};
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override { return row == grid()->currentRow(); }
    bool selectRow(int row) override
    {
        grid()->setCurrentRow(row);
        return grid()->currentRow() == row;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *) override { forgetCells(); }

private:
    static constexpr qsizetype MaxCells = 1024;

    void forgetCells()
    {
        for (const QAccessible::Id id : std::as_const(m_cells))
            QAccessible::deleteAccessibleInterface(id);
        m_cells.clear();
    }

    mutable QHash<int, QAccessible::Id> m_cells;
};

} // namespace

ReadingGrid::ReadingGrid(ReadingListModel *model, int column, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_model(model)
    , m_column(column)
{
    installAccessibleFactoryOnce<ReadingGrid, ReadingGridAccessible>();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(headerText());
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    connect(model, &ReadingListModel::rowsInserted, this, &ReadingGrid::onRowsInserted);
    connect(model, &ReadingListModel::modelReset, this, &ReadingGrid::onReset);
    connect(model, &ReadingListModel::rowsRemoved, this, &ReadingGrid::onReset);
    updateScrollRange();
}

QString ReadingGrid::headerText() const
{
    return ReadingListModel::headerText(m_column);
}

QString ReadingGrid::cellText(int row) const
{
    if (row < 0 || row >= m_model->count())
        return {};
    switch (m_column) {
    case ReadingListModel::NumberColumn:
        return m_model->number(row);
    case ReadingListModel::TimeColumn:
        return m_model->time(row);
    default:
        return m_model->level(row);
    }
}

int ReadingGrid::rowCount() const
{
    return m_model->count();
}

void ReadingGrid::setColumnWidth(int width)
{
    m_columnWidth = width;
    updateGeometry();
    viewport()->update();
}

int ReadingGrid::rowHeight() const
{
    return fontMetrics().height() + 2 * CellPadding;
}

int ReadingGrid::visibleRowCount() const
{
    return std::max(1, (viewport()->height() - rowHeight()) / rowHeight());
}

int ReadingGrid::topRow() const
{
    return verticalScrollBar()->value();
}

void ReadingGrid::setTopRow(int row)
{
    verticalScrollBar()->setValue(row);
}

int ReadingGrid::rowAt(int y) const
{
    if (y < rowHeight())
        return -1;
    const int row = topRow() + (y - rowHeight()) / rowHeight();
    return row < rowCount() ? row : -1;
}

void ReadingGrid::setCurrentRow(int row)
{
    row = std::clamp(row, -1, rowCount() - 1);
    if (row >= 0)
        scrollToRow(row);
    if (row == m_currentRow)
        return;
    m_currentRow = row;
    viewport()->update();
    // The new current row is a selected cell; AT-SPI takes value changes
    // only from widgets with a numeric range.
    if (QAccessible::isActive() && row >= topRow()) {
        QAccessibleEvent event(this, QAccessible::Selection);
        event.setChild(row - topRow());
        QAccessible::updateAccessibility(&event);
    }
    Q_EMIT currentRowChanged(row);
}

QSize ReadingGrid::sizeHint() const
{
    return { m_columnWidth + frameExtent(), rowHeight() * 12 + 2 * frameWidth() };
}

QSize ReadingGrid::minimumSizeHint() const
{
    return { m_columnWidth + frameExtent(), rowHeight() * 2 + 2 * frameWidth() };
}

void ReadingGrid::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const int height = rowHeight();
    const int width = viewport()->width();

    QStyleOptionHeader header;
    header.initFrom(this);
    header.rect = QRect(0, 0, width, height);
    header.text = headerText();
    header.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    header.position = QStyleOptionHeader::OnlyOneSection;
    header.orientation = Qt::Horizontal;
    // The style may leave a clip or pen behind it.
    painter.save();
    style()->drawControl(QStyle::CE_Header, &header, &painter, this);
    painter.restore();

    const QColor lineColor = palette().color(QPalette::Mid);
    const int first = topRow();
    const int last = std::min(rowCount() - 1, first + visibleRowCount());
    for (int row = first, y = height; row <= last; ++row, y += height) {
        const QRect cell(0, y, width, height);
        if (row == m_currentRow) {
            painter.fillRect(cell, palette().brush(QPalette::Highlight));
            painter.setPen(palette().color(QPalette::HighlightedText));
        } else {
            painter.setPen(palette().color(QPalette::Text));
        }
        painter.drawText(cell.adjusted(CellPadding, 0, -CellPadding, 0),
                         Qt::AlignLeft | Qt::AlignVCenter, cellText(row));
        painter.setPen(lineColor);
        painter.drawLine(cell.bottomLeft(), cell.bottomRight());
    }
}

void ReadingGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void ReadingGrid::mousePressEvent(QMouseEvent *event)
{
    const int row = rowAt(event->position().toPoint().y());
    if (row >= 0)
        setCurrentRow(row);
    QAbstractScrollArea::mousePressEvent(event);
}

void ReadingGrid::keyPressEvent(QKeyEvent *event)
{
    const int page = visibleRowCount();
    switch (event->key()) {
    case Qt::Key_Down:
        setCurrentRow(m_currentRow + 1);
        break;
    case Qt::Key_Up:
        setCurrentRow(std::max(0, m_currentRow - 1));
        break;
    case Qt::Key_PageDown:
        setCurrentRow(m_currentRow + page);
        break;
    case Qt::Key_PageUp:
        setCurrentRow(std::max(0, m_currentRow - page));
        break;
    case Qt::Key_Home:
        setCurrentRow(0);
        break;
    case Qt::Key_End:
        setCurrentRow(rowCount() - 1);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ReadingGrid::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateScrollRange();
        updateGeometry();
    }
}

void ReadingGrid::scrollContentsBy(int, int)
{
    viewport()->update();
}

void ReadingGrid::updateScrollRange()
{
    const int page = visibleRowCount();
    QScrollBar *bar = verticalScrollBar();
    bar->setPageStep(page);
    bar->setRange(0, std::max(0, rowCount() - page));
}

void ReadingGrid::onRowsInserted(const QModelIndex &, int first, int last)
{
    updateScrollRange();
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent event(this,
                                               QAccessibleTableModelChangeEvent::RowsInserted);
        event.setFirstRow(first);
        event.setLastRow(last);
        QAccessible::updateAccessibility(&event);
    }
    // Rows below the visible ones need no paint.
    if (first <= topRow() + visibleRowCount())
        viewport()->update();
}

void ReadingGrid::onReset()
{
    m_currentRow = -1;
    updateScrollRange();
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::ModelReset);
        QAccessible::updateAccessibility(&event);
    }
}

void ReadingGrid::scrollToRow(int row)
{
    const int page = visibleRowCount();
    if (row < topRow())
        setTopRow(row);
    else if (row >= topRow() + page)
        setTopRow(row - page + 1);
}

int ReadingGrid::frameExtent() const
{
    int extent = 2 * frameWidth();
    if (verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
        extent += verticalScrollBar()->sizeHint().width();
    return extent;
}

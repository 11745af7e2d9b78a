#include "ReadingGrid.h"

#include "ui/core/ReadingListModel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>

#include <algorithm>

namespace {
constexpr int CellPadding = 2;

// A screen reader hears the column's header as the name and the current
// row's text as the value.
class ReadingGridAccessible : public QAccessibleWidget
{
public:
    explicit ReadingGridAccessible(ReadingGrid *grid)
        : QAccessibleWidget(grid, QAccessible::List)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value) {
            const auto *grid = static_cast<const ReadingGrid *>(widget());
            return grid->cellText(grid->currentRow());
        }
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ReadingGrid") && object && object->isWidgetType())
        return new ReadingGridAccessible(static_cast<ReadingGrid *>(object));
    return nullptr;
}

void installAccessibleFactoryOnce()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
} // namespace

ReadingGrid::ReadingGrid(ReadingListModel *model, int column, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_model(model)
    , m_column(column)
{
    installAccessibleFactoryOnce();
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
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, cellText(row));
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

void ReadingGrid::onRowsInserted(const QModelIndex &, int first, int)
{
    updateScrollRange();
    // Rows below the visible ones need no paint.
    if (first <= topRow() + visibleRowCount())
        viewport()->update();
}

void ReadingGrid::onReset()
{
    m_currentRow = -1;
    updateScrollRange();
    viewport()->update();
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

#include "ReadingListView.h"

#include "ui/core/ReadingListModel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTableView>

namespace {
constexpr int FollowAfterRows = 3;
const char *const TemplateTexts[ReadingListView::GridCount]
    = { "ABADEAA", "AAAAA/AA/AAHH:NN:SSA", "ABADEAAA" };
} // namespace

ReadingListView::ReadingListView(ReadingListModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    setAccessibleName(QStringLiteral("Reading list"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    for (int column = 0; column < GridCount; ++column) {
        auto *grid = new QTableView(this);
        grid->setObjectName(QStringLiteral("GridN%1").arg(column));
        grid->setAccessibleName(ReadingListModel::headerText(column));
        grid->setModel(model);
        for (int other = 0; other < GridCount; ++other)
            grid->setColumnHidden(other, other != column);
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid->setSelectionMode(QAbstractItemView::SingleSelection);
        grid->setWordWrap(false);
        grid->setCornerButtonEnabled(false);
        // Per-item scrolling makes the scroll bar value the top row, which is
        // what the three grids share.
        grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
        grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid->setVerticalScrollBarPolicy(column == ReadingListModel::LevelColumn
                                             ? Qt::ScrollBarAlwaysOn
                                             : Qt::ScrollBarAlwaysOff);
        grid->verticalHeader()->hide();
        // Uniform rows: no per-row size bookkeeping, so long lists stay cheap.
        grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        grid->horizontalHeader()->setStretchLastSection(false);
        grid->horizontalHeader()->setHighlightSections(false);
        connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, this,
                [this, column](int value) { alignTo(column, value); });
        layout->addWidget(grid);
        m_grids[column] = grid;
    }
    layout->addStretch(1);

    // Connected after the grids' own connections, so they know the row first.
    connect(model, &ReadingListModel::rowsInserted, this, &ReadingListView::onRowsInserted);
    applyFontMetrics();
}

QString ReadingListView::templateText(int column)
{
    if (column < 0 || column >= GridCount)
        return {};
    return QString::fromLatin1(TemplateTexts[column]);
}

int ReadingListView::columnWidth(int column) const
{
    return m_grids.at(column)->columnWidth(column);
}

void ReadingListView::setFollowNewest(bool follow)
{
    m_followNewest = follow;
    if (follow && m_model->count() > FollowAfterRows)
        m_grids[ReadingListModel::LevelColumn]->scrollToBottom();
}

int ReadingListView::topRow() const
{
    return m_grids[ReadingListModel::LevelColumn]->verticalScrollBar()->value();
}

void ReadingListView::setTopRow(int row)
{
    m_grids[ReadingListModel::LevelColumn]->verticalScrollBar()->setValue(row);
}

void ReadingListView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyFontMetrics();
}

void ReadingListView::applyFontMetrics()
{
    const QFontMetrics metrics(font());
    const int rowHeight = metrics.height() + 4;
    for (int column = 0; column < GridCount; ++column) {
        QTableView *grid = m_grids[column];
        const int width = metrics.horizontalAdvance(templateText(column));
        grid->setColumnWidth(column, width);
        grid->verticalHeader()->setDefaultSectionSize(rowHeight);
        int frame = 2 * grid->frameWidth();
        if (grid->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
            frame += grid->verticalScrollBar()->sizeHint().width();
        grid->setFixedWidth(width + frame);
    }
}

void ReadingListView::alignTo(int column, int topRow)
{
    if (m_aligning)
        return;
    {
        const QScopedValueRollback<bool> guard(m_aligning, true);
        for (int other = 0; other < GridCount; ++other) {
            if (other == column)
                continue;
            QTableView *grid = m_grids[other];
            // A grid whose layout is still pending has a stale range that
            // would clamp the row; lay it out first.
            if (grid->verticalScrollBar()->maximum() < topRow)
                grid->doItemsLayout();
            grid->verticalScrollBar()->setValue(topRow);
        }
    }
    Q_EMIT scrolled(topRow);
}

void ReadingListView::onRowsInserted(const QModelIndex &, int, int)
{
    if (m_followNewest && m_model->count() > FollowAfterRows)
        m_grids[ReadingListModel::LevelColumn]->scrollToBottom();
}

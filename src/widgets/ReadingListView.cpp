#include "ReadingListView.h"

#include "ReadingGrid.h"
#include "platform/ReadingListModel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QScopedValueRollback>
#include <QScrollBar>

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
        auto *grid = new ReadingGrid(model, column, this);
        grid->setObjectName(QStringLiteral("GridN%1").arg(column));
        grid->setVerticalScrollBarPolicy(column == ReadingListModel::LevelColumn
                                             ? Qt::ScrollBarAlwaysOn
                                             : Qt::ScrollBarAlwaysOff);
        grid->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, this,
                [this, column](int value) { alignTo(column, value); });
        layout->addWidget(grid);
        m_grids[column] = grid;
    }
    layout->addStretch(1);

    // Connected after the grids, so their scroll ranges know the new row.
    connect(model, &ReadingListModel::rowsInserted, this, &ReadingListView::onRowsInserted);
    applyColumnWidths();
}

QString ReadingListView::templateText(int column)
{
    if (column < 0 || column >= GridCount)
        return {};
    return QString::fromLatin1(TemplateTexts[column]);
}

void ReadingListView::setFollowNewest(bool follow)
{
    m_followNewest = follow;
    if (follow)
        showNewest();
}

int ReadingListView::topRow() const
{
    return m_grids[ReadingListModel::LevelColumn]->topRow();
}

void ReadingListView::setTopRow(int row)
{
    m_grids[ReadingListModel::LevelColumn]->setTopRow(row);
}

void ReadingListView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyColumnWidths();
}

void ReadingListView::applyColumnWidths()
{
    const QFontMetrics metrics(font());
    for (int column = 0; column < GridCount; ++column)
        m_grids[column]->setColumnWidth(metrics.horizontalAdvance(templateText(column)));
}

void ReadingListView::alignTo(int column, int topRow)
{
    if (m_aligning)
        return;
    {
        const QScopedValueRollback<bool> guard(m_aligning, true);
        for (int other = 0; other < GridCount; ++other) {
            if (other != column)
                m_grids[other]->setTopRow(topRow);
        }
    }
    Q_EMIT scrolled(topRow);
}

void ReadingListView::onRowsInserted(const QModelIndex &, int, int)
{
    if (m_followNewest)
        showNewest();
}

void ReadingListView::showNewest()
{
    if (m_model->count() <= FollowAfterRows)
        return;
    for (ReadingGrid *grid : m_grids)
        grid->setCurrentRow(m_model->count() - 1);
}

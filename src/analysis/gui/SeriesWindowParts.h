#pragma once

// What the series window's sources share: its colours, the wall clock its
// times are shown in, and how its tables are made and filled. Only the
// series window's own sources include this.

#include "analysis/series/Series.h"

#include "analysis/Wording.h"

#include <QColor>
#include <QDateTime>
#include <QHeaderView>
#include <QStringList>
#include <QTableWidget>

#include <optional>

class QTableWidget;
class QWidget;

namespace SeriesWindowParts {

// A view is never narrower than this many readings.
constexpr double FewestReadings = 20.0;

const QColor TraceColour(0x1F, 0x4E, 0x8C);
const QColor LimitColour(0xC0, 0x39, 0x2B);
const QColor OkBar(0xB9, 0xCB, 0xDD);
const QColor OverBar(0xF0, 0xA8, 0x9E);
const QColor EventColour(0xD3, 0x7A, 0x00);
const QColor ExcludedColour(0x8E, 0x6B, 0xB8, 60);
// Spans the weather rules take out, apart from those made by hand.
const QColor RuleExcludedColour(0x3C, 0x8D, 0xBC, 60);
const QColor SelectionColour(0x1E, 0x86, 0x8A, 50);

// Civil seconds shown and edited as a wall-clock time without a zone.
inline QDateTime wallClockOf(int64_t civil)
{
    return QDateTime::fromSecsSinceEpoch(civil, Qt::UTC);
}
inline int64_t civilOfWallClock(const QDateTime &shown)
{
    return shown.toSecsSinceEpoch();
}

struct Length
{
    const char *text;
    int64_t seconds;
};
constexpr Length Lengths[] = { { "1 min", 60 },   { "5 min", 300 },   { "10 min", 600 },
                               { "15 min", 900 }, { "30 min", 1800 }, { "1 h", 3600 } };

inline QString fixedOrDash(const std::optional<double> &v)
{
    return Wording::orMissing(v, Wording::tenthsCut, Wording::Missing::Dash);
}

inline QTableWidget *makeTable(const QString &name, const QStringList &headers, QWidget *parent)
{
    auto *table = new QTableWidget(0, int(headers.size()), parent);
    table->setObjectName(name);
    table->setAccessibleName(name);
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    // One Tab stop: the arrows move inside, Tab leaves.
    table->setTabKeyNavigation(false);
    table->verticalHeader()->setVisible(false);
    // Sized to the contents once (sizeColumnsOnce): sizing to contents on
    // every change would measure a month of rows at each exclusion.
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    return table;
}

inline void sizeColumnsOnce(QTableWidget *table)
{
    if (table->rowCount() == 0 || table->property("sized").toBool())
        return;
    table->resizeColumnsToContents();
    table->setProperty("sized", true);
}

inline void setTableRow(QTableWidget *table, int row, const QStringList &cells,
                        const QColor &background = {})
{
    // Items are changed in place: most rows stay as they were when the
    // figures are recomputed.
    for (int c = 0; c < table->columnCount(); ++c) {
        QTableWidgetItem *item = table->item(row, c);
        if (c >= cells.size()) {
            delete table->takeItem(row, c);
            continue;
        }
        if (!item) {
            item = new QTableWidgetItem(cells[c]);
            table->setItem(row, c, item);
        } else if (item->text() != cells[c]) {
            item->setText(cells[c]);
        }
        const QBrush brush = background.isValid() ? QBrush(background) : QBrush();
        if (item->background() != brush)
            item->setBackground(brush);
    }
}

// The series read on a thread of its own while a progress dialog, which can
// cancel, shows how far it got. nullopt when cancelled.
std::optional<LoadedSeries> loadWithProgress(const QStringList &files,
                                             const AnalysisRequest &request, QWidget *parent);

} // namespace SeriesWindowParts

#include "Histogram.h"

#include "WindowImagePrint.h"
#include "graphs/GraphRanges.h"
#include "graphs/HistogramData.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QPointer>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
QPointer<Histogram> s_open;

constexpr int LnRows = 10;
constexpr int LnColumns = 11;
} // namespace

Histogram::Histogram()
    : ClassHistogramWindow(QStringLiteral("CWG"), QStringLiteral("Reset"))
{
    move(0, 0);
    QAction *limit = addToolButton(QStringLiteral("Limit"), QStringLiteral("Limit"));
    QAction *print = addToolButton(QStringLiteral("Print"), QStringLiteral("Print"));
    connect(limit, &QAction::triggered, this, [this] {
        placeModePanel();
        modePanel()->setVisible(!modePanel()->isVisible());
    });
    connect(print, &QAction::triggered, this, &Histogram::printHistogram);

    m_grid = new QTableWidget(0, LnColumns, this);
    m_grid->setObjectName(QStringLiteral("GridLn"));
    m_grid->setAccessibleName(QStringLiteral("Ln"));
    m_grid->setHorizontalHeaderLabels(lnTableHeader());
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setLocale(QLocale::c());
    const QFontMetrics metrics(m_grid->font());
    const int padding = 8;
    m_grid->setColumnWidth(0, metrics.horizontalAdvance(QStringLiteral("ABCDEFAA1")) + padding);
    for (int column = 1; column < LnColumns; ++column)
        m_grid->setColumnWidth(column,
                               metrics.horizontalAdvance(QStringLiteral("ABCDEFAA")) + padding);
    m_grid->verticalHeader()->setDefaultSectionSize(metrics.height() + 8);
    m_grid->setFixedHeight(m_grid->horizontalHeader()->sizeHint().height()
                           + LnRows * m_grid->verticalHeader()->defaultSectionSize() + 4);
    mainLayout()->addWidget(m_grid);

    // No mode is chosen until the user picks one.
    modeList()->setPlaceholderText(QStringLiteral("Normal"));
    modeList()->setCurrentIndex(-1);
    int width = 2 * m_grid->frameWidth() + 8;
    for (int column = 0; column < LnColumns; ++column)
        width += m_grid->columnWidth(column);
    resize(std::max(width, 694), 720);
}

Histogram *Histogram::openWindow()
{
    return s_open.data();
}

QString Histogram::itemDescription(int item) const
{
    static const QStringList descriptions {
        QStringLiteral("Normal mode"),
        QStringLiteral("Clique em alguma parte da área de renderização e arraste para expandir o "
                       "gráfico horizontal e verticalmente."),
        QStringLiteral("Clique em alguma parte da área de renderização e arraste para expandir o "
                       "gráfico horizontalmente."),
        QStringLiteral("Clique em alguma parte da área de renderização e arraste para expandir o "
                       "gráfico verticalmente."),
        QStringLiteral(
            "Selecione uma região do gráfico para aumentar o zoom horizontal e verticalmente."),
        QStringLiteral("Selecione uma região do gráfico para aumentar o zoom horizontalmente."),
        QStringLiteral("Selecione uma região do gráfico para aumentar o zoom verticalmente."),
    };
    return descriptions.value(item);
}

Histogram *Histogram::LoadListHistogram(const HistogramInput &input)
{
    const std::vector<int64_t> counts = countsFromClassZero(input);
    const std::optional<OccupiedClasses> occupied = occupiedClasses(counts);
    ListHistogramRange &range = graphSharedState().listHistogramRange;
    // Without any count the histogram spans every class the width allows.
    const int topClass = input.width == ClassWidth::Tenth ? 1450 : 145;
    range.firstIndex = occupied ? occupied->first : 0;
    range.lastIndex = occupied ? occupied->last : topClass;

    if (s_open) {
        s_open->close();
        delete s_open.data();
    }
    auto *window = new Histogram;
    s_open = window;
    window->show();

    GraphControl *graph = window->graph();
    window->setClassWidth(input.width);
    graph->setAxisRange(GraphControl::Axis::X, range.firstIndex, range.lastIndex + 1);
    const HistogramPoints points = histogramPoints(counts, listHistogramFirstX(input.width));
    graph->plotXY(points.x, points.y);
    graph->setAxisRange(GraphControl::Axis::Y, 0.0, histogramYMaximum(counts));
    range.yMaximum = graph->axisMaximum(GraphControl::Axis::Y);

    QTableWidget *grid = window->m_grid;
    grid->setRowCount(0);
    if (occupied) {
        const std::vector<QStringList> rows = lnTableRows(input.lnTexts);
        grid->setRowCount(int(rows.size()));
        for (int row = 0; row < int(rows.size()); ++row) {
            for (int column = 0; column < LnColumns; ++column) {
                auto *item = new QTableWidgetItem(rows[std::size_t(row)].value(column));
                item->setTextAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                                   : Qt::AlignRight | Qt::AlignVCenter);
                grid->setItem(row, column, item);
            }
        }
    }
    return window;
}

void Histogram::resetScale()
{
    const ListHistogramRange &range = graphSharedState().listHistogramRange;
    graph()->setAxisRange(GraphControl::Axis::X, range.firstIndex, range.lastIndex + 1);
    graph()->setAxisRange(GraphControl::Axis::Y, 0.0, range.yMaximum);
    graph()->setTrackMode(GraphControl::TrackMode::Normal);
}

void Histogram::printHistogram()
{
    toolBar()->hide();
    modePanel()->hide();
    mainLayout()->activate();
    printWindowImage(this, graph()->plot(), currentPrinter(), 1);
    toolBar()->show();
}

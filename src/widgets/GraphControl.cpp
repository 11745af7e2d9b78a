#include "GraphControl.h"

#include <QMouseEvent>
#include <QVBoxLayout>

#include "widgets/QCustomPlotInclude.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Tick steps that are whole numbers: a class or reading number never reads
// "2.5".
class WholeTicker : public QCPAxisTicker
{
protected:
    double getTickStep(const QCPRange &range) override
    {
        // The readable steps include 2.5 (and 25 x 10^-n), whose ticks would
        // be labelled rounded: "3", "8", "13" under ticks at 2.5, 7.5, 12.5.
        return std::max(1.0, std::floor(QCPAxisTicker::getTickStep(range)));
    }
    int getSubTickCount(double tickStep) override
    {
        return tickStep <= 1.0 ? 0 : QCPAxisTicker::getSubTickCount(tickStep);
    }
    QString getTickLabel(double tick, const QLocale &locale, QChar, int) override
    {
        return locale.toString(tick, 'f', 0);
    }
};

// Class indices in tenths of a dB, labelled in dB with one decimal where the
// step needs it.
class TenthsTicker : public QCPAxisTicker
{
protected:
    double getTickStep(const QCPRange &range) override
    {
        const QCPRange db(range.lower / 10.0, range.upper / 10.0);
        return std::max(1.0, QCPAxisTicker::getTickStep(db) * 10.0);
    }
    QString getTickLabel(double tick, const QLocale &locale, QChar, int) override
    {
        const double db = tick / 10.0;
        const bool whole = std::abs(db - std::round(db)) < 1e-9;
        return locale.toString(db, 'f', whole ? 0 : 1);
    }
};

class OneDecimalTicker : public QCPAxisTicker
{
protected:
    QString getTickLabel(double tick, const QLocale &locale, QChar, int) override
    {
        return locale.toString(tick, 'f', 1);
    }
};

} // namespace

// Every caption of the graph in one layerable: a list of notes drawn in one
// pass, so adding or clearing n captions costs O(n), not the O(n²) of one
// plot item each. Only notes inside the shown X range are drawn, and a
// caption that would cover the one drawn before it on its level is left out
// (its reading keeps its dot), so a crowded view stays readable and quick to
// redraw; zooming in shows every caption.
class AnnotationLayer : public QCPLayerable
{
public:
    struct Note
    {
        int pointIndex = 0;
        double captionX = 0.0;
        double captionY = 0.0;
        QString caption;
    };

    AnnotationLayer(QCustomPlot *plot, QCPGraph *graph)
        : QCPLayerable(plot)
        , m_graph(graph)
    {
    }

    void setGraph(QCPGraph *graph) { m_graph = graph; }
    QCPGraph *graph() const { return m_graph; }
    std::vector<Note> notes;

    QPointF pointOf(const Note &note) const
    {
        if (!m_graph || note.pointIndex < 0 || note.pointIndex >= m_graph->dataCount())
            return {};
        const auto point = m_graph->data()->constBegin() + note.pointIndex;
        return { point->key, point->value };
    }

protected:
    void applyDefaultAntialiasingHint(QCPPainter *painter) const override
    {
        applyAntialiasingHint(painter, mAntialiased, QCP::aeItems);
    }

    QRect clipRect() const override { return mParentPlot->axisRect()->rect(); }

    void draw(QCPPainter *painter) override
    {
        if (notes.empty() || !m_graph)
            return;
        QCPAxis *xAxis = mParentPlot->xAxis;
        QCPAxis *yAxis = mParentPlot->yAxis;
        const QCPRange shown = xAxis->range();
        const double edge = shown.size() * 0.05;
        const QFont font = mParentPlot->font();
        const QFontMetricsF metrics(font);
        painter->setFont(font);
        const QPen pen(Qt::darkRed);
        const QCPLineEnding arrowHead(QCPLineEnding::esSpikeArrow);
        // Right edge of the last caption drawn, per caption level.
        std::vector<std::pair<double, double>> lastRight;
        int lastDotColumn = std::numeric_limits<int>::min();
        // Sizes of the few caption texts there are, measured once per draw.
        std::vector<std::pair<QString, QSizeF>> sizes;
        for (const Note &note : notes) {
            if (note.captionX < shown.lower || note.captionX > shown.upper)
                continue;
            if (note.pointIndex < 0 || note.pointIndex >= m_graph->dataCount())
                continue;
            auto size = std::find_if(sizes.begin(), sizes.end(), [&](const auto &entry) {
                return entry.first == note.caption;
            });
            if (size == sizes.end()) {
                sizes.emplace_back(note.caption, metrics.size(0, note.caption) + QSizeF(6.0, 2.0));
                size = sizes.end() - 1;
            }
            const QPointF anchor(xAxis->coordToPixel(note.captionX),
                                 yAxis->coordToPixel(note.captionY));
            QRectF box(QPointF(0.0, 0.0), size->second);
            // A caption near either end of the X axis grows inward so the
            // plot's edge does not cut it off.
            if (note.captionX > shown.upper - edge)
                box.moveRight(anchor.x());
            else if (note.captionX < shown.lower + edge)
                box.moveLeft(anchor.x());
            else
                box.moveLeft(anchor.x() - box.width() / 2.0);
            box.moveTop(anchor.y() - box.height() / 2.0);

            auto level = std::find_if(lastRight.begin(), lastRight.end(),
                                      [&](const auto &r) { return r.first == note.captionY; });
            if (level == lastRight.end()) {
                lastRight.emplace_back(note.captionY, -std::numeric_limits<double>::infinity());
                level = lastRight.end() - 1;
            }
            const QPointF data = pointOf(note);
            const QPointF point(xAxis->coordToPixel(data.x()), yAxis->coordToPixel(data.y()));
            if (box.left() <= level->second) {
                // No room for its caption: the marked reading still gets its
                // dot, one per pixel column, so every run stays visible.
                const int column = int(std::lround(point.x()));
                if (column != lastDotColumn) {
                    lastDotColumn = column;
                    painter->setPen(pen);
                    painter->setBrush(Qt::darkRed);
                    painter->drawEllipse(point, 2.5, 2.5);
                }
                continue;
            }
            level->second = box.right();
            lastDotColumn = int(std::lround(point.x()));

            const bool below = note.captionY < data.y();
            const QPointF start(box.center().x(), below ? box.top() : box.bottom());
            painter->setPen(pen);
            painter->setBrush(Qt::NoBrush);
            painter->drawLine(start, point);
            painter->setBrush(Qt::darkRed);
            arrowHead.draw(painter, QCPVector2D(point), QCPVector2D(point - start));
            painter->drawEllipse(point, 2.5, 2.5);
            painter->setBrush(Qt::white);
            painter->drawRect(box);
            painter->drawText(box, Qt::AlignCenter, note.caption);
        }
    }

private:
    QCPGraph *m_graph = nullptr;
};

QStringList GraphControl::trackModeNames()
{
    return { QStringLiteral("Normal"), QStringLiteral("Cursor Coordinates"),
             QStringLiteral("PanXY"),  QStringLiteral("PanX"),
             QStringLiteral("PanY"),   QStringLiteral("ZoomXY"),
             QStringLiteral("ZoomX"),  QStringLiteral("ZoomY") };
}

std::optional<GraphControl::TrackMode> GraphControl::trackModeFromName(const QString &name)
{
    const int index = int(trackModeNames().indexOf(name));
    if (index < 0)
        return std::nullopt;
    return TrackMode(index);
}

GraphControl::GraphControl(QWidget *parent)
    : QWidget(parent)
    , m_plot(new QCustomPlot(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_plot);

    // Numbers on the axes read with a point whatever the machine's locale.
    m_plot->setLocale(QLocale::c());
    m_plot->setNoAntialiasingOnDrag(true);
    m_plot->setPlottingHint(QCP::phCacheLabels, true);

    m_graph = m_plot->addGraph();
    m_graph->setPen(QPen(m_plotColor, 1));
    m_graph->setAdaptiveSampling(true);
    m_annotations = new AnnotationLayer(m_plot, m_graph);

    connect(m_plot, &QCustomPlot::mousePress, this, &GraphControl::onMousePress);
    connect(m_plot, &QCustomPlot::mouseMove, this, &GraphControl::onMouseMove);
    connect(m_plot, &QCustomPlot::mouseRelease, this, &GraphControl::onMouseRelease);

    setTrackMode(TrackMode::Normal);
}

QCPAxis *GraphControl::axis(Axis which) const
{
    return which == Axis::X ? m_plot->xAxis : m_plot->yAxis;
}

void GraphControl::setAxisRange(Axis which, double min, double max)
{
    double lower = min;
    double upper = max;
    if (!std::isfinite(lower) && !std::isfinite(upper)) {
        lower = 0.0;
        upper = 1.0;
    }
    if (!std::isfinite(lower))
        lower = upper;
    if (!std::isfinite(upper))
        upper = lower;
    if (upper < lower)
        std::swap(lower, upper);
    if (upper == lower) {
        lower -= 1.0;
        upper += 1.0;
    }
    axis(which)->setRange(lower, upper);
    redraw();
}

double GraphControl::axisMinimum(Axis which) const
{
    return axis(which)->range().lower;
}

double GraphControl::axisMaximum(Axis which) const
{
    return axis(which)->range().upper;
}

void GraphControl::setAxisCaption(Axis which, const QString &caption)
{
    axis(which)->setLabel(caption);
    redraw();
}

QString GraphControl::axisCaption(Axis which) const
{
    return axis(which)->label();
}

void GraphControl::setAxisLabelFormat(Axis which, LabelFormat format)
{
    QSharedPointer<QCPAxisTicker> ticker;
    switch (format) {
    case LabelFormat::Auto:
        ticker.reset(new QCPAxisTicker);
        break;
    case LabelFormat::Whole:
        ticker.reset(new WholeTicker);
        break;
    case LabelFormat::OneDecimal:
        ticker.reset(new OneDecimalTicker);
        break;
    case LabelFormat::TenthsAsDb:
        ticker.reset(new TenthsTicker);
        break;
    }
    axis(which)->setTicker(ticker);
    redraw();
}

void GraphControl::setPlotStyle(PlotStyle style)
{
    if (style == m_style)
        return;
    clear();
    m_style = style;
    if (style == PlotStyle::Bars) {
        m_plot->removeGraph(m_graph);
        m_graph = nullptr;
        m_annotations->setGraph(nullptr);
        m_bars = new QCPBars(m_plot->xAxis, m_plot->yAxis);
        m_bars->setWidth(1.0);
        m_bars->setPen(QPen(m_plotColor.darker(130)));
        m_bars->setBrush(m_plotColor);
    } else {
        m_plot->removePlottable(m_bars);
        m_bars = nullptr;
        m_graph = m_plot->addGraph();
        m_graph->setPen(QPen(m_plotColor, 1));
        m_graph->setAdaptiveSampling(true);
        m_annotations->setGraph(m_graph);
        // Captions stay drawn above the plot.
        m_annotations->setLayer(m_plot->layer(QStringLiteral("main")));
    }
    redraw();
}

void GraphControl::setPlotColor(const QColor &color)
{
    m_plotColor = color;
    if (m_graph)
        m_graph->setPen(QPen(color, 1));
    if (m_bars) {
        m_bars->setPen(QPen(color.darker(130)));
        m_bars->setBrush(color);
    }
    redraw();
}

void GraphControl::plotY(std::span<const double> values, double firstX, double step)
{
    QVector<double> keys(qsizetype(values.size()));
    for (std::size_t k = 0; k < values.size(); ++k)
        keys[qsizetype(k)] = firstX + double(k) * step;
    plotXY(keys, values);
}

void GraphControl::plotXY(std::span<const double> x, std::span<const double> y)
{
    const std::size_t n = std::min(x.size(), y.size());
    if (m_graph) {
        QVector<QCPGraphData> points(static_cast<qsizetype>(n));
        for (std::size_t k = 0; k < n; ++k)
            points[qsizetype(k)] = QCPGraphData(x[k], y[k]);
        m_graph->data()->set(points, true);
    } else if (m_bars) {
        QVector<QCPBarsData> points(static_cast<qsizetype>(n));
        for (std::size_t k = 0; k < n; ++k)
            points[qsizetype(k)] = QCPBarsData(x[k], y[k]);
        m_bars->data()->set(points, true);
    }
    m_stripNextX = n > 0 ? x[n - 1] + 1.0 : 0.0;
    redraw();
}

int GraphControl::pointCount() const
{
    if (m_graph)
        return m_graph->dataCount();
    return m_bars ? m_bars->dataCount() : 0;
}

double GraphControl::pointX(int index) const
{
    return m_graph ? m_graph->dataMainKey(index) : m_bars->dataMainKey(index);
}

double GraphControl::pointY(int index) const
{
    return m_graph ? m_graph->dataMainValue(index) : m_bars->dataMainValue(index);
}

void GraphControl::setStripWindow(int visiblePoints)
{
    m_stripWindow = std::max(2, visiblePoints);
}

void GraphControl::appendStripValue(double value)
{
    if (!m_graph || !std::isfinite(value))
        return;
    if (m_stripWindow <= 0)
        setStripWindow(600);
    m_graph->addData(m_stripNextX, value);
    m_stripNextX += 1.0;
    m_graph->data()->removeBefore(m_stripNextX - m_stripWindow);
    keepStripRange();
    redraw();
}

void GraphControl::keepStripRange()
{
    const double last = m_stripNextX - 1.0;
    m_plot->xAxis->setRange(std::max(0.0, last - m_stripWindow + 1),
                            std::max(double(m_stripWindow - 1), last));
    bool found = false;
    const QCPRange values = m_graph->data()->valueRange(found);
    if (!found)
        return;
    // A little room above and below, and a few dB at least, so a steady level
    // does not fill the chart with noise.
    const double middle = (values.lower + values.upper) / 2.0;
    const double half = std::max(2.5, (values.upper - values.lower) / 2.0 + 1.0);
    m_plot->yAxis->setRange(std::floor(middle - half), std::ceil(middle + half));
}

void GraphControl::clear()
{
    if (m_graph)
        m_graph->data()->clear();
    if (m_bars)
        m_bars->data()->clear();
    m_stripNextX = 0.0;
    clearAnnotations();
    redraw();
}

void GraphControl::setTrackMode(TrackMode mode)
{
    m_trackMode = mode;
    m_draggingCursor = false;
    QCPAxisRect *rect = m_plot->axisRect();
    m_plot->setInteraction(QCP::iRangeDrag, false);
    m_plot->setSelectionRectMode(QCP::srmNone);
    switch (mode) {
    case TrackMode::Normal:
    case TrackMode::CursorCoordinates:
        break;
    case TrackMode::PanXY:
    case TrackMode::PanX:
    case TrackMode::PanY:
        m_plot->setInteraction(QCP::iRangeDrag, true);
        rect->setRangeDrag(mode == TrackMode::PanXY      ? Qt::Horizontal | Qt::Vertical
                               : mode == TrackMode::PanX ? Qt::Horizontal
                                                         : Qt::Vertical);
        rect->setRangeDragAxes(m_plot->xAxis, m_plot->yAxis);
        break;
    case TrackMode::ZoomXY:
    case TrackMode::ZoomX:
    case TrackMode::ZoomY:
        m_plot->setSelectionRectMode(QCP::srmZoom);
        // Both names are needed: the orientation alone still zooms Y.
        rect->setRangeZoom(mode == TrackMode::ZoomXY      ? Qt::Horizontal | Qt::Vertical
                               : mode == TrackMode::ZoomX ? Qt::Horizontal
                                                          : Qt::Vertical);
        rect->setRangeZoomAxes(mode == TrackMode::ZoomY ? nullptr : m_plot->xAxis,
                               mode == TrackMode::ZoomX ? nullptr : m_plot->yAxis);
        break;
    }
    m_plot->setCursor(mode == TrackMode::Normal                  ? Qt::ArrowCursor
                          : mode == TrackMode::CursorCoordinates ? Qt::CrossCursor
                          : mode >= TrackMode::ZoomXY            ? Qt::CrossCursor
                                                                 : Qt::OpenHandCursor);
}

void GraphControl::createCursor(const QColor &color)
{
    if (!m_cursorV) {
        m_cursorV = new QCPItemStraightLine(m_plot);
        m_cursorH = new QCPItemStraightLine(m_plot);
        for (auto *line : { m_cursorV, m_cursorH }) {
            line->setSelectable(false);
            line->setClipToAxisRect(true);
        }
    }
    m_cursorV->setPen(QPen(color, 1));
    m_cursorH->setPen(QPen(color, 1));
    setCursorVisible(true);
}

void GraphControl::removeCursor()
{
    if (!m_cursorV)
        return;
    m_plot->removeItem(m_cursorV);
    m_plot->removeItem(m_cursorH);
    m_cursorV = nullptr;
    m_cursorH = nullptr;
    m_draggingCursor = false;
    redraw();
}

bool GraphControl::hasCursor() const
{
    return m_cursorV != nullptr;
}

void GraphControl::setCursorVisible(bool visible)
{
    if (!m_cursorV)
        return;
    m_cursorV->setVisible(visible);
    m_cursorH->setVisible(visible);
    redraw();
}

bool GraphControl::cursorVisible() const
{
    return m_cursorV && m_cursorV->visible();
}

void GraphControl::setCursorPosition(double x, double y)
{
    if (!m_cursorV)
        return;
    m_cursorV->point1->setCoords(x, 0.0);
    m_cursorV->point2->setCoords(x, 1.0);
    m_cursorH->point1->setCoords(0.0, y);
    m_cursorH->point2->setCoords(1.0, y);
    redraw();
    Q_EMIT cursorMoved(nearestIndex(x), x, y);
}

QPointF GraphControl::cursorPosition() const
{
    if (!m_cursorV)
        return {};
    return { m_cursorV->point1->coords().x(), m_cursorH->point1->coords().y() };
}

int GraphControl::nearestIndex(double x) const
{
    const int count = pointCount();
    if (count == 0)
        return -1;
    const int index = m_graph ? m_graph->findBegin(x, false) : m_bars->findBegin(x, false);
    const int clamped = std::clamp(index, 0, count - 1);
    if (clamped + 1 < count && std::abs(pointX(clamped + 1) - x) < std::abs(pointX(clamped) - x))
        return clamped + 1;
    return clamped;
}

void GraphControl::moveCursorTo(const QPointF &pixel)
{
    const QRect area = m_plot->axisRect()->rect();
    const double px = std::clamp(pixel.x(), double(area.left()), double(area.right()));
    const double py = std::clamp(pixel.y(), double(area.top()), double(area.bottom()));
    setCursorPosition(m_plot->xAxis->pixelToCoord(px), m_plot->yAxis->pixelToCoord(py));
}

void GraphControl::onMousePress(QMouseEvent *event)
{
    m_pressPosition = event->position();
    if (m_trackMode == TrackMode::CursorCoordinates && cursorVisible()
        && event->button() == Qt::LeftButton) {
        m_draggingCursor = true;
        moveCursorTo(event->position());
    }
}

void GraphControl::onMouseMove(QMouseEvent *event)
{
    if (m_draggingCursor)
        moveCursorTo(event->position());
}

void GraphControl::onMouseRelease(QMouseEvent *event)
{
    if (m_draggingCursor) {
        moveCursorTo(event->position());
        m_draggingCursor = false;
    }
    const QPointF moved = event->position() - m_pressPosition;
    if (event->button() == Qt::LeftButton && moved.manhattanLength() <= ClickSlopPixels)
        Q_EMIT clicked();
}

void GraphControl::addAnnotation(int pointIndex, const QString &caption, double captionX,
                                 double captionY)
{
    if (!m_graph || pointIndex < 0 || pointIndex >= pointCount())
        return;
    m_annotations->notes.push_back({ pointIndex, captionX, captionY, caption });
    redraw();
}

void GraphControl::clearAnnotations()
{
    m_annotations->notes.clear();
    m_annotations->notes.shrink_to_fit();
    redraw();
}

int GraphControl::annotationCount() const
{
    return int(m_annotations->notes.size());
}

QString GraphControl::annotationCaption(int index) const
{
    return m_annotations->notes.at(std::size_t(index)).caption;
}

QPointF GraphControl::annotationCaptionPosition(int index) const
{
    const AnnotationLayer::Note &note = m_annotations->notes.at(std::size_t(index));
    return { note.captionX, note.captionY };
}

QPointF GraphControl::annotationPoint(int index) const
{
    return m_annotations->pointOf(m_annotations->notes.at(std::size_t(index)));
}

void GraphControl::setPlotBackground(const QColor &color)
{
    m_background = color;
    m_plot->setBackground(QBrush(color));
    redraw();
}

QColor GraphControl::plotBackground() const
{
    return m_background;
}

void GraphControl::redraw(bool immediate)
{
    m_plot->replot(immediate ? QCustomPlot::rpImmediateRefresh : QCustomPlot::rpQueuedReplot);
}

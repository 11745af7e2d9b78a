#pragma once

#include <QColor>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <optional>
#include <span>
#include <vector>

class QCustomPlot;
class QCPAxis;
class QCPGraph;
class QCPBars;
class QCPItemStraightLine;
class AnnotationLayer;
class QMouseEvent;

// A scientific graph: one plot against two axes, with pan, zoom, a read-out
// cursor, captions tied to points and a strip-chart mode. Axis ranges always
// keep a positive width.
class GraphControl : public QWidget
{
    Q_OBJECT

public:
    enum class Axis { X, Y };
    // Tick label forms: whole numbers, one decimal, or class indices in tenths
    // shown as dB (index / 10).
    enum class LabelFormat { Auto, Whole, OneDecimal, TenthsAsDb };
    enum class PlotStyle { Line, Bars };
    enum class TrackMode { Normal, CursorCoordinates, PanXY, PanX, PanY, ZoomXY, ZoomX, ZoomY };

    // "Normal", "Cursor Coordinates", "PanXY", ... in TrackMode order.
    static QStringList trackModeNames();
    static std::optional<TrackMode> trackModeFromName(const QString &name);

    explicit GraphControl(QWidget *parent = nullptr);

    void setAxisRange(Axis axis, double min, double max);
    double axisMinimum(Axis axis) const;
    double axisMaximum(Axis axis) const;
    void setAxisCaption(Axis axis, const QString &caption);
    QString axisCaption(Axis axis) const;
    void setAxisLabelFormat(Axis axis, LabelFormat format);

    void setPlotStyle(PlotStyle style);
    void setPlotColor(const QColor &color);
    // Replaces the plot with values[k] at X = firstX + k * step.
    void plotY(std::span<const double> values, double firstX = 0.0, double step = 1.0);
    // Replaces the plot with the given points (keys ascending).
    void plotXY(std::span<const double> x, std::span<const double> y);
    int pointCount() const;
    double pointX(int index) const;
    double pointY(int index) const;

    // Strip chart: each value goes one step to the right of the previous one;
    // only the last `visiblePoints` are kept and shown.
    void setStripWindow(int visiblePoints);
    int stripWindow() const { return m_stripWindow; }
    void appendStripValue(double value);

    // Removes the plotted points and the annotations.
    void clear();

    void setTrackMode(TrackMode mode);
    TrackMode trackMode() const { return m_trackMode; }

    // The read-out cursor: a cross the user drags in CursorCoordinates mode.
    void createCursor(const QColor &color);
    void removeCursor();
    bool hasCursor() const;
    void setCursorVisible(bool visible);
    bool cursorVisible() const;
    void setCursorPosition(double x, double y);
    QPointF cursorPosition() const;

    // A caption tied to the plotted point `pointIndex`, drawn at (captionX,
    // captionY) with an arrow to the point.
    void addAnnotation(int pointIndex, const QString &caption, double captionX, double captionY);
    void clearAnnotations();
    int annotationCount() const;
    QString annotationCaption(int index) const;
    QPointF annotationCaptionPosition(int index) const;
    QPointF annotationPoint(int index) const;

    void setPlotBackground(const QColor &color);
    QColor plotBackground() const;

    // Redraws now (Immediate) or at the next event loop turn.
    void redraw(bool immediate = false);

    QCustomPlot *plot() const { return m_plot; }

Q_SIGNALS:
    // The cursor moved to (x, y); `index` is the nearest plotted point or -1.
    void cursorMoved(int index, double x, double y);
    void clicked();

private:
    QCPAxis *axis(Axis axis) const;
    void onMousePress(QMouseEvent *event);
    void onMouseMove(QMouseEvent *event);
    void onMouseRelease(QMouseEvent *event);
    void moveCursorTo(const QPointF &pixel);
    int nearestIndex(double x) const;
    void keepStripRange();

    QCustomPlot *m_plot = nullptr;
    QCPGraph *m_graph = nullptr;
    QCPBars *m_bars = nullptr;
    PlotStyle m_style = PlotStyle::Line;
    QColor m_plotColor { 0, 90, 200 };
    QColor m_background { Qt::white };
    TrackMode m_trackMode = TrackMode::Normal;
    QCPItemStraightLine *m_cursorV = nullptr;
    QCPItemStraightLine *m_cursorH = nullptr;
    bool m_draggingCursor = false;
    QPointF m_pressPosition;
    static constexpr double ClickSlopPixels = 4.0;
    // Draws every caption; adding and clearing cost no more than the
    // captions themselves, however many a list has.
    AnnotationLayer *m_annotations = nullptr;
    int m_stripWindow = 0;
    double m_stripNextX = 0.0;
};

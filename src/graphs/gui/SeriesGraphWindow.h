#pragma once

#include "graphs/GraphRanges.h"
#include "widgets/GraphControl.h"

#include <QWidget>

#include <array>
#include <optional>

class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;
class ValueBoard;

// The layout and interaction both series graphs share: the graph, the range
// boxes, the track modes with their descriptions, the cursor read-out and the
// reset and print buttons.
class SeriesGraphWindow : public QWidget
{
    Q_OBJECT

public:
    enum class RangeBox { XMin, XMax, YMin, YMax };

    GraphControl *graph() const { return m_graph; }
    QDoubleSpinBox *rangeBox(RangeBox box) const { return m_boxes[std::size_t(box)]; }
    QComboBox *trackModeList() const { return m_combo; }
    QString description() const;
    QString xPositionText() const;
    QString yPositionText() const;

    // Chooses a track mode as a click on the list does.
    void chooseTrackMode(GraphControl::TrackMode mode);
    virtual void resetScale() = 0;
    virtual void printGraph() = 0;

    static QString trackModeDescription(GraphControl::TrackMode mode, const QString &cursorUnit);

protected:
    explicit SeriesGraphWindow(const QString &yUnitName, const QString &yUnitText);

    // Sets one box without running the range handling.
    void setBoxQuietly(RangeBox box, double value);
    void applyBoxesToAxes();
    // True while box changes must not reach the axes.
    virtual bool rangeSyncSuppressed() const { return false; }
    virtual QString cursorDescriptionUnit() const = 0;
    virtual void showCursor() = 0;
    virtual void hideCursor() = 0;

    QGroupBox *graphicFrame() const { return m_frame; }
    QLabel *yUnitLabel() const { return m_yUnit; }
    QVBoxLayout *leftColumn() const { return m_leftColumn; }
    // Puts the window in its print look (white, controls hidden) or back; a
    // print width also widens the window and moves the graph in from the
    // edges for the page.
    void setPrintLayout(bool printing, std::optional<int> printWidthPx);

    static int pixelsFromTwips(int twips) { return twips / 15; }

private:
    void onBoxChanged(RangeBox box, double value);
    void onCursorMoved(int index, double x, double y);

    GraphControl *m_graph = nullptr;
    QGroupBox *m_frame = nullptr;
    std::array<QDoubleSpinBox *, 4> m_boxes {};
    std::array<double, 4> m_previous {};
    QLabel *m_yUnit = nullptr;
    QComboBox *m_combo = nullptr;
    QPlainTextEdit *m_description = nullptr;
    ValueBoard *m_xPosition = nullptr;
    ValueBoard *m_yPosition = nullptr;
    QPushButton *m_reset = nullptr;
    QPushButton *m_print = nullptr;
    QVBoxLayout *m_leftColumn = nullptr;
    QColor m_screenGraphBackground;
};

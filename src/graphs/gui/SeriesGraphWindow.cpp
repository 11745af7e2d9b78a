#include "SeriesGraphWindow.h"
#include "widgets/Shortcuts.h"
#include "widgets/ValueBoard.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

// Without an accessible name of its own a label is spoken by its text, which
// stays true when the text changes (the unit of the Y axis).
QLabel *namedLabel(const char *name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QDoubleSpinBox *rangeSpinBox(const QString &name, const QString &accessible, int decimals,
                             QWidget *parent)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessible);
    box->setLocale(QLocale::c());
    box->setDecimals(decimals);
    box->setRange(-1e9, 1e9);
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    // A value is taken when typing ends, so that a half-typed number never
    // reaches the graph.
    box->setKeyboardTracking(false);
    box->setAlignment(Qt::AlignRight);
    return box;
}

} // namespace

QString SeriesGraphWindow::trackModeDescription(GraphControl::TrackMode mode,
                                                const QString &cursorUnit)
{
    using Mode = GraphControl::TrackMode;
    switch (mode) {
    case Mode::Normal:
        return QStringLiteral("Normal mode");
    case Mode::CursorCoordinates:
        return QStringLiteral(
                   "Drag the cursor with your mouse to get X (Count) and Y (%1) position.")
            .arg(cursorUnit);
    case Mode::PanXY:
        return QStringLiteral("Click anywhere on the plot area and drag to pan the graph both "
                              "horizontally and vertically.");
    case Mode::PanX:
        return QStringLiteral(
            "Click anywhere on the plot area and drag to pan the graph horizontally.");
    case Mode::PanY:
        return QStringLiteral(
            "Click anywhere on the plot area and drag to pan the graph vertically.");
    case Mode::ZoomXY:
        return QStringLiteral(
            "Select a region on the graph to zoom both horizontally and vertically.");
    case Mode::ZoomX:
        return QStringLiteral("Select a region on the graph to zoom horizontally.");
    case Mode::ZoomY:
        return QStringLiteral("Select a region on the graph to zoom vertically.");
    }
    return {};
}

SeriesGraphWindow::SeriesGraphWindow(const QString &yUnitName, const QString &yUnitText)
    : QWidget(nullptr, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);

    m_graph = new GraphControl(this);
    m_graph->setObjectName(QStringLiteral("CWGraph1"));
    m_graph->setAccessibleName(tr("Graph"));
    m_graph->setAxisCaption(GraphControl::Axis::X, QStringLiteral("No.s"));
    m_graph->setAxisLabelFormat(GraphControl::Axis::X, GraphControl::LabelFormat::Whole);
    m_graph->setPlotBackground(QColor(250, 250, 240));
    m_graph->setMinimumSize(300, 250);
    connect(m_graph, &GraphControl::cursorMoved, this, &SeriesGraphWindow::onCursorMoved);

    m_frame = new QGroupBox(QStringLiteral("Graphic Plot"), this);
    m_frame->setObjectName(QStringLiteral("FrmGraphic"));
    m_frame->setAccessibleName(m_frame->title());
    m_frame->setFixedWidth(230);
    auto *frameLayout = new QVBoxLayout(m_frame);

    auto *rangeFrame = new QGroupBox(QStringLiteral("Graph Range"), m_frame);
    rangeFrame->setObjectName(QStringLiteral("SSFrame4"));
    rangeFrame->setAccessibleName(rangeFrame->title());
    auto *rangeGrid = new QGridLayout(rangeFrame);
    rangeGrid->addWidget(namedLabel("Label5", QStringLiteral("Max"), rangeFrame), 0, 1,
                         Qt::AlignHCenter);
    rangeGrid->addWidget(namedLabel("Label6", QStringLiteral("Min"), rangeFrame), 0, 2,
                         Qt::AlignHCenter);
    rangeGrid->addWidget(namedLabel("Label3", QStringLiteral("No.s"), rangeFrame), 1, 0);
    m_yUnit = namedLabel(yUnitName.toLatin1().constData(), yUnitText, rangeFrame);
    rangeGrid->addWidget(m_yUnit, 2, 0);
    m_boxes[std::size_t(RangeBox::XMax)]
        = rangeSpinBox(QStringLiteral("AxisMax(1)"), QStringLiteral("No.s Max"), 0, rangeFrame);
    m_boxes[std::size_t(RangeBox::XMin)]
        = rangeSpinBox(QStringLiteral("AxisMin(1)"), QStringLiteral("No.s Min"), 0, rangeFrame);
    m_boxes[std::size_t(RangeBox::YMax)]
        = rangeSpinBox(QStringLiteral("AxisMax(2)"), QStringLiteral("dB Max"), 1, rangeFrame);
    m_boxes[std::size_t(RangeBox::YMin)]
        = rangeSpinBox(QStringLiteral("AxisMin(2)"), QStringLiteral("dB Min"), 1, rangeFrame);
    rangeGrid->addWidget(rangeBox(RangeBox::XMax), 1, 1);
    rangeGrid->addWidget(rangeBox(RangeBox::XMin), 1, 2);
    rangeGrid->addWidget(rangeBox(RangeBox::YMax), 2, 1);
    rangeGrid->addWidget(rangeBox(RangeBox::YMin), 2, 2);
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        const auto box = RangeBox(i);
        connect(m_boxes[i], &QDoubleSpinBox::valueChanged, this,
                [this, box](double value) { onBoxChanged(box, value); });
    }
    frameLayout->addWidget(rangeFrame);

    auto *trackFrame = new QGroupBox(QStringLiteral("Track Mode"), m_frame);
    trackFrame->setObjectName(QStringLiteral("SSFrame3"));
    trackFrame->setAccessibleName(trackFrame->title());
    auto *trackLayout = new QVBoxLayout(trackFrame);
    m_combo = new QComboBox(trackFrame);
    m_combo->setObjectName(QStringLiteral("Combo1"));
    m_combo->setAccessibleName(QStringLiteral("Track Mode"));
    m_combo->addItems(GraphControl::trackModeNames());
    m_description = new QPlainTextEdit(trackFrame);
    m_description->setObjectName(QStringLiteral("txtDescription"));
    m_description->setAccessibleName(QStringLiteral("Track Mode description"));
    m_description->setReadOnly(true);
    m_description->setFixedHeight(80);
    trackLayout->addWidget(m_combo);
    trackLayout->addWidget(m_description);
    frameLayout->addWidget(trackFrame);

    auto *cursorFrame = new QGroupBox(QStringLiteral("Cursor Information"), m_frame);
    cursorFrame->setObjectName(QStringLiteral("SSFrame2"));
    cursorFrame->setAccessibleName(cursorFrame->title());
    auto *cursorGrid = new QGridLayout(cursorFrame);
    cursorGrid->addWidget(namedLabel("Label1", QStringLiteral("No.s ( X ) :"), cursorFrame), 0, 0);
    cursorGrid->addWidget(namedLabel("Label2", QStringLiteral("Value ( Y ) :"), cursorFrame), 1, 0);
    m_xPosition = new ValueBoard(QStringLiteral("No.s ( X )"), cursorFrame);
    m_xPosition->setObjectName(QStringLiteral("XPosition"));
    m_yPosition = new ValueBoard(QStringLiteral("Value ( Y )"), cursorFrame);
    m_yPosition->setObjectName(QStringLiteral("YPosition"));
    cursorGrid->addWidget(m_xPosition, 0, 1);
    cursorGrid->addWidget(m_yPosition, 1, 1);
    frameLayout->addWidget(cursorFrame);

    m_reset = new QPushButton(QStringLiteral("Reset Scale"), m_frame);
    m_reset->setObjectName(QStringLiteral("CmdReset"));
    m_reset->setAccessibleName(m_reset->text());
    m_print = new QPushButton(QStringLiteral("Print Graph"), m_frame);
    m_print->setObjectName(QStringLiteral("CmdPrint"));
    m_print->setAccessibleName(m_print->text());
    frameLayout->addWidget(m_reset);
    frameLayout->addWidget(m_print);
    frameLayout->addStretch(1);
    connect(m_reset, &QPushButton::clicked, this, [this] { resetScale(); });
    connect(m_print, &QPushButton::clicked, this, [this] { printGraph(); });
    Shortcuts::give(m_print, QKeySequence::Print);

    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(pixelsFromTwips(120), pixelsFromTwips(120), 8, 8);
    m_leftColumn = new QVBoxLayout;
    m_leftColumn->addWidget(m_graph, 1);
    outer->addLayout(m_leftColumn, 1);
    outer->addWidget(m_frame);

    connect(m_combo, &QComboBox::activated, this,
            [this](int index) { chooseTrackMode(GraphControl::TrackMode(index)); });

    resize(pixelsFromTwips(10650), pixelsFromTwips(8865));
}

QString SeriesGraphWindow::description() const
{
    return m_description->toPlainText();
}

QString SeriesGraphWindow::xPositionText() const
{
    return m_xPosition->text();
}

QString SeriesGraphWindow::yPositionText() const
{
    return m_yPosition->text();
}

void SeriesGraphWindow::chooseTrackMode(GraphControl::TrackMode mode)
{
    {
        const QSignalBlocker block(m_combo);
        m_combo->setCurrentIndex(int(mode));
    }
    m_graph->setTrackMode(mode);
    m_description->setPlainText(trackModeDescription(mode, cursorDescriptionUnit()));
    if (mode == GraphControl::TrackMode::CursorCoordinates) {
        showCursor();
        m_graph->setCursorPosition((m_graph->axisMinimum(GraphControl::Axis::X)
                                    + m_graph->axisMaximum(GraphControl::Axis::X))
                                       / 2.0,
                                   (m_graph->axisMinimum(GraphControl::Axis::Y)
                                    + m_graph->axisMaximum(GraphControl::Axis::Y))
                                       / 2.0);
    } else {
        hideCursor();
    }
}

void SeriesGraphWindow::setBoxQuietly(RangeBox box, double value)
{
    QDoubleSpinBox *spin = rangeBox(box);
    const QSignalBlocker block(spin);
    spin->setValue(value);
    m_previous[std::size_t(box)] = spin->value();
}

void SeriesGraphWindow::applyBoxesToAxes()
{
    m_graph->setAxisRange(GraphControl::Axis::X, rangeBox(RangeBox::XMin)->value(),
                          rangeBox(RangeBox::XMax)->value());
    m_graph->setAxisRange(GraphControl::Axis::Y, rangeBox(RangeBox::YMin)->value(),
                          rangeBox(RangeBox::YMax)->value());
}

void SeriesGraphWindow::onBoxChanged(RangeBox box, double value)
{
    if (rangeSyncSuppressed()) {
        m_previous[std::size_t(box)] = value;
        return;
    }
    const bool isX = box == RangeBox::XMin || box == RangeBox::XMax;
    const double min = rangeBox(isX ? RangeBox::XMin : RangeBox::YMin)->value();
    const double max = rangeBox(isX ? RangeBox::XMax : RangeBox::YMax)->value();
    if (min >= max) {
        // A minimum not below its maximum would leave the axis without a
        // range: the box takes back the value it had.
        setBoxQuietly(box, m_previous[std::size_t(box)]);
        return;
    }
    m_previous[std::size_t(box)] = value;
    applyBoxesToAxes();
}

void SeriesGraphWindow::onCursorMoved(int, double x, double y)
{
    m_xPosition->setText(QString::number(x, 'g', 10));
    m_yPosition->setText(QString::number(y, 'f', 1));
}

void SeriesGraphWindow::setPrintLayout(bool printing, std::optional<int> printWidthPx)
{
    if (printing) {
        m_screenGraphBackground = m_graph->plotBackground();
        setBackgroundRole(QPalette::Base);
        m_graph->setPlotBackground(Qt::white);
        m_frame->hide();
        if (printWidthPx) {
            resize(*printWidthPx, height());
            layout()->setContentsMargins(pixelsFromTwips(720), pixelsFromTwips(720), 8, 8);
        }
    } else {
        if (printWidthPx) {
            layout()->setContentsMargins(pixelsFromTwips(120), pixelsFromTwips(120), 8, 8);
            resize(pixelsFromTwips(10650), pixelsFromTwips(8865));
        }
        setBackgroundRole(QPalette::Button);
        m_frame->show();
        m_graph->setPlotBackground(m_screenGraphBackground);
    }
    layout()->activate();
    m_graph->redraw(true);
}

#include "ClassHistogramWindow.h"
#include "widgets/Shortcuts.h"

#include <QComboBox>
#include <QFrame>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QToolBar>
#include <QVBoxLayout>

ClassHistogramWindow::ClassHistogramWindow(const QString &graphName, const QString &resetItemText)
    : QWidget(nullptr, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    setWindowTitle(QStringLiteral("Histogram"));

    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolBar->setAccessibleName(QStringLiteral("Tool bar"));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);

    m_graph = new GraphControl(this);
    m_graph->setObjectName(graphName);
    m_graph->setAccessibleName(QStringLiteral("Histogram graph"));
    m_graph->setPlotStyle(GraphControl::PlotStyle::Bars);
    m_graph->setAxisCaption(GraphControl::Axis::X, QStringLiteral("dB"));
    m_graph->setAxisCaption(GraphControl::Axis::Y, QStringLiteral("Frequency (Times)"));
    m_graph->setAxisLabelFormat(GraphControl::Axis::Y, GraphControl::LabelFormat::Whole);
    m_graph->setPlotBackground(QColor(250, 250, 240));

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(m_toolBar);
    m_layout->addWidget(m_graph, 1);

    // The mode panel floats over the graph's top-left corner, as a drop-down
    // the tool bar opens.
    m_picture = new QFrame(this);
    m_picture->setObjectName(QStringLiteral("Picture1"));
    m_picture->setAccessibleName(QStringLiteral("Track Mode"));
    m_picture->setFrameShape(QFrame::StyledPanel);
    m_picture->setAutoFillBackground(true);
    auto *pictureLayout = new QVBoxLayout(m_picture);
    m_combo = new QComboBox(m_picture);
    m_combo->setObjectName(QStringLiteral("Combo1"));
    m_combo->setAccessibleName(QStringLiteral("Track Mode"));
    m_combo->addItems({ QStringLiteral("Normal"), QStringLiteral("PanXY"), QStringLiteral("PanX"),
                        QStringLiteral("PanY"), QStringLiteral("ZoomXY"), QStringLiteral("ZoomX"),
                        QStringLiteral("ZoomY"), resetItemText });
    m_description = new QPlainTextEdit(m_picture);
    m_description->setObjectName(QStringLiteral("txtDescription"));
    m_description->setAccessibleName(QStringLiteral("Track Mode description"));
    m_description->setReadOnly(true);
    m_description->setFixedHeight(70);
    pictureLayout->addWidget(m_combo);
    pictureLayout->addWidget(m_description);
    m_picture->setFixedWidth(260);
    connect(m_combo, &QComboBox::activated, this, &ClassHistogramWindow::chooseItem);
}

QString ClassHistogramWindow::description() const
{
    return m_description->toPlainText();
}

GraphControl::TrackMode ClassHistogramWindow::trackModeOfItem(int item)
{
    // The list has no cursor mode: items from 1 on sit one place earlier.
    return item <= 0 ? GraphControl::TrackMode::Normal : GraphControl::TrackMode(item + 1);
}

void ClassHistogramWindow::chooseItem(int item)
{
    {
        const QSignalBlocker block(m_combo);
        m_combo->setCurrentIndex(item);
    }
    if (item == ResetItem) {
        resetScale();
    } else if (item >= 0 && item < ResetItem) {
        m_graph->setTrackMode(trackModeOfItem(item));
        m_description->setPlainText(itemDescription(item));
    }
    m_picture->hide();
}

void ClassHistogramWindow::setClassWidth(ClassWidth width)
{
    m_graph->setAxisLabelFormat(GraphControl::Axis::X,
                                width == ClassWidth::Tenth ? GraphControl::LabelFormat::TenthsAsDb
                                                           : GraphControl::LabelFormat::Whole);
}

QAction *ClassHistogramWindow::addToolButton(const QString &text, const QString &toolTip)
{
    QAction *action = m_toolBar->addAction(text);
    action->setToolTip(toolTip);
    action->setObjectName(text);
    if (QWidget *button = m_toolBar->widgetForAction(action))
        button->setAccessibleName(toolTip);
    if (text == QLatin1String("Print"))
        Shortcuts::give(action, QKeySequence::Print, m_toolBar->widgetForAction(action));
    return action;
}

void ClassHistogramWindow::placeModePanel()
{
    m_picture->adjustSize();
    m_picture->move(m_graph->x() + 70, m_graph->y() + 8);
    m_picture->raise();
}

void ClassHistogramWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeModePanel();
}

// The series window's widgets: its tool bars, boards, plots and tables, and
// what each does.
#include "SeriesWindow.h"
#include "SeriesWindowParts.h"
#include "analysis/Wording.h"
#include "analysis/output/Outputs.h"
#include "analysis/records/StationFolder.h"
#include "analysis/records/Weather.h"
#include "analysis/series/SeriesDocument.h"

#include "OpenDataFile.h"
#include "ReportCommand.h"
#include "analysis/records/CivilTime.h"
#include "analysis/report/Report.h"
#include "recording/FormatTenths.h"
#include "widgets/Dialogs.h"
#include "widgets/ValueBoard.h"

#include "widgets/QCustomPlotInclude.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

using namespace SeriesWindowParts;

void SeriesWindow::build()
{
    auto *layout = new QVBoxLayout(this);
    buildToolBar(layout);
    buildAssessmentBar(layout);
    buildBoards(layout);
    buildPlots(layout);
    buildTables(layout);
}

// The tool bar: the interval, the limits, the view, exports, exclusions
// and the report.
void SeriesWindow::buildToolBar(QVBoxLayout *layout)
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("SeriesToolBar"));
    m_toolBar->setAccessibleName(QStringLiteral("Tool bar"));
    layout->addWidget(m_toolBar);

    auto *lengthLabel = new QLabel(QStringLiteral("Interval"), this);
    m_length = new QComboBox(this);
    m_length->setObjectName(QStringLiteral("IntervalLength"));
    m_length->setAccessibleName(QStringLiteral("Interval length"));
    lengthLabel->setBuddy(m_length);
    for (const Length &l : Lengths) {
        m_length->addItem(QLatin1String(l.text), qlonglong(l.seconds));
        if (l.seconds == m_document->intervalLength())
            m_length->setCurrentIndex(m_length->count() - 1);
    }
    m_toolBar->addWidget(lengthLabel);
    m_toolBar->addWidget(m_length);
    m_toolBar->addSeparator();
    auto *limitsLabel = new QLabel(QStringLiteral("Limits"), this);
    m_limitsEdit = new QLineEdit(this);
    m_limitsEdit->setObjectName(QStringLiteral("Limits"));
    m_limitsEdit->setAccessibleName(QStringLiteral("Limits"));
    m_limitsEdit->setPlaceholderText(QStringLiteral("75, or 07-19=55,19-23=50,23-07=45"));
    m_limitsEdit->setToolTip(QStringLiteral("A level for the whole day, or periods of the day "
                                            "with their limits, as vorn-monitor --limit takes "
                                            "them"));
    m_limitsEdit->setMinimumWidth(260);
    limitsLabel->setBuddy(m_limitsEdit);
    if (m_document->limits().schedule)
        m_limitsEdit->setText(m_document->limits().schedule->text());
    m_limitsSource = new QLabel(this);
    m_limitsSource->setObjectName(QStringLiteral("LimitsSource"));
    if (!m_document->limits().table.empty()) {
        m_limitsEdit->setEnabled(false);
        m_limitsSource->setText(QStringLiteral("from the station's interval tables"));
    }
    m_toolBar->addWidget(limitsLabel);
    m_toolBar->addWidget(m_limitsEdit);
    m_toolBar->addWidget(m_limitsSource);
    m_toolBar->addSeparator();
    QAction *all = m_toolBar->addAction(QStringLiteral("Whole Series"));
    all->setObjectName(QStringLiteral("WholeSeries"));
    all->setToolTip(QStringLiteral("Show the whole series (Home)"));
    connect(all, &QAction::triggered, this, &SeriesWindow::showAll);
    QAction *intervalsCsvAction = m_toolBar->addAction(QStringLiteral("Export Intervals…"));
    intervalsCsvAction->setObjectName(QStringLiteral("ExportIntervals"));
    connect(intervalsCsvAction, &QAction::triggered, this,
            [this] { exportCsv(QStringLiteral("intervals")); });
    QAction *daysCsvAction = m_toolBar->addAction(QStringLiteral("Export Days…"));
    daysCsvAction->setObjectName(QStringLiteral("ExportDays"));
    connect(daysCsvAction, &QAction::triggered, this,
            [this] { exportCsv(QStringLiteral("days")); });
    m_toolBar->addSeparator();
    m_excludeAction = m_toolBar->addAction(QStringLiteral("Exclude…"));
    m_excludeAction->setObjectName(QStringLiteral("Exclude"));
    m_excludeAction->setToolTip(QStringLiteral(
        "Take a span out of every figure (rain, wind, extraneous sound, maintenance, other): "
        "Shift+drag in the graph to choose it, or type its start and end"));
    connect(m_excludeAction, &QAction::triggered, this, &SeriesWindow::exclude);
    m_saveExclusionsAction = m_toolBar->addAction(QStringLiteral("Save Exclusions"));
    m_saveExclusionsAction->setObjectName(QStringLiteral("SaveExclusions"));
    m_saveExclusionsAction->setEnabled(false);
    connect(m_saveExclusionsAction, &QAction::triggered, this, &SeriesWindow::saveExclusions);
    for (QAction *a : m_toolBar->actions())
        if (QWidget *w = m_toolBar->widgetForAction(a); w && !a->text().isEmpty())
            w->setAccessibleName(a->text());

    m_report = new ReportCommand(this, m_toolBar, [this] {
        ReportSource source;
        source.name = windowTitle();
        return source;
    });
    m_report->setBuilder(
        [this](const ReportOptions &given) { return m_document->reportJob(given); });
    // Every action by keyboard: a shortcut each (in its tip), and its
    // button a Tab stop.
    const std::pair<const char *, QKeySequence> keys[] = {
        { "WholeSeries", QKeySequence(Qt::CTRL | Qt::Key_0) },
        { "ExportIntervals", QKeySequence(Qt::CTRL | Qt::Key_I) },
        { "ExportDays", QKeySequence(Qt::CTRL | Qt::Key_D) },
        { "Exclude", QKeySequence(Qt::CTRL | Qt::Key_E) },
        { "SaveExclusions", QKeySequence(Qt::CTRL | Qt::Key_S) },
        { "Report", QKeySequence(Qt::CTRL | Qt::Key_R) },
    };
    for (QAction *a : m_toolBar->actions()) {
        for (const auto &[name, key] : keys) {
            if (a->objectName() != QLatin1String(name))
                continue;
            a->setShortcut(key);
            a->setShortcutContext(Qt::WindowShortcut);
            const QString tip = a->toolTip().isEmpty() ? a->text() : a->toolTip();
            a->setToolTip(tip
                          + QStringLiteral(" (%1)").arg(key.toString(QKeySequence::NativeText)));
        }
        if (QWidget *button = m_toolBar->widgetForAction(a))
            button->setFocusPolicy(Qt::TabFocus);
    }

    connect(m_length, &QComboBox::activated, this,
            [this](int index) { setIntervalLength(m_length->itemData(index).toLongLong()); });
    connect(m_limitsEdit, &QLineEdit::editingFinished, this, [this] {
        const QString shown
            = m_document->limits().schedule ? m_document->limits().schedule->text() : QString();
        if (m_limitsEdit->text().trimmed() != shown)
            setLimitsText(m_limitsEdit->text());
    });
}

// What an assessment asks for: events, period limits, the weather.
void SeriesWindow::buildAssessmentBar(QVBoxLayout *layout)
{
    // What an assessment asks for: events, period limits, the weather.
    m_assessBar = new QToolBar(this);
    m_assessBar->setObjectName(QStringLiteral("AssessmentToolBar"));
    m_assessBar->setAccessibleName(QStringLiteral("Assessment tool bar"));
    layout->addWidget(m_assessBar);
    const auto field = [this](const QString &label, const QString &name, const QString &hint,
                              const QString &tip, int width) {
        auto *caption = new QLabel(label, this);
        auto *edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setAccessibleName(QString(label).remove(QLatin1Char('&')));
        edit->setPlaceholderText(hint);
        edit->setToolTip(tip);
        edit->setMinimumWidth(width);
        caption->setBuddy(edit);
        m_assessBar->addWidget(caption);
        m_assessBar->addWidget(edit);
        return edit;
    };
    m_eventsEdit = field(QStringLiteral("E&vents above"), QStringLiteral("EventThreshold"),
                         QStringLiteral("dB, e.g. 65"),
                         QStringLiteral("Noise events: runs of readings above this level, as "
                                        "vorn-stats --events finds them"),
                         90);
    m_assessBar->addSeparator();
    m_periodLimitsEdit = field(QStringLiteral("&Period limits"), QStringLiteral("PeriodLimits"),
                               QStringLiteral("day=55,evening=50,night=45"),
                               QStringLiteral("The limit of each period of the day, for the "
                                              "verdict per period (Assessment tab)"),
                               200);
    m_assessBar->addSeparator();
    m_weatherRulesEdit = field(QStringLiteral("&Weather rules"), QStringLiteral("WeatherRules"),
                               QStringLiteral("wind>5,rain>0"),
                               QStringLiteral("When the weather takes readings out: mean wind, "
                                              "gust (m/s) or rain (mm) over a value; \"none\" "
                                              "for no rules"),
                               150);
    QAction *importWeatherAction = m_assessBar->addAction(QStringLiteral("Import Weather…"));
    importWeatherAction->setObjectName(QStringLiteral("ImportWeather"));
    importWeatherAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    importWeatherAction->setShortcutContext(Qt::WindowShortcut);
    importWeatherAction->setToolTip(
        QStringLiteral("Read a weather file (time,wind_speed,wind_gust,wind_direction,rain,"
                       "temperature) for this series (%1)")
            .arg(importWeatherAction->shortcut().toString(QKeySequence::NativeText)));
    if (QWidget *button = m_assessBar->widgetForAction(importWeatherAction)) {
        button->setAccessibleName(QStringLiteral("Import Weather"));
        button->setFocusPolicy(Qt::TabFocus);
    }
    connect(importWeatherAction, &QAction::triggered, this, [this] {
        const QString path = dialogs().openFileName(
            this, QStringLiteral("Weather (*.csv)|*.csv|All Files (*.*)|*.*|"));
        if (!path.isEmpty())
            importWeather(path);
    });
    const auto onFinished
        = [this](QLineEdit *edit, QString *shown, bool (SeriesWindow::*apply)(const QString &)) {
              connect(edit, &QLineEdit::editingFinished, this, [this, edit, shown, apply] {
                  if (edit->text().trimmed() != *shown)
                      (this->*apply)(edit->text());
              });
          };
    onFinished(m_eventsEdit, &m_eventsShown, &SeriesWindow::setEventThreshold);
    onFinished(m_periodLimitsEdit, &m_periodLimitsShown, &SeriesWindow::setPeriodLimitsText);
    onFinished(m_weatherRulesEdit, &m_weatherRulesShown, &SeriesWindow::setWeatherRulesText);
}

// The series' figures on boards, each readable by a screen reader.
void SeriesWindow::buildBoards(QVBoxLayout *layout)
{
    // The series' figures on boards, each readable by a screen reader.
    auto *boards = new QHBoxLayout;
    for (const QString &caption :
         { QStringLiteral("Leq"), QStringLiteral("Lmax"), QStringLiteral("Lmin"),
           QStringLiteral("L10"), QStringLiteral("L50"), QStringLiteral("L90"),
           QStringLiteral("Readings"), QStringLiteral("Duration"),
           QStringLiteral("Calibration") }) {
        auto *cell = new QVBoxLayout;
        auto *title = new QLabel(caption, this);
        title->setStyleSheet(QStringLiteral("color: #5F6B7A;"));
        auto *b = new ValueBoard(caption, this);
        b->setObjectName(QStringLiteral("Board") + caption);
        b->setFrameShape(QFrame::StyledPanel);
        b->setWordWrap(caption == QLatin1String("Calibration"));
        title->setBuddy(b);
        cell->addWidget(title);
        cell->addWidget(b);
        boards->addLayout(cell, caption == QLatin1String("Calibration") ? 3 : 1);
        m_boards.push_back(b);
    }
    layout->addLayout(boards);
}

// The time history with its interval bars, and the weather under it on
// the same time axis.
void SeriesWindow::buildPlots(QVBoxLayout *layout)
{
    m_plot = new QCustomPlot(this);
    m_plot->setObjectName(QStringLiteral("SeriesGraph"));
    m_plot->setAccessibleName(QStringLiteral("Time history"));
    m_plot->setFocusPolicy(Qt::StrongFocus);
    m_plot->setMinimumHeight(260);
    m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    m_plot->axisRect()->setRangeDrag(Qt::Horizontal);
    m_plot->axisRect()->setRangeZoom(Qt::Horizontal);
    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    // Civil seconds read as UTC are the stamps' own wall-clock time.
    ticker->setDateTimeSpec(Qt::UTC);
    ticker->setDateTimeFormat(QStringLiteral("yyyy-MM-dd\nhh:mm:ss"));
    m_plot->xAxis->setTicker(ticker);
    m_plot->yAxis->setLabel(QStringLiteral("dB"));
    m_plot->yAxis->setRange(20, 110);
    m_okBars = new QCPBars(m_plot->xAxis, m_plot->yAxis);
    m_okBars->setName(QStringLiteral("interval Leq"));
    m_okBars->setPen(Qt::NoPen);
    m_okBars->setBrush(OkBar);
    m_okBars->setWidthType(QCPBars::wtPlotCoords);
    m_overBars = new QCPBars(m_plot->xAxis, m_plot->yAxis);
    m_overBars->setName(QStringLiteral("interval Leq over its limit"));
    m_overBars->setPen(Qt::NoPen);
    m_overBars->setBrush(OverBar);
    m_overBars->setWidthType(QCPBars::wtPlotCoords);
    m_traceGraph = m_plot->addGraph();
    m_traceGraph->setName(QStringLiteral("level"));
    m_traceGraph->setAdaptiveSampling(false);
    m_traceGraph->setPen(QPen(TraceColour, 1));
    m_limitGraph = m_plot->addGraph();
    m_limitGraph->setName(QStringLiteral("limit"));
    m_limitGraph->setLineStyle(QCPGraph::lsStepLeft);
    m_limitGraph->setPen(QPen(LimitColour, 2, Qt::DashLine));
    m_eventGraph = m_plot->addGraph();
    m_eventGraph->setName(QStringLiteral("event"));
    m_eventGraph->setLineStyle(QCPGraph::lsImpulse);
    m_eventGraph->setPen(QPen(EventColour, 1));
    m_eventGraph->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssTriangleInverted, EventColour, EventColour, 8));
    m_plot->legend->setVisible(true);
    m_plot->legend->setFont(font());
    m_plot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
    layout->addWidget(m_plot, 3);
    // The trace has one column per pixel: a new width draws it anew.
    m_plot->installEventFilter(this);
    connect(m_plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
            [this](const QCPRange &range) {
                if (!m_drawing)
                    QTimer::singleShot(0, this,
                                       [this, range] { showRange(range.lower, range.upper); });
            });
    m_plot->setToolTip(QStringLiteral("Drag to move, wheel to zoom, Shift+drag to choose a span "
                                      "to exclude"));
    m_selectionItem = new QCPItemRect(m_plot);
    m_selectionItem->setLayer(QStringLiteral("grid"));
    m_selectionItem->setClipToAxisRect(true);
    m_selectionItem->topLeft->setTypeY(QCPItemPosition::ptAxisRectRatio);
    m_selectionItem->bottomRight->setTypeY(QCPItemPosition::ptAxisRectRatio);
    m_selectionItem->setPen(QPen(QColor(0x1E, 0x86, 0x8A), 1, Qt::DashLine));
    m_selectionItem->setBrush(SelectionColour);
    m_selectionItem->setSelectable(false);
    m_selectionItem->setVisible(false);
    connect(m_plot, &QCustomPlot::mousePress, this, [this](QMouseEvent *event) {
        if (event->button() != Qt::LeftButton || !(event->modifiers() & Qt::ShiftModifier))
            return;
        // A Shift+drag chooses a span instead of moving the view.
        m_plot->setInteraction(QCP::iRangeDrag, false);
        m_selecting = m_plot->xAxis->pixelToCoord(event->position().x());
        setSelection(*m_selecting, *m_selecting);
    });
    connect(m_plot, &QCustomPlot::mouseMove, this, [this](QMouseEvent *event) {
        const double at = m_plot->xAxis->pixelToCoord(event->position().x());
        showCursor(at);
        if (m_selecting)
            setSelection(*m_selecting, at);
    });
    connect(m_plot, &QCustomPlot::mouseRelease, this, [this](QMouseEvent *event) {
        if (!m_selecting)
            return;
        setSelection(*m_selecting, m_plot->xAxis->pixelToCoord(event->position().x()));
        m_selecting.reset();
        m_plot->setInteraction(QCP::iRangeDrag, true);
        if (m_selection && m_selection->second - m_selection->first < 1.0) {
            m_selection.reset();
            m_selectionItem->setVisible(false);
        }
    });

    // Wind and rain on the same time axis, when the series has weather.
    m_weatherPlot = new QCustomPlot(this);
    m_weatherPlot->setObjectName(QStringLiteral("WeatherGraph"));
    m_weatherPlot->setAccessibleName(QStringLiteral("Wind and rain"));
    m_weatherPlot->setMinimumHeight(110);
    m_weatherPlot->setMaximumHeight(160);
    QSharedPointer<QCPAxisTickerDateTime> weatherTicker(new QCPAxisTickerDateTime);
    weatherTicker->setDateTimeSpec(Qt::UTC);
    weatherTicker->setDateTimeFormat(QStringLiteral("yyyy-MM-dd\nhh:mm"));
    m_weatherPlot->xAxis->setTicker(weatherTicker);
    m_weatherPlot->yAxis->setLabel(QStringLiteral("m/s"));
    m_weatherPlot->yAxis2->setVisible(true);
    m_weatherPlot->yAxis2->setLabel(QStringLiteral("mm"));
    auto *rainBars = new QCPBars(m_weatherPlot->xAxis, m_weatherPlot->yAxis2);
    rainBars->setName(QStringLiteral("rain"));
    rainBars->setPen(Qt::NoPen);
    rainBars->setBrush(QColor(0x3C, 0x8D, 0xBC, 140));
    rainBars->setWidthType(QCPBars::wtPlotCoords);
    QCPGraph *wind = m_weatherPlot->addGraph();
    wind->setName(QStringLiteral("mean wind"));
    wind->setLineStyle(QCPGraph::lsStepRight);
    wind->setPen(QPen(TraceColour, 1.5));
    QCPGraph *gust = m_weatherPlot->addGraph();
    gust->setName(QStringLiteral("gust"));
    gust->setLineStyle(QCPGraph::lsStepRight);
    gust->setPen(QPen(EventColour, 1, Qt::DotLine));
    m_weatherPlot->legend->setVisible(true);
    m_weatherPlot->legend->setFont(font());
    m_weatherPlot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
    m_weatherPlot->setVisible(false);
    layout->addWidget(m_weatherPlot, 1);
    // The two share a time axis: their plot areas start and end at one x.
    for (QCustomPlot *plot : { m_plot, m_weatherPlot }) {
        plot->axisRect()->setAutoMargins(QCP::msTop | QCP::msBottom);
        plot->axisRect()->setMargins(QMargins(64, 0, 52, 0));
    }
    m_noiseGraph = m_plot->addGraph();
    m_noiseGraph->setName(QStringLiteral("noise event"));
    m_noiseGraph->setLineStyle(QCPGraph::lsNone);
    m_noiseGraph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, LimitColour, 5));
}

// The cursor's board, the notes, and the tables in their tabs.
void SeriesWindow::buildTables(QVBoxLayout *layout)
{
    m_cursor = new ValueBoard(QStringLiteral("Cursor"), this);
    m_cursor->setObjectName(QStringLiteral("BoardCursor"));
    layout->addWidget(m_cursor);
    m_notes = new QLabel(this);
    m_notes->setObjectName(QStringLiteral("SeriesNotes"));
    m_notes->setWordWrap(true);
    m_notes->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(m_notes);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SeriesTables"));
    m_intervals
        = makeTable(QStringLiteral("Intervals"),
                    { QStringLiteral("Start"), QStringLiteral("End"), QStringLiteral("Readings"),
                      QStringLiteral("Coverage"), QStringLiteral("Leq"), QStringLiteral("Lmax"),
                      QStringLiteral("Lmin"), QStringLiteral("L10"), QStringLiteral("L50"),
                      QStringLiteral("L90"), QStringLiteral("Limit"), QStringLiteral("State") },
                    this);
    m_days = makeTable(QStringLiteral("Days"),
                       { QStringLiteral("Day from 07:00"), QStringLiteral("Ld"),
                         QStringLiteral("Le"), QStringLiteral("Ln"), QStringLiteral("Lden"),
                         QStringLiteral("Day covered"), QStringLiteral("Evening covered"),
                         QStringLiteral("Night covered"), QStringLiteral("Partial") },
                       this);
    m_events = makeTable(
        QStringLiteral("Events"),
        { QStringLiteral("Time"), QStringLiteral("Event"), QStringLiteral("Detail") }, this);
    m_tabs->addTab(m_intervals, QStringLiteral("Intervals"));
    m_tabs->addTab(m_days, QStringLiteral("Days"));
    m_tabs->addTab(m_events, QStringLiteral("Events"));
    auto *exclusionPage = new QWidget(this);
    auto *exclusionLayout = new QVBoxLayout(exclusionPage);
    exclusionLayout->setContentsMargins(0, 0, 0, 0);
    m_exclusionTable
        = makeTable(QStringLiteral("Exclusions"),
                    { QStringLiteral("Start"), QStringLiteral("End"), QStringLiteral("Duration"),
                      QStringLiteral("Reason"), QStringLiteral("Note"), QStringLiteral("Made") },
                    this);
    exclusionLayout->addWidget(m_exclusionTable);
    auto *exclusionButtons = new QHBoxLayout;
    const auto button = [&](const QString &text, const QString &name) {
        auto *b = new QPushButton(text, exclusionPage);
        b->setObjectName(name);
        b->setAccessibleName(QString(text).remove(QLatin1Char('&')).remove(QStringLiteral("…")));
        exclusionButtons->addWidget(b);
        return b;
    };
    QPushButton *editButton = button(QStringLiteral("&Edit…"), QStringLiteral("EditExclusion"));
    QPushButton *removeButton
        = button(QStringLiteral("&Remove"), QStringLiteral("RemoveExclusion"));
    QPushButton *showButton
        = button(QStringLiteral("S&how in Graph"), QStringLiteral("ShowExclusion"));
    exclusionButtons->addStretch();
    exclusionLayout->addLayout(exclusionButtons);
    m_tabs->addTab(exclusionPage, QStringLiteral("Exclusions"));
    // Not the station's events above: runs of readings above a level.
    m_noiseEvents
        = makeTable(QStringLiteral("Noise events"),
                    { QStringLiteral("Start"), QStringLiteral("End"), QStringLiteral("Duration"),
                      QStringLiteral("Lmax"), QStringLiteral("Lmax at"), QStringLiteral("SEL"),
                      QStringLiteral("Period"), QStringLiteral("Cut") },
                    this);
    m_assessment
        = makeTable(QStringLiteral("Assessment"),
                    { QStringLiteral("Day"), QStringLiteral("Period"), QStringLiteral("Leq"),
                      QStringLiteral("L90"), QStringLiteral("Lmax"), QStringLiteral("Coverage %"),
                      QStringLiteral("Limit"), QStringLiteral("Margin"), QStringLiteral("Verdict"),
                      QStringLiteral("Decides the day") },
                    this);
    m_tabs->addTab(m_noiseEvents, QStringLiteral("Noise events"));
    m_tabs->addTab(m_assessment, QStringLiteral("Assessment"));
    layout->addWidget(m_tabs, 2);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { fillShownTab(); });
    connect(m_noiseEvents, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (!report().events || !report().events->events)
            return;
        const auto &events = report().events->events->events;
        if (row >= 0 && size_t(row) < events.size()) {
            const NoiseEvent &e = events[size_t(row)];
            const double margin = std::max(60.0, double(e.duration()));
            showRange(double(CivilTime::civilOfUtc(e.start)) - margin,
                      double(CivilTime::civilOfUtc(e.end)) + margin);
        }
    });
    connect(m_assessment, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (!report().assessment)
            return;
        const auto &periods = report().assessment->periods;
        if (row >= 0 && size_t(row) < periods.size())
            showRange(double(periods[size_t(row)].start), double(periods[size_t(row)].end));
    });
    const auto chosenExclusion = [this] { return m_exclusionTable->currentRow(); };
    connect(editButton, &QPushButton::clicked, this,
            [this, chosenExclusion] { editExclusion(chosenExclusion()); });
    connect(removeButton, &QPushButton::clicked, this,
            [this, chosenExclusion] { removeExclusion(chosenExclusion()); });
    connect(showButton, &QPushButton::clicked, this, [this, chosenExclusion] {
        const int row = chosenExclusion();
        if (row >= 0 && size_t(row) < m_document->exclusions().size()) {
            const Exclusion &e = m_document->exclusions()[size_t(row)];
            const double margin = std::max(60.0, double(e.duration()) * 0.1);
            showRange(double(CivilTime::civilOfUtc(e.start)) - margin,
                      double(CivilTime::civilOfUtc(e.end)) + margin);
        }
    });
    connect(m_exclusionTable, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { editExclusion(row); });
    // A row chosen in a table shows its time in the graph.
    connect(m_intervals, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        const auto &rows = report().intervals;
        if (row >= 0 && size_t(row) < rows.size())
            showRange(double(rows[size_t(row)].start), double(rows[size_t(row)].end));
    });
    connect(m_days, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        const auto &rows = report().days;
        if (row >= 0 && size_t(row) < rows.size())
            showRange(double(rows[size_t(row)].start), double(rows[size_t(row)].start + 86400));
    });
    connect(m_events, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row >= 0 && size_t(row) < m_eventRows.size()) {
            const double t = double(m_eventRows[size_t(row)].time);
            showRange(t - 900, t + 900);
        }
    });
}

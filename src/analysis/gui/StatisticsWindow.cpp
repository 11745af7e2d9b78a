#include "StatisticsWindow.h"
#include "analysis/output/Outputs.h"
#include "analysis/Wording.h"
#include "widgets/Shortcuts.h"
#include "widgets/ToolbarIcons.h"

#include "DetailsDialog.h"
#include "ListGraphs.h"
#include "OpenDataFile.h"
#include "PrintStatisticsReport.h"
#include "SeriesWindow.h"
#include "graphs/gui/Plot.h"

#include "analysis/records/CivilTime.h"
#include "recording/DataFileReader.h"
#include "platform/PanelTimers.h"
#include "platform/ReadingListModel.h"
#include "widgets/Dialogs.h"
#include "widgets/FileDrop.h"
#include "widgets/ReadingListView.h"
#include "widgets/ValueBoard.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolBar>
#include <QVBoxLayout>

#include <optional>

namespace {

int imageOf(const QString &key)
{
    if (key == QLatin1String("Plot"))
        return PlotImage;
    if (key == QLatin1String("Ln"))
        return HistogramImage;
    return PrintImage;
}

ValueBoard *newBoard(const QString &name, const QString &accessibleName, QWidget *parent)
{
    auto *board = new ValueBoard(accessibleName, parent);
    board->setObjectName(name);
    board->setFrameShape(QFrame::Panel);
    board->setFrameShadow(QFrame::Sunken);
    board->setAlignment(Qt::AlignCenter);
    board->setMinimumWidth(board->fontMetrics().horizontalAdvance(QStringLiteral("AAAAA/AA/AA")));
    board->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return board;
}

} // namespace

StatisticsWindow::StatisticsWindow(const Layout &layout, DataFileContents &&contents,
                                   const AnalysisHost &host)
    : QWidget(host.panel, Qt::Window)
    , m_host(host)
    , m_samplingInterval(contents.samplingInterval)
{
    setObjectName(layout.objectName);
    setWindowTitle(layout.designedCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    AcceptDataFileDrops(this, [this](const QStringList &paths) {
        // A copy: opening a file of this window's kind replaces this window.
        const AnalysisHost host = m_host;
        OpenDroppedDataFiles(paths, host);
    });

    // The rows go into the model before any view is attached: a view that
    // follows 348,000 single inserts costs far more than the read.
    m_model = new ReadingListModel(this);
    DataFileReader::moveRowsInto(contents, *m_model);
    m_header = std::move(contents);

    auto *column = new QVBoxLayout(this);

    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolBar->setAccessibleName(QStringLiteral("Tool bar"));
    m_toolBar->setIconSize(QSize(28, 28));
    const std::pair<QString, QString> buttons[] = {
        { QStringLiteral("Plot"), layout.plotTip },
        { QStringLiteral("Ln"), QStringLiteral("Histogram") },
        { QStringLiteral("Print"), QStringLiteral("Print") },
    };
    for (const auto &[key, tip] : buttons) {
        QAction *action = m_toolBar->addAction(ToolbarImage(imageOf(key)), key);
        action->setObjectName(key);
        action->setToolTip(tip);
        if (QWidget *button = m_toolBar->widgetForAction(action)) {
            button->setObjectName(key);
            button->setAccessibleName(tip);
        }
        connect(action, &QAction::triggered, this, [this, key = key] { onToolBarButton(key); });
        if (key == QLatin1String("Print"))
            Shortcuts::give(action, QKeySequence::Print, m_toolBar->widgetForAction(action));
    }
    m_report = new ReportCommand(this, m_toolBar, [this] { return reportSource(); });
    QAction *details = m_toolBar->addAction(ToolbarImage(DetailsImage), QStringLiteral("Details"));
    details->setObjectName(QStringLiteral("Details"));
    details->setToolTip(QStringLiteral("Measurement Details"));
    if (QWidget *button = m_toolBar->widgetForAction(details)) {
        button->setObjectName(QStringLiteral("Details"));
        button->setAccessibleName(QStringLiteral("Measurement Details"));
    }
    connect(details, &QAction::triggered, this, &StatisticsWindow::editDetails);
    // Several files as one series, reachable without a meter.
    QAction *series = m_toolBar->addAction(QStringLiteral("Open Series…"));
    series->setObjectName(QStringLiteral("OpenSeries"));
    series->setToolTip(QStringLiteral("Open several data files as one series"));
    if (QWidget *button = m_toolBar->widgetForAction(series)) {
        button->setObjectName(QStringLiteral("OpenSeries"));
        button->setAccessibleName(QStringLiteral("Open Series"));
    }
    connect(series, &QAction::triggered, this, [this] {
        AnalysisHost host = m_host;
        if (!host.panel)
            host.panel = this;
        OpenSeriesDialog(host);
    });
    column->addWidget(m_toolBar);

    // One row of titled boards per line: settings, the meter's percentile
    // levels (logger files only), then the results.
    auto *settings = new QHBoxLayout;
    addBoard(settings, QStringLiteral("SSFreq"), QStringLiteral("Freq Weight"),
             { QStringLiteral("BoardCA") });
    addBoard(settings, QStringLiteral("SSTW"), QStringLiteral("Time Weight"),
             { QStringLiteral("BoardSFI") });
    addBoard(settings, QStringLiteral("SSSR"), QStringLiteral("Level Range"),
             { QStringLiteral("BoardLevel") });
    settings->addStretch(1);
    column->addLayout(settings);
    if (layout.percentileBoards) {
        auto *percentiles = new QHBoxLayout;
        for (const char *p : { "05", "10", "50", "90", "95" }) {
            addBoard(percentiles, QStringLiteral("SS") + QLatin1StringView(p),
                     QStringLiteral("L ") + QLatin1StringView(p),
                     { QStringLiteral("Board") + QLatin1StringView(p) });
        }
        percentiles->addStretch(1);
        column->addLayout(percentiles);
    }
    auto *results = new QHBoxLayout;
    addBoard(results, QStringLiteral("SSMax"), QStringLiteral("Max dB"),
             { QStringLiteral("BoardMaxdB"), QStringLiteral("BoardMaxTime") });
    addBoard(results, QStringLiteral("SSLeq"), QStringLiteral("Leq"),
             { QStringLiteral("BoardLeq") });
    addBoard(results, QStringLiteral("SSSEL"), QStringLiteral("SEL"),
             { QStringLiteral("BoardSEL") });
    results->addStretch(1);
    column->addLayout(results);

    m_boardOrder
        = { QStringLiteral("BoardCA"), QStringLiteral("BoardSFI"), QStringLiteral("BoardLevel") };
    if (layout.percentileBoards) {
        m_boardOrder << QStringLiteral("Board05") << QStringLiteral("Board10")
                     << QStringLiteral("Board50") << QStringLiteral("Board90")
                     << QStringLiteral("Board95");
    }
    m_boardOrder << QStringLiteral("BoardMaxdB") << QStringLiteral("BoardMaxTime")
                 << QStringLiteral("BoardSEL") << QStringLiteral("BoardLeq");
    fillBoards(m_header.boardTexts);

    m_resolution = new QWidget(this);
    m_resolution->setObjectName(QStringLiteral("PicResolution"));
    auto *frame = new QGroupBox(QStringLiteral("Resolution"), m_resolution);
    frame->setObjectName(QStringLiteral("SSFrame1"));
    auto *frameLayout = new QHBoxLayout(frame);
    const std::pair<QString, ResolutionMode> widths[] = {
        { QStringLiteral("1 dB"), ResolutionMode::Whole },
        { QStringLiteral("0.1 dB"), ResolutionMode::Tenth },
    };
    for (const auto &[caption, mode] : widths) {
        auto *button = new QPushButton(caption, frame);
        button->setObjectName(mode == ResolutionMode::Whole ? QStringLiteral("Cmd1dB")
                                                            : QStringLiteral("Cmd01dB"));
        button->setAccessibleName(caption);
        connect(button, &QPushButton::clicked, this,
                [this, mode = mode] { buildDistribution(mode); });
        frameLayout->addWidget(button);
    }
    auto *resolutionLayout = new QHBoxLayout(m_resolution);
    resolutionLayout->setContentsMargins(0, 0, 0, 0);
    resolutionLayout->addWidget(frame);
    resolutionLayout->addStretch(1);
    // Shown by "Ln" only, so the class width is always a deliberate choice.
    m_resolution->hide();
    column->addWidget(m_resolution);

    m_list = new ReadingListView(m_model, this);
    column->addWidget(m_list, 1);

    m_calibration = new ValueBoard(QStringLiteral("Calibration"), this);
    m_calibration->setObjectName(QStringLiteral("CalibrationVerdict"));
    m_calibration->setWordWrap(true);
    m_calibration->setTextInteractionFlags(Qt::TextSelectableByMouse
                                           | Qt::TextSelectableByKeyboard);
    column->addWidget(m_calibration);
    m_exclusionsBoard = new ValueBoard(QStringLiteral("Exclusions"), this);
    m_exclusionsBoard->setObjectName(QStringLiteral("Exclusions"));
    m_exclusionsBoard->setWordWrap(true);
    m_exclusionsBoard->setTextInteractionFlags(Qt::TextSelectableByMouse
                                               | Qt::TextSelectableByKeyboard);
    m_exclusionsBoard->hide();
    column->addWidget(m_exclusionsBoard);
    showCalibration();

    resize(sizeHint().width(), 520);
    placeBesidePanel();
}

StatisticsWindow::~StatisticsWindow() = default;

void StatisticsWindow::setSourcePath(const QString &path)
{
    m_sourcePath = path;
    showCalibration();
    showExclusions();
}

void StatisticsWindow::showExclusions()
{
    m_exclusions.reset();
    m_exclusionsPath.clear();
    const QString path
        = m_sourcePath.isEmpty() ? QString() : ExclusionsCsv::pathForDataFile(m_sourcePath);
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        m_exclusionsBoard->hide();
        return;
    }
    const ExclusionsFile file = ExclusionsCsv::read(path);
    m_exclusions = std::make_shared<const ExclusionSpans>(file.rows);
    m_exclusionsPath = path;
    // The stored boards are the meter's own; what this program computes
    // (distribution, report) leaves the excluded readings out.
    qint64 excluded = 0;
    ReasonCounts reasons {};
    const ReadingRows &rows = m_model->rows();
    for (qsizetype i = 0; i < rows.count(); ++i)
        if (const auto t = CivilTime::parseStamp(rows.time(i))) {
            if (const int row = m_exclusions->rowAt(CivilTime::utcOf(*t)); row >= 0) {
                ++excluded;
                ++reasons[size_t(m_exclusions->rows()[size_t(row)].reason)];
            }
        }
    const double interval = m_samplingInterval > 0 ? m_samplingInterval : 1.0;
    QString text = excluded == 0
        ? QStringLiteral("Exclusions (%1): none touches these readings.")
              .arg(QDir::toNativeSeparators(path))
        : QStringLiteral("Exclusions (%1): %2 excluded (%3 readings: %4). The distribution and "
                         "the report count them as not measured; the boards above are the "
                         "meter's own.")
              .arg(QDir::toNativeSeparators(path), Wording::partsDuration(double(excluded) * interval))
              .arg(excluded)
              .arg(reasonsText(reasons, interval));
    if (!file.ok())
        text += QLatin1Char(' ') + file.problem + QStringLiteral(" (that line is left out)");
    m_exclusionsBoard->setText(text);
    m_exclusionsBoard->show();
}

ReadingRows StatisticsWindow::countedRows() const
{
    const ReadingRows &rows = m_model->rows();
    if (!m_exclusions || m_exclusions->isEmpty())
        return rows;
    ReadingRows counted;
    for (qsizetype i = 0; i < rows.count(); ++i) {
        const QString time = rows.time(i);
        const auto t = CivilTime::parseStamp(time);
        if (!t || m_exclusions->rowAt(CivilTime::utcOf(*t)) < 0)
            counted.append(rows.number(i), time, rows.level(i));
    }
    return counted;
}

void StatisticsWindow::showCalibration()
{
    // The first and last readings with a time; the checks around them.
    std::optional<int64_t> first;
    std::optional<int64_t> last;
    for (int i = 0; i < m_model->count() && !first; ++i)
        first = CivilTime::parseStamp(m_model->time(i));
    for (int i = m_model->count() - 1; i >= 0 && !last; --i)
        last = CivilTime::parseStamp(m_model->time(i));
    const MeasurementContext context = measurementContextOf(m_sourcePath, first, last);
    QString text = first ? QStringLiteral("Calibration: %1.").arg(context.calibration.summary())
                         : QStringLiteral("Calibration: not verified (the readings have no time).");
    if (!context.detailsProblem.isEmpty())
        text += QLatin1Char(' ') + context.detailsProblem;
    m_calibration->setText(text);
}

void StatisticsWindow::editDetails()
{
    if (m_sourcePath.isEmpty()) {
        dialogs().message(this,
                          QStringLiteral("The details are kept beside a data file: save the "
                                         "list to a file first."),
                          QString(), MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    QPointer<StatisticsWindow> self(this);
    const bool saved = EditMeasurementDetails(this, m_sourcePath);
    if (self && saved)
        showCalibration();
}

void StatisticsWindow::addBoard(QHBoxLayout *row, const QString &panelName, const QString &caption,
                                const QStringList &boardNames)
{
    auto *panel = new QGroupBox(caption, this);
    panel->setObjectName(panelName);
    auto *layout = new QHBoxLayout(panel);
    for (const QString &name : boardNames) {
        // The second board of a panel (the time of the maximum) says so.
        const QString accessibleName
            = name == boardNames.first() ? caption : caption + QStringLiteral(" Time");
        ValueBoard *board = newBoard(name, accessibleName, panel);
        layout->addWidget(board);
        m_boards.insert(name, board);
    }
    row->addWidget(panel);
}

void StatisticsWindow::fillBoards(const QStringList &texts)
{
    for (int i = 0; i < m_boardOrder.size() && i < texts.size(); ++i)
        m_boards.value(m_boardOrder.at(i))->setText(texts.at(i));
}

void StatisticsWindow::closeEvent(QCloseEvent *event)
{
    // A count, a print or a report in progress still reads this window's list.
    if (m_busy || m_report->running()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void StatisticsWindow::placeBesidePanel()
{
    if (!m_host.panel)
        return;
    const QRect panel = m_host.panel->frameGeometry();
    move(panel.left() + panel.width(), panel.top());
}

QAction *StatisticsWindow::toolBarAction(const QString &key) const
{
    return m_toolBar->findChild<QAction *>(key, Qt::FindDirectChildrenOnly);
}

ValueBoard *StatisticsWindow::board(const QString &name) const
{
    return m_boards.value(name);
}

void StatisticsWindow::onToolBarButton(const QString &key)
{
    m_resolution->hide();
    if (key == QLatin1StringView("Plot"))
        plotReadingList(*m_model, m_host, m_sourcePath);
    else if (key == QLatin1StringView("Ln"))
        m_resolution->show();
    else if (key == QLatin1StringView("Print"))
        printReport();
}

void StatisticsWindow::buildDistribution(ResolutionMode mode)
{
    if (m_busy)
        return;
    m_lastMode = mode;
    QPointer<StatisticsWindow> self(this);
    m_busy = true;
    const auto notBusy = qScopeGuard([self] {
        if (self)
            self->m_busy = false;
    });
    std::optional<TimersOffGuard> timersOff;
    if (m_host.timers)
        timersOff.emplace(*m_host.timers);
    const QString keptCaption = windowTitle();

    // A copy: the list stays intact even if the window goes while events
    // run during the count.
    const ReadingRows rows = countedRows();
    const ListDistribution distribution = BuildListDistribution(rows, mode, [self](double percent) {
        if (!self)
            return;
        self->setWindowTitle(distributionProgressCaption(percent));
        QCoreApplication::processEvents();
    });
    if (!self)
        return;
    setWindowTitle(keptCaption);
    timersOff.reset();

    if (!distribution.hasReadings()) {
        dialogs().message(this, noReadingsMessage(), QString(), MessageIcon::Information,
                          MessageButtons::Ok);
        return;
    }
    showListHistogram(distribution);
    if (self)
        m_resolution->hide();
}

StatisticsReportInput StatisticsWindow::reportInput() const
{
    return reportInputOf(
        [this](const char *name) { return m_boards.value(QLatin1StringView(name))->text(); },
        *m_model);
}

ReportSource StatisticsWindow::reportSource() const
{
    ReportSource source;
    source.name = m_sourcePath.isEmpty() ? windowTitle() : m_sourcePath;
    source.contents = m_header;
    source.contents.rows = m_model->rows();
    source.mode = m_lastMode;
    source.exclusions = m_exclusions;
    source.exclusionsSource = m_exclusionsPath;
    if (const Plot *graph = Plot::openWindow();
        graph && !m_sourcePath.isEmpty() && graph->source() == m_sourcePath) {
        source.company = graph->freeText(0)->text();
        source.sector = graph->freeText(1)->text();
        source.person = graph->freeText(2)->text();
    }
    return source;
}

void StatisticsWindow::printReport()
{
    if (m_busy)
        return;
    QPointer<StatisticsWindow> self(this);
    m_busy = true;
    PrintStatisticsReport(this, reportInput(), m_host.timers);
    if (self)
        m_busy = false;
}

FileList::FileList(DataFileContents &&contents, const AnalysisHost &host)
    : StatisticsWindow(
        { QStringLiteral("FileList"), QStringLiteral("File List"), QStringLiteral("Plot"), true },
        std::move(contents), host)
{
}

FileListReal::FileListReal(DataFileContents &&contents, const AnalysisHost &host)
    : StatisticsWindow({ QStringLiteral("FileListReal"), QStringLiteral("File List Real"),
                         QStringLiteral("Graphic Plot"), false },
                       std::move(contents), host)
{
}

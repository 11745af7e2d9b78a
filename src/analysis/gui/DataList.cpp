#include "DataList.h"
#include "widgets/Shortcuts.h"
#include "widgets/ToolbarIcons.h"

#include "PrintStatisticsReport.h"
#include "recording/DataFileWriter.h"
#include "recording/LoggerSetDecoding.h"
#include "platform/ReadingListModel.h"
#include "widgets/Dialogs.h"
#include "widgets/ReadingListView.h"
#include "widgets/ValueBoard.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QStyle>
#include <QToolBar>

namespace {

QPointer<DataList> s_open;

// The boards in the order they are laid out: object name of the titled panel,
// its caption, then the boards inside it.
struct BoardPanel
{
    const char *panel;
    const char *caption;
    const char *boards[2];
};

constexpr BoardPanel BoardPanels[] = {
    { "SSFreq", "Freq Weight", { "BoardCA", nullptr } },
    { "SSTW", "Time Weight", { "BoardSFI", nullptr } },
    { "SSSR", "Level Range", { "BoardLevel", nullptr } },
    { "SSMax", "Max dB", { "BoardMaxdB", "BoardMaxTime" } },
    { "SSPeak", "Peak", { "BoardPeakdB", "BoardPeakTime" } },
    { "SS05", "L 05", { "Board05", nullptr } },
    { "SS10", "L 10", { "Board10", nullptr } },
    { "SS50", "L 50", { "Board50", nullptr } },
    { "SS90", "L 90", { "Board90", nullptr } },
    { "SS95", "L 95", { "Board95", nullptr } },
    { "SSLeq", "Leq", { "BoardLeq", nullptr } },
    { "SSSEL", "SEL", { "BoardSEL", nullptr } },
};

// The boards a "Data Logger" file stores, in the order of its header lines.
constexpr const char *LoggerFileBoards[]
    = { "BoardCA", "BoardSFI", "BoardLevel", "Board05",      "Board10",  "Board50",
        "Board90", "Board95",  "BoardMaxdB", "BoardMaxTime", "BoardSEL", "BoardLeq" };

// Restores the normal pointer however the save ends.
struct HourglassPointer
{
    HourglassPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~HourglassPointer() { QApplication::restoreOverrideCursor(); }
};

} // namespace

DataList::DataList(QWidget *panel, SaveDialog saveDialog, PanelTimers *timers)
    : QWidget(panel, Qt::Window)
    , m_list(new ReadingListModel(this))
    , m_view(new ReadingListView(m_list, this))
    , m_saveDialog(std::move(saveDialog))
    , m_timers(timers)
{
    setObjectName(QStringLiteral("DataList"));
    setWindowTitle(designedCaption());
    setAttribute(Qt::WA_DeleteOnClose);

    auto *toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setIconSize(QSize(28, 28));
    m_save = toolbar->addAction(ToolbarImage(SaveFileImage), QString());
    m_save->setObjectName(QStringLiteral("Save"));
    m_save->setToolTip(QStringLiteral("Save As"));
    m_print = toolbar->addAction(ToolbarImage(PrintImage), QString());
    m_print->setObjectName(QStringLiteral("Print"));
    m_print->setToolTip(QStringLiteral("Print"));
    m_report = new ReportCommand(this, toolbar, [this] { return reportSource(); });
    // Enabled once a set is shown.
    m_print->setEnabled(false);
    m_report->action()->setEnabled(false);
    for (QAction *action : { m_save, m_print })
        toolbar->widgetForAction(action)->setAccessibleName(action->toolTip());
    connect(m_save, &QAction::triggered, this, &DataList::Save);
    connect(m_print, &QAction::triggered, this, &DataList::Print);
    Shortcuts::give(m_print, QKeySequence::Print, toolbar->widgetForAction(m_print));

    auto *boards = new QGridLayout;
    int position = 0;
    for (const BoardPanel &panelOfBoards : BoardPanels) {
        auto *box = new QGroupBox(QString::fromLatin1(panelOfBoards.caption), this);
        box->setObjectName(QString::fromLatin1(panelOfBoards.panel));
        auto *inside = new QHBoxLayout(box);
        for (const char *board : panelOfBoards.boards) {
            if (!board)
                continue;
            const QString name = QString::fromLatin1(board);
            const QString accessible = name.endsWith(QLatin1String("Time"))
                ? box->title() + QStringLiteral(" Date Time")
                : box->title();
            inside->addWidget(addBoard(name, accessible));
        }
        // Two columns of panels; the ones with a time take a whole row.
        const bool wide = panelOfBoards.boards[1] != nullptr;
        if (wide) {
            position += position % 2;
            boards->addWidget(box, position / 2, 0, 1, 2);
            position += 2;
        } else {
            boards->addWidget(box, position / 2, position % 2);
            ++position;
        }
    }

    // Boards on the left, the list beside them takes the rest.
    boards->setRowStretch(boards->rowCount(), 1);
    auto *layout = new QHBoxLayout(this);
    layout->setMenuBar(toolbar);
    layout->addLayout(boards, 1);
    layout->addWidget(m_view);

    resize(760, 540);
    placeBeside(panel);

    if (s_open)
        s_open->close();
    s_open = this;
}

DataList *DataList::openWindow()
{
    return s_open.data();
}

ValueBoard *DataList::addBoard(const QString &name, const QString &accessibleName)
{
    auto *board = new ValueBoard(accessibleName, this);
    board->setObjectName(name);
    board->setFrameShape(QFrame::Panel);
    board->setFrameShadow(QFrame::Sunken);
    board->setAlignment(Qt::AlignCenter);
    board->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Wide enough for the longest text the board shows.
    const QString widest = name.endsWith(QLatin1String("Time"))
        ? QStringLiteral("0000/00/00 00:00:00")
        : QStringLiteral("20-200Hz Filter");
    board->setMinimumWidth(board->fontMetrics().horizontalAdvance(widest) + 16);
    return board;
}

QString DataList::boardText(const char *name) const
{
    return findChild<QLabel *>(QString::fromLatin1(name))->text();
}

void DataList::placeBeside(QWidget *panel)
{
    if (!panel)
        return;
    const QRect frame = panel->frameGeometry();
    move(frame.left() + frame.width(), frame.top());
}

void DataList::showLoggerSet(const LoggerSetView &set, int sampleInterval)
{
    m_sampleInterval = sampleInterval;
    const std::pair<const char *, const QString *> texts[] = {
        { "BoardCA", &set.BoardCA },         { "BoardSFI", &set.BoardSFI },
        { "BoardLevel", &set.BoardLevel },   { "BoardMaxTime", &set.BoardMaxTime },
        { "BoardMaxdB", &set.BoardMaxdB },   { "BoardPeakTime", &set.BoardPeakTime },
        { "BoardPeakdB", &set.BoardPeakdB }, { "Board05", &set.Board05 },
        { "Board10", &set.Board10 },         { "Board50", &set.Board50 },
        { "Board90", &set.Board90 },         { "Board95", &set.Board95 },
        { "BoardSEL", &set.BoardSEL },       { "BoardLeq", &set.BoardLeq },
    };
    for (const auto &[name, text] : texts)
        findChild<ValueBoard *>(QString::fromLatin1(name))->setText(*text);
    m_print->setEnabled(!set.levels.isEmpty());
    m_report->action()->setEnabled(!set.levels.isEmpty());

    m_list->clear();
    // The vectors are shared, not copied, and the view sees one insert.
    m_list->appendRows(set.numbers, set.times, set.levels);
}

void DataList::Save()
{
    SaveState &state = saveState();
    {
        HourglassPointer hourglass;
        if (m_saveDialog)
            m_saveDialog(this, state);
    }
    if (!state.FileChosen)
        return;

    DataLoggerHeader header;
    header.SampleInterval = m_sampleInterval;
    for (const char *name : LoggerFileBoards)
        header.BoardTexts << boardText(name);

    WriteOutcome outcome;
    {
        HourglassPointer hourglass;
        // The save lets no window events run while it writes; the caption
        // shows how far it got.
        const QString caption = windowTitle();
        outcome = WriteDataLoggerFile(state.TargetPath, header, *m_list,
                                      [this](const QString &text) { setWindowTitle(text); });
        setWindowTitle(caption);
    }
    state.FileChosen = false;
    if (!outcome.ok)
        dialogs().message(this, outcome.message, QString(), MessageIcon::Critical,
                          MessageButtons::Ok);
}

void DataList::closeEvent(QCloseEvent *event)
{
    // A report in progress still reads the set.
    if (m_report->running()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

ReportSource DataList::reportSource() const
{
    ReportSource source;
    source.name = windowTitle();
    DataFileContents &c = source.contents;
    c.kind = DataFileKind::DataLogger;
    c.headerLength = 14;
    c.samplingInterval = m_sampleInterval;
    for (const char *name : LoggerFileBoards)
        c.boardTexts << boardText(name);
    c.rows = m_list->rows();
    c.linesRead = 15 + c.rows.count();
    return source;
}

void DataList::Print()
{
    const StatisticsReportInput input
        = reportInputOf([this](const char *name) { return boardText(name); }, *m_list);
    PrintStatisticsReport(this, input, m_timers);
}

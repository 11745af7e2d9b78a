#include "Memory.h"

#include "LoggerSetHost.h"
#include "recording/LoggerDownload.h"
#include "recording/LoggerMemory.h"
#include "recording/LoggerSetDecoding.h"
#include "platform/PanelTimers.h"
#include "widgets/Dialogs.h"
#include "widgets/ValueBoard.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPointer<Memory> s_openWindow;

} // namespace

Memory *Memory::openWindow()
{
    return s_openWindow && s_openWindow->isVisible() ? s_openWindow.data() : nullptr;
}

Memory::Memory(QWidget *panel, PanelTimers &timers, LoggerSetHost &host)
    : QWidget(panel, Qt::Window)
    , m_panel(panel)
    , m_timers(timers)
    , m_host(host)
    , m_gridSet(new QTableWidget(0, 3, this))
{
    setObjectName(QStringLiteral("Memory"));
    setWindowTitle(designedCaption());
    setAttribute(Qt::WA_DeleteOnClose);

    auto *sizes = new QGroupBox(QStringLiteral("Memory"), this);
    sizes->setObjectName(QStringLiteral("SSPanel1"));
    auto *form = new QFormLayout(sizes);
    m_lblSize = addLabel(QStringLiteral("LblSize"), QStringLiteral("Memory size"),
                         QStringLiteral("64 K"));
    m_lblRemain = addLabel(QStringLiteral("LblRemain"), QStringLiteral("Free memory"), QString());
    form->addRow(QStringLiteral("Size"), m_lblSize);
    form->addRow(QStringLiteral("Free"), m_lblRemain);
    m_lblMessage = addLabel(QStringLiteral("LblMessage"), QStringLiteral("Download"), QString());

    m_gridSet->setObjectName(QStringLiteral("GridSet"));
    m_gridSet->setAccessibleName(QStringLiteral("Data sets"));
    m_gridSet->setHorizontalHeaderLabels(
        { QStringLiteral("Set"), QStringLiteral("Sampling"), QStringLiteral("Records") });
    m_gridSet->verticalHeader()->hide();
    m_gridSet->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_gridSet->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_gridSet->setSelectionMode(QAbstractItemView::SingleSelection);
    m_gridSet->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    connect(m_gridSet, &QTableWidget::cellClicked, this,
            [this](int row, int) { ShowLoggerSet(row); });

    m_cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    m_cmdCancel->setAccessibleName(QStringLiteral("Cancel"));
    m_cmdCancel->setAccessibleDescription(
        QStringLiteral("Ends the download; complete data sets are kept"));
    m_cmdCancel->hide();
    connect(m_cmdCancel, &QPushButton::clicked, this, [this] {
        if (m_onCancel)
            m_onCancel();
    });
    auto *messageRow = new QHBoxLayout;
    messageRow->addWidget(m_lblMessage, 1);
    messageRow->addWidget(m_cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(sizes);
    layout->addLayout(messageRow);
    layout->addWidget(m_gridSet, 1);
    resize(300, 420);

    if (panel) {
        const QRect frame = panel->frameGeometry();
        move(frame.left() + frame.width(), frame.top());
    }
    loggerMemory().MemoryWindowOpen = true;
    s_openWindow = this;
}

Memory::~Memory()
{
    if (s_openWindow == this || !s_openWindow)
        loggerMemory().MemoryWindowOpen = false;
}

void Memory::closeEvent(QCloseEvent *event)
{
    // Closing it ends its transfer as Cancel does: no transfer runs on for
    // an hour with the meter's controls off and no window to show for it.
    if (m_onCancel)
        m_onCancel();
    // The window goes away later; the Memory button works again at once.
    loggerMemory().MemoryWindowOpen = false;
    QWidget::closeEvent(event);
}

ValueBoard *Memory::addLabel(const QString &name, const QString &accessibleName,
                             const QString &text)
{
    auto *label = new ValueBoard(accessibleName, text, this);
    label->setObjectName(name);
    return label;
}

void Memory::showSizes(const LoggerMemorySizes &sizes)
{
    m_lblSize->setText(sizes.sizeText);
    m_lblRemain->setText(sizes.remainText);
}

void Memory::showProgress(qint64 received, qint64 expected)
{
    m_lblMessage->setText(PercentCompletedText(received, expected));
}

void Memory::showMessage(const QString &text)
{
    m_lblMessage->setText(text);
}

void Memory::offerCancel(std::function<void()> onCancel)
{
    m_onCancel = std::move(onCancel);
    m_cmdCancel->setVisible(bool(m_onCancel));
}

void Memory::listSets(const LoggerSplit &split)
{
    m_gridSet->setRowCount(0);
    m_gridSet->setRowCount(int(split.sets.size()));
    for (int row = 0; row < int(split.sets.size()); ++row) {
        const LoggerSetEntry &entry = split.sets[size_t(row)];
        const int values[] = { row + 1, entry.interval, entry.records };
        for (int column = 0; column < 3; ++column)
            m_gridSet->setItem(row, column, new QTableWidgetItem(QString::number(values[column])));
    }
}

void Memory::ShowLoggerSet(int row)
{
    // Window events run while the list fills; a second click waits its turn.
    if (m_showingSet)
        return;
    const QTableWidgetItem *numberItem = m_gridSet->item(row, 0);
    const QTableWidgetItem *intervalItem = m_gridSet->item(row, 1);
    LoggerMemory &memory = loggerMemory();
    const LoggerDataSet *stored = numberItem ? memory.set(numberItem->text().toInt()) : nullptr;
    if (!stored || !intervalItem)
        return;
    // The decode runs events: this window may close and be freed, and a new
    // download may replace the sets, so it works on a copy and touches the
    // window only while it exists.
    const LoggerDataSet set = *stored;
    const int interval = intervalItem->text().toInt();
    const QPointer<Memory> self(this);
    m_showingSet = true;
    TimersOffGuard timersOff(m_timers);
    LoggerSetHost &host = m_host;
    if (m_setWindow)
        m_setWindow->close();
    memory.LoggerSampleInterval = interval;

    QPointer<QWidget> list = host.openSetWindow();
    m_setWindow = list;
    const QString caption = list->windowTitle();
    const std::optional<LoggerSetView> view
        = DecodeLoggerSet(set, QDate::currentDate().year(), [&list](int j, int k) {
              if (!list)
                  return;
              list->setWindowTitle(PercentCompletedText(j, k));
              QCoreApplication::processEvents();
          });
    if (self)
        self->m_showingSet = false;
    if (!list)
        return;
    list->setWindowTitle(caption);
    if (!view)
        return;
    host.showSet(list, *view, interval);
    if (!view->startTimeValid)
        dialogs().message(list,
                          QStringLiteral("The start time of this data set, %1, is not a "
                                         "valid date; every record shows it as its time.")
                              .arg(view->startTime),
                          QString(), MessageIcon::Warning, MessageButtons::Ok);
}

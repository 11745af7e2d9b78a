#include "Panel.h"

#include "ClickableLabel.h"
#include "Keypad.h"
#include "MeterDisplay.h"
#include "PanelToolbar.h"
#include "link/LiveFrame.h"
#include "live/LinkLostRecovery.h"
#include "recording/ControlRules.h"
#include "platform/Delay.h"
#include "platform/SystemSerialPort.h"
#include "widgets/Dialogs.h"
#include "widgets/ValueBoard.h"

#include <QScreen>
#include <QScrollArea>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

namespace {

ValueBoard *valueBoard(const char *name, const QString &text, QGroupBox *titled)
{
    auto *board = new ValueBoard(titled->title(), text, titled);
    board->setObjectName(QLatin1String(name));
    board->setAlignment(Qt::AlignCenter);
    board->setFrameShape(QFrame::Panel);
    board->setFrameShadow(QFrame::Sunken);
    board->setMinimumHeight(28);
    QFont font = board->font();
    font.setPointSizeF(font.pointSizeF() * 1.15);
    font.setBold(true);
    board->setFont(font);
    auto *layout = new QVBoxLayout(titled);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->addWidget(board);
    return board;
}

QGroupBox *titledPanel(const char *name, const char *title, QWidget *parent)
{
    auto *box = new QGroupBox(QLatin1String(title), parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(QLatin1String(title));
    return box;
}

QFrame *area(const char *name, const char *spoken, QWidget *parent)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(name));
    frame->setAccessibleName(QLatin1String(spoken));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(2, 2, 2, 2);
    return frame;
}

} // namespace

Panel::Panel(int comPortNumber, std::unique_ptr<SerialPort> port, QWidget *parent)
    : QWidget(parent)
    , m_port(port ? std::move(port) : std::make_unique<SystemSerialPort>())
    , m_link(std::make_unique<LinkOwner>(*m_port))
    , m_live(std::make_unique<LiveMeter>(*m_link))
{
    setObjectName(QStringLiteral("Panel"));
    setWindowTitle(PanelCaption(false));
    setAccessibleName(QStringLiteral("Panel"));

    m_context.port = m_port.get();
    m_context.link = m_link.get();
    m_context.timers = &m_timers;
    m_context.events = &m_events;
    m_context.currentReading = &m_live->reading();
    m_context.display = &m_display;
    m_context.comPortNumber = comPortNumber;
    m_context.stopRequested = [this] { return m_closing; };

    buildLayout();
    showDisplay();
    m_lblCom->setText(QStringLiteral("No COM"));

    m_timers.setPollTick([this] { pollTick(); });
    connect(&m_events, &PanelEvents::linkStateChanged, this, &Panel::showLinkState);
    connect(m_link.get(), &LinkOwner::linkLost, this, &Panel::linkLost);
    connect(m_link.get(), &LinkOwner::linkBack, this, &Panel::linkBack);
    connect(m_link.get(), &LinkOwner::longExchangeChanged, this, &Panel::applyControlRules);
    connect(m_lblCom, &ClickableLabel::clicked, this, &Panel::toggleCaption);
    connect(m_toolbar, &PanelToolbar::buttonClicked, this, &Panel::dispatchToolbar);
    // Until the full tool bar handling is installed, "Up" and "Down" work on
    // their own; every other button says it is not available.
    m_toolbar->setButtonAvailable(QStringLiteral("Up"), true);
    m_toolbar->setButtonAvailable(QStringLiteral("Down"), true);

    resize(fittingSize());
}

Panel::~Panel()
{
    m_closing = true;
    m_link->dropWaiting();
    m_timers.setBothEnabled(false);
}

void Panel::buildLayout()
{
    m_toolbar = new PanelToolbar(this);
    m_meterDisplay = new MeterDisplay(this);
    m_meterDisplay->setMinimumSize(440, 250);
    m_keypad = new Keypad(*m_link, m_context.stopRequested, this);
    m_keypad->setFixedWidth(250);

    m_statisticsArea = area("StatisticsArea", "Statistics", this);
    m_listArea = area("ListArea", "Readings", this);
    m_saveArea = area("SaveArea", "Save Data", this);
    m_graphsArea = area("GraphsArea", "Graphs", this);
    m_cmdL = new QPushButton(QStringLiteral("Leq"), this);
    m_cmdL->setObjectName(QStringLiteral("CmdL"));
    m_cmdL->setAccessibleName(QStringLiteral("Leq"));
    // Its handling comes with the timed integration; until then it says so.
    m_cmdL->setEnabled(false);
    m_cmdL->setAccessibleDescription(
        QStringLiteral("Not available in this version of the program."));

    auto *top = new QHBoxLayout;
    top->setSpacing(10);
    top->addWidget(m_meterDisplay, 1);
    top->addWidget(buildStatusColumn());
    top->addWidget(m_keypad);

    auto *statisticsColumn = new QVBoxLayout;
    statisticsColumn->addWidget(m_statisticsArea, 1);
    statisticsColumn->addWidget(m_cmdL, 0, Qt::AlignLeft);

    auto *middle = new QHBoxLayout;
    middle->setSpacing(10);
    middle->addLayout(statisticsColumn, 3);
    middle->addWidget(m_saveArea, 2);

    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(10);
    m_listArea->setMinimumWidth(330);
    bottom->addWidget(m_listArea, 0);
    bottom->addWidget(m_graphsArea, 1);

    auto *body = new QVBoxLayout;
    body->setContentsMargins(10, 6, 10, 10);
    body->setSpacing(8);
    body->addLayout(top, 0);
    body->addLayout(middle, 1);
    body->addLayout(bottom, 2);

    // On a screen smaller than the panel (a laptop, a large text scale) the
    // boards scroll under the tool bar instead of running off the screen.
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("PanelContent"));
    content->setLayout(body);
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("PanelScroll"));
    scroll->setAccessibleName(QStringLiteral("Panel"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(content);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(m_toolbar);
    root->addWidget(scroll, 1);
}

QSize Panel::fittingSize() const
{
    // The frame and title bar the window system adds are not in the size.
    constexpr int FrameAllowance = 40;
    QSize wanted(1040, 820);
    if (const QScreen *shown = screen()) {
        const QRect room = shown->availableGeometry();
        wanted = wanted.boundedTo(QSize(room.width() - 8, room.height() - FrameAllowance));
    }
    return wanted;
}

QWidget *Panel::buildStatusColumn()
{
    auto *column = new QWidget(this);
    column->setFixedWidth(160);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    QGroupBox *sstw = titledPanel("SSTW", "Time Weight", column);
    m_boardSfi = valueBoard("BoardSFI", QStringLiteral("Slow"), sstw);
    QGroupBox *ssfreq = titledPanel("SSFreq", "Freq Weight", column);
    m_boardCa = valueBoard("BoardCA", QString(), ssfreq);
    QGroupBox *sssr = titledPanel("SSSR", "Level Range", column);
    m_boardLevel = valueBoard("BoardLevel", QStringLiteral("80-140"), sssr);
    m_lblCom = new ClickableLabel(QStringLiteral("No COM"), column);
    m_lblCom->setObjectName(QStringLiteral("LblCOM"));
    m_lblCom->setAlignment(Qt::AlignCenter);
    m_lblCom->setFrameShape(QFrame::Panel);
    m_lblCom->setFrameShadow(QFrame::Raised);
    m_lblCom->setMinimumHeight(30);
    QFont font = m_lblCom->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    m_lblCom->setFont(font);
    layout->addWidget(sstw);
    layout->addWidget(ssfreq);
    layout->addWidget(sssr);
    layout->addStretch();
    layout->addWidget(m_lblCom);
    return column;
}

bool Panel::startUp()
{
    move(0, 0);
    bool started = false;
    QString reason;
    try {
        started = LiveMeter::openPort(*m_port, m_context.comPortNumber, &reason);
        if (started) {
            m_lblCom->setText(QStringLiteral("COM%1").arg(m_context.comPortNumber));
            m_timers.setTimer2Enabled(true);
            m_timers.setTimer1Enabled(true);
        }
    } catch (const std::exception &e) {
        started = false;
        reason = QString::fromLocal8Bit(e.what());
    } catch (...) {
        started = false;
    }
    if (!started) {
        m_timers.setBothEnabled(false);
        m_openFilesChosen = dialogs().messageWithChoice(
                                nullptr, QStringLiteral("No device found, try again!"), reason,
                                QStringLiteral("Open Data Files"), MessageIcon::Critical)
            == MessageAnswer::Yes;
    }
    return started;
}

void Panel::setToolbarDispatcher(std::function<void(const QString &)> dispatch)
{
    m_dispatch = std::move(dispatch);
}

qint64 Panel::frameAgeMs() const
{
    return m_live->frameAgeMs();
}

void Panel::pollTick()
{
    switch (m_live->poll(m_context.stopRequested)) {
    case LiveMeter::Poll::Frame:
        m_display = NextPanelDisplay(m_display, m_live->reading());
        showDisplay();
        Q_EMIT frameDecoded();
        break;
    case LiveMeter::Poll::Silent:
        // A meter still sending a cancelled transfer is no lost link, but
        // the level it showed last is no longer known.
        if (m_link->droppingInput())
            clearShownLevel();
        break;
    default:
        break;
    }
}

void Panel::showDisplay()
{
    m_meterDisplay->showDisplay(m_display);
    applyControlRules();
    m_boardCa->setText(m_display.boardCA);
    m_boardSfi->setText(m_display.boardSFI);
    m_boardLevel->setText(m_display.boardLevel);
}

void Panel::showLinkState(bool linked)
{
    if (linked) {
        m_lblCom->setText(QStringLiteral("COM%1").arg(m_context.comPortNumber));
    } else {
        m_lblCom->setText(QStringLiteral("No COM"));
        clearShownLevel();
    }
}

void Panel::clearShownLevel()
{
    m_display.valueText.clear();
    m_meterDisplay->setValueText(QString());
}

void Panel::toggleCaption()
{
    m_captionWithDate = !m_captionWithDate;
    setWindowTitle(PanelCaption(m_captionWithDate));
}

void Panel::dispatchToolbar(const QString &key)
{
    if (m_dispatch) {
        m_dispatch(key);
        return;
    }
    if (key == QLatin1String("Up"))
        sendRangeCommand('E');
    else if (key == QLatin1String("Down"))
        sendRangeCommand('F');
}

void Panel::sendRangeCommand(char letter)
{
    m_link->whenFree(Exchange::Setting, [this, letter] {
        const auto hold = m_link->tryHold(Exchange::Setting);
        if (!hold)
            return;
        SendCommand(hold->port(), letter);
        Delay(LinkTiming::CommandSettle);
    });
}

void Panel::applyControlRules()
{
    ControlSituation situation;
    situation.longExchange = m_link->longExchangeRunning();
    situation.canRangeUp = m_display.upEnabled;
    situation.canRangeDown = m_display.downEnabled;
    for (const QString &key : m_toolbar->keys())
        m_toolbar->setButtonEnabled(key, ToolbarButtonUsable(key, situation));
    m_keypad->setKeysAvailable(KeypadUsable(situation));
}

void Panel::linkLost()
{
    if (m_closing)
        return;
    m_live->forgetFrame();
    AnnounceLinkLost(m_timers, m_events, [this] { return !m_closing && m_link->lost(); });
}

void Panel::linkBack()
{
    if (!m_closing)
        AnnounceLinkBack(m_timers, m_events);
}

void Panel::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    m_link->dropWaiting();
    m_timers.setBothEnabled(false);
    event->accept();
    Q_EMIT closed();
}

#include "Setup.h"

#include "link/ClockExchange.h"
#include "link/LinkOwner.h"
#include "link/Twips.h"
#include "platform/SerialPort.h"
#include "widgets/Dialogs.h"
#include "widgets/ValueBoard.h"

#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

namespace {

const QString MeterTimeCaption = QStringLiteral("Meter Time");
const QString PcTimeCaption = QStringLiteral("PC System Time");
constexpr int OffsetBelowPanelTopTwips = 1000;

ValueBoard *makeClockLabel(const QString &name, const QString &caption, const QString &description,
                           QWidget *parent)
{
    auto *label = new ValueBoard(caption, caption, parent);
    label->setObjectName(name);
    label->setAccessibleDescription(description);
    label->setActionName(description);
    label->setAlignment(Qt::AlignCenter);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMinimumHeight(label->fontMetrics().height() * 2);
    // Clicking the label switches its clock on and off; keyboard users reach
    // it with Tab and toggle it with Space or Enter.
    label->setFocusPolicy(Qt::StrongFocus);
    label->setCursor(Qt::PointingHandCursor);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.3);
    font.setBold(true);
    label->setFont(font);
    return label;
}

// A screen reader hears the clock's caption as the name and the time as the
// value.
void showClock(ValueBoard *label, const QString &text)
{
    label->setText(text);
}

bool isToggleEvent(QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease)
        return static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    }
    return false;
}

} // namespace

Setup::Setup(LinkOwner &link, PanelTimers &panelTimers, QWidget *panel)
    : QDialog(panel)
    , m_link(link)
    , m_panelTimers(panelTimers)
    , m_panel(panel)
{
    setObjectName(QStringLiteral("Setup"));
    setWindowTitle(QStringLiteral("Setup"));
    setAccessibleName(QStringLiteral("Setup"));

    m_frameTime = new QGroupBox(QStringLiteral("Time"), this);
    m_frameTime->setObjectName(QStringLiteral("FrameTime"));
    m_frameTime->setAccessibleName(QStringLiteral("Time"));
    m_lblMeterTime = makeClockLabel(QStringLiteral("LblMeterTime"), MeterTimeCaption,
                                    tr("Click to show or hide the meter clock"), m_frameTime);
    m_lblPcTime = makeClockLabel(QStringLiteral("LblPCTime"), PcTimeCaption,
                                 tr("Click to show or hide the PC clock"), m_frameTime);
    m_lblMeterTime->installEventFilter(this);
    m_lblPcTime->installEventFilter(this);
    // Without a mouse the same switch is the labels' accessible action.
    connect(m_lblMeterTime, &ValueBoard::activated, this,
            [this] { m_showMeterTime = !m_showMeterTime; });
    connect(m_lblPcTime, &ValueBoard::activated, this, [this] { m_showPcTime = !m_showPcTime; });
    auto *frameLayout = new QVBoxLayout(m_frameTime);
    frameLayout->addWidget(m_lblMeterTime);
    frameLayout->addWidget(m_lblPcTime);

    m_cmdSetTime = new QPushButton(QStringLiteral("Set Meter Time To System Time"), this);
    m_cmdSetTime->setObjectName(QStringLiteral("CmdSetTime"));
    m_cmdSetTime->setAccessibleName(m_cmdSetTime->text());
    m_cmdSetTime->setAutoDefault(false);
    m_cmdExit = new QPushButton(QStringLiteral("Exit"), this);
    m_cmdExit->setObjectName(QStringLiteral("CmdExit"));
    m_cmdExit->setAccessibleName(m_cmdExit->text());
    m_cmdExit->setAutoDefault(false);
    connect(m_cmdSetTime, &QPushButton::clicked, this, &Setup::setMeterTimeToSystemTime);
    connect(m_cmdExit, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdSetTime);
    buttons->addStretch();
    buttons->addWidget(m_cmdExit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_frameTime);
    layout->addLayout(buttons);
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00 00:00:00")) * 2);

    m_timer1.setInterval(RefreshIntervalMs);
    connect(&m_timer1, &QTimer::timeout, this, &Setup::refresh);
}

Setup::~Setup()
{
    if (m_loaded)
        giveTimersBack();
}

void Setup::showEvent(QShowEvent *event)
{
    if (!m_loaded) {
        m_loaded = true;
        placeOverPanel();
        m_showMeterTime = false;
        m_showPcTime = false;
        m_timer1.start();
    }
    QDialog::showEvent(event);
}

void Setup::placeOverPanel()
{
    if (!m_panel)
        return;
    const QRect panel = m_panel->frameGeometry();
    // The window's own frame is not known before it is first shown; it gets
    // the same decorations as the panel.
    const int frameWidth = width() + panel.width() - m_panel->width();
    const int below = TwipsToPixels(OffsetBelowPanelTopTwips, m_panel->logicalDpiY());
    move(panel.left() + (panel.width() - frameWidth) / 2, panel.top() + below);
}

bool Setup::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_lblMeterTime || watched == m_lblPcTime) && isToggleEvent(event)) {
        if (watched == m_lblMeterTime)
            m_showMeterTime = !m_showMeterTime;
        else
            m_showPcTime = !m_showPcTime;
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Setup::refresh()
{
    if (m_refreshing || m_closed)
        return;
    const QScopedValueRollback busy(m_refreshing, true);

    if (m_showMeterTime) {
        holdPanelTimersOff();
        // Another exchange holds the link (this refresh may run inside its
        // wait): the next refresh asks.
        if (const auto hold = m_link.tryHold(Exchange::ClockRead)) {
            const auto meterTime = ReadMeterClock(hold->port(), [this] { return m_closed; });
            if (meterTime)
                showClock(m_lblMeterTime, *meterTime);
        }
        if (m_closed)
            return;
    } else {
        showClock(m_lblMeterTime, MeterTimeCaption);
    }

    if (m_showPcTime)
        showClock(m_lblPcTime,
                  QLocale::c().toString(QDateTime::currentDateTime(),
                                        QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    else
        showClock(m_lblPcTime, PcTimeCaption);

    if (m_setRequested)
        trySetMeterTime();
}

void Setup::setMeterTimeToSystemTime()
{
    if (m_closed)
        return;
    // A click while a refresh or another exchange holds the link is carried
    // out by the next refresh that gets the link, so exchanges never interleave.
    m_setRequested = true;
    if (!m_refreshing)
        trySetMeterTime();
}

void Setup::trySetMeterTime()
{
    if (m_closed)
        return;
    auto hold = m_link.tryHold(Exchange::ClockSet);
    if (!hold)
        return;
    holdPanelTimersOff();
    m_setRequested = false;
    SerialPort &port = hold->port();
    const bool set = SetMeterClock(port, QDateTime::currentDateTime());
    const QString reason = port.errorString();
    // The link is free before the box opens: the time the user takes to
    // read it is no silence of the meter.
    hold.reset();
    if (!set && !m_closed)
        dialogs().message(this, QStringLiteral("The meter clock was not set: %1").arg(reason),
                          QString(), MessageIcon::Warning, MessageButtons::Ok);
}

void Setup::holdPanelTimersOff()
{
    if (!m_panelTimersOff && !m_closed)
        m_panelTimersOff.emplace(m_panelTimers);
}

void Setup::done(int result)
{
    giveTimersBack();
    QDialog::done(result);
}

void Setup::giveTimersBack()
{
    if (m_closed)
        return;
    m_closed = true;
    m_timer1.stop();
    m_panelTimersOff.reset();
    if (m_setRequested) {
        m_setRequested = false;
        dialogs().message(m_panel,
                          QStringLiteral("The meter clock was not set: the meter link stayed "
                                         "busy. Try again!"),
                          QString(), MessageIcon::Warning, MessageButtons::Ok);
    }
}

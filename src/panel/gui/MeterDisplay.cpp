#include "MeterDisplay.h"

#include "LcdColours.h"
#include "LevelBar.h"
#include "SevenSegmentDisplay.h"
#include "StateIcon.h"
#include "live/PanelDisplay.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

StateIcon *stateIcon(StateIcon::Kind kind, const char *name, const char *spoken, QWidget *parent)
{
    auto *icon = new StateIcon(kind, parent);
    icon->setObjectName(QLatin1String(name));
    icon->setAccessibleName(QLatin1String(spoken));
    return icon;
}

} // namespace

MeterDisplay::MeterDisplay(QWidget *parent)
    : QFrame(parent)
    , m_shownLcd(new SevenSegmentDisplay(this))
    , m_lblValue(new QLabel(QStringLiteral("140.0"), this))
    , m_soundBar(new LevelBar(this))
{
    setObjectName(QStringLiteral("MeterDisplay"));
    setAccessibleName(QStringLiteral("Meter display"));
    setFrameShape(QFrame::Box);
    setLineWidth(2);
    QPalette glass = palette();
    glass.setColor(QPalette::Window, LcdColours::glass());
    glass.setColor(QPalette::WindowText, LcdColours::ink());
    glass.setColor(QPalette::Light, LcdColours::frame());
    glass.setColor(QPalette::Dark, LcdColours::frame());
    setPalette(glass);
    setAutoFillBackground(true);

    m_shownLcd->setObjectName(QStringLiteral("ShownLCD"));
    m_shownLcd->setAccessibleName(QStringLiteral("Level"));
    m_shownLcd->setText(QStringLiteral("140.0"));
    m_lblValue->setObjectName(QStringLiteral("LblValue"));
    m_lblValue->hide();
    m_soundBar->setObjectName(QStringLiteral("SoundBar"));
    m_soundBar->setAccessibleName(QStringLiteral("Level bar"));
    m_soundBar->setRange(70, 130);
    m_soundBar->setValue(70);

    m_lblBarMin = indicator("LblBarMin", "70", 10);
    m_lblBarMax = indicator("LblBarMax", "130", 10);
    m_lblFast = indicator("LblFast", "FAST", 13);
    m_lblSlow = indicator("LblSlow", "SLOW", 13);
    m_lblImp = indicator("LblIMP", "IMP", 13);
    m_lblOver = indicator("LblOver", "OVER", 13);
    m_lblUnder = indicator("LblUnder", "UNDER", 13);
    m_lblCa = indicator("LblCA", "C", 22);
    QLabel *lblDb = indicator("LbldB", "dB", 20);
    QLabel *lblM = indicator("LblM", "M", 10);
    QLabel *lblR = indicator("LblR", "R", 10);
    QLabel *lblL = indicator("LblL", "L", 10);
    for (QLabel *hidden : { m_lblFast, m_lblSlow, m_lblImp, m_lblOver, m_lblUnder })
        hidden->hide();
    // Parts of the meter's glass the program never lights.
    const struct
    {
        const char *name;
        const char *text;
    } neverLit[] = { { "LblFull", "FULL" }, { "LblMax", "max" }, { "LblA", "A" }, { "LblC", "C" } };
    for (const auto &n : neverLit)
        indicator(n.name, n.text, 10)->hide();
    m_lblRun = stateIcon(StateIcon::Kind::Run, "LblRun", "Run", this);
    m_lblPause = stateIcon(StateIcon::Kind::Pause, "LblPause", "Pause", this);
    m_lblStop = stateIcon(StateIcon::Kind::Stop, "LblStop", "Stop", this);

    auto *icons = new QHBoxLayout;
    icons->setSpacing(10);
    icons->addWidget(m_lblRun);
    icons->addWidget(m_lblPause);
    icons->addWidget(m_lblStop);
    icons->addStretch();
    auto *weightings = new QHBoxLayout;
    weightings->setSpacing(14);
    weightings->addStretch();
    weightings->addWidget(m_lblFast);
    weightings->addWidget(m_lblSlow);
    weightings->addWidget(m_lblImp);

    auto *modes = new QVBoxLayout;
    modes->addWidget(lblM);
    modes->addWidget(lblR);
    modes->addWidget(lblL);
    modes->addStretch();

    auto *right = new QVBoxLayout;
    right->addWidget(m_lblOver, 0, Qt::AlignLeft);
    right->addWidget(m_lblUnder, 0, Qt::AlignLeft);
    right->addStretch();
    right->addWidget(m_lblCa, 0, Qt::AlignLeft);
    right->addWidget(lblDb, 0, Qt::AlignLeft);

    auto *ends = new QHBoxLayout;
    ends->addWidget(m_lblBarMin);
    ends->addStretch();
    ends->addWidget(m_lblBarMax);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(14, 10, 14, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    grid->addLayout(icons, 0, 0, 1, 2);
    grid->addLayout(weightings, 0, 2);
    grid->addLayout(modes, 1, 0);
    grid->addWidget(m_shownLcd, 1, 1);
    grid->addWidget(m_lblValue, 1, 1); // under the figure, same place and size
    grid->addLayout(right, 1, 2);
    grid->addWidget(m_soundBar, 2, 0, 1, 3);
    grid->addLayout(ends, 3, 0, 1, 3);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);
}

QLabel *MeterDisplay::indicator(const char *name, const char *text, double pointSize)
{
    auto *label = new QLabel(QLatin1String(text), this);
    label->setObjectName(QLatin1String(name));
    QFont font = label->font();
    font.setPointSizeF(pointSize);
    font.setBold(true);
    label->setFont(font);
    QSizePolicy keepPlace = label->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    label->setSizePolicy(keepPlace);
    return label;
}

void MeterDisplay::setValueText(const QString &text)
{
    m_lblValue->setText(text);
}

void MeterDisplay::showDisplay(const PanelDisplay &d)
{
    m_lblBarMax->setText(d.barMaxText);
    m_lblBarMin->setText(d.barMinText);
    m_soundBar->setRange(d.barMinimum, d.barMaximum);
    m_soundBar->setValue(d.barValue);
    m_lblOver->setVisible(d.overVisible);
    m_lblUnder->setVisible(d.underVisible);
    m_lblFast->setVisible(d.fastVisible);
    m_lblSlow->setVisible(d.slowVisible);
    m_lblImp->setVisible(d.impVisible);
    m_lblRun->setVisible(d.runVisible);
    m_lblPause->setVisible(d.pauseVisible);
    m_lblStop->setVisible(d.stopVisible);
    m_lblCa->setText(d.caText);
    m_lblCa->setVisible(d.caVisible);
    m_lblValue->setText(d.valueText);
    m_shownLcd->setText(d.lcdText);
}

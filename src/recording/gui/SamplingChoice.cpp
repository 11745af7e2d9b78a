#include "SamplingChoice.h"

#include "link/LinkOwner.h"
#include "link/Twips.h"
#include "recording/SamplingAnswer.h"
#include "recording/SamplingExchange.h"
#include "platform/PanelTimers.h"
#include "widgets/Dialogs.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <optional>

namespace {

constexpr int OffsetFromPanelTwips = 1000;

const QString InputTitle = QStringLiteral("Input Sampling Time");

// Asks until the answer is a number; nullopt for Cancel or an empty answer.
std::optional<int> askSeconds(QWidget *parent, int maxSeconds, int current)
{
    QString shown = QString::number(current);
    for (;;) {
        const std::optional<QString> answer
            = dialogs().input(parent, SamplingPrompt(maxSeconds), InputTitle, shown);
        if (!answer)
            return std::nullopt;
        const SamplingAnswer read = ReadSamplingAnswer(*answer, maxSeconds);
        switch (read.kind) {
        case SamplingAnswer::Kind::Empty:
            return std::nullopt;
        case SamplingAnswer::Kind::Seconds:
            return read.seconds;
        case SamplingAnswer::Kind::NotANumber:
            dialogs().message(parent, QStringLiteral("Please enter a number."), QString(),
                              MessageIcon::Warning, MessageButtons::Ok);
            shown = *answer; // let the user mend the answer rather than retype it
            break;
        }
    }
}

void askPcSampleInterval(SamplingContext &context)
{
    const std::optional<int> seconds
        = askSeconds(context.panel, PcSampleIntervalMax, context.sampleInterval());
    if (seconds)
        context.setSampleInterval(*seconds);
}

void meterBusy(SamplingContext &context)
{
    dialogs().message(context.panel, QStringLiteral("The meter is busy. Try again!"), QString(),
                      MessageIcon::Warning, MessageButtons::Ok);
}

void askMeterSampleTime(SamplingContext &context)
{
    const TimersOffGuard timersOff(context.timers);
    std::optional<int> current;
    {
        const auto hold = context.link.tryHold(Exchange::SampleTimeRead);
        if (!hold) {
            meterBusy(context);
            return;
        }
        current = ReadMeterSampleTime(hold->port());
    }
    if (!current) {
        dialogs().message(context.panel, QStringLiteral("The meter did not answer. Try again!"),
                          QString(), MessageIcon::Warning, MessageButtons::Ok);
        return;
    }
    context.settings.MeterSampleTime = *current;
    const std::optional<int> seconds = askSeconds(context.panel, MeterSampleTimeMax, *current);
    if (!seconds)
        return;
    const auto hold = context.link.tryHold(Exchange::SampleTimeSet);
    if (!hold) {
        meterBusy(context);
        return;
    }
    WriteMeterSampleTime(hold->port(), *seconds);
    context.settings.MeterSampleTime = *seconds;
}

} // namespace

SamplingChoice::SamplingChoice(bool usePcSampling, QWidget *panel)
    : QDialog(panel)
    , m_panel(panel)
{
    setObjectName(QStringLiteral("SamplingChoice"));
    setWindowTitle(QStringLiteral("Sampling Rate"));
    setAccessibleName(QStringLiteral("Sampling Rate"));

    m_optMeter = new QRadioButton(QStringLiteral("Meter Sampling Rate"), this);
    m_optMeter->setObjectName(QStringLiteral("OptMeter"));
    m_optMeter->setAccessibleName(m_optMeter->text());
    m_optPc = new QRadioButton(QStringLiteral("PC Sampling Rate"), this);
    m_optPc->setObjectName(QStringLiteral("OptPC"));
    m_optPc->setAccessibleName(m_optPc->text());
    (usePcSampling ? m_optPc : m_optMeter)->setChecked(true);

    m_cmdOk = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOk->setObjectName(QStringLiteral("CmdOK"));
    m_cmdOk->setAccessibleName(m_cmdOk->text());
    m_cmdOk->setDefault(true);
    connect(m_cmdOk, &QPushButton::clicked, this, &QDialog::accept);

    auto *okRow = new QHBoxLayout;
    okRow->addStretch();
    okRow->addWidget(m_cmdOk);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_optMeter);
    layout->addWidget(m_optPc);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addLayout(okRow);
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) * 3);
}

bool SamplingChoice::usePcSampling() const
{
    return m_optPc->isChecked();
}

void SamplingChoice::showEvent(QShowEvent *event)
{
    if (!m_placed && m_panel) {
        m_placed = true;
        const QPoint corner = m_panel->frameGeometry().topLeft();
        move(corner.x() + TwipsToPixels(OffsetFromPanelTwips, m_panel->logicalDpiX()),
             corner.y() + TwipsToPixels(OffsetFromPanelTwips, m_panel->logicalDpiY()));
    }
    QDialog::showEvent(event);
}

void ChooseSampling(SamplingContext &context)
{
    SamplingChoice choice(context.settings.UsePcSampling, context.panel);
    if (choice.exec() != QDialog::Accepted)
        return;
    context.settings.UsePcSampling = choice.usePcSampling();
    AskSamplingInterval(context);
}

void AskSamplingInterval(SamplingContext &context)
{
    if (context.settings.UsePcSampling)
        askPcSampleInterval(context);
    else
        askMeterSampleTime(context);
}

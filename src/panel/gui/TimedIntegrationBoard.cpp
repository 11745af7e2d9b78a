#include "TimedIntegrationBoard.h"

#include "recording/FormatTenths.h"
#include "recording/TimedIntegration.h"
#include "widgets/ValueBoard.h"

#include <QLabel>
#include <QTime>
#include <QVBoxLayout>

namespace {

QString clockText(int seconds)
{
    return QTime(0, 0).addSecs(seconds).toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

TimedIntegrationBoard::TimedIntegrationBoard(const TimedIntegration &integration, QWidget *parent)
    : QGroupBox(QStringLiteral("Timed Leq"), parent)
    , m_integration(integration)
    , m_value(new ValueBoard(QStringLiteral("Timed Leq"), this))
{
    setObjectName(QStringLiteral("BoardTimedLeq"));
    setAccessibleName(title());
    m_value->setObjectName(QStringLiteral("LblTimedLeq"));
    m_value->setAlignment(Qt::AlignCenter);
    m_value->setTextFormat(Qt::PlainText);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_value);
    connect(&integration, &TimedIntegration::changed, this, &TimedIntegrationBoard::showState);
    showState();
}

QString TimedIntegrationBoard::text() const
{
    return m_value->text();
}

QString TimedIntegrationBoard::textOf(const TimedIntegration &integration)
{
    if (integration.running())
        return integration.period().text + QStringLiteral(" running, ")
            + clockText(integration.remainingSeconds()) + QStringLiteral(" left");
    if (integration.hasResult())
        return QStringLiteral("Leq ") + FormatTenths(integration.resultLeq())
            + QStringLiteral(" dB  SEL ") + FormatTenths(integration.resultSel())
            + QStringLiteral(" dB\nover ") + integration.resultPeriod().text;
    return QStringLiteral("Off");
}

void TimedIntegrationBoard::showState()
{
    m_value->setText(textOf(m_integration));
}

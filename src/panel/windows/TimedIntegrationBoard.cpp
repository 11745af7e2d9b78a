#include "TimedIntegrationBoard.h"

#include "recording/TimedIntegration.h"

#include <QLabel>
#include <QTime>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Tenths by truncation, as every Leq and SEL text of the panel: 85.37 -> 85.3, 0.5 -> .5.
QString tenthsText(double value)
{
    const QString digits = QString::number(static_cast<long long>(std::trunc(value * 10.0)));
    return digits.left(digits.size() - 1) + u'.' + digits.right(1);
}

QString clockText(int seconds)
{
    return QTime(0, 0).addSecs(seconds).toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

TimedIntegrationBoard::TimedIntegrationBoard(const TimedIntegration &integration, QWidget *parent)
    : QGroupBox(QStringLiteral("Timed Leq"), parent)
    , m_integration(integration)
    , m_value(new QLabel(this))
{
    setObjectName(QStringLiteral("BoardTimedLeq"));
    setAccessibleName(title());
    m_value->setObjectName(QStringLiteral("LblTimedLeq"));
    m_value->setAccessibleName(title());
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
        return QStringLiteral("Leq ") + tenthsText(integration.resultLeq())
            + QStringLiteral(" dB  SEL ") + tenthsText(integration.resultSel())
            + QStringLiteral(" dB\nover ") + integration.resultPeriod().text;
    return QStringLiteral("Off");
}

void TimedIntegrationBoard::showState()
{
    m_value->setText(textOf(m_integration));
}

#pragma once

#include <QGroupBox>

class ValueBoard;
class TimedIntegration;

// The panel's read-out of the timed Leq: the time left while it runs, then
// the Leq and SEL over the whole period until the next one finishes.
class TimedIntegrationBoard : public QGroupBox
{
    Q_OBJECT

public:
    explicit TimedIntegrationBoard(const TimedIntegration &integration, QWidget *parent = nullptr);

    QString text() const;

    // The board's text for a given state of the integration.
    static QString textOf(const TimedIntegration &integration);

private:
    void showState();

    const TimedIntegration &m_integration;
    ValueBoard *m_value;
};

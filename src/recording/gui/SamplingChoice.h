#pragma once

#include "recording/SamplingSettings.h"

#include <QDialog>

#include <functional>

class LinkOwner;
class PanelTimers;
class QPushButton;
class QRadioButton;

// The small window that asks which sampling interval to set: the meter's
// logging interval or the PC's sampling interval.
class SamplingChoice : public QDialog
{
    Q_OBJECT

public:
    SamplingChoice(bool usePcSampling, QWidget *panel);

    // The choice made with OK.
    bool usePcSampling() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *m_panel;
    QRadioButton *m_optMeter;
    QRadioButton *m_optPc;
    QPushButton *m_cmdOk;
    bool m_placed = false;
};

// What setting an interval works on. The PC interval belongs to the
// measurement state: setSampleInterval must also restart its tick count.
struct SamplingContext
{
    LinkOwner &link;
    PanelTimers &timers;
    QWidget *panel;
    SamplingSettings &settings;
    std::function<int()> sampleInterval;
    std::function<void(int)> setSampleInterval;
};

// The Sampling button: the choice window, then the interval it chose. Closing
// the choice window without OK sets nothing.
void ChooseSampling(SamplingContext &context);

// Asks for and sets the interval UsePcSampling names. Talking to the meter
// switches the panel's timers off through the nesting guard, so they run
// again afterwards only if nothing else holds them off.
void AskSamplingInterval(SamplingContext &context);

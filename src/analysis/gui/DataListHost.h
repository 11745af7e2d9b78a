#pragma once

#include "recording/gui/LoggerSetHost.h"

#include <QPointer>

class DataList;
class PanelTimers;

// Shows the memory window's data sets in the data list window.
class DataListHost : public LoggerSetHost
{
public:
    DataListHost(QWidget *panel, PanelTimers *timers);

    QWidget *openSetWindow() override;
    void showSet(QWidget *window, const LoggerSetView &set, int sampleInterval) override;

private:
    QWidget *m_panel;
    PanelTimers *m_timers;
};

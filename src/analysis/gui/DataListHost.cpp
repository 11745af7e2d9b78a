#include "DataListHost.h"

#include "DataList.h"
#include "recording/gui/SaveListDialog.h"

DataListHost::DataListHost(QWidget *panel, PanelTimers *timers)
    : m_panel(panel)
    , m_timers(timers)
{
}

QWidget *DataListHost::openSetWindow()
{
    auto *list = new DataList(m_panel, SaveListDialog, m_timers);
    list->show();
    return list;
}

void DataListHost::showSet(QWidget *window, const LoggerSetView &set, int sampleInterval)
{
    if (auto *list = qobject_cast<DataList *>(window))
        list->showLoggerSet(set, sampleInterval);
}

#pragma once

#include "analysis/StatisticsReport.h"

class PanelTimers;
class QWidget;

// Prints the statistics report of a list window: the printer dialog, the
// printer note, the question for the readings per line, then every copy in
// one document. The window's caption counts the printed readings and comes
// back at the end on every path; timers (may be null) stay off while the
// copies print. False when nothing was printed (cancelled or failed).
bool PrintStatisticsReport(QWidget *window, const StatisticsReportInput &input,
                           PanelTimers *timers);

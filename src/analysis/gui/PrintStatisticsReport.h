#pragma once

#include "analysis/StatisticsReport.h"

#include <functional>

class PanelTimers;
class QWidget;
class ReadingListModel;

// The report of a list window: its boards, read by their control names
// ("BoardCA", "BoardSFI", "BoardLevel", "BoardMaxdB", "BoardMaxTime",
// "BoardSEL", "BoardLeq"), and its readings.
StatisticsReportInput reportInputOf(const std::function<QString(const char *)> &boardText,
                                    const ReadingListModel &list);

// Prints the statistics report of a list window: the printer dialog, the
// printer note, the question for the readings per line, then every copy in
// one document. The window's caption counts the printed readings and comes
// back at the end on every path; timers (may be null) stay off while the
// copies print. False when nothing was printed (cancelled or failed).
bool PrintStatisticsReport(QWidget *window, const StatisticsReportInput &input,
                           PanelTimers *timers);

#pragma once

#include "ReportCommand.h"
#include "recording/SaveState.h"

#include <QWidget>

#include <functional>

class PanelTimers;
class QAction;
class ValueBoard;
class QToolBar;
class ReadingListModel;
class ReadingListView;
struct LoggerSetView;

// One data set of the logger memory: its settings and the meter's own
// statistics on boards, its records in the three aligned list columns, and a
// tool bar that saves it as a "Data Logger" file.
class DataList : public QWidget
{
    Q_OBJECT

public:
    // The save dialog every saver of the program shares.
    using SaveDialog = std::function<void(QWidget *parent, SaveState &state)>;

    static QString designedCaption() { return QStringLiteral("Data List"); }

    // Opens beside the live panel, as a window of its own, and closes the
    // data list that was open: there is one, whichever memory window opened
    // it. The timers (may be null) stay off while a report prints.
    DataList(QWidget *panel, SaveDialog saveDialog, PanelTimers *timers = nullptr);

    // The data list that is open, if any.
    static DataList *openWindow();

    // Fills the boards and the list; sampleInterval is written as line 2 of a saved file.
    void showLoggerSet(const LoggerSetView &set, int sampleInterval);

    ReadingListModel &list() { return *m_list; }
    ReadingListView &listView() { return *m_view; }
    int sampleInterval() const { return m_sampleInterval; }
    QAction *saveAction() const { return m_save; }
    QAction *printAction() const { return m_print; }
    ReportCommand *report() const { return m_report; }
    // The set as a "Data Logger" file would hold it, for the report.
    ReportSource reportSource() const;

    // The tool bar's "Save": asks for a file and writes the set to it.
    void Save();
    // The tool bar's "Print": the set's statistics report, as the
    // statistics window prints it (boards without the peak and percentiles).
    void Print();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    ValueBoard *addBoard(const QString &name, const QString &accessibleName);
    QString boardText(const char *name) const;
    void placeBeside(QWidget *panel);

    ReadingListModel *m_list;
    ReadingListView *m_view;
    SaveDialog m_saveDialog;
    PanelTimers *m_timers;
    QAction *m_save;
    QAction *m_print;
    ReportCommand *m_report;
    int m_sampleInterval = 0;
};

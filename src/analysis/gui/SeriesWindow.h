#pragma once

#include "AnalysisHost.h"

#include "analysis/series/Series.h"

#include <QWidget>

#include <memory>

class QAction;
class QComboBox;
class QCPBars;
class QCPGraph;
class QCPItemRect;
class QCustomPlot;
class QLabel;
class QLineEdit;
class QTableWidget;
class QTabWidget;
class QToolBar;
class QVBoxLayout;
class ReportCommand;
class SeriesDocument;
class ValueBoard;

// Several data files (a station's day files) as one series: its time history
// with the limits and events, interval bars, the interval and day tables as
// `vorn-stats --join` gives them, and its report.
class SeriesWindow : public QWidget
{
    Q_OBJECT

public:
    SeriesWindow(LoadedSeries &&series, int64_t intervalLength, QWidget *parent = nullptr);

    SeriesDocument *document() const { return m_document; }
    const LoadedSeries &series() const;
    const FileFigures &report() const;
    const SeriesLimits &limits() const;
    QCustomPlot *plot() const { return m_plot; }
    QTableWidget *intervalTable() const { return m_intervals; }
    QTableWidget *dayTable() const { return m_days; }
    QTableWidget *eventTable() const { return m_events; }
    // The noise events found above a threshold and the verdict per period,
    // as vorn-stats --events and --period-limits give them.
    QTableWidget *noiseEventTable() const { return m_noiseEvents; }
    QTableWidget *assessmentTable() const { return m_assessment; }
    // Wind, gust and rain under the time history, on its time axis.
    QCustomPlot *weatherPlot() const { return m_weatherPlot; }
    ValueBoard *board(const QString &caption) const;
    ReportCommand *reportCommand() const { return m_report; }

    // The limits typed in (the --limit syntax); false with a message when
    // the text is none. Empty clears them.
    bool setLimitsText(const QString &text);
    // "65" finds noise events above 65 dB; empty: none. False with a message
    // when the text is no level.
    bool setEventThreshold(const QString &text);
    // "day=55,evening=50,night=45" or the --limit syntax; empty: none.
    bool setPeriodLimitsText(const QString &text);
    // "wind>5,gust>10,rain>0"; empty: the default rules; "none": no rules.
    bool setWeatherRulesText(const QString &text);
    // Reads a weather file (the station folder's columns) for this series.
    bool importWeather(const QString &path);
    // Reads the series again with intervals of this length (seconds).
    bool setIntervalLength(int64_t seconds);
    // Shows [from, to) (civil seconds) and draws what falls in it.
    void showRange(double from, double to);
    // The whole series.
    void showAll();
    // The CSV tables as vorn-stats writes them.
    QString intervalsCsv() const;
    QString daysCsv() const;
    bool exportCsv(const QString &which);

    // The trace last drawn, for the cursor and for tests.
    const SeriesTrace &trace() const { return m_trace; }

    static QString limitsSettingKey(const QString &folder);

    // Exclusions: spans whose readings count as not measured. Each change
    // recomputes every figure at once and saves the file beside the series
    // (unless the file read was damaged: then only saveExclusions writes it).
    const std::vector<Exclusion> &exclusions() const;
    QString exclusionsPath() const;
    // What was wrong with the file when it was read, naming the line.
    QString exclusionsProblem() const;
    bool exclusionsUnsaved() const;
    QTableWidget *exclusionTable() const { return m_exclusionTable; }
    void addExclusion(const Exclusion &exclusion);
    void replaceExclusion(int row, const Exclusion &exclusion);
    void removeExclusion(int row);
    bool saveExclusions();
    // A save made after a change is still being written (off this thread).
    bool exclusionsSaving() const;
    // The span chosen by Shift+drag in the graph (civil seconds).
    void setSelection(double from, double to);
    std::optional<std::pair<double, double>> selection() const { return m_selection; }
    // "Exclude…": the dialog for the chosen span (or the view), then adds.
    void exclude();
    // The dialog for an exclusion's row, then replaces it.
    void editExclusion(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void build();
    void buildToolBar(QVBoxLayout *layout);
    void buildAssessmentBar(QVBoxLayout *layout);
    void buildBoards(QVBoxLayout *layout);
    void buildPlots(QVBoxLayout *layout);
    void buildTables(QVBoxLayout *layout);
    void fillFigures();
    void fillIntervals();
    void fillDays();
    void fillEvents();
    void fillNoiseEvents();
    void fillAssessment();
    void fillShownTab();
    void drawNoiseEvents();
    void drawWeather();
    void drawIntervals();
    void redraw();
    void showCursor(double time);
    // Everything shown of the figures, filled again.
    void showFigures();
    void fillExclusions();
    void drawExclusions();
    std::optional<Exclusion> askExclusion(const Exclusion &shown, const QString &title);

    // The series, its rules and exclusions, and the figures they give.
    SeriesDocument *m_document = nullptr;
    double m_seriesStart = 0.0;
    double m_seriesEnd = 1.0;
    QToolBar *m_toolBar = nullptr;
    QComboBox *m_length = nullptr;
    QLineEdit *m_limitsEdit = nullptr;
    QLabel *m_limitsSource = nullptr;
    QCustomPlot *m_plot = nullptr;
    QCPGraph *m_traceGraph = nullptr;
    QCPGraph *m_limitGraph = nullptr;
    QCPGraph *m_eventGraph = nullptr;
    QCPBars *m_okBars = nullptr;
    QCPBars *m_overBars = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTableWidget *m_intervals = nullptr;
    QTableWidget *m_days = nullptr;
    QTableWidget *m_events = nullptr;
    std::vector<SeriesEvent> m_eventRows; // as the events table lists them
    QLabel *m_notes = nullptr;
    ValueBoard *m_cursor = nullptr;
    std::vector<ValueBoard *> m_boards;
    ReportCommand *m_report = nullptr;
    SeriesTrace m_trace;
    bool m_drawing = false;

    QToolBar *m_assessBar = nullptr;
    QLineEdit *m_eventsEdit = nullptr;
    QLineEdit *m_periodLimitsEdit = nullptr;
    QLineEdit *m_weatherRulesEdit = nullptr;
    // The fields' texts as last applied.
    QString m_eventsShown;
    QString m_periodLimitsShown;
    QString m_weatherRulesShown;
    QTableWidget *m_noiseEvents = nullptr;
    QTableWidget *m_assessment = nullptr;
    QCPGraph *m_noiseGraph = nullptr;
    // Filled when shown: a month's events are thousands of rows.
    bool m_noiseEventsStale = true;
    bool m_assessmentStale = true;
    QCustomPlot *m_weatherPlot = nullptr;
    QTableWidget *m_exclusionTable = nullptr;
    QAction *m_excludeAction = nullptr;
    QAction *m_saveExclusionsAction = nullptr;
    std::optional<std::pair<double, double>> m_selection;
    std::optional<double> m_selecting; // where a Shift+drag started
    QCPItemRect *m_selectionItem = nullptr;
    std::vector<QCPItemRect *> m_excludedItems;
};

// The files chosen (or the day files of a folder given alone) read as one
// series with a progress dialog that can cancel; refusals and unreadable
// files are said. nullptr when nothing was opened.
SeriesWindow *OpenSeries(const QStringList &filesOrFolder, QWidget *parent = nullptr,
                         int64_t intervalLength = 900);
// "Open Series…": asks for the files, then opens them as OpenSeries does.
SeriesWindow *OpenSeriesDialog(const AnalysisHost &host);
// The files of a series: those given, or a folder's (its one station's day
// files and running day; with several stations the user chooses one).
QStringList seriesFilesOf(const QStringList &filesOrFolder, QWidget *parent = nullptr,
                          bool *cancelled = nullptr);
QString openSeriesCaption();

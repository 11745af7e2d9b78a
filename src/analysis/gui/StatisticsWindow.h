#pragma once

#include "AnalysisHost.h"

#include "analysis/ListDistribution.h"
#include "analysis/StatisticsReport.h"
#include "widgets/ValueBoard.h"

#include <QMap>
#include <QWidget>

#include <memory>

#include "ReportCommand.h"

class QAction;
class QPushButton;
class QToolBar;
class ReadingListModel;
class ReadingListView;

// One opened data file: its header texts on labelled boards, exactly as
// read, and its readings as the three aligned columns. The tool bar plots
// the levels, builds their distribution, or prints the report.
class StatisticsWindow : public QWidget
{
    Q_OBJECT

public:
    ~StatisticsWindow() override;

    ReadingListModel *model() const { return m_model; }
    ReadingListView *readingList() const { return m_list; }
    QToolBar *toolBar() const { return m_toolBar; }
    QAction *toolBarAction(const QString &key) const;
    QWidget *resolutionPanel() const { return m_resolution; }
    // The board of a control name such as "BoardCA"; nullptr if absent.
    ValueBoard *board(const QString &name) const;
    double samplingInterval() const { return m_samplingInterval; }

    // The tool bar's click, by the button's key: "Plot", "Ln" or "Print".
    void onToolBarButton(const QString &key);
    // The resolution buttons: counts the levels at the class width and hands
    // the distribution to the histogram window.
    void buildDistribution(ResolutionMode mode);

    StatisticsReportInput reportInput() const;

    // The file the window shows, as opened; the report and the graph name it.
    // The file the window shows; its details and calibration are looked up
    // beside it.
    void setSourcePath(const QString &path);
    const QString &sourcePath() const { return m_sourcePath; }
    // The exclusions file beside the file, applied to the distribution and
    // the report; the board under the list says what it takes out.
    const std::shared_ptr<const ExclusionSpans> &exclusions() const { return m_exclusions; }
    ValueBoard *exclusionsBoard() const { return m_exclusionsBoard; }
    // The readings the figures count: all but the excluded ones.
    ReadingRows countedRows() const;
    ReportCommand *report() const { return m_report; }
    // What a report of this window holds: the readings, the stored header,
    // the free texts of an open graph of the same file.
    ReportSource reportSource() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showCalibration();
    void showExclusions();
    void editDetails();

    struct Layout
    {
        QString objectName;
        QString designedCaption;
        QString plotTip;
        bool percentileBoards = false;
    };
    StatisticsWindow(const Layout &layout, DataFileContents &&contents, const AnalysisHost &host);

private:
    void addBoard(class QHBoxLayout *row, const QString &panelName, const QString &caption,
                  const QStringList &boardNames);
    void fillBoards(const QStringList &texts);
    void placeBesidePanel();
    void printReport();

    AnalysisHost m_host;
    ReadingListModel *m_model = nullptr;
    ReadingListView *m_list = nullptr;
    QToolBar *m_toolBar = nullptr;
    QWidget *m_resolution = nullptr;
    QMap<QString, ValueBoard *> m_boards;
    QStringList m_boardOrder;
    double m_samplingInterval = 0.0;
    bool m_busy = false;
    // The header as read (the rows went to the model) and where it came from.
    DataFileContents m_header;
    QString m_sourcePath;
    // "Calibration: within tolerance …" under the list.
    ValueBoard *m_calibration = nullptr;
    ValueBoard *m_exclusionsBoard = nullptr;
    std::shared_ptr<const ExclusionSpans> m_exclusions;
    QString m_exclusionsPath;
    ResolutionMode m_lastMode = ResolutionMode::Tenth;
    ReportCommand *m_report = nullptr;
};

// Statistics window of a "Data Logger" file, with the meter's L 05 … L 95.
class FileList : public StatisticsWindow
{
    Q_OBJECT

public:
    FileList(DataFileContents &&contents, const AnalysisHost &host);
};

// Statistics window of a "Real Time" file or a headerless list file.
class FileListReal : public StatisticsWindow
{
    Q_OBJECT

public:
    FileListReal(DataFileContents &&contents, const AnalysisHost &host);
};

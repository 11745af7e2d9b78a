#pragma once

#include "graphs/LiveGraphData.h"

#include <QWidget>

#include <functional>

class GraphControl;
class QStackedWidget;

// The live panel's five small graphs: the level, Leq and SEL strip charts
// (one shown at a time) and the whole-dB and tenth-dB histograms. A click
// opens the large graph or histogram with a copy of the panel's data.
class LiveGraphs : public QWidget
{
    Q_OBJECT

public:
    enum StripChart { LevelChart = 0, LeqChart = 1, SelChart = 2 };
    static constexpr int StripWindowSamples = 600;

    explicit LiveGraphs(QWidget *parent = nullptr);

    // How the graphs reach the panel's data when the user clicks one.
    void setDataSource(std::function<LiveGraphData()> source);

    // One sample: the level, and the Leq and SEL values of their texts.
    void appendSample(double level, double leq, double sel);
    // Redraws both histograms from the class tables of `data` and shows the
    // one that suits the spread of the levels.
    void setClassTables(const LiveGraphData &data);
    // 0 level, 1 Leq, 2 SEL.
    void setVisibleStripChart(int chart);
    int visibleStripChart() const;
    bool wholeHistogramShown() const;
    // Empties all five graphs.
    void clear();
    // After a lost link: the level chart and both histograms start again;
    // the Leq and SEL charts keep their history.
    void clearAfterLinkLoss();

    GraphControl *levelChart() const { return m_level; }
    GraphControl *leqChart() const { return m_leq; }
    GraphControl *selChart() const { return m_sel; }
    GraphControl *wholeHistogram() const { return m_whole; }
    GraphControl *tenthHistogram() const { return m_tenth; }

    // What a click does, callable directly.
    void openStripChart(int chart);
    void openHistogram(bool whole);

private:
    GraphControl *makeStripChart(const char *name, const QString &caption);
    GraphControl *makeHistogram(const char *name, bool tenths);

    std::function<LiveGraphData()> m_source;
    QStackedWidget *m_strips = nullptr;
    QStackedWidget *m_histograms = nullptr;
    GraphControl *m_level = nullptr;
    GraphControl *m_leq = nullptr;
    GraphControl *m_sel = nullptr;
    GraphControl *m_whole = nullptr;
    GraphControl *m_tenth = nullptr;
};

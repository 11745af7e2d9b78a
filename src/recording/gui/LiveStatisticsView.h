#pragma once

#include "widgets/ValueBoard.h"

#include <QWidget>

#include <array>

class QRadioButton;
struct SampleTickResult;

// The live boards of the panel (Leq, SEL, maximum and its time), the
// recording labels (counter, "Rec", file name) and the choice of the strip
// chart shown. It only shows what the sampling tick produced.
class LiveStatisticsView : public QWidget
{
    Q_OBJECT

public:
    enum StripChart { LevelChart = 0, LeqChart = 1, SelChart = 2 };

    explicit LiveStatisticsView(QWidget *parent = nullptr);

    void showTick(const SampleTickResult &result);
    // The recording indicator and the name of the file being recorded.
    void showRecordingStarted(const QString &fileName);
    void showRecordingStopped();
    // Lines copied while a recording is finished into its data file.
    void showCopyProgress(qint64 lines);

    int stripChart() const { return m_stripChart; }

    ValueBoard *boardLeq() const { return m_boardLeq; }
    ValueBoard *boardSel() const { return m_boardSel; }
    ValueBoard *boardMaxdB() const { return m_boardMaxdB; }
    ValueBoard *boardMaxTime() const { return m_boardMaxTime; }
    ValueBoard *lblCount() const { return m_lblCount; }
    ValueBoard *lblRec() const { return m_lblRec; }
    ValueBoard *lblFileName() const { return m_lblFileName; }

Q_SIGNALS:
    // 0 shows the level chart only, 1 the Leq chart, 2 the SEL chart.
    void stripChartChosen(int chart);

private:
    static void setText(ValueBoard *label, const QString &text);

    ValueBoard *m_boardLeq;
    ValueBoard *m_boardSel;
    ValueBoard *m_boardMaxdB;
    ValueBoard *m_boardMaxTime;
    ValueBoard *m_lblCount;
    ValueBoard *m_lblRec;
    ValueBoard *m_lblFileName;
    std::array<QRadioButton *, 3> m_ssOpt {};
    int m_stripChart = LevelChart;
};

#pragma once

#include <QWidget>

#include <array>

class QLabel;
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

    QLabel *boardLeq() const { return m_boardLeq; }
    QLabel *boardSel() const { return m_boardSel; }
    QLabel *boardMaxdB() const { return m_boardMaxdB; }
    QLabel *boardMaxTime() const { return m_boardMaxTime; }
    QLabel *lblCount() const { return m_lblCount; }
    QLabel *lblRec() const { return m_lblRec; }
    QLabel *lblFileName() const { return m_lblFileName; }

Q_SIGNALS:
    // 0 shows the level chart only, 1 the Leq chart, 2 the SEL chart.
    void stripChartChosen(int chart);

private:
    static void setText(QLabel *label, const QString &text);

    QLabel *m_boardLeq;
    QLabel *m_boardSel;
    QLabel *m_boardMaxdB;
    QLabel *m_boardMaxTime;
    QLabel *m_lblCount;
    QLabel *m_lblRec;
    QLabel *m_lblFileName;
    std::array<QRadioButton *, 3> m_ssOpt {};
    int m_stripChart = LevelChart;
};

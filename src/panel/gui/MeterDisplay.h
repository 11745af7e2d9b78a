#pragma once

#include <QFrame>

struct PanelDisplay;
class LevelBar;
class QLabel;
class SevenSegmentDisplay;
class StateIcon;

// The mirror of the meter's display glass: the level figure, the bar with
// its range ends and every indicator. Indicators light up and go dark in
// place; nothing moves when they change.
class MeterDisplay : public QFrame
{
    Q_OBJECT

public:
    explicit MeterDisplay(QWidget *parent = nullptr);

    void showDisplay(const PanelDisplay &display);
    // The hidden level text; emptied while the link is lost.
    void setValueText(const QString &text);

    SevenSegmentDisplay *figure() const { return m_shownLcd; }
    LevelBar *bar() const { return m_soundBar; }

private:
    QLabel *indicator(const char *name, const char *text, double pointSize);

    SevenSegmentDisplay *m_shownLcd;
    QLabel *m_lblValue;
    LevelBar *m_soundBar;
    QLabel *m_lblBarMin;
    QLabel *m_lblBarMax;
    QLabel *m_lblFast;
    QLabel *m_lblSlow;
    QLabel *m_lblImp;
    QLabel *m_lblOver;
    QLabel *m_lblUnder;
    QLabel *m_lblCa;
    StateIcon *m_lblRun;
    StateIcon *m_lblPause;
    StateIcon *m_lblStop;
};

#pragma once

#include "ClassHistogramWindow.h"

class QTableWidget;

// The histogram of a reading list with its table of percentile levels. Each
// load replaces the open window.
class Histogram : public ClassHistogramWindow
{
    Q_OBJECT

public:
    // A 0.1 dB class i is centred at X = i, a 1 dB class i covers [i, i + 1];
    // the X range [first, last + 1] spans the occupied classes, class 0
    // included. A distribution without any count draws an empty histogram
    // and table.
    static Histogram *LoadListHistogram(const HistogramInput &input);
    static Histogram *openWindow();

    QTableWidget *lnGrid() const { return m_grid; }
    void resetScale() override;
    // Prints the window on the current printer without asking.
    void printHistogram();

protected:
    QString itemDescription(int item) const override;

private:
    Histogram();

    QTableWidget *m_grid = nullptr;
};

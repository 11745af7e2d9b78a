#pragma once

#include "ClassHistogramWindow.h"

#include <cstdint>
#include <span>

// The large histogram of the live class counts. Each load replaces the open
// window.
class RealHistogram : public ClassHistogramWindow
{
    Q_OBJECT

public:
    // Class index i of `counts` at X = i; low and high are the lowest and
    // highest occupied class indices (whole dB or tenths).
    static RealHistogram *LoadClassCounts(std::span<const int64_t> counts, ClassWidth width,
                                          int low, int high);
    static RealHistogram *openWindow();

    void resetScale() override;
    void printHistogram();

protected:
    QString itemDescription(int item) const override;

private:
    RealHistogram();
};

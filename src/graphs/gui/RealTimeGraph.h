#pragma once

#include "SeriesGraphWindow.h"

#include <span>

// The large graph of one live series (level, Leq or SEL) against the sample
// number. Each load replaces the open window.
class RealTimeGraph : public SeriesGraphWindow
{
    Q_OBJECT

public:
    // Closes an open series graph and shows a fresh one with the first `n`
    // values, value k at X = k + 1.
    static RealTimeGraph *LoadSeries(std::span<const double> values, int n, const QString &yCaption,
                                     double yMinimum, double yMaximum);
    // The open series graph, or nullptr.
    static RealTimeGraph *openWindow();

    void resetScale() override;
    void printGraph() override;

protected:
    bool rangeSyncSuppressed() const override;
    QString cursorDescriptionUnit() const override { return QStringLiteral("Value"); }
    void showCursor() override;
    void hideCursor() override;

private:
    RealTimeGraph();
};

#include "PanelDisplay.h"

namespace {
constexpr int HighestRangeTop = 140;
constexpr int LowestRangeBottom = 30;
constexpr double UnderDisplayMargin = 5.0;
} // namespace

QString LcdFigureText(const MeterReading &reading)
{
    if (reading.Level < reading.RangeBottom - UnderDisplayMargin)
        return QStringLiteral("- - -");
    return reading.LevelText;
}

double BarValue(const MeterReading &reading)
{
    if (reading.Level > reading.RangeTop)
        return reading.RangeTop;
    if (reading.Level < reading.RangeBottom)
        return reading.RangeBottom;
    return reading.Level;
}

PanelDisplay NextPanelDisplay(const PanelDisplay &previous, const MeterReading &reading)
{
    PanelDisplay d = previous;
    d.barMaxText = QString::number(reading.RangeTop);
    d.barMinText = QString::number(reading.RangeBottom);
    d.upEnabled = reading.RangeTop != HighestRangeTop;
    d.downEnabled = reading.RangeBottom != LowestRangeBottom;
    d.barMaximum = reading.RangeTop;
    d.barMinimum = reading.RangeBottom;
    d.barValue = BarValue(reading);
    d.overVisible = reading.Over;
    d.underVisible = reading.Under;

    const QString &tw = reading.TimeWeighting;
    if (tw == QLatin1String("SLOW") || tw == QLatin1String("FAST") || tw == QLatin1String("IMP")) {
        d.slowVisible = tw == QLatin1String("SLOW");
        d.fastVisible = tw == QLatin1String("FAST");
        d.impVisible = tw == QLatin1String("IMP");
    }

    d.runVisible = reading.Running;
    d.pauseVisible = reading.Paused;
    d.stopVisible = reading.Stopped;

    if (reading.FreqWeighting == QLatin1String("AA")) {
        d.caVisible = !previous.caVisible;
        d.caText = QStringLiteral("A");
        d.boardCA = QStringLiteral("20-200Hz Filter");
    } else {
        d.caVisible = true;
        d.caText = reading.FreqWeighting;
        d.boardCA = reading.FreqWeighting;
    }

    d.valueText = reading.LevelText;
    d.lcdText = LcdFigureText(reading);
    d.boardSFI = reading.TimeWeighting;
    d.boardLevel = QString::number(reading.RangeBottom) + QLatin1Char('-')
        + QString::number(reading.RangeTop);
    return d;
}

QString PanelCaption(bool withBuildDate)
{
    return withBuildDate ? QStringLiteral("Panel   V8.02   130313")
                         : QStringLiteral("Panel   V8.02");
}

#pragma once

#include "link/MeterReading.h"

#include <QString>

// What the live panel shows, computed from one reading and what it showed
// before (some indicators keep their state, the filter "A" blinks).
struct PanelDisplay
{
    QString lcdText = QStringLiteral("140.0"); // ShownLCD
    QString valueText = QStringLiteral("140.0"); // LblValue, hidden
    double barMinimum = 70;
    double barMaximum = 130;
    double barValue = 70;
    QString barMinText = QStringLiteral("70");
    QString barMaxText = QStringLiteral("130");
    bool overVisible = false;
    bool underVisible = false;
    bool fastVisible = false;
    bool slowVisible = false;
    bool impVisible = false;
    bool runVisible = true; // the state icons show until the first poll
    bool pauseVisible = true;
    bool stopVisible = true;
    bool caVisible = true;
    QString caText = QStringLiteral("C"); // LblCA
    QString boardSFI = QStringLiteral("Slow");
    QString boardCA;
    QString boardLevel = QStringLiteral("80-140");
    bool upEnabled = true;
    bool downEnabled = true;
};

// The figure shown for a level: "- - -" more than 5 dB below the range.
QString LcdFigureText(const MeterReading &reading);

// The level held inside the display range.
double BarValue(const MeterReading &reading);

// One poll's display, from the reading just decoded.
PanelDisplay NextPanelDisplay(const PanelDisplay &previous, const MeterReading &reading);

// The live panel's caption and its toggle on a click of the COM label.
QString PanelCaption(bool withBuildDate);

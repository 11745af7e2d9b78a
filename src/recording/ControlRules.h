#pragma once

#include <QString>

// What decides whether a control of the live panel may be used now.
struct ControlSituation
{
    // A logger download or erase holds the link.
    bool longExchange = false;
    // The meter's range can go up (top below 140 dB) or down (bottom above 30 dB).
    bool canRangeUp = true;
    bool canRangeDown = true;
};

// The one rule set for the panel's tool-bar buttons and keypad. Whether a
// feature exists in this build is the tool bar's other half; this says
// whether the situation allows it.
bool ToolbarButtonUsable(const QString &key, const ControlSituation &situation);
bool KeypadUsable(const ControlSituation &situation);
// Tool-bar buttons whose action talks to the meter.
bool ToolbarButtonUsesLink(const QString &key);

#pragma once

#include <array>

// The panel tool bar's buttons in order: key (for dispatch) and tool tip.
struct ToolbarButton
{
    const char *key;
    const char *tip;
};

// The meter's eleven keys, then the calibration check.
inline constexpr std::array<ToolbarButton, 12> ToolbarButtons = { {
    { "Save", "Save As" },
    { "Open", "Open File To Read" },
    { "Sampling", "Sampling Rate" },
    { "AC", "Frequency Weight" },
    { "FSI", "Time Weight" },
    { "Up", "Level Up" },
    { "Down", "Level Down" },
    { "RTC", "Real Time Clock" },
    { "Memory", "Data Logger" },
    { "Erase", "Erase Memory" },
    { "Refresh", "Refresh" },
    { "Calibration", "Calibration Check" },
} };

inline constexpr const char *RecordingSaveTip = "Stop Recording";

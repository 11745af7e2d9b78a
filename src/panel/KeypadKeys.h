#pragma once

#include "link/MeterLink.h"

#include <array>

// The ten keys of the meter's keypad as the panel's buttons show them.
struct KeypadKey
{
    const char *objectName;
    const char *caption;
    KeyCode code;
};

inline constexpr std::array<KeypadKey, 10> KeypadKeys = { {
    { "BtnCA", "A / C", KeyCode::CA },
    { "BtnFastSlow", "Fast/Slow/Imp", KeyCode::FastSlow },
    { "BtnLeq", "Leq SEL SPL", KeyCode::Leq },
    { "BtnMax", "Max Min Inst", KeyCode::Max },
    { "BtnPlayPause", "Run Pause Stop", KeyCode::PlayPause },
    { "BtnRecord", "Record Erase", KeyCode::Record },
    { "BtnDate", "Date Time", KeyCode::Date },
    { "BtnInteg", "Integ Time", KeyCode::Integ },
    { "BtnUp", "Up", KeyCode::Up },
    { "BtnDown", "Down", KeyCode::Down },
} };

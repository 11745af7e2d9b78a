#pragma once

#include <QString>

// The outcome of the last save dialog, shared by every saver of the program.
// A saver clears FileChosen after writing, so a later action never reuses an
// old path by mistake.
struct SaveState
{
    QString TargetPath;
    bool FileChosen = false;
};

SaveState &saveState();

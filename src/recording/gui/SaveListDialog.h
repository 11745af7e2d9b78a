#pragma once

#include "recording/SaveState.h"

class QWidget;

// The filter of every data file save dialog.
inline constexpr char DataFileFilter[] = "Data Files (*.vorn)|*.vorn|All Files (*.*)|*.*|";

// Asks for the file to save to. A chosen file sets TargetPath and FileChosen;
// a cancel clears both, so no later action reuses an old path. The dialog
// always asks before overwriting an existing file.
void SaveListDialog(QWidget *parent, SaveState &state = saveState());

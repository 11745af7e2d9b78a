#pragma once

#include "recording/RecordingRecovery.h"

class QWidget;

// At program start, before any window: a recording left unfinished in the
// current folder is finished into its data file, and the user is told where
// it went (or why it could not be saved). A recording that another running
// copy of the program is making there is left alone.
RecoveryOutcome RecoverRecordingAtStart(QWidget *parent = nullptr);

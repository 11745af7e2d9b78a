#pragma once

#include "AnalysisHost.h"

class StatisticsWindow;

// The tool bar's Open. While recording it refuses with a critical message;
// otherwise it asks for a ".vorn" file and reads it into a new statistics
// window (FileList for "Data Logger" files, FileListReal for the others),
// closing the open window of the same kind. The panel timers stay off and
// the panel caption counts the records while the file is read; both come
// back on every path. Returns the window, or nullptr when nothing was opened.
StatisticsWindow *OpenDataFile(const AnalysisHost &host, bool recording);

// The same without the dialog, for a file already chosen.
StatisticsWindow *OpenDataFileAt(const QString &path, const AnalysisHost &host);

QString recordingModeMessage();
QString dataFileFilter();
QString recordsCompletedCaption(qint64 records);

// The statistics window of each kind that is open now, or nullptr.
StatisticsWindow *openFileListWindow();
StatisticsWindow *openFileListRealWindow();

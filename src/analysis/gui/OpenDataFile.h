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

// Whether a file opens in place of the open window of its kind (the tool
// bar's Open) or in a window of its own (files named on the command line).
enum class WindowUse { ReplaceOpen, OwnWindow };

// The same without the dialog, for a file already chosen.
StatisticsWindow *OpenDataFileAt(const QString &path, const AnalysisHost &host,
                                 WindowUse use = WindowUse::ReplaceOpen);

// Files dropped on a window: refused while the panel records, with the same
// message as Open; otherwise each is opened as Open does, or, without a
// panel, in a window of its own. Returns the number of windows opened.
int OpenDroppedDataFiles(const QStringList &paths, const AnalysisHost &host);

QString recordingModeMessage();
QString dataFileFilter();
QString recordsCompletedCaption(qint64 records);

// The statistics window of each kind that is open now, or nullptr.
StatisticsWindow *openFileListWindow();
StatisticsWindow *openFileListRealWindow();

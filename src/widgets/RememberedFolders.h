#pragma once

#include <QString>

// The folder each kind of file dialog last used, kept between runs in the
// user's settings, so that a dialog opens where the user worked last.
namespace RememberedFolders {

enum class Kind { DataOpened, DataSaved, Reports };

// The folder remembered for the kind; empty when none is.
QString folder(Kind kind);
// The last file chosen for the kind, for dialogs that start with a name.
QString lastFile(Kind kind);
// Remembers the file's folder once a file with data is there: at once for a
// file opened, when the folder is next asked for after a save; a save that
// failed is never remembered. An empty path (a cancelled dialog) changes
// nothing.
void remember(Kind kind, const QString &chosenPath);

} // namespace RememberedFolders

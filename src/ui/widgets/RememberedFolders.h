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
// Remembers the file's folder; an empty path (a cancelled dialog) changes
// nothing.
void remember(Kind kind, const QString &chosenPath);

} // namespace RememberedFolders

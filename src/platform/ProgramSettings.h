#pragma once

// The program's settings live in a file on every platform: on Windows an
// INI file under %APPDATA% rather than the registry, so that they can be
// read, copied and removed like the rest of the program's files. Called
// once, before the first setting is read.
void keepSettingsInFiles();

// The folder the recording's working files ("Fake") and list dumps go to is
// the current one. Started from the Start menu or Explorer on Windows, that
// is the program's own folder, which a user cannot write to: there the
// program's data folder (%LOCALAPPDATA%\vorn) becomes the current one.
// Called once QCoreApplication exists.
void useWritableWorkingFolder();

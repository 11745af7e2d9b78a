#pragma once

// The program's settings live in a file on every platform: on Windows an
// INI file under %APPDATA% rather than the registry, so that they can be
// read, copied and removed like the rest of the program's files. Called
// once, before the first setting is read.
void keepSettingsInFiles();

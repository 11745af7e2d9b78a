#pragma once

#include <QString>

#include <optional>

// The password in the file's first line; the reason when the file cannot be
// read or other users may read or change it. Secrets never come from a
// command line.
std::optional<QString> readPasswordFile(const QString &path, QString *reason);

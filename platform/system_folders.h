#pragma once

#include <QString>

// The user's documents folder, ending with a separator; empty when the system has none.
QString UserDocumentsFolder();

// Folder of the running executable, ending with a separator.
QString ExecutableFolder();

// Appends the native separator when the path does not already end with it.
QString IncludeTrailingSeparator(const QString& APath);

#pragma once

#include <QString>

// Copies a file so that the target is complete or absent, keeping the source's modification
// time; the bytes are copied in the kernel where it can. A new target is created exclusively
// under its own name and removed again when the copy fails; an existing target is replaced only
// by renaming a complete temporary copy (created exclusively beside it) over it. Not synced to
// disk: this is for bulk copies.
// Returns false (AError receives the reason) on failure; the target is then untouched.
bool CopyFileComplete(const QString& ASource, const QString& ATarget, QString* AError = nullptr);

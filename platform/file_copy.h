#pragma once

#include <QString>

// Copies a file so that the target is complete or absent: the bytes go to a temporary file
// created exclusively beside the target (copied in the kernel where it can), which then gets the
// source's modification time and is renamed over the target. Not synced to disk: this is for
// bulk copies where a crash leaves, at worst, a missing target, never a half-written one.
// Returns false (AError receives the reason) on failure; the target is then untouched.
bool CopyFileComplete(const QString& ASource, const QString& ATarget, QString* AError = nullptr);

#pragma once

#include <QString>

enum class TTrashResult { Trashed, DeletedPermanently, Failed };

// Moves a file or folder to the user's trash. Where the file system has no trash, the entry is
// deleted permanently when AAllowPermanent is set; the result tells which happened so the
// caller can say so.
TTrashResult MoveToTrashOrDelete(const QString& APath, bool AAllowPermanent);

// Deletes a file or a folder tree permanently; false when something could not be deleted.
bool DeletePermanently(const QString& APath);

#pragma once

#include <QString>

// Renames or moves a file or directory without ever replacing an existing entry: when ATo
// exists (as anything, a dangling link included) the call fails and nothing changes. The check
// and the move are one step, so an entry that appears meanwhile is never clobbered. Where the
// file system cannot rename without replacing, a file is moved by linking it under the new
// name and unlinking the old one; a directory cannot be moved that way and the call fails.
// Returns false on failure; AError (when given) receives the reason.
bool RenameNoReplace(const QString& AFrom, const QString& ATo, QString* AError = nullptr);

// The link-and-unlink way on its own, as used where the file system lacks a no-replace rename
// (open to tests, which cannot pick such a file system). Directories are refused.
bool RenameNoReplaceByLink(const QString& AFrom, const QString& ATo, QString* AError = nullptr);

#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file's content atomically: the bytes go to a temporary file created exclusively in
// the same folder, are flushed to disk, and the temporary file is renamed over the target. On
// any failure the previous file is untouched and false is returned; AError (when given)
// receives the reason.
bool WriteFileAtomically(const QString& APath, const QByteArray& ABytes, QString* AError = nullptr);

// Copies AFrom to the backup path beside it (for "options.ini" that is "options.~ini"): the
// old backup is removed first. Returns false when the copy fails.
bool WriteBackupCopy(const QString& AFrom, const QString& ABackupPath);

// The backup name of a file: "~" put in front of its extension ("a/options.ini" gives
// "a/options.~ini"; a name without extension gets ".~").
QString BackupFileName(const QString& APath);

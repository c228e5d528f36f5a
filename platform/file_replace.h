#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

// Gives a file new content so that it is complete or unchanged: the bytes are written to a
// temporary file created exclusively under a free name in the file's folder (".<name>.plvtmp-",
// a random suffix and the process id: see OwnTemporaryPath) and renamed over the file only once
// every byte was written; a failure removes it. Only a crash of the process while writing can leave
// such a file behind. An existing file's mode is kept, and its owner and group where the process
// may set them (where not, the new file belongs to the process, like `sed -i` does it). A symbolic
// link stays the same link: the file it resolves to gets the new content. A file with several hard
// links becomes a new file under this name; its other names keep the old content. A missing file is
// created (mode 0666 less the umask); a directory, FIFO, socket or device is refused, as is a
// symbolic link that resolves to nothing. Not synced to disk: this serves bulk rewrites. Returns
// false on failure, with the file as it was and no temporary file left; AError (when given)
// receives the reason.
bool ReplaceFileContent(const QString& APath, const QByteArray& ABytes, QString* AError = nullptr);

// The same with an unnamed temporary file (O_TMPFILE) given its name only once complete, so
// that not even a crash leaves a temporary file; where the file system has no unnamed files, a
// named one is used.
// AKnownFile, when given, is what the caller found the path to be a moment ago: a regular file
// and no symbolic link (as lstat describes it); the path is then not looked at again, and that
// file's mode and owner are what the new content keeps.
bool ReplaceFileContentByUnnamedTemporary(const QString& APath, const QByteArray& ABytes,
                                          QString* AError = nullptr,
                                          const struct stat* AKnownFile = nullptr);

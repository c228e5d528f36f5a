#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

// An ordinary file read through one descriptor, so its facts and its bytes belong to the same
// file even when the name is replaced meanwhile. The file is opened without waiting (a FIFO put
// in its place never blocks the caller) and refused when it is no ordinary file.
struct TOrdinaryFileRead {
    struct stat Info {};
    // Whether the path itself is the file (no symbolic link led there): Info then describes
    // the path as lstat would.
    bool NotALink = false;
    QByteArray Bytes;
    // Whether Bytes holds the whole file; false when it is larger than the caller's limit.
    bool Complete = false;
};

// Fills AResult with the file's facts (following symbolic links) and, when it holds at most
// AMaxBytes, its whole content. Returns false with the reason in AError when the file cannot be
// opened or read, is no ordinary file, or changed its size while being read.
bool ReadOrdinaryFile(const QString& APath, qint64 AMaxBytes, TOrdinaryFileRead& AResult,
                      QString& AError);

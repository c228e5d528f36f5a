#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

// Names are bytes on this system; the program's paths are text. These helpers tell where the
// two meet without loss.

// The real, absolute and clean form of a folder, ending with a separator: relative to the
// current folder when relative, without "." or ".." parts or doubled separators, and with
// symbolic links resolved as far as the folder exists. Empty for an empty text.
QString RealFolderPath(const QString& AFolder);

// Where a path really leads, in real, absolute and clean form: every symbolic link resolved, the
// last part's too, also when a link leads to a name that does not exist (yet): its folder is
// resolved and the name kept. Empty when it cannot be told (links that loop or nest too deep).
QString RealLocation(const QString& APath);

// True when a name read from the file system reads as text and back without a changed byte.
bool IsTextName(const char* ANativeName);

// What a path names, following symbolic links: one query of the file system.
enum class TNativePathKind { Missing, File, Folder, Other };
TNativePathKind PathKindOf(const QString& APath);
// The same, telling also whether the path itself is a symbolic link: one query of the file
// system for a path that is none, two for a link.
TNativePathKind PathKindOf(const QString& APath, bool& AIsLink);

// A native path for people: valid UTF-8 as text, every other byte as "\xHH".
QString EscapedNativePath(const QByteArray& ANativePath);

// One entry directly inside a folder, listed by its native name.
struct TFolderEntryNative {
    QByteArray Name;
    bool OrdinaryFile = false;  // a regular file, or a link to one
    bool Folder = false;        // a folder (not a link to one)
};

// Lists the entries directly inside a folder by their native names ("." and ".." left out).
// False when the folder cannot be read; AError receives the reason.
bool ListFolderNative(const QByteArray& AFolder, std::vector<TFolderEntryNative>& AEntries,
                      QString* AError = nullptr);

// The names in a folder as the file system holds them (every byte kept, "." and ".." left
// out), in byte order. False with the reason in AError when the folder cannot be read.
bool ListFolderNames(const QString& AFolder, QList<QByteArray>& ANames, QString& AError);

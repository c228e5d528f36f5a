#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

// What a listed entry is, as the walk found it.
enum class TWalkEntryKind : unsigned char {
    File,     // an ordinary file, or a link to one
    Folder,   // a folder (links to folders are not listed)
    Missing,  // a link that leads nowhere
};

// What an entry that is handed out by its native path is.
enum class TWalkNativeKind { File, Folder, Special };

struct TWalkFolderOptions {
    bool Recurse = true;
    // Applied to folders as well as files ("*.*" and "*" match every name).
    QString Mask = QStringLiteral("*.*");
    // Asked before every entry; true ends the walk at once.
    std::function<bool()> AbortTest;
    // On an error: count it and go on (true), or count it and stop (false).
    bool ContinueOnError = true;
    QStringList* Files = nullptr;    // full paths of the files found
    QStringList* Folders = nullptr;  // full paths ending with "/", in pre-order
    // Folders and files together, in the order visited (a folder, then its content).
    QStringList* Entries = nullptr;
    // What each entry of Entries is, in the same order: lets a caller judge the entries
    // without asking the file system again.
    std::vector<TWalkEntryKind>* EntryKinds = nullptr;
    // Called with each entry as it is found, in the order of Entries: for work that should
    // start before the walk ends. An exception it raises ends the walk and passes on.
    std::function<void(const QString& AEntry)> OnEntry;
    bool DeleteFiles = false;
    bool DeleteToTrash = true;
    // Files that had to be deleted permanently because no trash was available.
    QStringList* DeletedPermanently = nullptr;
    // Symbolic links to folders: never followed (they could loop or leave the tree).
    QStringList* SkippedFolderLinks = nullptr;
    // Fifos, sockets and devices (and links to them): never listed, so nothing opens them and
    // waits for ever. A deletion walk still removes them.
    QStringList* SpecialFiles = nullptr;
    // Entries whose name does not read as text without a changed byte (not valid UTF-8): never
    // listed or descended into; the native path goes here instead. Without a handler each one
    // counts as an error, so that no caller misses them.
    std::function<void(const QByteArray& ANativePath, TWalkNativeKind AKind)> OnUndecodable;
    // Symbolic links (to a file, to a folder, or leading nowhere) are asked about here before
    // one is listed or recorded; false leaves it out altogether. Only links are asked, so that
    // an ordinary entry costs nothing more.
    std::function<bool(const QString& APath, bool AFolder)> AcceptLink;
    // Folders that cannot be listed, with the reason (their content is then unknown). Without a
    // handler such a folder is walked as empty.
    std::function<void(const QString& AFolder, const QString& AReason)> OnUnreadableFolder;
    // Ordinary files named as this program's temporary files (see OwnTemporaryProcess): never
    // listed; handed here with the id of the process that made them. Told by the name alone.
    std::function<void(const QByteArray& ANativePath, std::int64_t AProcess)> OnOwnTemporary;
    // When neither a list nor deletion is requested: the number of ordinary files found.
    int* FileCount = nullptr;
};

// Walks a folder tree in pre-order (a folder, then its content), in the order the file system
// returns the entries. Returns the number of errors it swallowed.
int WalkFolder(const QString& ARoot, const TWalkFolderOptions& AOptions);

// True when a file name matches a mask with "*" and "?" ("*.*" matches every name), ignoring
// case.
bool MaskMatches(const QString& AMask, const QString& AName);

enum class TCopyTreeMode {
    NeverOverwrite = 0,
    OverwriteWhenNewer = 1,
    AlwaysOverwrite = 2,
};

// Copies the tree under ASource into ADestination, creating folders as needed. A file whose
// destination exists is left, replaced when the source is newer, or always replaced, by mode.
// Each file is copied completely or not at all and keeps its modification time. Returns the
// number of files that could not be copied.
int CopyTreeMissing(const QString& ASource, const QString& ADestination, TCopyTreeMode AMode);

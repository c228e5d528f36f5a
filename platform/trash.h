#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

// Where trashed entries may go. The program takes them from the environment; tests point them
// at folders of their own, so that no test ever writes into a real trash.
struct TTrashPlaces {
    // The home trash: "$XDG_DATA_HOME/Trash", by default "~/.local/share/Trash". Always
    // absolute; empty when no absolute place can be had (a relative or missing variable is
    // never read as a place below the current folder).
    QString HomeTrash;
    // The top folder (mount point) of the file system holding a native path, in real form and
    // without a trailing separator except for the root; empty when it cannot be told. Unset:
    // found by walking up from the path while the file system stays the same.
    std::function<QByteArray(const QByteArray& ANativePath)> TopFolderOf;

    static TTrashPlaces FromEnvironment();
};

// The top folder of the file system holding ANativePath, found by walking up from it while the
// device stays the same; empty when the path cannot be read.
QByteArray FileSystemTopFolder(const QByteArray& ANativePath);

enum class TTrashResult {
    Trashed,             // moved into a trash
    DeletedPermanently,  // no trash could be had: deleted for good
    NoTrash,             // no trash could be had, and deleting for good was not allowed
    Failed,              // nothing could be done; the error says why
};

// Moves entries into a freedesktop trash: the home trash when it lies on the entry's file
// system, otherwise that file system's top-folder trash ".Trash-<uid>". A trash that would lie
// inside the entry itself or inside the folder kept out of it (the folder being emptied) is
// never used. Each trashed entry gets a clash-free name in "files/" and its
// "info/NAME.trashinfo" (original path percent-encoded, deletion date); the info file is
// created exclusively first, so two programs trashing at once never take the same name.
class TTrash {
public:
    explicit TTrash(TTrashPlaces APlaces, QString AKeepOutOf = {});

    // Moves the entry (a file, a folder with its content, or a link, never followed) to the
    // trash of its file system. Without such a trash the entry is deleted for good when
    // AAllowPermanent is set. AError receives the reason for anything but Trashed: why no
    // trash could be had, or what failed.
    TTrashResult Move(const QByteArray& ANativePath, bool AAllowPermanent,
                      QString* AError = nullptr);

private:
    struct TTrashFolder {
        QByteArray Path;       // the trash folder (holding files/ and info/); empty: none
        QByteArray TopFolder;  // for a top-folder trash: what Path= is relative to
        QString Why;           // why there is none
    };
    TTrashFolder FolderFor(const QByteArray& ANativePath, std::uint64_t ADevice);
    TTrashFolder HomeFolderFor(const QByteArray& ANativePath, std::uint64_t ADevice);
    TTrashFolder TopFolderFor(const QByteArray& ANativePath);
    bool LiesInside(const QByteArray& ATrash, const QByteArray& AEntry) const;

    TTrashPlaces FPlaces;
    QByteArray FKeepOutOf;  // real form, ending with a separator; empty: none
    std::map<std::uint64_t, TTrashFolder> FByDevice;
};

// Moves a file or folder to the trash of its file system, found from the environment; where
// none can be had, it is deleted for good when AAllowPermanent is set. The result says which.
TTrashResult MoveToTrashOrDelete(const QString& APath, bool AAllowPermanent);

// Deletes a file or a folder tree permanently; false when something could not be deleted.
bool DeletePermanently(const QString& APath);

// Deletes a file, link or folder tree given by its native path, never following a link and
// never descending into another file system (a mount point below it stays, and counts as a
// failure). False when something could not be deleted; AError receives the first reason.
bool DeleteTreeNative(const QByteArray& ANativePath, QString* AError = nullptr);

#include "app/folder_walk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/file_copy.h"
#include "platform/native_path.h"
#include "platform/own_temporary.h"
#include "platform/process_info.h"
#include "platform/system_folders.h"
#include "platform/trash.h"

bool MaskMatches(const QString& AMask, const QString& AName) {
    if (AMask.isEmpty() || AMask == QStringLiteral("*.*") || AMask == QStringLiteral("*"))
        return true;
    // wildcardToRegularExpression anchors the whole name.
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(AMask),
                                QRegularExpression::CaseInsensitiveOption);
    return re.match(AName).hasMatch();
}

namespace {

// What one directory entry is, from the entry itself where the file system says, otherwise from
// lstat and (for links) stat.
struct TEntryKind {
    bool Folder = false;       // a folder, or a link to one
    bool Link = false;         // a symbolic link
    bool RegularFile = false;  // an ordinary file, or a link to one
    bool Special = false;      // a fifo, socket or device, or a link to one
};

TEntryKind KindOf(const QByteArray& APath, unsigned char AType) {
    TEntryKind kind;
    struct stat info {};
    switch (AType) {
        case DT_DIR:
            kind.Folder = true;
            return kind;
        case DT_REG:
            kind.RegularFile = true;
            return kind;
        case DT_LNK:
            kind.Link = true;
            break;
        case DT_UNKNOWN:
            if (::lstat(APath.constData(), &info) != 0)
                return kind;
            if (!S_ISLNK(info.st_mode)) {
                kind.Folder = S_ISDIR(info.st_mode);
                kind.RegularFile = S_ISREG(info.st_mode);
                kind.Special = !kind.Folder && !kind.RegularFile;
                return kind;
            }
            kind.Link = true;
            break;
        default:
            kind.Special = true;  // fifos, sockets, devices
            return kind;
    }
    // A link: what it points to (nothing, for a broken one).
    if (::stat(APath.constData(), &info) == 0) {
        kind.Folder = S_ISDIR(info.st_mode);
        kind.RegularFile = S_ISREG(info.st_mode);
        kind.Special = !kind.Folder && !kind.RegularFile;
    }
    return kind;
}

class TDirHandle {
public:
    explicit TDirHandle(DIR* ADir) : FDir(ADir) {}
    ~TDirHandle() {
        if (FDir != nullptr)
            ::closedir(FDir);
    }
    TDirHandle(const TDirHandle&) = delete;
    TDirHandle& operator=(const TDirHandle&) = delete;
    DIR* Get() const { return FDir; }

private:
    DIR* FDir;
};

struct TWalker {
    const TWalkFolderOptions& Options;
    int Errors = 0;
    bool Stopped = false;

    bool CountOnly() const {
        return Options.Files == nullptr && Options.Folders == nullptr &&
               Options.Entries == nullptr && !Options.OnEntry && !Options.DeleteFiles;
    }

    void Error() {
        ++Errors;
        if (!Options.ContinueOnError)
            Stopped = true;
    }

    // Reads the folder with readdir: the entry types come with the names, so most entries need
    // no query of their own (the batch walks trees of many thousands of files).
    void Walk(const QString& AFolder) {
        const QByteArray folder = QFile::encodeName(AFolder);
        const TDirHandle dir(::opendir(folder.constData()));
        if (dir.Get() == nullptr) {
            const int code = errno;
            if (Options.OnUnreadableFolder)
                Options.OnUnreadableFolder(AFolder, SystemErrorText(code));
            // Without a handler, a folder that cannot be read is walked as empty, as one that is
            // missing is not.
            else if (code == ENOENT || code == ENOTDIR)
                Error();
            return;
        }
        const bool countOnly = CountOnly();
        const bool matchAll = Options.Mask.isEmpty() || Options.Mask == QStringLiteral("*.*") ||
                              Options.Mask == QStringLiteral("*");
        QByteArray path = folder;
        while (!Stopped) {
            if (Options.AbortTest && Options.AbortTest()) {
                Stopped = true;
                return;
            }
            errno = 0;
            const dirent* entry = ::readdir(dir.Get());
            if (entry == nullptr) {
                // The end, or a folder that could be opened but not read through.
                if (errno != 0 && Options.OnUnreadableFolder)
                    Options.OnUnreadableFolder(AFolder, SystemErrorText(errno));
                return;
            }
            const char* rawName = entry->d_name;
            if (rawName[0] == '.' &&
                (rawName[1] == '\0' || (rawName[1] == '.' && rawName[2] == '\0')))
                continue;
            // Counting visits ordinary files only; hidden entries are left out altogether.
            if (countOnly && rawName[0] == '.')
                continue;
            const QString name = QFile::decodeName(rawName);
            if (!matchAll && !MaskMatches(Options.Mask, name))
                continue;
            path.truncate(folder.size());
            path.append(rawName);
            const TEntryKind kind = KindOf(path, entry->d_type);
            if (Options.OnOwnTemporary && kind.RegularFile && !kind.Link) {
                if (const std::int64_t process = OwnTemporaryProcess(rawName); process != 0) {
                    Options.OnOwnTemporary(path, process);
                    continue;
                }
            }
            if (!countOnly && !IsTextName(rawName)) {
                Undecodable(path, kind);
                continue;
            }
            if (kind.Link && Options.AcceptLink && !countOnly &&
                !Options.AcceptLink(AFolder + name, kind.Folder))
                continue;
            if (kind.Special && !countOnly) {
                const QString special = AFolder + name;
                if (Options.SpecialFiles != nullptr)
                    Options.SpecialFiles->append(special);
                if (Options.DeleteFiles)
                    Delete(special);
                continue;
            }
            if (kind.Folder) {
                if (kind.Link) {
                    if (Options.SkippedFolderLinks != nullptr)
                        Options.SkippedFolderLinks->append(AFolder + name);
                    continue;
                }
                const QString subFolder = AFolder + name + QLatin1Char('/');
                if (Options.Folders != nullptr)
                    Options.Folders->append(subFolder);
                if (Options.Entries != nullptr)
                    Options.Entries->append(subFolder);
                if (Options.EntryKinds != nullptr)
                    Options.EntryKinds->push_back(TWalkEntryKind::Folder);
                if (Options.OnEntry)
                    Options.OnEntry(subFolder);
                if (Options.Recurse)
                    Walk(subFolder);
                continue;
            }
            if (countOnly) {
                if (kind.RegularFile && Options.FileCount != nullptr)
                    ++*Options.FileCount;
                continue;
            }
            const QString file = AFolder + name;
            if (Options.Files != nullptr)
                Options.Files->append(file);
            if (Options.Entries != nullptr)
                Options.Entries->append(file);
            if (Options.EntryKinds != nullptr)
                Options.EntryKinds->push_back(kind.RegularFile ? TWalkEntryKind::File
                                                               : TWalkEntryKind::Missing);
            if (Options.OnEntry)
                Options.OnEntry(file);
            if (Options.DeleteFiles)
                Delete(file);
        }
    }

    void Undecodable(const QByteArray& APath, const TEntryKind& AKind) {
        if (AKind.Folder && AKind.Link) {
            // Not followed, as any link to a folder; the list is for people to read.
            if (Options.SkippedFolderLinks != nullptr)
                Options.SkippedFolderLinks->append(EscapedNativePath(APath));
            return;
        }
        if (!Options.OnUndecodable) {
            Error();
            return;
        }
        const TWalkNativeKind kind = AKind.Special  ? TWalkNativeKind::Special
                                     : AKind.Folder ? TWalkNativeKind::Folder
                                                    : TWalkNativeKind::File;
        Options.OnUndecodable(APath, kind);
    }

    void Delete(const QString& AFile) {
        const TTrashResult result =
            !Options.DeleteToTrash ? (DeletePermanently(AFile) ? TTrashResult::DeletedPermanently
                                                               : TTrashResult::Failed)
                                   : MoveToTrashOrDelete(AFile, true);
        if (result == TTrashResult::Failed) {
            Error();
        } else if (result == TTrashResult::DeletedPermanently && Options.DeleteToTrash &&
                   Options.DeletedPermanently != nullptr) {
            Options.DeletedPermanently->append(AFile);
        }
    }
};

}  // namespace

int WalkFolder(const QString& ARoot, const TWalkFolderOptions& AOptions) {
    TWalker walker{AOptions};
    if (AOptions.FileCount != nullptr)
        *AOptions.FileCount = 0;
    // Entries are absolute and clean, whatever form the root was given in.
    walker.Walk(IncludeTrailingSeparator(QDir::cleanPath(QDir(ARoot).absolutePath())));
    return walker.Errors;
}

int CopyTreeMissing(const QString& ASource, const QString& ADestination, TCopyTreeMode AMode) {
    const QString source = IncludeTrailingSeparator(ASource);
    const QString destination = IncludeTrailingSeparator(ADestination);
    if (!QFileInfo(source).isDir())
        return 0;
    int failures = 0;
    QDir().mkpath(destination);
    QStringList files;
    QStringList folders;
    TWalkFolderOptions options;
    options.Files = &files;
    options.Folders = &folders;
    WalkFolder(source, options);
    for (const QString& folder : folders)
        QDir().mkpath(destination + folder.mid(source.size()));
    for (const QString& file : files) {
        const QString target = destination + file.mid(source.size());
        const QFileInfo targetInfo(target);
        if (targetInfo.exists()) {
            if (AMode == TCopyTreeMode::NeverOverwrite)
                continue;
            if (AMode == TCopyTreeMode::OverwriteWhenNewer &&
                QFileInfo(file).lastModified() <= targetInfo.lastModified())
                continue;
        }
        if (!CopyFileComplete(file, target))
            ++failures;
    }
    return failures;
}

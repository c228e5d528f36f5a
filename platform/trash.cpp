#include "platform/trash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/native_path.h"
#include "platform/process_info.h"

namespace {

QByteArray Chopped(QByteArray APath) {
    while (APath.size() > 1 && APath.endsWith('/'))
        APath.chop(1);
    return APath;
}

QByteArray ParentOf(const QByteArray& APath) {
    const qsizetype cut = APath.lastIndexOf('/');
    return cut <= 0 ? QByteArray("/") : APath.left(cut);
}

QByteArray NameOf(const QByteArray& APath) {
    return APath.mid(APath.lastIndexOf('/') + 1);
}

QByteArray RealPathOf(const QByteArray& APath) {
    char resolved[PATH_MAX];
    if (::realpath(APath.constData(), resolved) == nullptr)
        return {};
    return QByteArray(resolved);
}

// The device of the nearest part of APath that exists (a trash still to be made will be made
// there).
bool DeviceOfNearest(QByteArray APath, dev_t& ADevice) {
    for (;;) {
        struct stat info {};
        if (::stat(APath.constData(), &info) == 0) {
            ADevice = info.st_dev;
            return true;
        }
        if (APath == "/" || APath.isEmpty())
            return false;
        APath = ParentOf(APath);
    }
}

// Makes APath and every missing folder above it, each private to the user as the trash's
// folders are to be.
bool MakeFolders(const QByteArray& APath, QString& AWhy) {
    struct stat info {};
    if (::stat(APath.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return true;
        AWhy = QStringLiteral("\"%1\" is not a folder").arg(EscapedNativePath(APath));
        return false;
    }
    if (APath != "/" && !MakeFolders(ParentOf(APath), AWhy))
        return false;
    if (::mkdir(APath.constData(), 0700) != 0 && errno != EEXIST) {
        AWhy = QStringLiteral("\"%1\" cannot be made: %2")
                   .arg(EscapedNativePath(APath), SystemErrorText(errno));
        return false;
    }
    return true;
}

bool MakeFilesAndInfo(const QByteArray& ATrash, QString& AWhy) {
    return MakeFolders(ATrash + "/files", AWhy) && MakeFolders(ATrash + "/info", AWhy);
}

// True when AInner is AOuter or lies below it (whole path components; real forms).
bool SameOrBelow(const QByteArray& AInner, const QByteArray& AOuter) {
    if (AOuter.isEmpty())
        return false;
    const QByteArray outer = AOuter.endsWith('/') ? AOuter : AOuter + '/';
    const QByteArray inner = AInner.endsWith('/') ? AInner : AInner + '/';
    return inner.startsWith(outer);
}

// A name that leaves room for a number and ".trashinfo" within the file system's name limit.
QByteArray ShortenedName(const QByteArray& AName) {
    constexpr qsizetype KMax = 200;
    if (AName.size() <= KMax)
        return AName;
    const qsizetype dot = AName.lastIndexOf('.');
    const QByteArray extension =
        dot > 0 && AName.size() - dot <= 20 ? AName.mid(dot) : QByteArray();
    return AName.left(KMax - extension.size()) + extension;
}

// The name of the NUMBER-th try: "a.txt", "a.2.txt", "a.3.txt"... (a leading dot is no
// extension's).
QByteArray NumberedName(const QByteArray& AName, int ANumber) {
    if (ANumber == 1)
        return AName;
    const qsizetype dot = AName.lastIndexOf('.');
    const QByteArray number = '.' + QByteArray::number(ANumber);
    if (dot <= 0)
        return AName + number;
    return AName.left(dot) + number + AName.mid(dot);
}

bool WriteAll(int AFd, const QByteArray& ABytes) {
    qsizetype done = 0;
    while (done < ABytes.size()) {
        const ssize_t written =
            ::write(AFd, ABytes.constData() + done, static_cast<std::size_t>(ABytes.size() - done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += written;
    }
    return true;
}

bool MoveNoReplace(const QByteArray& AFrom, const QByteArray& ATo) {
    if (::renameat2(AT_FDCWD, AFrom.constData(), AT_FDCWD, ATo.constData(), RENAME_NOREPLACE) == 0)
        return true;
    // The name in files/ was found free after its info file was taken, so a plain rename is
    // safe where the file system cannot refuse to replace.
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
        return ::rename(AFrom.constData(), ATo.constData()) == 0;
    return false;
}

QString MountPointText(const QByteArray& APath) {
    return QStringLiteral(
               "\"%1\" is the top of another file system (a mount point) and is left "
               "as it is")
        .arg(EscapedNativePath(APath));
}

// True when the folder APath (device ADevice) is on another file system than its parent.
bool IsMountPoint(const QByteArray& APath, dev_t ADevice) {
    struct stat parent {};
    return ::stat(ParentOf(APath).constData(), &parent) == 0 && parent.st_dev != ADevice;
}

bool DeleteTree(const QByteArray& APath, dev_t ADevice, QString& AError) {
    struct stat info {};
    if (::lstat(APath.constData(), &info) != 0) {
        if (errno == ENOENT)
            return true;
        AError = QStringLiteral("\"%1\": %2").arg(EscapedNativePath(APath), SystemErrorText(errno));
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        if (::unlink(APath.constData()) == 0 || errno == ENOENT)
            return true;
        AError = QStringLiteral("\"%1\": %2").arg(EscapedNativePath(APath), SystemErrorText(errno));
        return false;
    }
    if (info.st_dev != ADevice) {
        AError = MountPointText(APath);
        return false;
    }
    std::vector<TFolderEntryNative> entries;
    QString listError;
    if (!ListFolderNative(APath, entries, &listError)) {
        AError = listError;
        return false;
    }
    bool complete = true;
    for (const TFolderEntryNative& entry : entries) {
        QString error;
        if (!DeleteTree(APath + '/' + entry.Name, ADevice, error)) {
            if (complete)
                AError = error;
            complete = false;
        }
    }
    if (!complete)
        return false;
    if (::rmdir(APath.constData()) == 0 || errno == ENOENT)
        return true;
    AError = QStringLiteral("\"%1\": %2").arg(EscapedNativePath(APath), SystemErrorText(errno));
    return false;
}

QString HomeFolderFromSystem() {
    const QByteArray home = qgetenv("HOME");
    if (home.startsWith('/'))
        return QFile::decodeName(home);
    // No usable variable: the account's own entry.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return QFile::decodeName(found->pw_dir);
    return {};
}

}  // namespace

TTrashPlaces TTrashPlaces::FromEnvironment() {
    TTrashPlaces places;
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    QString base;
    if (dataHome.startsWith('/')) {
        base = QFile::decodeName(dataHome);
    } else {
        const QString home = HomeFolderFromSystem();
        if (!home.isEmpty())
            base = home + QStringLiteral("/.local/share");
    }
    if (!base.isEmpty())
        places.HomeTrash = QDir::cleanPath(base + QStringLiteral("/Trash"));
    return places;
}

QByteArray FileSystemTopFolder(const QByteArray& ANativePath) {
    struct stat info {};
    if (::lstat(ANativePath.constData(), &info) != 0)
        return {};
    const dev_t device = info.st_dev;
    const QByteArray parent = RealPathOf(ParentOf(Chopped(ANativePath)));
    if (parent.isEmpty())
        return {};
    QByteArray current = parent == "/" ? QByteArray("/") + NameOf(Chopped(ANativePath))
                                       : parent + '/' + NameOf(Chopped(ANativePath));
    while (current != "/") {
        const QByteArray up = ParentOf(current);
        if (::stat(up.constData(), &info) != 0 || info.st_dev != device)
            return current;
        current = up;
    }
    return current;
}

TTrash::TTrash(TTrashPlaces APlaces, QString AKeepOutOf) : FPlaces(std::move(APlaces)) {
    if (!AKeepOutOf.isEmpty())
        FKeepOutOf = QFile::encodeName(RealFolderPath(AKeepOutOf));
}

bool TTrash::LiesInside(const QByteArray& ATrash, const QByteArray& AEntry) const {
    return SameOrBelow(ATrash, AEntry) || SameOrBelow(ATrash, FKeepOutOf);
}

TTrash::TTrashFolder TTrash::HomeFolderFor(const QByteArray& AEntry, std::uint64_t ADevice) {
    TTrashFolder none;
    if (FPlaces.HomeTrash.isEmpty() || !FPlaces.HomeTrash.startsWith(QLatin1Char('/'))) {
        none.Why = QStringLiteral("there is no home trash");
        return none;
    }
    const QByteArray trash = Chopped(QFile::encodeName(RealFolderPath(FPlaces.HomeTrash)));
    dev_t device = 0;
    if (!DeviceOfNearest(trash, device) || static_cast<std::uint64_t>(device) != ADevice) {
        none.Why = QStringLiteral("the home trash \"%1\" is on another file system")
                       .arg(EscapedNativePath(trash));
        return none;
    }
    if (LiesInside(trash, AEntry)) {
        none.Why = QStringLiteral("the home trash \"%1\" lies inside what is deleted")
                       .arg(EscapedNativePath(trash));
        return none;
    }
    if (!MakeFilesAndInfo(trash, none.Why))
        return none;
    return {trash, {}, {}};
}

TTrash::TTrashFolder TTrash::TopFolderFor(const QByteArray& AEntry) {
    TTrashFolder none;
    const QByteArray top =
        FPlaces.TopFolderOf ? FPlaces.TopFolderOf(AEntry) : FileSystemTopFolder(AEntry);
    if (!top.startsWith('/')) {
        none.Why = QStringLiteral("the top folder of its file system cannot be told");
        return none;
    }
    const QByteArray trash =
        Chopped(top) + (top == "/" ? "" : "/") + ".Trash-" + QByteArray::number(::getuid());
    if (LiesInside(trash, AEntry)) {
        none.Why = QStringLiteral(
                       "the trash of its file system, \"%1\", would lie inside what is "
                       "deleted")
                       .arg(EscapedNativePath(trash));
        return none;
    }
    struct stat info {};
    if (::lstat(trash.constData(), &info) == 0) {
        // Someone else's folder, or a link that could lead anywhere, is not our trash.
        if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
            none.Why = QStringLiteral("\"%1\" is not a trash folder of this user")
                           .arg(EscapedNativePath(trash));
            return none;
        }
    } else if (::mkdir(trash.constData(), 0700) != 0) {
        none.Why = QStringLiteral("the trash of its file system, \"%1\", cannot be made: %2")
                       .arg(EscapedNativePath(trash), SystemErrorText(errno));
        return none;
    }
    if (!MakeFilesAndInfo(trash, none.Why))
        return none;
    return {trash, Chopped(top), {}};
}

TTrash::TTrashFolder TTrash::FolderFor(const QByteArray& AEntry, std::uint64_t ADevice) {
    // A folder found for the device serves every later entry on it, unless it would lie inside
    // that entry. Why there was none may depend on the entry: that is judged again.
    const auto known = FByDevice.find(ADevice);
    if (known != FByDevice.end() && !LiesInside(known->second.Path, AEntry))
        return known->second;
    TTrashFolder folder = HomeFolderFor(AEntry, ADevice);
    if (folder.Path.isEmpty()) {
        const QString homeWhy = folder.Why;
        folder = TopFolderFor(AEntry);
        if (folder.Path.isEmpty())
            folder.Why = homeWhy + QStringLiteral(", and ") + folder.Why;
    }
    if (!folder.Path.isEmpty())
        FByDevice[ADevice] = folder;
    return folder;
}

TTrashResult TTrash::Move(const QByteArray& ANativePath, bool AAllowPermanent, QString* AError) {
    const auto fail = [&](TTrashResult AResult, const QString& AText) {
        if (AError != nullptr)
            *AError = AText;
        return AResult;
    };
    const QByteArray path = Chopped(ANativePath);
    if (!path.startsWith('/') || path == "/")
        return fail(TTrashResult::Failed,
                    QStringLiteral("\"%1\" is no absolute path of an entry that may be deleted")
                        .arg(EscapedNativePath(ANativePath)));
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0)
        return fail(TTrashResult::Failed, SystemErrorText(errno));
    // A file system mounted below is not part of what is deleted: neither moved nor emptied.
    if (S_ISDIR(info.st_mode) && IsMountPoint(path, info.st_dev))
        return fail(TTrashResult::Failed, MountPointText(path));
    const TTrashFolder folder = FolderFor(path, static_cast<std::uint64_t>(info.st_dev));
    if (folder.Path.isEmpty()) {
        const QString why = QStringLiteral("No trash can be had: ") + folder.Why;
        if (!AAllowPermanent)
            return fail(TTrashResult::NoTrash, why);
        QString error;
        if (!DeleteTreeNative(path, &error))
            return fail(TTrashResult::Failed, error);
        return fail(TTrashResult::DeletedPermanently, why);
    }

    // Path= is absolute in the home trash and relative to the top folder in a top-folder one.
    QByteArray original = path;
    if (!folder.TopFolder.isEmpty() && SameOrBelow(path, folder.TopFolder))
        original = path.mid(folder.TopFolder == "/" ? 1 : folder.TopFolder.size() + 1);
    // Percent-encoded byte by byte: a name that is not UTF-8 keeps every byte.
    const QByteArray infoText =
        "[Trash Info]\nPath=" + original.toPercentEncoding("/") + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() +
        "\n";
    const QByteArray name = ShortenedName(NameOf(path));
    for (int number = 1; number < 100000; ++number) {
        const QByteArray candidate = NumberedName(name, number);
        const QByteArray infoFile = folder.Path + "/info/" + candidate + ".trashinfo";
        const int fd = ::open(infoFile.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return fail(TTrashResult::Failed,
                        QStringLiteral("\"%1\" cannot be made: %2")
                            .arg(EscapedNativePath(infoFile), SystemErrorText(errno)));
        }
        const QByteArray target = folder.Path + "/files/" + candidate;
        struct stat taken {};
        if (::lstat(target.constData(), &taken) == 0) {
            // A leftover without its info file: the name is not free.
            ::close(fd);
            ::unlink(infoFile.constData());
            continue;
        }
        const bool written = WriteAll(fd, infoText);
        const int writeError = errno;
        if (::close(fd) != 0 || !written) {
            ::unlink(infoFile.constData());
            return fail(TTrashResult::Failed,
                        QStringLiteral("\"%1\" cannot be written: %2")
                            .arg(EscapedNativePath(infoFile),
                                 SystemErrorText(written ? errno : writeError)));
        }
        if (!MoveNoReplace(path, target)) {
            const int code = errno;
            ::unlink(infoFile.constData());
            return fail(TTrashResult::Failed, SystemErrorText(code));
        }
        return TTrashResult::Trashed;
    }
    return fail(TTrashResult::Failed, QStringLiteral("no free name in the trash"));
}

TTrashResult MoveToTrashOrDelete(const QString& APath, bool AAllowPermanent) {
    const QFileInfo info(APath);
    if (!info.exists() && !info.isSymLink())
        return TTrashResult::Failed;
    TTrash trash(TTrashPlaces::FromEnvironment());
    return trash.Move(QFile::encodeName(info.absoluteFilePath()), AAllowPermanent);
}

bool DeletePermanently(const QString& APath) {
    return DeleteTreeNative(QFile::encodeName(QFileInfo(APath).absoluteFilePath()));
}

bool DeleteTreeNative(const QByteArray& ANativePath, QString* AError) {
    struct stat info {};
    if (::lstat(ANativePath.constData(), &info) != 0) {
        if (AError != nullptr)
            *AError = SystemErrorText(errno);
        return false;
    }
    // The device of the folder holding it: a mount point given itself is not deleted either.
    struct stat parent {};
    const QByteArray path = Chopped(ANativePath);
    const dev_t device =
        ::stat(ParentOf(path).constData(), &parent) == 0 ? parent.st_dev : info.st_dev;
    QString error;
    if (DeleteTree(path, device, error))
        return true;
    if (AError != nullptr)
        *AError = error;
    return false;
}

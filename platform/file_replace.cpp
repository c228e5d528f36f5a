#include "platform/file_replace.h"

#include <QFile>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/own_temporary.h"
#include "platform/process_info.h"

namespace {

bool Fail(QString* AError, const QString& AText) {
    if (AError != nullptr)
        *AError = AText;
    return false;
}

QString ErrnoText(const char* AWhat, const QString& APath, int ACode) {
    return QString::fromLatin1(AWhat) + QStringLiteral(" \"") + APath + QStringLiteral("\": ") +
           SystemErrorText(ACode);
}

// The file that gets the content: the path itself, or for a symbolic link the file the link
// chain ends at. AExisting tells whether that file exists (AInfo then describes it).
bool ResolveTarget(const QByteArray& APath, QByteArray& ATarget, bool& AExisting,
                   struct stat& AInfo, QString& AError) {
    ATarget = APath;
    AExisting = false;
    if (::lstat(APath.constData(), &AInfo) != 0) {
        if (errno == ENOENT)
            return true;
        AError = ErrnoText("Cannot look at", QFile::decodeName(APath), errno);
        return false;
    }
    if (S_ISLNK(AInfo.st_mode)) {
        char* resolved = ::realpath(APath.constData(), nullptr);
        if (resolved == nullptr) {
            AError = ErrnoText("Cannot follow the symbolic link", QFile::decodeName(APath), errno);
            return false;
        }
        ATarget = QByteArray(resolved);
        std::free(resolved);
        if (::stat(ATarget.constData(), &AInfo) != 0) {
            AError = ErrnoText("Cannot look at", QFile::decodeName(ATarget), errno);
            return false;
        }
    }
    if (!S_ISREG(AInfo.st_mode)) {
        AError = QStringLiteral("\"") + QFile::decodeName(ATarget) +
                 QStringLiteral("\" is not a regular file; it is left as it is.");
        return false;
    }
    AExisting = true;
    return true;
}

// Names for the temporary file beside the target: the file's own name where it fits (so that a
// left-over from a crash shows what it belonged to), with a random suffix and this process's id.
class TTemporaryNames {
public:
    explicit TTemporaryNames(const QByteArray& ATarget) : FTarget(ATarget) {
        const qsizetype slash = ATarget.lastIndexOf('/');
        FFolder = slash < 0 ? QByteArray(".") : ATarget.left(slash + 1);
    }
    const QByteArray& Folder() const { return FFolder; }
    QByteArray Next() const { return OwnTemporaryPath(FTarget, TOwnTemporaryKind::Rewrite); }

private:
    QByteArray FTarget;
    QByteArray FFolder;
};

constexpr int KNameAttempts = 16;

// A new named file created with O_EXCL (a name already taken is never reused); its descriptor,
// or -1 with errno set.
int CreateNamedTemporary(const TTemporaryNames& ANames, QByteArray& ATemp) {
    for (int attempt = 0; attempt < KNameAttempts; ++attempt) {
        ATemp = ANames.Next();
        const int fd = ::open(ATemp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Gives an unnamed file (O_TMPFILE) a free name; linkat never replaces an existing entry.
// AT_EMPTY_PATH links the descriptor itself, the cheaper way; kernels before 6.10 allow it only
// with CAP_DAC_READ_SEARCH and otherwise answer ENOENT, and then the link through /proc, which
// needs no privilege, serves.
bool NameUnnamedTemporary(int AFd, const TTemporaryNames& ANames, QByteArray& ATemp, int& ACode) {
    char procPath[64];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", AFd);
    for (int attempt = 0; attempt < KNameAttempts; ++attempt) {
        ATemp = ANames.Next();
        if (::linkat(AFd, "", AT_FDCWD, ATemp.constData(), AT_EMPTY_PATH) == 0)
            return true;
        if (errno == ENOENT &&
            ::linkat(AT_FDCWD, procPath, AT_FDCWD, ATemp.constData(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            break;
    }
    ACode = errno;
    ATemp.clear();
    return false;
}

// Owner and group first: a change of owner clears the set-user-ID and set-group-ID bits that
// the mode then sets again. Where the owner cannot be given (only the superuser may), the group
// is still kept when the process belongs to it.
bool TakeOverModeAndOwner(int AFd, const struct stat& AOld, int& ACode) {
    struct stat now {};
    if (::fstat(AFd, &now) != 0) {
        ACode = errno;
        return false;
    }
    if (now.st_uid != AOld.st_uid || now.st_gid != AOld.st_gid) {
        if (::fchown(AFd, AOld.st_uid, AOld.st_gid) != 0) {
            if (errno != EPERM) {
                ACode = errno;
                return false;
            }
            if (now.st_gid != AOld.st_gid &&
                ::fchown(AFd, static_cast<uid_t>(-1), AOld.st_gid) != 0 && errno != EPERM) {
                ACode = errno;
                return false;
            }
        }
        now.st_mode = 0;  // a change of owner may have changed the mode bits
    }
    if ((now.st_mode & 07777) != (AOld.st_mode & 07777) &&
        ::fchmod(AFd, AOld.st_mode & 07777) != 0) {
        ACode = errno;
        return false;
    }
    return true;
}

bool WriteAll(int AFd, const QByteArray& ABytes, int& ACode) {
    const char* data = ABytes.constData();
    qsizetype left = ABytes.size();
    while (left > 0) {
        const ssize_t n = ::write(AFd, data, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ACode = errno;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

// Gives the open temporary file the old file's mode and owner and the new bytes; the step that
// failed, or nullptr.
const char* FillTemporary(int AFd, bool AExisting, const struct stat& AOld,
                          const QByteArray& ABytes, int& ACode) {
    if (AExisting && !TakeOverModeAndOwner(AFd, AOld, ACode))
        return "Cannot keep the mode and owner of";
    if (!WriteAll(AFd, ABytes, ACode))
        return "Cannot write";
    return nullptr;
}

bool Replace(const QString& APath, const QByteArray& ABytes, bool AUnnamedFirst,
             const struct stat* AKnownFile, QString* AError) {
    if (APath.isEmpty())
        return Fail(AError, QStringLiteral("An empty path cannot be written."));
    QByteArray target;
    bool existing = false;
    struct stat old {};
    QString error;
    if (AKnownFile != nullptr && S_ISREG(AKnownFile->st_mode)) {
        target = QFile::encodeName(APath);
        existing = true;
        old = *AKnownFile;
    } else if (!ResolveTarget(QFile::encodeName(APath), target, existing, old, error)) {
        return Fail(AError, error);
    }
    const QString shown = QFile::decodeName(target);

    const TTemporaryNames names(target);
    QByteArray temp;  // the temporary file's name, once it has one
    int code = 0;
    const char* step = nullptr;
    // When asked for, first an unnamed file, named only once its content is complete, so that
    // a crash while writing leaves nothing behind. Where the file system has no unnamed files
    // (or they cannot be named), and otherwise, a named file is created.
    int fd = -1;
    if (AUnnamedFirst) {
        fd = ::open(names.Folder().constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return Fail(AError, ErrnoText("Cannot create a temporary file beside", shown, errno));
    }
    if (fd >= 0) {
        step = FillTemporary(fd, existing, old, ABytes, code);
        if (step == nullptr && !NameUnnamedTemporary(fd, names, temp, code)) {
            if (code != ENOENT && code != EPERM)
                step = "Cannot name the temporary file beside";
            ::close(fd);
            fd = -1;
        }
    }
    if (fd < 0 && step == nullptr) {
        fd = CreateNamedTemporary(names, temp);
        if (fd < 0)
            return Fail(AError, ErrnoText("Cannot create a temporary file beside", shown, errno));
        step = FillTemporary(fd, existing, old, ABytes, code);
    }
    // close() is where some file systems (NFS) report a write that did not reach the server.
    if (fd >= 0 && ::close(fd) != 0 && step == nullptr) {
        code = errno;
        step = "Cannot write";
    }
    if (step == nullptr && ::rename(temp.constData(), target.constData()) != 0) {
        code = errno;
        step = "Cannot put the new content in place of";
    }
    if (step != nullptr) {
        if (!temp.isEmpty())
            ::unlink(temp.constData());
        return Fail(AError, ErrnoText(step, shown, code));
    }
    return true;
}

}  // namespace

bool ReplaceFileContent(const QString& APath, const QByteArray& ABytes, QString* AError) {
    // A named file from the start: on tmpfs it costs the kernel less than an unnamed one named
    // afterwards (no link through /proc), and on disk the two cost the same.
    return Replace(APath, ABytes, false, nullptr, AError);
}

bool ReplaceFileContentByUnnamedTemporary(const QString& APath, const QByteArray& ABytes,
                                          QString* AError, const struct stat* AKnownFile) {
    return Replace(APath, ABytes, true, AKnownFile, AError);
}

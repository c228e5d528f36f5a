#include "platform/file_copy.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/native_path.h"
#include "platform/own_temporary.h"

namespace {

class TFd {
public:
    explicit TFd(int AFd = -1) : FFd(AFd) {}
    ~TFd() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    void Reset(int AFd) {
        if (FFd >= 0)
            ::close(FFd);
        FFd = AFd;
    }
    int Release() {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }

private:
    int FFd;
};

QString ErrnoText(const char* AWhat, const QByteArray& APath, int AErrno) {
    return QString::fromLocal8Bit(AWhat) + QStringLiteral(" \"") + EscapedNativePath(APath) +
           QStringLiteral("\": ") + QString::fromLocal8Bit(std::strerror(AErrno));
}

QString ErrnoText(const char* AWhat, const QByteArray& APath) {
    return ErrnoText(AWhat, APath, errno);
}

bool CopyContent(int AIn, int AOut, off_t ASize) {
    off_t left = ASize;
    while (left > 0) {
        const ssize_t n =
            ::copy_file_range(AIn, nullptr, AOut, nullptr, static_cast<size_t>(left), 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)
                break;
            return false;
        }
        if (n == 0)
            break;  // the source shrank: copy what is there
        left -= n;
    }
    if (left == 0)
        return true;
    // Fallback: plain reads and writes from where the kernel copy stopped.
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(AIn, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(AOut, buffer + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            done += w;
        }
    }
}

}  // namespace

bool CopyFileComplete(const QString& ASource, const QString& ATarget, QString* AError) {
    return CopyFileCompleteNative(QFile::encodeName(ASource), QFile::encodeName(ATarget), AError);
}

namespace {

// The content and the modification time of the source (read from its start) into AOut.
bool FillCopy(int AIn, int AOut, const struct stat& AInfo, const char*& AWhat) {
    AWhat = "Cannot copy to";
    if (!CopyContent(AIn, AOut, AInfo.st_size))
        return false;
    AWhat = "Cannot set the time of";
    const struct timespec times[2] = {AInfo.st_atim, AInfo.st_mtim};
    return ::futimens(AOut, times) == 0;
}

enum class TUnnamedCopy { Done, Failed, NotAvailable };

// The copy is written to an unnamed file (O_TMPFILE) in the target's folder and given a name
// only once complete: the target's own name when it is free (linkat never replaces), else a
// temporary name renamed over the target. So not even a killed process leaves a cut-off file.
TUnnamedCopy CopyThroughUnnamedFile(int AIn, const struct stat& AInfo, int ATargetDir,
                                    const char* ATargetName, const QByteArray& AShownTarget,
                                    QString* AError) {
    const QByteArray name(ATargetName);
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : name.left(slash + 1);
    TFd out(::openat(ATargetDir, folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC,
                     AInfo.st_mode & 0777));
    if (out.Get() < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
            return TUnnamedCopy::NotAvailable;
        if (AError != nullptr)
            *AError = ErrnoText("Cannot create", AShownTarget);
        return TUnnamedCopy::Failed;
    }
    const char* what = nullptr;
    if (!FillCopy(AIn, out.Get(), AInfo, what)) {
        if (AError != nullptr)
            *AError = ErrnoText(what, AShownTarget);
        return TUnnamedCopy::Failed;
    }
    char procPath[64];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", out.Get());
    const auto link = [&](const char* AName) {
        return ::linkat(AT_FDCWD, procPath, ATargetDir, AName, AT_SYMLINK_FOLLOW) == 0 ||
               (errno == ENOENT && ::linkat(out.Get(), "", ATargetDir, AName, AT_EMPTY_PATH) == 0);
    };
    QByteArray linked;
    if (link(ATargetName)) {
        linked = name;
    } else if (errno == EEXIST) {
        for (int attempt = 0; attempt < 16 && linked.isEmpty(); ++attempt) {
            const QByteArray temp = OwnTemporaryPath(name, TOwnTemporaryKind::Copy);
            if (link(temp.constData()))
                linked = temp;
            else if (errno != EEXIST)
                break;
        }
    }
    if (linked.isEmpty()) {
        // No /proc and no right to name a file by its descriptor: the named way then.
        if (errno == ENOENT || errno == EPERM)
            return TUnnamedCopy::NotAvailable;
        if (AError != nullptr)
            *AError = ErrnoText("Cannot create", AShownTarget);
        return TUnnamedCopy::Failed;
    }
    // close() is where some file systems (NFS) report a write that did not reach the server.
    if (::close(out.Release()) != 0) {
        const QString error = ErrnoText("Cannot write", AShownTarget);
        ::unlinkat(ATargetDir, linked.constData(), 0);
        if (AError != nullptr)
            *AError = error;
        return TUnnamedCopy::Failed;
    }
    if (linked != name &&
        ::renameat(ATargetDir, linked.constData(), ATargetDir, ATargetName) != 0) {
        const QString error = ErrnoText("Cannot replace", AShownTarget);
        ::unlinkat(ATargetDir, linked.constData(), 0);
        if (AError != nullptr)
            *AError = error;
        return TUnnamedCopy::Failed;
    }
    return TUnnamedCopy::Done;
}

// Without unnamed files: a new target is written under its own name, created exclusively, and
// removed again when the copy fails; an existing target is replaced only by a rename of a
// complete copy.
bool CopyThroughNamedFile(int AIn, const struct stat& AInfo, int ATargetDir,
                          const char* ATargetName, const QByteArray& AShownTarget,
                          QString* AError) {
    const QByteArray targetName(ATargetName);
    TFd out(::openat(ATargetDir, ATargetName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                     AInfo.st_mode & 0777));
    QByteArray temp = out.Get() >= 0 ? targetName : QByteArray();
    if (out.Get() < 0 && errno != EEXIST) {
        if (AError != nullptr)
            *AError = ErrnoText("Cannot create", AShownTarget);
        return false;
    }
    for (int attempt = 0; attempt < 16 && out.Get() < 0; ++attempt) {
        temp = OwnTemporaryPath(targetName, TOwnTemporaryKind::Copy);
        out.Reset(::openat(ATargetDir, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                           AInfo.st_mode & 0777));
        if (out.Get() < 0 && errno != EEXIST)
            break;
    }
    if (out.Get() < 0) {
        if (AError != nullptr)
            *AError = ErrnoText("Cannot create", AShownTarget);
        return false;
    }
    const char* what = nullptr;
    if (!FillCopy(AIn, out.Get(), AInfo, what)) {
        if (AError != nullptr)
            *AError = ErrnoText(what, AShownTarget);
        ::close(out.Release());
        ::unlinkat(ATargetDir, temp.constData(), 0);
        return false;
    }
    if (::close(out.Release()) != 0) {
        const QString error = ErrnoText("Cannot write", AShownTarget);
        ::unlinkat(ATargetDir, temp.constData(), 0);
        if (AError != nullptr)
            *AError = error;
        return false;
    }
    if (temp == targetName)
        return true;
    if (::renameat(ATargetDir, temp.constData(), ATargetDir, ATargetName) != 0) {
        const QString error = ErrnoText("Cannot replace", AShownTarget);
        ::unlinkat(ATargetDir, temp.constData(), 0);
        if (AError != nullptr)
            *AError = error;
        return false;
    }
    return true;
}

// The copy itself, with each side named by a folder descriptor and a name in it (AT_FDCWD and a
// whole path for plain paths); the shown paths go into error texts.
bool CopyAt(int ASourceDir, const char* ASourceName, int ATargetDir, const char* ATargetName,
            const QByteArray& AShownSource, const QByteArray& AShownTarget, QString* AError) {
    // Not blocking: opening a fifo for reading would otherwise wait for a writer for ever.
    TFd in(::openat(ASourceDir, ASourceName, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (in.Get() < 0) {
        if (AError != nullptr)
            *AError = ErrnoText("Cannot open", AShownSource);
        return false;
    }
    struct stat info {};
    if (::fstat(in.Get(), &info) != 0) {
        if (AError != nullptr)
            *AError = ErrnoText("Cannot read", AShownSource);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        if (AError != nullptr)
            *AError = ErrnoText("Cannot copy", AShownSource, EINVAL) +
                      QStringLiteral(" (not an ordinary file)");
        return false;
    }
    switch (CopyThroughUnnamedFile(in.Get(), info, ATargetDir, ATargetName, AShownTarget, AError)) {
        case TUnnamedCopy::Done:
            return true;
        case TUnnamedCopy::Failed:
            return false;
        case TUnnamedCopy::NotAvailable:
            break;
    }
    // Where the file system has no unnamed files (or they cannot be named), a named one.
    if (::lseek(in.Get(), 0, SEEK_SET) != 0) {
        if (AError != nullptr)
            *AError = ErrnoText("Cannot read", AShownSource);
        return false;
    }
    return CopyThroughNamedFile(in.Get(), info, ATargetDir, ATargetName, AShownTarget, AError);
}

}  // namespace

bool CopyFileCompleteNative(const QByteArray& ASource, const QByteArray& ATarget, QString* AError) {
    return CopyAt(AT_FDCWD, ASource.constData(), AT_FDCWD, ATarget.constData(), ASource, ATarget,
                  AError);
}

TFolderCopy::TFolderCopy(const QByteArray& ASourceFolder, const QByteArray& ATargetFolder)
    : FSource(ASourceFolder.endsWith('/') ? ASourceFolder : ASourceFolder + '/'),
      FTarget(ATargetFolder.endsWith('/') ? ATargetFolder : ATargetFolder + '/'),
      FSourceDir(::open(FSource.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
      FTargetDir(::open(FTarget.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

TFolderCopy::~TFolderCopy() {
    if (FSourceDir >= 0)
        ::close(FSourceDir);
    if (FTargetDir >= 0)
        ::close(FTargetDir);
}

bool TFolderCopy::CopyFile(const QByteArray& AName, QString* AError) const {
    const QByteArray source = FSource + AName;
    const QByteArray target = FTarget + AName;
    // A folder that could not be opened: the whole paths say why.
    if (FSourceDir < 0 || FTargetDir < 0 || AName.contains('/'))
        return CopyFileCompleteNative(source, target, AError);
    return CopyAt(FSourceDir, AName.constData(), FTargetDir, AName.constData(), source, target,
                  AError);
}

namespace {

struct TNativeTreeCopy {
    const std::function<bool()>& Abort;
    QStringList& Problems;
    int Failures = 0;

    void Fail(const QString& AText) {
        ++Failures;
        Problems << AText;
    }

    void Copy(const QByteArray& ASource, const QByteArray& ATarget) {
        struct stat folderInfo {};
        if (::stat(ASource.constData(), &folderInfo) != 0) {
            Fail(ErrnoText("Cannot read", ASource));
            return;
        }
        if (::mkdir(ATarget.constData(), folderInfo.st_mode & 07777) != 0 && errno != EEXIST) {
            Fail(ErrnoText("Cannot create", ATarget));
            return;
        }
        DIR* dir = ::opendir(ASource.constData());
        if (dir == nullptr) {
            Fail(ErrnoText("Cannot read", ASource));
            return;
        }
        for (;;) {
            if (Abort && Abort())
                break;
            const dirent* entry = ::readdir(dir);
            if (entry == nullptr)
                break;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            const QByteArray source = ASource + '/' + name;
            const QByteArray target = ATarget + '/' + name;
            struct stat linkInfo {};
            struct stat info {};
            if (::lstat(source.constData(), &linkInfo) != 0 ||
                ::stat(source.constData(), &info) != 0) {
                // A broken link: copied as any file would be, which fails with the reason.
                info = linkInfo;
            }
            if (S_ISDIR(info.st_mode)) {
                if (S_ISLNK(linkInfo.st_mode))
                    Problems << QStringLiteral(
                                    "Symbolic link to a directory not followed and not "
                                    "copied: \"") +
                                    EscapedNativePath(source) + QStringLiteral("\"");
                else
                    Copy(source, target);
                continue;
            }
            if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
                Problems << QStringLiteral("Special file (FIFO, socket or device) not copied: \"") +
                                EscapedNativePath(source) + QStringLiteral("\"");
                continue;
            }
            QString error;
            if (!CopyFileCompleteNative(source, target, &error))
                Fail(error);
        }
        ::closedir(dir);
    }
};

}  // namespace

int CopyFolderNative(const QByteArray& ASource, const QByteArray& ATarget,
                     const std::function<bool()>& AAbort, QStringList& AProblems) {
    TNativeTreeCopy copy{AAbort, AProblems};
    copy.Copy(ASource, ATarget);
    return copy.Failures;
}

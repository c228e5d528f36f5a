#include "platform/locked_log_file.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString ErrnoText(int ACode) {
    return QString::fromLocal8Bit(std::strerror(ACode));
}

// A free name for the n-th try: the path itself, then "_2", "_3"... before the extension.
QString NumberedPath(const QString& APath, int ANumber) {
    if (ANumber <= 1)
        return APath;
    const qsizetype slash = APath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = APath.lastIndexOf(QLatin1Char('.'));
    const qsizetype at = dot > slash ? dot : APath.size();
    return APath.left(at) + QStringLiteral("_%1").arg(ANumber) + APath.mid(at);
}

// Bounded so that a folder that refuses every name in the same way cannot keep us trying.
constexpr int KMaxNumberedTries = 1000;

}  // namespace

TLockedLogFile::TLockedLogFile(int AFd, QString APath) : FFd(AFd), FPath(std::move(APath)) {}

TLockedLogFile::~TLockedLogFile() {
    if (FFd >= 0)
        ::close(FFd);
}

std::unique_ptr<TLockedLogFile> TLockedLogFile::CreateFree(const QString& APath, QString& AError) {
    for (int number = 1; number <= KMaxNumberedTries; ++number) {
        const QString path = NumberedPath(APath, number);
        const QByteArray native = QFile::encodeName(path);
        const int fd =
            ::open(native.constData(),
                   O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            AError = ErrnoText(errno);
            return nullptr;
        }
        // Nobody else can hold the lock of a file just made; a file system without locks
        // still gets its log.
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EINTR) {
        }
        return std::unique_ptr<TLockedLogFile>(new TLockedLogFile(fd, path));
    }
    AError = QStringLiteral("every name up to \"%1\" is taken")
                 .arg(NumberedPath(APath, KMaxNumberedTries));
    return nullptr;
}

bool TLockedLogFile::Append(const QByteArray& ABytes, QString& AError) const {
    const char* data = ABytes.constData();
    std::size_t left = static_cast<std::size_t>(ABytes.size());
    while (left > 0) {
        const ssize_t written = ::write(FFd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            AError = ErrnoText(written < 0 ? errno : ENOSPC);
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

TUnlockedDeleteResult DeleteUnlessLocked(const QString& APath) {
    const QByteArray native = QFile::encodeName(APath);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return TUnlockedDeleteResult::Failed;
    int locked = 0;
    while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    const bool inUse = locked != 0 && errno == EWOULDBLOCK;
    // Deleted while the lock is held, so no writer can take the file up in between.
    const bool deleted = !inUse && ::unlink(native.constData()) == 0;
    ::close(fd);
    if (inUse)
        return TUnlockedDeleteResult::InUse;
    return deleted ? TUnlockedDeleteResult::Deleted : TUnlockedDeleteResult::Failed;
}

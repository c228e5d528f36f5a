#include "platform/own_temporary.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

#include "platform/process_info.h"

namespace {

constexpr int KHexDigits = 16;
constexpr int KMaxProcessDigits = 10;

const char* MarkerOf(TOwnTemporaryKind AKind) {
    switch (AKind) {
        case TOwnTemporaryKind::Copy:
            return ".plvcopy-";
        case TOwnTemporaryKind::Archive:
            return ".plvzip-";
        case TOwnTemporaryKind::Rewrite:
            break;
    }
    return ".plvtmp-";
}

bool IsLowerHex(char AChar) {
    return (AChar >= '0' && AChar <= '9') || (AChar >= 'a' && AChar <= 'f');
}

}  // namespace

QByteArray OwnTemporaryPath(const QByteArray& APath, TOwnTemporaryKind AKind) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "%s%016llx-%lld", MarkerOf(AKind),
                  static_cast<unsigned long long>(random()), static_cast<long long>(::getpid()));
    const qsizetype slash = APath.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : APath.left(slash + 1);
    const QByteArray name = slash < 0 ? APath : APath.mid(slash + 1);
    // A copy keeps its name visible, as the file it becomes; the others are hidden beside it.
    QByteArray stem = AKind == TOwnTemporaryKind::Copy ? name : "." + name;
    if (stem.size() + static_cast<qsizetype>(std::strlen(suffix)) > NAME_MAX)
        stem.clear();
    return folder + stem + suffix;
}

std::int64_t OwnTemporaryProcess(const char* AName) {
    // Read from the end: "-", the process id, "-", 16 hex digits, the marker.
    const std::size_t length = std::strlen(AName);
    std::size_t end = length;
    std::size_t digits = 0;
    while (end > 0 && AName[end - 1] >= '0' && AName[end - 1] <= '9') {
        --end;
        ++digits;
    }
    if (digits == 0 || digits > KMaxProcessDigits || AName[end] == '0' || end == 0 ||
        AName[end - 1] != '-')
        return 0;
    const std::size_t dash = end - 1;
    if (dash < KHexDigits + 1)
        return 0;
    const std::size_t hex = dash - KHexDigits;
    for (std::size_t i = hex; i < dash; ++i)
        if (!IsLowerHex(AName[i]))
            return 0;
    bool marked = false;
    for (const TOwnTemporaryKind kind :
         {TOwnTemporaryKind::Rewrite, TOwnTemporaryKind::Copy, TOwnTemporaryKind::Archive}) {
        const char* marker = MarkerOf(kind);
        const std::size_t size = std::strlen(marker);
        if (hex >= size && std::memcmp(AName + hex - size, marker, size) == 0)
            marked = true;
    }
    if (!marked)
        return 0;
    std::int64_t process = 0;
    for (std::size_t i = end; i < length; ++i)
        process = process * 10 + (AName[i] - '0');
    return process;
}

bool ProcessHasEnded(std::int64_t AProcess) {
    if (AProcess <= 0 || AProcess == CurrentProcessId() || AProcess > INT_MAX)
        return false;
    // Only "no such process" says it has ended; without the right to signal it, it runs.
    return ::kill(static_cast<pid_t>(AProcess), 0) != 0 && errno == ESRCH;
}

bool RemoveLeftoverFile(const QByteArray& APath, QString& AError) {
    if (::unlink(APath.constData()) == 0 || errno == ENOENT)
        return true;
    AError = SystemErrorText(errno);
    return false;
}

TOwnTemporaryFile::TOwnTemporaryFile(const QByteArray& ATarget, TOwnTemporaryKind AKind)
    : FTarget(ATarget), FKind(AKind) {}

TOwnTemporaryFile::~TOwnTemporaryFile() {
    Discard();
}

int TOwnTemporaryFile::Create() {
    Discard();
    for (int attempt = 0; attempt < 16; ++attempt) {
        FPath = OwnTemporaryPath(FTarget, FKind);
        FFd = ::open(FPath.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (FFd >= 0)
            return 0;
        if (errno != EEXIST)
            break;
    }
    const int code = errno;
    FPath.clear();
    return code;
}

int TOwnTemporaryFile::Write(const void* AData, std::uint64_t ASize) {
    const char* data = static_cast<const char*>(AData);
    std::uint64_t left = ASize;
    while (left > 0) {
        const ssize_t n =
            ::pwrite(FFd, data, static_cast<size_t>(left), static_cast<off_t>(FPosition));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        left -= static_cast<std::uint64_t>(n);
        FPosition += static_cast<std::uint64_t>(n);
    }
    FLength = std::max(FLength, FPosition);
    return 0;
}

bool TOwnTemporaryFile::Seek(std::uint64_t APosition) {
    if (APosition > FLength)
        return false;
    FPosition = APosition;
    return true;
}

int TOwnTemporaryFile::Commit(bool ASync) {
    if (FFd < 0)
        return EBADF;
    struct stat target {};
    const bool existing = ::stat(FTarget.constData(), &target) == 0;
    int code = 0;
    if (existing && ::fchmod(FFd, target.st_mode & 07777) != 0)
        code = errno;
    if (code == 0 && ASync && ::fdatasync(FFd) != 0)
        code = errno;
    // close() is where some file systems (NFS) report a write that did not reach the server.
    if (::close(std::exchange(FFd, -1)) != 0 && code == 0)
        code = errno;
    if (code == 0 && ::rename(FPath.constData(), FTarget.constData()) != 0)
        code = errno;
    if (code != 0) {
        Discard();
        return code;
    }
    FPath.clear();
    return 0;
}

void TOwnTemporaryFile::Discard() {
    if (FFd >= 0)
        ::close(std::exchange(FFd, -1));
    if (!FPath.isEmpty())
        ::unlink(FPath.constData());
    FPath.clear();
    FPosition = 0;
    FLength = 0;
}

#include "tests/support/child_process.h"

#include <QFile>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>

namespace {

QString Errno(const char* AWhat) {
    return QString::fromLatin1(AWhat) + QStringLiteral(": ") +
           QString::fromLocal8Bit(std::strerror(errno));
}

void WriteAll(int AFd, const QByteArray& ABytes) {
    const char* data = ABytes.constData();
    qsizetype left = ABytes.size();
    while (left > 0) {
        const ssize_t n = ::write(AFd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        left -= n;
    }
}

}  // namespace

TChildOutcome RunInChildProcess(const std::function<QByteArray()>& AWork) {
    TChildOutcome outcome;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        outcome.Output = Errno("pipe").toUtf8();
        return outcome;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        outcome.Output = Errno("fork").toUtf8();
        return outcome;
    }
    if (pid == 0) {
        ::close(fds[0]);
        int code = 0;
        QByteArray output;
        try {
            output = AWork();
        } catch (const std::exception& e) {
            output = e.what();
            code = 1;
        } catch (...) {
            code = 1;
        }
        WriteAll(fds[1], output);
        ::_exit(code);
    }
    ::close(fds[1]);
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        outcome.Output.append(buffer, n);
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.Exited = WIFEXITED(status);
    outcome.ExitCode = outcome.Exited ? WEXITSTATUS(status) : -1;
    return outcome;
}

QString LimitFileSizeOfThisProcess(qint64 ABytes) {
    if (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR)
        return Errno("signal");
    struct rlimit limit {};
    limit.rlim_cur = static_cast<rlim_t>(ABytes);
    limit.rlim_max = static_cast<rlim_t>(ABytes);
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return Errno("setrlimit");
    return {};
}

QString EnterPrivateMountNamespace() {
    if (::unshare(CLONE_NEWNS) != 0)
        return Errno("unshare");
    // Without this the mounts below could propagate to the machine's namespace.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return Errno("mount --make-rprivate /");
    return {};
}

QString MountSmallTmpfs(const QString& AFolder, qint64 ABytes) {
    const QByteArray options = "size=" + QByteArray::number(ABytes);
    if (::mount("plovane-test", QFile::encodeName(AFolder).constData(), "tmpfs",
                MS_NOSUID | MS_NODEV, options.constData()) != 0)
        return Errno("mount tmpfs");
    return {};
}

QString MakeReadOnly(const QString& APath) {
    const QByteArray path = QFile::encodeName(APath);
    if (::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0)
        return Errno("mount --bind");
    if (::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
        return Errno("mount -o remount,bind,ro");
    return {};
}

QString FillFileSystem(const QString& AFile) {
    const int fd =
        ::open(QFile::encodeName(AFile).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return Errno("open");
    const QByteArray block(4096, 'f');
    QString result;
    for (;;) {
        const ssize_t n = ::write(fd, block.constData(), static_cast<size_t>(block.size()));
        if (n > 0 || (n < 0 && errno == EINTR))
            continue;
        if (n < 0 && errno != ENOSPC)
            result = Errno("write");
        break;
    }
    // Single bytes too, so that not even a part of a block is left.
    while (result.isEmpty() && ::write(fd, "f", 1) == 1) {
    }
    ::close(fd);
    return result;
}

qint64 EndedProcessId() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

#include "platform/process_info.h"

#include <QDir>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int LastSystemErrorCode() {
    return errno;
}

QString SystemErrorText(int ACode) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(ACode, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

std::int64_t CurrentProcessId() {
    return static_cast<std::int64_t>(::getpid());
}

std::int64_t CurrentThreadId() {
    // A thread's id never changes; asked once per path by the batch, it is kept per thread.
    thread_local const std::int64_t id = static_cast<std::int64_t>(::syscall(SYS_gettid));
    return id;
}

QString CurrentWorkDirectory() {
    return QDir::currentPath();
}

void LowerCurrentThreadPriority() {
    // Per-thread nice value on Linux; failure only means normal priority.
    static_cast<void>(::setpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadId()), 5));
}

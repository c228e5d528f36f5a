#pragma once

// Runs a piece of a test in a forked copy of the test process, for conditions that must not
// touch the test process itself: a file-size limit, a private mount namespace with a small or
// read-only file system. The child ends with _exit right after its work, so nothing of the
// test's state is torn down twice; what it returns comes back through a pipe.

#include <QByteArray>
#include <QString>

#include <functional>

struct TChildOutcome {
    bool Exited = false;  // ended by _exit (not by a signal)
    int ExitCode = -1;    // 0 when the work returned, 1 when it raised
    QByteArray Output;    // what the work returned, or the message of what it raised
};

TChildOutcome RunInChildProcess(const std::function<QByteArray()>& AWork);

// The id of a process that has ended and been reaped: what a killed batch leaves behind.
qint64 EndedProcessId();

// Only in a child: files this process writes may grow to ABytes at most. SIGXFSZ is ignored, so
// a write past the limit fails with EFBIG instead of killing the process. Empty on success,
// else the reason.
QString LimitFileSizeOfThisProcess(qint64 ABytes);

// Only in a child: gives this process a private mount namespace (mounts there vanish with it
// and never reach the machine). Empty on success, else the reason (no right to do so).
QString EnterPrivateMountNamespace();

// Only in a child, after EnterPrivateMountNamespace: mounts a tmpfs of ABytes at AFolder (an
// existing folder). Empty on success, else the reason.
QString MountSmallTmpfs(const QString& AFolder, qint64 ABytes);

// Only in a child, after EnterPrivateMountNamespace: makes the file or folder APath read-only
// (a read-only bind mount onto itself), as a file system turned read-only after errors. Empty on
// success, else the reason.
QString MakeReadOnly(const QString& APath);

// Writes the file AFile until the file system holding it has no byte left. Empty on success
// (the file system reported itself full), else the reason.
QString FillFileSystem(const QString& AFile);

// The output of a child that could not set up its condition starts with this, followed by the
// reason; the test then skips.
inline const QByteArray KChildSkipped = QByteArrayLiteral("skipped: ");

#include "platform/file_rename.h"

#include <QFile>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/process_info.h"

namespace {

bool Fail(QString* AError, const QString& AText) {
    if (AError != nullptr)
        *AError = AText;
    return false;
}

// link() creates the new name only when it is free, which gives the no-replace guarantee for
// files. Directories cannot be hard-linked.
bool LinkThenUnlink(const QByteArray& AFrom, const QByteArray& ATo, QString* AError) {
    struct stat info {};
    if (::lstat(AFrom.constData(), &info) != 0)
        return Fail(AError, SystemErrorText(errno));
    if (S_ISDIR(info.st_mode))
        return Fail(AError, QStringLiteral("The file system cannot rename a directory without the "
                                           "risk of replacing an existing one."));
    if (::link(AFrom.constData(), ATo.constData()) != 0)
        return Fail(AError, SystemErrorText(errno));
    if (::unlink(AFrom.constData()) != 0) {
        const int code = errno;
        // Both names lead to the file now; drop the new one so that nothing changed.
        ::unlink(ATo.constData());
        return Fail(AError, SystemErrorText(code));
    }
    return true;
}

bool CheckNotEmpty(const QString& AFrom, const QString& ATo, QString* AError) {
    if (AFrom.isEmpty() || ATo.isEmpty())
        return Fail(AError, QStringLiteral("An empty path cannot be renamed."));
    return true;
}

}  // namespace

bool RenameNoReplace(const QString& AFrom, const QString& ATo, QString* AError) {
    if (!CheckNotEmpty(AFrom, ATo, AError))
        return false;
    const QByteArray from = QFile::encodeName(AFrom);
    const QByteArray to = QFile::encodeName(ATo);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    const int code = errno;
    // EINVAL also means "a directory into itself"; the fallback then fails on the directory.
    const bool intoItself = code == EINVAL && to.startsWith(from + '/');
    if (!intoItself && (code == EINVAL || code == ENOSYS || code == EOPNOTSUPP))
        return LinkThenUnlink(from, to, AError);
    return Fail(AError, SystemErrorText(code));
}

bool RenameNoReplaceByLink(const QString& AFrom, const QString& ATo, QString* AError) {
    if (!CheckNotEmpty(AFrom, ATo, AError))
        return false;
    return LinkThenUnlink(QFile::encodeName(AFrom), QFile::encodeName(ATo), AError);
}

#include "base/atomic_file.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include "platform/own_temporary.h"
#include "platform/process_info.h"

bool WriteFileAtomically(const QString& APath, const QByteArray& ABytes, QString* AError) {
    const auto fail = [&](const QString& AReason) {
        if (AError != nullptr)
            *AError = QStringLiteral("Cannot write \"") + APath + QStringLiteral("\": ") + AReason;
        return false;
    };
    // A link keeps pointing where it pointed: the file it leads to gets the new content.
    const QFileInfo info(APath);
    QString target = APath;
    if (info.isSymLink()) {
        target = info.canonicalFilePath();
        if (target.isEmpty())
            target = info.symLinkTarget();  // leads to a file not yet there
    }
    if (QFileInfo(target).isDir())
        return fail(SystemErrorText(EISDIR));
    if (QFileInfo::exists(target) && !QFileInfo(target).isWritable())
        return fail(SystemErrorText(EACCES));
    // The program's own temporary file (see OwnTemporaryPath), created exclusively beside the
    // target, so that one a killed process leaves is known for what it is.
    TOwnTemporaryFile file(QFile::encodeName(target), TOwnTemporaryKind::Rewrite);
    int code = file.Create();
    if (code == 0)
        code = file.Write(ABytes.constData(), static_cast<std::uint64_t>(ABytes.size()));
    if (code == 0)
        code = file.Commit(true);
    return code == 0 || fail(SystemErrorText(code));
}

QString BackupFileName(const QString& APath) {
    const QFileInfo info(APath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString backupName = dot < 0 ? name + QStringLiteral(".~")
                                       : name.left(dot + 1) + QLatin1Char('~') + name.mid(dot + 1);
    const qsizetype slash = APath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? backupName : APath.left(slash + 1) + backupName;
}

bool WriteBackupCopy(const QString& AFrom, const QString& ABackupPath) {
    if (QFile::exists(ABackupPath) && !QFile::remove(ABackupPath))
        return false;
    return QFile::copy(AFrom, ABackupPath);
}

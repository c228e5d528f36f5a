#include "base/atomic_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool WriteFileAtomically(const QString& APath, const QByteArray& ABytes, QString* AError) {
    // QSaveFile writes to a new, exclusively created temporary file in the target's folder
    // and renames it over the target only on commit().
    QSaveFile file(APath);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        if (AError != nullptr)
            *AError = file.errorString();
        return false;
    }
    // The buffered bytes are flushed and checked here: commit() renames the temporary file into
    // place even when its own last flush fails, which would leave a cut-off file (a full disk,
    // the file-size limit).
    if (file.write(ABytes) != ABytes.size() || !file.flush()) {
        if (AError != nullptr)
            *AError = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (AError != nullptr)
            *AError = file.errorString();
        return false;
    }
    return true;
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

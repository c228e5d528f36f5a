#include "platform/trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TTrashResult MoveToTrashOrDelete(const QString& APath, bool AAllowPermanent) {
    const QFileInfo info(APath);
    if (!info.exists() && !info.isSymLink())
        return TTrashResult::Failed;
    if (QFile::moveToTrash(APath))
        return TTrashResult::Trashed;
    if (!AAllowPermanent)
        return TTrashResult::Failed;
    return DeletePermanently(APath) ? TTrashResult::DeletedPermanently : TTrashResult::Failed;
}

bool DeletePermanently(const QString& APath) {
    const QFileInfo info(APath);
    if (info.isDir() && !info.isSymLink())
        return QDir(APath).removeRecursively();
    return QFile::remove(APath);
}

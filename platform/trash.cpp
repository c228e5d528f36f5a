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
    bool removed = false;
    if (info.isDir() && !info.isSymLink())
        removed = QDir(APath).removeRecursively();
    else
        removed = QFile::remove(APath);
    return removed ? TTrashResult::DeletedPermanently : TTrashResult::Failed;
}

#include "app/folder_walk.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

#include "platform/file_copy.h"
#include "platform/system_folders.h"
#include "platform/trash.h"

bool MaskMatches(const QString& AMask, const QString& AName) {
    if (AMask.isEmpty() || AMask == QStringLiteral("*.*") || AMask == QStringLiteral("*"))
        return true;
    // wildcardToRegularExpression anchors the whole name.
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(AMask),
                                QRegularExpression::CaseInsensitiveOption);
    return re.match(AName).hasMatch();
}

namespace {

struct TWalker {
    const TWalkFolderOptions& Options;
    int Errors = 0;
    bool Stopped = false;

    bool CountOnly() const {
        return Options.Files == nullptr && Options.Folders == nullptr &&
               Options.Entries == nullptr && !Options.DeleteFiles;
    }

    void Error() {
        ++Errors;
        if (!Options.ContinueOnError)
            Stopped = true;
    }

    void Walk(const QString& AFolder) {
        QDir::Filters filters = QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System;
        // Counting visits ordinary files only; hidden ones are left out.
        if (!CountOnly())
            filters |= QDir::Hidden;
        const QDir dir(AFolder);
        if (!dir.exists()) {
            Error();
            return;
        }
        QDirIterator it(AFolder, filters);
        while (!Stopped && it.hasNext()) {
            if (Options.AbortTest && Options.AbortTest()) {
                Stopped = true;
                return;
            }
            it.next();
            const QFileInfo info = it.fileInfo();
            if (!MaskMatches(Options.Mask, info.fileName()))
                continue;
            if (info.isDir()) {
                if (info.isSymLink()) {
                    if (Options.SkippedFolderLinks != nullptr)
                        Options.SkippedFolderLinks->append(info.absoluteFilePath());
                    continue;
                }
                const QString folder = IncludeTrailingSeparator(info.absoluteFilePath());
                if (Options.Folders != nullptr)
                    Options.Folders->append(folder);
                if (Options.Entries != nullptr)
                    Options.Entries->append(folder);
                if (Options.Recurse)
                    Walk(folder);
                continue;
            }
            if (CountOnly()) {
                if (info.isHidden() || !info.isFile())
                    continue;
                if (Options.FileCount != nullptr)
                    ++*Options.FileCount;
                continue;
            }
            const QString file = info.absoluteFilePath();
            if (Options.Files != nullptr)
                Options.Files->append(file);
            if (Options.Entries != nullptr)
                Options.Entries->append(file);
            if (Options.DeleteFiles)
                Delete(file);
        }
    }

    void Delete(const QString& AFile) {
        const TTrashResult result =
            !Options.DeleteToTrash ? (DeletePermanently(AFile) ? TTrashResult::DeletedPermanently
                                                               : TTrashResult::Failed)
                                   : MoveToTrashOrDelete(AFile, true);
        if (result == TTrashResult::Failed) {
            Error();
        } else if (result == TTrashResult::DeletedPermanently && Options.DeleteToTrash &&
                   Options.DeletedPermanently != nullptr) {
            Options.DeletedPermanently->append(AFile);
        }
    }
};

}  // namespace

int WalkFolder(const QString& ARoot, const TWalkFolderOptions& AOptions) {
    TWalker walker{AOptions};
    if (AOptions.FileCount != nullptr)
        *AOptions.FileCount = 0;
    walker.Walk(IncludeTrailingSeparator(ARoot));
    return walker.Errors;
}

int CopyTreeMissing(const QString& ASource, const QString& ADestination, TCopyTreeMode AMode) {
    const QString source = IncludeTrailingSeparator(ASource);
    const QString destination = IncludeTrailingSeparator(ADestination);
    if (!QFileInfo(source).isDir())
        return 0;
    int failures = 0;
    QDir().mkpath(destination);
    QStringList files;
    QStringList folders;
    TWalkFolderOptions options;
    options.Files = &files;
    options.Folders = &folders;
    WalkFolder(source, options);
    for (const QString& folder : folders)
        QDir().mkpath(destination + folder.mid(source.size()));
    for (const QString& file : files) {
        const QString target = destination + file.mid(source.size());
        const QFileInfo targetInfo(target);
        if (targetInfo.exists()) {
            if (AMode == TCopyTreeMode::NeverOverwrite)
                continue;
            if (AMode == TCopyTreeMode::OverwriteWhenNewer &&
                QFileInfo(file).lastModified() <= targetInfo.lastModified())
                continue;
        }
        if (!CopyFileComplete(file, target))
            ++failures;
    }
    return failures;
}

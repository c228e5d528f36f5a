#include "plugins/text_files/zip_compress/plugin_internal_zip_compress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <exception>

#include "base/exceptions.h"
#include "platform/native_path.h"
#include "plugin_host/internal_plugin_info.h"
#include "plugins/text_files/zip_compress/zip_archive_writer.h"
#include "plugins/text_files/zip_compress/zip_entry_name.h"

namespace {

const QChar KSeparator = u'/';

}  // namespace

TPluginInternal_ZipCompress::TPluginInternal_ZipCompress()
    : FInfo(MakeInternalPluginInfo(QStringLiteral("ZipCompress"),
                                   QStringLiteral("Use this to ZIP compress files and directories. "
                                                  "(File extension \".zip\" is added "
                                                  "automatically.)"),
                                   QStringLiteral("1.0.1"))) {
    FInfo.SuggestedExts = QStringLiteral(".zip");
    FInfo.PluginCategory = pcFileProcessing;
    FInfo.CanWorkCategory = PLV_CAN_WORK_FILES | PLV_CAN_WORK_DIRECTORIES;
    FInfo.ReleaseState = PLV_RELEASE_STABLE;
}

void TPluginInternal_ZipCompress::PluginSetupWorkStart(const TExeInfoHost&,
                                                       const QString& ARootBatchPath,
                                                       IExeWorkCallbacks& ACallbacks) {
    FCallbacks = &ACallbacks;
    FRealRoot = RealFolderPath(ARootBatchPath);
}

void TPluginInternal_ZipCompress::PluginSetupWorkEnd(const TExeInfoHost&) {
    FCallbacks = nullptr;
    FRealRoot.clear();
}

void TPluginInternal_ZipCompress::Report(const QString& AMessage) const {
    if (FCallbacks != nullptr)
        FCallbacks->ExeHandleWorkPathErrorMsg(AMessage, QString());
}

bool TPluginInternal_ZipCompress::LinkTargetAllowed(const QString& ALink) const {
    const QFileInfo link(ALink);
    const QString target = link.canonicalFilePath();
    const bool isFolder = QFileInfo(target).isDir();
    const QString targetForm = isFolder ? target + KSeparator : target;
    if (!target.isEmpty() && !FRealRoot.isEmpty() && targetForm.startsWith(FRealRoot))
        return true;
    Report(QStringLiteral("The symbolic link \"") + ALink +
           (target.isEmpty() ? QStringLiteral("\" points to nothing; it was not packed.")
                             : QStringLiteral("\" points outside the batch root; it was not "
                                              "packed.")));
    return false;
}

void TPluginInternal_ZipCompress::LeftOut(const QString& AEntry, const QString& AArchive,
                                          const QString& AReason) const {
    Report(QStringLiteral("The entry \"") + AEntry + QStringLiteral("\" was not packed into \"") +
           AArchive + QStringLiteral("\": ") + AReason + u'.');
}

bool TPluginInternal_ZipCompress::PackFile(const QString& AFile, const QString& AArchive) const {
    // The file's own name is the entry's name, taken literally (never a wildcard mask).
    const QString name = QFileInfo(AFile).fileName();
    if (const QString problem = ZipEntryNameProblem(QFile::encodeName(name)); !problem.isEmpty()) {
        LeftOut(AFile, AArchive, problem);
        return PathKindOf(AArchive) == TNativePathKind::File;
    }
    // Read first: a new archive of a small file is then built in memory.
    const TOrdinaryFileRead file = TZipArchiveWriter::ReadEntryFile(AFile);
    TZipArchiveWriter archive(AArchive, FDeflaters,
                              file.Complete ? static_cast<qint64>(file.Bytes.size()) : -1);
    if (!archive.HasEntry(name))
        archive.AddFile(name, AFile, file);
    return archive.Save();
}

bool TPluginInternal_ZipCompress::PackFolder(const QString& AFolder,
                                             const QString& AArchive) const {
    // Listed by bytes: every name is seen, also one that does not read as text, so that each
    // entry left out is named.
    QList<QByteArray> names;
    QString error;
    if (!ListFolderNames(AFolder, names, error))
        throw EqvOperationNotPossible(QStringLiteral("The directory \"") + AFolder +
                                      QStringLiteral("\" could not be read: ") + error);
    TZipArchiveWriter archive(AArchive, FDeflaters);
    const QByteArray nativeFolder = QFile::encodeName(AFolder);
    for (const QByteArray& native : names) {
        if (const QString problem = ZipEntryNameProblem(native); !problem.isEmpty()) {
            LeftOut(EscapedNativePath(nativeFolder + native), AArchive, problem);
            continue;
        }
        const QString name = QString::fromUtf8(native);
        const QString path = AFolder + name;
        const QFileInfo entry(path);
        if (!entry.exists() && !entry.isSymLink()) {
            LeftOut(path, AArchive, QStringLiteral("it vanished"));
            continue;
        }
        if (entry.isSymLink() && !LinkTargetAllowed(path))
            continue;
        try {
            if (entry.isDir()) {
                if (!archive.HasEntry(name + KSeparator))
                    archive.AddFolder(name + KSeparator, path);
            } else if (entry.isFile()) {
                if (!archive.HasEntry(name))
                    archive.AddFile(name, path);
            } else {
                // FIFOs, sockets and devices are never opened.
                Report(QStringLiteral("The entry \"") + path +
                       QStringLiteral("\" is no regular file; it was not packed."));
            }
        } catch (const std::exception& e) {
            // One unreadable file leaves out that entry, not the whole archive.
            LeftOut(path, AArchive, ExceptionMessage(e));
        }
    }
    return archive.Save();
}

void TPluginInternal_ZipCompress::PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput&) {
    QString archive;
    // Whether the archive is known to exist as a file after packing.
    bool written = false;
    try {
        bool isLink = false;
        const TNativePathKind kind = PathKindOf(AWorkPathNameIn, isLink);
        if (isLink && !LinkTargetAllowed(AWorkPathNameIn))
            return;
        if (kind == TNativePathKind::File) {
            archive = AWorkPathNameIn + QStringLiteral(".zip");
            written = PackFile(AWorkPathNameIn, archive);
        } else if (kind == TNativePathKind::Folder) {
            QString folder = AWorkPathNameIn;
            if (!folder.endsWith(KSeparator))
                folder += KSeparator;
            archive = folder.chopped(1) + QStringLiteral(".zip");
            written = PackFolder(folder, archive);
        } else if (kind == TNativePathKind::Other) {
            Report(QStringLiteral("The path is no regular file or directory; it was not packed."));
        }
    } catch (const std::exception& e) {
        Report(QString::fromUtf8(e.what()));
    }
    try {
        // Also after an error: an archive that exists (an older one) is still the batch's.
        if (!archive.isEmpty() && FCallbacks != nullptr &&
            (written || PathKindOf(archive) == TNativePathKind::File))
            FCallbacks->ExeRequestAddPathToBatch(archive);
    } catch (const std::exception& e) {
        Report(QString::fromUtf8(e.what()));
    }
}

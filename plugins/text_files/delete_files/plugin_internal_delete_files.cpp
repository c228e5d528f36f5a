#include "plugins/text_files/delete_files/plugin_internal_delete_files.h"

#include <QFile>
#include <QFileInfo>

#include "plugin_host/internal_plugin_info.h"

TPluginInternal_DeleteFiles::TPluginInternal_DeleteFiles()
    : FInfo(MakeInternalPluginInfo(QStringLiteral("DeleteFiles"),
                                   QStringLiteral("Delete files passed to module."),
                                   QStringLiteral("1.03"))) {}

void TPluginInternal_DeleteFiles::PluginSetupWorkStart(const TExeInfoHost&, const QString&,
                                                       IExeWorkCallbacks& ACallbacks) {
    FCallbacks = &ACallbacks;
}

void TPluginInternal_DeleteFiles::PluginWorkPath(const QString& AWorkPathNameIn,
                                                 TWorkPathOutput& AOut) {
    try {
        const QFileInfo info(AWorkPathNameIn);
        // File deletion does not apply to directories.
        if (info.isDir() && !info.isSymLink()) {
            if (FCallbacks != nullptr)
                FCallbacks->ExeHandleWorkPathErrorMsg(
                    QStringLiteral("Not deleted: the path is a directory."), QString());
        } else {
            QFile file(AWorkPathNameIn);
            if (!file.remove() && FCallbacks != nullptr)
                FCallbacks->ExeHandleWorkPathErrorMsg(
                    QStringLiteral("The file could not be deleted: ") + file.errorString(),
                    QString());
        }
    } catch (const std::exception& e) {
        if (FCallbacks != nullptr)
            FCallbacks->ExeHandleWorkPathErrorMsg(QString::fromUtf8(e.what()), QString());
    }
    // The path leaves the batch whatever happened: no later combination works on it.
    AOut.ClearOutputPath();
    AOut.Props.AdvisePathBatchStop = 1;
}

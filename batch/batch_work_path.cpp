#include "batch/batch_work_path.h"

#include <QDir>
#include <QFileInfo>

#include "base/exceptions.h"
#include "batch/batch_plugin_props.h"
#include "batch/worker_registry.h"
#include "platform/native_path.h"
#include "platform/process_info.h"
#include "platform/system_folders.h"
#include "plugin_host/plugin_descriptor.h"

TBatchWorkPath::TBatchWorkPath(TqvThreadStringList& ARegistry,
                               const TBatchPluginProps& ABatchPluginProps,
                               QString AOrgBatchRootPath, std::uint32_t AUpdatePathAtIndex,
                               QString APath, TBatchLogWriter ALogWriter)
    : FInPath(std::move(APath)),
      UpdatePathAtIndex(AUpdatePathAtIndex),
      FRegistry(ARegistry),
      FBatchPluginProps(ABatchPluginProps),
      FOrgBatchRootPath(std::move(AOrgBatchRootPath)),
      FLogWriter(std::move(ALogWriter)) {}

void TBatchWorkPath::Execute() {
    TPluginStoredLibInfo* plugin = FBatchPluginProps.LibInfo_Ref;
    if (FInPath.size() > PLV_SAFE_PATH_MAX_CHARS) {
        // The plugin's output buffer cannot hold it: the path leaves the batch, with a reason.
        FRefusedTooLong = true;
        FLogWriter(
            QStringLiteral("  Path not passed to plugin \"") + plugin->FPluginInfoHost.PluginName +
            QStringLiteral("\": it is longer than ") + QString::number(PLV_SAFE_PATH_MAX_CHARS) +
            QStringLiteral(" characters.\r\n  Path was \"") + FInPath + QStringLiteral("\".\r\n"));
        return;
    }
    const std::int64_t tid = CurrentThreadId();
    const QString pluginsKey = TqvThreadStringList::PluginsKey(tid);
    const QString filesKey = TqvThreadStringList::FilesKey(tid);
    FRegistry.LockedAdd(pluginsKey, plugin);
    FRegistry.LockedAdd(filesKey, FInPath);
    TWorkPathOutput out(FInPath);
    QString failure;
    try {
        plugin->NP_WorkPath(FInPath, out);
    } catch (const std::exception& e) {
        FPluginFailed = true;
        failure = ExceptionMessage(e);
    } catch (...) {
        FPluginFailed = true;
        failure = QStringLiteral("an error that is not an exception of the program");
    }
    FOutPath = out.OutputPath();
    FRegistry.LockedRemove(filesKey);
    FRegistry.LockedRemove(pluginsKey);
    if (FPluginFailed) {
        // The path leaves the batch (a folder with everything below it): the user must be
        // able to find out why.
        ReportFailure(failure);
        return;
    }
    CheckResult(out.Props.AdvisePathBatchStop != 0, out.Props.AdviseProjectBatchStop != 0,
                out.Props.AdviseMainBatchStop != 0);
}

QString TBatchWorkPath::EventHead() const {
    const TPluginInfoHost& plugin = FBatchPluginProps.LibInfo_Ref->FPluginInfoHost;
    return QStringLiteral(
               "  Events(s) occurred. All further batching on this \"path\" has been "
               "halted.\r\n  Input path was \"") +
           FInPath + QStringLiteral("\".\r\n  Plugin \"") + plugin.PluginName +
           QStringLiteral("\" (") + plugin.StrID + QStringLiteral(") reported following:\r\n");
}

void TBatchWorkPath::ReportFailure(const QString& AError) {
    QString entry = EventHead();
    entry +=
        QStringLiteral("    * The plugin raised an error: \"") + AError + QStringLiteral("\".\r\n");
    if (FInPath.endsWith(QLatin1Char('/')))
        entry += QStringLiteral("    * Every path below this directory leaves the batch too.\r\n");
    FLogWriter(entry);
}

void TBatchWorkPath::CheckResult(bool AAdvisePath, bool AAdviseProject, bool AAdviseMain) {
    // Judged in clean form, so that ".." or "//" can neither lead out of the batch root nor
    // make a path inside it look foreign.
    const auto unclean = [](const QString& APath) {
        return APath.contains(QStringLiteral("//")) || APath.contains(QStringLiteral("/./")) ||
               APath.contains(QStringLiteral("/../")) || APath.endsWith(QStringLiteral("/.")) ||
               APath.endsWith(QStringLiteral("/..")) || !APath.startsWith(QLatin1Char('/'));
    };
    if (!FOutPath.isEmpty() && FOutPath != FInPath && unclean(FOutPath)) {
        const bool folder = FOutPath.endsWith(QLatin1Char('/'));
        FOutPath = QDir::cleanPath(FOutPath);
        if (folder && !FOutPath.endsWith(QLatin1Char('/')))
            FOutPath += QLatin1Char('/');
    }
    // One query, which also tells the engine what the path is for the next filter test. A new
    // path is asked without following a link in its last part (a folder's without its final
    // separator, which would follow it), to tell whether it is one.
    const bool changed = FOutPath != FInPath;
    bool link = false;
    FOutKind = !changed                              ? PathKindOf(FOutPath)
               : FOutPath.endsWith(QLatin1Char('/')) ? PathKindOf(FOutPath.chopped(1), link)
                                                     : PathKindOf(FOutPath, link);
    FWrongPathOutput_NonExisting = FOutPath.isEmpty() || FOutKind == TNativePathKind::Missing;
    FWrongPathOutput_NonExisting_BecauseDeleted =
        FWrongPathOutput_NonExisting && FOutPath.isEmpty();
    FWrongPathOutput_RootChanged =
        !FWrongPathOutput_NonExisting && !FOutPath.startsWith(FOrgBatchRootPath, Qt::CaseSensitive);
    // A new path inside the root by its text may still leave it through a link, as one with
    // ".." would: its real location decides. The path the plugin was handed was judged before,
    // so its folder is known to lie inside: a path renamed within that folder is asked only
    // when it is a link itself.
    const auto folderOf = [](const QString& APath) {
        const QString path = APath.endsWith(QLatin1Char('/')) ? APath.chopped(1) : APath;
        return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    };
    if (!FWrongPathOutput_NonExisting && !FWrongPathOutput_RootChanged && changed &&
        (link || folderOf(FOutPath) != folderOf(FInPath))) {
        const QString real = RealLocation(FOutPath);
        FWrongPathOutput_RootChanged = real.isEmpty() || !IncludeTrailingSeparator(real).startsWith(
                                                             FOrgBatchRootPath, Qt::CaseSensitive);
    }
    if (!FWrongPathOutput_NonExisting && !FWrongPathOutput_RootChanged && !AAdvisePath &&
        !AAdviseProject && !AAdviseMain) {
        FInPath = FOutPath;
        UpdatedOutPath = FOutPath;
        return;
    }
    PluginAdviseProjectBatchStop = AAdviseProject;
    PluginAdviseMainBatchStop = AAdviseMain;
    QString entry = EventHead();
    if (FWrongPathOutput_NonExisting_BecauseDeleted)
        entry += QStringLiteral(
            "    * \"WorkPathNameOut\" is empty (\"\"). This indicates that the path has been "
            "deleted purposely by "
            "the plugin.\r\n");
    else if (FWrongPathOutput_NonExisting)
        entry += QStringLiteral(
                     "    * Non-existing \"WorkPathNameOut\", the incorrect output path was \"") +
                 FOutPath + QStringLiteral("\".\r\n");
    if (FWrongPathOutput_RootChanged)
        entry += QStringLiteral(
                     "    * Root-changed \"WorkPathNameOut\", the not allowed output path was \"") +
                 FOutPath + QStringLiteral("\".\r\n");
    if (AAdvisePath)
        entry += QStringLiteral("    * \"AdvisePathBatchStop\".\r\n");
    if (AAdviseProject)
        entry += QStringLiteral("    * \"AdviseProjectBatchStop\".\r\n");
    if (AAdviseMain)
        entry += QStringLiteral("    * \"AdviseMainBatchStop\".\r\n");
    FLogWriter(entry);
}

void TBatchWorkPath::HandleWorkPathErrorMsg(TqvThreadStringList& ARegistry,
                                            const TBatchLogWriter& ALogWriter,
                                            const QString& AErrorMsg, const QString& AAdviceMsg) {
    const std::int64_t tid = CurrentThreadId();
    QString pluginPath;
    QString workPath;
    ARegistry.Lock();
    const auto* plugin = ARegistry.NormalRetrieve(TqvThreadStringList::PluginsKey(tid));
    const auto* file = ARegistry.NormalRetrieve(TqvThreadStringList::FilesKey(tid));
    if (plugin == nullptr || file == nullptr) {
        ARegistry.Unlock();
        throw EqvValueOutOfValidRangeError();
    }
    pluginPath = std::get<TPluginStoredLibInfo*>(*plugin)->FPluginPathName;
    workPath = std::get<QString>(*file);
    ARegistry.Unlock();
    ALogWriter(QStringLiteral("  Plugin path: \"") + pluginPath + QStringLiteral("\".\r\n") +
               QStringLiteral("  Work path: \"") + workPath + QStringLiteral("\".\r\n") +
               QStringLiteral("  Reported following:\r\n") +
               QStringLiteral("    * Error message: \"") + AErrorMsg + QStringLiteral("\".\r\n") +
               QStringLiteral("    * Advice message: \"") + AAdviceMsg + QStringLiteral("\"."));
}

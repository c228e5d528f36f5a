#include "plugin_host/plugin_host.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

#include "base/exceptions.h"
#include "platform/system_folders.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"

namespace {

const QString KLibrarySuffix = QStringLiteral(".so");

// The shown name of a library: its file name up to the last ".".
QString ShownNameOf(const QString& AFileName) {
    const qsizetype dot = AFileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? AFileName : AFileName.left(dot);
}

// The entries of a folder in the order the file system returns them.
QFileInfoList FolderEntries(const QString& AFolder) {
    return QDir(AFolder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
}

}  // namespace

TPluginHost::TPluginHost(const TCollectionInternalPluginTypes& ARegistry, TPluginHostSetup ASetup)
    : FRegistry(ARegistry), FSetup(std::move(ASetup)), FServices(FSetup.TempFolder, FSetup.Log) {
    // Display names cut the modules folder from absolute library paths, so it must be absolute
    // and tidy too.
    if (!FSetup.ModulesFolder.isEmpty())
        FSetup.ModulesFolder = IncludeTrailingSeparator(
            QDir::cleanPath(QFileInfo(FSetup.ModulesFolder).absoluteFilePath()));
}

TPluginHost::~TPluginHost() {
    Clear();
}

void TPluginHost::Clear() {
    FDisplayList.clear();
    // Descriptors unload their plugins (forced) when destroyed.
    FPluginList.clear();
    FServices.CloseInitWindow();
    FServices.ClosePreEditWindow();
}

void TPluginHost::RefuseDuringBatch(const QString& AOperation) const {
    bool held = FServices.BatchRunning();
    for (const auto& descriptor : FPluginList)
        held = held || descriptor->LoadHolds() > 0;
    // Descriptors in use by a batch must outlive it.
    if (held)
        throw EqvOperationNotPossible(AOperation +
                                      QStringLiteral(" is not possible while a batch runs."));
}

void TPluginHost::ReloadPlugins() {
    RefuseDuringBatch(QStringLiteral("Reloading the plugins"));
    Clear();
    Discover();
}

void TPluginHost::AddAndInit(std::unique_ptr<TPluginStoredLibInfo> ADescriptor) {
    TPluginStoredLibInfo* descriptor = ADescriptor.get();
    FPluginList.push_back(std::move(ADescriptor));
    if (!descriptor->SP_SetupInit())
        FPluginList.pop_back();
}

void TPluginHost::Discover() {
    RefuseDuringBatch(QStringLiteral("Discovering the plugins"));
    // A second discovery replaces the list instead of adding every plugin again.
    Clear();
    for (const TCollectionInternalPluginType& type : FRegistry.Items()) {
        auto descriptor = std::make_unique<TPluginStoredLibInfoInternal>(FServices, FRegistry);
        descriptor->SetPluginPathName(FSetup.ModulesFolder + QStringLiteral("Internal/") +
                                      type.FNameID + QLatin1Char('/'));
        descriptor->FPluginShownName = type.FNameID;
        AddAndInit(std::move(descriptor));
    }
    ScanExternal(FSetup.ModulesFolder + QStringLiteral("External/"));

    FServices.ExeInfo().PluginPathName.clear();
    FServices.ExeInfo().PluginPath.clear();
    std::stable_sort(FPluginList.begin(), FPluginList.end(), [](const auto& A, const auto& B) {
        return QString::localeAwareCompare(A->FPluginPathName, B->FPluginPathName) < 0;
    });
    PreEditAll();
    BuildDisplayList();
}

void TPluginHost::PreEditAll() {
    for (const auto& descriptor : FPluginList) {
        descriptor->SP_SetupPreEdit();
        for (const auto& property : descriptor->FProperties)
            if (!IsKnownVisualPropType(property->FVisualPropType))
                VisualPropTypeToStr(property->FVisualPropType);  // raises the conversion error
    }
}

void TPluginHost::BuildDisplayList() {
    FDisplayList.clear();
    for (const auto& descriptor : FPluginList)
        FDisplayList.push_back(
            {FixPluginPN(descriptor->FPluginPathName, false, true, false, FSetup.ModulesFolder),
             descriptor.get()});
    std::stable_sort(FDisplayList.begin(), FDisplayList.end(),
                     [](const TDisplayEntry& A, const TDisplayEntry& B) {
                         return PluginDisplayLess(A.DisplayPath, B.DisplayPath);
                     });
}

void TPluginHost::ScanExternal(const QString& AFolder) {
    const auto add = [this](const QString& APathName, const QString& AFileName) {
        auto descriptor = std::make_unique<TPluginStoredLibInfoExternal>(FServices);
        descriptor->SetPluginPathName(APathName);
        descriptor->FPluginShownName = ShownNameOf(AFileName);
        AddAndInit(std::move(descriptor));
    };
    for (const QFileInfo& entry : FolderEntries(AFolder)) {
        if (entry.isDir()) {
            const QString folder = IncludeTrailingSeparator(entry.absoluteFilePath());
            // The first library in a sub-folder is that folder's plugin; the folder is not
            // searched further.
            QString library;
            for (const QFileInfo& inner : FolderEntries(folder)) {
                if (inner.isFile() &&
                    inner.fileName().endsWith(KLibrarySuffix, Qt::CaseInsensitive)) {
                    library = inner.fileName();
                    break;
                }
            }
            if (library.isEmpty())
                ScanExternal(folder);
            else
                add(folder + library, library);
        } else if (QLatin1Char('.') + entry.suffix() == KLibrarySuffix) {
            add(entry.absoluteFilePath(), entry.fileName());
        }
    }
}

QStringList TPluginHost::OfferedPluginNames() const {
    QStringList names;
    for (const TDisplayEntry& entry : FDisplayList)
        names << FixPluginPN(entry.DisplayPath, true, false, false, FSetup.ModulesFolder);
    return names;
}

TPluginStoredLibInfo* TPluginHost::FindByStrID(const QString& AStrID) const {
    for (const auto& descriptor : FPluginList)
        if (descriptor->FPluginInfoHost.StrID == AStrID)
            return descriptor.get();
    return nullptr;
}

#include "plugin_host/plugin_descriptor.h"

#include <QFileInfo>

#include "base/exceptions.h"
#include "base/finally.h"
#include "plugin_host/host_services.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_call_guard.h"
#include "plugin_host/plugin_internal.h"
#include "plugin_host/property_values.h"

TPluginStoredLibInfo::TPluginStoredLibInfo(TPluginHostServices& AServices) : FServices(AServices) {}

TPluginStoredLibInfo::~TPluginStoredLibInfo() = default;

void TPluginStoredLibInfo::SetPluginPathName(const QString& AValue) {
    FPluginPathName = AValue;
    const qsizetype slash = AValue.lastIndexOf(QLatin1Char('/'));
    FPluginPath = slash < 0 ? QString() : AValue.left(slash + 1);
}

void TPluginStoredLibInfo::LoadPlugin() {
    const std::lock_guard lock(FLoadLock);
    FLoadWanted = true;
    if (!IsLoaded())
        NP_Load();
}

void TPluginStoredLibInfo::UnloadLocked() {
    if (!IsLoaded() || FLoadHolds > 0)
        return;
    if ((!FCachePlugins && FPluginInfoHost.PluginLoadingScheme == plsCanDynamicAsNeeded) ||
        FForceUnloadPlugin) {
        NP_Unload();
        FActiveLoadedPluginHandle = 0;
    }
}

void TPluginStoredLibInfo::UnloadPlugin() {
    const std::lock_guard lock(FLoadLock);
    FLoadWanted = false;
    UnloadLocked();
}

void TPluginStoredLibInfo::ForceUnload() {
    const std::lock_guard lock(FLoadLock);
    FLoadWanted = false;
    FForceUnloadPlugin = true;
    try {
        UnloadLocked();
    } catch (...) {
        FForceUnloadPlugin = false;
        throw;
    }
    FForceUnloadPlugin = false;
}

void TPluginStoredLibInfo::AcquireLoadHold() {
    const std::lock_guard lock(FLoadLock);
    if (!IsLoaded())
        NP_Load();
    ++FLoadHolds;
}

void TPluginStoredLibInfo::ReleaseLoadHold() {
    const std::lock_guard lock(FLoadLock);
    if (FLoadHolds > 0)
        --FLoadHolds;
    if (FLoadHolds == 0 && !FLoadWanted)
        UnloadLocked();
}

int TPluginStoredLibInfo::LoadHolds() const {
    const std::lock_guard lock(FLoadLock);
    return FLoadHolds;
}

TPluginLoadHold::TPluginLoadHold(TPluginStoredLibInfo& APlugin) : FPlugin(APlugin) {
    FPlugin.AcquireLoadHold();
}

TPluginLoadHold::~TPluginLoadHold() {
    try {
        FPlugin.ReleaseLoadHold();
    } catch (const std::exception& e) {
        FPlugin.Services().LogProblem(&e, QStringLiteral("Releasing the plugin \"") +
                                              FPlugin.FPluginPathName +
                                              QStringLiteral("\" after its combination failed."));
    }
}

void TPluginStoredLibInfo::AddProperty(const QString& APropName, TVisualPropType AVisualPropType,
                                       std::uint32_t AReadyServices, const QString& AShownName,
                                       const QString& AHint, const QString& AHelp) {
    if (GetPropNameIndex(APropName, false, QString()) >= 0)
        return;
    if (AVisualPropType == vptGrid)
        FProperties.push_back(std::make_unique<TPluginPropertyGrid>(
            APropName, AVisualPropType, AReadyServices, AShownName, AHint, AHelp));
    else
        FProperties.push_back(std::make_unique<TPluginProperty>(
            APropName, AVisualPropType, AReadyServices, AShownName, AHint, AHelp));
}

QString TPluginStoredLibInfo::NotFoundText(const QString& APropName,
                                           const QString& AContext) const {
    return QStringLiteral("Property: \"") + APropName +
           QStringLiteral("\" does not seem to exist in plugin: \"") + FPluginPathName +
           QStringLiteral("\". \r\n") + AContext;
}

int TPluginStoredLibInfo::GetPropNameIndex(const QString& APropName, bool AThrowError,
                                           const QString& AErrorStr) const {
    for (std::size_t i = 0; i < FProperties.size(); ++i)
        if (FProperties[i]->FPropName == APropName)
            return static_cast<int>(i);
    if (AThrowError)
        throw EqvParamWrong(NotFoundText(APropName, AErrorStr));
    return -1;
}

TPluginProperty* TPluginStoredLibInfo::GetPropertyByName(const QString& APropName) const {
    const int index = GetPropNameIndex(APropName, true,
                                       QStringLiteral("Property type info could not be retrived"));
    return FProperties[static_cast<std::size_t>(index)].get();
}

TPluginProperty* TPluginStoredLibInfo::GetPropertyByNameAndValType(
    const QString& APropName, TVisualPropType AValidateVisualPropType, bool AThrowError,
    const QString& AErrorStr) const {
    const int index = GetPropNameIndex(APropName, AThrowError, AErrorStr);
    if (index < 0)
        return nullptr;
    TPluginProperty* property = FProperties[static_cast<std::size_t>(index)].get();
    if (property->FVisualPropType == AValidateVisualPropType)
        return property;
    if (AThrowError)
        throw EqvParamWrong(QStringLiteral("Property: \"") + APropName +
                            QStringLiteral("\" found, but the type did not match: \"") +
                            FPluginPathName + QStringLiteral("\". \r\n") + AErrorStr);
    return nullptr;
}

const QByteArray& TPluginStoredLibInfo::GetPluginInitData(const QString& APropName) const {
    const int index = GetPropNameIndex(APropName, true,
                                       QStringLiteral("Plugin init data could not be retrieved"));
    return FProperties[static_cast<std::size_t>(index)]->FInitStreamData;
}

void TPluginStoredLibInfo::SetPluginWorkData(const QString& APropName,
                                             const QByteArray& AWorkStreamData) {
    const int index =
        GetPropNameIndex(APropName, true, QStringLiteral("Plugin work data could not be set"));
    DeliverPluginWorkData(*this, *FProperties[static_cast<std::size_t>(index)], AWorkStreamData,
                          FServices.TempFolder());
}

void TPluginStoredLibInfo::SetExeInfoPaths() {
    FServices.ExeInfo().PluginPathName = FPluginPathName;
    FServices.ExeInfo().PluginPath = FPluginPath;
}

bool TPluginStoredLibInfo::SP_SetupInit() {
    bool ok = true;
    FServices.OpenInitWindow(this);
    try {
        LoadPlugin();
        if (!IsLoaded())
            throw EqvOperationNotPossible(QStringLiteral("The plugin could not be loaded: \"") +
                                          FPluginPathName + QStringLiteral("\". ") +
                                          LoadErrorText());
        std::unique_ptr<TPluginInfoHost> info = NP_ReturnInfo();
        if (!info)
            throw EqvReturnValueNotAssignedError(QStringLiteral("PluginReturnInfo"));
        FPluginInfoHost = *info;
        SetExeInfoPaths();
        NP_SetupInit();
    } catch (const std::exception& e) {
        ok = false;
        FServices.LogProblem(
            &e, QLatin1Char('"') + FPluginPathName + QStringLiteral("\" failed under loading."));
    }
    try {
        UnloadPlugin();
    } catch (const std::exception& e) {
        FServices.LogProblem(&e, QStringLiteral("Unloading ") + FPluginPathName);
    }
    FServices.CloseInitWindow();
    return ok;
}

void TPluginStoredLibInfo::SP_SetupPreEdit() {
    LoadPlugin();
    FHasSingleChoice = FHasMultipleChoice = FHasTextBoxes = FHasGrid = FHasFile = FHasCustom =
        false;
    for (const auto& property : FProperties) {
        switch (property->FVisualPropType) {
            case vtpChoiceSingle:
                FHasSingleChoice = true;
                break;
            case vtpChoiceMultiple:
                FHasMultipleChoice = true;
                break;
            case vptTextBoxes:
                FHasTextBoxes = true;
                break;
            case vptGrid:
                FHasGrid = true;
                break;
            case vptFile:
                FHasFile = true;
                break;
            case vptCustom:
                FHasCustom = true;
                break;
            default:
                break;
        }
    }
    {
        FServices.OpenPreEditWindow(this);
        const TFinally guard([this] { FServices.ClosePreEditWindow(); });
        SetExeInfoPaths();
        NP_SetupPreEdit();
    }
    UnloadPlugin();
}

void TPluginStoredLibInfo::SP_SetupEdit() {
    SetExeInfoPaths();
    NP_SetupEdit();
}

void TPluginStoredLibInfo::SP_SetupWorkStart(const QString& ARootBatchPath) {
    SetExeInfoPaths();
    NP_SetupWorkStart(ARootBatchPath);
}

void TPluginStoredLibInfo::SP_SetupWorkStartDone() {
    NP_SetupWorkStartDone();
}

void TPluginStoredLibInfo::SP_SetupWorkEnd() {
    SetExeInfoPaths();
    NP_SetupWorkEnd();
}

// Internal descriptors ------------------------------------------------------------------------

TPluginStoredLibInfoInternal::TPluginStoredLibInfoInternal(
    TPluginHostServices& AServices, const TCollectionInternalPluginTypes& ARegistry)
    : TPluginStoredLibInfo(AServices), FRegistry(ARegistry) {
    FCachePlugins = true;
    FPluginAttributesSet = (1u << paInternal) | (1u << paOwnNorm);
}

TPluginStoredLibInfoInternal::~TPluginStoredLibInfoInternal() {
    ForceUnload();
}

TPluginInternal& TPluginStoredLibInfoInternal::Instance() const {
    if (!FPluginInternalRef)
        throw EqvMissingRequiredHandler(UnassignedHandlerText(
            QStringLiteral("Application"), QStringLiteral("PluginInstance"),
            QStringLiteral("plugin: \"") + FPluginPathName + QLatin1Char('"')));
    return *FPluginInternalRef;
}

template <typename Call>
decltype(auto) TPluginStoredLibInfoInternal::Guarded(const char* AEntryPoint, Call&& ACall,
                                                     const QString& APath) const {
    TPluginInternal& instance = Instance();
    return GuardPluginCall(
        AEntryPoint, FPluginPathName, [&]() -> decltype(auto) { return ACall(instance); }, APath);
}

void TPluginStoredLibInfoInternal::NP_Load() {
    const TCollectionInternalPluginType* type = FRegistry.GetItemByNameID(FPluginShownName);
    if (type == nullptr)
        return;
    FPluginInternalRef =
        GuardPluginCall("Create", FPluginPathName, [&] { return type->FPluginClass(); });
    FActiveLoadedPluginHandle = FPluginInternalRef ? 1 : 0;
}

void TPluginStoredLibInfoInternal::NP_Unload() {
    FPluginInternalRef.reset();
}

void TPluginStoredLibInfoInternal::NP_SetPropChoiceValueCount(const QString& APropName,
                                                              std::int32_t ACount) {
    Guarded("PluginSetPropChoiceValueCount",
            [&](TPluginInternal& A) { A.PluginSetPropChoiceValueCount(APropName, ACount); });
}
void TPluginStoredLibInfoInternal::NP_SetPropChoiceValue(const QString& APropName,
                                                         const QString& AChoiceID) {
    Guarded("PluginSetPropChoiceValue",
            [&](TPluginInternal& A) { A.PluginSetPropChoiceValue(APropName, AChoiceID); });
}
void TPluginStoredLibInfoInternal::NP_SetPropTextBoxValue(const QString& APropName,
                                                          const QString& ATextBoxID,
                                                          const QString& APropValue) {
    Guarded("PluginSetPropTextBoxValue", [&](TPluginInternal& A) {
        A.PluginSetPropTextBoxValue(APropName, ATextBoxID, APropValue);
    });
}
void TPluginStoredLibInfoInternal::NP_SetPropGridValueCount(const QString& APropName,
                                                            std::int32_t AValueCount) {
    Guarded("PluginSetPropGridValueCount",
            [&](TPluginInternal& A) { A.PluginSetPropGridValueCount(APropName, AValueCount); });
}
void TPluginStoredLibInfoInternal::NP_SetPropGridValue(const QString& APropName,
                                                       const QString& AColID, std::int32_t ARowIdx,
                                                       const QString& AFieldValue) {
    Guarded("PluginSetPropGridValue", [&](TPluginInternal& A) {
        A.PluginSetPropGridValue(APropName, AColID, ARowIdx, AFieldValue);
    });
}
void TPluginStoredLibInfoInternal::NP_SetPropFileValue(const QString& APropName,
                                                       const QString& AFullFilePathName) {
    Guarded("PluginSetPropFileValue",
            [&](TPluginInternal& A) { A.PluginSetPropFileValue(APropName, AFullFilePathName); });
}
std::unique_ptr<TPluginInfoHost> TPluginStoredLibInfoInternal::NP_ReturnInfo() {
    return Guarded("PluginReturnInfo", [&](TPluginInternal& A) {
        const TPluginInfoHost* info = A.PluginReturnInfo(FServices.ExeInfo());
        return info != nullptr ? std::make_unique<TPluginInfoHost>(*info) : nullptr;
    });
}
void TPluginStoredLibInfoInternal::NP_SetupInit() {
    Guarded("PluginSetupInit",
            [&](TPluginInternal& A) { A.PluginSetupInit(FServices.ExeInfo(), FServices); });
}
void TPluginStoredLibInfoInternal::NP_SetupPreEdit() {
    Guarded("PluginSetupPreEdit",
            [&](TPluginInternal& A) { A.PluginSetupPreEdit(FServices.ExeInfo(), FServices); });
}
void TPluginStoredLibInfoInternal::NP_SetupEdit() {
    Guarded("PluginSetupEdit",
            [&](TPluginInternal& A) { A.PluginSetupEdit(FServices.ExeInfo(), FServices); });
}
void TPluginStoredLibInfoInternal::NP_SetupWorkStart(const QString& ARootBatchPath) {
    Guarded("PluginSetupWorkStart", [&](TPluginInternal& A) {
        A.PluginSetupWorkStart(FServices.ExeInfo(), ARootBatchPath, FServices);
    });
}
void TPluginStoredLibInfoInternal::NP_SetupWorkStartDone() {
    Guarded("PluginSetupWorkStartDone", [&](TPluginInternal& A) { A.PluginSetupWorkStartDone(); });
}
void TPluginStoredLibInfoInternal::NP_SetupWorkEnd() {
    Guarded("PluginSetupWorkEnd",
            [&](TPluginInternal& A) { A.PluginSetupWorkEnd(FServices.ExeInfo()); });
}
void TPluginStoredLibInfoInternal::NP_WorkPath(const QString& AWorkPathNameIn,
                                               TWorkPathOutput& AOut) {
    Guarded(
        "PluginWorkPath", [&](TPluginInternal& A) { A.PluginWorkPath(AWorkPathNameIn, AOut); },
        AWorkPathNameIn);
}
void TPluginStoredLibInfoInternal::NP_VerifyPropTextBoxValue(
    const QString& APropName, const QString& ATextBoxID, const QString& APropValue,
    const TExeHandleEditPropTextBoxErrorMsg& AHandler) {
    Guarded("PluginVerifyPropTextBoxValue", [&](TPluginInternal& A) {
        A.PluginVerifyPropTextBoxValue(APropName, ATextBoxID, APropValue, AHandler);
    });
}
void TPluginStoredLibInfoInternal::NP_PrepareVerifyGridRow(const QString& APropName) {
    Guarded("PluginPrepareVerifyGridRow",
            [&](TPluginInternal& A) { A.PluginPrepareVerifyGridRow(APropName); });
}
void TPluginStoredLibInfoInternal::NP_AddVerifyPropGridValue(const QString& APropName,
                                                             const QString& APropValue) {
    Guarded("PluginAddVerifyPropGridValue",
            [&](TPluginInternal& A) { A.PluginAddVerifyPropGridValue(APropName, APropValue); });
}
void TPluginStoredLibInfoInternal::NP_EndVerifyGridRow(
    const QString& APropName, const TExeHandleEditPropGridErrorMsg& AHandler) {
    Guarded("PluginEndVerifyGridRow",
            [&](TPluginInternal& A) { A.PluginEndVerifyGridRow(APropName, AHandler); });
}
void TPluginStoredLibInfoInternal::NP_VerifyPropFileValue(
    const QString& APropName, const QString& AFullFilePathName,
    const TExeHandleEditPropFileErrorMsg& AHandler) {
    Guarded("PluginVerifyPropFileValue", [&](TPluginInternal& A) {
        A.PluginVerifyPropFileValue(APropName, AFullFilePathName, AHandler);
    });
}

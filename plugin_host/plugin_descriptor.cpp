#include "plugin_host/plugin_descriptor.h"

#include <QFileInfo>

#include "app/program_log.h"
#include "base/exceptions.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_host.h"
#include "plugin_host/plugin_internal.h"
#include "plugin_host/property_values.h"

namespace {

// Closes a host window however the step ends.
template <typename Close>
class TWindowGuard {
public:
    explicit TWindowGuard(Close AClose) : FClose(std::move(AClose)) {}
    ~TWindowGuard() { FClose(); }
    TWindowGuard(const TWindowGuard&) = delete;
    TWindowGuard& operator=(const TWindowGuard&) = delete;

private:
    Close FClose;
};

}  // namespace

TPluginStoredLibInfo::TPluginStoredLibInfo(TPluginHost& AHost) : FHost(AHost) {}

TPluginStoredLibInfo::~TPluginStoredLibInfo() = default;

void TPluginStoredLibInfo::SetPluginPathName(const QString& AValue) {
    FPluginPathName = AValue;
    const qsizetype slash = AValue.lastIndexOf(QLatin1Char('/'));
    FPluginPath = slash < 0 ? QString() : AValue.left(slash + 1);
}

void TPluginStoredLibInfo::LoadPlugin() {
    if (!IsLoaded())
        NP_Load();
}

void TPluginStoredLibInfo::UnloadPlugin() {
    if (!IsLoaded())
        return;
    if ((!FCachePlugins && FPluginInfoHost.PluginLoadingScheme == plsCanDynamicAsNeeded) ||
        FForceUnloadPlugin) {
        NP_Unload();
        FActiveLoadedPluginHandle = 0;
    }
}

void TPluginStoredLibInfo::ForceUnload() {
    FForceUnloadPlugin = true;
    try {
        UnloadPlugin();
    } catch (...) {
        FForceUnloadPlugin = false;
        throw;
    }
    FForceUnloadPlugin = false;
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
                          FHost.Setup().TempFolder);
}

void TPluginStoredLibInfo::SetExeInfoPaths() {
    FHost.ExeInfo().PluginPathName = FPluginPathName;
    FHost.ExeInfo().PluginPath = FPluginPath;
}

bool TPluginStoredLibInfo::SP_SetupInit() {
    bool ok = true;
    FHost.OpenInitWindow(this);
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
        if (TqvLogging* log = FHost.Setup().Log)
            log->Log(
                nullptr, &e,
                QLatin1Char('"') + FPluginPathName + QStringLiteral("\" failed under loading."));
    }
    try {
        UnloadPlugin();
    } catch (const std::exception& e) {
        if (TqvLogging* log = FHost.Setup().Log)
            log->Log(nullptr, &e, QStringLiteral("Unloading ") + FPluginPathName);
    }
    FHost.CloseInitWindow();
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
        FHost.OpenPreEditWindow(this);
        const TWindowGuard guard([this] { FHost.ClosePreEditWindow(); });
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

TPluginStoredLibInfoInternal::TPluginStoredLibInfoInternal(TPluginHost& AHost)
    : TPluginStoredLibInfo(AHost) {
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

void TPluginStoredLibInfoInternal::NP_Load() {
    const TCollectionInternalPluginType* type = FHost.Registry().GetItemByNameID(FPluginShownName);
    if (type == nullptr)
        return;
    FPluginInternalRef = type->FPluginClass();
    FActiveLoadedPluginHandle = FPluginInternalRef ? 1 : 0;
}

void TPluginStoredLibInfoInternal::NP_Unload() {
    FPluginInternalRef.reset();
}

void TPluginStoredLibInfoInternal::NP_SetPropChoiceValueCount(const QString& APropName,
                                                              std::int32_t ACount) {
    Instance().PluginSetPropChoiceValueCount(APropName, ACount);
}
void TPluginStoredLibInfoInternal::NP_SetPropChoiceValue(const QString& APropName,
                                                         const QString& AChoiceID) {
    Instance().PluginSetPropChoiceValue(APropName, AChoiceID);
}
void TPluginStoredLibInfoInternal::NP_SetPropTextBoxValue(const QString& APropName,
                                                          const QString& ATextBoxID,
                                                          const QString& APropValue) {
    Instance().PluginSetPropTextBoxValue(APropName, ATextBoxID, APropValue);
}
void TPluginStoredLibInfoInternal::NP_SetPropGridValueCount(const QString& APropName,
                                                            std::int32_t AValueCount) {
    Instance().PluginSetPropGridValueCount(APropName, AValueCount);
}
void TPluginStoredLibInfoInternal::NP_SetPropGridValue(const QString& APropName,
                                                       const QString& AColID, std::int32_t ARowIdx,
                                                       const QString& AFieldValue) {
    Instance().PluginSetPropGridValue(APropName, AColID, ARowIdx, AFieldValue);
}
void TPluginStoredLibInfoInternal::NP_SetPropFileValue(const QString& APropName,
                                                       const QString& AFullFilePathName) {
    Instance().PluginSetPropFileValue(APropName, AFullFilePathName);
}
std::unique_ptr<TPluginInfoHost> TPluginStoredLibInfoInternal::NP_ReturnInfo() {
    const TPluginInfoHost* info = Instance().PluginReturnInfo(FHost.ExeInfo());
    return info != nullptr ? std::make_unique<TPluginInfoHost>(*info) : nullptr;
}
void TPluginStoredLibInfoInternal::NP_SetupInit() {
    Instance().PluginSetupInit(FHost.ExeInfo(), FHost);
}
void TPluginStoredLibInfoInternal::NP_SetupPreEdit() {
    Instance().PluginSetupPreEdit(FHost.ExeInfo(), FHost);
}
void TPluginStoredLibInfoInternal::NP_SetupEdit() {
    Instance().PluginSetupEdit(FHost.ExeInfo(), FHost);
}
void TPluginStoredLibInfoInternal::NP_SetupWorkStart(const QString& ARootBatchPath) {
    Instance().PluginSetupWorkStart(FHost.ExeInfo(), ARootBatchPath, FHost);
}
void TPluginStoredLibInfoInternal::NP_SetupWorkStartDone() {
    Instance().PluginSetupWorkStartDone();
}
void TPluginStoredLibInfoInternal::NP_SetupWorkEnd() {
    Instance().PluginSetupWorkEnd(FHost.ExeInfo());
}
void TPluginStoredLibInfoInternal::NP_WorkPath(const QString& AWorkPathNameIn,
                                               TWorkPathOutput& AOut) {
    Instance().PluginWorkPath(AWorkPathNameIn, AOut);
}
void TPluginStoredLibInfoInternal::NP_VerifyPropTextBoxValue(
    const QString& APropName, const QString& ATextBoxID, const QString& APropValue,
    const TExeHandleEditPropTextBoxErrorMsg& AHandler) {
    Instance().PluginVerifyPropTextBoxValue(APropName, ATextBoxID, APropValue, AHandler);
}
void TPluginStoredLibInfoInternal::NP_PrepareVerifyGridRow(const QString& APropName) {
    Instance().PluginPrepareVerifyGridRow(APropName);
}
void TPluginStoredLibInfoInternal::NP_AddVerifyPropGridValue(const QString& APropName,
                                                             const QString& APropValue) {
    Instance().PluginAddVerifyPropGridValue(APropName, APropValue);
}
void TPluginStoredLibInfoInternal::NP_EndVerifyGridRow(
    const QString& APropName, const TExeHandleEditPropGridErrorMsg& AHandler) {
    Instance().PluginEndVerifyGridRow(APropName, AHandler);
}
void TPluginStoredLibInfoInternal::NP_VerifyPropFileValue(
    const QString& APropName, const QString& AFullFilePathName,
    const TExeHandleEditPropFileErrorMsg& AHandler) {
    Instance().PluginVerifyPropFileValue(APropName, AFullFilePathName, AHandler);
}

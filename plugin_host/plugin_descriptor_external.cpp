// Calls on plugins in shared libraries: every entry point is looked up by name at the time of
// the call, arguments are converted (identifiers to the ANSI code page, values as UTF-16) into
// temporaries that live until the call returns.
#include <QByteArray>

#include "base/exceptions.h"
#include "platform/ansi_code_page.h"
#include "platform/dynamic_library.h"
#include "plugin_host/external_callbacks.h"
#include "plugin_host/host_services.h"
#include "plugin_host/plugin_call_guard.h"
#include "plugin_host/plugin_descriptor.h"

namespace {

QByteArray Ansi(const QString& AText) {
    return TAnsiCodePage::System().Encode(AText);
}

// The host facts as the C record, pointing into owned copies of the strings.
struct TExeInfoRecord {
    explicit TExeInfoRecord(const TExeInfoHost& AInfo) : Copy(AInfo) {
        Record.ExeVersion = WStr(Copy.ExeVersion);
        Record.InterfaceVersion = WStr(Copy.InterfaceVersion);
        Record.ExeCode = WStr(Copy.ExeCode);
        Record.LanguageCulture = WStr(Copy.LanguageCulture);
        Record.PluginPathName = WStr(Copy.PluginPathName);
        Record.PluginPath = WStr(Copy.PluginPath);
    }
    TExeInfoHost Copy;
    TExeInfo Record{};
};

}  // namespace

template <typename Fn, typename... Args>
auto TPluginStoredLibInfoExternal::CallExportOn(const char* AName, const QString& APath,
                                                Args... AArgs) const {
    const auto function = reinterpret_cast<Fn>(Export(AName));
    TExternalCallScope scope;
    if constexpr (std::is_void_v<decltype(function(AArgs...))>) {
        GuardPluginCall(
            AName, FPluginPathName, [&] { function(AArgs...); }, APath);
        scope.RaisePending();
    } else {
        auto result = GuardPluginCall(
            AName, FPluginPathName, [&] { return function(AArgs...); }, APath);
        scope.RaisePending();
        return result;
    }
}

template <typename Fn, typename... Args>
auto TPluginStoredLibInfoExternal::CallExport(const char* AName, Args... AArgs) const {
    return CallExportOn<Fn>(AName, QString(), AArgs...);
}

TPluginStoredLibInfoExternal::TPluginStoredLibInfoExternal(TPluginHostServices& AServices)
    : TPluginStoredLibInfo(AServices) {
    FCachePlugins = false;
    FPluginAttributesSet = (1u << paExternal) | (1u << paOtherNorm);
}

TPluginStoredLibInfoExternal::~TPluginStoredLibInfoExternal() {
    try {
        ForceUnload();
    } catch (...) {
        // Unloading a library cannot report anything useful at this point.
    }
}

void* TPluginStoredLibInfoExternal::Export(const char* AName) const {
    void* address = (FLibrary && FLibrary->IsLoaded()) ? FLibrary->Symbol(AName) : nullptr;
    if (address == nullptr)
        throw EqvMissingRequiredHandler(UnassignedHandlerText(
            QStringLiteral("Application"), QString::fromLatin1(AName),
            QStringLiteral("plugin: \"") + FPluginPathName + QLatin1Char('"')));
    return address;
}

void TPluginStoredLibInfoExternal::NP_Load() {
    auto library = std::make_unique<TDynamicLibrary>();
    if (library->Load(FPluginPathName)) {
        FLibrary = std::move(library);
        FActiveLoadedPluginHandle = reinterpret_cast<std::intptr_t>(FLibrary.get());
    } else {
        FLoadError = library->ErrorString();
        FActiveLoadedPluginHandle = 0;
    }
}

void TPluginStoredLibInfoExternal::NP_Unload() {
    FLibrary.reset();
}

void TPluginStoredLibInfoExternal::NP_SetPropChoiceValueCount(const QString& APropName,
                                                              std::int32_t ACount) {
    const QByteArray name = Ansi(APropName);
    CallExport<TPluginSetPropChoiceValueCount>("PluginSetPropChoiceValueCount", name.constData(),
                                               ACount);
}

void TPluginStoredLibInfoExternal::NP_SetPropChoiceValue(const QString& APropName,
                                                         const QString& AChoiceID) {
    const QByteArray name = Ansi(APropName);
    const QByteArray choice = Ansi(AChoiceID);
    CallExport<TPluginSetPropChoiceValue>("PluginSetPropChoiceValue", name.constData(),
                                          choice.constData());
}

void TPluginStoredLibInfoExternal::NP_SetPropTextBoxValue(const QString& APropName,
                                                          const QString& ATextBoxID,
                                                          const QString& APropValue) {
    const QByteArray name = Ansi(APropName);
    const QByteArray box = Ansi(ATextBoxID);
    CallExport<TPluginSetPropTextBoxValue>("PluginSetPropTextBoxValue", name.constData(),
                                           box.constData(), WStr(APropValue));
}

void TPluginStoredLibInfoExternal::NP_SetPropGridValueCount(const QString& APropName,
                                                            std::int32_t AValueCount) {
    const QByteArray name = Ansi(APropName);
    CallExport<TPluginSetPropGridValueCount>("PluginSetPropGridValueCount", name.constData(),
                                             AValueCount);
}

void TPluginStoredLibInfoExternal::NP_SetPropGridValue(const QString& APropName,
                                                       const QString& AColID, std::int32_t ARowIdx,
                                                       const QString& AFieldValue) {
    const QByteArray name = Ansi(APropName);
    // The column identifier goes through the ANSI code page and back, as identifiers do.
    const QString column = TAnsiCodePage::System().Decode(Ansi(AColID));
    CallExport<TPluginSetPropGridValue>("PluginSetPropGridValue", name.constData(), WStr(column),
                                        ARowIdx, WStr(AFieldValue));
}

void TPluginStoredLibInfoExternal::NP_SetPropFileValue(const QString& APropName,
                                                       const QString& AFullFilePathName) {
    const QByteArray name = Ansi(APropName);
    CallExport<TPluginSetPropFileValue>("PluginSetPropFileValue", name.constData(),
                                        WStr(AFullFilePathName));
}

std::unique_ptr<TPluginInfoHost> TPluginStoredLibInfoExternal::NP_ReturnInfo() {
    TExeInfoRecord exe(FServices.ExeInfo());
    const TPluginInfo* info = CallExport<TPluginReturnInfo>("PluginReturnInfo", &exe.Record);
    if (info == nullptr)
        return nullptr;
    return std::make_unique<TPluginInfoHost>(TPluginInfoHost::FromRecord(*info));
}

void TPluginStoredLibInfoExternal::NP_SetupInit() {
    TExeInfoRecord exe(FServices.ExeInfo());
    CallExport<TPluginSetupInit>("PluginSetupInit", &exe.Record, ExternalInitCallbacks());
}

void TPluginStoredLibInfoExternal::NP_SetupPreEdit() {
    TExeInfoRecord exe(FServices.ExeInfo());
    CallExport<TPluginSetupPreEdit>("PluginSetupPreEdit", &exe.Record, ExternalPreEditCallbacks());
}

void TPluginStoredLibInfoExternal::NP_SetupEdit() {
    TExeInfoRecord exe(FServices.ExeInfo());
    CallExport<TPluginSetupEdit>("PluginSetupEdit", &exe.Record, ExternalWorkCallbacks());
}

void TPluginStoredLibInfoExternal::NP_SetupWorkStart(const QString& ARootBatchPath) {
    TExeInfoRecord exe(FServices.ExeInfo());
    const QString root = ARootBatchPath;
    TWorkStartInfo start{WStr(root)};
    CallExport<TPluginSetupWorkStart>("PluginSetupWorkStart", &exe.Record, &start,
                                      ExternalWorkCallbacks());
}

void TPluginStoredLibInfoExternal::NP_SetupWorkStartDone() {
    CallExport<TPluginSetupWorkStartDone>("PluginSetupWorkStartDone");
}

void TPluginStoredLibInfoExternal::NP_SetupWorkEnd() {
    TExeInfoRecord exe(FServices.ExeInfo());
    CallExport<TPluginSetupWorkEnd>("PluginSetupWorkEnd", &exe.Record);
}

void TPluginStoredLibInfoExternal::NP_WorkPath(const QString& AWorkPathNameIn,
                                               TWorkPathOutput& AOut) {
    const QString input = AWorkPathNameIn;
    TPluginPassedReadInProps in{WStr(input)};
    AOut.Props.AdvisePathBatchStop = 0;
    AOut.Props.AdviseProjectBatchStop = 0;
    AOut.Props.AdviseMainBatchStop = 0;
    CallExportOn<TPluginWorkPath>("PluginWorkPath", input, &in, &AOut.Props);
}

void TPluginStoredLibInfoExternal::NP_VerifyPropTextBoxValue(
    const QString& APropName, const QString& ATextBoxID, const QString& APropValue,
    const TExeHandleEditPropTextBoxErrorMsg& AHandler) {
    const QByteArray name = Ansi(APropName);
    const QByteArray box = Ansi(ATextBoxID);
    const TExternalVerifyScope scope(&AHandler, nullptr, nullptr);
    CallExport<TPluginVerifyPropTextBoxValue>("PluginVerifyPropTextBoxValue", name.constData(),
                                              box.constData(), WStr(APropValue),
                                              ExternalTextBoxErrorReporter());
}

void TPluginStoredLibInfoExternal::NP_PrepareVerifyGridRow(const QString& APropName) {
    const QByteArray name = Ansi(APropName);
    CallExport<TPluginPrepareVerifyGridRow>("PluginPrepareVerifyGridRow", name.constData());
}

void TPluginStoredLibInfoExternal::NP_AddVerifyPropGridValue(const QString& APropName,
                                                             const QString& APropValue) {
    const QByteArray name = Ansi(APropName);
    CallExport<TPluginAddVerifyPropGridValue>("PluginAddVerifyPropGridValue", name.constData(),
                                              WStr(APropValue));
}

void TPluginStoredLibInfoExternal::NP_EndVerifyGridRow(
    const QString& APropName, const TExeHandleEditPropGridErrorMsg& AHandler) {
    const QByteArray name = Ansi(APropName);
    const TExternalVerifyScope scope(nullptr, &AHandler, nullptr);
    CallExport<TPluginEndVerifyGridRow>("PluginEndVerifyGridRow", name.constData(),
                                        ExternalGridErrorReporter());
}

void TPluginStoredLibInfoExternal::NP_VerifyPropFileValue(
    const QString& APropName, const QString& AFullFilePathName,
    const TExeHandleEditPropFileErrorMsg& AHandler) {
    const QByteArray name = Ansi(APropName);
    const TExternalVerifyScope scope(nullptr, nullptr, &AHandler);
    CallExport<TPluginVerifyPropFileValue>("PluginVerifyPropFileValue", name.constData(),
                                           WStr(AFullFilePathName), ExternalFileErrorReporter());
}

#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "plugin_host/plugin_contract.h"
#include "plugin_host/plugin_property.h"

class TCollectionInternalPluginTypes;
class TPluginHostServices;
class TPluginInternal;
class TDynamicLibrary;

enum TPluginAttributes { paInternal, paExternal, paOwnNorm, paOwnDemo, paOtherNorm };

// The host's descriptor of one plugin: where it lives, the copy of its information record, the
// properties it declared, and the loading and calling of its entry points. It is handed the
// host services its plugin calls back and reports through.
class TPluginStoredLibInfo {
public:
    explicit TPluginStoredLibInfo(TPluginHostServices& AServices);
    virtual ~TPluginStoredLibInfo();
    TPluginStoredLibInfo(const TPluginStoredLibInfo&) = delete;
    TPluginStoredLibInfo& operator=(const TPluginStoredLibInfo&) = delete;

    TPluginInfoHost FPluginInfoHost;
    unsigned FPluginAttributesSet = 0;  // bits (1 << TPluginAttributes)
    bool FForceUnloadPlugin = false;
    bool FCachePlugins = false;
    // Read from any thread; changed only under the loading lock.
    std::atomic<std::intptr_t> FActiveLoadedPluginHandle = 0;
    QString FPluginPath;
    QString FPluginPathName;
    QString FPluginShownName;
    std::vector<std::unique_ptr<TPluginProperty>> FProperties;
    bool FHasSingleChoice = false;
    bool FHasMultipleChoice = false;
    bool FHasTextBoxes = false;
    bool FHasGrid = false;
    bool FHasFile = false;
    bool FHasCustom = false;

    bool IsInternal() const { return (FPluginAttributesSet & (1u << paInternal)) != 0; }
    bool IsLoaded() const { return FActiveLoadedPluginHandle != 0; }
    TPluginHostServices& Services() const { return FServices; }

    void SetPluginPathName(const QString& AValue);
    // The editor's and the steps' loading: LoadPlugin loads when not loaded; UnloadPlugin
    // unloads when the loading scheme allows it (or the unload is forced) and no batch holds
    // the plugin. The editor (user-interface thread) and a batch (engine thread) may load and
    // release the same plugin at the same time.
    void LoadPlugin();
    void UnloadPlugin();
    void ForceUnload();
    // A batch's hold (see TPluginLoadHold): loads the plugin when it is not loaded; while any
    // hold exists, no unload request unloads it, so no code that workers run goes away. The
    // last release unloads it as UnloadPlugin would, unless LoadPlugin was called since the
    // last UnloadPlugin (the editor still has it).
    void AcquireLoadHold();
    void ReleaseLoadHold();
    int LoadHolds() const;

    void AddProperty(const QString& APropName, TVisualPropType AVisualPropType,
                     std::uint32_t AReadyServices, const QString& AShownName, const QString& AHint,
                     const QString& AHelp);
    int GetPropNameIndex(const QString& APropName, bool AThrowError,
                         const QString& AErrorStr) const;
    TPluginProperty* GetPropertyByName(const QString& APropName) const;
    TPluginProperty* GetPropertyByNameAndValType(const QString& APropName,
                                                 TVisualPropType AValidateVisualPropType,
                                                 bool AThrowError, const QString& AErrorStr) const;
    const QByteArray& GetPluginInitData(const QString& APropName) const;
    // Delivers one batch value stream of a property (see property_values.h).
    void SetPluginWorkData(const QString& APropName, const QByteArray& AWorkStreamData);

    bool SP_SetupInit();
    void SP_SetupPreEdit();
    void SP_SetupEdit();
    void SP_SetupWorkStart(const QString& ARootBatchPath);
    void SP_SetupWorkStartDone();
    void SP_SetupWorkEnd();

    // One call of the entry point of the same name each.
    virtual void NP_Load() = 0;
    virtual void NP_Unload() = 0;
    virtual void NP_SetPropChoiceValueCount(const QString& APropName, std::int32_t ACount) = 0;
    virtual void NP_SetPropChoiceValue(const QString& APropName, const QString& AChoiceID) = 0;
    virtual void NP_SetPropTextBoxValue(const QString& APropName, const QString& ATextBoxID,
                                        const QString& APropValue) = 0;
    virtual void NP_SetPropGridValueCount(const QString& APropName, std::int32_t AValueCount) = 0;
    virtual void NP_SetPropGridValue(const QString& APropName, const QString& AColID,
                                     std::int32_t ARowIdx, const QString& AFieldValue) = 0;
    virtual void NP_SetPropFileValue(const QString& APropName,
                                     const QString& AFullFilePathName) = 0;
    // Null when the plugin returned none.
    virtual std::unique_ptr<TPluginInfoHost> NP_ReturnInfo() = 0;
    virtual void NP_SetupInit() = 0;
    virtual void NP_SetupPreEdit() = 0;
    virtual void NP_SetupEdit() = 0;
    virtual void NP_SetupWorkStart(const QString& ARootBatchPath) = 0;
    virtual void NP_SetupWorkStartDone() = 0;
    virtual void NP_SetupWorkEnd() = 0;
    virtual void NP_WorkPath(const QString& AWorkPathNameIn, TWorkPathOutput& AOut) = 0;
    virtual void NP_VerifyPropTextBoxValue(const QString& APropName, const QString& ATextBoxID,
                                           const QString& APropValue,
                                           const TExeHandleEditPropTextBoxErrorMsg& AHandler) = 0;
    virtual void NP_PrepareVerifyGridRow(const QString& APropName) = 0;
    virtual void NP_AddVerifyPropGridValue(const QString& APropName, const QString& APropValue) = 0;
    virtual void NP_EndVerifyGridRow(const QString& APropName,
                                     const TExeHandleEditPropGridErrorMsg& AHandler) = 0;
    virtual void NP_VerifyPropFileValue(const QString& APropName, const QString& AFullFilePathName,
                                        const TExeHandleEditPropFileErrorMsg& AHandler) = 0;

    // Why the last load failed, when the loader says.
    virtual QString LoadErrorText() const { return {}; }

protected:
    void SetExeInfoPaths();
    QString NotFoundText(const QString& APropName, const QString& AContext) const;

    TPluginHostServices& FServices;

private:
    // Unloads when allowed; FLoadLock is held.
    void UnloadLocked();

    mutable std::mutex FLoadLock;
    int FLoadHolds = 0;
    // LoadPlugin was called since the last UnloadPlugin: someone besides the holds wants it.
    bool FLoadWanted = false;
};

// Holds a plugin loaded for as long as it lives (a batch's combination); see AcquireLoadHold.
class TPluginLoadHold {
public:
    explicit TPluginLoadHold(TPluginStoredLibInfo& APlugin);
    // Releases the hold; a failure to unload is written to the program log.
    ~TPluginLoadHold();
    TPluginLoadHold(const TPluginLoadHold&) = delete;
    TPluginLoadHold& operator=(const TPluginLoadHold&) = delete;

private:
    TPluginStoredLibInfo& FPlugin;
};

// A plugin compiled into the program: one instance, kept while the descriptor lives.
class TPluginStoredLibInfoInternal : public TPluginStoredLibInfo {
public:
    TPluginStoredLibInfoInternal(TPluginHostServices& AServices,
                                 const TCollectionInternalPluginTypes& ARegistry);
    ~TPluginStoredLibInfoInternal() override;

    std::unique_ptr<TPluginInternal> FPluginInternalRef;

    void NP_Load() override;
    void NP_Unload() override;
    void NP_SetPropChoiceValueCount(const QString& APropName, std::int32_t ACount) override;
    void NP_SetPropChoiceValue(const QString& APropName, const QString& AChoiceID) override;
    void NP_SetPropTextBoxValue(const QString& APropName, const QString& ATextBoxID,
                                const QString& APropValue) override;
    void NP_SetPropGridValueCount(const QString& APropName, std::int32_t AValueCount) override;
    void NP_SetPropGridValue(const QString& APropName, const QString& AColID, std::int32_t ARowIdx,
                             const QString& AFieldValue) override;
    void NP_SetPropFileValue(const QString& APropName, const QString& AFullFilePathName) override;
    std::unique_ptr<TPluginInfoHost> NP_ReturnInfo() override;
    void NP_SetupInit() override;
    void NP_SetupPreEdit() override;
    void NP_SetupEdit() override;
    void NP_SetupWorkStart(const QString& ARootBatchPath) override;
    void NP_SetupWorkStartDone() override;
    void NP_SetupWorkEnd() override;
    void NP_WorkPath(const QString& AWorkPathNameIn, TWorkPathOutput& AOut) override;
    void NP_VerifyPropTextBoxValue(const QString& APropName, const QString& ATextBoxID,
                                   const QString& APropValue,
                                   const TExeHandleEditPropTextBoxErrorMsg& AHandler) override;
    void NP_PrepareVerifyGridRow(const QString& APropName) override;
    void NP_AddVerifyPropGridValue(const QString& APropName, const QString& APropValue) override;
    void NP_EndVerifyGridRow(const QString& APropName,
                             const TExeHandleEditPropGridErrorMsg& AHandler) override;
    void NP_VerifyPropFileValue(const QString& APropName, const QString& AFullFilePathName,
                                const TExeHandleEditPropFileErrorMsg& AHandler) override;

private:
    TPluginInternal& Instance() const;
    // One guarded call of the instance's entry point of that name, on APath if it has one.
    template <typename Call>
    decltype(auto) Guarded(const char* AEntryPoint, Call&& ACall, const QString& APath = {}) const;

    const TCollectionInternalPluginTypes& FRegistry;
};

// A plugin in a shared library below the modules folder's "External/".
class TPluginStoredLibInfoExternal : public TPluginStoredLibInfo {
public:
    explicit TPluginStoredLibInfoExternal(TPluginHostServices& AServices);
    ~TPluginStoredLibInfoExternal() override;

    QString LoadErrorText() const override { return FLoadError; }

    void NP_Load() override;
    void NP_Unload() override;
    void NP_SetPropChoiceValueCount(const QString& APropName, std::int32_t ACount) override;
    void NP_SetPropChoiceValue(const QString& APropName, const QString& AChoiceID) override;
    void NP_SetPropTextBoxValue(const QString& APropName, const QString& ATextBoxID,
                                const QString& APropValue) override;
    void NP_SetPropGridValueCount(const QString& APropName, std::int32_t AValueCount) override;
    void NP_SetPropGridValue(const QString& APropName, const QString& AColID, std::int32_t ARowIdx,
                             const QString& AFieldValue) override;
    void NP_SetPropFileValue(const QString& APropName, const QString& AFullFilePathName) override;
    std::unique_ptr<TPluginInfoHost> NP_ReturnInfo() override;
    void NP_SetupInit() override;
    void NP_SetupPreEdit() override;
    void NP_SetupEdit() override;
    void NP_SetupWorkStart(const QString& ARootBatchPath) override;
    void NP_SetupWorkStartDone() override;
    void NP_SetupWorkEnd() override;
    void NP_WorkPath(const QString& AWorkPathNameIn, TWorkPathOutput& AOut) override;
    void NP_VerifyPropTextBoxValue(const QString& APropName, const QString& ATextBoxID,
                                   const QString& APropValue,
                                   const TExeHandleEditPropTextBoxErrorMsg& AHandler) override;
    void NP_PrepareVerifyGridRow(const QString& APropName) override;
    void NP_AddVerifyPropGridValue(const QString& APropName, const QString& APropValue) override;
    void NP_EndVerifyGridRow(const QString& APropName,
                             const TExeHandleEditPropGridErrorMsg& AHandler) override;
    void NP_VerifyPropFileValue(const QString& APropName, const QString& AFullFilePathName,
                                const TExeHandleEditPropFileErrorMsg& AHandler) override;

private:
    // The export of that name; raises the unassigned-handler error when missing or not loaded.
    void* Export(const char* AName) const;
    // Calls the export AName of type Fn, guarded; then raises what a host function the library
    // called meanwhile failed with.
    template <typename Fn, typename... Args>
    auto CallExport(const char* AName, Args... AArgs) const;
    // The same for a call that works on APath.
    template <typename Fn, typename... Args>
    auto CallExportOn(const char* AName, const QString& APath, Args... AArgs) const;

    std::unique_ptr<TDynamicLibrary> FLibrary;
    QString FLoadError;
};

#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <vector>

#include "plugin_host/plugin_contract.h"

class TCollectionInternalPluginTypes;
class TPluginProperty;
class TPluginStoredLibInfo;
class TqvLogging;

// Where the host finds and keeps things.
struct TPluginHostSetup {
    QString ModulesFolder;      // ending with "/"; holds "Internal/<Name>/" and "External/"
    QString TempFolder;         // value files of file properties go here
    TqvLogging* Log = nullptr;  // plugins that fail to load are logged here
};

// The host-wide plugin state: every descriptor (from discovery until the next reload or the
// end), the display list, the host facts handed to plugins, and the windows in which plugins may
// call the host functions. Used from the user-interface thread, except the work callbacks,
// which a running batch serves from any thread.
class TPluginHost final : public IExeInitCallbacks,
                          public IExePreEditCallbacks,
                          public IExeWorkCallbacks {
public:
    struct TDisplayEntry {
        QString DisplayPath;  // the plugin's path below the modules folder
        TPluginStoredLibInfo* Descriptor = nullptr;
    };

    TPluginHost(const TCollectionInternalPluginTypes& ARegistry, TPluginHostSetup ASetup);
    ~TPluginHost() override;
    TPluginHost(const TPluginHost&) = delete;
    TPluginHost& operator=(const TPluginHost&) = delete;

    // The host external libraries call back into: their function tables carry no context, so
    // the one live host is kept process-wide.
    static TPluginHost* Current();

    // Internal plugins in registry order, then the libraries below "External/"; then sorting,
    // pre-edit and the display list. Errors of the pre-edit step abort discovery (raised).
    void Discover();
    // Destroys every descriptor (forced unload) and empties the lists.
    void Clear();

    const std::vector<std::unique_ptr<TPluginStoredLibInfo>>& PluginList() const {
        return FPluginList;
    }
    const std::vector<TDisplayEntry>& DisplayList() const { return FDisplayList; }
    // The names offered for new combinations: "Internal/<Name>" or the library's folder below
    // the modules folder.
    QStringList OfferedPluginNames() const;
    // The first descriptor whose StrID equals AStrID exactly, or null.
    TPluginStoredLibInfo* FindByStrID(const QString& AStrID) const;

    const TCollectionInternalPluginTypes& Registry() const { return FRegistry; }
    const TPluginHostSetup& Setup() const { return FSetup; }
    TExeInfoHost& ExeInfo() { return FExeInfo; }

    // Windows in which host functions are accepted.
    void OpenInitWindow(TPluginStoredLibInfo* ADescriptor);
    void CloseInitWindow();
    void OpenPreEditWindow(TPluginStoredLibInfo* ADescriptor);
    void ClosePreEditWindow();
    // A running batch serves the work callbacks; null closes the window.
    void SetBatchWorkCallbacks(IExeWorkCallbacks* ASink);

    // IExeInitCallbacks
    void ExeMakePropName(const QString& APropName, const QString& AShownName,
                         TVisualPropType AVisualPropType, std::uint32_t AReadyServices,
                         const QString& AHint, const QString& AHelp) override;
    void ExeSetPropMetasGrid(const QString& APropName, std::int32_t AIgnoreRowsLevel) override;
    // IExePreEditCallbacks
    void ExeSetPropChoiceValueCount(const QString& APropName, std::int32_t ACount) override;
    void ExeAddPropChoiceValue(const QString& APropName, const QString& AChoiceID,
                               const QString& ACaption, bool AChecked) override;
    void ExeSetPropTextBoxValueCount(const QString& APropName, std::int32_t ACount) override;
    void ExeSetPropTextBoxValue(const QString& APropName, const QString& ATextBoxID,
                                const QString& ACaption, const QString& ADefaultValue) override;
    void ExeSetPropGridColumnCount(const QString& APropName, std::int32_t ACount) override;
    void ExeAddPropGridColumn(const QString& APropName, const QString& AColID,
                              const QString& ACaption, const QString& AColWidth,
                              std::int32_t AColFlags) override;
    void ExeSetPropDefaultGridValueCount(const QString& APropName, std::int32_t ACount) override;
    void ExeAddPropDefaultGridValue(const QString& APropName, std::int32_t AColIdx,
                                    std::int32_t ARowIdx, const QString& AValue) override;
    void ExeSetPropDefaultFileValue(const QString& APropName, const QString& AFileName,
                                    std::int32_t AFileFlags) override;
    // IExeWorkCallbacks
    void ExeHandleWorkPathErrorMsg(const QString& AErrorMsg, const QString& AAdviceMsg) override;
    void ExeHandleWorkPathErrorMsgW(const QString& AErrorMsg, const QString& AAdviceMsg) override;
    void ExeRequestAddPathToBatch(const QString& APath) override;

private:
    void AddAndInit(std::unique_ptr<TPluginStoredLibInfo> ADescriptor);
    void ScanExternal(const QString& AFolder);
    [[noreturn]] void RaiseUnassigned(const QString& AFunction) const;
    // The property of the current pre-edit plugin, of one of the accepted kinds.
    TPluginStoredLibInfo& PreEditTarget(const QString& AFunction, bool AWindowOpen) const;
    TPluginProperty& PreEditProperty(const QString& AFunction, bool AWindowOpen,
                                     const QString& APropName) const;
    IExeWorkCallbacks& WorkSink(const QString& AFunction) const;

    const TCollectionInternalPluginTypes& FRegistry;
    TPluginHostSetup FSetup;
    TExeInfoHost FExeInfo;
    std::vector<std::unique_ptr<TPluginStoredLibInfo>> FPluginList;
    std::vector<TDisplayEntry> FDisplayList;
    TPluginStoredLibInfo* FInitTarget = nullptr;
    TPluginStoredLibInfo* FPreEditTarget = nullptr;
    mutable std::mutex FWorkSinkLock;
    IExeWorkCallbacks* FWorkSink = nullptr;
};

// The path-name helper for showing plugins: the switches apply in this order to a copy of
// APathName: keep only the folder (without its final separator), cut the modules folder's
// length from the front, turn "\" into "/".
QString FixPluginPN(const QString& APathName, bool ACutPlugDir, bool ACutAppPluginsRootPath,
                    bool AMakeSlashUrlLike, const QString& AModulesFolder);

// Display texts of the information record.
QString ReleaseStateText(std::uint32_t AReleaseState);
QString PluginCategoryText(int ACategory);

#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "plugin_host/host_services.h"
#include "plugin_host/plugin_contract.h"
#include "plugin_host/plugin_display.h"

class TCollectionInternalPluginTypes;
class TPluginStoredLibInfo;
class TqvLogging;

// Where the host finds and keeps things.
struct TPluginHostSetup {
    QString ModulesFolder;      // ending with "/"; holds "Internal/<Name>/" and "External/"
    QString TempFolder;         // value files of file properties go here
    TqvLogging* Log = nullptr;  // plugins that fail to load are logged here
};

// The host-wide plugin list: every descriptor (from discovery until the next reload or the end)
// and the display list, found by discovery. It owns the host services the plugins call back;
// the descriptors are handed those services, not this list. Used from the user-interface thread.
class TPluginHost final {
public:
    struct TDisplayEntry {
        QString DisplayPath;  // the plugin's path below the modules folder
        TPluginStoredLibInfo* Descriptor = nullptr;
    };

    TPluginHost(const TCollectionInternalPluginTypes& ARegistry, TPluginHostSetup ASetup);
    ~TPluginHost();
    TPluginHost(const TPluginHost&) = delete;
    TPluginHost& operator=(const TPluginHost&) = delete;

    // Starts from an empty list: internal plugins in registry order, then the libraries below
    // "External/"; then sorting, pre-edit and the display list. Errors of the pre-edit step
    // abort discovery (raised). Refused while a batch runs.
    void Discover();
    // "Reload Plugins": destroys every descriptor (forced unload) and discovers again. Every
    // descriptor reference held elsewhere (combinations of the open project) is invalid
    // afterwards, so the caller closes the project first. Refused while a batch runs or holds
    // a plugin.
    void ReloadPlugins();
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
    TPluginHostServices& Services() { return FServices; }

    // A running batch serves the plugins' work callbacks; null closes the window.
    void SetBatchWorkCallbacks(IExeWorkCallbacks* ASink) { FServices.SetBatchWorkCallbacks(ASink); }

private:
    void RefuseDuringBatch(const QString& AOperation) const;
    void AddAndInit(std::unique_ptr<TPluginStoredLibInfo> ADescriptor);
    void ScanExternal(const QString& AFolder);
    void PreEditAll();
    void BuildDisplayList();

    const TCollectionInternalPluginTypes& FRegistry;
    TPluginHostSetup FSetup;
    TPluginHostServices FServices;
    std::vector<std::unique_ptr<TPluginStoredLibInfo>> FPluginList;
    std::vector<TDisplayEntry> FDisplayList;
};

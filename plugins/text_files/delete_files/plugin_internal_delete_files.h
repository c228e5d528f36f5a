#pragma once

#include "plugin_host/plugin_internal.h"

// Deletes every file passed to it, permanently, and tells the host the path is gone. A
// directory is never deleted.
class TPluginInternal_DeleteFiles : public TPluginInternal {
public:
    TPluginInternal_DeleteFiles();

    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupWorkStart(const TExeInfoHost&, const QString&,
                              IExeWorkCallbacks& ACallbacks) override;
    void PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput& AOut) override;

private:
    TPluginInfoHost FInfo;
    IExeWorkCallbacks* FCallbacks = nullptr;
};

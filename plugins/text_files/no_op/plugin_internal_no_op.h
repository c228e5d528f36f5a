#pragma once

#include "plugin_host/plugin_internal.h"

// Does nothing; a combination with it makes its files count as handled by the initial copy.
class TPluginInternal_NoOp : public TPluginInternal {
public:
    TPluginInternal_NoOp();
    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }

private:
    TPluginInfoHost FInfo;
};

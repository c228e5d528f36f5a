#pragma once

#include <QString>

#include "plugin_host/plugin_contract.h"

// The information record of a plugin compiled into the program: the maker's details, the
// identifier "zq_kestrin_" + name and the interface version filled in; category
// miscellaneous, files only, stable, loadable as needed. Plugins change what differs.
TPluginInfoHost MakeInternalPluginInfo(const QString& APluginName, const QString& APluginDesc,
                                       const QString& APluginVersion);

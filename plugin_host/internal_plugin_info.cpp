#include "plugin_host/internal_plugin_info.h"

TPluginInfoHost MakeInternalPluginInfo(const QString& APluginName, const QString& APluginDesc,
                                       const QString& APluginVersion) {
    TPluginInfoHost info;
    info.StrID = QStringLiteral("zq_kestrin_") + APluginName;
    info.Author = QStringLiteral("Kestrin Software");
    info.CopyRight = QStringLiteral("Copyright (c) 2026 Kestrin Software");
    info.PluginName = APluginName;
    info.PluginDesc = APluginDesc;
    info.HasCompany = QStringLiteral("Kestrin Software");
    info.HasEmail = QStringLiteral("support@kestrin.example");
    info.HasUrl = QStringLiteral("https://www.kestrin.example/");
    info.PluginLoadingScheme = plsCanDynamicAsNeeded;
    info.PluginVersion = APluginVersion;
    info.InterfaceVersion = QStringLiteral(PLOVANE_PLUGIN_INTERFACE_VERSION);
    info.PluginCategory = pcMiscellaneous;
    info.CanWorkCategory = PLV_CAN_WORK_FILES;
    info.ReleaseState = PLV_RELEASE_STABLE;
    return info;
}

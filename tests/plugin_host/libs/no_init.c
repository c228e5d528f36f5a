/* PluginSetupInit is missing: the library is dropped at discovery. */
#include "test_plugin_common.h"

PLV_EXPORT TPluginInfo* PLV_CALL PluginReturnInfo(TExeInfo* AExeInfo) {
    (void)AExeInfo;
    return PlvTestInfo(u"plovane.test.NoInit", plsPreferKeepInMemory);
}

PLV_EXPORT void PLV_CALL PluginSetupPreEdit(TExeInfo* AExeInfo, TExePreEditCallbacks* ACallbacks) {
    (void)AExeInfo;
    (void)ACallbacks;
    PlvTestEvent("preedit");
}

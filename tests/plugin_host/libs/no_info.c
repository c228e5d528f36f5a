/* PluginReturnInfo returns no record: the library is dropped at discovery. */
#include <stddef.h>

#include "test_plugin_common.h"

PLV_EXPORT TPluginInfo* PLV_CALL PluginReturnInfo(TExeInfo* AExeInfo) {
    (void)AExeInfo;
    return NULL;
}

PLV_EXPORT void PLV_CALL PluginSetupInit(TExeInfo* AExeInfo, TExeInitCallbacks* ACallbacks) {
    (void)AExeInfo;
    (void)ACallbacks;
    PlvTestEvent("init");
}

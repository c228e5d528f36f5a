/* Loaded only as needed (plsCanDynamicAsNeeded): the state its init sets does not survive the
 * release after discovery. Its PluginSetupEdit reports that state, then calls a work callback,
 * which is refused outside a batch; the refusal reaches the host's caller after the call. */
#include "test_plugin_common.h"

static int GStateFromInit;

PLV_EXPORT TPluginInfo* PLV_CALL PluginReturnInfo(TExeInfo* AExeInfo) {
    (void)AExeInfo;
    return PlvTestInfo(u"plovane.test.DynamicState", plsCanDynamicAsNeeded);
}

PLV_EXPORT void PLV_CALL PluginSetupInit(TExeInfo* AExeInfo, TExeInitCallbacks* ACallbacks) {
    (void)AExeInfo;
    (void)ACallbacks;
    GStateFromInit = 42;
    PlvTestEvent("init state=%d", GStateFromInit);
}

PLV_EXPORT void PLV_CALL PluginSetupPreEdit(TExeInfo* AExeInfo, TExePreEditCallbacks* ACallbacks) {
    (void)AExeInfo;
    (void)ACallbacks;
    PlvTestEvent("preedit state=%d", GStateFromInit);
}

PLV_EXPORT void PLV_CALL PluginSetupEdit(TExeInfo* AExeInfo, TExeWorkCallbacks* ACallbacks) {
    (void)AExeInfo;
    PlvTestEvent("edit state=%d", GStateFromInit);
    ACallbacks->ExeRequestAddPathToBatch(u"/nowhere");
    PlvTestEvent("edit returns");
}

/* Loaded only as needed (plsCanDynamicAsNeeded): the state its init sets does not survive the
 * release after discovery. Its PluginSetupEdit reports that state, then calls a work callback,
 * which is refused outside a batch; the refusal reaches the host's caller after the call. In a
 * batch, PluginWorkPath reports "working" into the batch log and, once the host function has
 * returned, writes down that its code ran on. */
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

static const TExeWorkCallbacks* GWorkCallbacks;

PLV_EXPORT void PLV_CALL PluginSetupWorkStart(TExeInfo* AExeInfo, TWorkStartInfo* AStart,
                                              TExeWorkCallbacks* ACallbacks) {
    (void)AExeInfo;
    (void)AStart;
    GWorkCallbacks = ACallbacks;
}

PLV_EXPORT void PLV_CALL PluginSetupWorkStartDone(void) {}

PLV_EXPORT void PLV_CALL PluginWorkPath(PPluginPassedReadInProps AIn,
                                        PPluginPassedWriteOutProps AOut) {
    (void)AIn;
    (void)AOut;
    GWorkCallbacks->ExeHandleWorkPathErrorMsg("working", "");
    PlvTestEvent("work went on after the report");
}

PLV_EXPORT void PLV_CALL PluginSetupWorkEnd(TExeInfo* AExeInfo) {
    (void)AExeInfo;
    GWorkCallbacks = NULL;
}

/* Its init makes two host calls that fail: ExeSetPropMetasGrid on a text-box property, then on a
 * property it never declared. The host keeps the first error and raises it after PluginSetupInit
 * returns, so the library goes on running and the first error is the one reported. */
#include "test_plugin_common.h"

PLV_EXPORT TPluginInfo* PLV_CALL PluginReturnInfo(TExeInfo* AExeInfo) {
    (void)AExeInfo;
    return PlvTestInfo(u"plovane.test.InitFails", plsPreferKeepInMemory);
}

PLV_EXPORT void PLV_CALL PluginSetupInit(TExeInfo* AExeInfo, TExeInitCallbacks* ACallbacks) {
    (void)AExeInfo;
    ACallbacks->ExeMakePropName("Plain", u"Plain", vptTextBoxes, 0, u"", u"");
    ACallbacks->ExeSetPropMetasGrid("Plain", pgirlAllRowCellsEmpty);
    PlvTestEvent("init went on after the failed call");
    ACallbacks->ExeSetPropMetasGrid("Undeclared", pgirlAllRowCellsEmpty);
    PlvTestEvent("init returns");
}

PLV_EXPORT void PLV_CALL PluginSetupPreEdit(TExeInfo* AExeInfo, TExePreEditCallbacks* ACallbacks) {
    (void)AExeInfo;
    (void)ACallbacks;
    PlvTestEvent("preedit");
}

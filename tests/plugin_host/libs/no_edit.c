/* Exports only PluginReturnInfo, PluginSetupInit and PluginSetupPreEdit: it is discovered and
 * offered, but selecting it for editing finds no PluginSetupEdit. Kept in memory. */
#include "test_plugin_common.h"

PLV_EXPORT TPluginInfo* PLV_CALL PluginReturnInfo(TExeInfo* AExeInfo) {
    (void)AExeInfo;
    return PlvTestInfo(u"plovane.test.NoEdit", plsPreferKeepInMemory);
}

PLV_EXPORT void PLV_CALL PluginSetupInit(TExeInfo* AExeInfo, TExeInitCallbacks* ACallbacks) {
    (void)AExeInfo;
    ACallbacks->ExeMakePropName("Note", u"Note", vptTextBoxes, 0, u"", u"");
    PlvTestEvent("init");
}

PLV_EXPORT void PLV_CALL PluginSetupPreEdit(TExeInfo* AExeInfo, TExePreEditCallbacks* ACallbacks) {
    (void)AExeInfo;
    ACallbacks->ExeSetPropTextBoxValueCount("Note", 1);
    ACallbacks->ExeSetPropTextBoxValue("Note", "Text", u"Text", u"hello");
    PlvTestEvent("preedit");
}

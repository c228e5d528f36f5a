// A C++ library whose PluginWorkPath starts a thread of its own that reports a problem through
// the work callbacks, waits for it, and writes down what the host function returned. The same
// report made on the calling thread afterwards is written down too. Loaded as needed.
#include <thread>

#include "test_plugin_common.h"

namespace {

const TExeWorkCallbacks* GCallbacks = nullptr;

}  // namespace

PLV_EXPORT TPluginInfo* PLV_CALL PluginReturnInfo(TExeInfo*) {
    return PlvTestInfo(u"plovane.test.ForeignThread", plsCanDynamicAsNeeded);
}

PLV_EXPORT void PLV_CALL PluginSetupInit(TExeInfo*, TExeInitCallbacks*) {}

PLV_EXPORT void PLV_CALL PluginSetupPreEdit(TExeInfo*, TExePreEditCallbacks*) {}

PLV_EXPORT void PLV_CALL PluginSetupWorkStart(TExeInfo*, TWorkStartInfo*,
                                              TExeWorkCallbacks* ACallbacks) {
    GCallbacks = ACallbacks;
}

PLV_EXPORT void PLV_CALL PluginSetupWorkStartDone() {}

PLV_EXPORT void PLV_CALL PluginWorkPath(PPluginPassedReadInProps, PPluginPassedWriteOutProps) {
    int fromOwnThread = -1;
    std::thread own([&] {
        fromOwnThread =
            GCallbacks->ExeHandleWorkPathErrorMsg("reported from the plugin's own thread", "");
    });
    own.join();
    PlvTestEvent("own thread got %d", fromOwnThread);
    const int fromCallThread =
        GCallbacks->ExeHandleWorkPathErrorMsg("reported from the calling thread", "");
    PlvTestEvent("calling thread got %d", fromCallThread);
}

PLV_EXPORT void PLV_CALL PluginSetupWorkEnd(TExeInfo*) {
    GCallbacks = nullptr;
}

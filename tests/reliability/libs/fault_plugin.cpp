// A plugin library that misbehaves on request, for the batch fault tests. Its work on each path
// is chosen by PLOVANE_FAULT_WORK:
//   throw     throws a std::runtime_error from PluginWorkPath
//   outside   returns the path PLOVANE_FAULT_PATH (outside the batch root) as its output
//   overlong  fills the whole output buffer with "a" and no terminating zero
//   delete    on the batch root: deletes the file PLOVANE_FAULT_PATH behind the host's back
// Anything else leaves every path as it is.
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include <unistd.h>

#include "plovane_plugin.h"

namespace {

TPluginInfo GInfo = {u"zq_test_Fault",
                     u"Tests",
                     u"",
                     u"Fault",
                     u"Test plugin that misbehaves on request.",
                     u"",
                     u"",
                     u"",
                     u"",
                     u"",
                     0,
                     plsPreferKeepInMemory,
                     0,
                     u"",
                     u"1.0",
                     u"1.0.4",
                     pcMiscellaneous,
                     PLV_CAN_WORK_FILES | PLV_CAN_WORK_DIRECTORIES | PLV_CAN_WORK_ROOT,
                     PLV_RELEASE_STABLE};

std::string Env(const char* AName) {
    const char* value = std::getenv(AName);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

PLV_EXPORT TPluginInfo* PLV_CALL PluginReturnInfo(TExeInfo*) {
    return &GInfo;
}
PLV_EXPORT void PLV_CALL PluginSetupInit(TExeInfo*, TExeInitCallbacks*) {}
PLV_EXPORT void PLV_CALL PluginSetupPreEdit(TExeInfo*, TExePreEditCallbacks*) {}
PLV_EXPORT void PLV_CALL PluginSetupWorkStart(TExeInfo*, TWorkStartInfo*, TExeWorkCallbacks*) {}
PLV_EXPORT void PLV_CALL PluginSetupWorkStartDone(void) {}
PLV_EXPORT void PLV_CALL PluginSetupWorkEnd(TExeInfo*) {}

PLV_EXPORT void PLV_CALL PluginWorkPath(PPluginPassedReadInProps, PPluginPassedWriteOutProps AOut) {
    const std::string work = Env("PLOVANE_FAULT_WORK");
    TPlvWChar* out = *AOut->WorkPathNameOut;
    const std::size_t units = sizeof(TSafePathLengthArr) / sizeof(TPlvWChar);
    if (work == "throw")
        throw std::runtime_error("the fault plugin throws");
    if (work == "outside") {
        const std::string path = Env("PLOVANE_FAULT_PATH");
        std::size_t i = 0;
        for (; i < path.size() && i + 1 < units; ++i)
            out[i] = static_cast<TPlvWChar>(static_cast<unsigned char>(path[i]));
        out[i] = 0;
    } else if (work == "overlong") {
        for (std::size_t i = 0; i < units; ++i)
            out[i] = u'a';
    } else if (work == "delete") {
        ::unlink(Env("PLOVANE_FAULT_PATH").c_str());
    }
}

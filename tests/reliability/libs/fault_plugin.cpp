// A plugin library that misbehaves on request, for the batch fault tests. Its work on each path
// is chosen by PLOVANE_FAULT_WORK:
//   throw     throws a std::runtime_error from PluginWorkPath
//   outside   returns the path PLOVANE_FAULT_PATH (outside the batch root) as its output
//   overlong  fills the whole output buffer with "a" and no terminating zero
//   delete    on the batch root: deletes the file PLOVANE_FAULT_PATH behind the host's back
//   segv      on a path ending in "crash.txt": writes to the address PLOVANE_FAULT_ADDRESS + 16
//             (PLOVANE_FAULT_ADDRESS a number, 0 when not set), which faults
//   abort     on a path ending in "crash.txt": calls abort()
// Anything else leaves every path as it is.
#include <cstdint>
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

// Whether the path ends in "crash.txt".
static bool CrashHere(const TPlvWChar* APath) {
    static const char16_t KEnd[] = u"crash.txt";
    const std::size_t endSize = sizeof KEnd / sizeof KEnd[0] - 1;
    std::size_t size = 0;
    while (APath[size] != 0)
        ++size;
    for (std::size_t i = 0; i < endSize; ++i)
        if (size < endSize || APath[size - endSize + i] != KEnd[i])
            return false;
    return true;
}

PLV_EXPORT void PLV_CALL PluginWorkPath(PPluginPassedReadInProps AIn,
                                        PPluginPassedWriteOutProps AOut) {
    const std::string work = Env("PLOVANE_FAULT_WORK");
    if (work == "segv" && CrashHere(AIn->WorkPathNameIn)) {
        // An address the compiler cannot know and that is not null (which the undefined
        // behaviour checks would catch first): a real fault, not a trap put in its place.
        const std::uintptr_t address =
            std::strtoull(Env("PLOVANE_FAULT_ADDRESS").c_str(), nullptr, 0) + 16;
        *reinterpret_cast<volatile int*>(address) = 1;
    }
    if (work == "abort" && CrashHere(AIn->WorkPathNameIn))
        std::abort();
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

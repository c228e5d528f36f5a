// A C++ library that throws from one entry point something that is not a standard exception.
// The environment variable PLOVANE_TEST_THROW names the step and what is thrown, for example
// "init int": the step is one of init, preedit, edit, work; what is thrown is int (the integer
// 7), text (the text "thrown as text") or std (a std::runtime_error "thrown as std"). Loaded as
// needed, so a batch loads it for its combination.
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "test_plugin_common.h"

namespace {

void ThrowIfAsked(const char* AStep) {
    const char* asked = std::getenv("PLOVANE_TEST_THROW");
    if (asked == nullptr)
        return;
    const std::string request(asked);
    const std::size_t blank = request.find(' ');
    if (blank == std::string::npos || request.compare(0, blank, AStep) != 0)
        return;
    const std::string kind = request.substr(blank + 1);
    PlvTestEvent("%s throws %s", AStep, kind.c_str());
    if (kind == "int")
        throw 7;
    if (kind == "text")
        throw "thrown as text";
    if (kind == "std")
        throw std::runtime_error("thrown as std");
}

}  // namespace

PLV_EXPORT TPluginInfo* PLV_CALL PluginReturnInfo(TExeInfo*) {
    return PlvTestInfo(u"plovane.test.Throwing", plsCanDynamicAsNeeded);
}

PLV_EXPORT void PLV_CALL PluginSetupInit(TExeInfo*, TExeInitCallbacks*) {
    ThrowIfAsked("init");
}

PLV_EXPORT void PLV_CALL PluginSetupPreEdit(TExeInfo*, TExePreEditCallbacks*) {
    ThrowIfAsked("preedit");
}

PLV_EXPORT void PLV_CALL PluginSetupEdit(TExeInfo*, TExeWorkCallbacks*) {
    ThrowIfAsked("edit");
}

PLV_EXPORT void PLV_CALL PluginSetupWorkStart(TExeInfo*, TWorkStartInfo*, TExeWorkCallbacks*) {}

PLV_EXPORT void PLV_CALL PluginSetupWorkStartDone() {}

PLV_EXPORT void PLV_CALL PluginWorkPath(PPluginPassedReadInProps, PPluginPassedWriteOutProps) {
    ThrowIfAsked("work");
}

PLV_EXPORT void PLV_CALL PluginSetupWorkEnd(TExeInfo*) {}

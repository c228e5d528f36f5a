#define _GNU_SOURCE /* dladdr */

#include "test_plugin_common.h"

#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

static TPluginInfo GInfo;

TPluginInfo* PlvTestInfo(TPlvWStr AStrID, TPluginLoadingScheme AScheme) {
    GInfo.StrID = AStrID;
    GInfo.PluginName = AStrID;
    GInfo.InterfaceVersion = u"" PLOVANE_PLUGIN_INTERFACE_VERSION;
    GInfo.PluginLoadingScheme = AScheme;
    GInfo.CanWorkCategory = PLV_CAN_WORK_FILES;
    return &GInfo;
}

void PlvTestEvent(const char* AFormat, ...) {
    const char* logPath = getenv("PLOVANE_TEST_PLUGIN_EVENTS");
    if (logPath == NULL || logPath[0] == 0)
        return;
    FILE* log = fopen(logPath, "a");
    if (log == NULL)
        return;
    va_list args;
    va_start(args, AFormat);
    vfprintf(log, AFormat, args);
    va_end(args);
    fputc('\n', log);
    fclose(log);
}

/* The path this library was loaded from, as the loader was given it. */
static const char* OwnPath(void) {
    static const int anchor = 0;
    Dl_info info;
    return dladdr(&anchor, &info) != 0 && info.dli_fname != NULL ? info.dli_fname : "?";
}

__attribute__((constructor)) static void PlvTestLoaded(void) {
    PlvTestEvent("load %s", OwnPath());
}
__attribute__((destructor)) static void PlvTestUnloaded(void) {
    PlvTestEvent("unload %s", OwnPath());
}

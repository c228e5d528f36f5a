/* A test plugin for the command-line runner. Its work is chosen by the environment:
 * PLOVANE_TEST_ADVISE=project  gives project-stop advice for every path;
 * PLOVANE_TEST_GATE=DIR        makes the first work call write to the FIFO DIR/started and then
 *                              wait for a byte on the FIFO DIR/release, so a test can act while
 *                              a batch is surely running, without sleeping. */
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "plovane_plugin.h"

static TPluginInfo GInfo = {u"zq_test_Gate",
                            u"Tests",
                            u"",
                            u"Gate",
                            u"Test plugin for the command-line runner.",
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
                            PLV_CAN_WORK_FILES,
                            PLV_RELEASE_STABLE};
static volatile int GGateUsed = 0;

PLV_EXPORT TPluginInfo* PLV_CALL PluginReturnInfo(TExeInfo* ExeInfo) {
    (void)ExeInfo;
    return &GInfo;
}
PLV_EXPORT void PLV_CALL PluginSetupInit(TExeInfo* ExeInfo, TExeInitCallbacks* Callbacks) {
    (void)ExeInfo;
    (void)Callbacks;
}
PLV_EXPORT void PLV_CALL PluginSetupPreEdit(TExeInfo* ExeInfo, TExePreEditCallbacks* Callbacks) {
    (void)ExeInfo;
    (void)Callbacks;
}
PLV_EXPORT void PLV_CALL PluginSetupWorkStart(TExeInfo* ExeInfo, TWorkStartInfo* Start,
                                              TExeWorkCallbacks* Cb) {
    (void)ExeInfo;
    (void)Start;
    (void)Cb;
}
PLV_EXPORT void PLV_CALL PluginSetupWorkStartDone(void) {}
PLV_EXPORT void PLV_CALL PluginSetupWorkEnd(TExeInfo* ExeInfo) {
    (void)ExeInfo;
}

static void Gate(const char* ADir) {
    char path[4096];
    char byte = '1';
    int fd;
    strncpy(path, ADir, sizeof path - 16);
    path[sizeof path - 16] = 0;
    strcat(path, "/started");
    fd = open(path, O_WRONLY);
    if (fd >= 0) {
        if (write(fd, &byte, 1) < 0) {
        }
        close(fd);
    }
    strncpy(path, ADir, sizeof path - 16);
    path[sizeof path - 16] = 0;
    strcat(path, "/release");
    fd = open(path, O_RDONLY);
    if (fd >= 0) {
        if (read(fd, &byte, 1) < 0) {
        }
        close(fd);
    }
}

PLV_EXPORT void PLV_CALL PluginWorkPath(PPluginPassedReadInProps In,
                                        PPluginPassedWriteOutProps Out) {
    const char* advise = getenv("PLOVANE_TEST_ADVISE");
    const char* gate = getenv("PLOVANE_TEST_GATE");
    (void)In;
    if (gate != 0 && !GGateUsed) {
        GGateUsed = 1;
        Gate(gate);
    }
    if (advise != 0 && strcmp(advise, "project") == 0)
        Out->AdviseProjectBatchStop = 1;
}

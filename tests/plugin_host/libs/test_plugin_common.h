/* Shared by the test plugin libraries: an information record and an event log. Every library
 * writes "load <path>" when the loader maps it and "unload <path>" when it is released, plus
 * whatever its entry points report, one line each, to the file named by the environment variable
 * PLOVANE_TEST_PLUGIN_EVENTS (nothing when it is unset). */
#ifndef PLOVANE_TEST_PLUGIN_COMMON_H
#define PLOVANE_TEST_PLUGIN_COMMON_H

#include "plovane_plugin.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A static information record with the given identifier and loading scheme. */
TPluginInfo* PlvTestInfo(TPlvWStr AStrID, TPluginLoadingScheme AScheme);

/* Appends one line (printf format) to the event log. */
void PlvTestEvent(const char* AFormat, ...);

#ifdef __cplusplus
}
#endif

#endif

#pragma once

#include <QString>

#include <utility>

#include "plugin_host/plugin_call_watch.h"

// Every call into a plugin goes through GuardPluginCall: whatever the plugin raises, a foreign
// exception too (an int, a text), reaches the host as the program's own error naming the entry
// point and the plugin, so each caller can handle it as it handles any failed call (the init
// step drops the plugin, a batch fails the path) instead of the program ending.

// Raises the error for the exception being handled; call it only inside a catch block. The
// program's own errors (a host function's refusal, for example) pass unchanged; everything else
// becomes EqvOperationNotPossible with the entry point, the plugin's path name and what was
// raised.
[[noreturn]] void RaisePluginCallError(const char* AEntryPoint, const QString& APluginPathName);

// While a batch watches, the call is also watched (TPluginCallScope); APath is the path it
// works on, if any.
template <typename Call>
decltype(auto) GuardPluginCall(const char* AEntryPoint, const QString& APluginPathName,
                               Call&& ACall, const QString& APath = {}) {
    const TPluginCallScope scope(AEntryPoint, APluginPathName, APath);
    try {
        return std::forward<Call>(ACall)();
    } catch (...) {
        RaisePluginCallError(AEntryPoint, APluginPathName);
    }
}

#pragma once

// What the fuzz entry points share: a finding ends the process at once (libFuzzer then keeps
// the input), and the fixed surroundings of the targets that need plugins.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/program_log.h"
#include "tests/project/test_plugins.h"
#include "tests/support/temp_folders.h"

// A broken promise: told on standard error, then abort, so libFuzzer keeps the input.
[[noreturn]] inline void FuzzFinding(const char* AWhat, const QString& ADetail = {}) {
    std::fprintf(stderr, "fuzz finding: %s %s\n", AWhat, ADetail.toUtf8().constData());
    std::abort();
}

inline QByteArray FuzzBytes(const std::uint8_t* AData, std::size_t ASize) {
    return QByteArray(reinterpret_cast<const char*>(AData), static_cast<qsizetype>(ASize));
}

// The standard test plugins (tests/project) discovered once per process on a temporary modules
// folder, with a program log there.
struct TFuzzPlugins {
    TFuzzPlugins();
    TTempFolder Temp;
    TqvLogging Log;
    TTestPluginSet Plugins;
};
TFuzzPlugins& FuzzPlugins();

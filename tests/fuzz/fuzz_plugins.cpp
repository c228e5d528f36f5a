#include "tests/fuzz/fuzz_support.h"

TFuzzPlugins::TFuzzPlugins()
    : Plugins(Temp.MakeFolder(QStringLiteral("modules")), Temp.MakeFolder(QStringLiteral("temp")),
              &Log) {
    Log.FLogFileName = Temp.Path(QStringLiteral("program.log"));
    AddStandardTestPlugins(Plugins);
    Plugins.Discover();
}

TFuzzPlugins& FuzzPlugins() {
    // One per process: discovery is far slower than one input.
    static TFuzzPlugins* plugins = new TFuzzPlugins();
    return *plugins;
}

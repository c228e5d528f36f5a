// Property value streams: the input's first byte chooses a property of the test plugin that
// declares one of every kind and the road the rest takes: as a stored stream (made into the
// batch stream and delivered), as declaration data (the same), or as a batch stream delivered as
// it is. Every road ends delivered or refused with one of the program's errors; a delivery
// leaves no more than its one value file, which the clean-up removes.
#include <QDir>

#include "base/exceptions.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "plugin_host/property_values.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    if (ASize == 0)
        return 0;
    TFuzzPlugins& fuzz = FuzzPlugins();
    TPluginStoredLibInfo& plugin = fuzz.Plugins.Plugin(KAllID);
    const QString tempFolder = fuzz.Temp.Path(QStringLiteral("values/"));
    QDir().mkpath(tempFolder);
    const std::size_t count = plugin.FProperties.size();
    const TPluginProperty& property = *plugin.FProperties[AData[0] % count];
    const int road = (AData[0] / count) % 3;
    const QByteArray stream = FuzzBytes(AData + 1, ASize - 1);
    try {
        QByteArray batch = stream;
        if (road == 0)
            batch = ToBatchFromPerstData(property, stream);
        else if (road == 1)
            batch = ToBatchFromInitData(property, stream);
        // A stream that grows to a grid of ten thousands of cells (row numbers far apart) is
        // delivered cell by cell, which the recording test plugin cannot do within a fuzzing
        // run's time limit: for those the conversion alone is checked.
        if (batch.size() <= 256 * 1024)
            DeliverPluginWorkData(plugin, property, batch, tempFolder);
    } catch (const EqvException&) {
    }
    fuzz.Plugins.Calls.clear();
    if (RemoveValueFiles(tempFolder) != 0)
        FuzzFinding("a value file cannot be removed");
    if (!QDir(tempFolder)
             .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
             .isEmpty())
        FuzzFinding("a delivery left files behind:",
                    QDir(tempFolder)
                        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                        .join(u' '));
    return 0;
}

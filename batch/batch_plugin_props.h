#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

class TPluginStoredLibInfo;

// One filter/module combination as the batch engine sees it: the plugin's descriptor (not
// owned) and the combination's stored value stream per property name (an empty stream means
// "not set by the user": the declaration defaults apply).
struct TBatchPluginProps {
    TPluginStoredLibInfo* LibInfo_Ref = nullptr;
    std::vector<std::pair<QString, QByteArray>> LibProps_Ref;

    // The stored stream of a property; empty when the combination has none for that name.
    QByteArray StoredStream(const QString& APropName) const {
        for (const auto& [name, stream] : LibProps_Ref)
            if (name == APropName)
                return stream;
        return {};
    }
};

// A combination in run order: its filter text and what the engine hands the plugin.
struct TBatchCombination {
    QString Filter;
    TBatchPluginProps Props;
};

#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class TPluginInternal;

// A registered internal plugin class: its factory and its name ID (the PluginName of its info).
struct TCollectionInternalPluginType {
    std::function<std::unique_ptr<TPluginInternal>()> FPluginClass;
    QString FNameID;
};

// The registry of the plugins compiled into the program, in registration order (which is the
// order discovery walks them). Filled explicitly at start (plugins/register_all.cpp).
class TCollectionInternalPluginTypes {
public:
    template <typename TPlugin>
    void AddOwn(const QString& ANameID) {
        AddOwn([] { return std::unique_ptr<TPluginInternal>(new TPlugin()); }, ANameID);
    }
    void AddOwn(std::function<std::unique_ptr<TPluginInternal>()> APluginClass,
                const QString& ANameID);

    // Both names trimmed and compared ignoring case; the first match, or null.
    const TCollectionInternalPluginType* GetItemByNameID(const QString& ANameID) const;

    const std::vector<TCollectionInternalPluginType>& Items() const { return FItems; }

private:
    std::vector<TCollectionInternalPluginType> FItems;
};

#include "plugin_host/internal_plugin_registry.h"

#include "plugin_host/plugin_internal.h"

void TCollectionInternalPluginTypes::AddOwn(
    std::function<std::unique_ptr<TPluginInternal>()> APluginClass, const QString& ANameID) {
    FItems.push_back({std::move(APluginClass), ANameID});
}

const TCollectionInternalPluginType* TCollectionInternalPluginTypes::GetItemByNameID(
    const QString& ANameID) const {
    const QString wanted = ANameID.trimmed();
    for (const TCollectionInternalPluginType& item : FItems)
        if (item.FNameID.trimmed().compare(wanted, Qt::CaseInsensitive) == 0)
            return &item;
    return nullptr;
}

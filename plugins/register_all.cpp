#include "plugins/register_all.h"

#include "plugin_host/internal_plugin_registry.h"
#include "plugins/text_files/delete_files/plugin_internal_delete_files.h"
#include "plugins/text_files/no_op/plugin_internal_no_op.h"

void RegisterAllInternalPlugins(TCollectionInternalPluginTypes& ARegistry) {
    // Plugins not yet part of the program keep their place in this order when they arrive.
    ARegistry.AddOwn<TPluginInternal_DeleteFiles>(QStringLiteral("DeleteFiles"));
    ARegistry.AddOwn<TPluginInternal_NoOp>(QStringLiteral("NoOp"));
}

#include "plugins/text_files/no_op/plugin_internal_no_op.h"

#include "plugin_host/internal_plugin_info.h"

TPluginInternal_NoOp::TPluginInternal_NoOp()
    : FInfo(MakeInternalPluginInfo(
          QStringLiteral("NoOp"),
          QStringLiteral(
              "Dummy \"no operation\" module. Useful to ensure files are matched by initial copy."),
          QStringLiteral("1.03"))) {}

#include "ui/property_pages/frame_classes.h"

#include <iterator>

#include "base/exceptions.h"
#include "ui/property_pages/frame_plugin_setup_root.h"
#include "ui/property_pages/frame_plugins_setup_option_file.h"
#include "ui/property_pages/frame_plugins_setup_option_grid.h"
#include "ui/property_pages/frame_plugins_setup_option_multiple_choice.h"
#include "ui/property_pages/frame_plugins_setup_option_single_choice.h"
#include "ui/property_pages/frame_plugins_setup_option_text_boxes.h"

namespace {

// One line per page class; a kind not listed has no page.
const TFrameCommonPluginClass KPropertyFrameClasses[] = {
    {vtpChoiceSingle, "TFramePluginsSetupOptionSingleChoice",
     &CreateFrameOfClass<TFramePluginsSetupOptionSingleChoice>},
    {vtpChoiceMultiple, "TFramePluginsSetupOptionMultipleChoice",
     &CreateFrameOfClass<TFramePluginsSetupOptionMultipleChoice>},
    {vptTextBoxes, "TFramePluginsSetupOptionTextBoxes",
     &CreateFrameOfClass<TFramePluginsSetupOptionTextBoxes>},
    {vptGrid, "TFramePluginsSetupOptionGrid", &CreateFrameOfClass<TFramePluginsSetupOptionGrid>},
    {vptFile, "TFramePluginsSetupOptionFile", &CreateFrameOfClass<TFramePluginsSetupOptionFile>},
};

const TFrameCommonPluginClass KInfoFrameClass = {vptErrorOccured, "TFramePluginSetupRoot",
                                                 &CreateFrameOfClass<TFramePluginSetupRoot>};

}  // namespace

const TFrameCommonPluginClass& GetPluginPropFrameClass(int AKind) {
    for (const TFrameCommonPluginClass& entry : KPropertyFrameClasses)
        if (static_cast<int>(entry.Kind) == AKind)
            return entry;
    throw EqvOperationNotPossible(QStringLiteral(
        "\"GetPluginPropFrameClass\" failed to find correct descendant of \"TFrameCommonClass\""));
}

const TFrameCommonPluginClass& GetPluginInfoFrameClass() {
    return KInfoFrameClass;
}

#pragma once

#include <memory>

#include "plugin_host/plovane_plugin.h"
#include "ui/property_pages/frame_common.h"

// A page class: the property kind it edits, its class name and how a page of it is made.
struct TFrameCommonPluginClass {
    TVisualPropType Kind = vptErrorOccured;
    const char* ClassName = "";
    std::unique_ptr<TFrameCommonPlugin> (*Create)(const TFrameServices& AServices) = nullptr;
};

// The page class of a property kind. A kind without one (vptCustom, vptErrorOccured, a number
// no kind has) raises EqvOperationNotPossible with the text "\"GetPluginPropFrameClass\"
// failed to find correct descendant of \"TFrameCommonClass\"".
const TFrameCommonPluginClass& GetPluginPropFrameClass(int AKind);

// The page class of the information tab (TFramePluginSetupRoot).
const TFrameCommonPluginClass& GetPluginInfoFrameClass();

// Makes a page of class T; the table entries use it.
template <typename T>
std::unique_ptr<TFrameCommonPlugin> CreateFrameOfClass(const TFrameServices& AServices) {
    return std::make_unique<T>(AServices);
}

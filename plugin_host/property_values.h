#pragma once

// Property values between the combination, the editor and the plugin: the stored value streams
// (one per property and combination, written by the editor pages and kept in the project), the
// batch value streams made from them (or from the declaration defaults when the user never set
// the property), and their delivery to the plugin at batch start.

#include <QByteArray>
#include <QString>

#include <functional>

#include "plugin_host/plovane_plugin.h"

class TPluginProperty;
class TPluginStoredLibInfo;

// Conversions to the batch value stream of the property's kind.
QByteArray ToBatchFromPerstData(const TPluginProperty& AProperty,
                                const QByteArray& AFromPerstStream);
QByteArray ToBatchFromInitData(const TPluginProperty& AProperty, const QByteArray& AFromInitStream);

// The batch value stream of one property: from the stored stream when it is not empty, else from
// the declaration data when that is not empty, else empty. Raises for vptCustom and
// vptErrorOccured properties (no editor page exists for them).
QByteArray CreatePluginBatchDataStream(const TPluginStoredLibInfo& APluginStoredLibInfo,
                                       const QString& APropName, const QByteArray& APerstStream);

// Delivers one batch value stream through the plugin's PluginSetProp* calls of the property's
// kind. File documents are written to a new value file "prop<N>.val" in ATempFolder (created
// exclusively). An empty or short stream raises the stream reader's error.
void DeliverPluginWorkData(TPluginStoredLibInfo& ADescriptor, const TPluginProperty& AProperty,
                           const QByteArray& ABatchStream, const QString& ATempFolder);

// The value delivery of one combination at batch start: for every property of the plugin in
// declaration order, the batch value stream made from the combination's stored stream
// (AStoredStream gives it by property name; empty: not set) is delivered. Any error names the
// property, the plugin and the combination (ACombination, its filter text) besides its own text.
void DeliverCombinationValues(TPluginStoredLibInfo& APlugin, const QString& ACombination,
                              const std::function<QByteArray(const QString&)>& AStoredStream);

// Deletes every "*.val" file directly in the folder; returns how many could not be deleted.
int RemoveValueFiles(const QString& ATempFolder);

// The INI merge of file properties with flag 1: the default document's lines, with the values
// the stored document has for the same section and key.
QString MergeIniIntoDefault(const QString& ADefaultDocument, const QString& AStoredDocument);

// Line breaks (CR LF, CR, LF) removed from a grid value, as for columns without flag 64.
QString RemoveLineBreaks(const QString& AValue);

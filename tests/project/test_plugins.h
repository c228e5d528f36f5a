#pragma once

#include "tests/support/stored_streams.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/program_log.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plovane_plugin.h"
#include "tests/support/temp_folders.h"

class TPluginHost;
class TPluginStoredLibInfo;
struct TBatchCombination;

// What a test plugin is and declares.
struct TTestPluginDecl {
    QString Name;  // registry name ID and PluginName
    QString StrID;
    std::uint32_t CanWorkCategory = PLV_CAN_WORK_FILES;
    QString SuggestedExts;
    // Declares "Mode" (single choice), "Set" (multiple choice), "Boxes" (text boxes), "Rules"
    // (grid), "Doc" (file) and "Custom" (custom), with declaration data for each.
    bool EveryKind = false;
    // Further single-choice properties, declared after those (before them with ExtraFirst).
    QStringList ExtraProps;
    bool ExtraFirst = false;
    bool Installed = true;  // registered at the next Discover()
};

// Internal test plugins on a temporary modules folder, discovered by a real plugin host. Every
// value the plugins receive at batch start is recorded in Calls (file values with the content of
// their value file, so the varying file names do not matter).
class TTestPluginSet {
public:
    TTestPluginSet(QString AModulesFolder, QString ATempFolder, TqvLogging* ALog);
    ~TTestPluginSet();

    TTestPluginDecl& Add(TTestPluginDecl ADecl);
    TTestPluginDecl& Declaration(const QString& AName);

    // A new host with the installed plugins; a host made before is destroyed first.
    TPluginHost& Discover();
    TPluginHost& Host() const { return *FHost; }
    TPluginStoredLibInfo& Plugin(const QString& AStrID) const;

    // What the plugin of a combination receives for all its deliverable properties.
    QStringList Deliver(const TBatchCombination& ACombination);

    QStringList Calls;

private:
    QString FModulesFolder;
    QString FTempFolder;
    TqvLogging* FLog;
    std::deque<TTestPluginDecl> FDecls;
    TCollectionInternalPluginTypes FRegistry;
    std::unique_ptr<TPluginHost> FHost;
};

// One entry of a hand-made module configuration stream.
struct TStoredEntry {
    QString Filter;
    std::optional<QString> PluginStrID;  // none: HasPlugin 0
    std::vector<std::pair<QString, QByteArray>> Props;
    std::optional<std::int32_t> ForcedValueSize;  // written for the last property instead
};
QByteArray ModuleConfigStream(const std::vector<TStoredEntry>& AEntries);

// Plugin identifiers of the standard test set.
inline const QString KFilesID = QStringLiteral("zq_test_files");  // files; suggests .txt,.HTM
inline const QString KDirsID = QStringLiteral("zq_test_dirs");    // directories
inline const QString KBothID = QStringLiteral("zq_test_both");    // files and directories
inline const QString KRootID = QStringLiteral("zq_test_root");    // the batch root only
inline const QString KAllID = QStringLiteral("zq_test_all");      // everything; every kind

// Adds the standard test set: KFilesID (suggests .txt,.HTM; a choice "Opt"), KDirsID, KBothID
// (suggests .htm, .css), KRootID and KAllID (a property of every kind).
void AddStandardTestPlugins(TTestPluginSet& APlugins);

// A fixture with the standard test plugins discovered on a temporary modules folder and a
// program log in a temporary file.
class ProjectPluginsTest : public ::testing::Test {
protected:
    ProjectPluginsTest();

    QString LogText() const;

    TTempFolder FTemp;
    TqvLogging FLog;
    TTestPluginSet FPlugins;
};

#pragma once

#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "app/folder_walk.h"
#include "app/program_log.h"
#include "batch/batch_engine.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folders.h"

// Internal plugins in a whole batch: real discovery of every internal plugin (their shipped
// files copied from the source tree, PLOVANE_SOURCE_DIR), the real engine on FThreads worker
// threads from FInput to FWork, and property values as a project stores them.
// Property values by name, as a combination of a project holds them.
using TStoredProps = std::vector<std::pair<QString, QByteArray>>;

class TPluginsBatchFixture : public ::testing::Test {
protected:
    void SetUp() override {
        FDataHome.emplace("XDG_DATA_HOME", FTemp.MakeFolder(QStringLiteral("xdg")).toUtf8());
        FInput = FTemp.MakeFolder(QStringLiteral("in"));
        FWork = FTemp.MakeFolder(QStringLiteral("work"));
        FTempDir = FTemp.MakeFolder(QStringLiteral("tmp"));
        FModules = FTemp.MakeFolder(QStringLiteral("modules"));
        // The plugins read their default files from their own folders.
        ASSERT_EQ(
            CopyTreeMissing(QStringLiteral(PLOVANE_SOURCE_DIR "/resources/modules/Internal"),
                            FModules + QStringLiteral("Internal"), TCopyTreeMode::AlwaysOverwrite),
            0);
        RegisterAllInternalPlugins(FRegistry);
        FHost =
            std::make_unique<TPluginHost>(FRegistry, TPluginHostSetup{FModules, FTempDir, &FLog});
        FHost->Discover();
    }
    void TearDown() override {
        FHost.reset();
        FDataHome.reset();
    }

    // A combination of the internal plugin "zq_kestrin_<APluginName>".
    void Add(const QString& AFilter, const QString& APluginName, TStoredProps AProps) {
        TBatchCombination combination;
        combination.Filter = AFilter;
        combination.Props.LibInfo_Ref =
            FHost->FindByStrID(QStringLiteral("zq_kestrin_") + APluginName);
        ASSERT_NE(combination.Props.LibInfo_Ref, nullptr) << APluginName.toStdString();
        combination.Props.LibProps_Ref = std::move(AProps);
        FCombinations.push_back(std::move(combination));
    }

    // The batch of the combinations added; its log entries land in FEntries.
    void Run() {
        TBatchEngineSetup setup;
        setup.Settings.InputDirPath = FInput;
        setup.Settings.WorkDirPath = FWork;
        setup.Settings.OnlyCopyHandledPaths = false;
        setup.Settings.MaxWorkerThreads = FThreads;
        setup.Combinations = FCombinations;
        setup.Host = FHost.get();
        setup.TempFolder = FTempDir;
        setup.ProgramLog = &FLog;
        setup.LogWriter = [this](const QString& AEntry) {
            const std::lock_guard lock(FEntriesLock);
            FEntries << AEntry;
        };
        TBatchEngine engine(std::move(setup));
        engine.Resume();
        engine.WaitFor();
        ASSERT_FALSE(engine.Failure()) << "the batch ended with an error";
        FProblems = engine.ProblemCounts();
    }

    int FThreads = 4;
    TTempFolder FTemp;
    std::optional<TScopedEnv> FDataHome;
    QString FInput;
    QString FWork;
    QString FTempDir;
    QString FModules;
    TqvLogging FLog;
    TCollectionInternalPluginTypes FRegistry;
    std::unique_ptr<TPluginHost> FHost;
    std::vector<TBatchCombination> FCombinations;
    std::mutex FEntriesLock;
    QStringList FEntries;
    TBatchProblemCounts FProblems;
};

// The boundary between the host and plugin libraries: what a library raises, host functions
// called from a library's own threads, discovery run again, a batch's hold on a library that is
// loaded as needed, and the errors of stored values that cannot be delivered.

#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "base/exceptions.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_internal.h"
#include "tests/plugin_host/external_plugin_fixture.h"
#include "tests/support/stored_streams.h"

namespace {

// The error the host makes of what a plugin raised.
QString Raised(const QString& ALibrary, const char* AEntryPoint, const QString& AWhat) {
    return QStringLiteral("The plugin \"") + ALibrary + QStringLiteral("\" raised an error in \"") +
           QString::fromLatin1(AEntryPoint) + QStringLiteral("\": ") + AWhat + QLatin1Char('.');
}

// An internal plugin whose declarations the test gives.
class TDeclaringPlugin : public TPluginInternal {
public:
    using TInit = std::function<void(IExeInitCallbacks&)>;
    using TPreEdit = std::function<void(IExePreEditCallbacks&)>;
    TDeclaringPlugin(const QString& AName, TInit AInit, TPreEdit APreEdit)
        : FInit(std::move(AInit)), FPreEdit(std::move(APreEdit)) {
        FInfo.StrID = QStringLiteral("zq_test_") + AName;
        FInfo.PluginName = AName;
        FInfo.CanWorkCategory = PLV_CAN_WORK_FILES;
    }
    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks& ACallbacks) override {
        if (FInit)
            FInit(ACallbacks);
    }
    void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks& ACallbacks) override {
        if (FPreEdit)
            FPreEdit(ACallbacks);
    }

private:
    TInit FInit;
    TPreEdit FPreEdit;
    TPluginInfoHost FInfo;
};

class PluginBoundaryTest : public ExternalPluginsTest {
protected:
    void Throw(const char* AStepAndKind) {
        FThrow.reset();
        FThrow.emplace("PLOVANE_TEST_THROW", QByteArray(AStepAndKind));
    }
    void TearDown() override {
        ExternalPluginsTest::TearDown();
        FThrow.reset();
    }
    void AddInternal(const QString& AName, TDeclaringPlugin::TInit AInit,
                     TDeclaringPlugin::TPreEdit APreEdit) {
        FRegistry.AddOwn(
            [AName, AInit, APreEdit] {
                return std::make_unique<TDeclaringPlugin>(AName, AInit, APreEdit);
            },
            AName);
    }
    QStringList PathNames() const {
        QStringList names;
        for (const auto& descriptor : FHost->PluginList())
            names << descriptor->FPluginPathName;
        return names;
    }

    std::optional<TScopedEnv> FThrow;
};

struct TThrown {
    const char* Kind;
    QString Described;
};
const std::vector<TThrown> KThrown = {
    {"int", QStringLiteral("the integer 7")},
    {"text", QStringLiteral("the text \"thrown as text\"")},
    {"std", QStringLiteral("std::runtime_error: thrown as std")},
};

}  // namespace

// ---- What a library raises --------------------------------------------------------------------

TEST_F(PluginBoundaryTest, ALibraryRaisingAtInitIsDroppedAndLoggedWhileTheRestLoad) {
    const QString library =
        Install(Built(TEST_PLUGIN_THROWING_PATH), QStringLiteral("throwing/throwing.so"));
    const QString other =
        Install(Built(TEST_PLUGIN_NO_EDIT_PATH), QStringLiteral("noedit/no_edit.so"));
    for (const TThrown& thrown : KThrown) {
        SCOPED_TRACE(thrown.Kind);
        Throw(QByteArray("init ").append(thrown.Kind).constData());
        QFile::remove(FLog.FLogFileName);
        Discover();
        EXPECT_EQ(ByPath(library), nullptr);
        EXPECT_NE(ByPath(other), nullptr);
        const QString entry = FailureEntryFor(library);
        ASSERT_FALSE(entry.isEmpty()) << U8(ProgramLog());
        EXPECT_TRUE(entry.contains(QStringLiteral("Exception Class Name: EqvOperationNotPossible")))
            << U8(entry);
        EXPECT_TRUE(entry.contains(QStringLiteral("Exception Message: ") +
                                   Raised(library, "PluginSetupInit", thrown.Described)))
            << U8(entry);
    }
    EXPECT_EQ(Events().count(QStringLiteral("init throws int")), 1);
}

TEST_F(PluginBoundaryTest, ALibraryRaisingAtPreEditOrEditReachesTheCallerAsTheProgramsError) {
    const QString library =
        Install(Built(TEST_PLUGIN_THROWING_PATH), QStringLiteral("throwing/throwing.so"));
    for (const TThrown& thrown : KThrown) {
        SCOPED_TRACE(thrown.Kind);
        // Discovery stops with the error, which the caller reports.
        Throw(QByteArray("preedit ").append(thrown.Kind).constData());
        EXPECT_EQ(U8(ErrorOf([&] { Discover(); })),
                  U8(Raised(library, "PluginSetupPreEdit", thrown.Described)));

        // Selecting a combination of it in the editor.
        Throw(QByteArray("edit ").append(thrown.Kind).constData());
        Discover();
        TPluginStoredLibInfo* plugin = ByPath(library);
        ASSERT_NE(plugin, nullptr);
        plugin->LoadPlugin();
        EXPECT_EQ(U8(ErrorOf([&] { plugin->SP_SetupEdit(); })),
                  U8(Raised(library, "PluginSetupEdit", thrown.Described)));
        plugin->UnloadPlugin();
        EXPECT_FALSE(plugin->IsLoaded());
    }
}

TEST_F(PluginBoundaryTest, ALibraryRaisingInItsWorkCallFailsThePathsAndTheBatchGoesOn) {
    const QString library =
        Install(Built(TEST_PLUGIN_THROWING_PATH), QStringLiteral("throwing/throwing.so"));
    for (int i = 0; i < 3; ++i)
        FTemp.WriteFile(QStringLiteral("in/f%1.txt").arg(i), "x");
    FTemp.WriteFile(QStringLiteral("in/g.log"), "x");
    for (const TThrown& thrown : KThrown) {
        SCOPED_TRACE(thrown.Kind);
        Throw(QByteArray("work ").append(thrown.Kind).constData());
        Discover();
        TPluginStoredLibInfo* plugin = ByPath(library);
        ASSERT_NE(plugin, nullptr);

        // The error the engine's worker gets is a standard exception naming the entry point and
        // the library.
        {
            const TPluginLoadHold hold(*plugin);
            const QString path = FWorkDir + QStringLiteral("f0.txt");
            TWorkPathOutput out(path);
            try {
                plugin->NP_WorkPath(path, out);
                ADD_FAILURE() << "no error";
            } catch (const std::exception& e) {
                EXPECT_EQ(e.what(),
                          Raised(library, "PluginWorkPath", thrown.Described).toStdString());
            }
        }

        // Every path fails, and the batch goes on to the next path and the next combination.
        const TTestBatchResult result = RunBatch(
            {{QStringLiteral("*.txt"), plugin, {}}, {QStringLiteral("*.log"), plugin, {}}});
        EXPECT_TRUE(result.Failure.isEmpty()) << U8(result.Failure);
        EXPECT_EQ(result.Problems.PluginFailures, 4);
    }
}

// ---- Host functions called from a library's own thread ----------------------------------------

TEST_F(PluginBoundaryTest, AHostFunctionCalledFromALibrarysOwnThreadFailsToItAndIsLogged) {
    const QString library = Install(Built(TEST_PLUGIN_FOREIGN_THREAD_PATH),
                                    QStringLiteral("foreign/foreign_thread.so"));
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "x");
    Discover();
    TPluginStoredLibInfo* plugin = ByPath(library);
    ASSERT_NE(plugin, nullptr);

    const TTestBatchResult result = RunBatch({{QStringLiteral("*.txt"), plugin, {}}});
    EXPECT_TRUE(result.Failure.isEmpty()) << U8(result.Failure);
    const QStringList events = Events();
    EXPECT_TRUE(events.contains(QStringLiteral("own thread got 0"))) << U8(events.join(u'|'));
    // The worker itself is registered: its report reaches the batch log.
    EXPECT_TRUE(events.contains(QStringLiteral("calling thread got 1"))) << U8(events.join(u'|'));
    ASSERT_EQ(result.Entries.size(), 1);
    EXPECT_TRUE(result.Entries[0].contains(QStringLiteral("reported from the calling thread")));
    EXPECT_EQ(result.Problems.WorkPathReports, 1);

    const QString log = ProgramLog();
    EXPECT_TRUE(
        log.contains(QStringLiteral("A plugin called the host function "
                                    "\"ExeHandleWorkPathErrorMsg\" from a thread of its "
                                    "own, outside every call of the host into it.")))
        << U8(log);
    // The batch's refusal: no worker is registered for that thread.
    EXPECT_TRUE(log.contains(QStringLiteral("Exception Class Name: EqvValueOutOfValidRangeError")))
        << U8(log);
}

TEST_F(PluginBoundaryTest, OutsideABatchBothReportsFailButOnlyTheCallingThreadsFailsTheCall) {
    const QString library = Install(Built(TEST_PLUGIN_FOREIGN_THREAD_PATH),
                                    QStringLiteral("foreign/foreign_thread.so"));
    Discover();
    TPluginStoredLibInfo* plugin = ByPath(library);
    ASSERT_NE(plugin, nullptr);
    const TPluginLoadHold hold(*plugin);
    plugin->SP_SetupWorkStart(FWorkDir);
    const QString path = FWorkDir + QStringLiteral("a.txt");
    TWorkPathOutput out(path);
    EXPECT_EQ(
        U8(ErrorOf([&] { plugin->NP_WorkPath(path, out); })),
        U8(Unassigned(QStringLiteral("Plugin (external)"),
                      QStringLiteral("ExeHandleWorkPathErrorMsg"), QStringLiteral("application"))));
    plugin->SP_SetupWorkEnd();
    EXPECT_TRUE(Events().contains(QStringLiteral("own thread got 0")));
    EXPECT_TRUE(Events().contains(QStringLiteral("calling thread got 0")));
    const QString log = ProgramLog();
    EXPECT_EQ(log.count(QStringLiteral("from a thread of its own")), 1) << U8(log);
    EXPECT_TRUE(log.contains(QStringLiteral("Exception Class Name: EqvMissingRequiredHandler")))
        << U8(log);
}

// ---- Discovery again and "Reload Plugins" -----------------------------------------------------

TEST_F(PluginBoundaryTest, DiscoveryRunTwiceListsEveryPluginOnce) {
    AddInternal(QStringLiteral("Plain"), {}, {});
    const QString kept =
        Install(Built(TEST_PLUGIN_NO_EDIT_PATH), QStringLiteral("noedit/no_edit.so"));
    Install(Built(TEST_PLUGIN_DYNAMIC_STATE_PATH), QStringLiteral("dyn/dynamic_state.so"));
    Discover();
    const QStringList names = PathNames();
    const QStringList offered = FHost->OfferedPluginNames();
    ASSERT_EQ(names.size(), 3);

    FHost->Discover();
    EXPECT_EQ(PathNames(), names);
    EXPECT_EQ(FHost->OfferedPluginNames(), offered);
    EXPECT_EQ(FHost->DisplayList().size(), 3u);
    // The kept library's old descriptor let it go before the new one loaded it.
    const QStringList events = Events();
    const QString load = QStringLiteral("load ") + kept;
    const QString unload = QStringLiteral("unload ") + kept;
    ASSERT_EQ(events.count(load), 2);
    EXPECT_LT(events.indexOf(unload), events.lastIndexOf(load));
}

TEST_F(PluginBoundaryTest, ReloadPluginsFindsWhatChangedAndIsRefusedWhileABatchRuns) {
    AddInternal(QStringLiteral("Plain"), {}, {});
    const QString kept =
        Install(Built(TEST_PLUGIN_NO_EDIT_PATH), QStringLiteral("noedit/no_edit.so"));
    const QString removed =
        Install(Built(TEST_PLUGIN_DYNAMIC_STATE_PATH), QStringLiteral("dyn/dynamic_state.so"));
    Discover();
    ASSERT_NE(ByPath(removed), nullptr);

    ASSERT_TRUE(QFile::remove(removed));
    const QString added =
        Install(Built(TEST_PLUGIN_THROWING_PATH), QStringLiteral("added/throwing.so"));
    FHost->ReloadPlugins();
    const QStringList names = PathNames();
    EXPECT_EQ(names.size(), 3);
    EXPECT_TRUE(names.contains(kept));
    EXPECT_TRUE(names.contains(added));
    EXPECT_FALSE(names.contains(removed));
    EXPECT_EQ(FHost->DisplayList().size(), 3u);

    // While a batch runs, or holds a plugin, the descriptors it uses must stay.
    const QString refused =
        QStringLiteral("Reloading the plugins is not possible while a batch runs.");
    TPluginStoredLibInfo* before = ByPath(kept);
    TRecordingWorkSink sink;
    FHost->SetBatchWorkCallbacks(&sink);
    EXPECT_EQ(U8(ErrorOf([&] { FHost->ReloadPlugins(); })), U8(refused));
    FHost->SetBatchWorkCallbacks(nullptr);
    {
        const TPluginLoadHold hold(*ByPath(added));
        EXPECT_EQ(U8(ErrorOf([&] { FHost->ReloadPlugins(); })), U8(refused));
        EXPECT_EQ(U8(ErrorOf([&] { FHost->Discover(); })),
                  "Discovering the plugins is not possible while a batch runs.");
    }
    EXPECT_EQ(ByPath(kept), before);
    FHost->ReloadPlugins();
    EXPECT_EQ(PathNames().size(), 3);
}

// ---- A batch's hold on a library loaded as needed ---------------------------------------------

TEST_F(PluginBoundaryTest, UnloadRequestsWhileABatchHoldsALibraryDoNotUnloadIt) {
    enum TStep { Hold, Release, EditorLoad, EditorUnload, Force };
    struct TCase {
        const char* Name;
        std::vector<std::pair<TStep, bool>> Steps;  // each step and whether it is loaded after
    };
    const TCase cases[] = {
        {"the editor releases it during the batch",
         {{Hold, true}, {EditorLoad, true}, {EditorUnload, true}, {Release, false}}},
        {"a forced unload during the batch", {{Hold, true}, {Force, true}, {Release, false}}},
        {"the editor still has it when the batch ends",
         {{EditorLoad, true}, {Hold, true}, {Release, true}, {EditorUnload, false}}},
        {"two holds", {{Hold, true}, {Hold, true}, {Release, true}, {Release, false}}},
    };
    const QString library =
        Install(Built(TEST_PLUGIN_DYNAMIC_STATE_PATH), QStringLiteral("dyn/dynamic_state.so"));
    Discover();
    TPluginStoredLibInfo* plugin = ByPath(library);
    ASSERT_NE(plugin, nullptr);
    ASSERT_FALSE(plugin->IsLoaded());
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::unique_ptr<TPluginLoadHold>> holds;
        for (const auto& [step, loaded] : c.Steps) {
            switch (step) {
                case Hold:
                    holds.push_back(std::make_unique<TPluginLoadHold>(*plugin));
                    break;
                case Release:
                    holds.pop_back();
                    break;
                case EditorLoad:
                    plugin->LoadPlugin();
                    break;
                case EditorUnload:
                    plugin->UnloadPlugin();
                    break;
                case Force:
                    plugin->ForceUnload();
                    break;
            }
            EXPECT_EQ(plugin->IsLoaded(), loaded) << "after step " << step;
        }
        EXPECT_EQ(plugin->LoadHolds(), 0);
    }
}

TEST_F(PluginBoundaryTest, ABatchKeepsALibraryLoadedAsNeededWhileItsWorkersRunIt) {
    const QString library =
        Install(Built(TEST_PLUGIN_DYNAMIC_STATE_PATH), QStringLiteral("dyn/dynamic_state.so"));
    for (int i = 0; i < 4; ++i)
        FTemp.WriteFile(QStringLiteral("in/f%1.txt").arg(i), "x");
    Discover();
    TPluginStoredLibInfo* plugin = ByPath(library);
    ASSERT_NE(plugin, nullptr);
    ASSERT_FALSE(plugin->IsLoaded());

    // The plugin's report arrives while its own code is on the worker's stack: the editor lets
    // it go just then. Unloading it would pull that code away.
    std::mutex lock;
    int loadedDuringReports = 0;
    const TTestBatchResult result =
        RunBatch({{QStringLiteral("*.txt"), plugin, {}}}, [&](const QString&) {
            plugin->LoadPlugin();
            plugin->UnloadPlugin();
            plugin->ForceUnload();
            const std::lock_guard guard(lock);
            loadedDuringReports += plugin->IsLoaded() ? 1 : 0;
        });
    EXPECT_TRUE(result.Failure.isEmpty()) << U8(result.Failure);
    EXPECT_EQ(result.Entries.size(), 4);
    EXPECT_EQ(loadedDuringReports, 4);
    EXPECT_EQ(Events().count(QStringLiteral("work went on after the report")), 4);
    // Loaded for the batch and released after it.
    EXPECT_FALSE(plugin->IsLoaded());
    const QStringList events = Events();
    EXPECT_EQ(events.count(QStringLiteral("load ") + library), 3);  // init, pre-edit, batch
    EXPECT_EQ(events.count(QStringLiteral("unload ") + library), 3);
}

// ---- Stored values that cannot be delivered -----------------------------------------------------

TEST_F(PluginBoundaryTest, AValueThatCannotBeDeliveredNamesPluginCombinationAndProperty) {
    const QString grid = QStringLiteral("Rules");
    // Columns, but no default cell count: the declaration ends where the count should be.
    AddInternal(
        QStringLiteral("NoRowCount"),
        [grid](IExeInitCallbacks& AInit) { AInit.ExeMakePropName(grid, grid, vptGrid, 0, {}, {}); },
        [grid](IExePreEditCallbacks& APre) {
            APre.ExeSetPropGridColumnCount(grid, 1);
            APre.ExeAddPropGridColumn(grid, QStringLiteral("find"), QStringLiteral("Find"),
                                      QStringLiteral("80+"), KColFlagAlignLeft);
        });
    const QByteArray stored = StoredGrid({QStringLiteral("find")}, {{0, 0, QStringLiteral("x")}});
    const QByteArray cutShort = stored.chopped(1);
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "x");
    Discover();
    TPluginStoredLibInfo* plugin = FHost->FindByStrID(QStringLiteral("zq_test_NoRowCount"));
    ASSERT_NE(plugin, nullptr);

    struct TCase {
        const char* Name;
        QByteArray First;  // the stored grids of the two combinations
        QByteArray Second;
        QString Failing;  // the combination named
    };
    const TCase cases[] = {
        {"a grid never opened", {}, stored, QStringLiteral("*.htm")},
        {"a damaged stored grid", stored, cutShort, QStringLiteral("*.txt")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TTestBatchResult result =
            RunBatch({{QStringLiteral("*.htm"), plugin, {{grid, c.First}}},
                      {QStringLiteral("*.txt"), plugin, {{grid, c.Second}}}});
        const QString prefix = QStringLiteral(
                                   "The value of property \"Rules\" could not be handed to plugin "
                                   "\"NoRowCount\" (\"") +
                               plugin->FPluginPathName + QStringLiteral("\") in combination \"") +
                               c.Failing + QStringLiteral("\": Stream ends too early");
        EXPECT_TRUE(result.Failure.startsWith(prefix)) << U8(result.Failure);
    }
}

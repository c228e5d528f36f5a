#include "plugin_host/plugin_host.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/program_log.h"
#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_internal.h"
#include "tests/support/temp_folders.h"

namespace {

// Scripts what a test plugin does in each step and records every call it receives.
struct TScript {
    QStringList Calls;
    bool ReturnNoInfo = false;
    std::function<void(IExeInitCallbacks&)> Init;
    std::function<void(IExePreEditCallbacks&, TPluginHostServices&)> PreEdit;
    std::function<void(IExeWorkCallbacks&)> Edit;
};

class TScriptedPlugin : public TPluginInternal {
public:
    TScriptedPlugin(TScript& AScript, const QString& AName) : FScript(AScript) {
        FInfo.StrID = QStringLiteral("zq_test_") + AName;
        FInfo.PluginName = AName;
        FInfo.PluginLoadingScheme = plsCanDynamicAsNeeded;
    }
    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override {
        FScript.Calls << QStringLiteral("ReturnInfo");
        return FScript.ReturnNoInfo ? nullptr : &FInfo;
    }
    void PluginSetupInit(const TExeInfoHost& AExe, IExeInitCallbacks& ACallbacks) override {
        FScript.Calls << QStringLiteral("SetupInit ") + AExe.PluginPathName;
        if (FScript.Init)
            FScript.Init(ACallbacks);
    }
    void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks& ACallbacks) override {
        FScript.Calls << QStringLiteral("SetupPreEdit");
        if (FScript.PreEdit)
            FScript.PreEdit(ACallbacks, *TPluginHostServices::Current());
    }
    void PluginSetupEdit(const TExeInfoHost&, IExeWorkCallbacks& ACallbacks) override {
        FScript.Calls << QStringLiteral("SetupEdit");
        if (FScript.Edit)
            FScript.Edit(ACallbacks);
    }
    void PluginSetupWorkStart(const TExeInfoHost&, const QString& ARoot,
                              IExeWorkCallbacks&) override {
        FScript.Calls << QStringLiteral("SetupWorkStart ") + ARoot;
    }
    void PluginSetupWorkStartDone() override {
        FScript.Calls << QStringLiteral("SetupWorkStartDone");
    }
    void PluginSetupWorkEnd(const TExeInfoHost&) override {
        FScript.Calls << QStringLiteral("SetupWorkEnd");
    }
    void PluginWorkPath(const QString& AIn, TWorkPathOutput&) override {
        FScript.Calls << QStringLiteral("WorkPath ") + AIn;
    }

private:
    TScript& FScript;
    TPluginInfoHost FInfo;
};

class PluginHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        FModules = FTemp.MakeFolder(QStringLiteral("modules"));
        FLog.FLogFileName = FTemp.Path(QStringLiteral("program.log"));
    }
    void Register(const QString& AName, TScript& AScript) {
        FRegistry.AddOwn(
            [&AScript, AName] { return std::make_unique<TScriptedPlugin>(AScript, AName); }, AName);
    }
    std::unique_ptr<TPluginHost> MakeHost() {
        return std::make_unique<TPluginHost>(
            FRegistry, TPluginHostSetup{FModules, FTemp.MakeFolder(QStringLiteral("temp")), &FLog});
    }
    QString PathOf(const QString& AName) const {
        return FModules + QStringLiteral("Internal/") + AName + QLatin1Char('/');
    }
    QString LogText() const {
        return QString::fromUtf8(FTemp.ReadFile(QStringLiteral("program.log")));
    }

    TTempFolder FTemp;
    QString FModules;
    TqvLogging FLog;
    TCollectionInternalPluginTypes FRegistry;
};

QString DescribeError(const std::function<void()>& ACall) {
    try {
        ACall();
    } catch (const EqvException& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

}  // namespace

TEST_F(PluginHostTest, DiscoveryCallsInitThenPreEditAndKeepsInfo) {
    TScript a;
    TScript b;
    a.Init = [](IExeInitCallbacks& AInit) {
        AInit.ExeMakePropName(QStringLiteral("Rules"), QStringLiteral("Rules"), vptGrid, 1,
                              QStringLiteral("hint"), QStringLiteral("help"));
        // A second declaration of the same name is ignored.
        AInit.ExeMakePropName(QStringLiteral("Rules"), QStringLiteral("Other"), vptFile, 0, {}, {});
        AInit.ExeSetPropMetasGrid(QStringLiteral("Rules"), pgirlAllRowCellsEmpty);
    };
    a.PreEdit = [](IExePreEditCallbacks& APre, TPluginHostServices&) {
        APre.ExeSetPropGridColumnCount(QStringLiteral("Rules"), 1);
        APre.ExeAddPropGridColumn(QStringLiteral("Rules"), QStringLiteral("find"),
                                  QStringLiteral("Find"), QStringLiteral("80+"), 64);
        APre.ExeSetPropDefaultGridValueCount(QStringLiteral("Rules"), 0);
    };
    Register(QStringLiteral("Beta"), b);
    Register(QStringLiteral("Alpha"), a);
    auto host = MakeHost();
    host->Discover();

    EXPECT_EQ(a.Calls, QStringList({QStringLiteral("ReturnInfo"),
                                    QStringLiteral("SetupInit ") + PathOf(QStringLiteral("Alpha")),
                                    QStringLiteral("SetupPreEdit")}));
    ASSERT_EQ(host->PluginList().size(), 2u);
    // Sorted by path name.
    TPluginStoredLibInfo& alpha = *host->PluginList()[0];
    EXPECT_EQ(alpha.FPluginPathName, PathOf(QStringLiteral("Alpha")));
    EXPECT_EQ(alpha.FPluginPath, PathOf(QStringLiteral("Alpha")));
    EXPECT_EQ(alpha.FPluginShownName, QStringLiteral("Alpha"));
    EXPECT_EQ(alpha.FPluginInfoHost.StrID, QStringLiteral("zq_test_Alpha"));
    EXPECT_TRUE(alpha.IsInternal());
    ASSERT_EQ(alpha.FProperties.size(), 1u);
    const auto* grid = dynamic_cast<TPluginPropertyGrid*>(alpha.FProperties[0].get());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->FShownName, QStringLiteral("Rules"));
    EXPECT_EQ(grid->FReadyServices, 1u);
    EXPECT_EQ(grid->FPropGridIgnoreRowsLevel, pgirlAllRowCellsEmpty);
    TStreamReader reader(grid->FInitStreamData);
    EXPECT_EQ(reader.ReadInt32(), 1);
    EXPECT_EQ(reader.ReadAnsiString(), QStringLiteral("find"));
    EXPECT_EQ(reader.ReadUtf8String(), QStringLiteral("Find"));
    EXPECT_EQ(reader.ReadAnsiString(), QStringLiteral("80+"));
    EXPECT_EQ(reader.ReadInt32(), 64);
    EXPECT_EQ(reader.ReadInt32(), 0);
    EXPECT_TRUE(reader.AtEnd());

    EXPECT_EQ(host->OfferedPluginNames(),
              QStringList({QStringLiteral("Internal/Alpha"), QStringLiteral("Internal/Beta")}));
    EXPECT_EQ(host->FindByStrID(QStringLiteral("zq_test_Beta")), host->PluginList()[1].get());
    EXPECT_EQ(host->FindByStrID(QStringLiteral("zq_test_beta")), nullptr);
}

TEST_F(PluginHostTest, FailingInitDropsOnlyThatPluginAndLogsIt) {
    TScript good;
    TScript noInfo;
    noInfo.ReturnNoInfo = true;
    TScript raising;
    raising.Init = [](IExeInitCallbacks& AInit) {
        AInit.ExeMakePropName(QStringLiteral("Text"), QStringLiteral("Text"), vptTextBoxes, 0, {},
                              {});
        AInit.ExeSetPropMetasGrid(QStringLiteral("Text"), pgirlNever);  // not a grid
    };
    Register(QStringLiteral("NoInfo"), noInfo);
    Register(QStringLiteral("Raising"), raising);
    Register(QStringLiteral("Good"), good);
    auto host = MakeHost();
    host->Discover();
    ASSERT_EQ(host->PluginList().size(), 1u);
    EXPECT_EQ(host->PluginList()[0]->FPluginShownName, QStringLiteral("Good"));
    const QString log = LogText();
    EXPECT_TRUE(log.contains(QStringLiteral("Message: \"") + PathOf(QStringLiteral("NoInfo")) +
                             QStringLiteral("\" failed under loading.")));
    EXPECT_TRUE(
        log.contains(QStringLiteral("Exception Class Name: EqvReturnValueNotAssignedError\r\n"
                                    "Exception Message: PluginReturnInfo\r\n")));
    EXPECT_TRUE(
        log.contains(QStringLiteral("Property: \"Text\" found, but the type did not match: \"") +
                     PathOf(QStringLiteral("Raising")) +
                     QStringLiteral("\". \r\nCould not \"ExeSetPropMetasGrid\"")));
    EXPECT_TRUE(noInfo.Calls.contains(QStringLiteral("ReturnInfo")));
    EXPECT_FALSE(noInfo.Calls.contains(QStringLiteral("SetupPreEdit")));
}

TEST_F(PluginHostTest, CallbacksOutsideTheirWindowsRaiseTheUnassignedHandlerText) {
    struct TCase {
        const char* Name;
        std::function<void(IExePreEditCallbacks&, TPluginHostServices&)> PreEdit;
        QString Expected;
    };
    const QString who = QStringLiteral("Plugin (internal): \"") + PathOf(QStringLiteral("Boxes")) +
                        QLatin1Char('"');
    const auto unassigned = [&](const char* AFunction) {
        return who + QStringLiteral(" tryed to call function \"") + QString::fromLatin1(AFunction) +
               QStringLiteral("\" on application which handler is unassigned");
    };
    const std::vector<TCase> cases = {
        {"choice callback of a text-box plugin",
         [](IExePreEditCallbacks& A, TPluginHostServices&) {
             A.ExeAddPropChoiceValue(QStringLiteral("Text"), QStringLiteral("a"),
                                     QStringLiteral("A"), true);
         },
         unassigned("ExeAddPropChoiceValue")},
        {"grid callback of a text-box plugin",
         [](IExePreEditCallbacks& A, TPluginHostServices&) {
             A.ExeSetPropGridColumnCount(QStringLiteral("Text"), 1);
         },
         unassigned("ExeSetPropGridColumnCount")},
        {"declaring during pre-edit",
         [](IExePreEditCallbacks&, TPluginHostServices& AHost) {
             AHost.ExeMakePropName(QStringLiteral("Late"), {}, vptFile, 0, {}, {});
         },
         unassigned("ExeMakePropName")},
        {"batch callback outside a batch",
         [](IExePreEditCallbacks&, TPluginHostServices& AHost) {
             AHost.ExeRequestAddPathToBatch(QStringLiteral("/x"));
         },
         unassigned("ExeRequestAddPathToBatch")},
        {"undeclared property",
         [](IExePreEditCallbacks& A, TPluginHostServices&) {
             A.ExeSetPropTextBoxValue(QStringLiteral("Nope"), QStringLiteral("t"), {}, {});
         },
         QStringLiteral("Property: \"Nope\" does not seem to exist in plugin: \"") +
             PathOf(QStringLiteral("Boxes")) +
             QStringLiteral("\". \r\nCould not \"ExeSetPropTextBoxValue\"")},
    };
    for (const TCase& c : cases) {
        TScript script;
        script.Init = [](IExeInitCallbacks& AInit) {
            AInit.ExeMakePropName(QStringLiteral("Text"), {}, vptTextBoxes, 0, {}, {});
        };
        script.PreEdit = c.PreEdit;
        TCollectionInternalPluginTypes registry;
        registry.AddOwn(
            [&script] {
                return std::make_unique<TScriptedPlugin>(script, QStringLiteral("Boxes"));
            },
            QStringLiteral("Boxes"));
        TPluginHost host(registry, {FModules, FTemp.Path(), &FLog});
        // Errors of the pre-edit step abort discovery.
        EXPECT_EQ(DescribeError([&] { host.Discover(); }), c.Expected) << c.Name;
    }
}

TEST_F(PluginHostTest, BatchCallsAndWorkCallbacksDuringABatchOnly) {
    TScript script;
    QString reported;
    script.Edit = [&](IExeWorkCallbacks& AWork) {
        reported = DescribeError(
            [&] { AWork.ExeHandleWorkPathErrorMsg(QStringLiteral("e"), QStringLiteral("a")); });
    };
    Register(QStringLiteral("Plain"), script);
    auto host = MakeHost();
    host->Discover();
    TPluginStoredLibInfo& plain = *host->PluginList()[0];
    plain.SP_SetupEdit();
    EXPECT_EQ(
        reported,
        QStringLiteral("Plugin (external) tryed to call function \"ExeHandleWorkPathErrorMsg\" on "
                       "application which handler is unassigned"));

    struct TSink : IExeWorkCallbacks {
        QStringList Got;
        void ExeHandleWorkPathErrorMsg(const QString& E, const QString& A) override {
            Got << E + QLatin1Char('|') + A;
        }
        void ExeHandleWorkPathErrorMsgW(const QString& E, const QString& A) override {
            Got << QStringLiteral("W") + E + A;
        }
        void ExeRequestAddPathToBatch(const QString& P) override {
            Got << QStringLiteral("add ") + P;
        }
    } sink;
    host->SetBatchWorkCallbacks(&sink);
    host->Services().ExeHandleWorkPathErrorMsgW(QStringLiteral("caf\u00e9 \u0416"),
                                                QStringLiteral("x"));
    host->Services().ExeRequestAddPathToBatch(QStringLiteral("/w/new.txt"));
    host->SetBatchWorkCallbacks(nullptr);
    // The W variant goes through the ANSI code page and then acts as the plain one.
    EXPECT_EQ(sink.Got,
              QStringList({QStringLiteral("caf\u00e9 ?|x"), QStringLiteral("add /w/new.txt")}));

    script.Calls.clear();
    plain.SP_SetupWorkStart(QStringLiteral("/work/"));
    plain.SP_SetupWorkStartDone();
    TWorkPathOutput out(QStringLiteral("/work/a.txt"));
    plain.NP_WorkPath(QStringLiteral("/work/a.txt"), out);
    plain.SP_SetupWorkEnd();
    EXPECT_EQ(
        script.Calls,
        QStringList({QStringLiteral("SetupWorkStart /work/"), QStringLiteral("SetupWorkStartDone"),
                     QStringLiteral("WorkPath /work/a.txt"), QStringLiteral("SetupWorkEnd")}));
    // Untouched output keeps the path.
    EXPECT_EQ(out.OutputPath(), QStringLiteral("/work/a.txt"));
    out.ClearOutputPath();
    EXPECT_TRUE(out.OutputPath().isEmpty());
}

TEST(InternalPluginRegistry, LookupIgnoresCaseAndBlanks) {
    TCollectionInternalPluginTypes registry;
    registry.AddOwn([] { return std::unique_ptr<TPluginInternal>(); },
                    QStringLiteral("DeleteFiles"));
    registry.AddOwn([] { return std::unique_ptr<TPluginInternal>(); }, QStringLiteral("NoOp"));
    ASSERT_NE(registry.GetItemByNameID(QStringLiteral(" noop ")), nullptr);
    EXPECT_EQ(registry.GetItemByNameID(QStringLiteral(" noop "))->FNameID, QStringLiteral("NoOp"));
    EXPECT_EQ(registry.GetItemByNameID(QStringLiteral("No")), nullptr);
}

TEST(PluginDisplayTexts, ReleaseStates) {
    const std::vector<std::pair<std::uint32_t, QString>> cases = {
        {0, QStringLiteral(".")},
        {4, QStringLiteral("Stable.")},
        {9, QStringLiteral("Buggy alpha.")},
        {0x1E, QStringLiteral("Usable alpha.")},
        {0x32, QStringLiteral("Usable beta. Some parts not intended for production use")},
        {0x44, QStringLiteral("Stable. Not intended for production use")},
    };
    for (const auto& [state, text] : cases)
        EXPECT_EQ(ReleaseStateText(state), text) << state;
}

TEST(PluginDisplayTexts, CategoriesAndKinds) {
    EXPECT_EQ(PluginCategoryText(pcFileProcessing), QStringLiteral("File Processing"));
    EXPECT_EQ(PluginCategoryText(pcWebDevelopment), QStringLiteral("Web Development"));
    EXPECT_TRUE(PluginCategoryText(5).isEmpty());
    const QStringList names = {QStringLiteral("ErrorOccured"),   QStringLiteral("ChoiceSingle"),
                               QStringLiteral("ChoiceMultiple"), QStringLiteral("TextBoxes"),
                               QStringLiteral("Grid"),           QStringLiteral("File"),
                               QStringLiteral("Custom")};
    for (int kind = 0; kind < names.size(); ++kind)
        EXPECT_EQ(VisualPropTypeToStr(kind), names[kind]);
    EXPECT_EQ(DescribeError([] { VisualPropTypeToStr(7); }),
              QStringLiteral("\"inpSLC_VisualPropTypeToStr\" conversion does not seem to fit with "
                             "\"TVisualPropAllTypes\" as expected"));
}

TEST(FixPluginPN, Switches) {
    const QString modules = QStringLiteral("/opt/plv/modules/");
    EXPECT_EQ(
        FixPluginPN(QStringLiteral("/opt/plv/modules/Internal/NoOp/"), false, true, false, modules),
        QStringLiteral("Internal/NoOp/"));
    EXPECT_EQ(FixPluginPN(QStringLiteral("Internal/NoOp/"), true, false, false, modules),
              QStringLiteral("Internal/NoOp"));
    EXPECT_EQ(FixPluginPN(QStringLiteral("External/acme/lib.so"), true, false, false, modules),
              QStringLiteral("External/acme"));
    EXPECT_EQ(
        FixPluginPN(QStringLiteral("/opt/plv/modules/External\\x.so"), false, true, true, modules),
        QStringLiteral("External/x.so"));
}

TEST(WorkPathOutput, BufferRules) {
    TWorkPathOutput out(QStringLiteral("/w/a"));
    EXPECT_EQ(out.Props.WorkPathNameOut, &out.Buffer);
    EXPECT_EQ(out.Buffer[4], 0);
    EXPECT_TRUE(out.SetOutputPath(QStringLiteral("/w/bb")));
    EXPECT_EQ(out.OutputPath(), QStringLiteral("/w/bb"));
    EXPECT_FALSE(out.SetOutputPath(QString(2048, QLatin1Char('x'))));
    EXPECT_TRUE(out.SetOutputPath(QString(2047, QLatin1Char('x'))));
    EXPECT_EQ(out.OutputPath().size(), 2047);
}

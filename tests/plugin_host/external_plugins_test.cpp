// External plugin libraries driven through the real host: the example plugin of the SDK and the
// small test libraries of libs/ are copied into a modules folder, discovered, and called the way
// the combination editor and the batch engine call them.

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "app/program_log.h"
#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugin_host/plugin_property.h"
#include "plugin_host/property_values.h"
#include "plugins/register_all.h"
#include "tests/plugin_host/external_plugin_fixture.h"
#include "tests/support/stored_streams.h"
#include "tests/support/temp_folders.h"

namespace {

const QString KExampleFooter =
    QStringLiteral("-- {name} was processed by the Plovane example plugin.\n");

QString ExampleAppended(const QString& AFileName) {
    return QStringLiteral("Processed by Plovane\n") +
           QString(KExampleFooter).replace(QStringLiteral("{name}"), AFileName);
}

// The example plugin during a batch: delivers values, runs paths, and ends the batch on leaving.
class ExamplePluginBatchTest : public ExternalPluginsTest {
protected:
    void SetUp() override {
        ExternalPluginsTest::SetUp();
        InstallExample();
        Discover();
        FPlugin = FHost->FindByStrID(QStringLiteral("org.plovane.example.AppendLine"));
        ASSERT_NE(FPlugin, nullptr);
        FWork = FTemp.MakeFolder(QStringLiteral("work"));
        FHost->SetBatchWorkCallbacks(&FSink);
        FPlugin->SP_SetupWorkStart(FWork);
    }
    void TearDown() override {
        if (FPlugin != nullptr)
            FPlugin->SP_SetupWorkEnd();
        FHost->SetBatchWorkCallbacks(nullptr);
        ExternalPluginsTest::TearDown();
    }

    // Renames ".md" files (".txt" rows are disabled) by adding ".bak", through the value calls.
    void DeliverRenameValues() {
        FPlugin->NP_SetPropChoiceValue(QStringLiteral("Action"), QStringLiteral("AddSuffix"));
        FPlugin->NP_SetPropTextBoxValue(QStringLiteral("Texts"), QStringLiteral("Line"),
                                        QStringLiteral("unused"));
        FPlugin->NP_SetPropTextBoxValue(QStringLiteral("Texts"), QStringLiteral("Suffix"),
                                        QStringLiteral(".bak"));
        const QString grid = QStringLiteral("Extensions");
        FPlugin->NP_SetPropGridValueCount(grid, 4);
        FPlugin->NP_SetPropGridValue(grid, QStringLiteral("Extension"), 0, QStringLiteral(".md"));
        FPlugin->NP_SetPropGridValue(grid, QStringLiteral("Enabled"), 0, QStringLiteral("yes"));
        FPlugin->NP_SetPropGridValue(grid, QStringLiteral("Extension"), 1, QStringLiteral(".txt"));
        FPlugin->NP_SetPropGridValue(grid, QStringLiteral("Enabled"), 1, QStringLiteral("No"));
        FPlugin->NP_SetPropFileValue(
            QStringLiteral("Footer"),
            FTemp.WriteFile(QStringLiteral("temp/footer.val"), "unused footer\n"));
        FPlugin->SP_SetupWorkStartDone();
    }

    // One PluginWorkPath call; returns the output path.
    QString WorkPath(const QString& APath) {
        TWorkPathOutput out(APath);
        FPlugin->NP_WorkPath(APath, out);
        EXPECT_FALSE(out.Props.AdvisePathBatchStop || out.Props.AdviseProjectBatchStop ||
                     out.Props.AdviseMainBatchStop);
        return out.OutputPath();
    }

    TPluginStoredLibInfo* FPlugin = nullptr;
    QString FWork;
    TRecordingWorkSink FSink;
};

}  // namespace

// ---- Discovery of the example plugin ----------------------------------------------------------

TEST_F(ExternalPluginsTest, ExampleIsDiscoveredAfterTheInternalPluginsWithItsInfoCopied) {
    RegisterAllInternalPlugins(FRegistry);
    const QString library = InstallExample();
    Discover();

    TPluginStoredLibInfo* plugin =
        FHost->FindByStrID(QStringLiteral("org.plovane.example.AppendLine"));
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin, ByPath(library));
    EXPECT_EQ(U8(plugin->FPluginPath), U8(FExternal + QStringLiteral("example/")));
    EXPECT_EQ(U8(plugin->FPluginShownName), "example_plugin");
    EXPECT_FALSE(plugin->IsInternal());
    // Kept in memory from discovery on, as its loading scheme asks.
    EXPECT_TRUE(plugin->IsLoaded());

    const TPluginInfoHost& info = plugin->FPluginInfoHost;
    EXPECT_EQ(U8(info.Author), "The Plovane developers");
    EXPECT_EQ(U8(info.PluginName), "AppendLine");
    EXPECT_EQ(U8(info.CanLaunchFilesSep), ",");
    EXPECT_EQ(U8(info.CanLaunchFilesList), "default.txt");
    EXPECT_EQ(info.PluginLoadingScheme, plsPreferKeepInMemory);
    EXPECT_TRUE(info.HasCompany.isEmpty());
    EXPECT_TRUE(info.HasLogo.isEmpty());
    EXPECT_EQ(U8(info.SuggestedExts), ".txt,.log");
    EXPECT_EQ(U8(info.PluginVersion), "1.00");
    EXPECT_EQ(U8(info.InterfaceVersion), "1.0.4");
    // The fields behind the one-byte members sit unaligned in the packed record.
    EXPECT_EQ(info.PluginCategory, pcFileProcessing);
    EXPECT_EQ(info.CanWorkCategory, PLV_CAN_WORK_FILES);
    EXPECT_EQ(info.ReleaseState, PLV_RELEASE_STABLE);

    // Every internal plugin comes first, the library after them.
    const std::size_t internalCount = FRegistry.Items().size();
    ASSERT_GE(internalCount, 2u);
    ASSERT_EQ(FHost->DisplayList().size(), internalCount + 1);
    QStringList internalDisplayed;
    for (std::size_t i = 0; i < internalCount; ++i)
        internalDisplayed << FHost->DisplayList()[i].DisplayPath;
    QStringList expectedDisplayed;
    QStringList expectedOffered;
    for (const TCollectionInternalPluginType& type : FRegistry.Items()) {
        expectedDisplayed << QStringLiteral("Internal/") + type.FNameID + QLatin1Char('/');
        expectedOffered << QStringLiteral("Internal/") + type.FNameID;
    }
    internalDisplayed.sort();
    expectedDisplayed.sort();
    EXPECT_EQ(internalDisplayed, expectedDisplayed);
    EXPECT_EQ(U8(FHost->DisplayList().back().DisplayPath), "External/example/example_plugin.so");
    EXPECT_EQ(FHost->DisplayList().back().Descriptor, plugin);
    QStringList offered = FHost->OfferedPluginNames();
    ASSERT_EQ(offered.size(), static_cast<qsizetype>(internalCount + 1));
    EXPECT_EQ(U8(offered.takeLast()), "External/example");
    offered.sort();
    expectedOffered.sort();
    EXPECT_EQ(offered, expectedOffered);

    // Selecting a combination of it in the editor.
    EXPECT_NO_THROW(plugin->SP_SetupEdit());
}

TEST_F(ExternalPluginsTest, ExampleDeclaresItsPropertiesAndPreEditFillsTheirDeclarationData) {
    InstallExample();
    Discover();
    TPluginStoredLibInfo* plugin =
        FHost->FindByStrID(QStringLiteral("org.plovane.example.AppendLine"));
    ASSERT_NE(plugin, nullptr);

    struct TExpected {
        const char* Name;
        TVisualPropType Kind;
        std::uint32_t ReadyServices;
        const char* Hint;
    };
    const TExpected expected[] = {
        {"Action", vtpChoiceSingle, 0, "What to do with a matching file"},
        {"Texts", vptTextBoxes, 0, "The line to append and the suffix"},
        {"Extensions", vptGrid, 0, "Which files are worked on"},
        {"Footer", vptFile, PLV_SERVICE_OPEN_TEXT_EDITOR, "Text appended after the line"},
    };
    ASSERT_EQ(plugin->FProperties.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].Name);
        const TPluginProperty& property = *plugin->FProperties[i];
        EXPECT_EQ(U8(property.FPropName), expected[i].Name);
        EXPECT_EQ(U8(property.FShownName), expected[i].Name);
        EXPECT_EQ(property.FVisualPropType, expected[i].Kind);
        EXPECT_EQ(property.FReadyServices, expected[i].ReadyServices);
        EXPECT_EQ(U8(property.FHint), expected[i].Hint);
        EXPECT_FALSE(property.FHelp.isEmpty());
    }
    EXPECT_TRUE(plugin->FHasSingleChoice && plugin->FHasTextBoxes && plugin->FHasGrid &&
                plugin->FHasFile);
    EXPECT_FALSE(plugin->FHasMultipleChoice || plugin->FHasCustom);

    const auto* grid = dynamic_cast<const TPluginPropertyGrid*>(plugin->FProperties[2].get());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->FPropGridIgnoreRowsLevel, pgirlAllRowCellsEmptyWhenTrimmed);

    {
        TStreamReader choices(plugin->GetPluginInitData(QStringLiteral("Action")));
        EXPECT_EQ(choices.ReadInt32(), 2);
        EXPECT_EQ(U8(choices.ReadAnsiString()), "AppendText");
        EXPECT_EQ(U8(choices.ReadUtf8String()), "Append the line and the footer");
        EXPECT_EQ(choices.ReadByte(), 1);
        EXPECT_EQ(U8(choices.ReadAnsiString()), "AddSuffix");
        EXPECT_EQ(U8(choices.ReadUtf8String()), "Add the suffix to the file name");
        EXPECT_EQ(choices.ReadByte(), 0);
        EXPECT_TRUE(choices.AtEnd());
    }
    {
        TStreamReader boxes(plugin->GetPluginInitData(QStringLiteral("Texts")));
        EXPECT_EQ(boxes.ReadInt32(), 2);
        EXPECT_EQ(U8(boxes.ReadAnsiString()), "Line");
        EXPECT_EQ(U8(boxes.ReadUtf8String()), "Line to append");
        EXPECT_EQ(U8(boxes.ReadUtf8String()), "Processed by Plovane");
        EXPECT_EQ(U8(boxes.ReadAnsiString()), "Suffix");
        EXPECT_EQ(U8(boxes.ReadUtf8String()), "Suffix");
        EXPECT_EQ(U8(boxes.ReadUtf8String()), ".done");
        EXPECT_TRUE(boxes.AtEnd());
    }
    {
        TStreamReader columns(plugin->GetPluginInitData(QStringLiteral("Extensions")));
        EXPECT_EQ(columns.ReadInt32(), 2);
        EXPECT_EQ(U8(columns.ReadAnsiString()), "Extension");
        EXPECT_EQ(U8(columns.ReadUtf8String()), "Extension");
        EXPECT_EQ(U8(columns.ReadAnsiString()), "80+");
        EXPECT_EQ(columns.ReadInt32(), 1);
        EXPECT_EQ(U8(columns.ReadAnsiString()), "Enabled");
        EXPECT_EQ(U8(columns.ReadUtf8String()), "Enabled");
        EXPECT_EQ(U8(columns.ReadAnsiString()), "60");
        EXPECT_EQ(columns.ReadInt32(), 3 | 4096);
        EXPECT_EQ(columns.ReadInt32(), 4);
        const std::tuple<int, int, const char*> cells[] = {
            {0, 0, ".txt"}, {1, 0, "True"}, {0, 1, ".log"}, {1, 1, "False"}};
        for (const auto& [column, row, value] : cells) {
            EXPECT_EQ(columns.ReadInt32(), column);
            EXPECT_EQ(columns.ReadInt32(), row);
            EXPECT_EQ(U8(columns.ReadUtf8String()), value);
        }
        EXPECT_TRUE(columns.AtEnd());
    }
    {
        // The default document is read by the host from the library's own folder.
        TStreamReader document(plugin->GetPluginInitData(QStringLiteral("Footer")));
        EXPECT_EQ(U8(document.ReadUtf8String()), U8(KExampleFooter));
        EXPECT_EQ(document.ReadInt32(), 0);
        EXPECT_TRUE(document.AtEnd());
    }
}

// ---- The example plugin in a batch ------------------------------------------------------------

TEST_F(ExamplePluginBatchTest, DeclarationDefaultsAppendTheLineAndFooterToEnabledExtensions) {
    // As the batch engine does for a combination whose pages were never opened.
    for (const auto& property : FPlugin->FProperties)
        FPlugin->SetPluginWorkData(
            property->FPropName,
            CreatePluginBatchDataStream(*FPlugin, property->FPropName, QByteArray()));
    FPlugin->SP_SetupWorkStartDone();

    struct TCase {
        QString Name;
        bool Appended;
    };
    const TCase cases[] = {
        {QStringLiteral("a.txt"), true},
        {QStringLiteral("SHOUT.TXT"), true},  // extensions compare ignoring case
        {QStringLiteral("\u00fcber \u00e9t\u00e9.txt"),
         true},                            // the name goes into the footer as UTF-8
        {QStringLiteral("b.log"), false},  // its row is disabled
        {QStringLiteral("c.md"), false},
        {QStringLiteral("txt"), false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(U8(c.Name));
        const QString path = FTemp.WriteFile(QStringLiteral("work/") + c.Name, "first line\n");
        EXPECT_EQ(U8(WorkPath(path)), U8(path));
        const QString expected =
            QStringLiteral("first line\n") + (c.Appended ? ExampleAppended(c.Name) : QString());
        EXPECT_EQ(U8(QString::fromUtf8(ReadWholeFile(path))), U8(expected));
    }
    // A directory is left alone.
    const QString folder = FTemp.MakeFolder(QStringLiteral("work/folder.txt"));
    EXPECT_EQ(U8(WorkPath(folder)), U8(folder));
    EXPECT_TRUE(FSink.Reports().empty());
}

TEST_F(ExamplePluginBatchTest, DeliveredValuesRenameMatchingFilesAndReportNameClashes) {
    DeliverRenameValues();
    FTemp.WriteFile(QStringLiteral("work/clash.md.bak"), "older");

    struct TCase {
        QString Name;
        QString NewName;  // equal to Name: the file keeps its name
    };
    const TCase cases[] = {
        {QStringLiteral("notes.md"), QStringLiteral("notes.md.bak")},
        {QStringLiteral("Gr\u00f6\u00dfe.MD"), QStringLiteral("Gr\u00f6\u00dfe.MD.bak")},
        {QStringLiteral("keep.txt"), QStringLiteral("keep.txt")},  // its row is disabled
        {QStringLiteral("clash.md"), QStringLiteral("clash.md")},  // the new name is taken
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(U8(c.Name));
        const QString path = FTemp.WriteFile(QStringLiteral("work/") + c.Name, c.Name.toUtf8());
        const QString renamed = FWork + c.NewName;
        EXPECT_EQ(U8(WorkPath(path)), U8(renamed));
        EXPECT_EQ(QFileInfo::exists(path), c.Name == c.NewName);
        EXPECT_EQ(ReadWholeFile(renamed), c.Name.toUtf8());
    }
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/clash.md.bak")), QByteArray("older"));
    const auto reports = FSink.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(U8(reports[0].first),
              "A file with the new name already exists; the file keeps its name.");
    EXPECT_EQ(U8(reports[0].second), "Remove or rename the other file, or choose another suffix.");
}

TEST_F(ExamplePluginBatchTest, SystemErrorsAreReportedThroughTheAnsiCallback) {
    for (const auto& property : FPlugin->FProperties)
        FPlugin->SetPluginWorkData(
            property->FPropName,
            CreatePluginBatchDataStream(*FPlugin, property->FPropName, QByteArray()));
    FPlugin->SP_SetupWorkStartDone();
    // A folder whose name has a worked extension, given without the trailing separator.
    const QString folder = FTemp.MakeFolder(QStringLiteral("work/looks-like.txt"));
    const QString path = folder.chopped(1);
    EXPECT_EQ(U8(WorkPath(path)), U8(path));
    const auto reports = FSink.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(U8(reports[0].first), "Could not append to the file: Is a directory");
    EXPECT_EQ(U8(reports[0].second), "Check that the file exists and may be written.");
}

TEST_F(ExamplePluginBatchTest, AFooterThatCannotBeReadLeavesEveryFileAloneWithAReport) {
    // The host still calls the plugin when it could not create the value file.
    FPlugin->NP_SetPropFileValue(QStringLiteral("Footer"),
                                 FTemp.Path(QStringLiteral("temp/prop1.val")));
    FPlugin->SP_SetupWorkStartDone();
    const QString path = FTemp.WriteFile(QStringLiteral("work/a.txt"), "first line\n");
    EXPECT_EQ(U8(WorkPath(path)), U8(path));
    EXPECT_EQ(ReadWholeFile(path), QByteArray("first line\n"));
    const auto reports = FSink.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(U8(reports[0].first), "The footer document could not be read at batch start.");
    EXPECT_EQ(U8(reports[0].second), "Nothing was done to the file; run the batch again.");
}

TEST_F(ExamplePluginBatchTest, ErrorsOfHostFunctionsSurfaceAfterTheLibraryReturns) {
    DeliverRenameValues();
    FTemp.WriteFile(QStringLiteral("work/clash.md.bak"), "older");
    const QString clash = FTemp.WriteFile(QStringLiteral("work/clash.md"), "mine");

    // The batch refuses the report: the library still finishes its call, then the host raises.
    FSink.FRefuse = true;
    TWorkPathOutput out(clash);
    EXPECT_EQ(U8(ErrorOf([&] { FPlugin->NP_WorkPath(clash, out); })),
              "no worker is registered for this thread");
    EXPECT_EQ(U8(out.OutputPath()), U8(clash));
    EXPECT_EQ(FSink.Reports().size(), 1u);

    // Outside a batch the work callbacks are unassigned.
    FHost->SetBatchWorkCallbacks(nullptr);
    EXPECT_EQ(U8(ErrorOf([&] { WorkPath(clash); })),
              U8(Unassigned(QStringLiteral("Plugin (external)"),
                            QStringLiteral("ExeHandleWorkPathErrorMsgW"),
                            QStringLiteral("application"))));

    // A kept error does not linger into the next call.
    const QString fine = FTemp.WriteFile(QStringLiteral("work/fine.md"), "x");
    EXPECT_EQ(
        U8(ErrorOf([&] { EXPECT_EQ(U8(WorkPath(fine)), U8(fine + QStringLiteral(".bak"))); })),
        "<no error>");
}

TEST_F(ExamplePluginBatchTest, WorkPathRunsOnSeveralThreadsAtOnce) {
    for (const auto& property : FPlugin->FProperties)
        FPlugin->SetPluginWorkData(
            property->FPropName,
            CreatePluginBatchDataStream(*FPlugin, property->FPropName, QByteArray()));
    FPlugin->SP_SetupWorkStartDone();

    constexpr int KThreads = 6;
    constexpr int KFilesPerThread = 20;
    std::vector<QStringList> files(KThreads);
    for (int t = 0; t < KThreads; ++t)
        for (int f = 0; f < KFilesPerThread; ++f)
            files[static_cast<std::size_t>(t)]
                << FTemp.WriteFile(QStringLiteral("work/t%1-f%2.txt").arg(t).arg(f), "start\n");

    std::vector<QStringList> outputs(KThreads);
    std::vector<std::thread> workers;
    for (int t = 0; t < KThreads; ++t)
        workers.emplace_back([&, t] {
            for (const QString& path : files[static_cast<std::size_t>(t)]) {
                TWorkPathOutput out(path);
                FPlugin->NP_WorkPath(path, out);
                outputs[static_cast<std::size_t>(t)] << out.OutputPath();
            }
        });
    for (std::thread& worker : workers)
        worker.join();

    for (int t = 0; t < KThreads; ++t) {
        const auto index = static_cast<std::size_t>(t);
        EXPECT_EQ(outputs[index], files[index]);
        for (const QString& path : files[index])
            EXPECT_EQ(U8(QString::fromUtf8(ReadWholeFile(path))),
                      U8(QStringLiteral("start\n") + ExampleAppended(QFileInfo(path).fileName())));
    }
    EXPECT_TRUE(FSink.Reports().empty());
}

// ---- Validation -------------------------------------------------------------------------------

TEST_F(ExternalPluginsTest, ExampleValidatesValuesThroughTheGivenHandlers) {
    InstallExample();
    Discover();
    TPluginStoredLibInfo* plugin =
        FHost->FindByStrID(QStringLiteral("org.plovane.example.AppendLine"));
    ASSERT_NE(plugin, nullptr);

    struct TBoxCase {
        const char* Box;
        QString Value;
        const char* Error;  // null: no report
    };
    const TBoxCase boxCases[] = {
        {"Line", QStringLiteral("some text"), nullptr},
        {"Line", QString(), "The value must not be empty."},
        {"Suffix", QString(), "The value must not be empty."},
        {"Suffix", QStringLiteral(".old"), nullptr},
        {"Suffix", QStringLiteral("/elsewhere"), "The suffix must not contain \"/\"."},
    };
    for (const TBoxCase& c : boxCases) {
        SCOPED_TRACE(std::string(c.Box) + " = " + U8(c.Value));
        QStringList reports;
        plugin->NP_VerifyPropTextBoxValue(
            QStringLiteral("Texts"), QString::fromLatin1(c.Box), c.Value,
            [&](const QString& ABox, const QString& AError, const QString& AAdvice) {
                reports << ABox << AError;
                EXPECT_FALSE(AAdvice.isEmpty());
            });
        if (c.Error == nullptr)
            EXPECT_TRUE(reports.isEmpty());
        else
            EXPECT_EQ(reports,
                      (QStringList{QString::fromLatin1(c.Box), QString::fromUtf8(c.Error)}));
    }

    struct TRowCase {
        QStringList Cells;
        int BadColumn;  // -1: no report
    };
    const TRowCase rowCases[] = {
        {{QStringLiteral(".txt"), QStringLiteral("True")}, -1},
        {{QStringLiteral("txt"), QStringLiteral("True")}, 0},
        {{QStringLiteral("."), QStringLiteral("False")}, 0},
        {{QStringLiteral(".a/b"), QString()}, 0},
    };
    for (const TRowCase& c : rowCases) {
        SCOPED_TRACE(U8(c.Cells.join(QLatin1Char('|'))));
        std::vector<int> reported;
        const QString grid = QStringLiteral("Extensions");
        plugin->NP_PrepareVerifyGridRow(grid);
        for (const QString& cell : c.Cells)
            plugin->NP_AddVerifyPropGridValue(grid, cell);
        plugin->NP_EndVerifyGridRow(
            grid, [&](std::int32_t AColumn, const QString& AError, const QString&) {
                reported.push_back(AColumn);
                EXPECT_EQ(U8(AError), "An extension starts with a dot, for example \".txt\".");
            });
        EXPECT_EQ(reported, c.BadColumn < 0 ? std::vector<int>{} : std::vector<int>{c.BadColumn});
    }

    struct TFileCase {
        QString Document;
        int CharPos;  // -1: no report
    };
    const TFileCase fileCases[] = {
        {QStringLiteral("-- {name} done\r\n"), -1},
        {QStringLiteral("\u00e4 {nam} x"), 2},
        {QStringLiteral("{name}{name"), 6},
        {QString(), -1},
    };
    for (const TFileCase& c : fileCases) {
        SCOPED_TRACE(U8(c.Document));
        // The editor hands the document as UTF-16LE without a mark.
        const QString file = FTemp.WriteFile(
            QStringLiteral("temp/temp1.tmp"),
            QByteArray(reinterpret_cast<const char*>(c.Document.utf16()), c.Document.size() * 2));
        std::vector<int> reported;
        plugin->NP_VerifyPropFileValue(
            QStringLiteral("Footer"), file,
            [&](std::int32_t APos, const QString& AError, const QString&) {
                reported.push_back(APos);
                EXPECT_EQ(U8(AError), "Unknown placeholder.");
            });
        EXPECT_EQ(reported, c.CharPos < 0 ? std::vector<int>{} : std::vector<int>{c.CharPos});
    }
}

TEST_F(ExternalPluginsTest, AnErrorOfTheValidationHandlerSurfacesAfterTheCall) {
    InstallExample();
    Discover();
    TPluginStoredLibInfo* plugin =
        FHost->FindByStrID(QStringLiteral("org.plovane.example.AppendLine"));
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(U8(ErrorOf([&] {
                  plugin->NP_VerifyPropTextBoxValue(
                      QStringLiteral("Texts"), QStringLiteral("Line"), QString(),
                      [](const QString&, const QString&, const QString&) {
                          throw EqvOperationNotPossible(QStringLiteral("the page is gone"));
                      });
              })),
              "the page is gone");
}

// ---- Test libraries ---------------------------------------------------------------------------

TEST_F(ExternalPluginsTest, LibraryWithoutSetupEditIsOfferedButSelectingItFails) {
    const QString library =
        Install(Built(TEST_PLUGIN_NO_EDIT_PATH), QStringLiteral("noedit/no_edit.so"));
    Discover();

    TPluginStoredLibInfo* plugin = ByPath(library);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(FHost->OfferedPluginNames(), QStringList{QStringLiteral("External/noedit")});
    TStreamReader boxes(plugin->GetPluginInitData(QStringLiteral("Note")));
    EXPECT_EQ(boxes.ReadInt32(), 1);
    EXPECT_EQ(U8(boxes.ReadAnsiString()), "Text");

    ASSERT_TRUE(plugin->IsLoaded());
    EXPECT_EQ(U8(ErrorOf([&] { plugin->SP_SetupEdit(); })),
              U8(Unassigned(QStringLiteral("Application"), QStringLiteral("PluginSetupEdit"),
                            QStringLiteral("plugin: \"") + library + QLatin1Char('"'))));
    // Kept in memory: loaded once for init and pre-edit.
    EXPECT_EQ(Events(), (QStringList{QStringLiteral("load ") + library, QStringLiteral("init"),
                                     QStringLiteral("preedit")}));
}

TEST_F(ExternalPluginsTest, LibrariesFailingTheirInitStepAreDroppedAndLoggedWhileTheRestLoad) {
    const QString example = InstallExample();
    struct TCase {
        QString Relative;
        QString Built;  // empty: a file that only carries the name
        QString ErrorClass;
        std::function<QString(const QString&)> Error;
    };
    const std::vector<TCase> cases = {
        {QStringLiteral("noinit/no_init.so"), Built(TEST_PLUGIN_NO_INIT_PATH),
         QStringLiteral("EqvMissingRequiredHandler"),
         [](const QString& APath) {
             return Unassigned(QStringLiteral("Application"), QStringLiteral("PluginSetupInit"),
                               QStringLiteral("plugin: \"") + APath + QLatin1Char('"'));
         }},
        // The first failing host call is the one reported.
        {QStringLiteral("initfails/init_fails.so"), Built(TEST_PLUGIN_INIT_FAILS_PATH),
         QStringLiteral("EqvParamWrong"),
         [](const QString& APath) {
             return QStringLiteral("Property: \"Plain\" found, but the type did not match: \"") +
                    APath + QStringLiteral("\". \r\nCould not \"ExeSetPropMetasGrid\"");
         }},
        {QStringLiteral("noinfo/no_info.so"), Built(TEST_PLUGIN_NO_INFO_PATH),
         QStringLiteral("EqvReturnValueNotAssignedError"),
         [](const QString&) { return QStringLiteral("PluginReturnInfo"); }},
        {QStringLiteral("not_a_library.so"), QString(), QStringLiteral("EqvOperationNotPossible"),
         [](const QString& APath) {
             return QStringLiteral("The plugin could not be loaded: \"") + APath +
                    QStringLiteral("\". ");
         }},
    };
    QStringList paths;
    for (const TCase& c : cases) {
        if (c.Built.isEmpty())
            paths << FTemp.WriteFile(QStringLiteral("modules/External/") + c.Relative,
                                     "not a library\n");
        else
            paths << Install(c.Built, c.Relative);
    }
    Discover();

    ASSERT_EQ(FHost->PluginList().size(), 1u);
    EXPECT_EQ(U8(FHost->PluginList()[0]->FPluginPathName), U8(example));
    EXPECT_EQ(FHost->OfferedPluginNames(), QStringList{QStringLiteral("External/example")});
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(U8(paths[static_cast<qsizetype>(i)]));
        const QString path = paths[static_cast<qsizetype>(i)];
        const QString entry = FailureEntryFor(path);
        ASSERT_FALSE(entry.isEmpty());
        EXPECT_TRUE(entry.contains(QStringLiteral("Exception Class Name: ") + cases[i].ErrorClass +
                                   QStringLiteral("\r\n")))
            << U8(entry);
        EXPECT_TRUE(entry.contains(QStringLiteral("Exception Message: ") + cases[i].Error(path)))
            << U8(entry);
    }

    // The failing libraries ran to their end, and none stays loaded after being dropped.
    const QStringList events = Events();
    EXPECT_TRUE(events.contains(QStringLiteral("init went on after the failed call")));
    EXPECT_TRUE(events.contains(QStringLiteral("init returns")));
    EXPECT_FALSE(events.contains(QStringLiteral("init"))) << "no_info must not be initialised";
    for (qsizetype i = 0; i < 3; ++i) {
        EXPECT_EQ(events.count(QStringLiteral("load ") + paths[i]), 1) << U8(paths[i]);
        EXPECT_EQ(events.count(QStringLiteral("unload ") + paths[i]), 1) << U8(paths[i]);
    }
    EXPECT_FALSE(events.contains(QStringLiteral("preedit")));
}

TEST_F(ExternalPluginsTest, OnlyTheFirstLibraryTheListingReturnsInASubFolderIsTaken) {
    const QString alpha = Install(Built(TEST_PLUGIN_NO_EDIT_PATH), QStringLiteral("pair/alpha.so"));
    const QString beta = Install(Built(TEST_PLUGIN_NO_EDIT_PATH), QStringLiteral("pair/beta.so"));
    // The folder listing's own order, read independently of the host.
    QString first;
    for (const auto& entry : std::filesystem::directory_iterator(
             QFile::encodeName(FExternal + QStringLiteral("pair")).toStdString())) {
        first = QFile::decodeName(QByteArray::fromStdString(entry.path().string()));
        break;
    }
    const QString second = first == alpha ? beta : alpha;
    Discover();

    ASSERT_EQ(FHost->PluginList().size(), 1u);
    EXPECT_EQ(U8(FHost->PluginList()[0]->FPluginPathName), U8(first));
    EXPECT_EQ(FHost->OfferedPluginNames(), QStringList{QStringLiteral("External/pair")});
    const QStringList events = Events();
    EXPECT_TRUE(events.contains(QStringLiteral("load ") + first));
    EXPECT_FALSE(events.contains(QStringLiteral("load ") + second))
        << "the other library was loaded";
}

TEST_F(ExternalPluginsTest, LibraryNamesAndExtensions) {
    struct TCase {
        QString Relative;
        bool Found;
        QString ShownName;
        QString Offered;
    };
    const TCase cases[] = {
        // Directly in a scanned folder the extension must be ".so" exactly.
        {QStringLiteral("LOUD.SO"), false, {}, {}},
        {QStringLiteral("Mixed.So"), false, {}, {}},
        // Inside its own sub-folder any case of "*.so" is found.
        {QStringLiteral("Caps/LOUD.SO"), true, QStringLiteral("LOUD"),
         QStringLiteral("External/Caps")},
        // The shown name ends at the last dot.
        {QStringLiteral("multi.dot.name.so"), true, QStringLiteral("multi.dot.name"),
         QStringLiteral("External")},
        // A sub-folder without a library is searched further.
        {QStringLiteral("Vendor/tools/lib.v2.so"), true, QStringLiteral("lib.v2"),
         QStringLiteral("External/Vendor/tools")},
        {QStringLiteral("Docs/readme.so.txt"), false, {}, {}},
    };
    for (const TCase& c : cases)
        Install(Built(TEST_PLUGIN_NO_EDIT_PATH), c.Relative);
    Discover();

    const QStringList events = Events();
    const QStringList offered = FHost->OfferedPluginNames();
    int found = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(U8(c.Relative));
        const QString path = FExternal + c.Relative;
        TPluginStoredLibInfo* plugin = ByPath(path);
        EXPECT_EQ(events.contains(QStringLiteral("load ") + path), c.Found);
        EXPECT_TRUE(FailureEntryFor(path).isEmpty());
        if (!c.Found) {
            EXPECT_EQ(plugin, nullptr);
            continue;
        }
        ++found;
        ASSERT_NE(plugin, nullptr);
        EXPECT_EQ(U8(plugin->FPluginShownName), U8(c.ShownName));
        EXPECT_TRUE(offered.contains(c.Offered)) << U8(offered.join(QLatin1Char(',')));
    }
    EXPECT_EQ(FHost->PluginList().size(), static_cast<std::size_t>(found));
}

TEST_F(ExternalPluginsTest, DynamicLibraryIsReleasedBetweenUsesAndLosesItsState) {
    const QString library =
        Install(Built(TEST_PLUGIN_DYNAMIC_STATE_PATH), QStringLiteral("dyn/dynamic_state.so"));
    Discover();
    TPluginStoredLibInfo* plugin = ByPath(library);
    ASSERT_NE(plugin, nullptr);
    EXPECT_FALSE(plugin->IsLoaded());

    // Selecting a combination of it loads it for the editor.
    plugin->LoadPlugin();
    ASSERT_TRUE(plugin->IsLoaded());
    // Its edit call uses a work callback outside a batch; the refusal arrives after the call.
    EXPECT_EQ(
        U8(ErrorOf([&] { plugin->SP_SetupEdit(); })),
        U8(Unassigned(QStringLiteral("Plugin (external)"),
                      QStringLiteral("ExeRequestAddPathToBatch"), QStringLiteral("application"))));
    plugin->UnloadPlugin();
    EXPECT_FALSE(plugin->IsLoaded());

    const QString load = QStringLiteral("load ") + library;
    const QString unload = QStringLiteral("unload ") + library;
    EXPECT_EQ(Events(), (QStringList{load, QStringLiteral("init state=42"), unload, load,
                                     QStringLiteral("preedit state=0"), unload, load,
                                     QStringLiteral("edit state=0"), QStringLiteral("edit returns"),
                                     unload}));
}

// ---- The C++ example ----------------------------------------------------------------------------

TEST_F(ExternalPluginsTest, CppExampleReplacesWordsInTheBatchesItIsLoadedFor) {
    const QString library = Install(Built(EXAMPLE_PLUGIN_CPP_PATH),
                                    QStringLiteral("replace_words/example_plugin_cpp.so"));
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "colour, colour\n");
    FTemp.WriteFile(QStringLiteral("in/sub/b.MD"), "colour\n");
    FTemp.WriteFile(QStringLiteral("in/c.log"), "colour\n");
    Discover();
    TPluginStoredLibInfo* plugin =
        FHost->FindByStrID(QStringLiteral("org.plovane.example.ReplaceWords"));
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin, ByPath(library));
    EXPECT_EQ(U8(plugin->FPluginInfoHost.PluginName), "ReplaceWords");
    ASSERT_EQ(plugin->FProperties.size(), 2u);
    // Loaded as needed: released after discovery, loaded for each batch.
    EXPECT_FALSE(plugin->IsLoaded());

    struct TCase {
        const char* Name;
        std::vector<std::pair<QString, QByteArray>> Stored;
        const char* A;  // the files' content afterwards
        const char* B;
        const char* C;
    };
    const TCase cases[] = {
        // The declared defaults: every "colour" in .txt and .md files; the value-list cell
        // arrives in its declared form.
        {"never opened", {}, "color, color\n", "color\n", "colour\n"},
        {"stored values",
         {{QStringLiteral("Files"),
           StoredBoxes({{QStringLiteral("Extensions"), QStringLiteral(".txt, .log")}})},
          {QStringLiteral("Words"),
           StoredGrid({QStringLiteral("Find"), QStringLiteral("Replace"), QStringLiteral("Times")},
                      {{0, 0, QStringLiteral("colour")},
                       {1, 0, QStringLiteral("hue")},
                       {2, 0, QStringLiteral("first")},
                       {0, 1, QStringLiteral(", ")},
                       {1, 1, QStringLiteral("\r\n")},
                       {2, 1, QStringLiteral("all")}})}},
         "hue\r\ncolour\n",
         "colour\n",
         "hue\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TTestBatchResult result = RunBatch({{QStringLiteral("*.*"), plugin, c.Stored}});
        EXPECT_TRUE(result.Failure.isEmpty()) << U8(result.Failure);
        EXPECT_TRUE(result.Entries.isEmpty()) << U8(result.Entries.join(u'|'));
        EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/a.txt")), QByteArray(c.A));
        EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/sub/b.MD")), QByteArray(c.B));
        EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/c.log")), QByteArray(c.C));
        EXPECT_FALSE(plugin->IsLoaded());
    }
}

TEST_F(ExternalPluginsTest, CppExampleValidatesItsValues) {
    Install(Built(EXAMPLE_PLUGIN_CPP_PATH), QStringLiteral("replace_words/example_plugin_cpp.so"));
    Discover();
    TPluginStoredLibInfo* plugin =
        FHost->FindByStrID(QStringLiteral("org.plovane.example.ReplaceWords"));
    ASSERT_NE(plugin, nullptr);
    const TPluginLoadHold loaded(*plugin);  // as the editor has it while selected
    EXPECT_NO_THROW(plugin->SP_SetupEdit());

    const std::pair<QString, bool> boxes[] = {
        {QStringLiteral(".txt,.md"), true},
        {QStringLiteral(" .txt , .md "), true},
        {QStringLiteral("txt"), false},
        {QStringLiteral(".txt,."), false},
        {QString(), false},
    };
    for (const auto& [value, good] : boxes) {
        SCOPED_TRACE(U8(value));
        QStringList reported;
        plugin->NP_VerifyPropTextBoxValue(QStringLiteral("Files"), QStringLiteral("Extensions"),
                                          value,
                                          [&](const QString& ABox, const QString& AError,
                                              const QString&) { reported << ABox << AError; });
        EXPECT_EQ(reported.isEmpty(), good) << U8(reported.join(u'|'));
    }

    const std::pair<QStringList, bool> rows[] = {
        {{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("all")}, true},
        {{QString(), QStringLiteral("b"), QStringLiteral("all")}, false},
    };
    for (const auto& [cells, good] : rows) {
        SCOPED_TRACE(U8(cells.join(u'|')));
        std::vector<int> reported;
        plugin->NP_PrepareVerifyGridRow(QStringLiteral("Words"));
        for (const QString& cell : cells)
            plugin->NP_AddVerifyPropGridValue(QStringLiteral("Words"), cell);
        plugin->NP_EndVerifyGridRow(QStringLiteral("Words"),
                                    [&](std::int32_t AColumn, const QString&, const QString&) {
                                        reported.push_back(AColumn);
                                    });
        EXPECT_EQ(reported, good ? std::vector<int>{} : std::vector<int>{0});
    }
}

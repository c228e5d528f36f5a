// The desktop program as its start-up builds it: the main window made in the module's steps,
// a project named on the command line run through the window's Start command, "-hide" keeping
// the window unseen and its questions on the terminal.
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>

#include "app/folder_walk.h"
#include "app/module_shared.h"
#include "plugin_host/plugin_host.h"
#include "project/headless_run.h"
#include "tests/support/qstring_print.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folders.h"
#include "ui/desktop_program.h"
#include "ui/main_window/form_front.h"

namespace {

class DesktopProgramTest : public ::testing::Test {
protected:
    DesktopProgramTest()
        : FDataHome("XDG_DATA_HOME", FTemp.MakeFolder(QStringLiteral("xdg")).toUtf8()) {
        FProgram = FTemp.MakeFolder(QStringLiteral("prog"));
        FDocuments = FTemp.MakeFolder(QStringLiteral("home/Documents"));
        FRoot = FDocuments + QStringLiteral("Kestrin/Plovane 3/");
        for (const char* folder : {"modules", "trans", "data"})
            CopyTreeMissing(
                QStringLiteral(PLOVANE_SOURCE_DIR "/resources/") + QString::fromLatin1(folder),
                FProgram + QString::fromLatin1(folder), TCopyTreeMode::AlwaysOverwrite);
        // The demo works below the data folder, outside the temp folders of the human safe mode.
        FTemp.WriteFile(QStringLiteral("home/Documents/Kestrin/Plovane 3/config/options.ini"),
                        "[ProgramOptions.Security]\r\nHumanSafeMode=0\r\n");
    }
    QString DemoProject() const { return FRoot + QStringLiteral("data/demos/website/website.plv"); }
    QString DemoOutput() const { return FRoot + QStringLiteral("data/demos/website/output/"); }

    // Starts the module with the program's hooks, as main() does, and runs the after-start
    // steps.
    void Start(bool AHidden, const QStringList& AArguments) {
        FDesktop = std::make_unique<TDesktopProgram>(AHidden);
        TModuleEnvironment env;
        env.ProgramFolder = FProgram;
        env.DocumentsFolder = FDocuments;
        env.Arguments = AArguments;
        env.TerminateApplication = [this] { ++FTerminations; };
        FDesktop->Attach(env);
        FModule = std::make_unique<TModuleShared>(std::move(env));
        FModule->AfterStartup();
    }

    ~DesktopProgramTest() override {
        if (FDesktop)
            FDesktop->Close();
        FModule.reset();
    }

    TTempFolder FTemp;
    TScopedEnv FDataHome;
    QString FProgram;
    QString FDocuments;
    QString FRoot;
    std::unique_ptr<TDesktopProgram> FDesktop;
    std::unique_ptr<TModuleShared> FModule;
    int FTerminations = 0;
};

TEST_F(DesktopProgramTest, HiddenRunOfANamedProjectGoesThroughTheWindowUnseenAndEnds) {
    ASSERT_TRUE(QDir().mkpath(DemoOutput()));
    Start(true, {QStringLiteral(":") + DemoProject(), QStringLiteral("-hide")});
    ASSERT_NE(FDesktop->Window(), nullptr);
    TFormFront& window = *FDesktop->Window();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.Project().CurrentFilePath(), DemoProject());
    ASSERT_TRUE(window.LastBatchResult().has_value());
    EXPECT_EQ(window.LastBatchResult()->StatusText, QStringLiteral("Done"));
    EXPECT_TRUE(QFileInfo::exists(DemoOutput() + QStringLiteral("index.htm")));
    EXPECT_EQ(FDesktop->BatchExitCode(), KExitDone);
    EXPECT_EQ(FTerminations, 1);
}

TEST_F(DesktopProgramTest, HiddenRunWithInvalidSettingsAnswersOnTheTerminalAndFails) {
    // The work folder is missing: the question whether to create it is answered "no" on the
    // terminal, where a dialog of a window nobody sees would wait for ever.
    Start(true, {QStringLiteral(":") + DemoProject(), QStringLiteral("-hide")});
    ASSERT_NE(FDesktop->Window(), nullptr);
    EXPECT_FALSE(FDesktop->Window()->LastBatchResult().has_value());
    EXPECT_FALSE(QFileInfo::exists(DemoOutput()));
    EXPECT_EQ(FDesktop->BatchExitCode(), KExitProjectInvalid);
    EXPECT_EQ(FTerminations, 1);
}

TEST_F(DesktopProgramTest, WithoutSwitchesTheWindowShowsAndStays) {
    Start(false, {});
    ASSERT_NE(FDesktop->Window(), nullptr);
    EXPECT_TRUE(FDesktop->Window()->isVisible());
    EXPECT_FALSE(FDesktop->Window()->LastBatchResult().has_value());
    EXPECT_GT(FDesktop->Host()->PluginList().size(), 0u);
    EXPECT_EQ(FTerminations, 0);
}

}  // namespace

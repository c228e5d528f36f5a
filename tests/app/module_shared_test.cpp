#include "app/module_shared.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUuid>

#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "base/ini_document.h"
#include "platform/single_instance.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_folders.h"

namespace {

class ModuleSharedTest : public ::testing::Test {
protected:
    TModuleEnvironment Environment(const QStringList& AArguments = {}) {
        TModuleEnvironment env;
        env.ProgramFolder = FTemp.MakeFolder(QStringLiteral("prog"));
        env.DocumentsFolder = FTemp.MakeFolder(QStringLiteral("home/Documents"));
        env.Arguments = AArguments;
        env.Prompts = &FPrompts;
        env.Clock = [] { return QDateTime(QDate(2026, 12, 9), QTime(12, 0)); };
        env.RunProjectBatch = [this](TModuleShared&, const QString& APath) { FRan << APath; };
        env.TerminateApplication = [this] { ++FTerminated; };
        return env;
    }
    QString DataRoot() const {
        return FTemp.Path(QStringLiteral("home/Documents/Kestrin/Plovane 3/"));
    }

    TTempFolder FTemp;
    TScriptedPrompts FPrompts;
    QStringList FRan;
    int FTerminated = 0;
};

}  // namespace

TEST_F(ModuleSharedTest, StartLaysOutFoldersAndShutdownSavesOptions) {
    {
        TModuleShared module(Environment());
        EXPECT_EQ(TModuleShared::Instance(), &module);
        EXPECT_FALSE(module.FIsInsideCreateInitFinit);
        for (const QString& folder :
             {module.Folders().TempInputFolder, module.Folders().TempWorkFolder,
              module.Folders().BatchLogsFolder, module.Folders().ReuseGridFolder,
              module.Folders().ReuseFileFolder, module.Folders().MiscLogsFolder})
            EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
        EXPECT_EQ(module.FLogging.FLogFileName,
                  DataRoot() + QStringLiteral("logs/misc/program.log"));

        QString path = DataRoot() + QStringLiteral("data/x/");
        CollapsePathPlaceholders(path);
        EXPECT_EQ(path, QStringLiteral("?($AppDirData)?x/"));
        ExpandPathPlaceholders(path);
        EXPECT_EQ(path, DataRoot() + QStringLiteral("data/x/"));
        module.FProgramOptions->FBatchLogCount = 7;
    }
    EXPECT_EQ(TModuleShared::Instance(), nullptr);
    const QString options = DataRoot() + QStringLiteral("config/options.ini");
    EXPECT_EQ(TIniDocument::FromFile(options).ReadInteger(QStringLiteral("ProgramOptions.Logging"),
                                                          QStringLiteral("BatchLogCount"), 0),
              7);
    EXPECT_EQ(ReadWholeFile(DataRoot() + QStringLiteral("config/options.~ini")),
              ReadWholeFile(options));

    // The next start reads what was saved.
    TModuleShared again(Environment());
    EXPECT_EQ(again.FProgramOptions->FBatchLogCount, 7);
}

TEST_F(ModuleSharedTest, OnlyOneModuleAtATime) {
    TModuleShared module(Environment());
    EXPECT_THROW(TModuleShared second(Environment()), EqvOperationNotPossible);
    EXPECT_EQ(TModuleShared::Instance(), &module);
}

TEST_F(ModuleSharedTest, AfterStartupFollowsTheCommandLine) {
    const QString project = FTemp.WriteFile(QStringLiteral("p/demo.plv"), "x");
    struct TCase {
        const char* Name;
        QStringList Args;
        QStringList Ran;
        int Terminated;
    };
    const std::vector<TCase> cases = {
        {"nothing", {}, {}, 0},
        {"exit alone", {QStringLiteral("-exit")}, {}, 1},
        {"project and hide", {QLatin1Char(':') + project, QStringLiteral("-hide")}, {project}, 1},
        {"project only", {QLatin1Char(':') + project}, {project}, 0},
        {"missing project and exit",
         {QStringLiteral(":/nowhere/x.plv"), QStringLiteral("-exit")},
         {},
         1},
    };
    for (const TCase& c : cases) {
        FRan.clear();
        FTerminated = 0;
        TModuleShared module(Environment(c.Args));
        module.AfterStartup();
        EXPECT_EQ(FRan, c.Ran) << c.Name;
        EXPECT_EQ(FTerminated, c.Terminated) << c.Name;
    }
}

TEST_F(ModuleSharedTest, BatchHookErrorIsLoggedAndExitStillHonoured) {
    const QString project = FTemp.WriteFile(QStringLiteral("p/demo.plv"), "x");
    TModuleEnvironment env = Environment({QLatin1Char(':') + project, QStringLiteral("-exit")});
    env.RunProjectBatch = [](TModuleShared&, const QString&) {
        throw EqvOperationNotPossible(QStringLiteral("cannot load"));
    };
    TModuleShared module(std::move(env));
    module.AfterStartup();
    EXPECT_EQ(FTerminated, 1);
    EXPECT_TRUE(
        ReadWholeFile(module.FLogging.FLogFileName).contains("Exception Message: cannot load"));
}

TEST_F(ModuleSharedTest, SecondInstanceHandsOverAndSavesNothing) {
    static int argc = 1;
    static char name[] = "module_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        new QCoreApplication(argc, argv);
    const QString socket =
        QStringLiteral("plovane-test-") + QUuid::createUuid().toString(QUuid::Id128);

    TModuleEnvironment firstEnv = Environment();
    firstEnv.CheckSingleInstance = true;
    firstEnv.SingleInstanceSocket = socket;
    std::unique_ptr<TModuleShared> first = std::make_unique<TModuleShared>(std::move(firstEnv));
    EXPECT_FALSE(first->IsSecondInstance());
    first->FProgramOptions->FBatchLogCount = 3;
    first.reset();  // saves 3, ends the first instance

    // A listener on the same socket stands for a running first instance.
    TModuleEnvironment primaryEnv = Environment();
    primaryEnv.CheckSingleInstance = true;
    primaryEnv.SingleInstanceSocket = socket;
    TSingleInstance running(QStringLiteral("x"), socket);
    ASSERT_TRUE(running.TryBecomePrimary());
    bool windowCreated = false;
    primaryEnv.CreateMainWindow = [&](TModuleShared&) { windowCreated = true; };
    {
        TModuleShared second(std::move(primaryEnv));
        EXPECT_TRUE(second.IsSecondInstance());
        EXPECT_FALSE(windowCreated);
        second.FProgramOptions->FBatchLogCount = 99;
    }
    EXPECT_EQ(TIniDocument::FromFile(DataRoot() + QStringLiteral("config/options.ini"))
                  .ReadInteger(QStringLiteral("ProgramOptions.Logging"),
                               QStringLiteral("BatchLogCount"), 0),
              3);
}

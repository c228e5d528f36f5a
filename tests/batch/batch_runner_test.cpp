#include "batch/batch_runner.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "app/module_shared.h"
#include "batch/batch_log.h"
#include "platform/native_path.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugin_host/plugin_internal.h"
#include "tests/support/qstring_print.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_folders.h"

namespace {

// Gives project-stop advice for paths whose name contains "stop".
class TAdvisingPlugin : public TPluginInternal {
public:
    TAdvisingPlugin() {
        FInfo.StrID = QStringLiteral("zq_test_Advising");
        FInfo.PluginName = QStringLiteral("Advising");
        FInfo.PluginLoadingScheme = plsRequireKeepInMemory;
    }
    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginWorkPath(const QString& AIn, TWorkPathOutput& AOut) override {
        if (AIn.contains(QStringLiteral("stop")))
            AOut.Props.AdviseProjectBatchStop = 1;
    }

private:
    TPluginInfoHost FInfo;
};

// Holds its work call until the test opens the gate (a minute at most: a failure, not a hang).
struct TGate {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Open = false;
};
TGate GGate;

class TGatedPlugin : public TPluginInternal {
public:
    TGatedPlugin() {
        FInfo.StrID = QStringLiteral("zq_test_Gated");
        FInfo.PluginName = QStringLiteral("Gated");
        FInfo.PluginLoadingScheme = plsRequireKeepInMemory;
    }
    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginWorkPath(const QString&, TWorkPathOutput&) override {
        std::unique_lock lock(GGate.Lock);
        GGate.Changed.wait_for(lock, std::chrono::minutes(1), [] { return GGate.Open; });
    }

private:
    TPluginInfoHost FInfo;
};

class BatchRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        FDataHome.emplace("XDG_DATA_HOME", FTemp.MakeFolder(QStringLiteral("xdg")).toUtf8());
        TModuleEnvironment env;
        env.ProgramFolder = FTemp.MakeFolder(QStringLiteral("prog"));
        env.DocumentsFolder = FTemp.MakeFolder(QStringLiteral("home/Documents"));
        env.Prompts = &FPrompts;
        FModule = std::make_unique<TModuleShared>(std::move(env));
        FRegistry.AddOwn<TAdvisingPlugin>(QStringLiteral("Advising"));
        FRegistry.AddOwn<TGatedPlugin>(QStringLiteral("Gated"));
        FHost = std::make_unique<TPluginHost>(
            FRegistry, TPluginHostSetup{FModule->Folders().ModulesFolder,
                                        FModule->Folders().TempFolder, &FModule->FLogging});
        FHost->Discover();
        FRunner = std::make_unique<TBatchRunner>(*FModule, *FHost);
    }
    void TearDown() override {
        FRunner.reset();
        FHost.reset();
        FModule.reset();
        FDataHome.reset();
    }
    TBatchRunRequest Request() {
        TBatchRunRequest request;
        request.Settings.InputDirPath = FModule->Folders().TempInputFolder;
        request.Settings.WorkDirPath = FModule->Folders().TempWorkFolder;
        request.Settings.MaxWorkerThreads = 1;
        TBatchCombination combination;
        combination.Filter = QStringLiteral("*.txt");
        combination.Props.LibInfo_Ref = FHost->FindByStrID(QStringLiteral("zq_test_Advising"));
        request.Combinations.push_back(combination);
        request.ProjectFilePath = FTemp.Path(QStringLiteral("MySite.plv"));
        return request;
    }
    QString Input(const QString& ARelative) const {
        return FModule->Folders().TempInputFolder + ARelative;
    }
    void WriteInput(const QString& ARelative) {
        QDir().mkpath(QFileInfo(Input(ARelative)).absolutePath());
        QFile file(Input(ARelative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }

    TTempFolder FTemp;
    std::optional<TScopedEnv> FDataHome;
    TScriptedPrompts FPrompts;
    std::unique_ptr<TModuleShared> FModule;
    TCollectionInternalPluginTypes FRegistry;
    std::unique_ptr<TPluginHost> FHost;
    std::unique_ptr<TBatchRunner> FRunner;
};

}  // namespace

TEST_F(BatchRunnerTest, ABatchLogsItsStartAndEndAndEndsDone) {
    WriteInput(QStringLiteral("a.txt"));
    WriteInput(QStringLiteral("b.txt"));
    const TBatchRunResult result = FRunner->RunBatch(Request());
    EXPECT_EQ(result.StatusText, QStringLiteral("Done"));
    EXPECT_FALSE(result.Interrupted);
    EXPECT_EQ(result.PathsToDo, 2);
    EXPECT_EQ(result.ItemsDone, 2);
    EXPECT_TRUE(QFileInfo(result.LogPath).fileName().endsWith(QStringLiteral("_MySite.log")));
    const QString log = QString::fromUtf8(ReadWholeFile(result.LogPath));
    EXPECT_TRUE(log.contains(QStringLiteral("Message: \r\n  Batch started.\r\n\r\n\r\n")));
    EXPECT_TRUE(
        log.contains(QStringLiteral("Message: \r\n  Batch ended.\r\n  Batch time used was ")));
    EXPECT_TRUE(log.contains(
        QStringLiteral("  Batch Paths to do (estimated): 2.\r\n  Batch items done: 2.\r\n")));
    EXPECT_FALSE(log.contains(QStringLiteral("Batch was")));
    const TBatchStatusSet status = FRunner->Status();
    EXPECT_TRUE(status.Has(bsDoneSuccess));
    EXPECT_FALSE(status.Has(bsWrapperActive));
    EXPECT_FALSE(status.Has(bsCoreActive));
    EXPECT_TRUE(status.Has(bsIsFirstProjectBatchFrameUpdate));
    EXPECT_EQ(FModule->FBatchEngine, nullptr);
}

TEST_F(BatchRunnerTest, PluginAdviceEndsAsInterruptedByPlugin) {
    WriteInput(QStringLiteral("stop.txt"));
    const TBatchRunResult result = FRunner->RunBatch(Request());
    EXPECT_EQ(result.StatusText, QStringLiteral("Interrupted by plugin"));
    EXPECT_TRUE(result.PluginInterrupted);
    const QString log = QString::fromUtf8(ReadWholeFile(result.LogPath));
    EXPECT_TRUE(
        log.contains(QStringLiteral("  Batch ended.\r\n  Batch was interrupted by plugin.\r\n")));
    EXPECT_TRUE(FRunner->Status().Has(bsAdviseStopProject));
    EXPECT_TRUE(FRunner->Status().Has(bsWasInterrupted));
}

TEST_F(BatchRunnerTest, StopEndsAsInterruptedByUser) {
    for (int i = 0; i < 5; ++i)
        WriteInput(QStringLiteral("f%1.txt").arg(i));
    TBatchRunObserver observer;
    // Stop as soon as the batch reports anything.
    observer.OnProgress = [this](int, int, bool) { FRunner->InterruptBatch(); };
    const TBatchRunResult result = FRunner->RunBatch(Request(), observer);
    EXPECT_EQ(result.StatusText, QStringLiteral("Interrupted by user"));
    EXPECT_TRUE(result.UserInterrupted);
    EXPECT_LT(result.ItemsDone, 5);
    EXPECT_TRUE(QString::fromUtf8(ReadWholeFile(result.LogPath))
                    .contains(QStringLiteral("  Batch was interrupted by user.\r\n")));
}

TEST_F(BatchRunnerTest, SettingsValidation) {
    FModule->FProgramOptions->FHumanSafeMode = false;
    const QString data = FTemp.MakeFolder(QStringLiteral("data"));

    // A missing input folder is created when the user agrees.
    TProjectGeneralSettings settings;
    settings.InputDirPath = FTemp.Path(QStringLiteral("new-in"));
    settings.WorkDirPath = FTemp.MakeFolder(QStringLiteral("w"));
    FPrompts.Answers = {true};
    EXPECT_TRUE(FRunner->ValFrameProgramSetupGeneral(settings));
    EXPECT_TRUE(QFileInfo(FTemp.Path(QStringLiteral("new-in"))).isDir());
    EXPECT_EQ(settings.InputDirPath, FTemp.Path(QStringLiteral("new-in/")));
    EXPECT_EQ(FPrompts.Asked.value(0),
              QStringLiteral("Input Directory has to exist - create it now?"));

    // Declined: no folder, no batch.
    settings.InputDirPath = FTemp.Path(QStringLiteral("other-in/"));
    FPrompts.Answers = {false};
    EXPECT_FALSE(FRunner->ValFrameProgramSetupGeneral(settings));
    EXPECT_FALSE(QFileInfo::exists(FTemp.Path(QStringLiteral("other-in"))));

    // One folder inside the other.
    settings.InputDirPath = data;
    settings.WorkDirPath = FTemp.MakeFolder(QStringLiteral("data/work"));
    EXPECT_FALSE(FRunner->ValFrameProgramSetupGeneral(settings));
    EXPECT_EQ(FPrompts.Shown.value(0),
              QStringLiteral("You can not specify \"Input Directory\" path as being a part of "
                             "\"Work Directory\" path!"));

    // Human safe mode puts the work folder back into the temp work folder.
    FModule->FProgramOptions->FHumanSafeMode = true;
    settings.InputDirPath = FModule->Folders().TempInputFolder + QStringLiteral("site");
    QDir().mkpath(settings.InputDirPath);
    settings.WorkDirPath = data;
    EXPECT_FALSE(FRunner->ValFrameProgramSetupGeneral(settings));
    EXPECT_EQ(settings.WorkDirPath, FModule->Folders().TempWorkFolder);
    EXPECT_EQ(FPrompts.Shown.value(1),
              QStringLiteral("When \"Human safe mode\" is enabled in options the \"Work "
                             "Directory\" has to be within "
                             "directory \"") +
                  FModule->Folders().TempWorkFolder +
                  QStringLiteral("\"\r\nIt has now been set to that directory."));
    EXPECT_TRUE(FRunner->ValFrameProgramSetupGeneral(settings));
}

TEST_F(BatchRunnerTest, FoldersAreCheckedInTheirRealForm) {
    FModule->FProgramOptions->FHumanSafeMode = false;
    const QString base = QDir(FTemp.Path()).canonicalPath() + QLatin1Char('/');
    FTemp.MakeFolder(QStringLiteral("data/work"));
    FTemp.MakeFolder(QStringLiteral("elsewhere"));
    ASSERT_EQ(::symlink(QFile::encodeName(base + QStringLiteral("data/work")).constData(),
                        QFile::encodeName(base + QStringLiteral("work-link")).constData()),
              0);
    ASSERT_EQ(::symlink(QFile::encodeName(base + QStringLiteral("data")).constData(),
                        QFile::encodeName(base + QStringLiteral("data-link")).constData()),
              0);
    const QString nested = QStringLiteral(
        "You can not specify \"Input Directory\" path as being a part of \"Work Directory\" path!");
    const QString nestedOther = QStringLiteral(
        "You can not specify \"Work Directory\" path as being a part of \"Input Directory\" path!");
    struct TCase {
        QString Input;
        QString Work;
        QString Shown;  // empty: accepted
    };
    const TCase cases[] = {
        // The work folder inside the input folder, however it is written.
        {base + QStringLiteral("data"), base + QStringLiteral("work-link"), nested},
        {base + QStringLiteral("data-link/"), base + QStringLiteral("data/work"), nested},
        {base + QStringLiteral("data/work/.."), base + QStringLiteral("elsewhere/../data/work"),
         nested},
        {base + QStringLiteral("data/work"), base + QStringLiteral("./data//"), nestedOther},
        {base + QStringLiteral("data/./"), base + QStringLiteral("data-link"), nested},
        // Apart, only written oddly: accepted, and from now on in their real form.
        {base + QStringLiteral("data//work/./"), base + QStringLiteral("elsewhere/"), QString()},
    };
    for (const TCase& c : cases) {
        const std::string name = c.Input.toStdString() + " / " + c.Work.toStdString();
        TProjectGeneralSettings settings;
        settings.InputDirPath = c.Input;
        settings.WorkDirPath = c.Work;
        FPrompts.Shown.clear();
        EXPECT_EQ(FRunner->ValFrameProgramSetupGeneral(settings), c.Shown.isEmpty()) << name;
        EXPECT_EQ(FPrompts.Shown.value(0), c.Shown) << name;
        if (c.Shown.isEmpty()) {
            EXPECT_EQ(settings.InputDirPath, base + QStringLiteral("data/work/")) << name;
            EXPECT_EQ(settings.WorkDirPath, base + QStringLiteral("elsewhere/")) << name;
        }
    }
}

TEST_F(BatchRunnerTest, HumanSafeModeCannotBeLeftThroughDotsOrLinks) {
    FModule->FProgramOptions->FHumanSafeMode = true;
    const QString input = FModule->Folders().TempInputFolder;
    const QString work = FModule->Folders().TempWorkFolder;
    const QString outside = FTemp.MakeFolder(QStringLiteral("outside"));
    ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(),
                        QFile::encodeName(input + QStringLiteral("link")).constData()),
              0);
    struct TCase {
        QString Input;
        QString Work;
        bool Accepted;
    };
    const TCase cases[] = {
        {input + QStringLiteral("../../../outside"), work, false},
        {input + QStringLiteral("link"), work, false},
        {input, work + QStringLiteral("../input/"), false},
        {input + QStringLiteral("./site//"), work + QStringLiteral("out/../"), true},
    };
    QDir().mkpath(input + QStringLiteral("site"));
    for (const TCase& c : cases) {
        const std::string name = c.Input.toStdString() + " / " + c.Work.toStdString();
        TProjectGeneralSettings settings;
        settings.InputDirPath = c.Input;
        settings.WorkDirPath = c.Work;
        FPrompts.Answers = {true, true};
        FPrompts.Shown.clear();
        EXPECT_EQ(FRunner->ValFrameProgramSetupGeneral(settings), c.Accepted) << name;
        if (!c.Accepted) {
            EXPECT_TRUE(FPrompts.Shown.value(0).startsWith(
                QStringLiteral("When \"Human safe mode\" is enabled")))
                << name;
        }
    }
}

TEST_F(BatchRunnerTest, AFailingBatchLeavesTheWrapperAsItWas) {
    WriteInput(QStringLiteral("a.txt"));
    const QString logs = FModule->Folders().BatchLogsFolder;
    struct TCase {
        const char* Name;
        std::function<void()> Break;
        std::function<void()> Mend;
        std::function<TBatchRunObserver()> Observer;
    };
    std::mutex lock;
    std::condition_variable changed;
    bool ticked = false;
    const TCase cases[] = {
        {"the batch log cannot be created",
         [&] {
             QDir(logs).removeRecursively();
             FTemp.WriteFile(QDir(logs).absolutePath().mid(FTemp.Path().size()), "a file");
         },
         [&] {
             QFile::remove(QDir(logs).absolutePath());
             QDir().mkpath(logs);
         },
         [] { return TBatchRunObserver{}; }},
        {"the waiting thread's watcher raises while the engine runs", [] {}, [] {},
         [&] {
             TBatchRunObserver observer;
             observer.TickMs = 1;
             // The engine holds on in its first progress report until the tick has raised.
             observer.OnProgress = [&](int, int, bool) {
                 std::unique_lock guard(lock);
                 changed.wait(guard, [&] { return ticked; });
             };
             observer.OnWaitTick = [&] {
                 {
                     const std::lock_guard guard(lock);
                     ticked = true;
                 }
                 changed.notify_all();
                 throw std::runtime_error("the window is gone");
             };
             return observer;
         }},
    };
    for (const TCase& c : cases) {
        const TBatchStatusSet before = FRunner->Status();
        c.Break();
        const TBatchRunObserver observer = c.Observer();
        EXPECT_ANY_THROW(FRunner->RunBatch(Request(), observer)) << c.Name;
        EXPECT_TRUE(FRunner->Status() == before) << c.Name;
        EXPECT_EQ(FModule->FBatchEngine, nullptr) << c.Name;
        EXPECT_EQ(FModule->FBatchLogCS, nullptr) << c.Name;
        EXPECT_EQ(TBatchEngine::Instance(), nullptr) << c.Name;
        c.Mend();
        // The next batch starts and ends as usual.
        const TBatchRunResult result = FRunner->RunBatch(Request());
        EXPECT_EQ(result.StatusText, QStringLiteral("Done")) << c.Name;
        EXPECT_FALSE(result.Failed) << c.Name;
    }
}

TEST_F(BatchRunnerTest, ARaisingProgressWatcherEndsTheBatchWithAnError) {
    WriteInput(QStringLiteral("a.txt"));
    WriteInput(QStringLiteral("b.txt"));
    // Raised on the engine thread (after the count) and on the pool threads (after each path).
    for (const int raiseAt : {0, 1}) {
        int reports = 0;
        TBatchRunObserver observer;
        observer.OnProgress = [&](int, int APosition, bool) {
            ++reports;
            if (APosition >= raiseAt && reports > raiseAt)
                throw std::runtime_error("progress bar broke");
        };
        const TBatchRunResult result = FRunner->RunBatch(Request(), observer);
        EXPECT_TRUE(result.Failed) << raiseAt;
        EXPECT_EQ(result.FailureText, QStringLiteral("progress bar broke")) << raiseAt;
        EXPECT_FALSE(FRunner->Status().Has(bsWrapperActive));
        EXPECT_EQ(FModule->FBatchEngine, nullptr);
    }
}

// An error that ends a batch half-way (here a filter mask that cannot be matched, met in the
// second combination) is in the batch log with its text, the end entry says the batch ended
// early, and the count of items done is the exact one.
TEST_F(BatchRunnerTest, AnErrorThatEndsTheBatchIsInItsLogAndTheCountsAreExact) {
    WriteInput(QStringLiteral("a.txt"));
    WriteInput(QStringLiteral("b.txt"));
    TBatchRunRequest request = Request();
    request.Combinations.push_back(request.Combinations.front());
    request.Combinations.back().Filter = QStringLiteral("*.[tx");
    const TBatchRunResult result = FRunner->RunBatch(request);
    ASSERT_TRUE(result.Failed);
    EXPECT_TRUE(result.FailureText.contains(QStringLiteral("invalid mask")))
        << result.FailureText.toStdString();
    EXPECT_EQ(result.ItemsDone, 2);
    const QString log = QString::fromUtf8(ReadWholeFile(result.LogPath));
    EXPECT_TRUE(log.contains(QStringLiteral("Message: \r\n  An error ended the batch early: ") +
                             result.FailureText + QStringLiteral("\r\n\r\n\r\n")))
        << log.toStdString();
    EXPECT_TRUE(
        log.contains(QStringLiteral("  Batch ended.\r\n  Batch ended early because of an "
                                    "error.\r\n  Batch time used was ")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("  Batch items done: 2.\r\n"))) << log.toStdString();
}

// A filter that cannot be matched is found by the check before the batch: nothing is emptied,
// copied or run.
TEST_F(BatchRunnerTest, FiltersThatCannotBeMatchedAreRefusedBeforeTheBatch) {
    const struct {
        const char* Filter;
        bool Accepted;
    } cases[] = {{"*.txt", true}, {":", true},      {"/", true},
                 {"/sub", true},  {"*.[tx", false}, {"a[!b", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Filter);
        FPrompts.Shown.clear();
        TBatchRunRequest request = Request();
        request.Combinations.push_back(request.Combinations.front());
        request.Combinations.back().Filter = QString::fromLatin1(c.Filter);
        EXPECT_EQ(FRunner->ValCombinationFilters(request.Combinations), c.Accepted);
        if (c.Accepted) {
            EXPECT_TRUE(FPrompts.Shown.isEmpty());
        } else {
            ASSERT_EQ(FPrompts.Shown.size(), 1);
            EXPECT_TRUE(FPrompts.Shown[0].startsWith(QStringLiteral("The filter \"") +
                                                     QString::fromLatin1(c.Filter) +
                                                     QStringLiteral("\" of the project modules "
                                                                    "cannot be used: ")))
                << FPrompts.Shown[0].toStdString();
            EXPECT_TRUE(FPrompts.Shown[0].contains(QStringLiteral("invalid mask")));
        }
    }
}

// A plugin call running past the limit gets one batch log line naming the plugin, the entry
// point and the path; it goes on and is no problem of the batch. The call is held until the
// line is in the log.
TEST_F(BatchRunnerTest, APluginCallRunningPastTheLimitGetsOneLogLine) {
    WriteInput(QStringLiteral("slow.txt"));
    TBatchRunRequest request = Request();
    TPluginStoredLibInfo* plugin = FHost->FindByStrID(QStringLiteral("zq_test_Gated"));
    ASSERT_NE(plugin, nullptr);
    request.Combinations.front().Props.LibInfo_Ref = plugin;
    FRunner->SetPluginCallWarnAfter(std::chrono::milliseconds(20));
    const QString line = QStringLiteral("  Plugin \"") + plugin->FPluginPathName +
                         QStringLiteral(
                             "\" has been working on one call for more than 0.02 "
                             "seconds and goes on (not counted as a problem): entry "
                             "point \"PluginWorkPath\", path \"") +
                         FModule->Folders().TempWorkFolder + QStringLiteral("slow.txt\".\r\n");
    {
        const std::lock_guard lock(GGate.Lock);
        GGate.Open = false;
    }
    TBatchRunObserver observer;
    observer.TickMs = 5;
    // The waiting thread looks into the log at each of its ticks and opens the gate once the
    // line is there.
    observer.OnWaitTick = [&] {
        const QString log = QString::fromUtf8(ReadWholeFile(FModule->FBatchLogFileName));
        if (!log.contains(line))
            return;
        {
            const std::lock_guard lock(GGate.Lock);
            GGate.Open = true;
        }
        GGate.Changed.notify_all();
    };
    const TBatchRunResult result = FRunner->RunBatch(request, observer);
    EXPECT_TRUE(GGate.Open) << "the line never came";
    EXPECT_EQ(result.StatusText, QStringLiteral("Done"));
    EXPECT_EQ(result.Problems.Total(), 0);
    EXPECT_EQ(result.ItemsDone, 1);
    const QString log = QString::fromUtf8(ReadWholeFile(result.LogPath));
    EXPECT_EQ(log.count(line), 1) << log.toStdString();
}

// "Paths to do" is the number of paths that match at least one combination; the work progress
// counts every combination's calls and never passes its end.
TEST_F(BatchRunnerTest, PathsToDoCountPathsWhileTheWorkProgressCountsEveryCombination) {
    for (int i = 0; i < 4; ++i)
        WriteInput(QStringLiteral("f%1.txt").arg(i));
    WriteInput(QStringLiteral("other.htm"));
    TBatchRunRequest request = Request();
    request.Combinations.push_back(request.Combinations.front());
    request.Combinations.push_back(request.Combinations.front());
    request.Combinations.back().Filter = QStringLiteral("*.*");
    std::mutex lock;
    int pathsSeen = 0;
    int workSeen = 0;
    bool overshot = false;
    TBatchRunObserver observer;
    observer.OnProgress = [&](int AMax, int, bool) {
        const std::lock_guard guard(lock);
        pathsSeen = std::max(pathsSeen, AMax);
    };
    observer.OnWorkProgress = [&](int AWork, int ADone) {
        const std::lock_guard guard(lock);
        overshot = overshot || ADone > AWork;
        workSeen = std::max(workSeen, AWork);
    };
    const TBatchRunResult result = FRunner->RunBatch(request, observer);
    EXPECT_FALSE(overshot);
    EXPECT_EQ(pathsSeen, 5);  // four .txt files and one .htm file
    EXPECT_EQ(workSeen, 13);  // four paths three times, one once
    EXPECT_EQ(result.PathsToDo, 5);
    EXPECT_EQ(result.ItemsDone, 13);
    const QString log = QString::fromUtf8(ReadWholeFile(result.LogPath));
    EXPECT_TRUE(log.contains(QStringLiteral("  Batch Paths to do (estimated): 5.\r\n")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("  Batch items done: 13.\r\n"))) << log.toStdString();
}

// The folder a batch writes into (the work folder, or the input folder worked in place) is never
// the root, the home folder, the data root, the program folder or a folder holding one of them,
// however it is written; nothing is asked or made for such a project.
TEST_F(BatchRunnerTest, FoldersThatMustNeverBeWrittenAreRefused) {
    FModule->FProgramOptions->FHumanSafeMode = false;
    const QString home = FTemp.MakeFolder(QStringLiteral("home"));
    const TScopedEnv homeEnv("HOME", home.toUtf8());
    const QString dataRoot = RealFolderPath(FModule->Folders().DataRoot);
    const QString program = RealFolderPath(FModule->Folders().ProgramFolder);
    const QString base = RealFolderPath(FTemp.Path());
    ASSERT_EQ(::symlink(QFile::encodeName(home).constData(),
                        QFile::encodeName(FTemp.Path(QStringLiteral("home-link"))).constData()),
              0);
    const QString input = FTemp.MakeFolder(QStringLiteral("input"));
    struct TCase {
        QString Folder;
        bool InPlace;
        QString Refused;  // the message's start after the caption; empty: accepted
    };
    const auto text = [](const QString& ACaption, const QString& AFolder, const QString& AWhy) {
        return QStringLiteral("The ") + ACaption + QStringLiteral(" \"") + AFolder +
               QStringLiteral("\" can not be used: ") + AWhy +
               QStringLiteral(" A batch writes into this folder and may empty it.");
    };
    const QString work = QStringLiteral("Work Directory");
    const TCase cases[] = {
        {QStringLiteral("/"), false,
         text(work, QStringLiteral("/"), QStringLiteral("it is the root of the file system."))},
        {QStringLiteral("/tmp/.."), false,
         text(work, QStringLiteral("/"), QStringLiteral("it is the root of the file system."))},
        {FTemp.Path(QStringLiteral("home-link")), false,
         text(work, RealFolderPath(home),
              QStringLiteral("it is or holds the home folder \"") + RealFolderPath(home) +
                  QStringLiteral("\"."))},
        {base, false,
         text(work, base,
              QStringLiteral("it is or holds the home folder \"") + RealFolderPath(home) +
                  QStringLiteral("\"."))},
        {dataRoot, false,
         text(work, dataRoot,
              QStringLiteral("it is or holds the program's data folder \"") + dataRoot +
                  QStringLiteral("\" (options, projects, logs)."))},
        {program, true,
         text(QStringLiteral("Input Directory"), program,
              QStringLiteral("it is or holds the program folder \"") + program +
                  QStringLiteral("\"."))},
        // Inside them is fine.
        {home + QStringLiteral("site/work"), false, QString()},
        {FModule->Folders().TempWorkFolder, false, QString()},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Folder.toStdString());
        TProjectGeneralSettings settings;
        settings.InputDirPath = c.InPlace ? c.Folder : input;
        settings.WorkDirPath = c.InPlace ? QString() : c.Folder;
        settings.InputDirIsWorkDir = c.InPlace;
        FPrompts.Shown.clear();
        FPrompts.Asked.clear();
        FPrompts.Answers = {true};
        EXPECT_EQ(FRunner->ValFrameProgramSetupGeneral(settings), c.Refused.isEmpty());
        EXPECT_EQ(FPrompts.Shown.value(0), c.Refused);
        if (!c.Refused.isEmpty()) {
            EXPECT_TRUE(FPrompts.Asked.isEmpty());
        }
    }
    EXPECT_TRUE(QFileInfo(home + QStringLiteral("site/work")).isDir());
}

// Nesting is judged by whole path components: "/data/" and "/backup/data/" are apart.
TEST_F(BatchRunnerTest, NestingIsJudgedByWholePathComponents) {
    FModule->FProgramOptions->FHumanSafeMode = false;
    const QString data = FTemp.MakeFolder(QStringLiteral("data"));
    const QString backup = FTemp.MakeFolder(QStringLiteral("backup") + data);
    const QString dataLonger = FTemp.MakeFolder(QStringLiteral("data2"));
    struct TCase {
        QString Input;
        QString Work;
        bool Accepted;
    };
    const TCase cases[] = {
        {data, backup, true},
        {backup, data, true},
        {data, dataLonger, true},
        {dataLonger, data, true},
        {data, data + QStringLiteral("w"), false},
        {data, data, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Input.toStdString() + " / " + c.Work.toStdString());
        TProjectGeneralSettings settings;
        settings.InputDirPath = c.Input;
        settings.WorkDirPath = c.Work;
        FPrompts.Answers = {true};
        EXPECT_EQ(FRunner->ValFrameProgramSetupGeneral(settings), c.Accepted);
    }
}

// Human safe mode is checked before a missing folder is offered to be made: nothing is made
// outside the safe area.
TEST_F(BatchRunnerTest, HumanSafeModeComesBeforeTheOfferToMakeAFolder) {
    FModule->FProgramOptions->FHumanSafeMode = true;
    const QString outside = FTemp.Path(QStringLiteral("outside/new-work"));
    TProjectGeneralSettings settings;
    settings.InputDirPath = FModule->Folders().TempInputFolder;
    settings.WorkDirPath = outside;
    FPrompts.Answers = {true, true};
    EXPECT_FALSE(FRunner->ValFrameProgramSetupGeneral(settings));
    EXPECT_TRUE(FPrompts.Asked.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(FTemp.Path(QStringLiteral("outside"))));
    EXPECT_EQ(settings.WorkDirPath, FModule->Folders().TempWorkFolder);
}

TEST(BatchRunnerTexts, TimeUsed) {
    const std::vector<std::pair<qint64, QString>> cases = {
        {0, QString()},
        {1, QStringLiteral("1 millisecond")},
        {2, QStringLiteral("2 milliseconds")},
        {61001, QStringLiteral("1 minute 1 second 1 millisecond")},
        {3600000, QStringLiteral("1 hour")},
        {2LL * 86400000 + 5000, QStringLiteral("2 days 5 seconds")},
        {366LL * 86400000, QStringLiteral("1 day")},
    };
    for (const auto& [ms, text] : cases)
        EXPECT_EQ(TBatchRunner::TimeUsedText(ms), text) << ms;
}

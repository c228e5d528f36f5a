#include "batch/batch_engine.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "app/program_log.h"
#include "base/exceptions.h"
#include "batch/batch_work_path.h"
#include "batch/worker_registry.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugin_host/plugin_internal.h"
#include "tests/support/child_process.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folders.h"

namespace {

using TWork =
    std::function<void(const QString& AIn, TWorkPathOutput& AOut, IExeWorkCallbacks& AWork)>;

// A plugin whose work is given by the test; it records the paths it gets, thread-safely.
class TTestPlugin : public TPluginInternal {
public:
    struct TShared {
        std::mutex Lock;
        QStringList Paths;
        QStringList Calls;
        TWork Work;
    };
    TTestPlugin(TShared& AShared, const QString& AName) : FShared(AShared) {
        FInfo.StrID = QStringLiteral("zq_test_") + AName;
        FInfo.PluginName = AName;
        FInfo.PluginLoadingScheme = plsRequireKeepInMemory;
    }
    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupWorkStart(const TExeInfoHost&, const QString& ARoot,
                              IExeWorkCallbacks& AWork) override {
        FWork = &AWork;
        const std::lock_guard lock(FShared.Lock);
        FShared.Calls << QStringLiteral("start ") + ARoot;
    }
    void PluginSetupWorkEnd(const TExeInfoHost&) override {
        const std::lock_guard lock(FShared.Lock);
        FShared.Calls << QStringLiteral("end");
    }
    void PluginWorkPath(const QString& AIn, TWorkPathOutput& AOut) override {
        {
            const std::lock_guard lock(FShared.Lock);
            FShared.Paths << AIn;
        }
        if (FShared.Work)
            FShared.Work(AIn, AOut, *FWork);
    }

private:
    TShared& FShared;
    TPluginInfoHost FInfo;
    IExeWorkCallbacks* FWork = nullptr;
};

class BatchEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        FDataHome.emplace("XDG_DATA_HOME", FTemp.MakeFolder(QStringLiteral("xdg")).toUtf8());
        FInput = FTemp.MakeFolder(QStringLiteral("in"));
        FWorkDir = FTemp.MakeFolder(QStringLiteral("work"));
        FTempDir = FTemp.MakeFolder(QStringLiteral("tmp"));
        FLog.FLogFileName = FTemp.Path(QStringLiteral("program.log"));
        for (const char* name : {"A", "B", "C"}) {
            const QString id = QString::fromLatin1(name);
            FRegistry.AddOwn([this, id] { return std::make_unique<TTestPlugin>(FPlugins[id], id); },
                             id);
        }
        FHost = std::make_unique<TPluginHost>(
            FRegistry,
            TPluginHostSetup{FTemp.MakeFolder(QStringLiteral("modules")), FTempDir, &FLog});
        FHost->Discover();
    }
    void TearDown() override {
        FHost.reset();
        FDataHome.reset();
    }
    TPluginStoredLibInfo* Plugin(const QString& AName) {
        return FHost->FindByStrID(QStringLiteral("zq_test_") + AName);
    }
    TBatchEngineSetup Setup(const std::vector<std::pair<QString, QString>>& ACombinations) {
        TBatchEngineSetup setup;
        setup.Settings.InputDirPath = FInput;
        setup.Settings.WorkDirPath = FWorkDir;
        setup.Settings.OnlyCopyHandledPaths = false;
        setup.Settings.MaxWorkerThreads = 4;
        for (const auto& [filter, plugin] : ACombinations) {
            TBatchCombination combination;
            combination.Filter = filter;
            combination.Props.LibInfo_Ref = Plugin(plugin);
            setup.Combinations.push_back(combination);
        }
        setup.Host = FHost.get();
        setup.TempFolder = FTempDir;
        setup.LogWriter = [this](const QString& AEntry) {
            const std::lock_guard lock(FEntriesLock);
            FEntries << AEntry;
        };
        setup.ProgramLog = &FLog;
        setup.OnProgress = [this](int, int AMax, int APosition, bool ADone) {
            const std::lock_guard lock(FEntriesLock);
            if (ADone)
                FFinal = {AMax, APosition};
        };
        return setup;
    }
    void Run(TBatchEngineSetup ASetup) {
        TBatchEngine engine(std::move(ASetup));
        engine.Resume();
        engine.WaitFor();
        FProblems = engine.ProblemCounts();
        FAdviseProject = engine.PluginAdviseProjectBatchStop();
        FLeftAsItIs = engine.WorkFolderLeftAsItIs();
        FWorkCalls = engine.WorkCallsToDo();
    }
    QString W(const QString& ARelative) const { return FWorkDir + ARelative; }
    QStringList Sorted(QStringList AList) const {
        AList.sort();
        return AList;
    }

    TTempFolder FTemp;
    std::optional<TScopedEnv> FDataHome;
    QString FInput;
    QString FWorkDir;
    QString FTempDir;
    TqvLogging FLog;
    std::map<QString, TTestPlugin::TShared> FPlugins;
    TCollectionInternalPluginTypes FRegistry;
    std::unique_ptr<TPluginHost> FHost;
    std::mutex FEntriesLock;
    QStringList FEntries;
    std::pair<int, int> FFinal{-1, -1};
    TBatchProblemCounts FProblems;
    bool FAdviseProject = false;
    bool FLeftAsItIs = false;
    int FWorkCalls = -1;
};

}  // namespace

TEST_F(BatchEngineTest, CopiesTheInputKeepingTimesAndRunsEachCombination) {
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    FTemp.WriteFile(QStringLiteral("in/sub/b.txt"), "b");
    FTemp.WriteFile(QStringLiteral("in/sub/c.htm"), "c");
    FTemp.WriteFile(QStringLiteral("work/old.txt"), "old");
    const QDateTime past = QDateTime::currentDateTime().addDays(-5);
    {
        QFile file(FInput + QStringLiteral("a.txt"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(past, QFileDevice::FileModificationTime));
    }
    FTemp.WriteFile(QStringLiteral("tmp/prop1.val"), "value");
    Run(Setup({{QStringLiteral("*.txt"), QStringLiteral("A")},
               {QStringLiteral(":"), QStringLiteral("B")}}));

    EXPECT_EQ(Sorted(FPlugins[QStringLiteral("A")].Paths),
              QStringList({W(QStringLiteral("a.txt")), W(QStringLiteral("sub/b.txt"))}));
    EXPECT_EQ(FPlugins[QStringLiteral("B")].Paths, QStringList(FWorkDir));
    EXPECT_EQ(FPlugins[QStringLiteral("A")].Calls,
              QStringList({QStringLiteral("start ") + FWorkDir, QStringLiteral("end")}));
    EXPECT_FALSE(QFileInfo::exists(W(QStringLiteral("old.txt"))));  // emptied to the trash first
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("xdg/Trash/files/old.txt")), QByteArray("old"));
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/sub/c.htm")), QByteArray("c"));
    EXPECT_EQ(QFileInfo(W(QStringLiteral("a.txt"))).lastModified().toSecsSinceEpoch(),
              past.toSecsSinceEpoch());
    EXPECT_FALSE(QFileInfo::exists(FTempDir + QStringLiteral("prop1.val")));
    EXPECT_EQ(FFinal, std::make_pair(3, 3));  // root + two .txt files to do, three done
    EXPECT_EQ(FProblems.Total(), 0);
}

TEST_F(BatchEngineTest, OnlyHandledPathsAreCopiedWithTheirFolders) {
    FTemp.WriteFile(QStringLiteral("in/x/deep/page.htm"), "p");
    FTemp.WriteFile(QStringLiteral("in/x/notes.txt"), "n");
    FTemp.WriteFile(QStringLiteral("in/top.htm"), "t");
    TBatchEngineSetup setup = Setup({{QStringLiteral("*.htm"), QStringLiteral("A")}});
    setup.Settings.OnlyCopyHandledPaths = true;
    Run(std::move(setup));
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/x/deep/page.htm")), QByteArray("p"));
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/top.htm")), QByteArray("t"));
    EXPECT_FALSE(QFileInfo::exists(W(QStringLiteral("x/notes.txt"))));
}

// The work folder is emptied into the trash, every entry (hidden ones, links, names that are not
// UTF-8) with it — unless its top level holds no ordinary file: then it is left as it is, and
// the batch log says so once.
TEST_F(BatchEngineTest, EmptyingTheWorkFolder) {
    struct TCase {
        const char* Name;
        QStringList Files;  // below the work folder, before the batch
        bool Emptied;
    };
    const TCase cases[] = {
        {"files, folders, hidden entries",
         {QStringLiteral("old.txt"), QStringLiteral(".hidden"), QStringLiteral("d/inner.txt")},
         true},
        {"only folders and hidden entries",
         {QStringLiteral("keep/inner.txt"), QStringLiteral(".cache")},
         false},
        {"nothing at all", {}, false},
    };
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QDir(FWorkDir).removeRecursively();
        QDir(FTemp.Path(QStringLiteral("xdg"))).removeRecursively();
        QDir().mkpath(FWorkDir);
        FEntries.clear();
        for (const QString& file : c.Files)
            FTemp.WriteFile(QStringLiteral("work/") + file, "old");
        const QByteArray odd = QFile::encodeName(FWorkDir) + "caf\xe9";
        const QByteArray link = QFile::encodeName(FWorkDir) + "link";
        if (c.Emptied) {
            const int fd = ::open(odd.constData(), O_WRONLY | O_CREAT, 0600);
            ASSERT_GE(fd, 0);
            ::close(fd);
            ASSERT_EQ(::symlink("nowhere", link.constData()), 0);
        }
        Run(Setup({{QStringLiteral("*.txt"), QStringLiteral("A")}}));
        const QString notEmptied = QStringLiteral("  The work directory \"") + FWorkDir +
                                   QStringLiteral(
                                       "\" was not emptied: its top level holds no "
                                       "ordinary file, only folders or hidden entries, "
                                       "and such a work directory is left as it is. What "
                                       "it holds is worked on with the copied "
                                       "input.\r\n");
        EXPECT_EQ(FLeftAsItIs, !c.Emptied && !c.Files.isEmpty());
        EXPECT_EQ(FEntries.count(notEmptied), FLeftAsItIs ? 1 : 0)
            << FEntries.join(u'|').toStdString();
        EXPECT_EQ(FProblems.Total(), 0) << FEntries.join(u'|').toStdString();
        for (const QString& file : c.Files) {
            EXPECT_EQ(QFileInfo::exists(W(file)), !c.Emptied) << file.toStdString();
            EXPECT_EQ(QFileInfo::exists(FTemp.Path(QStringLiteral("xdg/Trash/files/") + file)),
                      c.Emptied)
                << file.toStdString();
        }
        if (c.Emptied) {
            struct stat info {};
            EXPECT_NE(::lstat(odd.constData(), &info), 0);
            EXPECT_NE(::lstat(link.constData(), &info), 0);
            const QByteArray trash = QFile::encodeName(FTemp.Path(QStringLiteral("xdg/Trash/")));
            EXPECT_EQ(::lstat((trash + "files/caf\xe9").constData(), &info), 0);
            EXPECT_EQ(::lstat((trash + "files/link").constData(), &info), 0);
            EXPECT_TRUE(S_ISLNK(info.st_mode));
        }
        // The copy came after the emptying either way.
        EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/a.txt")), QByteArray("a"));
    }
}

// An account without ~/.local/share, run from inside the input folder: the home trash is made
// where it belongs, and nothing lands in the current folder.
TEST_F(BatchEngineTest, AFreshAccountGetsItsHomeTrashAndTheCurrentFolderStaysAsItWas) {
    FDataHome.reset();
    const TScopedEnv noDataHome("XDG_DATA_HOME", QByteArray());
    const QString home = FTemp.MakeFolder(QStringLiteral("fresh-home"));
    const TScopedEnv freshHome("HOME", home.toUtf8());
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    FTemp.WriteFile(QStringLiteral("work/old.txt"), "old");
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(FInput));
    Run(Setup({{QStringLiteral("*.txt"), QStringLiteral("A")}}));
    QDir::setCurrent(previous);
    EXPECT_EQ(QDir(FInput).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList(QStringLiteral("a.txt")));
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("fresh-home/.local/share/Trash/files/old.txt")),
              QByteArray("old"));
    EXPECT_EQ(FProblems.Total(), 0);
}

// On file systems of their own (tmpfs mounts in a child's mount namespace): a work folder that
// is a mount point has no trash outside it, so its content is deleted for good and the log says
// so; a file system mounted inside the work folder is left with its content, and that counts as
// a problem.
TEST_F(BatchEngineTest, EmptyingAcrossFileSystems) {
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    const TChildOutcome outcome = RunInChildProcess([&]() -> QByteArray {
        QString reason = EnterPrivateMountNamespace();
        if (reason.isEmpty())
            reason = MountSmallTmpfs(FWorkDir, 1024 * 1024);
        if (reason.isEmpty()) {
            FTemp.WriteFile(QStringLiteral("work/old.txt"), "old");
            QDir().mkpath(W(QStringLiteral("mnt")));
            reason = MountSmallTmpfs(W(QStringLiteral("mnt")), 1024 * 1024);
        }
        if (!reason.isEmpty())
            return KChildSkipped + reason.toUtf8();
        FTemp.WriteFile(QStringLiteral("work/mnt/kept.txt"), "kept");
        Run(Setup({{QStringLiteral("*.txt"), QStringLiteral("A")}}));
        QStringList found;
        found << QString::number(FProblems.EmptyFailures) << QString::number(FProblems.Total());
        found << QString::number(QFileInfo::exists(W(QStringLiteral("old.txt"))));
        found << QString::fromUtf8(FTemp.ReadFile(QStringLiteral("work/mnt/kept.txt")));
        found << QString::number(QFileInfo::exists(W(QStringLiteral(".Trash-%1").arg(::getuid()))));
        found << QString::number(QFileInfo::exists(FTemp.Path(QStringLiteral("xdg/Trash/files"))));
        found << FEntries.filter(QStringLiteral("work director")).join(QString());
        return found.join(u'|').toUtf8();
    });
    ASSERT_TRUE(outcome.Exited) << outcome.Output.toStdString();
    if (outcome.Output.startsWith(KChildSkipped))
        GTEST_SKIP() << outcome.Output.toStdString();
    const QStringList found = QString::fromUtf8(outcome.Output).split(u'|');
    ASSERT_EQ(found.size(), 7) << outcome.Output.toStdString();
    EXPECT_EQ(found.mid(0, 6),
              QStringList({QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("0"),
                           QStringLiteral("kept"), QStringLiteral("0"), QStringLiteral("0")}));
    const QString trash = QStringLiteral(".Trash-%1").arg(::getuid());
    EXPECT_EQ(found.at(6),
              QStringLiteral("  Could not empty \"") + W(QStringLiteral("mnt")) +
                  QStringLiteral("\" from the work directory: \"") + W(QStringLiteral("mnt")) +
                  QStringLiteral("\" is the top of another file system (a mount point) and is "
                                 "left as it is.\r\n"
                                 "  The work directory's content was deleted permanently (1 "
                                 "entry). No trash can be had: the home trash \"") +
                  FTemp.Path(QStringLiteral("xdg/Trash")) +
                  QStringLiteral("\" is on another file system, and the trash of its file "
                                 "system, \"") +
                  W(trash) + QStringLiteral("\", would lie inside what is deleted.\r\n"));
}

TEST_F(BatchEngineTest, InputFolderAsWorkFolderWorksInPlace) {
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    FTemp.WriteFile(QStringLiteral("work/w.txt"), "w");
    TBatchEngineSetup setup = Setup({{QStringLiteral("*.txt"), QStringLiteral("A")}});
    setup.Settings.InputDirIsWorkDir = true;
    Run(std::move(setup));
    EXPECT_EQ(FPlugins[QStringLiteral("A")].Paths, QStringList(FInput + QStringLiteral("a.txt")));
    EXPECT_EQ(FPlugins[QStringLiteral("A")].Calls.value(0), QStringLiteral("start ") + FInput);
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/w.txt")), QByteArray("w"));  // untouched
}

TEST_F(BatchEngineTest, AtMostTheMaximumRunAtOnceAndLoweringItHoldsNewWorkers) {
    for (int i = 0; i < 20; ++i)
        FTemp.WriteFile(QStringLiteral("in/f%1.txt").arg(i, 2, 10, QLatin1Char('0')), "x");
    std::mutex lock;
    std::condition_variable changed;
    int running = 0;
    int blocked = 0;
    bool gateOpen = false;
    bool lowered = false;
    int maxAfterLowering = 0;
    int maxSeen = 0;
    FPlugins[QStringLiteral("A")].Work = [&](const QString&, TWorkPathOutput&, IExeWorkCallbacks&) {
        std::unique_lock guard(lock);
        ++running;
        maxSeen = std::max(maxSeen, running);
        if (lowered)
            maxAfterLowering = std::max(maxAfterLowering, running);
        if (!gateOpen) {
            ++blocked;
            changed.notify_all();
            changed.wait(guard, [&] { return gateOpen; });
        }
        --running;
    };
    TBatchEngineSetup setup = Setup({{QStringLiteral("*.txt"), QStringLiteral("A")}});
    setup.Settings.MaxWorkerThreads = 8;
    TBatchEngine engine(std::move(setup));
    engine.Resume();
    bool allStarted = false;
    {
        // Bounded, so that an engine that never starts eight fails here instead of hanging.
        std::unique_lock guard(lock);
        allStarted =
            changed.wait_for(guard, std::chrono::seconds(60), [&] { return blocked == 8; });
        engine.SetMaxWorkerThreadsRunning(2);
        lowered = true;
        gateOpen = true;
    }
    changed.notify_all();
    engine.WaitFor();
    EXPECT_TRUE(allStarted);
    EXPECT_EQ(maxSeen, 8);
    EXPECT_LE(maxAfterLowering, 2);
    EXPECT_EQ(FPlugins[QStringLiteral("A")].Paths.size(), 20);
}

TEST_F(BatchEngineTest, RaisingTheMaximumWhileRunningStartsMoreWorkers) {
    for (int i = 0; i < 10; ++i)
        FTemp.WriteFile(QStringLiteral("in/f%1.txt").arg(i), "x");
    std::mutex lock;
    std::condition_variable changed;
    int running = 0;
    int maxSeen = 0;
    bool released = false;
    FPlugins[QStringLiteral("A")].Work = [&](const QString&, TWorkPathOutput&, IExeWorkCallbacks&) {
        std::unique_lock guard(lock);
        ++running;
        maxSeen = std::max(maxSeen, running);
        changed.notify_all();
        // The first workers hold on until three have run at once; the bound (waited once)
        // only keeps a broken engine from hanging the suite: it then fails below.
        if (!released) {
            changed.wait_for(guard, std::chrono::seconds(60),
                             [&] { return maxSeen >= 3 || released; });
            released = true;
            changed.notify_all();
        }
        --running;
    };
    TBatchEngineSetup setup = Setup({{QStringLiteral("*.txt"), QStringLiteral("A")}});
    setup.Settings.MaxWorkerThreads = 1;
    TBatchEngine engine(std::move(setup));
    engine.Resume();
    {
        std::unique_lock guard(lock);
        changed.wait(guard, [&] { return running == 1; });
    }
    engine.SetMaxWorkerThreadsRunning(3);
    engine.WaitFor();
    EXPECT_EQ(maxSeen, 3);
    EXPECT_EQ(FPlugins[QStringLiteral("A")].Paths.size(), 10);
}

TEST_F(BatchEngineTest, AnInvalidFilterEndsTheBatchWithItsError) {
    for (int i = 0; i < 6; ++i)
        FTemp.WriteFile(QStringLiteral("in/f%1.txt").arg(i), "x");
    TBatchEngineSetup setup = Setup({{QStringLiteral("*.txt"), QStringLiteral("A")},
                                     {QStringLiteral("[abc"), QStringLiteral("B")},
                                     {QStringLiteral("*.txt"), QStringLiteral("C")}});
    QStringList errors;
    setup.OnException = [&](const std::exception& AError) {
        const std::lock_guard guard(FEntriesLock);
        errors << QString::fromUtf8(AError.what());
    };
    TBatchEngine engine(std::move(setup));
    engine.Resume();
    engine.WaitFor();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().contains(QStringLiteral("'[abc' is an invalid mask at (1)")))
        << errors.first().toStdString();
    EXPECT_TRUE(engine.Failure() != nullptr);
    EXPECT_EQ(FPlugins[QStringLiteral("A")].Paths.size(), 6);
    EXPECT_TRUE(FPlugins[QStringLiteral("B")].Paths.isEmpty());
    // The error ends the batch: no later combination is started.
    EXPECT_TRUE(FPlugins[QStringLiteral("C")].Calls.isEmpty());
}

TEST_F(BatchEngineTest, AnInvalidFilterStopsTheCopyOfHandledPathsWithItsError) {
    for (int i = 0; i < 30; ++i)
        FTemp.WriteFile(QStringLiteral("in/d%1/f%2.txt").arg(i % 3).arg(i), "x");
    TBatchEngineSetup setup = Setup({{QStringLiteral("[abc"), QStringLiteral("A")}});
    setup.Settings.OnlyCopyHandledPaths = true;
    QStringList errors;
    setup.OnException = [&](const std::exception& AError) {
        errors << QString::fromUtf8(AError.what());
    };
    Run(std::move(setup));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().contains(QStringLiteral("'[abc' is an invalid mask at (1)")));
    EXPECT_TRUE(FPlugins[QStringLiteral("A")].Calls.isEmpty());
}

TEST_F(BatchEngineTest, MaximumOneRunsStrictlyOneAfterAnother) {
    for (int i = 0; i < 10; ++i)
        FTemp.WriteFile(QStringLiteral("in/f%1.txt").arg(i), "x");
    std::atomic<int> running{0};
    std::atomic<int> maxSeen{0};
    FPlugins[QStringLiteral("A")].Work = [&](const QString&, TWorkPathOutput&, IExeWorkCallbacks&) {
        const int now = ++running;
        int seen = maxSeen.load();
        while (now > seen && !maxSeen.compare_exchange_weak(seen, now)) {
        }
        --running;
    };
    TBatchEngineSetup setup = Setup({{QStringLiteral("*.txt"), QStringLiteral("A")}});
    setup.Settings.MaxWorkerThreads = 1;
    Run(std::move(setup));
    EXPECT_EQ(maxSeen.load(), 1);
    EXPECT_EQ(FPlugins[QStringLiteral("A")].Paths.size(), 10);
}

TEST_F(BatchEngineTest, RenamedAndDeletedDirectoriesCarryToLaterEntries) {
    FTemp.WriteFile(QStringLiteral("in/sub/a.txt"), "a");
    FTemp.WriteFile(QStringLiteral("in/sub/inner/b.txt"), "b");
    FTemp.WriteFile(QStringLiteral("in/gone/c.txt"), "c");
    FTemp.WriteFile(QStringLiteral("in/top.txt"), "t");
    FPlugins[QStringLiteral("A")].Work = [this](const QString& AIn, TWorkPathOutput& AOut,
                                                IExeWorkCallbacks&) {
        if (AIn == W(QStringLiteral("sub/"))) {
            QDir().rename(W(QStringLiteral("sub")), W(QStringLiteral("Sub2")));
            AOut.SetOutputPath(
                W(QStringLiteral("Sub2")));  // without the separator: the engine adds it
        } else if (AIn == W(QStringLiteral("gone/"))) {
            QDir(W(QStringLiteral("gone"))).removeRecursively();
            AOut.ClearOutputPath();
        }
    };
    TBatchEngineSetup setup = Setup({{QStringLiteral("/"), QStringLiteral("A")},
                                     {QStringLiteral("*.txt"), QStringLiteral("B")}});
    setup.Settings.MaxWorkerThreads = 8;
    Run(std::move(setup));
    EXPECT_EQ(Sorted(FPlugins[QStringLiteral("B")].Paths),
              QStringList({W(QStringLiteral("Sub2/a.txt")), W(QStringLiteral("Sub2/inner/b.txt")),
                           W(QStringLiteral("top.txt"))}));
    // The directory below the renamed one was dispatched with the new name in combination 1.
    EXPECT_TRUE(FPlugins[QStringLiteral("A")].Paths.contains(W(QStringLiteral("Sub2/inner/"))));
    // Deleting on purpose is reported but is no problem.
    EXPECT_EQ(FProblems.Total(), 0);
}

TEST_F(BatchEngineTest, PathsAddedInOneCombinationReachOnlyLaterOnes) {
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    FPlugins[QStringLiteral("B")].Work = [this](const QString&, TWorkPathOutput&,
                                                IExeWorkCallbacks& AWork) {
        QFile file(W(QStringLiteral("added.txt")));
        if (file.open(QIODevice::WriteOnly))
            file.write("n");
        AWork.ExeRequestAddPathToBatch(W(QStringLiteral("added.txt")));
    };
    Run(Setup({{QStringLiteral("*.txt"), QStringLiteral("A")},
               {QStringLiteral("*.txt"), QStringLiteral("B")},
               {QStringLiteral("*.txt"), QStringLiteral("C")}}));
    EXPECT_EQ(FPlugins[QStringLiteral("B")].Paths, QStringList(W(QStringLiteral("a.txt"))));
    EXPECT_EQ(Sorted(FPlugins[QStringLiteral("C")].Paths),
              QStringList({W(QStringLiteral("a.txt")), W(QStringLiteral("added.txt"))}));
}

// An archive that was already in the input, or asked for twice, is one path for later
// combinations; a path an earlier combination dropped and a plugin made again comes back.
TEST_F(BatchEngineTest, AnAddedPathIsInTheListOnce) {
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    FTemp.WriteFile(QStringLiteral("in/a.txt.zip"), "old archive");
    FTemp.WriteFile(QStringLiteral("in/dropped.zip"), "d");
    FPlugins[QStringLiteral("A")].Work = [](const QString& AIn, TWorkPathOutput& AOut,
                                            IExeWorkCallbacks&) {
        if (AIn.endsWith(QStringLiteral("dropped.zip"))) {
            QFile::remove(AIn);
            AOut.ClearOutputPath();
        }
    };
    FPlugins[QStringLiteral("B")].Work = [this](const QString&, TWorkPathOutput&,
                                                IExeWorkCallbacks& AWork) {
        FTemp.WriteFile(QStringLiteral("work/new.zip"), "n");
        FTemp.WriteFile(QStringLiteral("work/dropped.zip"), "again");
        for (const char* name : {"a.txt.zip", "new.zip", "new.zip", "dropped.zip"})
            AWork.ExeRequestAddPathToBatch(W(QString::fromUtf8(name)));
    };
    Run(Setup({{QStringLiteral("*.zip"), QStringLiteral("A")},
               {QStringLiteral("*.txt"), QStringLiteral("B")},
               {QStringLiteral("*.zip"), QStringLiteral("C")}}));
    EXPECT_EQ(Sorted(FPlugins[QStringLiteral("C")].Paths),
              QStringList({W(QStringLiteral("a.txt.zip")), W(QStringLiteral("dropped.zip")),
                           W(QStringLiteral("new.zip"))}));
    EXPECT_EQ(FProblems.Total(), 0);
}

TEST_F(BatchEngineTest, StopBeforeTheStartSkipsTheRunButCleansUp) {
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    FTemp.WriteFile(QStringLiteral("tmp/prop1.val"), "v");
    TBatchEngine engine(Setup({{QStringLiteral("*.txt"), QStringLiteral("A")}}));
    engine.Terminate();
    engine.Resume();
    engine.WaitFor();
    EXPECT_TRUE(FPlugins[QStringLiteral("A")].Calls.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(FTempDir + QStringLiteral("prop1.val")));
    EXPECT_EQ(FFinal.first, 0);  // the final progress event came
}

TEST_F(BatchEngineTest, ProjectStopAdviceStopsDispatchAndIsLogged) {
    for (int i = 0; i < 5; ++i)
        FTemp.WriteFile(QStringLiteral("in/f%1.txt").arg(i), "x");
    FPlugins[QStringLiteral("A")].Work = [](const QString&, TWorkPathOutput& AOut,
                                            IExeWorkCallbacks&) {
        AOut.Props.AdviseProjectBatchStop = 1;
    };
    TBatchEngineSetup setup = Setup({{QStringLiteral("*.txt"), QStringLiteral("A")},
                                     {QStringLiteral("*.txt"), QStringLiteral("B")}});
    setup.Settings.MaxWorkerThreads = 1;
    Run(std::move(setup));
    EXPECT_EQ(FPlugins[QStringLiteral("A")].Paths.size(), 1);
    EXPECT_TRUE(FPlugins[QStringLiteral("B")].Paths.isEmpty());
    // The later combination still gets its start and end calls.
    EXPECT_EQ(FPlugins[QStringLiteral("B")].Calls.size(), 2);
    EXPECT_TRUE(FAdviseProject);
    EXPECT_TRUE(FEntries.contains(QStringLiteral(
        "  Event(s) occurred. All further batching on this project has been halted.\r\n"
        "  Plugin(s) reported following: \r\n    * AdviseProjectBatchStop.\r\n")));
}

TEST_F(BatchEngineTest, WorkerJudgesTheReturnedPath) {
    struct TCase {
        const char* Name;
        TWork Work;
        QString ExpectedLines;  // after the common head; empty: nothing logged
        bool LaterSeesPath;
        int Problems;
    };
    const QString outside = FTemp.WriteFile(QStringLiteral("outside.txt"), "o");
    const std::vector<TCase> cases = {
        {"untouched", [](const QString&, TWorkPathOutput&, IExeWorkCallbacks&) {}, QString(), true,
         0},
        {"renamed inside the root",
         [this](const QString& AIn, TWorkPathOutput& AOut, IExeWorkCallbacks&) {
             QFile::rename(AIn, W(QStringLiteral("renamed.txt")));
             AOut.SetOutputPath(W(QStringLiteral("renamed.txt")));
         },
         QString(), true, 0},
        {"deleted on purpose",
         [](const QString& AIn, TWorkPathOutput& AOut, IExeWorkCallbacks&) {
             QFile::remove(AIn);
             AOut.ClearOutputPath();
         },
         QStringLiteral("    * \"WorkPathNameOut\" is empty (\"\"). This indicates that the path "
                        "has been deleted "
                        "purposely by the plugin.\r\n"),
         false, 0},
        {"non-existing",
         [this](const QString&, TWorkPathOutput& AOut, IExeWorkCallbacks&) {
             AOut.SetOutputPath(W(QStringLiteral("nope.txt")));
         },
         QStringLiteral(
             "    * Non-existing \"WorkPathNameOut\", the incorrect output path was \"") +
             W(QStringLiteral("nope.txt")) + QStringLiteral("\".\r\n"),
         false, 1},
        {"outside the root",
         [outside](const QString&, TWorkPathOutput& AOut, IExeWorkCallbacks&) {
             AOut.SetOutputPath(outside);
         },
         QStringLiteral(
             "    * Root-changed \"WorkPathNameOut\", the not allowed output path was \"") +
             outside + QStringLiteral("\".\r\n"),
         false, 1},
        {"path stop advice",
         [](const QString&, TWorkPathOutput& AOut, IExeWorkCallbacks&) {
             AOut.Props.AdvisePathBatchStop = 1;
         },
         QStringLiteral("    * \"AdvisePathBatchStop\".\r\n"), false, 0},
        {"outside the root through \"..\"",
         [this](const QString&, TWorkPathOutput& AOut, IExeWorkCallbacks&) {
             AOut.SetOutputPath(W(QStringLiteral("../outside.txt")));
         },
         QStringLiteral(
             "    * Root-changed \"WorkPathNameOut\", the not allowed output path was \"") +
             outside + QStringLiteral("\".\r\n"),
         false, 1},
        {"renamed, written with \"//\" and \"./\"",
         [this](const QString& AIn, TWorkPathOutput& AOut, IExeWorkCallbacks&) {
             QFile::rename(AIn, W(QStringLiteral("renamed.txt")));
             AOut.SetOutputPath(FWorkDir + QStringLiteral(".//renamed.txt"));
         },
         QString(), true, 0},
        {"plugin raises",
         [](const QString&, TWorkPathOutput&, IExeWorkCallbacks&) {
             throw EqvOperationNotPossible(QStringLiteral("disk on fire"));
         },
         QStringLiteral("    * The plugin raised an error: \"disk on fire\".\r\n"), false, 1},
        {"plugin raises something else",
         [](const QString&, TWorkPathOutput&, IExeWorkCallbacks&) { throw 42; },
         QStringLiteral("    * The plugin raised an error: \"The plugin \"") +
             Plugin(QStringLiteral("A"))->FPluginPathName +
             QStringLiteral("\" raised an error in \"PluginWorkPath\": the integer 42.\".\r\n"),
         false, 1},
    };
    for (const TCase& c : cases) {
        QDir(FWorkDir).removeRecursively();
        QDir().mkpath(FWorkDir);
        QDir(FInput).removeRecursively();
        FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
        FEntries.clear();
        FPlugins[QStringLiteral("A")].Paths.clear();
        FPlugins[QStringLiteral("B")].Paths.clear();
        FPlugins[QStringLiteral("A")].Work = c.Work;
        Run(Setup({{QStringLiteral("*.txt"), QStringLiteral("A")},
                   {QStringLiteral("*.*"), QStringLiteral("B")}}));
        if (c.ExpectedLines.isEmpty()) {
            EXPECT_TRUE(FEntries.isEmpty())
                << c.Name << ": " << FEntries.join(QStringLiteral("|")).toStdString();
        } else {
            ASSERT_EQ(FEntries.size(), 1) << c.Name;
            EXPECT_EQ(
                FEntries[0],
                QStringLiteral("  Events(s) occurred. All further batching on this \"path\" has "
                               "been halted.\r\n"
                               "  Input path was \"") +
                    W(QStringLiteral("a.txt")) +
                    QStringLiteral("\".\r\n  Plugin \"A\" (zq_test_A) reported following:\r\n") +
                    c.ExpectedLines)
                << c.Name;
        }
        EXPECT_EQ(FPlugins[QStringLiteral("B")].Paths.size() == 1, c.LaterSeesPath) << c.Name;
        EXPECT_EQ(FProblems.Total(), c.Problems) << c.Name;
    }
}

TEST_F(BatchEngineTest, PluginReportsNameThePathAndRefuseStrangers) {
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    FPlugins[QStringLiteral("A")].Work = [](const QString&, TWorkPathOutput&,
                                            IExeWorkCallbacks& AWork) {
        AWork.ExeHandleWorkPathErrorMsg(QStringLiteral("Bad bytes"), QStringLiteral("Fix it"));
    };
    Run(Setup({{QStringLiteral("*.txt"), QStringLiteral("A")}}));
    ASSERT_EQ(FEntries.size(), 1);
    EXPECT_EQ(
        FEntries[0],
        QStringLiteral("  Plugin path: \"") + Plugin(QStringLiteral("A"))->FPluginPathName +
            QStringLiteral("\".\r\n  Work path: \"") + W(QStringLiteral("a.txt")) +
            QStringLiteral("\".\r\n  Reported following:\r\n    * Error message: \"Bad bytes\".\r\n"
                           "    * Advice message: \"Fix it\"."));
    EXPECT_EQ(FProblems.WorkPathReports, 1);

    TqvThreadStringList registry;
    EXPECT_THROW(TBatchWorkPath::HandleWorkPathErrorMsg(
                     registry, [](const QString&) {}, QStringLiteral("e"), QStringLiteral("a")),
                 EqvValueOutOfValidRangeError);
}

TEST_F(BatchEngineTest, TooLongPathsAreNotHandedToPlugins) {
    TBatchPluginProps props;
    props.LibInfo_Ref = Plugin(QStringLiteral("A"));
    TqvThreadStringList registry;
    QStringList entries;
    TBatchWorkPath worker(registry, props, FWorkDir, 0, FWorkDir + QString(2100, QLatin1Char('x')),
                          [&](const QString& AEntry) { entries << AEntry; });
    worker.Execute();
    EXPECT_TRUE(worker.FRefusedTooLong);
    EXPECT_TRUE(worker.UpdatedOutPath.isEmpty());
    EXPECT_TRUE(FPlugins[QStringLiteral("A")].Paths.isEmpty());
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(entries[0].contains(QStringLiteral("longer than 2047 characters")));
}

TEST_F(BatchEngineTest, OnlyOneEngineAtATime) {
    TBatchEngine first(Setup({}));
    EXPECT_THROW(TBatchEngine second(Setup({})), EqvValueOutOfValidRangeError);
}

namespace {

// Runs a batch that must end by itself within a generous bound; AUnblock frees whatever it
// waits on when it does not, so that a hanging engine fails the test instead of the suite.
bool RunWithin(TBatchEngineSetup ASetup, const std::function<void()>& AUnblock,
               TBatchProblemCounts& AProblems) {
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    ASetup.OnTerminate = [&](TBatchEngine&) {
        {
            const std::lock_guard guard(lock);
            done = true;
        }
        ended.notify_all();
    };
    TBatchEngine engine(std::move(ASetup));
    engine.Resume();
    bool inTime = false;
    {
        std::unique_lock guard(lock);
        inTime = ended.wait_for(guard, std::chrono::seconds(60), [&] { return done; });
    }
    if (!inTime)
        AUnblock();
    engine.WaitFor();
    AProblems = engine.ProblemCounts();
    return inTime;
}

bool WriteNative(const QByteArray& APath, const QByteArray& ABytes) {
    const int fd = ::open(APath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool written =
        ::write(fd, ABytes.constData(), static_cast<size_t>(ABytes.size())) == ABytes.size();
    ::close(fd);
    return written;
}

QByteArray ReadNative(const QByteArray& APath) {
    const int fd = ::open(APath.constData(), O_RDONLY);
    if (fd < 0)
        return "(missing)";
    QByteArray bytes(256, '\0');
    bytes.resize(std::max<ssize_t>(::read(fd, bytes.data(), 256), 0));
    ::close(fd);
    return bytes;
}

}  // namespace

TEST_F(BatchEngineTest, FoldersWrittenAnyWayGiveTheSameBatch) {
    const QString base = FTemp.Path();
    ASSERT_EQ(::symlink(QFile::encodeName(FWorkDir).constData(),
                        QFile::encodeName(base + QStringLiteral("work-link")).constData()),
              0);
    ASSERT_EQ(::symlink(QFile::encodeName(FInput).constData(),
                        QFile::encodeName(base + QStringLiteral("in-link")).constData()),
              0);
    struct TCase {
        QString Input;
        QString Work;
    };
    const TCase cases[] = {
        {base + QStringLiteral("./in/"), base + QStringLiteral("./work")},
        {base + QStringLiteral("/in//"), base + QStringLiteral("//work//")},
        {base + QStringLiteral("work/../in"), base + QStringLiteral("in/../work/")},
        {base + QStringLiteral("in-link"), base + QStringLiteral("work-link/")},
    };
    for (const TCase& c : cases) {
        const std::string name = c.Input.toStdString() + " -> " + c.Work.toStdString();
        QDir(FWorkDir).removeRecursively();
        QDir().mkpath(FWorkDir);
        QDir(FInput).removeRecursively();
        FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
        FTemp.WriteFile(QStringLiteral("in/sub/b.txt"), "b");
        FTemp.WriteFile(QStringLiteral("in/sub/deeper/c.txt"), "c");
        FEntries.clear();
        FPlugins[QStringLiteral("A")].Paths.clear();
        FPlugins[QStringLiteral("A")].Calls.clear();
        TBatchEngineSetup setup = Setup({{QStringLiteral("*.txt"), QStringLiteral("A")}});
        setup.Settings.InputDirPath = c.Input;
        setup.Settings.WorkDirPath = c.Work;
        Run(std::move(setup));
        EXPECT_EQ(Sorted(FPlugins[QStringLiteral("A")].Paths),
                  QStringList({W(QStringLiteral("a.txt")), W(QStringLiteral("sub/b.txt")),
                               W(QStringLiteral("sub/deeper/c.txt"))}))
            << name;
        EXPECT_EQ(FPlugins[QStringLiteral("A")].Calls.value(0), QStringLiteral("start ") + FWorkDir)
            << name;
        EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/sub/deeper/c.txt")), QByteArray("c")) << name;
        EXPECT_EQ(QDir(FWorkDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList({QStringLiteral("a.txt"), QStringLiteral("sub")}))
            << name;
        EXPECT_EQ(FProblems.Total(), 0) << name << FEntries.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(FEntries.isEmpty()) << name << FEntries.join(QLatin1Char('|')).toStdString();
    }
}

TEST_F(BatchEngineTest, SpecialFilesAreNeverOpenedAndEachGetsALogLine) {
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    const QString fifo = FInput + QStringLiteral("pipe.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const auto unblock = [&] {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    };
    for (const bool inPlace : {false, true}) {
        FEntries.clear();
        FPlugins[QStringLiteral("A")].Paths.clear();
        TBatchEngineSetup setup = Setup({{QStringLiteral("*.*"), QStringLiteral("A")}});
        setup.Settings.InputDirIsWorkDir = inPlace;
        const QString root = inPlace ? FInput : FWorkDir;
        ASSERT_TRUE(RunWithin(std::move(setup), unblock, FProblems)) << "in place: " << inPlace;
        EXPECT_EQ(FPlugins[QStringLiteral("A")].Paths, QStringList(root + QStringLiteral("a.txt")))
            << "in place: " << inPlace;
        EXPECT_FALSE(QFileInfo::exists(W(QStringLiteral("pipe.txt"))));
        EXPECT_EQ(FEntries,
                  QStringList(inPlace ? QStringLiteral("  Special file (FIFO, socket or device) "
                                                       "not passed to plugins: \"") +
                                            fifo + QStringLiteral("\".\r\n")
                                      : QStringLiteral("  Special file (FIFO, socket or device) "
                                                       "not copied: \"") +
                                            fifo + QStringLiteral("\".\r\n")))
            << "in place: " << inPlace;
    }
}

TEST_F(BatchEngineTest, NamesThatAreNotTextAreCopiedByteForByteButNotHandedToPlugins) {
    const QByteArray in = QFile::encodeName(FInput);
    const QByteArray work = QFile::encodeName(FWorkDir);
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    ASSERT_TRUE(WriteNative(in + "caf\xE9.txt", "latin"));
    ASSERT_EQ(::mkdir((in + "d\xE9").constData(), 0755), 0);
    ASSERT_TRUE(WriteNative(in + "d\xE9/inner.txt", "inner"));
    // The name Qt would make of the odd one must not catch its bytes either.
    FTemp.WriteFile(QStringLiteral("in/caf") + QChar(0xFFFD) + QStringLiteral(".txt"), "other");

    for (const bool onlyHandled : {false, true}) {
        ASSERT_TRUE(RemoveTreeNative(FWorkDir));
        QDir().mkpath(FWorkDir);
        FEntries.clear();
        FPlugins[QStringLiteral("A")].Paths.clear();
        TBatchEngineSetup setup = Setup({{QStringLiteral("*.*"), QStringLiteral("A")},
                                         {QStringLiteral("/"), QStringLiteral("B")}});
        setup.Settings.OnlyCopyHandledPaths = onlyHandled;
        Run(std::move(setup));
        const std::string mode = onlyHandled ? "only handled paths" : "all paths";
        EXPECT_EQ(Sorted(FPlugins[QStringLiteral("A")].Paths),
                  QStringList({W(QStringLiteral("a.txt")),
                               W(QStringLiteral("caf") + QChar(0xFFFD) + QStringLiteral(".txt"))}))
            << mode;
        EXPECT_EQ(
            FTemp.ReadFile(QStringLiteral("work/caf") + QChar(0xFFFD) + QStringLiteral(".txt")),
            QByteArray("other"))
            << mode;
        EXPECT_EQ(FProblems.UnusableNames, 2) << mode;
        const QString log = FEntries.join(QString());
        EXPECT_EQ(FEntries.size(), 2) << mode << log.toStdString();
        if (onlyHandled) {
            EXPECT_EQ(ReadNative(work + "caf\xE9.txt"), QByteArray("(missing)"));
            EXPECT_TRUE(
                log.contains(QStringLiteral("  Path not copied: its name is not valid "
                                            "UTF-8")))
                << log.toStdString();
            EXPECT_TRUE(log.contains(FInput + QStringLiteral("caf\\xE9.txt\"")))
                << log.toStdString();
        } else {
            EXPECT_EQ(ReadNative(work + "caf\xE9.txt"), QByteArray("latin"));
            EXPECT_EQ(ReadNative(work + "d\xE9/inner.txt"), QByteArray("inner"));
            EXPECT_TRUE(log.contains(W(QStringLiteral("caf\\xE9.txt\"")))) << log.toStdString();
            EXPECT_TRUE(log.contains(QStringLiteral(", nor is anything below this directory. "
                                                    "Path was \"") +
                                     W(QStringLiteral("d\\xE9"))))
                << log.toStdString();
        }
    }
}

TEST_F(BatchEngineTest, PathsAddedOutsideTheRootOrMissingAreRefused) {
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    const QString outside = FTemp.WriteFile(QStringLiteral("outside.txt"), "o");
    FPlugins[QStringLiteral("B")].Work = [&](const QString&, TWorkPathOutput&,
                                             IExeWorkCallbacks& AWork) {
        FTemp.WriteFile(QStringLiteral("work/added.txt"), "n");
        AWork.ExeRequestAddPathToBatch(outside);
        AWork.ExeRequestAddPathToBatch(W(QStringLiteral("../outside.txt")));
        AWork.ExeRequestAddPathToBatch(W(QStringLiteral("missing.txt")));
        AWork.ExeRequestAddPathToBatch(W(QStringLiteral("sub/..//added.txt")));
    };
    Run(Setup({{QStringLiteral("*.txt"), QStringLiteral("B")},
               {QStringLiteral("*.txt"), QStringLiteral("C")}}));
    EXPECT_EQ(Sorted(FPlugins[QStringLiteral("C")].Paths),
              QStringList({W(QStringLiteral("a.txt")), W(QStringLiteral("added.txt"))}));
    EXPECT_EQ(FProblems.RefusedAddedPaths, 3);
    ASSERT_EQ(FEntries.size(), 3) << FEntries.join(QLatin1Char('|')).toStdString();
    const QString head = QStringLiteral("  Path a plugin asked to add to the batch was refused: ");
    EXPECT_EQ(FEntries[0], head + QStringLiteral("it is outside the batch root \"") + FWorkDir +
                               QStringLiteral("\". Path was \"") + outside +
                               QStringLiteral("\".\r\n"));
    EXPECT_TRUE(FEntries[1].startsWith(head + QStringLiteral("it is outside")));
    EXPECT_EQ(FEntries[2], head + QStringLiteral("it does not exist. Path was \"") +
                               W(QStringLiteral("missing.txt")) + QStringLiteral("\".\r\n"));
}

// In place, a link whose real location is outside the batch root is never handed to a plugin,
// whether it leads to a file, a folder or a name not yet there; a link inside is worked on.
TEST_F(BatchEngineTest, LinksLeadingOutOfTheBatchRootAreNotHandedToPlugins) {
    const QString outside = FTemp.MakeFolder(QStringLiteral("outside"));
    FTemp.WriteFile(QStringLiteral("outside/secret.txt"), "secret");
    FTemp.WriteFile(QStringLiteral("in/real.txt"), "real");
    FTemp.WriteFile(QStringLiteral("in/sub/inner.txt"), "inner");
    const auto link = [&](const char* ATarget, const QString& AName) {
        ASSERT_EQ(::symlink(ATarget, QFile::encodeName(FInput + AName).constData()), 0);
    };
    link("../outside/secret.txt", QStringLiteral("link.txt"));
    link("../../outside", QStringLiteral("sub/outdir"));
    link("../outside/new.txt", QStringLiteral("dangling.txt"));
    link("loop.txt", QStringLiteral("loop.txt"));
    link("real.txt", QStringLiteral("inside.txt"));
    link("../real.txt", QStringLiteral("sub/up.txt"));
    TBatchEngineSetup setup = Setup({{QStringLiteral("*.*"), QStringLiteral("A")}});
    setup.Settings.InputDirIsWorkDir = true;
    Run(std::move(setup));

    EXPECT_EQ(
        Sorted(FPlugins[QStringLiteral("A")].Paths),
        QStringList({FInput + QStringLiteral("inside.txt"), FInput + QStringLiteral("real.txt"),
                     FInput + QStringLiteral("sub/inner.txt"),
                     FInput + QStringLiteral("sub/up.txt")}));
    EXPECT_EQ(FProblems.LinksLeadingOut, 4);
    EXPECT_EQ(FProblems.Total(), 4);
    const QString real = QDir(outside).canonicalPath() + QLatin1Char('/');
    const QString head = QStringLiteral("  Path not passed to plugins: it is a symbolic link ");
    const QString root = QStringLiteral("\" is outside the batch root \"") + FInput +
                         QStringLiteral("\". Path was \"");
    EXPECT_EQ(
        Sorted(FEntries),
        Sorted({head + QStringLiteral("to a directory whose real location \"") + real.chopped(1) +
                    root + FInput + QStringLiteral("sub/outdir\".\r\n"),
                head + QStringLiteral("whose real location \"") + real + QStringLiteral("new.txt") +
                    root + FInput + QStringLiteral("dangling.txt\".\r\n"),
                head + QStringLiteral("whose real location \"") + real +
                    QStringLiteral("secret.txt") + root + FInput +
                    QStringLiteral("link.txt\".\r\n"),
                head +
                    QStringLiteral("whose real location cannot be found (links that "
                                   "loop). Path was \"") +
                    FInput + QStringLiteral("loop.txt\".\r\n")}));
}

// A path a plugin returns or asks to add that is inside the batch root by its text but leaves
// it through a link is refused as one with ".." is.
TEST_F(BatchEngineTest, ReturnedAndAddedPathsLeavingTheRootThroughALinkAreRefused) {
    const QString outside = FTemp.MakeFolder(QStringLiteral("outside"));
    FTemp.WriteFile(QStringLiteral("outside/moved.txt"), "moved");
    FTemp.WriteFile(QStringLiteral("outside/added.txt"), "added");
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    FTemp.WriteFile(QStringLiteral("in/b.txt"), "b");
    FTemp.WriteFile(QStringLiteral("in/c.txt"), "c");
    FTemp.WriteFile(QStringLiteral("in/d.txt"), "d");
    FPlugins[QStringLiteral("A")].Work = [&](const QString& AIn, TWorkPathOutput& AOut,
                                             IExeWorkCallbacks& AWork) {
        // The plugin makes its own ways out and hands them back: through a folder, and as a
        // link beside the file it was given; a link that stays inside is fine.
        const auto link = [](const QString& ATarget, const QString& AName) {
            static_cast<void>(::symlink(QFile::encodeName(ATarget).constData(),
                                        QFile::encodeName(AName).constData()));
        };
        if (AIn.endsWith(QStringLiteral("a.txt"))) {
            link(outside, W(QStringLiteral("out")));
            AOut.SetOutputPath(W(QStringLiteral("out/moved.txt")));
        } else if (AIn.endsWith(QStringLiteral("b.txt"))) {
            link(outside, W(QStringLiteral("out2")));
            AWork.ExeRequestAddPathToBatch(W(QStringLiteral("out2/added.txt")));
        } else if (AIn.endsWith(QStringLiteral("c.txt"))) {
            link(outside + QStringLiteral("moved.txt"), W(QStringLiteral("alias.txt")));
            AOut.SetOutputPath(W(QStringLiteral("alias.txt")));
        } else {
            link(W(QStringLiteral("b.txt")), W(QStringLiteral("inner.txt")));
            AOut.SetOutputPath(W(QStringLiteral("inner.txt")));
        }
    };
    TBatchEngineSetup setup = Setup({{QStringLiteral("*.txt"), QStringLiteral("A")},
                                     {QStringLiteral("*.*"), QStringLiteral("B")}});
    setup.Settings.MaxWorkerThreads = 1;
    Run(std::move(setup));

    EXPECT_EQ(Sorted(FPlugins[QStringLiteral("B")].Paths),
              QStringList({W(QStringLiteral("b.txt")), W(QStringLiteral("inner.txt"))}));
    EXPECT_EQ(FProblems.RefusedOutputs, 2);
    EXPECT_EQ(FProblems.RefusedAddedPaths, 1);
    const QString log = FEntries.join(QString());
    EXPECT_TRUE(log.contains(QStringLiteral("    * Root-changed \"WorkPathNameOut\", the not "
                                            "allowed output path was \"") +
                             W(QStringLiteral("out/moved.txt"))))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("    * Root-changed \"WorkPathNameOut\", the not "
                                            "allowed output path was \"") +
                             W(QStringLiteral("alias.txt"))))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("through a symbolic link it leads to \"") +
                             QDir(outside).canonicalPath() + QStringLiteral("/added.txt\"")))
        << log.toStdString();
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("outside/moved.txt")), QByteArray("moved"));
}

// Temporary files of an ended batch are removed before the walk, each with a line; one of a
// running process is left alone; none is handed to a plugin; a user's name that merely looks
// like a temporary file is the user's.
TEST_F(BatchEngineTest, LeftoversOfAnEndedBatchAreRemovedAndNeverHandedToPlugins) {
    const QString dead = QString::number(EndedProcessId());
    const QString alive = QString::number(::getpid());
    for (const bool inPlace : {true, false}) {
        SCOPED_TRACE(inPlace ? "in place" : "in the work folder");
        const QString root = inPlace ? FInput : FWorkDir;
        const QString folder = inPlace ? QStringLiteral("in/") : QStringLiteral("work/");
        FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
        FTemp.WriteFile(QStringLiteral("in/report.zip.202401"), "user's");
        FTemp.WriteFile(folder + QStringLiteral(".a.txt.plvtmp-0123456789abcdef-") + dead, "x");
        FTemp.WriteFile(folder + QStringLiteral("sub/c.txt.plvcopy-00000000000000ff-") + dead, "x");
        FTemp.WriteFile(folder + QStringLiteral(".sub.zip.plvzip-fedcba9876543210-") + dead, "x");
        FTemp.WriteFile(folder + QStringLiteral("b.txt.plvcopy-0123456789abcdef-") + alive, "x");
        FEntries.clear();
        FPlugins[QStringLiteral("A")].Paths.clear();
        TBatchEngineSetup setup = Setup({{QStringLiteral("*.*"), QStringLiteral("A")}});
        setup.Settings.InputDirIsWorkDir = inPlace;
        setup.Settings.DeleteWorkDirFiles = false;
        Run(std::move(setup));

        EXPECT_EQ(Sorted(FPlugins[QStringLiteral("A")].Paths),
                  QStringList({root + QStringLiteral("a.txt"),
                               root + QStringLiteral("report.zip.202401")}));
        EXPECT_EQ(FProblems.Total(), 0);
        QStringList left;
        for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();)
            left << it.next().mid(root.size());
        EXPECT_EQ(Sorted(left),
                  QStringList({QStringLiteral("a.txt"),
                               QStringLiteral("b.txt.plvcopy-0123456789abcdef-") + alive,
                               QStringLiteral("report.zip.202401")}));
        const QString removed =
            QStringLiteral("  Leftover temporary file of an ended batch (process ") + dead +
            QStringLiteral(") removed: \"");
        EXPECT_EQ(Sorted(FEntries),
                  Sorted({removed + root + QStringLiteral(".a.txt.plvtmp-0123456789abcdef-") +
                              dead + QStringLiteral("\".\r\n"),
                          removed + root + QStringLiteral("sub/c.txt.plvcopy-00000000000000ff-") +
                              dead + QStringLiteral("\".\r\n"),
                          removed + root + QStringLiteral(".sub.zip.plvzip-fedcba9876543210-") +
                              dead + QStringLiteral("\".\r\n"),
                          QStringLiteral("  Temporary file of the running process ") + alive +
                              QStringLiteral(" not passed to plugins: \"") + root +
                              QStringLiteral("b.txt.plvcopy-0123456789abcdef-") + alive +
                              QStringLiteral("\".\r\n")}));
        ASSERT_TRUE(RemoveTreeNative(FWorkDir));
        QDir().mkpath(FWorkDir);
        ASSERT_TRUE(RemoveTreeNative(FInput));
        QDir().mkpath(FInput);
    }
}

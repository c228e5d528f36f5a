// plovane-run end to end: a program folder with a copy of the executable and a test plugin,
// generated projects, and the real process.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/module_shared.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"
#include "project/project_file.h"
#include "tests/support/garbled_projects.h"
#include "tests/support/temp_folders.h"

namespace {

// QProcess wants an application object. It is never destroyed: destroying it at exit races
// Qt's own static clean-up.
void App() {
    static int argc = 1;
    static char name[] = "plovane_run_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        new QCoreApplication(argc, argv);
}

struct TRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

class PlovaneRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        FProgram = FTemp.MakeFolder(QStringLiteral("prog"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(PLOVANE_RUN_PATH),
                                FProgram + QStringLiteral("plovane-run")));
        QFile(FProgram + QStringLiteral("plovane-run"))
            .setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
        FTemp.MakeFolder(QStringLiteral("prog/modules/External/gate"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(GATE_PLUGIN_PATH),
                                FProgram + QStringLiteral("modules/External/gate/gate_plugin.so")));
        FDataRoot = FTemp.MakeFolder(QStringLiteral("data-root"));
        FTemp.WriteFile(QStringLiteral("data-root/config/options.ini"),
                        "[ProgramOptions.Security]\r\nHumanSafeMode=0\r\n");
        FInput = FTemp.MakeFolder(QStringLiteral("in"));
        FWork = FTemp.MakeFolder(QStringLiteral("work"));
        for (int i = 0; i < 4; ++i)
            FTemp.WriteFile(QStringLiteral("in/f%1.txt").arg(i), "x");
    }

    // Writes a project whose one combination runs the plugin with this identifier on "*.txt".
    QString MakeProject(const QString& AStrID, bool ADeleteWorkFiles = true) {
        const QString path = FTemp.Path(QStringLiteral("project.plv"));
        TModuleEnvironment env;
        env.ProgramFolder = FProgram;
        env.DocumentsFolder = FTemp.MakeFolder(QStringLiteral("docs"));
        env.DataRootOverride = FTemp.Path(QStringLiteral("maker-root"));
        TModuleShared module(std::move(env));
        TCollectionInternalPluginTypes registry;
        RegisterAllInternalPlugins(registry);
        TPluginHost host(registry, {module.Folders().ModulesFolder, module.Folders().TempFolder,
                                    &module.FLogging});
        host.Discover();
        TProjectController project(TProjectEnvironment::FromModule(module, host));
        project.LoadProject(QString(), true);
        TProjectGeneralSettings settings = project.GeneralSettings();
        settings.InputDirPath = FInput;
        settings.WorkDirPath = FWork;
        settings.OnlyCopyHandledPaths = false;
        settings.DeleteWorkDirFiles = ADeleteWorkFiles;
        settings.MaxWorkerThreads = 1;
        project.SetGeneralSettings(settings);
        project.Combinations().AddItem(QStringLiteral("*.txt"), true, host.FindByStrID(AStrID));
        EXPECT_EQ(project.Combinations().Count(), 1);
        module.FProgramOptions->SetProjectCurrentFilePath(path);
        EXPECT_TRUE(project.Save());
        return path;
    }

    QProcess* Start(const QStringList& AArguments, const QMap<QString, QString>& AEnv = {}) {
        auto* process = new QProcess();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        env.insert(QStringLiteral("HOME"), FTemp.Path(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_DATA_HOME"),
                   FTemp.Path(QStringLiteral("home/.local/share")));
        for (auto it = AEnv.begin(); it != AEnv.end(); ++it)
            env.insert(it.key(), it.value());
        process->setProcessEnvironment(env);
        process->start(FProgram + QStringLiteral("plovane-run"), AArguments);
        EXPECT_TRUE(process->waitForStarted());
        return process;
    }

    TRun Finish(QProcess* AProcess) {
        EXPECT_TRUE(AProcess->waitForFinished(120000));
        TRun run;
        run.ExitCode = AProcess->exitStatus() == QProcess::NormalExit ? AProcess->exitCode() : -1;
        run.Out = QString::fromUtf8(AProcess->readAllStandardOutput());
        run.Err += QString::fromUtf8(AProcess->readAllStandardError());
        delete AProcess;
        return run;
    }

    TRun Run(const QStringList& AArguments, const QMap<QString, QString>& AEnv = {}) {
        return Finish(Start(AArguments, AEnv));
    }

    QStringList DataRootArgs() const { return {QStringLiteral("--data-root"), FDataRoot}; }

    TTempFolder FTemp;
    QString FProgram;
    QString FDataRoot;
    QString FInput;
    QString FWork;
};

}  // namespace

TEST_F(PlovaneRunTest, UsageErrorsAndHelp) {
    EXPECT_EQ(Run({}).ExitCode, 64);
    EXPECT_EQ(
        Run({QStringLiteral("--threads"), QStringLiteral("0"), QStringLiteral("x.plv")}).ExitCode,
        64);
    EXPECT_EQ(Run({QStringLiteral("--bogus"), QStringLiteral("x.plv")}).ExitCode, 64);
    const TRun help = Run({QStringLiteral("--help")});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_TRUE(help.Out.contains(QStringLiteral("Exit codes:")));
}

TEST_F(PlovaneRunTest, ListsPlugins) {
    const TRun run = Run(DataRootArgs() << QStringLiteral("--list-plugins"));
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_TRUE(run.Out.contains(QStringLiteral("Gate\tzq_test_Gate\t1.0\t") + FProgram +
                                 QStringLiteral("modules/External/gate/gate_plugin.so\n")));
    EXPECT_TRUE(run.Out.contains(QStringLiteral("NoOp\tzq_kestrin_NoOp\t1.03\t")));
}

TEST_F(PlovaneRunTest, MissingProjectIsExitThree) {
    EXPECT_EQ(Run(DataRootArgs() << FTemp.Path(QStringLiteral("none.plv"))).ExitCode, 3);
}

TEST_F(PlovaneRunTest, DoneBatchPrintsItsLogAndSummary) {
    const QString project = MakeProject(QStringLiteral("zq_kestrin_NoOp"));
    const TRun run = Run(DataRootArgs() << QStringLiteral("--quiet") << project);
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QString logLine = run.Out.section(QLatin1Char('\n'), 0, 0);
    ASSERT_TRUE(logLine.startsWith(QStringLiteral("Batch log: ")));
    EXPECT_TRUE(QFileInfo::exists(logLine.mid(QStringLiteral("Batch log: ").size())));
    EXPECT_TRUE(run.Out.contains(QStringLiteral("Done: 4 paths to do, 4 items done, ")));
    EXPECT_TRUE(run.Err.isEmpty());  // quiet
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/f0.txt")), QByteArray("x"));
}

TEST_F(PlovaneRunTest, CopyFailureIsExitOne) {
    // A folder stands where a file must be copied: that file cannot be copied.
    FTemp.WriteFile(QStringLiteral("work/f1.txt/inner"), "blocker");
    const QString project = MakeProject(QStringLiteral("zq_kestrin_NoOp"), false);
    const TRun run = Run(DataRootArgs() << QStringLiteral("--quiet") << project);
    EXPECT_EQ(run.ExitCode, 1) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral("1 problems with paths")));
}

TEST_F(PlovaneRunTest, PluginStopAdviceIsExitTwo) {
    const QString project = MakeProject(QStringLiteral("zq_test_Gate"));
    const TRun run = Run(DataRootArgs() << QStringLiteral("--quiet") << project,
                         {{QStringLiteral("PLOVANE_TEST_ADVISE"), QStringLiteral("project")}});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_TRUE(run.Out.contains(QStringLiteral("Interrupted by plugin: ")));
}

TEST_F(PlovaneRunTest, CtrlCStopsLikeTheStopCommand) {
    const QString project = MakeProject(QStringLiteral("zq_test_Gate"));
    const QString gate = FTemp.MakeFolder(QStringLiteral("gate"));
    ASSERT_EQ(::mkfifo((gate + QStringLiteral("started")).toUtf8().constData(), 0600), 0);
    ASSERT_EQ(::mkfifo((gate + QStringLiteral("release")).toUtf8().constData(), 0600), 0);
    // Open the reading end first (without blocking), then wait until the plugin is inside its
    // work call: it writes one byte.
    const int started =
        ::open((gate + QStringLiteral("started")).toUtf8().constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(started, 0);
    QProcess* process =
        Start(DataRootArgs() << project, {{QStringLiteral("PLOVANE_TEST_GATE"), gate}});
    pollfd waitStarted{started, POLLIN, 0};
    ASSERT_EQ(::poll(&waitStarted, 1, 120000), 1) << "the plugin never started";
    ::close(started);

    ::kill(static_cast<pid_t>(process->processId()), SIGINT);
    // The runner says when it has passed the stop on; only then the plugin may finish.
    QString err;
    process->setReadChannel(QProcess::StandardError);
    while (!err.contains(QStringLiteral("Stopping:")) && process->waitForReadyRead(120000))
        err += QString::fromUtf8(process->readAllStandardError());
    ASSERT_TRUE(err.contains(QStringLiteral("Stopping:")));
    const int release = ::open((gate + QStringLiteral("release")).toUtf8().constData(), O_WRONLY);
    ASSERT_GE(release, 0);
    ASSERT_EQ(::write(release, "1", 1), 1);
    ::close(release);

    const TRun run = Finish(process);
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_TRUE(
        run.Out.contains(QStringLiteral("Interrupted by user: 4 paths to do, 1 items done")))
        << run.Out.toStdString();
}

// A --data-root that cannot be one is a usage error, told on standard error; nothing is
// written anywhere (no other data root seeded, no logs, no batch).
TEST_F(PlovaneRunTest, UnusableDataRootIsAUsageErrorAndNothingIsWritten) {
    const QString project = MakeProject(QStringLiteral("zq_kestrin_NoOp"));
    const QString file = FTemp.WriteFile(QStringLiteral("a file"), "not a folder");
    const std::vector<std::pair<QString, QString>> cases = {
        {file, file},
        {file + QStringLiteral("/below/root"), file},
    };
    const QStringList before = FolderListing(FTemp.Path());
    for (const auto& [dataRoot, blocker] : cases) {
        SCOPED_TRACE(dataRoot.toStdString());
        const TRun run =
            Run({QStringLiteral("--data-root"), dataRoot, QStringLiteral("--quiet"), project});
        EXPECT_EQ(run.ExitCode, 64) << run.Out.toStdString();
        EXPECT_EQ(run.Err, QStringLiteral("plovane-run: The data root \"") + dataRoot +
                               QStringLiteral("\" cannot be used: \"") + blocker +
                               QStringLiteral("\" is not a folder.\n"));
        EXPECT_TRUE(run.Out.isEmpty()) << run.Out.toStdString();
        EXPECT_EQ(FolderListing(FTemp.Path()), before);
    }
}

// A fresh account has no documents folder yet: the data goes below the one the desktop names,
// which is created, and not into the program folder.
TEST_F(PlovaneRunTest, FreshAccountKeepsItsDataBelowItsDocumentsFolder) {
    const QString home = FTemp.MakeFolder(QStringLiteral("fresh"));
    const TRun run = Run({QStringLiteral("--list-plugins")},
                         {{QStringLiteral("HOME"), home},
                          {QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral(".config")}});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(
        QFileInfo::exists(home + QStringLiteral("Documents/Kestrin/Plovane 3/config/options.ini")));
    for (const char16_t* sub : {u"config", u"logs", u"temp", u"projects"})
        EXPECT_FALSE(QFileInfo::exists(FProgram + QString::fromUtf16(sub)))
            << "data in the program folder";
}

// A picture or an empty file named as the project is refused naming it; it never runs on the
// default settings, which would empty the temporary work folder.
TEST_F(PlovaneRunTest, FilesThatAreNoProjectsAreRefusedAndNothingIsRun) {
    const QString keep = FDataRoot + QStringLiteral("temp/work/keep.txt");
    for (const TGarbledProject& c : GarbledProjectFiles()) {
        SCOPED_TRACE(c.Name);
        FTemp.WriteFile(QStringLiteral("data-root/temp/work/keep.txt"), "mine");
        const QString path = FTemp.WriteFile(QStringLiteral("garbled.plv"), c.Bytes);
        const TRun run = Run(DataRootArgs() << QStringLiteral("--quiet") << path);
        EXPECT_EQ(run.ExitCode, 3) << run.Out.toStdString();
        EXPECT_TRUE(run.Err.contains(QStringLiteral("\"") + path + QStringLiteral("\"")))
            << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains(c.Expected)) << run.Err.toStdString();
        EXPECT_EQ(ReadWholeFile(keep), QByteArray("mine"));
        EXPECT_EQ(ReadWholeFile(path), c.Bytes);
        EXPECT_TRUE(QDir(FDataRoot + QStringLiteral("logs/batches"))
                        .entryList(QDir::Files | QDir::Hidden)
                        .isEmpty());
    }
}

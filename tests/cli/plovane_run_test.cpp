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

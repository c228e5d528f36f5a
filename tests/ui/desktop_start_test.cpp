// The desktop program started with a project to run without its window, end to end: a program
// folder with a copy of the executable that keeps its data beside it, a project of its own, and
// a private folder for the single-instance channel (Qt names it below TMPDIR), so that neither
// a real running instance nor another test is met.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include "app/module_shared.h"
#include "platform/single_instance.h"
#include "tests/support/process_run.h"
#include "tests/support/temp_folders.h"

namespace {

using TRun = TProcessRun;

class DesktopStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureCoreApplication();
        FProgram = FTemp.MakeFolder(QStringLiteral("prog"));
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(PLOVANE_PATH), FProgram + QStringLiteral("plovane")));
        QFile(FProgram + QStringLiteral("plovane"))
            .setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
        FTemp.WriteFile(QStringLiteral("prog/muc.ini"), "[Misc]\r\nDataAccess=app\r\n");
        FTemp.WriteFile(QStringLiteral("prog/config/options.ini"),
                        "[ProgramOptions.Security]\r\nHumanSafeMode=0\r\n");
        FInput = FTemp.MakeFolder(QStringLiteral("in"));
        FWork = FTemp.MakeFolder(QStringLiteral("work"));
        FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
        FTemp.WriteFile(QStringLiteral("in/b.txt"), "b");
        // No combinations: the batch only copies the input, which shows that it ran.
        FProject = FTemp.WriteFile(
            QStringLiteral("copy.plv"),
            (QStringLiteral("[Project Details]\r\nSavedWithVersion=3.3.0\r\nInputDirPath=") +
             FInput + QStringLiteral("\r\nWorkDirPath=") + FWork +
             QStringLiteral("\r\nOnlyCopyHandledPaths=0\r\nDeleteWorkDirFiles=0\r\n"
                            "InputDirIsWorkDir=0\r\nIncludeSubDirs=1\r\n"
                            "IncludeSubDirsSwitch=1\r\nModulesConf=\r\n"))
                .toUtf8());
        FInstanceFolder = FTemp.MakeFolder(QStringLiteral("instance"));
    }

    // The channel a running instance listens on, as the program names it below TMPDIR.
    QString InstanceChannel() const {
        return FInstanceFolder + TSingleInstance(KApplicationId).SocketName();
    }

    TRun Run(const QStringList& AArguments) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), FTemp.MakeFolder(QStringLiteral("home")));
        env.insert(QStringLiteral("TMPDIR"), QDir::cleanPath(FInstanceFolder));
        process.setProcessEnvironment(env);
        process.start(FProgram + QStringLiteral("plovane"), AArguments);
        return FinishProcess(process);
    }

    QStringList HeadlessStart() const {
        return {QLatin1Char(':') + FProject, QStringLiteral("-hide"), QStringLiteral("-exit")};
    }

    QStringList BatchLogs() const {
        return QDir(FProgram + QStringLiteral("logs/batches")).entryList(QDir::Files);
    }

    TTempFolder FTemp;
    QString FProgram;
    QString FInput;
    QString FWork;
    QString FProject;
    QString FInstanceFolder;
};

}  // namespace

TEST_F(DesktopStartTest, HeadlessStartRunsTheProjectLikePlovaneRun) {
    const TRun run = Run(HeadlessStart());
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral("Batch log: ") + FProgram +
                                 QStringLiteral("logs/batches/")))
        << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral("\nDone: "))) << run.Out.toStdString();
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/a.txt")), QByteArray("a"));
    EXPECT_EQ(BatchLogs().size(), 1);
}

// While another instance runs, a headless start runs nothing; a script that started it learns
// so from the exit status and the message, instead of a success.
TEST_F(DesktopStartTest, HeadlessStartWhileAnotherInstanceRunsFailsAndSaysSo) {
    TSingleInstance running(KApplicationId, InstanceChannel());
    ASSERT_TRUE(running.TryBecomePrimary());
    const TRun run = Run(HeadlessStart());
    EXPECT_EQ(run.ExitCode, 5);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("Plovane is running already, so the project \"") +
                                 FProject +
                                 QStringLiteral("\" was not run. End the running program first, "
                                                "or run the project with plovane-run.\n")))
        << run.Err.toStdString();
    EXPECT_TRUE(run.Out.isEmpty()) << run.Out.toStdString();
    EXPECT_TRUE(QDir(FWork).isEmpty());
    EXPECT_TRUE(BatchLogs().isEmpty());

    // Without a project to run, handing over to the running instance is all that was asked.
    EXPECT_EQ(Run({QStringLiteral("-hide"), QStringLiteral("-exit")}).ExitCode, 0);
}

// "--version" is answered as GNU programs do, before anything is set up: no data is written
// beside the program and no instance channel is opened.
TEST_F(DesktopStartTest, VersionNamesTheProgramAndWritesNothing) {
    const TRun run = Run({QStringLiteral("--version")});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Out, QStringLiteral("plovane (Plovane) " PLOVANE_VERSION_STRING "\n"));
    EXPECT_TRUE(run.Err.isEmpty()) << run.Err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(FProgram + QStringLiteral("logs")));
    EXPECT_TRUE(QDir(FInstanceFolder).isEmpty());
}

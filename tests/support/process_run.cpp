#include "tests/support/process_run.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

void EnsureCoreApplication() {
    static int argc = 1;
    static char name[] = "plovane_tests";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        new QCoreApplication(argc, argv);
}

TProcessRun FinishProcess(QProcess& AProcess) {
    EXPECT_TRUE(AProcess.waitForFinished(120000));
    TProcessRun run;
    run.ExitCode = AProcess.exitStatus() == QProcess::NormalExit ? AProcess.exitCode() : -1;
    run.Out = QString::fromUtf8(AProcess.readAllStandardOutput());
    run.Err = QString::fromUtf8(AProcess.readAllStandardError());
    return run;
}

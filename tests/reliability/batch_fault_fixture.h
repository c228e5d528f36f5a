#pragma once

// Whole batches under faults, run as a user runs them: plovane-run from a program folder of its
// own (with the misbehaving test plugin among its external plugins) on projects written by the
// real project code, as a child process. A run can be stopped at an exact file creation (the
// preloaded stall library) and killed there, or run in a forked helper that first sets up a
// condition the test process itself must not have (a small file system, fewer privileges).

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "tests/support/temp_folders.h"
#include "tests/support/tree_manifest.h"

// One combination of a project: filter, plugin identifier, stored property values by name.
struct TFaultCombination {
    QString Filter;
    QString StrID;
    std::vector<std::pair<QString, QByteArray>> Props;
};

struct TFaultProject {
    bool InputIsWork = false;
    bool DeleteWorkFiles = true;
    int Threads = 2;
    std::vector<TFaultCombination> Combinations;
};

// What a run of plovane-run left.
struct TBatchRun {
    int ExitCode = -1;  // -1: it did not end by itself
    int Signal = 0;     // the signal that ended it
    QString Out;
    QString Err;
    QString BatchLog;  // the newest batch log, as text
};

class BatchFaultTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Writes FTemp/project.plv for the input FInput and the work folder FWork.
    QString WriteProject(const TFaultProject& AProject);

    // Runs plovane-run on the project (with AEnv added to the environment) and waits.
    TBatchRun Run(const QString& AProject, const QMap<QByteArray, QByteArray>& AEnv = {});

    // Runs plovane-run until it creates a file whose path contains AStallAt (or, with
    // TStallStep::Rename, is about to rename a file whose old path contains it), kills it there
    // with SIGKILL and collects it. False (a test failure) when it never got there.
    enum class TStallStep { Create, Rename };
    bool RunAndKillAt(const QString& AProject, const QString& AStallAt,
                      const QMap<QByteArray, QByteArray>& AEnv = {},
                      TStallStep AStep = TStallStep::Create);

    // Runs AWork in a forked helper: it may enter a mount namespace or drop privileges before
    // calling Run. Returns the run or skips (GTEST_SKIP in the caller: check Skipped).
    struct THelped {
        bool Skipped = false;
        QString SkipReason;
        TBatchRun Run;
    };
    THelped RunHelped(const std::function<QString()>& ASetUp, const QString& AProject,
                      const QMap<QByteArray, QByteArray>& AEnv = {});

    // The work folder's regular files that differ from the input file of the same name.
    QStringList CopiesDifferingFromInput(const QStringList& AExcept = {}) const;

    TTempFolder FTemp;
    QString FProgram;
    QString FDataRoot;
    QString FInput;
    QString FWork;
};

// Drops the privileges that let root read and write any file (from this process and, through
// the bounding set, from the programs it starts), so file modes bind root as well. Empty on
// success, else why not. Only in a forked helper.
QString DropFileAccessPrivileges();

// The batch log's lines that name APath.
QStringList LogLinesNaming(const QString& ALog, const QString& APath);

#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The command line of plovane-run.
struct TRunOptions {
    QString ProjectPath;
    std::optional<int> Threads;
    QString DataRoot;
    bool Quiet = false;
    bool ListPlugins = false;
    bool Help = false;
};

// Exit codes of plovane-run.
enum TRunExitCode : int {
    KExitDone = 0,
    KExitDoneWithProblems = 1,
    KExitInterrupted = 2,
    KExitProjectInvalid = 3,
    KExitUsage = 64
};

// Parses the arguments (without the program name); nothing and an error text on bad usage.
std::optional<TRunOptions> ParseRunOptions(const QStringList& AArguments, QString* AError);

QString RunUsageText();

class TModuleShared;
class TPluginHost;

// Loads the project and runs its batch without a window; returns the exit code.
int RunProjectFromCommandLine(const TRunOptions& AOptions);

// The same inside an existing application module and plugin host (the desktop program's
// command line uses it until its window runs batches).
int RunProjectBatch(TModuleShared& AModule, TPluginHost& AHost, const TRunOptions& AOptions);

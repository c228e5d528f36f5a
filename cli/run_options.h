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
    bool Version = false;
    bool Json = false;  // the outcome as one JSON object on standard output, no progress
};

// plovane-run's exit code for a command line it cannot follow; the others are those of a
// headless run (project/headless_run.h).
inline constexpr int KExitUsage = 64;

// Parses the arguments (without the program name); nothing and an error text in the chosen
// language on bad usage.
std::optional<TRunOptions> ParseRunOptions(const QStringList& AArguments, QString* AError);

// The folder given with "--data-root", or empty; also for a command line that is wrong
// elsewhere, so that its messages can come in the language of that data root.
QString DataRootArgument(const QStringList& AArguments);

// "plovane-run (Plovane) VERSION", the answer to "--version".
QString RunVersionText();

// The help in the chosen language; AOptionsFile is the options file it names for switching the
// human safe mode off.
QString RunUsageText(const QString& AOptionsFile);

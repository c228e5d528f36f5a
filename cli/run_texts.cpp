#include "cli/run_texts.h"

// The constants spell their file and section out instead of using the inline constants of the
// translation headers, so that they never depend on the order of static initialisation.
const TqvlgNativeText KTextRunThreadsWrong{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunThreadsWrong"), QStringLiteral("{dynOption} needs a number from 1 to 81."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextRunDataRootMissing{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunDataRootMissing"), QStringLiteral("{dynOption} needs a folder."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextRunUnknownOption{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunUnknownOption"), QStringLiteral("Unknown option: {dynOption}"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextRunOneProjectOnly{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunOneProjectOnly"), QStringLiteral("Only one project can be run at a time."),
    QString()};
const TqvlgNativeText KTextRunNoProject{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunNoProject"), QStringLiteral("No project given."), QString()};
const TqvlgNativeText KTextRunUsageWord{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunUsageWord"), QStringLiteral("Usage"), QString()};
const TqvlgNativeText KTextRunUsagePurpose{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunUsagePurpose"),
    QStringLiteral("Loads a project and runs its batch without a window."), QString()};
const TqvlgNativeText KTextRunUsageThreads{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunUsageThreads"),
    QStringLiteral(
        "run with at most N worker threads at once (1 to 81) instead of the project's setting"),
    QString()};
const TqvlgNativeText KTextRunUsageDataRoot{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunUsageDataRoot"),
    QStringLiteral("keep the data (options, logs, temp folders) in DIR for this run"), QString()};
const TqvlgNativeText KTextRunUsageQuiet{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunUsageQuiet"),
    QStringLiteral("no progress output; messages of the Qt library go to the program log only"),
    QString()};
const TqvlgNativeText KTextRunUsageListPlugins{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunUsageListPlugins"),
    QStringLiteral("print each plugin's name, identifier, version and path"), QString()};
const TqvlgNativeText KTextRunUsageJson{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunUsageJson"),
    QStringLiteral("no progress output; at the end, the outcome as one JSON object on standard "
                   "output instead of the summary"),
    QString()};
const TqvlgNativeText KTextRunUsageVersion{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunUsageVersion"), QStringLiteral("the program's name and version"), QString()};
const TqvlgNativeText KTextRunUsageHelp{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunUsageHelp"), QStringLiteral("this text"), QString()};
const TqvlgNativeText KTextRunUsageCtrlC{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunUsageCtrlC"),
    QStringLiteral(
        "Ctrl+C stops the batch the way the Stop command does; a second Ctrl+C ends at once."),
    QString()};
const TqvlgNativeText KTextRunUsageSafeMode{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunUsageSafeMode"),
    QStringLiteral(
        "Human safe mode is on by default: a project may then only use an input directory inside "
        "the data root's temp/input/ and a work directory inside its temp/work/; other folders are "
        "refused and the batch does not run. To allow other folders, set {dynKey}=0 in the section "
        "[{dynSection}] of the options file \"{dynDirFilePathName}\"."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextRunUsageExitCodes{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunUsageExitCodes"), QStringLiteral("Exit codes"), QString()};
const TqvlgNativeText KTextRunExitDone{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunExitDone"), QStringLiteral("done"), QString()};
const TqvlgNativeText KTextRunExitDoneWithProblems{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunExitDoneWithProblems"),
    QStringLiteral("done, but something went wrong with paths (see the batch log)"), QString()};
const TqvlgNativeText KTextRunExitInterrupted{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunExitInterrupted"),
    QStringLiteral("interrupted (by the user or a plugin's advice)"), QString()};
const TqvlgNativeText KTextRunExitProjectInvalid{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunExitProjectInvalid"),
    QStringLiteral("the project cannot be loaded or its settings are invalid"), QString()};
const TqvlgNativeText KTextRunExitBatchNotRun{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunExitBatchNotRun"),
    QStringLiteral("the batch could not be run (the plugins or the batch log could not be set up)"),
    QString()};
const TqvlgNativeText KTextRunExitUsage{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunExitUsage"), QStringLiteral("usage error"), QString()};
const TqvlgNativeText KTextRunProgressBar{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunProgressBar"),
    QStringLiteral("{dynItemsDone}/{dynPathsToDo} done  {dynTimeUsed}"), QStringLiteral("__curly")};
const TqvlgNativeText KTextRunProgressLine{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunProgressLine"),
    QStringLiteral("progress: {dynItemsDone}/{dynPathsToDo} done, {dynTimeUsed} elapsed"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextRunStopping{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("RunStopping"),
    QStringLiteral("Stopping: waiting for the running work to end..."), QString()};

std::vector<TqvlgNativeText> RunNativeTexts() {
    return {KTextRunThreadsWrong,         KTextRunDataRootMissing,  KTextRunUnknownOption,
            KTextRunOneProjectOnly,       KTextRunNoProject,        KTextRunUsageWord,
            KTextRunUsagePurpose,         KTextRunUsageThreads,     KTextRunUsageDataRoot,
            KTextRunUsageQuiet,           KTextRunUsageListPlugins, KTextRunUsageJson,
            KTextRunUsageVersion,         KTextRunUsageHelp,        KTextRunUsageCtrlC,
            KTextRunUsageSafeMode,        KTextRunUsageExitCodes,   KTextRunExitDone,
            KTextRunExitDoneWithProblems, KTextRunExitInterrupted,  KTextRunExitProjectInvalid,
            KTextRunExitBatchNotRun,      KTextRunExitUsage,        KTextRunProgressBar,
            KTextRunProgressLine,         KTextRunStopping};
}

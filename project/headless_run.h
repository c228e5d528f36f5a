#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class TCollectionInternalPluginTypes;
class TModuleShared;
class TPluginHost;

// Exit codes of a project run without a window (plovane-run and the desktop program's
// headless start).
enum THeadlessExitCode : int {
    KExitDone = 0,
    KExitDoneWithProblems = 1,  // something went wrong with paths; see the batch log
    KExitInterrupted = 2,       // by the user or by a plugin's advice
    KExitProjectInvalid = 3,    // the project cannot be loaded or its settings are invalid
    KExitBatchNotRun = 4        // the plugins or the batch itself could not be set up
};

struct TBatchRunResult;

// The exit code of a batch that ran.
int HeadlessExitCode(const TBatchRunResult& AResult);
// What a run without a window says of a batch that ran: where its log is, and the summary.
QStringList HeadlessOutcomeLines(const TBatchRunResult& AResult);

// What to run.
struct THeadlessRunRequest {
    QString ProjectPath;
    std::optional<int> Threads;  // instead of the project's maximum of worker threads
};

// What a run without a window shows its user. The defaults print the outcome on standard
// output and problems on standard error, and show no progress.
class THeadlessRunView {
public:
    virtual ~THeadlessRunView() = default;
    // The settings were found valid and the batch is about to start.
    virtual void BatchStarting();
    // The batch's progress; called from any batch thread.
    virtual void Progress(int AMax, int APosition);
    // About ten times a second on the thread that waits for the batch.
    virtual void WaitTick();
    // Asked on each tick; true asks the batch to stop the way the Stop command does (once).
    virtual bool StopRequested();
    // The stop has reached the batch: no further path will be started.
    virtual void StopPassedOn();
    // After BatchStarting: the batch has ended or could not be run; the outcome follows.
    virtual void BatchEnded();
    // The batch that ran, right after BatchEnded and before its outcome lines.
    virtual void BatchResult(const TBatchRunResult& AResult);
    // One line of the outcome: the batch log and the summary.
    virtual void Outcome(const QString& ALine);
    // One line about a problem, such as "Error: ...".
    virtual void Problem(const QString& ALine);
};

// The plugin host of a run without a window: the registry's plugins and the libraries of the
// module's plugin folder. Null when discovery failed; the view has been told why.
std::unique_ptr<TPluginHost> DiscoverPluginsHeadless(
    TModuleShared& AModule, const TCollectionInternalPluginTypes& ARegistry,
    THeadlessRunView& AView);

// Loads the project, checks its settings (questions go to the module's prompts), runs its
// batch and tells the view the outcome; returns the exit code. A batch that cannot be run at
// all is also recorded in the program log.
int RunProjectHeadless(TModuleShared& AModule, TPluginHost& AHost,
                       const THeadlessRunRequest& ARequest, THeadlessRunView& AView);

#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "batch/batch_plugin_props.h"
#include "batch/batch_work_path.h"
#include "batch/project_settings.h"
#include "batch/worker_registry.h"
#include "platform/trash.h"
#include "plugin_host/plugin_contract.h"

class TPluginHost;
class TqvLogging;
class TBatchEngine;
class TWorkerPool;
class TPathFilter;
class TPathFilterList;

// What the engine last learned a work path to be, so that the filter test needs no query of its
// own: from the walk of the batch root, then from each worker's check of the path it returned.
enum class TKnownPathKind : unsigned char { Unknown, Missing, File, Directory };

// What a batch needs from its surroundings.
struct TBatchEngineSetup {
    TProjectGeneralSettings Settings;
    std::vector<TBatchCombination> Combinations;  // run order
    TPluginHost* Host = nullptr;       // serves the plugins' work callbacks while the batch runs
    QString TempFolder;                // value files ("*.val") are removed from here at the end
    TBatchLogWriter LogWriter;         // batch log entries
    TqvLogging* ProgramLog = nullptr;  // copy problems
    // Progress: Min 0, Max the paths to do, Position the workers done; from any batch thread.
    std::function<void(int AMin, int AMax, int APosition, bool ADone)> OnProgress;
    // An error that ended the batch early (on the engine thread).
    std::function<void(const std::exception& AError)> OnException;
    // Runs on the engine thread when the batch has ended, whatever the way.
    std::function<void(TBatchEngine& AEngine)> OnTerminate;
    // The emptied work folder's content goes to the trash (else it is deleted for good).
    bool DeleteToTrash = true;
    // Where the trash is; tests point it at folders of their own.
    TTrashPlaces Trash = TTrashPlaces::FromEnvironment();
};

// Counts of what went wrong with paths during a batch. Paths that plugins deleted on purpose or
// stopped with path advice are not problems.
struct TBatchProblemCounts {
    int WorkPathReports = 0;    // plugins' reports through the host
    int CopyFailures = 0;       // files that could not be copied into the work folder
    int RefusedOutputs = 0;     // output paths that do not exist or leave the batch root
    int PluginFailures = 0;     // plugins that raised during their work call
    int RefusedLongPaths = 0;   // paths too long to hand to a plugin
    int UnusableNames = 0;      // names that are not valid UTF-8: kept, but not handed to plugins
    int RefusedAddedPaths = 0;  // paths plugins asked to add that are missing or leave the root
    int EmptyFailures = 0;      // work folder entries that could not be emptied
    int UnreadableFolders = 0;  // folders of the input or the batch root that cannot be listed
    int LinksLeadingOut = 0;    // links whose real location is outside the batch root
    int LeftoversKept = 0;      // leftover temporary files that could not be removed
    int Total() const {
        return WorkPathReports + CopyFailures + RefusedOutputs + PluginFailures + RefusedLongPaths +
               UnusableNames + RefusedAddedPaths + EmptyFailures + UnreadableFolders +
               LinksLeadingOut + LeftoversKept;
    }
};

// One batch of a project: prepares the work folder (empties it, copies the input folder into
// it, counts the paths to do), then runs the combinations in order over the work paths with at
// most MaxWorkerThreadsRunning workers at once. Only one engine exists at a time.
// Nothing polls and no thread is started per path: the workers run on reusable threads, and the
// dispatcher's role passes between them, so a thread that finishes a path goes on to the next.
class TBatchEngine final : public IExeWorkCallbacks {
public:
    // Raises EqvValueOutOfValidRangeError when an engine exists already. Created suspended.
    explicit TBatchEngine(TBatchEngineSetup ASetup);
    // Waits for the batch to end.
    ~TBatchEngine() override;
    TBatchEngine(const TBatchEngine&) = delete;
    TBatchEngine& operator=(const TBatchEngine&) = delete;

    static TBatchEngine* Instance();

    void Resume();
    // The stop request: nothing new is dispatched; running work finishes; clean-up still runs.
    void Terminate();
    bool Terminated() const { return FStop.load(); }
    // Blocks until the engine thread has ended.
    void WaitFor();
    bool Finished() const { return FFinished.load(); }

    unsigned MaxWorkerThreadsRunning() const;
    void SetMaxWorkerThreadsRunning(unsigned AValue);

    QString SelectedActiveRootBatchPath() const { return FSelectedActiveRootBatchPath; }
    // The paths that match at least one combination (what "Paths to do" shows).
    int InputWorkPathesCount() const { return FInputWorkPathesCount.load(); }
    // The work calls to do: one per path and combination whose filter it matches, so that a
    // progress bar can count every combination's work.
    int WorkCallsToDo() const { return FWorkCallsToDo.load(); }
    // The work folder was to be emptied but was left as it is: its top level holds no ordinary
    // file (only folders or hidden entries).
    bool WorkFolderLeftAsItIs() const { return FWorkFolderLeftAsItIs.load(); }
    int InputWorkPathesDone() const { return FInputWorkPathesDone.load(); }
    bool PluginAdviseProjectBatchStop() const { return FPluginAdviseProjectBatchStop.load(); }
    bool PluginAdviseMainBatchStop() const { return FPluginAdviseMainBatchStop.load(); }
    TBatchProblemCounts ProblemCounts() const;
    // The error that ended the batch early, if any.
    std::exception_ptr Failure() const { return FFailure; }

    // IExeWorkCallbacks: the host hands the plugins' work callbacks here while the main run lasts.
    void ExeHandleWorkPathErrorMsg(const QString& AErrorMsg, const QString& AAdviceMsg) override;
    void ExeHandleWorkPathErrorMsgW(const QString& AErrorMsg, const QString& AAdviceMsg) override;
    void ExeRequestAddPathToBatch(const QString& APath) override;

private:
    void Execute();
    void Prepare();
    void EmptyWorkFolder();
    void CopyInputToWork();
    void CountPathsToDo();
    void MainRun();
    void RunCombination(const TBatchCombination& ACombination);
    struct TDispatchedPath {
        std::size_t Index = 0;
        QString Path;
        TKnownPathKind Kind = TKnownPathKind::Unknown;
        bool Directory = false;
    };
    // Runs on a pool thread: takes the dispatcher's role in turn with the other loops, picks
    // the next path, then works on it itself, so a finished worker's thread goes straight on
    // to the next path without waking another thread.
    void DispatchLoop(const TBatchCombination& ACombination, const TPathFilter& AFilter);
    // The next path in list order that may match (judged from its text), with a slot taken
    // for it; false when the loop is to end (the list is done, a stop came, or the maximum
    // was lowered).
    bool DispatchNext(const TPathFilter& AFilter, TDispatchedPath& ANext);
    // This loop ends; the others go on.
    void LeaveDispatchLoop(std::unique_lock<std::mutex>& ALock);
    // The combination's dispatch is over and every loop ends; AHoldsRole gives the role up.
    void EndDispatch(std::unique_lock<std::mutex>& ALock, bool AHoldsRole);
    // Ends the combination's dispatch with an error; AHoldsRole gives the role up.
    void FailDispatch(std::exception_ptr AError, bool AHoldsRole);
    // Hands an error that ended the batch to OnException, never raising.
    void Report(const std::exception& AError) noexcept;
    // Gives a worker's slot back (and the folder's hold, for a directory path).
    void ReleaseSlot(bool ADirectory);
    void NotifyDispatch();
    void WorkerFinished(TBatchWorkPath& AWorker, bool ADirectory);
    void CleanUp();
    void Progress(bool ADone);
    void Log(const QString& AEntry);
    // The batch root's walk; what cannot be handed to plugins is logged and left out.
    QStringList WalkBatchRoot(const QString& ARoot, std::vector<TKnownPathKind>& AKinds);
    // Whether a path's real location (links followed) is inside the batch root.
    bool RealLocationInsideRoot(const QString& APath, QString& AReal) const;
    // A temporary file of this program found in the batch root: removed when the process that
    // made it has ended; never handed to plugins.
    void HandleOwnTemporary(const QByteArray& ANativePath, std::int64_t AProcess);
    // The paths plugins asked to add that may join the list: inside the batch root and there.
    QStringList AcceptedAddedPaths(const QStringList& AAdded);
    void CountProblem(int TBatchProblemCounts::*ACounter);
    // Every combination's filter: what the copy and the count call handled paths.
    TPathFilterList HandledPathFilters() const;
    void WaitForWorkers();

    TBatchEngineSetup FSetup;
    bool FIncludeSubDirs = true;
    // The folders' real, absolute and clean forms, decided once when the batch starts.
    QString FInputFolder;
    QString FWorkFolder;
    QString FSelectedActiveRootBatchPath;
    std::vector<QString> FWorkPathesList;
    std::vector<TKnownPathKind> FWorkPathKinds;  // one per entry, guarded with the list
    QStringList FWalkedBatchRoot;                // the count's walk, handed to the main run
    std::vector<TKnownPathKind> FWalkedKinds;
    bool FWalkedBatchRootComplete = false;
    std::mutex FCsWorkPathesList;
    std::mutex FCsWorkerThreadTerminate;
    // Dispatch state, guarded by FCsDispatch: running workers, the maximum, the directory flag,
    // and the dispatch loops of the running combination.
    mutable std::mutex FCsDispatch;
    std::condition_variable FSlotChanged;     // a worker finished (a slot or the folder freed)
    std::condition_variable FDispatcherFree;  // the dispatcher's role was given up
    std::condition_variable FLoopsChanged;    // a dispatch loop ended
    std::size_t FDispatchIndex = 0;           // next work path list entry to look at
    bool FDispatchDone = false;               // the list is done (or a stop came)
    bool FDispatcherBusy = false;             // a loop holds the dispatcher's role
    int FDispatchLoops = 0;                   // loops submitted and not yet ended
    std::exception_ptr FDispatchFailure;      // an error of a loop, raised by the engine
    int FCurWorkerThreadsRunning = 0;
    unsigned FMaxWorkerThreadsRunning = 1;
    bool FWorkingOnDirKeepSingleWorkThread = false;

    std::atomic<int> FInputWorkPathesCount{0};
    std::atomic<int> FInputWorkPathesDone{0};
    std::atomic<int> FWorkCallsToDo{0};
    std::atomic<bool> FWorkFolderLeftAsItIs{false};
    std::atomic<bool> FStop{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FPluginAdviseProjectBatchStop{false};
    std::atomic<bool> FPluginAdviseMainBatchStop{false};

    TqvThreadStringList FRegistry;
    std::mutex FAddedLock;
    QStringList FAddedPaths;
    mutable std::mutex FProblemsLock;
    TBatchProblemCounts FProblems;
    std::exception_ptr FFailure;
    std::unique_ptr<TWorkerPool> FPool;
    std::thread FThread;
};

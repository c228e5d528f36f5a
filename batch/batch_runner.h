#pragma once

#include <QDateTime>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "app/batch_status.h"
#include "batch/batch_engine.h"
#include "batch/batch_plugin_props.h"
#include "batch/project_settings.h"

class TModuleShared;
class TPluginHost;

// What one batch is run on.
struct TBatchRunRequest {
    TProjectGeneralSettings Settings;
    std::vector<TBatchCombination> Combinations;
    QString ProjectFilePath;  // empty for a project never saved
};

// How a batch ended.
struct TBatchRunResult {
    QString StatusText;  // "Done", "Interrupted by user", "Interrupted by plugin", "Interrupted"
    bool Interrupted = false;
    bool UserInterrupted = false;
    bool PluginInterrupted = false;
    bool Failed = false;  // an error ended the batch early
    QString FailureText;
    // The batch log could not take every entry (its disk filled up, say): it is incomplete.
    bool LogWriteFailed = false;
    QString LogWriteFailure;
    int PathsToDo = 0;  // the paths that matched at least one combination
    int ItemsDone = 0;
    qint64 ElapsedMs = 0;
    QString TimeUsedText;
    QString LogPath;
    TBatchProblemCounts Problems;
    // The work folder was to be emptied but was left as it is (its top level holds only
    // folders or hidden entries); the batch log says so.
    bool WorkFolderLeftAsItIs = false;
    QString WorkFolder;
};

// Whoever watches a batch: progress from any batch thread, and a tick on the waiting thread
// (the window pumps its messages there; the command line draws its progress).
struct TBatchRunObserver {
    // AMax: the paths to do; APosition: the work calls done (it passes AMax when a path is
    // matched by several combinations).
    std::function<void(int AMax, int APosition, bool ADone)> OnProgress;
    // For a progress bar over every combination's work: the work calls to do (never fewer than
    // those done) and the calls done. From any batch thread.
    std::function<void(int AWorkCalls, int ADone)> OnWorkProgress;
    std::function<void()> OnWaitTick;
    int TickMs = 100;
};

// The batch wrapper without a window: validates the general settings, writes the batch log's
// start and end entries, runs the engine and keeps the batch status flags in the application
// module. The window and the command line both run batches through it.
class TBatchRunner {
public:
    TBatchRunner(TModuleShared& AModule, TPluginHost& AHost);

    // Checks and repairs the general settings, asking and telling through the module's prompts.
    bool ValFrameProgramSetupGeneral(TProjectGeneralSettings& ASettings);
    // Checks that every combination's filter can be matched (a mask with an unclosed "[" cannot),
    // telling the first that cannot through the module's prompts; before anything is emptied
    // or copied.
    bool ValCombinationFilters(const std::vector<TBatchCombination>& ACombinations);

    // Instead of the program option PluginCallWarnSeconds: how long a plugin call may run
    // before the batch log tells of it (zero: never).
    void SetPluginCallWarnAfter(std::optional<std::chrono::milliseconds> AValue) {
        FPluginCallWarnAfter = AValue;
    }

    // Runs one whole batch and waits for it (on the calling thread).
    TBatchRunResult RunBatch(const TBatchRunRequest& ARequest,
                             const TBatchRunObserver& AObserver = {});

    // The Stop command; callable from any thread.
    void InterruptBatch();
    // "Update settings runtime": the running engine's maximum of simultaneous workers.
    void SetRuntimeMaxWorkerThreads(unsigned AValue);

    TBatchStatusSet Status() const;

    // The status word of the present flags (untranslated English).
    static QString StatusWord(const TBatchStatusSet& AStatus);
    // Milliseconds as days, hours, minutes, seconds and milliseconds in words.
    static QString TimeUsedText(qint64 AMilliseconds);

private:
    // Why AFolder may not be the folder a batch writes into (the root, or a folder that is or
    // holds the home folder, the data root or the program folder); empty when it may.
    QString RefusedFolderText(const QString& AFolder, const QString& ACaption) const;
    void SetStatus(std::initializer_list<TBatchStatusTypes> AInclude,
                   std::initializer_list<TBatchStatusTypes> AExclude);
    // Writes an entry; a failure is recorded once for the batch's result and the program log,
    // never raised, so that a full disk neither stops the batch nor floods anything.
    void WriteLog(const QString& AText);
    void OnEngineTerminate(TBatchEngine& AEngine);

    TModuleShared& FModule;
    TPluginHost& FHost;
    std::mutex FWaitLock;
    std::condition_variable FEngineEnded;
    std::mutex FProgressLock;
    int FShownPathsToDo = 0;
    int FShownItemsDone = 0;
    std::mutex FLogFailureLock;
    bool FLogWriteFailed = false;
    QString FLogWriteFailure;
    std::optional<std::chrono::milliseconds> FPluginCallWarnAfter;
};

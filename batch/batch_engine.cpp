#include "batch/batch_engine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <deque>

#include <utility>

#include "app/folder_walk.h"
#include "app/program_log.h"
#include "base/exceptions.h"
#include "base/finally.h"
#include "batch/path_filter.h"
#include "batch/worker_pool.h"
#include "platform/file_copy.h"
#include "platform/native_path.h"
#include "platform/own_temporary.h"
#include "platform/process_info.h"
#include "platform/system_folders.h"
#include "platform/trash.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugin_host/property_values.h"

namespace {

std::atomic<TBatchEngine*> GEngine{nullptr};

TPathFacts::TKind FactsKind(TKnownPathKind AKind) {
    switch (AKind) {
        case TKnownPathKind::File:
            return TPathFacts::TKind::File;
        case TKnownPathKind::Directory:
            return TPathFacts::TKind::Directory;
        default:
            return TPathFacts::TKind::Missing;
    }
}

unsigned ClampThreads(int AValue) {
    return static_cast<unsigned>(std::clamp(AValue, TProjectGeneralSettings::KMinWorkerThreads,
                                            TProjectGeneralSettings::KMaxWorkerThreads));
}

}  // namespace

TBatchEngine::TBatchEngine(TBatchEngineSetup ASetup) : FSetup(std::move(ASetup)) {
    TBatchEngine* expected = nullptr;
    if (!GEngine.compare_exchange_strong(expected, this))
        throw EqvValueOutOfValidRangeError();
    FMaxWorkerThreadsRunning = ClampThreads(FSetup.Settings.MaxWorkerThreads);
    FPool = std::make_unique<TWorkerPool>();
}

TBatchEngine::~TBatchEngine() {
    WaitFor();
    FPool.reset();
    TBatchEngine* self = this;
    GEngine.compare_exchange_strong(self, nullptr);
}

TBatchEngine* TBatchEngine::Instance() {
    return GEngine.load();
}

void TBatchEngine::Resume() {
    if (FThread.joinable() || FFinished)
        return;
    FThread = std::thread([this] { Execute(); });
}

void TBatchEngine::Terminate() {
    {
        const std::lock_guard lock(FCsDispatch);
        FStop = true;
    }
    NotifyDispatch();
}

void TBatchEngine::WaitFor() {
    if (FThread.joinable())
        FThread.join();
}

unsigned TBatchEngine::MaxWorkerThreadsRunning() const {
    const std::lock_guard lock(FCsDispatch);
    return FMaxWorkerThreadsRunning;
}

void TBatchEngine::SetMaxWorkerThreadsRunning(unsigned AValue) {
    {
        const std::lock_guard lock(FCsDispatch);
        FMaxWorkerThreadsRunning = ClampThreads(static_cast<int>(std::min<unsigned>(AValue, 1000)));
    }
    NotifyDispatch();
}

void TBatchEngine::NotifyDispatch() {
    FSlotChanged.notify_all();
    FDispatcherFree.notify_all();
    FLoopsChanged.notify_all();
}

TBatchProblemCounts TBatchEngine::ProblemCounts() const {
    const std::lock_guard lock(FProblemsLock);
    return FProblems;
}

void TBatchEngine::Log(const QString& AEntry) {
    if (FSetup.LogWriter)
        FSetup.LogWriter(AEntry);
}

void TBatchEngine::Progress(bool ADone) {
    if (!FSetup.OnProgress)
        return;
    // Max is the paths to do, Position the work calls done: with several combinations a path
    // is worked on more than once, so the position may pass Max (WorkCallsToDo is the end of
    // the work).
    FSetup.OnProgress(0, FInputWorkPathesCount.load(), FInputWorkPathesDone.load(), ADone);
}

void TBatchEngine::Execute() {
    try {
        Prepare();
        Progress(false);
        if (!Terminated())
            MainRun();
    } catch (const std::exception& e) {
        FFailure = std::current_exception();
        Report(e);
    } catch (...) {
        FFailure = std::current_exception();
        Report(EqvOperationNotPossibleUnknownReason(
            QStringLiteral("The batch ended with an unknown error.")));
    }
    // The value files go also when the batch ended with an error.
    try {
        CleanUp();
    } catch (const std::exception& e) {
        Report(e);
    }
    // Also after an error: the last count shown is the exact one.
    try {
        Progress(true);
    } catch (const std::exception& e) {
        Report(e);
    }
    FFinished = true;
    if (FSetup.OnTerminate)
        FSetup.OnTerminate(*this);
}

void TBatchEngine::Report(const std::exception& AError) noexcept {
    // Nothing may escape the engine thread; a handler that fails itself leaves the error in
    // the program log at least.
    try {
        if (FSetup.OnException) {
            FSetup.OnException(AError);
            return;
        }
    } catch (const std::exception& e) {
        if (FSetup.ProgramLog != nullptr)
            FSetup.ProgramLog->Log(nullptr, &e, QStringLiteral("Reporting a batch error"));
    } catch (...) {
        if (FSetup.ProgramLog != nullptr)
            FSetup.ProgramLog->Log(nullptr, nullptr,
                                   QStringLiteral("Reporting a batch error failed"));
    }
    // The program log's Log never raises.
    if (FSetup.ProgramLog != nullptr)
        FSetup.ProgramLog->Log(nullptr, &AError, QStringLiteral("The batch ended early"));
}

TPathFilterList TBatchEngine::HandledPathFilters() const {
    QStringList filters;
    for (const TBatchCombination& combination : FSetup.Combinations)
        filters << combination.Filter;
    return TPathFilterList(filters);
}

void TBatchEngine::CountProblem(int TBatchProblemCounts::*ACounter) {
    const std::lock_guard lock(FProblemsLock);
    ++(FProblems.*ACounter);
}

QStringList TBatchEngine::WalkBatchRoot(const QString& ARoot, std::vector<TKnownPathKind>& AKinds) {
    QStringList entries;
    QStringList special;
    std::vector<TWalkEntryKind> kinds;
    TWalkFolderOptions options;
    options.Recurse = FIncludeSubDirs;
    options.Entries = &entries;
    options.EntryKinds = &kinds;
    options.SpecialFiles = &special;
    options.AbortTest = [this] { return Terminated(); };
    // Such a name has no text that names it: a plugin could only be handed a changed name.
    options.OnUndecodable = [this](const QByteArray& ANativePath, TWalkNativeKind AKind) {
        CountProblem(&TBatchProblemCounts::UnusableNames);
        Log(QStringLiteral("  Path not passed to plugins: its name is not valid UTF-8 (the bytes "
                           "that are not are shown as \\xHH)") +
            (AKind == TWalkNativeKind::Folder
                 ? QStringLiteral(", nor is anything below this directory")
                 : QString()) +
            QStringLiteral(". Path was \"") + EscapedNativePath(ANativePath) +
            QStringLiteral("\".\r\n"));
    };
    // Links are the only entries whose real location is asked: a plugin handed one that leads
    // out would write outside the batch root. Links to folders are never followed anyway.
    options.AcceptLink = [this](const QString& APath, bool AFolder) {
        QString real;
        if (RealLocationInsideRoot(APath, real))
            return true;
        CountProblem(&TBatchProblemCounts::LinksLeadingOut);
        Log(QStringLiteral("  Path not passed to plugins: it is a symbolic link ") +
            (AFolder ? QStringLiteral("to a directory ") : QString()) +
            (real.isEmpty() ? QStringLiteral("whose real location cannot be found (links that "
                                             "loop)")
                            : QStringLiteral("whose real location \"") + real +
                                  QStringLiteral("\" is outside the batch root \"") +
                                  FSelectedActiveRootBatchPath + QStringLiteral("\"")) +
            QStringLiteral(". Path was \"") + APath + QStringLiteral("\".\r\n"));
        return false;
    };
    options.OnUnreadableFolder = [this](const QString& AFolder, const QString& AReason) {
        CountProblem(&TBatchProblemCounts::UnreadableFolders);
        Log(QStringLiteral("  Directory could not be read, so nothing in it is passed to "
                           "plugins: \"") +
            AFolder + QStringLiteral("\": ") + AReason + QStringLiteral(".\r\n"));
    };
    options.OnOwnTemporary = [this](const QByteArray& ANativePath, std::int64_t AProcess) {
        HandleOwnTemporary(ANativePath, AProcess);
    };
    WalkFolder(ARoot, options);
    // Opening one would wait for ever for a writer.
    for (const QString& path : std::as_const(special))
        Log(QStringLiteral("  Special file (FIFO, socket or device) not passed to plugins: \"") +
            path + QStringLiteral("\".\r\n"));
    AKinds.clear();
    AKinds.reserve(kinds.size());
    for (const TWalkEntryKind kind : kinds)
        AKinds.push_back(kind == TWalkEntryKind::File     ? TKnownPathKind::File
                         : kind == TWalkEntryKind::Folder ? TKnownPathKind::Directory
                                                          : TKnownPathKind::Missing);
    return entries;
}

bool TBatchEngine::RealLocationInsideRoot(const QString& APath, QString& AReal) const {
    AReal = RealLocation(APath);
    return !AReal.isEmpty() && IncludeTrailingSeparator(AReal).startsWith(
                                   FSelectedActiveRootBatchPath, Qt::CaseSensitive);
}

void TBatchEngine::HandleOwnTemporary(const QByteArray& ANativePath, std::int64_t AProcess) {
    const QString shown = EscapedNativePath(ANativePath);
    const QString process = QString::number(AProcess);
    if (!ProcessHasEnded(AProcess)) {
        // Another batch (or this one) is still writing it.
        Log(QStringLiteral("  Temporary file of the running process ") + process +
            QStringLiteral(" not passed to plugins: \"") + shown + QStringLiteral("\".\r\n"));
        return;
    }
    QString reason;
    if (RemoveLeftoverFile(ANativePath, reason)) {
        Log(QStringLiteral("  Leftover temporary file of an ended batch (process ") + process +
            QStringLiteral(") removed: \"") + shown + QStringLiteral("\".\r\n"));
        return;
    }
    CountProblem(&TBatchProblemCounts::LeftoversKept);
    Log(QStringLiteral("  Leftover temporary file of an ended batch (process ") + process +
        QStringLiteral(") could not be removed and is not passed to plugins: \"") + shown +
        QStringLiteral("\": ") + reason + QStringLiteral(".\r\n"));
}

void TBatchEngine::Prepare() {
    const TProjectGeneralSettings& settings = FSetup.Settings;
    // One form of each folder for everything that follows: the copy cuts names by the input
    // folder's length, and the root check compares texts.
    FInputFolder = RealFolderPath(settings.InputDirPath);
    FWorkFolder = RealFolderPath(settings.WorkDirPath);
    FSelectedActiveRootBatchPath = settings.InputDirIsWorkDir ? FInputFolder : FWorkFolder;
    FIncludeSubDirs = settings.IncludeSubDirs;
    if (Terminated())
        return;

    // The combinations are ready (set up by the caller); emptying the work folder comes first.
    if (!settings.InputDirIsWorkDir && settings.DeleteWorkDirFiles && !Terminated())
        EmptyWorkFolder();
    if (!settings.InputDirIsWorkDir && !Terminated())
        CopyInputToWork();
    if (!Terminated())
        CountPathsToDo();
}

void TBatchEngine::EmptyWorkFolder() {
    const QByteArray work = QFile::encodeName(FWorkFolder);
    // Listed by bytes: a name that is not UTF-8 is emptied like any other.
    std::vector<TFolderEntryNative> listed;
    QString error;
    if (!ListFolderNative(work, listed, &error)) {
        CountProblem(&TBatchProblemCounts::EmptyFailures);
        Log(QStringLiteral("  The work directory \"") + FWorkFolder +
            QStringLiteral("\" could not be emptied: ") + error + QStringLiteral(".\r\n"));
        return;
    }
    // A work folder whose top level holds no ordinary file (hidden ones do not count) is left
    // as it is: it may be a folder of folders that was never meant to be emptied. Its old
    // content stays among the batch's paths, so the user is told.
    const bool holdsFiles =
        std::any_of(listed.begin(), listed.end(), [](const TFolderEntryNative& AEntry) {
            return AEntry.OrdinaryFile && !AEntry.Name.startsWith('.');
        });
    if (!holdsFiles) {
        if (!listed.empty()) {
            FWorkFolderLeftAsItIs = true;
            Log(QStringLiteral("  The work directory \"") + FWorkFolder +
                QStringLiteral("\" was not emptied: its top level holds no ordinary file, only "
                               "folders or hidden entries, and such a work directory is left as "
                               "it is. What it holds is worked on with the copied input.\r\n"));
        }
        return;
    }
    TTrash trash(FSetup.Trash, FWorkFolder);
    int permanent = 0;
    QString noTrashReason;
    for (const TFolderEntryNative& entry : listed) {
        if (Terminated())
            break;
        const QByteArray path = work + entry.Name;
        QString why;
        TTrashResult result = TTrashResult::Failed;
        if (FSetup.DeleteToTrash)
            result = trash.Move(path, true, &why);
        else if (DeleteTreeNative(path, &why))
            result = TTrashResult::DeletedPermanently;
        switch (result) {
            case TTrashResult::Trashed:
                break;
            case TTrashResult::DeletedPermanently:
            case TTrashResult::NoTrash:
                ++permanent;
                if (noTrashReason.isEmpty())
                    noTrashReason = why;
                break;
            case TTrashResult::Failed:
                CountProblem(&TBatchProblemCounts::EmptyFailures);
                Log(QStringLiteral("  Could not empty \"") + EscapedNativePath(path) +
                    QStringLiteral("\" from the work directory: ") + why + QStringLiteral(".\r\n"));
                break;
        }
    }
    const auto entries = [](int ACount) {
        return QString::number(ACount) +
               (ACount == 1 ? QStringLiteral(" entry") : QStringLiteral(" entries"));
    };
    if (permanent > 0 && FSetup.DeleteToTrash)
        Log(QStringLiteral("  The work directory's content was deleted permanently (") +
            entries(permanent) + QStringLiteral("). ") + noTrashReason + QStringLiteral(".\r\n"));
}

void TBatchEngine::CopyInputToWork() {
    const QString& input = FInputFolder;
    const QString& work = FWorkFolder;
    const TPathFilterList handled = HandledPathFilters();

    // The walk hands out the files in runs of one folder each, as it goes, and two threads copy
    // whole runs meanwhile: the copying starts before the walk ends, and the two threads do not
    // create files in the same folder at the same time (they would wait for each other on its
    // lock). A folder is created, in walk order, before its run is handed out.
    std::mutex queueLock;
    std::condition_variable queueChanged;
    std::deque<QStringList> runs;
    bool walkEnded = false;
    bool abandon = false;

    // The files of one run share their folder: both folders are opened once for the run.
    const auto copyRun = [&](const QStringList& ARun) {
        const QString folder = ARun.first().left(ARun.first().lastIndexOf(QLatin1Char('/')) + 1);
        const TFolderCopy copy(QFile::encodeName(folder),
                               QFile::encodeName(work + folder.mid(input.size())));
        for (const QString& source : ARun) {
            if (Terminated())
                return;
            QString error;
            if (copy.CopyFile(QFile::encodeName(source.mid(folder.size())), &error))
                continue;
            // Vanished since the walk; a link that leads nowhere is still there and is told.
            const QFileInfo info(source);
            if (!info.exists() && !info.isSymLink())
                continue;
            CountProblem(&TBatchProblemCounts::CopyFailures);
            try {
                Log(error + QStringLiteral("\r\n"));
            } catch (...) {
                // The program log below still records it.
            }
            if (FSetup.ProgramLog != nullptr) {
                const EqvOperationNotPossible failure(error);
                FSetup.ProgramLog->Log(nullptr, &failure);
            }
        }
    };
    const auto copier = [&] {
        LowerCurrentThreadPriority();
        for (;;) {
            QStringList run;
            {
                std::unique_lock lock(queueLock);
                queueChanged.wait(lock, [&] { return !runs.empty() || walkEnded || abandon; });
                if (abandon || runs.empty())
                    return;
                run = std::move(runs.front());
                runs.pop_front();
            }
            if (Terminated())
                return;
            copyRun(run);
        }
    };
    std::thread copiers[2] = {std::thread(copier), std::thread(copier)};
    bool walkCompleted = false;
    const TFinally joinCopiers([&] {
        {
            const std::lock_guard lock(queueLock);
            walkEnded = true;
            abandon = !walkCompleted;  // an error in the walk: nothing more is copied
        }
        queueChanged.notify_all();
        for (std::thread& thread : copiers)
            thread.join();
    });

    QStringList run;
    QString lastFolder;
    const auto handOut = [&] {
        if (run.isEmpty())
            return;
        {
            const std::lock_guard lock(queueLock);
            runs.push_back(std::exchange(run, {}));
        }
        queueChanged.notify_one();
    };
    QStringList links;
    QStringList special;
    TWalkFolderOptions walk;
    walk.Recurse = FIncludeSubDirs;
    walk.SkippedFolderLinks = &links;
    walk.SpecialFiles = &special;
    const QByteArray nativeInput = QFile::encodeName(input);
    const QByteArray nativeWork = QFile::encodeName(work);
    // Names that are not text are copied byte for byte (the walk of the batch root reports
    // them); they cannot be matched against a filter, so copying only handled paths leaves
    // them out, with a line each.
    walk.OnUndecodable = [&](const QByteArray& ANativePath, TWalkNativeKind AKind) {
        const QString shown = EscapedNativePath(ANativePath);
        if (AKind == TWalkNativeKind::Special) {
            special << shown;
            return;
        }
        if (FSetup.Settings.OnlyCopyHandledPaths) {
            CountProblem(&TBatchProblemCounts::UnusableNames);
            Log(QStringLiteral("  Path not copied: its name is not valid UTF-8 (the bytes that "
                               "are not are shown as \\xHH), so no filter can match it. Path "
                               "was \"") +
                shown + QStringLiteral("\".\r\n"));
            return;
        }
        const QByteArray target = nativeWork + ANativePath.mid(nativeInput.size());
        // Every failure counts; what was left out on purpose (links to folders, special
        // files) only gets its line.
        QStringList problems;
        int failures = 0;
        if (AKind == TWalkNativeKind::Folder) {
            failures = CopyFolderNative(
                ANativePath, target, [this] { return Terminated(); }, problems);
        } else {
            QString error;
            if (!CopyFileCompleteNative(ANativePath, target, &error)) {
                problems << error;
                failures = 1;
            }
        }
        for (int i = 0; i < failures; ++i)
            CountProblem(&TBatchProblemCounts::CopyFailures);
        for (const QString& problem : std::as_const(problems))
            Log(QStringLiteral("  ") + problem + QStringLiteral(".\r\n"));
    };
    walk.AbortTest = [this] { return Terminated(); };
    walk.OnUnreadableFolder = [this](const QString& AFolder, const QString& AReason) {
        CountProblem(&TBatchProblemCounts::UnreadableFolders);
        Log(QStringLiteral("  Directory could not be read, so nothing in it was copied: \"") +
            AFolder + QStringLiteral("\": ") + AReason + QStringLiteral(".\r\n"));
    };
    // The input is never written: what an ended batch left there is only not copied.
    walk.OnOwnTemporary = [this](const QByteArray& ANativePath, std::int64_t AProcess) {
        Log(QStringLiteral("  Temporary file of process ") + QString::number(AProcess) +
            QStringLiteral(" not copied: \"") + EscapedNativePath(ANativePath) +
            QStringLiteral("\".\r\n"));
    };
    // The walk tells folders (ending with "/") from files, so no path is queried again; a file
    // that vanishes meanwhile is skipped when its copy finds it missing.
    walk.OnEntry = [&](const QString& APath) {
        const bool isFolder = APath.endsWith(QLatin1Char('/'));
        // The facts only when they decide anything: this runs for every entry of the input.
        if (FSetup.Settings.OnlyCopyHandledPaths &&
            !handled.Matches(TPathFacts(
                APath, work, isFolder ? TPathFacts::TKind::Directory : TPathFacts::TKind::File)))
            return;
        const QString folder =
            isFolder ? APath : APath.left(APath.lastIndexOf(QLatin1Char('/')) + 1);
        if (folder != lastFolder) {
            handOut();
            const QString target = work + folder.mid(input.size());
            if (target != work && !QFileInfo(target).isDir() && !QDir().mkpath(target)) {
                if (FSetup.ProgramLog != nullptr)
                    FSetup.ProgramLog->Log(nullptr, nullptr, target,
                                           QStringLiteral("EqvOperationNotPossibleUnknownReason"));
            }
            lastFolder = folder;
        }
        if (!isFolder)
            run << APath;
    };
    WalkFolder(input, walk);
    handOut();
    walkCompleted = true;
    for (const QString& link : links)
        Log(QStringLiteral("  Symbolic link to a directory not followed and not copied: \"") +
            link + QStringLiteral("\".\r\n"));
    // Opening one would wait for ever for a writer.
    for (const QString& path : std::as_const(special))
        Log(QStringLiteral("  Special file (FIFO, socket or device) not copied: \"") + path +
            QStringLiteral("\".\r\n"));
}

void TBatchEngine::CountPathsToDo() {
    const TPathFilterList handled = HandledPathFilters();
    FWalkedBatchRoot = WalkBatchRoot(FSelectedActiveRootBatchPath, FWalkedKinds);
    // A stopped walk is incomplete; the main run (if any) walks again.
    FWalkedBatchRootComplete = !Terminated();
    // The paths that match at least one combination, and the work calls to do: one per path
    // and combination whose filter it matches. The batch root first, then its walk, which has
    // just told folders from files: no second query per path.
    const auto works = [&](const QString& APath, TKnownPathKind AKind) {
        const TPathFacts facts(APath, FSelectedActiveRootBatchPath, FactsKind(AKind));
        int matching = 0;
        for (int i = 0; i < handled.Count(); ++i) {
            // An invalid mask raises when its combination's turn comes, not in the count.
            const TPathFilter& filter = handled.At(i);
            if (filter.Mask().IsValid() && filter.Matches(facts))
                ++matching;
        }
        return matching;
    };
    int paths = 0;
    int calls = 0;
    const auto add = [&](int AMatching) {
        paths += AMatching > 0 ? 1 : 0;
        calls += AMatching;
    };
    if (!Terminated())
        add(works(FSelectedActiveRootBatchPath, TKnownPathKind::Directory));
    for (qsizetype i = 0; i < FWalkedBatchRoot.size(); ++i) {
        if (Terminated())
            break;
        add(works(FWalkedBatchRoot[i], FWalkedKinds[static_cast<std::size_t>(i)]));
    }
    FWorkCallsToDo = calls;
    FInputWorkPathesCount = paths;
}

void TBatchEngine::MainRun() {
    if (FSetup.Host != nullptr)
        FSetup.Host->SetBatchWorkCallbacks(this);
    const TFinally closeWindow([this] {
        if (FSetup.Host != nullptr)
            FSetup.Host->SetBatchWorkCallbacks(nullptr);
    });
    {
        const std::lock_guard lock(FCsWorkPathesList);
        FWorkPathesList.clear();
        FWorkPathesList.push_back(FSelectedActiveRootBatchPath);
        FWorkPathKinds.assign(1, TKnownPathKind::Directory);
    }
    // The count walked the batch root just before and nothing has run since: its list is the
    // work path list, so the tree is not walked a second time.
    const QStringList walked = FWalkedBatchRootComplete
                                   ? std::exchange(FWalkedBatchRoot, {})
                                   : WalkBatchRoot(FSelectedActiveRootBatchPath, FWalkedKinds);
    const std::vector<TKnownPathKind> kinds = std::exchange(FWalkedKinds, {});
    {
        const std::lock_guard lock(FCsWorkPathesList);
        FWorkPathesList.insert(FWorkPathesList.end(), walked.begin(), walked.end());
        FWorkPathKinds.insert(FWorkPathKinds.end(), kinds.begin(), kinds.end());
    }
    for (const TBatchCombination& combination : FSetup.Combinations)
        RunCombination(combination);
    const std::lock_guard lock(FCsWorkPathesList);
    FWorkPathesList.clear();
    FWorkPathKinds.clear();
}

void TBatchEngine::WaitForWorkers() {
    std::unique_lock lock(FCsDispatch);
    FSlotChanged.wait(lock, [this] { return FCurWorkerThreadsRunning == 0; });
}

void TBatchEngine::DispatchLoop(const TBatchCombination& ACombination, const TPathFilter& AFilter) {
    TDispatchedPath next;
    for (;;) {
        bool slotTaken = false;
        try {
            if (!DispatchNext(AFilter, next))
                return;
            slotTaken = true;
            // The whole filter test needs to know whether the path is a file or a folder: what
            // the walk or the last worker on the path found, or else the file system's answer.
            // It is made here, with the slot taken, on this loop's own thread, so that the
            // loops do not queue for the dispatcher's role behind a file system query.
            const bool matches =
                next.Kind == TKnownPathKind::Unknown
                    ? AFilter.Matches(next.Path, FSelectedActiveRootBatchPath)
                    : AFilter.Matches(TPathFacts(next.Path, FSelectedActiveRootBatchPath,
                                                 FactsKind(next.Kind)));
            if (!matches) {
                slotTaken = false;
                ReleaseSlot(next.Directory);
                continue;
            }
        } catch (...) {
            // A filter that cannot be matched ends the combination's dispatch. Only
            // DispatchNext raises while this loop holds the dispatcher's role.
            if (slotTaken)
                ReleaseSlot(next.Directory);
            FailDispatch(std::current_exception(), !slotTaken);
            return;
        }
        TBatchWorkPath worker(FRegistry, ACombination.Props, FSelectedActiveRootBatchPath,
                              static_cast<std::uint32_t>(next.Index), next.Path,
                              [this](const QString& AEntry) { Log(AEntry); });
        try {
            worker.Execute();
        } catch (...) {
            worker.FPluginFailed = true;
        }
        try {
            WorkerFinished(worker, next.Directory);
        } catch (...) {
            // A handler that raised (the batch log, a progress watcher): nothing may escape a
            // pool thread, and a batch that lost track of its paths must not go on.
            FailDispatch(std::current_exception(), false);
            return;
        }
    }
}

void TBatchEngine::FailDispatch(std::exception_ptr AError, bool AHoldsRole) {
    // The engine raises the first error once every loop has ended.
    std::unique_lock lock(FCsDispatch);
    if (!FDispatchFailure)
        FDispatchFailure = std::move(AError);
    EndDispatch(lock, AHoldsRole);
}

void TBatchEngine::ReleaseSlot(bool ADirectory) {
    {
        const std::lock_guard lock(FCsDispatch);
        if (ADirectory)
            FWorkingOnDirKeepSingleWorkThread = false;
        --FCurWorkerThreadsRunning;
    }
    FSlotChanged.notify_all();
}

void TBatchEngine::EndDispatch(std::unique_lock<std::mutex>& ALock, bool AHoldsRole) {
    // The end of the list, a stop or an error: every loop ends.
    FDispatchDone = true;
    if (AHoldsRole)
        FDispatcherBusy = false;
    --FDispatchLoops;
    ALock.unlock();
    NotifyDispatch();
}

void TBatchEngine::LeaveDispatchLoop(std::unique_lock<std::mutex>& ALock) {
    --FDispatchLoops;
    const bool passRole = !FDispatcherBusy;
    ALock.unlock();
    // This loop may have taken the wake-up meant for a loop waiting for the dispatcher's role.
    if (passRole)
        FDispatcherFree.notify_one();
    FLoopsChanged.notify_all();
}

bool TBatchEngine::DispatchNext(const TPathFilter& AFilter, TDispatchedPath& ANext) {
    std::unique_lock lock(FCsDispatch);
    const auto finished = [this] { return FStop || FDispatchDone; };
    const auto tooMany = [this] {
        return FDispatchLoops > static_cast<int>(FMaxWorkerThreadsRunning);
    };
    FDispatcherFree.wait(lock, [&] { return !FDispatcherBusy || finished() || tooMany(); });
    if (finished() || tooMany()) {
        LeaveDispatchLoop(lock);
        return false;
    }
    FDispatcherBusy = true;
    for (;; ++FDispatchIndex) {
        if (FStop || FDispatchDone)
            break;
        const std::size_t index = FDispatchIndex;
        lock.unlock();
        QString path;
        bool inList = false;
        {
            const std::lock_guard listLock(FCsWorkPathesList);
            inList = index < FWorkPathesList.size();
            if (inList)
                path = FWorkPathesList[index];
        }
        if (!inList) {
            lock.lock();
            break;
        }
        // From the texts alone: most paths another filter is meant for are passed over here
        // without asking the file system.
        const bool matches =
            !path.isEmpty() && AFilter.MayMatch(path, FSelectedActiveRootBatchPath);
        lock.lock();
        if (!matches)
            continue;
        FSlotChanged.wait(lock, [this] {
            return FStop.load() || FDispatchDone ||
                   (FCurWorkerThreadsRunning < static_cast<int>(FMaxWorkerThreadsRunning) &&
                    !FWorkingOnDirKeepSingleWorkThread);
        });
        if (FStop || FDispatchDone)
            break;
        ++FCurWorkerThreadsRunning;
        {
            // A directory worker that finished meanwhile may have renamed or dropped it.
            const std::lock_guard listLock(FCsWorkPathesList);
            path = FWorkPathesList[index];
            ANext.Kind = FWorkPathKinds[index];
        }
        if (path.isEmpty()) {
            --FCurWorkerThreadsRunning;
            continue;
        }
        ANext.Index = index;
        ANext.Path = path;
        ANext.Directory = path.endsWith(QLatin1Char('/'));
        if (ANext.Directory)
            FWorkingOnDirKeepSingleWorkThread = true;
        ++FDispatchIndex;
        FDispatcherBusy = false;
        lock.unlock();
        FDispatcherFree.notify_one();
        return true;
    }
    EndDispatch(lock, true);
    return false;
}

void TBatchEngine::RunCombination(const TBatchCombination& ACombination) {
    TPluginStoredLibInfo* plugin = ACombination.Props.LibInfo_Ref;
    if (plugin == nullptr)
        throw EqvPointerRefNotAssigned(QStringLiteral("A combination has no plugin."));
    // A plugin that is loaded only as needed is loaded for its combination, and held: an
    // editor releasing it meanwhile cannot unload the code the workers run.
    const TPluginLoadHold hold(*plugin);

    plugin->SP_SetupWorkStart(FSelectedActiveRootBatchPath);
    DeliverCombinationValues(*plugin, ACombination.Filter, [&](const QString& APropName) {
        return ACombination.Props.StoredStream(APropName);
    });
    plugin->SP_SetupWorkStartDone();

    {
        // Workers must be finished before anything they use goes away, also when dispatch fails.
        const TFinally waitWorkers([this] { WaitForWorkers(); });
        const TPathFilter filter(ACombination.Filter);
        std::unique_lock lock(FCsDispatch);
        FDispatchIndex = 0;
        FDispatchDone = false;
        FDispatchFailure = nullptr;
        // Keeps as many dispatch loops as the live maximum allows until the list is done or a
        // stop came; a loop ends only between two paths, so no loop means no worker.
        for (;;) {
            const bool open = !FDispatchDone && !FStop;
            if (!open && FDispatchLoops == 0)
                break;
            if (open && FDispatchLoops < static_cast<int>(FMaxWorkerThreadsRunning)) {
                ++FDispatchLoops;
                lock.unlock();
                FPool->Submit(
                    [this, &ACombination, &filter] { DispatchLoop(ACombination, filter); });
                lock.lock();
                continue;
            }
            FLoopsChanged.wait(lock);
        }
        if (FDispatchFailure)
            std::rethrow_exception(std::exchange(FDispatchFailure, nullptr));
    }

    plugin->SP_SetupWorkEnd();
    QStringList added;
    {
        const std::lock_guard lock(FAddedLock);
        added.swap(FAddedPaths);
    }
    added = AcceptedAddedPaths(added);
    if (added.isEmpty())
        return;
    const std::lock_guard lock(FCsWorkPathesList);
    // A path that is already a live entry, or asked for twice, is added once: later
    // combinations would otherwise work on one file twice (two mails, a second delete). An
    // entry emptied by an earlier drop is no longer live, so a re-created path comes back.
    QSet<QString> present;
    for (const QString& entry : FWorkPathesList)
        if (!entry.isEmpty())
            present.insert(entry);
    for (const QString& path : std::as_const(added))
        if (!present.contains(path)) {
            present.insert(path);
            FWorkPathesList.push_back(path);
        }
    FWorkPathKinds.resize(FWorkPathesList.size(), TKnownPathKind::Unknown);
}

QStringList TBatchEngine::AcceptedAddedPaths(const QStringList& AAdded) {
    QStringList accepted;
    for (const QString& requested : AAdded) {
        // Judged in clean form, so that ".." cannot lead out of the batch root.
        const QString clean = QDir::cleanPath(requested);
        const QFileInfo info(clean);
        const bool folder = info.isDir();
        const QString path = folder ? IncludeTrailingSeparator(clean) : clean;
        const bool inside = !requested.isEmpty() && QDir::isAbsolutePath(clean) &&
                            path.startsWith(FSelectedActiveRootBatchPath, Qt::CaseSensitive) &&
                            path != FSelectedActiveRootBatchPath;
        QString reason;
        QString real;
        if (!inside)
            reason = QStringLiteral("it is outside the batch root \"") +
                     FSelectedActiveRootBatchPath + QStringLiteral("\"");
        else if (!info.exists())
            reason = QStringLiteral("it does not exist");
        else if (!folder && !info.isFile())
            reason = QStringLiteral("it is a special file (FIFO, socket or device)");
        // Inside by its text, but a link (of the path or one of its folders) may lead out.
        else if (!RealLocationInsideRoot(path, real))
            reason = QStringLiteral("through a symbolic link it leads to \"") + real +
                     QStringLiteral("\", outside the batch root \"") +
                     FSelectedActiveRootBatchPath + QStringLiteral("\"");
        if (reason.isEmpty()) {
            accepted << path;
            continue;
        }
        CountProblem(&TBatchProblemCounts::RefusedAddedPaths);
        Log(QStringLiteral("  Path a plugin asked to add to the batch was refused: ") + reason +
            QStringLiteral(". Path was \"") + requested + QStringLiteral("\".\r\n"));
    }
    return accepted;
}

void TBatchEngine::WorkerFinished(TBatchWorkPath& AWorker, bool ADirectory) {
    // The slot is given back however this ends, or the batch would wait for it for ever.
    const TFinally releaseSlot([this, ADirectory] { ReleaseSlot(ADirectory); });
    {
        const std::lock_guard finishing(FCsWorkerThreadTerminate);
        {
            const std::lock_guard lock(FProblemsLock);
            if (AWorker.FPluginFailed)
                ++FProblems.PluginFailures;
            if (AWorker.FRefusedTooLong)
                ++FProblems.RefusedLongPaths;
            if (AWorker.FWrongPathOutput_RootChanged ||
                (AWorker.FWrongPathOutput_NonExisting &&
                 !AWorker.FWrongPathOutput_NonExisting_BecauseDeleted))
                ++FProblems.RefusedOutputs;
        }
        const bool project = AWorker.PluginAdviseProjectBatchStop && !FPluginAdviseProjectBatchStop;
        const bool main = AWorker.PluginAdviseMainBatchStop && !FPluginAdviseMainBatchStop;
        if (project || main) {
            if (project)
                FPluginAdviseProjectBatchStop = true;
            if (main)
                FPluginAdviseMainBatchStop = true;
            QString entry = QStringLiteral(
                "  Event(s) occurred. All further batching on this project has been halted.\r\n"
                "  Plugin(s) reported following: \r\n");
            if (AWorker.PluginAdviseProjectBatchStop)
                entry += QStringLiteral("    * AdviseProjectBatchStop.\r\n");
            if (AWorker.PluginAdviseMainBatchStop)
                entry += QStringLiteral("    * AdviseMainBatchStop.\r\n");
            try {
                Log(entry);
            } catch (...) {
                // The stop below matters more than the entry.
            }
            Terminate();
        }
        if (!Terminated()) {
            const std::lock_guard lock(FCsWorkPathesList);
            const std::size_t index = AWorker.UpdatePathAtIndex;
            const QString old = FWorkPathesList[index];
            const QString updated = AWorker.UpdatedOutPath;
            if (updated != old) {
                if (ADirectory) {
                    const QString renamed =
                        updated.isEmpty() ? QString() : IncludeTrailingSeparator(updated);
                    // A renamed or deleted directory carries over to every path below it; what
                    // they are is asked again when their turn comes.
                    for (std::size_t i = 0; i < FWorkPathesList.size(); ++i) {
                        QString& entry = FWorkPathesList[i];
                        if (entry.isEmpty() || !entry.startsWith(old, Qt::CaseSensitive))
                            continue;
                        entry = renamed.isEmpty() ? QString() : renamed + entry.mid(old.size());
                        FWorkPathKinds[i] = TKnownPathKind::Unknown;
                    }
                } else {
                    FWorkPathesList[index] = updated;
                }
            }
            // The worker's check of the path it kept has just asked the file system.
            if (!updated.isEmpty())
                FWorkPathKinds[index] =
                    AWorker.FOutKind == TNativePathKind::File     ? TKnownPathKind::File
                    : AWorker.FOutKind == TNativePathKind::Folder ? TKnownPathKind::Directory
                                                                  : TKnownPathKind::Unknown;
        }
        Progress(false);
        ++FInputWorkPathesDone;
    }
}

void TBatchEngine::CleanUp() {
    if (FSetup.TempFolder.isEmpty())
        return;
    TWalkFolderOptions options;
    options.Mask = QStringLiteral("*.val");
    options.Recurse = true;
    options.DeleteFiles = true;
    // The value files are the batch's own temporary copies of property values: they are
    // deleted for good, not moved to the user's trash (where they would only pile up, and
    // where no trash can be set up Qt falls back to odd places).
    options.DeleteToTrash = false;
    QStringList files;
    options.Files = &files;
    WalkFolder(FSetup.TempFolder, options);
}

void TBatchEngine::ExeHandleWorkPathErrorMsg(const QString& AErrorMsg, const QString& AAdviceMsg) {
    TBatchWorkPath::HandleWorkPathErrorMsg(
        FRegistry, [this](const QString& AEntry) { Log(AEntry); }, AErrorMsg, AAdviceMsg);
    const std::lock_guard lock(FProblemsLock);
    ++FProblems.WorkPathReports;
}

void TBatchEngine::ExeHandleWorkPathErrorMsgW(const QString& AErrorMsg, const QString& AAdviceMsg) {
    ExeHandleWorkPathErrorMsg(AErrorMsg, AAdviceMsg);
}

void TBatchEngine::ExeRequestAddPathToBatch(const QString& APath) {
    const std::lock_guard lock(FAddedLock);
    FAddedPaths << APath;
}

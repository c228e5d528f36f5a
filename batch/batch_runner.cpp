#include "batch/batch_runner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include "app/module_shared.h"
#include "app/user_prompts.h"
#include "base/exceptions.h"
#include "base/finally.h"
#include "batch/batch_log.h"
#include "batch/batch_texts.h"
#include "batch/path_filter.h"
#include "platform/locked_log_file.h"
#include "platform/native_path.h"
#include "platform/system_folders.h"
#include "plugin_host/plugin_call_watch.h"
#include "translation/translated_text.h"

namespace {

QString DateWord(const char* AKey, const char* AEnglish) {
    return TranslatedMessage(QStringLiteral("UTF8_general.ini"),
                             QStringLiteral("__MixedText__DateTime"), QString::fromLatin1(AKey),
                             QString::fromLatin1(AEnglish));
}

}  // namespace

TBatchRunner::TBatchRunner(TModuleShared& AModule, TPluginHost& AHost)
    : FModule(AModule), FHost(AHost) {}

TBatchStatusSet TBatchRunner::Status() const {
    const std::lock_guard lock(FModule.FBatchStatusSetCS);
    return FModule.FBatchStatusSet;
}

void TBatchRunner::SetStatus(std::initializer_list<TBatchStatusTypes> AInclude,
                             std::initializer_list<TBatchStatusTypes> AExclude) {
    const std::lock_guard lock(FModule.FBatchStatusSetCS);
    for (TBatchStatusTypes type : AExclude)
        FModule.FBatchStatusSet.Exclude(type);
    for (TBatchStatusTypes type : AInclude)
        FModule.FBatchStatusSet.Include(type);
}

namespace {

// True when AInner is AOuter or lies below it. Both are real folder forms ending with the
// separator, so whole path components are compared: "/backup/data/" is not below "/data/".
bool SameOrBelow(const QString& AInner, const QString& AOuter) {
    return !AOuter.isEmpty() && AInner.startsWith(AOuter);
}

}  // namespace

QString TBatchRunner::RefusedFolderText(const QString& AFolder, const QString& ACaption) const {
    const QString folder = RealFolderPath(AFolder);
    const auto text = [&](const TqvlgNativeText& AText, const QString& AHeld) {
        return TranslatedMessage(AText, {{QStringLiteral("dynCaption"), ACaption},
                                         {QStringLiteral("dynDirFilePathName"), folder},
                                         {QStringLiteral("dynFolderHeld"), AHeld}});
    };
    if (folder == QStringLiteral("/"))
        return text(KTextCheckSettingsDirIsRoot, QString());
    const std::pair<const TqvlgNativeText*, QString> held[] = {
        {&KTextCheckSettingsDirHoldsHome, QDir::homePath()},
        {&KTextCheckSettingsDirHoldsDataRoot, FModule.Folders().DataRoot},
        {&KTextCheckSettingsDirHoldsProgram, FModule.Folders().ProgramFolder},
    };
    for (const auto& [message, heldFolder] : held) {
        if (heldFolder.isEmpty())
            continue;
        const QString real = RealFolderPath(heldFolder);
        if (SameOrBelow(real, folder))
            return text(*message, real);
    }
    return {};
}

bool TBatchRunner::ValFrameProgramSetupGeneral(TProjectGeneralSettings& ASettings) {
    TUserPrompts* prompts = FModule.Prompts();
    const auto tell = [&](const QString& AText) {
        if (prompts != nullptr)
            prompts->ShowMessage(TPromptKind::Error, AText);
    };
    const QString inputCaption = TranslatedMessage(KTextCheckSettingsInputDir);
    const QString workCaption = TranslatedMessage(KTextCheckSettingsWorkDir);
    ASettings.InputDirPath = IncludeTrailingSeparator(ASettings.InputDirPath.trimmed());
    ASettings.WorkDirPath = IncludeTrailingSeparator(ASettings.WorkDirPath.trimmed());
    const bool inPlace = ASettings.InputDirIsWorkDir;

    // Every check below is made on each folder's real, absolute and clean form (as far as it
    // exists): "./", "//", ".." or a symbolic link can then neither lead out of the safe area
    // nor hide one folder inside the other. They all come before a missing folder is offered
    // to be made, so nothing is made that is then refused.
    if (FModule.FProgramOptions->FHumanSafeMode) {
        bool reset = false;
        const auto keepInside = [&](QString& AFolder, const QString& ASafeFolder,
                                    const QString& ACaption) {
            if (SameOrBelow(RealFolderPath(AFolder), RealFolderPath(ASafeFolder)))
                return;
            AFolder = ASafeFolder;
            reset = true;
            tell(TranslatedMessage(KTextCheckSettingsDirHumanSafeMode,
                                   {{QStringLiteral("dynCaption"), ACaption},
                                    {QStringLiteral("dynDirFilePathName"), ASafeFolder}}));
        };
        keepInside(ASettings.InputDirPath, FModule.Folders().TempInputFolder, inputCaption);
        if (!inPlace)
            keepInside(ASettings.WorkDirPath, FModule.Folders().TempWorkFolder, workCaption);
        if (reset)
            return false;
    }
    // The folder the batch writes into, and may empty, must hold nothing the user or the
    // program cannot do without.
    const QString refused = inPlace ? RefusedFolderText(ASettings.InputDirPath, inputCaption)
                                    : RefusedFolderText(ASettings.WorkDirPath, workCaption);
    if (!refused.isEmpty()) {
        tell(refused);
        return false;
    }
    if (!inPlace && !FModule.FProgramOptions->FHumanSafeMode) {
        const QString input = RealFolderPath(ASettings.InputDirPath);
        const QString work = RealFolderPath(ASettings.WorkDirPath);
        const bool workInInput = SameOrBelow(work, input);
        const bool inputInWork = SameOrBelow(input, work);
        if (workInInput || inputInWork) {
            const QString contained = workInInput ? inputCaption : workCaption;
            const QString other = workInInput ? workCaption : inputCaption;
            tell(TranslatedMessage(KTextCheckSettingsDirPartWrong,
                                   {{QStringLiteral("dynCaption1"), contained},
                                    {QStringLiteral("dynCaption2"), other}}));
            return false;
        }
    }

    const auto ensureExists = [&](const QString& AFolder, const QString& ACaption) {
        if (QFileInfo(AFolder).isDir())
            return true;
        const TqvlgDynVars vars = {{QStringLiteral("dynCaption"), ACaption}};
        const QString question = TranslatedMessage(KTextCheckSettingsDirHasToExist, vars);
        if (prompts == nullptr || !prompts->AskYesNo(TPromptKind::Confirmation, question))
            return false;
        if (AFolder.isEmpty() || !QDir().mkpath(AFolder)) {
            tell(TranslatedMessage(KTextCheckSettingsDirFailedCreate, vars));
            return false;
        }
        return true;
    };
    if (!ensureExists(ASettings.InputDirPath, inputCaption))
        return false;
    if (!inPlace && !ensureExists(ASettings.WorkDirPath, workCaption))
        return false;
    // From here on each folder has that one form, and the batch uses exactly the folders that
    // were checked.
    ASettings.InputDirPath = RealFolderPath(ASettings.InputDirPath);
    if (!inPlace)
        ASettings.WorkDirPath = RealFolderPath(ASettings.WorkDirPath);
    return true;
}

bool TBatchRunner::ValCombinationFilters(const std::vector<TBatchCombination>& ACombinations) {
    for (const TBatchCombination& combination : ACombinations) {
        const TPathFilter filter(combination.Filter);
        if (filter.Mask().IsValid())
            continue;
        if (FModule.Prompts() != nullptr)
            FModule.Prompts()->ShowMessage(
                TPromptKind::Error,
                TranslatedMessage(
                    KTextCheckSettingsFilterInvalid,
                    {{QStringLiteral("dynFilter"), combination.Filter},
                     {QStringLiteral("dynErrorMessage"), filter.Mask().ErrorText()}}));
        return false;
    }
    return true;
}

void TBatchRunner::WriteLog(const QString& AText) {
    try {
        WriteInBatchLog(AText);
    } catch (const std::exception& e) {
        const std::lock_guard lock(FLogFailureLock);
        if (FLogWriteFailed)
            return;
        FLogWriteFailed = true;
        FLogWriteFailure = ExceptionMessage(e);
        FModule.FLogging.Log(nullptr, &e,
                             QStringLiteral("Writing the batch log (later failures of the same "
                                            "batch are not recorded again)"));
    }
}

QString TBatchRunner::StatusWord(const TBatchStatusSet& AStatus) {
    if (AStatus.Has(bsCoreActive))
        return QStringLiteral("Running");
    if (AStatus.Has(bsWasInterrupted) && AStatus.Has(bsSubUserInterrupted))
        return QStringLiteral("Interrupted by user");
    if (AStatus.Has(bsWasInterrupted) && AStatus.Has(bsSubPluginInterrupted))
        return QStringLiteral("Interrupted by plugin");
    if (AStatus.Has(bsWasInterrupted))
        return QStringLiteral("Interrupted");
    if (AStatus.Has(bsDoneSuccess))
        return QStringLiteral("Done");
    return QStringLiteral("Ready");
}

QString TBatchRunner::TimeUsedText(qint64 AMilliseconds) {
    struct TUnit {
        qint64 Size;
        const char* Key;
        const char* English;
        const char* KeyPlural;
        const char* EnglishPlural;
    };
    static const TUnit KUnits[] = {
        {86400000, "GenericDay", "day", "GenericDays", "days"},
        {3600000, "GenericHour", "hour", "GenericHours", "hours"},
        {60000, "GenericMinut", "minute", "GenericMinuts", "minutes"},
        {1000, "GenericSecond", "second", "GenericSeconds", "seconds"},
        {1, "GenericMiliSecond", "millisecond", "GenericMiliSeconds", "milliseconds"},
    };
    QString text;
    qint64 rest = std::max<qint64>(AMilliseconds, 0);
    for (const TUnit& unit : KUnits) {
        qint64 count = rest / unit.Size;
        rest %= unit.Size;
        if (unit.Size == 86400000)
            count %= 365;
        if (count == 0)
            continue;
        text += QString::number(count) + QLatin1Char(' ') +
                (count == 1 ? DateWord(unit.Key, unit.English)
                            : DateWord(unit.KeyPlural, unit.EnglishPlural)) +
                QLatin1Char(' ');
    }
    return text.trimmed();
}

void TBatchRunner::OnEngineTerminate(TBatchEngine& AEngine) {
    {
        const std::lock_guard lock(FModule.FBatchStatusSetCS);
        TBatchStatusSet& status = FModule.FBatchStatusSet;
        if (AEngine.PluginAdviseProjectBatchStop() || AEngine.PluginAdviseMainBatchStop()) {
            status.Include(bsIsInterrupted);
            status.Include(bsSubPluginInterrupted);
            if (AEngine.PluginAdviseProjectBatchStop())
                status.Include(bsAdviseStopProject);
            if (AEngine.PluginAdviseMainBatchStop())
                status.Include(bsAdviseStopMain);
        }
        if (status.Has(bsIsInterrupted))
            status.Exclude(bsDoneSuccess);
        else
            status.Include(bsDoneSuccess);
        status.Include(bsEngineCalledOnTerminate);
    }
    { const std::lock_guard lock(FWaitLock); }
    FEngineEnded.notify_all();
}

void TBatchRunner::InterruptBatch() {
    const std::lock_guard lock(FModule.FBatchStatusSetCS);
    if (!FModule.FBatchStatusSet.Has(bsWrapperActive))
        return;
    FModule.FBatchStatusSet.Include(bsIsInterrupted);
    FModule.FBatchStatusSet.Include(bsSubUserInterrupted);
    if (FModule.FBatchEngine != nullptr)
        FModule.FBatchEngine->Terminate();
}

void TBatchRunner::SetRuntimeMaxWorkerThreads(unsigned AValue) {
    const std::lock_guard lock(FModule.FBatchStatusSetCS);
    if (FModule.FBatchEngine != nullptr)
        FModule.FBatchEngine->SetMaxWorkerThreadsRunning(AValue);
}

TBatchRunResult TBatchRunner::RunBatch(const TBatchRunRequest& ARequest,
                                       const TBatchRunObserver& AObserver) {
    if (TBatchEngine::Instance() != nullptr)
        throw EqvOperationNotPossible(QStringLiteral("A batch is running already."));
    // 1. Status of a starting batch.
    const TBatchStatusSet before = Status();
    SetStatus({bsWrapperActive, bsDisallowAllChangesGUI},
              {bsAdviseStopProject, bsAdviseStopMain, bsEngineCalledOnTerminate, bsDoneSuccess,
               bsWasInterrupted, bsSubUserInterrupted, bsSubPluginInterrupted, bsIsInterrupted});
    // Until the wrapper's normal end, any way out (a log that cannot be created, an engine that
    // cannot start, a watcher that raises) puts back the flags, the batch log's lock and the
    // engine reference as they were, so that the next batch can start.
    bool wrapperEnded = false;
    const TFinally restore([&] {
        if (wrapperEnded)
            return;
        {
            const std::lock_guard lock(FModule.FBatchStatusSetCS);
            FModule.FBatchEngine = nullptr;
            FModule.FBatchStatusSet = before;
        }
        FModule.FBatchLogCS.reset();
        FModule.FBatchLogFile.reset();
    });
    {
        const std::lock_guard lock(FProgressLock);
        FShownPathsToDo = 0;
        FShownItemsDone = 0;
    }
    {
        const std::lock_guard lock(FLogFailureLock);
        FLogWriteFailed = false;
        FLogWriteFailure.clear();
    }
    TBatchRunResult result;
    // 2. The batch log, then the start entry. A log that cannot take its first entry cannot be
    // had: the batch does not run (the error goes to the caller).
    result.LogPath = BeginModuleBatchLog(ARequest.ProjectFilePath);
    SetStatus({bsCoreActive}, {});
    QElapsedTimer elapsed;
    elapsed.start();
    WriteInBatchLog(QStringLiteral("  Batch started.\r\n"));

    // Every plugin call of the batch is watched: a crash leaves a last entry in the open log,
    // a call that runs too long gets a line.
    TPluginCallWatchSetup watch;
    watch.CrashLogDescriptor = FModule.FBatchLogFile ? FModule.FBatchLogFile->Descriptor() : -1;
    watch.EntryHead = [this] {
        // The header shows the time to the second: it is made once per thread and second (a
        // cheap look at the system clock decides), not for every call.
        thread_local qint64 second = -1;
        thread_local QByteArray head;
        const qint64 nowSecond = QDateTime::currentSecsSinceEpoch();
        if (nowSecond != second) {
            second = nowSecond;
            head = TBatchLog::EntryHeadBytes(FModule.Now());
        }
        return head;
    };
    if (FPluginCallWarnAfter) {
        watch.WarnAfter = *FPluginCallWarnAfter;
    } else if (FModule.FProgramOptions) {
        const std::lock_guard lock(FModule.FBatchStatusSetCS);
        watch.WarnAfter = std::chrono::seconds(FModule.FProgramOptions->FPluginCallWarnSeconds);
    }
    watch.WarnWriter = [this](const QString& AEntry) { WriteLog(AEntry); };
    std::optional<TPluginCallWatching> watching;
    watching.emplace(std::move(watch));

    // 3. The engine.
    TBatchEngineSetup setup;
    setup.Settings = ARequest.Settings;
    setup.Combinations = ARequest.Combinations;
    setup.Host = &FHost;
    setup.TempFolder = FModule.Folders().TempFolder;
    setup.LogWriter = [this](const QString& AEntry) { WriteLog(AEntry); };
    setup.ProgramLog = &FModule.FLogging;
    // Set before the engine is resumed, so its threads always find it.
    const TBatchEngine* running = nullptr;
    setup.OnProgress = [this, &AObserver, &running](int, int AMax, int APosition, bool ADone) {
        {
            const std::lock_guard lock(FProgressLock);
            FShownPathsToDo = AMax;
            FShownItemsDone = APosition;
        }
        if (AObserver.OnProgress)
            AObserver.OnProgress(AMax, APosition, ADone);
        // Plugins add paths, so the estimate of the work is never less than what was done.
        if (AObserver.OnWorkProgress && running != nullptr)
            AObserver.OnWorkProgress(std::max(running->WorkCallsToDo(), APosition), APosition);
    };
    setup.OnException = [this, &result](const std::exception& AError) {
        // The first error ended the batch; what came after it (in the clean-up) goes to the
        // program log only.
        if (result.Failed) {
            FModule.FLogging.Log(nullptr, &AError, QStringLiteral("After the batch ended early"));
            return;
        }
        result.Failed = true;
        result.FailureText = ExceptionMessage(AError);
        // Where the user looks for what happened to the batch, not only in the program log.
        WriteLog(QStringLiteral("  An error ended the batch early: ") + result.FailureText +
                 QStringLiteral("\r\n"));
        FModule.FLogging.HandleErrorException(nullptr, AError);
    };
    setup.OnTerminate = [this](TBatchEngine& AEngine) { OnEngineTerminate(AEngine); };
    auto engine = std::make_unique<TBatchEngine>(std::move(setup));
    running = engine.get();
    // A running engine uses this frame's result and watcher: it is stopped and waited for
    // before they go, also when the wait ends with an error.
    const TFinally stopEngine([&] {
        if (wrapperEnded || engine == nullptr)
            return;
        engine->Terminate();
        engine->WaitFor();
    });
    {
        const std::lock_guard lock(FModule.FBatchStatusSetCS);
        FModule.FBatchEngine = engine.get();
    }
    engine->Resume();

    // 4. Wait until the engine has ended, ticking for the watcher.
    {
        std::unique_lock lock(FWaitLock);
        const auto ended = [this] { return Status().Has(bsEngineCalledOnTerminate); };
        while (!ended()) {
            if (AObserver.OnWaitTick) {
                FEngineEnded.wait_for(
                    lock, std::chrono::milliseconds(std::max(AObserver.TickMs, 1)), ended);
                lock.unlock();
                AObserver.OnWaitTick();
                lock.lock();
            } else {
                FEngineEnded.wait(lock, ended);
            }
        }
    }

    // 5. Free the engine; an interruption becomes "was interrupted".
    engine->WaitFor();
    result.Problems = engine->ProblemCounts();
    result.WorkFolderLeftAsItIs = engine->WorkFolderLeftAsItIs();
    result.WorkFolder = engine->SelectedActiveRootBatchPath();
    {
        const std::lock_guard lock(FModule.FBatchStatusSetCS);
        FModule.FBatchEngine = nullptr;
        TBatchStatusSet& status = FModule.FBatchStatusSet;
        if (status.Has(bsIsInterrupted)) {
            status.Exclude(bsIsInterrupted);
            status.Include(bsWasInterrupted);
        }
        status.Exclude(bsCoreActive);
    }
    engine.reset();
    watching.reset();
    const TBatchStatusSet status = Status();
    result.StatusText = StatusWord(status);
    result.Interrupted = status.Has(bsWasInterrupted);
    result.UserInterrupted = result.Interrupted && status.Has(bsSubUserInterrupted);
    result.PluginInterrupted = result.Interrupted && status.Has(bsSubPluginInterrupted);
    result.ElapsedMs = elapsed.elapsed();
    result.TimeUsedText = TimeUsedText(result.ElapsedMs);
    {
        const std::lock_guard lock(FProgressLock);
        result.PathsToDo = FShownPathsToDo;
        result.ItemsDone = FShownItemsDone;
    }
    QString end = QStringLiteral("  Batch ended.\r\n");
    if (result.Interrupted)
        end +=
            QStringLiteral("  Batch was ") + result.StatusText.toLower() + QStringLiteral(".\r\n");
    if (result.Failed)
        end += QStringLiteral("  Batch ended early because of an error.\r\n");
    end += QStringLiteral("  Batch time used was ") + result.TimeUsedText + QStringLiteral("\r\n");
    end += QStringLiteral("  Batch Paths to do (estimated): ") + QString::number(result.PathsToDo) +
           QStringLiteral(".\r\n");
    end += QStringLiteral("  Batch items done: ") + QString::number(result.ItemsDone) +
           QStringLiteral(".\r\n");
    WriteLog(end);
    {
        const std::lock_guard lock(FLogFailureLock);
        result.LogWriteFailed = FLogWriteFailed;
        result.LogWriteFailure = FLogWriteFailure;
    }

    // 6. Retention of old logs; the wrapper has ended.
    EndModuleBatchLog();
    SetStatus({bsIsFirstProjectBatchFrameUpdate}, {bsWrapperActive, bsDisallowAllChangesGUI});
    wrapperEnded = true;
    return result;
}

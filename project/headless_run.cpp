#include "project/headless_run.h"

#include <QFileInfo>

#include <algorithm>

#include "app/module_shared.h"
#include "app/user_prompts.h"
#include "base/exceptions.h"
#include "batch/batch_runner.h"
#include "batch/batch_texts.h"
#include "plugin_host/plugin_host.h"
#include "project/headless_run_texts.h"
#include "project/project_file.h"
#include "translation/builtin_texts.h"
#include "translation/translated_text.h"

namespace {

QString ErrorLine(const TqvlgNativeText& AText, const TqvlgDynVars& AVars) {
    return ConsoleLine(TPromptKind::Error, TranslatedMessage(AText, AVars));
}

QString ErrorLine(const TqvlgNativeText& AText, const std::exception& AError) {
    return ErrorLine(AText, {{QStringLiteral("dynErrorMessage"), ExceptionMessage(AError)}});
}

QString StatusText(const TBatchRunResult& AResult) {
    if (AResult.UserInterrupted)
        return TranslatedMessage(KTextLogBatchInterruptedByUser);
    if (AResult.PluginInterrupted)
        return TranslatedMessage(KTextLogBatchInterruptedByPlugin);
    if (AResult.Interrupted)
        return TranslatedMessage(KTextLogBatchInterrupted);
    // Without an interruption a batch that ran is done, also when an error ended it early.
    return TranslatedMessage(KTextLogBatchDone);
}

QString SummaryLine(const TBatchRunResult& AResult) {
    // The time text has no unit when no whole millisecond passed.
    const QString timeUsed =
        AResult.TimeUsedText.isEmpty()
            ? QStringLiteral("0 ") + TranslatedMessage(KTransIdGeneral, KSectionDateTime,
                                                       QStringLiteral("GenericMiliSeconds"),
                                                       QStringLiteral("milliseconds"))
            : AResult.TimeUsedText;
    QString line = TranslatedMessage(
        KTextHeadlessSummary, {{QStringLiteral("dynStatus"), StatusText(AResult)},
                               {QStringLiteral("dynPathsToDo"), QString::number(AResult.PathsToDo)},
                               {QStringLiteral("dynItemsDone"), QString::number(AResult.ItemsDone)},
                               {QStringLiteral("dynTimeUsed"), timeUsed}});
    const int problems = AResult.Problems.Total();
    if (problems > 0)
        line += QStringLiteral(", ") +
                TranslatedMessage(KTextHeadlessSummaryProblems,
                                  {{QStringLiteral("dynCount"), QString::number(problems)}});
    if (AResult.WorkFolderLeftAsItIs)
        line += QStringLiteral(", ") +
                TranslatedMessage(KTextHeadlessSummaryWorkNotEmptied,
                                  {{QStringLiteral("dynDirFilePathName"), AResult.WorkFolder}});
    if (AResult.Failed)
        line += QStringLiteral(", ") +
                TranslatedMessage(KTextHeadlessSummaryEndedEarly,
                                  {{QStringLiteral("dynErrorMessage"), AResult.FailureText}});
    if (AResult.LogWriteFailed)
        line += QStringLiteral(", ") +
                TranslatedMessage(KTextHeadlessSummaryLogNotWritten,
                                  {{QStringLiteral("dynErrorMessage"), AResult.LogWriteFailure}});
    return line;
}

}  // namespace

int HeadlessExitCode(const TBatchRunResult& AResult) {
    if (AResult.Interrupted)
        return KExitInterrupted;
    if (AResult.Problems.Total() > 0 || AResult.Failed || AResult.LogWriteFailed)
        return KExitDoneWithProblems;
    return KExitDone;
}

QStringList HeadlessOutcomeLines(const TBatchRunResult& AResult) {
    return {TranslatedMessage(KTextHeadlessBatchLog,
                              {{QStringLiteral("dynDirFilePathName"), AResult.LogPath}}),
            SummaryLine(AResult)};
}

void THeadlessRunView::BatchStarting() {}
void THeadlessRunView::Progress(int, int) {}
void THeadlessRunView::WaitTick() {}
bool THeadlessRunView::StopRequested() {
    return false;
}
void THeadlessRunView::StopPassedOn() {}
void THeadlessRunView::BatchEnded() {}
void THeadlessRunView::BatchResult(const TBatchRunResult&) {}
void THeadlessRunView::Outcome(const QString& ALine) {
    WriteConsole(stdout, ALine + QLatin1Char('\n'));
}
void THeadlessRunView::Problem(const QString& ALine) {
    WriteConsole(stderr, ALine + QLatin1Char('\n'));
}

std::unique_ptr<TPluginHost> DiscoverPluginsHeadless(
    TModuleShared& AModule, const TCollectionInternalPluginTypes& ARegistry,
    THeadlessRunView& AView) {
    auto host = std::make_unique<TPluginHost>(
        ARegistry, TPluginHostSetup{AModule.Folders().ModulesFolder, AModule.Folders().TempFolder,
                                    &AModule.FLogging});
    try {
        host->Discover();
    } catch (const std::exception& e) {
        AModule.FLogging.Log(nullptr, &e, QStringLiteral("Discovering the plugins"));
        AView.Problem(ErrorLine(KTextHeadlessPluginsNotSetUp, e));
        return nullptr;
    }
    return host;
}

int RunProjectHeadless(TModuleShared& AModule, TPluginHost& AHost,
                       const THeadlessRunRequest& ARequest, THeadlessRunView& AView) {
    if (!QFileInfo(ARequest.ProjectPath).isFile()) {
        AView.Problem(ErrorLine(KTextHeadlessNoProjectFile,
                                {{QStringLiteral("dynDirFilePathName"), ARequest.ProjectPath}}));
        return KExitProjectInvalid;
    }
    TProjectController project(TProjectEnvironment::FromModule(AModule, AHost));
    try {
        project.LoadProject(ARequest.ProjectPath, false);
    } catch (const std::exception& e) {
        AView.Problem(ErrorLine(KTextHeadlessProjectNotLoaded, e));
        return KExitProjectInvalid;
    }
    // A combination left out (its plugin is not installed, or refuses its filter) would make the
    // batch do less than the project says while it reports itself done: nothing is run. The
    // loading has already named each one.
    const auto& dropped = project.LastDroppedCombinations();
    const auto leftOut = std::count_if(dropped.begin(), dropped.end(), [](const auto& ADropped) {
        return ADropped.Reason != TDroppedCombination::TReason::NoPlugin;
    });
    if (leftOut > 0) {
        AView.Problem(ErrorLine(KTextHeadlessCombinationsLeftOut,
                                {{QStringLiteral("dynDirFilePathName"), ARequest.ProjectPath},
                                 {QStringLiteral("dynCount"), QString::number(leftOut)}}));
        return KExitProjectInvalid;
    }
    TProjectGeneralSettings settings = project.GeneralSettings();
    if (ARequest.Threads)
        settings.MaxWorkerThreads = *ARequest.Threads;

    TBatchRunner runner(AModule, AHost);
    if (!runner.ValFrameProgramSetupGeneral(settings) ||
        !runner.ValCombinationFilters(project.BatchCombinations())) {
        AView.Problem(ErrorLine(KTextValidateSettingsFailed, TqvlgDynVars{}));
        return KExitProjectInvalid;
    }

    TBatchRunObserver observer;
    // The bar counts every combination's work; "Paths to do" in the summary and the batch log
    // stays the number of paths.
    observer.OnWorkProgress = [&AView](int AWorkCalls, int ADone) {
        AView.Progress(AWorkCalls, ADone);
    };
    bool stopPassedOn = false;
    observer.OnWaitTick = [&] {
        if (!stopPassedOn && AView.StopRequested()) {
            stopPassedOn = true;
            // The stop is passed on before it is announced: whoever reads the announcement may
            // rely on no further path being started.
            runner.InterruptBatch();
            AView.StopPassedOn();
        }
        AView.WaitTick();
    };
    TBatchRunResult result;
    AView.BatchStarting();
    try {
        result = runner.RunBatch({settings, project.BatchCombinations(), project.CurrentFilePath()},
                                 observer);
    } catch (const std::exception& e) {
        // Not a fault of the project: the batch log or the engine could not be had.
        AModule.FLogging.Log(
            nullptr, &e, QStringLiteral("Running the batch of \"%1\"").arg(ARequest.ProjectPath));
        AView.BatchEnded();
        AView.Problem(ErrorLine(KTextHeadlessBatchNotRun, e));
        return KExitBatchNotRun;
    }
    AView.BatchEnded();
    AView.BatchResult(result);
    for (const QString& line : HeadlessOutcomeLines(result))
        AView.Outcome(line);
    return HeadlessExitCode(result);
}

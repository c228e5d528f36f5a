#include "ui/main_window/form_front.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>
#include <thread>

#include "app/module_shared.h"
#include "app/user_prompts.h"
#include "base/exceptions.h"
#include "batch/batch_log.h"
#include "batch/batch_texts.h"
#include "translation/translated_text.h"
#include "ui/main_window/frame_batch_setup_root.h"
#include "ui/main_window/frame_logs.h"
#include "ui/main_window/frame_project_info.h"
#include "ui/main_window/front_texts.h"

namespace {

// How often batch progress reaches the page at most, and how often the commands are looked at
// while a batch runs.
constexpr int KProgressIntervalMs = 200;
constexpr int KBatchIdleIntervalMs = 250;

// The file dialog's filter is written "caption (*.ext)|*.ext"; Qt takes the part before "|".
TProjectFileChooser FileDialogChooser(QWidget* AParent, QFileDialog::AcceptMode AMode) {
    return [AParent, AMode](const TProjectDialogSetup& ASetup) -> std::optional<QString> {
        QFileDialog dialog(AParent, QString(), ASetup.StartFolder,
                           ASetup.Filter.section(QLatin1Char('|'), 0, 0));
        dialog.setAcceptMode(AMode);
        dialog.setDefaultSuffix(ASetup.DefaultExtension);
        dialog.setFileMode(AMode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                            : QFileDialog::AnyFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().front();
    };
}

QWidget* NamedPage(QWidget* AContent, const QString& AName) {
    auto* page = new QWidget;
    page->setObjectName(AName);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(AContent);
    return page;
}

}  // namespace

const QString TFormFront::KBaseTitle = QStringLiteral("Plovane");

TFormFront::TFormFront(TFormFrontSetup ASetup)
    : FModule(*ASetup.Module),
      FProject(TProjectEnvironment::FromModule(*ASetup.Module, *ASetup.Host)),
      FRunner(*ASetup.Module, *ASetup.Host),
      FRelay(
          [this](int AMax, int APosition) {
              FBatchFrame->ShowCounts(AMax, APosition);
              UpdateActions();
          },
          KProgressIntervalMs) {
    setObjectName(QStringLiteral("FormFront"));
    FModule.FFormFront = this;
    FProject.ChooseOpenFile = ASetup.ChooseOpenFile
                                  ? ASetup.ChooseOpenFile
                                  : FileDialogChooser(this, QFileDialog::AcceptOpen);
    FProject.ChooseSaveFile = ASetup.ChooseSaveFile
                                  ? ASetup.ChooseSaveFile
                                  : FileDialogChooser(this, QFileDialog::AcceptSave);
    FProject.OnStateChanged = [this] { ShowProjectState(); };
    if (!ASetup.ChooseFolder)
        ASetup.ChooseFolder = [this](const QString& ACaption, const QString& AStart) {
            return QFileDialog::getExistingDirectory(this, ACaption, AStart);
        };
    FSettingsFrame = new TFrameProgramSetupGeneral(std::move(ASetup.ChooseFolder));
    BuildPages();
    BuildActions();

    // Until a project is loaded the page offers the temp folders.
    TProjectGeneralSettings initial;
    initial.InputDirPath = FModule.Folders().TempInputFolder;
    initial.WorkDirPath = FModule.Folders().TempWorkFolder;
    initial.MaxWorkerThreads = 6;
    FShowingProject = true;
    FSettingsFrame->ShowSettings(initial);
    FShowingProject = false;
    FInfoFrame->ShowProject(QString(), *FModule.FProgramOptions);
    setWindowTitle(FProject.WindowTitle(KBaseTitle));
    ShowIdleStatus();
    UpdateActions();
    resize(820, 560);
}

TFormFront::~TFormFront() {
    if (FWaitPointer)
        QApplication::restoreOverrideCursor();
    if (FModule.FFormFront == this)
        FModule.FFormFront = nullptr;
}

void TFormFront::BuildPages() {
    FPages = new QTabWidget(this);
    FPages->setObjectName(QStringLiteral("pcMain"));
    FInfoFrame = new TFrameProjectInfo;
    FCombinationsView = new QTreeWidget;
    FCombinationsView->setObjectName(QStringLiteral("lvRunOrderPatternInstances"));
    FCombinationsView->setHeaderLabels({QStringLiteral("Filter"), QStringLiteral("Module")});
    FCombinationsView->setRootIsDecorated(false);
    FCombinationsView->header()->setStretchLastSection(true);
    FBatchFrame = new TFrameBatchSetupRoot;
    FBatchFrame->OnUpdateRuntime = [this](int AThreads) {
        FRunner.SetRuntimeMaxWorkerThreads(static_cast<unsigned>(AThreads));
    };
    FLogsFrame = new TFrameLogs([] { return ModuleLogsPageModel(); });
    FPages->addTab(NamedPage(FInfoFrame, QStringLiteral("tsMainProjectInfo")),
                   QStringLiteral("Project info"));
    FPages->addTab(NamedPage(FSettingsFrame, QStringLiteral("tsMainProjetSettings")),
                   QStringLiteral("Project settings"));
    FPages->addTab(NamedPage(FCombinationsView, QStringLiteral("tsMainProjectModules")),
                   QStringLiteral("Project modules"));
    FPages->addTab(NamedPage(FBatchFrame, QStringLiteral("tsMainProgress")),
                   QStringLiteral("Batch progress"));
    FPages->addTab(NamedPage(FLogsFrame, QStringLiteral("tsMainLogs")),
                   QStringLiteral("Batch logs"));
    setCentralWidget(FPages);
    FSettingsFrame->OnEdited = [this] { SettingsEdited(); };
}

QAction* TFormFront::AddAction(const QString& AName, const QString& ACaption,
                               const QKeySequence& AKey, void (TFormFront::*AHandler)()) {
    auto* action = new QAction(ACaption, this);
    action->setObjectName(AName);
    action->setShortcut(AKey);
    connect(action, &QAction::triggered, this, [this, AHandler] { (this->*AHandler)(); });
    addAction(action);
    FActions[AName] = action;
    return action;
}

void TFormFront::BuildActions() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("miFile"));
    file->addAction(AddAction(QStringLiteral("ALI_File_NewProject"), QStringLiteral("New Project"),
                              QKeySequence(Qt::CTRL | Qt::Key_N), &TFormFront::NewProject));
    file->addAction(AddAction(QStringLiteral("ALI_File_OpenProject"),
                              QStringLiteral("Open Project.."), QKeySequence(Qt::CTRL | Qt::Key_O),
                              &TFormFront::OpenProject));
    file->addAction(AddAction(QStringLiteral("ALI_File_SaveProject"),
                              QStringLiteral("Save Project"), QKeySequence(Qt::CTRL | Qt::Key_S),
                              &TFormFront::SaveProject));
    file->addAction(AddAction(QStringLiteral("ALI_File_SaveProjectAs"),
                              QStringLiteral("Save Project As.."), QKeySequence(),
                              &TFormFront::SaveProjectAs));
    file->addSeparator();
    file->addAction(AddAction(QStringLiteral("ALI_File_Exit"), QStringLiteral("Exit"),
                              QKeySequence(), &TFormFront::ExitProgram));

    QMenu* project = menuBar()->addMenu(QStringLiteral("Project"));
    project->setObjectName(QStringLiteral("miProject"));
    QAction* start = AddAction(QStringLiteral("ALI_Project_StartBatch"), QStringLiteral("Start"),
                               QKeySequence(Qt::Key_F5), &TFormFront::StartBatch);
    start->setToolTip(QStringLiteral(
        "Start batch - you will be unable to start new projects while it is processing"));
    start->setStatusTip(start->toolTip());
    QAction* stop = AddAction(QStringLiteral("ALI_Project_InterruptBatch"), QStringLiteral("Stop"),
                              QKeySequence(Qt::Key_F8), &TFormFront::InterruptBatch);
    stop->setToolTip(
        QStringLiteral("Stop further spawning of new threads and wait for the rest to stop"));
    stop->setStatusTip(stop->toolTip());
    project->addAction(start);
    project->addAction(stop);
}

void TFormFront::LoadStartupProject() {
    const TProgramOptions& options = *FModule.FProgramOptions;
    try {
        if (options.FProjectAlwaysLoadLast && !options.FProjectReopenList.isEmpty())
            FProject.LoadProject(options.FProjectReopenList.front(), false);
        else
            FProject.LoadProject(QString(), true);
    } catch (const std::exception& e) {
        // A damaged last project must not keep the program from starting: say so, start new.
        FModule.FLogging.HandleErrorException(nullptr, e);
        FProject.LoadProject(QString(), true);
    }
}

void TFormFront::RunProjectCommand(bool (TProjectController::*ACommand)()) {
    try {
        (FProject.*ACommand)();
    } catch (const std::exception& e) {
        FModule.FLogging.HandleErrorException(nullptr, e);
    }
    UpdateActions();
}

void TFormFront::ShowProjectState() {
    FShowingProject = true;
    FSettingsFrame->ShowSettings(FProject.GeneralSettings());
    FShowingProject = false;
    FInfoFrame->ShowProject(FProject.CurrentFilePath(), *FModule.FProgramOptions);
    ShowCombinations();
    setWindowTitle(FProject.WindowTitle(KBaseTitle));
}

void TFormFront::ShowCombinations() {
    FCombinationsView->clear();
    const TCombinationList& list = FProject.Combinations();
    for (int i = 0; i < list.Count(); ++i) {
        const TCombinationEntry& entry = list.At(i);
        new QTreeWidgetItem(FCombinationsView,
                            {entry.Pattern != nullptr ? entry.Pattern->PatType : QString(),
                             list.ModuleColumnText(i)});
    }
}

void TFormFront::SettingsEdited() {
    if (!FShowingProject)
        FProject.SetGeneralSettings(FSettingsFrame->Settings());
}

void TFormFront::UpdateActions() {
    const TBatchStatusSet status = FRunner.Status();
    const TFrontCommandState state = FrontCommandState(status, FWrapperRunning, FStopRequested);
    const auto enable = [this](const char* AName, bool AEnabled) {
        FActions.at(QString::fromLatin1(AName))->setEnabled(AEnabled);
    };
    enable("ALI_File_NewProject", state.NewProject);
    enable("ALI_File_OpenProject", state.OpenProject);
    enable("ALI_File_SaveProject", state.SaveProject);
    enable("ALI_File_SaveProjectAs", state.SaveProjectAs);
    enable("ALI_File_Exit", state.Exit);
    enable("ALI_Project_StartBatch", state.StartBatch);
    enable("ALI_Project_InterruptBatch", state.InterruptBatch);
    FBatchFrame->SetRuntimeEnabled(state.RuntimeUpdate);
    FPages->tabBar()->setEnabled(state.ChangePage);
    FSettingsFrame->setEnabled(state.EditSettings);
    if (state.WaitPointer != FWaitPointer) {
        FWaitPointer = state.WaitPointer;
        if (FWaitPointer)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    }
}

void TFormFront::ShowIdleStatus() {
    FBatchFrame->ShowStatus(TranslatedBatchStatus(TBatchRunner::StatusWord(FRunner.Status())));
}

void TFormFront::StartBatch() {
    if (FWrapperRunning || FRunner.Status().Has(bsWrapperActive))
        return;
    FSettingsFrame->CommitEdits();
    TProjectGeneralSettings settings = FSettingsFrame->Settings();
    const bool valid = FRunner.ValFrameProgramSetupGeneral(settings);
    // The check repairs the folders (trimmed, with their separator, reset into the safe area):
    // the page and the project take what it decided.
    FShowingProject = true;
    FSettingsFrame->ShowSettings(settings);
    FShowingProject = false;
    FProject.SetGeneralSettings(settings);
    if (!valid) {
        if (FModule.Prompts() != nullptr)
            FModule.Prompts()->ShowMessage(TPromptKind::Error,
                                           TranslatedMessage(KTextValidateSettingsFailed));
        return;
    }
    RunBatchWrapper(settings);
}

void TFormFront::InterruptBatch() {
    if (!FWrapperRunning)
        return;
    FStopRequested = true;
    FRunner.InterruptBatch();
    UpdateActions();
}

void TFormFront::RunBatchWrapper(const TProjectGeneralSettings& ASettings) {
    FWrapperRunning = true;
    FStopRequested = false;
    FPages->setCurrentWidget(FBatchFrame->parentWidget());
    FBatchFrame->ShowStatus(TranslatedMessage(KTextBatchStatusRunning));
    FBatchFrame->ShowBatchBegun(FModule.Now(), TranslatedMessage(KTextNotAvailableShort));
    UpdateActions();

    const TBatchRunRequest request{ASettings, FProject.BatchCombinations(),
                                   FProject.CurrentFilePath()};
    TBatchRunObserver observer;
    observer.OnProgress = [this](int AMax, int APosition, bool) { FRelay.Post(AMax, APosition); };
    // While the batch runs the commands follow its status; a Stop pressed before the engine
    // existed is passed on again until the engine has it.
    QTimer idle;
    idle.setInterval(KBatchIdleIntervalMs);
    connect(&idle, &QTimer::timeout, this, [this] {
        const TBatchStatusSet status = FRunner.Status();
        if (FStopRequested && status.Has(bsCoreActive) && !status.Has(bsEngineCalledOnTerminate))
            FRunner.InterruptBatch();
        UpdateActions();
    });
    idle.start();

    // The batch waits for its engine on a thread of its own; this thread keeps serving the
    // window in a local event loop that the batch's end quits.
    std::optional<TBatchRunResult> result;
    QString error;
    QEventLoop loop;
    std::thread batch([&] {
        try {
            result = FRunner.RunBatch(request, observer);
        } catch (const std::exception& e) {
            error = ExceptionMessage(e);
        } catch (...) {
            error = QStringLiteral("Unknown error");
        }
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    batch.join();
    idle.stop();
    FRelay.Cancel();
    FWrapperRunning = false;
    FStopRequested = false;

    ShowBatchEnd(result ? &*result : nullptr, error);
    FLogsFrame->Refresh();
    UpdateActions();
    if (FRunner.Status().Has(bsUserShutDownApp))
        close();
}

void TFormFront::ShowBatchEnd(const TBatchRunResult* AResult, const QString& AError) {
    QString failure = AError;
    if (AResult != nullptr) {
        FBatchFrame->ShowStatus(TranslatedBatchStatus(AResult->StatusText));
        FBatchFrame->ShowCounts(AResult->PathsToDo, AResult->ItemsDone);
        FBatchFrame->ShowTimeUsed(AResult->TimeUsedText);
        if (AResult->Failed)
            failure = AResult->FailureText;
    } else {
        // The batch did not get going; the status is what it was before.
        ShowIdleStatus();
    }
    if (failure.isEmpty())
        return;
    const QString text =
        TranslatedMessage(KTextBatchEndedWithError, {{QStringLiteral("dynErrorMessage"), failure}});
    FBatchFrame->ShowError(text);
    if (FModule.Prompts() != nullptr)
        FModule.Prompts()->ShowMessage(TPromptKind::Error, text);
}

void TFormFront::closeEvent(QCloseEvent* AEvent) {
    if (FWrapperRunning) {
        // The window closes itself once the interrupted batch has ended.
        AEvent->ignore();
        TUserPrompts* prompts = FModule.Prompts();
        if (prompts == nullptr || !prompts->AskYesNo(TPromptKind::Confirmation,
                                                     TranslatedMessage(KTextInterruptBatchExit)))
            return;
        {
            const std::lock_guard lock(FModule.FBatchStatusSetCS);
            FModule.FBatchStatusSet.Include(bsUserShutDownApp);
        }
        InterruptBatch();
        return;
    }
    {
        const std::lock_guard lock(FModule.FBatchStatusSetCS);
        FModule.FBatchStatusSet.Exclude(bsUserShutDownApp);
    }
    bool closed = false;
    try {
        closed = FProject.ExitProject(false);
    } catch (const std::exception& e) {
        FModule.FLogging.HandleErrorException(nullptr, e);
    }
    if (!closed) {
        AEvent->ignore();
        return;
    }
    AEvent->accept();
}

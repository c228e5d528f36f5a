#include "app/module_shared.h"

#include "base/exceptions.h"
#include "platform/single_instance.h"
#include "platform/system_folders.h"
#include "translation/language_controller.h"
#include "translation/translation_startup.h"

namespace {
TModuleShared* GModule = nullptr;
}  // namespace

TModuleShared* TModuleShared::Instance() {
    return GModule;
}

TModuleShared::TModuleShared(TModuleEnvironment AEnvironment)
    : FEnvironment(std::move(AEnvironment)) {
    if (GModule != nullptr)
        throw EqvOperationNotPossible(QStringLiteral("The application module exists already."));
    FClock = FEnvironment.Clock ? FEnvironment.Clock : [] { return QDateTime::currentDateTime(); };
    FPrompts = FEnvironment.Prompts;
    ModuleCreate();
}

TModuleShared::~TModuleShared() {
    ModuleDestroy();
    if (GModule == this)
        GModule = nullptr;
}

void TModuleShared::ModuleCreate() {
    // 1. Folders, the single-instance check and the program log's file.
    const TDirectorySetupResult setup =
        SetupDirectories({FEnvironment.ProgramFolder, FEnvironment.DocumentsFolder,
                          FEnvironment.FolderMaker, FEnvironment.DataRootOverride});
    FFolders = setup.Folders;
    FPlaceholders = setup.Placeholders;
    FMuc = setup.Muc;
    if (FEnvironment.CheckSingleInstance) {
        FSingleInstance =
            std::make_unique<TSingleInstance>(KApplicationId, FEnvironment.SingleInstanceSocket);
        if (!FSingleInstance->TryBecomePrimary()) {
            FIsSecondInstance = true;
            FTerminating = true;
        } else if (FEnvironment.OnActivateRequest) {
            FSingleInstance->SetOnActivate(FEnvironment.OnActivateRequest);
        }
    }
    FLogging.FLogFileName = FFolders.ProgramLogPath();
    FLogging.SetClock(FClock);
    FLogging.SetPrompts(FPrompts);

    // 2. The process-wide reference.
    GModule = this;

    // 3. No batch yet.
    FBatchLogCS.reset();
    FBatchLogFileName.clear();
    FAppParam_BeginProjectPath.clear();

    // 4. The translation bundle.
    FLanguageComposite = std::make_unique<TqvlgLanguageCompositeAll>();

    // 5. Options and the folders a project and a batch need.
    FProgramOptions = std::make_unique<TProgramOptions>(FClock());
    FProgramOptions->FindViewerPrograms();
    TFolderMaker realMaker;
    TFolderMaker& maker =
        FEnvironment.FolderMaker != nullptr ? *FEnvironment.FolderMaker : realMaker;
    for (const QString& folder :
         {FFolders.TempInputFolder, FFolders.TempWorkFolder, FFolders.BatchLogsFolder,
          FFolders.ReuseGridFolder, FFolders.ReuseFileFolder})
        maker.MakePath(folder);

    // 6. and 7. The options file and the reopen list.
    FProgramOptions->LoadFromFile(FFolders.OptionsFilePath(), FPlaceholders);
    FProgramOptions->PruneReopenList(FProgramOptions->FProjectReopenListSize);

    // 8. Translation: language from the options (the matched code goes back into them).
    SetupTranslationAtStart(FLanguageComposite->Core(), FFolders.TranslationsFolder,
                            FProgramOptions->FLanguageCulture, FFolders.ProgramLogPath(),
                            FFolders.DataFolder, QStringLiteral(PLOVANE_VERSION_STRING), FClock());
    // Texts about the batch logs name their folder.
    FLanguageComposite->Core().AddTemplateVar(QStringLiteral("AppDirLogsBatchesDirRootPath"),
                                              FFolders.BatchLogsFolder, {}, false);

    // 9. The command line.
    const TAppParams params = ReadCommandLine(FEnvironment.Arguments);
    FAppParam_BeginProjectPath = params.BeginProjectPath;
    FAppParam_HideAppGUI = params.HideAppGUI;
    FAppParam_ExitAppWhenDone = params.ExitAppWhenDone;

    // 10. The main window.
    if (!FTerminating && FEnvironment.CreateMainWindow)
        FEnvironment.CreateMainWindow(*this);
    FIsInsideCreateInitFinit = false;
}

void TModuleShared::AfterStartup() {
    if (FTerminating)
        return;
    RunAfterStartup();
}

void TModuleShared::RunAfterStartup() {
    if (!FAppParam_BeginProjectPath.isEmpty() && FEnvironment.RunProjectBatch) {
        try {
            FEnvironment.RunProjectBatch(*this, FAppParam_BeginProjectPath);
        } catch (const std::exception& e) {
            FLogging.HandleErrorException(nullptr, e);
        }
    }
    if (FAppParam_HideAppGUI || FAppParam_ExitAppWhenDone)
        Terminate();
}

void TModuleShared::Terminate() {
    FTerminating = true;
    if (FEnvironment.TerminateApplication)
        FEnvironment.TerminateApplication();
}

void TModuleShared::ModuleDestroy() {
    FSingleInstance.reset();
    // A second instance hands over at once and must not overwrite the first one's options.
    if (FProgramOptions && !FIsSecondInstance) {
        QString error;
        if (!FProgramOptions->SaveToFile(FFolders.OptionsFilePath(), FPlaceholders, &error)) {
            const TLogSender sender{QStringLiteral("TProgramOptions"), {}};
            FLogging.Log(&sender, nullptr,
                         QStringLiteral("The options could not be saved to \"") +
                             FFolders.OptionsFilePath() + QStringLiteral("\": ") + error);
        }
    }
    FProgramOptions.reset();
    FLanguageComposite.reset();
}

void ExpandPathPlaceholders(QString& AText) {
    if (const TModuleShared* module = TModuleShared::Instance())
        module->Placeholders().Expand(AText);
}

void CollapsePathPlaceholders(QString& AText) {
    if (const TModuleShared* module = TModuleShared::Instance())
        module->Placeholders().Collapse(AText);
}

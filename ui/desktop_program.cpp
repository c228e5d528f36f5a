#include "ui/desktop_program.h"

#include <QCoreApplication>

#include "app/module_shared.h"
#include "base/exceptions.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"
#include "project/headless_run.h"
#include "translation/translated_text.h"
#include "ui/main_window/form_front.h"
#include "ui/main_window/front_texts.h"
#include "ui/translation/language_choice.h"

TDesktopProgram::TDesktopProgram(bool AHidden) : FHidden(AHidden) {
    RegisterAllInternalPlugins(FRegistry);
}

TDesktopProgram::~TDesktopProgram() {
    Close();
}

void TDesktopProgram::Attach(TModuleEnvironment& AEnvironment) {
    AEnvironment.Prompts = FHidden ? static_cast<TUserPrompts*>(&FConsolePrompts) : &FWidgetPrompts;
    AEnvironment.CreateMainWindow = [this](TModuleShared& AModule) { CreateMainWindow(AModule); };
    AEnvironment.RunProjectBatch = [this](TModuleShared&, const QString& AProjectPath) {
        if (FWindow == nullptr)
            return;
        FBatchExitCode = FWindow->RunCommandLineProject(AProjectPath);
        // Unseen, the outcome goes where a script can read it, as from plovane-run.
        if (FHidden && FWindow->LastBatchResult().has_value())
            for (const QString& line : HeadlessOutcomeLines(*FWindow->LastBatchResult()))
                WriteConsole(stdout, line + QLatin1Char('\n'));
    };
    AEnvironment.OnActivateRequest = [this] { Activate(); };
}

void TDesktopProgram::CreateMainWindow(TModuleShared& AModule) {
    FHost = std::make_unique<TPluginHost>(
        FRegistry, TPluginHostSetup{AModule.Folders().ModulesFolder, AModule.Folders().TempFolder,
                                    &AModule.FLogging});
    QString discoveryError;
    try {
        FHost->Discover();
    } catch (const std::exception& e) {
        // The window still opens, without plugins, so that the user can see what happened.
        AModule.FLogging.Log(nullptr, &e, QStringLiteral("Discovering the plugins"));
        discoveryError = ExceptionMessage(e);
        FHost->Clear();
    }
    // A translation may turn the whole program right-to-left.
    ApplyReadingOrder(AModule.FLanguageComposite->Core());
    TFormFrontSetup setup;
    setup.Module = &AModule;
    setup.Host = FHost.get();
    if (FWindowSetupHook)
        FWindowSetupHook(setup);
    FWindow = std::make_unique<TFormFront>(std::move(setup));
    FWidgetPrompts.SetParent(FWindow.get());
    FWindow->RestoreWindowSetup();
    FWindow->LoadStartupProject();
    if (!FHidden && AModule.FProgramOptions->FShowWindowOnStartup)
        FWindow->show();
    if (!discoveryError.isEmpty() && AModule.Prompts() != nullptr)
        AModule.Prompts()->ShowMessage(
            TPromptKind::Error,
            TranslatedMessage(KTextPluginsNotSetUp,
                              {{QStringLiteral("dynErrorMessage"), discoveryError}}));
}

void TDesktopProgram::Activate() {
    if (FWindow == nullptr || FHidden)
        return;
    FWindow->setWindowState(FWindow->windowState() & ~Qt::WindowMinimized);
    FWindow->show();
    FWindow->raise();
    FWindow->activateWindow();
}

void TDesktopProgram::Close() {
    FWidgetPrompts.SetParent(nullptr);
    FWindow.reset();
    FHost.reset();
}

#pragma once

#include <QString>

#include <memory>

#include "app/user_prompts.h"
#include "plugin_host/internal_plugin_registry.h"
#include "ui/main_window/widget_prompts.h"

class TFormFront;
class TModuleShared;
class TPluginHost;
struct TFormFrontSetup;
struct TModuleEnvironment;

// The desktop program around the application module: the prompts, the plugin host and the main
// window, created in the module's start-up steps through its environment's hooks. A project
// named on the command line runs through the window's Start command.
class TDesktopProgram {
public:
    // AHidden: the window is never shown ("-hide"); questions are then answered on the terminal,
    // since nobody could see a dialog.
    explicit TDesktopProgram(bool AHidden);
    ~TDesktopProgram();
    TDesktopProgram(const TDesktopProgram&) = delete;
    TDesktopProgram& operator=(const TDesktopProgram&) = delete;

    // Fills the environment's prompts and hooks (main window, after-start batch, activation).
    void Attach(TModuleEnvironment& AEnvironment);

    // The internal plugins the host offers; tests add their own before the module is created.
    TCollectionInternalPluginTypes& Registry() { return FRegistry; }
    // Lets tests answer the window's dialogs; the default is the platform's.
    void SetWindowSetupHook(std::function<void(TFormFrontSetup&)> AHook) {
        FWindowSetupHook = std::move(AHook);
    }

    TFormFront* Window() const { return FWindow.get(); }
    TPluginHost* Host() const { return FHost.get(); }
    // The exit code of the command line's batch (that of a run without a window), or success
    // when none was named.
    int BatchExitCode() const { return FBatchExitCode; }
    // Destroys the window and the plugins; before the module goes.
    void Close();

private:
    void CreateMainWindow(TModuleShared& AModule);
    void Activate();

    bool FHidden;
    TWidgetPrompts FWidgetPrompts;
    TConsolePrompts FConsolePrompts;
    TCollectionInternalPluginTypes FRegistry;
    std::function<void(TFormFrontSetup&)> FWindowSetupHook;
    std::unique_ptr<TPluginHost> FHost;
    std::unique_ptr<TFormFront> FWindow;
    int FBatchExitCode = 0;
};

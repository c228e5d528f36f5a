#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_host.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_folders.h"
#include "ui/main_window/form_front.h"

class TModuleShared;

// Holds the batch's workers in the gate plugin until the test opens it.
struct TWorkGate {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Entered = false;
    bool Open = false;

    // False when no worker came within a minute.
    bool WaitEntered();
    void Release();
};

// A module on temporary folders with scripted prompts, every internal plugin plus the test's
// gate plugin ("zq_test_Gate"), a plugin that fails when its combination starts
// ("zq_test_Failing") and one that advises the batch to stop at a path named "stop"
// ("zq_test_Advising"), and a main window on them.
class TUiTestEnvironment {
public:
    TUiTestEnvironment();
    ~TUiTestEnvironment();

    TFormFront& Window() { return *FWindow; }
    TModuleShared& Module() { return *FModule; }
    TPluginHost& Host() { return *FHost; }
    TScriptedPrompts& Prompts() { return FPrompts; }
    TTempFolder& Temp() { return FTemp; }
    TWorkGate& Gate() { return FGate; }
    // The internal plugin types; plugins added here take part after Window().ReloadPlugins().
    TCollectionInternalPluginTypes& Registry() { return FRegistry; }
    // Makes a second main window on the same module and plugins, as a new start would.
    std::unique_ptr<TFormFront> MakeWindow();

    // A file below the temp input folder.
    void WriteInput(const QString& ARelative, const QByteArray& ABytes = "x");
    // Adds a combination of the plugin with the given identifier to the open project; false
    // when it was refused.
    bool AddCombination(const QString& AFilter, const QString& AStrID);

    // What the folder chooser answers next (empty: cancelled) and what it was asked.
    QString NextFolder;
    QStringList FolderCaptions;
    // What the save dialog answers.
    QString NextSaveFile;
    // The print dialog: sets the printer up and says whether to print; none: cancelled.
    std::function<bool(QPrinter&)> ChoosePrinter;

private:
    TTempFolder FTemp;
    std::optional<TScopedEnv> FDataHome;
    TScriptedPrompts FPrompts;
    TWorkGate FGate;
    std::unique_ptr<TModuleShared> FModule;
    TCollectionInternalPluginTypes FRegistry;
    std::unique_ptr<TPluginHost> FHost;
    std::unique_ptr<TFormFront> FWindow;
};

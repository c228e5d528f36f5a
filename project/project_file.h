#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "batch/batch_plugin_props.h"
#include "batch/project_settings.h"
#include "project/combination_list.h"
#include "project/module_config_stream.h"

class TBatchStatusSet;
class TIniDocument;
class TModuleShared;
class TPathPlaceholders;
class TPluginHost;
class TProgramOptions;
class TqvLogging;
class TUserPrompts;
enum class TPromptKind;
struct TFolderTable;

// Project file names and keys.
inline const QString KProjectFileExt = QStringLiteral("plv");
inline const QString KProjectSection = QStringLiteral("Project Details");
inline const QString KProjectSavedVersion = QStringLiteral(PLOVANE_VERSION_STRING);

// What the project controller works with. The host, the options, the folders and the
// placeholders are required; the rest may be absent.
struct TProjectEnvironment {
    TPluginHost* Host = nullptr;
    TProgramOptions* Options = nullptr;  // the project state lives here
    const TFolderTable* Folders = nullptr;
    const TPathPlaceholders* Placeholders = nullptr;
    TUserPrompts* Prompts = nullptr;  // none: messages are not shown, questions answer "no"
    TqvLogging* Log = nullptr;
    std::function<QDateTime()> Clock;  // now; the system clock when empty
    // The module's batch status and its lock: a load while no batch runs resets the shown
    // outcome of the last batch. None: not kept.
    TBatchStatusSet* BatchStatus = nullptr;
    std::mutex* BatchStatusLock = nullptr;

    // Everything taken from the application module.
    static TProjectEnvironment FromModule(TModuleShared& AModule, TPluginHost& AHost);
};

// What the open and save dialogs show: the file type filter ("Plovane project files (*.plv)|
// *.plv"), the default extension and the folder they start in.
struct TProjectDialogSetup {
    QString Filter;
    QString DefaultExtension;
    QString StartFolder;
};
// Shows an open or save dialog; nothing when the user cancels.
using TProjectFileChooser = std::function<std::optional<QString>(const TProjectDialogSetup&)>;

// Everything a project file holds, read before any of it is applied.
struct TProjectData {
    QString SavedVersion;
    QDateTime Created;
    QDateTime Modified;
    TProjectGeneralSettings Settings;
    TModuleConfigContent Combinations;
};

// The open project: its general settings, its combination list and the project commands (new,
// open, reopen, save, save as, close) that the main window and the command line share. The
// project's file path, dates and saved-with version are kept in the program options record.
// Questions and messages go through the environment's prompts; the dialogs through the
// choosers.
class TProjectController {
public:
    explicit TProjectController(TProjectEnvironment AEnvironment);
    TProjectController(const TProjectController&) = delete;
    TProjectController& operator=(const TProjectController&) = delete;

    // The open project.
    const TProjectGeneralSettings& GeneralSettings() const { return FSettings; }
    // Takes edited settings (the thread count is kept within 1 to 81); a difference marks the
    // project as changed.
    void SetGeneralSettings(const TProjectGeneralSettings& ASettings);
    TCombinationList& Combinations() { return FCombinations; }
    const TCombinationList& Combinations() const { return FCombinations; }
    // The combinations as the batch engine takes them.
    std::vector<TBatchCombination> BatchCombinations() const {
        return FCombinations.BatchCombinations();
    }

    // The project's file, empty for a new project.
    QString CurrentFilePath() const;
    // Any setting or combination edited since the project was loaded or saved.
    bool HasProjectChanged() const { return FHasProjectChanged || FCombinations.Changed(); }
    void SetProjectChanged() { FHasProjectChanged = true; }
    // The project came from a file rather than from the default project.
    bool HasActiveDiscProject() const { return FHasActiveDiscProject; }
    // Combinations the last load left out (missing plugin, refused filter); they are also
    // logged and shown to the user.
    const std::vector<TDroppedCombination>& LastDroppedCombinations() const { return FDropped; }

    // Loads a project file (AMakeNewProject false) or makes a new project (APath empty,
    // AMakeNewProject true): from the default project when one is set, else from the defaults.
    // A missing file gives a new project with the defaults after a message. A file that cannot
    // be read, is no project file (no section "Project Details") or is damaged raises and leaves
    // the open project as it was.
    void LoadProject(const QString& APath, bool AMakeNewProject);
    // Closes the project: asks to save changes (Yes, No, Cancel). False when the user cancels or
    // the save that was asked for did not happen.
    bool ExitProject(bool ADataOnly);
    // Writes the project to its current path with the extension ".plv", keeping the previous
    // file as ".~plv". False (the user told, the error logged) when it failed; the previous file
    // and the project in memory are then unchanged.
    bool Save();

    // The project commands. Each returns false when it was cancelled or failed.
    bool NewProject();
    bool OpenProject();
    bool ReopenProject(const QString& APath);
    bool SaveProject();
    bool SaveProjectAs();

    // Base title + " - " + the project file's name, or + " - new project".
    QString WindowTitle(const QString& ABaseTitle) const;
    TProjectDialogSetup DialogSetup() const;
    // The file a save of APath writes: its folder, its name without extension, ".plv".
    static QString ProjectFileTarget(const QString& APath);

    // The open and save dialogs; without them Open and Save As behave as cancelled.
    TProjectFileChooser ChooseOpenFile;
    TProjectFileChooser ChooseSaveFile;
    // Called before a save and before a close asks about changes, so an editor writes its open
    // page into the combination list.
    std::function<void()> FlushEditors;
    // Called once before a save writes: an editor may warn about values that fail their check
    // (they are saved all the same).
    std::function<void()> ValidateEditorsBeforeSave;
    // Called after the project was loaded, saved or closed (title, reopen menu, pages).
    std::function<void()> OnStateChanged;

private:
    TProjectData ReadProjectData(const TIniDocument& ADocument, const QString& AFileForErrors);
    TIniDocument ReadProjectFile(const QString& APath) const;
    QByteArray ProjectFileBytes(const QDateTime& AModified) const;
    void Apply(TProjectData AData, const QString& AFileForLog);
    // A new project from the defaults alone (the default project is not read).
    void MakeDefaultsProject();
    void ShowMessage(TPromptKind AKind, const QString& AText) const;
    void LogMessage(const QString& AText, const std::exception* AError = nullptr) const;
    QDateTime Now() const;
    void NotifyStateChanged();
    // Loads and reports a failure to the user instead of raising; falls back to a new project.
    bool LoadOrFallBack(const QString& APath);
    // Save after the target was decided; ANewCurrentPath becomes the project path on success.
    bool SaveTo(const QString& ANewCurrentPath);

    TProjectEnvironment FEnv;
    TProjectGeneralSettings FSettings;
    TCombinationList FCombinations;
    bool FHasProjectChanged = false;
    bool FHasActiveDiscProject = false;
    std::vector<TDroppedCombination> FDropped;
};

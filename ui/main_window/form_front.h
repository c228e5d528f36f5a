#pragma once

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "batch/batch_runner.h"
#include "project/project_file.h"
#include "ui/main_window/frame_program_setup_general.h"
#include "ui/main_window/front_commands.h"
#include "ui/main_window/progress_relay.h"
#include "ui/property_pages/frame_common.h"
#include "ui/text_tools/text_search.h"
#include "ui/translation/language_assistants.h"

class QAction;
class QMenu;
class QPrinter;
class TFormSearchText;
class QTabWidget;
class QTreeWidget;
class TFrameBatchSetupRoot;
class TFrameLogs;
class TFrameProjectInfo;
class TFrameProgramSetupPlugins;
class TModuleShared;
class TPluginHost;

// What the main window needs. The choosers default to the platform's file dialogs.
struct TFormFrontSetup {
    TModuleShared* Module = nullptr;
    TPluginHost* Host = nullptr;
    TProjectFileChooser ChooseOpenFile;
    TProjectFileChooser ChooseSaveFile;
    TFrameProgramSetupGeneral::TFolderChooser ChooseFolder;
    // The print dialog: true when the printer was chosen and set up.
    std::function<bool(QPrinter&)> ChoosePrinter;
    // The printer and page set-up dialog.
    std::function<void(QPrinter&)> SetUpPage;
    // What the property pages' services and import/export ask (default: the platform's file
    // dialogs and the text editor dialog).
    TProjectFileChooser ChoosePageOpenFile;
    TProjectFileChooser ChoosePageSaveFile;
    TStrEditorRunner EditText;
};

// The program's main window: the open project on its pages, the project and batch commands and
// the batch wrapper. The project logic is the project controller's, the batch the runner's; the
// window shows them and asks through the module's prompts.
class TFormFront : public QMainWindow, public TqvlgTranslatedWindow {
public:
    explicit TFormFront(TFormFrontSetup ASetup);
    ~TFormFront() override;

    // The section of the window's texts in "UTF8_program.ini".
    static const QString KTransSection;

    TProjectController& Project() { return FProject; }
    // The "Project modules" page.
    TFrameProgramSetupPlugins& ModulesFrame() { return *FModulesFrame; }
    TBatchRunner& Runner() { return FRunner; }

    // The start-up project: the first of the reopen list when the options say so, else new.
    void LoadStartupProject();

    // The Start command: validates the settings, then runs the batch while the window stays
    // responsive; returns when the batch has ended (or did not start).
    void StartBatch();
    // The Stop command.
    void InterruptBatch();
    bool IsBatchRunning() const { return FWrapperRunning; }
    // The outcome of the last batch started from this window, if one ran.
    const std::optional<TBatchRunResult>& LastBatchResult() const { return FLastResult; }
    // The command line's project: opened and run through Start; returns the exit code a run
    // without a window would give.
    int RunCommandLineProject(const QString& APath);

    // "Reload Plugins": closes the project, discovers the plugins again and makes a new project.
    void ReloadPlugins();
    // What "Print..." prints: the focused (or last focused) text control of the selected page,
    // else what the page offers; false when there is nothing to print.
    bool PrintTo(QPrinter& APrinter);
    // The text control the edit, search and print commands act on, or null.
    QWidget* TextTarget() const;
    // The find and replace dialogs, once opened.
    TFormSearchText* FindDialog() const { return FFindDialog; }
    TFormSearchText* ReplaceDialog() const { return FReplaceDialog; }

    // Makes ALanguage the chosen language of every window and keeps it in the options.
    void ChangeLanguage(const QString& ALanguage);

    // The window's place and bars from the options file, when the options keep them.
    void RestoreWindowSetup();
    void SaveWindowSetup();

    void LanguageCulture_SetNativeOnce() override;
    void LanguageCulture_SetNativeOnce_GUI() override;
    void LanguageCulture_LoadCurrent_GUI() override;
    void UpdateVisuals() override;
    TqvlgLanguageAssistantsGui& Assistants() { return FAssistants; }

    // Recomputes which commands are available from the batch status.
    void UpdateActions();

    static const QString KBaseTitle;

protected:
    void closeEvent(QCloseEvent* AEvent) override;

private:
    QAction* AddAction(const QString& AName, const QString& ACaption, const QKeySequence& AKey,
                       void (TFormFront::*AHandler)());
    void BuildActions();
    void BuildEditMenu(QMenu* AMenu);
    void BuildPages();
    void RebuildReopenMenu();
    void RebuildLanguageMenu();
    void UpdateEditActions();
    // Insert File Path, Open Text Editor, Import and Export follow the shown page.
    void UpdateServiceActions();
    // The combination editor when its page is the one shown, else null.
    TFrameProgramSetupPlugins* ShownModulesFrame() const;
    void InsertFilePath();
    void OpenTextEditor();
    void ImportData();
    void ExportData();
    void ShowAbout();
    // The pages' frames; each has a text section of its own.
    std::vector<QWidget*> Frames() const;
    // A project command; an error reaches the program log and the user.
    void RunProjectCommand(bool (TProjectController::*ACommand)());
    void NewProject() { RunProjectCommand(&TProjectController::NewProject); }
    void OpenProject() { RunProjectCommand(&TProjectController::OpenProject); }
    void SaveProject() { RunProjectCommand(&TProjectController::SaveProject); }
    void SaveProjectAs() { RunProjectCommand(&TProjectController::SaveProjectAs); }
    void ExitProgram() { close(); }
    void RunReloadPlugins() { ReloadPlugins(); }
    // The edit commands, on the focused text control.
    void EditUndo();
    void EditCut();
    void EditCopy();
    void EditPaste();
    void EditDelete();
    void EditSelectAll();
    void EditSearch();
    void EditSearchNext();
    void EditReplace();
    void EditWordWrap();
    void PrinterSetup();
    void Print();
    TFormSearchText* SearchDialog(bool AReplace);
    void ShowProjectState();
    void ShowCombinations();
    void SettingsEdited();
    void RunBatchWrapper(const TProjectGeneralSettings& ASettings);
    void ShowBatchEnd(const TBatchRunResult* AResult, const QString& AError);
    void ShowIdleStatus();

    TModuleShared& FModule;
    TPluginHost& FHost;
    TqvlgLanguageAssistantsGui FAssistants;
    TProjectController FProject;
    TBatchRunner FRunner;
    std::map<QString, QAction*> FActions;
    QTabWidget* FPages = nullptr;
    TFrameProjectInfo* FInfoFrame = nullptr;
    TFrameProgramSetupGeneral* FSettingsFrame = nullptr;
    TFrameProgramSetupPlugins* FModulesFrame = nullptr;
    TFrameBatchSetupRoot* FBatchFrame = nullptr;
    TFrameLogs* FLogsFrame = nullptr;
    QMenu* FReopenMenu = nullptr;
    QMenu* FLanguageMenu = nullptr;
    TFormSearchText* FFindDialog = nullptr;
    TFormSearchText* FReplaceDialog = nullptr;
    std::optional<TTextSearchOptions> FLastSearch;
    QPointer<QWidget> FLastTextControl;
    std::unique_ptr<QPrinter> FPrinter;
    std::function<bool(QPrinter&)> FChoosePrinter;
    std::function<void(QPrinter&)> FSetUpPage;
    std::optional<TBatchRunResult> FLastResult;
    bool FLastStartInvalid = false;
    TProgressRelay FRelay;
    bool FWrapperRunning = false;
    bool FStopRequested = false;
    bool FWaitPointer = false;
    bool FShowingProject = false;
};

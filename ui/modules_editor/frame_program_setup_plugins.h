#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

#include "ui/property_pages/frame_common.h"
#include "ui/translation/language_assistants.h"

class QAction;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QTabBar;
class QToolBar;
class QTreeWidget;
class QVBoxLayout;
class TCombinationList;
class TPluginHost;
class TPluginProperty;
class TPluginStoredLibInfo;
class TqvLogging;

// What the combination editor works on and with.
struct TModulesEditorSetup {
    TCombinationList* List = nullptr;  // the open project's list; required
    TPluginHost* Host = nullptr;       // required
    TqvLogging* Log = nullptr;         // errors reach the program log and the user
    // What the property pages get (prompts, choosers, the temp folder, the text editor).
    TFrameServices PageServices;
    // Anything the user did that changed the list or a value.
    std::function<void()> OnChanged;
};

// Which list actions are possible now.
struct TModulesActionStates {
    bool AddItem = false;
    bool InsertItem = false;
    bool DeleteItem = false;
    bool SwapItemUp = false;
    bool SwapItemDown = false;
};

// The help panel's text of a property: its help, for grids a blank line and the row-ignore
// condition, for grids with a password column a blank line and the sensitive-data note; the
// general help when that is empty (also for the information tab: AProperty null).
QString PropertyHelpText(const TPluginProperty* AProperty);

// The "Project modules" page (the list must outlive it): the run-order list of filter/module
// combinations with the pattern and plugin choosers and the list actions, the property tabs of the
// selected combination ("Information" first) with the one open page, and the help panel. Selecting
// a combination starts its edit session (the plugin loaded and set up for editing) and leaving it
// ends the session. A page is checked before it is left, and leaving is refused while the check
// fails.
class TFrameProgramSetupPlugins : public QWidget, public TqvlgTranslatedWindow {
public:
    explicit TFrameProgramSetupPlugins(TModulesEditorSetup ASetup, QWidget* AParent = nullptr);
    ~TFrameProgramSetupPlugins() override;

    static const QString KTransSection;  // "__FrameProgramSetupPlugins"

    // The list actions ALI_AddItem, ALI_InsertItem, ALI_DeleteItem, ALI_SwapItemUp and
    // ALI_SwapItemDown; they act on the open grid page's rows while the list controls do not
    // have the focus.
    QList<QAction*> ListActions() const;
    QAction* ListAction(const QString& AName) const;

    void AddItem();
    void InsertItem();
    void DeleteItem();
    void SwapItemUp();
    void SwapItemDown();
    // What the actions may do now, from the focus, the choosers and the selection.
    TModulesActionStates ActionStates() const;
    void UpdateActionStates();

    // The selected combination, -1 when none.
    int SelectedIndex() const { return FSessionIndex; }
    // Selects a combination (-1: none); false when the open page refused to be left.
    bool SelectEntry(int AIndex);
    // The selected tab (0: information), -1 when none is open.
    int SelectedTab() const { return FCurrentTab; }
    // Opens a tab of the selected combination; false when the open page refused to be left.
    bool SelectTab(int ATab);
    // The open page, or null.
    TFrameCommonPlugin* OpenPage() const { return FPage; }
    // The plugin of the edit session, or null.
    TPluginStoredLibInfo* SessionPlugin() const { return FSessionPlugin; }

    // Writes the open page into its value stream (the project then holds what the page shows).
    void FlushOpenPage();
    // The open page's check; true when there is none.
    bool CheckOpenPage();
    // Before a batch: the open page and every property of every combination are checked with
    // their plugins; the first that fails is selected and shown, and false is returned.
    bool ValidateAll();
    // Before a save: a failing open page is named in a warning (its values are kept all the
    // same).
    void ValidateBeforeSave();
    // Ends the edit session (the open page saved into its stream when ASave) and selects nothing.
    void CloseSession(bool ASave);
    // The list was replaced (a project load): the session ends without touching the old
    // entries.
    void DropSession();

    // Shows the list's entries again (after a load, a save, a plugin reload).
    void ShowCombinations();
    // Fills the pattern and plugin choosers from the registry and the host.
    void RebuildChoosers();

    // The services of the open page.
    bool Can_ServiceRequest_InsertFilePath() const;
    bool Can_ServiceRequest_OpenTextEditor() const;
    bool ServiceRequest_InsertFilePath();
    bool ServiceRequest_OpenTextEditor();
    bool CanImport() const;
    bool CanExport() const;
    bool DoImport();
    bool DoExport();
    bool Can_Frame_Print() const;
    bool Frame_Print(QPrinter& APrinter);

    void LanguageCulture_SetNativeOnce_GUI() override;
    void LanguageCulture_LoadCurrent_GUI() override;

    QComboBox* PatternChooser() const { return FPatterns; }
    QComboBox* PluginChooser() const { return FPlugins; }
    QTreeWidget* EntryList() const { return FList; }
    QTabBar* PropertyTabs() const { return FTabs; }
    QPlainTextEdit* HelpPanel() const { return FHelp; }
    QLabel* PickLabel() const { return FPickLabel; }

private:
    void BuildLayout();
    void BuildActions();
    void AddOrInsert(bool AInsert);
    // Whether the focus is on the list, a chooser or the pattern tool bar.
    bool ListControlsFocused() const;
    // The open page takes the row actions while it has the focus.
    TFrameCommonPlugin* RowActionPage() const;
    bool OpenSession(int AIndex);
    void OpenTab(int ATab);
    void SavePage();
    void FreePage();
    void ShowPickText();
    void ShowHelp();
    void SelectRow(int AIndex);
    void OnCurrentRowChanged(int ARow);
    void OnTabChanged(int ATab);
    void ReportError(const std::exception& AError);
    // Releases a plugin loaded for a check; a failure is reported.
    void ReleaseQuietly(TPluginStoredLibInfo& APlugin);
    void Changed();

    TModulesEditorSetup FSetup;
    TCombinationList& FCombinations;
    QToolBar* FPatternBar = nullptr;
    QComboBox* FPatterns = nullptr;
    QComboBox* FPlugins = nullptr;
    QTreeWidget* FList = nullptr;
    QTabBar* FTabs = nullptr;
    QWidget* FPageArea = nullptr;
    QVBoxLayout* FPageLayout = nullptr;
    QLabel* FPickLabel = nullptr;
    QPlainTextEdit* FHelp = nullptr;
    QLabel* FRunOrderLabel = nullptr;
    QAction* FAddItem = nullptr;
    QAction* FInsertItem = nullptr;
    QAction* FDeleteItem = nullptr;
    QAction* FSwapItemUp = nullptr;
    QAction* FSwapItemDown = nullptr;
    TqvlgStoredString FStrInformation;
    // The pattern chooser's text was typed rather than picked.
    bool FPatternTyped = false;
    // Signals of the list and the tabs that the editor causes itself are not the user's.
    int FQuiet = 0;
    int FSessionIndex = -1;
    TPluginStoredLibInfo* FSessionPlugin = nullptr;
    int FCurrentTab = -1;
    TFrameCommonPlugin* FPage = nullptr;
};

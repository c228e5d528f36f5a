#pragma once

#include <QDialog>
#include <QHash>

#include <functional>
#include <vector>

#include "project/project_file.h"
#include "ui/translation/language_assistants.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QSlider;
class QTabWidget;
class TModuleShared;
class TNumberTrackPair;
struct TqvlgNativeText;

// What the options dialog needs.
struct TFormOptionsSetup {
    TModuleShared* Module = nullptr;
    TqvlgLanguageAssistantsGui* Assistants = nullptr;
    // The "..." file dialog of the default project and what it shows.
    TProjectFileChooser ChooseFile;
    TProjectDialogSetup FileDialog;
    // Called after OK pruned the reopen list, so the window's Reopen menu follows at once.
    std::function<void()> OnReopenListPruned;
};

// The program options that have controls, on four pages, with a help pane that follows the
// focused control. OK copies the controls into the options record (written to disk when the
// program ends); Cancel changes nothing. The dialog keeps its placement and open page in the
// options file's section "FormOptions" when the options say so.
class TFormOptions : public QDialog, public TqvlgTranslatedWindow {
public:
    TFormOptions(TFormOptionsSetup ASetup, QWidget* AParent = nullptr);
    ~TFormOptions() override;

    // The section of the dialog's window texts in "UTF8_program.ini", and its stored setup in
    // the options file.
    static const QString KTransSection;
    static const QString KSetupSection;
    static const QString KSetupKeyPage;

    void LanguageCulture_SetNativeOnce() override;
    void LanguageCulture_SetNativeOnce_GUI() override;
    void LanguageCulture_LoadCurrent_GUI() override;
    // The help pane in the chosen language.
    void UpdateVisuals() override;

protected:
    void showEvent(QShowEvent* AEvent) override;

private:
    QWidget* BuildGeneralPage();
    QWidget* BuildVisualsPage();
    QWidget* BuildSecurityPage();
    QWidget* BuildLoggingPage();
    void ShowOptions();
    void RestoreSetup();
    void StoreSetup();
    void Accept();
    void ChooseDefaultProject();
    void FocusPageStart();
    void ShowHelpFor(QWidget* AControl);

    TFormOptionsSetup FSetup;
    TModuleShared& FModule;
    TqvlgLanguageAssistantsGui& FAssistants;
    QTabWidget* FPages = nullptr;
    QPlainTextEdit* FHelp = nullptr;
    QLineEdit* FDefaultProject = nullptr;
    QCheckBox* FLoadLastProject = nullptr;
    QSlider* FReopenSizeTrack = nullptr;
    TNumberTrackPair* FReopenSize = nullptr;
    QCheckBox* FSaveWindows = nullptr;
    QCheckBox* FSaveToolbars = nullptr;
    QCheckBox* FSaveMisc = nullptr;
    QCheckBox* FHumanSafeMode = nullptr;
    QSlider* FLogCountTrack = nullptr;
    TNumberTrackPair* FLogCount = nullptr;
    // The control each page starts with.
    std::vector<QWidget*> FPageStarts;
    // The help text of each control that has one, and the track bar whose range it quotes.
    struct THelp {
        const TqvlgNativeText* Text = nullptr;
        const QSlider* Range = nullptr;
    };
    QHash<const QWidget*, THelp> FHelpTexts;
};

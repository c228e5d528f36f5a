#include "ui/main_window/form_front.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>
#include <thread>

#include "app/module_shared.h"
#include "app/user_prompts.h"
#include "base/atomic_file.h"
#include "base/exceptions.h"
#include "base/ini_document.h"
#include "batch/batch_log.h"
#include "batch/batch_texts.h"
#include "plugin_host/plugin_host.h"
#include "project/headless_run.h"
#include "translation/builtin_texts.h"
#include "translation/language_controller.h"
#include "translation/translated_text.h"
#include "ui/main_window/frame_batch_setup_root.h"
#include "ui/main_window/frame_logs.h"
#include "ui/main_window/frame_project_info.h"
#include "ui/main_window/front_texts.h"
#include "ui/main_window/widget_prompts.h"
#include "ui/modules_editor/frame_program_setup_plugins.h"
#include "ui/options/form_options.h"
#include "ui/text_tools/form_search_text.h"
#include "ui/translation/language_choice.h"

namespace {

// How often batch progress reaches the page at most, and how often the commands are looked at
// while a batch runs.
constexpr int KProgressIntervalMs = 200;
constexpr int KBatchIdleIntervalMs = 250;

// The file dialog's filter is written "caption (*.ext)|*.ext"; Qt takes the part before "|".
TProjectFileChooser FileDialogChooser(QWidget* AParent, QFileDialog::AcceptMode AMode) {
    return [AParent, AMode](const TProjectDialogSetup& ASetup) -> std::optional<QString> {
        QFileDialog dialog(AParent, QString(), ASetup.StartFolder);
        dialog.setNameFilters(FileDialogNameFilters(ASetup.Filter));
        dialog.setAcceptMode(AMode);
        dialog.setDefaultSuffix(ASetup.DefaultExtension);
        dialog.setFileMode(AMode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                            : QFileDialog::AnyFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().front();
    };
}

void SetHint(QAction* AAction, const QString& AHint) {
    AAction->setToolTip(AHint);
    AAction->setStatusTip(AHint);
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
const QString TFormFront::KTransSection = QStringLiteral("__FrontMain");

TFormFront::TFormFront(TFormFrontSetup ASetup)
    : FModule(*ASetup.Module),
      FHost(*ASetup.Host),
      FAssistants(ASetup.Module->FLanguageComposite->Core()),
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
    FChoosePrinter = ASetup.ChoosePrinter ? ASetup.ChoosePrinter : [this](QPrinter& APrinter) {
        QPrintDialog dialog(&APrinter, this);
        return dialog.exec() == QDialog::Accepted;
    };
    FSetUpPage = ASetup.SetUpPage ? ASetup.SetUpPage : [this](QPrinter& APrinter) {
        QPageSetupDialog dialog(&APrinter, this);
        dialog.exec();
    };
    FProject.OnStateChanged = [this] {
        ShowProjectState();
        RebuildReopenMenu();
    };
    if (!ASetup.ChooseFolder)
        ASetup.ChooseFolder = [this](const QString& ACaption, const QString& AStart) {
            return QFileDialog::getExistingDirectory(this, ACaption, AStart);
        };
    FSettingsFrame = new TFrameProgramSetupGeneral(std::move(ASetup.ChooseFolder));
    {
        TModulesEditorSetup modules;
        modules.List = &FProject.Combinations();
        modules.Host = &FHost;
        modules.Log = &FModule.FLogging;
        modules.PageServices.Prompts = FModule.Prompts();
        modules.PageServices.Assistants = &FAssistants;
        modules.PageServices.ChooseOpenFile =
            ASetup.ChoosePageOpenFile ? ASetup.ChoosePageOpenFile
                                      : FileDialogChooser(this, QFileDialog::AcceptOpen);
        modules.PageServices.ChooseSaveFile =
            ASetup.ChoosePageSaveFile ? ASetup.ChoosePageSaveFile
                                      : FileDialogChooser(this, QFileDialog::AcceptSave);
        modules.PageServices.ChooseFolder = [this](const QString& ACaption, const QString& AStart,
                                                   bool AWithFiles) {
            if (!AWithFiles)
                return QFileDialog::getExistingDirectory(this, ACaption, AStart);
            QFileDialog dialog(this, ACaption, AStart);
            dialog.setFileMode(QFileDialog::AnyFile);
            return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                       ? dialog.selectedFiles().front()
                       : QString();
        };
        modules.PageServices.EditText = ASetup.EditText;
        modules.PageServices.TempFolder = FModule.Folders().TempFolder;
        modules.OnChanged = [this] { UpdateServiceActions(); };
        FModulesFrame = new TFrameProgramSetupPlugins(std::move(modules));
    }
    FProject.FlushEditors = [this] { FModulesFrame->FlushOpenPage(); };
    FProject.ValidateEditorsBeforeSave = [this] { FModulesFrame->ValidateBeforeSave(); };
    LanguageCulture_SetNativeOnce();
    BuildPages();
    BuildActions();
    statusBar()->setObjectName(QStringLiteral("sbMain"));
    LanguageCulture_SetNativeOnce_GUI();
    LanguageCulture_LoadCurrent_GUI();

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
    RebuildReopenMenu();
    UpdateActions();
    UpdateEditActions();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* ANow) {
        // The search dialogs take the focus; their commands act on the control left before.
        if (ANow != nullptr && ANow->window() == this && TTextControl(ANow).Exists())
            FLastTextControl = ANow;
        UpdateEditActions();
    });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { UpdateEditActions(); });
    connect(FPages, &QTabWidget::currentChanged, this, [this] { UpdateEditActions(); });
    // The edit commands follow their text controls as they change.
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        connect(edit, &QLineEdit::textChanged, this, [this] { UpdateEditActions(); });
        connect(edit, &QLineEdit::selectionChanged, this, [this] { UpdateEditActions(); });
    }
    for (QPlainTextEdit* edit : findChildren<QPlainTextEdit*>()) {
        connect(edit, &QPlainTextEdit::textChanged, this, [this] { UpdateEditActions(); });
        connect(edit, &QPlainTextEdit::selectionChanged, this, [this] { UpdateEditActions(); });
    }
    resize(820, 560);
}

TFormFront::~TFormFront() {
    // Focus moves while the widgets go; nothing may reach this half-destroyed window then.
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(QApplication::clipboard(), nullptr, this, nullptr);
    for (QWidget* child : findChildren<QWidget*>())
        disconnect(child, nullptr, this, nullptr);
    // The combination editor lets go of its session while the project's list still exists.
    FProject.FlushEditors = nullptr;
    FProject.ValidateEditorsBeforeSave = nullptr;
    delete FModulesFrame;
    FModulesFrame = nullptr;
    if (FWaitPointer)
        QApplication::restoreOverrideCursor();
    if (FModule.FFormFront == this)
        FModule.FFormFront = nullptr;
}

void TFormFront::BuildPages() {
    FPages = new QTabWidget(this);
    FPages->setObjectName(QStringLiteral("pcMain"));
    FInfoFrame = new TFrameProjectInfo;
    FBatchFrame = new TFrameBatchSetupRoot;
    FBatchFrame->OnUpdateRuntime = [this](int AThreads) {
        FRunner.SetRuntimeMaxWorkerThreads(static_cast<unsigned>(AThreads));
    };
    FLogsFrame = new TFrameLogs([] { return ModuleLogsPageModel(); });
    FPages->addTab(NamedPage(FInfoFrame, QStringLiteral("tsMainProjectInfo")),
                   QStringLiteral("Project info"));
    FPages->addTab(NamedPage(FSettingsFrame, QStringLiteral("tsMainProjetSettings")),
                   QStringLiteral("Project settings"));
    FPages->addTab(NamedPage(FModulesFrame, QStringLiteral("tsMainProjectModules")),
                   QStringLiteral("Project modules"));
    FPages->addTab(NamedPage(FBatchFrame, QStringLiteral("tsMainProgress")),
                   QStringLiteral("Batch progress"));
    FPages->addTab(NamedPage(FLogsFrame, QStringLiteral("tsMainLogs")),
                   QStringLiteral("Batch logs"));
    setCentralWidget(FPages);
    FInfoFrame->setProperty(KPropFrameSection, QStringLiteral("__FrameProjectInfo"));
    FSettingsFrame->setProperty(KPropFrameSection, QStringLiteral("__FrameProgramSetupGeneral"));
    FBatchFrame->setProperty(KPropFrameSection, QStringLiteral("__FrameBatchSetupRoot"));
    FLogsFrame->setProperty(KPropFrameSection, QStringLiteral("__FrameLogs"));
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
    // Menus are named "mi<Caption>" and carry mnemonics; the commands are the named actions.
    const auto menu = [this](const char* AName, const char* ACaption) {
        QMenu* created = menuBar()->addMenu(QString::fromLatin1(ACaption));
        created->setObjectName(QString::fromLatin1(AName));
        return created;
    };
    QMenu* file = menu("miFile", "&File");
    file->addAction(AddAction(QStringLiteral("ALI_File_NewProject"), QStringLiteral("New Project"),
                              QKeySequence(Qt::CTRL | Qt::Key_N), &TFormFront::NewProject));
    file->addAction(AddAction(QStringLiteral("ALI_File_OpenProject"),
                              QStringLiteral("Open Project.."), QKeySequence(Qt::CTRL | Qt::Key_O),
                              &TFormFront::OpenProject));
    FReopenMenu = file->addMenu(QStringLiteral("&Reopen"));
    FReopenMenu->setObjectName(QStringLiteral("miFileReopen"));
    file->addAction(AddAction(QStringLiteral("ALI_File_SaveProject"),
                              QStringLiteral("Save Project"), QKeySequence(Qt::CTRL | Qt::Key_S),
                              &TFormFront::SaveProject));
    file->addAction(AddAction(QStringLiteral("ALI_File_SaveProjectAs"),
                              QStringLiteral("Save Project As.."), QKeySequence(),
                              &TFormFront::SaveProjectAs));
    file->addSeparator();
    file->addAction(AddAction(QStringLiteral("ALI_File_ImportData"), QStringLiteral("Import"),
                              QKeySequence(), &TFormFront::ImportData));
    file->addAction(AddAction(QStringLiteral("ALI_File_ExportData"), QStringLiteral("Export"),
                              QKeySequence(), &TFormFront::ExportData));
    file->addSeparator();
    file->addAction(AddAction(QStringLiteral("ALI_File_PrinterSetup"),
                              QStringLiteral("Printer Setup..."), QKeySequence(),
                              &TFormFront::PrinterSetup));
    file->addAction(AddAction(QStringLiteral("ALI_File_Print"), QStringLiteral("Print..."),
                              QKeySequence(QKeySequence::Print), &TFormFront::Print));
    file->addSeparator();
    file->addAction(AddAction(QStringLiteral("ALI_File_Exit"), QStringLiteral("Exit"),
                              QKeySequence(), &TFormFront::ExitProgram));

    BuildEditMenu(menu("miEdit", "&Edit"));

    // The table commands are the combination editor's; it keeps their states.
    QMenu* table = menu("miTable", "T&able");
    table->addActions(FModulesFrame->ListActions());

    QMenu* project = menu("miProject", "&Project");
    QAction* start = AddAction(QStringLiteral("ALI_Project_StartBatch"), QStringLiteral("Start"),
                               QKeySequence(Qt::Key_F5), &TFormFront::StartBatch);
    SetHint(start,
            QStringLiteral(
                "Start batch - you will be unable to start new projects while it is processing"));
    QAction* stop = AddAction(QStringLiteral("ALI_Project_InterruptBatch"), QStringLiteral("Stop"),
                              QKeySequence(Qt::Key_F8), &TFormFront::InterruptBatch);
    SetHint(stop,
            QStringLiteral("Stop further spawning of new threads and wait for the rest to stop"));
    project->addAction(start);
    project->addAction(stop);

    QMenu* tools = menu("miTools", "&Tools");
    QAction* reload =
        AddAction(QStringLiteral("ALI_Tools_ReloadPlugins"), QStringLiteral("Reload Plugins"),
                  QKeySequence(), &TFormFront::RunReloadPlugins);
    SetHint(reload, QStringLiteral("Close the project, load every plugin again and make a new "
                                   "project"));
    tools->addAction(reload);
    tools->addAction(AddAction(QStringLiteral("ALI_Tools_Options"), QStringLiteral("Options"),
                               QKeySequence(), &TFormFront::ShowOptions));
    tools->addSeparator();
    tools->addAction(AddAction(QStringLiteral("ALI_Tools_Services_InsertFilePath"),
                               QStringLiteral("Insert File Path"), QKeySequence(),
                               &TFormFront::InsertFilePath));
    tools->addAction(AddAction(QStringLiteral("ALI_Tools_Services_OpenTextEditor"),
                               QStringLiteral("Open Text Editor"), QKeySequence(),
                               &TFormFront::OpenTextEditor));
    tools->addSeparator();
    FLanguageMenu = tools->addMenu(QStringLiteral("&Language"));
    FLanguageMenu->setObjectName(QStringLiteral("miToolsLanguage"));
    RebuildLanguageMenu();

    QMenu* help = menu("miHelp", "&Help");
    help->addAction(AddAction(QStringLiteral("ALI_Help_About"), QStringLiteral("About"),
                              QKeySequence(), &TFormFront::ShowAbout));
}

void TFormFront::BuildEditMenu(QMenu* AMenu) {
    const auto add = [this, AMenu](const char* AName, const char* ACaption,
                                   QKeySequence::StandardKey AKey, void (TFormFront::*AHandler)()) {
        QAction* action = AddAction(QString::fromLatin1(AName), QString::fromLatin1(ACaption),
                                    QKeySequence(AKey), AHandler);
        // The focused text control takes its own keys first; the menu serves the mouse and
        // controls that lack a key of their own.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        AMenu->addAction(action);
    };
    add("ALI_Edit_Undo", "Undo", QKeySequence::Undo, &TFormFront::EditUndo);
    AMenu->addSeparator();
    add("ALI_Edit_Cut", "Cut", QKeySequence::Cut, &TFormFront::EditCut);
    add("ALI_Edit_Copy", "Copy", QKeySequence::Copy, &TFormFront::EditCopy);
    add("ALI_Edit_Paste", "Paste", QKeySequence::Paste, &TFormFront::EditPaste);
    add("ALI_Edit_Delete", "Delete", QKeySequence::UnknownKey, &TFormFront::EditDelete);
    AMenu->addSeparator();
    add("ALI_Edit_SelectAll", "Select All", QKeySequence::SelectAll, &TFormFront::EditSelectAll);
    AMenu->addSeparator();
    add("ALI_Edit_Search", "Search...", QKeySequence::Find, &TFormFront::EditSearch);
    add("ALI_Edit_SearchNext", "Find Next", QKeySequence::FindNext, &TFormFront::EditSearchNext);
    add("ALI_Edit_Replace", "Replace...", QKeySequence::Replace, &TFormFront::EditReplace);
    if (FActions.at(QStringLiteral("ALI_Edit_Replace"))->shortcut().isEmpty())
        FActions.at(QStringLiteral("ALI_Edit_Replace"))
            ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    AMenu->addSeparator();
    add("ALI_Edit_WordWrap", "Word Wrap", QKeySequence::UnknownKey, &TFormFront::EditWordWrap);
    FActions.at(QStringLiteral("ALI_Edit_WordWrap"))->setCheckable(true);
    connect(AMenu, &QMenu::aboutToShow, this, [this] { UpdateEditActions(); });
}

namespace {

// The text control that has the focus, of whichever kind.
struct TFocusedText {
    QLineEdit* Line = nullptr;
    QPlainTextEdit* Plain = nullptr;
    QTextEdit* Rich = nullptr;

    static TFocusedText Now() {
        QWidget* focus = QApplication::focusWidget();
        TFocusedText found;
        found.Line = qobject_cast<QLineEdit*>(focus);
        found.Plain = qobject_cast<QPlainTextEdit*>(focus);
        found.Rich = qobject_cast<QTextEdit*>(focus);
        return found;
    }
    bool Exists() const { return Line != nullptr || Plain != nullptr || Rich != nullptr; }
    bool ReadOnly() const {
        return Line != nullptr    ? Line->isReadOnly()
               : Plain != nullptr ? Plain->isReadOnly()
               : Rich != nullptr  ? Rich->isReadOnly()
                                  : true;
    }
    bool HasSelection() const {
        return Line != nullptr    ? Line->hasSelectedText()
               : Plain != nullptr ? Plain->textCursor().hasSelection()
               : Rich != nullptr  ? Rich->textCursor().hasSelection()
                                  : false;
    }
    bool HasText() const {
        return Line != nullptr    ? !Line->text().isEmpty()
               : Plain != nullptr ? !Plain->document()->isEmpty()
               : Rich != nullptr  ? !Rich->document()->isEmpty()
                                  : false;
    }
    bool CanUndo() const {
        return Line != nullptr    ? Line->isUndoAvailable()
               : Plain != nullptr ? Plain->document()->isUndoAvailable()
               : Rich != nullptr  ? Rich->document()->isUndoAvailable()
                                  : false;
    }
    // A password edit gives nothing away.
    bool CanCopy() const {
        return HasSelection() && (Line == nullptr || Line->echoMode() == QLineEdit::Normal);
    }
    template <typename TLine, typename TPlain, typename TRich>
    void Do(TLine ALine, TPlain APlain, TRich ARich) const {
        if (Line != nullptr)
            (Line->*ALine)();
        else if (Plain != nullptr)
            (Plain->*APlain)();
        else if (Rich != nullptr)
            (Rich->*ARich)();
    }
};

void DeleteSelection(QPlainTextEdit* AEdit) {
    AEdit->textCursor().removeSelectedText();
}

void DeleteSelection(QTextEdit* AEdit) {
    AEdit->textCursor().removeSelectedText();
}

}  // namespace

void TFormFront::EditUndo() {
    TFocusedText::Now().Do(&QLineEdit::undo, &QPlainTextEdit::undo, &QTextEdit::undo);
    UpdateEditActions();
}

void TFormFront::EditCut() {
    TFocusedText::Now().Do(&QLineEdit::cut, &QPlainTextEdit::cut, &QTextEdit::cut);
    UpdateEditActions();
}

void TFormFront::EditCopy() {
    const TFocusedText focused = TFocusedText::Now();
    if (focused.CanCopy())
        focused.Do(&QLineEdit::copy, &QPlainTextEdit::copy, &QTextEdit::copy);
    UpdateEditActions();
}

void TFormFront::EditPaste() {
    TFocusedText::Now().Do(&QLineEdit::paste, &QPlainTextEdit::paste, &QTextEdit::paste);
    UpdateEditActions();
}

void TFormFront::EditDelete() {
    const TFocusedText focused = TFocusedText::Now();
    if (focused.ReadOnly())
        return;
    if (focused.Line != nullptr)
        focused.Line->del();
    else if (focused.Plain != nullptr)
        DeleteSelection(focused.Plain);
    else if (focused.Rich != nullptr)
        DeleteSelection(focused.Rich);
    UpdateEditActions();
}

void TFormFront::EditSelectAll() {
    TFocusedText::Now().Do(&QLineEdit::selectAll, &QPlainTextEdit::selectAll,
                           &QTextEdit::selectAll);
    UpdateEditActions();
}

void TFormFront::UpdateEditActions() {
    const TFocusedText focused = TFocusedText::Now();
    const bool idle =
        FrontCommandState(FRunner.Status(), FWrapperRunning, FStopRequested).EditCommands;
    const bool editable = idle && focused.Exists() && !focused.ReadOnly();
    const bool clipboardText = !QApplication::clipboard()->text().isEmpty();
    FActions.at(QStringLiteral("ALI_Edit_Undo"))->setEnabled(editable && focused.CanUndo());
    FActions.at(QStringLiteral("ALI_Edit_Cut"))
        ->setEnabled(editable && focused.HasSelection() && focused.CanCopy());
    FActions.at(QStringLiteral("ALI_Edit_Copy"))->setEnabled(idle && focused.CanCopy());
    FActions.at(QStringLiteral("ALI_Edit_Paste"))->setEnabled(editable && clipboardText);
    FActions.at(QStringLiteral("ALI_Edit_Delete"))->setEnabled(editable && focused.HasSelection());
    FActions.at(QStringLiteral("ALI_Edit_SelectAll"))->setEnabled(idle && focused.HasText());
    const TTextControl target(TextTarget());
    const bool searchable = idle && target.Exists() && target.HasText();
    FActions.at(QStringLiteral("ALI_Edit_Search"))->setEnabled(searchable);
    FActions.at(QStringLiteral("ALI_Edit_SearchNext"))
        ->setEnabled(searchable && FLastSearch.has_value());
    FActions.at(QStringLiteral("ALI_Edit_Replace"))->setEnabled(searchable && !target.ReadOnly());
    QAction* wrap = FActions.at(QStringLiteral("ALI_Edit_WordWrap"));
    wrap->setEnabled(idle && target.Exists());
    wrap->setChecked(target.Exists() && target.WordWrap());
    FActions.at(QStringLiteral("ALI_File_Print"))->setEnabled(idle && target.HasText());
    UpdateServiceActions();
}

QWidget* TFormFront::TextTarget() const {
    QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr && focus->window() == this && TTextControl(focus).Exists())
        return focus;
    // The last text control while it is on the page in front (a dialog may have the focus).
    QWidget* last = FLastTextControl.data();
    if (last != nullptr && last->isVisibleTo(FPages->currentWidget()) &&
        FPages->currentWidget()->isAncestorOf(last))
        return last;
    // What the page offers: the Logs page its viewer.
    if (FPages->currentWidget() == FLogsFrame->parentWidget())
        return FLogsFrame->findChild<QPlainTextEdit*>(QStringLiteral("memLogView"));
    return nullptr;
}

TFormSearchText* TFormFront::SearchDialog(bool AReplace) {
    TFormSearchText*& dialog = AReplace ? FReplaceDialog : FFindDialog;
    if (dialog == nullptr) {
        dialog = new TFormSearchText(AReplace, FAssistants, this);
        dialog->OnFindNext = [this](const TTextSearchOptions& AOptions) {
            FLastSearch = AOptions;
            TTextSearch(FModule.Prompts()).FindNext(TTextControl(TextTarget()), AOptions);
            UpdateEditActions();
        };
        dialog->OnReplace = [this](const TTextSearchOptions& AOptions, const QString& AWith) {
            FLastSearch = AOptions;
            TTextSearch(FModule.Prompts())
                .ReplaceAsking(TTextControl(TextTarget()), AOptions, AWith);
            UpdateEditActions();
        };
        dialog->OnReplaceAll = [this](const TTextSearchOptions& AOptions, const QString& AWith) {
            FLastSearch = AOptions;
            TTextSearch(FModule.Prompts()).ReplaceAll(TTextControl(TextTarget()), AOptions, AWith);
            UpdateEditActions();
        };
    }
    const TTextControl target(TextTarget());
    if (target.Exists() && target.Cursor().hasSelection())
        dialog->SetFindText(target.Cursor().selectedText());
    else if (FLastSearch.has_value())
        dialog->SetFindText(FLastSearch->Text);
    return dialog;
}

void TFormFront::EditSearch() {
    TFormSearchText* dialog = SearchDialog(false);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void TFormFront::EditReplace() {
    TFormSearchText* dialog = SearchDialog(true);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void TFormFront::EditSearchNext() {
    if (!FLastSearch.has_value()) {
        EditSearch();
        return;
    }
    TTextSearch(FModule.Prompts()).FindNext(TTextControl(TextTarget()), *FLastSearch);
    UpdateEditActions();
}

void TFormFront::EditWordWrap() {
    const TTextControl target(TextTarget());
    target.SetWordWrap(!target.WordWrap());
    UpdateEditActions();
}

void TFormFront::PrinterSetup() {
    if (!FPrinter)
        FPrinter = std::make_unique<QPrinter>();
    FSetUpPage(*FPrinter);
}

void TFormFront::Print() {
    if (!FPrinter)
        FPrinter = std::make_unique<QPrinter>();
    const TFrameProgramSetupPlugins* modules = ShownModulesFrame();
    const bool pagePrint = modules != nullptr && modules->Can_Frame_Print();
    if ((TextTarget() == nullptr && !pagePrint) || !FChoosePrinter(*FPrinter))
        return;
    PrintTo(*FPrinter);
}

bool TFormFront::PrintTo(QPrinter& APrinter) {
    const TTextControl target(TextTarget());
    if (!target.HasText()) {
        // What the shown page offers to print.
        TFrameProgramSetupPlugins* modules = ShownModulesFrame();
        return modules != nullptr && modules->Can_Frame_Print() && modules->Frame_Print(APrinter);
    }
    target.Document()->print(&APrinter);
    return true;
}

void TFormFront::RebuildReopenMenu() {
    if (FReopenMenu == nullptr)
        return;
    FReopenMenu->clear();
    const QStringList& list = FModule.FProgramOptions->FProjectReopenList;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString path = list[i];
        // "&1 name" gives each entry a key; the path itself is shown as it is.
        QAction* item = FReopenMenu->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(path)));
        item->setProperty(KPropCaptionIsData, true);
        connect(item, &QAction::triggered, this, [this, path] {
            // A missing file is told by the project and leaves the list; the menu follows.
            try {
                FProject.ReopenProject(path);
            } catch (const std::exception& e) {
                FModule.FLogging.HandleErrorException(nullptr, e);
            }
            RebuildReopenMenu();
            UpdateActions();
        });
    }
    UpdateActions();
}

void TFormFront::RebuildLanguageMenu() {
    FLanguageMenu->clear();
    auto* group = new QActionGroup(FLanguageMenu);
    const TqvlgLanguageController& core = FModule.FLanguageComposite->Core();
    const QString current = FModule.FProgramOptions->FLanguageCulture;
    for (const TInstalledLanguage& language : InstalledLanguages(core)) {
        QAction* item = FLanguageMenu->addAction(language.Description);
        item->setObjectName(QStringLiteral("miLanguage_") + language.Code);
        item->setProperty(KPropCaptionIsData, true);
        item->setCheckable(true);
        item->setChecked(language.Code.compare(current, Qt::CaseInsensitive) == 0);
        group->addAction(item);
        const QString code = language.Code;
        connect(item, &QAction::triggered, this, [this, code] { ChangeLanguage(code); });
    }
}

void TFormFront::ChangeLanguage(const QString& ALanguage) {
    TqvlgLanguageController& core = FModule.FLanguageComposite->Core();
    const QString matched = core.Get_Language_Match(ALanguage);
    core.Config_Language_Primary(matched, false);
    FModule.FProgramOptions->FLanguageCulture = matched;
    ApplyReadingOrder(core);
    LoadCurrentLanguageInAllWindows();
    RebuildLanguageMenu();
}

void TFormFront::ReloadPlugins() {
    if (FWrapperRunning)
        return;
    // The combinations refer to the descriptors that the reload destroys: the project goes
    // first, and a cancelled close keeps everything as it was.
    try {
        if (!FProject.ExitProject(false))
            return;
        FProject.Combinations().Clear();
        FHost.ReloadPlugins();
    } catch (const std::exception& e) {
        FModule.FLogging.HandleErrorException(nullptr, e);
    }
    // The chooser must not offer descriptors that are gone.
    FModulesFrame->RebuildChoosers();
    try {
        FProject.LoadProject(QString(), true);
    } catch (const std::exception& e) {
        FModule.FLogging.HandleErrorException(nullptr, e);
    }
    UpdateActions();
}

void TFormFront::ShowOptions() {
    TFormOptionsSetup setup;
    setup.Module = &FModule;
    setup.Assistants = &FAssistants;
    setup.ChooseFile = FProject.ChooseOpenFile;
    setup.FileDialog = FProject.DialogSetup();
    // The list is pruned, not touched with the current project.
    setup.OnReopenListPruned = [this] { RebuildReopenMenu(); };
    TFormOptions dialog(std::move(setup), this);
    dialog.exec();
}

void TFormFront::ShowAbout() {
    QMessageBox::about(this, TranslatedDialogTitle(QStringLiteral("Information")),
                       KBaseTitle + QLatin1Char(' ') + QStringLiteral(PLOVANE_VERSION_STRING));
}

int TFormFront::RunCommandLineProject(const QString& APath) {
    try {
        FProject.LoadProject(APath, false);
    } catch (const std::exception& e) {
        FModule.FLogging.HandleErrorException(nullptr, e);
        return KExitProjectInvalid;
    }
    FLastResult.reset();
    FLastStartInvalid = false;
    StartBatch();
    if (FLastResult.has_value())
        return HeadlessExitCode(*FLastResult);
    return FLastStartInvalid ? KExitProjectInvalid : KExitBatchNotRun;
}

namespace {

const QString KWindowSetupSection = QStringLiteral("Window.FormFront");

}  // namespace

void TFormFront::RestoreWindowSetup() {
    const TProgramOptions& options = *FModule.FProgramOptions;
    if (!options.FSaveWindowsSetup && !options.FSaveToolbarsSetup)
        return;
    const TIniDocument ini = TIniDocument::FromFile(FModule.Folders().OptionsFilePath());
    if (options.FSaveWindowsSetup)
        restoreGeometry(QByteArray::fromBase64(
            ini.ReadString(KWindowSetupSection, QStringLiteral("Geometry"), QString()).toLatin1()));
    if (options.FSaveToolbarsSetup)
        restoreState(QByteArray::fromBase64(
            ini.ReadString(KWindowSetupSection, QStringLiteral("State"), QString()).toLatin1()));
    const int page = ini.ReadInteger(KWindowSetupSection, QStringLiteral("Page"), 0);
    if (options.FSaveMiscSetup && page >= 0 && page < FPages->count())
        FPages->setCurrentIndex(page);
}

void TFormFront::SaveWindowSetup() {
    const TProgramOptions& options = *FModule.FProgramOptions;
    if (!options.FSaveWindowsSetup && !options.FSaveToolbarsSetup && !options.FSaveMiscSetup)
        return;
    const QString path = FModule.Folders().OptionsFilePath();
    TIniDocument ini = TIniDocument::FromFile(path);
    if (options.FSaveWindowsSetup)
        ini.WriteString(KWindowSetupSection, QStringLiteral("Geometry"),
                        QString::fromLatin1(saveGeometry().toBase64()));
    if (options.FSaveToolbarsSetup)
        ini.WriteString(KWindowSetupSection, QStringLiteral("State"),
                        QString::fromLatin1(saveState().toBase64()));
    if (options.FSaveMiscSetup)
        ini.WriteInteger(KWindowSetupSection, QStringLiteral("Page"), FPages->currentIndex());
    QString error;
    if (!WriteFileAtomically(path, ini.ToText().toUtf8(), &error))
        FModule.FLogging.Log(nullptr, nullptr,
                             QStringLiteral("The window setup could not be kept: ") + error);
}

void TFormFront::LanguageCulture_SetNativeOnce() {
    TqvlgLanguageController& core = FModule.FLanguageComposite->Core();
    for (const TqvlgNativeText& text : FrontMainNativeTexts())
        core.Set_TransResStr_Native(text.TransID, text.Section, text.Key, text.Native,
                                    text.TmplSysName);
}

void TFormFront::LanguageCulture_SetNativeOnce_GUI() {
    // Labels that show values carry data, not texts of the program.
    for (QLabel* label : findChildren<QLabel*>())
        if (label->objectName().endsWith(QLatin1String("Value")))
            MarkCaptionIsData(label);
    setProperty(KPropCaptionIsData, true);  // the title names the project
    // The editor's actions are its own list; the menus leave them to it.
    FModulesFrame->LanguageCulture_SetNativeOnce_GUI();
    FAssistants.FActions.Save_Trans_ActionList(KTransIdProgram, KTransSection, actions());
    FAssistants.FMenus.Save_Trans_Menu(KTransIdProgram, KTransSection, menuBar());
    FAssistants.FControls.Save_Trans_Controls(KTransIdProgram, KTransSection, this);
    for (QWidget* frame : Frames())
        FAssistants.FControls.Save_Trans_Controls(
            KTransIdProgram, frame->property(KPropFrameSection).toString(), frame);
    const QString logs = FLogsFrame->property(KPropFrameSection).toString();
    FAssistants.FStoredRes.Save_Trans_StoredString(KTransIdProgram, logs, FLogsFrame->FStrMisc);
    FAssistants.FStoredRes.Save_Trans_StoredString(KTransIdProgram, logs, FLogsFrame->FStrBatches);
}

void TFormFront::LanguageCulture_LoadCurrent_GUI() {
    FAssistants.FActions.Load_Trans_ActionList(KTransIdProgram, KTransSection, actions());
    FAssistants.FMenus.Load_Trans_Menu(KTransIdProgram, KTransSection, menuBar());
    FAssistants.FControls.Load_Trans_Controls(KTransIdProgram, KTransSection, this);
    for (QWidget* frame : Frames())
        FAssistants.FControls.Load_Trans_Controls(
            KTransIdProgram, frame->property(KPropFrameSection).toString(), frame);
    const QString logs = FLogsFrame->property(KPropFrameSection).toString();
    FAssistants.FStoredRes.Load_Trans_StoredString(KTransIdProgram, logs, FLogsFrame->FStrMisc);
    FAssistants.FStoredRes.Load_Trans_StoredString(KTransIdProgram, logs, FLogsFrame->FStrBatches);
    FLogsFrame->ShowRootCaptions();
    FModulesFrame->LanguageCulture_LoadCurrent_GUI();
    setLayoutDirection(QApplication::layoutDirection());
}

void TFormFront::UpdateVisuals() {
    FInfoFrame->ShowProject(FProject.CurrentFilePath(), *FModule.FProgramOptions);
    setWindowTitle(FProject.WindowTitle(KBaseTitle));
    if (!FWrapperRunning && !FLastResult.has_value())
        ShowIdleStatus();
    else if (!FWrapperRunning && FLastResult.has_value())
        FBatchFrame->ShowStatus(TranslatedBatchStatus(FLastResult->StatusText));
}

std::vector<QWidget*> TFormFront::Frames() const {
    return {FInfoFrame, FSettingsFrame, FBatchFrame, FLogsFrame};
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
    FModulesFrame->ShowCombinations();
}

TFrameProgramSetupPlugins* TFormFront::ShownModulesFrame() const {
    return FPages->currentWidget() == FModulesFrame->parentWidget() ? FModulesFrame : nullptr;
}

void TFormFront::UpdateServiceActions() {
    const bool idle =
        FrontCommandState(FRunner.Status(), FWrapperRunning, FStopRequested).EditCommands;
    const TFrameProgramSetupPlugins* modules = idle ? ShownModulesFrame() : nullptr;
    FActions.at(QStringLiteral("ALI_Tools_Services_InsertFilePath"))
        ->setEnabled(modules != nullptr && modules->Can_ServiceRequest_InsertFilePath());
    FActions.at(QStringLiteral("ALI_Tools_Services_OpenTextEditor"))
        ->setEnabled(modules != nullptr && modules->Can_ServiceRequest_OpenTextEditor());
    FActions.at(QStringLiteral("ALI_File_ImportData"))
        ->setEnabled(modules != nullptr && modules->CanImport());
    FActions.at(QStringLiteral("ALI_File_ExportData"))
        ->setEnabled(modules != nullptr && modules->CanExport());
    if (modules != nullptr && modules->Can_Frame_Print())
        FActions.at(QStringLiteral("ALI_File_Print"))->setEnabled(true);
}

void TFormFront::InsertFilePath() {
    if (TFrameProgramSetupPlugins* modules = ShownModulesFrame())
        modules->ServiceRequest_InsertFilePath();
    UpdateEditActions();
}

void TFormFront::OpenTextEditor() {
    if (TFrameProgramSetupPlugins* modules = ShownModulesFrame())
        modules->ServiceRequest_OpenTextEditor();
    UpdateEditActions();
}

void TFormFront::ImportData() {
    if (TFrameProgramSetupPlugins* modules = ShownModulesFrame())
        modules->DoImport();
    UpdateEditActions();
}

void TFormFront::ExportData() {
    if (TFrameProgramSetupPlugins* modules = ShownModulesFrame())
        modules->DoExport();
    UpdateEditActions();
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
    enable("ALI_Tools_ReloadPlugins", state.ReloadPlugins);
    enable("ALI_Help_About", true);
    enable("ALI_File_PrinterSetup", true);
    FReopenMenu->menuAction()->setEnabled(state.Reopen &&
                                          !FModule.FProgramOptions->FProjectReopenList.isEmpty());
    FBatchFrame->SetRuntimeEnabled(state.RuntimeUpdate);
    FPages->tabBar()->setEnabled(state.ChangePage);
    FSettingsFrame->setEnabled(state.EditSettings);
    FModulesFrame->setEnabled(state.EditSettings);
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
        FLastStartInvalid = true;
        if (FModule.Prompts() != nullptr)
            FModule.Prompts()->ShowMessage(TPromptKind::Error,
                                           TranslatedMessage(KTextValidateSettingsFailed));
        return;
    }
    // Every page is checked first; the module that refused has told why.
    if (!FModulesFrame->ValidateAll()) {
        FLastStartInvalid = true;
        return;
    }
    // A filter that cannot be matched would end the batch half-way; found before anything is
    // emptied or copied.
    if (!FRunner.ValCombinationFilters(FProject.BatchCombinations())) {
        FLastStartInvalid = true;
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
        // By the slot's name: a functor would be a slot object this thread allocates and
        // the window's thread frees, a hand-over ThreadSanitizer cannot see inside Qt.
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    batch.join();
    idle.stop();
    FRelay.Cancel();
    FWrapperRunning = false;
    FStopRequested = false;

    if (result.has_value())
        FLastResult = result;
    ShowBatchEnd(result ? &*result : nullptr, error);
    FLogsFrame->Refresh(result ? result->LogPath : QString());
    UpdateActions();
    if (FRunner.Status().Has(bsUserShutDownApp))
        close();
}

void TFormFront::ShowBatchEnd(const TBatchRunResult* AResult, const QString& AError) {
    QString failure = AError;
    const TqvlgNativeText* message = &KTextBatchEndedWithError;
    if (AResult != nullptr) {
        FBatchFrame->ShowStatus(TranslatedBatchStatus(AResult->StatusText));
        FBatchFrame->ShowCounts(AResult->PathsToDo, AResult->ItemsDone);
        FBatchFrame->ShowTimeUsed(AResult->TimeUsedText);
        if (AResult->Failed) {
            failure = AResult->FailureText;
        } else if (AResult->LogWriteFailed) {
            // The log the user would look into is incomplete.
            failure = AResult->LogWriteFailure;
            message = &KTextBatchLogNotWritten;
        }
    } else {
        // The batch did not get going; the status is what it was before.
        ShowIdleStatus();
    }
    if (failure.isEmpty())
        return;
    const QString text =
        TranslatedMessage(*message, {{QStringLiteral("dynErrorMessage"), failure}});
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
    if (isMinimized())
        showNormal();
    SaveWindowSetup();
    AEvent->accept();
}

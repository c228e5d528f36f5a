#include "ui/modules_editor/frame_program_setup_plugins.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/program_log.h"
#include "app/user_prompts.h"
#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "plugin_host/plugin_contract.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_display.h"
#include "plugin_host/plugin_host.h"
#include "plugin_host/plugin_property.h"
#include "plugin_host/property_validation.h"
#include "project/combination_list.h"
#include "translation/language_controller.h"
#include "translation/translated_text.h"
#include "ui/modules_editor/modules_editor_texts.h"
#include "ui/property_pages/frame_classes.h"
#include "ui/property_pages/frame_plugin_setup_root.h"
#include "ui/property_pages/property_page_texts.h"

namespace {

// Whether a grid property's declaration has a password column.
bool HasPasswordColumn(const TPluginProperty& AProperty) {
    if (AProperty.FInitStreamData.isEmpty())
        return false;
    try {
        TStreamReader reader(AProperty.FInitStreamData);
        const std::int32_t count = reader.ReadInt32();
        for (std::int32_t i = 0; i < count; ++i) {
            reader.ReadAnsiBytes();   // identifier
            reader.ReadUtf8String();  // caption
            reader.ReadAnsiBytes();   // width
            if ((reader.ReadInt32() & KColFlagPassword) != 0)
                return true;
        }
    } catch (const EqvException&) {
        // Damaged declaration data: the page says so when it opens.
    }
    return false;
}

QString RowIgnoreConditionText(TPropGridIgnoreRowsLevel ALevel) {
    const QString trimmed = QLatin1Char(' ') + TranslatedMessage(KTextWhenWhiteSpaceTrimmed);
    QString condition;
    switch (ALevel) {
        case pgirlAllRowCellsEmpty:
            condition = TranslatedMessage(KTextRowAllCellsEmpty);
            break;
        case pgirlAllRowCellsEmptyWhenTrimmed:
            condition = TranslatedMessage(KTextRowAllCellsEmpty) + trimmed;
            break;
        case pgirlRowHasEmptyCells:
            condition = TranslatedMessage(KTextRowAnyCellsEmpty);
            break;
        case pgirlRowHasEmptyCellsWhenTrimmed:
            condition = TranslatedMessage(KTextRowAnyCellsEmpty) + trimmed;
            break;
        default:
            condition = TranslatedMessage(KTextConditionNever);
            break;
    }
    return TranslatedMessage(KTextConditionsRowIgnore) + QStringLiteral("\r\n") + condition +
           QLatin1Char('.');
}

QIcon PatternIcon(const QString& AIconName, const QStyle* AStyle) {
    const QIcon fallback = AStyle->standardIcon(
        AIconName == QStringLiteral("folder") ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    return QIcon::fromTheme(AIconName, fallback);
}

}  // namespace

QString PropertyHelpText(const TPluginProperty* AProperty) {
    QString help;
    if (AProperty != nullptr) {
        help = AProperty->FHelp;
        if (const auto* grid = dynamic_cast<const TPluginPropertyGrid*>(AProperty)) {
            help +=
                QStringLiteral("\r\n\r\n") + RowIgnoreConditionText(grid->FPropGridIgnoreRowsLevel);
            if (HasPasswordColumn(*grid))
                help +=
                    QStringLiteral("\r\n\r\n") + TranslatedMessage(KTextProjectStoreSensitiveData);
        }
    }
    if (help.trimmed().isEmpty())
        return TranslatedMessage(KTextBatchSetupModules);
    return help;
}

const QString TFrameProgramSetupPlugins::KTransSection =
    QStringLiteral("__FrameProgramSetupPlugins");

TFrameProgramSetupPlugins::TFrameProgramSetupPlugins(TModulesEditorSetup ASetup, QWidget* AParent)
    : QWidget(AParent),
      FSetup(std::move(ASetup)),
      FCombinations(*FSetup.List),
      FStrInformation(QStringLiteral("StrInformation"), QStringLiteral("Information")) {
    setObjectName(QStringLiteral("FrameProgramSetupPlugins"));
    setProperty(KPropFrameSection, KTransSection);
    BuildActions();
    BuildLayout();
    RebuildChoosers();
    ShowCombinations();
    // A load replaces the entries: the session must not outlive the entry it edits.
    FCombinations.OnEntriesReplacing = [this] { DropSession(); };
    connect(qApp, &QApplication::focusChanged, this, [this] { UpdateActionStates(); });
    UpdateActionStates();
}

TFrameProgramSetupPlugins::~TFrameProgramSetupPlugins() {
    disconnect(qApp, nullptr, this, nullptr);
    FCombinations.OnEntriesReplacing = nullptr;
    delete FPage;
    FPage = nullptr;
    if (FSessionPlugin != nullptr) {
        try {
            FSessionPlugin->UnloadPlugin();
        } catch (const std::exception&) {
            // Nothing is left to tell at this point; the program ends or the window goes.
        }
    }
}

void TFrameProgramSetupPlugins::BuildActions() {
    const auto make = [this](const char* AName, const char* ACaption,
                             void (TFrameProgramSetupPlugins::*AHandler)(),
                             QStyle::StandardPixmap AIcon) {
        auto* action = new QAction(QString::fromLatin1(ACaption), this);
        action->setObjectName(QString::fromLatin1(AName));
        action->setIcon(style()->standardIcon(AIcon));
        connect(action, &QAction::triggered, this, [this, AHandler] { (this->*AHandler)(); });
        addAction(action);
        return action;
    };
    FAddItem = make("ALI_AddItem", "Add New", &TFrameProgramSetupPlugins::AddItem,
                    QStyle::SP_FileDialogNewFolder);
    FInsertItem = make("ALI_InsertItem", "Insert New", &TFrameProgramSetupPlugins::InsertItem,
                       QStyle::SP_FileDialogDetailedView);
    FDeleteItem = make("ALI_DeleteItem", "Delete Selected", &TFrameProgramSetupPlugins::DeleteItem,
                       QStyle::SP_TrashIcon);
    FSwapItemUp = make("ALI_SwapItemUp", "Swap Selected Up", &TFrameProgramSetupPlugins::SwapItemUp,
                       QStyle::SP_ArrowUp);
    FSwapItemDown = make("ALI_SwapItemDown", "Swap Selected Down",
                         &TFrameProgramSetupPlugins::SwapItemDown, QStyle::SP_ArrowDown);
}

void TFrameProgramSetupPlugins::BuildLayout() {
    FRunOrderLabel = new QLabel(QStringLiteral("Run-order of filters and modules"));
    FRunOrderLabel->setObjectName(QStringLiteral("lblRunOrder"));

    FPatterns = new QComboBox;
    FPatterns->setObjectName(QStringLiteral("cbxPatterns"));
    FPatterns->setEditable(true);
    FPatterns->setInsertPolicy(QComboBox::NoInsert);
    FPatterns->setToolTip(QStringLiteral("Select or write a file extension here"));
    FPatterns->setMinimumContentsLength(8);
    // The pattern and its description side by side in the list.
    auto* patternView = new QTreeView;
    patternView->setRootIsDecorated(false);
    patternView->setHeaderHidden(true);
    patternView->setItemsExpandable(false);
    patternView->setMinimumWidth(280);
    FPatterns->setView(patternView);
    FPatterns->setModel(new QStandardItemModel(0, 2, FPatterns));
    patternView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // What is typed stays as typed: it is made into a filter when it is added.
    FPatterns->setCompleter(nullptr);
    connect(FPatterns->lineEdit(), &QLineEdit::textEdited, this, [this] {
        FPatternTyped = true;
        UpdateActionStates();
    });
    connect(FPatterns, qOverload<int>(&QComboBox::activated), this, [this] {
        FPatternTyped = false;
        UpdateActionStates();
    });

    FPlugins = new QComboBox;
    FPlugins->setObjectName(QStringLiteral("cbxPlugins"));
    FPlugins->setToolTip(QStringLiteral("Select a plugin here"));
    FPlugins->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(FPlugins, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { UpdateActionStates(); });

    FPatternBar = new QToolBar;
    FPatternBar->setObjectName(QStringLiteral("tbrPatterns"));
    FPatternBar->setIconSize(QSize(16, 16));
    FPatternBar->addWidget(FPatterns);
    FPatternBar->addWidget(FPlugins);
    auto* actionBar = new QToolBar;
    actionBar->setObjectName(QStringLiteral("tbrRunOrder"));
    actionBar->setIconSize(QSize(16, 16));
    for (QAction* action : ListActions())
        actionBar->addAction(action);

    FList = new QTreeWidget;
    FList->setObjectName(QStringLiteral("lvRunOrderPatternInstances"));
    FList->setHeaderLabels({QStringLiteral("Filter"), QStringLiteral("Module")});
    FList->setRootIsDecorated(false);
    FList->setSelectionMode(QAbstractItemView::SingleSelection);
    FList->setSelectionBehavior(QAbstractItemView::SelectRows);
    FList->header()->setStretchLastSection(true);
    connect(FList, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* ACurrent) {
        if (FQuiet == 0)
            OnCurrentRowChanged(ACurrent != nullptr ? FList->indexOfTopLevelItem(ACurrent) : -1);
    });

    auto* left = new QWidget;
    left->setObjectName(QStringLiteral("pnlRunOrder"));
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(FRunOrderLabel);
    leftLayout->addWidget(FPatternBar);
    leftLayout->addWidget(actionBar);
    leftLayout->addWidget(FList, 1);

    FTabs = new QTabBar;
    FTabs->setObjectName(QStringLiteral("tabPluginProps"));
    FTabs->setExpanding(false);
    MarkCaptionIsData(FTabs);  // the plugin's property names
    connect(FTabs, &QTabBar::currentChanged, this, [this](int ATab) {
        if (FQuiet == 0)
            OnTabChanged(ATab);
    });
    FPageArea = new QWidget;
    FPageArea->setObjectName(QStringLiteral("pnlPluginPage"));
    FPageLayout = new QVBoxLayout(FPageArea);
    FPageLayout->setContentsMargins(4, 4, 4, 4);
    FPickLabel = new QLabel;
    FPickLabel->setObjectName(QStringLiteral("lblPickAddFilterModuleCombo"));
    FPickLabel->setAlignment(Qt::AlignCenter);
    FPickLabel->setWordWrap(true);
    MarkCaptionIsData(FPickLabel);  // a message text, translated as one
    FPageLayout->addWidget(FPickLabel);
    auto* pageColumn = new QWidget;
    pageColumn->setObjectName(QStringLiteral("pnlPluginProps"));
    auto* pageLayout = new QVBoxLayout(pageColumn);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);
    pageLayout->addWidget(FTabs);
    pageLayout->addWidget(FPageArea, 1);

    FHelp = new QPlainTextEdit;
    FHelp->setObjectName(QStringLiteral("memPluginHelp"));
    FHelp->setReadOnly(true);
    MarkCaptionIsData(FHelp);

    auto* right = new QSplitter(Qt::Vertical);
    right->setObjectName(QStringLiteral("splPluginPage"));
    right->addWidget(pageColumn);
    right->addWidget(FHelp);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 1);
    // The page gets the room; the help panel a few lines below it.
    right->setSizes({3000, 1000});
    FHelp->setMinimumHeight(48);
    auto* split = new QSplitter(Qt::Horizontal);
    split->setObjectName(QStringLiteral("splModules"));
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);
    ShowPickText();
}

QList<QAction*> TFrameProgramSetupPlugins::ListActions() const {
    return {FAddItem, FInsertItem, FDeleteItem, FSwapItemUp, FSwapItemDown};
}

QAction* TFrameProgramSetupPlugins::ListAction(const QString& AName) const {
    for (QAction* action : ListActions())
        if (action->objectName() == AName)
            return action;
    return nullptr;
}

void TFrameProgramSetupPlugins::RebuildChoosers() {
    ++FQuiet;
    auto* model = static_cast<QStandardItemModel*>(FPatterns->model());
    model->removeRows(0, model->rowCount());
    const QStringList& icons = FCombinations.Patterns().ImageIconNames();
    int allFiles = 0;
    for (const TPatternMeta* pattern : FCombinations.Patterns().ChooserPatterns()) {
        auto* text = new QStandardItem(pattern->PatType);
        if (pattern->ImageIndex >= 0 && pattern->ImageIndex < icons.size())
            text->setIcon(PatternIcon(icons[pattern->ImageIndex], style()));
        auto* description = new QStandardItem(pattern->PatDescription);
        if (pattern->PatType == QStringLiteral("*.*"))
            allFiles = model->rowCount();
        model->appendRow({text, description});
    }
    FPatterns->setCurrentIndex(allFiles);
    FPatternTyped = false;

    FPlugins->clear();
    const QString modules = FSetup.Host->Setup().ModulesFolder;
    for (const TPluginHost::TDisplayEntry& entry : FSetup.Host->DisplayList())
        FPlugins->addItem(FixPluginPN(entry.DisplayPath, true, false, false, modules),
                          QVariant::fromValue(static_cast<void*>(entry.Descriptor)));
    if (FPlugins->count() > 0)
        FPlugins->setCurrentIndex(0);
    --FQuiet;
    UpdateActionStates();
}

void TFrameProgramSetupPlugins::ShowCombinations() {
    ++FQuiet;
    FList->clear();
    for (int i = 0; i < FCombinations.Count(); ++i) {
        const TCombinationEntry& entry = FCombinations.At(i);
        auto* item = new QTreeWidgetItem(
            FList, {entry.Pattern != nullptr ? entry.Pattern->PatType : QString(),
                    FCombinations.ModuleColumnText(i)});
        const QStringList& icons = FCombinations.Patterns().ImageIconNames();
        if (entry.Pattern != nullptr && entry.Pattern->ImageIndex >= 0 &&
            entry.Pattern->ImageIndex < icons.size())
            item->setIcon(0, PatternIcon(icons[entry.Pattern->ImageIndex], style()));
    }
    if (FSessionIndex >= FCombinations.Count())
        DropSession();
    SelectRow(FSessionIndex);
    --FQuiet;
    UpdateActionStates();
}

void TFrameProgramSetupPlugins::SelectRow(int AIndex) {
    ++FQuiet;
    if (AIndex >= 0 && AIndex < FList->topLevelItemCount())
        FList->setCurrentItem(FList->topLevelItem(AIndex));
    else {
        FList->setCurrentItem(nullptr);
        FList->clearSelection();
    }
    --FQuiet;
}

bool TFrameProgramSetupPlugins::ListControlsFocused() const {
    const QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr)
        return false;
    for (const QWidget* control :
         {static_cast<const QWidget*>(FList), static_cast<const QWidget*>(FPatterns),
          static_cast<const QWidget*>(FPlugins), static_cast<const QWidget*>(FPatternBar)})
        if (focus == control || control->isAncestorOf(focus))
            return true;
    return false;
}

TFrameCommonPlugin* TFrameProgramSetupPlugins::RowActionPage() const {
    const QWidget* focus = QApplication::focusWidget();
    if (FPage == nullptr || focus == nullptr || !FPage->isAncestorOf(focus))
        return nullptr;
    return FPage;
}

TModulesActionStates TFrameProgramSetupPlugins::ActionStates() const {
    TModulesActionStates states;
    if (ListControlsFocused()) {
        states.AddItem =
            !FPatterns->currentText().trimmed().isEmpty() && !FPlugins->currentText().isEmpty();
        states.InsertItem = states.AddItem && FCombinations.Count() > 0;
        const int selected = FSessionIndex;
        if (selected >= 0) {
            states.DeleteItem = true;
            states.SwapItemUp = selected > 0;
            states.SwapItemDown = selected < FCombinations.Count() - 1;
        }
    } else if (const TFrameCommonPlugin* page = RowActionPage()) {
        states.AddItem = page->Can_RowAction(TFrameRowAction::Add);
        states.InsertItem = page->Can_RowAction(TFrameRowAction::Insert);
        states.DeleteItem = page->Can_RowAction(TFrameRowAction::Delete);
        states.SwapItemUp = page->Can_RowAction(TFrameRowAction::MoveUp);
        states.SwapItemDown = page->Can_RowAction(TFrameRowAction::MoveDown);
    }
    return states;
}

void TFrameProgramSetupPlugins::UpdateActionStates() {
    const TModulesActionStates states = ActionStates();
    FAddItem->setEnabled(states.AddItem);
    FInsertItem->setEnabled(states.InsertItem);
    FDeleteItem->setEnabled(states.DeleteItem);
    FSwapItemUp->setEnabled(states.SwapItemUp);
    FSwapItemDown->setEnabled(states.SwapItemDown);
}

void TFrameProgramSetupPlugins::Changed() {
    if (FSetup.OnChanged)
        FSetup.OnChanged();
}

void TFrameProgramSetupPlugins::ReleaseQuietly(TPluginStoredLibInfo& APlugin) {
    try {
        APlugin.UnloadPlugin();
    } catch (const std::exception& e) {
        ReportError(e);
    }
}

void TFrameProgramSetupPlugins::ReportError(const std::exception& AError) {
    const QString text = ExceptionMessage(AError);
    if (FSetup.Log != nullptr)
        FSetup.Log->Log(nullptr, nullptr, text);
    if (FSetup.PageServices.Prompts != nullptr)
        FSetup.PageServices.Prompts->ShowMessage(TPromptKind::Error, text);
}

// ---- list actions ----

void TFrameProgramSetupPlugins::AddOrInsert(bool AInsert) {
    if (TFrameCommonPlugin* page = RowActionPage(); page != nullptr && !ListControlsFocused()) {
        page->RowAction(AInsert ? TFrameRowAction::Insert : TFrameRowAction::Add);
        UpdateActionStates();
        return;
    }
    const QString text = FPatterns->currentText().trimmed();
    auto* plugin = static_cast<TPluginStoredLibInfo*>(FPlugins->currentData().value<void*>());
    if (text.isEmpty() || plugin == nullptr)
        return;
    // A typed text equal to what the chooser shows for its current item counts as picked.
    const bool typed = FPatternTyped || FPatterns->currentIndex() < 0 ||
                       FPatterns->itemText(FPatterns->currentIndex()) != text;
    try {
        const int before = AInsert && FSessionIndex >= 0 ? FSessionIndex : FCombinations.Count();
        const TCombinationList::TAddOutcome outcome =
            AInsert ? FCombinations.InsertItem(before, text, typed, plugin)
                    : FCombinations.AddItem(text, typed, plugin);
        if (outcome.Result != TCombinationList::TAddResult::Added)
            return;
        // A session's entry moves down when one is placed before it.
        if (FSessionIndex >= outcome.Index && FSessionIndex >= 0)
            ++FSessionIndex;
        ShowCombinations();
        Changed();
        SelectEntry(outcome.Index);
    } catch (const std::exception& e) {
        ReportError(e);
    }
    FList->setFocus();
    UpdateActionStates();
}

void TFrameProgramSetupPlugins::AddItem() {
    AddOrInsert(false);
}

void TFrameProgramSetupPlugins::InsertItem() {
    AddOrInsert(true);
}

void TFrameProgramSetupPlugins::DeleteItem() {
    if (TFrameCommonPlugin* page = RowActionPage(); page != nullptr && !ListControlsFocused()) {
        page->RowAction(TFrameRowAction::Delete);
        UpdateActionStates();
        return;
    }
    const int index = FSessionIndex;
    if (index < 0)
        return;
    // The entry's values go with it: the page is not checked or kept.
    CloseSession(false);
    try {
        const int next = FCombinations.DeleteItem(index);
        ShowCombinations();
        Changed();
        if (next >= 0)
            SelectEntry(next);
    } catch (const std::exception& e) {
        ReportError(e);
    }
    UpdateActionStates();
}

void TFrameProgramSetupPlugins::SwapItemUp() {
    if (TFrameCommonPlugin* page = RowActionPage(); page != nullptr && !ListControlsFocused()) {
        page->RowAction(TFrameRowAction::MoveUp);
        UpdateActionStates();
        return;
    }
    if (FSessionIndex <= 0)
        return;
    FSessionIndex = FCombinations.SwapItemUp(FSessionIndex);
    ShowCombinations();
    Changed();
}

void TFrameProgramSetupPlugins::SwapItemDown() {
    if (TFrameCommonPlugin* page = RowActionPage(); page != nullptr && !ListControlsFocused()) {
        page->RowAction(TFrameRowAction::MoveDown);
        UpdateActionStates();
        return;
    }
    if (FSessionIndex < 0 || FSessionIndex >= FCombinations.Count() - 1)
        return;
    FSessionIndex = FCombinations.SwapItemDown(FSessionIndex);
    ShowCombinations();
    Changed();
}

// ---- selection, session and pages ----

void TFrameProgramSetupPlugins::OnCurrentRowChanged(int ARow) {
    if (SelectEntry(ARow))
        return;
    // Refused: the list shows the session's entry again, now and once the click that moved it
    // has been handled to its end.
    SelectRow(FSessionIndex);
    QMetaObject::invokeMethod(
        this, [this] { SelectRow(FSessionIndex); }, Qt::QueuedConnection);
}

bool TFrameProgramSetupPlugins::SelectEntry(int AIndex) {
    if (AIndex == FSessionIndex && (AIndex < 0 || FSessionPlugin != nullptr)) {
        SelectRow(AIndex);
        return true;
    }
    if (!CheckOpenPage())
        return false;
    CloseSession(true);
    if (AIndex >= 0 && AIndex < FCombinations.Count())
        OpenSession(AIndex);
    SelectRow(FSessionIndex);
    UpdateActionStates();
    return true;
}

bool TFrameProgramSetupPlugins::OpenSession(int AIndex) {
    TPluginStoredLibInfo* plugin = FCombinations.At(AIndex).Plugin;
    try {
        plugin->LoadPlugin();
    } catch (const std::exception& e) {
        ReportError(e);
        return false;
    }
    FSessionIndex = AIndex;
    FSessionPlugin = plugin;
    try {
        plugin->SP_SetupEdit();
    } catch (const std::exception& e) {
        ReportError(e);
    }
    ++FQuiet;
    while (FTabs->count() > 0)
        FTabs->removeTab(0);
    FTabs->addTab(FStrInformation.Str());
    for (const auto& property : plugin->FProperties)
        FTabs->addTab(property->FShownName);
    FTabs->setCurrentIndex(0);
    --FQuiet;
    OpenTab(0);
    return true;
}

void TFrameProgramSetupPlugins::OpenTab(int ATab) {
    FreePage();
    FCurrentTab = ATab;
    FPickLabel->hide();
    try {
        const TFrameCommonPluginClass* frameClass = nullptr;
        QByteArray init;
        QByteArray stored;
        QString name;
        if (ATab == 0) {
            frameClass = &GetPluginInfoFrameClass();
        } else {
            const TPluginProperty& property =
                *FSessionPlugin->FProperties.at(static_cast<std::size_t>(ATab - 1));
            frameClass = &GetPluginPropFrameClass(property.FVisualPropType);
            init = property.FInitStreamData;
            name = property.FPropName;
            stored = FCombinations.ValueStream(FSessionIndex, name);
        }
        TFrameServices services = FSetup.PageServices;
        services.OnEdited = [this] { Changed(); };
        services.OfferedPatterns = [this] {
            QStringList patterns;
            for (const TPatternMeta* pattern : FCombinations.Patterns().ChooserPatterns())
                patterns << pattern->PatType;
            return patterns;
        };
        std::unique_ptr<TFrameCommonPlugin> page = frameClass->Create(services);
        page->hide();
        FPageLayout->addWidget(page.get());
        FPage = page.release();
        OpenPluginFrame(*FPage, init, name, FSessionPlugin, stored);
    } catch (const std::exception& e) {
        // The tab stays chosen with an empty page area; its stream is left as it was.
        delete FPage;
        FPage = nullptr;
        ReportError(e);
    }
    ShowHelp();
    UpdateActionStates();
}

void TFrameProgramSetupPlugins::OnTabChanged(int ATab) {
    if (SelectTab(ATab))
        return;
    const auto back = [this] {
        ++FQuiet;
        if (FCurrentTab >= 0)
            FTabs->setCurrentIndex(FCurrentTab);
        --FQuiet;
    };
    back();
    QMetaObject::invokeMethod(this, back, Qt::QueuedConnection);
}

bool TFrameProgramSetupPlugins::SelectTab(int ATab) {
    if (FSessionPlugin == nullptr || ATab < 0 || ATab >= FTabs->count())
        return false;
    if (ATab == FCurrentTab)
        return true;
    if (!CheckOpenPage())
        return false;
    SavePage();
    ++FQuiet;
    FTabs->setCurrentIndex(ATab);
    --FQuiet;
    OpenTab(ATab);
    return true;
}

bool TFrameProgramSetupPlugins::CheckOpenPage() {
    if (FPage == nullptr)
        return true;
    try {
        return FPage->QueryCloseFrame();
    } catch (const std::exception& e) {
        // A check that could not run keeps the page, and says why.
        ReportError(e);
        return false;
    }
}

void TFrameProgramSetupPlugins::SavePage() {
    if (FPage == nullptr || FCurrentTab <= 0 || FSessionIndex < 0)
        return;
    try {
        QByteArray stream;
        FPage->SavePerstStreamData_Memory(stream);
        // Only the user's edits make the project changed; a page merely opened writes what it
        // shows without that.
        FCombinations.SetValueStream(FSessionIndex, FPage->F_PropShared_PropName, stream,
                                     FPage->Modified());
    } catch (const std::exception& e) {
        ReportError(e);
    }
}

void TFrameProgramSetupPlugins::FreePage() {
    if (FPage == nullptr)
        return;
    FPage->hide();
    delete FPage;
    FPage = nullptr;
}

void TFrameProgramSetupPlugins::FlushOpenPage() {
    SavePage();
}

void TFrameProgramSetupPlugins::CloseSession(bool ASave) {
    if (ASave)
        SavePage();
    DropSession();
}

void TFrameProgramSetupPlugins::DropSession() {
    FreePage();
    if (FSessionPlugin != nullptr) {
        try {
            FSessionPlugin->UnloadPlugin();
        } catch (const std::exception& e) {
            ReportError(e);
        }
    }
    FSessionPlugin = nullptr;
    FSessionIndex = -1;
    FCurrentTab = -1;
    ++FQuiet;
    while (FTabs->count() > 0)
        FTabs->removeTab(0);
    --FQuiet;
    SelectRow(-1);
    ShowPickText();
    UpdateActionStates();
}

void TFrameProgramSetupPlugins::ShowPickText() {
    FPickLabel->setText(TranslatedMessage(KTextPickAddFilterModuleCombo));
    FPickLabel->show();
    ShowHelp();
}

void TFrameProgramSetupPlugins::ShowHelp() {
    const TPluginProperty* property = nullptr;
    if (FSessionPlugin != nullptr && FCurrentTab > 0 && FPage != nullptr)
        property = FSessionPlugin->FProperties.at(static_cast<std::size_t>(FCurrentTab - 1)).get();
    FHelp->setPlainText(PropertyHelpText(property));
}

// ---- checks ----

bool TFrameProgramSetupPlugins::ValidateAll() {
    if (!CheckOpenPage())
        return false;
    SavePage();
    TUserPrompts* prompts = FSetup.PageServices.Prompts;
    for (int i = 0; i < FCombinations.Count(); ++i) {
        TPluginStoredLibInfo* plugin = FCombinations.At(i).Plugin;
        const bool session = i == FSessionIndex;
        // The session's plugin is loaded for editing already (also for its other combinations).
        const bool loaded = plugin == FSessionPlugin;
        // The open page was checked above.
        const QString skip = session && FPage != nullptr ? FPage->F_PropShared_PropName : QString();
        std::optional<TPropertyProblem> problem;
        try {
            if (!loaded) {
                plugin->LoadPlugin();
                plugin->SP_SetupEdit();
            }
            TCombinationCheckReports reports;
            reports.AskKeepTextBox = [prompts](const TPropertyProblem&, const QString& AMessage) {
                return prompts != nullptr && prompts->AskYesNo(TPromptKind::Error, AMessage);
            };
            reports.ShowProblem = [prompts](const TPropertyProblem&, const QString& AMessage) {
                if (prompts != nullptr)
                    prompts->ShowMessage(TPromptKind::Error, AMessage);
            };
            problem = VerifyCombinationValues(
                *plugin,
                [this, i](const QString& AName) { return FCombinations.ValueStream(i, AName); },
                FSetup.PageServices.TempFolder, reports, skip);
        } catch (const std::exception& e) {
            ReportError(e);
            if (!loaded)
                ReleaseQuietly(*plugin);
            SelectEntry(i);
            return false;
        }
        if (!loaded)
            ReleaseQuietly(*plugin);
        if (problem.has_value()) {
            // Show the page that failed, without asking the plugin again.
            if (SelectEntry(i)) {
                for (std::size_t p = 0; p < plugin->FProperties.size(); ++p)
                    if (plugin->FProperties[p]->FPropName == problem->PropName)
                        SelectTab(static_cast<int>(p) + 1);
            }
            return false;
        }
    }
    return true;
}

void TFrameProgramSetupPlugins::ValidateBeforeSave() {
    if (FPage == nullptr || FCurrentTab <= 0 || FSessionIndex < 0)
        return;
    if (CheckOpenPage())
        return;
    const TCombinationEntry& entry = FCombinations.At(FSessionIndex);
    const QString text =
        TranslatedMessage(KTextPageCheckFailedOnSave,
                          {{QStringLiteral("dynPageName"), FTabs->tabText(FCurrentTab)},
                           {QStringLiteral("dynPosition"), QString::number(FSessionIndex + 1)},
                           {QStringLiteral("dynFilter"),
                            entry.Pattern != nullptr ? entry.Pattern->PatType : QString()}});
    if (FSetup.PageServices.Prompts != nullptr)
        FSetup.PageServices.Prompts->ShowMessage(TPromptKind::Warning, text);
}

// ---- services of the open page ----

bool TFrameProgramSetupPlugins::Can_ServiceRequest_InsertFilePath() const {
    return FPage != nullptr && FPage->Can_ServiceRequest_InsertFilePath();
}

bool TFrameProgramSetupPlugins::Can_ServiceRequest_OpenTextEditor() const {
    return FPage != nullptr && FPage->Can_ServiceRequest_OpenTextEditor();
}

bool TFrameProgramSetupPlugins::ServiceRequest_InsertFilePath() {
    return FPage != nullptr && FPage->ServiceRequest_InsertFilePath();
}

bool TFrameProgramSetupPlugins::ServiceRequest_OpenTextEditor() {
    return FPage != nullptr && FPage->ServiceRequest_OpenTextEditor();
}

bool TFrameProgramSetupPlugins::CanImport() const {
    return FPage != nullptr && FPage->CanImport();
}

bool TFrameProgramSetupPlugins::CanExport() const {
    return FPage != nullptr && FPage->CanExport();
}

bool TFrameProgramSetupPlugins::DoImport() {
    return FPage != nullptr && FPage->DoImport();
}

bool TFrameProgramSetupPlugins::DoExport() {
    return FPage != nullptr && FPage->DoExport();
}

bool TFrameProgramSetupPlugins::Can_Frame_Print() const {
    return FPage != nullptr && FPage->Can_Frame_Print();
}

bool TFrameProgramSetupPlugins::Frame_Print(QPrinter& APrinter) {
    return FPage != nullptr && FPage->Frame_Print(APrinter);
}

// ---- texts ----

void TFrameProgramSetupPlugins::LanguageCulture_SetNativeOnce_GUI() {
    TqvlgLanguageAssistantsGui* assistants = FSetup.PageServices.Assistants;
    if (assistants == nullptr)
        return;
    assistants->FActions.Save_Trans_ActionList(KTransIdProgram, KTransSection, actions());
    assistants->FControls.Save_Trans_Controls(KTransIdProgram, KTransSection, this);
    assistants->FStoredRes.Save_Trans_StoredString(KTransIdProgram, KTransSection, FStrInformation);
    // The information page's texts are known before any page is opened.
    TFramePluginSetupRoot info(FSetup.PageServices);
    info.LanguageCulture_SetNativeOnce_GUI();
}

void TFrameProgramSetupPlugins::LanguageCulture_LoadCurrent_GUI() {
    TqvlgLanguageAssistantsGui* assistants = FSetup.PageServices.Assistants;
    if (assistants == nullptr)
        return;
    assistants->FActions.Load_Trans_ActionList(KTransIdProgram, KTransSection, actions());
    assistants->FControls.Load_Trans_Controls(KTransIdProgram, KTransSection, this);
    assistants->FStoredRes.Load_Trans_StoredString(KTransIdProgram, KTransSection, FStrInformation);
    if (FTabs->count() > 0)
        FTabs->setTabText(0, FStrInformation.Str());
    if (FPage != nullptr)
        FPage->LanguageCulture_LoadCurrent_GUI();
    if (FPickLabel->isVisible() || FPage == nullptr)
        FPickLabel->setText(TranslatedMessage(KTextPickAddFilterModuleCombo));
    ShowHelp();
}

// The "Project modules" page driven as a user would: adding and refusing combinations, typed
// patterns, deleting and moving, the property pages' values through the project file into a
// batch, the checks before a page is left, a batch starts or the project is saved, the edit
// session and the changed flag.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "app/module_shared.h"
#include "base/ini_document.h"
#include "base/stream_fields.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "tests/support/qstring_print.h"
#include "tests/support/stored_streams.h"
#include "tests/ui/modules_editor/kinds_plugin.h"
#include "tests/ui/ui_test_env.h"
#include "ui/modules_editor/frame_program_setup_plugins.h"
#include "ui/modules_editor/modules_editor_texts.h"
#include "ui/property_pages/frame_plugin_setup_root.h"
#include "ui/property_pages/frame_plugins_setup_option_multiple_choice.h"
#include "ui/property_pages/frame_plugins_setup_option_single_choice.h"
#include "ui/property_pages/frame_plugins_setup_option_text_boxes.h"
#include "ui/property_pages/property_page_texts.h"

namespace {

const QString KIncompatible = QStringLiteral(
    "The plugin chosen has marked itself as being non-compatible with the filter currently "
    "selected.");

class ModulesEditorTest : public ::testing::Test {
protected:
    ModulesEditorTest() {
        AddKindsPlugins(FEnv, FRecord);
        FEnv.Window().show();
        QApplication::setActiveWindow(&FEnv.Window());
        auto* pages = FEnv.Window().findChild<QTabWidget*>(QStringLiteral("pcMain"));
        pages->setCurrentWidget(
            FEnv.Window().findChild<QWidget*>(QStringLiteral("tsMainProjectModules")));
    }
    TFrameProgramSetupPlugins& Editor() { return FEnv.Window().ModulesFrame(); }
    TCombinationList& List() { return FEnv.Window().Project().Combinations(); }
    TPluginStoredLibInfo* Plugin(const QString& AStrID) { return FEnv.Host().FindByStrID(AStrID); }

    // Types a pattern into the chooser, as a user would.
    void TypePattern(const QString& AText) {
        QLineEdit* edit = Editor().PatternChooser()->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, AText);
    }
    // Picks a pattern from the chooser's list.
    void PickPattern(const QString& AText) {
        QComboBox* chooser = Editor().PatternChooser();
        const int index = chooser->findText(AText);
        ASSERT_GE(index, 0) << qPrintable(AText);
        chooser->setFocus();
        chooser->setCurrentIndex(index);
        Q_EMIT chooser->activated(index);
    }
    void ChoosePlugin(const QString& AStrID) {
        QComboBox* chooser = Editor().PluginChooser();
        for (int i = 0; i < chooser->count(); ++i)
            if (chooser->itemData(i).value<void*>() == Plugin(AStrID)) {
                chooser->setCurrentIndex(i);
                return;
            }
        ADD_FAILURE() << "no plugin " << qPrintable(AStrID);
    }
    void Trigger(const char* AName) {
        QAction* action = Editor().ListAction(QString::fromLatin1(AName));
        ASSERT_NE(action, nullptr) << AName;
        action->trigger();
    }
    // Adds a combination through the choosers and the Add action.
    void Add(const QString& APattern, const QString& AStrID) {
        PickPattern(APattern);
        ChoosePlugin(AStrID);
        Trigger("ALI_AddItem");
        QApplication::processEvents();  // the opened page is laid out
    }
    // A click on a radio button's or check box's indicator, where a user clicks.
    void ClickChoice(QAbstractButton* AButton) {
        ASSERT_NE(AButton, nullptr);
        QTest::mouseClick(AButton, Qt::LeftButton, {}, QPoint(6, AButton->height() / 2));
    }
    void FocusList() {
        Editor().EntryList()->setFocus();
        Editor().UpdateActionStates();
    }
    QStringList Filters() {
        QStringList filters;
        for (int i = 0; i < List().Count(); ++i)
            filters << List().At(i).Pattern->PatType;
        return filters;
    }
    template <typename T>
    T* Page() {
        return dynamic_cast<T*>(Editor().OpenPage());
    }
    // The tab of a property by its caption.
    int Tab(const QString& ACaption) {
        for (int i = 0; i < Editor().PropertyTabs()->count(); ++i)
            if (Editor().PropertyTabs()->tabText(i) == ACaption)
                return i;
        return -1;
    }
    void ClickTab(const QString& ACaption) {
        QTabBar* tabs = Editor().PropertyTabs();
        const int tab = Tab(ACaption);
        ASSERT_GE(tab, 0) << qPrintable(ACaption);
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tab).center());
        QApplication::processEvents();
    }
    void ClickRow(int ARow) {
        QTreeWidget* list = Editor().EntryList();
        const QRect rect = list->visualItemRect(list->topLevelItem(ARow));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QApplication::processEvents();
    }
    QLineEdit* Box(const char* AId) {
        auto* page = Page<TFramePluginsSetupOptionTextBoxes>();
        return page != nullptr ? page->BoxOf(QString::fromLatin1(AId)) : nullptr;
    }
    void TypeInto(QLineEdit* AEdit, const QString& AText) {
        ASSERT_NE(AEdit, nullptr);
        AEdit->setFocus();
        AEdit->selectAll();
        QTest::keyClick(AEdit, Qt::Key_Backspace);
        QTest::keyClicks(AEdit, AText);
    }
    QString SavedProject() { return FEnv.Temp().Path(QStringLiteral("kinds.plv")); }

    TUiTestEnvironment FEnv;
    TKindsRecord FRecord;
};

TEST_F(ModulesEditorTest, ACombinationThePluginRefusesIsNotAddedAndTheUserIsTold) {
    Add(QStringLiteral("/"), QStringLiteral("zq_test_Gate"));  // files only
    EXPECT_EQ(List().Count(), 0);
    EXPECT_EQ(FEnv.Prompts().Shown, QStringList{KIncompatible});
    EXPECT_EQ(Editor().EntryList()->topLevelItemCount(), 0);

    Add(QStringLiteral("/"), KKindsID);  // files and directories
    ASSERT_EQ(List().Count(), 1);
    EXPECT_EQ(Editor().EntryList()->topLevelItem(0)->text(0), QStringLiteral("/"));
    // The root needs its own bit.
    Add(QStringLiteral(":"), KKindsID);
    EXPECT_EQ(List().Count(), 1);
    EXPECT_EQ(FEnv.Prompts().Shown.size(), 2);
}

TEST_F(ModulesEditorTest, TypedPatternsAreMadeIntoFiltersAndNeverOffered) {
    const struct {
        const char* Typed;
        const char* Filter;
    } cases[] = {{".QZX", "*.QZX"}, {"\\backup\\", "/backup"}, {"my?[x]", "myx"}};
    ChoosePlugin(KKindsID);
    QStringList expected;
    for (const auto& entry : cases) {
        TypePattern(QString::fromLatin1(entry.Typed));
        Trigger("ALI_AddItem");
        expected << QString::fromLatin1(entry.Filter);
    }
    EXPECT_EQ(Filters(), expected);
    EXPECT_EQ(List().At(1).Pattern->CanWorkCategory, PLV_CAN_WORK_DIRECTORIES);
    EXPECT_EQ(List().At(0).Pattern->CanWorkCategory, PLV_CAN_WORK_FILES);
    for (const QString& filter : expected)
        EXPECT_EQ(Editor().PatternChooser()->findText(filter), -1) << qPrintable(filter);
    // A typed text that is registered in another letter case takes the registered spelling.
    TypePattern(QStringLiteral("*.txt"));
    Trigger("ALI_AddItem");
    TypePattern(QStringLiteral("*.TXT"));
    Trigger("ALI_AddItem");
    EXPECT_EQ(Filters().mid(3), (QStringList{QStringLiteral("*.txt"), QStringLiteral("*.txt")}));
}

TEST_F(ModulesEditorTest, DeleteAndMoveKeepTheSelectionRules) {
    for (const char* filter : {"*.*", "*.", "/"})
        Add(QString::fromLatin1(filter), KKindsID);
    ASSERT_EQ(Filters(),
              (QStringList{QStringLiteral("*.*"), QStringLiteral("*."), QStringLiteral("/")}));
    // Adding selects the new entry.
    EXPECT_EQ(Editor().SelectedIndex(), 2);

    ClickRow(1);
    FocusList();
    EXPECT_TRUE(Editor().ListAction(QStringLiteral("ALI_SwapItemUp"))->isEnabled());
    Trigger("ALI_SwapItemUp");
    EXPECT_EQ(Filters(),
              (QStringList{QStringLiteral("*."), QStringLiteral("*.*"), QStringLiteral("/")}));
    EXPECT_EQ(Editor().SelectedIndex(), 0);
    FocusList();
    EXPECT_FALSE(Editor().ListAction(QStringLiteral("ALI_SwapItemUp"))->isEnabled());
    EXPECT_TRUE(Editor().ListAction(QStringLiteral("ALI_SwapItemDown"))->isEnabled());
    Trigger("ALI_SwapItemDown");
    EXPECT_EQ(Editor().SelectedIndex(), 1);

    EXPECT_EQ(Filters(),
              (QStringList{QStringLiteral("*.*"), QStringLiteral("*."), QStringLiteral("/")}));

    // Inserting goes before the selected entry.
    PickPattern(QStringLiteral("*.txt"));
    Trigger("ALI_InsertItem");
    EXPECT_EQ(Filters(), (QStringList{QStringLiteral("*.*"), QStringLiteral("*.txt"),
                                      QStringLiteral("*."), QStringLiteral("/")}));
    EXPECT_EQ(Editor().SelectedIndex(), 1);

    // Deleting the last entry selects the new last one.
    ClickRow(3);
    Trigger("ALI_DeleteItem");
    EXPECT_EQ(Filters().size(), 3);
    EXPECT_EQ(Editor().SelectedIndex(), 2);
    EXPECT_NE(Page<TFramePluginSetupRoot>(), nullptr);  // opened at its information tab
    // Deleting the one in the middle selects the one that took its place.
    ClickRow(1);
    Trigger("ALI_DeleteItem");
    EXPECT_EQ(Filters(), (QStringList{QStringLiteral("*.*"), QStringLiteral("*.")}));
    EXPECT_EQ(Editor().SelectedIndex(), 1);
    Trigger("ALI_DeleteItem");
    Trigger("ALI_DeleteItem");
    EXPECT_EQ(List().Count(), 0);
    EXPECT_EQ(Editor().SelectedIndex(), -1);
    EXPECT_EQ(Editor().OpenPage(), nullptr);
    EXPECT_TRUE(Editor().PickLabel()->isVisible());
    EXPECT_EQ(Editor().PickLabel()->text(),
              QStringLiteral("Add a filter/module combination and configure it here"));
    FocusList();
    EXPECT_FALSE(Editor().ListAction(QStringLiteral("ALI_DeleteItem"))->isEnabled());
    EXPECT_FALSE(Editor().ListAction(QStringLiteral("ALI_InsertItem"))->isEnabled());
    EXPECT_TRUE(Editor().ListAction(QStringLiteral("ALI_AddItem"))->isEnabled());
}

TEST_F(ModulesEditorTest, EachPageKindKeepsItsValuesThroughTheProjectFileIntoTheBatch) {
    FEnv.WriteInput(QStringLiteral("a.txt"));
    Add(QStringLiteral("*.*"), KKindsID);
    ClickTab(QStringLiteral("Mode"));
    auto* single = Page<TFramePluginsSetupOptionSingleChoice>();
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->SelectedID(), QStringLiteral("b"));  // the declared default
    ClickChoice(single->ButtonOf(QStringLiteral("c")));
    EXPECT_EQ(single->SelectedID(), QStringLiteral("c"));
    ClickTab(QStringLiteral("Set"));
    auto* multiple = Page<TFramePluginsSetupOptionMultipleChoice>();
    ASSERT_NE(multiple, nullptr);
    EXPECT_EQ(multiple->CheckedIDs(), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    ClickChoice(multiple->ButtonOf(QStringLiteral("a")));
    ClickTab(QStringLiteral("Boxes"));
    TypeInto(Box("user"), QStringLiteral("bob"));

    // Saving writes the open page too.
    FEnv.NextSaveFile = SavedProject();
    FEnv.Window().findChild<QAction*>(QStringLiteral("ALI_File_SaveProject"))->trigger();
    ASSERT_FALSE(FEnv.Window().Project().HasProjectChanged());
    FEnv.Window().Project().LoadProject(SavedProject(), false);
    ASSERT_EQ(List().Count(), 1);
    EXPECT_EQ(Editor().SelectedIndex(), -1);

    ClickRow(0);
    ClickTab(QStringLiteral("Mode"));
    ASSERT_NE(Page<TFramePluginsSetupOptionSingleChoice>(), nullptr);
    EXPECT_EQ(Page<TFramePluginsSetupOptionSingleChoice>()->SelectedID(), QStringLiteral("c"));
    ClickTab(QStringLiteral("Set"));
    ASSERT_NE(Page<TFramePluginsSetupOptionMultipleChoice>(), nullptr);
    EXPECT_EQ(Page<TFramePluginsSetupOptionMultipleChoice>()->CheckedIDs(),
              QStringList{QStringLiteral("c")});
    ClickTab(QStringLiteral("Boxes"));
    ASSERT_NE(Box("user"), nullptr);
    EXPECT_EQ(Box("user")->text(), QStringLiteral("bob"));
    EXPECT_EQ(Box("port")->text(), QStringLiteral("21"));

    FRecord.Delivered.clear();
    FEnv.Window().StartBatch();
    ASSERT_TRUE(FEnv.Window().LastBatchResult().has_value());
    EXPECT_EQ(
        FRecord.Delivered,
        (QStringList{QStringLiteral("Mode=c"), QStringLiteral("Set#1"), QStringLiteral("Set=c"),
                     QStringLiteral("Boxes.user=bob"), QStringLiteral("Boxes.port=21")}));
}

TEST_F(ModulesEditorTest, AFailingCheckKeepsThePageOpenWithThePluginsMessage) {
    Add(QStringLiteral("*.*"), KKindsID);
    Add(QStringLiteral("*."), KKindsID);
    ClickTab(QStringLiteral("Boxes"));
    TypeInto(Box("port"), QStringLiteral("x"));
    const QString message = QStringLiteral("Port is wrong.\r\n\r\nWrite a number.");

    // Cancel: the tab stays, the box has the focus.
    FEnv.Prompts().Answers = {false};
    ClickTab(QStringLiteral("Information"));
    EXPECT_EQ(FEnv.Prompts().Asked, QStringList{message});
    EXPECT_EQ(Editor().SelectedTab(), Tab(QStringLiteral("Boxes")));
    EXPECT_EQ(Editor().PropertyTabs()->currentIndex(), Tab(QStringLiteral("Boxes")));
    ASSERT_NE(Box("port"), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), Box("port"));
    // Another combination is refused as well.
    FEnv.Prompts().Answers = {false};
    ClickRow(0);
    EXPECT_EQ(Editor().SelectedIndex(), 1);
    EXPECT_EQ(Editor().EntryList()->currentItem(), Editor().EntryList()->topLevelItem(1));
    EXPECT_EQ(Editor().EntryList()->selectedItems(),
              QList<QTreeWidgetItem*>{Editor().EntryList()->topLevelItem(1)});
    // And so is a batch.
    FEnv.Prompts().Answers = {false};
    FEnv.Window().StartBatch();
    EXPECT_FALSE(FEnv.Window().LastBatchResult().has_value());
    EXPECT_EQ(FEnv.Prompts().Asked.size(), 3);

    // OK keeps the value and lets the page go.
    FEnv.Prompts().Answers = {true};
    ClickRow(0);
    EXPECT_EQ(Editor().SelectedIndex(), 0);
    EXPECT_EQ(List().ValueStream(1, QStringLiteral("Boxes")),
              StoredBoxes({{QStringLiteral("user"), QStringLiteral("anna")},
                           {QStringLiteral("port"), QStringLiteral("x")}}));
}

TEST_F(ModulesEditorTest, SavingAFailingPageWarnsAndKeepsWhatWasTyped) {
    Add(QStringLiteral("*.*"), KKindsID);
    ClickTab(QStringLiteral("Boxes"));
    TypeInto(Box("port"), QStringLiteral("x"));
    FEnv.Prompts().Answers = {false};
    FEnv.NextSaveFile = SavedProject();
    FEnv.Window().findChild<QAction*>(QStringLiteral("ALI_File_SaveProject"))->trigger();
    EXPECT_EQ(FEnv.Prompts().Asked,
              QStringList{QStringLiteral("Port is wrong.\r\n\r\nWrite a number.")});
    EXPECT_EQ(FEnv.Prompts().Shown,
              QStringList{QStringLiteral(
                  "The values on the page \"Boxes\" of combination 1 (filter \"*.*\") did not "
                  "pass the module's check. They are saved as they are.")});
    FEnv.Window().Project().LoadProject(SavedProject(), false);
    ASSERT_EQ(List().Count(), 1);
    EXPECT_EQ(List().ValueStream(0, QStringLiteral("Boxes")),
              StoredBoxes({{QStringLiteral("user"), QStringLiteral("anna")},
                           {QStringLiteral("port"), QStringLiteral("x")}}));
}

// The column identifiers a grid property declares.
QStringList DeclaredColumns(const TPluginProperty& AProperty) {
    TStreamReader reader(AProperty.FInitStreamData);
    QStringList ids;
    const std::int32_t count = reader.ReadInt32();
    for (std::int32_t i = 0; i < count; ++i) {
        ids << reader.ReadAnsiString();
        reader.ReadUtf8String();
        reader.ReadAnsiString();
        reader.ReadInt32();
    }
    return ids;
}

// Grid values the shipped plugins refuse, and what they say.
struct TGridRefusal {
    const char* StrID;
    const char* Filter;
    const char* Property;
    std::vector<TStoredCell> Cells;
    const char* Message;
};

TEST_F(ModulesEditorTest, ABatchDoesNotStartWhileAGridOfAShippedPluginFailsItsCheck) {
    const TGridRefusal refusals[] = {
        {"zq_kestrin_TextReplacer",
         "*.txt",
         "Simple",
         {{0, 0, QStringLiteral("False")},
          {1, 0, QStringLiteral("same")},
          {2, 0, QStringLiteral("same")}},
         "Value is wrong.\r\nYou can not have same string in both \"Match\" and \"Replace\" "
         "fields."},
        {"zq_kestrin_RunOther",
         "*.*",
         "RunOtherList",
         {{0, 0, QStringLiteral("/no/such/program")}},
         "The application to run does not exist.\r\nChoose a correct path for a file "
         "(application) to run."},
    };
    FEnv.WriteInput(QStringLiteral("a.txt"));
    for (const TGridRefusal& refusal : refusals) {
        SCOPED_TRACE(refusal.StrID);
        FEnv.Window().Project().LoadProject(QString(), true);
        TPluginStoredLibInfo* plugin = Plugin(QString::fromLatin1(refusal.StrID));
        ASSERT_NE(plugin, nullptr);
        Add(QString::fromLatin1(refusal.Filter), QString::fromLatin1(refusal.StrID));
        ASSERT_EQ(List().Count(), 1);
        const QString property = QString::fromLatin1(refusal.Property);
        List().SetValueStream(
            0, property,
            StoredGrid(DeclaredColumns(*plugin->GetPropertyByName(property)), refusal.Cells));
        FEnv.Prompts().Shown.clear();
        FEnv.Window().StartBatch();
        EXPECT_FALSE(FEnv.Window().LastBatchResult().has_value());
        // The plugin's message comes first (a page that cannot be opened yet says so after it).
        ASSERT_FALSE(FEnv.Prompts().Shown.isEmpty());
        EXPECT_EQ(FEnv.Prompts().Shown.front(), QString::fromUtf8(refusal.Message));
        // The combination is shown at the property that failed.
        EXPECT_EQ(Editor().SelectedIndex(), 0);
        EXPECT_EQ(Editor().PropertyTabs()->tabText(Editor().SelectedTab()),
                  plugin->GetPropertyByName(property)->FShownName);
        FEnv.Window().Project().Combinations().Clear();
    }
}

TEST_F(ModulesEditorTest, EditsMarkTheProjectChangedButOpeningTabsDoesNot) {
    Add(QStringLiteral("*.*"), KKindsID);
    EXPECT_TRUE(FEnv.Window().Project().HasProjectChanged());
    FEnv.NextSaveFile = SavedProject();
    FEnv.Window().findChild<QAction*>(QStringLiteral("ALI_File_SaveProject"))->trigger();
    ASSERT_FALSE(FEnv.Window().Project().HasProjectChanged());

    for (const char* tab : {"Mode", "Set", "Boxes", "Information", "Boxes"})
        ClickTab(QString::fromLatin1(tab));
    ClickRow(0);
    EXPECT_FALSE(FEnv.Window().Project().HasProjectChanged());
    // Leaving the page wrote what it showed, without changing the project.
    EXPECT_FALSE(List().ValueStream(0, QStringLiteral("Mode")).isEmpty());

    // Typing is a change even before the page is left, so closing asks.
    TypeInto(Box("user"), QStringLiteral("zoe"));
    FEnv.Prompts().ThreeWayAnswers = {TPromptAnswer::Cancel};
    EXPECT_FALSE(FEnv.Window().Project().ExitProject(false));
    EXPECT_EQ(FEnv.Prompts().Asked.size(), 1);
    EXPECT_TRUE(FEnv.Window().Project().HasProjectChanged());
    EXPECT_EQ(Box("user")->text(), QStringLiteral("zoe"));
}

TEST_F(ModulesEditorTest, ThePluginIsLoadedForItsCombinationAndReleasedAfterwards) {
    Add(QStringLiteral("*.*"), QStringLiteral("zq_test_Gate"));
    TPluginStoredLibInfo* kinds = Plugin(KKindsID);
    // Internal plugins are kept once made; without that the descriptor unloads one that is
    // loaded as needed, as it does a plugin library.
    kinds->FCachePlugins = false;
    kinds->UnloadPlugin();  // discovery made it
    ASSERT_FALSE(kinds->IsLoaded());
    Add(QStringLiteral("*.*"), KKindsID);
    EXPECT_TRUE(kinds->IsLoaded());
    EXPECT_EQ(FRecord.SetupEdit, 1);
    EXPECT_EQ(Editor().SessionPlugin(), kinds);
    ClickRow(0);
    EXPECT_FALSE(kinds->IsLoaded());
    ClickRow(1);
    EXPECT_TRUE(kinds->IsLoaded());
    EXPECT_EQ(FRecord.SetupEdit, 2);
    // A new project lets go of the session.
    FEnv.Prompts().ThreeWayAnswers = {TPromptAnswer::No};
    FEnv.Window().findChild<QAction*>(QStringLiteral("ALI_File_NewProject"))->trigger();
    EXPECT_EQ(Editor().SessionPlugin(), nullptr);
    EXPECT_FALSE(kinds->IsLoaded());
}

TEST_F(ModulesEditorTest, TheHelpPanelShowsThePropertysHelpOrTheGeneralHelp) {
    const QString general = Editor().HelpPanel()->toPlainText();
    EXPECT_TRUE(general.startsWith(QStringLiteral("Each entry of the run-order list")));
    Add(QStringLiteral("*.*"), KKindsID);
    EXPECT_EQ(Editor().HelpPanel()->toPlainText(), general);  // the information tab
    ClickTab(QStringLiteral("Boxes"));
    EXPECT_EQ(Editor().HelpPanel()->toPlainText(), QStringLiteral("Who and where."));
    ClickTab(QStringLiteral("Set"));
    EXPECT_EQ(Editor().HelpPanel()->toPlainText(), general);  // no help of its own

    // A grid adds its row-ignore condition, a password column the sensitive-data note.
    const TPluginProperty* rules = Plugin(QStringLiteral("zq_kestrin_RunOther"))
                                       ->GetPropertyByName(QStringLiteral("RunOtherList"));
    EXPECT_TRUE(PropertyHelpText(rules).endsWith(
        QStringLiteral("\r\n\r\nConditions for a row to be ignored:\r\nAll cells in row are empty "
                       "when trimmed for whitespaces (both ends of string in each cell).")))
        << qPrintable(PropertyHelpText(rules));
    bool sawPassword = false;
    for (const auto& plugin : FEnv.Host().PluginList())
        for (const auto& property : plugin->FProperties)
            if (property->FVisualPropType == vptGrid &&
                PropertyHelpText(property.get()).contains(QStringLiteral("sensitive data")))
                sawPassword = true;
    EXPECT_TRUE(sawPassword) << "the FTP uploader's password column";
}

TEST_F(ModulesEditorTest, TheInformationPageShowsTheRecordAndOpensMailAndWeb) {
    Add(QStringLiteral("*.*"), KKindsID);
    const auto value = [this](const char* AName) {
        auto* label = Editor().OpenPage()->findChild<TLinkLabel*>(QString::fromLatin1(AName));
        EXPECT_NE(label, nullptr) << AName;
        return label;
    };
    ASSERT_NE(Page<TFramePluginSetupRoot>(), nullptr);
    EXPECT_EQ(value("lblAuthorValue")->text(), QStringLiteral("Test Author"));
    EXPECT_EQ(value("lblCompanyValue")->text(), QStringLiteral("N/A"));
    EXPECT_EQ(value("lblEmailValue")->text(), QStringLiteral("N/A"));
    EXPECT_EQ(value("lblIdentifierValue")->text(), KKindsID);
    QTest::mouseClick(value("lblEmailValue"), Qt::LeftButton);
    QTest::mouseClick(value("lblUrlValue"), Qt::LeftButton);
    EXPECT_TRUE(FEnv.Prompts().Opened.isEmpty());

    Add(QStringLiteral("*.*"), KKindsMailID);
    ASSERT_NE(Page<TFramePluginSetupRoot>(), nullptr);
    QApplication::processEvents();
    EXPECT_EQ(value("lblCompanyValue")->text(), QStringLiteral("Kinds Ltd"));
    EXPECT_TRUE(value("lblEmailValue")->IsLink());
    QTest::mouseClick(value("lblEmailValue"), Qt::LeftButton);
    QTest::mouseClick(value("lblUrlValue"), Qt::LeftButton);
    ASSERT_EQ(FEnv.Prompts().Opened.size(), 2);
    EXPECT_EQ(FEnv.Prompts().Opened[0].toString(),
              QStringLiteral("mailto:dev@kinds.example?Subject=&Body="));
    EXPECT_EQ(FEnv.Prompts().Opened[1], QUrl(QStringLiteral("https://kinds.example/")));
}

TEST_F(ModulesEditorTest, TheTextEditorIsOfferedOnlyWhileABoxHasTheFocus) {
    Add(QStringLiteral("*.*"), KKindsID);
    ClickTab(QStringLiteral("Boxes"));
    QAction* editor =
        FEnv.Window().findChild<QAction*>(QStringLiteral("ALI_Tools_Services_OpenTextEditor"));
    QAction* insert =
        FEnv.Window().findChild<QAction*>(QStringLiteral("ALI_Tools_Services_InsertFilePath"));
    FocusList();
    EXPECT_FALSE(editor->isEnabled());
    EXPECT_FALSE(insert->isEnabled());
    Box("port")->setFocus();
    EXPECT_TRUE(editor->isEnabled());
    EXPECT_TRUE(insert->isEnabled());
    // The choice pages offer nothing.
    ClickTab(QStringLiteral("Mode"));
    EXPECT_FALSE(editor->isEnabled());
}

TEST_F(ModulesEditorTest, GermanHoldsTheEditorsTextsAndTheyApplyAtOnce) {
    const TIniDocument german = TIniDocument::FromFile(
        QStringLiteral(PLOVANE_SOURCE_DIR "/resources/trans/de-de/UTF8_program.ini"));
    std::vector<TqvlgNativeText> texts = ModulesEditorNativeTexts();
    for (const TqvlgNativeText& text : PropertyPageNativeTexts())
        texts.push_back(text);
    for (const TqvlgNativeText& text : texts)
        EXPECT_TRUE(german.ValueExists(QStringLiteral("StrsRes") + text.Section,
                                       text.Key + QStringLiteral("__Value")))
            << qPrintable(text.Section + QLatin1Char('|') + text.Key);

    Add(QStringLiteral("*.*"), KKindsID);
    FEnv.Window().ChangeLanguage(QStringLiteral("de-de"));
    EXPECT_EQ(Editor().PropertyTabs()->tabText(0), QStringLiteral("Information"));
    auto* author = Editor().OpenPage()->findChild<QLabel*>(QStringLiteral("lblAuthor"));
    ASSERT_NE(author, nullptr);
    EXPECT_EQ(author->text(), QStringLiteral("Autor:"));
    EXPECT_EQ(Editor().OpenPage()->findChild<QLabel*>(QStringLiteral("lblCompanyValue"))->text(),
              QStringLiteral("k. A."));
    EXPECT_EQ(Editor().ListAction(QStringLiteral("ALI_AddItem"))->text(),
              QStringLiteral("Neu hinzufügen"));
    FocusList();
    Trigger("ALI_DeleteItem");
    EXPECT_EQ(Editor().PickLabel()->text(),
              QStringLiteral("Eine Filter-/Modul-Kombination hinzufügen und hier einrichten"));
    // A page opened in German shows its texts in German from the start.
    Add(QStringLiteral("*.*"), KKindsID);
    EXPECT_EQ(Editor().OpenPage()->findChild<QLabel*>(QStringLiteral("lblAuthor"))->text(),
              QStringLiteral("Autor:"));
    FEnv.Window().ChangeLanguage(QStringLiteral("en-us"));
    EXPECT_EQ(Editor().OpenPage()->findChild<QLabel*>(QStringLiteral("lblAuthor"))->text(),
              QStringLiteral("Author:"));
}

}  // namespace

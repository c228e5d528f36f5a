#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>

#include <optional>

#include "app/module_shared.h"
#include "base/stream_fields.h"
#include "plugin_host/plugin_contract.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "project/combination_list.h"
#include "tests/support/qstring_print.h"
#include "tests/ui/ui_test_env.h"
#include "ui/modules_editor/frame_program_setup_plugins.h"
#include "ui/property_pages/frame_classes.h"
#include "ui/property_pages/frame_plugins_setup_option_file.h"
#include "ui/property_pages/frame_plugins_setup_option_grid.h"
#include "ui/text_tools/file_document_editor.h"
#include "ui/text_tools/syntax_highlighters.h"

namespace {

struct TDeclaredColumn {
    const char* Id;
    const char* Caption;
    const char* Width;
    std::int32_t Flags;
};
struct TDeclaredCell {
    std::int32_t Col;
    std::int32_t Row;
    QString Value;
};

// Grid declaration data as the pre-edit callbacks append it.
QByteArray GridDeclaration(const std::vector<TDeclaredColumn>& AColumns,
                           const std::vector<TDeclaredCell>& ADefaults) {
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(AColumns.size()));
    for (const TDeclaredColumn& column : AColumns) {
        writer.WriteAnsiString(QString::fromLatin1(column.Id));
        writer.WriteUtf8String(QString::fromLatin1(column.Caption));
        writer.WriteAnsiString(QString::fromLatin1(column.Width));
        writer.WriteInt32(column.Flags);
    }
    writer.WriteInt32(static_cast<std::int32_t>(ADefaults.size()));
    for (const TDeclaredCell& cell : ADefaults) {
        writer.WriteInt32(cell.Col);
        writer.WriteInt32(cell.Row);
        writer.WriteUtf8String(cell.Value);
    }
    return writer.TakeData();
}

QByteArray StoredGridStream(const QStringList& AIds, const std::vector<TDeclaredCell>& ACells) {
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(AIds.size()));
    for (const QString& id : AIds)
        writer.WriteAnsiString(id);
    writer.WriteInt32(static_cast<std::int32_t>(ACells.size()));
    for (const TDeclaredCell& cell : ACells) {
        writer.WriteInt32(cell.Col);
        writer.WriteInt32(cell.Row);
        writer.WriteUtf8String(cell.Value);
    }
    return writer.TakeData();
}

QByteArray FileStream(const QString& ADocument, std::optional<std::int32_t> AFlags = {}) {
    TStreamWriter writer;
    writer.WriteUtf8String(ADocument);
    if (AFlags)
        writer.WriteInt32(*AFlags);
    return writer.TakeData();
}

TEST(GridValueListDefault, TheFirstCharacterSeparatesValueAndItems) {
    const struct {
        const char* Declared;
        const char* Cell;
        QStringList Items;
    } cases[] = {
        {";b;a;b;c", "b", {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        {",x,y", "x", {QStringLiteral("y")}},
        // No second separator: the rest is the list and the cell keeps the full text.
        {"|a", "|a", {QStringLiteral("a")}},
        {"", "", {}},
    };
    for (const auto& c : cases) {
        const TGridValueListDefault parsed =
            ParseGridValueListDefault(QString::fromLatin1(c.Declared));
        EXPECT_EQ(parsed.CellValue, QString::fromLatin1(c.Cell)) << c.Declared;
        EXPECT_EQ(parsed.Items, c.Items) << c.Declared;
    }
}

class GridPageTest : public ::testing::Test {
protected:
    GridPageTest() {
        FServices.Prompts = &FPrompts;
        FServices.OfferedPatterns = [] {
            return QStringList{QStringLiteral("*.*"), QStringLiteral("*.htm")};
        };
        FServices.ChooseOpenFile = [this](const TProjectDialogSetup& ASetup) {
            FAskedFilters << ASetup.Filter + QLatin1Char('/') + ASetup.DefaultExtension;
            return FNextOpen;
        };
        FServices.ChooseSaveFile = [this](const TProjectDialogSetup& ASetup) {
            FAskedFilters << ASetup.Filter + QLatin1Char('/') + ASetup.DefaultExtension;
            return FNextSave;
        };
        FServices.OnEdited = [this] { ++FEdits; };
    }

    // A page of the declaration, without plugin, opened as the editor opens it.
    std::unique_ptr<TFramePluginsSetupOptionGrid> Open(const QByteArray& ADeclaration,
                                                       const QByteArray& AStored = {}) {
        auto page = std::make_unique<TFramePluginsSetupOptionGrid>(FServices);
        page->resize(500, 300);
        OpenPluginFrame(*page, ADeclaration, QStringLiteral("Rules"), nullptr, AStored);
        return page;
    }

    QByteArray Declaration() const {
        return GridDeclaration(
            {{"Name", "Name", "", 0},
             {"Kind", "Kind", "60", KColFlagValueList},
             {"On", "On", "60", KColFlagTrueFalse},
             {"Pattern", "Pattern", "60", KColFlagFilterPatterns},
             {"Text", "Text", "30%", KColFlagMultiLine}},
            {{1, 0, QStringLiteral(";b;a;b;c")}, {0, 1, QStringLiteral("second")}});
    }

    TScriptedPrompts FPrompts;
    TFrameServices FServices;
    std::optional<QString> FNextOpen;
    std::optional<QString> FNextSave;
    QStringList FAskedFilters;
    int FEdits = 0;
};

TEST_F(GridPageTest, DeclarationGivesColumnsListsAndDefaults) {
    const auto page = Open(Declaration());
    TqvStringGrid& grid = *page->Grid();
    ASSERT_EQ(grid.columnCount(), 5);
    EXPECT_EQ(grid.Column(0).WidthRule, QStringLiteral("100%")) << "an empty width is 100%";
    EXPECT_EQ(grid.Column(1).ValueList,
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(grid.Column(2).ValueList,
              (QStringList{QStringLiteral("True"), QStringLiteral("False")}));
    EXPECT_EQ(grid.Column(3).ValueList,
              (QStringList{QStringLiteral("*.*"), QStringLiteral("*.htm")}));
    EXPECT_EQ(grid.Rows(),
              (QList<QStringList>{
                  {QString(), QStringLiteral("b"), QString(), QString(), QString()},
                  {QStringLiteral("second"), QString(), QString(), QString(), QString()}}));
    EXPECT_EQ(FEdits, 0) << "opening is no edit";
    EXPECT_FALSE(page->Modified());
}

TEST_F(GridPageTest, StoredValuesLoadIntoTheirColumnsUnderTheFlagRules) {
    // The stored columns in another order, one the page lacks; a value the list does not
    // offer; line breaks in a single-line and in the multi-line column.
    const QByteArray stored = StoredGridStream({QStringLiteral("Text"), QStringLiteral("Gone"),
                                                QStringLiteral("Kind"), QStringLiteral("Name")},
                                               {{0, 0, QStringLiteral("l1\r\nl2")},
                                                {1, 0, QStringLiteral("dropped")},
                                                {2, 0, QStringLiteral("zzz")},
                                                {3, 0, QStringLiteral("n\r\n1")},
                                                {2, 2, QStringLiteral("c")},
                                                {7, 0, QStringLiteral("no column")}});
    const auto page = Open(Declaration(), stored);
    const QList<QStringList> expected = {
        {QStringLiteral("n1"), QStringLiteral("a"), QString(), QString(),
         QStringLiteral("l1\r\nl2")},
        {QString(), QString(), QString(), QString(), QString()},
        {QString(), QStringLiteral("c"), QString(), QString(), QString()}};
    EXPECT_EQ(page->Grid()->Rows(), expected);

    // Saved and opened again: the same table.
    QByteArray saved;
    page->SavePerstStreamData_Memory(saved);
    const auto again = Open(Declaration(), saved);
    EXPECT_EQ(again->Grid()->Rows(), expected);
    TStreamReader reader(saved);
    EXPECT_EQ(reader.ReadInt32(), 5);
    for (const char* id : {"Name", "Kind", "On", "Pattern", "Text"})
        EXPECT_EQ(reader.ReadAnsiString(), QString::fromLatin1(id));
    EXPECT_EQ(reader.ReadInt32(), 15) << "rows times columns";
}

TEST_F(GridPageTest, ADamagedStoredStreamLeavesTheDefaults) {
    QByteArray stored = StoredGridStream({QStringLiteral("Name")}, {{0, 0, QStringLiteral("x")}});
    stored.chop(2);
    auto page = std::make_unique<TFramePluginsSetupOptionGrid>(FServices);
    page->DoInitData(Declaration(), QStringLiteral("Rules"), nullptr);
    EXPECT_ANY_THROW(page->LoadPerstStreamData_Memory(stored));
    EXPECT_EQ(page->Grid()->Cell(0, 1), QStringLiteral("second"));
    // A row index no table can hold is refused, not allocated.
    const QByteArray huge =
        StoredGridStream({QStringLiteral("Name")}, {{0, 2'000'000'000, QStringLiteral("x")}});
    EXPECT_ANY_THROW(page->LoadPerstStreamData_Memory(huge));
    EXPECT_EQ(page->Grid()->DataRowCount(), 2);
}

TEST_F(GridPageTest, ImportExportAndPrintUseTheirDialogsAndReportFailures) {
    const TTempFolder temp;
    const auto page = Open(Declaration());
    page->Grid()->SetCell(0, 0, QStringLiteral("a & b"));
    ASSERT_TRUE(page->CanExport());
    FNextSave = temp.Path(QStringLiteral("rules.csv"));
    ASSERT_TRUE(page->DoExport());
    EXPECT_EQ(ReadWholeFile(*FNextSave), QByteArray("a & b,b,,,\r\nsecond,,,,"));
    FNextSave = temp.Path(QStringLiteral("rules.html"));
    ASSERT_TRUE(page->DoExport());
    EXPECT_TRUE(ReadWholeFile(*FNextSave).contains("<th align=\"center\">Kind</th>"));
    EXPECT_EQ(FAskedFilters[0],
              QStringLiteral("XML file (*.xml)|*.xml|CSV file (*.csv;*.txt)|*.csv;*.txt|"
                             "HTML file (*.htm;*.html)|*.htm;*.html/xml"));

    // Imported: a value the list does not offer becomes its first item.
    FNextOpen = temp.WriteFile(QStringLiteral("in.txt"), "Name;Kind\r\nx;c\r\ny;zzz\r\n");
    FEdits = 0;
    ASSERT_TRUE(page->DoImport());
    EXPECT_EQ(FAskedFilters.last(),
              QStringLiteral("XML file (*.xml)|*.xml|CSV file (*.csv;*.txt)|*.csv;*.txt/xml"));
    EXPECT_EQ(page->Grid()->Rows(),
              (QList<QStringList>{
                  {QStringLiteral("x"), QStringLiteral("c"), QString(), QString(), QString()},
                  {QStringLiteral("y"), QStringLiteral("a"), QString(), QString(), QString()}}));
    EXPECT_GT(FEdits, 0);
    EXPECT_TRUE(page->Modified());

    // Failures are told and change nothing.
    FNextOpen = temp.Path(QStringLiteral("missing.xml"));
    EXPECT_FALSE(page->DoImport());
    FNextSave = temp.Path(QStringLiteral("no/folder/out.xml"));
    EXPECT_FALSE(page->DoExport());
    ASSERT_EQ(FPrompts.Shown.size(), 2);
    EXPECT_TRUE(FPrompts.Shown[0].contains(QStringLiteral("missing.xml")));
    EXPECT_TRUE(FPrompts.Shown[1].contains(QStringLiteral("out.xml")));
    EXPECT_EQ(page->Grid()->Cell(0, 1), QStringLiteral("y"));
    // Cancelled dialogs do nothing.
    FNextOpen.reset();
    EXPECT_FALSE(page->DoImport());
    EXPECT_TRUE(page->Can_Frame_Print());
}

TEST_F(GridPageTest, RowActionsAreThePagesWhileTheGridAllowsThem) {
    const auto page = Open(Declaration());
    TqvStringGrid& grid = *page->Grid();
    grid.SelectCell(0, 1);
    EXPECT_TRUE(page->Can_RowAction(TFrameRowAction::MoveUp));
    EXPECT_FALSE(page->Can_RowAction(TFrameRowAction::MoveDown));
    ASSERT_TRUE(page->RowAction(TFrameRowAction::MoveUp));
    EXPECT_EQ(grid.Cell(0, 0), QStringLiteral("second"));
    ASSERT_TRUE(page->RowAction(TFrameRowAction::Add));
    EXPECT_EQ(grid.DataRowCount(), 3);
    ASSERT_TRUE(page->RowAction(TFrameRowAction::Delete));
    EXPECT_EQ(grid.DataRowCount(), 2);
    EXPECT_TRUE(page->Modified());
    grid.SetReadOnly(true);
    for (const TFrameRowAction action :
         {TFrameRowAction::Add, TFrameRowAction::Insert, TFrameRowAction::Delete,
          TFrameRowAction::MoveUp, TFrameRowAction::MoveDown})
        EXPECT_FALSE(page->RowAction(action));
}

// Pages opened in the main window's combination editor, on the shipped plugins.
class PropertyPagesInWindowTest : public ::testing::Test {
protected:
    TFrameProgramSetupPlugins& Modules() { return FEnv.Window().ModulesFrame(); }

    // Adds a combination and opens the tab of the named property.
    template <typename TPage>
    TPage* OpenProperty(const char* AStrID, const QString& APropName) {
        EXPECT_TRUE(FEnv.AddCombination(QStringLiteral("*.*"), QString::fromLatin1(AStrID)));
        Modules().ShowCombinations();
        const int index = FEnv.Window().Project().Combinations().Count() - 1;
        if (!Modules().SelectEntry(index))
            return nullptr;
        TPluginStoredLibInfo* plugin = Modules().SessionPlugin();
        if (plugin == nullptr)
            return nullptr;
        const int prop = plugin->GetPropNameIndex(APropName, false, QString());
        if (prop < 0 || !Modules().SelectTab(prop + 1))
            return nullptr;
        return dynamic_cast<TPage*>(Modules().OpenPage());
    }

    TUiTestEnvironment FEnv;
};

TEST_F(PropertyPagesInWindowTest, AFailedGridCheckAfterAnIgnoredRowSelectsTheRightRow) {
    auto* page = OpenProperty<TFramePluginsSetupOptionGrid>("zq_kestrin_RunOther",
                                                            QStringLiteral("RunOtherList"));
    ASSERT_NE(page, nullptr);
    // The help panel names the row-ignore rule of the grid.
    EXPECT_TRUE(Modules().HelpPanel()->toPlainText().contains(
        QStringLiteral("Conditions for a row to be ignored:\nAll cells in row are empty when "
                       "trimmed for whitespaces (both ends of string in each cell).")))
        << Modules().HelpPanel()->toPlainText().toStdString();
    const QString program = QCoreApplication::applicationFilePath();
    // Row 1 holds only blanks: ignored (its level trims), yet counted as a table row.
    page->Grid()->SetRows({{program, QString(), QStringLiteral("True")},
                           {QStringLiteral("  "), QStringLiteral(" "), QString()},
                           {QStringLiteral("/no/such/program"), QString(), QString()}});
    page->Grid()->SelectCell(1, 0);
    EXPECT_FALSE(page->QueryCloseFrame());
    EXPECT_EQ(page->Grid()->currentRow(), 2);
    EXPECT_EQ(page->Grid()->currentColumn(), 0);
    ASSERT_FALSE(FEnv.Prompts().Shown.isEmpty());
    EXPECT_EQ(FEnv.Prompts().Shown.last(),
              QStringLiteral("The application to run does not exist.\r\nChoose a correct path "
                             "for a file (application) to run."));
    // Leaving the page is refused while it fails.
    EXPECT_FALSE(Modules().SelectTab(0));
    page->Grid()->SetCell(0, 2, program);
    EXPECT_TRUE(page->QueryCloseFrame());
    EXPECT_TRUE(Modules().SelectTab(0));
}

TEST_F(PropertyPagesInWindowTest, ValuesEditedInTheGridAndFilePagesReachThePluginInABatch) {
    FEnv.WriteInput(QStringLiteral("a.txt"), "x\ty");
    auto* grid = OpenProperty<TFramePluginsSetupOptionGrid>("zq_kestrin_TextReplacer",
                                                            QStringLiteral("Simple"));
    ASSERT_NE(grid, nullptr);
    // "\t" only matches the tab when the advanced setup switches escape sequences on.
    grid->Grid()->SetRows({{QStringLiteral("True"), QStringLiteral("\\t"), QStringLiteral("TAB")}});
    TPluginStoredLibInfo* plugin = Modules().SessionPlugin();
    const int fileProp = plugin->GetPropNameIndex(QStringLiteral("General"), false, QString());
    ASSERT_GE(fileProp, 0);
    ASSERT_TRUE(Modules().SelectTab(fileProp + 1));
    auto* file = dynamic_cast<TFramePluginsSetupOptionFile*>(Modules().OpenPage());
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Editor()->IsIniDocument());
    ASSERT_NE(dynamic_cast<TqvIniHighlighter*>(file->Editor()->Highlighter()), nullptr);
    QString text = file->Editor()->DocumentText();
    ASSERT_TRUE(text.contains(QStringLiteral("EnableSimpleMatch=0")));
    file->Editor()->SetDocumentText(
        text.replace(QStringLiteral("EnableSimpleMatch=0"), QStringLiteral("EnableSimpleMatch=1")));

    FEnv.Window().findChild<QAction*>(QStringLiteral("ALI_Project_StartBatch"))->trigger();
    const QString work = FEnv.Module().Folders().TempWorkFolder;
    EXPECT_EQ(ReadWholeFile(work + QStringLiteral("a.txt")), QByteArray("xTABy"));
}

TEST_F(PropertyPagesInWindowTest, FilePageImportsExportsAndMergesItsIniText) {
    TPluginStoredLibInfo* plugin =
        FEnv.Host().FindByStrID(QStringLiteral("zq_kestrin_TextReplacer"));
    ASSERT_NE(plugin, nullptr);
    const int index = plugin->GetPropNameIndex(QStringLiteral("General"), false, QString());
    ASSERT_GE(index, 0);
    const TPluginProperty& property = *plugin->FProperties[static_cast<std::size_t>(index)];
    const TTempFolder temp;
    TScriptedPrompts prompts;
    std::optional<QString> nextOpen;
    std::optional<QString> nextSave;
    QStringList filters;
    TFrameServices services;
    services.Prompts = &prompts;
    services.ChooseOpenFile = [&](const TProjectDialogSetup& ASetup) {
        filters << ASetup.Filter + QLatin1Char('/') + ASetup.DefaultExtension;
        return nextOpen;
    };
    services.ChooseSaveFile = [&](const TProjectDialogSetup& ASetup) {
        filters << ASetup.Filter + QLatin1Char('/') + ASetup.DefaultExtension;
        return nextSave;
    };

    // The merge: the stored text lacks one key of the default and has one of its own.
    const QString stored = QStringLiteral(
        "[EscapeSequenceSupport]\r\nEnableSimpleMatch=1\r\n"
        "Unknown=5\r\n[Other]\r\nX=1");
    TFramePluginsSetupOptionFile page(services);
    OpenPluginFrame(page, property.FInitStreamData, property.FPropName, plugin, FileStream(stored));
    const QString shown = page.Editor()->DocumentText();
    EXPECT_TRUE(shown.contains(QStringLiteral("EnableSimpleMatch=1\r\n")));
    EXPECT_TRUE(shown.contains(QStringLiteral("EnableSimpleReplace=0"))) << "the default's value";
    EXPECT_FALSE(shown.contains(QStringLiteral("Unknown")));
    EXPECT_FALSE(shown.contains(QStringLiteral("[Other]")));
    EXPECT_TRUE(shown.startsWith(QStringLiteral("; Advanced options of the text replacer.")));
    EXPECT_FALSE(page.Modified());

    // Import of a UTF-16 file with its mark; the INI filter is offered.
    const QString imported = QStringLiteral("[EscapeSequenceSupport]\r\nEnableSimpleMatch=ä€");
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(imported.utf16()), imported.size() * 2);
    nextOpen = temp.WriteFile(QStringLiteral("in.ini"), utf16);
    ASSERT_TRUE(page.DoImport());
    EXPECT_EQ(page.Editor()->DocumentText(), imported);
    EXPECT_EQ(filters.last(), QStringLiteral("Text file (*.txt)|*.txt|Ini file (*.ini)|*.ini/txt"));
    EXPECT_TRUE(page.Modified());

    // Export: UTF-16 little-endian without mark.
    nextSave = temp.Path(QStringLiteral("out.txt"));
    ASSERT_TRUE(page.DoExport());
    EXPECT_EQ(ReadWholeFile(*nextSave),
              QByteArray(reinterpret_cast<const char*>(imported.utf16()), imported.size() * 2));

    // Saved, the document is the stored stream.
    QByteArray saved;
    page.SavePerstStreamData_Memory(saved);
    EXPECT_EQ(saved, FileStream(imported));

    // A file that cannot be read is told and the text stays.
    nextOpen = temp.Path(QStringLiteral("missing.txt"));
    EXPECT_FALSE(page.DoImport());
    ASSERT_EQ(prompts.Shown.size(), 1);
    EXPECT_EQ(page.Editor()->DocumentText(), imported);
}

TEST_F(PropertyPagesInWindowTest, GridServicesFollowThePropertyAndTheCurrentCell) {
    TPluginStoredLibInfo* plugin =
        FEnv.Host().FindByStrID(QStringLiteral("zq_kestrin_TextReplacer"));
    ASSERT_NE(plugin, nullptr);
    const TPluginProperty* property = plugin->GetPropertyByName(QStringLiteral("Simple"));
    ASSERT_NE(property, nullptr);
    std::optional<TStrEditorRequest> asked;
    TFrameServices services;
    services.EditText = [&asked](const TStrEditorRequest& ARequest) -> std::optional<QString> {
        asked = ARequest;
        return QStringLiteral("one\r\ntwo");
    };
    services.ChooseOpenFile = [](const TProjectDialogSetup&) -> std::optional<QString> {
        return QStringLiteral("/x");
    };
    TFramePluginsSetupOptionGrid page(services);
    OpenPluginFrame(page, property->FInitStreamData, property->FPropName, plugin, {});
    // The text editor is offered (bit 2), the file path is not (bit 1 missing).
    page.Grid()->setCurrentItem(nullptr);
    EXPECT_FALSE(page.Can_ServiceRequest_OpenTextEditor()) << "no current cell";
    page.Grid()->SelectCell(1, 0);
    ASSERT_TRUE(page.Can_ServiceRequest_OpenTextEditor());
    EXPECT_FALSE(page.Can_ServiceRequest_InsertFilePath());
    EXPECT_FALSE(page.ServiceRequest_InsertFilePath());
    page.Grid()->SetCell(1, 0, QStringLiteral("before"));
    ASSERT_TRUE(page.ServiceRequest_OpenTextEditor());
    ASSERT_TRUE(asked.has_value());
    EXPECT_EQ(asked->Caption, QStringLiteral("Edit Cell"));
    EXPECT_EQ(asked->Text, QStringLiteral("before"));
    EXPECT_EQ(page.Grid()->Cell(1, 0), QStringLiteral("one\r\ntwo")) << "a multi-line column";
    EXPECT_TRUE(page.Modified());
    // The True/False column is a drop-down; its column reads the declared width.
    EXPECT_EQ(page.Grid()->Column(0).ValueList,
              (QStringList{QStringLiteral("True"), QStringLiteral("False")}));
    EXPECT_EQ(page.Grid()->Column(0).WidthRule, QStringLiteral("80+"));
}

TEST(FilePage, InsertFilePathGoesToTheCaretAndMarkupIsHighlighted) {
    TFrameServices services;
    std::optional<QString> next = QStringLiteral("/p/f.txt");
    services.ChooseOpenFile = [&](const TProjectDialogSetup&) { return next; };
    TFramePluginsSetupOptionFile page(services);
    OpenPluginFrame(page, FileStream(QStringLiteral("<a>\r\nxy"), KFileFlagMarkup),
                    QStringLiteral("Doc"), nullptr, {});
    EXPECT_NE(dynamic_cast<TqvMarkupHighlighter*>(page.Editor()->Highlighter()), nullptr);
    EXPECT_EQ(page.FileFilter(), QStringLiteral("Text file (*.txt)|*.txt"));
    // Position 6 of "<a>\r\nxy" is after "x".
    page.Editor()->SetCaretPosition(6);
    EXPECT_EQ(page.Editor()->textCursor().position(), 5);
    // The service is offered only where the property asks for it; the editor inserts at the
    // caret either way.
    EXPECT_FALSE(page.ServiceRequest_InsertFilePath()) << "no property, no service";
    page.Editor()->InsertAtCaret(*next);
    EXPECT_EQ(page.Editor()->DocumentText(), QStringLiteral("<a>\r\nx/p/f.txty"));
    // A stored document without the INI flag is shown as stored, not merged.
    page.LoadPerstStreamData_Memory(FileStream(QStringLiteral("other")));
    EXPECT_EQ(page.Editor()->DocumentText(), QStringLiteral("other"));
}

}  // namespace

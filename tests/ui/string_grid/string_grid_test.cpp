#include "ui/string_grid/string_grid.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

#include "plugin_host/plugin_contract.h"
#include "tests/support/qstring_print.h"
#include "tests/support/temp_folders.h"

namespace {

const TqvGridGenerator KGenerator{QStringLiteral("Kestrin"),
                                  QStringLiteral("https://www.kestrin.example/")};

TqvStringGridColumn Col(const char* AId, std::int32_t AFlags, const char* AWidth = "60",
                        QStringList AList = {}) {
    return {QString::fromLatin1(AId), QString::fromLatin1(AId), QString::fromLatin1(AWidth), AFlags,
            std::move(AList)};
}

class StringGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        FGrid.resize(400, 200);
        FGrid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&FGrid));
    }

    // Opens the cell's editor and returns it.
    QWidget* OpenEditor(int ACol, int ARow) {
        FGrid.SelectCell(ACol, ARow);
        FGrid.edit(FGrid.model()->index(ARow, ACol));
        return QApplication::focusWidget();
    }

    TqvStringGrid FGrid;
};

TEST_F(StringGridTest, AlignmentFlagsAlignTheValuesAndTheHeaderIsCentred) {
    const struct {
        std::int32_t Flags;
        Qt::Alignment Horizontal;
    } cases[] = {{0, Qt::AlignLeft},
                 {KColFlagAlignLeft, Qt::AlignLeft},
                 {KColFlagAlignRight, Qt::AlignRight},
                 {KColFlagAlignCenter, Qt::AlignHCenter},
                 {256 | KColFlagAlignRight, Qt::AlignRight}};
    QList<TqvStringGridColumn> columns;
    for (const auto& c : cases)
        columns << Col("c", c.Flags);
    FGrid.SetColumns(columns);
    FGrid.SetCell(0, 2, QStringLiteral("grown"));
    for (int col = 0; col < static_cast<int>(std::size(cases)); ++col)
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(
                Qt::Alignment(FGrid.item(row, col)->textAlignment()) & Qt::AlignHorizontal_Mask,
                cases[col].Horizontal)
                << col;
    EXPECT_EQ(FGrid.horizontalHeader()->defaultAlignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
    EXPECT_EQ(FGrid.rowHeight(0), 18);
    EXPECT_FALSE(FGrid.verticalHeader()->isVisible());
    EXPECT_EQ(FGrid.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(StringGridTest, ReadOnlyColumnsAndTheReadOnlyGridRefuseEdits) {
    FGrid.SetColumns({Col("open", 0), Col("fixed", KColFlagReadOnly)});
    EXPECT_TRUE(FGrid.item(0, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(FGrid.item(0, 1)->flags() & Qt::ItemIsEditable);
    FGrid.SelectCell(1, 0);
    EXPECT_FALSE(FGrid.AppendToCurrentCell(QStringLiteral("/x")));
    FGrid.SelectCell(0, 0);
    EXPECT_TRUE(FGrid.AppendToCurrentCell(QStringLiteral("/x")));
    EXPECT_EQ(FGrid.Cell(0, 0), QStringLiteral("/x"));

    FGrid.SetReadOnly(true);
    EXPECT_FALSE(FGrid.item(0, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(FGrid.AppendToCurrentCell(QStringLiteral("/y")));
    EXPECT_FALSE(FGrid.CanAddRow());
    EXPECT_FALSE(FGrid.CanInsertRow());
    FGrid.SetReadOnly(false);
    EXPECT_TRUE(FGrid.item(0, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(FGrid.item(0, 1)->flags() & Qt::ItemIsEditable);
}

TEST_F(StringGridTest, LineBreaksStayOnlyInMultiLineColumns) {
    FGrid.SetColumns({Col("single", 0), Col("multi", KColFlagMultiLine)});
    const QString value = QStringLiteral("a\r\nb\rc\nd");
    FGrid.SetRows({{value, value}});
    EXPECT_EQ(FGrid.Cell(0, 0), QStringLiteral("abcd"));
    EXPECT_EQ(FGrid.Cell(1, 0), value);

    // The multi-line column edits in a multi-line editor; its line breaks become CR LF.
    auto* lines = qobject_cast<QPlainTextEdit*>(OpenEditor(1, 0));
    ASSERT_NE(lines, nullptr);
    lines->setPlainText(QStringLiteral("x\ny"));
    FGrid.CommitOpenEditor();
    EXPECT_EQ(FGrid.Cell(1, 0), QStringLiteral("x\r\ny"));
    // A single-line editor given a pasted line break does not keep it.
    auto* edit = qobject_cast<QLineEdit*>(OpenEditor(0, 0));
    ASSERT_NE(edit, nullptr);
    edit->setText(QStringLiteral("p\nq"));
    FGrid.CommitOpenEditor();
    EXPECT_EQ(FGrid.Cell(0, 0), QStringLiteral("pq"));
}

TEST_F(StringGridTest, ValueListColumnsEditWithADropDownOfTheirItems) {
    FGrid.SetColumns(
        {Col("list", KColFlagValueList, "60",
             {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}),
         Col("bool", KColFlagTrueFalse, "60", {QStringLiteral("True"), QStringLiteral("False")})});
    FGrid.SetRows({{QStringLiteral("b"), QStringLiteral("False")}});
    auto* combo = qobject_cast<QComboBox*>(OpenEditor(0, 0));
    ASSERT_NE(combo, nullptr);
    EXPECT_FALSE(combo->isEditable());
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->currentText(), QStringLiteral("b"));
    combo->setCurrentIndex(2);
    FGrid.CommitOpenEditor();
    EXPECT_EQ(FGrid.Cell(0, 0), QStringLiteral("c"));

    combo = qobject_cast<QComboBox*>(OpenEditor(1, 0));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentText(), QStringLiteral("False"));
    FGrid.CommitOpenEditor();
}

TEST_F(StringGridTest, CellButtonsChooseFoldersAndFiles) {
    FGrid.SetColumns({Col("folder", KColFlagFolderButton), Col("file", KColFlagFileButton),
                      Col("both", KColFlagFolderOrFile), Col("plain", 0)});
    QStringList asked;
    QString nextFolder = QStringLiteral("/data/out/");
    FGrid.SetChoosers({[&](const QString& AStart, bool AWithFiles) {
                           asked << AStart + (AWithFiles ? QStringLiteral("|files")
                                                         : QStringLiteral("|folders"));
                           return nextFolder;
                       },
                       [] { return QStringLiteral("/in/a.txt"); }});
    FGrid.SetRows({{QStringLiteral("old"), QStringLiteral("list;"), QStringLiteral("x"),
                    QStringLiteral("p")}});
    FGrid.RunCellButton(0, 0);
    FGrid.RunCellButton(1, 0);
    FGrid.RunCellButton(2, 0);
    FGrid.RunCellButton(3, 0);
    EXPECT_EQ(FGrid.Rows(),
              (QList<QStringList>{{QStringLiteral("/data/out/"), QStringLiteral("list;/in/a.txt"),
                                   QStringLiteral("/data/out/"), QStringLiteral("p")}}));
    EXPECT_EQ(asked, (QStringList{QStringLiteral("old|folders"), QStringLiteral("x|files")}));
    EXPECT_FALSE(FGrid.HasCellButton(3));

    // Cancelled: the cell keeps its text.
    nextFolder.clear();
    FGrid.RunCellButton(0, 0);
    EXPECT_EQ(FGrid.Cell(0, 0), QStringLiteral("/data/out/"));

    // In the cell editor the button puts its result into the edited text.
    nextFolder = QStringLiteral("/typed/");
    QWidget* editor = OpenEditor(0, 0);
    ASSERT_NE(editor, nullptr);
    auto* button = editor->parentWidget()->findChild<QToolButton*>(QStringLiteral("btnCellButton"));
    ASSERT_NE(button, nullptr);
    button->click();
    FGrid.CommitOpenEditor();
    EXPECT_EQ(FGrid.Cell(0, 0), QStringLiteral("/typed/"));
}

QImage CellImage(TqvStringGrid& AGrid, int ACol, int ARow) {
    AGrid.clearSelection();
    AGrid.setCurrentItem(nullptr);
    const QRect rect = AGrid.visualItemRect(AGrid.item(ARow, ACol));
    return AGrid.viewport()->grab(rect).toImage();
}

TEST_F(StringGridTest, PasswordCellsAreMaskedInTheRenderedGrid) {
    // The same secret in a password column and a plain one, and the mask written out plainly.
    FGrid.SetColumns(
        {Col("password", KColFlagPassword, "120"), Col("plain", 0, "120"), Col("stars", 0, "120")});
    FGrid.SetRows({{QStringLiteral("secret"), QStringLiteral("secret"), QStringLiteral("******")}});
    QApplication::processEvents();
    EXPECT_EQ(FGrid.Cell(0, 0), QStringLiteral("secret"));
    EXPECT_EQ(FGrid.ShownText(0, 0), QStringLiteral("******"));
    const QImage masked = CellImage(FGrid, 0, 0);
    const QImage plain = CellImage(FGrid, 1, 0);
    const QImage stars = CellImage(FGrid, 2, 0);
    ASSERT_FALSE(masked.isNull());
    EXPECT_EQ(masked, stars) << "the password cell shows its mask";
    EXPECT_NE(masked, plain) << "the secret itself is not drawn";

    // Its editor hides what is typed.
    auto* edit = qobject_cast<QLineEdit*>(OpenEditor(0, 0));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    FGrid.CommitOpenEditor();
}

TEST_F(StringGridTest, ColumnWidthsFollowTheirRulesOnResize) {
    FGrid.SetColumns(
        {Col("px", 0, "50"), Col("atleast", 0, "20+"), Col("one", 0, "1%"), Col("three", 0, "3%")});
    FGrid.SetRows({{QString(), QStringLiteral("a rather long text in the cell")}});
    for (const int width : {400, 640}) {
        FGrid.resize(width, 200);
        QApplication::processEvents();
        const int wide = FGrid.columnWidth(1);
        EXPECT_GT(wide, 20);
        const int rest = FGrid.viewport()->width() - 50 - wide;
        EXPECT_EQ(FGrid.columnWidth(0), 50);
        EXPECT_EQ(FGrid.columnWidth(2), qRound(rest / 4.0)) << width;
        EXPECT_EQ(FGrid.columnWidth(2) + FGrid.columnWidth(3), rest) << width;
    }
}

TEST_F(StringGridTest, RowActionsWorkOnTheCurrentRowWhereAllowed) {
    int changes = 0;
    FGrid.SetOnChanged([&changes] { ++changes; });
    FGrid.SetColumns({Col("a", 0), Col("b", 0)});
    FGrid.SetRows(
        {{QStringLiteral("1"), QStringLiteral("x")}, {QStringLiteral("2"), QStringLiteral("y")}});
    EXPECT_EQ(changes, 0) << "loading is no change";
    auto first = [this] {
        QStringList column;
        for (int r = 0; r < FGrid.DataRowCount(); ++r)
            column << FGrid.Cell(0, r);
        return column.join(QLatin1Char(','));
    };
    FGrid.SelectCell(1, 0);
    EXPECT_FALSE(FGrid.CanMoveRowUp());
    EXPECT_TRUE(FGrid.CanMoveRowDown());
    FGrid.AddRow();
    EXPECT_EQ(first(), QStringLiteral("1,,2"));
    EXPECT_EQ(FGrid.currentRow(), 1);
    EXPECT_EQ(FGrid.currentColumn(), 1);
    FGrid.InsertRow();
    EXPECT_EQ(first(), QStringLiteral("1,,,2"));
    FGrid.SelectCell(0, 3);
    EXPECT_FALSE(FGrid.CanMoveRowDown());
    FGrid.MoveRowUp();
    EXPECT_EQ(first(), QStringLiteral("1,,2,"));
    EXPECT_EQ(FGrid.Cell(1, 2), QStringLiteral("y")) << "the whole row moves";
    EXPECT_EQ(FGrid.currentRow(), 2);
    FGrid.SelectCell(0, 0);
    FGrid.MoveRowDown();
    EXPECT_EQ(first(), QStringLiteral(",1,2,"));
    FGrid.DeleteRow();
    EXPECT_EQ(first(), QStringLiteral(",2,"));
    EXPECT_EQ(changes, 5);

    // The last data row stays.
    FGrid.SetRows({{QStringLiteral("only"), QString()}});
    FGrid.SelectCell(0, 0);
    EXPECT_FALSE(FGrid.CanDeleteRow());
    FGrid.DeleteRow();
    EXPECT_EQ(FGrid.DataRowCount(), 1);
    EXPECT_FALSE(FGrid.CanMoveRowUp());
    EXPECT_FALSE(FGrid.CanMoveRowDown());
    FGrid.setCurrentItem(nullptr);
    EXPECT_FALSE(FGrid.CanDeleteRow());
}

TEST_F(StringGridTest, ImportAndExportGoThroughTheFormatsAndKeepTheLineBreakRule) {
    const TTempFolder temp;
    FGrid.SetColumns({Col("Name", 0), Col("Text", KColFlagMultiLine)});
    FGrid.SetRows({{QStringLiteral("a & b"), QStringLiteral("one\r\ntwo")}});
    const QString xml = temp.Path(QStringLiteral("grid.xml"));
    FGrid.ExportToFile(xml, KGenerator);
    EXPECT_TRUE(ReadWholeFile(xml).startsWith("<?xml version=\"1.0\" ?>\r\n<grid>"));

    // Into a grid whose first column is single-line, the second multi-line.
    TqvStringGrid other;
    other.SetColumns({Col("Text", 0), Col("Name", KColFlagMultiLine)});
    int changes = 0;
    other.SetOnChanged([&changes] { ++changes; });
    other.ImportFromFile(xml);
    EXPECT_EQ(other.Rows(),
              (QList<QStringList>{{QStringLiteral("onetwo"), QStringLiteral("a & b")}}));
    EXPECT_EQ(changes, 1);

    // An unreadable file leaves the grid as it was.
    EXPECT_ANY_THROW(other.ImportFromFile(temp.Path(QStringLiteral("missing.csv"))));
    EXPECT_EQ(other.Cell(1, 0), QStringLiteral("a & b"));
    // An empty file still leaves one data row.
    other.ImportFromFile(temp.WriteFile(QStringLiteral("empty.csv"), ""));
    EXPECT_EQ(other.DataRowCount(), 1);
    EXPECT_EQ(other.Cell(1, 0), QString());
}

TEST_F(StringGridTest, PrintingWritesTheTableWithMaskedPasswordsToAPdf) {
    if (QProcess::execute(QStringLiteral("pdftotext"), {QStringLiteral("-v")}) < 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is missing";
    const TTempFolder temp;
    FGrid.SetColumns({Col("Server", 0), Col("Password", KColFlagPassword)});
    FGrid.SetRows({{QStringLiteral("ftp.example.org"), QStringLiteral("hunter2")},
                   {QStringLiteral("x<y&z"), QString()}});
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = temp.Path(QStringLiteral("grid.pdf"));
    printer.setOutputFileName(pdf);
    FGrid.Print(printer, KGenerator);
    ASSERT_GT(QFileInfo(pdf).size(), 0);
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    for (const char* word : {"Server", "Password", "ftp.example.org", "*******", "x<y&z"})
        EXPECT_TRUE(printed.contains(QString::fromLatin1(word))) << word << printed.toStdString();
    EXPECT_FALSE(printed.contains(QStringLiteral("hunter2")));
}

}  // namespace

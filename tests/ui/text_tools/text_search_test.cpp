// Find and replace on a text control, with the questions answered from a script; and the main
// window's search, word wrap and print commands on the Logs viewer.
#include <QAction>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTextCursor>

#include <gtest/gtest.h>

#include "app/module_shared.h"
#include "tests/support/qstring_print.h"
#include "tests/support/scripted_prompts.h"
#include "tests/ui/ui_test_env.h"
#include "ui/text_tools/form_search_text.h"
#include "ui/text_tools/text_search.h"

namespace {

class TextSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        FEdit.setPlainText(QStringLiteral("one two One two\nonea one"));
        FSearch.emplace(&FPrompts);
    }
    QString Selected() { return FEdit.textCursor().selectedText(); }
    int SelectionStart() { return FEdit.textCursor().selectionStart(); }
    void CursorAt(int APosition) {
        QTextCursor cursor(FEdit.document());
        cursor.setPosition(APosition);
        FEdit.setTextCursor(cursor);
    }
    bool Find(const TTextSearchOptions& AOptions) {
        return FSearch->FindNext(TTextControl(&FEdit), AOptions);
    }

    QPlainTextEdit FEdit;
    TScriptedPrompts FPrompts;
    std::optional<TTextSearch> FSearch;
};

TEST_F(TextSearchTest, FindsForwardAndAtTheEndAsksToGoOnFromTheTop) {
    TTextSearchOptions options{QStringLiteral("one")};
    const QList<int> expected{0, 8, 16, 21};
    for (int start : expected) {
        ASSERT_TRUE(Find(options));
        EXPECT_EQ(SelectionStart(), start);
    }
    // At the end: "no" keeps the last place, "yes" goes on from the top.
    FPrompts.Answers = {false};
    EXPECT_FALSE(Find(options));
    EXPECT_EQ(SelectionStart(), 21);
    EXPECT_EQ(FPrompts.Asked.value(0),
              QStringLiteral("\"one\" not found. Restart search from top?"));
    FPrompts.Answers = {true};
    EXPECT_TRUE(Find(options));
    EXPECT_EQ(SelectionStart(), 0);
}

TEST_F(TextSearchTest, FindsBackwardAndAsksToGoOnFromTheBottom) {
    CursorAt(10);
    TTextSearchOptions options{QStringLiteral("two"), false, false, true};
    ASSERT_TRUE(Find(options));
    EXPECT_EQ(SelectionStart(), 4);
    FPrompts.Answers = {true};
    ASSERT_TRUE(Find(options));
    EXPECT_EQ(FPrompts.Asked.value(0),
              QStringLiteral("\"two\" not found. Restart search from bottom?"));
    EXPECT_EQ(SelectionStart(), 12);
}

TEST_F(TextSearchTest, CaseAndWholeWordsNarrowThePlaces) {
    struct TCase {
        TTextSearchOptions Options;
        QList<int> Starts;
    };
    const TCase cases[] = {
        {{QStringLiteral("One"), true, false, false}, {8}},
        {{QStringLiteral("one"), false, true, false}, {0, 8, 21}},
        {{QStringLiteral("one"), true, true, false}, {0, 21}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Options.Text.toStdString());
        CursorAt(0);
        QList<int> starts;
        while (Find(c.Options) && !starts.contains(SelectionStart()))
            starts << SelectionStart();
        EXPECT_EQ(starts, c.Starts);
    }
}

TEST_F(TextSearchTest, ReplaceAsksForEachPlaceAndCancelStops) {
    FPrompts.ThreeWayAnswers = {TPromptAnswer::Yes, TPromptAnswer::No, TPromptAnswer::Yes,
                                TPromptAnswer::Cancel};
    const int replaced =
        FSearch->ReplaceAsking(TTextControl(&FEdit), {QStringLiteral("one")}, QStringLiteral("1"));
    EXPECT_EQ(replaced, 2);
    EXPECT_EQ(FEdit.toPlainText(), QStringLiteral("1 two One two\n1a one"));
    EXPECT_EQ(FPrompts.Asked.size(), 4);
    EXPECT_EQ(FPrompts.Asked.value(0), QStringLiteral("Replace \"one\" with \"1\"?"));
}

TEST_F(TextSearchTest, ReplaceAllCountsThePlacesAndIsOneUndoStep) {
    const int replaced = FSearch->ReplaceAll(TTextControl(&FEdit), {QStringLiteral("one")},
                                             QStringLiteral("one one"));
    EXPECT_EQ(replaced, 4);
    EXPECT_EQ(FEdit.toPlainText(), QStringLiteral("one one two one one two\none onea one one"));
    EXPECT_EQ(FPrompts.Shown.value(0),
              QStringLiteral("Replaced \"one\" with \"one one\" 4 places!"));
    FEdit.undo();
    EXPECT_EQ(FEdit.toPlainText(), QStringLiteral("one two One two\nonea one"));
}

TEST_F(TextSearchTest, AReadOnlyControlIsNeverChanged) {
    FEdit.setReadOnly(true);
    FPrompts.ThreeWayAnswers = {TPromptAnswer::Yes};
    EXPECT_EQ(FSearch->ReplaceAsking(TTextControl(&FEdit), {QStringLiteral("one")}, {}), 0);
    EXPECT_EQ(FSearch->ReplaceAll(TTextControl(&FEdit), {QStringLiteral("one")}, {}), 0);
    EXPECT_EQ(FEdit.toPlainText(), QStringLiteral("one two One two\nonea one"));
    EXPECT_TRUE(FPrompts.Shown.isEmpty());
}

class FormFrontSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        FEnv.Window().show();
        FEnv.Window().findChild<QTabWidget*>(QStringLiteral("pcMain"))->setCurrentIndex(4);
        FViewer = FEnv.Window().findChild<QPlainTextEdit*>(QStringLiteral("memLogView"));
        ASSERT_NE(FViewer, nullptr);
        FViewer->setFocus();
    }
    QAction* Action(const char* AName) {
        return FEnv.Window().findChild<QAction*>(QString::fromLatin1(AName));
    }

    TUiTestEnvironment FEnv;
    QPlainTextEdit* FViewer = nullptr;
};

TEST_F(FormFrontSearchTest, CommandsFollowTheTextControlOfThePage) {
    FViewer->clear();
    FEnv.Window().UpdateActions();
    Action("ALI_Edit_Undo")->trigger();  // any command refreshes the enabling
    EXPECT_FALSE(Action("ALI_Edit_Search")->isEnabled());
    EXPECT_FALSE(Action("ALI_File_Print")->isEnabled());
    EXPECT_TRUE(Action("ALI_File_PrinterSetup")->isEnabled());

    FViewer->setPlainText(QStringLiteral("first line\nsecond line"));
    Action("ALI_Edit_SelectAll")->trigger();
    EXPECT_TRUE(Action("ALI_Edit_Search")->isEnabled());
    EXPECT_TRUE(Action("ALI_File_Print")->isEnabled());
    // The viewer is read-only: nothing to replace in it.
    EXPECT_FALSE(Action("ALI_Edit_Replace")->isEnabled());

    // Word wrap toggles the viewer's wrapping and shows it checked.
    EXPECT_EQ(FViewer->lineWrapMode(), QPlainTextEdit::NoWrap);
    Action("ALI_Edit_WordWrap")->trigger();
    EXPECT_EQ(FViewer->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_TRUE(Action("ALI_Edit_WordWrap")->isChecked());
    Action("ALI_Edit_WordWrap")->trigger();
    EXPECT_EQ(FViewer->lineWrapMode(), QPlainTextEdit::NoWrap);
}

TEST_F(FormFrontSearchTest, TheFindDialogSearchesTheViewerAndFindNextGoesOn) {
    FViewer->setPlainText(QStringLiteral("alpha beta\nbeta gamma"));
    Action("ALI_Edit_Search")->trigger();
    TFormSearchText* dialog = FEnv.Window().FindDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->SetFindText(QStringLiteral("beta"));
    dialog->findChild<QPushButton*>(QStringLiteral("btnFindNext"))->click();
    EXPECT_EQ(FViewer->textCursor().selectionStart(), 6);
    dialog->close();
    Action("ALI_Edit_SearchNext")->trigger();
    EXPECT_EQ(FViewer->textCursor().selectionStart(), 11);
}

TEST_F(FormFrontSearchTest, PrintWritesTheLogViewerToAPdfFile) {
    if (QProcess::execute(QStringLiteral("pdftotext"), {QStringLiteral("-v")}) < 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is missing";
    FViewer->setPlainText(QStringLiteral("Log entry 42\nBatch started.\nBatch ended."));
    const QString pdf = FEnv.Temp().Path(QStringLiteral("log.pdf"));
    FEnv.ChoosePrinter = [&pdf](QPrinter& APrinter) {
        APrinter.setOutputFormat(QPrinter::PdfFormat);
        APrinter.setOutputFileName(pdf);
        return true;
    };
    Action("ALI_Edit_SelectAll")->trigger();
    ASSERT_TRUE(Action("ALI_File_Print")->isEnabled());
    Action("ALI_File_Print")->trigger();
    ASSERT_TRUE(QFileInfo(pdf).size() > 0);
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    for (const char* line : {"Log entry 42", "Batch started.", "Batch ended."})
        EXPECT_TRUE(printed.contains(QString::fromLatin1(line))) << printed.toStdString();

    // Cancelled in the dialog: nothing is printed.
    ASSERT_TRUE(QFile::remove(pdf));
    FEnv.ChoosePrinter = [](QPrinter&) { return false; };
    Action("ALI_File_Print")->trigger();
    EXPECT_FALSE(QFileInfo::exists(pdf));
}

}  // namespace

// The property pages and the text editor dialog on their own: the page class table, the
// text-box page's services, damaged stored values, and how the dialog ends.
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "tests/support/qstring_print.h"
#include "tests/support/stored_streams.h"
#include "tests/ui/modules_editor/kinds_plugin.h"
#include "tests/ui/ui_test_env.h"
#include "ui/property_pages/frame_classes.h"
#include "ui/property_pages/frame_plugins_setup_option_multiple_choice.h"
#include "ui/property_pages/frame_plugins_setup_option_text_boxes.h"
#include "ui/property_pages/str_editor_dialog.h"

namespace {

const QString KNoPageClass = QStringLiteral(
    "\"GetPluginPropFrameClass\" failed to find correct descendant of \"TFrameCommonClass\"");

TEST(PropertyPageClassesTest, KindsWithoutAPageRaiseTheMissingClassError) {
    for (const int kind : {int(vptCustom), int(vptErrorOccured), 99}) {
        try {
            GetPluginPropFrameClass(kind);
            ADD_FAILURE() << "kind " << kind << " has a page class";
        } catch (const EqvOperationNotPossible& e) {
            EXPECT_EQ(ExceptionMessage(e), KNoPageClass);
        }
    }
    EXPECT_STREQ(GetPluginPropFrameClass(vtpChoiceSingle).ClassName,
                 "TFramePluginsSetupOptionSingleChoice");
    EXPECT_STREQ(GetPluginPropFrameClass(vptTextBoxes).ClassName,
                 "TFramePluginsSetupOptionTextBoxes");
}

class PropertyPagesTest : public ::testing::Test {
protected:
    PropertyPagesTest() { AddKindsPlugins(FEnv, FRecord); }
    TPluginStoredLibInfo& Kinds() { return *FEnv.Host().FindByStrID(KKindsID); }
    // A page of the plugin's property, opened as the editor opens it, in a window of its own.
    template <typename T>
    std::unique_ptr<T> Open(const char* AProperty, const QByteArray& AStored = {}) {
        const TPluginProperty& property =
            *Kinds().GetPropertyByName(QString::fromLatin1(AProperty));
        auto page = std::make_unique<T>(FServices);
        OpenPluginFrame(*page, property.FInitStreamData, property.FPropName, &Kinds(), AStored);
        QApplication::setActiveWindow(page.get());
        return page;
    }

    TUiTestEnvironment FEnv;
    TKindsRecord FRecord;
    TFrameServices FServices;
};

TEST_F(PropertyPagesTest, TextBoxServicesActOnTheFocusedBox) {
    std::optional<QString> chosen = QStringLiteral("/data/chosen file.txt");
    QStringList editorCaptions;
    QString editorStart;
    FServices.ChooseOpenFile = [&](const TProjectDialogSetup&) { return chosen; };
    FServices.EditText = [&](const TStrEditorRequest& ARequest) -> std::optional<QString> {
        editorCaptions << ARequest.Caption;
        editorStart = ARequest.Text;
        return QStringLiteral("edited\r\ntext");
    };
    int edited = 0;
    FServices.OnEdited = [&] { ++edited; };
    auto page = Open<TFramePluginsSetupOptionTextBoxes>("Boxes");
    ASSERT_EQ(page->Boxes().size(), 2u);
    EXPECT_FALSE(page->Can_ServiceRequest_InsertFilePath());
    EXPECT_FALSE(page->ServiceRequest_OpenTextEditor());
    EXPECT_EQ(edited, 0);
    EXPECT_FALSE(page->Modified());

    page->BoxOf(QStringLiteral("port"))->setFocus();
    ASSERT_TRUE(page->Can_ServiceRequest_InsertFilePath());
    EXPECT_TRUE(page->ServiceRequest_InsertFilePath());
    EXPECT_EQ(page->BoxOf(QStringLiteral("port"))->text(), QStringLiteral("/data/chosen file.txt"));
    EXPECT_EQ(page->BoxOf(QStringLiteral("user"))->text(), QStringLiteral("anna"));
    EXPECT_TRUE(page->Modified());

    page->BoxOf(QStringLiteral("user"))->setFocus();
    EXPECT_TRUE(page->ServiceRequest_OpenTextEditor());
    EXPECT_EQ(editorCaptions, QStringList{QStringLiteral("Edit Text Box")});
    EXPECT_EQ(editorStart, QStringLiteral("anna"));
    EXPECT_EQ(page->BoxOf(QStringLiteral("user"))->text(), QStringLiteral("edited\r\ntext"));

    // A cancelled file dialog changes nothing.
    chosen.reset();
    EXPECT_FALSE(page->ServiceRequest_InsertFilePath());
    EXPECT_EQ(page->BoxOf(QStringLiteral("user"))->text(), QStringLiteral("edited\r\ntext"));
    EXPECT_EQ(edited, 2);

    QByteArray stored;
    page->SavePerstStreamData_Memory(stored);
    EXPECT_EQ(stored,
              StoredBoxes({{QStringLiteral("user"), QStringLiteral("edited\r\ntext")},
                           {QStringLiteral("port"), QStringLiteral("/data/chosen file.txt")}}));
}

TEST_F(PropertyPagesTest, ADamagedStoredStreamLeavesTheDefaultsShown) {
    QByteArray damaged = StoredMultiple({QStringLiteral("b"), QStringLiteral("c")});
    damaged.chop(2);
    auto page = std::make_unique<TFramePluginsSetupOptionMultipleChoice>(FServices);
    const TPluginProperty& property = *Kinds().GetPropertyByName(QStringLiteral("Set"));
    page->DoInitData(property.FInitStreamData, property.FPropName, &Kinds());
    EXPECT_THROW(page->LoadPerstStreamData_Memory(damaged), EqvException);
    EXPECT_EQ(page->CheckedIDs(), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    // An identifier the plugin does not declare is passed over.
    page->LoadPerstStreamData_Memory(StoredMultiple({QStringLiteral("zz"), QStringLiteral("b")}));
    EXPECT_EQ(page->CheckedIDs(), QStringList{QStringLiteral("b")});
}

class StrEditorDialogTest : public ::testing::Test {
protected:
    TStrEditorRequest Request(const QString& AText) {
        TStrEditorRequest request;
        request.Caption = QStringLiteral("Edit Cell");
        request.Text = AText;
        return request;
    }
};

TEST_F(StrEditorDialogTest, LineBreaksBecomeCrLfAndTabTypesATab) {
    TqvStrEditorDialog dialog(Request(QStringLiteral("one\ntwo\rthree\r\nfour")));
    EXPECT_EQ(dialog.Text(), QStringLiteral("one\r\ntwo\r\nthree\r\nfour"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Edit Cell"));
    EXPECT_TRUE(dialog.OkButton()->isDefault());
    EXPECT_EQ(dialog.OkButton()->text(), QStringLiteral("&OK"));
    EXPECT_EQ(dialog.CancelButton()->text(), QStringLiteral("&Cancel"));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QApplication::processEvents();
    dialog.Editor()->setFocus();
    dialog.Editor()->moveCursor(QTextCursor::End);
    QTest::keyClick(dialog.Editor(), Qt::Key_Tab);
    QTest::keyClick(dialog.Editor(), Qt::Key_Return);
    QTest::keyClicks(dialog.Editor(), QStringLiteral("five"));
    EXPECT_EQ(QApplication::focusWidget(), dialog.Editor());
    EXPECT_EQ(dialog.Text(), QStringLiteral("one\r\ntwo\r\nthree\r\nfour\t\r\nfive"));
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Text(), QStringLiteral("one\r\ntwo\r\nthree\r\nfour\t\r\nfive"));
}

TEST_F(StrEditorDialogTest, EscapeAndLosingTheFocusCancelAndRestoreTheText) {
    {
        TqvStrEditorDialog dialog(Request(QStringLiteral("start")));
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QTest::keyClicks(dialog.Editor(), QStringLiteral("typed "));
        QTest::keyClick(dialog.Editor(), Qt::Key_Escape);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.Text(), QStringLiteral("start"));
    }
    {
        QWidget other;
        other.show();
        TqvStrEditorDialog dialog(Request(QStringLiteral("start")));
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(dialog.isActiveWindow());
        QTest::keyClicks(dialog.Editor(), QStringLiteral("typed "));
        QApplication::setActiveWindow(&other);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(dialog.Text(), QStringLiteral("start"));
    }
}

}  // namespace

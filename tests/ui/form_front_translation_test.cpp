// The main window's texts follow the chosen language: every window text has its German
// translation, a change of language reaches menus, actions, pages and dialog buttons and can be
// undone, and a translation file planted by a user changes a caption and a shortcut.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "app/module_shared.h"
#include "base/ini_document.h"
#include "tests/support/qstring_print.h"
#include "tests/ui/ui_test_env.h"
#include "translation/language_controller.h"
#include "ui/main_window/front_texts.h"
#include "ui/main_window/widget_prompts.h"
#include "ui/options/form_options.h"
#include "ui/options/options_texts.h"
#include "ui/text_tools/form_search_text.h"

namespace {

class FormFrontTranslationTest : public ::testing::Test {
protected:
    template <typename T>
    T* Find(const char* AName) {
        T* found = FEnv.Window().findChild<T*>(QString::fromLatin1(AName));
        EXPECT_NE(found, nullptr) << AName;
        return found;
    }
    QString MenuTitle(const char* AName) { return Find<QMenu>(AName)->title(); }
    QString ActionText(const char* AName) { return Find<QAction>(AName)->text(); }
    QString TabText(int AIndex) { return Find<QTabWidget>("pcMain")->tabText(AIndex); }
    QString LanguageFolder(const QString& ACode) {
        return FEnv.Module().Folders().TranslationsFolder + ACode + QLatin1Char('/');
    }
    // The captions of the buttons of the next message box, which is closed again at once.
    QStringList ButtonsOfNextBox(const QString& AText) {
        QStringList captions;
        QTimer::singleShot(0, [&captions] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                ADD_FAILURE() << "no message box";
                return;
            }
            for (QAbstractButton* button : box->buttons())
                captions << button->text().remove(QLatin1Char('&'));
            box->reject();
        });
        TWidgetPrompts prompts(&FEnv.Window());
        prompts.AskYesNoCancel(TPromptKind::Confirmation, AText);
        captions.sort();
        return captions;
    }

    TUiTestEnvironment FEnv;
};

TEST_F(FormFrontTranslationTest, GermanFilesHoldEveryWindowText) {
    const TIniDocument german = TIniDocument::FromFile(LanguageFolder(QStringLiteral("de-de")) +
                                                       QStringLiteral("UTF8_program.ini"));
    // The search dialogs register their texts when they are made.
    const TFormSearchText findDialog(false, FEnv.Window().Assistants(), &FEnv.Window());
    const TFormSearchText replaceDialog(true, FEnv.Window().Assistants(), &FEnv.Window());
    TFormOptionsSetup optionsSetup;
    optionsSetup.Module = &FEnv.Module();
    optionsSetup.Assistants = &FEnv.Window().Assistants();
    const TFormOptions optionsDialog(std::move(optionsSetup), &FEnv.Window());
    const TqvlgLanguageAssistantsGui& assistants = FEnv.Window().Assistants();
    QStringList missing;
    int texts = 0;
    for (const TqvlgLanguageAssistant* assistant :
         {static_cast<const TqvlgLanguageAssistant*>(&assistants.FActions),
          static_cast<const TqvlgLanguageAssistant*>(&assistants.FMenus),
          static_cast<const TqvlgLanguageAssistant*>(&assistants.FControls),
          static_cast<const TqvlgLanguageAssistant*>(&assistants.FStoredRes)}) {
        for (auto it = assistant->NativeTexts().cbegin(); it != assistant->NativeTexts().cend();
             ++it) {
            if (it.value().isEmpty())
                continue;
            ++texts;
            const QString section =
                QStringLiteral("StrsGui") + it.key().section(QLatin1Char('|'), 0, 0);
            const QString key = it.key().section(QLatin1Char('|'), 1);
            if (!german.ValueExists(section, key))
                missing << QStringLiteral("[%1] %2=%3").arg(section, key, it.value());
        }
    }
    std::vector<TqvlgNativeText> messages = FrontMainNativeTexts();
    for (const TqvlgNativeText& text : OptionsHelpNativeTexts())
        messages.push_back(text);
    for (const TqvlgNativeText& text : messages)
        if (!german.ValueExists(QStringLiteral("StrsRes") + text.Section,
                                text.Key + QStringLiteral("__Value")))
            missing << QStringLiteral("[StrsRes%1] %2__Value=%3")
                           .arg(text.Section, text.Key, text.Native);
    missing.sort();
    EXPECT_GT(texts, 40);
    EXPECT_TRUE(missing.isEmpty()) << qPrintable(missing.join(QLatin1Char('\n')));

    // And nothing else: a window text of the German file that no window registers is a
    // misspelt or forgotten key.
    QStringList unknown;
    for (const QString& section : german.SectionNames()) {
        if (!section.startsWith(QLatin1String("StrsGui")))
            continue;
        const QString bare = section.mid(7);
        for (const QString& key : german.KeyNames(section)) {
            const QString id = bare + QLatin1Char('|') + key;
            if (!assistants.FActions.NativeTexts().contains(id) &&
                !assistants.FMenus.NativeTexts().contains(id) &&
                !assistants.FControls.NativeTexts().contains(id) &&
                !assistants.FStoredRes.NativeTexts().contains(id))
                unknown << QStringLiteral("[%1] %2").arg(section, key);
        }
    }
    EXPECT_TRUE(unknown.isEmpty()) << qPrintable(unknown.join(QLatin1Char('\n')));
}

TEST_F(FormFrontTranslationTest, GermanAndBackChangesMenusActionsPagesAndDialogButtons) {
    const QStringList englishButtons = ButtonsOfNextBox(QStringLiteral("Question?"));
    EXPECT_EQ(englishButtons,
              (QStringList{QStringLiteral("Cancel"), QStringLiteral("No"), QStringLiteral("Yes")}));

    FEnv.Window().ChangeLanguage(QStringLiteral("de-de"));
    EXPECT_EQ(FEnv.Module().FProgramOptions->FLanguageCulture, QStringLiteral("de-de"));
    EXPECT_EQ(MenuTitle("miFile"), QStringLiteral("&Datei"));
    EXPECT_EQ(ActionText("ALI_File_SaveProject"), QStringLiteral("Projekt speichern"));
    EXPECT_EQ(TabText(1), QStringLiteral("Projekteinstellungen"));
    EXPECT_EQ(Find<QLabel>("lblInputDir")->text(), QStringLiteral("Eingabeverzeichnis:"));
    EXPECT_EQ(Find<QLabel>("lblBatchStatusValue")->text(), QStringLiteral("Bereit"));
    EXPECT_EQ(Find<QTreeWidget>("tvLogs")->topLevelItem(1)->text(0), QStringLiteral("Stapel"));
    EXPECT_EQ(
        ButtonsOfNextBox(QStringLiteral("Frage?")),
        (QStringList{QStringLiteral("Abbrechen"), QStringLiteral("Ja"), QStringLiteral("Nein")}));

    FEnv.Window().ChangeLanguage(QStringLiteral("en-us"));
    EXPECT_EQ(MenuTitle("miFile"), QStringLiteral("&File"));
    EXPECT_EQ(ActionText("ALI_File_SaveProject"), QStringLiteral("Save Project"));
    EXPECT_EQ(Find<QAction>("ALI_Project_StartBatch")->statusTip(),
              QStringLiteral("Start batch - you will be unable to start new projects while it "
                             "is processing"));
    EXPECT_EQ(TabText(1), QStringLiteral("Project settings"));
    EXPECT_EQ(Find<QLabel>("lblInputDir")->text(), QStringLiteral("Input directory:"));
    EXPECT_EQ(Find<QLabel>("lblBatchStatusValue")->text(), QStringLiteral("Ready"));
    EXPECT_EQ(Find<QTreeWidget>("tvLogs")->topLevelItem(1)->text(0), QStringLiteral("Batches"));
    EXPECT_EQ(ButtonsOfNextBox(QStringLiteral("Question?")), englishButtons);
}

TEST_F(FormFrontTranslationTest, PlantedTranslationChangesCaptionAndShortcutOfOneAction) {
    const QString folder = LanguageFolder(QStringLiteral("xx-test"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile file(folder + QStringLiteral("UTF8_program.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "[MetaData]\r\nLingua_ID=xx-test\r\nLingua_Desc=Planted\r\n\r\n"
        "[StrsGui____Actions__FrontMain]\r\n"
        "ALI_File_SaveProject.Caption=Keep the Project\r\n"
        "ALI_File_SaveProject.ShortCut=Ctrl+K\r\n");
    file.close();

    FEnv.Window().ChangeLanguage(QStringLiteral("xx-test"));
    QAction* save = Find<QAction>("ALI_File_SaveProject");
    EXPECT_EQ(save->text(), QStringLiteral("Keep the Project"));
    EXPECT_EQ(save->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_K));
    // What the file leaves out stays English.
    EXPECT_EQ(ActionText("ALI_File_OpenProject"), QStringLiteral("Open Project.."));
    EXPECT_EQ(MenuTitle("miFile"), QStringLiteral("&File"));
    // The language menu lists the planted language, chosen.
    bool listed = false;
    for (QAction* item : Find<QMenu>("miToolsLanguage")->actions())
        if (item->text() == QStringLiteral("Planted"))
            listed = item->isChecked();
    EXPECT_TRUE(listed);

    FEnv.Window().ChangeLanguage(QStringLiteral("en-us"));
    EXPECT_EQ(save->text(), QStringLiteral("Save Project"));
    EXPECT_EQ(save->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
}

TEST_F(FormFrontTranslationTest, ALanguageWithRightToLeftReadingOrderMirrorsTheWindow) {
    const QString folder = LanguageFolder(QStringLiteral("xx-rtl"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile program(folder + QStringLiteral("UTF8_program.ini"));
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.write("[MetaData]\r\nLingua_ID=xx-rtl\r\nLingua_Desc=Mirrored\r\n");
    program.close();
    QFile shared(folder + QStringLiteral("UTF8_shared.ini"));
    ASSERT_TRUE(shared.open(QIODevice::WriteOnly));
    shared.write("[StrsGui____Application__Module]\r\nApplication.BiDiMode=RightToLeft\r\n");
    shared.close();

    FEnv.Window().ChangeLanguage(QStringLiteral("xx-rtl"));
    EXPECT_EQ(QApplication::layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(FEnv.Window().layoutDirection(), Qt::RightToLeft);
    FEnv.Window().ChangeLanguage(QStringLiteral("en-us"));
    EXPECT_EQ(QApplication::layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(FEnv.Window().layoutDirection(), Qt::LeftToRight);
}

}  // namespace

// The main window's other commands driven as a user would: a batch a plugin stops, the Reopen
// menu, Reload Plugins, the edit commands on the focused text control and the window setup kept
// from one start to the next.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "app/module_shared.h"
#include "plugin_host/plugin_host.h"
#include "tests/support/qstring_print.h"
#include "tests/ui/ui_test_env.h"

namespace {

class FormFrontCommandsTest : public ::testing::Test {
protected:
    template <typename T>
    T* Find(const char* AName) {
        T* found = FEnv.Window().findChild<T*>(QString::fromLatin1(AName));
        EXPECT_NE(found, nullptr) << AName;
        return found;
    }
    QAction* Action(const char* AName) { return Find<QAction>(AName); }
    // A saved project file with one combination of the no-op plugin.
    QString SavedProject(const QString& AName) {
        EXPECT_TRUE(FEnv.AddCombination(QStringLiteral("*.*"), QStringLiteral("zq_kestrin_NoOp")));
        FEnv.NextSaveFile = FEnv.Temp().Path(AName);
        EXPECT_TRUE(FEnv.Window().Project().SaveProjectAs());
        return FEnv.Window().Project().CurrentFilePath();
    }
    QStringList ReopenCaptions() {
        QStringList captions;
        for (QAction* item : Find<QMenu>("miFileReopen")->actions())
            captions << item->text();
        return captions;
    }

    TUiTestEnvironment FEnv;
};

TEST_F(FormFrontCommandsTest, APluginsStopAdviceEndsTheBatchInterruptedByPlugin) {
    FEnv.WriteInput(QStringLiteral("a.txt"));
    FEnv.WriteInput(QStringLiteral("stop.txt"));
    ASSERT_TRUE(FEnv.AddCombination(QStringLiteral("*.*"), QStringLiteral("zq_test_Advising")));
    Action("ALI_Project_StartBatch")->trigger();
    EXPECT_EQ(Find<QLabel>("lblBatchStatusValue")->text(), QStringLiteral("Interrupted by plugin"));
    QFile log(FEnv.Module().FBatchLogFileName);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("Batch was interrupted by plugin."));
    EXPECT_TRUE(Action("ALI_Project_StartBatch")->isEnabled());
}

TEST_F(FormFrontCommandsTest, ReopenListsProjectsAndForgetsOneWhoseFileIsGone) {
    const QString first = SavedProject(QStringLiteral("first.plv"));
    ASSERT_TRUE(FEnv.Window().Project().NewProject());
    const QString second = SavedProject(QStringLiteral("second.plv"));
    ASSERT_EQ(ReopenCaptions().size(), 2);
    EXPECT_TRUE(ReopenCaptions()[0].endsWith(QStringLiteral("second.plv")));
    EXPECT_TRUE(ReopenCaptions()[1].endsWith(QStringLiteral("first.plv")));
    EXPECT_TRUE(Find<QMenu>("miFileReopen")->menuAction()->isEnabled());

    // Choosing the first opens it and puts it on top.
    Find<QMenu>("miFileReopen")->actions()[1]->trigger();
    EXPECT_EQ(FEnv.Window().Project().CurrentFilePath(), first);
    EXPECT_TRUE(ReopenCaptions()[0].endsWith(QStringLiteral("first.plv")));

    // A project deleted since: the message, a new project, and the entry leaves the list.
    ASSERT_TRUE(QFile::remove(second));
    Find<QMenu>("miFileReopen")->actions()[1]->trigger();
    EXPECT_EQ(FEnv.Window().Project().CurrentFilePath(), QString());
    EXPECT_EQ(FEnv.Prompts().Shown.size(), 1);
    EXPECT_TRUE(FEnv.Prompts().Shown.value(0).contains(second))
        << FEnv.Prompts().Shown.value(0).toStdString();
    EXPECT_EQ(ReopenCaptions().size(), 1);
    EXPECT_FALSE(FEnv.Module().FProgramOptions->FProjectReopenList.contains(second));
}

TEST_F(FormFrontCommandsTest, ReloadPluginsClosesTheProjectAndMakesANewOne) {
    const QString saved = SavedProject(QStringLiteral("reload.plv"));
    ASSERT_EQ(FEnv.Window().Project().Combinations().Count(), 1);
    const size_t plugins = FEnv.Host().PluginList().size();
    Action("ALI_Tools_ReloadPlugins")->trigger();
    EXPECT_EQ(FEnv.Window().Project().CurrentFilePath(), QString());
    EXPECT_EQ(FEnv.Window().Project().Combinations().Count(), 0);
    EXPECT_EQ(FEnv.Host().PluginList().size(), plugins);
    EXPECT_TRUE(FEnv.Window().windowTitle().endsWith(QStringLiteral("new project")));

    // The reloaded plugins serve the project again.
    FEnv.Window().Project().LoadProject(saved, false);
    EXPECT_EQ(FEnv.Window().Project().Combinations().Count(), 1);
}

TEST_F(FormFrontCommandsTest, ReloadPluginsCancelledAtTheSaveQuestionKeepsEverything) {
    ASSERT_TRUE(FEnv.AddCombination(QStringLiteral("*.*"), QStringLiteral("zq_kestrin_NoOp")));
    FEnv.Prompts().ThreeWayAnswers = {TPromptAnswer::Cancel};
    Action("ALI_Tools_ReloadPlugins")->trigger();
    EXPECT_EQ(FEnv.Prompts().Asked.value(0), QStringLiteral("Save project changes?"));
    EXPECT_EQ(FEnv.Window().Project().Combinations().Count(), 1);
}

TEST_F(FormFrontCommandsTest, EditCommandsActOnTheFocusedTextControl) {
    FEnv.Window().show();
    QApplication::setActiveWindow(&FEnv.Window());
    auto* input = Find<QLineEdit>("edtInputDir");
    input->setFocus();
    input->setText(QStringLiteral("/data/in/"));
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), input);

    Action("ALI_Edit_SelectAll")->trigger();
    EXPECT_EQ(input->selectedText(), QStringLiteral("/data/in/"));
    EXPECT_TRUE(Action("ALI_Edit_Copy")->isEnabled());
    Action("ALI_Edit_Cut")->trigger();
    EXPECT_EQ(input->text(), QString());
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("/data/in/"));
    EXPECT_TRUE(Action("ALI_Edit_Undo")->isEnabled());
    Action("ALI_Edit_Undo")->trigger();
    EXPECT_EQ(input->text(), QStringLiteral("/data/in/"));
    input->end(false);
    Action("ALI_Edit_Paste")->trigger();
    EXPECT_EQ(input->text(), QStringLiteral("/data/in//data/in/"));

    // The read-only log viewer lets text be copied, never changed.
    FEnv.Window().findChild<QTabWidget*>(QStringLiteral("pcMain"))->setCurrentIndex(4);
    auto* viewer = Find<QPlainTextEdit>("memLogView");
    viewer->setPlainText(QStringLiteral("log text"));
    viewer->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), viewer);
    Action("ALI_Edit_SelectAll")->trigger();
    EXPECT_TRUE(Action("ALI_Edit_Copy")->isEnabled());
    EXPECT_FALSE(Action("ALI_Edit_Paste")->isEnabled());
    EXPECT_FALSE(Action("ALI_Edit_Cut")->isEnabled());
    Action("ALI_Edit_Paste")->trigger();
    EXPECT_EQ(viewer->toPlainText(), QStringLiteral("log text"));
}

TEST_F(FormFrontCommandsTest, WindowSetupIsKeptForTheNextWindowWhenTheOptionsSaySo) {
    const auto closeAndReopen = [this](const QRect& AGeometry, int APage) {
        auto window = FEnv.MakeWindow();
        window->show();
        window->setGeometry(AGeometry);
        window->findChild<QTabWidget*>(QStringLiteral("pcMain"))->setCurrentIndex(APage);
        EXPECT_TRUE(window->close());
        window.reset();
        auto next = FEnv.MakeWindow();
        next->RestoreWindowSetup();
        return std::make_pair(
            next->size(), next->findChild<QTabWidget*>(QStringLiteral("pcMain"))->currentIndex());
    };
    FEnv.Prompts().ThreeWayAnswers = {TPromptAnswer::No, TPromptAnswer::No};
    const auto [size, page] = closeAndReopen(QRect(40, 40, 700, 480), 3);
    EXPECT_EQ(size, QSize(700, 480));
    EXPECT_EQ(page, 3);

    FEnv.Module().FProgramOptions->FSaveWindowsSetup = false;
    FEnv.Module().FProgramOptions->FSaveMiscSetup = false;
    const auto [otherSize, otherPage] = closeAndReopen(QRect(40, 40, 640, 400), 2);
    // Nothing new was kept: the next window opens as the last kept one said.
    EXPECT_EQ(otherSize, QSize(820, 560));
    EXPECT_EQ(otherPage, 0);
}

}  // namespace

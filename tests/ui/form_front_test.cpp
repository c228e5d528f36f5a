// The main window driven as a user would: its settings page against the project controller,
// the Start and Stop commands on real batches, closing with a batch running or changes unsaved.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <thread>

#include "app/module_shared.h"
#include "batch/batch_log.h"
#include "platform/native_path.h"
#include "tests/ui/ui_test_env.h"
#include "ui/main_window/front_commands.h"
#include "ui/main_window/progress_relay.h"
#include "ui/main_window/widget_prompts.h"

namespace {

class FormFrontTest : public ::testing::Test {
protected:
    template <typename T>
    T* Find(const char* AName) {
        T* found = FEnv.Window().findChild<T*>(QString::fromLatin1(AName));
        EXPECT_NE(found, nullptr) << AName;
        return found;
    }
    QAction* Action(const char* AName) { return Find<QAction>(AName); }
    QString Label(const char* AName) { return Find<QLabel>(AName)->text(); }
    void SetEdit(const char* AName, const QString& AText) {
        QLineEdit* edit = Find<QLineEdit>(AName);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, AText);
        // Leaving the edit.
        Q_EMIT edit->editingFinished();
    }
    // Input and work folders that are apart, with a few files to do.
    void PrepareTree(int AFiles) {
        for (int i = 0; i < AFiles; ++i)
            FEnv.WriteInput(QStringLiteral("site/page%1.txt").arg(i));
    }
    // Runs a code once the batch started by the next command is running (its first path held
    // at the gate), then opens the gate.
    void WhileHeld(std::function<void()> AStep) {
        QTimer::singleShot(0, &FEnv.Window(), [this, AStep] {
            if (FEnv.Gate().WaitEntered())
                AStep();
            else
                ADD_FAILURE() << "the batch never reached its first path";
            FEnv.Gate().Release();
        });
    }
    QString LastLogText() {
        return QString::fromUtf8(ReadWholeFile(FEnv.Module().FBatchLogFileName));
    }
    int LogCount(const QString& AKey) {
        const QRegularExpression pattern(QRegularExpression::escape(AKey) +
                                         QStringLiteral(" (\\d+)\\."));
        const QRegularExpressionMatch match = pattern.match(LastLogText());
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    }

    TUiTestEnvironment FEnv;
};

}  // namespace

TEST_F(FormFrontTest, PagesAndCommandsCarryTheirNames) {
    auto* pages = Find<QTabWidget>("pcMain");
    const QStringList names = {QStringLiteral("tsMainProjectInfo"),
                               QStringLiteral("tsMainProjetSettings"),
                               QStringLiteral("tsMainProjectModules"),
                               QStringLiteral("tsMainProgress"), QStringLiteral("tsMainLogs")};
    const QStringList captions = {QStringLiteral("Project info"),
                                  QStringLiteral("Project settings"),
                                  QStringLiteral("Project modules"),
                                  QStringLiteral("Batch progress"), QStringLiteral("Batch logs")};
    ASSERT_EQ(pages->count(), names.size());
    for (int i = 0; i < pages->count(); ++i) {
        EXPECT_EQ(pages->widget(i)->objectName(), names[i]);
        EXPECT_EQ(pages->tabText(i), captions[i]);
    }
    struct TCase {
        const char* Name;
        const char* Caption;
        QKeySequence Key;
    };
    const TCase actions[] = {
        {"ALI_File_NewProject", "New Project", QKeySequence(QStringLiteral("Ctrl+N"))},
        {"ALI_File_OpenProject", "Open Project..", QKeySequence(QStringLiteral("Ctrl+O"))},
        {"ALI_File_SaveProject", "Save Project", QKeySequence(QStringLiteral("Ctrl+S"))},
        {"ALI_File_SaveProjectAs", "Save Project As..", QKeySequence()},
        {"ALI_File_Exit", "Exit", QKeySequence()},
        {"ALI_Project_StartBatch", "Start", QKeySequence(QStringLiteral("F5"))},
        {"ALI_Project_InterruptBatch", "Stop", QKeySequence(QStringLiteral("F8"))},
    };
    for (const TCase& c : actions) {
        QAction* action = Action(c.Name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), QString::fromLatin1(c.Caption)) << c.Name;
        EXPECT_EQ(action->shortcut(), c.Key) << c.Name;
    }
    // Before the first batch.
    EXPECT_EQ(Label("lblBatchStatusValue"), QStringLiteral("Ready"));
    EXPECT_TRUE(Action("ALI_Project_StartBatch")->isEnabled());
    EXPECT_FALSE(Action("ALI_Project_InterruptBatch")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("btnUpdateSettingsRuntime")->isEnabled());
    EXPECT_EQ(FEnv.Window().windowTitle(), QStringLiteral("Plovane - new project"));
}

TEST_F(FormFrontTest, SettingsPageMirrorsTheProject) {
    TProjectController& project = FEnv.Window().Project();
    const QString input = FEnv.Temp().MakeFolder(QStringLiteral("in"));
    SetEdit("edtInputDir", input);
    FEnv.NextFolder = FEnv.Temp().Path(QStringLiteral("chosen-work"));
    Find<QPushButton>("btnSelectWorkDir")->click();
    EXPECT_EQ(FEnv.FolderCaptions.value(0), QStringLiteral("Select Work Directory"));
    // A chosen folder gets its trailing separator.
    EXPECT_EQ(Find<QLineEdit>("edtWorkDir")->text(), FEnv.NextFolder + QLatin1Char('/'));
    Find<QCheckBox>("chkIncludeSubDirs")->setChecked(false);
    Find<QCheckBox>("chkDeleteWorkFiles")->setChecked(false);
    SetEdit("edtMWT", QStringLiteral("4"));
    EXPECT_EQ(Find<QSlider>("tbrMWT")->value(), 4);

    TProjectGeneralSettings settings = project.GeneralSettings();
    EXPECT_EQ(settings.InputDirPath, input);
    EXPECT_EQ(settings.WorkDirPath, FEnv.NextFolder + QLatin1Char('/'));
    EXPECT_FALSE(settings.IncludeSubDirs);
    EXPECT_FALSE(settings.DeleteWorkDirFiles);
    EXPECT_EQ(settings.MaxWorkerThreads, 4);
    EXPECT_TRUE(project.HasProjectChanged());

    // Saved and loaded again, the page shows what the file holds.
    FEnv.NextSaveFile = FEnv.Temp().Path(QStringLiteral("Mirror.plv"));
    Action("ALI_File_SaveProject")->trigger();
    ASSERT_FALSE(project.HasProjectChanged());
    EXPECT_EQ(FEnv.Window().windowTitle(), QStringLiteral("Plovane - Mirror.plv"));
    Action("ALI_File_NewProject")->trigger();
    EXPECT_NE(Find<QLineEdit>("edtInputDir")->text(), input);
    ASSERT_TRUE(project.ReopenProject(FEnv.NextSaveFile));
    EXPECT_EQ(Find<QLineEdit>("edtInputDir")->text(), input);
    EXPECT_EQ(Find<QLineEdit>("edtMWT")->text(), QStringLiteral("4"));
    EXPECT_EQ(Find<QSlider>("tbrMWT")->value(), 4);
    EXPECT_EQ(Find<QCheckBox>("chkIncludeSubDirs")->isChecked(),
              project.GeneralSettings().IncludeSubDirs);
    EXPECT_FALSE(Find<QCheckBox>("chkDeleteWorkFiles")->isChecked());
    EXPECT_FALSE(project.HasProjectChanged());
}

TEST_F(FormFrontTest, WorkingInTheInputFolderDisablesTheWorkControls) {
    const char* const work[] = {"edtWorkDir", "btnSelectWorkDir", "chkOnlyCopyBatchedPaths",
                                "chkDeleteWorkFiles"};
    auto* same = Find<QCheckBox>("chkMakeInputWorkSame");
    for (const bool on : {true, false}) {
        same->setChecked(on);
        for (const char* name : work)
            EXPECT_EQ(Find<QWidget>(name)->isEnabled(), !on) << name << on;
        EXPECT_TRUE(Find<QWidget>("edtInputDir")->isEnabled());
        EXPECT_TRUE(Find<QWidget>("chkIncludeSubDirs")->isEnabled());
        EXPECT_EQ(FEnv.Window().Project().GeneralSettings().InputDirIsWorkDir, on);
    }
}

TEST_F(FormFrontTest, ThreadCountIsClampedWhenTheEditIsLeft) {
    struct TCase {
        const char* Typed;
        int Shown;
    };
    const TCase cases[] = {{"0", 1}, {"200", 81}, {"", 1}, {"81", 81}, {"1", 1}, {"40", 40}};
    for (const TCase& c : cases) {
        SetEdit("edtMWT", QString::fromLatin1(c.Typed));
        EXPECT_EQ(Find<QLineEdit>("edtMWT")->text(), QString::number(c.Shown)) << c.Typed;
        EXPECT_EQ(Find<QSlider>("tbrMWT")->value(), c.Shown) << c.Typed;
        EXPECT_EQ(FEnv.Window().Project().GeneralSettings().MaxWorkerThreads, c.Shown) << c.Typed;
    }
    // The track bar moves the edit.
    Find<QSlider>("tbrMWT")->setValue(17);
    EXPECT_EQ(Find<QLineEdit>("edtMWT")->text(), QStringLiteral("17"));
    EXPECT_EQ(FEnv.Window().Project().GeneralSettings().MaxWorkerThreads, 17);
}

TEST_F(FormFrontTest, InvalidSettingsShowTheReasonThenTheFailureAndTheRepairedFolders) {
    const QString validateFailed = QStringLiteral(
        "Errors were detected in setup. Make sure everything is as wanted and try again.");
    FEnv.Module().FProgramOptions->FHumanSafeMode = false;
    const QString data = FEnv.Temp().MakeFolder(QStringLiteral("data"));
    FEnv.Temp().MakeFolder(QStringLiteral("data/work"));
    // Written without separators and with blanks around: the check repairs them.
    SetEdit("edtInputDir", QStringLiteral("  ") + FEnv.Temp().Path(QStringLiteral("data")));
    SetEdit("edtWorkDir", FEnv.Temp().Path(QStringLiteral("data/work")) + QStringLiteral(" "));
    Action("ALI_Project_StartBatch")->trigger();
    ASSERT_EQ(FEnv.Prompts().Shown.size(), 2);
    EXPECT_EQ(FEnv.Prompts().Shown[0],
              QStringLiteral("You can not specify \"Input Directory\" path as being a part of "
                             "\"Work Directory\" path!"));
    EXPECT_EQ(FEnv.Prompts().Shown[1], validateFailed);
    EXPECT_EQ(Find<QLineEdit>("edtInputDir")->text(), data);
    EXPECT_EQ(Find<QLineEdit>("edtWorkDir")->text(), data + QStringLiteral("work/"));
    EXPECT_EQ(FEnv.Window().Project().GeneralSettings().WorkDirPath,
              data + QStringLiteral("work/"));
    // Nothing ran.
    EXPECT_TRUE(FEnv.Module().FBatchLogFileName.isEmpty());
    EXPECT_EQ(Label("lblBatchStatusValue"), QStringLiteral("Ready"));

    // Human safe mode puts the work folder back into the temp work folder.
    FEnv.Prompts().Shown.clear();
    FEnv.Module().FProgramOptions->FHumanSafeMode = true;
    const QString tempWork = FEnv.Module().Folders().TempWorkFolder;
    SetEdit("edtInputDir", FEnv.Module().Folders().TempInputFolder);
    SetEdit("edtWorkDir", data);
    Action("ALI_Project_StartBatch")->trigger();
    ASSERT_EQ(FEnv.Prompts().Shown.size(), 2);
    EXPECT_TRUE(
        FEnv.Prompts().Shown[0].contains(QStringLiteral("\"") + tempWork + QStringLiteral("\"")));
    EXPECT_EQ(FEnv.Prompts().Shown[1], validateFailed);
    EXPECT_EQ(Find<QLineEdit>("edtWorkDir")->text(), tempWork);
    EXPECT_TRUE(FEnv.Module().FBatchLogFileName.isEmpty());

    // A work folder holding the data root is refused with its reason in the error dialog.
    FEnv.Prompts().Shown.clear();
    FEnv.Module().FProgramOptions->FHumanSafeMode = false;
    const QString dataRoot = RealFolderPath(FEnv.Module().Folders().DataRoot);
    SetEdit("edtInputDir", data);
    SetEdit("edtWorkDir", dataRoot);
    Action("ALI_Project_StartBatch")->trigger();
    ASSERT_EQ(FEnv.Prompts().Shown.size(), 2);
    EXPECT_EQ(
        FEnv.Prompts().Shown[0],
        QStringLiteral("The Work Directory \"") + dataRoot +
            QStringLiteral("\" can not be used: it is or holds the program's data folder \"") +
            dataRoot +
            QStringLiteral("\" (options, projects, logs). A batch writes into this folder "
                           "and may empty it."));
    EXPECT_EQ(FEnv.Prompts().Shown[1], validateFailed);
    EXPECT_TRUE(FEnv.Module().FBatchLogFileName.isEmpty());
}

TEST_F(FormFrontTest, ABatchStartedFromTheWindowEndsDoneWithTheLogsCounts) {
    PrepareTree(3);
    ASSERT_TRUE(FEnv.AddCombination(QStringLiteral("*.*"), QStringLiteral("zq_kestrin_NoOp")));
    Action("ALI_Project_StartBatch")->trigger();

    EXPECT_EQ(Label("lblBatchStatusValue"), QStringLiteral("Done"));
    const int toDo = LogCount(QStringLiteral("Batch Paths to do (estimated):"));
    const int done = LogCount(QStringLiteral("Batch items done:"));
    EXPECT_GT(toDo, 0);
    EXPECT_EQ(done, toDo);
    EXPECT_EQ(Label("lblBatchPathsToDoValue"), QString::number(toDo));
    EXPECT_EQ(Label("lblBatchItemsDoneValue"), QString::number(done));
    const QRegularExpression used(QStringLiteral("Batch time used was ([^\r]*)\r\n"));
    EXPECT_EQ(Label("lblBatchTimeUsedValue"), used.match(LastLogText()).captured(1));
    EXPECT_FALSE(Find<QLabel>("lblBatchErrorValue")->isVisibleTo(&FEnv.Window()));
    EXPECT_TRUE(Action("ALI_Project_StartBatch")->isEnabled());
    EXPECT_FALSE(Action("ALI_Project_InterruptBatch")->isEnabled());
    EXPECT_TRUE(FEnv.Prompts().Shown.isEmpty())
        << FEnv.Prompts().Shown.join(QLatin1Char('|')).toStdString();

    // The Logs page lists the new log under "Batches".
    auto* tree = Find<QTreeWidget>("tvLogs");
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    QTreeWidgetItem* batches = tree->topLevelItem(1);
    EXPECT_EQ(batches->text(0), QStringLiteral("Batches"));
    ASSERT_EQ(batches->childCount(), 1);
    EXPECT_EQ(batches->child(0)->text(0), QFileInfo(FEnv.Module().FBatchLogFileName).fileName());
    tree->setCurrentItem(batches->child(0));
    EXPECT_EQ(Find<QLineEdit>("edtLogFilePath")->text(), FEnv.Module().FBatchLogFileName);
    EXPECT_TRUE(
        Find<QPlainTextEdit>("memLogView")->toPlainText().contains(QStringLiteral("Batch ended.")));
    EXPECT_TRUE(Find<QPlainTextEdit>("memLogView")->isReadOnly());
}

TEST_F(FormFrontTest, StopEndsTheBatchInterruptedByUser) {
    PrepareTree(4);
    ASSERT_TRUE(FEnv.AddCombination(QStringLiteral("*.txt"), QStringLiteral("zq_test_Gate")));
    bool checked = false;
    WhileHeld([&] {
        EXPECT_TRUE(FEnv.Window().IsBatchRunning());
        EXPECT_EQ(Label("lblBatchStatusValue"), QStringLiteral("Running"));
        EXPECT_FALSE(Action("ALI_Project_StartBatch")->isEnabled());
        ASSERT_TRUE(Action("ALI_Project_InterruptBatch")->isEnabled());
        // The progress page stays in front while Stop is offered.
        EXPECT_FALSE(Find<QTabWidget>("pcMain")->tabBar()->isEnabled());
        EXPECT_EQ(Find<QTabWidget>("pcMain")->currentWidget()->objectName(),
                  QStringLiteral("tsMainProgress"));
        Action("ALI_Project_InterruptBatch")->trigger();
        // At once: no second Stop, the pages can change, no new start until the end.
        EXPECT_FALSE(Action("ALI_Project_InterruptBatch")->isEnabled());
        EXPECT_TRUE(Find<QTabWidget>("pcMain")->tabBar()->isEnabled());
        EXPECT_FALSE(Action("ALI_Project_StartBatch")->isEnabled());
        checked = true;
    });
    Action("ALI_Project_StartBatch")->trigger();
    EXPECT_TRUE(checked);
    EXPECT_FALSE(FEnv.Window().IsBatchRunning());
    EXPECT_EQ(Label("lblBatchStatusValue"), QStringLiteral("Interrupted by user"));
    EXPECT_TRUE(LastLogText().contains(QStringLiteral("  Batch was interrupted by user.\r\n")));
    EXPECT_LT(LogCount(QStringLiteral("Batch items done:")), 4);
    EXPECT_EQ(Label("lblBatchItemsDoneValue"),
              QString::number(LogCount(QStringLiteral("Batch items done:"))));
    EXPECT_TRUE(Action("ALI_Project_StartBatch")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FormFrontTest, ClosingDuringABatchAsksInterruptsAndClosesAfterItsEnd) {
    PrepareTree(3);
    ASSERT_TRUE(FEnv.AddCombination(QStringLiteral("*.txt"), QStringLiteral("zq_test_Gate")));
    FEnv.Window().show();
    // First declined: the batch goes on to its end and the window stays.
    FEnv.Prompts().Answers = {false};
    WhileHeld([&] { EXPECT_FALSE(FEnv.Window().close()); });
    Action("ALI_Project_StartBatch")->trigger();
    EXPECT_EQ(FEnv.Prompts().Asked.value(0), QStringLiteral("Interrupt batch and exit?"));
    EXPECT_EQ(Label("lblBatchStatusValue"), QStringLiteral("Done"));
    EXPECT_TRUE(FEnv.Window().isVisible());

    // Confirmed: interrupted, its end logged, then the window closes (changes not saved: No).
    FEnv.Gate().Open = false;
    FEnv.Gate().Entered = false;
    FEnv.Prompts().Asked.clear();
    FEnv.Prompts().Answers = {true};
    FEnv.Prompts().ThreeWayAnswers = {TPromptAnswer::No};
    FEnv.Window().Project().SetProjectChanged();
    WhileHeld([&] {
        EXPECT_FALSE(FEnv.Window().close());
        EXPECT_TRUE(FEnv.Window().isVisible());
    });
    Action("ALI_Project_StartBatch")->trigger();
    EXPECT_EQ(FEnv.Prompts().Asked.value(0), QStringLiteral("Interrupt batch and exit?"));
    EXPECT_EQ(FEnv.Prompts().Asked.size(), 2);
    EXPECT_TRUE(LastLogText().contains(QStringLiteral("  Batch was interrupted by user.\r\n")));
    EXPECT_FALSE(FEnv.Window().isVisible());
    EXPECT_FALSE(FEnv.Module().FBatchStatusSet.Has(bsUserShutDownApp));
}

TEST_F(FormFrontTest, ClosingWithUnsavedChangesAsksAndCancelKeepsTheWindow) {
    FEnv.Window().show();
    Find<QCheckBox>("chkDeleteWorkFiles")->toggle();
    ASSERT_TRUE(FEnv.Window().Project().HasProjectChanged());
    FEnv.Prompts().ThreeWayAnswers = {TPromptAnswer::Cancel};
    EXPECT_FALSE(FEnv.Window().close());
    EXPECT_TRUE(FEnv.Window().isVisible());
    EXPECT_EQ(FEnv.Prompts().Asked.value(0), QStringLiteral("Save project changes?"));
    EXPECT_TRUE(FEnv.Window().Project().HasProjectChanged());

    // Yes without a file asks for one; cancelling that keeps the window too.
    FEnv.Prompts().ThreeWayAnswers = {TPromptAnswer::Yes};
    EXPECT_FALSE(FEnv.Window().close());
    EXPECT_TRUE(FEnv.Window().isVisible());

    FEnv.Prompts().ThreeWayAnswers = {TPromptAnswer::No};
    EXPECT_TRUE(FEnv.Window().close());
    EXPECT_FALSE(FEnv.Window().isVisible());
}

TEST_F(FormFrontTest, ABatchEndingWithAnEngineErrorShowsIt) {
    PrepareTree(2);
    ASSERT_TRUE(FEnv.AddCombination(QStringLiteral("*.txt"), QStringLiteral("zq_test_Failing")));
    ASSERT_EQ(FEnv.Window().Project().Combinations().Count(), 1);
    Action("ALI_Project_StartBatch")->trigger();
    auto* error = Find<QLabel>("lblBatchErrorValue");
    EXPECT_TRUE(error->isVisibleTo(&FEnv.Window()));
    EXPECT_TRUE(error->text().contains(QStringLiteral("disk on fire")))
        << error->text().toStdString();
    ASSERT_EQ(FEnv.Prompts().Shown.size(), 1);
    EXPECT_EQ(FEnv.Prompts().Shown[0], error->text());
    EXPECT_TRUE(Action("ALI_Project_StartBatch")->isEnabled());
}

TEST(FrontCommandStateTest, EnablingFollowsTheBatchStatus) {
    struct TCase {
        const char* Name;
        std::vector<TBatchStatusTypes> Flags;
        bool WrapperRunning;
        bool StopRequested;
        bool Start, Stop, Runtime, ChangePage, Edit, Wait;
    };
    const TCase cases[] = {
        {"idle", {}, false, false, true, false, false, true, true, false},
        {"wrapper starting", {}, true, false, false, true, false, false, false, false},
        {"core running",
         {bsWrapperActive, bsCoreActive, bsDisallowAllChangesGUI},
         true,
         false,
         false,
         true,
         true,
         false,
         false,
         false},
        {"stop pressed",
         {bsWrapperActive, bsCoreActive},
         true,
         true,
         false,
         false,
         false,
         true,
         false,
         true},
        {"plugin interrupted",
         {bsWrapperActive, bsCoreActive, bsIsInterrupted},
         true,
         false,
         false,
         false,
         false,
         true,
         false,
         true},
        {"ended interrupted",
         {bsWasInterrupted, bsSubUserInterrupted},
         false,
         false,
         true,
         false,
         false,
         true,
         true,
         false},
    };
    for (const TCase& c : cases) {
        TBatchStatusSet status;
        for (TBatchStatusTypes flag : c.Flags)
            status.Include(flag);
        const TFrontCommandState state =
            FrontCommandState(status, c.WrapperRunning, c.StopRequested);
        EXPECT_EQ(state.StartBatch, c.Start) << c.Name;
        EXPECT_EQ(state.InterruptBatch, c.Stop) << c.Name;
        EXPECT_EQ(state.RuntimeUpdate, c.Runtime) << c.Name;
        EXPECT_EQ(state.ChangePage, c.ChangePage) << c.Name;
        EXPECT_EQ(state.EditSettings, c.Edit) << c.Name;
        EXPECT_EQ(state.WaitPointer, c.Wait) << c.Name;
        EXPECT_TRUE(state.NewProject && state.OpenProject && state.SaveProject &&
                    state.SaveProjectAs && state.Exit)
            << c.Name;
    }
}

TEST(ProgressRelayTest, ManyPostsFromAnotherThreadArriveAsTheLatestOnce) {
    std::vector<std::pair<int, int>> delivered;
    TProgressRelay relay([&](int AMax, int APosition) { delivered.emplace_back(AMax, APosition); },
                         1);
    std::thread poster([&] {
        for (int i = 1; i <= 500; ++i)
            relay.Post(500, i);
    });
    poster.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !delivered.empty(); }, 10000));
    // Nothing more is pending once the latest numbers were shown.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered.back(), std::make_pair(500, 500));

    // A later post is delivered again; a cancelled one is not.
    relay.Post(500, 501);
    relay.Cancel();
    relay.Post(600, 7);
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered.size() == 2; }, 10000));
    EXPECT_EQ(delivered.back(), std::make_pair(600, 7));
}

TEST(FileDialogNameFilters, EachDescriptionAndPatternPairBecomesOneFilter) {
    struct TCase {
        QString Filter;
        QStringList Expected;
    };
    const TCase cases[] = {
        {QStringLiteral("Plovane project files (*.plv)|*.plv"),
         {QStringLiteral("Plovane project files (*.plv)")}},
        {QStringLiteral("XML file (*.xml)|*.xml|CSV file (*.csv;*.txt)|*.csv;*.txt|HTML file "
                        "(*.htm;*.html)|*.htm;*.html"),
         {QStringLiteral("XML file (*.xml)"), QStringLiteral("CSV file (*.csv *.txt)"),
          QStringLiteral("HTML file (*.htm *.html)")}},
        {QStringLiteral("Text file (*.txt)|*.txt|Ini file (*.ini)|*.ini"),
         {QStringLiteral("Text file (*.txt)"), QStringLiteral("Ini file (*.ini)")}},
        {QStringLiteral("All files"), {QStringLiteral("All files (*)")}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FileDialogNameFilters(c.Filter), c.Expected) << c.Filter.toStdString();
}

// The options dialog driven as a user would: the number edits and their track bars, the help
// pane that follows the focus, OK and Cancel against the options record and the Reopen menu,
// the open page kept in the options file, and the dialog in German.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

#include "app/module_shared.h"
#include "base/ini_document.h"
#include "tests/support/qstring_print.h"
#include "tests/ui/ui_test_env.h"
#include "ui/options/form_options.h"

namespace {

class FormOptionsTest : public ::testing::Test {
protected:
    TProgramOptions& Options() { return *FEnv.Module().FProgramOptions; }
    QString OptionsFile() { return FEnv.Module().Folders().OptionsFilePath(); }

    // A dialog on the test's module, shown and active, as the main window would open it.
    std::unique_ptr<TFormOptions> Open() {
        TFormOptionsSetup setup;
        setup.Module = &FEnv.Module();
        setup.Assistants = &FEnv.Window().Assistants();
        setup.ChooseFile = [this](const TProjectDialogSetup& ASetup) -> std::optional<QString> {
            FEnv.OpenDialogs.push_back(ASetup);
            if (FEnv.NextOpenFile.isEmpty())
                return std::nullopt;
            return FEnv.NextOpenFile;
        };
        setup.FileDialog = FEnv.Window().Project().DialogSetup();
        setup.OnReopenListPruned = [this] { ++FPruned; };
        auto dialog = std::make_unique<TFormOptions>(std::move(setup), &FEnv.Window());
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        QApplication::processEvents();
        return dialog;
    }
    template <typename T>
    static T* Find(QWidget& ADialog, const char* AName) {
        T* found = ADialog.findChild<T*>(QString::fromLatin1(AName));
        EXPECT_NE(found, nullptr) << AName;
        return found;
    }
    static void FocusOn(QWidget* AControl) {
        AControl->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    }
    // Replaces an edit's text by typing, keeping the focus in it.
    static void Type(QLineEdit* AEdit, const QString& AText) {
        FocusOn(AEdit);
        AEdit->selectAll();
        QTest::keyClick(AEdit, Qt::Key_Backspace);
        QTest::keyClicks(AEdit, AText);
    }
    // Leaves a control by focusing the help pane, which keeps its text.
    static void Leave(QWidget& ADialog) { FocusOn(Find<QPlainTextEdit>(ADialog, "memHelp")); }
    static QString Help(QWidget& ADialog) {
        return Find<QPlainTextEdit>(ADialog, "memHelp")->toPlainText();
    }
    // Runs AStep in the dialog the Options command opens; whatever the step leaves open is
    // cancelled.
    void FromMenu(std::function<void(TFormOptions&)> AStep) {
        QTimer::singleShot(0, &FEnv.Window(), [AStep] {
            auto* dialog = dynamic_cast<TFormOptions*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                ADD_FAILURE() << "the Options command showed no options dialog";
                if (QWidget* other = QApplication::activeModalWidget())
                    other->close();
                return;
            }
            AStep(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        FEnv.Window().findChild<QAction*>(QStringLiteral("ALI_Tools_Options"))->trigger();
    }
    QStringList ReopenMenuItems() {
        QStringList items;
        for (QAction* item :
             FEnv.Window().findChild<QMenu*>(QStringLiteral("miFileReopen"))->actions())
            items << item->text();
        return items;
    }
    // Saves the new project under five names, which fills the reopen list and its menu.
    QStringList SaveUnderFiveNames() {
        QStringList paths;
        for (int i = 1; i <= 5; ++i) {
            FEnv.NextSaveFile = FEnv.Temp().Path(QStringLiteral("p%1.plv").arg(i));
            FEnv.Window().findChild<QAction*>(QStringLiteral("ALI_File_SaveProjectAs"))->trigger();
            paths.prepend(FEnv.NextSaveFile);
        }
        return paths;
    }

    TUiTestEnvironment FEnv;
    int FPruned = 0;
};

// Every option the dialog edits, for comparing the record before and after.
struct TEdited {
    QString DefaultProject;
    bool LoadLast;
    int ReopenSize;
    QStringList ReopenList;
    bool Windows;
    bool Toolbars;
    bool Misc;
    bool HumanSafe;
    int LogCount;

    static TEdited Of(const TProgramOptions& AOptions) {
        return {AOptions.FProjectUserDefaultPath, AOptions.FProjectAlwaysLoadLast,
                AOptions.FProjectReopenListSize,  AOptions.FProjectReopenList,
                AOptions.FSaveWindowsSetup,       AOptions.FSaveToolbarsSetup,
                AOptions.FSaveMiscSetup,          AOptions.FHumanSafeMode,
                AOptions.FBatchLogCount};
    }
    bool operator==(const TEdited&) const = default;
};

// "section|key" -> value of every section but the dialog's own.
std::map<QString, QString> OptionValues(const QString& APath) {
    const TIniDocument ini = TIniDocument::FromFile(APath);
    std::map<QString, QString> values;
    for (const QString& section : ini.SectionNames()) {
        if (section == TFormOptions::KSetupSection)
            continue;
        for (const QString& key : ini.KeyNames(section))
            values[section + QLatin1Char('|') + key] = ini.ReadString(section, key);
    }
    return values;
}

}  // namespace

TEST_F(FormOptionsTest, NumberEditsFollowTheirRulesWhileTypingAndWhenLeft) {
    struct TCase {
        int Page;
        const char* Edit;
        const char* Track;
        const char* Typed;
        const char* WhileTyping;  // the edit's text before it is left
        int BarWhileTyping;
        const char* Left;  // the edit's text after it is left (the bar's position)
    };
    // The bars start at the defaults: reopen list size 8, log count 40.
    const TCase cases[] = {
        {0, "edtReopenListSizeGP", "tbrReopenListSizeGP", "25", "25", 20, "20"},
        {3, "edtLogCountLB", "tbrLogCountLB", "abc", "abc", 40, "0"},
        {0, "edtReopenListSizeGP", "tbrReopenListSizeGP", "abc", "ab", 8, "0"},
        {0, "edtReopenListSizeGP", "tbrReopenListSizeGP", "007", "7", 7, "7"},
        {3, "edtLogCountLB", "tbrLogCountLB", "1234", "123", 100, "100"},
        {3, "edtLogCountLB", "tbrLogCountLB", "100", "100", 100, "100"},
        {3, "edtLogCountLB", "tbrLogCountLB", " 5 ", "5", 5, "5"},
        {3, "edtLogCountLB", "tbrLogCountLB", "-3", "-3", 0, "0"},
        {0, "edtReopenListSizeGP", "tbrReopenListSizeGP", "", "", 8, "0"},
        {0, "edtReopenListSizeGP", "tbrReopenListSizeGP", "0", "0", 0, "0"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Edit) + " typed \"" + c.Typed + "\"");
        const std::unique_ptr<TFormOptions> dialog = Open();
        Find<QTabWidget>(*dialog, "pgcOptions")->setCurrentIndex(c.Page);
        auto* edit = Find<QLineEdit>(*dialog, c.Edit);
        auto* track = Find<QSlider>(*dialog, c.Track);
        Type(edit, QString::fromLatin1(c.Typed));
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.WhileTyping));
        EXPECT_EQ(track->value(), c.BarWhileTyping);
        Leave(*dialog);
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.Left));
        EXPECT_EQ(track->value(), QString::fromLatin1(c.Left).toInt());
    }
}

TEST_F(FormOptionsTest, MovingATrackBarWritesItsPositionIntoTheEdit) {
    const std::unique_ptr<TFormOptions> dialog = Open();
    Find<QSlider>(*dialog, "tbrReopenListSizeGP")->setValue(13);
    EXPECT_EQ(Find<QLineEdit>(*dialog, "edtReopenListSizeGP")->text(), QStringLiteral("13"));
    auto* logs = Find<QSlider>(*dialog, "tbrLogCountLB");
    EXPECT_EQ(logs->tickInterval(), 5);
    EXPECT_EQ(logs->maximum(), 100);
    FocusOn(logs);
    QTest::keyClick(logs, Qt::Key_End);
    EXPECT_EQ(Find<QLineEdit>(*dialog, "edtLogCountLB")->text(), QStringLiteral("100"));
}

TEST_F(FormOptionsTest, StoredNumbersOutsideTheRangesShowAsTheirEndsAndOkSavesThem) {
    struct TCase {
        int StoredSize;
        int StoredCount;
        int ShownSize;
        int ShownCount;
    };
    const TCase cases[] = {{25, 150, 20, 100}, {-4, -1, 0, 0}, {20, 100, 20, 100}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.StoredSize);
        for (const bool ok : {false, true}) {
            Options().FProjectReopenListSize = c.StoredSize;
            Options().FBatchLogCount = c.StoredCount;
            const std::unique_ptr<TFormOptions> dialog = Open();
            EXPECT_EQ(Find<QLineEdit>(*dialog, "edtReopenListSizeGP")->text(),
                      QString::number(c.ShownSize));
            EXPECT_EQ(Find<QSlider>(*dialog, "tbrReopenListSizeGP")->value(), c.ShownSize);
            EXPECT_EQ(Find<QLineEdit>(*dialog, "edtLogCountLB")->text(),
                      QString::number(c.ShownCount));
            EXPECT_EQ(Find<QSlider>(*dialog, "tbrLogCountLB")->value(), c.ShownCount);
            Find<QPushButton>(*dialog, ok ? "btnOK" : "btnCancel")->click();
            EXPECT_EQ(dialog->result(), ok ? QDialog::Accepted : QDialog::Rejected);
            EXPECT_EQ(Options().FProjectReopenListSize, ok ? c.ShownSize : c.StoredSize);
            EXPECT_EQ(Options().FBatchLogCount, ok ? c.ShownCount : c.StoredCount);
        }
    }
}

TEST_F(FormOptionsTest, OkCopiesEveryControlAndShortensTheReopenListAndMenuAtOnce) {
    const QStringList saved = SaveUnderFiveNames();
    ASSERT_EQ(Options().FProjectReopenList, saved);
    ASSERT_EQ(ReopenMenuItems().size(), 5);
    ASSERT_TRUE(QDir().mkpath(FEnv.Module().Folders().ConfigFolder));
    ASSERT_TRUE(Options().SaveToFile(OptionsFile(), FEnv.Module().Placeholders()));
    const std::map<QString, QString> fileBefore = OptionValues(OptionsFile());
    ASSERT_EQ(fileBefore.at(QStringLiteral("ProgramOptions.General|ReopenListSize")),
              QStringLiteral("8"));
    QAction* command = FEnv.Window().findChild<QAction*>(QStringLiteral("ALI_Tools_Options"));
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->text(), QStringLiteral("Options"));
    EXPECT_TRUE(command->isEnabled());
    EXPECT_TRUE(
        FEnv.Window().findChild<QMenu*>(QStringLiteral("miTools"))->actions().contains(command));

    FromMenu([this](TFormOptions& ADialog) {
        Type(Find<QLineEdit>(ADialog, "edtDefaultProjectGP"), QStringLiteral("nowhere/x.plv"));
        Find<QCheckBox>(ADialog, "chkLoadLastProjectGP")->setChecked(true);
        Type(Find<QLineEdit>(ADialog, "edtReopenListSizeGP"), QStringLiteral("2"));
        Find<QCheckBox>(ADialog, "chkWindowsVU")->setChecked(false);
        Find<QCheckBox>(ADialog, "chkToolbarsVU")->setChecked(false);
        Find<QCheckBox>(ADialog, "chkMiscVU")->setChecked(false);
        Find<QCheckBox>(ADialog, "chkHumanSafeModeSB")->setChecked(false);
        Find<QSlider>(ADialog, "tbrLogCountLB")->setValue(7);
        Find<QPushButton>(ADialog, "btnOK")->click();
    });

    EXPECT_EQ(Options().FProjectUserDefaultPath, QStringLiteral("nowhere/x.plv"));
    EXPECT_TRUE(Options().FProjectAlwaysLoadLast);
    EXPECT_EQ(Options().FProjectReopenListSize, 2);
    EXPECT_FALSE(Options().FSaveWindowsSetup);
    EXPECT_FALSE(Options().FSaveToolbarsSetup);
    EXPECT_FALSE(Options().FSaveMiscSetup);
    EXPECT_FALSE(Options().FHumanSafeMode);
    EXPECT_EQ(Options().FBatchLogCount, 7);
    // Pruned to the two most recent, which the menu shows without anything else happening.
    EXPECT_EQ(Options().FProjectReopenList, saved.mid(0, 2));
    const QStringList menu = ReopenMenuItems();
    ASSERT_EQ(menu.size(), 2);
    EXPECT_TRUE(menu[0].endsWith(QStringLiteral("p5.plv")));
    EXPECT_TRUE(menu[1].endsWith(QStringLiteral("p4.plv")));
    // The options reach the file only when the program ends.
    EXPECT_EQ(OptionValues(OptionsFile()), fileBefore);
}

TEST_F(FormOptionsTest, CancelOrClosingLeavesEveryOptionAsItWas) {
    SaveUnderFiveNames();
    Options().FProjectUserDefaultPath = QStringLiteral("/projects/default.plv");
    const TEdited before = TEdited::Of(Options());
    const QStringList menuBefore = ReopenMenuItems();
    const std::function<void(TFormOptions&)> closings[] = {
        [](TFormOptions& ADialog) { Find<QPushButton>(ADialog, "btnCancel")->click(); },
        [](TFormOptions& ADialog) { QTest::keyClick(&ADialog, Qt::Key_Escape); },
        [](TFormOptions& ADialog) { ADialog.close(); },
    };
    for (const auto& closeDialog : closings) {
        FromMenu([&closeDialog](TFormOptions& ADialog) {
            Type(Find<QLineEdit>(ADialog, "edtDefaultProjectGP"), QStringLiteral("other.plv"));
            Find<QCheckBox>(ADialog, "chkLoadLastProjectGP")->toggle();
            Type(Find<QLineEdit>(ADialog, "edtReopenListSizeGP"), QStringLiteral("1"));
            for (const char* check :
                 {"chkWindowsVU", "chkToolbarsVU", "chkMiscVU", "chkHumanSafeModeSB"})
                Find<QCheckBox>(ADialog, check)->toggle();
            Find<QSlider>(ADialog, "tbrLogCountLB")->setValue(3);
            closeDialog(ADialog);
            EXPECT_FALSE(ADialog.isVisible());
        });
        EXPECT_TRUE(TEdited::Of(Options()) == before);
        EXPECT_EQ(ReopenMenuItems(), menuBefore);
    }
    EXPECT_EQ(FPruned, 0);
}

TEST_F(FormOptionsTest, HelpPaneFollowsTheFocusedControl) {
    const QString batchLogs = FEnv.Module().Folders().BatchLogsFolder;
    ASSERT_FALSE(batchLogs.isEmpty());
    const QString noHelp = QStringLiteral("No help available for this topic.");
    const QString reopen = QStringLiteral("Choose a value between 0 and 20.");
    const QString projectPath = QStringLiteral(
        "Defines the path to the default project (containing setup). It is used everytime \"new "
        "project\" action is executed.\n\nIf the specified project file does not exist upon "
        "launch of Plovane a default template will be used instead.");
    const QString logCount =
        QStringLiteral(
            "Choose a value between 0 and 100.\n\nLog files are stored in \"%1\".\n\nAs the "
            "number of log files outgrow the limit selected, the oldest log files will be "
            "deleted.")
            .arg(batchLogs);
    struct TCase {
        int Page;
        const char* Control;
        QString Help;
    };
    const TCase cases[] = {
        {0, "btnOK", noHelp},
        {0, "edtDefaultProjectGP", projectPath},
        {0, "btnDefaultProjectGP", projectPath},
        {0, "chkLoadLastProjectGP",
         QStringLiteral("Defines if Plovane should open with the last active project.\n\nIf the "
                        "given project does not exist upon launch of Plovane the default project "
                        "will be shown instead.")},
        {0, "edtReopenListSizeGP", reopen},
        {0, "tbrReopenListSizeGP", reopen},
        {0, "btnCancel", noHelp},
        {1, "chkWindowsVU", QStringLiteral("Remember windows position, size, and state.")},
        {1, "chkToolbarsVU", QStringLiteral("Remember toolbars position, size, and state.")},
        {1, "chkMiscVU", QStringLiteral("Remember miscellaneous setup.")},
        {2, "chkHumanSafeModeSB",
         QStringLiteral("This will have Plovane enforce \"as safe as possible\" user "
                        "configuration of all setup not directly tied into specific plugins.\n\n"
                        "It can not hinder wrong setup of plugins. It can also not prevent "
                        "plugins that have bugs to misbehave (the same risks as with most other "
                        "software).\n\nRecommended to have checked as a safeguard.")},
        {3, "edtLogCountLB", logCount},
        {3, "tbrLogCountLB", logCount},
        {3, "btnOK", noHelp},
    };
    const std::unique_ptr<TFormOptions> dialog = Open();
    auto* pages = Find<QTabWidget>(*dialog, "pgcOptions");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Control);
        pages->setCurrentIndex(c.Page);
        FocusOn(Find<QWidget>(*dialog, c.Control));
        ASSERT_EQ(QApplication::focusWidget(), Find<QWidget>(*dialog, c.Control));
        EXPECT_EQ(Help(*dialog), c.Help);
        // The pane itself keeps what it shows.
        Leave(*dialog);
        EXPECT_EQ(Help(*dialog), c.Help);
    }
}

TEST_F(FormOptionsTest, EachPageStartsWithItsFirstControlFocused) {
    const char* const starts[] = {"edtDefaultProjectGP", "chkWindowsVU", "chkHumanSafeModeSB",
                                  "edtLogCountLB"};
    const std::unique_ptr<TFormOptions> dialog = Open();
    auto* pages = Find<QTabWidget>(*dialog, "pgcOptions");
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(*dialog, starts[0]));
    EXPECT_TRUE(Help(*dialog).startsWith(QStringLiteral("Defines the path")));
    for (const int page : {3, 1, 2, 0, 3}) {
        pages->setCurrentIndex(page);
        QApplication::processEvents();
        EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(*dialog, starts[page])) << page;
    }
    EXPECT_TRUE(Help(*dialog).startsWith(QStringLiteral("Choose a value between 0 and 100.")));
}

TEST_F(FormOptionsTest, TheOpenPageIsKeptOnlyWithTheMiscellaneousOption) {
    struct TCase {
        bool Misc;
        bool Windows;
    };
    for (const TCase c :
         {TCase{true, true}, TCase{true, false}, TCase{false, true}, TCase{false, false}}) {
        SCOPED_TRACE(std::to_string(c.Misc) + std::to_string(c.Windows));
        QFile::remove(OptionsFile());
        Options().FSaveMiscSetup = c.Misc;
        Options().FSaveWindowsSetup = c.Windows;
        {
            const std::unique_ptr<TFormOptions> dialog = Open();
            Find<QTabWidget>(*dialog, "pgcOptions")->setCurrentIndex(2);
            Find<QPushButton>(*dialog, "btnCancel")->click();
        }
        const TIniDocument ini = TIniDocument::FromFile(OptionsFile());
        EXPECT_EQ(ini.ValueExists(QStringLiteral("FormOptions"),
                                  QStringLiteral("pgcOptions.ActivePageIndex")),
                  c.Misc);
        if (c.Misc) {
            EXPECT_EQ(ini.ReadString(QStringLiteral("FormOptions"),
                                     QStringLiteral("pgcOptions.ActivePageIndex")),
                      QStringLiteral("2"));
        }
        EXPECT_EQ(ini.ValueExists(QStringLiteral("FormOptions"), QStringLiteral("Geometry")),
                  c.Windows);
        // The next opening shows that page, and its first control has the focus.
        const std::unique_ptr<TFormOptions> again = Open();
        EXPECT_EQ(Find<QTabWidget>(*again, "pgcOptions")->currentIndex(), c.Misc ? 2 : 0);
        EXPECT_EQ(QApplication::focusWidget(),
                  Find<QWidget>(*again, c.Misc ? "chkHumanSafeModeSB" : "edtDefaultProjectGP"));
    }
}

TEST_F(FormOptionsTest, AStoredPageThatIsNoPageOpensTheFirstOne) {
    for (const char* stored : {"4", "-1", "abc", ""}) {
        SCOPED_TRACE(stored);
        TIniDocument ini = TIniDocument::FromFile(OptionsFile());
        ini.WriteString(QStringLiteral("FormOptions"), QStringLiteral("pgcOptions.ActivePageIndex"),
                        QString::fromLatin1(stored));
        ASSERT_TRUE(QDir().mkpath(FEnv.Module().Folders().ConfigFolder));
        QFile file(OptionsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(ini.ToText().toUtf8());
        file.close();
        const std::unique_ptr<TFormOptions> dialog = Open();
        EXPECT_EQ(Find<QTabWidget>(*dialog, "pgcOptions")->currentIndex(), 0);
        Find<QPushButton>(*dialog, "btnCancel")->click();
    }
}

TEST_F(FormOptionsTest, ASetupThatCannotBeWrittenIsLoggedAndChangesNothingElse) {
    // The options file is a folder: nothing can be written over it.
    ASSERT_TRUE(QDir().mkpath(OptionsFile()));
    {
        const std::unique_ptr<TFormOptions> dialog = Open();
        Find<QTabWidget>(*dialog, "pgcOptions")->setCurrentIndex(1);
        Find<QPushButton>(*dialog, "btnOK")->click();
    }
    EXPECT_TRUE(QFileInfo(OptionsFile()).isDir());
    const QString log = QString::fromUtf8(ReadWholeFile(FEnv.Module().Folders().ProgramLogPath()));
    EXPECT_TRUE(log.contains(QStringLiteral("The options dialog's setup could not be kept")))
        << log.toStdString();
}

TEST_F(FormOptionsTest, TheFileButtonOffersProjectFilesFromTheProjectsFolder) {
    FEnv.NextOpenFile = FEnv.Temp().Path(QStringLiteral("chosen/default.plv"));
    FromMenu([this](TFormOptions& ADialog) {
        Find<QPushButton>(ADialog, "btnDefaultProjectGP")->click();
        EXPECT_EQ(Find<QLineEdit>(ADialog, "edtDefaultProjectGP")->text(), FEnv.NextOpenFile);
        // Cancelled, the edit keeps what it has.
        FEnv.NextOpenFile.clear();
        Find<QPushButton>(ADialog, "btnDefaultProjectGP")->click();
        EXPECT_EQ(Find<QLineEdit>(ADialog, "edtDefaultProjectGP")->text(),
                  FEnv.Temp().Path(QStringLiteral("chosen/default.plv")));
        Find<QPushButton>(ADialog, "btnOK")->click();
    });
    ASSERT_EQ(FEnv.OpenDialogs.size(), 2u);
    EXPECT_EQ(FEnv.OpenDialogs[0].Filter, QStringLiteral("Plovane project files (*.plv)|*.plv"));
    EXPECT_EQ(FEnv.OpenDialogs[0].DefaultExtension, QStringLiteral("plv"));
    EXPECT_EQ(FEnv.OpenDialogs[0].StartFolder, FEnv.Module().Folders().ProjectsFolder);
    EXPECT_EQ(Options().FProjectUserDefaultPath,
              FEnv.Temp().Path(QStringLiteral("chosen/default.plv")));
}

TEST_F(FormOptionsTest, InGermanTheCaptionsAndHelpTextsAreGerman) {
    FEnv.Window().ChangeLanguage(QStringLiteral("de-de"));
    const std::unique_ptr<TFormOptions> dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Optionen"));
    auto* pages = Find<QTabWidget>(*dialog, "pgcOptions");
    EXPECT_EQ(pages->tabText(0), QStringLiteral("Allgemein"));
    EXPECT_EQ(pages->tabText(3), QStringLiteral("Protokolle"));
    EXPECT_EQ(Find<QPushButton>(*dialog, "btnCancel")->text(), QStringLiteral("&Abbrechen"));
    EXPECT_EQ(Find<QCheckBox>(*dialog, "chkHumanSafeModeSB")->text(),
              QStringLiteral("&Sicherheitsmodus"));
    EXPECT_EQ(Find<QLabel>(*dialog, "pnlDynamicHelp")->text(), QStringLiteral("Dynamische Hilfe"));
    FocusOn(Find<QWidget>(*dialog, "btnOK"));
    EXPECT_EQ(Help(*dialog), QStringLiteral("Für dieses Thema ist keine Hilfe verfügbar."));
    pages->setCurrentIndex(3);
    QApplication::processEvents();
    EXPECT_TRUE(Help(*dialog).startsWith(
        QStringLiteral("Wählen Sie einen Wert zwischen 0 und 100.\n\nDie Protokolldateien "
                       "liegen in \"%1\".")
            .arg(FEnv.Module().Folders().BatchLogsFolder)))
        << Help(*dialog).toStdString();
    pages->setCurrentIndex(0);
    QApplication::processEvents();
    EXPECT_TRUE(Help(*dialog).contains(QStringLiteral("beim Start von Plovane")));
    EXPECT_EQ(FEnv.Window().findChild<QAction*>(QStringLiteral("ALI_Tools_Options"))->text(),
              QStringLiteral("Optionen"));

    // Back to English while the dialog is open: its captions and help follow.
    FocusOn(Find<QWidget>(*dialog, "btnOK"));
    FEnv.Window().ChangeLanguage(QStringLiteral("en-us"));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Options"));
    EXPECT_EQ(pages->tabText(0), QStringLiteral("General"));
    EXPECT_EQ(Help(*dialog), QStringLiteral("No help available for this topic."));
}

TEST_F(FormOptionsTest, ALogCountAcceptedDuringABatchIsWhatTheBatchKeepsAtItsEnd) {
    FEnv.Module().FProgramOptions->FHumanSafeMode = true;
    FEnv.WriteInput(QStringLiteral("a.txt"));
    ASSERT_TRUE(FEnv.AddCombination(QStringLiteral("*.*"), QStringLiteral("zq_test_Gate")));
    // Older logs that the new count leaves out.
    const QString logs = FEnv.Module().Folders().BatchLogsFolder;
    for (const char* old : {"2020-01-01 00-00-00 old1.log", "2020-01-02 00-00-00 old2.log"}) {
        QFile file(logs + QString::fromLatin1(old));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QTimer::singleShot(0, &FEnv.Window(), [this] {
        if (!FEnv.Gate().WaitEntered()) {
            ADD_FAILURE() << "the batch never reached its first path";
            FEnv.Gate().Release();
            return;
        }
        FromMenu([](TFormOptions& ADialog) {
            Find<QSlider>(ADialog, "tbrLogCountLB")->setValue(1);
            Find<QPushButton>(ADialog, "btnOK")->click();
        });
        FEnv.Gate().Release();
    });
    FEnv.Window().StartBatch();
    ASSERT_TRUE(FEnv.Window().LastBatchResult().has_value());
    EXPECT_EQ(Options().FBatchLogCount, 1);
    const QStringList kept = QDir(logs).entryList(QDir::Files);
    ASSERT_EQ(kept.size(), 1) << qPrintable(kept.join(QLatin1Char(',')));
    EXPECT_EQ(logs + kept[0], FEnv.Window().LastBatchResult()->LogPath);
}

// The options file around the dialog and the end of the program, on a module of the test's own.
TEST(FormOptionsFileTest, OkLeavesTheFileAloneAndTheEndOfTheProgramWritesIt) {
    TTempFolder temp;
    const TScopedEnv dataHome("XDG_DATA_HOME", temp.MakeFolder(QStringLiteral("xdg")).toUtf8());
    TModuleEnvironment env;
    env.ProgramFolder = temp.MakeFolder(QStringLiteral("prog"));
    env.DocumentsFolder = temp.MakeFolder(QStringLiteral("home/Documents"));
    auto module = std::make_unique<TModuleShared>(std::move(env));
    const QString path = module->Folders().OptionsFilePath();
    ASSERT_TRUE(QDir().mkpath(module->Folders().ConfigFolder));
    const QByteArray stored =
        "[ProgramOptions.General]\r\nReopenListSize=8\r\n\r\n[ProgramOptions.Logging]\r\n"
        "BatchLogCount=40\r\n\r\n[Someone.Else]\r\nKey=kept\r\n";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(stored);
    }
    {
        TqvlgLanguageAssistantsGui assistants(module->FLanguageComposite->Core());
        TFormOptionsSetup setup;
        setup.Module = module.get();
        setup.Assistants = &assistants;
        TFormOptions dialog(std::move(setup));
        dialog.show();
        dialog.findChild<QSlider*>(QStringLiteral("tbrReopenListSizeGP"))->setValue(3);
        dialog.findChild<QSlider*>(QStringLiteral("tbrLogCountLB"))->setValue(55);
        dialog.findChild<QTabWidget*>(QStringLiteral("pgcOptions"))->setCurrentIndex(3);
        dialog.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
        EXPECT_EQ(module->FProgramOptions->FProjectReopenListSize, 3);
        EXPECT_EQ(ReadWholeFile(path), stored);
    }
    // Closing the dialog kept its page, and nothing else changed in the file.
    EXPECT_EQ(OptionValues(path),
              OptionValues(temp.WriteFile(QStringLiteral("stored.ini"), stored)));
    EXPECT_EQ(TIniDocument::FromFile(path).ReadString(QStringLiteral("FormOptions"),
                                                      QStringLiteral("pgcOptions.ActivePageIndex")),
              QStringLiteral("3"));

    module.reset();
    const TIniDocument ini = TIniDocument::FromFile(path);
    EXPECT_EQ(
        ini.ReadString(QStringLiteral("ProgramOptions.General"), QStringLiteral("ReopenListSize")),
        QStringLiteral("3"));
    EXPECT_EQ(
        ini.ReadString(QStringLiteral("ProgramOptions.Logging"), QStringLiteral("BatchLogCount")),
        QStringLiteral("55"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Someone.Else"), QStringLiteral("Key")),
              QStringLiteral("kept"));
    EXPECT_EQ(
        ini.ReadString(QStringLiteral("FormOptions"), QStringLiteral("pgcOptions.ActivePageIndex")),
        QStringLiteral("3"));
}

#include "project/project_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <memory>

#include "app/module_shared.h"
#include "base/exceptions.h"
#include "base/ini_document.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "tests/project/test_plugins.h"
#include "tests/support/child_process.h"
#include "tests/support/garbled_projects.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_folders.h"

namespace {

const QByteArray KUtf8Mark("\xEF\xBB\xBF", 3);

QStringList Rows(const TCombinationList& AList) {
    QStringList rows;
    for (const TCombinationEntry& entry : AList.Entries())
        rows << entry.Pattern->PatType + QLatin1Char('>') + entry.Plugin->FPluginInfoHost.StrID;
    return rows;
}

void ExpectSameSettings(const TProjectGeneralSettings& A, const TProjectGeneralSettings& B) {
    EXPECT_EQ(A.InputDirPath, B.InputDirPath);
    EXPECT_EQ(A.WorkDirPath, B.WorkDirPath);
    EXPECT_EQ(A.OnlyCopyHandledPaths, B.OnlyCopyHandledPaths);
    EXPECT_EQ(A.DeleteWorkDirFiles, B.DeleteWorkDirFiles);
    EXPECT_EQ(A.InputDirIsWorkDir, B.InputDirIsWorkDir);
    EXPECT_EQ(A.IncludeSubDirs, B.IncludeSubDirs);
    EXPECT_EQ(A.MaxWorkerThreads, B.MaxWorkerThreads);
}

// A real application module on temporary folders, the test plugins in its modules folder and a
// project controller on both.
class ProjectFileTest : public ::testing::Test {
protected:
    ProjectFileTest() {
        TModuleEnvironment environment;
        environment.ProgramFolder = FTemp.MakeFolder(QStringLiteral("prog"));
        environment.DocumentsFolder = FTemp.MakeFolder(QStringLiteral("home/Documents"));
        environment.Prompts = &FPrompts;
        environment.Clock = [this] { return FNow; };
        FModule = std::make_unique<TModuleShared>(std::move(environment));
        QDir().mkpath(Folders().ProjectsFolder);
        FPlugins = std::make_unique<TTestPluginSet>(Folders().ModulesFolder, Folders().TempFolder,
                                                    &FModule->FLogging);
        FPlugins->Add({QStringLiteral("Files"),
                       KFilesID,
                       PLV_CAN_WORK_FILES,
                       QStringLiteral(".txt"),
                       false,
                       {QStringLiteral("Opt")}});
        FPlugins->Add({QStringLiteral("Dirs"), KDirsID, PLV_CAN_WORK_DIRECTORIES, {}, false, {}});
        FPlugins->Add({QStringLiteral("All"),
                       KAllID,
                       PLV_CAN_WORK_FILES | PLV_CAN_WORK_DIRECTORIES | PLV_CAN_WORK_ROOT,
                       {},
                       true,
                       {}});
        FPlugins->Discover();
        FController = MakeController();
    }

    std::unique_ptr<TProjectController> MakeController() {
        auto controller = std::make_unique<TProjectController>(
            TProjectEnvironment::FromModule(*FModule, FPlugins->Host()));
        controller->ChooseSaveFile = [this](const TProjectDialogSetup&) { return FSaveChoice; };
        controller->ChooseOpenFile = [this](const TProjectDialogSetup&) { return FOpenChoice; };
        return controller;
    }

    const TFolderTable& Folders() const { return FModule->Folders(); }
    TProgramOptions& Options() const { return *FModule->FProgramOptions; }
    TPluginStoredLibInfo* Plugin(const QString& AStrID) const { return &FPlugins->Plugin(AStrID); }
    QString ProjectPath(const QString& AName) const { return Folders().ProjectsFolder + AName; }

    // A project file with the given lines in its one section.
    QString WriteProject(const QString& AName, const QStringList& ALines,
                         const QByteArray& APrefix = {}) const {
        const QString path = ProjectPath(AName);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(APrefix);
        file.write(QStringLiteral("[Project Details]\r\n").toUtf8());
        for (const QString& line : ALines)
            file.write((line + QStringLiteral("\r\n")).toUtf8());
        return path;
    }

    QString ProgramLog() const {
        return QString::fromUtf8(ReadWholeFile(FModule->FLogging.FLogFileName));
    }

    // A project with one combination of each plugin, saved as AName.
    QString SaveSampleProject(const QString& AName) {
        FController->LoadProject({}, true);
        TCombinationList& list = FController->Combinations();
        list.AddItem(QStringLiteral("*.txt"), false, Plugin(KFilesID));
        list.AddItem(QStringLiteral("/"), false, Plugin(KDirsID));
        FSaveChoice = ProjectPath(AName);
        EXPECT_TRUE(FController->SaveProjectAs());
        return ProjectPath(AName);
    }

    TTempFolder FTemp;
    TScriptedPrompts FPrompts;
    QDateTime FNow = QDateTime(QDate(2026, 12, 9), QTime(12, 0, 5));
    std::unique_ptr<TModuleShared> FModule;
    std::unique_ptr<TTestPluginSet> FPlugins;
    std::unique_ptr<TProjectController> FController;
    std::optional<QString> FSaveChoice;
    std::optional<QString> FOpenChoice;
};

}  // namespace

TEST_F(ProjectFileTest, EveryPropertyKindAndSettingSurvivesSaveAndLoad) {
    TProjectController& controller = *FController;
    controller.LoadProject({}, true);
    TProjectGeneralSettings settings;
    settings.InputDirPath = Folders().DataFolder + QStringLiteral("site in/");
    settings.WorkDirPath = FTemp.Path(QStringLiteral("wörk ✓/"));
    settings.OnlyCopyHandledPaths = false;
    settings.DeleteWorkDirFiles = false;
    settings.InputDirIsWorkDir = true;
    settings.IncludeSubDirs = false;
    settings.MaxWorkerThreads = 4;
    controller.SetGeneralSettings(settings);

    TCombinationList& list = controller.Combinations();
    list.AddItem(QStringLiteral("*.txt"), false, Plugin(KAllID));
    list.AddItem(QStringLiteral("\\reports\\"), true, Plugin(KDirsID));
    list.AddItem(QStringLiteral(":"), false, Plugin(KAllID));
    list.SetValueStream(0, QStringLiteral("Mode"), StoredSingle(QStringLiteral("c")));
    list.SetValueStream(0, QStringLiteral("Set"), StoredMultiple({QStringLiteral("b")}));
    list.SetValueStream(0, QStringLiteral("Boxes"),
                        StoredBoxes({{QStringLiteral("user"), QStringLiteral("Zoë")},
                                     {QStringLiteral("port"), QStringLiteral("8021")}}));
    list.SetValueStream(0, QStringLiteral("Rules"),
                        StoredGrid({QStringLiteral("find"), QStringLiteral("replace")},
                                   {{0, 0, QStringLiteral("a")},
                                    {1, 0, QStringLiteral("b\r\nc")},
                                    {0, 1, QStringLiteral("ü")},
                                    {1, 1, QString()}}));
    list.SetValueStream(0, QStringLiteral("Doc"),
                        StoredFile(QStringLiteral("line one\r\nzwei ✓\r\n")));
    list.SetValueStream(0, QStringLiteral("Custom"), QByteArray("\x00\x01\xFE\xFF", 4));
    const std::vector<TBatchCombination> before = controller.BatchCombinations();
    const QStringList delivered = FPlugins->Deliver(before[0]);
    EXPECT_EQ(
        delivered,
        QStringList(
            {QStringLiteral("ChoiceValue(Mode,c)"), QStringLiteral("ChoiceValueCount(Set,1)"),
             QStringLiteral("ChoiceValue(Set,b)"), QStringLiteral("TextBoxValue(Boxes,user,Zoë)"),
             QStringLiteral("TextBoxValue(Boxes,port,8021)"),
             QStringLiteral("GridValueCount(Rules,4)"), QStringLiteral("GridValue(Rules,find,0,a)"),
             QStringLiteral("GridValue(Rules,replace,0,b\r\nc)"),
             QStringLiteral("GridValue(Rules,find,1,ü)"),
             QStringLiteral("GridValue(Rules,replace,1,)"),
             QStringLiteral("FileValue(Doc,line one\r\nzwei ✓\r\n)")}));

    FSaveChoice = ProjectPath(QStringLiteral("site.plv"));
    ASSERT_TRUE(controller.SaveProjectAs());
    EXPECT_FALSE(controller.HasProjectChanged());

    const QByteArray bytes = ReadWholeFile(*FSaveChoice);
    EXPECT_TRUE(bytes.startsWith(KUtf8Mark + "[Project Details]\r\nSavedWithVersion=3.3.0\r\n"));
    EXPECT_FALSE(bytes.contains("\r\n\r\n"));
    EXPECT_EQ(TIniDocument::FromBytes(bytes).KeyNames(KProjectSection),
              QStringList({QStringLiteral("SavedWithVersion"), QStringLiteral("ProjectCreated"),
                           QStringLiteral("ProjectModified"), QStringLiteral("InputDirPath"),
                           QStringLiteral("WorkDirPath"), QStringLiteral("OnlyCopyHandledPaths"),
                           QStringLiteral("DeleteWorkDirFiles"),
                           QStringLiteral("InputDirIsWorkDir"), QStringLiteral("IncludeSubDirs"),
                           QStringLiteral("IncludeSubDirsSwitch"), QStringLiteral("ModulesConf")}));
    // The thread count under the old key, the switch under its own; the folder as placeholder.
    EXPECT_TRUE(bytes.contains("\r\nIncludeSubDirs=4\r\nIncludeSubDirsSwitch=0\r\n"));
    EXPECT_TRUE(bytes.contains("\r\nInputDirPath=?($AppDirData)?site in/\r\n"));
    EXPECT_TRUE(bytes.contains("\r\nProjectModified=2026-12-09 12:00:05\r\n"));

    const QStringList rows = Rows(list);
    EXPECT_EQ(rows, QStringList({QStringLiteral("*.txt>zq_test_all"),
                                 QStringLiteral("/reports>zq_test_dirs"),
                                 QStringLiteral(":>zq_test_all")}));
    // A fresh controller, as after a restart.
    FController.reset();
    std::unique_ptr<TProjectController> loaded = MakeController();
    loaded->LoadProject(*FSaveChoice, false);
    ExpectSameSettings(loaded->GeneralSettings(), settings);
    EXPECT_EQ(Rows(loaded->Combinations()), rows);
    const std::vector<TBatchCombination> after = loaded->BatchCombinations();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].Filter, before[i].Filter);
        EXPECT_EQ(after[i].Props.LibProps_Ref, before[i].Props.LibProps_Ref) << i;
    }
    EXPECT_EQ(FPlugins->Deliver(after[0]), delivered);
    EXPECT_EQ(loaded->CurrentFilePath(), *FSaveChoice);
    EXPECT_TRUE(loaded->HasActiveDiscProject());
    EXPECT_FALSE(loaded->HasProjectChanged());
    EXPECT_TRUE(loaded->LastDroppedCombinations().empty());
    EXPECT_EQ(Options().FProjectData_ModifiedDT, FNow);
}

TEST_F(ProjectFileTest, IncludeSubDirsHoldsTheThreadCountAndItsOwnKeyDecidesTheSwitch) {
    struct TCase {
        const char* Name;
        QStringList Lines;
        int Threads;
        bool SubDirs;
    };
    const std::vector<TCase> cases = {
        {"count only, as older programs wrote it", {QStringLiteral("IncludeSubDirs=4")}, 4, true},
        {"no key", {}, 1, true},
        {"switch off",
         {QStringLiteral("IncludeSubDirs=4"), QStringLiteral("IncludeSubDirsSwitch=0")},
         4,
         false},
        {"switch on",
         {QStringLiteral("IncludeSubDirs=4"), QStringLiteral("IncludeSubDirsSwitch=1")},
         4,
         true},
        {"switch not a number",
         {QStringLiteral("IncludeSubDirs=4"), QStringLiteral("IncludeSubDirsSwitch=x")},
         4,
         true},
        {"zero: switch off, count kept in range", {QStringLiteral("IncludeSubDirs=0")}, 1, false},
        {"not a number", {QStringLiteral("IncludeSubDirs=many")}, 1, true},
        {"above the range", {QStringLiteral("IncludeSubDirs=200")}, 81, true},
    };
    for (const TCase& c : cases) {
        FController->LoadProject(WriteProject(QStringLiteral("subdirs.plv"), c.Lines), false);
        EXPECT_EQ(FController->GeneralSettings().MaxWorkerThreads, c.Threads) << c.Name;
        EXPECT_EQ(FController->GeneralSettings().IncludeSubDirs, c.SubDirs) << c.Name;
    }

    // Saved with the switch off: the file still reads as on for a reader of the old key only.
    TProjectGeneralSettings settings = FController->GeneralSettings();
    settings.IncludeSubDirs = false;
    settings.MaxWorkerThreads = 4;
    FController->SetGeneralSettings(settings);
    ASSERT_TRUE(FController->Save());
    const TIniDocument saved = TIniDocument::FromFile(FController->CurrentFilePath());
    EXPECT_EQ(saved.ReadString(KProjectSection, QStringLiteral("IncludeSubDirs")),
              QStringLiteral("4"));
    EXPECT_FALSE(saved.ReadBool(KProjectSection, QStringLiteral("IncludeSubDirsSwitch"), true));
    FController->LoadProject(FController->CurrentFilePath(), false);
    EXPECT_FALSE(FController->GeneralSettings().IncludeSubDirs);
}

TEST_F(ProjectFileTest, MissingKeysTakeTheirDefaultsAndPlaceholdersAreExpanded) {
    FController->LoadProject(WriteProject(QStringLiteral("bare.plv"), {}), false);
    const TProjectGeneralSettings& settings = FController->GeneralSettings();
    EXPECT_EQ(settings.InputDirPath, Folders().TempInputFolder);
    EXPECT_EQ(settings.WorkDirPath, Folders().TempWorkFolder);
    EXPECT_TRUE(settings.OnlyCopyHandledPaths);
    EXPECT_TRUE(settings.DeleteWorkDirFiles);
    EXPECT_FALSE(settings.InputDirIsWorkDir);
    EXPECT_EQ(Options().FProjectData_CreatedDT, FNow);
    EXPECT_EQ(Options().FProjectData_ModifiedDT, FNow);
    EXPECT_EQ(Options().FProjectData_SavedVersion, QStringLiteral("3.3.0"));
    EXPECT_EQ(FController->Combinations().Count(), 0);

    FController->LoadProject(WriteProject(QStringLiteral("paths.plv"),
                                          {QStringLiteral("SavedWithVersion=3.1.0"),
                                           QStringLiteral("InputDirPath=?($AppDirData)?in/"),
                                           QStringLiteral("WorkDirPath=?($AppPath)?work/"),
                                           QStringLiteral("OnlyCopyHandledPaths=0"),
                                           QStringLiteral("DeleteWorkDirFiles=7"),
                                           QStringLiteral("InputDirIsWorkDir=yes")}),
                             false);
    EXPECT_EQ(FController->GeneralSettings().InputDirPath,
              Folders().DataFolder + QStringLiteral("in/"));
    EXPECT_EQ(FController->GeneralSettings().WorkDirPath,
              Folders().ProgramFolder + QStringLiteral("work/"));
    EXPECT_FALSE(FController->GeneralSettings().OnlyCopyHandledPaths);
    EXPECT_TRUE(FController->GeneralSettings().DeleteWorkDirFiles);
    EXPECT_FALSE(FController->GeneralSettings().InputDirIsWorkDir);  // not a number: default
    EXPECT_EQ(Options().FProjectData_SavedVersion, QStringLiteral("3.1.0"));
}

TEST_F(ProjectFileTest, DatesAcceptATAndIgnoreAZoneTail) {
    struct TCase {
        QString Text;
        QDateTime Expected;
    };
    const QDateTime moment(QDate(2024, 3, 6), QTime(14, 25, 1));
    const std::vector<TCase> cases = {
        {QStringLiteral("2024-03-06 14:25:01"), moment},
        {QStringLiteral("2024-03-06T14:25:01+01:00"), moment},
        {QStringLiteral("2024-03-06T14:25:01"), moment},
        {QStringLiteral("6.3.2024"), ZeroDateTime()},
    };
    for (const TCase& c : cases) {
        FController->LoadProject(WriteProject(QStringLiteral("dates.plv"),
                                              {QStringLiteral("ProjectCreated=") + c.Text,
                                               QStringLiteral("ProjectModified=") + c.Text}),
                                 false);
        EXPECT_EQ(Options().FProjectData_CreatedDT, c.Expected) << c.Text.toStdString();
        EXPECT_EQ(Options().FProjectData_ModifiedDT, c.Expected) << c.Text.toStdString();
    }
    // Saving writes the created time as read and the save time as modified.
    FNow = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5));
    FController->LoadProject(
        WriteProject(QStringLiteral("dates.plv"),
                     {QStringLiteral("ProjectCreated=2024-03-06T14:25:01+01:00")}),
        false);
    ASSERT_TRUE(FController->Save());
    const TIniDocument saved = TIniDocument::FromFile(ProjectPath(QStringLiteral("dates.plv")));
    EXPECT_EQ(saved.ReadString(KProjectSection, QStringLiteral("ProjectCreated")),
              QStringLiteral("2024-03-06 14:25:01"));
    EXPECT_EQ(saved.ReadString(KProjectSection, QStringLiteral("ProjectModified")),
              QStringLiteral("2026-01-02 03:04:05"));
}

TEST_F(ProjectFileTest, SaveAsWithAnotherExtensionWritesAndKeepsThePlvFile) {
    FController->LoadProject({}, true);
    FController->Combinations().AddItem(QStringLiteral("*.txt"), false, Plugin(KFilesID));
    FSaveChoice = ProjectPath(QStringLiteral("notes.v2.txt"));
    ASSERT_TRUE(FController->SaveProjectAs());

    const QString written = ProjectPath(QStringLiteral("notes.v2.plv"));
    EXPECT_TRUE(QFileInfo(written).isFile());
    EXPECT_FALSE(QFileInfo::exists(*FSaveChoice));
    // The project's file is the one written, so reopening it finds the project.
    EXPECT_EQ(FController->CurrentFilePath(), written);
    EXPECT_EQ(Options().FProjectReopenList.value(0), written);
    EXPECT_EQ(FController->WindowTitle(QStringLiteral("Plovane")),
              QStringLiteral("Plovane - notes.v2.plv"));

    std::unique_ptr<TProjectController> again = MakeController();
    FController.reset();
    again->LoadProject(Options().FProjectReopenList.value(0), false);
    EXPECT_EQ(Rows(again->Combinations()), QStringList({QStringLiteral("*.txt>zq_test_files")}));
}

TEST_F(ProjectFileTest, EachSaveKeepsOneBackupWithThePreviousContent) {
    const QString path = SaveSampleProject(QStringLiteral("site.plv"));
    const QString backup = ProjectPath(QStringLiteral("site.~plv"));
    EXPECT_FALSE(QFileInfo::exists(backup));
    const QByteArray first = ReadWholeFile(path);

    FController->Combinations().DeleteItem(0);
    FNow = FNow.addSecs(60);
    ASSERT_TRUE(FController->SaveProject());
    const QByteArray second = ReadWholeFile(path);
    EXPECT_NE(second, first);
    EXPECT_EQ(ReadWholeFile(backup), first);

    FNow = FNow.addSecs(60);
    ASSERT_TRUE(FController->SaveProject());
    EXPECT_EQ(ReadWholeFile(backup), second);
    EXPECT_EQ(QDir(Folders().ProjectsFolder)
                  .entryList({QStringLiteral("*")}, QDir::Files | QDir::NoDotAndDotDot)
                  .size(),
              2);
}

TEST_F(ProjectFileTest, FailedSaveKeepsThePreviousFileAndTheProjectAsItWas) {
    const QString path = SaveSampleProject(QStringLiteral("site.plv"));
    const QByteArray before = ReadWholeFile(path);
    const QDateTime modified = Options().FProjectData_ModifiedDT;
    FPrompts.Shown.clear();

    // A folder stands where the backup must go.
    QDir().mkpath(ProjectPath(QStringLiteral("site.~plv")));
    FController->Combinations().DeleteItem(0);
    FNow = FNow.addSecs(60);
    EXPECT_FALSE(FController->SaveProject());
    EXPECT_EQ(ReadWholeFile(path), before);
    EXPECT_TRUE(FController->HasProjectChanged());
    EXPECT_EQ(Options().FProjectData_ModifiedDT, modified);
    ASSERT_EQ(FPrompts.Shown.size(), 1);
    EXPECT_TRUE(
        FPrompts.Shown[0].startsWith(QStringLiteral("The project could not be saved to \"") + path +
                                     QStringLiteral("\": the backup copy")))
        << FPrompts.Shown[0].toStdString();
    EXPECT_TRUE(FPrompts.Shown[0].endsWith(QStringLiteral("The previous file was kept.")));
    EXPECT_TRUE(ProgramLog().contains(QStringLiteral("The project could not be saved")));

    // A folder stands where the file itself should go: nothing of it is touched, and the project
    // keeps its file.
    const QString blocked = ProjectPath(QStringLiteral("blocked.plv"));
    QDir().mkpath(blocked + QStringLiteral("/inside"));
    FSaveChoice = blocked;
    EXPECT_FALSE(FController->SaveProjectAs());
    EXPECT_TRUE(QFileInfo(blocked + QStringLiteral("/inside")).isDir());
    EXPECT_EQ(FController->CurrentFilePath(), path);
    EXPECT_NE(Options().FProjectReopenList.value(0), blocked);
    EXPECT_TRUE(FController->HasProjectChanged());

    // Closing with "save" that fails does not close the project.
    FPrompts.ThreeWayAnswers = {TPromptAnswer::Yes};
    EXPECT_FALSE(FController->ExitProject(false));
    EXPECT_EQ(FController->CurrentFilePath(), path);
    EXPECT_EQ(ReadWholeFile(path), before);
}

TEST_F(ProjectFileTest, MissingFileGivesANewProjectAfterAMessage) {
    const QString missing = ProjectPath(QStringLiteral("gone.plv"));
    Options().FProjectReopenList = {ProjectPath(QStringLiteral("x.plv")), missing.toUpper()};
    FController->LoadProject(missing, false);
    EXPECT_EQ(FPrompts.Shown,
              QStringList({QStringLiteral("The project file \"") + missing +
                           QStringLiteral("\" does not exist. A new project will be created "
                                          "instead.")}));
    EXPECT_EQ(Options().FProjectReopenList, QStringList({ProjectPath(QStringLiteral("x.plv"))}));
    EXPECT_TRUE(FController->CurrentFilePath().isEmpty());
    EXPECT_FALSE(FController->HasActiveDiscProject());
    EXPECT_EQ(FController->GeneralSettings().InputDirPath, Folders().TempInputFolder);
    EXPECT_EQ(FController->WindowTitle(QStringLiteral("Plovane")),
              QStringLiteral("Plovane - new project"));
}

TEST_F(ProjectFileTest, NewProjectCarriesTheDefaultProjectButNoFileName) {
    FController->LoadProject({}, true);
    TProjectGeneralSettings settings = FController->GeneralSettings();
    settings.MaxWorkerThreads = 9;
    FController->SetGeneralSettings(settings);
    FController->Combinations().AddItem(QStringLiteral("*.txt"), false, Plugin(KFilesID));
    FSaveChoice = ProjectPath(QStringLiteral("template.plv"));
    ASSERT_TRUE(FController->SaveProjectAs());
    Options().FProjectUserDefaultPath = *FSaveChoice;

    ASSERT_TRUE(FController->NewProject());
    EXPECT_TRUE(FController->CurrentFilePath().isEmpty());
    EXPECT_FALSE(FController->HasActiveDiscProject());
    EXPECT_EQ(FController->GeneralSettings().MaxWorkerThreads, 9);
    EXPECT_EQ(Rows(FController->Combinations()),
              QStringList({QStringLiteral("*.txt>zq_test_files")}));
    EXPECT_EQ(Options().FProjectData_ModifiedDT, FNow);

    // A missing default project: message, the option is cleared, defaults are used.
    QFile::remove(*FSaveChoice);
    FPrompts.Shown.clear();
    ASSERT_TRUE(FController->NewProject());
    EXPECT_EQ(FPrompts.Shown,
              QStringList({QStringLiteral("Tryed to create new project with data from default "
                                          "project \"") +
                           *FSaveChoice +
                           QStringLiteral("\". The project file does not exist. \"Default "
                                          "project\" setting has now been set to program "
                                          "default.")}));
    EXPECT_TRUE(Options().FProjectUserDefaultPath.isEmpty());
    EXPECT_EQ(FController->GeneralSettings().MaxWorkerThreads, 1);
    EXPECT_EQ(FController->Combinations().Count(), 0);
}

TEST_F(ProjectFileTest, LoadProjectNeedsExactlyAPathOrANewProject) {
    const auto message = [&](const QString& APath, bool ANew) {
        try {
            FController->LoadProject(APath, ANew);
        } catch (const EqvParamsMisMatchError& e) {
            return e.Message();
        }
        return QStringLiteral("<no error>");
    };
    EXPECT_EQ(message(QStringLiteral("a.plv"), true), QStringLiteral("LoadProject <> \"\""));
    EXPECT_EQ(message({}, false), QStringLiteral("LoadProject == \"\" "));
}

TEST_F(ProjectFileTest, ClosingAChangedProjectAsksToSave) {
    const QString path = SaveSampleProject(QStringLiteral("site.plv"));
    const QString question =
        QStringLiteral("Save project \"") + path + QStringLiteral("\" changes?");

    // Nothing changed: no question.
    EXPECT_TRUE(FController->ExitProject(false));
    EXPECT_TRUE(FPrompts.Asked.isEmpty());
    EXPECT_TRUE(FController->CurrentFilePath().isEmpty());

    struct TCase {
        const char* Name;
        std::function<void(TProjectController&)> Edit;
        TPromptAnswer Answer;
        bool Closed;
        int RowsOnDisk;
    };
    const std::vector<TCase> cases = {
        {"combination added, cancel",
         [&](TProjectController& c) {
             c.Combinations().AddItem(QStringLiteral("*.*"), false, Plugin(KFilesID));
         },
         TPromptAnswer::Cancel, false, 2},
        {"setting edited, no",
         [](TProjectController& c) {
             TProjectGeneralSettings s = c.GeneralSettings();
             s.DeleteWorkDirFiles = !s.DeleteWorkDirFiles;
             c.SetGeneralSettings(s);
         },
         TPromptAnswer::No, true, 2},
        {"combination deleted, yes", [](TProjectController& c) { c.Combinations().DeleteItem(1); },
         TPromptAnswer::Yes, true, 1},
    };
    for (const TCase& c : cases) {
        FController->LoadProject(path, false);
        FPrompts.Asked.clear();
        c.Edit(*FController);
        EXPECT_TRUE(FController->HasProjectChanged()) << c.Name;
        FPrompts.ThreeWayAnswers = {c.Answer};
        EXPECT_EQ(FController->ExitProject(false), c.Closed) << c.Name;
        EXPECT_EQ(FPrompts.Asked, QStringList({question})) << c.Name;
        EXPECT_EQ(FController->CurrentFilePath().isEmpty(), c.Closed) << c.Name;
        std::unique_ptr<TProjectController> reader = MakeController();
        reader->LoadProject(path, false);
        EXPECT_EQ(reader->Combinations().Count(), c.RowsOnDisk) << c.Name;
    }

    // Setting the same values again is no change.
    FController->LoadProject(path, false);
    FController->SetGeneralSettings(FController->GeneralSettings());
    EXPECT_FALSE(FController->HasProjectChanged());

    // A new project that was never saved: Yes asks for a file; cancelling that keeps it open.
    FController->LoadProject({}, true);
    FController->Combinations().AddItem(QStringLiteral("*.*"), false, Plugin(KFilesID));
    FPrompts.Asked.clear();
    FPrompts.ThreeWayAnswers = {TPromptAnswer::Yes};
    FSaveChoice.reset();
    EXPECT_FALSE(FController->ExitProject(false));
    EXPECT_EQ(FPrompts.Asked, QStringList({QStringLiteral("Save project changes?")}));
    EXPECT_TRUE(FController->HasProjectChanged());
}

TEST_F(ProjectFileTest, DamagedProjectFailsToLoadAndNeverReplacesTheOpenOne) {
    const QString good = SaveSampleProject(QStringLiteral("good.plv"));
    const QString damaged =
        WriteProject(QStringLiteral("damaged.plv"),
                     {QStringLiteral("IncludeSubDirs=7"), QStringLiteral("ModulesConf=0000000")});
    QString error;
    try {
        FController->LoadProject(damaged, false);
    } catch (const EqvException& e) {
        error = e.Message();
    }
    EXPECT_TRUE(error.contains(QStringLiteral("\"") + damaged + QStringLiteral("\"")))
        << error.toStdString();
    EXPECT_EQ(FController->CurrentFilePath(), good);
    EXPECT_EQ(FController->GeneralSettings().MaxWorkerThreads, 1);
    EXPECT_EQ(FController->Combinations().Count(), 2);

    // Through the Reopen command the user is told and gets a new project.
    FPrompts.Shown.clear();
    EXPECT_FALSE(FController->ReopenProject(damaged));
    ASSERT_EQ(FPrompts.Shown.size(), 1);
    EXPECT_TRUE(FPrompts.Shown[0].startsWith(QStringLiteral("The project file \"") + damaged +
                                             QStringLiteral("\" could not be loaded: ")));
    EXPECT_TRUE(FController->CurrentFilePath().isEmpty());
    EXPECT_EQ(FController->Combinations().Count(), 0);
    EXPECT_TRUE(ProgramLog().contains(QStringLiteral("odd number of hexadecimal digits")));
    EXPECT_EQ(ReadWholeFile(damaged).contains("ModulesConf=0000000\r\n"), true);
}

// A picture, an empty file or a broken module configuration is refused: loaded with the
// defaults, it would run a batch that empties the temporary work folder.
TEST_F(ProjectFileTest, FilesThatAreNoProjectsOrDamagedOnesAreRefusedNamingTheFile) {
    const QString good = SaveSampleProject(QStringLiteral("good.plv"));
    const QByteArray goodBytes = ReadWholeFile(good);
    for (const TGarbledProject& c : GarbledProjectFiles()) {
        SCOPED_TRACE(c.Name);
        const QString path = FTemp.WriteFile(QStringLiteral("garbled.plv"), c.Bytes);
        QString error = QStringLiteral("<no error>");
        try {
            FController->LoadProject(path, false);
        } catch (const EqvException& e) {
            error = e.Message();
        }
        EXPECT_TRUE(error.contains(QStringLiteral("\"") + path + QStringLiteral("\"")))
            << error.toStdString();
        EXPECT_TRUE(error.contains(c.Expected)) << error.toStdString();
        // The open project stays, and neither file is touched.
        EXPECT_EQ(FController->CurrentFilePath(), good);
        EXPECT_EQ(
            Rows(FController->Combinations()),
            QStringList({QStringLiteral("*.txt>zq_test_files"), QStringLiteral("/>zq_test_dirs")}));
        EXPECT_EQ(Options().FProjectReopenList.value(0), good);
        EXPECT_EQ(ReadWholeFile(path), c.Bytes);
        EXPECT_EQ(ReadWholeFile(good), goodBytes);
    }

    // Made the default project, such a file gives a new project from the defaults after a
    // message that names it.
    const QString picture = FTemp.WriteFile(QStringLiteral("picture.plv"),
                                            QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    Options().FProjectUserDefaultPath = picture;
    FPrompts.Shown.clear();
    EXPECT_FALSE(FController->NewProject());
    ASSERT_EQ(FPrompts.Shown.size(), 1);
    EXPECT_TRUE(FPrompts.Shown[0].contains(QStringLiteral("\"") + picture +
                                           QStringLiteral("\" is not a project file")))
        << FPrompts.Shown[0].toStdString();
    EXPECT_EQ(FController->Combinations().Count(), 0);
}

TEST_F(ProjectFileTest, ReadsFilesWithOrWithoutMarkInUtf8OrTheAnsiCodePage) {
    struct TCase {
        const char* Name;
        QByteArray Prefix;
        QByteArray Path;  // the InputDirPath value as bytes
    };
    const std::vector<TCase> cases = {
        {"UTF-8 with mark", KUtf8Mark, "/in/caf\xC3\xA9 \xE2\x9C\x93/"},
        {"UTF-8 without mark", {}, "/in/caf\xC3\xA9 \xE2\x9C\x93/"},
        {"ANSI", {}, "/in/caf\xE9/"},
    };
    for (const TCase& c : cases) {
        const QString path = ProjectPath(QStringLiteral("enc.plv"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.Prefix + "[Project Details]\r\nInputDirPath=" + c.Path + "\r\n");
        file.close();
        FController->LoadProject(path, false);
        const QString expected = QByteArray(c.Name) == "ANSI" ? QStringLiteral("/in/café/")
                                                              : QStringLiteral("/in/café ✓/");
        EXPECT_EQ(FController->GeneralSettings().InputDirPath, expected) << c.Name;
    }
}

TEST_F(ProjectFileTest, LeftOutCombinationsAreShownAndLogged) {
    FController->LoadProject({}, true);
    FController->Combinations().AddItem(QStringLiteral("*.txt"), false, Plugin(KFilesID));
    FController->Combinations().AddItem(QStringLiteral("*.*"), false, Plugin(KAllID));
    const QString path = ProjectPath(QStringLiteral("site.plv"));
    FSaveChoice = path;
    ASSERT_TRUE(FController->SaveProjectAs());

    FController.reset();
    FPlugins->Declaration(QStringLiteral("All")).Installed = false;
    FPlugins->Discover();
    FController = MakeController();
    FPrompts.Shown.clear();
    FController->LoadProject(path, false);
    EXPECT_EQ(Rows(FController->Combinations()),
              QStringList({QStringLiteral("*.txt>zq_test_files")}));
    ASSERT_EQ(FController->LastDroppedCombinations().size(), 1u);
    const QString line = QStringLiteral(
        "Combination 2 (filter \"*.*\"): the plugin \"zq_test_all\" is not installed.");
    ASSERT_EQ(FPrompts.Shown.size(), 1);
    EXPECT_TRUE(FPrompts.Shown[0].startsWith(
        QStringLiteral("These filter/module combinations of the project \"") + path))
        << FPrompts.Shown[0].toStdString();
    EXPECT_TRUE(FPrompts.Shown[0].endsWith(QStringLiteral("\r\n") + line));
    EXPECT_TRUE(ProgramLog().contains(line));
    EXPECT_FALSE(FController->HasProjectChanged());
}

TEST_F(ProjectFileTest, OpenCommandLoadsTheChoiceOrReloadsTheCurrentProject) {
    const QString first = SaveSampleProject(QStringLiteral("first.plv"));
    const QString second = WriteProject(QStringLiteral("second.plv"), {});

    FOpenChoice = second;
    EXPECT_TRUE(FController->OpenProject());
    EXPECT_EQ(FController->CurrentFilePath(), second);
    EXPECT_EQ(Options().FProjectReopenList.mid(0, 2), QStringList({second, first}));

    // Cancelling the dialog loads the project that was open again.
    FOpenChoice.reset();
    EXPECT_FALSE(FController->OpenProject());
    EXPECT_EQ(FController->CurrentFilePath(), second);

    // A cancelled "save changes?" question stops everything.
    FController->Combinations().AddItem(QStringLiteral("*.*"), false, Plugin(KFilesID));
    FOpenChoice = first;
    EXPECT_FALSE(FController->OpenProject());
    EXPECT_EQ(FController->CurrentFilePath(), second);

    const TProjectDialogSetup setup = FController->DialogSetup();
    EXPECT_EQ(setup.Filter, QStringLiteral("Plovane project files (*.plv)|*.plv"));
    EXPECT_EQ(setup.DefaultExtension, QStringLiteral("plv"));
    EXPECT_EQ(setup.StartFolder, Folders().ProjectsFolder);
}

TEST_F(ProjectFileTest, LoadingWhileNoBatchRunsResetsTheShownBatchOutcome) {
    const QString path = WriteProject(QStringLiteral("p.plv"), {});
    struct TCase {
        const char* Name;
        bool WrapperActive;
        bool FirstUpdate;
        bool DoneSuccess;
    };
    for (const TCase& c : std::vector<TCase>{{"no batch", false, true, false},
                                             {"batch running", true, false, true}}) {
        TBatchStatusSet status;
        status.Include(bsDoneSuccess);
        if (c.WrapperActive)
            status.Include(bsWrapperActive);
        FModule->FBatchStatusSet = status;
        FController->LoadProject(path, false);
        EXPECT_EQ(FModule->FBatchStatusSet.Has(bsIsFirstProjectBatchFrameUpdate), c.FirstUpdate)
            << c.Name;
        EXPECT_EQ(FModule->FBatchStatusSet.Has(bsDoneSuccess), c.DoneSuccess) << c.Name;
    }
}

// A folder name with a line break (legal on Linux) would be read back as further keys: one
// switching on work in the input folder would make the next batch write into the input. Such a
// project is not saved (the user is told why) and the previous file stays.
TEST_F(ProjectFileTest, AFolderNameWithALineBreakIsNeverSavedAsOtherKeys) {
    const QString path = SaveSampleProject(QStringLiteral("site.plv"));
    const QByteArray before = ReadWholeFile(path);
    FPrompts.Shown.clear();
    TProjectGeneralSettings settings = FController->GeneralSettings();
    settings.InputDirPath = FTemp.Path(QStringLiteral("in\nInputDirIsWorkDir=1\n/"));
    FController->SetGeneralSettings(settings);
    EXPECT_FALSE(FController->SaveProject());
    EXPECT_EQ(ReadWholeFile(path), before);
    ASSERT_EQ(FPrompts.Shown.size(), 1);
    EXPECT_TRUE(FPrompts.Shown[0].contains(QStringLiteral("line break")))
        << FPrompts.Shown[0].toStdString();

    TProjectController reloaded(TProjectEnvironment::FromModule(*FModule, FPlugins->Host()));
    reloaded.LoadProject(path, false);
    EXPECT_FALSE(reloaded.GeneralSettings().InputDirIsWorkDir);
}

// A save while the disk is full fails, and the file on disk still loads as it was saved before.
TEST_F(ProjectFileTest, ASaveOnAFullDiskKeepsTheFileThatLoads) {
    const QString folder = FTemp.MakeFolder(QStringLiteral("full"));
    const TChildOutcome outcome = RunInChildProcess([&]() -> QByteArray {
        QString reason = EnterPrivateMountNamespace();
        if (reason.isEmpty())
            reason = MountSmallTmpfs(folder, 64 * 1024);
        if (!reason.isEmpty())
            return KChildSkipped + reason.toUtf8();
        const QString path = folder + QStringLiteral("site.plv");
        FController->LoadProject({}, true);
        FController->Combinations().AddItem(QStringLiteral("*.txt"), false, Plugin(KFilesID));
        TProjectGeneralSettings settings = FController->GeneralSettings();
        settings.MaxWorkerThreads = 3;
        FController->SetGeneralSettings(settings);
        FSaveChoice = path;
        QStringList problems;
        if (!FController->SaveProjectAs())
            problems << QStringLiteral("the first save failed");
        const QString filled = FillFileSystem(folder + QStringLiteral("filler"));
        if (!filled.isEmpty())
            problems << filled;
        settings.MaxWorkerThreads = 9;
        FController->SetGeneralSettings(settings);
        FController->Combinations().AddItem(QStringLiteral("/"), false, Plugin(KDirsID));
        if (FController->SaveProject())
            problems << QStringLiteral("a save on a full disk reported success");
        TProjectController reloaded(TProjectEnvironment::FromModule(*FModule, FPlugins->Host()));
        reloaded.LoadProject(path, false);
        if (reloaded.GeneralSettings().MaxWorkerThreads != 3 ||
            reloaded.Combinations().Count() != 1)
            problems << QStringLiteral("the file does not hold the project as saved before");
        return problems.join(u'\n').toUtf8();
    });
    if (outcome.Output.startsWith(KChildSkipped))
        GTEST_SKIP() << "needs a private mount namespace (root): "
                     << outcome.Output.mid(KChildSkipped.size()).toStdString();
    EXPECT_TRUE(outcome.Exited);
    EXPECT_EQ(QString::fromUtf8(outcome.Output), QString());
}

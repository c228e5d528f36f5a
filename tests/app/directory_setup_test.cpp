#include "app/directory_setup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "base/ini_document.h"
#include "platform/system_folders.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folders.h"

namespace {

// Simulates a read-only installation: nothing can be created below the given folder.
class TReadOnlyBelow : public TFolderMaker {
public:
    explicit TReadOnlyBelow(QString AFolder) : FFolder(std::move(AFolder)) {}
    bool MakePath(const QString& APath) override {
        if (APath.startsWith(FFolder) && !QFileInfo(APath).isDir())
            return false;
        return TFolderMaker::MakePath(APath);
    }

private:
    QString FFolder;
};

class DirectorySetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        FProgram = FTemp.MakeFolder(QStringLiteral("prog"));
        FDocuments = FTemp.MakeFolder(QStringLiteral("home/Documents"));
        FTemp.WriteFile(QStringLiteral("prog/projects/default.plv"), "shipped");
        FTemp.WriteFile(QStringLiteral("prog/data/demos/site/index.htm"), "demo v1");
    }
    void WriteMuc(const QString& AText) {
        FTemp.WriteFile(QStringLiteral("prog/muc.ini"), AText.toUtf8());
    }
    TDirectorySetupResult Run(TFolderMaker* AMaker = nullptr) {
        return SetupDirectories({FProgram, FDocuments, AMaker, {}});
    }
    QString PerUser() const { return FDocuments + QStringLiteral("Kestrin/Plovane 3/"); }

    TTempFolder FTemp;
    QString FProgram;
    QString FDocuments;
};

}  // namespace

TEST_F(DirectorySetupTest, NoMucMeansPerUserFolderSeededOnceWithoutOverwriting) {
    const TDirectorySetupResult first = Run();
    EXPECT_EQ(first.Folders.Mode, TDataAccessMode::Os);
    EXPECT_EQ(first.Folders.DataRoot, PerUser());
    EXPECT_EQ(first.Folders.ConfigFolder, PerUser() + QStringLiteral("config/"));
    EXPECT_EQ(first.Folders.ModulesFolder, FProgram + QStringLiteral("modules/"));
    for (const QString& folder :
         {first.Folders.TempFolder, first.Folders.ProjectsFolder, first.Folders.MiscLogsFolder,
          first.Folders.ReuseFolder, first.Folders.DataFolder, first.Folders.TranslationsFolder})
        EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
    EXPECT_EQ(ReadWholeFile(PerUser() + QStringLiteral("projects/default.plv")),
              QByteArray("shipped"));

    // The user changes the copy; a later run never overwrites it.
    QFile::remove(PerUser() + QStringLiteral("projects/default.plv"));
    FTemp.WriteFile(QStringLiteral("home/Documents/Kestrin/Plovane 3/projects/default.plv"),
                    "mine");
    Run();
    EXPECT_EQ(ReadWholeFile(PerUser() + QStringLiteral("projects/default.plv")),
              QByteArray("mine"));
}

TEST_F(DirectorySetupTest, ShippedDemosAreRefreshedWhenNewer) {
    Run();
    const QString userDemo = PerUser() + QStringLiteral("data/demos/site/index.htm");
    ASSERT_EQ(ReadWholeFile(userDemo), QByteArray("demo v1"));
    // Make the user's copy older than a new shipped version.
    {
        QFile old(userDemo);
        ASSERT_TRUE(old.open(QIODevice::ReadWrite));
        old.setFileTime(QDateTime::currentDateTime().addDays(-2),
                        QFileDevice::FileModificationTime);
    }
    const QString shipped =
        FTemp.WriteFile(QStringLiteral("prog/data/demos/site/index.htm"), "demo v2");
    Run();
    EXPECT_EQ(ReadWholeFile(userDemo), QByteArray("demo v2"));
}

TEST_F(DirectorySetupTest, AppModeKeepsEverythingInTheProgramFolder) {
    WriteMuc(QStringLiteral("[Misc]\r\nDataAccess= App \r\n"));
    const TDirectorySetupResult result = Run();
    EXPECT_EQ(result.Folders.Mode, TDataAccessMode::App);
    EXPECT_EQ(result.Folders.DataRoot, FProgram);
    EXPECT_EQ(result.Folders.DataFolder, FProgram + QStringLiteral("data/"));
    EXPECT_TRUE(QFileInfo(FProgram + QStringLiteral("logs/misc")).isDir());
    EXPECT_FALSE(QFileInfo::exists(FDocuments + QStringLiteral("Kestrin")));
}

TEST_F(DirectorySetupTest, AppModeOnReadOnlyInstallationSwitchesToPerUser) {
    WriteMuc(QStringLiteral("[Misc]\r\nDataAccess=app\r\n"));
    QDir(FProgram + QStringLiteral("projects")).removeRecursively();
    TReadOnlyBelow readOnly(FProgram);
    const TDirectorySetupResult result = Run(&readOnly);
    EXPECT_EQ(result.Folders.Mode, TDataAccessMode::Os);
    EXPECT_EQ(result.Folders.DataRoot, PerUser());
    EXPECT_FALSE(QFileInfo::exists(FProgram + QStringLiteral("logs")));
}

TEST_F(DirectorySetupTest, DataAccessValues) {
    const std::vector<std::pair<QString, TDataAccessMode>> cases = {
        {QStringLiteral("app"), TDataAccessMode::App},
        {QStringLiteral("  APP"), TDataAccessMode::App},
        {QStringLiteral("os"), TDataAccessMode::Os},
        {QStringLiteral("user"), TDataAccessMode::Os},
        {QStringLiteral("auto"), TDataAccessMode::Os},
        {QStringLiteral("bogus"), TDataAccessMode::Os},
    };
    for (const auto& [value, mode] : cases) {
        WriteMuc(QStringLiteral("[Misc]\r\nDataAccess=") + value + QStringLiteral("\r\n"));
        EXPECT_EQ(Run().Folders.Mode, mode) << value.toStdString();
    }
}

TEST_F(DirectorySetupTest, PerUserFolderUnavailableFallsBackToApp) {
    const TDirectorySetupResult result = SetupDirectories({FProgram, QString(), nullptr, {}});
    EXPECT_EQ(result.Folders.Mode, TDataAccessMode::App);
    EXPECT_EQ(result.Folders.DataRoot, FProgram);
}

TEST_F(DirectorySetupTest, DataUserPathEdgeCases) {
    const QString custom = FTemp.MakeFolder(QStringLiteral("custom"));
    struct TCase {
        const char* Name;
        QString UserPath;
        QString ExpectedRoot;
    };
    const std::vector<TCase> cases = {
        {"missing folder is ignored", FTemp.Path(QStringLiteral("nowhere")), FProgram},
        {"program folder is ignored", FProgram, FProgram},
        {"program folder without separator is ignored", FProgram.chopped(1), FProgram},
        {"existing folder is used", custom.chopped(1), custom},
    };
    for (const TCase& c : cases) {
        WriteMuc(QStringLiteral("[Misc]\r\nDataAccess=app\r\nDataUserPath=") + c.UserPath +
                 QStringLiteral("\r\n"));
        const TDirectorySetupResult result = Run();
        EXPECT_EQ(result.Folders.Mode, TDataAccessMode::App) << c.Name;
        EXPECT_EQ(result.Folders.DataRoot, c.ExpectedRoot) << c.Name;
    }
    // The custom root was laid out and seeded.
    EXPECT_TRUE(QFileInfo(custom + QStringLiteral("logs/misc")).isDir());
    EXPECT_EQ(ReadWholeFile(custom + QStringLiteral("projects/default.plv")),
              QByteArray("shipped"));
    EXPECT_FALSE(QFileInfo::exists(FTemp.Path(QStringLiteral("nowhere"))));
}

TEST_F(DirectorySetupTest, DataUserPathIsIgnoredInOsMode) {
    const QString custom = FTemp.MakeFolder(QStringLiteral("custom"));
    WriteMuc(QStringLiteral("[Misc]\r\nDataAccess=os\r\nDataUserPath=") + custom +
             QStringLiteral("\r\n"));
    EXPECT_EQ(Run().Folders.DataRoot, PerUser());
}

TEST_F(DirectorySetupTest, LegacySettingsAreMigrated) {
    struct TCase {
        const char* Name;
        QString LegacyName;
        QString Access;
        bool MucWritten;
    };
    const std::vector<TCase> cases = {
        {"glc user", QStringLiteral("glc.ini"), QStringLiteral("user"), true},
        {"glc all", QStringLiteral("glc.ini"), QStringLiteral("all"), false},
        {"options user", QStringLiteral("options.ini"), QStringLiteral("User"), true},
    };
    for (const TCase& c : cases) {
        QFile::remove(FProgram + QStringLiteral("muc.ini"));
        FTemp.WriteFile(
            QStringLiteral("prog/") + c.LegacyName,
            (QStringLiteral("[Misc]\r\nDataAccess=") + c.Access + QStringLiteral("\r\n")).toUtf8());
        Run();
        EXPECT_FALSE(QFileInfo::exists(FProgram + c.LegacyName)) << c.Name;
        EXPECT_EQ(QFileInfo::exists(FProgram + QStringLiteral("muc.ini")), c.MucWritten) << c.Name;
        if (c.MucWritten) {
            EXPECT_EQ(TIniDocument::FromFile(FProgram + QStringLiteral("muc.ini"))
                          .ReadString(QStringLiteral("Misc"), QStringLiteral("DataAccess")),
                      QStringLiteral("os"))
                << c.Name;
        }
    }
}

TEST_F(DirectorySetupTest, PlaceholdersFollowTheFolders) {
    WriteMuc(QStringLiteral("[Misc]\r\nDataAccess=app\r\n"));
    const TDirectorySetupResult result = Run();
    QString path = FProgram + QStringLiteral("data/in/");
    result.Placeholders.Collapse(path);
    EXPECT_EQ(path, QStringLiteral("?($AppDirData)?in/"));
}

TEST_F(DirectorySetupTest, DataRootOverrideWinsOverMucAndIsCreated) {
    WriteMuc(QStringLiteral("[Misc]\r\nDataAccess=os\r\n"));
    const QString chosen = FTemp.Path(QStringLiteral("chosen/root"));
    TDirectorySetupInput input{FProgram, FDocuments, nullptr, {}};
    input.DataRootOverride = chosen;
    const TDirectorySetupResult result = SetupDirectories(input);
    EXPECT_EQ(result.Folders.Mode, TDataAccessMode::App);
    EXPECT_EQ(result.Folders.DataRoot, chosen + QLatin1Char('/'));
    EXPECT_TRUE(QFileInfo(chosen + QStringLiteral("/config")).isDir());
    EXPECT_EQ(ReadWholeFile(chosen + QStringLiteral("/projects/default.plv")),
              QByteArray("shipped"));
}

// A fresh account: the documents folder the desktop names does not exist yet. The data still
// goes below it, never into the program folder.
TEST_F(DirectorySetupTest, FreshAccountWithoutDocumentsFolderGetsThePerUserRootCreated) {
    struct TCase {
        const char* Name;
        QByteArray UserDirs;  // $XDG_CONFIG_HOME/user-dirs.dirs; none when empty
        QString Documents;    // below the temporary folder
    };
    const std::vector<TCase> cases = {
        {"HOME without Documents", {}, QStringLiteral("home1/Documents/")},
        {"XDG documents folder not made yet", "XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n",
         QStringLiteral("home2/Papiere/")},
    };
    int number = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ++number;
        const QString home = FTemp.MakeFolder(QStringLiteral("home%1").arg(number));
        const QString config = FTemp.MakeFolder(QStringLiteral("config%1").arg(number));
        if (!c.UserDirs.isEmpty())
            FTemp.WriteFile(QStringLiteral("config%1/user-dirs.dirs").arg(number), c.UserDirs);
        const TScopedEnv homeEnv("HOME", home.toUtf8());
        const TScopedEnv configEnv("XDG_CONFIG_HOME", config.toUtf8());
        const QString documents = UserDocumentsFolder();
        ASSERT_EQ(documents, FTemp.Path(c.Documents));
        ASSERT_FALSE(QFileInfo::exists(documents));

        const TDirectorySetupResult result = SetupDirectories({FProgram, documents, nullptr, {}});
        const QString perUser = documents + QStringLiteral("Kestrin/Plovane 3/");
        EXPECT_EQ(result.Folders.Mode, TDataAccessMode::Os);
        EXPECT_EQ(result.Folders.DataRoot, perUser);
        for (const QString& folder : {result.Folders.TempFolder, result.Folders.ProjectsFolder,
                                      result.Folders.MiscLogsFolder, result.Folders.ConfigFolder,
                                      result.Folders.DataFolder})
            EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
        EXPECT_EQ(ReadWholeFile(perUser + QStringLiteral("projects/default.plv")),
                  QByteArray("shipped"));
        for (const char16_t* sub : {u"logs", u"config", u"temp"})
            EXPECT_FALSE(QFileInfo::exists(FProgram + QString::fromUtf16(sub)))
                << "data in the program folder";
    }
}

// A data root chosen for one run that cannot be one is refused before anything is written:
// no other data root is laid out or seeded, and the program folder is left as it is.
TEST_F(DirectorySetupTest, UnusableDataRootOverrideIsRefusedBeforeAnythingIsWritten) {
    const QString file = FTemp.WriteFile(QStringLiteral("a file"), "not a folder");
    FTemp.WriteFile(QStringLiteral("root/projects"), "a file where a folder belongs");
    // A set-up that went on would migrate this into "muc.ini".
    FTemp.WriteFile(QStringLiteral("prog/glc.ini"), "[Misc]\r\nDataAccess=user\r\n");
    const QString readOnly = FTemp.MakeFolder(QStringLiteral("read-only"));
    TReadOnlyBelow readOnlyMaker(readOnly);
    const auto notAFolder = [](const QString& ARoot, const QString& ABlocker) {
        return QStringLiteral("The data root \"") + ARoot +
               QStringLiteral("\" cannot be used: \"") + ABlocker +
               QStringLiteral("\" is not a folder.");
    };
    struct TCase {
        const char* Name;
        QString Override;
        TFolderMaker* Maker;
        QString Error;
    };
    const QString belowFile = file + QStringLiteral("/data/root");
    const QString withFile = FTemp.Path(QStringLiteral("root"));
    const QString inReadOnly = readOnly + QStringLiteral("data root");
    const std::vector<TCase> cases = {
        {"a file", file, nullptr, notAFolder(file, file)},
        {"below a file", belowFile, nullptr, notAFolder(belowFile, file)},
        {"a folder with a file in the place of its projects folder", withFile, nullptr,
         notAFolder(withFile, withFile + QStringLiteral("/projects"))},
        {"a folder that cannot be created", inReadOnly, &readOnlyMaker,
         QStringLiteral("The data root \"") + inReadOnly +
             QStringLiteral("\" cannot be used: the folder \"") + inReadOnly +
             QStringLiteral("\" cannot be created or written.")},
    };
    const QStringList before = FolderListing(FTemp.Path());
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TDirectorySetupInput input{FProgram, FDocuments, c.Maker, {}};
        input.DataRootOverride = c.Override;
        QString error = QStringLiteral("<no error>");
        try {
            SetupDirectories(input);
        } catch (const EqvParamWrong& e) {
            error = e.Message();
        }
        EXPECT_EQ(error.toStdString(), c.Error.toStdString());
        EXPECT_EQ(FolderListing(FTemp.Path()), before);
    }
}

TEST_F(DirectorySetupTest, RelativeDataUserPathIsTakenFromTheProgramFolder) {
    const QString inside = FTemp.MakeFolder(QStringLiteral("prog/user data"));
    const QString beside = FTemp.MakeFolder(QStringLiteral("shared data"));
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("user data"), inside},
        {QStringLiteral("./user data/"), inside},
        {QStringLiteral("../shared data"), beside},
    };
    for (const auto& [userPath, expected] : cases) {
        SCOPED_TRACE(userPath.toStdString());
        WriteMuc(QStringLiteral("[Misc]\r\nDataAccess=app\r\nDataUserPath=") + userPath +
                 QStringLiteral("\r\n"));
        const TDirectorySetupResult result = Run();
        EXPECT_EQ(result.Folders.Mode, TDataAccessMode::App);
        EXPECT_EQ(result.Folders.DataRoot, expected);
        EXPECT_TRUE(QFileInfo(expected + QStringLiteral("config")).isDir());
    }
}

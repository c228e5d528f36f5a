// The program as "cmake --install" lays it out, run from there as a user would run it: a fresh
// home folder, a program folder the user cannot write, the demo project. Also the desktop files
// as the desktop's validators and its MIME database see them, the manual pages as man renders
// them and the shell completion as bash runs it.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "tests/support/process_run.h"
#include "tests/support/qstring_print.h"
#include "tests/support/temp_folders.h"

namespace {

const QString KPrefix = QStringLiteral("usr/");
const QString KProgramDir = QStringLiteral("usr/" PLOVANE_INSTALL_PROGRAM_DIR "/");
const QString KAppId = QStringLiteral("org.plovane.Plovane");
const QString KProjectType = QStringLiteral("application/x-plovane-project");
const QString KPerUserRoot = QStringLiteral("Documents/Kestrin/Plovane 3/");

// Who runs the installed programs: root ignores permission bits, so a root tester lets
// "nobody" run them; anyone else runs them as themselves.
struct TRunner {
    std::optional<uid_t> Uid;
    gid_t Gid = 0;
};

TRunner ChooseRunner() {
    if (geteuid() != 0)
        return {};
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr)
        return {};
    return {nobody->pw_uid, nobody->pw_gid};
}

// Gives a folder tree to the runner, so that a home folder made here is theirs.
void GiveTo(const TRunner& ARunner, const QString& AFolder) {
    if (!ARunner.Uid)
        return;
    const std::filesystem::path root(QFile::encodeName(AFolder).toStdString());
    ASSERT_EQ(lchown(root.c_str(), *ARunner.Uid, ARunner.Gid), 0) << root;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        ASSERT_EQ(lchown(entry.path().c_str(), *ARunner.Uid, ARunner.Gid), 0) << entry.path();
}

// Takes write permission away from everything below a folder, as a package installs it for
// anyone but root (the test's own removal gives it back).
void MakeTreeReadOnly(const QString& AFolder) {
    namespace fs = std::filesystem;
    const fs::path root(QFile::encodeName(AFolder).toStdString());
    const auto apply = [](const fs::path& APath) {
        fs::permissions(APath,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    };
    apply(root);
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (!entry.is_symlink())
            apply(entry.path());
}

TProcessRun RunProgram(
    const QString& AProgram, const QStringList& AArguments,
    const QProcessEnvironment& AEnvironment = QProcessEnvironment::systemEnvironment(),
    const QString& AFolder = {}) {
    QProcess process;
    process.setProcessEnvironment(AEnvironment);
    if (!AFolder.isEmpty())
        process.setWorkingDirectory(AFolder);
    process.start(AProgram, AArguments);
    if (!process.waitForStarted()) {
        ADD_FAILURE() << "cannot start " << AProgram.toStdString();
        return {};
    }
    return FinishProcess(process);
}

QStringList SortedLines(const QString& AText) {
    QStringList lines = AText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

// A fresh home folder of the runner, with nothing of the tester's desktop in the environment.
class THome {
public:
    explicit THome(const TRunner& ARunner) : FRunner(ARunner) {}
    QString Path(const QString& ARelative = {}) const { return FFolder.Path(ARelative); }
    QString DataRoot() const { return Path(KPerUserRoot); }
    void WriteFile(const QString& ARelative, const QByteArray& ABytes) const {
        FFolder.WriteFile(ARelative, ABytes);
    }
    void MakeFolder(const QString& ARelative) const { FFolder.MakeFolder(ARelative); }

    // Runs an installed program as the runner, in this home.
    TProcessRun Run(const QString& AProgram, const QStringList& AArguments) const {
        GiveTo(FRunner, Path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& name : env.keys())
            if (name.startsWith(QStringLiteral("XDG_")))
                env.remove(name);
        env.insert(QStringLiteral("HOME"), Path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (!FRunner.Uid)
            return RunProgram(AProgram, AArguments, env, Path());
        return RunProgram(
            QStringLiteral("setpriv"),
            QStringList{QStringLiteral("--reuid=%1").arg(*FRunner.Uid),
                        QStringLiteral("--regid=%1").arg(FRunner.Gid),
                        QStringLiteral("--clear-groups"), QStringLiteral("--"), AProgram} +
                AArguments,
            env, Path());
    }

private:
    TRunner FRunner;
    TTempFolder FFolder;
};

// One installation for every case, made once and removed at the end.
class InstalledProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        EnsureCoreApplication();
        FDestDir = std::make_unique<TTempFolder>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), FDestDir->Path());
        FInstallRun = RunProgram(QStringLiteral(PLOVANE_CMAKE_COMMAND),
                                 {QStringLiteral("--install"), QStringLiteral(PLOVANE_BUILD_DIR),
                                  QStringLiteral("--prefix"), QStringLiteral("/usr")},
                                 env);
        // The runner must reach the installation; the program folder is only theirs to read.
        QFile::setPermissions(FDestDir->Path(), QFile::permissions(FDestDir->Path()) |
                                                    QFile::ReadOther | QFile::ExeOther |
                                                    QFile::ReadGroup | QFile::ExeGroup);
        // For a runner of their own the tester's files are already out of reach, as a
        // package's are; the tester running the programs needs them made read-only.
        if (FInstallRun.ExitCode == 0 && !ChooseRunner().Uid)
            MakeTreeReadOnly(Installed(KProgramDir));
    }
    static void TearDownTestSuite() { FDestDir.reset(); }
    void SetUp() override {
        ASSERT_EQ(FInstallRun.ExitCode, 0)
            << FInstallRun.Out.toStdString() << FInstallRun.Err.toStdString();
    }

    static QString Installed(const QString& ARelative) { return FDestDir->Path(ARelative); }

    static inline std::unique_ptr<TTempFolder> FDestDir;
    static inline TProcessRun FInstallRun;
    const TRunner FRunner = ChooseRunner();
};

TEST_F(InstalledProgramTest, LaysTheProgramOutBelowTheLibraryFolderWithLinksInBin) {
    enum class TKind { Executable, File, Folder, Link };
    struct TEntry {
        QString Path;
        TKind Kind;
        QString LinkTarget;  // for links: the installed file it leads to
        bool WindowOnly = false;
    };
    const QString program = KProgramDir;
    const std::vector<TEntry> entries = {
        {program + QStringLiteral("plovane-run"), TKind::Executable, {}},
        {program + QStringLiteral("plovane"), TKind::Executable, {}, true},
        {QStringLiteral("usr/bin/plovane-run"), TKind::Link,
         program + QStringLiteral("plovane-run")},
        {QStringLiteral("usr/bin/plovane"), TKind::Link, program + QStringLiteral("plovane"), true},
        {program + QStringLiteral("modules/Internal/TextReplacer/dao.ini"), TKind::File, {}},
        {program + QStringLiteral("modules/External"), TKind::Folder, {}},
        {program + QStringLiteral("trans/de-de/UTF8_program.ini"), TKind::File, {}},
        {program + QStringLiteral("tips"), TKind::Folder, {}},
        {program + QStringLiteral("data/demos/website/website.plv"), TKind::File, {}},
        {program + QStringLiteral("sdk/plovane_plugin.h"), TKind::Link,
         QStringLiteral("usr/include/plovane/plovane_plugin.h")},
        {QStringLiteral("usr/include/plovane/plovane_plugin.h"), TKind::File, {}},
        {QStringLiteral("usr/share/doc/plovane/examples/example_plugin/example_plugin.c"),
         TKind::File,
         {}},
        {QStringLiteral("usr/share/doc/plovane/examples/example_plugin/README.md"),
         TKind::File,
         {}},
        {QStringLiteral("usr/share/doc/plovane/examples/example_plugin_cpp/example_plugin_cpp.cpp"),
         TKind::File,
         {}},
        {QStringLiteral("usr/share/doc/plovane/copyright"), TKind::File, {}},
        {QStringLiteral("usr/share/doc/plovane/changelog.gz"), TKind::File, {}},
        {QStringLiteral("usr/share/man/man1/plovane-run.1.gz"), TKind::File, {}},
        {QStringLiteral("usr/share/man/man1/plovane.1.gz"), TKind::File, {}, true},
        {QStringLiteral("usr/share/bash-completion/completions/plovane-run"), TKind::File, {}},
        {QStringLiteral("usr/share/applications/") + KAppId + QStringLiteral(".desktop"),
         TKind::File,
         {},
         true},
        {QStringLiteral("usr/share/metainfo/") + KAppId + QStringLiteral(".metainfo.xml"),
         TKind::File,
         {},
         true},
        {QStringLiteral("usr/share/mime/packages/plovane.xml"), TKind::File, {}, true},
        {QStringLiteral("usr/share/icons/hicolor/scalable/apps/") + KAppId + QStringLiteral(".svg"),
         TKind::File,
         {},
         true},
        {QStringLiteral(
             "usr/share/icons/hicolor/scalable/mimetypes/application-x-plovane-project.svg"),
         TKind::File,
         {},
         true},
    };
    for (const TEntry& entry : entries) {
        SCOPED_TRACE(entry.Path.toStdString());
        if (entry.WindowOnly && PLOVANE_HAS_WINDOW == 0)
            continue;
        const QFileInfo info(Installed(entry.Path));
        switch (entry.Kind) {
            case TKind::Executable:
                EXPECT_TRUE(info.isFile() && !info.isSymLink() && info.isExecutable());
                break;
            case TKind::File:
                EXPECT_TRUE(info.isFile() && !info.isSymLink() && info.size() > 0);
                break;
            case TKind::Folder:
                EXPECT_TRUE(info.isDir());
                break;
            case TKind::Link:
                // Relative, so that it leads to the right file below any prefix and DESTDIR.
                ASSERT_TRUE(info.isSymLink());
                EXPECT_TRUE(QDir::isRelativePath(QFile::decodeName(
                    std::filesystem::read_symlink(QFile::encodeName(info.filePath()).toStdString())
                        .c_str())));
                EXPECT_EQ(info.canonicalFilePath(),
                          QFileInfo(Installed(entry.LinkTarget)).canonicalFilePath());
                break;
        }
    }
    // Nothing of the build leaks into the installation: no tests, no benchmarks, no objects.
    QDirIterator it(FDestDir->Path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        EXPECT_FALSE(path.endsWith(QStringLiteral(".o")) || path.endsWith(QStringLiteral(".a")) ||
                     path.contains(QStringLiteral("_tests")) ||
                     path.contains(QStringLiteral("bench")))
            << path.toStdString();
    }
}

TEST_F(InstalledProgramTest, RunFromTheInstallationSeedsTheUserDataRootAndRunsTheDemo) {
    const THome home(FRunner);
    // The demo works below the data folder, outside the temp folders of the human safe mode,
    // and questions are answered "no": its work folder is made beforehand.
    home.WriteFile(KPerUserRoot + QStringLiteral("config/options.ini"),
                   "[ProgramOptions.Security]\r\nHumanSafeMode=0\r\n");
    home.MakeFolder(KPerUserRoot + QStringLiteral("data/demos/website/output"));
    const QStringList programBefore = FolderListing(Installed(KProgramDir));
    const QString runLink = Installed(QStringLiteral("usr/bin/plovane-run"));

    const TProcessRun list = home.Run(runLink, {QStringLiteral("--list-plugins")});
    ASSERT_EQ(list.ExitCode, 0) << list.Err.toStdString();
    // The internal plugins' files are found in the installed program folder.
    const QString modules = QFileInfo(Installed(KProgramDir)).canonicalFilePath() +
                            QStringLiteral("/modules/Internal/");
    EXPECT_TRUE(list.Out.contains(modules + QStringLiteral("TextReplacer")))
        << list.Out.toStdString();

    // The per-user data root was made and seeded from the installation.
    const QString root = home.DataRoot();
    for (const char* folder : {"projects", "temp/input", "temp/work", "logs/misc", "logs/batches",
                               "config", "reuse/grid", "reuse/file", "data"})
        EXPECT_TRUE(QFileInfo(root + QString::fromLatin1(folder)).isDir()) << folder;
    for (const char* file : {"data/demos/website/website.plv", "data/demos/website/site/index.htm",
                             "data/demos/website/site/photos/Oven_Door.JPG"}) {
        const QString name = QString::fromLatin1(file);
        EXPECT_EQ(ReadWholeFile(root + name), ReadWholeFile(Installed(KProgramDir + name))) << file;
        EXPECT_FALSE(ReadWholeFile(root + name).isEmpty()) << file;
    }
    // The tester's options were kept, not replaced by seeding.
    EXPECT_TRUE(
        ReadWholeFile(root + QStringLiteral("config/options.ini")).contains("HumanSafeMode=0"));

    const TProcessRun demo =
        home.Run(runLink, {root + QStringLiteral("data/demos/website/website.plv")});
    EXPECT_EQ(demo.ExitCode, 0) << demo.Out.toStdString() << demo.Err.toStdString();
    const QString output = root + QStringLiteral("data/demos/website/output/");
    for (const char* file : {"index.htm", "about.htm", "photos/gallery.htm"})
        EXPECT_TRUE(QFileInfo(output + QString::fromLatin1(file)).isFile()) << file;
    const QStringList logs = QDir(root + QStringLiteral("logs/batches")).entryList(QDir::Files);
    ASSERT_EQ(logs.size(), 1) << logs.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(demo.Out.contains(logs.first())) << demo.Out.toStdString();

    // Nothing was written into the installation.
    EXPECT_EQ(FolderListing(Installed(KProgramDir)), programBefore);
}

// The window program from the installation, as the desktop entry starts it with a project (the
// start seeds the data root before it reads the command line), hidden.
TEST_F(InstalledProgramTest, InstalledDesktopProgramRunsTheDemoOfAFreshDataRoot) {
    if (PLOVANE_HAS_WINDOW == 0)
        GTEST_SKIP() << "built without the window";
    const THome home(FRunner);
    home.WriteFile(KPerUserRoot + QStringLiteral("config/options.ini"),
                   "[ProgramOptions.Security]\r\nHumanSafeMode=0\r\n");
    home.MakeFolder(KPerUserRoot + QStringLiteral("data/demos/website/output"));
    const QString project = home.DataRoot() + QStringLiteral("data/demos/website/website.plv");
    const TProcessRun run = home.Run(Installed(QStringLiteral("usr/bin/plovane")),
                                     {QStringLiteral(":") + project, QStringLiteral("-hide")});
    EXPECT_EQ(run.ExitCode, 0) << run.Out.toStdString() << run.Err.toStdString();
    EXPECT_TRUE(QFileInfo(home.DataRoot() + QStringLiteral("data/demos/website/output/index.htm"))
                    .isFile());
    EXPECT_EQ(QDir(home.DataRoot() + QStringLiteral("logs/batches")).entryList(QDir::Files).size(),
              1);
}

TEST_F(InstalledProgramTest, DesktopFilesPassTheirValidatorsAndAgreeWithEachOther) {
    if (PLOVANE_HAS_WINDOW == 0)
        GTEST_SKIP() << "built without the window";
    const QString desktop =
        Installed(QStringLiteral("usr/share/applications/") + KAppId + QStringLiteral(".desktop"));
    const QString metainfo =
        Installed(QStringLiteral("usr/share/metainfo/") + KAppId + QStringLiteral(".metainfo.xml"));
    const TProcessRun entryCheck = RunProgram(QStringLiteral("desktop-file-validate"), {desktop});
    EXPECT_EQ(entryCheck.ExitCode, 0);
    // Hints count too: a clean entry has nothing to say.
    EXPECT_EQ(entryCheck.Out + entryCheck.Err, QString());
    const TProcessRun metaCheck =
        RunProgram(QStringLiteral("appstreamcli"),
                   {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo});
    EXPECT_EQ(metaCheck.ExitCode, 0) << metaCheck.Out.toStdString() << metaCheck.Err.toStdString();

    // The entry starts the installed program with the project, shows an installed icon and
    // claims the type the MIME package defines.
    const QString entry = QString::fromUtf8(ReadWholeFile(desktop));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nExec=plovane :%f\n")));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nIcon=") + KAppId + QLatin1Char('\n')));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nMimeType=") + KProjectType + QLatin1Char(';')));
    EXPECT_TRUE(
        ReadWholeFile(metainfo).contains((QStringLiteral("<launchable type=\"desktop-id\">") +
                                          KAppId + QStringLiteral(".desktop</launchable>"))
                                             .toUtf8()));
    EXPECT_TRUE(ReadWholeFile(Installed(QStringLiteral("usr/share/mime/packages/plovane.xml")))
                    .contains(QStringLiteral("type=\"%1\"").arg(KProjectType).toUtf8()));
}

TEST_F(InstalledProgramTest, IconsAreRenderedInTheSizesTheirFoldersName) {
    if (PLOVANE_HAS_WINDOW == 0)
        GTEST_SKIP() << "built without the window";
    const QString hicolor = Installed(QStringLiteral("usr/share/icons/hicolor/"));
    const QStringList sizes = QDir(hicolor).entryList({QStringLiteral("*x*")}, QDir::Dirs);
    EXPECT_GE(sizes.size(), 6) << sizes.join(QLatin1Char(' ')).toStdString();
    for (const QString& folder : sizes) {
        SCOPED_TRACE(folder.toStdString());
        const int size = folder.section(QLatin1Char('x'), 0, 0).toInt();
        const QImage icon(hicolor + folder + QStringLiteral("/apps/") + KAppId +
                          QStringLiteral(".png"));
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_TRUE(icon.hasAlphaChannel());
    }
}

TEST_F(InstalledProgramTest, MimeDatabaseMapsProjectFilesToTheProjectType) {
    if (PLOVANE_HAS_WINDOW == 0)
        GTEST_SKIP() << "built without the window";
    // Builds the database of the installation's own share/mime, as the package's trigger does.
    const QString mime = Installed(QStringLiteral("usr/share/mime"));
    const TProcessRun update = RunProgram(QStringLiteral("update-mime-database"), {mime});
    ASSERT_EQ(update.ExitCode, 0) << update.Err.toStdString();
    const QStringList globs =
        SortedLines(QString::fromUtf8(ReadWholeFile(mime + QStringLiteral("/globs2"))));
    EXPECT_TRUE(globs.contains(QStringLiteral("50:") + KProjectType + QStringLiteral(":*.plv")))
        << globs.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(ReadWholeFile(mime + QStringLiteral("/subclasses"))
                    .contains((KProjectType + QStringLiteral(" text/plain")).toUtf8()));
}

// The manual pages as man renders them: without a warning of the formatter.
TEST_F(InstalledProgramTest, ManualPagesRenderWithoutWarnings) {
    QStringList pages = {QStringLiteral("plovane-run.1.gz")};
    if (PLOVANE_HAS_WINDOW != 0)
        pages << QStringLiteral("plovane.1.gz");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    env.insert(QStringLiteral("MANROFFSEQ"), QString());
    for (const QString& page : pages) {
        SCOPED_TRACE(page.toStdString());
        const QString file = Installed(QStringLiteral("usr/share/man/man1/") + page);
        const TProcessRun run =
            RunProgram(QStringLiteral("man"),
                       {QStringLiteral("--warnings"), QStringLiteral("-E"), QStringLiteral("UTF-8"),
                        QStringLiteral("-l"), QStringLiteral("-Tutf8"), QStringLiteral("-Z"), file},
                       env);
        EXPECT_EQ(run.ExitCode, 0);
        EXPECT_EQ(run.Err, QString());
        EXPECT_FALSE(run.Out.isEmpty());
    }
}

// Options added to plovane-run are documented and completed, or this fails.
TEST_F(InstalledProgramTest, EveryOptionOfTheHelpIsInTheManualPageAndTheCompletion) {
    const THome home(FRunner);
    const TProcessRun help =
        home.Run(Installed(QStringLiteral("usr/bin/plovane-run")), {QStringLiteral("--help")});
    ASSERT_EQ(help.ExitCode, 0) << help.Err.toStdString();
    QStringList options;
    const QRegularExpression optionWord(QStringLiteral("(?<![\\w-])--[a-z][a-z-]*"));
    for (auto it = optionWord.globalMatch(help.Out); it.hasNext();)
        options << it.next().captured();
    options.removeDuplicates();
    ASSERT_GE(options.size(), 5) << help.Out.toStdString();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("200"));
    env.insert(QStringLiteral("MANPAGER"), QStringLiteral("cat"));
    const TProcessRun page = RunProgram(
        QStringLiteral("man"),
        {QStringLiteral("-l"), Installed(QStringLiteral("usr/share/man/man1/plovane-run.1.gz"))},
        env);
    ASSERT_EQ(page.ExitCode, 0) << page.Err.toStdString();
    const TProcessRun completion = RunProgram(
        QStringLiteral("bash"),
        {QStringLiteral("-c"),
         QStringLiteral("source \"$0\"; COMP_WORDS=(plovane-run --); COMP_CWORD=1; _plovane_run; "
                        "printf '%s\\n' \"${COMPREPLY[@]}\""),
         Installed(QStringLiteral("usr/share/bash-completion/completions/plovane-run"))});
    for (const QString& option : options) {
        EXPECT_TRUE(page.Out.contains(option)) << option.toStdString();
        EXPECT_TRUE(SortedLines(completion.Out).contains(option)) << option.toStdString();
    }
}

TEST_F(InstalledProgramTest, CompletionOffersWhatEachPlaceOfTheCommandLineTakes) {
    const TTempFolder folder;
    folder.MakeFolder(QStringLiteral("projects"));
    folder.WriteFile(QStringLiteral("a.plv"), "x");
    folder.WriteFile(QStringLiteral("c d.PLV"), "x");
    folder.WriteFile(QStringLiteral("notes.txt"), "x");
    struct TCase {
        QStringList Words;  // the last one is the word being completed
        QStringList Offered;
    };
    const QStringList all = {QStringLiteral("--data-root"), QStringLiteral("--help"),
                             QStringLiteral("--json"),      QStringLiteral("--list-plugins"),
                             QStringLiteral("--quiet"),     QStringLiteral("--threads"),
                             QStringLiteral("--version")};
    const QStringList projects = {QStringLiteral("a.plv"), QStringLiteral("c d.PLV"),
                                  QStringLiteral("projects")};
    const std::vector<TCase> cases = {
        {{QStringLiteral("--")}, all},
        {{QStringLiteral("--quiet"), QStringLiteral("--")},
         {QStringLiteral("--data-root"), QStringLiteral("--help"), QStringLiteral("--json"),
          QStringLiteral("--list-plugins"), QStringLiteral("--threads"),
          QStringLiteral("--version")}},
        {{QStringLiteral("--threads"), QStringLiteral("8")},
         {QStringLiteral("8"), QStringLiteral("80"), QStringLiteral("81")}},
        {{QStringLiteral("--threads"), QStringLiteral("0")}, {}},
        {{QStringLiteral("--data-root"), QString()}, {QStringLiteral("projects")}},
        {{QString()}, projects},
        {{QStringLiteral("--threads"), QStringLiteral("4"), QString()}, projects},
        {{QStringLiteral("a.plv"), QString()}, {}},
    };
    const QString script = QStringLiteral(
        "source \"$0\"; COMP_WORDS=(plovane-run \"$@\"); COMP_CWORD=$#; _plovane_run; "
        "printf '%s\\n' \"${COMPREPLY[@]}\"");
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Words.join(QLatin1Char(' ')).toStdString());
        const TProcessRun run = RunProgram(
            QStringLiteral("bash"),
            QStringList{
                QStringLiteral("-c"), script,
                Installed(QStringLiteral("usr/share/bash-completion/completions/plovane-run"))} +
                test.Words,
            QProcessEnvironment::systemEnvironment(), folder.Path());
        EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
        QStringList expected = test.Offered;
        expected.sort();
        EXPECT_EQ(SortedLines(run.Out), expected);
    }
}

}  // namespace

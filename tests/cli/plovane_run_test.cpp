// plovane-run end to end: a program folder with a copy of the executable and a test plugin,
// generated projects, and the real process.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/module_shared.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"
#include "project/project_file.h"
#include "tests/support/garbled_projects.h"
#include "tests/support/process_run.h"
#include "tests/support/temp_folders.h"

namespace {

using TRun = TProcessRun;

class PlovaneRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureCoreApplication();
        FProgram = FTemp.MakeFolder(QStringLiteral("prog"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(PLOVANE_RUN_PATH),
                                FProgram + QStringLiteral("plovane-run")));
        QFile(FProgram + QStringLiteral("plovane-run"))
            .setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
        FTemp.MakeFolder(QStringLiteral("prog/modules/External/gate"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(GATE_PLUGIN_PATH),
                                FProgram + QStringLiteral("modules/External/gate/gate_plugin.so")));
        // The shipped translations, so that a language chosen in the options is used.
        for (const char* file : {"UTF8_general.ini", "UTF8_shared.ini", "UTF8_program.ini"}) {
            const QString name = QString::fromLatin1(file);
            FTemp.WriteFile(QStringLiteral("prog/trans/de-de/") + name,
                            ReadWholeFile(QStringLiteral(PLOVANE_SOURCE_DIR) +
                                          QStringLiteral("/resources/trans/de-de/") + name));
        }
        FDataRoot = FTemp.MakeFolder(QStringLiteral("data-root"));
        ChooseLanguage(QStringLiteral("en-us"));
        FInput = FTemp.MakeFolder(QStringLiteral("in"));
        FWork = FTemp.MakeFolder(QStringLiteral("work"));
        for (int i = 0; i < 4; ++i)
            FTemp.WriteFile(QStringLiteral("in/f%1.txt").arg(i), "x");
    }

    // Writes a project whose one combination runs the plugin with this identifier on "*.txt".
    QString MakeProject(const QString& AStrID, bool ADeleteWorkFiles = true,
                        const QString& AWork = {}) {
        const QString path = FTemp.Path(QStringLiteral("project.plv"));
        TModuleEnvironment env;
        env.ProgramFolder = FProgram;
        env.DocumentsFolder = FTemp.MakeFolder(QStringLiteral("docs"));
        env.DataRootOverride = FTemp.Path(QStringLiteral("maker-root"));
        TModuleShared module(std::move(env));
        TCollectionInternalPluginTypes registry;
        RegisterAllInternalPlugins(registry);
        TPluginHost host(registry, {module.Folders().ModulesFolder, module.Folders().TempFolder,
                                    &module.FLogging});
        host.Discover();
        TProjectController project(TProjectEnvironment::FromModule(module, host));
        project.LoadProject(QString(), true);
        TProjectGeneralSettings settings = project.GeneralSettings();
        settings.InputDirPath = FInput;
        settings.WorkDirPath = AWork.isEmpty() ? FWork : AWork;
        settings.OnlyCopyHandledPaths = false;
        settings.DeleteWorkDirFiles = ADeleteWorkFiles;
        settings.MaxWorkerThreads = 1;
        project.SetGeneralSettings(settings);
        project.Combinations().AddItem(QStringLiteral("*.txt"), true, host.FindByStrID(AStrID));
        EXPECT_EQ(project.Combinations().Count(), 1);
        module.FProgramOptions->SetProjectCurrentFilePath(path);
        EXPECT_TRUE(project.Save());
        return path;
    }

    QProcess* Start(const QStringList& AArguments, const QMap<QString, QString>& AEnv = {}) {
        auto* process = new QProcess();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        env.insert(QStringLiteral("HOME"), FTemp.Path(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_DATA_HOME"),
                   FTemp.Path(QStringLiteral("home/.local/share")));
        for (auto it = AEnv.begin(); it != AEnv.end(); ++it)
            env.insert(it.key(), it.value());
        process->setProcessEnvironment(env);
        process->start(FProgram + QStringLiteral("plovane-run"), AArguments);
        EXPECT_TRUE(process->waitForStarted());
        return process;
    }

    TRun Finish(QProcess* AProcess) {
        const TRun run = FinishProcess(*AProcess);
        delete AProcess;
        return run;
    }

    TRun Run(const QStringList& AArguments, const QMap<QString, QString>& AEnv = {}) {
        return Finish(Start(AArguments, AEnv));
    }

    QStringList DataRootArgs() const { return {QStringLiteral("--data-root"), FDataRoot}; }

    // The data root's options: the language and no human safe mode (the tests' folders lie
    // outside its temp folders).
    void ChooseLanguage(const QString& ALanguage) {
        FTemp.WriteFile(
            QStringLiteral("data-root/config/options.ini"),
            (QStringLiteral("[ProgramOptions.General]\r\nLanguageCulture=") + ALanguage +
             QStringLiteral("\r\n[ProgramOptions.Security]\r\nHumanSafeMode=0\r\n"))
                .toUtf8());
    }

    QString ProgramLog() const {
        return QString::fromUtf8(
            ReadWholeFile(FDataRoot + QStringLiteral("logs/misc/program.log")));
    }

    TTempFolder FTemp;
    QString FProgram;
    QString FDataRoot;
    QString FInput;
    QString FWork;
};

}  // namespace

TEST_F(PlovaneRunTest, UsageErrorsAndHelp) {
    EXPECT_EQ(Run({}).ExitCode, 64);
    EXPECT_EQ(
        Run({QStringLiteral("--threads"), QStringLiteral("0"), QStringLiteral("x.plv")}).ExitCode,
        64);
    EXPECT_EQ(Run({QStringLiteral("--bogus"), QStringLiteral("x.plv")}).ExitCode, 64);
    const TRun help = Run({QStringLiteral("--help")});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_TRUE(help.Out.contains(QStringLiteral("Exit codes:")));
}

TEST_F(PlovaneRunTest, VersionNamesTheProgram) {
    const TRun run = Run({QStringLiteral("--version")});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Out, QStringLiteral("plovane-run (Plovane) " PLOVANE_VERSION_STRING "\n"));
    EXPECT_TRUE(run.Err.isEmpty()) << run.Err.toStdString();
}

// "--json": standard output holds one JSON object and nothing else, whose numbers are the batch
// log's; a run that never reached a batch says so with its exit code and no log.
TEST_F(PlovaneRunTest, JsonOutcomeMatchesTheBatchLog) {
    struct TCase {
        const char* Name;
        bool Blocked;  // a folder stands where a file must be copied
        bool MissingProject;
        int ExitCode;
        QString Status;
        int Problems;
    };
    const std::vector<TCase> cases = {
        {"done", false, false, 0, QStringLiteral("done"), 0},
        {"problems", true, false, 1, QStringLiteral("done with problems"), 1},
        {"no project", false, true, 3, QStringLiteral("project invalid"), 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QDir(FWork).removeRecursively();
        FTemp.MakeFolder(QStringLiteral("work"));
        if (c.Blocked)
            FTemp.WriteFile(QStringLiteral("work/f1.txt/inner"), "blocker");
        const QString project = c.MissingProject
                                    ? FTemp.Path(QStringLiteral("none.plv"))
                                    : MakeProject(QStringLiteral("zq_kestrin_NoOp"), false);
        const TRun run = Run(DataRootArgs() << QStringLiteral("--json") << project);
        EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Err.toStdString();
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(run.Out.toUtf8(), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << run.Out.toStdString();
        ASSERT_TRUE(document.isObject());
        EXPECT_EQ(run.Out.count(QLatin1Char('\n')), 1) << run.Out.toStdString();
        const QJsonObject json = document.object();
        EXPECT_EQ(json.value(QStringLiteral("status")).toString(), c.Status);
        EXPECT_EQ(json.value(QStringLiteral("exitCode")).toInt(-1), c.ExitCode);
        EXPECT_EQ(json.value(QStringLiteral("problems")).toInt(-1), c.Problems);
        EXPECT_FALSE(json.value(QStringLiteral("endedEarly")).toBool(true));
        // No progress output either.
        EXPECT_FALSE(run.Err.contains(QStringLiteral("progress: "))) << run.Err.toStdString();
        if (c.MissingProject) {
            EXPECT_TRUE(json.value(QStringLiteral("batchLog")).isNull());
            EXPECT_EQ(json.value(QStringLiteral("itemsDone")).toInt(-1), 0);
            continue;
        }
        const QString logPath = json.value(QStringLiteral("batchLog")).toString();
        const QString log = QString::fromUtf8(ReadWholeFile(logPath));
        ASSERT_FALSE(log.isEmpty()) << logPath.toStdString();
        const auto logNumber = [&log](const QString& ALabel) {
            const qsizetype at = log.lastIndexOf(ALabel);
            return at < 0 ? -1
                          : log.mid(at + ALabel.size()).section(QLatin1Char('.'), 0, 0).toInt();
        };
        EXPECT_EQ(json.value(QStringLiteral("pathsToDo")).toInt(-1),
                  logNumber(QStringLiteral("Batch Paths to do (estimated): ")));
        EXPECT_EQ(json.value(QStringLiteral("itemsDone")).toInt(-1),
                  logNumber(QStringLiteral("Batch items done: ")));
        if (!c.Blocked) {
            EXPECT_EQ(json.value(QStringLiteral("itemsDone")).toInt(-1), 4);
        }
        EXPECT_GE(json.value(QStringLiteral("timeUsedMs")).toDouble(-1), 0);
    }
}

TEST_F(PlovaneRunTest, ListsPlugins) {
    const TRun run = Run(DataRootArgs() << QStringLiteral("--list-plugins"));
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_TRUE(run.Out.contains(QStringLiteral("Gate\tzq_test_Gate\t1.0\t") + FProgram +
                                 QStringLiteral("modules/External/gate/gate_plugin.so\n")));
    EXPECT_TRUE(run.Out.contains(QStringLiteral("NoOp\tzq_kestrin_NoOp\t1.03\t")));
}

TEST_F(PlovaneRunTest, MissingProjectIsExitThree) {
    EXPECT_EQ(Run(DataRootArgs() << FTemp.Path(QStringLiteral("none.plv"))).ExitCode, 3);
}

TEST_F(PlovaneRunTest, DoneBatchPrintsItsLogAndSummary) {
    const QString project = MakeProject(QStringLiteral("zq_kestrin_NoOp"));
    const TRun run = Run(DataRootArgs() << QStringLiteral("--quiet") << project);
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QString logLine = run.Out.section(QLatin1Char('\n'), 0, 0);
    ASSERT_TRUE(logLine.startsWith(QStringLiteral("Batch log: ")));
    EXPECT_TRUE(QFileInfo::exists(logLine.mid(QStringLiteral("Batch log: ").size())));
    EXPECT_TRUE(run.Out.contains(QStringLiteral("Done: 4 paths to do, 4 items done, ")));
    EXPECT_TRUE(run.Err.isEmpty());  // quiet
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/f0.txt")), QByteArray("x"));
}

TEST_F(PlovaneRunTest, CopyFailureIsExitOne) {
    // A folder stands where a file must be copied: that file cannot be copied.
    FTemp.WriteFile(QStringLiteral("work/f1.txt/inner"), "blocker");
    const QString project = MakeProject(QStringLiteral("zq_kestrin_NoOp"), false);
    const TRun run = Run(DataRootArgs() << QStringLiteral("--quiet") << project);
    EXPECT_EQ(run.ExitCode, 1) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral("1 problems with paths")));
}

TEST_F(PlovaneRunTest, PluginStopAdviceIsExitTwo) {
    const QString project = MakeProject(QStringLiteral("zq_test_Gate"));
    const TRun run = Run(DataRootArgs() << QStringLiteral("--quiet") << project,
                         {{QStringLiteral("PLOVANE_TEST_ADVISE"), QStringLiteral("project")}});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_TRUE(run.Out.contains(QStringLiteral("Interrupted by plugin: ")));
}

// Ctrl+C stops the batch the way the Stop command does; the progress, the announcement and the
// summary come in the language of the options.
TEST_F(PlovaneRunTest, CtrlCStopsLikeTheStopCommand) {
    struct TCase {
        const char* Language;
        QString Progress;
        QString Stopping;
        QString Summary;
    };
    const std::vector<TCase> cases = {
        {"en-us", QStringLiteral("progress: "),
         QStringLiteral("Stopping: waiting for the running work to end..."),
         QStringLiteral("Interrupted by user: 4 paths to do, 1 items done")},
        {"de-de", QStringLiteral("Fortschritt: "),
         QStringLiteral("Anhalten: Es wird gewartet, bis die laufende Arbeit endet..."),
         QStringLiteral("Vom Benutzer unterbrochen: 4 zu bearbeitende Pfade, 1 Einträge erledigt")},
    };
    const QString project = MakeProject(QStringLiteral("zq_test_Gate"));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Language);
        ChooseLanguage(QString::fromLatin1(c.Language));
        const QString gate =
            FTemp.MakeFolder(QStringLiteral("gate-") + QString::fromLatin1(c.Language));
        ASSERT_EQ(::mkfifo((gate + QStringLiteral("started")).toUtf8().constData(), 0600), 0);
        ASSERT_EQ(::mkfifo((gate + QStringLiteral("release")).toUtf8().constData(), 0600), 0);
        // Open the reading end first (without blocking), then wait until the plugin is inside
        // its work call: it writes one byte.
        const int started =
            ::open((gate + QStringLiteral("started")).toUtf8().constData(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(started, 0);
        QProcess* process =
            Start(DataRootArgs() << project, {{QStringLiteral("PLOVANE_TEST_GATE"), gate}});
        pollfd waitStarted{started, POLLIN, 0};
        ASSERT_EQ(::poll(&waitStarted, 1, 120000), 1) << "the plugin never started";
        ::close(started);

        ::kill(static_cast<pid_t>(process->processId()), SIGINT);
        // The runner says when it has passed the stop on; only then the plugin may finish.
        QString err;
        process->setReadChannel(QProcess::StandardError);
        // The progress lines keep coming: only the deadline ends a wait for a text that never
        // comes.
        const QDeadlineTimer deadline(120000);
        while (!err.contains(c.Stopping) && !deadline.hasExpired() &&
               process->waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            err += QString::fromUtf8(process->readAllStandardError());
        if (!err.contains(c.Stopping)) {
            process->kill();
            Finish(process);
        }
        ASSERT_TRUE(err.contains(c.Stopping)) << err.toStdString();
        const int release =
            ::open((gate + QStringLiteral("release")).toUtf8().constData(), O_WRONLY);
        ASSERT_GE(release, 0);
        ASSERT_EQ(::write(release, "1", 1), 1);
        ::close(release);

        const TRun run = Finish(process);
        err += run.Err;
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_TRUE(run.Out.contains(c.Summary)) << run.Out.toStdString();
        // Standard error is no terminal here: plain progress lines, the first at the first tick
        // (which may be the very first output).
        EXPECT_TRUE(err.startsWith(c.Progress) || err.contains(QLatin1Char('\n') + c.Progress))
            << err.toStdString();
    }
}

// The command line's own words follow the language of the options it would read: results,
// questions and errors, usage errors and the help.
TEST_F(PlovaneRunTest, TextsFollowTheLanguageOfTheOptions) {
    struct TCase {
        const char* Name;
        std::function<QStringList()> Arguments;  // also prepares the files
        int ExitCode;
        QStringList EnglishOut, GermanOut;
        QStringList EnglishErr, GermanErr;
    };
    const QString project = MakeProject(QStringLiteral("zq_kestrin_NoOp"), false);
    const QString missing = FTemp.Path(QStringLiteral("none.plv"));
    const std::vector<TCase> cases = {
        {"a batch that is done",
         [&] { return DataRootArgs() << QStringLiteral("--quiet") << project; },
         0,
         {QStringLiteral("Batch log: ") + FDataRoot + QStringLiteral("logs/batches/"),
          QStringLiteral("\nDone: 4 paths to do, 4 items done, ")},
         {QStringLiteral("Batchprotokoll: ") + FDataRoot + QStringLiteral("logs/batches/"),
          QStringLiteral("\nFertig: 4 zu bearbeitende Pfade, 4 Einträge erledigt, ")},
         {},
         {}},
        {"settings refused after a question",
         [&] {
             EXPECT_TRUE(QDir(FWork).removeRecursively());
             return DataRootArgs() << QStringLiteral("--quiet") << project;
         },
         3,
         {},
         {},
         {QStringLiteral("Question: Work Directory has to exist - create it now? [answered: no]\n"),
          QStringLiteral("Error: Errors were detected in setup.")},
         {QStringLiteral("Frage: Arbeitsverzeichnis muss vorhanden sein - jetzt anlegen? "
                         "[Antwort: nein]\n"),
          QStringLiteral("Fehler: In den Einstellungen wurden Fehler gefunden.")}},
        {"no project file",
         [&] { return DataRootArgs() << missing; },
         3,
         {},
         {},
         {QStringLiteral("Error: There is no project file \"") + missing + QStringLiteral("\".\n")},
         {QStringLiteral("Fehler: Es gibt keine Projektdatei \"") + missing +
          QStringLiteral("\".\n")}},
        {"usage error",
         [&] { return DataRootArgs() << QStringLiteral("--bogus") << project; },
         64,
         {},
         {},
         {QStringLiteral("plovane-run: Unknown option: --bogus\n\nUsage: plovane-run ")},
         {QStringLiteral("plovane-run: Unbekannte Option: --bogus\n\nAufruf: plovane-run ")}},
        {"help",
         [&] { return DataRootArgs() << QStringLiteral("--help"); },
         0,
         {QStringLiteral("Loads a project and runs its batch without a window."),
          QStringLiteral("\nExit codes:\n  0   done\n")},
         {QStringLiteral("Lädt ein Projekt und führt seinen Batch ohne Fenster aus."),
          QStringLiteral("\nExit-Codes:\n  0   fertig\n")},
         {},
         {}},
    };
    for (const char* language : {"en-us", "de-de"}) {
        const bool german = QByteArray(language) == "de-de";
        ChooseLanguage(QString::fromLatin1(language));
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(language) + ": " + c.Name);
            FTemp.MakeFolder(QStringLiteral("work"));
            const TRun run = Run(c.Arguments());
            EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Err.toStdString();
            for (const QString& text : german ? c.GermanOut : c.EnglishOut)
                EXPECT_TRUE(run.Out.contains(text)) << run.Out.toStdString();
            for (const QString& text : german ? c.GermanErr : c.EnglishErr)
                EXPECT_TRUE(run.Err.contains(text)) << run.Err.toStdString();
        }
    }
}

// The help tells how to let a project use folders outside the temp folders: the human safe mode,
// its setting, and the options file that holds it for this data root. Asking for help writes
// nothing.
TEST_F(PlovaneRunTest, HelpExplainsTheHumanSafeModeAndWritesNothing) {
    const QString home = FTemp.MakeFolder(QStringLiteral("home"));
    const std::vector<std::pair<QStringList, QString>> cases = {
        {DataRootArgs() << QStringLiteral("--help"),
         FDataRoot + QStringLiteral("config/options.ini")},
        {{QStringLiteral("--help")},
         home + QStringLiteral("Documents/Kestrin/Plovane 3/config/options.ini")},
    };
    for (const auto& [arguments, optionsFile] : cases) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        const QStringList before = FolderListing(FTemp.Path());
        const TRun run =
            Run(arguments, {{QStringLiteral("HOME"), home},
                            {QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral(".config")}});
        EXPECT_EQ(run.ExitCode, 0);
        // The help is wrapped into lines; its words are what counts.
        const QString help = run.Out.simplified();
        for (const QString& text :
             {QStringLiteral("Human safe mode is on by default"),
              QStringLiteral("input directory inside the data root's temp/input/"),
              QStringLiteral("work directory inside its temp/work/"),
              QStringLiteral("set HumanSafeMode=0 in the section [ProgramOptions.Security] of the "
                             "options file \"") +
                  optionsFile + QStringLiteral("\".")})
            EXPECT_TRUE(help.contains(text)) << text.toStdString() << "\n" << run.Out.toStdString();
        EXPECT_EQ(FolderListing(FTemp.Path()), before);
    }
}

// Messages of the Qt library itself (here: a broken MIME description in the user's data folder,
// which Qt reads when the project's filters are described) stay off the terminal with --quiet;
// they are in the program log either way, and on standard error without --quiet.
TEST_F(PlovaneRunTest, QtWarningsGoToTheProgramLogAndOnlyWithoutQuietToTheTerminal) {
    const QString project = MakeProject(QStringLiteral("zq_kestrin_NoOp"));
    const QString broken =
        FTemp.WriteFile(QStringLiteral("home/.local/share/mime/packages/broken.xml"), "<mime-info");
    const QString warning = QStringLiteral("QMimeDatabase: Error loading ") + broken;
    for (const bool quiet : {true, false}) {
        SCOPED_TRACE(quiet ? "quiet" : "not quiet");
        QFile::remove(FDataRoot + QStringLiteral("logs/misc/program.log"));
        QStringList arguments = DataRootArgs();
        if (quiet)
            arguments << QStringLiteral("--quiet");
        const TRun run = Run(arguments << project);
        EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
        EXPECT_EQ(run.Err.contains(warning), !quiet) << run.Err.toStdString();
        const QString log = ProgramLog();
        EXPECT_TRUE(log.contains(QStringLiteral("ID: QtWarningMsg\r\nMessage: ") + warning))
            << log.toStdString();
    }
}

// Emptying the work folder goes to the trash of its file system, also for an account that has no
// data folder yet, and never into the current folder (here the input folder).
TEST_F(PlovaneRunTest, EmptyingAWorkFolderOfAFreshAccountLeavesTheCurrentFolderAlone) {
    const QString project = MakeProject(QStringLiteral("zq_kestrin_NoOp"));
    FTemp.WriteFile(QStringLiteral("work/old.txt"), "to be emptied");
    const QString freshHome = FTemp.MakeFolder(QStringLiteral("fresh"));
    auto* process = new QProcess();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    env.insert(QStringLiteral("HOME"), freshHome);
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(FInput);
    process->start(FProgram + QStringLiteral("plovane-run"),
                   DataRootArgs() << QStringLiteral("--quiet") << project);
    ASSERT_TRUE(process->waitForStarted());
    const TRun run = Finish(process);
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("fresh/.local/share/Trash/files/old.txt")),
              QByteArray("to be emptied"));
    EXPECT_EQ(QDir(FInput).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
              4);
}

// A work folder that must never be written is refused before anything happens: exit code 3 and
// a message naming the folder and why, in the chosen language; no batch log, nothing emptied.
TEST_F(PlovaneRunTest, RefusedWorkFoldersEndWithExitThreeNamingTheFolder) {
    const QString home = FTemp.MakeFolder(QStringLiteral("home"));
    FTemp.WriteFile(QStringLiteral("home/notes.txt"), "mine");
    struct TCase {
        const char* Language;
        QString Work;
        QString Message;
    };
    const TCase cases[] = {
        {"en-us", home,
         QStringLiteral("Error: The Work Directory \"") + home +
             QStringLiteral("\" can not be used: it is or holds the home folder \"") + home +
             QStringLiteral("\". A batch writes into this folder and may empty it.")},
        {"de-de", FDataRoot,
         QStringLiteral("Fehler: Das Arbeitsverzeichnis \"") + FDataRoot +
             QStringLiteral("\" kann nicht verwendet werden: Es ist oder enthält den Datenordner "
                            "des Programms \"") +
             FDataRoot + QStringLiteral("\"")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Language);
        ChooseLanguage(QString::fromLatin1(c.Language));
        const QString project = MakeProject(QStringLiteral("zq_kestrin_NoOp"), true, c.Work);
        const TRun run = Run(DataRootArgs() << project);
        EXPECT_EQ(run.ExitCode, 3) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.startsWith(c.Message)) << run.Err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(FDataRoot + QStringLiteral("logs/batches")) &&
                     !QDir(FDataRoot + QStringLiteral("logs/batches")).isEmpty());
        EXPECT_EQ(FTemp.ReadFile(QStringLiteral("home/notes.txt")), QByteArray("mine"));
    }
}

// A work folder whose top level holds only folders is left as it is; the batch log and the
// summary say so.
TEST_F(PlovaneRunTest, AWorkFolderLeftAsItIsIsToldInTheSummary) {
    const QString project = MakeProject(QStringLiteral("zq_kestrin_NoOp"));
    FTemp.WriteFile(QStringLiteral("work/earlier/output.txt"), "earlier");
    const TRun run = Run(DataRootArgs() << project);
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral(", work directory \"") + FWork +
                                 QStringLiteral("\" not emptied: its top level holds only folders "
                                                "or hidden entries")))
        << run.Out.toStdString();
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/earlier/output.txt")), QByteArray("earlier"));
}

// A batch that cannot be run at all (here its log cannot be created) is the runner's own error
// with its own exit code, not a project that cannot be loaded; it is in the program log too,
// and nothing was run.
TEST_F(PlovaneRunTest, BatchThatCannotBeRunIsExitFour) {
    const QString project = MakeProject(QStringLiteral("zq_kestrin_NoOp"));
    FTemp.WriteFile(QStringLiteral("data-root/logs/batches"), "a file where the logs go");
    const TRun run = Run(DataRootArgs() << QStringLiteral("--quiet") << project);
    EXPECT_EQ(run.ExitCode, 4) << run.Err.toStdString();
    const QString expected = QStringLiteral(
                                 "Error: The batch could not be run: Cannot create the "
                                 "batch log \"") +
                             FDataRoot + QStringLiteral("logs/batches/");
    EXPECT_TRUE(run.Err.startsWith(expected)) << run.Err.toStdString();
    EXPECT_EQ(run.Err.count(QLatin1Char('\n')), 1) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.isEmpty()) << run.Out.toStdString();
    EXPECT_TRUE(
        ProgramLog().contains(QStringLiteral("Exception Message: Cannot create the batch log")));
    EXPECT_TRUE(QDir(FWork).isEmpty());
}

// A --data-root that cannot be one is a usage error, told on standard error; nothing is
// written anywhere (no other data root seeded, no logs, no batch).
TEST_F(PlovaneRunTest, UnusableDataRootIsAUsageErrorAndNothingIsWritten) {
    const QString project = MakeProject(QStringLiteral("zq_kestrin_NoOp"));
    const QString file = FTemp.WriteFile(QStringLiteral("a file"), "not a folder");
    const std::vector<std::pair<QString, QString>> cases = {
        {file, file},
        {file + QStringLiteral("/below/root"), file},
    };
    const QStringList before = FolderListing(FTemp.Path());
    for (const auto& [dataRoot, blocker] : cases) {
        SCOPED_TRACE(dataRoot.toStdString());
        const TRun run =
            Run({QStringLiteral("--data-root"), dataRoot, QStringLiteral("--quiet"), project});
        EXPECT_EQ(run.ExitCode, 64) << run.Out.toStdString();
        EXPECT_EQ(run.Err, QStringLiteral("plovane-run: The data root \"") + dataRoot +
                               QStringLiteral("\" cannot be used: \"") + blocker +
                               QStringLiteral("\" is not a folder.\n"));
        EXPECT_TRUE(run.Out.isEmpty()) << run.Out.toStdString();
        EXPECT_EQ(FolderListing(FTemp.Path()), before);
    }
}

// A fresh account has no documents folder yet: the data goes below the one the desktop names,
// which is created, and not into the program folder.
TEST_F(PlovaneRunTest, FreshAccountKeepsItsDataBelowItsDocumentsFolder) {
    const QString home = FTemp.MakeFolder(QStringLiteral("fresh"));
    const TRun run = Run({QStringLiteral("--list-plugins")},
                         {{QStringLiteral("HOME"), home},
                          {QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral(".config")}});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(
        QFileInfo::exists(home + QStringLiteral("Documents/Kestrin/Plovane 3/config/options.ini")));
    for (const char16_t* sub : {u"config", u"logs", u"temp", u"projects"})
        EXPECT_FALSE(QFileInfo::exists(FProgram + QString::fromUtf16(sub)))
            << "data in the program folder";
}

// A picture or an empty file named as the project is refused naming it; it never runs on the
// default settings, which would empty the temporary work folder.
TEST_F(PlovaneRunTest, FilesThatAreNoProjectsAreRefusedAndNothingIsRun) {
    const QString keep = FDataRoot + QStringLiteral("temp/work/keep.txt");
    for (const TGarbledProject& c : GarbledProjectFiles()) {
        SCOPED_TRACE(c.Name);
        FTemp.WriteFile(QStringLiteral("data-root/temp/work/keep.txt"), "mine");
        const QString path = FTemp.WriteFile(QStringLiteral("garbled.plv"), c.Bytes);
        const TRun run = Run(DataRootArgs() << QStringLiteral("--quiet") << path);
        EXPECT_EQ(run.ExitCode, 3) << run.Out.toStdString();
        EXPECT_TRUE(run.Err.contains(QStringLiteral("\"") + path + QStringLiteral("\"")))
            << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains(c.Expected)) << run.Err.toStdString();
        EXPECT_EQ(ReadWholeFile(keep), QByteArray("mine"));
        EXPECT_EQ(ReadWholeFile(path), c.Bytes);
        EXPECT_TRUE(QDir(FDataRoot + QStringLiteral("logs/batches"))
                        .entryList(QDir::Files | QDir::Hidden)
                        .isEmpty());
    }
}

// Two runs on one data root: the batch log of a batch still running in one process is left by
// the retention of the other, which keeps only one log; once the first batch is over, its log
// goes like any other.
TEST_F(PlovaneRunTest, RetentionLeavesTheLogOfABatchRunningInAnotherProcess) {
    FTemp.WriteFile(QStringLiteral("data-root/config/options.ini"),
                    "[ProgramOptions.Security]\r\nHumanSafeMode=0\r\n"
                    "[ProgramOptions.Logging]\r\nBatchLogCount=1\r\n");
    const QString logs = FDataRoot + QStringLiteral("logs/batches/");
    const QString project = MakeProject(QStringLiteral("zq_test_Gate"));
    const QString gate = FTemp.MakeFolder(QStringLiteral("gate"));
    ASSERT_EQ(::mkfifo((gate + QStringLiteral("started")).toUtf8().constData(), 0600), 0);
    ASSERT_EQ(::mkfifo((gate + QStringLiteral("release")).toUtf8().constData(), 0600), 0);
    const int started =
        ::open((gate + QStringLiteral("started")).toUtf8().constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(started, 0);
    QProcess* first = Start(DataRootArgs() << QStringLiteral("--quiet") << project,
                            {{QStringLiteral("PLOVANE_TEST_GATE"), gate}});
    pollfd waitStarted{started, POLLIN, 0};
    ASSERT_EQ(::poll(&waitStarted, 1, 120000), 1) << "the plugin never started";
    ::close(started);
    const QStringList firstLogs = QDir(logs).entryList({QStringLiteral("*.log")}, QDir::Files);
    ASSERT_EQ(firstLogs.size(), 1);
    const QString firstLog = logs + firstLogs.first();

    // The second run works on a folder of its own.
    FWork = FTemp.MakeFolder(QStringLiteral("work2"));
    const QString second = MakeProject(QStringLiteral("zq_kestrin_NoOp"));
    const TRun run = Run(DataRootArgs() << QStringLiteral("--quiet") << second);
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(firstLog));
    EXPECT_EQ(QDir(logs).entryList({QStringLiteral("*.log")}, QDir::Files).size(), 2);

    const int release = ::open((gate + QStringLiteral("release")).toUtf8().constData(), O_WRONLY);
    ASSERT_GE(release, 0);
    ASSERT_EQ(::write(release, "1", 1), 1);
    ::close(release);
    const TRun firstRun = Finish(first);
    EXPECT_EQ(firstRun.ExitCode, 0) << firstRun.Err.toStdString();
    EXPECT_TRUE(ReadWholeFile(firstLog).contains("  Batch items done: 4.\r\n"));

    EXPECT_EQ(Run(DataRootArgs() << QStringLiteral("--quiet") << second).ExitCode, 0);
    EXPECT_FALSE(QFileInfo::exists(firstLog));
    EXPECT_EQ(QDir(logs).entryList({QStringLiteral("*.log")}, QDir::Files).size(), 1);
}

// A project file whose filter cannot be matched (a mask with an unclosed "[", as a hand-edited
// or damaged file may hold) is refused when the settings are checked, before the work folder
// is emptied or anything is copied.
TEST_F(PlovaneRunTest, AFilterThatCannotBeMatchedIsRefusedBeforeAnythingHappens) {
    const QString project = MakeProject(QStringLiteral("zq_kestrin_NoOp"));
    // The filter "*.txt" becomes "*.[tx" (as long) inside the stored module configuration: its
    // text form is the stream's bytes last to first, two hexadecimal digits each.
    QByteArray file = ReadWholeFile(project);
    const qsizetype start = file.indexOf("ModulesConf=") + qsizetype(sizeof "ModulesConf=") - 1;
    const qsizetype end = file.indexOf('\r', start);
    QByteArray stream = QByteArray::fromHex(file.mid(start, end - start));
    std::reverse(stream.begin(), stream.end());
    ASSERT_EQ(stream.count("*.txt"), 1);
    stream.replace("*.txt", "*.[tx");
    std::reverse(stream.begin(), stream.end());
    file.replace(start, end - start, stream.toHex().toUpper());
    FTemp.WriteFile(QStringLiteral("project.plv"), file);
    FTemp.WriteFile(QStringLiteral("work/old.txt"), "kept");

    const TRun run = Run(DataRootArgs() << QStringLiteral("--quiet") << project);
    EXPECT_EQ(run.ExitCode, 3) << run.Err.toStdString() << run.Out.toStdString();
    EXPECT_TRUE(run.Err.contains(
        QStringLiteral("The filter \"*.[tx\" of the project modules cannot be used: ")))
        << run.Err.toStdString();
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/old.txt")), QByteArray("kept"));
    EXPECT_FALSE(QFileInfo::exists(FWork + QStringLiteral("f0.txt")));
    EXPECT_TRUE(QDir(FDataRoot + QStringLiteral("logs/batches/")).isEmpty());
}

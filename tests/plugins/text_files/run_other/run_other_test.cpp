// The run other plugin through the host as a batch drives it, starting small shell scripts
// that record what they were given. Nothing here waits on time: a script that must still be
// running blocks on a FIFO until the test releases it, and the test learns that a script ended
// by reading a second FIFO to its end.

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/child_program.h"
#include "platform/shell_start.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugins/text_files/run_other/plugin_internal_run_other.h"
#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folders.h"

namespace {

const QStringList KColumns = {QStringLiteral("APP_RUN_PATH"), QStringLiteral("PARAMETERS"),
                              QStringLiteral("NOSYNC")};

// Records its folder, its process and parent ids and every argument, one line each, appended
// to the file named by RECORD (relative names land in the working folder).
const QByteArray KRecorder =
    "#!/bin/sh\n"
    "{ printf 'cwd=%s\\n' \"$(pwd -P)\"; printf 'pid=%s\\n' \"$$\"; printf 'ppid=%s\\n' \"$PPID\";"
    "  for a in \"$@\"; do printf 'arg=%s\\n' \"$a\"; done; } >> \"$RECORD\"\n";

// Records like the recorder and where its standard output and error go, then blocks until a
// line arrives on the FIFO "release", and finally opens the FIFO "ended" for writing, so the
// test can tell it has finished.
const QByteArray KBlocker = KRecorder +
                            "o=$(readlink /proc/$$/fd/1); e=$(readlink /proc/$$/fd/2)\n"
                            "printf 'stdout=%s\\nstderr=%s\\n' \"$o\" \"$e\" >> \"$RECORD\"\n"
                            "read line < \"$RELEASE\"\n"
                            "printf 'released\\n' >> \"$RECORD\"\n"
                            ": > \"$ENDED\"\n";

void MakeExecutable(const QString& APath) {
    ASSERT_EQ(::chmod(QFile::encodeName(APath).constData(), 0755), 0);
}

void MakeFifo(const QString& APath) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(APath).constData(), 0600), 0);
}

class RunOtherTest : public ::testing::Test {
protected:
    RunOtherTest()
        : FHarness(QStringLiteral("RunOther"),
                   [] { return std::make_unique<TPluginInternal_RunOther>(); }) {}

    void SetUp() override {
        FBin = FHarness.Temp().MakeFolder(QStringLiteral("bin dir"));
        FRecord = FHarness.Temp().Path(QStringLiteral("record.txt"));
        FRecordEnv.emplace("RECORD", QFile::encodeName(FRecord));
        FRecorder = Script(QStringLiteral("record.sh"), KRecorder);
    }

    QString Root() const { return FHarness.Temp().Path(QStringLiteral("root/")); }
    QString Script(const QString& AName, const QByteArray& AText) const {
        const QString path = FHarness.Temp().WriteFile(QStringLiteral("bin dir/") + AName, AText);
        MakeExecutable(path);
        return path;
    }
    QStringList Record() const {
        return QString::fromUtf8(ReadWholeFile(FRecord)).split(u'\n', Qt::SkipEmptyParts);
    }
    QStringList RecordedArguments() const {
        QStringList arguments;
        for (const QString& line : Record()) {
            if (line.startsWith(QStringLiteral("arg=")))
                arguments << line.mid(4);
        }
        return arguments;
    }
    QString Recorded(const QString& AKey) const {
        const QStringList lines = Record().filter(QRegularExpression(u'^' + AKey + u'='));
        return lines.isEmpty() ? QString() : lines.first().mid(AKey.size() + 1);
    }
    void Run(const QList<QStringList>& ARows, const QStringList& APaths) {
        FHarness.Run(Root(), {{QStringLiteral("RunOtherList"), StoredGrid(KColumns, ARows)}},
                     APaths);
    }

    TPluginBatchHarness FHarness;
    QString FBin;
    QString FRecord;
    QString FRecorder;
    std::optional<TScopedEnv> FRecordEnv;
};

struct TParameterCase {
    const char* Parameters;
    QString Path;
    QStringList Expected;
};

TEST_F(RunOtherTest, ThePathReplacesEveryPlaceholderAndQuotesKeepOneParameter) {
    const QString path = FHarness.Temp().WriteFile(QStringLiteral("root/my docs/a b.txt"), "x");
    const QString plain = FHarness.Temp().WriteFile(QStringLiteral("root/a.txt"), "x");
    const std::vector<TParameterCase> cases = {
        {"-f ?FP?", plain, {QStringLiteral("-f"), plain}},
        {"?FP? ?FP?", plain, {plain, plain}},
        {"?fp? ?Fp?", plain, {QStringLiteral("?fp?"), QStringLiteral("?Fp?")}},
        {"-in \"?FP?\" -out \"?FP?.bak\"",
         path,
         {QStringLiteral("-in"), path, QStringLiteral("-out"), path + QStringLiteral(".bak")}},
        {"", plain, {}},
        {"\"\" two", plain, {QString(), QStringLiteral("two")}},
    };
    for (const TParameterCase& c : cases) {
        QFile::remove(FRecord);
        Run({{FRecorder, QString::fromUtf8(c.Parameters), QStringLiteral("False")}}, {c.Path});
        EXPECT_EQ(RecordedArguments(), c.Expected) << c.Parameters;
        EXPECT_EQ(FHarness.Sink().Errors(), QStringList()) << c.Parameters;
        // The program runs in its own folder.
        EXPECT_EQ(Recorded(QStringLiteral("cwd")) + u'/', FBin) << c.Parameters;
    }
}

// Writes every argument followed by a zero byte, so names holding line breaks come back whole.
const QByteArray KExactRecorder = "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$RECORD\"\n";

// Names a user's files may carry that a shell or a careless splitter would take apart: the path
// stays exactly one argument wherever the placeholder stands, and nothing in it is run.
TEST_F(RunOtherTest, ANameNeverChangesTheArgumentsAroundIt) {
    const QString exact = Script(QStringLiteral("exact.sh"), KExactRecorder);
    const char* names[] = {
        "a b.txt",   "important\" \"x.tmp", "q\"uote.txt",        "new\nline.txt", "tab\there.txt",
        "-rf x.txt", "$(touch pwned).txt",  "`touch pwned2`.txt", "?FP?.txt"};
    struct TTemplate {
        const char* Parameters;
        QStringList Words;  // "?FP?" in a word stands for the path
    };
    const std::vector<TTemplate> templates = {
        {"?FP?", {QStringLiteral("?FP?")}},
        {"-f \"?FP?\"", {QStringLiteral("-f"), QStringLiteral("?FP?")}},
        {"--in=?FP? --out \"?FP?.bak\" ?FP?",
         {QStringLiteral("--in=?FP?"), QStringLiteral("--out"), QStringLiteral("?FP?.bak"),
          QStringLiteral("?FP?")}},
        {"\"x ?FP? y\" last", {QStringLiteral("x ?FP? y"), QStringLiteral("last")}},
    };
    for (const char* name : names) {
        const QString path =
            FHarness.Temp().WriteFile(QStringLiteral("root/") + QString::fromUtf8(name), "x");
        for (const TTemplate& t : templates) {
            QFile::remove(FRecord);
            Run({{exact, QString::fromUtf8(t.Parameters), QStringLiteral("False")}}, {path});
            QStringList expected;
            for (const QString& word : t.Words)
                expected << QString(word).replace(QStringLiteral("?FP?"), path);
            QList<QByteArray> got = ReadWholeFile(FRecord).split('\0');
            ASSERT_FALSE(got.isEmpty());
            got.removeLast();  // after the last zero byte
            QStringList arguments;
            for (const QByteArray& word : got)
                arguments << QString::fromUtf8(word);
            EXPECT_EQ(arguments, expected) << name << " with " << t.Parameters;
            EXPECT_EQ(FHarness.Sink().Errors(), QStringList()) << name;
        }
    }
    EXPECT_FALSE(QFile::exists(FBin + QStringLiteral("pwned")));
    EXPECT_FALSE(QFile::exists(FBin + QStringLiteral("pwned2")));
}

// The case as it hurts: rm given a name that holds quotes deletes that file and nothing else.
TEST_F(RunOtherTest, RemovingAFileWithQuotesInItsNameLeavesItsNamesakeAlone) {
    const QString important = FHarness.Temp().WriteFile(QStringLiteral("root/important"), "keep");
    const QString tmp =
        FHarness.Temp().WriteFile(QStringLiteral("root/important\" \"x.tmp"), "drop");
    // Run from the batch root, as a user's program would be, so a split "important" would hit.
    const QString rm = FindExecutableInPath(QStringLiteral("rm"));
    ASSERT_FALSE(rm.isEmpty());
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Root()));
    Run({{rm, QStringLiteral("-f \"?FP?\""), QStringLiteral("False")}}, {tmp});
    QDir::setCurrent(cwd);
    EXPECT_TRUE(QFile::exists(important));
    EXPECT_FALSE(QFile::exists(tmp));
    EXPECT_EQ(FHarness.Sink().Errors(), QStringList());
}

// A program typed relative to the current folder, a script without "#!" and a document handed
// to xdg-open by a relative name all start, although each runs in its own folder.
TEST_F(RunOtherTest, RelativeProgramsScriptsWithoutInterpreterAndDocumentsStart) {
    const QString file = FHarness.Temp().WriteFile(QStringLiteral("root/a.txt"), "x");
    Script(QStringLiteral("bare.sh"), "printf 'arg=%s\\n' \"$@\" >> \"$RECORD\"\n");
    const QString fakeBin = FHarness.Temp().MakeFolder(QStringLiteral("fake bin"));
    MakeExecutable(FHarness.Temp().WriteFile(QStringLiteral("fake bin/xdg-open"), KRecorder));
    const TScopedEnv path("PATH", QFile::encodeName(fakeBin) + ':' + qgetenv("PATH"));
    FHarness.Temp().WriteFile(QStringLiteral("bin dir/notes.odt"), "document");
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(FHarness.Temp().Path(QString())));
    Run({{QStringLiteral("bin dir/record.sh"), QStringLiteral("relative"), QStringLiteral("False")},
         {QStringLiteral("./bin dir/bare.sh"), QStringLiteral("bare ?FP?"),
          QStringLiteral("False")},
         {QStringLiteral("bin dir/notes.odt"), QString(), QStringLiteral("False")}},
        {file});
    QDir::setCurrent(cwd);
    EXPECT_EQ(FHarness.Sink().Errors(), QStringList());
    EXPECT_EQ(RecordedArguments(), (QStringList{QStringLiteral("relative"), QStringLiteral("bare"),
                                                file, FBin + QStringLiteral("notes.odt")}));
}

TEST_F(RunOtherTest, WaitingMeansTheProgramHasEndedAndIsReaped) {
    const QString file = FHarness.Temp().WriteFile(QStringLiteral("root/a.txt"), "x");
    Run({{FRecorder, QStringLiteral("?FP?"), QStringLiteral("False")},
         {FRecorder, QStringLiteral("second"), QString()}},
        {file});
    // Both rows ran, in row order, each waited for.
    EXPECT_EQ(RecordedArguments(), (QStringList{file, QStringLiteral("second")}));
    const QStringList pids = Record().filter(QStringLiteral("pid="));
    ASSERT_FALSE(pids.isEmpty());
    for (const QString& line : Record()) {
        if (!line.startsWith(QStringLiteral("pid=")))
            continue;
        const pid_t pid = line.mid(4).toInt();
        // Gone entirely: no process, not even a zombie, holds the id any more.
        EXPECT_EQ(::kill(pid, 0), -1) << line.toStdString();
        EXPECT_EQ(errno, ESRCH) << line.toStdString();
    }
}

TEST_F(RunOtherTest, ContinuingAtOnceLeavesTheProgramRunningAndNoZombieBehind) {
    const QString release = FHarness.Temp().Path(QStringLiteral("release"));
    const QString ended = FHarness.Temp().Path(QStringLiteral("ended"));
    MakeFifo(release);
    MakeFifo(ended);
    const TScopedEnv releaseEnv("RELEASE", QFile::encodeName(release));
    const TScopedEnv endedEnv("ENDED", QFile::encodeName(ended));
    const QString blocker = Script(QStringLiteral("block.sh"), KBlocker);
    const QString file = FHarness.Temp().WriteFile(QStringLiteral("root/a.txt"), "x");

    // Returns while the program is blocked on the FIFO: the batch did not wait for it.
    Run({{blocker, QStringLiteral("?FP?"), QStringLiteral("True")}}, {file});
    EXPECT_EQ(FHarness.Sink().Errors(), QStringList());

    // Opening the FIFO for writing waits until the program reads it.
    QFile releaseFifo(release);
    ASSERT_TRUE(releaseFifo.open(QIODevice::WriteOnly));
    releaseFifo.write("go\n");
    releaseFifo.close();
    QFile endedFifo(ended);
    ASSERT_TRUE(endedFifo.open(QIODevice::ReadOnly));
    endedFifo.readAll();
    endedFifo.close();

    EXPECT_EQ(Record().filter(QStringLiteral("released")).size(), 1);
    EXPECT_EQ(RecordedArguments(), QStringList{file});
    // It holds none of the batch's output open: a pipe reading the batch ends with the batch.
    EXPECT_EQ(Recorded(QStringLiteral("stdout")), QStringLiteral("/dev/null"));
    EXPECT_EQ(Recorded(QStringLiteral("stderr")), QStringLiteral("/dev/null"));
    // Not this process's child, so it can never linger here as a zombie.
    EXPECT_NE(Recorded(QStringLiteral("ppid")).toLongLong(), static_cast<long long>(::getpid()));
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(RunOtherTest, AProgramThatCannotBeStartedIsReportedAndTheNextRowStillRuns) {
    const QString badInterpreter =
        Script(QStringLiteral("bad.sh"), "#!/nonexistent/interpreter\nexit 0\n");
    const QString missing = FBin + QStringLiteral("missing.sh");
    const QString file = FHarness.Temp().WriteFile(QStringLiteral("root/a.txt"), "x");
    for (const bool wait : {true, false}) {
        SCOPED_TRACE(wait ? "waiting" : "continuing");
        QFile::remove(FRecord);
        FHarness.Sink().Clear();
        const QString noSync = wait ? QStringLiteral("False") : QStringLiteral("True");
        Run({{missing, QStringLiteral("?FP?"), noSync},
             {badInterpreter, QStringLiteral("?FP?"), noSync},
             {FRecorder, QStringLiteral("after"), QStringLiteral("False")}},
            {file});
        const QStringList errors = FHarness.Sink().Errors();
        ASSERT_EQ(errors.size(), 2) << errors.join(u'\n').toStdString();
        EXPECT_TRUE(errors.at(0).contains(missing)) << errors.at(0).toStdString();
        EXPECT_TRUE(errors.at(1).contains(badInterpreter) &&
                    errors.at(1).contains(QStringLiteral("No such file")))
            << errors.at(1).toStdString();
        EXPECT_FALSE(FHarness.Sink().AnyAdvice());
        EXPECT_EQ(RecordedArguments(), QStringList{QStringLiteral("after")});
    }
}

// A file that is no program is opened with its associated program, through xdg-open.
TEST_F(RunOtherTest, ADocumentIsHandedToXdgOpen) {
    const QString fakeBin = FHarness.Temp().MakeFolder(QStringLiteral("fake bin"));
    const QString xdgOpen =
        FHarness.Temp().WriteFile(QStringLiteral("fake bin/xdg-open"), KRecorder);
    MakeExecutable(xdgOpen);
    const TScopedEnv path("PATH", QFile::encodeName(fakeBin) + ':' + qgetenv("PATH"));
    const QString document =
        FHarness.Temp().WriteFile(QStringLiteral("bin dir/session.RDP"), "full address:s:host");
    const QString file = FHarness.Temp().WriteFile(QStringLiteral("root/a.txt"), "x");
    Run({{document, QString(), QStringLiteral("False")}}, {file});
    EXPECT_EQ(RecordedArguments(), QStringList{document});
    EXPECT_EQ(FHarness.Sink().Errors(), QStringList());
}

TEST(RunOtherShellVerb, ARemoteDesktopFileIsConnectedAndEverythingElseOpened) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"/w/x.rdp", "connect"}, {"/w/X.RDP", "connect"}, {"/w/x.rdp.txt", "open"},
        {"/w/rdp", "open"},      {"/w/x.exe", "open"},    {"/w.rdp/x", "open"}};
    for (const auto& [target, verb] : cases)
        EXPECT_EQ(ShellVerbFor(QString::fromUtf8(target)), QString::fromUtf8(verb)) << target;
}

TEST_F(RunOtherTest, RowVerificationRejectsAProgramPathThatNamesNoFile) {
    TPluginStoredLibInfo& plugin = FHarness.Descriptor();
    plugin.LoadPlugin();
    const QString folder = FBin;
    struct TCase {
        QString Program;
        bool Rejected;
    };
    const std::vector<TCase> cases = {{FRecorder, false},
                                      {FBin + QStringLiteral("missing.sh"), true},
                                      {folder, true},
                                      {QString(), true}};
    for (const TCase& c : cases) {
        QStringList reports;
        plugin.NP_PrepareVerifyGridRow(QStringLiteral("RunOtherList"));
        plugin.NP_AddVerifyPropGridValue(QStringLiteral("RunOtherList"), c.Program);
        plugin.NP_AddVerifyPropGridValue(QStringLiteral("RunOtherList"), QStringLiteral("?FP?"));
        plugin.NP_AddVerifyPropGridValue(QStringLiteral("RunOtherList"), QStringLiteral("True"));
        plugin.NP_EndVerifyGridRow(
            QStringLiteral("RunOtherList"),
            [&](std::int32_t AField, const QString& AError, const QString& AAdvice) {
                reports << QString::number(AField) + u'|' + AError + u'|' + AAdvice;
            });
        EXPECT_EQ(reports, c.Rejected
                               ? QStringList{QStringLiteral(
                                     "0|The application to run does not exist.|Choose a correct "
                                     "path for a file (application) to run.")}
                               : QStringList())
            << c.Program.toStdString();
    }
}

}  // namespace

// Whole batches under faults: killed at exact steps, a full disk, files that cannot be read or
// written or vanish, plugins that misbehave, links that loop or leave the input, names that are
// no text. Every case checks what a user relies on: the input folder is byte for byte as it was
// (unless the project works in place), no file in the work folder is cut off or half-written,
// and the batch log names every path that failed with its reason.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/path_placeholders.h"
#include "app/program_options.h"
#include "tests/reliability/batch_fault_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/process_run.h"
#include "tests/support/qstring_print.h"
#include "tests/support/stored_streams.h"

namespace {

const QString KNoOp = QStringLiteral("zq_kestrin_NoOp");
const QString KReplacer = QStringLiteral("zq_kestrin_TextReplacer");
const QString KZip = QStringLiteral("zq_kestrin_ZipCompress");
const QString KFault = QStringLiteral("zq_test_Fault");

// The text replacer's plain rules: each "old" becomes "new", letter case kept apart.
std::vector<std::pair<QString, QByteArray>> OldToNew() {
    return {
        {QStringLiteral("Simple"), StoredGrid({QStringLiteral("CASE_SENSITIVE"),
                                               QStringLiteral("MATCH"), QStringLiteral("REPLACE")},
                                              {{0, 0, QStringLiteral("1")},
                                               {1, 0, QStringLiteral("old")},
                                               {2, 0, QStringLiteral("new")}})}};
}

// Writes a file under a name given as bytes (it need not be UTF-8).
void WriteNative(const QString& AFolder, const QByteArray& AName, const QByteArray& ABytes) {
    const QByteArray path = QFile::encodeName(AFolder) + AName;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ASSERT_EQ(::write(fd, ABytes.constData(), static_cast<size_t>(ABytes.size())), ABytes.size());
    ::close(fd);
}

QByteArray ReadNative(const QString& AFolder, const QByteArray& AName) {
    const QByteArray path = QFile::encodeName(AFolder) + AName;
    QByteArray bytes;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, got);
    ::close(fd);
    return bytes;
}

// Lines of text naming the file, so that any cut shows.
QByteArray OldText(const char* AName, int ALines) {
    QByteArray text;
    for (int i = 0; i < ALines; ++i)
        text += QByteArray(AName) + " line " + QByteArray::number(i) + ": old words\n";
    return text;
}

QByteArray NewText(const QByteArray& AOld) {
    QByteArray text = AOld;
    return text.replace("old", "new");
}

// unzip's own listing and test of an archive.
TProcessRun Unzip(const QStringList& AArguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("unzip"), AArguments);
    return FinishProcess(process);
}

QString Joined(const TBatchRun& ARun) {
    return QStringLiteral("exit %1 signal %2\nout: %3\nerr: %4\nlog:\n%5")
        .arg(ARun.ExitCode)
        .arg(ARun.Signal)
        .arg(ARun.Out, ARun.Err, ARun.BatchLog);
}

}  // namespace

// Killed at a step, the batch leaves the input as it was; the next run of the same project
// completes normally and leaves complete files only.
TEST_F(BatchFaultTest, ABatchKilledAtAnyStepRunsAgainToCompletion) {
    struct TCase {
        const char* Name;
        TFaultProject Project;
        QString StallAt;       // the file creation the first run is killed at
        QStringList Archives;  // archives the batch makes in the work folder
    };
    const std::vector<TCase> cases = {
        {"while copying",
         {false, false, 1, {{QStringLiteral("*.*"), KNoOp, {}}}},
         QStringLiteral("c.txt"),
         {}},
        {"while rewriting text in place",
         {true, false, 1, {{QStringLiteral("*.txt"), KReplacer, OldToNew()}}},
         QStringLiteral(".plvtmp-"),
         {}},
        {"while zipping",
         {false, true, 1, {{QStringLiteral("/"), KZip, {}}}},
         QStringLiteral("docs.zip"),
         {QStringLiteral("docs.zip")}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        RemoveTreeNative(FInput);
        RemoveTreeNative(FWork);
        FTemp.MakeFolder(QStringLiteral("work"));
        const QByteArray a = OldText("a.txt", 20);
        const QByteArray b = OldText("b.txt", 20000);
        const QByteArray c1 = OldText("c.txt", 5000);
        FTemp.WriteFile(QStringLiteral("in/a.txt"), a);
        FTemp.WriteFile(QStringLiteral("in/b.txt"), b);
        FTemp.WriteFile(QStringLiteral("in/docs/c.txt"), c1);
        FTemp.WriteFile(QStringLiteral("in/docs/d.htm"), "<p>old</p>");
        const TTreeManifest input = ManifestOf(FInput);
        const QString project = WriteProject(c.Project);

        ASSERT_TRUE(RunAndKillAt(project, c.StallAt));
        if (!c.Project.InputIsWork) {
            EXPECT_EQ(ManifestDifferences(input, ManifestOf(FInput)), QStringList());
            // What the killed copy left is complete or absent.
            EXPECT_EQ(CopiesDifferingFromInput(), QStringList());
        } else {
            // Worked in place: each file is wholly old or wholly new, never cut, and no
            // unfinished temporary file is left among the user's files.
            for (const auto& [name, text] :
                 {std::pair{"a.txt", a}, std::pair{"b.txt", b}, std::pair{"docs/c.txt", c1}}) {
                const QByteArray now = ReadWholeFile(FInput + QString::fromLatin1(name));
                EXPECT_TRUE(now == text || now == NewText(text)) << name;
            }
            EXPECT_EQ(UnfinishedWrites(ManifestOf(FInput)), QStringList());
        }

        const TBatchRun again = Run(project);
        EXPECT_EQ(again.ExitCode, 0) << Joined(again).toStdString();
        const QString folder = c.Project.InputIsWork ? FInput : FWork;
        EXPECT_EQ(UnfinishedWrites(ManifestOf(folder), c.Archives), QStringList());
        if (c.Project.InputIsWork) {
            EXPECT_EQ(ReadWholeFile(FInput + QStringLiteral("a.txt")), NewText(a));
            EXPECT_EQ(ReadWholeFile(FInput + QStringLiteral("b.txt")), NewText(b));
            EXPECT_EQ(ReadWholeFile(FInput + QStringLiteral("docs/c.txt")), NewText(c1));
            continue;
        }
        EXPECT_EQ(ManifestDifferences(input, ManifestOf(FInput)), QStringList());
        EXPECT_EQ(CopiesDifferingFromInput(), QStringList());
        for (const QString& name : {QStringLiteral("a.txt"), QStringLiteral("b.txt"),
                                    QStringLiteral("docs/c.txt"), QStringLiteral("docs/d.htm")})
            EXPECT_TRUE(QFile::exists(FWork + name)) << name.toStdString();
        for (const QString& archive : c.Archives) {
            const TProcessRun test = Unzip({QStringLiteral("-tq"), FWork + archive});
            EXPECT_EQ(test.ExitCode, 0) << test.Out.toStdString() << test.Err.toStdString();
            const TProcessRun list = Unzip({QStringLiteral("-Z1"), FWork + archive});
            EXPECT_EQ(list.Out.split(u'\n', Qt::SkipEmptyParts),
                      QStringList({QStringLiteral("c.txt"), QStringLiteral("d.htm")}));
        }
    }
}

// A batch killed after a temporary file got its name and before it took the place of the file
// it belongs to (a rewrite, a copy over an older file, an archive being written) leaves it
// behind. The next batch removes it before anything else, says so, and never packs it.
TEST_F(BatchFaultTest, LeftoversOfAKilledBatchAreRemovedByTheNextAndNeverPacked) {
    struct TCase {
        const char* Name;
        TFaultProject Project;
        QString StallAt;  // the rename the first run is killed at
        QString Marker;   // what the leftover's name holds
    };
    const std::vector<TCase> cases = {
        {"between naming and renaming a rewrite",
         {true,
          false,
          1,
          {{QStringLiteral("*.txt"), KReplacer, OldToNew()}, {QStringLiteral("/"), KZip, {}}}},
         QStringLiteral("docs/.c.txt.plvtmp-"),
         QStringLiteral(".plvtmp-")},
        {"inside the archive writer",
         {true, false, 1, {{QStringLiteral("/"), KZip, {}}}},
         QStringLiteral("docs/.sub.zip.plvzip-"),
         QStringLiteral(".plvzip-")},
        {"copying over an older file",
         {false, false, 1, {{QStringLiteral("/"), KZip, {}}}},
         QStringLiteral("c.txt.plvcopy-"),
         QStringLiteral(".plvcopy-")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        RemoveTreeNative(FInput);
        RemoveTreeNative(FWork);
        FTemp.WriteFile(QStringLiteral("in/a.txt"), OldText("a.txt", 20));
        FTemp.WriteFile(QStringLiteral("in/docs/c.txt"), OldText("c.txt", 2000));
        FTemp.WriteFile(QStringLiteral("in/docs/sub/e.txt"), OldText("e.txt", 20));
        // An older copy in the work folder, which the copy replaces.
        FTemp.WriteFile(QStringLiteral("work/docs/c.txt"), "older");
        const QString root = c.Project.InputIsWork ? FInput : FWork;
        const QString project = WriteProject(c.Project);

        ASSERT_TRUE(RunAndKillAt(project, c.StallAt, {}, TStallStep::Rename));
        QStringList leftovers = UnfinishedWrites(ManifestOf(root));
        ASSERT_EQ(leftovers.size(), 1) << leftovers.join(u' ').toStdString();
        const QString leftover = leftovers.first();
        EXPECT_TRUE(leftover.startsWith(QStringLiteral("docs/")) && leftover.contains(c.Marker))
            << leftover.toStdString();

        const TBatchRun again = Run(project);
        EXPECT_EQ(again.ExitCode, 0) << Joined(again).toStdString();
        EXPECT_EQ(UnfinishedWrites(ManifestOf(root)), QStringList());
        const QStringList lines = LogLinesNaming(again.BatchLog, root + leftover);
        ASSERT_EQ(lines.size(), 1) << Joined(again).toStdString();
        EXPECT_TRUE(lines.first().startsWith(
            QStringLiteral("Leftover temporary file of an ended batch (process ")))
            << lines.first().toStdString();
        // The folder's archive holds the user's files only.
        const TProcessRun list = Unzip({QStringLiteral("-Z1"), root + QStringLiteral("docs.zip")});
        EXPECT_EQ(list.ExitCode, 0) << list.Err.toStdString();
        const QStringList entries = list.Out.split(u'\n', Qt::SkipEmptyParts);
        EXPECT_TRUE(entries.contains(QStringLiteral("c.txt"))) << list.Out.toStdString();
        for (const QString& entry : entries)
            EXPECT_FALSE(entry.contains(QStringLiteral(".plv"))) << entry.toStdString();
        EXPECT_EQ(ReadWholeFile(root + QStringLiteral("docs/c.txt")),
                  c.Project.Combinations.front().StrID == KReplacer
                      ? NewText(OldText("c.txt", 2000))
                      : OldText("c.txt", 2000));
    }
}

// In place, a link among the user's files that leads to a file outside the input folder is not
// followed by a rewrite: the file outside stays as it was, and the link is named in the log.
TEST_F(BatchFaultTest, InPlaceALinkLeadingOutIsNeverFollowed) {
    const QString secret = FTemp.WriteFile(QStringLiteral("outside/secret.txt"), "old secret");
    FTemp.WriteFile(QStringLiteral("in/real.txt"), "old real");
    ASSERT_EQ(::symlink("../outside/secret.txt",
                        QFile::encodeName(FInput + QStringLiteral("link.txt")).constData()),
              0);
    ASSERT_EQ(
        ::symlink("../outside", QFile::encodeName(FInput + QStringLiteral("outdir")).constData()),
        0);
    const QString project =
        WriteProject({true, false, 2, {{QStringLiteral("*.txt"), KReplacer, OldToNew()}}});

    const TBatchRun run = Run(project);
    EXPECT_EQ(run.ExitCode, 1) << Joined(run).toStdString();
    EXPECT_EQ(ReadWholeFile(secret), QByteArray("old secret"));
    EXPECT_EQ(ReadWholeFile(FInput + QStringLiteral("real.txt")), QByteArray("new real"));
    for (const QString& name : {QStringLiteral("link.txt"), QStringLiteral("outdir")}) {
        const QStringList lines = LogLinesNaming(run.BatchLog, FInput + name);
        ASSERT_EQ(lines.size(), 1) << Joined(run).toStdString();
        EXPECT_TRUE(lines.first().contains(QStringLiteral("is outside the batch root")))
            << lines.first().toStdString();
    }
}

// A folder of the input (or, in place, of the batch root) that cannot be read is not taken as
// empty: it is named in the batch log with the reason, and the batch ends with problems. Root
// may read any folder, so the run drops that privilege.
TEST_F(BatchFaultTest, AFolderThatCannotBeReadIsReportedNotTakenAsEmpty) {
    for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "copied");
        RemoveTreeNative(FInput);
        RemoveTreeNative(FWork);
        FTemp.MakeFolder(QStringLiteral("work"));
        FTemp.WriteFile(QStringLiteral("in/ok.txt"), "old ok");
        FTemp.WriteFile(QStringLiteral("in/closed/inner.txt"), "old inner");
        const QString closed = FInput + QStringLiteral("closed/");
        ASSERT_EQ(::chmod(QFile::encodeName(closed).constData(), 0), 0);
        const QString project =
            WriteProject({inPlace, true, 1, {{QStringLiteral("*.txt"), KReplacer, OldToNew()}}});

        const THelped helped = RunHelped(DropFileAccessPrivileges, project);
        ::chmod(QFile::encodeName(closed).constData(), 0755);
        if (helped.Skipped)
            GTEST_SKIP() << helped.SkipReason.toStdString();
        const TBatchRun& run = helped.Run;
        EXPECT_EQ(run.ExitCode, 1) << Joined(run).toStdString();
        const QString root = inPlace ? FInput : FWork;
        EXPECT_EQ(ReadWholeFile(root + QStringLiteral("ok.txt")), QByteArray("new ok"));
        EXPECT_EQ(ReadWholeFile(FInput + QStringLiteral("closed/inner.txt")),
                  QByteArray("old inner"));
        const QStringList lines = LogLinesNaming(run.BatchLog, closed);
        ASSERT_EQ(lines.size(), 1) << Joined(run).toStdString();
        EXPECT_TRUE(lines.first().startsWith(QStringLiteral("Directory could not be read")))
            << lines.first().toStdString();
        EXPECT_TRUE(lines.first().endsWith(QStringLiteral(": Permission denied.")))
            << lines.first().toStdString();
    }
}

// A work folder on a small file system that fills up: during the copy, the files that did not
// fit are absent and named in the batch log; during a rewrite, the file keeps its old content.
TEST_F(BatchFaultTest, AFullDiskLeavesCompleteFilesOrNoneAndNamesEveryFailure) {
    struct TCase {
        const char* Name;
        std::vector<std::pair<QString, QByteArray>> Files;
        TFaultProject Project;
        QStringList Failing;  // files that cannot be done; of the rest, each is done or reported
    };
    const QByteArray big = OldText("big", 3000);  // about 75 KB
    const std::vector<TCase> cases = {
        {"during the copy",
         {{QStringLiteral("one.txt"), big},
          {QStringLiteral("two.txt"), big},
          {QStringLiteral("three.txt"), big}},
         {false, false, 1, {{QStringLiteral("*.*"), KNoOp, {}}}},
         {}},
        {"during a rewrite",
         {{QStringLiteral("page.txt"), big + big}},
         {false, false, 1, {{QStringLiteral("*.txt"), KReplacer, OldToNew()}}},
         {QStringLiteral("page.txt")}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        RemoveTreeNative(FInput);
        FTemp.MakeFolder(QStringLiteral("in"));
        for (const auto& [name, bytes] : c.Files)
            FTemp.WriteFile(QStringLiteral("in/") + name, bytes);
        const TTreeManifest input = ManifestOf(FInput);
        const QString project = WriteProject(c.Project);
        // What the work folder holds can only be seen inside the helper, where the small file
        // system is mounted.
        QString workProblems;
        const TChildOutcome outcome = RunInChildProcess([&]() -> QByteArray {
            QString reason = EnterPrivateMountNamespace();
            if (reason.isEmpty())
                reason = MountSmallTmpfs(FWork, 200 * 1024);
            if (!reason.isEmpty())
                return KChildSkipped + reason.toUtf8();
            const TBatchRun run = Run(project);
            QStringList problems = UnfinishedWrites(ManifestOf(FWork));
            int failed = 0;
            for (const auto& [name, bytes] : c.Files) {
                const QString work = FWork + name;
                const QByteArray now = ReadWholeFile(work);
                const bool mustFail = c.Failing.contains(name);
                const bool done = !mustFail && (now == bytes || now == NewText(bytes));
                if (done)
                    continue;
                ++failed;
                // Not done: complete as copied or absent, and named in the batch log.
                if (QFile::exists(work) && now != bytes)
                    problems << name + QStringLiteral(" is cut or half-written");
                if (LogLinesNaming(run.BatchLog, name).isEmpty())
                    problems << name + QStringLiteral(" is not in the batch log");
            }
            if (failed == 0)
                problems << QStringLiteral("the disk never filled up");
            if (!run.BatchLog.contains(QStringLiteral("No space left on device")))
                problems << QStringLiteral("the batch log does not give the reason");
            if (run.ExitCode != 1)
                problems << QStringLiteral("exit code %1").arg(run.ExitCode);
            if (!problems.isEmpty())
                problems << Joined(run);
            return problems.join(u'\n').toUtf8();
        });
        if (outcome.Output.startsWith(KChildSkipped))
            GTEST_SKIP() << "needs a private mount namespace (root): "
                         << outcome.Output.mid(KChildSkipped.size()).toStdString();
        workProblems = QString::fromUtf8(outcome.Output);
        EXPECT_EQ(workProblems, QString());
        EXPECT_EQ(ManifestDifferences(input, ManifestOf(FInput)), QStringList());
    }
}

// A file that cannot be read, a folder that cannot be written and a file deleted between the
// listing and its worker: each is named in the batch log with its reason, the rest is done.
TEST_F(BatchFaultTest, UnreadableUnwritableAndVanishedPathsAreReportedAndTheRestIsDone) {
    FTemp.WriteFile(QStringLiteral("in/ok.txt"), "old ok");
    FTemp.WriteFile(QStringLiteral("in/gone.txt"), "old gone");
    const QString secret = FTemp.WriteFile(QStringLiteral("in/secret.txt"), "old secret");
    FTemp.WriteFile(QStringLiteral("in/locked/a.txt"), "old a");
    ASSERT_EQ(::chmod(QFile::encodeName(secret).constData(), 0), 0);
    const QString locked = FTemp.MakeFolder(QStringLiteral("work/locked"));
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0555), 0);
    const TTreeManifest input = ManifestOf(FInput);
    const QString project = WriteProject(
        {false,
         false,
         1,
         {{QStringLiteral(":"), KFault, {}}, {QStringLiteral("*.txt"), KReplacer, OldToNew()}}});

    const THelped helped =
        RunHelped(DropFileAccessPrivileges, project,
                  {{"PLOVANE_FAULT_WORK", "delete"},
                   {"PLOVANE_FAULT_PATH", QFile::encodeName(FWork) + "gone.txt"}});
    ::chmod(QFile::encodeName(locked).constData(), 0755);
    if (helped.Skipped)
        GTEST_SKIP() << helped.SkipReason.toStdString();
    const TBatchRun& run = helped.Run;
    EXPECT_EQ(run.ExitCode, 1) << Joined(run).toStdString();
    EXPECT_EQ(ReadWholeFile(FWork + QStringLiteral("ok.txt")), QByteArray("new ok"));
    EXPECT_FALSE(QFile::exists(FWork + QStringLiteral("secret.txt")));
    EXPECT_FALSE(QFile::exists(FWork + QStringLiteral("locked/a.txt")));
    const struct {
        QString Path;
        QString Reason;
    } failures[] = {{QStringLiteral("secret.txt"), QStringLiteral("Permission denied")},
                    {QStringLiteral("locked/a.txt"), QStringLiteral("Permission denied")},
                    {QStringLiteral("gone.txt"), QString()}};
    for (const auto& failure : failures) {
        const QStringList lines = LogLinesNaming(run.BatchLog, failure.Path);
        EXPECT_FALSE(lines.isEmpty()) << failure.Path.toStdString() << "\n"
                                      << Joined(run).toStdString();
        EXPECT_TRUE(lines.join(u'\n').contains(failure.Reason)) << lines.join(u'\n').toStdString();
    }
    EXPECT_EQ(UnfinishedWrites(ManifestOf(FWork)), QStringList());
    ::chmod(QFile::encodeName(secret).constData(), 0644);
    TTreeManifest inputNow = ManifestOf(FInput);
    inputNow[QByteArrayLiteral("secret.txt")].Mode = 0;
    EXPECT_EQ(ManifestDifferences(input, inputNow), QStringList());
}

// Working in place, a user's file deleted between the listing and its worker is reported and
// stays gone: nothing is made in its place, and the other files are rewritten.
TEST_F(BatchFaultTest, AFileVanishedInPlaceIsReportedAndNotMadeAgain) {
    FTemp.WriteFile(QStringLiteral("in/ok.txt"), "old ok");
    FTemp.WriteFile(QStringLiteral("in/sub/gone.txt"), "old gone");
    const QString project = WriteProject(
        {true,
         false,
         2,
         {{QStringLiteral(":"), KFault, {}}, {QStringLiteral("*.txt"), KReplacer, OldToNew()}}});

    const TBatchRun run =
        Run(project, {{"PLOVANE_FAULT_WORK", "delete"},
                      {"PLOVANE_FAULT_PATH", QFile::encodeName(FInput) + "sub/gone.txt"}});
    EXPECT_EQ(run.ExitCode, 1) << Joined(run).toStdString();
    EXPECT_EQ(ReadWholeFile(FInput + QStringLiteral("ok.txt")), QByteArray("new ok"));
    EXPECT_FALSE(QFileInfo::exists(FInput + QStringLiteral("sub/gone.txt")));
    EXPECT_FALSE(LogLinesNaming(run.BatchLog, QStringLiteral("sub/gone.txt")).isEmpty())
        << Joined(run).toStdString();
    QStringList left;
    for (const auto& [name, entry] : ManifestOf(FInput))
        left << QString::fromUtf8(name);
    EXPECT_EQ(left, QStringList({QStringLiteral("ok.txt"), QStringLiteral("sub")}));
}

// A plugin that throws, one that returns a path outside the batch root and one that fills its
// output buffer without an end: every path is reported, nothing else changes.
TEST_F(BatchFaultTest, MisbehavingPluginsFailTheirPathsOnlyAndEachIsReported) {
    const QString outside = FTemp.WriteFile(QStringLiteral("outside.txt"), "outside");
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    FTemp.WriteFile(QStringLiteral("in/b.txt"), "b");
    FTemp.WriteFile(QStringLiteral("in/sub/c.txt"), "c");
    FTemp.WriteFile(QStringLiteral("in/other.htm"), "not for the plugin");
    const TTreeManifest input = ManifestOf(FInput);
    const QString project = WriteProject({false, true, 2, {{QStringLiteral("*.txt"), KFault, {}}}});
    for (const char* work : {"throw", "outside", "overlong"}) {
        SCOPED_TRACE(work);
        const TBatchRun run = Run(project, {{"PLOVANE_FAULT_WORK", work},
                                            {"PLOVANE_FAULT_PATH", QFile::encodeName(outside)}});
        EXPECT_EQ(run.ExitCode, 1) << Joined(run).toStdString();
        for (const QString& name :
             {QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("sub/c.txt")})
            EXPECT_FALSE(LogLinesNaming(run.BatchLog, FWork + name).isEmpty())
                << name.toStdString() << "\n"
                << Joined(run).toStdString();
        EXPECT_TRUE(LogLinesNaming(run.BatchLog, QStringLiteral("other.htm")).isEmpty());
        EXPECT_EQ(ManifestDifferences(input, ManifestOf(FInput)), QStringList());
        EXPECT_EQ(CopiesDifferingFromInput(), QStringList());
        EXPECT_EQ(ReadWholeFile(outside), QByteArray("outside"));
    }
}

// Links that loop and links leaving the input folder: the batch ends, no folder outside the
// input is copied or packed, nothing outside is written, the work folder holds no link that
// could lead a later step outside, and every link left out is named in the batch log.
TEST_F(BatchFaultTest, LinksThatLoopOrLeaveTheInputNeverReachOutside) {
    const QString outside = FTemp.MakeFolder(QStringLiteral("outside"));
    const QString secret = FTemp.WriteFile(QStringLiteral("outside/secret.txt"), "old secret");
    FTemp.WriteFile(QStringLiteral("in/real.txt"), "old real");
    FTemp.WriteFile(QStringLiteral("in/sub/inner.txt"), "old inner");
    const auto link = [this](const QByteArray& ATarget, const QString& AName) {
        ASSERT_EQ(::symlink(ATarget.constData(), QFile::encodeName(FInput + AName).constData()), 0);
    };
    link(".", QStringLiteral("loop"));
    link("..", QStringLiteral("sub/up"));
    link(QFile::encodeName(outside), QStringLiteral("escape"));
    link(QFile::encodeName(secret), QStringLiteral("escape.txt"));
    link("nowhere", QStringLiteral("dangling.txt"));
    const TTreeManifest input = ManifestOf(FInput);
    const TTreeManifest outsideBefore = ManifestOf(outside);
    const QString project = WriteProject(
        {false,
         true,
         2,
         {{QStringLiteral("*.txt"), KReplacer, OldToNew()}, {QStringLiteral("/"), KZip, {}}}});

    const TBatchRun run = Run(project);
    EXPECT_TRUE(run.ExitCode == 0 || run.ExitCode == 1) << Joined(run).toStdString();
    EXPECT_EQ(ManifestDifferences(input, ManifestOf(FInput)), QStringList());
    EXPECT_EQ(ManifestDifferences(outsideBefore, ManifestOf(outside)), QStringList());
    EXPECT_EQ(ReadWholeFile(FWork + QStringLiteral("real.txt")), QByteArray("new real"));
    EXPECT_EQ(ReadWholeFile(FWork + QStringLiteral("sub/inner.txt")), QByteArray("new inner"));
    // No folder reached through a link is in the work folder, and no link leads out of it.
    for (const auto& [name, entry] : ManifestOf(FWork)) {
        const QString shown = QString::fromUtf8(name);
        EXPECT_FALSE(shown.startsWith(QStringLiteral("loop/")) ||
                     shown.startsWith(QStringLiteral("escape/")) ||
                     shown.startsWith(QStringLiteral("sub/up/")))
            << shown.toStdString();
        EXPECT_NE(entry.Kind, 'l')
            << shown.toStdString() << " -> " << entry.LinkTarget.toStdString();
    }
    for (const QString& left : {QStringLiteral("loop"), QStringLiteral("sub/up"),
                                QStringLiteral("escape"), QStringLiteral("dangling.txt")})
        EXPECT_FALSE(LogLinesNaming(run.BatchLog, FInput + left).isEmpty())
            << left.toStdString() << "\n"
            << Joined(run).toStdString();
    const TProcessRun list = Unzip({QStringLiteral("-Z1"), FWork + QStringLiteral("sub.zip")});
    EXPECT_EQ(list.Out.split(u'\n', Qt::SkipEmptyParts), QStringList(QStringLiteral("inner.txt")));
    EXPECT_EQ(UnfinishedWrites(ManifestOf(FWork), {QStringLiteral("sub.zip")}), QStringList());
}

// Names that are no text, hold a line break, start with "-" or are as long as a name can be:
// each is worked on under its exact name or reported, never merged with another or lost.
TEST_F(BatchFaultTest, OddNamesAreWorkedOnUnderTheirExactNamesOrReported) {
    const QByteArray latin1 = "caf\xe9.txt";
    const QList<QByteArray> names = {latin1,        "new\nline.txt",  "-rf.txt",
                                     "a.txt",       "A.txt",          QByteArray(251, 'n') + ".txt",
                                     "sp ace .txt", "back\\slash.txt"};
    for (const QByteArray& name : names)
        WriteNative(FInput, name, "old " + name);
    const TTreeManifest input = ManifestOf(FInput);
    const QString project =
        WriteProject({false, true, 2, {{QStringLiteral("*.txt"), KReplacer, OldToNew()}}});

    const TBatchRun run = Run(project);
    EXPECT_EQ(run.ExitCode, 1) << Joined(run).toStdString();
    const TTreeManifest work = ManifestOf(FWork);
    QList<QByteArray> workNames;
    for (const auto& [name, entry] : work)
        workNames << name;
    QList<QByteArray> inputNames;
    for (const auto& [name, entry] : input)
        inputNames << name;
    EXPECT_EQ(workNames, inputNames);
    for (const QByteArray& name : names) {
        const QByteArray content = ReadNative(FWork, name);
        if (name == latin1)
            EXPECT_EQ(content, "old " + name) << "a name that is no text is never handed on";
        else
            EXPECT_EQ(content, "new " + name) << name.toStdString();
    }
    EXPECT_FALSE(LogLinesNaming(run.BatchLog, QStringLiteral("caf")).isEmpty())
        << Joined(run).toStdString();
    EXPECT_EQ(ManifestDifferences(input, ManifestOf(FInput)), QStringList());
}

// The options file and a project saved while the disk is full: the save fails, and the previous
// file (or its backup) still loads with the previous values.
TEST_F(BatchFaultTest, SavesOnAFullDiskKeepAFileThatLoads) {
    const QString folder = FTemp.MakeFolder(QStringLiteral("full"));
    const TChildOutcome outcome = RunInChildProcess([&]() -> QByteArray {
        QString reason = EnterPrivateMountNamespace();
        if (reason.isEmpty())
            reason = MountSmallTmpfs(folder, 64 * 1024);
        if (!reason.isEmpty())
            return KChildSkipped + reason.toUtf8();
        QStringList problems;
        const TPathPlaceholders placeholders;
        const QString optionsFile = folder + QStringLiteral("options.ini");
        TProgramOptions options;
        options.FBatchLogCount = 7;
        if (!options.SaveToFile(optionsFile, placeholders))
            problems << QStringLiteral("the first save failed");
        const QString filled = FillFileSystem(folder + QStringLiteral("filler"));
        if (!filled.isEmpty())
            problems << filled;
        options.FBatchLogCount = 9;
        QString error;
        if (options.SaveToFile(optionsFile, placeholders, &error))
            problems << QStringLiteral("a save on a full disk reported success");
        if (error.isEmpty())
            problems << QStringLiteral("a failed save gave no reason");
        for (const QString& file : {optionsFile, folder + QStringLiteral("options.~ini")}) {
            TProgramOptions loaded;
            loaded.LoadFromFile(file, placeholders);
            if (loaded.FBatchLogCount != 7)
                problems << file + QStringLiteral(" does not hold the previous options");
        }
        return problems.join(u'\n').toUtf8();
    });
    if (outcome.Output.startsWith(KChildSkipped))
        GTEST_SKIP() << "needs a private mount namespace (root): "
                     << outcome.Output.mid(KChildSkipped.size()).toStdString();
    EXPECT_EQ(QString::fromUtf8(outcome.Output), QString());
    EXPECT_TRUE(outcome.Exited);
}

// A project whose plugin is no longer installed is not run in part: the batch would do less
// than the project says while reporting itself done. The project file stays as it was.
TEST_F(BatchFaultTest, AProjectWithAMissingPluginIsRefusedAndNothingIsRun) {
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "old a");
    const QString project = WriteProject({false,
                                          true,
                                          1,
                                          {{QStringLiteral("*.txt"), KReplacer, OldToNew()},
                                           {QStringLiteral("*.txt"), KFault, {}}}});
    const QByteArray stored = ReadWholeFile(project);
    ASSERT_TRUE(QFile::remove(FProgram + QStringLiteral("modules/External/fault/fault_plugin.so")));
    const TBatchRun run = Run(project);
    EXPECT_EQ(run.ExitCode, 3) << Joined(run).toStdString();
    EXPECT_TRUE(run.Err.contains(KFault)) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains(QStringLiteral("is not run"))) << run.Err.toStdString();
    EXPECT_FALSE(QFile::exists(FWork + QStringLiteral("a.txt")));
    EXPECT_EQ(run.BatchLog, QString());
    EXPECT_EQ(ReadWholeFile(project), stored);
}

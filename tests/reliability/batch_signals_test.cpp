// Signals and limits from outside the program: a real file-size limit (ulimit -f), a real
// closed output, a real plugin library that crashes. Neither a limit nor a closed output may end
// a batch; a crash ends it as it would have, but leaves a last batch log entry naming the plugin.
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/reliability/batch_fault_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/qstring_print.h"

extern char** environ;

namespace {

const QString KNoOp = QStringLiteral("zq_kestrin_NoOp");
const QString KFault = QStringLiteral("zq_test_Fault");

// How plovane-run ended and what it printed.
struct TEnded {
    int ExitCode = -1;
    int Signal = 0;
    QByteArray Out;
    QByteArray Err;
};

QByteArray Packed(const TEnded& AEnded) {
    return QByteArray::number(AEnded.ExitCode) + '\x1e' + QByteArray::number(AEnded.Signal) +
           '\x1e' + AEnded.Out + '\x1e' + AEnded.Err;
}

TEnded Unpacked(const QByteArray& ABytes) {
    const QList<QByteArray> fields = ABytes.split('\x1e');
    TEnded ended;
    if (fields.size() != 4) {
        ended.Err = "helper said: " + ABytes;
        return ended;
    }
    ended.ExitCode = fields[0].toInt();
    ended.Signal = fields[1].toInt();
    ended.Out = fields[2];
    ended.Err = fields[3];
    return ended;
}

class BatchSignalTest : public BatchFaultTest {
protected:
    // Runs plovane-run on the project with the default action of every signal (whatever this
    // test process ignores), AEnv added to the environment. Its output goes to pipes (which no
    // file-size limit touches); with ACloseOutput, to a pipe nobody reads any more.
    TEnded RunPlovane(const QString& AProject, const QMap<QByteArray, QByteArray>& AEnv = {},
                      bool ACloseOutput = false, bool AQuiet = true) {
        std::vector<std::string> args = {
            QFile::encodeName(FProgram + QStringLiteral("plovane-run")).toStdString(),
            "--data-root", QFile::encodeName(FDataRoot).toStdString()};
        if (AQuiet)
            args.push_back("--quiet");
        args.push_back(QFile::encodeName(AProject).toStdString());
        QMap<QByteArray, QByteArray> extra = AEnv;
        extra.insert("HOME", QFile::encodeName(FTemp.Path(QStringLiteral("home"))));
        extra.insert("XDG_DATA_HOME",
                     QFile::encodeName(FTemp.Path(QStringLiteral("home/.local/share"))));
        if (!extra.contains("ASAN_OPTIONS"))
            extra.insert("ASAN_OPTIONS", "detect_leaks=0");
        std::vector<std::string> env;
        for (char** item = environ; *item != nullptr; ++item) {
            const std::string text(*item);
            const std::string name = text.substr(0, text.find('='));
            if (name != "LD_PRELOAD" && !extra.contains(QByteArray(name.c_str())))
                env.push_back(text);
        }
        for (auto it = extra.begin(); it != extra.end(); ++it)
            env.push_back((it.key() + '=' + it.value()).toStdString());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& item : env)
            envp.push_back(item.data());
        envp.push_back(nullptr);

        int out[2];
        int err[2];
        TEnded ended;
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            return ended;
        if (ACloseOutput) {
            ::close(out[0]);
            ::close(err[0]);
            out[0] = err[0] = -1;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t all;
        sigfillset(&all);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        pid_t pid = -1;
        const int spawned =
            posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        ::close(out[1]);
        ::close(err[1]);
        // Both outputs are read as they come, so a child that writes much never waits on us.
        std::vector<pollfd> open;
        if (out[0] >= 0)
            open.push_back({out[0], POLLIN, 0});
        if (err[0] >= 0)
            open.push_back({err[0], POLLIN, 0});
        while (spawned == 0 && !open.empty()) {
            if (::poll(open.data(), open.size(), 120000) <= 0)
                break;
            for (std::size_t i = open.size(); i-- > 0;) {
                if (open[i].revents == 0)
                    continue;
                char buffer[4096];
                const ssize_t got = ::read(open[i].fd, buffer, sizeof buffer);
                if (got > 0) {
                    (open[i].fd == out[0] ? ended.Out : ended.Err).append(buffer, got);
                } else if (got == 0 || errno != EINTR) {
                    ::close(open[i].fd);
                    open.erase(open.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
        }
        for (const pollfd& left : open)
            ::close(left.fd);
        if (spawned != 0)
            return ended;
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status))
            ended.ExitCode = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            ended.Signal = WTERMSIG(status);
        return ended;
    }

    // The same in a forked helper whose files may grow to ALimit bytes at most (ulimit -f).
    TEnded RunPlovaneLimited(qint64 ALimit, const QString& AProject,
                             const QMap<QByteArray, QByteArray>& AEnv = {}) {
        const TChildOutcome outcome = RunInChildProcess([&]() -> QByteArray {
            struct rlimit limit {};
            limit.rlim_cur = static_cast<rlim_t>(ALimit);
            limit.rlim_max = static_cast<rlim_t>(ALimit);
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return "setrlimit failed";
            return Packed(RunPlovane(AProject, AEnv));
        });
        return Unpacked(outcome.Output);
    }

    // The newest batch log, as text.
    QString NewestBatchLog() const {
        const QString folder = FDataRoot + QStringLiteral("logs/batches/");
        const QStringList logs =
            QDir(folder).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name);
        return logs.isEmpty() ? QString() : QString::fromUtf8(ReadWholeFile(folder + logs.last()));
    }

    static std::string Shown(const TEnded& AEnded, const QString& ALog) {
        return QStringLiteral("exit %1 signal %2\nout: %3\nerr: %4\nlog:\n%5")
            .arg(AEnded.ExitCode)
            .arg(AEnded.Signal)
            .arg(QString::fromUtf8(AEnded.Out), QString::fromUtf8(AEnded.Err), ALog)
            .toStdString();
    }
};

}  // namespace

// Under a file-size limit, a write past it fails with its error for that path (or for the batch
// log), and the batch goes on: no SIGXFSZ ends it.
TEST_F(BatchSignalTest, AFileSizeLimitFailsTheWritesPastItAndNotTheBatch) {
    // Copies past the limit: those files fail, each is named with the reason, the others are
    // done. Each failure is also a program log entry, and that log soon passes the limit too:
    // said once on standard error, not for every entry.
    const int bigFiles = 60;
    for (int i = 0; i < bigFiles; ++i)
        FTemp.WriteFile(QStringLiteral("in/big%1.txt").arg(i), QByteArray(10 * 1024, 'b'));
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    FTemp.WriteFile(QStringLiteral("in/b.txt"), "b");
    {
        const QString project =
            WriteProject({false, true, 1, {{QStringLiteral("*.*"), KNoOp, {}}}});
        const TEnded ended = RunPlovaneLimited(8 * 1024, project);
        const QString log = NewestBatchLog();
        EXPECT_EQ(ended.Signal, 0) << Shown(ended, log);
        EXPECT_EQ(ended.ExitCode, 1) << Shown(ended, log);
        EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/a.txt")), QByteArray("a"));
        EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/b.txt")), QByteArray("b"));
        for (int i = 0; i < bigFiles; ++i) {
            const QString name = QStringLiteral("big%1.txt").arg(i);
            EXPECT_FALSE(QFile::exists(FWork + name)) << name.toStdString();
            const QStringList named = LogLinesNaming(log, QLatin1Char('/') + name);
            ASSERT_FALSE(named.isEmpty()) << log.toStdString();
            EXPECT_TRUE(named.join(u'\n').contains(QStringLiteral("File too large")))
                << named.join(u'\n').toStdString();
        }
        EXPECT_TRUE(log.contains(QStringLiteral("  Batch items done: 2.\r\n")))
            << log.toStdString();
        EXPECT_EQ(ended.Err.count("cannot write the program log"), 1) << Shown(ended, log);
    }
    for (int i = 0; i < bigFiles; ++i)
        QFile::remove(FInput + QStringLiteral("big%1.txt").arg(i));

    // A batch log that fills up half-way: said once, with the reason; the batch is done, but
    // with exit code 1, and standard error is not flooded.
    for (int i = 0; i < 40; ++i)
        FTemp.WriteFile(QStringLiteral("in/f%1.txt").arg(i), "x");
    {
        const QString project =
            WriteProject({false, true, 2, {{QStringLiteral("*.txt"), KFault, {}}}});
        const qint64 limit = 4000;
        const TEnded ended = RunPlovaneLimited(limit, project, {{"PLOVANE_FAULT_WORK", "throw"}});
        const QString log = NewestBatchLog();
        EXPECT_EQ(ended.Signal, 0) << Shown(ended, log);
        EXPECT_EQ(ended.ExitCode, 1) << Shown(ended, log);
        EXPECT_TRUE(QString::fromUtf8(ended.Out).contains(
            QStringLiteral("the batch log could not be written, it is "
                           "incomplete: Cannot write to the batch log")))
            << Shown(ended, log);
        EXPECT_TRUE(ended.Out.contains("File too large")) << Shown(ended, log);
        EXPECT_TRUE(ended.Out.contains("42 items done")) << Shown(ended, log);
        EXPECT_LE(ended.Err.count("cannot write the program log"), 1) << Shown(ended, log);
        EXPECT_LE(log.toUtf8().size(), limit);
        EXPECT_TRUE(log.startsWith(QStringLiteral("--"))) << log.toStdString();
    }

    // A batch log that cannot take even its first entry: the batch is not run (exit 4).
    {
        const QString project =
            WriteProject({false, true, 1, {{QStringLiteral("*.txt"), KNoOp, {}}}});
        RemoveTreeNative(FWork);
        FTemp.MakeFolder(QStringLiteral("work"));
        const TEnded ended = RunPlovaneLimited(1, project);
        EXPECT_EQ(ended.Signal, 0) << Shown(ended, {});
        EXPECT_EQ(ended.ExitCode, 4) << Shown(ended, {});
        EXPECT_TRUE(ended.Err.contains("Cannot write to the batch log")) << Shown(ended, {});
        EXPECT_TRUE(QDir(FWork).isEmpty()) << "the batch ran";
    }
}

// Output to a pipe nobody reads any more (plovane-run ... | head -1): the printing fails, the
// batch is done and says so in its log; no SIGPIPE ends it.
TEST_F(BatchSignalTest, AClosedOutputStopsThePrintingNotTheBatch) {
    for (int i = 0; i < 4; ++i)
        FTemp.WriteFile(QStringLiteral("in/f%1.txt").arg(i), "x");
    const QString project = WriteProject({false, true, 1, {{QStringLiteral("*.txt"), KNoOp, {}}}});
    const TEnded ended = RunPlovane(project, {}, true, false);
    const QString log = NewestBatchLog();
    EXPECT_EQ(ended.Signal, 0) << Shown(ended, log);
    EXPECT_EQ(ended.ExitCode, 0) << Shown(ended, log);
    EXPECT_TRUE(log.contains(QStringLiteral("  Batch items done: 4.\r\n"))) << log.toStdString();
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("work/f3.txt")), QByteArray("x"));
}

// A plugin library that dies of a fatal signal in its work call: the batch log's last entry
// names the plugin, the entry point and the path, and the program still ends as it would have
// (the sanitizer's own report where the build has one, else the signal's default action).
TEST_F(BatchSignalTest, APluginThatCrashesLeavesALastEntryNamingIt) {
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "a");
    FTemp.WriteFile(QStringLiteral("in/crash.txt"), "c");
    const QString project = WriteProject({false, true, 1, {{QStringLiteral("*.txt"), KFault, {}}}});
    struct TCase {
        const char* Name;
        QByteArray Work;
        QByteArray AsanOptions;
        QByteArray SanitizerHandlerOff;  // for the thread sanitizer, added to its options
        int Signal;                      // the signal it must end with
        bool OrAsanExit;                 // or, where a sanitizer handles the signal, its exit code
    } const cases[] = {
        {"a fault, after the sanitizer's handler", "segv", "detect_leaks=0", "", SIGSEGV, true},
        {"a fault, default action", "segv", "detect_leaks=0:handle_segv=0", "handle_segv=0",
         SIGSEGV, false},
        {"abort", "abort", "detect_leaks=0:handle_abort=0", "handle_abort=0", SIGABRT, false},
    };
    // The thread sanitizer's options of the suite (its suppressions) stay; only its handler of
    // the signal goes where the case asks for the default action.
    const QByteArray tsanOptions = qgetenv("TSAN_OPTIONS");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QByteArray tsan = tsanOptions;
        if (!c.SanitizerHandlerOff.isEmpty())
            tsan += (tsan.isEmpty() ? "" : ":") + c.SanitizerHandlerOff;
        const TEnded ended = RunPlovane(project, {{"PLOVANE_FAULT_WORK", c.Work},
                                                  {"ASAN_OPTIONS", c.AsanOptions},
                                                  {"TSAN_OPTIONS", tsan}});
        const QString log = NewestBatchLog();
        if (c.OrAsanExit && ended.Signal == 0) {
            EXPECT_NE(ended.ExitCode, 0) << Shown(ended, log);
        } else {
            EXPECT_EQ(ended.Signal, c.Signal) << Shown(ended, log);
        }
        const QString last = log.mid(log.lastIndexOf(QStringLiteral("--\r\nMessage: \r\n")));
        EXPECT_EQ(last, QStringLiteral("--\r\nMessage: \r\n  Plugin \"") + FProgram +
                            QStringLiteral("modules/External/fault/fault_plugin.so\" ended the "
                                           "program with the fatal signal ") +
                            QString::fromLatin1(c.Signal == SIGSEGV ? "SIGSEGV" : "SIGABRT") +
                            QStringLiteral(" in entry point \"PluginWorkPath\", path \"") + FWork +
                            QStringLiteral("crash.txt\".\r\n\r\n\r\n"))
            << Shown(ended, log);
    }
}

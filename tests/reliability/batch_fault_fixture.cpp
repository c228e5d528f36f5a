#include "tests/reliability/batch_fault_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "app/folder_walk.h"
#include "app/module_shared.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"
#include "project/project_file.h"
#include "tests/support/child_process.h"
#include "tests/support/process_run.h"

extern char** environ;

namespace {

// The child's environment: this process's, without what would change how it runs, plus AEnv.
std::vector<std::string> ChildEnvironment(const QMap<QByteArray, QByteArray>& AEnv) {
    std::vector<std::string> env;
    for (char** item = environ; *item != nullptr; ++item) {
        const std::string text(*item);
        const std::string name = text.substr(0, text.find('='));
        if (name == "LD_PRELOAD" || name == "ASAN_OPTIONS" ||
            AEnv.contains(QByteArray(name.c_str())))
            continue;
        env.push_back(text);
    }
    // The preloaded stall library comes before the sanitizer runtime; the check of that order
    // is for real programs, not for this helper.
    if (!AEnv.contains("ASAN_OPTIONS"))
        env.push_back("ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0");
    for (auto it = AEnv.begin(); it != AEnv.end(); ++it)
        env.push_back((it.key() + '=' + it.value()).toStdString());
    return env;
}

pid_t Spawn(const std::vector<std::string>& AArgs, const std::vector<std::string>& AEnv,
            const QByteArray& AOut, const QByteArray& AErr) {
    std::vector<char*> argv;
    for (const std::string& arg : AArgs)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& item : AEnv)
        envp.push_back(const_cast<char*>(item.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, AOut.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, AErr.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void Reap(pid_t APid, TBatchRun& ARun) {
    int status = 0;
    while (::waitpid(APid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        ARun.ExitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        ARun.Signal = WTERMSIG(status);
}

// Records travel from the forked helper as fields split by a byte no text holds.
constexpr char KFieldEnd = '\x1e';

QByteArray Packed(const TBatchRun& ARun) {
    return QByteArray::number(ARun.ExitCode) + KFieldEnd + QByteArray::number(ARun.Signal) +
           KFieldEnd + ARun.Out.toUtf8() + KFieldEnd + ARun.Err.toUtf8() + KFieldEnd +
           ARun.BatchLog.toUtf8();
}

TBatchRun Unpacked(const QByteArray& ABytes) {
    const QList<QByteArray> fields = ABytes.split(KFieldEnd);
    TBatchRun run;
    if (fields.size() != 5) {
        run.Err = QStringLiteral("helper said: ") + QString::fromUtf8(ABytes);
        return run;
    }
    run.ExitCode = fields[0].toInt();
    run.Signal = fields[1].toInt();
    run.Out = QString::fromUtf8(fields[2]);
    run.Err = QString::fromUtf8(fields[3]);
    run.BatchLog = QString::fromUtf8(fields[4]);
    return run;
}

}  // namespace

void BatchFaultTest::SetUp() {
    EnsureCoreApplication();
    FProgram = FTemp.MakeFolder(QStringLiteral("prog"));
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(PLOVANE_RUN_PATH), FProgram + QStringLiteral("plovane-run")));
    QFile(FProgram + QStringLiteral("plovane-run"))
        .setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    FTemp.MakeFolder(QStringLiteral("prog/modules/External/fault"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(FAULT_PLUGIN_PATH),
                            FProgram + QStringLiteral("modules/External/fault/fault_plugin.so")));
    // The internal plugins read their default files from their own folders.
    ASSERT_EQ(CopyTreeMissing(QStringLiteral(PLOVANE_SOURCE_DIR "/resources/modules/Internal"),
                              FProgram + QStringLiteral("modules/Internal"),
                              TCopyTreeMode::AlwaysOverwrite),
              0);
    FDataRoot = FTemp.MakeFolder(QStringLiteral("data-root"));
    // The tests' folders lie outside the data root's temp folders.
    FTemp.WriteFile(QStringLiteral("data-root/config/options.ini"),
                    "[ProgramOptions.Security]\r\nHumanSafeMode=0\r\n");
    FInput = FTemp.MakeFolder(QStringLiteral("in"));
    FWork = FTemp.MakeFolder(QStringLiteral("work"));
}

QString BatchFaultTest::WriteProject(const TFaultProject& AProject) {
    const QString path = FTemp.Path(QStringLiteral("project.plv"));
    TModuleEnvironment env;
    env.ProgramFolder = FProgram;
    env.DocumentsFolder = FTemp.MakeFolder(QStringLiteral("docs"));
    env.DataRootOverride = FTemp.Path(QStringLiteral("maker-root"));
    TModuleShared module(std::move(env));
    TCollectionInternalPluginTypes registry;
    RegisterAllInternalPlugins(registry);
    TPluginHost host(
        registry, {module.Folders().ModulesFolder, module.Folders().TempFolder, &module.FLogging});
    host.Discover();
    TProjectController project(TProjectEnvironment::FromModule(module, host));
    project.LoadProject(QString(), true);
    TProjectGeneralSettings settings = project.GeneralSettings();
    settings.InputDirPath = FInput;
    settings.WorkDirPath = AProject.InputIsWork ? FInput : FWork;
    settings.InputDirIsWorkDir = AProject.InputIsWork;
    settings.OnlyCopyHandledPaths = false;
    settings.DeleteWorkDirFiles = AProject.DeleteWorkFiles;
    settings.MaxWorkerThreads = AProject.Threads;
    project.SetGeneralSettings(settings);
    for (const TFaultCombination& combination : AProject.Combinations) {
        TPluginStoredLibInfo* plugin = host.FindByStrID(combination.StrID);
        EXPECT_NE(plugin, nullptr) << combination.StrID.toStdString();
        const auto added = project.Combinations().AddItem(combination.Filter, false, plugin);
        EXPECT_EQ(added.Result, TCombinationList::TAddResult::Added)
            << combination.Filter.toStdString();
        for (const auto& [name, stream] : combination.Props)
            project.Combinations().SetValueStream(added.Index, name, stream);
    }
    module.FProgramOptions->SetProjectCurrentFilePath(path);
    EXPECT_TRUE(project.Save());
    return path;
}

TBatchRun BatchFaultTest::Run(const QString& AProject, const QMap<QByteArray, QByteArray>& AEnv) {
    QMap<QByteArray, QByteArray> env = AEnv;
    env.insert("HOME", FTemp.Path(QStringLiteral("home")).toUtf8());
    env.insert("XDG_DATA_HOME", FTemp.Path(QStringLiteral("home/.local/share")).toUtf8());
    const QByteArray out = QFile::encodeName(FTemp.Path(QStringLiteral("run.out")));
    const QByteArray err = QFile::encodeName(FTemp.Path(QStringLiteral("run.err")));
    const QString logs = FDataRoot + QStringLiteral("logs/batches/");
    const QStringList logsBefore = QDir(logs).entryList(QDir::Files);
    TBatchRun run;
    const pid_t pid =
        Spawn({QFile::encodeName(FProgram + QStringLiteral("plovane-run")).toStdString(),
               "--data-root", QFile::encodeName(FDataRoot).toStdString(), "--quiet",
               QFile::encodeName(AProject).toStdString()},
              ChildEnvironment(env), out, err);
    if (pid < 0) {
        run.Err = QStringLiteral("plovane-run could not be started");
        return run;
    }
    // A stall asked for: the caller kills the process once it has stopped.
    if (env.contains("PLOVANE_STALL_OPEN") || env.contains("PLOVANE_STALL_RENAME")) {
        const QByteArray started = env.value("PLOVANE_STALL_GATE") + "/started";
        const int fifo = ::open(started.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        const int exited = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        pollfd waits[2] = {{fifo, POLLIN, 0}, {exited, POLLIN, 0}};
        // Two minutes at most: a batch that neither stalls nor ends is a failure.
        const int ready = ::poll(waits, exited >= 0 ? 2 : 1, 120000);
        char byte = 0;
        if (ready > 0 && (waits[0].revents & POLLIN) != 0 && ::read(fifo, &byte, 1) == 1)
            run.Err = QStringLiteral("stalled");
        ::kill(pid, SIGKILL);
        ::close(fifo);
        if (exited >= 0)
            ::close(exited);
    }
    Reap(pid, run);
    run.Out += QString::fromUtf8(ReadWholeFile(QFile::decodeName(out)));
    run.Err += QString::fromUtf8(ReadWholeFile(QFile::decodeName(err)));
    QStringList added = QDir(logs).entryList(QDir::Files, QDir::Name);
    for (const QString& before : logsBefore)
        added.removeAll(before);
    if (!added.isEmpty())
        run.BatchLog = QString::fromUtf8(ReadWholeFile(logs + added.last()));
    return run;
}

bool BatchFaultTest::RunAndKillAt(const QString& AProject, const QString& AStallAt,
                                  const QMap<QByteArray, QByteArray>& AEnv, TStallStep AStep) {
    const QString gate = FTemp.MakeFolder(QStringLiteral("gate"));
    const QByteArray fifo = QFile::encodeName(gate + QStringLiteral("started"));
    ::unlink(fifo.constData());
    EXPECT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    QMap<QByteArray, QByteArray> env = AEnv;
    env.insert("LD_PRELOAD", QByteArrayLiteral(STALL_OPEN_PATH));
    env.insert(AStep == TStallStep::Rename ? "PLOVANE_STALL_RENAME" : "PLOVANE_STALL_OPEN",
               AStallAt.toUtf8());
    env.insert("PLOVANE_STALL_GATE", QFile::encodeName(gate.chopped(1)));
    const TBatchRun run = Run(AProject, env);
    EXPECT_TRUE(run.Err.startsWith(QStringLiteral("stalled")))
        << "the batch never created " << AStallAt.toStdString() << ": " << run.Err.toStdString()
        << run.Out.toStdString();
    EXPECT_EQ(run.Signal, SIGKILL);
    return run.Err.startsWith(QStringLiteral("stalled"));
}

BatchFaultTest::THelped BatchFaultTest::RunHelped(const std::function<QString()>& ASetUp,
                                                  const QString& AProject,
                                                  const QMap<QByteArray, QByteArray>& AEnv) {
    const TChildOutcome outcome = RunInChildProcess([&]() -> QByteArray {
        const QString reason = ASetUp();
        if (!reason.isEmpty())
            return KChildSkipped + reason.toUtf8();
        return Packed(Run(AProject, AEnv));
    });
    THelped helped;
    if (outcome.Output.startsWith(KChildSkipped)) {
        helped.Skipped = true;
        helped.SkipReason = QString::fromUtf8(outcome.Output.mid(KChildSkipped.size()));
        return helped;
    }
    helped.Run = Unpacked(outcome.Output);
    return helped;
}

QStringList BatchFaultTest::CopiesDifferingFromInput(const QStringList& AExcept) const {
    QStringList differing;
    const TTreeManifest input = ManifestOf(FInput);
    for (const auto& [name, entry] : ManifestOf(FWork)) {
        const QString shown = QString::fromUtf8(name);
        if (entry.Kind != 'f' || AExcept.contains(shown))
            continue;
        const auto source = input.find(name);
        if (source == input.end() || source->second.Kind != 'f')
            continue;
        if (source->second.Sha256 != entry.Sha256 || source->second.MTimeNs != entry.MTimeNs)
            differing << shown;
    }
    return differing;
}

QString DropFileAccessPrivileges() {
    if (::geteuid() != 0)
        return {};  // file modes bind this user already
    const int capabilities[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};
    for (const int capability : capabilities)
        if (::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0)
            return QStringLiteral("no right to drop capability %1 from the bounding set (%2)")
                .arg(capability)
                .arg(QString::fromLocal8Bit(std::strerror(errno)));
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return QStringLiteral("capget failed");
    for (const int capability : capabilities) {
        const unsigned bit = 1u << (capability % 32);
        data[capability / 32].effective &= ~bit;
        data[capability / 32].permitted &= ~bit;
        data[capability / 32].inheritable &= ~bit;
    }
    if (::syscall(SYS_capset, &header, data) != 0)
        return QStringLiteral("capset failed");
    return {};
}

QStringList LogLinesNaming(const QString& ALog, const QString& APath) {
    QStringList lines;
    for (const QString& line : ALog.split(QLatin1Char('\n')))
        if (line.contains(APath))
            lines << line.trimmed();
    return lines;
}

// A whole batch against the copy floor: `plovane-run` with the no-op plugin on "*.*" and two
// worker threads copies a generated tree into an empty work folder (process start included),
// beside the floor probe (walk, then copy every file on two threads with copy_file_range) on the
// same tree, in alternating rounds. Prints both times, their ratio, and the batch's processor
// microseconds per path, per round and as medians, for a tree of 20,000 files in 200 folders and
// one of 100,000 files in 1,000 folders.
//
//   cmake --preset release && cmake --build --preset release --target bench_engine_overhead
//   build/release/bin/bench_engine_overhead [FOLDER=/dev/shm] [ROUNDS=3] [small|large|both]
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/module_shared.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"
#include "project/project_file.h"

extern char** environ;

namespace {

struct TTree {
    const char* Name;
    int Files;
    int Folders;
};

void MakeTree(const QString& ARoot, const TTree& ATree) {
    const QByteArray content(100, 'x');
    const int perFolder = ATree.Files / ATree.Folders;
    for (int i = 0; i < ATree.Files; ++i) {
        const QString folder = ARoot + QStringLiteral("d%1/").arg(i / perFolder);
        if (i % perFolder == 0)
            QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("f%1.txt").arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            std::exit(1);
        }
    }
}

// The project: input and work folder, the no-op plugin on "*.*", two workers, everything copied.
void MakeProject(const QString& AProgram, const QString& AScratch, const QString& AInput,
                 const QString& AWork, const QString& AProjectFile) {
    TModuleEnvironment env;
    env.ProgramFolder = AProgram;
    env.DocumentsFolder = AScratch + QStringLiteral("docs/");
    env.DataRootOverride = AScratch + QStringLiteral("maker-root/");
    TModuleShared module(std::move(env));
    TCollectionInternalPluginTypes registry;
    RegisterAllInternalPlugins(registry);
    TPluginHost host(
        registry, {module.Folders().ModulesFolder, module.Folders().TempFolder, &module.FLogging});
    host.Discover();
    TProjectController project(TProjectEnvironment::FromModule(module, host));
    project.LoadProject(QString(), true);
    TProjectGeneralSettings settings = project.GeneralSettings();
    settings.InputDirPath = AInput;
    settings.WorkDirPath = AWork;
    settings.OnlyCopyHandledPaths = false;
    settings.DeleteWorkDirFiles = false;
    settings.MaxWorkerThreads = 2;
    project.SetGeneralSettings(settings);
    project.Combinations().AddItem(QStringLiteral("*.*"), true,
                                   host.FindByStrID(QStringLiteral("zq_kestrin_NoOp")));
    module.FProgramOptions->SetProjectCurrentFilePath(AProjectFile);
    if (!project.Save()) {
        std::fprintf(stderr, "cannot save the project %s\n", qPrintable(AProjectFile));
        std::exit(1);
    }
}

struct TChildTimes {
    double WallMs = 0;
    double CpuMs = 0;
};

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Runs a program to its end; its own processor time comes from wait4.
TChildTimes RunChild(const QStringList& AArguments) {
    std::vector<std::string> storage;
    for (const QString& argument : AArguments)
        storage.push_back(QFile::encodeName(argument).toStdString());
    std::vector<char*> argv;
    for (std::string& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const double start = NowMs();
    pid_t pid = 0;
    // Their own output would only mix with the figures.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    TChildTimes times;
    times.WallMs = NowMs() - start;
    times.CpuMs = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s ended with status %d\n", argv[0], status);
        std::exit(1);
    }
    return times;
}

double Median(std::vector<double> AValues) {
    std::sort(AValues.begin(), AValues.end());
    const std::size_t n = AValues.size();
    return n % 2 == 1 ? AValues[n / 2] : (AValues[n / 2 - 1] + AValues[n / 2]) / 2;
}

struct TTreeResult {
    double BatchMs = 0;
    double FloorMs = 0;
    double Ratio = 0;
    double CpuUsPerPath = 0;
};

TTreeResult MeasureTree(const QString& AFolder, const QString& AProgram, const QString& ALimits,
                        const TTree& ATree, int ARounds) {
    QTemporaryDir dir(AFolder + QStringLiteral("/plovane-bench-XXXXXX"));
    // Kept for profiling a single batch by hand when asked.
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("PLOVANE_BENCH_KEEP"));
    const QString base = dir.path() + QLatin1Char('/');
    const QString input = base + QStringLiteral("in/");
    const QString work = base + QStringLiteral("work/");
    const QString floorCopy = base + QStringLiteral("floor/");
    const QString dataRoot = base + QStringLiteral("root/");
    const QString project = base + QStringLiteral("bench.plv");
    std::printf("%s tree: %d files of 100 bytes in %d folders, below %s\n", ATree.Name, ATree.Files,
                ATree.Folders, qPrintable(base));
    MakeTree(input, ATree);
    QDir().mkpath(dataRoot + QStringLiteral("config"));
    {
        QFile options(dataRoot + QStringLiteral("config/options.ini"));
        if (!options.open(QIODevice::WriteOnly) ||
            options.write("[ProgramOptions.Security]\r\nHumanSafeMode=0\r\n") <= 0)
            std::exit(1);
    }
    MakeProject(AProgram, base, input, work, project);
    // One batch ahead of the rounds: the data root is seeded on the first start.
    QDir().mkpath(work);
    RunChild({AProgram + QStringLiteral("plovane-run"), QStringLiteral("--quiet"),
              QStringLiteral("--data-root"), dataRoot, project});

    std::vector<double> batch;
    std::vector<double> floor;
    std::vector<double> ratio;
    std::vector<double> cpu;
    for (int round = 1; round <= ARounds; ++round) {
        QDir(work).removeRecursively();
        QDir(floorCopy).removeRecursively();
        QDir().mkpath(work);
        QDir().mkpath(floorCopy);
        TChildTimes batchTimes;
        TChildTimes floorTimes;
        for (int side = 0; side < 2; ++side) {
            if ((side + round) % 2 == 0)
                batchTimes =
                    RunChild({AProgram + QStringLiteral("plovane-run"), QStringLiteral("--quiet"),
                              QStringLiteral("--data-root"), dataRoot, project});
            else
                floorTimes = RunChild({ALimits, QStringLiteral("copy"), QStringLiteral("-j"),
                                       QStringLiteral("2"), input, floorCopy});
        }
        batch.push_back(batchTimes.WallMs);
        floor.push_back(floorTimes.WallMs);
        ratio.push_back(batchTimes.WallMs / floorTimes.WallMs);
        // Every file and folder is a path of the batch, the batch root one more.
        cpu.push_back(batchTimes.CpuMs * 1000.0 / (ATree.Files + ATree.Folders + 1));
        std::printf(
            "  round %d (%s first): batch %.0f ms, floor %.0f ms, ratio %.2f; batch "
            "processor time %.1f us per path\n",
            round, round % 2 == 0 ? "batch" : "floor", batch.back(), floor.back(), ratio.back(),
            cpu.back());
    }
    TTreeResult result;
    result.BatchMs = Median(batch);
    result.FloorMs = Median(floor);
    result.Ratio = Median(ratio);
    result.CpuUsPerPath = Median(cpu);
    return result;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/dev/shm");
    const int rounds = std::max(argc > 2 ? std::atoi(argv[2]) : 3, 1);
    const QString which = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("both");
    const QString program = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    const QString limits = program + QStringLiteral("bench_limits");
    if (!QFile::exists(limits)) {
        std::fprintf(stderr,
                     "the floor probe %s is missing (it is built from the shared "
                     "bench folder's limits.c)\n",
                     qPrintable(limits));
        return 1;
    }
    const TTree trees[] = {{"small", 20000, 200}, {"large", 100000, 1000}};
    std::vector<std::pair<const TTree*, TTreeResult>> results;
    for (const TTree& tree : trees) {
        if (which != QStringLiteral("both") && which != QLatin1String(tree.Name))
            continue;
        results.emplace_back(&tree, MeasureTree(folder, program, limits, tree, rounds));
    }
    std::printf("\nMedians over %d rounds (target: ratio at most 1.30)\n", rounds);
    std::printf("%-6s %8s %10s %10s %7s %16s\n", "tree", "files", "batch ms", "floor ms", "ratio",
                "batch us/path");
    for (const auto& [tree, result] : results)
        std::printf("%-6s %8d %10.0f %10.0f %7.2f %16.1f\n", tree->Name, tree->Files,
                    result.BatchMs, result.FloorMs, result.Ratio, result.CpuUsPerPath);
    return 0;
}

// Measures what the batch engine adds on top of the work: the no-op plugin over a generated tree
// of small files, with the real engine. Prints paths per second, the time per path, the copy
// phase, and `cp -r` of the same tree for comparison, over several rounds with their medians.
//
//   cmake --preset release && cmake --build --preset release --target bench_engine_overhead
//   build/release/bin/bench_engine_overhead [FILES=100000] [THREADS=2] [ROUNDS=3]
//   [all|inplace|copy]
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "app/program_log.h"
#include "batch/batch_engine.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"

namespace {

// Writes dirty pages out before a timed phase, so one phase does not pay for the last one's.
void SyncDisks() {
    QProcess::execute(QStringLiteral("sync"), {});
}

void MakeTree(const QString& ARoot, int AFiles) {
    const QByteArray content(200, 'x');
    constexpr int KPerFolder = 100;
    for (int i = 0; i < AFiles; ++i) {
        const QString folder = ARoot + QStringLiteral("d%1/").arg(i / KPerFolder);
        if (i % KPerFolder == 0)
            QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("f%1.txt").arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            std::exit(1);
        }
    }
}

double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

struct TRunTimes {
    double CpuMs = 0;
    double PreparationMs = 0;
    double TotalMs = 0;
    int Done = 0;
};

TRunTimes RunEngine(TPluginHost& AHost, const QString& AInput, const QString& AWork,
                    const QString& ATemp, bool AInPlace, int AThreads) {
    TBatchEngineSetup setup;
    setup.Settings.InputDirPath = AInput;
    setup.Settings.WorkDirPath = AWork;
    setup.Settings.InputDirIsWorkDir = AInPlace;
    setup.Settings.OnlyCopyHandledPaths = false;
    setup.Settings.DeleteWorkDirFiles = false;
    setup.Settings.MaxWorkerThreads = AThreads;
    TBatchCombination combination;
    combination.Filter = QStringLiteral("*.*");
    combination.Props.LibInfo_Ref = AHost.FindByStrID(QStringLiteral("zq_kestrin_NoOp"));
    setup.Combinations.push_back(combination);
    setup.Host = &AHost;
    setup.TempFolder = ATemp;
    setup.DeleteToTrash = false;
    QElapsedTimer timer;
    std::mutex lock;
    TRunTimes times;
    bool first = true;
    setup.OnProgress = [&](int, int, int APosition, bool ADone) {
        const std::lock_guard guard(lock);
        if (first) {
            times.PreparationMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            first = false;
        }
        if (ADone)
            times.Done = APosition;
    };
    TBatchEngine engine(std::move(setup));
    const double cpuBefore = CpuMs();
    timer.start();
    engine.Resume();
    engine.WaitFor();
    times.CpuMs = CpuMs() - cpuBefore;
    times.TotalMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    return times;
}

double Median(std::vector<double> AValues) {
    std::sort(AValues.begin(), AValues.end());
    const std::size_t n = AValues.size();
    return n % 2 == 1 ? AValues[n / 2] : (AValues[n / 2 - 1] + AValues[n / 2]) / 2;
}

double CopyWithCp(const QString& AFrom, const QString& ATo) {
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), AFrom, ATo});
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int threads = argc > 2 ? std::atoi(argv[2]) : 2;
    const int rounds = std::max(argc > 3 ? std::atoi(argv[3]) : 3, 1);
    const QString phases = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("all");
    const bool runInPlace = phases != QStringLiteral("copy");
    const bool runCopy = phases != QStringLiteral("inplace");
    QTemporaryDir dir;
    const QString base = dir.path() + QLatin1Char('/');
    const QString input = base + QStringLiteral("input/");
    const QString temp = base + QStringLiteral("temp/");
    QDir().mkpath(temp);
    std::printf("Generating %d files of 200 bytes...\n", files);
    MakeTree(input, files);

    TqvLogging log;
    TCollectionInternalPluginTypes registry;
    RegisterAllInternalPlugins(registry);
    TPluginHost host(registry, {base + QStringLiteral("modules/"), temp, &log});
    host.Discover();

    std::vector<double> perPath;
    std::vector<double> ratios;
    for (int round = 1; round <= rounds; ++round) {
        if (runInPlace) {
            // The engine alone: working in place, no copy.
            SyncDisks();
            const TRunTimes inPlace = RunEngine(host, input, input, temp, true, threads);
            const double runMs = inPlace.TotalMs - inPlace.PreparationMs;
            perPath.push_back(runMs * 1000.0 / std::max(inPlace.Done, 1));
            std::printf(
                "Round %d in place:  %d paths in %.0f ms of main run -> %.0f paths/s, "
                "%.1f us per path (%d threads); processor time %.1f us per path\n",
                round, inPlace.Done, runMs, inPlace.Done / (runMs / 1000.0), perPath.back(),
                threads, inPlace.CpuMs * 1000.0 / std::max(inPlace.Done, 1));
        }
        if (runCopy) {
            // The engine's copy into an empty work folder and cp -r of the same tree, in
            // turns: each round swaps which goes first. The copies stay until the end: on ext4
            // creating files soon after many were deleted is several times slower, and it
            // would fall on whichever side came next.
            const QString work = base + QStringLiteral("work%1/").arg(round);
            const QString cpCopy = base + QStringLiteral("cp-copy%1").arg(round);
            QDir().mkpath(work);
            double engineMs = 0;
            double wholeMs = 0;
            double cpMs = 0;
            for (int side = 0; side < 2; ++side) {
                SyncDisks();
                if ((side + round) % 2 == 0) {
                    const TRunTimes copied = RunEngine(host, input, work, temp, false, threads);
                    engineMs = copied.PreparationMs;
                    wholeMs = copied.TotalMs;
                } else {
                    cpMs = CopyWithCp(input, cpCopy);
                }
            }
            ratios.push_back(engineMs / cpMs);
            std::printf(
                "Round %d copy:      preparation (copy + count) %.0f ms, whole batch "
                "%.0f ms; cp -r %.0f ms; copy phase / cp -r = %.2f\n",
                round, engineMs, wholeMs, cpMs, ratios.back());
        }
    }
    if (runInPlace)
        std::printf("Median engine overhead: %.1f us per path (target below 20)\n",
                    Median(perPath));
    if (runCopy)
        std::printf("Median copy phase / cp -r: %.2f (target at most 0.5)\n", Median(ratios));
    return 0;
}

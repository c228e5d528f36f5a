// Measures what the batch engine adds on top of the work: the no-op plugin over a generated tree
// of small files, with the real engine. Prints paths per second, the time per path, the copy
// phase, and `cp -r` of the same tree for comparison.
//
//   cmake --preset release && cmake --build --preset release --target bench_engine_overhead
//   build/release/bin/bench_engine_overhead [FILES=100000] [THREADS=2]
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <mutex>

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

struct TRunTimes {
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
    timer.start();
    engine.Resume();
    engine.WaitFor();
    times.TotalMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    return times;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int threads = argc > 2 ? std::atoi(argv[2]) : 2;
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

    // 1. The engine alone: working in place, no copy.
    SyncDisks();
    const TRunTimes inPlace = RunEngine(host, input, input, temp, true, threads);
    const double runMs = inPlace.TotalMs - inPlace.PreparationMs;
    std::printf(
        "In place:  %d paths in %.0f ms of main run -> %.0f paths/s, %.1f us per path (%d "
        "threads)\n",
        inPlace.Done, runMs, inPlace.Done / (runMs / 1000.0),
        runMs * 1000.0 / std::max(inPlace.Done, 1), threads);

    // 2. With the copy into an empty work folder.
    const QString work = base + QStringLiteral("work/");
    QDir().mkpath(work);
    SyncDisks();
    const TRunTimes copied = RunEngine(host, input, work, temp, false, threads);
    std::printf("With copy: preparation (copy + count) %.0f ms, whole batch %.0f ms\n",
                copied.PreparationMs, copied.TotalMs);

    // 3. cp -r of the same tree.
    SyncDisks();
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(QStringLiteral("cp"),
                      {QStringLiteral("-r"), input, base + QStringLiteral("cp-copy")});
    const double cpMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    std::printf("cp -r:     %.0f ms  (copy phase / cp -r = %.2f)\n", cpMs,
                copied.PreparationMs / cpMs);
    return 0;
}

#include "bench/support/bench_support.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "plugin_host/plugin_host.h"

void Fail(const QString& AMessage) {
    std::fprintf(stderr, "%s\n", qPrintable(AMessage));
    std::exit(1);
}

double CpuMs(int AWho) {
    rusage usage{};
    getrusage(AWho, &usage);
    const auto ms = [](const timeval& ATime) {
        return static_cast<double>(ATime.tv_sec) * 1e3 + static_cast<double>(ATime.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double Median(std::vector<double> AValues) {
    if (AValues.empty())
        return 0;
    std::sort(AValues.begin(), AValues.end());
    const std::size_t middle = AValues.size() / 2;
    return AValues.size() % 2 != 0 ? AValues[middle]
                                   : (AValues[middle - 1] + AValues[middle]) / 2.0;
}

TBatchCombination PluginCombination(TPluginHost& AHost, const QString& AStrID,
                                    const QString& AFilter, const QString& APluginCaption) {
    TBatchCombination combination;
    combination.Filter = AFilter;
    combination.Props.LibInfo_Ref = AHost.FindByStrID(AStrID);
    if (combination.Props.LibInfo_Ref == nullptr)
        Fail(QStringLiteral("the ") + APluginCaption + QStringLiteral(" was not discovered"));
    return combination;
}

TTimedBatch RunTimedBatch(TPluginHost& AHost, const QString& ARoot, const QString& ATemp,
                          int AThreads, const TBatchCombination& ACombination) {
    TBatchEngineSetup setup;
    setup.Settings.InputDirPath = ARoot;
    setup.Settings.WorkDirPath = ARoot;
    setup.Settings.InputDirIsWorkDir = true;
    setup.Settings.MaxWorkerThreads = AThreads;
    setup.Combinations.push_back(ACombination);
    setup.Host = &AHost;
    setup.TempFolder = ATemp;
    setup.DeleteToTrash = false;
    std::mutex lock;
    TTimedBatch run;
    setup.LogWriter = [&](const QString& AEntry) {
        const std::lock_guard guard(lock);
        run.Log << AEntry;
    };
    TBatchEngine engine(std::move(setup));
    QElapsedTimer timer;
    const double cpuBefore = CpuMs();
    timer.start();
    engine.Resume();
    engine.WaitFor();
    run.WallMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    run.CpuMs = CpuMs() - cpuBefore;
    run.Problems = engine.ProblemCounts().Total();
    run.Failed = static_cast<bool>(engine.Failure());
    return run;
}

#pragma once

#include <QString>
#include <QStringList>

#include <sys/resource.h>

#include <vector>

#include "batch/batch_engine.h"

class TPluginHost;

// Prints the reason and ends the benchmark.
[[noreturn]] void Fail(const QString& AMessage);

// Processor time (user and system) so far of this process's threads (RUSAGE_SELF), or of its
// children that were waited for (RUSAGE_CHILDREN).
double CpuMs(int AWho = RUSAGE_SELF);

double Median(std::vector<double> AValues);

// The combination of the plugin with the given identifier on AFilter, or the benchmark fails
// naming APluginCaption.
TBatchCombination PluginCombination(TPluginHost& AHost, const QString& AStrID,
                                    const QString& AFilter, const QString& APluginCaption);

struct TTimedBatch {
    double WallMs = 0;
    double CpuMs = 0;  // of this process, over the batch
    int Problems = 0;
    bool Failed = false;  // an error ended the batch
    QStringList Log;      // its batch log entries
};

// One batch of the real engine over ARoot worked in place (no trash), with one combination;
// timed from its start to its end.
TTimedBatch RunTimedBatch(TPluginHost& AHost, const QString& ARoot, const QString& ATemp,
                          int AThreads, const TBatchCombination& ACombination);

#pragma once

#include <QString>

#include "platform/native_path.h"

#include <cstdint>
#include <functional>

class TqvThreadStringList;
struct TBatchPluginProps;

// Writes one batch log entry.
using TBatchLogWriter = std::function<void(const QString& AEntry)>;

// Hands one work path to one plugin: registers the calling thread, calls the plugin's work
// entry point, judges the returned path and advice, reports anything unusual to the batch log
// and leaves the path the engine's list entry shall hold from now on.
class TBatchWorkPath {
public:
    TBatchWorkPath(TqvThreadStringList& ARegistry, const TBatchPluginProps& ABatchPluginProps,
                   QString AOrgBatchRootPath, std::uint32_t AUpdatePathAtIndex, QString APath,
                   TBatchLogWriter ALogWriter);

    // The worker's body; runs on the calling (pool) thread. Never raises: a plugin's exception
    // drops the path, with a batch log entry naming the path, the plugin and the error.
    void Execute();

    bool FWrongPathOutput_NonExisting = false;
    bool FWrongPathOutput_NonExisting_BecauseDeleted = false;
    bool FWrongPathOutput_RootChanged = false;
    QString FInPath;
    QString FOutPath;
    // What the result check found the output path to be.
    TNativePathKind FOutKind = TNativePathKind::Missing;
    // The path the list entry shall hold; empty when the path leaves the batch.
    QString UpdatedOutPath;
    std::uint32_t UpdatePathAtIndex;
    bool PluginAdviseProjectBatchStop = false;
    bool PluginAdviseMainBatchStop = false;
    // The plugin raised during its work call.
    bool FPluginFailed = false;
    // The path was not handed to the plugin (too long for the output buffer).
    bool FRefusedTooLong = false;

    // A report the plugin makes through the host about the path it is working on; raises
    // EqvValueOutOfValidRangeError when the calling thread is not a registered worker.
    static void HandleWorkPathErrorMsg(TqvThreadStringList& ARegistry,
                                       const TBatchLogWriter& ALogWriter, const QString& AErrorMsg,
                                       const QString& AAdviceMsg);

private:
    void CheckResult(bool AAdvisePath, bool AAdviseProject, bool AAdviseMain);
    void ReportFailure(const QString& AError);
    // The first lines of an event entry: the path and the plugin.
    QString EventHead() const;

    TqvThreadStringList& FRegistry;
    const TBatchPluginProps& FBatchPluginProps;
    QString FOrgBatchRootPath;
    TBatchLogWriter FLogWriter;
};

#pragma once

// A modules folder with real plugin libraries copied into it, discovered by a real host: the
// fixture of the external plugin tests.

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/program_log.h"
#include "batch/batch_engine.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_contract.h"
#include "plugin_host/plugin_host.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folders.h"

class TPluginStoredLibInfo;

std::string U8(const QString& AText);
// A path the build passed in.
QString Built(const char* APath);
// The message of the program's error that ACall raises; "<no error>" when it raises none.
QString ErrorOf(const std::function<void()>& ACall);
// The unassigned-handler text.
QString Unassigned(const QString& AWho, const QString& AFunction, const QString& AOn);

// Stands in for the batch: records the work callbacks, optionally refusing them the way the
// worker registry refuses a thread it does not know.
class TRecordingWorkSink : public IExeWorkCallbacks {
public:
    void ExeHandleWorkPathErrorMsg(const QString& AErrorMsg, const QString& AAdviceMsg) override;
    void ExeHandleWorkPathErrorMsgW(const QString& AErrorMsg, const QString& AAdviceMsg) override;
    void ExeRequestAddPathToBatch(const QString& APath) override;

    std::vector<std::pair<QString, QString>> Reports() const;

    bool FRefuse = false;

private:
    void Record(const QString& AErrorMsg, const QString& AAdviceMsg);

    mutable std::mutex FLock;
    std::vector<std::pair<QString, QString>> FReports;
    QStringList FAddedPaths;
};

// One combination of a test batch.
struct TTestCombination {
    QString Filter;
    TPluginStoredLibInfo* Plugin = nullptr;
    std::vector<std::pair<QString, QByteArray>> Stored;  // stored value streams by property
};

// What a test batch did.
struct TTestBatchResult {
    QString Failure;  // the message of the error that ended the batch; empty when none did
    TBatchProblemCounts Problems;
    QStringList Entries;  // batch log entries
};

class ExternalPluginsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Copies a built library to External/<ARelative>; returns its path there.
    QString Install(const QString& ABuilt, const QString& ARelative);
    // The example plugin with its default footer document beside it.
    QString InstallExample(const QString& AFolder = QStringLiteral("example"));

    // A new host on the modules folder, discovered.
    TPluginHost& Discover();
    TPluginStoredLibInfo* ByPath(const QString& APathName) const;

    // What the test libraries wrote down, one entry per line.
    QStringList Events() const;
    QString ProgramLog() const;
    // The program log entry whose message names APathName as failed under loading; empty when
    // there is none.
    QString FailureEntryFor(const QString& APathName) const;

    // Runs a batch through the real engine: the input folder "in/" is copied to "work/" and the
    // combinations run on two workers. AOnEntry sees every batch log entry as it is written,
    // on the thread writing it.
    TTestBatchResult RunBatch(const std::vector<TTestCombination>& ACombinations,
                              const std::function<void(const QString&)>& AOnEntry = {});

    TTempFolder FTemp;
    QString FModules;
    QString FExternal;
    QString FValueFolder;
    TqvLogging FLog;
    TCollectionInternalPluginTypes FRegistry;
    QString FInput;
    QString FWorkDir;
    std::optional<TScopedEnv> FEventsEnv;
    std::optional<TScopedEnv> FDataHome;
    std::unique_ptr<TPluginHost> FHost;
};

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

#include "app/program_log.h"
#include "batch/batch_engine.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"
#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"
#include "tests/support/ftp_test_server.h"
#include "tests/support/temp_folders.h"

namespace {

QString S(const char* AText) {
    return QString::fromUtf8(AText);
}

// Names a user's site holds: folders two deep, blanks, URL-special characters, non-ASCII.
const char* const KFiles[] = {
    "index.htm",      "a b/c d.txt",    "x#y/100%.png", "grün/straße.css", "deep/er/still/z.bin",
    "deep/er/f1.txt", "deep/er/f2.txt", "deep/f3.txt",  "q?/r&s.txt",      "readme",
};

class FtpUploaderBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString missing = FtpTestServerMissing();
        if (!missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        FInput = FTemp.MakeFolder(S("input"));
        FWork = FTemp.MakeFolder(S("work"));
        FTempDir = FTemp.MakeFolder(S("tmp"));
        RegisterAllInternalPlugins(FRegistry);
        FHost = std::make_unique<TPluginHost>(
            FRegistry, TPluginHostSetup{FTemp.MakeFolder(S("modules")), FTempDir, &FLog});
        FHost->Discover();
        TFtpTestServerOptions options;
        options.Users << TFtpTestUser{S("u"), S("pw"), S("home"), {}};
        FServer = std::make_unique<TFtpTestServer>(FTemp.MakeFolder(S("server")), options);
        ASSERT_TRUE(FServer->StartError().isEmpty()) << FServer->StartError().toStdString();
    }

    // One batch: the input copied into the emptied work folder, the uploader on "*.*".
    void Run(const QString& AOverrideMode) {
        TBatchCombination combination;
        combination.Filter = S("*.*");
        combination.Props.LibInfo_Ref = FHost->FindByStrID(S("zq_kestrin_FtpUploader"));
        ASSERT_NE(combination.Props.LibInfo_Ref, nullptr);
        combination.Props.LibProps_Ref = {
            {S("FtpServersUploadList"),
             StoredGrid({S("HOST"), S("PORT"), S("REMOTE_START_DIR"), S("CONNECT_MODE"),
                         S("OVERRIDE_MODE"), S("TRANSFER_MODE"), S("LOGIN"), S("PASSWORD")},
                        {{S("127.0.0.1"), QString::number(FServer->Port()), S("site"), S("auto"),
                          AOverrideMode, S("auto"), S("u"), S("pw")}})}};
        ASSERT_TRUE(QDir(FWork).removeRecursively() && QDir().mkpath(FWork));
        TBatchEngineSetup setup;
        setup.Settings.InputDirPath = FInput;
        setup.Settings.WorkDirPath = FWork;
        setup.Settings.OnlyCopyHandledPaths = false;
        setup.Settings.MaxWorkerThreads = 4;
        setup.Combinations = {combination};
        setup.Host = FHost.get();
        setup.TempFolder = FTempDir;
        setup.ProgramLog = &FLog;
        setup.DeleteToTrash = false;
        setup.LogWriter = [this](const QString& AEntry) {
            const std::lock_guard lock(FEntriesLock);
            FEntries << AEntry;
        };
        TBatchEngine engine(std::move(setup));
        engine.Resume();
        engine.WaitFor();
        ASSERT_FALSE(engine.Failure()) << "the batch ended with an error";
        EXPECT_EQ(engine.ProblemCounts().Total(), 0) << FEntries.join(u'\n').toStdString();
    }

    TTempFolder FTemp;
    QString FInput;
    QString FWork;
    QString FTempDir;
    TqvLogging FLog;
    TCollectionInternalPluginTypes FRegistry;
    std::unique_ptr<TPluginHost> FHost;
    std::unique_ptr<TFtpTestServer> FServer;
    std::mutex FEntriesLock;
    QStringList FEntries;
};

// Several workers at once, one transfer at a time: every file arrives whole over one login;
// a second batch with "newer" finds every copy up to date, since the work copy keeps the
// input's modification times.
TEST_F(FtpUploaderBatchTest, WholeTreeArrivesAndNewerSkipsItTheSecondTime) {
    for (const char* name : KFiles)
        FTemp.WriteFile(S("input/") + S(name), QByteArray("content of ") + name);
    Run(S("always"));
    for (const char* name : KFiles)
        EXPECT_EQ(ReadWholeFile(FTemp.Path(S("server/home/site/") + S(name))),
                  QByteArray("content of ") + name)
            << name;
    EXPECT_EQ(FServer->CommandsNamed(S("USER")).size(), 1);
    EXPECT_EQ(FServer->CommandsNamed(S("STOR")).size(), qsizetype(std::size(KFiles)));

    FServer->ClearCommands();
    Run(S("newer"));
    EXPECT_EQ(FServer->CommandsNamed(S("MDTM")).size(), qsizetype(std::size(KFiles)));
    EXPECT_TRUE(FServer->CommandsNamed(S("STOR")).isEmpty())
        << FServer->Commands().join(u'\n').toStdString();
}

}  // namespace

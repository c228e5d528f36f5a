#include "batch/batch_log.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <gtest/gtest.h>

#include <latch>
#include <map>
#include <optional>
#include <thread>

#include "app/module_shared.h"
#include "base/exceptions.h"
#include "tests/support/temp_folders.h"

namespace {

QDateTime At(int AYear, int AMonth, int ADay, int AHour, int AMinute, int ASecond, int AMsec) {
    return QDateTime(QDate(AYear, AMonth, ADay), QTime(AHour, AMinute, ASecond, AMsec));
}

// The header the user's locale gives, written out independently of the code under test.
QByteArray Header(const QDateTime& AWhen) {
    const QLocale locale = QLocale::system();
    return "--" +
           (locale.toString(AWhen.date(), QLocale::ShortFormat) + QStringLiteral(" ") +
            locale.toString(AWhen.time(), QLocale::LongFormat))
               .toUtf8() +
           "--\r\n";
}

// A batch logs folder and a clock the test moves by hand.
class BatchLogTest : public ::testing::Test {
protected:
    BatchLogTest() : FFolder(FTemp.MakeFolder(QStringLiteral("logs/batches"))) {}

    TBatchLog Log() {
        return TBatchLog(FFolder, [this] { return FNow; });
    }
    // A log file made at the given time, as a batch of that project would.
    QString MakeLog(const QDateTime& AStart, const QString& AProject) {
        FNow = AStart;
        return Log().Create(AProject);
    }
    QStringList NamesInFolder() const {
        return QDir(FFolder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }

    TTempFolder FTemp;
    QString FFolder;
    QDateTime FNow = At(2024, 3, 6, 14, 25, 1, 7);
};

TEST_F(BatchLogTest, FileNameIsStartTimeAndProject) {
    struct {
        QDateTime Start;
        const char* Project;
        const char* Expected;
    } const cases[] = {
        {At(2024, 3, 6, 14, 25, 1, 7), "/p/MySite.plv", "20240306_142501007_MySite.log"},
        {At(2024, 3, 6, 14, 25, 1, 7), "", "20240306_142501007_PLV_NewProject.log"},
        {At(2025, 12, 31, 23, 59, 59, 999), "/p/My.Site.plv", "20251231_235959999_My.Site.log"},
        {At(987, 1, 2, 3, 4, 5, 60), "rel/x", "09870102_030405060_x.log"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TBatchLog::ComposeFileName(c.Start, QString::fromUtf8(c.Project)),
                  QLatin1String(c.Expected));
}

TEST_F(BatchLogTest, CreateMakesAnEmptyFileAndNeverTakesANameInUse) {
    const QString expected = FFolder + QStringLiteral("20240306_142501007_PLV_NewProject.log");
    TBatchLog log = Log();
    EXPECT_EQ(log.Create({}), expected);
    EXPECT_EQ(log.FileName(), expected);
    EXPECT_TRUE(QFileInfo(expected).isFile());
    EXPECT_EQ(QFileInfo(expected).size(), 0);
    log.Write(QStringLiteral("first batch"));

    // Another batch in the same millisecond (another process on the same data root) gets a
    // name of its own, sorting after the first; the first log keeps its entries.
    EXPECT_EQ(Log().Create({}),
              FFolder + QStringLiteral("20240306_142501007_PLV_NewProject_2.log"));
    EXPECT_EQ(Log().Create({}),
              FFolder + QStringLiteral("20240306_142501007_PLV_NewProject_3.log"));
    EXPECT_TRUE(ReadWholeFile(expected).contains("first batch"));
    EXPECT_EQ(TBatchLog::ListLogs(FFolder).first(), expected);

    // A later millisecond gets its own file.
    FNow = FNow.addMSecs(1);
    EXPECT_EQ(Log().Create({}), FFolder + QStringLiteral("20240306_142501008_PLV_NewProject.log"));
    EXPECT_EQ(NamesInFolder().size(), 4);
}

TEST_F(BatchLogTest, CreateFailsWithThePath) {
    // A file in the way of the folder.
    QDir(FFolder).removeRecursively();
    FTemp.WriteFile(QStringLiteral("logs/batches"), "a file");
    try {
        Log().Create(QStringLiteral("X.plv"));
        ADD_FAILURE() << "no error";
    } catch (const EqvOperationNotPossible& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("20240306_142501007_X.log"))) << e.what();
    }
}

TEST_F(BatchLogTest, EntriesAreAppendedByteExact) {
    TBatchLog log = Log();
    log.Create(QStringLiteral("MySite.plv"));
    const QString messages[] = {
        QStringLiteral("  Batch started.\r\n"),
        QString(),
        QStringLiteral("no line break"),
        QStringLiteral("  Work path: \"/w/\u00fcber/\u65e5\u672c.htm\".\r\n    * more\r\n"),
    };
    QByteArray expected;
    for (const QString& message : messages) {
        FNow = FNow.addSecs(61);
        log.Write(message);
        expected += Header(FNow) + "Message: \r\n" + message.toUtf8() + "\r\n\r\n";
    }
    const QByteArray written = ReadWholeFile(log.FileName());
    EXPECT_EQ(written, expected);
    // UTF-8 without a mark.
    EXPECT_TRUE(written.startsWith("--"));
    // An empty message is the two header lines and two line breaks.
    EXPECT_EQ(TBatchLog::EntryBytes(FNow, {}), Header(FNow) + "Message: \r\n\r\n\r\n");
}

TEST_F(BatchLogTest, NothingIsWrittenBeforeALogExists) {
    Log().Write(QStringLiteral("lost"));
    EXPECT_TRUE(NamesInFolder().isEmpty());
}

TEST_F(BatchLogTest, WriteFailureRaisesAndReleasesTheLock) {
    std::mutex lock;
    TBatchLog log = Log();
    log.SetLock(&lock);
    log.SetFileName(FTemp.MakeFolder(QStringLiteral("logs/batches/in the way.log")));
    try {
        log.Write(QStringLiteral("x"));
        ADD_FAILURE() << "no error";
    } catch (const EqvOperationNotPossible& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("in the way.log"))) << e.what();
    }
    ASSERT_TRUE(lock.try_lock());
    lock.unlock();
}

TEST_F(BatchLogTest, SimultaneousWritersNeverInterleave) {
    constexpr int KThreads = 8;
    constexpr int KEntries = 40;
    std::mutex lock;
    TBatchLog log = Log();
    log.Create(QStringLiteral("Busy.plv"));
    log.SetLock(&lock);

    const auto message = [](int AThread, int AEntry) {
        // Long and multi-line, so that a torn entry cannot look whole.
        return QStringLiteral("T%1 E%2\r\n")
                   .arg(AThread, 2, 10, QLatin1Char('0'))
                   .arg(AEntry, 3, 10, QLatin1Char('0')) +
               QString(700, QChar(u'a' + AThread)) + QStringLiteral("\r\n");
    };
    std::latch start(KThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < KThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int e = 0; e < KEntries; ++e)
                log.Write(message(t, e));
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    std::map<QByteArray, QByteArray> expected;  // "Ttt Eeee" -> the whole entry
    for (int t = 0; t < KThreads; ++t)
        for (int e = 0; e < KEntries; ++e)
            expected[message(t, e).left(8).toUtf8()] = TBatchLog::EntryBytes(FNow, message(t, e));
    const QByteArray prefix = Header(FNow) + "Message: \r\n";
    const QByteArray written = ReadWholeFile(log.FileName());
    std::vector<int> nextOfThread(KThreads, 0);
    qsizetype pos = 0;
    while (pos < written.size()) {
        ASSERT_EQ(written.mid(pos, prefix.size()), prefix) << "at " << pos;
        const QByteArray id = written.mid(pos + prefix.size(), 8);
        const auto it = expected.find(id);
        ASSERT_NE(it, expected.end()) << "unknown or repeated entry at " << pos;
        ASSERT_EQ(written.mid(pos, it->second.size()), it->second) << "torn entry " << id.data();
        // Each thread's entries stand in the order it wrote them.
        const int thread = id.mid(1, 2).toInt();
        EXPECT_EQ(id.mid(5, 3).toInt(), nextOfThread[static_cast<size_t>(thread)]++);
        pos += it->second.size();
        expected.erase(it);
    }
    EXPECT_TRUE(expected.empty()) << expected.size() << " entries missing";
}

TEST_F(BatchLogTest, PruneKeepsTheNewestByName) {
    // Made out of order, so the file system's listing order is no help.
    const QString c = MakeLog(At(2024, 1, 3, 0, 0, 0, 0), QStringLiteral("A.plv"));
    const QString a = MakeLog(At(2024, 1, 1, 0, 0, 0, 0), QStringLiteral("Z.plv"));
    const QString d = MakeLog(At(2024, 1, 3, 0, 0, 0, 1), QStringLiteral("A.plv"));
    const QString b = MakeLog(At(2024, 1, 2, 9, 0, 0, 0), QStringLiteral("A.plv"));
    const QString upper =
        FTemp.WriteFile(QStringLiteral("logs/batches/20231231_000000000_U.LOG"), "");
    FTemp.WriteFile(QStringLiteral("logs/batches/00000000_notes.txt"), "keep");
    FTemp.MakeFolder(QStringLiteral("logs/batches/00000000_folder.log"));
    FTemp.WriteFile(QStringLiteral("logs/batches/00000000_sub/00000000_deeper.log"), "keep");

    EXPECT_EQ(TBatchLog::ListLogs(FFolder), (QStringList{upper, a, b, c, d}));

    TBatchLog log = Log();
    log.SetFileName(d);
    EXPECT_EQ(log.Prune(2), (QStringList{upper, a, b}));
    EXPECT_EQ(TBatchLog::ListLogs(FFolder), (QStringList{c, d}));
    // Anything that is not a "*.log" file directly in the folder stays.
    EXPECT_TRUE(QFileInfo::exists(FFolder + QStringLiteral("00000000_notes.txt")));
    EXPECT_TRUE(QFileInfo::exists(FFolder + QStringLiteral("00000000_folder.log")));
    EXPECT_TRUE(QFileInfo::exists(FFolder + QStringLiteral("00000000_sub/00000000_deeper.log")));

    EXPECT_TRUE(log.Prune(2).isEmpty());
    EXPECT_EQ(log.Prune(1), QStringList{c});
    EXPECT_EQ(TBatchLog::ListLogs(FFolder), QStringList{d});
}

// A batch still running elsewhere holds its log open under its lock: retention leaves it, and
// takes it at a later batch's end once that batch is over.
TEST_F(BatchLogTest, PruneLeavesALogStillBeingWritten) {
    const QString older =
        FTemp.WriteFile(QStringLiteral("logs/batches/20200101_000000000_A.log"), "a");
    std::optional<TBatchLog> running;
    FNow = At(2021, 1, 1, 0, 0, 0, 0);
    running.emplace(Log());
    const QString busy = running->Create(QStringLiteral("Busy.plv"));
    running->Write(QStringLiteral("  Batch started.\r\n"));
    FNow = At(2022, 1, 1, 0, 0, 0, 0);
    TBatchLog current = Log();
    current.Create(QStringLiteral("Now.plv"));
    EXPECT_EQ(current.Prune(1), QStringList{older});
    EXPECT_TRUE(QFileInfo::exists(busy));
    running.reset();
    EXPECT_EQ(current.Prune(1), QStringList{busy});
}

TEST_F(BatchLogTest, PruneNeverTakesTheCurrentLogUnlessNoneAreKept) {
    const QString future = MakeLog(At(2030, 1, 1, 0, 0, 0, 0), QStringLiteral("P.plv"));
    const QString older = MakeLog(At(2024, 1, 1, 0, 0, 0, 0), QStringLiteral("P.plv"));
    // The clock was set back: the log just written sorts before an older batch's.
    const QString current = MakeLog(At(2024, 6, 1, 0, 0, 0, 0), QStringLiteral("P.plv"));
    TBatchLog log = Log();
    log.SetFileName(current);
    EXPECT_EQ(log.Prune(1), (QStringList{older, future}));
    EXPECT_EQ(TBatchLog::ListLogs(FFolder), QStringList{current});
    EXPECT_EQ(log.Prune(0), QStringList{current});
    EXPECT_TRUE(TBatchLog::ListLogs(FFolder).isEmpty());
}

TEST(LogsPageModel, RootsFilesAndSelection) {
    TTempFolder temp;
    const QString misc = temp.MakeFolder(QStringLiteral("logs/misc"));
    const QString batches = temp.MakeFolder(QStringLiteral("logs/batches"));
    temp.WriteFile(QStringLiteral("logs/misc/program.log"), "program \xc3\xbc\r\n");
    temp.WriteFile(QStringLiteral("logs/misc/Before.log"), "b");
    temp.WriteFile(QStringLiteral("logs/misc/notes.txt"), "n");
    temp.WriteFile(QStringLiteral("logs/batches/20240102_000000000_B.log"), "2");
    temp.WriteFile(QStringLiteral("logs/batches/20240101_000000000_A.log"), "1");

    const TLogsPageModel model(misc, batches);
    ASSERT_EQ(model.Roots().size(), 2u);
    const auto names = [&](int ARoot) {
        QStringList list;
        for (const auto& node : model.Roots()[static_cast<size_t>(ARoot)].Files)
            list << node.Caption;
        return list;
    };
    EXPECT_EQ(model.Roots()[0].Node.Caption, QStringLiteral("Misc"));
    EXPECT_EQ(model.Roots()[1].Node.Caption, QStringLiteral("Batches"));
    EXPECT_EQ(names(TLogsPageModel::KMiscRoot),
              (QStringList{QStringLiteral("Before.log"), QStringLiteral("program.log")}));
    EXPECT_EQ(names(TLogsPageModel::KBatchesRoot),
              (QStringList{QStringLiteral("20240101_000000000_A.log"),
                           QStringLiteral("20240102_000000000_B.log")}));

    EXPECT_EQ(model.InitialSelection(), (TLogsPageModel::TRef{TLogsPageModel::KMiscRoot, 0}));
    const TLogsPageModel::TRef program{TLogsPageModel::KMiscRoot, 1};
    EXPECT_EQ(model.FullPath(program), misc + QStringLiteral("program.log"));
    EXPECT_EQ(model.LoadText(program), QStringLiteral("program \u00fc\r\n"));
    // A root node clears the path and the viewer, as does a node that does not exist.
    for (const TLogsPageModel::TRef ref :
         {TLogsPageModel::TRef{TLogsPageModel::KBatchesRoot, -1}, TLogsPageModel::TRef{1, 2},
          TLogsPageModel::TRef{2, 0}, TLogsPageModel::TRef{}}) {
        EXPECT_TRUE(model.FullPath(ref).isEmpty());
        EXPECT_TRUE(model.LoadText(ref).isEmpty());
    }

    // Without misc logs, "Misc" itself is selected.
    QFile::remove(misc + QStringLiteral("program.log"));
    QFile::remove(misc + QStringLiteral("Before.log"));
    EXPECT_EQ(TLogsPageModel(misc, batches).InitialSelection(),
              (TLogsPageModel::TRef{TLogsPageModel::KMiscRoot, -1}));
}

TEST(ModuleBatchLog, BatchFromStartToRetention) {
    TTempFolder temp;
    // Without a module nothing happens.
    WriteInBatchLog(QStringLiteral("nowhere"));
    EXPECT_TRUE(BeginModuleBatchLog(QStringLiteral("X.plv")).isEmpty());

    TModuleEnvironment env;
    env.ProgramFolder = temp.MakeFolder(QStringLiteral("prog"));
    env.DocumentsFolder = temp.MakeFolder(QStringLiteral("home/Documents"));
    const QDateTime now = At(2026, 12, 9, 12, 0, 0, 5);
    env.Clock = [now] { return now; };
    TModuleShared module(std::move(env));
    const QString folder = module.Folders().BatchLogsFolder;
    const QString older = folder + QStringLiteral("20200101_000000000_Old.log");
    temp.WriteFile(older.mid(temp.Path().size()), "old");
    module.FProgramOptions->FBatchLogCount = 1;

    const QString name = BeginModuleBatchLog(QStringLiteral("/p/MySite.plv"));
    EXPECT_EQ(name, folder + QStringLiteral("20261209_120000005_MySite.log"));
    EXPECT_EQ(module.FBatchLogFileName, name);
    EXPECT_NE(module.FBatchLogCS, nullptr);
    WriteInBatchLog(QStringLiteral("  Batch started.\r\n"));
    EXPECT_EQ(ReadWholeFile(name), Header(now) + "Message: \r\n  Batch started.\r\n\r\n\r\n");

    EndModuleBatchLog();
    EXPECT_EQ(module.FBatchLogCS, nullptr);
    EXPECT_EQ(TBatchLog::ListLogs(folder), QStringList{name});
    EXPECT_EQ(ModuleLogsPageModel().Roots()[TLogsPageModel::KBatchesRoot].Files.size(), 1u);
}

}  // namespace

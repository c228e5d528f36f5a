// The FTP uploader through the real engine: a generated tree of small files uploaded to a local
// pyftpdlib server (the tests' fixture), beside `lftp mirror -R` uploading the same tree to the
// same server when lftp is installed. Each round uploads into an empty server folder, alternating
// which side goes first; it prints files per second per round and as medians, and checks that
// every file arrived byte for byte.
//
//   cmake --preset release && cmake --build --preset release --target bench_ftp_upload
//   build/release/bin/bench_ftp_upload [FILES=1000] [ROUNDS=3] [THREADS=2]
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "app/program_log.h"
#include "batch/batch_engine.h"
#include "bench/support/bench_support.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"
#include "tests/support/ftp_test_server.h"
#include "tests/support/stored_streams.h"

namespace {

constexpr int KFilesPerFolder = 100;

QString RelativePath(int AIndex) {
    return QStringLiteral("d%1/f%2.txt").arg(AIndex / KFilesPerFolder).arg(AIndex);
}

QByteArray Content(int AIndex) {
    return QByteArray(200 + AIndex % 800, static_cast<char>('a' + AIndex % 26));
}

void MakeTree(const QString& ARoot, int AFiles) {
    for (int i = 0; i < AFiles; ++i) {
        if (i % KFilesPerFolder == 0)
            QDir().mkpath(ARoot + RelativePath(i).section(u'/', 0, 0));
        QFile file(ARoot + RelativePath(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(Content(i)) != Content(i).size())
            Fail(QStringLiteral("cannot write ") + file.fileName());
    }
}

int CountMissing(const QString& ARoot, int AFiles) {
    int missing = 0;
    for (int i = 0; i < AFiles; ++i) {
        QFile file(ARoot + RelativePath(i));
        if (!file.open(QIODevice::ReadOnly) || file.readAll() != Content(i))
            ++missing;
    }
    return missing;
}

// The stored grid value of one row.
QByteArray StoredRow(const QStringList& AColumns, const QStringList& ARow) {
    std::vector<TStoredCell> cells;
    for (qsizetype col = 0; col < ARow.size(); ++col)
        cells.emplace_back(static_cast<std::int32_t>(col), 0, ARow.at(col));
    return StoredGrid(AColumns, cells);
}

double RunEngine(TPluginHost& AHost, const QString& ARoot, const QString& ATemp, int APort,
                 const QString& AStartDir, int AThreads, int& AProblems) {
    TBatchCombination combination =
        PluginCombination(AHost, QStringLiteral("zq_kestrin_FtpUploader"), QStringLiteral("*.*"),
                          QStringLiteral("FTP uploader"));
    combination.Props.LibProps_Ref = {
        {QStringLiteral("FtpServersUploadList"),
         StoredRow(
             {QStringLiteral("HOST"), QStringLiteral("PORT"), QStringLiteral("REMOTE_START_DIR"),
              QStringLiteral("CONNECT_MODE"), QStringLiteral("OVERRIDE_MODE"),
              QStringLiteral("TRANSFER_MODE"), QStringLiteral("LOGIN"), QStringLiteral("PASSWORD")},
             {QStringLiteral("127.0.0.1"), QString::number(APort), AStartDir,
              QStringLiteral("auto"), QStringLiteral("always"), QStringLiteral("auto"),
              QStringLiteral("u"), QStringLiteral("pw")})}};
    const TTimedBatch run = RunTimedBatch(AHost, ARoot, ATemp, AThreads, combination);
    AProblems = run.Problems;
    if (run.Failed)
        Fail(QStringLiteral("the batch ended with an error"));
    if (AProblems > 0)
        for (const QString& entry : run.Log.mid(0, 20))
            std::fprintf(stderr, "%s\n", qPrintable(entry));
    return run.WallMs;
}

double RunLftp(const QString& ALftp, const QString& ARoot, int APort, const QString& AStartDir) {
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.start(ALftp, {QStringLiteral("-u"), QStringLiteral("u,pw"), QStringLiteral("-p"),
                          QString::number(APort), QStringLiteral("-e"),
                          QStringLiteral("set net:max-retries 1; mirror -R --no-perms %1 /%2; quit")
                              .arg(ARoot, AStartDir),
                          QStringLiteral("127.0.0.1")});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        Fail(QStringLiteral("lftp failed: ") +
             QString::fromLocal8Bit(process.readAllStandardError()));
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const int threads = argc > 3 ? std::atoi(argv[3]) : 2;
    if (files < 1 || rounds < 1 || threads < 1)
        Fail(QStringLiteral("usage: bench_ftp_upload [FILES] [ROUNDS] [THREADS]"));
    const QString missing = FtpTestServerMissing();
    if (!missing.isEmpty())
        Fail(missing);
    QTemporaryDir dir;
    // Kept for a look at the server's command log when asked.
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("PLOVANE_BENCH_KEEP"));
    const QString base = dir.path() + QLatin1Char('/');
    const QString tree = base + QStringLiteral("tree/");
    const QString temp = base + QStringLiteral("temp/");
    const QString modules = base + QStringLiteral("modules/");
    const QString serverRoot = base + QStringLiteral("server/");
    for (const QString& folder : {temp, modules, serverRoot})
        QDir().mkpath(folder);
    MakeTree(tree, files);

    TFtpTestServerOptions options;
    options.Users << TFtpTestUser{
        QStringLiteral("u"), QStringLiteral("pw"), QStringLiteral("home"), {}};
    TFtpTestServer server(serverRoot, options);
    if (!server.StartError().isEmpty())
        Fail(server.StartError());

    TqvLogging log;
    TCollectionInternalPluginTypes registry;
    RegisterAllInternalPlugins(registry);
    TPluginHost host(registry, {modules, temp, &log});
    host.Discover();

    const QString lftp = QStandardPaths::findExecutable(QStringLiteral("lftp"));
    std::printf(
        "%d files of 200 to 999 bytes in %d folders below %s, %d worker threads, %d rounds%s\n",
        files, (files + KFilesPerFolder - 1) / KFilesPerFolder, qPrintable(base), threads, rounds,
        lftp.isEmpty() ? " (lftp not found: no comparison)" : "");
    std::vector<double> engineRates;
    std::vector<double> lftpRates;
    bool allGood = true;
    for (int round = 0; round < rounds; ++round) {
        double engineMs = 0;
        double lftpMs = 0;
        int problems = 0;
        const QString engineDir = QStringLiteral("engine%1").arg(round);
        const QString lftpDir = QStringLiteral("lftp%1").arg(round);
        for (int side = 0; side < 2; ++side) {
            if ((side + round) % 2 == 0)
                engineMs = RunEngine(host, tree, temp, server.Port(), engineDir, threads, problems);
            else if (!lftp.isEmpty())
                lftpMs = RunLftp(lftp, tree, server.Port(), lftpDir);
        }
        const int engineMissing = CountMissing(
            serverRoot + QStringLiteral("home/") + engineDir + QLatin1Char('/'), files);
        const double engineRate = files * 1000.0 / engineMs;
        engineRates.push_back(engineRate);
        std::printf("Round %d: engine %6.0f ms, %6.0f files/s (%d problems, %d files missing)",
                    round + 1, engineMs, engineRate, problems, engineMissing);
        allGood = allGood && problems == 0 && engineMissing == 0;
        if (!lftp.isEmpty()) {
            const int lftpMissing = CountMissing(
                serverRoot + QStringLiteral("home/") + lftpDir + QLatin1Char('/'), files);
            const double lftpRate = files * 1000.0 / lftpMs;
            lftpRates.push_back(lftpRate);
            std::printf("; lftp mirror -R %6.0f ms, %6.0f files/s (%d files missing)", lftpMs,
                        lftpRate, lftpMissing);
        }
        std::printf("\n");
        QDir(serverRoot + QStringLiteral("home/") + engineDir).removeRecursively();
        QDir(serverRoot + QStringLiteral("home/") + lftpDir).removeRecursively();
    }
    std::printf("Median: engine %.0f files/s", Median(engineRates));
    if (!lftpRates.empty())
        std::printf(", lftp mirror -R %.0f files/s; ratio %.2f (target at least 1.00: %s)",
                    Median(lftpRates), Median(engineRates) / Median(lftpRates),
                    Median(engineRates) >= Median(lftpRates) ? "met" : "NOT met");
    std::printf("\nUploads: %s\n",
                allGood ? "complete in every round" : "INCOMPLETE or with problems");
    return allGood ? 0 : 1;
}

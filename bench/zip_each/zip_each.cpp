// The zip compress plugin through the real engine, packing each of a tree of HTML files into
// its own archive, beside two references on the same bytes: zlib alone deflating every file in
// memory on one thread (the floor: what packing cannot go below), and `zip -q` run once per file
// by `xargs -P` (what a user would script). Each round works on a fresh tree; it prints the
// times per round and as medians, and checks that every file got a sound archive.
//
//   cmake --preset release && cmake --build --preset release --target bench_zip_each
//   build/release/bin/bench_zip_each [FILES=10000] [THREADS=2] [ROUNDS=3] [FOLDER=/tmp] [engine]
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <zlib.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <vector>

#include "app/program_log.h"
#include "batch/batch_engine.h"
#include "bench/support/bench_support.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"

namespace {

constexpr int KFilesPerFolder = 100;
constexpr int KMinSize = 2048;
constexpr int KMaxSize = 8192;

// HTML-like text of 2 to 8 KB from a fixed seed per file.
QByteArray PageContent(int AIndex) {
    std::minstd_rand random(static_cast<std::minstd_rand::result_type>(AIndex) + 1);
    const int target = KMinSize + static_cast<int>(random() % (KMaxSize - KMinSize - 300));
    QByteArray text = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Page " +
                      QByteArray::number(AIndex) + "</title></head>\n<body>\n";
    while (text.size() < target) {
        const QByteArray number = QByteArray::number(static_cast<int>(random() % 50000));
        switch (random() % 4) {
            case 0:
                text += "<li><a href=\"page" + number + ".htm\">Product " + number + "</a></li>\n";
                break;
            case 1:
                text += "<p>Order " + number + " shipped to Z\xC3\xBCrich on day " +
                        QByteArray::number(static_cast<int>(random() % 365)) + ".</p>\n";
                break;
            default:
                text +=
                    "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod "
                    "tempor incididunt ut labore et dolore magna aliqua " +
                    number + ".</p>\n";
        }
    }
    return text + "</body></html>\n";
}

QString RelativePath(int AIndex) {
    return QStringLiteral("d%1/page%2.htm")
        .arg(AIndex / KFilesPerFolder, 3, 10, QLatin1Char('0'))
        .arg(AIndex, 5, 10, QLatin1Char('0'));
}

void WriteBytes(const QString& APath, const QByteArray& ABytes) {
    QFile file(APath);
    if (!file.open(QIODevice::WriteOnly) || file.write(ABytes) != ABytes.size())
        Fail(QStringLiteral("cannot write ") + APath);
}

void MakeTree(const QString& ARoot, const std::vector<QByteArray>& AContents) {
    for (std::size_t i = 0; i < AContents.size(); ++i) {
        const int index = static_cast<int>(i);
        if (index % KFilesPerFolder == 0)
            QDir().mkpath(ARoot + RelativePath(index).section(u'/', 0, 0));
        WriteBytes(ARoot + RelativePath(index), AContents[i]);
    }
}

// Raw deflate at the normal level (what a ZIP entry holds) plus the checksum, on one thread.
double FloorMs(const std::vector<QByteArray>& AContents, qint64& ADeflatedBytes) {
    std::vector<unsigned char> out(compressBound(KMaxSize) + 64);
    QElapsedTimer timer;
    timer.start();
    ADeflatedBytes = 0;
    for (const QByteArray& content : AContents) {
        z_stream stream{};
        if (deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            Fail(QStringLiteral("zlib failed"));
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.constData()));
        stream.avail_in = static_cast<uInt>(content.size());
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
            Fail(QStringLiteral("zlib did not finish"));
        ADeflatedBytes += static_cast<qint64>(stream.total_out);
        deflateEnd(&stream);
        static_cast<void>(crc32(0L, reinterpret_cast<const Bytef*>(content.constData()),
                                static_cast<uInt>(content.size())));
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Packs each "*.htm" file into its own archive; the first few log entries go to standard error.
TTimedBatch RunEngine(TPluginHost& AHost, const QString& ARoot, const QString& ATemp,
                      int AThreads) {
    const TTimedBatch run = RunTimedBatch(
        AHost, ARoot, ATemp, AThreads,
        PluginCombination(AHost, QStringLiteral("zq_kestrin_ZipCompress"), QStringLiteral("*.htm"),
                          QStringLiteral("zip compress plugin")));
    if (run.Failed)
        Fail(QStringLiteral("the batch ended with an error"));
    for (const QString& entry : run.Log.mid(0, 5))
        std::fprintf(stderr, "%s\n", qPrintable(entry));
    return run;
}

double RunZip(const QString& ARoot, int AThreads) {
    const QString command =
        QStringLiteral("find '%1' -name '*.htm' -print0 | xargs -0 -P%2 -I{} zip -qj {}.zip {}")
            .arg(ARoot)
            .arg(AThreads);
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        Fail(QStringLiteral("zip failed: ") +
             QString::fromLocal8Bit(process.readAllStandardError()));
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Every file has its archive; a sample of them passes unzip's test and holds the file.
int CheckArchives(const QString& ARoot, const std::vector<QByteArray>& AContents) {
    int bad = 0;
    for (std::size_t i = 0; i < AContents.size(); ++i) {
        const QString archive = ARoot + RelativePath(static_cast<int>(i)) + QStringLiteral(".zip");
        if (!QFile::exists(archive)) {
            ++bad;
            continue;
        }
        if (i % 997 != 0)
            continue;
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), archive});
        unzip.waitForFinished(-1);
        if (unzip.exitCode() != 0 || unzip.readAllStandardOutput() != AContents[i])
            ++bad;
    }
    return bad;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int threads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const QString folder = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QDir::tempPath();
    // "engine" leaves out the per-file zip runs (minutes on a loaded machine), for profiling.
    const bool withZip = !(argc > 5 && qstrcmp(argv[5], "engine") == 0);
    QTemporaryDir dir(folder + QStringLiteral("/bench_zip_each-XXXXXX"));
    if (!dir.isValid())
        Fail(QStringLiteral("no temporary folder in ") + folder);
    const QString base = dir.path() + QLatin1Char('/');
    const QString temp = base + QStringLiteral("temp/");
    const QString modules = base + QStringLiteral("modules/");
    QDir().mkpath(temp);
    QDir().mkpath(modules);

    TqvLogging log;
    TCollectionInternalPluginTypes registry;
    RegisterAllInternalPlugins(registry);
    TPluginHost host(registry, {modules, temp, &log});
    host.Discover();

    std::vector<QByteArray> contents;
    qint64 bytes = 0;
    for (int i = 0; i < files; ++i) {
        contents.push_back(PageContent(i));
        bytes += contents.back().size();
    }
    std::printf("%d HTML files, %.1f MB, %d threads (and zip processes), %d rounds\n", files,
                static_cast<double>(bytes) / 1e6, threads, rounds);
    std::vector<double> engineTimes;
    std::vector<double> floorTimes;
    std::vector<double> zipTimes;
    std::vector<double> engineCpu;
    std::vector<double> floorCpus;
    bool allGood = true;
    for (int round = 0; round < rounds; ++round) {
        const QString engineRoot = base + QStringLiteral("engine/");
        const QString zipRoot = base + QStringLiteral("zip/");
        MakeTree(engineRoot, contents);
        MakeTree(zipRoot, contents);
        qint64 deflated = 0;
        const double floorCpuBefore = CpuMs();
        const double floor = FloorMs(contents, deflated);
        const double floorCpu = CpuMs() - floorCpuBefore;
        TTimedBatch engine;
        double zip = 0;
        // The order alternates so that neither side always finds the caches warmer.
        if (!withZip) {
            engine = RunEngine(host, engineRoot, temp, threads);
        } else if (round % 2 == 0) {
            engine = RunEngine(host, engineRoot, temp, threads);
            zip = RunZip(zipRoot, threads);
        } else {
            zip = RunZip(zipRoot, threads);
            engine = RunEngine(host, engineRoot, temp, threads);
        }
        const int bad = CheckArchives(engineRoot, contents);
        std::printf(
            "Round %d: engine %6.0f ms (CPU %.0f ms; %d problems, %d bad archives); zlib floor "
            "%5.0f ms (CPU %.0f ms; %.1f MB deflated); zip per file %6.0f ms; engine/floor %.2f "
            "(CPU %.2f), zip/floor %.1f\n",
            round + 1, engine.WallMs, engine.CpuMs, engine.Problems, bad, floor, floorCpu,
            static_cast<double>(deflated) / 1e6, zip, engine.WallMs / floor,
            engine.CpuMs / floorCpu, zip / floor);
        engineCpu.push_back(engine.CpuMs);
        floorCpus.push_back(floorCpu);
        allGood = allGood && bad == 0 && engine.Problems == 0;
        engineTimes.push_back(engine.WallMs);
        floorTimes.push_back(floor);
        zipTimes.push_back(zip);
        QDir(engineRoot).removeRecursively();
        QDir(zipRoot).removeRecursively();
    }
    const double ratio = Median(engineTimes) / Median(floorTimes);
    std::printf("Median: engine %.0f ms, zlib floor %.0f ms, zip per file %.0f ms\n",
                Median(engineTimes), Median(floorTimes), Median(zipTimes));
    std::printf("Engine / floor: %.2f (target at most 2: %s); zip / floor: %.1f\n", ratio,
                ratio <= 2.0 ? "met" : "NOT met", Median(zipTimes) / Median(floorTimes));
    std::printf("Median CPU: engine %.0f ms, floor %.0f ms (ratio %.2f)\n", Median(engineCpu),
                Median(floorCpus), Median(engineCpu) / Median(floorCpus));
    std::printf("Archives: %s\n", allGood ? "all present and sound" : "MISSING or BROKEN");
    return allGood ? 0 : 1;
}

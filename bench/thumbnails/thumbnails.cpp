// 160-pixel-wide thumbnails of generated 1600 by 1200 photos through the real engine (the image
// effects module on "*.jpg", working in place), beside ImageMagick (`convert -resize 160x
// -filter Lanczos`) and `vipsthumbnail` making the same thumbnails of identical copies with as
// many processes as the engine has worker threads. Each round works on fresh copies and
// alternates which side goes first; it prints the wall times per round and as medians, and checks
// that every photo got its thumbnail of the right size.
//
//   cmake --preset release && cmake --build --preset release -j2 --target bench_thumbnails
//   build/release/bin/bench_thumbnails [PHOTOS=200] [THREADS=2] [ROUNDS=3] [FOLDER=/dev/shm]
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "app/folder_walk.h"
#include "app/program_log.h"
#include "base/stream_fields.h"
#include "batch/batch_engine.h"
#include "bench/support/bench_support.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"

namespace {

constexpr int KWidth = 1600;
constexpr int KHeight = 1200;
constexpr int KThumbWidth = 160;
constexpr int KThumbHeight = 120;

// A photo-like picture: soft colour fields, some edges, and sensor-like noise, so that the JPEG
// is about as large and as costly to decode as a camera's picture of this size. The fields are
// sums and products of per-row and per-column tables, so that making 200 of them is quick.
QImage MakePhoto(int AIndex) {
    std::minstd_rand random(static_cast<std::minstd_rand::result_type>(AIndex) * 7919 + 1);
    const double phase = AIndex * 0.37;
    std::vector<double> red(KWidth), greenU(KWidth), blueU(KWidth), edgeSinU(KWidth),
        edgeCosU(KWidth);
    std::vector<double> greenV(KHeight), blueV(KHeight), edgeSinV(KHeight), edgeCosV(KHeight);
    for (int x = 0; x < KWidth; ++x) {
        const double u = static_cast<double>(x) / KWidth;
        red[x] = 128 + 100 * std::sin(3.0 * u + phase);
        greenU[x] = 45 * std::cos(4.0 * u + phase);
        blueU[x] = std::sin(2.5 * u + phase);
        edgeSinU[x] = std::sin(9.0 * u + phase);
        edgeCosU[x] = std::cos(9.0 * u + phase);
    }
    for (int y = 0; y < KHeight; ++y) {
        const double v = static_cast<double>(y) / KHeight;
        greenV[y] = 128 + 45 * std::cos(2.0 * v - phase);
        blueV[y] = 80 * std::cos(3.5 * v);
        edgeSinV[y] = std::sin(5.0 * v);
        edgeCosV[y] = std::cos(5.0 * v);
    }
    QImage image(KWidth, KHeight, QImage::Format_RGB32);
    for (int y = 0; y < KHeight; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < KWidth; ++x) {
            const int noise = static_cast<int>(random() % 17) - 8;
            // sin(a + b) > 0.6: bands crossing the picture at a slant.
            const bool edge = edgeSinU[x] * edgeCosV[y] + edgeCosU[x] * edgeSinV[y] > 0.6;
            const auto level = [&](double AValue) {
                return std::clamp(static_cast<int>(AValue) + noise, 0, 255);
            };
            line[x] = qRgb(level(red[x] + (edge ? 30 : 0)), level(greenV[y] + greenU[x]),
                           level(110 + blueU[x] * blueV[y] - (edge ? 40 : 0)));
        }
    }
    return image;
}

void MakePhotos(const QString& AFolder, int ACount, int AThreads) {
    QDir().mkpath(AFolder);
    std::vector<std::thread> threads;
    for (int t = 0; t < AThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = t; i < ACount; i += AThreads) {
                const QString path =
                    AFolder + QStringLiteral("photo%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
                if (!QFile::exists(path) && !MakePhoto(i).save(path, "jpg", 90))
                    Fail(QStringLiteral("cannot write ") + path);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
}

void CopyPhotos(const QString& AFrom, const QString& ATo) {
    QDir(ATo).removeRecursively();
    QDir().mkpath(ATo);
    for (const QString& name : QDir(AFrom).entryList(QDir::Files))
        if (!QFile::copy(AFrom + name, ATo + name))
            Fail(QStringLiteral("cannot copy ") + name);
}

QByteArray StoredFile(const QString& ADocument) {
    TStreamWriter writer;
    writer.WriteUtf8String(ADocument);
    return writer.TakeData();
}

QByteArray StoredNoChoices() {
    TStreamWriter writer;
    writer.WriteInt32(0);
    return writer.TakeData();
}

double RunEngine(TPluginHost& AHost, const QString& ARoot, const QString& ATemp, int AThreads) {
    TBatchCombination combination =
        PluginCombination(AHost, QStringLiteral("zq_kestrin_ImageEffects"), QStringLiteral("*.jpg"),
                          QStringLiteral("image effects module"));
    combination.Props.LibProps_Ref = {
        {QStringLiteral("SimpleEffects"), StoredNoChoices()},
        {QStringLiteral("AdvancedFeatures"),
         StoredFile(QStringLiteral("[GalleryOptions]\r\nPicturesMake=1\r\nPicturesWidth=%1\r\n"
                                   "PicturesQuality=85\r\nPicturesNamePrepend=thumb-\r\n")
                        .arg(KThumbWidth))}};
    const TTimedBatch run = RunTimedBatch(AHost, ARoot, ATemp, AThreads, combination);
    if (run.Failed || run.Problems != 0) {
        for (const QString& entry : run.Log)
            std::fprintf(stderr, "%s\n", qPrintable(entry));
        Fail(QStringLiteral("the batch reported problems"));
    }
    return run.WallMs;
}

// Runs a shell command line over the photos; its wall time, or a negative value when the tool
// is missing.
double RunTool(const QString& ATool, const QString& ACommand) {
    if (QStandardPaths::findExecutable(ATool).isEmpty())
        return -1;
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), ACommand});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        Fail(ATool + QStringLiteral(" failed: ") +
             QString::fromLocal8Bit(process.readAllStandardError()));
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

QString Quoted(const QString& APath) {
    return u'\'' + APath + u'\'';
}

double RunImageMagick(const QString& ARoot, int AThreads) {
    return RunTool(QStringLiteral("convert"),
                   QStringLiteral("cd %1 && ls photo*.jpg | xargs -P%2 -I{} convert {} -filter "
                                  "Lanczos -resize %3x -quality 85 thumb-{}")
                       .arg(Quoted(ARoot))
                       .arg(AThreads)
                       .arg(KThumbWidth));
}

double RunVips(const QString& ARoot, int AThreads) {
    return RunTool(QStringLiteral("vipsthumbnail"),
                   QStringLiteral("cd %1 && ls photo*.jpg | xargs -P%2 -n 10 vipsthumbnail -s %3 "
                                  "-o 'thumb-%s.jpg[Q=85]'")
                       .arg(Quoted(ARoot))
                       .arg(AThreads)
                       .arg(KThumbWidth));
}

// Every photo has its thumbnail, of the right size.
void CheckThumbnails(const QString& ARoot, int APhotos, const char* AWho) {
    int found = 0;
    for (const QString& name :
         QDir(ARoot).entryList({QStringLiteral("thumb-*.jpg")}, QDir::Files)) {
        const QSize size = QImageReader(ARoot + name).size();
        if (size != QSize(KThumbWidth, KThumbHeight))
            Fail(QStringLiteral("%1: %2 is %3x%4")
                     .arg(QString::fromLatin1(AWho), name)
                     .arg(size.width())
                     .arg(size.height()));
        ++found;
    }
    if (found != APhotos)
        Fail(QStringLiteral("%1 made %2 thumbnails of %3 photos")
                 .arg(QString::fromLatin1(AWho))
                 .arg(found)
                 .arg(APhotos));
}

// Decoding every photo whole on as many threads, nothing else: what any tool that reads the
// whole picture pays at least.
double RunDecodeOnly(const QString& AFolder, int AThreads) {
    const QStringList names = QDir(AFolder).entryList({QStringLiteral("photo*.jpg")}, QDir::Files);
    QElapsedTimer timer;
    timer.start();
    std::vector<std::thread> threads;
    for (int t = 0; t < AThreads; ++t)
        threads.emplace_back([&, t] {
            for (qsizetype i = t; i < names.size(); i += AThreads)
                if (QImageReader(AFolder + names.at(i)).read().isNull())
                    Fail(QStringLiteral("cannot decode ") + names.at(i));
        });
    for (std::thread& thread : threads)
        thread.join();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

QString Figure(double AMs) {
    return AMs < 0 ? QStringLiteral("not installed") : QStringLiteral("%1 ms").arg(AMs, 0, 'f', 0);
}

}  // namespace

int main(int argc, char* argv[]) {
    const int photos = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int threads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const QString folder = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("/dev/shm");
    QTemporaryDir dir(folder + QStringLiteral("/bench_thumbnails-XXXXXX"));
    if (!dir.isValid())
        Fail(QStringLiteral("no temporary folder in ") + folder);
    const QString base = dir.path() + u'/';
    QDir().mkpath(base + QStringLiteral("xdg"));
    qputenv("XDG_DATA_HOME", (base + QStringLiteral("xdg")).toUtf8());
    const QString temp = base + QStringLiteral("temp/");
    const QString modules = base + QStringLiteral("modules/");
    const QString originals = base + QStringLiteral("photos/");
    QDir().mkpath(temp);
    if (CopyTreeMissing(QStringLiteral(PLOVANE_SOURCE_DIR "/resources/modules/Internal"),
                        modules + QStringLiteral("Internal"), TCopyTreeMode::AlwaysOverwrite) != 0)
        Fail(QStringLiteral("cannot copy the shipped module files"));

    QElapsedTimer making;
    making.start();
    MakePhotos(originals, photos, threads);
    qint64 bytes = 0;
    for (const QFileInfo& info : QDir(originals).entryInfoList(QDir::Files))
        bytes += info.size();
    std::printf(
        "%d photos of %dx%d (%.1f MB, made in %.1f s), thumbnails %d wide, %d threads "
        "and processes, %d rounds on fresh copies in %s\n",
        photos, KWidth, KHeight, static_cast<double>(bytes) / 1e6,
        static_cast<double>(making.elapsed()) / 1e3, KThumbWidth, threads, rounds,
        qPrintable(folder));

    TqvLogging log;
    TCollectionInternalPluginTypes registry;
    RegisterAllInternalPlugins(registry);
    TPluginHost host(registry, {modules, temp, &log});
    host.Discover();

    std::vector<double> engineTimes, magickTimes, vipsTimes, decodeTimes;
    for (int round = 0; round < rounds; ++round) {
        const QString engineRoot = base + QStringLiteral("engine/");
        const QString magickRoot = base + QStringLiteral("magick/");
        const QString vipsRoot = base + QStringLiteral("vips/");
        CopyPhotos(originals, engineRoot);
        CopyPhotos(originals, magickRoot);
        CopyPhotos(originals, vipsRoot);
        double engine = 0, magick = 0, vips = 0;
        if (round % 2 == 0) {
            engine = RunEngine(host, engineRoot, temp, threads);
            magick = RunImageMagick(magickRoot, threads);
            vips = RunVips(vipsRoot, threads);
        } else {
            vips = RunVips(vipsRoot, threads);
            magick = RunImageMagick(magickRoot, threads);
            engine = RunEngine(host, engineRoot, temp, threads);
        }
        CheckThumbnails(engineRoot, photos, "engine");
        if (magick >= 0)
            CheckThumbnails(magickRoot, photos, "ImageMagick");
        if (vips >= 0)
            CheckThumbnails(vipsRoot, photos, "vipsthumbnail");
        const double decode = RunDecodeOnly(originals, threads);
        std::printf(
            "Round %d: engine %.0f ms; ImageMagick %s; vipsthumbnail %s; decoding alone %.0f ms\n",
            round + 1, engine, qPrintable(Figure(magick)), qPrintable(Figure(vips)), decode);
        decodeTimes.push_back(decode);
        engineTimes.push_back(engine);
        magickTimes.push_back(magick);
        vipsTimes.push_back(vips);
    }
    const double engine = Median(engineTimes);
    const double magick = Median(magickTimes);
    const double vips = Median(vipsTimes);
    std::printf(
        "Median: engine %.0f ms; ImageMagick %s; vipsthumbnail %s; decoding the photos whole "
        "alone %.0f ms\n",
        engine, qPrintable(Figure(magick)), qPrintable(Figure(vips)), Median(decodeTimes));
    const bool met = (magick < 0 || engine < magick) && (vips < 0 || engine < vips);
    std::printf("Target (faster than both): %s\n", met ? "met" : "NOT met");
    return 0;
}

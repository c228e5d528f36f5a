// The text replacer through the real engine over a generated tree of HTML files, beside
// `find | xargs -P sed -i` doing the same two replacements on an identical copy. Each round works
// on fresh copies; it prints the wall and processor times of both sides and their ratio, per
// round and as medians, and checks that both left byte-identical files.
//
//   cmake --preset release -B build/benchrel
//   cmake --build build/benchrel -j2 --target bench_text_replace
//   build/benchrel/bin/bench_text_replace [FILES=10000] [THREADS=2] [ROUNDS=3]
//
// The rules are chosen so that Perl-style and POSIX extended expressions read them alike: a plain
// text without metacharacters, and an expression whose only repetition is followed by a literal.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <vector>

#include "app/folder_walk.h"
#include "app/program_log.h"
#include "base/stream_fields.h"
#include "batch/batch_engine.h"
#include "bench/support/bench_support.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"

namespace {

const QString KPlainMatch = QStringLiteral("Old Company");
const QString KPlainReplace = QStringLiteral("New Company Ltd");
const QString KRegexMatch = QStringLiteral(R"(href="page([0-9]+)\.htm")");
const QString KRegexReplace = QStringLiteral(R"(href="doc\1.html")");
// The same two rules for sed -E, applied in the same order.
const char* const KSedScript =
    R"(-e 's/Old Company/New Company Ltd/g' -e 's/href="page([0-9]+)\.htm"/href="doc\1.html"/g')";

constexpr int KFilesPerFolder = 100;
constexpr int KMinSize = 2048;
constexpr int KMaxSize = 8192;

// One file's content: paragraphs drawn from a fixed seed until the size is reached. One file in
// five holds only text that neither rule matches (near misses included), so that it stays as it
// is. AMatches tells whether any paragraph a rule matches was drawn.
QByteArray PageContent(int AIndex, bool& AMatches) {
    std::minstd_rand random(static_cast<std::minstd_rand::result_type>(AIndex) + 1);
    const int target = KMinSize + static_cast<int>(random() % (KMaxSize - KMinSize - 400));
    const bool matching = AIndex % 5 != 0;
    AMatches = false;
    QByteArray text = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Page " +
                      QByteArray::number(AIndex) + "</title></head>\n<body>\n";
    while (text.size() < target) {
        const unsigned kind = random() % 6;
        const QByteArray number = QByteArray::number(static_cast<int>(random() % 5000));
        AMatches = AMatches || (matching && kind <= 1);
        if (matching && kind == 0) {
            text +=
                "<p>Welcome to Old Company \xE2\x80\x93 serving Z\xC3\xBCrich since 1987. "
                "Old Company stands for quality.</p>\n";
        } else if (matching && kind == 1) {
            text += "<li><a href=\"page" + number + ".htm\">Product " + number +
                    "</a> and <a href=\"page" + number + "0.htm\">its successor</a></li>\n";
        } else if (kind == 2) {
            // Near misses: other case, other extension, other attribute.
            text += "<li>old company archive: <a href=\"page" + number +
                    ".html\">then</a>, <a href=\"Page" + number +
                    ".htm\">now</a>, <img src=\"page" + number + ".htm\"></li>\n";
        } else {
            text +=
                "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod "
                "tempor incididunt ut labore et dolore magna aliqua. Ut enim ad minim veniam, "
                "quis nostrud exercitation ullamco laboris nisi ut aliquip ex ea commodo.</p>\n";
        }
    }
    text += "</body></html>\n";
    return text;
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

QByteArray ReadBytes(const QString& APath) {
    QFile file(APath);
    if (!file.open(QIODevice::ReadOnly))
        Fail(QStringLiteral("cannot read ") + APath);
    return file.readAll();
}

struct TTreeFacts {
    qint64 Bytes = 0;
    int FilesWithMatches = 0;
};

// Writes the same tree into both folders.
TTreeFacts MakeTrees(const QString& AFirst, const QString& ASecond, int AFiles) {
    TTreeFacts facts;
    for (int i = 0; i < AFiles; ++i) {
        if (i % KFilesPerFolder == 0)
            for (const QString& root : {AFirst, ASecond})
                QDir().mkpath(root + RelativePath(i).section(u'/', 0, 0));
        bool matches = false;
        const QByteArray content = PageContent(i, matches);
        WriteBytes(AFirst + RelativePath(i), content);
        WriteBytes(ASecond + RelativePath(i), content);
        facts.Bytes += content.size();
        facts.FilesWithMatches += matches ? 1 : 0;
    }
    return facts;
}

// A stored grid value: column IDs, then every cell with its column and row.
QByteArray StoredGrid(const QStringList& AColumns, const QStringList& ARow) {
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(AColumns.size()));
    for (const QString& column : AColumns)
        writer.WriteAnsiString(column);
    writer.WriteInt32(static_cast<std::int32_t>(ARow.size()));
    for (qsizetype col = 0; col < ARow.size(); ++col) {
        writer.WriteInt32(static_cast<std::int32_t>(col));
        writer.WriteInt32(0);
        writer.WriteUtf8String(ARow.at(col));
    }
    return writer.TakeData();
}

struct TEngineTimes {
    double TotalMs = 0;
    double MainRunMs = 0;
    double CpuMs = 0;
    int Done = 0;
    int Problems = 0;
};

TEngineTimes RunEngine(TPluginHost& AHost, const QString& ARoot, const QString& ATemp,
                       int AThreads) {
    TBatchEngineSetup setup;
    setup.Settings.InputDirPath = ARoot;
    setup.Settings.WorkDirPath = ARoot;
    setup.Settings.InputDirIsWorkDir = true;
    setup.Settings.MaxWorkerThreads = AThreads;
    TBatchCombination combination;
    combination.Filter = QStringLiteral("*.htm");
    combination.Props.LibInfo_Ref = AHost.FindByStrID(QStringLiteral("zq_kestrin_TextReplacer"));
    if (combination.Props.LibInfo_Ref == nullptr)
        Fail(QStringLiteral("the text replacer was not discovered"));
    combination.Props.LibProps_Ref = {
        {QStringLiteral("Simple"), StoredGrid({QStringLiteral("CASE_SENSITIVE"),
                                               QStringLiteral("MATCH"), QStringLiteral("REPLACE")},
                                              {QStringLiteral("1"), KPlainMatch, KPlainReplace})},
        {QStringLiteral("Regex"), StoredGrid({QStringLiteral("MODIFIERS"), QStringLiteral("MATCH"),
                                              QStringLiteral("REPLACE")},
                                             {QString(), KRegexMatch, KRegexReplace})}};
    setup.Combinations.push_back(combination);
    setup.Host = &AHost;
    setup.TempFolder = ATemp;
    setup.DeleteToTrash = false;
    std::mutex lock;
    QStringList log;
    setup.LogWriter = [&](const QString& AEntry) {
        const std::lock_guard guard(lock);
        log << AEntry;
    };
    QElapsedTimer timer;
    TEngineTimes times;
    double preparedMs = -1;
    setup.OnProgress = [&](int, int, int APosition, bool ADone) {
        const std::lock_guard guard(lock);
        if (preparedMs < 0)
            preparedMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (ADone)
            times.Done = APosition;
    };
    TBatchEngine engine(std::move(setup));
    const double cpuBefore = CpuMs(RUSAGE_SELF);
    timer.start();
    engine.Resume();
    engine.WaitFor();
    times.TotalMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    times.CpuMs = CpuMs(RUSAGE_SELF) - cpuBefore;
    times.MainRunMs = times.TotalMs - std::max(preparedMs, 0.0);
    times.Problems = engine.ProblemCounts().Total();
    if (engine.Failure())
        Fail(QStringLiteral("the batch ended with an error"));
    for (const QString& entry : log)
        std::fprintf(stderr, "%s\n", qPrintable(entry));
    return times;
}

struct TSedTimes {
    double TotalMs = 0;
    double CpuMs = 0;
};

TSedTimes RunSed(const QString& ARoot, int AThreads) {
    const QString command =
        QStringLiteral("find '%1' -name '*.htm' -print0 | xargs -0 -P%2 sed -E -i ")
            .arg(ARoot)
            .arg(AThreads) +
        QString::fromLatin1(KSedScript);
    const double cpuBefore = CpuMs(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        Fail(QStringLiteral("sed failed: ") +
             QString::fromLocal8Bit(process.readAllStandardError()));
    TSedTimes times;
    times.TotalMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    times.CpuMs = CpuMs(RUSAGE_CHILDREN) - cpuBefore;
    return times;
}

// Written-back dirty pages of one run must not be paid for by the next.
void Sync() {
    QProcess::execute(QStringLiteral("sync"), {});
}

// Every file of both copies, byte for byte, and proof that the rules did their work. Returns
// the number of files that differ.
int CompareOutputs(const QString& AEngineRoot, const QString& ASedRoot, int AFiles,
                   int AFilesWithMatches) {
    const QRegularExpression left(KRegexMatch);
    int different = 0;
    int replaced = 0;
    for (int i = 0; i < AFiles; ++i) {
        const QByteArray mine = ReadBytes(AEngineRoot + RelativePath(i));
        if (mine != ReadBytes(ASedRoot + RelativePath(i))) {
            if (different == 0)
                std::printf("  first difference: %s\n", qPrintable(RelativePath(i)));
            ++different;
        }
        if (mine.contains("Old Company") || left.match(QString::fromUtf8(mine)).hasMatch())
            Fail(QStringLiteral("a match is left in ") + RelativePath(i));
        if (mine.contains("New Company Ltd") || mine.contains("href=\"doc"))
            ++replaced;
    }
    if (replaced != AFilesWithMatches)
        Fail(QStringLiteral("%1 files carry replacements, %2 should")
                 .arg(replaced)
                 .arg(AFilesWithMatches));
    return different;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int threads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    QTemporaryDir dir;
    if (!dir.isValid())
        Fail(QStringLiteral("no temporary folder"));
    const QString base = dir.path() + QLatin1Char('/');
    // Whatever the engine moves to the trash stays in this folder, never in the user's trash.
    QDir().mkpath(base + QStringLiteral("xdg"));
    qputenv("XDG_DATA_HOME", (base + QStringLiteral("xdg")).toUtf8());
    const QString temp = base + QStringLiteral("temp/");
    const QString modules = base + QStringLiteral("modules/");
    QDir().mkpath(temp);
    // The text replacer reads its default file from its folder below the modules folder.
    if (CopyTreeMissing(QStringLiteral(PLOVANE_SOURCE_DIR "/resources/modules/Internal"),
                        modules + QStringLiteral("Internal"), TCopyTreeMode::AlwaysOverwrite) != 0)
        Fail(QStringLiteral("cannot copy the shipped module files"));

    TqvLogging log;
    TCollectionInternalPluginTypes registry;
    RegisterAllInternalPlugins(registry);
    TPluginHost host(registry, {modules, temp, &log});
    host.Discover();

    std::printf("%d HTML files of %d to %d bytes, %d threads, %d rounds on fresh copies\n", files,
                KMinSize, KMaxSize, threads, rounds);
    std::vector<double> engineTimes;
    std::vector<double> sedTimes;
    std::vector<double> engineCpu;
    std::vector<double> sedCpu;
    bool allGood = true;
    for (int round = 0; round < rounds; ++round) {
        const QString roundBase = base + QStringLiteral("round/");
        const QString engineRoot = roundBase + QStringLiteral("engine/");
        const QString sedRoot = roundBase + QStringLiteral("sed/");
        const TTreeFacts tree = MakeTrees(engineRoot, sedRoot, files);
        if (round == 0)
            std::printf("  %.1f MB per copy; %d files hold matches\n",
                        static_cast<double>(tree.Bytes) / 1e6, tree.FilesWithMatches);
        Sync();
        // The order alternates so that neither side always runs on a quieter disk.
        TEngineTimes engine;
        TSedTimes sed;
        if (round % 2 == 0) {
            engine = RunEngine(host, engineRoot, temp, threads);
            Sync();
            sed = RunSed(sedRoot, threads);
        } else {
            sed = RunSed(sedRoot, threads);
            Sync();
            engine = RunEngine(host, engineRoot, temp, threads);
        }
        const int different = CompareOutputs(engineRoot, sedRoot, files, tree.FilesWithMatches);
        std::printf(
            "Round %d: engine %5.0f ms (main run %.0f ms, CPU %.0f ms, %d paths, %d problems); "
            "sed %5.0f ms (CPU %.0f ms); ratio %.2f; %d files differ\n",
            round + 1, engine.TotalMs, engine.MainRunMs, engine.CpuMs, engine.Done, engine.Problems,
            sed.TotalMs, sed.CpuMs, engine.TotalMs / sed.TotalMs, different);
        allGood = allGood && different == 0 && engine.Problems == 0;
        engineTimes.push_back(engine.TotalMs);
        sedTimes.push_back(sed.TotalMs);
        engineCpu.push_back(engine.CpuMs);
        sedCpu.push_back(sed.CpuMs);
        QDir(roundBase).removeRecursively();
        Sync();
    }
    const double engineMs = Median(engineTimes);
    const double sedMs = Median(sedTimes);
    std::printf("Median wall time: engine %.0f ms, find | xargs -0 -P%d sed -E -i %.0f ms\n",
                engineMs, threads, sedMs);
    std::printf("Median CPU time:  engine %.0f ms, sed %.0f ms (ratio %.2f)\n", Median(engineCpu),
                Median(sedCpu), Median(engineCpu) / Median(sedCpu));
    std::printf("Ratio engine / sed: %.2f  (target at most 0.50: %s)\n", engineMs / sedMs,
                engineMs / sedMs <= 0.5 ? "met" : "NOT met");
    std::printf("Outputs: %s\n",
                allGood ? "identical in every round" : "DIFFERENT or with problems");
    return allGood ? 0 : 1;
}

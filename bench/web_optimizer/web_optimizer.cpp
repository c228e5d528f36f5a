// The web page optimizer through the real batch engine over a generated corpus of 10,000 HTML
// pages written like real sites (indented markup, tables, lists, forms, comments, inline scripts
// and styles, preformatted text, entities, non-ASCII text). Each round packs a fresh copy in
// place with the given number of worker threads and prints the throughput (MB of input per
// second of wall time), the processor time and the size reduction.
//
//   cmake --preset release && cmake --build --preset release --target bench_web_optimizer
//   build/release/bin/bench_web_optimizer [PAGES=10000] [THREADS=2] [ROUNDS=3]
//   build/release/bin/bench_web_optimizer --write-corpus DIR [PAGES=10000]
//
// The second form only writes the corpus, for running another minifier over the same pages
// (see bench/README.md).
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

constexpr int KFilesPerFolder = 100;

// One page from a fixed seed: a head with a style sheet, a script and a conditional comment,
// then sections drawn at random until the page has the size drawn for it (3 to 12 KB).
QByteArray PageContent(int AIndex) {
    std::minstd_rand random(static_cast<std::minstd_rand::result_type>(AIndex) + 7);
    const int target = 3000 + static_cast<int>(random() % 9000);
    const QByteArray n = QByteArray::number(AIndex);
    QByteArray text =
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
        "<html>\r\n  <head>\r\n"
        "    <meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
        "    <title>Page " +
        n +
        " \xE2\x80\x93 Z\xC3\xBCrich Caf\xC3\xA9</title>\r\n"
        "    <!--[if lt IE 7]><link rel=\"stylesheet\" href=\"ie6.css\"><![endif]-->\r\n"
        "    <style type=\"text/css\">\r\n      body  { margin: 0;  padding: 0; }\r\n"
        "      .nav  li { display: inline; }\r\n    </style>\r\n"
        "    <script type=\"text/javascript\">\r\n      var page = " +
        n +
        ";\r\n"
        "      function go(u) {  if (u) { location.href = u; }  }\r\n    </script>\r\n"
        "  </head>\r\n  <body>\r\n    <!-- navigation -->\r\n    <ul class=\"nav\">\r\n"
        "      <li><a href=\"index.htm\">Home</a></li>\r\n"
        "      <li><a href=\"about.htm\">About  us</a></li>\r\n    </ul>\r\n";
    while (text.size() < target) {
        const QByteArray k = QByteArray::number(static_cast<int>(random() % 1000));
        switch (random() % 6) {
            case 0:
                text +=
                    "    <div class=\"box\">\r\n      <p>\r\n        Lorem ipsum dolor sit "
                    "amet, consectetur   adipiscing elit, sed do eiusmod\r\n        tempor "
                    "incididunt ut labore et dolore magna aliqua &amp; more.\r\n      </p>"
                    "\r\n    </div>\r\n";
                break;
            case 1:
                text +=
                    "    <table width=\"100%\" cellpadding=\"2\">\r\n      <tr>\r\n"
                    "        <td>Item " +
                    k +
                    "</td>\r\n        <td align=\"right\">"
                    "&euro; " +
                    k + ",50</td>\r\n      </tr>\r\n    </table>\r\n";
                break;
            case 2:
                text += "    <!-- product " + k +
                        " -->\r\n    <ol>\r\n      <li>first</li>\r\n"
                        "      <li>second  <span class=\"x\">item</span></li>\r\n    </ol>\r\n";
                break;
            case 3:
                text +=
                    "    <form action=\"order.php\" method=\"post\">\r\n      <input "
                    "type=\"text\" name=\"q" +
                    k +
                    "\" value=\"\">\r\n      <input "
                    "type=\"submit\" value=\"Send\">\r\n    </form>\r\n";
                break;
            case 4:
                text += "    <pre>\r\n  code  " + k + "\r\n    indented\r\n    </pre>\r\n";
                break;
            default:
                text +=
                    "    <p>Gr\xC3\xBC\xC3\x9F"
                    "e aus M\xC3\xBCnchen \xE2\x80\x94 "
                    "\xE6\x97\xA5\xE6\x9C\xAC  " +
                    k + ".</p>\r\n";
                break;
        }
    }
    text += "  </body>\r\n</html>\r\n";
    return text;
}

QString RelativePath(int AIndex) {
    return QStringLiteral("d%1/page%2.htm")
        .arg(AIndex / KFilesPerFolder, 3, 10, QLatin1Char('0'))
        .arg(AIndex, 5, 10, QLatin1Char('0'));
}

qint64 WriteCorpus(const QString& ARoot, int AFiles) {
    qint64 bytes = 0;
    for (int i = 0; i < AFiles; ++i) {
        if (i % KFilesPerFolder == 0)
            QDir().mkpath(ARoot + RelativePath(i).section(u'/', 0, 0));
        const QByteArray content = PageContent(i);
        QFile file(ARoot + RelativePath(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            Fail(QStringLiteral("cannot write ") + file.fileName());
        bytes += content.size();
    }
    return bytes;
}

qint64 CorpusBytes(const QString& ARoot, int AFiles) {
    qint64 bytes = 0;
    for (int i = 0; i < AFiles; ++i)
        bytes += QFileInfo(ARoot + RelativePath(i)).size();
    return bytes;
}

// Packs every "*.htm" page with the shipped "Setup" defaults; the tag-match reports go to
// standard error.
TTimedBatch RunBatch(TPluginHost& AHost, const QString& ARoot, const QString& ATemp, int AThreads) {
    const TTimedBatch run = RunTimedBatch(
        AHost, ARoot, ATemp, AThreads,
        PluginCombination(AHost, QStringLiteral("zq_kestrin_WebPageOptimizer"),
                          QStringLiteral("*.htm"), QStringLiteral("web page optimizer")));
    if (run.Failed)
        Fail(QStringLiteral("the batch ended with an error"));
    for (const QString& entry : run.Log) {
        if (entry.contains(QStringLiteral("Found")))
            std::fprintf(stderr, "%s\n", qPrintable(entry));
    }
    return run;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc > 2 && std::strcmp(argv[1], "--write-corpus") == 0) {
        const int files = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10000;
        const QString root = QDir(QString::fromLocal8Bit(argv[2])).absolutePath() + u'/';
        const qint64 bytes = WriteCorpus(root, files);
        std::printf("%d pages, %.1f MB in %s\n", files, static_cast<double>(bytes) / 1e6,
                    qPrintable(root));
        return 0;
    }
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int threads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    QTemporaryDir dir;
    if (!dir.isValid())
        Fail(QStringLiteral("no temporary folder"));
    const QString base = dir.path() + QLatin1Char('/');
    QDir().mkpath(base + QStringLiteral("xdg"));
    qputenv("XDG_DATA_HOME", (base + QStringLiteral("xdg")).toUtf8());
    const QString temp = base + QStringLiteral("temp/");
    const QString modules = base + QStringLiteral("modules/");
    QDir().mkpath(temp);
    // The optimizer reads its default "Setup" from its folder below the modules folder.
    if (CopyTreeMissing(QStringLiteral(PLOVANE_SOURCE_DIR "/resources/modules/Internal"),
                        modules + QStringLiteral("Internal"), TCopyTreeMode::AlwaysOverwrite) != 0)
        Fail(QStringLiteral("cannot copy the shipped module files"));

    TqvLogging log;
    TCollectionInternalPluginTypes registry;
    RegisterAllInternalPlugins(registry);
    TPluginHost host(registry, {modules, temp, &log});
    host.Discover();

    std::vector<double> rates;
    std::vector<double> cpus;
    double reduction = 0;
    qint64 inputBytes = 0;
    bool allGood = true;
    for (int round = 0; round < rounds; ++round) {
        const QString root = base + QStringLiteral("round/");
        const qint64 before = WriteCorpus(root, files);
        inputBytes = before;
        if (round == 0)
            std::printf("%d pages, %.1f MB, %d worker threads, %d rounds on fresh copies\n", files,
                        static_cast<double>(before) / 1e6, threads, rounds);
        const TTimedBatch run = RunBatch(host, root, temp, threads);
        const qint64 after = CorpusBytes(root, files);
        reduction = 100.0 * static_cast<double>(before - after) / static_cast<double>(before);
        const double rate = static_cast<double>(before) / 1e6 / (run.WallMs / 1e3);
        std::printf(
            "Round %d: %6.0f ms wall, %6.0f ms CPU, %6.1f MB/s, %.1f%% smaller, "
            "%d problems\n",
            round + 1, run.WallMs, run.CpuMs, rate, reduction, run.Problems);
        allGood = allGood && run.Problems == 0 && after < before;
        rates.push_back(rate);
        cpus.push_back(run.CpuMs);
        QDir(root).removeRecursively();
    }
    // The processor time is the steadier measure on a shared machine: what the pages cost
    // whatever else runs meanwhile.
    std::printf(
        "Median: %.1f MB/s (wall), %.0f ms CPU per round (%.1f MB per CPU second); "
        "output %.1f%% smaller\n",
        Median(rates), Median(cpus), static_cast<double>(inputBytes) / 1e6 / (Median(cpus) / 1e3),
        reduction);
    return allGood ? 0 : 1;
}

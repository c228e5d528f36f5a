// The web page optimizer on real pages: every HTML page installed below the given folders (the
// system's own documentation below /usr/share by default) is read as the plugin reads it and
// packed with the settings a new combination gets (HTML only, line breaks before block tags, no
// short tags). Every packed page must show what the page showed (the test oracle of
// tests/support) and must not grow. With --minifier, html-minifier-terser's command line
// (--collapse-whitespace --remove-comments) packs the same pages, read from the same UTF-8
// copies, and its sizes and oracle verdicts are printed beside ours.
//
//   build/release/bin/bench_web_pages [--minifier NODE_MODULES_DIR] [FOLDER...]
//
// NODE_MODULES_DIR holds html-minifier-terser (npm install html-minifier-terser@7 in a folder
// outside the source tree); minify_each.cjs runs it with node.
//
// Exit status 0 when every page passed.
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <exception>

#include "base/text_file.h"
#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer.h"
#include "tests/support/html_render_oracle.h"

namespace {

struct TPage {
    QString Path;
    QString Text;
    qint64 Bytes = 0;  // of the text as UTF-8
};

QStringList FindPages(const QStringList& AFolders) {
    QStringList paths;
    for (const QString& folder : AFolders) {
        QDirIterator it(
            folder, {QStringLiteral("*.htm"), QStringLiteral("*.html"), QStringLiteral("*.xhtml")},
            QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
        while (it.hasNext())
            paths << it.next();
    }
    paths.sort();
    return paths;
}

bool WriteFile(const QString& APath, const QByteArray& ABytes) {
    QFile file(APath);
    return file.open(QIODevice::WriteOnly) && file.write(ABytes) == ABytes.size();
}

}  // namespace

int main(int argc, char* argv[]) {
    QString nodeModules;
    QStringList folders;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--minifier") == 0 && i + 1 < argc)
            nodeModules = QString::fromLocal8Bit(argv[++i]);
        else
            folders << QString::fromLocal8Bit(argv[i]);
    }
    if (folders.isEmpty())
        folders << QStringLiteral("/usr/share");

    std::vector<TPage> pages;
    int unreadable = 0;
    for (const QString& path : FindPages(folders)) {
        try {
            TPage page{path, ReadTextFileAuto(path), 0};
            page.Bytes = page.Text.toUtf8().size();
            pages.push_back(std::move(page));
        } catch (const std::exception& e) {
            ++unreadable;
            std::printf("cannot read %s: %s\n", qPrintable(path), e.what());
        }
    }
    std::printf("%zu pages below %s (%d unreadable)\n", pages.size(),
                qPrintable(folders.join(QStringLiteral(", "))), unreadable);

    qint64 inBytes = 0;
    qint64 outBytes = 0;
    int tagErrors = 0;
    int shown = 0;
    int grown = 0;
    double packMs = 0;
    std::vector<QByteArray> packedPages;
    for (const TPage& page : pages) {
        QString text = page.Text;
        TqvWebPageOptimizer engine;
        engine.SetDetectLanMode(wpodHtmlMixOnlyDo);
        engine.SetHtml_MakeNS4Comp(true);
        engine.SetHtml_UseShortTags(false);
        QElapsedTimer timer;
        timer.start();
        try {
            engine.Parse(text);
        } catch (const EqvTagMatchError& e) {
            // The plugin still writes back what the passes got to: it is checked like the rest.
            ++tagErrors;
            std::printf("tag-match error in %s: %s without %s\n", qPrintable(page.Path),
                        qPrintable(e.FStartTag), qPrintable(e.FEndTag));
        }
        packMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
        const QByteArray packed = text.toUtf8();
        inBytes += page.Bytes;
        outBytes += packed.size();
        if (packed.size() > page.Bytes) {
            ++grown;
            std::printf("GREW %s: %lld to %lld bytes\n", qPrintable(page.Path),
                        static_cast<long long>(page.Bytes), static_cast<long long>(packed.size()));
        }
        const QString difference = RenderingDifference(page.Text, text);
        if (!difference.isEmpty()) {
            ++shown;
            std::printf("SHOWS OTHERWISE %s: %s\n", qPrintable(page.Path),
                        qPrintable(difference.left(300)));
        }
        packedPages.push_back(packed);
    }
    const auto percent = [](qint64 AIn, qint64 AOut) {
        return AIn > 0 ? 100.0 * static_cast<double>(AIn - AOut) / static_cast<double>(AIn) : 0.0;
    };
    std::printf(
        "optimizer: %lld -> %lld bytes, %.2f%% smaller, %.0f ms packing; %zu pages, "
        "%d show something else, %d grew, %d tag-match errors\n",
        static_cast<long long>(inBytes), static_cast<long long>(outBytes),
        percent(inBytes, outBytes), packMs, pages.size(), shown, grown, tagErrors);

    if (!nodeModules.isEmpty()) {
        QTemporaryDir dir;
        if (!dir.isValid())
            return 2;
        const QString in = dir.path() + QStringLiteral("/in/");
        const QString out = dir.path() + QStringLiteral("/out/");
        QDir().mkpath(in);
        QDir().mkpath(out);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (!WriteFile(in + QString::number(i) + QStringLiteral(".html"),
                           pages[i].Text.toUtf8()))
                return 2;
        }
        // One node process for all pages, each page on its own: the command line's folder
        // mode stops at the first page it cannot parse.
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer timer;
        timer.start();
        process.start(QStringLiteral("node"),
                      {QStringLiteral(PLOVANE_BENCH_DIR "/minify_each.cjs"), nodeModules, in, out});
        process.waitForFinished(-1);
        std::printf("%s", process.readAllStandardOutput().constData());
        const double minifyMs = static_cast<double>(timer.elapsed());
        qint64 minBytes = 0;
        int missing = 0;
        int minShown = 0;
        qint64 bothIn = 0;  // the pages the minifier wrote, and what both made of them
        qint64 bothOurs = 0;
        qint64 bothTheirs = 0;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            QFile file(out + QString::number(i) + QStringLiteral(".html"));
            if (!file.open(QIODevice::ReadOnly)) {
                ++missing;  // counted at its original size
                minBytes += pages[i].Bytes;
                continue;
            }
            const QByteArray bytes = file.readAll();
            minBytes += bytes.size();
            bothIn += pages[i].Bytes;
            bothOurs += packedPages[i].size();
            bothTheirs += bytes.size();
            const QString difference = RenderingDifference(pages[i].Text, QString::fromUtf8(bytes));
            if (!difference.isEmpty()) {
                ++minShown;
                std::printf("minifier: shows otherwise %s: %s\n", qPrintable(pages[i].Path),
                            qPrintable(difference.left(200)));
            }
        }
        std::printf(
            "html-minifier-terser: %lld -> %lld bytes, %.2f%% smaller, %.0f ms (node); %d pages "
            "refused (counted unpacked), %d show something else by the same oracle\n"
            "on the %zu pages both packed (%lld bytes): optimizer %.2f%% smaller, "
            "html-minifier-terser %.2f%% smaller\n",
            static_cast<long long>(inBytes), static_cast<long long>(minBytes),
            percent(inBytes, minBytes), minifyMs, missing, minShown, pages.size() - missing,
            static_cast<long long>(bothIn), percent(bothIn, bothOurs), percent(bothIn, bothTheirs));
    }
    return shown == 0 && grown == 0 ? 0 : 1;
}

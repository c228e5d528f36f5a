// Packed pages stay the same pages: an independent HTML parser (Python's html.parser) reads the
// same tags, attributes and values from a page before and after packing, and no page grows.
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer.h"
#include "tests/support/temp_folders.h"

namespace {

const QString KPython = QStringLiteral("/usr/bin/python3");

TEST(WebPageMarkup, PackedPagesKeepTheirMarkup) {
    if (!QFile::exists(KPython))
        GTEST_SKIP() << "no " << KPython.toStdString();
    const QDir pages(QStringLiteral(PLOVANE_WEB_PAGES_DIR));
    const QStringList names =
        pages.entryList({QStringLiteral("*.htm"), QStringLiteral("*.html")}, QDir::Files);
    ASSERT_GE(names.size(), 3);
    TTempFolder temp;
    for (const QString& name : names) {
        for (const TqvWPOdetectLanMode mode : {wpodHtmlMixOnlyDo, wpodTryAutoDetect}) {
            SCOPED_TRACE(name.toStdString() + " mode " + std::to_string(int(mode)));
            const QByteArray original = ReadWholeFile(pages.filePath(name));
            ASSERT_FALSE(original.isEmpty());
            QString text = QString::fromUtf8(original);
            TqvWebPageOptimizer engine;
            engine.SetDetectLanMode(mode);
            engine.Parse(text);
            const QByteArray packed = text.toUtf8();
            EXPECT_LT(packed.size(), original.size());
            const QString packedPath = temp.WriteFile(name, packed);

            QProcess python;
            python.start(KPython, {QStringLiteral(PLOVANE_HTML_TAG_SEQUENCE), pages.filePath(name),
                                   packedPath});
            ASSERT_TRUE(python.waitForFinished(60000));
            EXPECT_EQ(python.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardOutput().toStdString()
                                            << python.readAllStandardError().toStdString();
        }
    }
}

}  // namespace

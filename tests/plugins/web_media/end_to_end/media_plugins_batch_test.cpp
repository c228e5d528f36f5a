// The image effects and directory listing plugins in a whole batch: real discovery of every
// internal plugin, the real engine on several worker threads, and property values as a project
// stores them. Thumbnails made by one combination are paired in the galleries of the next, and
// the pages handed to the batch reach the combinations after that.

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include "tests/plugins/plugins_batch_fixture.h"

#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "app/folder_walk.h"
#include "app/program_log.h"
#include "batch/batch_engine.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"
#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folders.h"

namespace {

class MediaPluginsBatchTest : public TPluginsBatchFixture {
protected:
    MediaPluginsBatchTest() { FThreads = 3; }

    void Photo(const QString& ARelative, int AWidth, int AHeight) const {
        QImage image(AWidth, AHeight, QImage::Format_RGB32);
        for (int y = 0; y < AHeight; ++y)
            for (int x = 0; x < AWidth; ++x)
                image.setPixel(x, y, qRgb(x % 256, y % 256, 90));
        FTemp.MakeFolder(QStringLiteral("in/") + ARelative.section(u'/', 0, -2));
        ASSERT_TRUE(image.save(FInput + ARelative));
    }

    QString Page(const QString& ARelative) const {
        return QString::fromUtf8(ReadWholeFile(FWork + ARelative));
    }
};

TEST_F(MediaPluginsBatchTest, ThumbnailsAreMadeThenPairedInTheGalleriesOfEveryDirectory) {
    for (const char* name : {"photos/a.jpg", "photos/b.jpg", "photos/c.JPG", "photos/d.jpg",
                             "photos/e.jpg", "holiday/sea.jpg"})
        Photo(QString::fromLatin1(name), 400, 300);
    FTemp.WriteFile(QStringLiteral("in/photos/notes.txt"), "about the photos");
    FTemp.WriteFile(QStringLiteral("in/readme.txt"), "top");

    Add(QStringLiteral("*.jpg"), QStringLiteral("ImageEffects"),
        {{QStringLiteral("SimpleEffects"), StoredChoices({})},
         {QStringLiteral("AdvancedFeatures"),
          StoredFile(QStringLiteral("[GalleryOptions]\r\nPicturesMake=1\r\nPicturesWidth="
                                    "100\r\nPicturesQuality=80\r\n"))}});
    const TStoredProps listing = {
        {QStringLiteral("OutputFileName"),
         StoredTextBoxes({{QStringLiteral("INDEX_FILE_NAME"), QStringLiteral("index.htm")}})},
        {QStringLiteral("FnbDirectoryExclusions"),
         StoredGrid({QStringLiteral("EXCLUDES")}, {{QStringLiteral("keep-out.txt")}})},
        {QStringLiteral("AdvancedSetup"),
         StoredFile(QStringLiteral("[GalleryOptions]\r\nThumbsList=1\r\nThumbsHorzCnt=4\r\n"))}};
    Add(QStringLiteral(":"), QStringLiteral("ListDirInHtml"), listing);
    Add(QStringLiteral("/"), QStringLiteral("ListDirInHtml"), listing);
    // The pages were handed to the batch: a later combination finds them.
    Add(QStringLiteral("*.htm"), QStringLiteral("TextReplacer"),
        {{QStringLiteral("Simple"),
          StoredGrid({QStringLiteral("CASE_SENSITIVE"), QStringLiteral("MATCH"),
                      QStringLiteral("REPLACE")},
                     {{QStringLiteral("1"), QStringLiteral("Thumbnails Gallery"),
                       QStringLiteral("Our Photos")}})}});
    FTemp.WriteFile(QStringLiteral("in/private/keep-out.txt"), "no page here");
    Run();
    EXPECT_EQ(FProblems.Total(), 0) << FEntries.join(u'\n').toStdString();

    for (const char* name : {"photos/thumb-a.jpg", "photos/thumb-c.JPG", "holiday/thumb-sea.jpg"})
        EXPECT_EQ(QImageReader(FWork + QString::fromLatin1(name)).size(), QSize(100, 75)) << name;
    EXPECT_FALSE(QFile::exists(FWork + QStringLiteral("private/index.htm")));

    const QString photos = Page(QStringLiteral("photos/index.htm"));
    EXPECT_EQ(photos.count(QStringLiteral("<img src=\"thumb-")), 5);
    EXPECT_TRUE(photos.contains(
        QStringLiteral("<img src=\"thumb-a.jpg\" width=\"100\" height=\"75\" border=\"0\"")));
    EXPECT_TRUE(photos.contains(QStringLiteral("'a.jpg','CtrlWindow','width=440,height=340,")));
    EXPECT_EQ(photos.count(QStringLiteral("</td>\r\n</tr>\r\n")), 2);  // rows of four and one
    EXPECT_TRUE(photos.contains(QStringLiteral(">notes.txt</a>")));
    EXPECT_TRUE(photos.contains(QStringLiteral("Our Photos")));
    EXPECT_FALSE(photos.contains(QStringLiteral("Thumbnails Gallery")));

    const QString root = Page(QStringLiteral("index.htm"));
    EXPECT_TRUE(root.contains(QStringLiteral("<a href=\"photos/\">photos</a>")));
    EXPECT_TRUE(root.contains(QStringLiteral(">readme.txt</a>")));
    EXPECT_TRUE(root.contains(QStringLiteral("Our Photos")));
}

}  // namespace

#include "plugins/web_media/image_effects/plugin_internal_image_effects.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string_view>

#include "base/ini_document.h"
#include "base/stream_fields.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "plugins/web_media/image_effects/image_effects_rules.h"
#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"
#include "tests/support/temp_folders.h"

namespace {

const QString KDisabled = QStringLiteral("CONVERT_TO_DISABLED");
const QString KCombine = QStringLiteral("COMBINE_EFFECTS_GLYPHS");

QImage Gradient(int AWidth, int AHeight) {
    QImage image(AWidth, AHeight, QImage::Format_RGB32);
    for (int y = 0; y < AHeight; ++y)
        for (int x = 0; x < AWidth; ++x)
            image.setPixel(x, y, qRgb(x * 255 / AWidth, y * 255 / AHeight, 128));
    return image;
}

// A 16 by 16 glyph: magenta background (the lower-left pixel), a black square and a yellow dot.
QImage Glyph() {
    QImage image(16, 16, QImage::Format_RGB888);
    image.fill(qRgb(255, 0, 255));
    for (int y = 3; y < 9; ++y)
        for (int x = 3; x < 9; ++x)
            image.setPixel(x, y, qRgb(0, 0, 0));
    image.setPixel(12, 12, qRgb(255, 255, 0));
    return image;
}

int BmpBitsPerPixel(const QByteArray& ABytes) {
    if (ABytes.size() < 30 || !ABytes.startsWith("BM"))
        return -1;
    return static_cast<unsigned char>(ABytes.at(28)) | static_cast<unsigned char>(ABytes.at(29))
                                                           << 8;
}

class ImageEffectsTest : public ::testing::Test {
protected:
    QString Root() const { return FHarness.Temp().Path(QStringLiteral("w/")); }

    QString Save(const QString& AName, const QImage& AImage) const {
        FHarness.Temp().MakeFolder(QStringLiteral("w"));
        const QString path = Root() + AName;
        EXPECT_TRUE(AImage.save(path, QFileInfo(AName).suffix().toLatin1().constData()))
            << AName.toStdString();
        return path;
    }

    // Runs one batch over the paths with the choices and the advanced INI text.
    void Run(const QStringList& AChoices, const QString& AIni, const QStringList& APaths) {
        QHash<QString, QByteArray> values;
        values.insert(QStringLiteral("SimpleEffects"), StoredChoices(AChoices));
        values.insert(QStringLiteral("AdvancedFeatures"), StoredFile(AIni));
        FHarness.Run(Root(), values, APaths);
    }

    static QString Gallery(const QString& AKeys) {
        return QStringLiteral("[GalleryOptions]\r\nPicturesMake=1\r\n") + AKeys;
    }

    static QSize SizeOf(const QString& APath) { return QImageReader(APath).size(); }

    TPluginBatchHarness FHarness{QStringLiteral("ImageEffects"),
                                 [] { return std::make_unique<TPluginInternal_ImageEffects>(); }};
};

TEST_F(ImageEffectsTest, InformationAndDeclarations) {
    TPluginStoredLibInfo& plugin = FHarness.Descriptor();
    const TPluginInfoHost& info = plugin.FPluginInfoHost;
    EXPECT_EQ(info.StrID, QStringLiteral("zq_kestrin_ImageEffects"));
    EXPECT_EQ(info.PluginName, QStringLiteral("ImageEffects"));
    EXPECT_EQ(info.HasCompany, QStringLiteral("Kestrin"));
    EXPECT_EQ(info.SuggestedExts, QStringLiteral(".bmp,.jpg,.gif,.pcx,.png"));
    EXPECT_EQ(info.PluginVersion, QStringLiteral("1.04"));
    EXPECT_EQ(info.PluginCategory, pcMediaHandling);
    EXPECT_EQ(info.CanWorkCategory, 1u);
    EXPECT_EQ(info.ReleaseState, 4u);
    ASSERT_EQ(plugin.FProperties.size(), 2u);
    EXPECT_EQ(plugin.FProperties[0]->FPropName, QStringLiteral("SimpleEffects"));
    EXPECT_EQ(plugin.FProperties[0]->FVisualPropType, vtpChoiceMultiple);
    EXPECT_EQ(plugin.FProperties[1]->FPropName, QStringLiteral("AdvancedFeatures"));
    EXPECT_EQ(plugin.FProperties[1]->FHint,
              QStringLiteral("Compress, resize, and create thumbnails of images"));

    TStreamWriter choices;
    choices.WriteInt32(2);
    choices.WriteAnsiString(KDisabled);
    choices.WriteUtf8String(QStringLiteral("Convert images to a \"disabled\" look"));
    choices.WriteByte(0);
    choices.WriteAnsiString(KCombine);
    choices.WriteUtf8String(
        QStringLiteral("Combine effects \"side-by-side\" with original for creating glyphs"));
    choices.WriteByte(0);
    EXPECT_EQ(plugin.GetPluginInitData(QStringLiteral("SimpleEffects")), choices.Data());

    // The shipped defaults make nothing until the user switches the copies on.
    const TImageEffectsSettings shipped = TImageEffectsSettings::FromIni(TIniDocument::FromBytes(
        ShippedResource(QStringLiteral("modules/Internal/ImageEffects/dao.ini"))));
    EXPECT_FALSE(shipped.PicturesMake);
    EXPECT_EQ(shipped.PicturesNamePrepend, QStringLiteral("thumb-"));
}

TEST(ImageEffectsSettings, ReadingTheIniText) {
    const auto read = [](const char* AKeys) {
        return TImageEffectsSettings::FromIni(TIniDocument::FromText(
            QStringLiteral("[GalleryOptions]\n") + QString::fromUtf8(AKeys)));
    };
    const TImageEffectsSettings defaults = read("");
    EXPECT_FALSE(defaults.PicturesMake);
    EXPECT_TRUE(defaults.PicturesExt.isEmpty());
    EXPECT_EQ(defaults.PicturesWidth, -1);
    EXPECT_EQ(defaults.PicturesHeight, -1);
    EXPECT_EQ(defaults.PicturesNamePrepend, QStringLiteral("thumb-"));
    EXPECT_EQ(defaults.PicturesQuality, 100);
    EXPECT_FALSE(defaults.PicturesIgnoreIfExists);

    EXPECT_EQ(read("PicturesQuality=0").PicturesQuality, 1);
    EXPECT_EQ(read("PicturesQuality=250").PicturesQuality, 100);
    EXPECT_EQ(read("PicturesQuality=abc").PicturesQuality, 100);
    EXPECT_EQ(read("PicturesWidth=-7").PicturesWidth, -1);
    EXPECT_EQ(read("PicturesHeight= 90 ").PicturesHeight, 90);
    EXPECT_EQ(read("PicturesExt= .png ").PicturesExt, QStringLiteral(".png"));
    EXPECT_EQ(read("PicturesNamePrepend=  small_ ").PicturesNamePrepend, QStringLiteral("small_"));
    EXPECT_TRUE(read("PicturesMake=Yes\nPicturesIgnoreIfExists=2").PicturesIgnoreIfExists);
    EXPECT_TRUE(read("PicturesMake=Yes").PicturesMake);
}

TEST(ImageEffectsRules, CopyPaths) {
    const QString p = QStringLiteral("/w/a/photo.jpg");
    EXPECT_EQ(PictureCopyPath(p, QStringLiteral("thumb-"), {}),
              QStringLiteral("/w/a/thumb-photo.jpg"));
    EXPECT_EQ(PictureCopyPath(p, QStringLiteral("thumb-"), QStringLiteral(".png")),
              QStringLiteral("/w/a/thumb-photo.png"));
    EXPECT_EQ(PictureCopyPath(QStringLiteral("/w/thumb-photo.jpg"), QStringLiteral("thumb-"), {}),
              QStringLiteral("/w/thumb-photo.jpg"));
    // The prefix is compared in exact case.
    EXPECT_EQ(PictureCopyPath(QStringLiteral("/w/Thumb-photo.jpg"), QStringLiteral("thumb-"), {}),
              QStringLiteral("/w/thumb-Thumb-photo.jpg"));
    EXPECT_EQ(PictureCopyPath(p, {}, {}), p);
    EXPECT_EQ(
        PictureCopyPath(QStringLiteral("/w.d/photo"), QStringLiteral("t-"), QStringLiteral("jpg")),
        QStringLiteral("/w.d/t-photo.jpg"));
}

TEST_F(ImageEffectsTest, DisabledLookNeedsTheLowerCaseBmpExtension) {
    const QString upper = Save(QStringLiteral("logo.BMP"), Glyph());
    const QByteArray before = ReadWholeFile(upper);
    Run({KDisabled}, {}, {upper});
    EXPECT_EQ(
        FHarness.Sink().Errors(),
        QStringList{QStringLiteral("Only bitmaps \"bmp\" are supported for this operation.")});
    EXPECT_EQ(ReadWholeFile(upper), before);
    EXPECT_FALSE(FHarness.Sink().AnyAdvice());
}

TEST_F(ImageEffectsTest, GlyphWithBothChoicesBecomesOriginalBesideItsDisabledLook) {
    const QString path = Save(QStringLiteral("glyph.bmp"), Glyph());
    Run({KDisabled, KCombine}, {}, {path});
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty())
        << FHarness.Sink().Errors().join(u'|').toStdString();
    EXPECT_EQ(BmpBitsPerPixel(ReadWholeFile(path)), 24);
    const QImage result(path);
    ASSERT_EQ(result.size(), QSize(32, 16));
    const QImage glyph = Glyph();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(result.pixel(x, y), glyph.pixel(x, y)) << x << "," << y;
    const QRgb background = qRgb(255, 0, 255);
    // The right half: background kept, the dark square grey, the light dot gone.
    EXPECT_EQ(result.pixel(16 + 0, 15), background);
    EXPECT_EQ(result.pixel(16 + 5, 5), qRgb(128, 128, 128));
    EXPECT_EQ(result.pixel(16 + 9, 9), qRgb(255, 255, 255));  // the highlight below right
    EXPECT_EQ(result.pixel(16 + 12, 12), background);
}

TEST_F(ImageEffectsTest, GlyphWithoutCombiningKeepsItsSize) {
    const QString path = Save(QStringLiteral("glyph.bmp"), Glyph());
    Run({KDisabled}, {}, {path});
    const QImage result(path);
    EXPECT_EQ(result.size(), QSize(16, 16));
    EXPECT_EQ(result.pixel(5, 5), qRgb(128, 128, 128));
}

TEST_F(ImageEffectsTest, DisabledLookOfAFileThatIsNoBitmapLeavesItAndReports) {
    FHarness.Temp().MakeFolder(QStringLiteral("w"));
    const QString path = FHarness.Temp().WriteFile(QStringLiteral("w/broken.bmp"), "BM not really");
    Run({KDisabled}, {}, {path});
    ASSERT_EQ(FHarness.Sink().Errors().size(), 1);
    EXPECT_EQ(ReadWholeFile(path), QByteArray("BM not really"));
}

TEST_F(ImageEffectsTest, ThumbnailSizesAndNames) {
    const QString photo = Save(QStringLiteral("photo.jpg"), Gradient(800, 600));
    Run({}, Gallery(QStringLiteral("PicturesWidth=160\r\n")), {photo});
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());
    EXPECT_EQ(SizeOf(Root() + QStringLiteral("thumb-photo.jpg")), QSize(160, 120));
    EXPECT_EQ(SizeOf(photo), QSize(800, 600));

    Run({}, Gallery(QStringLiteral("PicturesWidth=160\r\nPicturesExt=.png\r\n")), {photo});
    EXPECT_EQ(QImageReader(Root() + QStringLiteral("thumb-photo.png")).format(), "png");
    EXPECT_EQ(SizeOf(Root() + QStringLiteral("thumb-photo.png")), QSize(160, 120));

    Run({}, Gallery(QStringLiteral("PicturesHeight=90\r\nPicturesNamePrepend=small_\r\n")),
        {photo});
    EXPECT_EQ(SizeOf(Root() + QStringLiteral("small_photo.jpg")), QSize(120, 90));
}

TEST_F(ImageEffectsTest, ThumbnailsAreResizedInPlaceUnlessTheyExistAndAreToBeIgnored) {
    const QString thumb = Save(QStringLiteral("thumb-photo.jpg"), Gradient(400, 300));
    Run({}, Gallery(QStringLiteral("PicturesWidth=100\r\nPicturesIgnoreIfExists=0\r\n")), {thumb});
    EXPECT_EQ(SizeOf(thumb), QSize(100, 75));
    EXPECT_FALSE(QFile::exists(Root() + QStringLiteral("thumb-thumb-photo.jpg")));

    Run({}, Gallery(QStringLiteral("PicturesWidth=50\r\nPicturesIgnoreIfExists=1\r\n")), {thumb});
    EXPECT_EQ(SizeOf(thumb), QSize(100, 75));

    // An existing copy of another picture is kept too.
    const QString photo = Save(QStringLiteral("photo.jpg"), Gradient(400, 300));
    Run({}, Gallery(QStringLiteral("PicturesWidth=50\r\nPicturesIgnoreIfExists=1\r\n")), {photo});
    EXPECT_EQ(SizeOf(thumb), QSize(100, 75));
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());
}

TEST_F(ImageEffectsTest, AnEmptyPrefixResizesEveryPictureInPlace) {
    const QString a = Save(QStringLiteral("a.png"), Gradient(64, 32));
    const QString b = Save(QStringLiteral("b.bmp"), Gradient(30, 60));
    Run({}, Gallery(QStringLiteral("PicturesNamePrepend=\r\nPicturesHeight=16\r\n")), {a, b});
    EXPECT_EQ(SizeOf(a), QSize(32, 16));
    EXPECT_EQ(SizeOf(b), QSize(8, 16));
    EXPECT_EQ(QDir(Root()).entryList(QDir::Files).size(), 2);
}

TEST_F(ImageEffectsTest, WhatIsNoPictureIsSkippedSilently) {
    FHarness.Temp().MakeFolder(QStringLiteral("w"));
    const QString text = FHarness.Temp().WriteFile(QStringLiteral("w/readme.txt"), "hello\n");
    const QString fifo = Root() + QStringLiteral("pipe.png");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    Run({}, Gallery(QStringLiteral("PicturesWidth=10\r\n")), {text, fifo});
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());
    EXPECT_EQ(QDir(Root()).entryList(QDir::Files | QDir::System).size(), 2);
}

// A JPEG whose frame header declares AWidth by AHeight pixels, its data those of a small one.
QByteArray JpegDeclaring(const QByteArray& AJpeg, int AWidth, int AHeight) {
    QByteArray bytes = AJpeg;
    const qsizetype frame = bytes.indexOf("\xFF\xC0");
    if (frame < 0)
        return {};
    bytes[frame + 5] = static_cast<char>(AHeight >> 8);
    bytes[frame + 6] = static_cast<char>(AHeight & 0xFF);
    bytes[frame + 7] = static_cast<char>(AWidth >> 8);
    bytes[frame + 8] = static_cast<char>(AWidth & 0xFF);
    return bytes;
}

// Files taken for pictures (by content or by name) that cannot be decoded whole are reported
// with the reader's reason for that path, and nothing is written from them: no copy, and with
// an empty prefix the original stays as it was. A sound picture beside them is made as usual.
TEST_F(ImageEffectsTest, DamagedPicturesAreReportedAndNothingIsMadeFromThem) {
    const QString sound = Save(QStringLiteral("sound.jpg"), Gradient(300, 300));
    const QByteArray jpeg = ReadWholeFile(sound);
    struct TCase {
        const char* Name;
        QByteArray Bytes;
        const char* Reason;  // part of the report
    };
    const TCase cases[] = {
        {"cut.jpg", jpeg.left(jpeg.size() / 3), "premature end of data"},
        {"empty.jpg", QByteArray(), ""},
        {"fake.jpg", "not a jpeg at all", ""},
        {"huge.jpeg", JpegDeclaring(jpeg, 65496, 65496), "allocation limit"},
        {"too-wide.jpg", JpegDeclaring(jpeg, 65528, 16), "Maximum supported image dimension"},
        {"cut-no-extension", jpeg.left(jpeg.size() / 3), "premature end of data"},
        // Garbage in the header, which the decoder skips with a warning while measuring.
        {"garbled.jpg", jpeg.left(2) + "\x12\x34" + jpeg.mid(2), "extraneous bytes"},
    };
    for (const char* keys :
         {"PicturesWidth=40\r\n", "PicturesWidth=40\r\nPicturesNamePrepend=\r\n"}) {
        SCOPED_TRACE(keys);
        FHarness.Sink().Clear();
        RemoveTreeNative(Root());
        Save(QStringLiteral("sound.jpg"), Gradient(300, 300));
        QStringList paths;
        for (const TCase& c : cases)
            paths << FHarness.Temp().WriteFile(QStringLiteral("w/") + QString::fromUtf8(c.Name),
                                               c.Bytes);
        Run({}, Gallery(QString::fromUtf8(keys)), paths + QStringList{sound});
        const QStringList errors = FHarness.Sink().Errors();
        ASSERT_EQ(errors.size(), static_cast<qsizetype>(std::size(cases)))
            << errors.join(u'\n').toStdString();
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const TCase& c = cases[i];
            EXPECT_TRUE(errors.at(i).startsWith(QStringLiteral("The picture \"") + paths.at(i) +
                                                QStringLiteral("\" could not be read completely")))
                << errors.at(i).toStdString();
            EXPECT_TRUE(errors.at(i).contains(QString::fromUtf8(c.Reason)))
                << errors.at(i).toStdString();
            EXPECT_EQ(ReadWholeFile(paths.at(i)), c.Bytes) << c.Name;
            EXPECT_FALSE(
                QFile::exists(Root() + QStringLiteral("thumb-") + QString::fromUtf8(c.Name)))
                << c.Name;
        }
        EXPECT_EQ(SizeOf(keys == std::string_view("PicturesWidth=40\r\n")
                             ? Root() + QStringLiteral("thumb-sound.jpg")
                             : sound),
                  QSize(40, 40));
    }
}

TEST_F(ImageEffectsTest, CopiesThatCannotBeWrittenAreReportedAndLeaveNothingBehind) {
    const QString photo = Save(QStringLiteral("photo.jpg"), Gradient(80, 60));
    Run({}, Gallery(QStringLiteral("PicturesWidth=40\r\nPicturesExt=.gif\r\n")), {photo});
    ASSERT_EQ(FHarness.Sink().Errors().size(), 1);
    EXPECT_TRUE(FHarness.Sink().Errors().front().contains(QStringLiteral("thumb-photo.gif")));
    EXPECT_FALSE(QFile::exists(Root() + QStringLiteral("thumb-photo.gif")));

    // A folder where the copy should go cannot be replaced by it.
    FHarness.Sink().Clear();
    FHarness.Temp().MakeFolder(QStringLiteral("w/thumb-photo.jpg"));
    Run({}, Gallery(QStringLiteral("PicturesWidth=40\r\n")), {photo});
    ASSERT_EQ(FHarness.Sink().Errors().size(), 1);
    EXPECT_TRUE(FHarness.Sink().Errors().front().startsWith(
        QStringLiteral("The resized picture \"") + Root() + QStringLiteral("thumb-photo.jpg")));
    EXPECT_TRUE(QFileInfo(Root() + QStringLiteral("thumb-photo.jpg")).isDir());
    EXPECT_EQ(QDir(Root()).entryList(QDir::Files).size(), 1);
}

TEST_F(ImageEffectsTest, ATargetTooLargeToMakeIsReported) {
    const QString photo = Save(QStringLiteral("photo.png"), Gradient(40, 30));
    Run({}, Gallery(QStringLiteral("PicturesWidth=200000\r\nPicturesHeight=150000\r\n")), {photo});
    ASSERT_EQ(FHarness.Sink().Errors().size(), 1);
    EXPECT_TRUE(FHarness.Sink().Errors().front().endsWith(
        QStringLiteral("could not be made: 200000 by 150000 pixels is too large.")));
    EXPECT_FALSE(QFile::exists(Root() + QStringLiteral("thumb-photo.png")));
}

TEST_F(ImageEffectsTest, DisabledLookAndCopyInOneCall) {
    const QString path = Save(QStringLiteral("tool.bmp"), Glyph());
    Run({KDisabled}, Gallery(QStringLiteral("PicturesWidth=8\r\n")), {path});
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());
    EXPECT_EQ(SizeOf(Root() + QStringLiteral("thumb-tool.bmp")), QSize(8, 8));
}

}  // namespace

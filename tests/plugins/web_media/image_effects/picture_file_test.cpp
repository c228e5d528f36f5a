#include "plugins/web_media/picture_helpers/picture_file.h"

#include <QFile>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cmath>

#include "plugins/web_media/image_effects/image_effects_rules.h"
#include "plugins/web_media/picture_helpers/lanczos_resampler.h"
#include "tests/support/temp_folders.h"

namespace {

// A photo-like picture: smooth colour fields with some fine detail.
QImage PhotoLike(int AWidth, int AHeight) {
    QImage image(AWidth, AHeight, QImage::Format_RGB32);
    for (int y = 0; y < AHeight; ++y)
        for (int x = 0; x < AWidth; ++x) {
            const double u = static_cast<double>(x) / AWidth;
            const double v = static_cast<double>(y) / AHeight;
            const int r = static_cast<int>(127 + 120 * std::sin(6.0 * u + 2.0 * v));
            const int g = static_cast<int>(127 + 120 * std::cos(4.0 * v - 3.0 * u));
            const int b = static_cast<int>(127 + 60 * std::sin(40.0 * u) * std::cos(30.0 * v));
            image.setPixel(x, y, qRgb(r, g, b));
        }
    return image;
}

// The FLEVEL bits of the zlib header in a PNG's first IDAT chunk: 0 for levels 0 and 1, 1 for
// 2 to 5, 2 for 6, 3 for 7 to 9.
int PngZlibLevelClass(const QByteArray& APng) {
    const qsizetype idat = APng.indexOf("IDAT");
    if (idat < 0 || idat + 5 >= APng.size())
        return -1;
    return static_cast<unsigned char>(APng.at(idat + 5)) >> 6;
}

int LevelClass(int ALevel) {
    if (ALevel < 2)
        return 0;
    if (ALevel < 6)
        return 1;
    return ALevel == 6 ? 2 : 3;
}

TEST(PictureTargetSize, Rules) {
    struct TCase {
        QSize Source;
        int Width;
        int Height;
        QSize Expected;
    };
    const TCase cases[] = {
        {{800, 600}, 160, -1, {160, 120}},
        {{800, 600}, -1, 60, {80, 60}},
        {{800, 600}, -1, -1, {800, 600}},
        {{800, 600}, 100, 100, {100, 100}},
        // 62.5 goes to the even 62; rounding the double half away from zero gives 63.
        {{1000, 125}, 500, -1, {500, 62}},
        {{125, 1000}, -1, 500, {62, 500}},
        // 63.5 goes to 64.
        {{1000, 127}, 500, -1, {500, 64}},
        // A side that would be 0 is 1 pixel.
        {{1000, 1}, 100, -1, {100, 1}},
        {{800, 600}, 0, -1, {1, 1}},
        {{800, 600}, 0, 0, {1, 1}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(PictureTargetSize(c.Source, c.Width, c.Height), c.Expected)
            << c.Source.width() << "x" << c.Source.height() << " " << c.Width << "," << c.Height;
}

TEST(PngCompression, QualityBandsGiveTheirLevelsAndTheWriterUsesThem) {
    TTempFolder temp;
    const QImage image = PhotoLike(120, 90);
    const struct {
        int Quality;
        int Level;
    } bands[] = {{-5, 9}, {1, 9},  {10, 9}, {11, 8}, {20, 8}, {25, 7}, {35, 6},  {45, 5},
                 {55, 4}, {65, 3}, {75, 2}, {85, 1}, {90, 1}, {91, 0}, {100, 0}, {250, 0}};
    for (const auto& band : bands) {
        EXPECT_EQ(PngCompressionLevel(band.Quality), band.Level) << band.Quality;
        const QString path = temp.Path(QStringLiteral("q%1.png").arg(band.Quality));
        QString error;
        ASSERT_TRUE(WritePictureFile(image, path, band.Quality, &error)) << error.toStdString();
        EXPECT_EQ(PngZlibLevelClass(ReadWholeFile(path)), LevelClass(band.Level))
            << "quality " << band.Quality;
    }
    // Level 0 stores the rows uncompressed: the file is larger than the pixel rows.
    EXPECT_GT(ReadWholeFile(temp.Path(QStringLiteral("q100.png"))).size(), 120 * 90 * 3);
    for (int level = 0; level <= 9; ++level) {
        const int quality = PngWriterQualityForLevel(level);
        EXPECT_EQ((100 - quality) * 9 / 91, level) << level;
    }
}

TEST(WritePictureFile, JpegQualityAndFormatsThatCannotBeWritten) {
    TTempFolder temp;
    const QImage image = PhotoLike(200, 150);
    QString error;
    ASSERT_TRUE(WritePictureFile(image, temp.Path(QStringLiteral("low.JPG")), 5, &error));
    ASSERT_TRUE(WritePictureFile(image, temp.Path(QStringLiteral("high.jpg")), 100, &error));
    EXPECT_LT(ReadWholeFile(temp.Path(QStringLiteral("low.JPG"))).size() * 3,
              ReadWholeFile(temp.Path(QStringLiteral("high.jpg"))).size());
    EXPECT_EQ(QImageReader(temp.Path(QStringLiteral("low.JPG"))).format(), "jpeg");

    for (const char* name : {"a.gif", "a.pcx", "noextension"}) {
        error.clear();
        EXPECT_FALSE(WritePictureFile(image, temp.Path(QString::fromLatin1(name)), 90, &error))
            << name;
        EXPECT_TRUE(error.contains(QStringLiteral("cannot be written"))) << error.toStdString();
        EXPECT_FALSE(QFile::exists(temp.Path(QString::fromLatin1(name))));
    }
    error.clear();
    EXPECT_FALSE(WritePictureFile(image, temp.Path(QStringLiteral("missing/a.png")), 90, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(TPictureFile, ReducedJpegDecodingLooksLikeTheWholePictureResampled) {
    TTempFolder temp;
    const QString path = temp.Path(QStringLiteral("photo.jpg"));
    ASSERT_TRUE(PhotoLike(1600, 1200).save(path, "jpg", 90));
    const QSize target(160, 120);

    TPictureFile whole(path);
    ASSERT_TRUE(whole.IsPicture());
    EXPECT_EQ(whole.DisplayedSize(), QSize(1600, 1200));
    const QImage full = whole.Read();
    ASSERT_EQ(full.size(), QSize(1600, 1200));

    TPictureFile reducedFile(path);
    const QImage reduced = reducedFile.Read(target * 2);
    // An eighth would be 200 wide, below twice the target; a quarter is the smallest allowed.
    ASSERT_EQ(reduced.size(), QSize(400, 300));

    const QImage a = ResampleLanczos3(full, target);
    const QImage b = ResampleLanczos3(reduced, target);
    int worst = 0;
    double total = 0;
    for (int y = 0; y < target.height(); ++y)
        for (int x = 0; x < target.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                worst = std::max(worst, std::abs(d));
                total += std::abs(d);
            }
        }
    EXPECT_LE(worst, 8);
    EXPECT_LT(total / (target.width() * target.height() * 3), 1.5);
}

TEST(TPictureFile, SizesThatDoNotDivideAreDecodedWhole) {
    TTempFolder temp;
    const QString path = temp.Path(QStringLiteral("odd.jpg"));
    ASSERT_TRUE(PhotoLike(401, 300).save(path, "jpg", 90));
    TPictureFile picture(path);
    EXPECT_EQ(picture.Read({40, 30}).size(), QSize(401, 300));
}

// A JPEG whose EXIF orientation says "rotate 90 degrees clockwise to display": the APP1 segment
// with one IFD entry (tag 0x0112, SHORT, value 6) right after the start marker.
QByteArray WithExifOrientation6(const QByteArray& AJpeg) {
    const QByteArray tiff = QByteArray("II*\0\x08\0\0\0", 8) +
                            QByteArray("\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0", 14) +
                            QByteArray("\0\0\0\0", 4);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = static_cast<int>(payload.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(static_cast<char>(length >> 8));
    segment.append(static_cast<char>(length & 0xFF));
    return AJpeg.left(2) + segment + payload + AJpeg.mid(2);
}

TEST(TPictureFile, RotatedPicturesAreMeasuredAndReadAsDisplayed) {
    TTempFolder temp;
    const QString plain = temp.Path(QStringLiteral("plain.jpg"));
    ASSERT_TRUE(PhotoLike(320, 240).save(plain, "jpg", 90));
    const QString path =
        temp.WriteFile(QStringLiteral("portrait.jpg"), WithExifOrientation6(ReadWholeFile(plain)));
    ASSERT_EQ(QImageReader(path).size(), QSize(320, 240));  // as stored
    EXPECT_EQ(ReadPictureSize(path), QSize(240, 320));
    TPictureFile whole(path);
    EXPECT_EQ(whole.Read().size(), QSize(240, 320));
    TPictureFile reduced(path);
    EXPECT_EQ(reduced.Read({120, 160}).size(), QSize(120, 160));
}

TEST(TPictureFile, WhatIsNoPicture) {
    TTempFolder temp;
    const QString text = temp.WriteFile(QStringLiteral("notes.jpg"), "just some text\n");
    QString error;
    EXPECT_FALSE(ReadPictureSize(text, &error).isValid());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(ReadPictureSize(temp.Path(QStringLiteral("missing.png"))).isValid());
    // Metafiles and PCX have no reader here: they are unreadable pictures.
    const QString pcx =
        temp.WriteFile(QStringLiteral("old.pcx"), QByteArray("\x0a\x05\x01\x08", 4));
    EXPECT_FALSE(TPictureFile(pcx).IsPicture());
}

}  // namespace

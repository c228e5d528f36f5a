#include "plugins/web_media/picture_helpers/picture_file.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

#include <algorithm>

#include "base/atomic_file.h"

TPictureFile::TPictureFile(const QString& APath) : FReader(APath) {
    FReader.setAutoTransform(true);
    FStoredSize = FReader.size();
    if (!FStoredSize.isValid()) {
        // Some readers only know the size after decoding; those are decoded in Read().
        if (!FReader.canRead()) {
            FError = FReader.errorString();
            return;
        }
        const QImage probe = QImageReader(APath).read();
        if (probe.isNull()) {
            FError = FReader.errorString();
            return;
        }
        FStoredSize = probe.size();
    }
    FTransposed = FReader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    FDisplayedSize = FTransposed ? FStoredSize.transposed() : FStoredSize;
}

QImage TPictureFile::Read(const QSize& AMinimumSize) {
    if (!IsPicture())
        return {};
    if (AMinimumSize.isValid() && FReader.format() == "jpeg") {
        const QSize minimum = FTransposed ? AMinimumSize.transposed() : AMinimumSize;
        for (const int divisor : {8, 4, 2}) {
            if (FStoredSize.width() % divisor != 0 || FStoredSize.height() % divisor != 0)
                continue;
            const QSize reduced = FStoredSize / divisor;
            if (reduced.width() >= minimum.width() && reduced.height() >= minimum.height()) {
                // Exactly the decoder's own reduction, so the reader adds no scaling of its own.
                FReader.setScaledSize(reduced);
                break;
            }
        }
    }
    QImage image = FReader.read();
    if (image.isNull())
        FError = FReader.errorString();
    return image;
}

QSize ReadPictureSize(const QString& APath, QString* AError) {
    const TPictureFile picture(APath);
    if (!picture.IsPicture() && AError != nullptr)
        *AError = picture.ErrorString();
    return picture.DisplayedSize();
}

int PngCompressionLevel(int AQuality) {
    const int quality = std::clamp(AQuality, 1, 100);
    return 9 - (quality - 1) / 10;
}

int PngWriterQualityForLevel(int ALevel) {
    // The writer computes level = (100 - quality) * 9 / 91 in integers; this is the largest
    // quality giving ALevel.
    const int level = std::clamp(ALevel, 0, 9);
    return 100 - (level * 91 + 8) / 9;
}

bool WritePictureFile(const QImage& AImage, const QString& APath, int AQuality, QString* AError) {
    const auto fail = [AError](const QString& AReason) {
        if (AError != nullptr)
            *AError = AReason;
        return false;
    };
    const QByteArray format = QFileInfo(APath).suffix().toLower().toLatin1();
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format))
        return fail(QStringLiteral("Pictures in the format \"") + QString::fromLatin1(format) +
                    QStringLiteral("\" cannot be written."));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    const int quality = std::clamp(AQuality, 1, 100);
    if (format == "jpg" || format == "jpeg")
        writer.setQuality(quality);
    else if (format == "png")
        writer.setQuality(PngWriterQualityForLevel(PngCompressionLevel(quality)));
    const QImage image = AImage.format() == QImage::Format_ARGB32_Premultiplied
                             ? AImage.convertToFormat(QImage::Format_ARGB32)
                             : AImage;
    if (!writer.write(image))
        return fail(writer.errorString());
    buffer.close();
    QString error;
    if (!WriteFileAtomically(APath, bytes, &error))
        return fail(error);
    return true;
}

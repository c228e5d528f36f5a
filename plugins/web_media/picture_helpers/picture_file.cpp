#include "plugins/web_media/picture_helpers/picture_file.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

#include <algorithm>

#include "base/atomic_file.h"
#include "base/qt_warning_capture.h"

namespace {

// The reader's reason, with the decoder's own warnings after it: a decoder that meets a cut-off
// or damaged file often says so only in a warning.
QString Reason(const QString& AReaderError, const QStringList& AWarnings) {
    QStringList parts;
    if (!AReaderError.isEmpty())
        parts << AReaderError;
    parts << AWarnings;
    return parts.join(QStringLiteral("; "));
}

}  // namespace

TPictureFile::TPictureFile(const QString& APath) : FReader(APath) {
    FReader.setAutoTransform(true);
    const TQtWarningCapture warnings;
    FStoredSize = FReader.size();
    FRecognised = FStoredSize.isValid() || FReader.canRead();
    if (!FStoredSize.isValid()) {
        // Some readers only know the size after decoding; those are decoded in Read().
        if (!FReader.canRead()) {
            FError = Reason(FReader.errorString(), warnings.Warnings());
            return;
        }
        QImageReader probeReader(APath);
        const QImage probe = probeReader.read();
        if (probe.isNull() || !warnings.Warnings().isEmpty()) {
            FError = Reason(probeReader.errorString(), warnings.Warnings());
            return;
        }
        FStoredSize = probe.size();
    }
    FTransposed = FReader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    // A decoder that had to warn about the header has met a damaged file: no readable picture,
    // and the warning is the reason (rather than lost, or logged without the file's name).
    if (!warnings.Warnings().isEmpty()) {
        FError = Reason({}, warnings.Warnings());
        return;
    }
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
    const TQtWarningCapture warnings;
    QImage image = FReader.read();
    if (image.isNull()) {
        FError = Reason(FReader.errorString(), warnings.Warnings());
    } else if (!warnings.Warnings().isEmpty()) {
        // Decoded only in part (a cut-off JPEG comes back with a grey lower part): no picture.
        FError = Reason({}, warnings.Warnings());
        image = QImage();
    }
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

bool HasPictureExtension(const QString& APath) {
    const QString suffix = QFileInfo(APath).suffix().toLower();
    return !suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix.toLatin1());
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

#pragma once

#include <QImage>
#include <QImageReader>
#include <QSize>
#include <QString>

// A picture file read through the image readers (BMP, JPEG, PNG, GIF, ICO and the others Qt has
// plugins for). Sizes and pixels are those of the picture as displayed: an EXIF orientation that
// says the picture is rotated or mirrored is applied.
class TPictureFile {
public:
    explicit TPictureFile(const QString& APath);
    TPictureFile(const TPictureFile&) = delete;
    TPictureFile& operator=(const TPictureFile&) = delete;

    // Whether the header could be read as a picture without a warning of its decoder; otherwise
    // ErrorString() tells why.
    bool IsPicture() const { return FDisplayedSize.isValid(); }
    // The size as displayed; invalid when the file is not a readable picture.
    QSize DisplayedSize() const { return FDisplayedSize; }
    // Whether a picture reader took the file for one of its pictures by its content, although
    // it may not be readable.
    bool RecognisedByContent() const { return FRecognised; }
    // Decodes the picture. With a valid AMinimumSize a JPEG may be decoded at a half, a quarter
    // or an eighth of its size by its decoder (which is much faster than decoding it whole),
    // when the stored size divides evenly and the result is still at least AMinimumSize in both
    // directions. A null image when the picture cannot be decoded completely (see
    // ErrorString()): a decoder's warning counts as a failure, since decoders hand back a
    // partly filled picture from a cut-off or damaged file and only warn.
    QImage Read(const QSize& AMinimumSize = {});
    QString ErrorString() const { return FError; }

private:
    QImageReader FReader;
    QSize FStoredSize;
    QSize FDisplayedSize;
    bool FTransposed = false;
    bool FRecognised = false;
    QString FError;
};

// The picture's size as displayed, or an invalid size with the reader's message in AError.
QSize ReadPictureSize(const QString& APath, QString* AError = nullptr);

// Whether the path's extension is one a picture reader reads (compared without regard to case).
bool HasPictureExtension(const QString& APath);

// The zlib level of a PNG copy for a compression quality: 1 to 10 give 9, 11 to 20 give 8, ...,
// 81 to 90 give 1, 91 to 100 give 0. Qualities outside 1..100 are clamped first.
int PngCompressionLevel(int AQuality);

// The quality to hand Qt's PNG writer so that it compresses at zlib level ALevel (0 to 9): that
// writer derives the level from its quality setting, inversely, and ignores its compression
// setting.
int PngWriterQualityForLevel(int ALevel);

// Writes the picture in the format its path's extension names (compared without regard to case).
// JPEG gets the compression quality AQuality (1 to 100), PNG the zlib level that quality maps
// to; other formats their defaults. The picture is written completely under a temporary name
// beside the target and renamed over it, so an existing target is replaced whole or stays as it
// was. Returns false with the reason in AError when the format cannot be written or the file
// not be made.
bool WritePictureFile(const QImage& AImage, const QString& APath, int AQuality, QString* AError);

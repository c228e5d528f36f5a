#pragma once

#include <QSize>
#include <QString>

class TIniDocument;

// The "GalleryOptions" settings of the image effects plugin's advanced features.
struct TImageEffectsSettings {
    bool PicturesMake = false;
    QString PicturesExt;      // empty keeps the source's extension
    int PicturesWidth = -1;   // -1: not set
    int PicturesHeight = -1;  // -1: not set
    QString PicturesNamePrepend = QStringLiteral("thumb-");
    int PicturesQuality = 100;  // 1 to 100
    bool PicturesIgnoreIfExists = false;

    // Reads the settings from the INI text; keys it lacks keep their defaults.
    static TImageEffectsSettings FromIni(const TIniDocument& AIni);
};

// The size of the resized copy of a picture of ASource pixels: neither setting given keeps the
// size; both given are used as they are; one given fixes that side and the other follows the
// picture's proportions, rounded with halves going to the even number (in exact integer
// arithmetic). A side that would be 0 becomes 1 pixel.
QSize PictureTargetSize(const QSize& ASource, int AWidth, int AHeight);

// Where the resized copy of the picture at APath goes: beside it with the prefix put in front of
// its name, or (when the prefix is empty or the name already starts with it) the picture itself;
// with AExtension given the copy's extension is replaced by it.
QString PictureCopyPath(const QString& APath, const QString& APrefix, const QString& AExtension);

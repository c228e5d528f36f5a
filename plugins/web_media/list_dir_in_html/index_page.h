#pragma once

#include <QString>
#include <QStringList>

class TIniDocument;

// What shapes a directory's index page: the output name, the show flags and the "AdvancedSetup"
// settings with the values derived from them.
struct TIndexPageSettings {
    QString OutputFileName = QStringLiteral("index.htm");
    bool ShowFileExtension = true;
    bool ShowFileSize = true;
    bool ShowFileDate = true;

    bool GenerateIndependentHtml = true;
    QString HeaderHtml;
    QString FooterHtml = DefaultFooter();
    QString BodyTag = QStringLiteral("<body>");
    bool ThumbsList = false;
    int ThumbsHorzCnt = 4;  // at least 1
    QString ThumbsDefWidth;
    QString ThumbsDefHeight;
    QString ThumbsNameStart = QStringLiteral("thumb-");
    QString PictureNameExts = QStringLiteral(".jpg,.gif,.png,.bmp");  // lower case
    QString CellWidth = QStringLiteral("25%");

    // Reads the "AdvancedSetup" INI text into the settings (the output name and the show flags
    // stay); keys it lacks take their defaults.
    void ReadAdvancedSetup(const TIniDocument& AIni);

    static QString DefaultFooter();
};

// The page and the problems met while building it (pictures that could not be read).
struct TIndexPage {
    QString Text;
    QStringList Problems;
};

// Builds the index page of the directory ADirectory (ending with "/"): the directories table,
// the files table and, when asked, the thumbnail gallery. Names are escaped for HTML and link
// targets percent-encoded. Raises EqvOperationNotPossible when the directory cannot be listed.
TIndexPage BuildIndexPage(const QString& ADirectory, const TIndexPageSettings& ASettings);

// Text for HTML text content and attribute values: "&", "<", ">" and the double quote escaped.
QString EscapeHtml(const QString& AText);
// A file name as a link target: percent-encoded UTF-8, so no character of the name can end the
// attribute, start markup or change the link's meaning.
QString LinkTarget(const QString& AName);

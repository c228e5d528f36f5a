#include "plugins/web_media/list_dir_in_html/index_page.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QUrl>

#include <algorithm>

#include "base/exceptions.h"
#include "base/ini_document.h"
#include "base/text_file.h"
#include "plugins/web_media/picture_helpers/half_even.h"
#include "plugins/web_media/picture_helpers/picture_file.h"

namespace {

const QString KCrLf = QStringLiteral("\r\n");
const QString KParagraph = QStringLiteral("<p>\r\n\r\n");
const QString KWebAddress = QStringLiteral("https://www.kestrin.example/");

// Case-blind order with a stable tie-break, so names differing only in case always come in the
// same order.
bool NameLess(const QString& A, const QString& B) {
    const int order = QString::compare(A, B, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : A < B;
}

// The extension with its dot, lower-cased; empty when the name has none (a lone dot at the end
// names no extension either).
QString LowerExtension(const QString& AName) {
    const qsizetype dot = AName.lastIndexOf(u'.');
    if (dot < 0 || dot == AName.size() - 1)
        return {};
    return AName.mid(dot).toLower();
}

QString ShownName(const QString& AName, bool AShowExtension) {
    if (AShowExtension)
        return AName;
    const qsizetype dot = AName.lastIndexOf(u'.');
    return dot < 0 ? AName : AName.left(dot);
}

// The last-write time in UTC at two-second resolution.
QString FileDate(const QFileInfo& AInfo) {
    QDateTime time = AInfo.lastModified().toUTC();
    const QTime clock = time.time();
    time.setTime(QTime(clock.hour(), clock.minute(), clock.second() - clock.second() % 2));
    return time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString SizeInKb(qint64 ABytes) {
    return QString::number(DivideRoundHalfEven(std::max<qint64>(ABytes, 0), 1024));
}

// A link target inside a single-quoted script string within an attribute.
QString ScriptString(const QString& AText) {
    QString text = AText;
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'\'', QStringLiteral("\\'"));
    return EscapeHtml(text);
}

QString AltText(const QString& ABaseName) {
    QString text = ABaseName;
    text.replace(u'-', u' ');
    text.replace(u'_', u' ');
    while (text.contains(QStringLiteral("  ")))
        text.replace(QStringLiteral("  "), QStringLiteral(" "));
    return text.trimmed();
}

struct TListing {
    QList<QFileInfo> Directories;
    QList<QFileInfo> Files;
};

TListing ListDirectory(const QString& ADirectory) {
    const QDir dir(ADirectory);
    if (!QFileInfo(ADirectory).isDir() || !QFileInfo(ADirectory).isReadable())
        throw EqvOperationNotPossible(QStringLiteral("The directory \"") + ADirectory +
                                      QStringLiteral("\" could not be listed."));
    TListing listing;
    const QFileInfoList entries = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo& entry : entries)
        (entry.isDir() ? listing.Directories : listing.Files) << entry;
    const auto less = [](const QFileInfo& A, const QFileInfo& B) {
        return NameLess(A.fileName(), B.fileName());
    };
    std::sort(listing.Directories.begin(), listing.Directories.end(), less);
    std::sort(listing.Files.begin(), listing.Files.end(), less);
    return listing;
}

class TPageWriter {
public:
    TPageWriter(const QString& ADirectory, const TIndexPageSettings& ASettings)
        : FDirectory(ADirectory), FSettings(ASettings) {}

    TIndexPage Build() {
        const TListing listing = ListDirectory(FDirectory);
        if (FSettings.GenerateIndependentHtml)
            WriteHead();
        if (!FSettings.HeaderHtml.isEmpty())
            FPage.Text += FSettings.HeaderHtml + KCrLf + KParagraph;
        WriteDirectories(listing.Directories);
        WriteFiles(listing.Files);
        if (FSettings.ThumbsList)
            WriteGallery();
        if (!FSettings.FooterHtml.isEmpty())
            FPage.Text += FSettings.FooterHtml + KCrLf + KParagraph;
        if (FSettings.GenerateIndependentHtml)
            FPage.Text += QStringLiteral("</body>\r\n</html>\r\n");
        return FPage;
    }

private:
    void Line(const QString& AText) { FPage.Text += AText + KCrLf; }

    void WriteHead() {
        QString name = FDirectory;
        while (name.endsWith(u'/'))
            name.chop(1);
        name = name.mid(name.lastIndexOf(u'/') + 1);
        Line(QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">"));
        Line(QStringLiteral("<html>"));
        Line(QStringLiteral("<head>"));
        Line(QStringLiteral(
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"));
        Line(QStringLiteral("<meta http-equiv=\"Content-Style-Type\" content=\"text/css\">"));
        Line(QStringLiteral(
                 "<meta name=\"Generator\" content=\"Kestrin TPluginInternal_ListDirInHtml - ") +
             KWebAddress + QStringLiteral("\">"));
        Line(QStringLiteral("<title>"));
        Line(QStringLiteral("Index of Directory: \"") + EscapeHtml(name) + u'"');
        Line(QStringLiteral("</title>"));
        Line(QStringLiteral("</head>"));
        Line(FSettings.BodyTag);
        FPage.Text += KParagraph;
    }

    void WriteDirectories(const QList<QFileInfo>& ADirectories) {
        Line(
            QStringLiteral("<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"2\" "
                           "summary=\"directories\">"));
        Line(QStringLiteral("<tr><th align=\"left\">Directories</th></tr>"));
        Line(QStringLiteral("<tr><td>[ <a href=\"../\">Parent Directory</a> ]</td></tr>"));
        for (const QFileInfo& directory : ADirectories) {
            const QString name = directory.fileName();
            Line(QStringLiteral("<tr><td><a href=\"") + LinkTarget(name) + QStringLiteral("/\">") +
                 EscapeHtml(name) + QStringLiteral("</a></td></tr>"));
        }
        Line(QStringLiteral("</table>"));
        FPage.Text += KParagraph;
    }

    bool IsPicture(const QString& AName) const {
        const QString extension = LowerExtension(AName);
        return !extension.isEmpty() && FSettings.PictureNameExts.contains(extension);
    }

    void WriteFiles(const QList<QFileInfo>& AFiles) {
        bool opened = false;
        for (const QFileInfo& file : AFiles) {
            const QString name = file.fileName();
            if (name == FSettings.OutputFileName)
                continue;
            if (FSettings.ThumbsList && IsPicture(name)) {
                Collect(file);
                continue;
            }
            if (!opened) {
                Line(
                    QStringLiteral("<table width=\"100%\" border=\"0\" cellspacing=\"0\" "
                                   "cellpadding=\"2\" summary=\"files\">"));
                Line(QStringLiteral("<tr>"));
                FPage.Text += QStringLiteral("<th align=\"left\">File Name</th>");
                if (FSettings.ShowFileDate)
                    FPage.Text += QStringLiteral("<th align=\"left\">File Date (GMT)</th>");
                if (FSettings.ShowFileSize)
                    FPage.Text += QStringLiteral("<th align=\"right\">File Size (KB)</th>");
                Line(QStringLiteral("</tr>"));
                opened = true;
            }
            FPage.Text += QStringLiteral("<tr><td><a href=\"") + LinkTarget(name) +
                          QStringLiteral("\">") +
                          EscapeHtml(ShownName(name, FSettings.ShowFileExtension)) +
                          QStringLiteral("</a></td>");
            if (FSettings.ShowFileDate)
                FPage.Text += QStringLiteral("<td>") + FileDate(file) + QStringLiteral("</td>");
            if (FSettings.ShowFileSize)
                FPage.Text += QStringLiteral("<td align=\"right\">") + SizeInKb(file.size()) +
                              QStringLiteral("</td>");
            Line(QStringLiteral("</tr>"));
        }
        if (opened) {
            Line(QStringLiteral("</table>"));
            FPage.Text += KParagraph;
        }
    }

    void Collect(const QFileInfo& AFile) {
        const QString name = AFile.fileName();
        const QString& prefix = FSettings.ThumbsNameStart;
        if (prefix.isEmpty()) {
            // Without a prefix every picture is its own thumbnail.
            FFulls.insert(name, AFile);
            FThumbs.insert(name, AFile);
        } else if (name.startsWith(prefix)) {
            FThumbs.insert(name.mid(prefix.size()), AFile);
        } else {
            FFulls.insert(name, AFile);
        }
    }

    // The displayed size of a collected picture; invalid (and reported) when it cannot be read.
    QSize PictureSize(const QFileInfo& AFile) {
        QString error;
        QSize size;
        if (AFile.isFile())  // special files are never opened
            size = ReadPictureSize(AFile.filePath(), &error);
        else
            error = QStringLiteral("Not a regular file.");
        if (!size.isValid())
            FPage.Problems << QStringLiteral("The picture \"") + AFile.filePath() +
                                  QStringLiteral("\" could not be read: ") + error;
        return size;
    }

    void WriteGallery() {
        QStringList names = FFulls.keys() + FThumbs.keys();
        std::sort(names.begin(), names.end(), NameLess);
        names.erase(std::unique(names.begin(), names.end()), names.end());
        Line(
            QStringLiteral("<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"2\" "
                           "summary=\"gallery\">"));
        Line(QStringLiteral("<tr><th align=\"left\">Thumbnails Gallery</th></tr>"));
        const int perRow = std::max(FSettings.ThumbsHorzCnt, 1);
        for (qsizetype i = 0; i < names.size(); ++i) {
            const QString& name = names.at(i);
            const bool hasFull = FFulls.contains(name);
            const bool hasThumb = FThumbs.contains(name);
            const QString full = hasFull ? name : QString();
            const QString thumb = hasThumb ? FSettings.ThumbsNameStart + name : QString();

            QString features;
            if (hasFull) {
                const QSize size = PictureSize(FFulls.value(name));
                if (size.isValid())
                    features = QStringLiteral("width=%1,height=%2,")
                                   .arg(size.width() + 40)
                                   .arg(size.height() + 40);
            }
            if (i % perRow == 0)
                Line(QStringLiteral("<tr>"));
            FPage.Text += QStringLiteral("<td width=\"") + FSettings.CellWidth +
                          QStringLiteral("\" valign=\"top\" align=\"center\">");
            QString alt = AltText(name);
            if (FSettings.ShowFileSize)
                alt += QStringLiteral(" (") + SizeInKb(hasFull ? FFulls.value(name).size() : 0) +
                       QStringLiteral(" KB)");
            QString sizeText;
            const QSize thumbSize = hasThumb ? PictureSize(FThumbs.value(name)) : QSize();
            if (thumbSize.isValid()) {
                sizeText = QStringLiteral(" width=\"%1\" height=\"%2\" ")
                               .arg(thumbSize.width())
                               .arg(thumbSize.height());
            } else {
                sizeText = QStringLiteral(" ");
                if (!FSettings.ThumbsDefWidth.isEmpty())
                    sizeText += QStringLiteral("width=\"") + EscapeHtml(FSettings.ThumbsDefWidth) +
                                QStringLiteral("\" ");
                if (!FSettings.ThumbsDefHeight.isEmpty())
                    sizeText += QStringLiteral("height=\"") +
                                EscapeHtml(FSettings.ThumbsDefHeight) + QStringLiteral("\" ");
            }
            const QString fullTarget = full.isEmpty() ? QString() : LinkTarget(full);
            const QString thumbTarget = thumb.isEmpty() ? QString() : LinkTarget(thumb);
            FPage.Text += QStringLiteral("<a onclick=\"window.open('") + ScriptString(fullTarget) +
                          QStringLiteral("','CtrlWindow','") + features +
                          QStringLiteral(
                              "resizable=yes,scrollbars=yes,status=yes');return "
                              "false;\" href=\"") +
                          fullTarget + QStringLiteral("\" target=\"_blank\">");
            FPage.Text += QStringLiteral("<img src=\"") + thumbTarget + u'"' + sizeText +
                          QStringLiteral("border=\"0\" alt=\"") + EscapeHtml(alt) +
                          QStringLiteral("\" hspace=\"10\" vspace=\"5\">");
            FPage.Text += QStringLiteral("</a>");
            Line(QStringLiteral("</td>"));
            if (i == names.size() - 1 || (i + 1) % perRow == 0)
                Line(QStringLiteral("</tr>"));
        }
        Line(QStringLiteral("</table>"));
        FPage.Text += KParagraph;
    }

    const QString& FDirectory;
    const TIndexPageSettings& FSettings;
    TIndexPage FPage;
    QMap<QString, QFileInfo> FFulls;   // by name
    QMap<QString, QFileInfo> FThumbs;  // by the name without the prefix
};

}  // namespace

QString TIndexPageSettings::DefaultFooter() {
    return QStringLiteral("<hr>This automated directory listing was made with: <a href=\"") +
           KWebAddress + QStringLiteral("\" rel=\"nofollow\">Kestrin Veltrask</a>");
}

void TIndexPageSettings::ReadAdvancedSetup(const TIniDocument& AIni) {
    const QString general = QStringLiteral("General");
    const QString body = QStringLiteral("HTML_Body_Attributes");
    const QString gallery = QStringLiteral("GalleryOptions");
    const auto text = [&AIni](const QString& ASection, const QString& AKey,
                              const QString& ADefault = {}) {
        return AIni.ReadString(ASection, AKey, ADefault).trimmed();
    };
    GenerateIndependentHtml =
        ReadIniBool(AIni, general, QStringLiteral("generate_independent_html"), true);
    HeaderHtml = text(general, QStringLiteral("header_html_str"));
    FooterHtml = text(general, QStringLiteral("footer_html_str"), DefaultFooter());
    BodyTag = QStringLiteral("<body");
    for (const char* attribute : {"bgcolor", "text", "link", "alink", "vlink"}) {
        const QString name = QString::fromLatin1(attribute);
        const QString value = text(body, name);
        if (!value.isEmpty())
            BodyTag += u' ' + name + QStringLiteral("=\"") + EscapeHtml(value) + u'"';
    }
    BodyTag += u'>';
    ThumbsList = ReadIniBool(AIni, gallery, QStringLiteral("ThumbsList"), false);
    // Fewer than one cell per row cannot form rows.
    ThumbsHorzCnt = std::max(AIni.ReadInteger(gallery, QStringLiteral("ThumbsHorzCnt"), 4), 1);
    ThumbsDefWidth = text(gallery, QStringLiteral("ThumbsDefWidth"));
    ThumbsDefHeight = text(gallery, QStringLiteral("ThumbsDefHeight"));
    ThumbsNameStart = text(gallery, QStringLiteral("ThumbsNameStart"), QStringLiteral("thumb-"));
    PictureNameExts =
        text(gallery, QStringLiteral("PictureNameExts"), QStringLiteral(".jpg,.gif,.png,.bmp"))
            .toLower();
    CellWidth = QString::number(DivideRoundHalfEven(100, ThumbsHorzCnt)) + u'%';
}

TIndexPage BuildIndexPage(const QString& ADirectory, const TIndexPageSettings& ASettings) {
    return TPageWriter(ADirectory, ASettings).Build();
}

QString EscapeHtml(const QString& AText) {
    QString text;
    text.reserve(AText.size());
    for (const QChar c : AText) {
        switch (c.unicode()) {
            case u'&':
                text += QStringLiteral("&amp;");
                break;
            case u'<':
                text += QStringLiteral("&lt;");
                break;
            case u'>':
                text += QStringLiteral("&gt;");
                break;
            case u'"':
                text += QStringLiteral("&quot;");
                break;
            default:
                text += c;
        }
    }
    return text;
}

QString LinkTarget(const QString& AName) {
    return QString::fromLatin1(QUrl::toPercentEncoding(AName));
}

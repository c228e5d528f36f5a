#pragma once

#include <QString>

#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer.h"

class TIniDocument;

// What the "Setup" INI text of the web page optimizer says; a key that is missing keeps the
// default shown here.
struct TWebPageOptimizerSettings {
    QString FileExtensionSeparator = QStringLiteral(",");
    bool HandleNetscape4Quirks = true;
    bool ConvertToSmallTags = false;
    bool PackServerSideOutput = false;
    bool SpecificFileTypeParsing = false;
    QString HtmlExtensions = QStringLiteral(".htm,.html,.shtml,.ssi,.xhtml");
    QString CssExtensions = QStringLiteral(".css");
    QString AspExtensions = QStringLiteral(".asp");
    QString JspExtensions = QStringLiteral(".jsp");
    QString PerlExtensions = QStringLiteral(".pl");
    QString PhpExtensions = QStringLiteral(".php,.php3");

    static TWebPageOptimizerSettings FromIni(const TIniDocument& AIni);
};

// The extension of a path's file name with its leading dot (".html"); empty without one.
QString WebPageFileExtension(const QString& APath);

// Whether any part of the list (split at every occurrence of the separator; empty parts never
// match) occurs anywhere in the extension, ignoring case: ".html" is in ".htm", ".php3" in
// ".php".
bool ExtensionInList(const QString& AExtension, const QString& AList, const QString& ASeparator);

// How a file with this extension is packed.
TqvWPOdetectLanMode ChooseWebPageMode(const TWebPageOptimizerSettings& ASettings,
                                      const QString& AExtension);

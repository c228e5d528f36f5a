#include "plugins/web_media/web_page_optimizer/web_page_optimizer_settings.h"

#include <QStringList>

#include "base/ini_document.h"
#include "base/text_file.h"

TWebPageOptimizerSettings TWebPageOptimizerSettings::FromIni(const TIniDocument& AIni) {
    TWebPageOptimizerSettings s;
    const QString general = QStringLiteral("GeneralInit");
    const QString simple = QStringLiteral("SimpleOptions");
    const QString advanced = QStringLiteral("AdvancedOptions");
    // The separator is taken as it stands: a space or tab may be the separator.
    s.FileExtensionSeparator = AIni.ReadString(general, QStringLiteral("FileExtensionSeparator"),
                                               s.FileExtensionSeparator);
    s.HandleNetscape4Quirks = ReadIniBool(
        AIni, simple, QStringLiteral("HTML_Enable_HandleNetscape4Quirks"), s.HandleNetscape4Quirks);
    s.ConvertToSmallTags =
        ReadIniBool(AIni, simple, QStringLiteral("HTML_Enable_ConvertToSmallTagsWhenPossible"),
                    s.ConvertToSmallTags);
    s.PackServerSideOutput = ReadIniBool(
        AIni, simple, QStringLiteral("HTML_Enable_ParseAndPackServerSideGeneratedOutput"),
        s.PackServerSideOutput);
    s.SpecificFileTypeParsing =
        ReadIniBool(AIni, simple, QStringLiteral("Other_Enable_SpecificFileTypeParsing"),
                    s.SpecificFileTypeParsing);
    const auto list = [&](const char* AKey, const QString& ADefault) {
        return AIni.ReadString(advanced, QString::fromLatin1(AKey), ADefault).trimmed();
    };
    s.HtmlExtensions = list("HtmlFileTypesWithNoServerSideLanguageContent", s.HtmlExtensions);
    s.CssExtensions = list("SingleMethodParseType_CSS_Extensions", s.CssExtensions);
    s.AspExtensions = list("ServerSideLanguage_ASP_Extensions", s.AspExtensions);
    s.JspExtensions = list("ServerSideLanguage_JSP_Extensions", s.JspExtensions);
    s.PerlExtensions = list("ServerSideLanguage_Perl_Extensions", s.PerlExtensions);
    s.PhpExtensions = list("ServerSideLanguage_PHP_Extensions", s.PhpExtensions);
    return s;
}

QString WebPageFileExtension(const QString& APath) {
    const qsizetype slash = APath.lastIndexOf(u'/');
    const qsizetype dot = APath.lastIndexOf(u'.');
    return dot > slash ? APath.mid(dot) : QString();
}

bool ExtensionInList(const QString& AExtension, const QString& AList, const QString& ASeparator) {
    if (AExtension.isEmpty())
        return false;
    // An empty separator splits nothing: the list is one entry.
    const QStringList parts =
        ASeparator.isEmpty() ? QStringList{AList} : AList.split(ASeparator, Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (!part.isEmpty() && AExtension.contains(part, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

TqvWPOdetectLanMode ChooseWebPageMode(const TWebPageOptimizerSettings& ASettings,
                                      const QString& AExtension) {
    const QString& separator = ASettings.FileExtensionSeparator;
    const auto in = [&](const QString& AList) {
        return ExtensionInList(AExtension, AList, separator);
    };
    if (ASettings.SpecificFileTypeParsing && in(ASettings.CssExtensions))
        return wpodCssOnlyDo;
    if (in(ASettings.HtmlExtensions) || !ASettings.PackServerSideOutput)
        return wpodHtmlMixOnlyDo;
    if (in(ASettings.AspExtensions))
        return wpodAspVbDefault;
    if (in(ASettings.JspExtensions))
        return wpodJspDefault;
    if (in(ASettings.PerlExtensions))
        return wpodPerlDefault;
    if (in(ASettings.PhpExtensions))
        return wpodPhpDefault;
    return wpodTryAutoDetect;
}

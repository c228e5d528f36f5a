#pragma once

#include <QString>

#include <cstdint>
#include <exception>

// How a page is to be treated.
enum TqvWPOdetectLanMode : std::uint8_t {
    wpodTryAutoDetect,  // HTML; server-side regions packed by the language their markers name
    wpodHtmlMixOnlyDo,  // HTML; every region left as it is
    wpodCssOnlyDo,      // the whole text is a style sheet
    wpodPhpDefault,     // HTML; every server-side region packed as PHP
    wpodPerlDefault,    // the whole text is Perl code
    wpodJspDefault,     // HTML; every server-side region packed as JSP
    wpodAspVbDefault    // HTML; every server-side region packed as ASP with VBScript
};

// The language whose pass is running.
enum TqvWPOcurrentLanguage : std::uint8_t {
    wpoclNone,
    wpoclHtmlMix,
    wpoclCss,
    wpoclPhp,
    wpoclPerl,
    wpoclJsp,
    wpoclAspVb
};

// A start marker without its end marker. Carries both markers (the end is empty for a code
// comment that has no end); its own message is empty, the caller words it.
class EqvTagMatchError : public std::exception {
public:
    EqvTagMatchError(QString AStartTag, QString AEndTag)
        : FStartTag(std::move(AStartTag)), FEndTag(std::move(AEndTag)) {}
    const char* what() const noexcept override { return ""; }

    QString FStartTag;
    QString FEndTag;
};

struct TqvWPOlanguageTable;
class TqvWPOliteralWalkCache;

// Shrinks the text of one web page in memory: removes HTML comments and redundant white space,
// leaves alone the regions whose text must not change (scripts, preformatted text, XML
// declarations, server-side includes and code), and, when the mode asks for it, packs the code
// inside server-side regions or a whole style sheet or Perl file. Made for one page and one
// Parse call; holds no shared state, so every thread packs with its own engine.
class TqvWebPageOptimizer {
public:
    TqvWebPageOptimizer() = default;
    TqvWebPageOptimizer(const TqvWebPageOptimizer&) = delete;
    TqvWebPageOptimizer& operator=(const TqvWebPageOptimizer&) = delete;

    TqvWPOdetectLanMode DetectLanMode() const { return FDetectLanMode; }
    // Also decides whether server-side regions are packed: not in the two HTML-only modes.
    void SetDetectLanMode(TqvWPOdetectLanMode AMode);
    bool Html_MakeNS4Comp() const { return FHtml_MakeNS4Comp; }
    void SetHtml_MakeNS4Comp(bool AValue) { FHtml_MakeNS4Comp = AValue; }
    bool Html_UseShortTags() const { return FHtml_UseShortTags; }
    void SetHtml_UseShortTags(bool AValue) { FHtml_UseShortTags = AValue; }

    bool Document_TryAnalyseServerSideScipting() const {
        return FDocument_TryAnalyseServerSideScipting;
    }
    TqvWPOcurrentLanguage CurrentLanguage() const { return FCurrentLanguage; }
    // The line-break text the last code pass chose (CR LF until one chose another).
    const QString& DynCurParserMethodALB() const { return FDynCurParserMethodALB; }

    // Packs the page in place. Raises EqvTagMatchError when a start marker has no end marker;
    // the page is then packed as far as the passes got and never holds a deletion mark.
    void Parse(QString& APageStr);

private:
    bool SkipProtectedRegion(qsizetype& APos, QString& AText, bool APack);
    static bool RemoveHtmlComment(qsizetype& APos, QString& AText);
    void SkipRegionsAt(qsizetype& APos, QString& AText, bool APack);
    void ParseHtmlMix(QString& AText, bool AOuter);
    void RemoveHtmlComments(QString& AText);
    void ControlCharactersToSpaces(QString& AText, bool AOuter);
    void MarkDoubleSpaces(QString& AText, bool AOuter);
    // White space between tags where it cannot show, at the ends of the page, and before a
    // tag's closing ">"; line breaks in place of spaces before block tags.
    void PackMarkup(QString& AText, bool AOuter);
    // Runs the code pass the mode and the region call for on the region's inner text.
    void ProcessServerSideRegion(int ARegion, bool APack, QString& AInner);
    // Whether ProcessServerSideRegion may change a region's text at all; when not, a region is
    // passed over without copying it.
    bool RegionMayChange(int ARegion, bool APack) const;
    void RunCodePass(const TqvWPOlanguageTable& ATable, QString& AText);
    void ParseCss(QString& AText);
    void ParsePhp(QString& AText);
    void ParsePerl(QString& AText);
    void ParseJsp(QString& AText);
    void ParseAspVb(QString& AText);
    void ParseSingleMethod(QString& AText, const TqvWPOlanguageTable& ATable);
    qsizetype ProcessStringLiterals(QString& AText, qsizetype APos,
                                    const TqvWPOlanguageTable& ATable,
                                    TqvWPOliteralWalkCache& ACache);
    void ConvertToShortTags(QString& AText);
    static void PackCssWhitespace(QString& AText);

    TqvWPOdetectLanMode FDetectLanMode = wpodTryAutoDetect;
    TqvWPOcurrentLanguage FCurrentLanguage = wpoclNone;
    bool FDocument_TryAnalyseServerSideScipting = true;
    bool FHtml_MakeNS4Comp = true;
    bool FHtml_UseShortTags = true;
    QString FDynCurParserMethodALB = QStringLiteral("\r\n");
    bool F_SS_InsideCalledOutputFunc = false;
};

// Removes every deletion mark (U+0008) from the text, keeping the order of the rest.
void CompactMarked(QString& AText);

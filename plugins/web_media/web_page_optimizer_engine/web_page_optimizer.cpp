#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer_markup.h"
#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer_scan.h"
#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer_tables.h"

namespace {

const QString KCommentStart = QStringLiteral("<!--");
const QString KCommentEnd = QStringLiteral("-->");

// Restores a language field when a pass ends, also when it raises.
class TLanguageScope {
public:
    TLanguageScope(TqvWPOcurrentLanguage& AField, TqvWPOcurrentLanguage ALanguage)
        : FField(AField), FSaved(AField) {
        FField = ALanguage;
    }
    ~TLanguageScope() { FField = FSaved; }
    TLanguageScope(const TLanguageScope&) = delete;
    TLanguageScope& operator=(const TLanguageScope&) = delete;

private:
    TqvWPOcurrentLanguage& FField;
    TqvWPOcurrentLanguage FSaved;
};

// Compacts the text when a pass raises, so no deletion mark outlives the pass.
class TCompactOnError {
public:
    explicit TCompactOnError(QString& AText)
        : FText(AText), FExceptions(std::uncaught_exceptions()) {}
    ~TCompactOnError() {
        if (std::uncaught_exceptions() > FExceptions)
            CompactMarked(FText);
    }
    TCompactOnError(const TCompactOnError&) = delete;
    TCompactOnError& operator=(const TCompactOnError&) = delete;

private:
    QString& FText;
    int FExceptions;
};

void Mark(QString& AText, qsizetype AFrom, qsizetype ATo) {
    QChar* data = AText.data();
    for (qsizetype i = AFrom; i < ATo; ++i)
        data[i] = QChar(KWpoDeleteMark);
}

// The next "<" at or after AFrom, or -1.
qsizetype NextLessThan(const QString& AText, qsizetype AFrom) {
    const qsizetype at =
        WpoFind(reinterpret_cast<const char16_t*>(AText.constData()), AFrom, AText.size(), u'<');
    return at < AText.size() ? at : -1;
}

// Whether a region or comment may start at APos, which may lie past the end.
bool MayStartRegionAt(const QString& AText, qsizetype APos) {
    return APos >= 0 && APos < AText.size() &&
           WpoMayStartRegion(reinterpret_cast<const char16_t*>(AText.constData()), APos,
                             AText.size());
}

bool IsRegionLeftAlone(int ARegion) {
    return ARegion == wporScript || ARegion == wporXml || ARegion == wporPre ||
           ARegion == wporServerSideInclude || ARegion == wporAspComment || ARegion == wporTextarea;
}

}  // namespace

// Positions from which the literal walk's searches are known to find nothing. A code pass
// walks from every output call to the next literal; without this a region with many output
// calls and no literal after them would be searched to its end once per call.
class TqvWPOliteralWalkCache {
public:
    static constexpr qsizetype KUnknown = -1;
    qsizetype NoLiteralFrom = KUnknown;  // no delimiter and no comment start from here on
    qsizetype NoJoinFrom = KUnknown;     // no operator, comment start or end from here on

    // The text from AOldEnd on moved by ADelta; what lies at or after AOldEnd is unchanged.
    void Replaced(qsizetype AStart, qsizetype AOldEnd, qsizetype ADelta) {
        for (qsizetype* from : {&NoLiteralFrom, &NoJoinFrom}) {
            if (*from == KUnknown)
                continue;
            if (AOldEnd <= *from && AStart < *from)
                *from += ADelta;
            else
                *from = KUnknown;
        }
    }
};

void CompactMarked(QString& AText) {
    const qsizetype size = AText.size();
    qsizetype write =
        WpoFind(reinterpret_cast<const char16_t*>(AText.constData()), 0, size, KWpoDeleteMark);
    if (write == size)
        return;
    char16_t* data = reinterpret_cast<char16_t*>(AText.data());
    // Moves each run of kept characters once, instead of one character at a time.
    qsizetype read = write;
    while (read < size) {
        while (read < size && data[read] == KWpoDeleteMark)
            ++read;
        const qsizetype run = WpoFind(data, read, size, KWpoDeleteMark) - read;
        std::memmove(data + write, data + read, std::size_t(run) * sizeof(char16_t));
        write += run;
        read += run;
    }
    AText.truncate(write);
}

void TqvWebPageOptimizer::SetDetectLanMode(TqvWPOdetectLanMode AMode) {
    FDetectLanMode = AMode;
    FDocument_TryAnalyseServerSideScipting = AMode != wpodHtmlMixOnlyDo && AMode != wpodCssOnlyDo;
}

void TqvWebPageOptimizer::Parse(QString& APageStr) {
    // Also removes any U+0008 the page held when a pass raised before its first compaction.
    TCompactOnError compact(APageStr);
    switch (FDetectLanMode) {
        case wpodCssOnlyDo:
            ProcessServerSideRegion(wporWholeText, FDocument_TryAnalyseServerSideScipting,
                                    APageStr);
            PackCssWhitespace(APageStr);
            break;
        case wpodPerlDefault:
            ProcessServerSideRegion(wporWholeText, FDocument_TryAnalyseServerSideScipting,
                                    APageStr);
            break;
        case wpodTryAutoDetect:
        case wpodHtmlMixOnlyDo:
        case wpodPhpDefault:
        case wpodJspDefault:
        case wpodAspVbDefault:
            ParseHtmlMix(APageStr, true);
            break;
    }
}

std::optional<TqvWPOregionSpan> WpoFindRegionAt(const QString& AText, qsizetype APos) {
    if (!MayStartRegionAt(AText, APos))
        return std::nullopt;
    static const std::vector<TqvWPOregion>& regions = WpoRegions();
    const char16_t second = WpoAsciiLower(AText.at(APos + 1).unicode());
    for (int r = 0; r < int(regions.size()); ++r) {
        const TqvWPOregion& region = regions[r];
        if (region.Start.at(1).unicode() != second)
            continue;
        const qsizetype innerStart = APos + region.Start.size();
        // A marker counts only with at least two characters after it.
        if (!WpoMarkerAt(AText, APos, region.Start, true) || innerStart + 2 > AText.size())
            continue;
        if (r == wporTextarea) {
            // Only the element itself, not a longer name that begins the same way.
            const char16_t next = AText.at(innerStart).unicode();
            if (!WpoIsHtmlSpace(next) && next != u'/' && next != u'>')
                continue;
        }
        const qsizetype end = WpoFindMarker(AText, region.End, innerStart, true);
        if (end < 0) {
            // A browser shows a textarea without its end tag to the end of the page.
            if (r == wporTextarea)
                return TqvWPOregionSpan{r, innerStart, AText.size(), AText.size()};
            throw EqvTagMatchError(region.Start, region.End);
        }
        return TqvWPOregionSpan{r, innerStart, end, end + region.End.size()};
    }
    return std::nullopt;
}

bool TqvWebPageOptimizer::SkipProtectedRegion(qsizetype& APos, QString& AText, bool APack) {
    const std::optional<TqvWPOregionSpan> span = WpoFindRegionAt(AText, APos);
    if (!span)
        return false;
    qsizetype after = span->After;
    if (RegionMayChange(span->Region, APack)) {
        QString inner = AText.mid(span->InnerStart, span->InnerEnd - span->InnerStart);
        const QString old = inner;
        // A code pass that raises leaves the region as it was: only a finished result goes in.
        ProcessServerSideRegion(span->Region, APack, inner);
        if (inner != old) {
            AText.replace(span->InnerStart, old.size(), inner);
            after += inner.size() - old.size();
        }
    }
    APos = after;
    return true;
}

void TqvWebPageOptimizer::SkipRegionsAt(qsizetype& APos, QString& AText, bool APack) {
    // Most "<" start a plain tag; those are sorted out here, without the call.
    while (MayStartRegionAt(AText, APos) && SkipProtectedRegion(APos, AText, APack)) {
    }
}

bool TqvWebPageOptimizer::RemoveHtmlComment(qsizetype& APos, QString& AText) {
    if (!WpoMarkerAt(AText, APos, KCommentStart, true) ||
        APos + KCommentStart.size() + 2 > AText.size())
        return false;
    const qsizetype end = WpoFindMarker(AText, KCommentEnd, APos + KCommentStart.size(), true);
    if (end < 0)
        throw EqvTagMatchError(KCommentStart, KCommentEnd);
    const qsizetype after = end + KCommentEnd.size();
    Mark(AText, APos, after);
    APos = after;
    return true;
}

void TqvWebPageOptimizer::RemoveHtmlComments(QString& AText) {
    qsizetype pos = 0;
    while (pos < AText.size()) {
        // Regions are consulted first at every position, also at the one right after a removed
        // comment: a server-side include or script there stays whole.
        // Regions and comments begin with "<": the positions before the next one are passed.
        pos = NextLessThan(AText, pos);
        if (pos < 0)
            break;
        while (MayStartRegionAt(AText, pos)) {
            if (SkipProtectedRegion(pos, AText, false))
                continue;
            if (!RemoveHtmlComment(pos, AText))
                break;
        }
        ++pos;
    }
    CompactMarked(AText);
}

void TqvWebPageOptimizer::ControlCharactersToSpaces(QString& AText, bool AOuter) {
    const qsizetype length = AText.size();
    // Skipping without packing never changes the text, so the pointer stays valid.
    char16_t* data = reinterpret_cast<char16_t*>(AText.data());
    // Control characters up to each "<" become spaces; at "<" a region may start, whose text
    // stays as it is.
    qsizetype pos = 0;
    while ((pos = WpoControlsToSpacesUntil(data, pos, length, u'<')) < length) {
        if (AOuter && WpoMayStartRegion(data, pos, length) &&
            SkipProtectedRegion(pos, AText, false))
            continue;
        ++pos;
    }
}

void TqvWebPageOptimizer::MarkDoubleSpaces(QString& AText, bool AOuter) {
    const qsizetype length = AText.size();
    char16_t* data = reinterpret_cast<char16_t*>(AText.data());
    qsizetype pos = 0;
    // Single spaces are passed by the scan; it stops where a space follows a space.
    while ((pos = WpoFindDoubleSpaceOr(data, pos, length, u'<')) < length) {
        if (data[pos] == u' ') {
            // A run of spaces at once: all but its last are marked.
            while (pos + 1 < length && data[pos + 1] == u' ')
                data[pos++] = KWpoDeleteMark;
        } else if (AOuter && WpoMayStartRegion(data, pos, length) &&
                   SkipProtectedRegion(pos, AText, false)) {
            continue;
        }
        ++pos;
    }
    CompactMarked(AText);
}

void TqvWebPageOptimizer::ParseHtmlMix(QString& AText, bool AOuter) {
    TLanguageScope language(FCurrentLanguage, wpoclHtmlMix);
    TCompactOnError compact(AText);

    RemoveHtmlComments(AText);
    ControlCharactersToSpaces(AText, AOuter);
    MarkDoubleSpaces(AText, AOuter);
    PackMarkup(AText, AOuter);

    if (FHtml_UseShortTags)
        ConvertToShortTags(AText);

    // Only here is server-side code packed; the passes above skip regions without packing.
    const bool pack = FDocument_TryAnalyseServerSideScipting && AOuter;
    for (qsizetype pos = 0; pos < AText.size(); ++pos) {
        pos = NextLessThan(AText, pos);
        if (pos < 0)
            break;
        SkipRegionsAt(pos, AText, pack);
    }
}

namespace {

// A piece of markup the markup pass found: a start or end tag (a style or title start tag with
// the text up to its end tag), a declaration, or a protected region. The text between two items
// is the gap before the second.
struct TMarkupItem {
    qsizetype Start = 0;
    qsizetype End = 0;     // after the item
    qsizetype Close = -1;  // a tag's own ">", before which white space may go
    TqvWPOtagClass Class = wpotOther;
    bool LineBreakBefore = false;  // a start tag that a line break may stand before
    bool GapWhite = false;         // the gap before the item holds only white space
};

TqvWPOtagClass RegionClass(const QString& AText, const TqvWPOregionSpan& ASpan) {
    // A script or pre region also starts at a longer name ("<preview"), which is another
    // element: only the element itself is known.
    const char16_t next = AText.at(ASpan.InnerStart).unicode();
    const bool named = WpoIsHtmlSpace(next) || next == u'/' || next == u'>';
    switch (ASpan.Region) {
        case wporXml:
            return wpotHidden;
        case wporScript:
            return named ? wpotHidden : wpotOther;
        case wporPre:
            return named ? wpotBlock : wpotOther;
        default:
            return wpotOther;  // server-side output and a textarea's text show
    }
}

bool AllSpace(const char16_t* AText, qsizetype AFrom, qsizetype ATo) {
    for (qsizetype i = AFrom; i < ATo; ++i)
        if (!WpoIsHtmlSpace(AText[i]))
            return false;
    return true;
}

// Whether a line box starts (or ends) on this side of an item, given whether it does beyond it.
bool AcrossItem(TqvWPOtagClass AClass, bool ABeyond) {
    switch (AClass) {
        case wpotBlock:
            return true;
        case wpotHidden:
        case wpotInline:
            return ABeyond;
        case wpotOther:
            return false;
    }
    return false;
}

// Where the raw text of element AName that starts at AFrom ends: at its end tag, or at the end
// of the text. Protected regions inside are passed whole, as every pass does.
qsizetype RawTextEnd(const QString& AText, qsizetype AFrom, std::u16string_view AName) {
    const char16_t* data = reinterpret_cast<const char16_t*>(AText.constData());
    const qsizetype size = AText.size();
    if (AName == u"plaintext")
        return size;
    const qsizetype length = qsizetype(AName.size());
    qsizetype pos = AFrom;
    while ((pos = WpoFind(data, pos, size, u'<')) < size) {
        if (WpoMayStartRegion(data, pos, size)) {
            if (const auto span = WpoFindRegionAt(AText, pos)) {
                pos = span->After;
                continue;
            }
        }
        const qsizetype after = pos + 2 + length;
        if (after <= size && data[pos + 1] == u'/') {
            bool same = true;
            for (qsizetype k = 0; k < length && same; ++k)
                same = WpoAsciiLower(data[pos + 2 + k]) == AName[std::size_t(k)];
            if (same && (after == size || WpoIsHtmlSpace(data[after]) || data[after] == u'/' ||
                         data[after] == u'>'))
                return pos;
        }
        ++pos;
    }
    return size;
}

// The markup item whose "<" stands at APos, if one does (not a protected region: those are
// looked for first).
bool ScanMarkupAt(const QString& AText, qsizetype APos, TMarkupItem& AItem) {
    const char16_t* data = reinterpret_cast<const char16_t*>(AText.constData());
    const qsizetype size = AText.size();
    const auto regionAt = [&AText](qsizetype AAt) {
        return WpoFindRegionAt(AText, AAt).has_value();
    };
    if (APos + 1 < size && data[APos + 1] == u'!') {
        // A declaration such as a doctype: to its first ">" (a CDATA section to "]]>"); it
        // renders nothing, and the white space inside it is left alone.
        static const QString cdata = QStringLiteral("<![CDATA[");
        static const QString cdataEnd = QStringLiteral("]]>");
        qsizetype close = -1;
        // A CDATA section ends at "]]>" only in SVG and MathML; elsewhere at its first ">",
        // and what follows shows: either way its white space is left, and so is the one
        // beside it.
        TqvWPOtagClass kind = wpotHidden;
        if (WpoMarkerAt(AText, APos, cdata, false)) {
            kind = wpotOther;
            close = WpoFindMarker(AText, cdataEnd, APos + cdata.size(), false);
            if (close >= 0)
                close += cdataEnd.size() - 1;
        }
        for (qsizetype at = APos + 2; close < 0;) {
            at = WpoFindEither(data, at, size, u'>', u'<');
            if (at == size || (data[at] == u'<' && regionAt(at)))
                return false;
            if (data[at] == u'>')
                close = at;
            ++at;
        }
        AItem = TMarkupItem{APos, close + 1, -1, kind, false, false};
        return true;
    }
    TqvWPOtag tag;
    if (!WpoScanTag(data, APos, size, regionAt, tag))
        return false;
    // Names longer than any listed one are of no kind the pass knows.
    char16_t lower[12];
    const qsizetype length = tag.NameEnd - tag.NameStart;
    std::u16string_view name;
    if (length <= qsizetype(std::size(lower))) {
        for (qsizetype k = 0; k < length; ++k)
            lower[k] = WpoAsciiLower(data[tag.NameStart + k]);
        name = std::u16string_view(lower, std::size_t(length));
    }
    AItem = TMarkupItem{APos, tag.Close + 1, tag.Close, wpotOther, false, false};
    if (name.empty())
        return true;
    AItem.Class = WpoTagClass(name);
    if (!tag.EndTag) {
        AItem.LineBreakBefore = WpoIsLineBreakElement(name);
        if (WpoIsRawTextElement(name))
            AItem.End = RawTextEnd(AText, tag.Close + 1, name);
    }
    return true;
}

}  // namespace

void TqvWebPageOptimizer::PackMarkup(QString& AText, bool AOuter) {
    const qsizetype size = AText.size();
    // Nothing below moves a character: white space is marked or replaced in place, and the
    // regions are only looked at.
    char16_t* data = reinterpret_cast<char16_t*>(AText.data());

    std::vector<TMarkupItem> items;
    for (qsizetype pos = 0, gapStart = 0; (pos = WpoFind(data, pos, size, u'<')) < size;) {
        TMarkupItem item;
        std::optional<TqvWPOregionSpan> span;
        if (WpoMayStartRegion(data, pos, size))
            span = WpoFindRegionAt(AText, pos);
        if (span) {
            item = TMarkupItem{pos, span->After, -1, RegionClass(AText, *span), false, false};
        } else if (!ScanMarkupAt(AText, pos, item)) {
            ++pos;  // a "<" that is text
            continue;
        }
        item.GapWhite = AllSpace(data, gapStart, item.Start);
        items.push_back(item);
        pos = gapStart = item.End;
    }

    // A line break takes the place of the white space before a block tag; with the raw line
    // break only its line feed, since a CR LF for one space would make the page longer. A line
    // break written as an expression (inside a literal of server-side code) is longer than the
    // space it would replace, so there the space stays.
    const QString& lineBreak = FDynCurParserMethodALB;
    const bool lineBreaks = FHtml_MakeNS4Comp && !lineBreak.isEmpty() &&
                            std::all_of(lineBreak.cbegin(), lineBreak.cend(), [](QChar AChar) {
                                return AChar == u'\r' || AChar == u'\n';
                            });

    // White space between two items cannot show where, seen through items that render nothing,
    // a line box starts before it or ends after it: at a block or table element, a br, in the
    // head, at the ends of the page. Elsewhere it is one space between inline content and stays.
    const qsizetype count = qsizetype(items.size());
    std::vector<char> removable(std::size_t(count), 0);
    bool lineStart = AOuter;
    for (qsizetype i = 0; i < count; ++i) {
        const TMarkupItem& item = items[std::size_t(i)];
        if (!item.GapWhite)
            lineStart = false;
        const bool gap = i > 0 && item.Start > items[std::size_t(i - 1)].End && item.GapWhite;
        removable[std::size_t(i)] = gap && lineStart ? 1 : (gap ? 2 : 0);
        lineStart = AcrossItem(item.Class, lineStart);
    }
    bool lineEnd = AOuter && (count == 0 || AllSpace(data, items.back().End, size));
    for (qsizetype i = count - 1; i >= 0; --i) {
        const TMarkupItem& item = items[std::size_t(i)];
        lineEnd = AcrossItem(item.Class, lineEnd);
        if (removable[std::size_t(i)] != 0 && (removable[std::size_t(i)] == 1 || lineEnd)) {
            // Before a block tag its last character is kept for the line break.
            Mark(AText, items[std::size_t(i - 1)].End,
                 lineBreaks && item.LineBreakBefore ? item.Start - 1 : item.Start);
        }
        if (!item.GapWhite)
            lineEnd = false;
    }

    for (const TMarkupItem& item : items) {
        // White space before a tag's own ">", unless it follows a "/" (which it would join).
        if (item.Close < 0)
            continue;
        qsizetype from = item.Close;
        while (WpoIsHtmlSpace(data[from - 1]))
            --from;
        if (from < item.Close && data[from - 1] != u'/')
            Mark(AText, from, item.Close);
    }

    if (AOuter && size > 0) {
        // Every item begins with "<", so the first character is never inside one.
        if (data[0] == u' ')
            data[0] = KWpoDeleteMark;
        if (data[size - 1] == u' ' && (count == 0 || items.back().End < size))
            data[size - 1] = KWpoDeleteMark;
    }

    if (lineBreaks) {
        qsizetype gapStart = 0;
        for (const TMarkupItem& item : items) {
            if (item.LineBreakBefore && item.Start > gapStart &&
                WpoIsHtmlSpace(data[item.Start - 1]))
                data[item.Start - 1] = lineBreak.back().unicode();
            gapStart = item.End;
        }
    }
    CompactMarked(AText);
}

void TqvWebPageOptimizer::ConvertToShortTags(QString& AText) {
    static const QString prefixes[] = {QStringLiteral("/"), QStringLiteral("<")};
    static const QString suffixes[] = {QStringLiteral(" "), QStringLiteral(">")};
    const auto& pairs = WpoShortTags();
    if (pairs.empty()) {
        // Only the region skipping is left to do, which can only raise.
        for (qsizetype pos = 0; pos < AText.size(); ++pos) {
            pos = NextLessThan(AText, pos);
            if (pos < 0)
                break;
            SkipRegionsAt(pos, AText, false);
        }
        return;
    }
    qsizetype pos = 0;
    SkipRegionsAt(pos, AText, false);
    while (pos < AText.size()) {
        for (const QString& prefix : prefixes) {
            for (const auto& [longName, shortName] : pairs) {
                for (const QString& suffix : suffixes) {
                    if (WpoMarkerAt(AText, pos, prefix + longName + suffix, true)) {
                        AText.replace(pos, prefix.size() + longName.size() + suffix.size(),
                                      prefix + shortName + suffix);
                        break;
                    }
                }
            }
        }
        ++pos;
        SkipRegionsAt(pos, AText, false);
    }
}

void TqvWebPageOptimizer::PackCssWhitespace(QString& AText) {
    QChar* data = AText.data();
    const qsizetype length = AText.size();
    for (qsizetype i = 0; i < length; ++i) {
        if (data[i].unicode() < 0x20)
            data[i] = u' ';
    }
    for (qsizetype i = 0; i + 1 < length; ++i) {
        if (data[i] == u' ' && data[i + 1] == u' ')
            data[i] = QChar(KWpoDeleteMark);
    }
    if (length > 0) {
        if (data[0] == u' ')
            data[0] = QChar(KWpoDeleteMark);
        if (data[length - 1] == u' ')
            data[length - 1] = QChar(KWpoDeleteMark);
    }
    CompactMarked(AText);
}

bool TqvWebPageOptimizer::RegionMayChange(int ARegion, bool APack) const {
    if (FDetectLanMode == wpodHtmlMixOnlyDo || IsRegionLeftAlone(ARegion))
        return false;
    switch (FDetectLanMode) {
        case wpodCssOnlyDo:
            return true;
        case wpodPhpDefault:
        case wpodPerlDefault:
        case wpodJspDefault:
        case wpodAspVbDefault:
            return APack;
        case wpodTryAutoDetect:
            return APack && ARegion != wporWholeText;
        case wpodHtmlMixOnlyDo:
            return false;
    }
    return true;
}

void TqvWebPageOptimizer::ProcessServerSideRegion(int ARegion, bool APack, QString& AInner) {
    if (FDetectLanMode == wpodHtmlMixOnlyDo || IsRegionLeftAlone(ARegion))
        return;
    switch (FDetectLanMode) {
        case wpodCssOnlyDo:
            ParseCss(AInner);
            return;
        case wpodPhpDefault:
            if (APack)
                ParsePhp(AInner);
            return;
        case wpodPerlDefault:
            if (APack)
                ParsePerl(AInner);
            return;
        case wpodJspDefault:
            if (APack)
                ParseJsp(AInner);
            return;
        case wpodAspVbDefault:
            if (APack)
                ParseAspVb(AInner);
            return;
        case wpodTryAutoDetect: {
            if (!APack || ARegion == wporWholeText)
                return;
            const TqvWPOregion& region = WpoRegions()[ARegion];
            const QString& start = region.Start;
            const QString& end = region.End;
            if ((start == QStringLiteral("<?") || start == QStringLiteral("<?php")) &&
                end == QStringLiteral("?>"))
                ParsePhp(AInner);
            else if (start == QStringLiteral("<%") || end == QStringLiteral("%>"))
                ParseAspVb(AInner);
            return;
        }
        case wpodHtmlMixOnlyDo:
            return;
    }
}

void TqvWebPageOptimizer::RunCodePass(const TqvWPOlanguageTable& ATable, QString& AText) {
    TLanguageScope language(FCurrentLanguage, ATable.Language);
    // An output call left open by an earlier region does not carry over.
    F_SS_InsideCalledOutputFunc = false;
    ParseSingleMethod(AText, ATable);
}

void TqvWebPageOptimizer::ParseCss(QString& AText) {
    RunCodePass(WpoCssTable(), AText);
}
void TqvWebPageOptimizer::ParsePhp(QString& AText) {
    RunCodePass(WpoPhpTable(), AText);
}
void TqvWebPageOptimizer::ParsePerl(QString& AText) {
    RunCodePass(WpoPerlTable(), AText);
}
void TqvWebPageOptimizer::ParseJsp(QString& AText) {
    RunCodePass(WpoJspTable(), AText);
}
void TqvWebPageOptimizer::ParseAspVb(QString& AText) {
    RunCodePass(WpoAspVbTable(), AText);
}

void TqvWebPageOptimizer::ParseSingleMethod(QString& AText, const TqvWPOlanguageTable& ATable) {
    TCompactOnError compact(AText);
    TqvWPOliteralWalkCache cache;
    qsizetype pos = 0;
    while (pos < AText.size()) {
        const auto hit = ATable.MainSearch.Find(AText, pos);
        if (!hit)
            break;
        switch (hit->List) {
            case wpomComment: {
                const QString& start = ATable.CommentStarts.at(hit->Entry);
                const auto end = ATable.CommentEndSearch[hit->Entry].Find(AText, hit->End);
                if (end) {
                    Mark(AText, hit->Start, ATable.KeepsCommentLineBreak ? end->Start : end->End);
                    pos = end->End;
                } else if (ATable.UnterminatedCommentToEnd) {
                    Mark(AText, hit->Start, AText.size());
                    pos = AText.size();
                } else {
                    throw EqvTagMatchError(start, QString());
                }
                break;
            }
            case wpomDelimiter:
                pos = ProcessStringLiterals(AText, hit->Start, ATable, cache);
                break;
            case wpomOutputName: {
                const qsizetype after = hit->End;
                bool call = hit->Start > 0;
                if (call) {
                    call = false;
                    for (const QString& prefix : ATable.OutputFuncPrefixes) {
                        if (prefix.isEmpty() ||
                            WpoMarkerAt(AText, hit->Start - prefix.size(), prefix, false)) {
                            call = true;
                            break;
                        }
                    }
                }
                if (call) {
                    // The suffix need only occur somewhere in the next few characters.
                    const QStringView window = QStringView(AText).mid(
                        after, std::min(ATable.LongestSuffix, AText.size() - after));
                    call = false;
                    for (const QString& suffix : ATable.OutputFuncSuffixes) {
                        if (!suffix.isEmpty() && window.contains(suffix)) {
                            call = true;
                            break;
                        }
                    }
                }
                pos = after;
                if (call) {
                    F_SS_InsideCalledOutputFunc = true;
                    pos = ProcessStringLiterals(AText, pos, ATable, cache);
                }
                break;
            }
            case wpomStatementEnd:
                F_SS_InsideCalledOutputFunc = false;
                pos = hit->End;
                break;
            default:
                pos = hit->End;
                break;
        }
    }
    CompactMarked(AText);
}

namespace {

// The position of the delimiter that closes a literal whose content starts at AFrom, or -1.
qsizetype FindClosingDelimiter(const QString& AText, qsizetype AFrom, const QString& ADelimiter,
                               const QStringList& AEscapes) {
    qsizetype at = AFrom;
    for (;;) {
        at = AText.indexOf(ADelimiter, at);
        if (at < 0)
            return -1;
        // Count the escape strings standing back to back right before the delimiter.
        int escapes = 0;
        qsizetype back = at;
        for (bool found = true; found;) {
            found = false;
            for (const QString& escape : AEscapes) {
                if (!escape.isEmpty() && back - escape.size() >= AFrom &&
                    WpoMarkerAt(AText, back - escape.size(), escape, false)) {
                    back -= escape.size();
                    ++escapes;
                    found = true;
                    break;
                }
            }
        }
        if (escapes % 2 == 0)
            return at;
        at += ADelimiter.size();
    }
}

}  // namespace

qsizetype TqvWebPageOptimizer::ProcessStringLiterals(QString& AText, qsizetype APos,
                                                     const TqvWPOlanguageTable& ATable,
                                                     TqvWPOliteralWalkCache& ACache) {
    qsizetype pos = APos;
    for (;;) {
        std::optional<TqvWPOmultiSearch::THit> literal;
        if (ACache.NoLiteralFrom == TqvWPOliteralWalkCache::KUnknown ||
            pos < ACache.NoLiteralFrom) {
            // The search does not stop at a statement end: the next literal may lie beyond one.
            literal = ATable.LiteralSearch.Find(AText, pos);
            if (!literal)
                ACache.NoLiteralFrom = pos;
        }
        if (!literal)
            return pos;
        if (literal->List == wpolComment)
            return literal->Start;

        const QString& delimiter = ATable.StringDelimiters.at(literal->Entry);
        const qsizetype contentStart = literal->End;
        qsizetype close = FindClosingDelimiter(AText, contentStart, delimiter,
                                               ATable.EscapesOfDelimiter[literal->Entry]);
        if (close < 0)
            return AText.size();  // an unterminated literal: nothing from its start changes

        if (F_SS_InsideCalledOutputFunc) {
            FDynCurParserMethodALB = ATable.LineBreakIsRaw
                                         ? ATable.LineBreakText
                                         : delimiter + ATable.LineBreakConcatOperator +
                                               ATable.LineBreakText +
                                               ATable.LineBreakConcatOperator + delimiter;
            const QString content = AText.mid(contentStart, close - contentStart);
            QString packed = content;
            ParseHtmlMix(packed, false);
            if (packed != content) {
                AText.replace(contentStart, content.size(), packed);
                const qsizetype delta = packed.size() - content.size();
                ACache.Replaced(contentStart, close, delta);
                close += delta;
            }
        }
        pos = close + delimiter.size();

        std::optional<TqvWPOmultiSearch::THit> join;
        if (ACache.NoJoinFrom == TqvWPOliteralWalkCache::KUnknown || pos < ACache.NoJoinFrom) {
            join = ATable.JoinSearch.Find(AText, pos);
            if (!join)
                ACache.NoJoinFrom = pos;
        }
        if (!join || join->List != wpojConcat)
            return pos;
        pos = join->End;
    }
}

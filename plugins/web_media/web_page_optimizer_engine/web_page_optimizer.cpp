#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer.h"

#include <algorithm>
#include <cstring>
#include <vector>

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
           ARegion == wporServerSideInclude || ARegion == wporAspComment;
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

bool TqvWebPageOptimizer::SkipProtectedRegion(qsizetype& APos, QString& AText, bool APack) {
    if (!MayStartRegionAt(AText, APos))
        return false;
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
        qsizetype end = WpoFindMarker(AText, region.End, innerStart, true);
        if (end < 0)
            throw EqvTagMatchError(region.Start, region.End);
        if (RegionMayChange(r, APack)) {
            QString inner = AText.mid(innerStart, end - innerStart);
            const QString old = inner;
            // A code pass that raises leaves the region as it was: only a finished result goes
            // in.
            ProcessServerSideRegion(r, APack, inner);
            if (inner != old) {
                AText.replace(innerStart, old.size(), inner);
                end += inner.size() - old.size();
            }
        }
        APos = end + region.End.size();
        return true;
    }
    return false;
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

void TqvWebPageOptimizer::MarkSpacesBetweenTags(QString& AText, bool AOuter) {
    const qsizetype length = AText.size();
    char16_t* data = reinterpret_cast<char16_t*>(AText.data());
    // A space is marked when ">" stands before it and "<" after it, outside regions. The scan
    // stops at both: at ">" for the space after it, at "<" for a region that may start there.
    const auto markAfter = [&](qsizetype AClose) {
        if (AClose >= 0 && AClose + 2 < length && data[AClose] == u'>' &&
            data[AClose + 1] == u' ' && data[AClose + 2] == u'<')
            data[AClose + 1] = KWpoDeleteMark;
    };
    qsizetype pos = 0;
    while ((pos = WpoFindEither(data, pos, length, u'>', u'<')) < length) {
        if (data[pos] == u'<' && AOuter && WpoMayStartRegion(data, pos, length)) {
            const qsizetype start = pos;
            SkipRegionsAt(pos, AText, false);
            if (pos != start) {
                // The region's own last character may be the ">" before a space.
                markAfter(pos - 1);
                continue;
            }
        }
        markAfter(pos);
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
    MarkSpacesBetweenTags(AText, AOuter);

    if (AOuter && !AText.isEmpty()) {
        if (AText.at(0) == u' ')
            AText[0] = QChar(KWpoDeleteMark);
        if (AText.at(AText.size() - 1) == u' ')
            AText[AText.size() - 1] = QChar(KWpoDeleteMark);
        CompactMarked(AText);
    }

    // Space before ">" and after "<", inside protected regions too.
    {
        char16_t* data = reinterpret_cast<char16_t*>(AText.data());
        const qsizetype length = AText.size();
        for (qsizetype pos = 1; (pos = WpoFind(data, pos, length, u'>')) < length; ++pos) {
            if (data[pos - 1] == u' ')
                data[pos - 1] = KWpoDeleteMark;
        }
    }
    CompactMarked(AText);
    {
        char16_t* data = reinterpret_cast<char16_t*>(AText.data());
        const qsizetype length = AText.size();
        for (qsizetype pos = 0; (pos = WpoFind(data, pos, length, u'<')) < length;) {
            if (pos + 1 < length && data[pos + 1] == u' ') {
                data[pos + 1] = KWpoDeleteMark;
                pos += 3;
            } else {
                ++pos;
            }
        }
    }
    CompactMarked(AText);

    if (FHtml_MakeNS4Comp)
        InsertNS4LineBreaks(AText);
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

void TqvWebPageOptimizer::InsertNS4LineBreaks(QString& AText) {
    // The positions are found first and the line breaks put in afterwards, in one copy: what
    // is inserted never sits where the scan still looks.
    std::vector<qsizetype> insertAt;
    const QStringList& tags = WpoBlockTags();
    qsizetype pos = 0;
    while (pos < AText.size()) {
        // Block tags and regions begin with "<": the positions before the next one are passed.
        pos = NextLessThan(AText, pos);
        if (pos < 0)
            break;
        const qsizetype before = pos;
        SkipRegionsAt(pos, AText, false);
        if (pos != before)
            continue;
        // The second character sorts out most tags at once.
        const char16_t second =
            pos + 1 < AText.size() ? WpoAsciiLower(AText.at(pos + 1).unicode()) : char16_t(0);
        for (const QString& tag : tags) {
            const qsizetype after = pos + tag.size();
            if (WpoAsciiLower(tag.at(1).unicode()) == second && after < AText.size() &&
                WpoMarkerAt(AText, pos, tag, true) &&
                (AText.at(after) == u' ' || AText.at(after) == u'>')) {
                if (pos != 0)
                    insertAt.push_back(pos);
                pos = after;  // the last character of the tag text
                break;
            }
        }
        ++pos;
    }
    if (insertAt.empty())
        return;
    QString result;
    result.reserve(AText.size() + qsizetype(insertAt.size()) * FDynCurParserMethodALB.size());
    qsizetype copied = 0;
    for (const qsizetype at : insertAt) {
        result.append(QStringView(AText).mid(copied, at - copied));
        result.append(FDynCurParserMethodALB);
        copied = at;
    }
    result.append(QStringView(AText).mid(copied));
    AText = std::move(result);
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

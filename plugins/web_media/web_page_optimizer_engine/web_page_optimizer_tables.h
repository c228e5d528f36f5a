#pragma once

// The fixed tables of the page packer: protected regions, block tags, and one table per code
// language, with the searches the code passes run over them. Everything here is constant once
// built.

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer.h"

// The deletion mark a pass puts in place of each character it removes.
inline constexpr char16_t KWpoDeleteMark = 0x0008;

inline char16_t WpoAsciiLower(char16_t AChar) {
    return (AChar >= u'A' && AChar <= u'Z') ? char16_t(AChar + (u'a' - u'A')) : AChar;
}

// Whether AMarker stands at APos. Markers are compared one character at a time; with
// AIgnoreCase only the letters A-Z fold, so no character changes length and every position
// keeps its meaning.
inline bool WpoMarkerAt(const QString& AText, qsizetype APos, const QString& AMarker,
                        bool AIgnoreCase) {
    const qsizetype length = AMarker.size();
    if (APos < 0 || length > AText.size() - APos)
        return false;
    const char16_t* text = reinterpret_cast<const char16_t*>(AText.constData()) + APos;
    const char16_t* marker = reinterpret_cast<const char16_t*>(AMarker.constData());
    for (qsizetype k = 0; k < length; ++k) {
        const char16_t c = AIgnoreCase ? WpoAsciiLower(text[k]) : text[k];
        const char16_t m = AIgnoreCase ? WpoAsciiLower(marker[k]) : marker[k];
        if (c != m)
            return false;
    }
    return true;
}

// Whether a protected region or an HTML comment may start at APos: every start marker is "<"
// and one of "%@j?!spt" (either case). Lets the scans pass most tags without trying the table.
inline bool WpoMayStartRegion(const char16_t* AText, qsizetype APos, qsizetype ASize) {
    if (AText[APos] != u'<' || APos + 1 >= ASize)
        return false;
    switch (WpoAsciiLower(AText[APos + 1])) {
        case u'%':
        case u'@':
        case u'j':
        case u'?':
        case u'!':
        case u's':
        case u'p':
        case u't':
            return true;
        default:
            return false;
    }
}
// The first position from AFrom where AMarker stands, or -1.
qsizetype WpoFindMarker(const QString& AText, const QString& AMarker, qsizetype AFrom,
                        bool AIgnoreCase);

struct TqvWPOregion {
    QString Start;
    QString End;
};

// The protected regions in the order they are tried, and their numbers.
const std::vector<TqvWPOregion>& WpoRegions();
enum TqvWPOregionIndex : int {
    wporWholeText = -1,  // no region: a whole file packed by one code pass
    wporAsp = 0,
    wporAspComment,
    wporAspDirective,
    wporJspTag,
    wporXml,
    wporPhp,
    wporShortPhp,
    wporServerSideInclude,
    wporScript,
    wporPre,
    wporTextarea  // without its end marker it runs to the end of the text
};

// Where a protected region that starts at a position lies.
struct TqvWPOregionSpan {
    int Region = -1;
    qsizetype InnerStart = -1;  // after the start marker
    qsizetype InnerEnd = -1;    // the end marker, or the end of the text
    qsizetype After = -1;       // after the end marker
};
// The protected region starting at APos, if one does. Raises EqvTagMatchError when its end
// marker is missing (a textarea without its end runs to the end of the text instead).
std::optional<TqvWPOregionSpan> WpoFindRegionAt(const QString& AText, qsizetype APos);

// Long and short tag names for the short-tag conversion (none).
const std::vector<std::pair<QString, QString>>& WpoShortTags();

// The earliest occurrence, from a position, of any entry of several ordered lists: the smallest
// start wins; at one start the list named first, and in it the entry listed first.
class TqvWPOmultiSearch {
public:
    struct TList {
        QStringList Entries;
        bool IgnoreCase = false;
    };
    struct THit {
        int List = -1;
        int Entry = -1;
        qsizetype Start = -1;
        qsizetype End = -1;  // the position right after the entry
    };

    TqvWPOmultiSearch() = default;
    explicit TqvWPOmultiSearch(std::vector<TList> ALists);
    std::optional<THit> Find(const QString& AText, qsizetype AFrom) const;

private:
    std::vector<TList> FLists;
    // Entries are ASCII: a position whose character starts no entry is passed at once.
    std::array<bool, 128> FFirstChars{};
};

struct TqvWPOlanguageTable {
    TqvWPOcurrentLanguage Language = wpoclNone;
    QStringList OutputFuncPrefixes;
    QStringList OutputFuncNames;
    QStringList OutputFuncSuffixes;
    QStringList StatementEnds;
    QStringList ArgumentEnds;
    QStringList StringDelimiters;
    QStringList EscapeStrings;
    // Parallel to StringDelimiters: comma-separated indexes into EscapeStrings; empty for none.
    QStringList DelimiterEscapes;
    QStringList ConcatOperators;
    std::vector<std::pair<QString, QString>> CommentPairs;
    bool LineBreakIsRaw = false;
    QString LineBreakText;
    bool OutputFuncNamesCaseSensitive = false;
    // The operator the inserted line break joins the literal with ("." Perl, "+" JSP, "&"
    // VBScript): the plain one, not an assignment form.
    QString LineBreakConcatOperator;
    // A comment without its end runs to the end of the text instead of raising (PHP).
    bool UnterminatedCommentToEnd = false;
    // The line break that ends a comment stays (VBScript, where it ends the statement).
    bool KeepsCommentLineBreak = false;

    // Built from the lists above.
    QStringList CommentStarts;  // one per pair, in pair order
    // For each pair: the end markers of every pair with the same start, in pair order.
    std::vector<TqvWPOmultiSearch> CommentEndSearch;
    // For each delimiter: the escape strings that escape it.
    std::vector<QStringList> EscapesOfDelimiter;
    qsizetype LongestSuffix = 0;
    TqvWPOmultiSearch MainSearch;     // comment starts, delimiters, output names, statement ends
    TqvWPOmultiSearch LiteralSearch;  // delimiters, comment starts
    TqvWPOmultiSearch JoinSearch;     // concatenation, comment starts, statement and argument ends
};

enum TqvWPOmainList : int { wpomComment, wpomDelimiter, wpomOutputName, wpomStatementEnd };
enum TqvWPOliteralList : int { wpolDelimiter, wpolComment };
enum TqvWPOjoinList : int { wpojConcat, wpojComment, wpojStatementEnd, wpojArgumentEnd };

const TqvWPOlanguageTable& WpoPhpTable();
const TqvWPOlanguageTable& WpoPerlTable();
const TqvWPOlanguageTable& WpoJspTable();
const TqvWPOlanguageTable& WpoAspVbTable();
const TqvWPOlanguageTable& WpoCssTable();

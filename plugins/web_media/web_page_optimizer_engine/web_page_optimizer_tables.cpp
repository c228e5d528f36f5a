#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer_tables.h"

namespace {

QString S(const char* AText) {
    return QString::fromLatin1(AText);
}

const QString KCrLf = QStringLiteral("\r\n");
const QString KLf = QStringLiteral("\n");
const QString KCr = QStringLiteral("\r");
const QString KTab = QStringLiteral("\t");
const QString KSpace = QStringLiteral(" ");

// Fills the derived members of a language table from its lists.
TqvWPOlanguageTable Finish(TqvWPOlanguageTable ATable) {
    TqvWPOlanguageTable& t = ATable;
    for (const auto& [start, end] : t.CommentPairs)
        t.CommentStarts << start;
    for (const auto& [start, end] : t.CommentPairs) {
        QStringList ends;
        for (const auto& [otherStart, otherEnd] : t.CommentPairs) {
            if (otherStart == start)
                ends << otherEnd;
        }
        t.CommentEndSearch.emplace_back(std::vector<TqvWPOmultiSearch::TList>{{ends, false}});
    }
    for (qsizetype k = 0; k < t.StringDelimiters.size(); ++k) {
        QStringList escapes;
        const QString indexes =
            k < t.DelimiterEscapes.size() ? t.DelimiterEscapes.at(k) : QString();
        for (const QString& index : indexes.split(u',', Qt::SkipEmptyParts)) {
            bool ok = false;
            const int i = index.trimmed().toInt(&ok);
            if (ok && i >= 0 && i < t.EscapeStrings.size())
                escapes << t.EscapeStrings.at(i);
        }
        t.EscapesOfDelimiter.push_back(escapes);
    }
    for (const QString& suffix : t.OutputFuncSuffixes)
        t.LongestSuffix = std::max(t.LongestSuffix, suffix.size());
    t.MainSearch = TqvWPOmultiSearch({{t.CommentStarts, false},
                                      {t.StringDelimiters, false},
                                      {t.OutputFuncNames, !t.OutputFuncNamesCaseSensitive},
                                      {t.StatementEnds, false}});
    t.LiteralSearch = TqvWPOmultiSearch({{t.StringDelimiters, false}, {t.CommentStarts, false}});
    t.JoinSearch = TqvWPOmultiSearch({{t.ConcatOperators, false},
                                      {t.CommentStarts, false},
                                      {t.StatementEnds, false},
                                      {t.ArgumentEnds, false}});
    return ATable;
}

const QStringList KWhitePrefixes = {KCrLf, KLf, KCr, KTab, KSpace};
const QStringList KCallSuffixes = {KCrLf, KLf, KCr, KTab, KSpace, S("(")};

}  // namespace

qsizetype WpoFindMarker(const QString& AText, const QString& AMarker, qsizetype AFrom,
                        bool AIgnoreCase) {
    if (AMarker.isEmpty())
        return AFrom <= AText.size() ? AFrom : -1;
    const QChar first = AMarker.at(0);
    const char16_t c = first.unicode();
    const bool folds = AIgnoreCase && ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'));
    for (qsizetype pos = AFrom; pos >= 0 && pos <= AText.size() - AMarker.size();) {
        if (!folds) {
            // Jump to the next occurrence of the first character (fast, vectorised).
            pos = AText.indexOf(first, pos);
            if (pos < 0 || pos > AText.size() - AMarker.size())
                return -1;
        }
        if (WpoMarkerAt(AText, pos, AMarker, AIgnoreCase))
            return pos;
        ++pos;
    }
    return -1;
}

const std::vector<TqvWPOregion>& WpoRegions() {
    static const std::vector<TqvWPOregion> regions = {
        {S("<%"), S("%>")},
        {S("<%--"), S("--%>")},
        {S("<@%"), S("%>")},
        {S("<jsp:"), S("/>")},
        {S("<?xml"), S("?>")},
        {S("<?php"), S("?>")},
        {S("<?"), S("?>")},
        {S("<!--#"), S("-->")},
        {S("<script"), S("</script>")},
        {S("<pre"), S("</pre>")},
        {S("<textarea"), S("</textarea>")},
    };
    return regions;
}

const std::vector<std::pair<QString, QString>>& WpoShortTags() {
    static const std::vector<std::pair<QString, QString>> none;
    return none;
}

TqvWPOmultiSearch::TqvWPOmultiSearch(std::vector<TList> ALists) : FLists(std::move(ALists)) {
    for (const TList& list : FLists) {
        for (const QString& entry : list.Entries) {
            if (entry.isEmpty() || entry.at(0).unicode() >= 128)
                continue;
            const char16_t c = entry.at(0).unicode();
            FFirstChars[c] = true;
            if (list.IgnoreCase) {
                FFirstChars[WpoAsciiLower(c)] = true;
                if (c >= u'a' && c <= u'z')
                    FFirstChars[c - (u'a' - u'A')] = true;
            }
        }
    }
}

std::optional<TqvWPOmultiSearch::THit> TqvWPOmultiSearch::Find(const QString& AText,
                                                               qsizetype AFrom) const {
    const char16_t* text = reinterpret_cast<const char16_t*>(AText.constData());
    const qsizetype size = AText.size();
    for (qsizetype pos = std::max<qsizetype>(AFrom, 0); pos < size; ++pos) {
        const char16_t c = text[pos];
        if (c >= 128 || !FFirstChars[c])
            continue;
        for (int l = 0; l < int(FLists.size()); ++l) {
            const TList& list = FLists[l];
            for (int e = 0; e < int(list.Entries.size()); ++e) {
                const QString& entry = list.Entries.at(e);
                if (!entry.isEmpty() && WpoMarkerAt(AText, pos, entry, list.IgnoreCase))
                    return THit{l, e, pos, pos + entry.size()};
            }
        }
    }
    return std::nullopt;
}

const TqvWPOlanguageTable& WpoPhpTable() {
    static const TqvWPOlanguageTable table = [] {
        TqvWPOlanguageTable t;
        t.Language = wpoclPhp;
        t.OutputFuncPrefixes = KWhitePrefixes + QStringList{S(";"), S("}"), QString()};
        t.OutputFuncNames = {S("print"), S("echo")};
        t.OutputFuncSuffixes = KCallSuffixes;
        t.StatementEnds = {S(";"), S(")")};
        t.ArgumentEnds = {S(";")};
        t.StringDelimiters = {S("\""), S("'")};
        t.EscapeStrings = {S("\\")};
        t.DelimiterEscapes = {S("0"), S("0")};
        t.ConcatOperators = {S(".="), S("."), S(",")};
        t.CommentPairs = {{S("#"), KCrLf}, {S("//"), KCrLf}, {S("#"), KLf},     {S("//"), KLf},
                          {S("#"), KCr},   {S("//"), KCr},   {S("/*"), S("*/")}};
        t.LineBreakIsRaw = true;
        t.LineBreakText = KCrLf;
        t.OutputFuncNamesCaseSensitive = false;
        t.UnterminatedCommentToEnd = true;
        return Finish(t);
    }();
    return table;
}

const TqvWPOlanguageTable& WpoPerlTable() {
    static const TqvWPOlanguageTable table = [] {
        TqvWPOlanguageTable t;
        t.Language = wpoclPerl;
        t.OutputFuncPrefixes = KWhitePrefixes + QStringList{S(";"), QString()};
        t.OutputFuncNames = {S("print")};
        t.OutputFuncSuffixes = KCallSuffixes;
        t.StatementEnds = {S(";"), S(")")};
        t.ArgumentEnds = {S(";")};
        t.StringDelimiters = {S("\""), S("'")};
        t.EscapeStrings = {S("\\")};
        t.DelimiterEscapes = {S("0"), QString()};
        t.ConcatOperators = {S(".="), S(".")};
        t.CommentPairs = {{S("# "), KCrLf}, {S("# "), KLf}, {S("# "), KCr}};
        t.LineBreakIsRaw = false;
        t.LineBreakText = S("\"\\n\"");
        t.OutputFuncNamesCaseSensitive = false;
        t.LineBreakConcatOperator = S(".");
        return Finish(t);
    }();
    return table;
}

const TqvWPOlanguageTable& WpoJspTable() {
    static const TqvWPOlanguageTable table = [] {
        TqvWPOlanguageTable t;
        t.Language = wpoclJsp;
        t.OutputFuncPrefixes = KWhitePrefixes + QStringList{S(";"), QString()};
        t.OutputFuncNames = {S("System.out.println"), S("out.println"), S("out.print")};
        t.OutputFuncSuffixes = KCallSuffixes;
        t.StatementEnds = {S(")")};
        t.ArgumentEnds = {S(";")};
        t.StringDelimiters = {S("\"")};
        t.EscapeStrings = {S("\\")};
        t.DelimiterEscapes = {S("0")};
        t.ConcatOperators = {S("+")};
        t.CommentPairs = {{S("//"), KCrLf}, {S("//"), KLf}, {S("//"), KCr}, {S("/*"), S("*/")}};
        t.LineBreakIsRaw = false;
        t.LineBreakText = S("\"\\n\"");
        t.OutputFuncNamesCaseSensitive = true;
        t.LineBreakConcatOperator = S("+");
        return Finish(t);
    }();
    return table;
}

const TqvWPOlanguageTable& WpoAspVbTable() {
    static const TqvWPOlanguageTable table = [] {
        TqvWPOlanguageTable t;
        t.Language = wpoclAspVb;
        t.OutputFuncPrefixes = KWhitePrefixes + QStringList{S(":"), QString()};
        t.OutputFuncNames = {S("response.write")};
        t.OutputFuncSuffixes = KCallSuffixes;
        t.StatementEnds = {S(":"), S(")")};
        t.ArgumentEnds = {KCrLf, KLf, KCr};
        t.StringDelimiters = {S("\"")};
        t.DelimiterEscapes = {QString()};
        t.ConcatOperators = {S("&="), S("&")};
        t.CommentPairs = {{S("'"), KCrLf}, {S("'"), KLf}, {S("'"), KCr}};
        t.LineBreakIsRaw = false;
        t.LineBreakText = S(" vbCrLf ");
        t.OutputFuncNamesCaseSensitive = false;
        t.LineBreakConcatOperator = S("&");
        // The line break after a comment ends a VBScript statement; without it the statements
        // before and after the comment would run together.
        t.KeepsCommentLineBreak = true;
        return Finish(t);
    }();
    return table;
}

const TqvWPOlanguageTable& WpoCssTable() {
    static const TqvWPOlanguageTable table = [] {
        TqvWPOlanguageTable t;
        t.Language = wpoclCss;
        t.OutputFuncPrefixes = {S(";"), KSpace};
        t.OutputFuncSuffixes = {S("{")};
        t.StatementEnds = {S("}")};
        t.ArgumentEnds = {S(";")};
        // Block comments are removed; quoted strings are walked over so that a "/*" inside one
        // (in a content or url value) does not start a comment.
        t.StringDelimiters = {S("\""), S("'")};
        t.EscapeStrings = {S("\\")};
        t.DelimiterEscapes = {S("0"), S("0")};
        t.CommentPairs = {{S("/*"), S("*/")}};
        t.LineBreakIsRaw = false;
        t.OutputFuncNamesCaseSensitive = false;
        return Finish(t);
    }();
    return table;
}

#include "plugins/text_files/text_helpers/regex_facility.h"

#include <QRegularExpressionMatch>
#include <QStringView>

#include <algorithm>

#include "base/exceptions.h"
#include "plugins/text_files/text_helpers/text_replace.h"

namespace {

constexpr char16_t SmallA = u'а';     // U+0430
constexpr char16_t SmallYa = u'я';    // U+044F
constexpr char16_t CapitalA = u'А';   // U+0410
constexpr char16_t CapitalYa = u'Я';  // U+042F
constexpr char16_t SmallYo = u'ё';    // U+0451
constexpr char16_t CapitalYo = u'Ё';  // U+0401

// One item of a character class: where it ends, the character it stands for when it is typed
// as itself, and whether it may begin a range (a class such as \d or [:alpha:] may not).
struct TClassItem {
    qsizetype End = 0;
    char16_t Literal = 0;
    bool CanBeginRange = false;
};

// The position just after the "}" closing a braced escape argument, or the pattern's end.
qsizetype AfterClosingBrace(QStringView APattern, qsizetype AFrom) {
    const qsizetype close = APattern.indexOf(u'}', AFrom);
    return close < 0 ? APattern.size() : close + 1;
}

// The position after a \Q...\E quote that starts at AFrom; an unclosed quote runs to the end.
qsizetype AfterQuote(QStringView APattern, qsizetype AFrom) {
    const qsizetype close = APattern.indexOf(u"\\E", AFrom + 2);
    return close < 0 ? APattern.size() : close + 2;
}

// Reads the escape sequence at AFrom (which holds the backslash) inside a class.
TClassItem ReadClassEscape(QStringView APattern, qsizetype AFrom) {
    const qsizetype size = APattern.size();
    if (AFrom + 1 >= size) {
        return {size, 0, false};
    }
    const char16_t letter = APattern.at(AFrom + 1).unicode();
    const bool braced = AFrom + 2 < size && APattern.at(AFrom + 2) == u'{';
    switch (letter) {
        case u'Q':
            return {AfterQuote(APattern, AFrom), 0, false};
        case u'p':
        case u'P':
            return {braced ? AfterClosingBrace(APattern, AFrom + 2) : std::min(AFrom + 3, size), 0,
                    false};
        case u'd':
        case u'D':
        case u's':
        case u'S':
        case u'w':
        case u'W':
        case u'h':
        case u'H':
        case u'v':
        case u'V':
            return {AFrom + 2, 0, false};
        case u'x':
        case u'o':
        case u'N':
            if (braced) {
                return {AfterClosingBrace(APattern, AFrom + 2), 0, true};
            }
            break;
        case u'c':
            return {std::min(AFrom + 3, size), 0, true};
        default:
            break;
    }
    // A single escaped character, or the first character of a hex or octal escape whose
    // remaining digits are read as plain items; those are never Cyrillic letters, so reading
    // them apart cannot make a range of them.
    return {AFrom + 2, 0, true};
}

// Reads the class item at AFrom.
TClassItem ReadClassItem(QStringView APattern, qsizetype AFrom) {
    const qsizetype size = APattern.size();
    const QChar ch = APattern.at(AFrom);
    if (ch == u'\\') {
        return ReadClassEscape(APattern, AFrom);
    }
    if (ch == u'[' && AFrom + 1 < size) {
        // [:name:], [.x.] and [=x=] are one item when their closing pair comes before any "]".
        const QChar kind = APattern.at(AFrom + 1);
        if (kind == u':' || kind == u'.' || kind == u'=') {
            const qsizetype close = APattern.indexOf(u']', AFrom + 2);
            if (close > AFrom + 2 && APattern.at(close - 1) == kind) {
                return {close + 1, 0, false};
            }
        }
    }
    if (ch.isHighSurrogate() && AFrom + 1 < size && APattern.at(AFrom + 1).isLowSurrogate()) {
        return {AFrom + 2, 0, true};
    }
    return {AFrom + 1, ch.unicode(), true};
}

// Copies the class that opens at AFrom into AOut, adding ё and Ё to the Russian ranges.
// Returns the position after the class.
qsizetype CopyClass(QStringView APattern, qsizetype AFrom, QString& AOut,
                    std::vector<qsizetype>* AAdded) {
    const qsizetype size = APattern.size();
    const auto add = [&](char16_t ALetter) {
        if (AAdded != nullptr) {
            AAdded->push_back(AOut.size());
        }
        AOut += QChar(ALetter);
    };
    qsizetype pos = AFrom + 1;
    if (pos < size && APattern.at(pos) == u'^') {
        ++pos;
    }
    AOut += APattern.mid(AFrom, pos - AFrom);
    bool first = true;
    while (pos < size) {
        if (!first && APattern.at(pos) == u']') {
            AOut += u']';
            return pos + 1;
        }
        const TClassItem from = ReadClassItem(APattern, pos);
        first = false;
        const qsizetype hyphen = from.End;
        const bool isRange = from.CanBeginRange && hyphen + 1 < size &&
                             APattern.at(hyphen) == u'-' && APattern.at(hyphen + 1) != u']';
        if (!isRange) {
            AOut += APattern.mid(pos, from.End - pos);
            pos = from.End;
            continue;
        }
        const TClassItem to = ReadClassItem(APattern, hyphen + 1);
        if (from.Literal == SmallA && to.Literal == CapitalYa) {
            // Out of order for the engine; meant is every letter of both cases.
            AOut += QChar(CapitalA);
            AOut += u'-';
            AOut += QChar(SmallYa);
            add(CapitalYo);
            add(SmallYo);
        } else {
            AOut += APattern.mid(pos, to.End - pos);
            if (from.Literal == SmallA && to.Literal == SmallYa) {
                add(SmallYo);
            } else if (from.Literal == CapitalA && to.Literal == CapitalYa) {
                add(CapitalYo);
            } else if (from.Literal == CapitalA && to.Literal == SmallYa) {
                add(CapitalYo);
                add(SmallYo);
            }
        }
        pos = to.End;
        // A hyphen right after a range is a plain character.
        if (pos < size && APattern.at(pos) == u'-') {
            AOut += u'-';
            ++pos;
        }
    }
    return pos;
}

// The end of the piece at AFrom outside any class: an escape (a \Q...\E quote as a whole), a
// comment, or one character.
qsizetype SkipOutsideClass(QStringView APattern, qsizetype AFrom, bool AExtended) {
    const qsizetype size = APattern.size();
    const QChar ch = APattern.at(AFrom);
    if (ch == u'\\') {
        if (AFrom + 1 < size && APattern.at(AFrom + 1) == u'Q') {
            return AfterQuote(APattern, AFrom);
        }
        return std::min(AFrom + 2, size);
    }
    if (ch == u'(' && APattern.mid(AFrom).startsWith(u"(?#")) {
        const qsizetype close = APattern.indexOf(u')', AFrom);
        return close < 0 ? size : close + 1;
    }
    if (AExtended && ch == u'#') {
        qsizetype end = AFrom + 1;
        while (end < size && APattern.at(end) != u'\n' && APattern.at(end) != u'\r') {
            ++end;
        }
        return end;
    }
    return AFrom + 1;
}

TRegexMatch ToRegexMatch(const QRegularExpressionMatch& AMatch) {
    TRegexMatch match;
    match.HighestGroup = std::max(0, AMatch.lastCapturedIndex());
    match.Groups.reserve(match.HighestGroup + 1);
    for (int group = 0; group <= match.HighestGroup; ++group) {
        match.Groups.append(AMatch.captured(group));
    }
    return match;
}

// The engine cannot search text with unpaired surrogates (it would report no match at all),
// so such text is refused instead of being passed over silently.
void RequireValidUtf16(const QString& AText) {
    if (!QStringView(AText).isValidUtf16()) {
        throw EqvOperationNotPossible(
            QStringLiteral("The text holds an unpaired UTF-16 surrogate and cannot be searched "
                           "with a regular expression."));
    }
}

[[noreturn]] void ThrowSearchFailed(const QString& APattern) {
    throw EqvOperationNotPossible(
        QStringLiteral("The regular expression \"%1\" could not finish searching the text "
                       "(the engine gave up, for example after too much backtracking).")
            .arg(APattern));
}

}  // namespace

void TRegexModifiers::Apply(const QString& AModifiers) {
    TRegexModifiers result = *this;
    bool switchOn = true;
    for (const QChar ch : AModifiers) {
        bool* flag = nullptr;
        switch (ch.unicode()) {
            case u'-':
                switchOn = false;
                continue;
            case u'i':
            case u'I':
                flag = &result.IgnoreCase;
                break;
            case u'r':
            case u'R':
                flag = &result.RussianRanges;
                break;
            case u's':
            case u'S':
                flag = &result.DotMatchesAll;
                break;
            case u'g':
            case u'G':
                flag = &result.Greedy;
                break;
            case u'm':
            case u'M':
                flag = &result.MultiLine;
                break;
            case u'x':
            case u'X':
                flag = &result.Extended;
                break;
            default:
                throw EqvParamWrong(
                    QStringLiteral("Unknown regular expression modifier \"%1\" in \"%2\"; only "
                                   "the letters i, r, s, g, m, x and \"-\" are allowed.")
                        .arg(QString(ch), AModifiers));
        }
        *flag = switchOn;
    }
    *this = result;
}

QString AddRussianYoToRanges(const QString& APattern, bool AExtended,
                             std::vector<qsizetype>* AAdded) {
    const QStringView pattern(APattern);
    QString out;
    out.reserve(pattern.size() + 8);
    qsizetype pos = 0;
    while (pos < pattern.size()) {
        if (pattern.at(pos) == u'[') {
            pos = CopyClass(pattern, pos, out, AAdded);
            continue;
        }
        const qsizetype next = SkipOutsideClass(pattern, pos, AExtended);
        out += pattern.mid(pos, next - pos);
        pos = next;
    }
    return out;
}

TRegexFacility::TRegexFacility(const QString& APattern, const QString& AModifiers)
    : FPattern(APattern) {
    FModifiers.Apply(AModifiers);
    FRegex = Compile(FPattern, FModifiers);
}

void TRegexFacility::ApplyModifiers(const QString& AModifiers) {
    TRegexModifiers modifiers = FModifiers;
    modifiers.Apply(AModifiers);
    FRegex = Compile(FPattern, modifiers);
    FModifiers = modifiers;
}

QRegularExpression TRegexFacility::Compile(const QString& APattern,
                                           const TRegexModifiers& AModifiers) {
    if (APattern.isEmpty()) {
        throw EqvParamWrong(QStringLiteral("The regular expression is empty."));
    }
    QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
    if (AModifiers.IgnoreCase) {
        options |= QRegularExpression::CaseInsensitiveOption;
    }
    if (AModifiers.DotMatchesAll) {
        options |= QRegularExpression::DotMatchesEverythingOption;
    }
    if (!AModifiers.Greedy) {
        options |= QRegularExpression::InvertedGreedinessOption;
    }
    if (AModifiers.MultiLine) {
        options |= QRegularExpression::MultilineOption;
    }
    if (AModifiers.Extended) {
        options |= QRegularExpression::ExtendedPatternSyntaxOption;
    }
    std::vector<qsizetype> added;
    const QString effective = AModifiers.RussianRanges
                                  ? AddRussianYoToRanges(APattern, AModifiers.Extended, &added)
                                  : APattern;
    QRegularExpression regex(effective, options);
    if (!regex.isValid()) {  // compiles the pattern now, before any thread shares it
        // The offset counts in the pattern the engine saw; the user knows the typed one.
        const qsizetype offset = regex.patternErrorOffset();
        const auto before = std::count_if(added.begin(), added.end(),
                                          [offset](qsizetype AAt) { return AAt < offset; });
        throw EqvParamWrong(
            QStringLiteral("The regular expression \"%1\" is not valid: %2 at "
                           "offset %3.")
                .arg(APattern, regex.errorString(), QString::number(offset - before)));
    }
    return regex;
}

bool TRegexFacility::Matches(const QString& AText) const {
    RequireValidUtf16(AText);
    const QRegularExpressionMatch match =
        FRegex.match(AText, 0, QRegularExpression::NormalMatch,
                     QRegularExpression::DontCheckSubjectStringMatchOption);
    if (!match.isValid()) {
        ThrowSearchFailed(FPattern);
    }
    return match.hasMatch();
}

QString TRegexFacility::ReplaceAll(const QString& AText, const TReplacer& AReplacer) const {
    // Checked once here: the engine would otherwise check the whole text again on every match.
    RequireValidUtf16(AText);
    const QStringView text(AText);
    QString result;
    qsizetype copied = 0;
    qsizetype searchFrom = 0;
    bool replacedAny = false;
    while (searchFrom <= text.size()) {
        const QRegularExpressionMatch match =
            FRegex.match(AText, searchFrom, QRegularExpression::NormalMatch,
                         QRegularExpression::DontCheckSubjectStringMatchOption);
        if (!match.isValid()) {
            ThrowSearchFailed(FPattern);
        }
        if (!match.hasMatch()) {
            break;
        }
        const qsizetype start = match.capturedStart(0);
        const qsizetype end = match.capturedEnd(0);
        result += text.mid(copied, start - copied);
        result += AReplacer(ToRegexMatch(match));
        replacedAny = true;
        copied = end;
        searchFrom = end;
        if (end == start) {
            if (start >= text.size()) {
                break;
            }
            // Resume one character further on; both halves of a surrogate pair go together, as
            // the engine cannot start inside one and the result must stay valid text.
            const bool pair = text.at(start).isHighSurrogate() && start + 1 < text.size() &&
                              text.at(start + 1).isLowSurrogate();
            searchFrom = start + (pair ? 2 : 1);
        }
    }
    if (!replacedAny) {
        return AText;
    }
    result += text.mid(copied);
    return result;
}

QString TRegexFacility::ReplaceAllWithTemplate(const QString& AText,
                                               const QString& ATemplate) const {
    return ReplaceAll(AText, [&ATemplate](const TRegexMatch& AMatch) {
        return ExpandReplaceTemplate(ATemplate, AMatch);
    });
}

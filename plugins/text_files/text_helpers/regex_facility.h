#pragma once

#include <QRegularExpression>
#include <QString>

#include <functional>
#include <vector>

#include "plugins/text_files/text_helpers/regex_match.h"

// The switches a modifier string sets; the defaults are those of a new expression.
struct TRegexModifiers {
    bool IgnoreCase = false;    // i
    bool RussianRanges = true;  // r: [а-я], [А-Я] and [а-Я] also take in ё and Ё
    bool DotMatchesAll = true;  // s: "." also matches line breaks
    bool Greedy = true;         // g: with it off, quantifiers take as little as possible
    bool MultiLine = false;     // m: "^" and "$" also match at line breaks inside the text
    bool Extended = false;      // x: white space and "#" comments in the pattern are ignored

    // Applies a modifier string such as "i", "ig-s" or "-rg": the letters i, r, s, g, m and x
    // in either case and "-". Letters before the first "-" are switched on, every letter after
    // it is switched off; nothing switches a letter back on. Any other character raises
    // EqvParamWrong naming it, and then nothing is changed.
    void Apply(const QString& AModifiers);

    bool operator==(const TRegexModifiers&) const = default;
};

// A compiled regular expression of the text plugins' dialect (Perl-style syntax, with Unicode
// letters for \w, \b and the POSIX classes). Once built it is only read, and QRegularExpression
// compiles under its own lock and matches with per-thread state, so one object may be used from
// several threads at once. Replacements keep their state on the caller's stack.
class TRegexFacility {
public:
    using TReplacer = std::function<QString(const TRegexMatch&)>;

    // Compiles APattern with the default modifiers changed by AModifiers. An unknown modifier
    // letter, an empty pattern or a pattern that does not compile raises EqvParamWrong; for the
    // last, the message holds the engine's error text and the offset in the pattern.
    explicit TRegexFacility(const QString& APattern, const QString& AModifiers = QString());

    // Applies further modifier letters and compiles again. On error the object is unchanged.
    // Not to be called while other threads use the object.
    void ApplyModifiers(const QString& AModifiers);

    const QString& Pattern() const { return FPattern; }
    const TRegexModifiers& Modifiers() const { return FModifiers; }

    // Whether the expression matches anywhere in the text.
    bool Matches(const QString& AText) const;

    // Replaces every match by what AReplacer returns for it. Matches do not overlap and are
    // searched left to right; after an empty match the search resumes one character further
    // on (a surrogate pair counts as one character here, so it is never split). Text that is
    // not valid UTF-16, or a search the engine gives up on (too much backtracking), raises
    // EqvOperationNotPossible rather than leaving the text partly replaced.
    QString ReplaceAll(const QString& AText, const TReplacer& AReplacer) const;

    // Replaces every match by ExpandReplaceTemplate(ATemplate, match).
    QString ReplaceAllWithTemplate(const QString& AText, const QString& ATemplate) const;

private:
    static QRegularExpression Compile(const QString& APattern, const TRegexModifiers& AModifiers);

    QString FPattern;
    TRegexModifiers FModifiers;
    QRegularExpression FRegex;
};

// The character classes of APattern rewritten so that the ranges а-я, А-Я and а-Я take in ё and
// Ё: "ё" is added after а-я, "Ё" after А-Я, "Ёё" after А-я, and а-Я, which the engine would
// reject as out of order, becomes А-яЁё. Escapes, \Q...\E, POSIX classes such as [:alpha:]
// and comments ("(?#...)", and "#" to the line end when AExtended) are stepped over. AAdded,
// when given, receives the positions in the result of the added characters, so that an error
// offset can be mapped back to the pattern the user typed.
QString AddRussianYoToRanges(const QString& APattern, bool AExtended,
                             std::vector<qsizetype>* AAdded = nullptr);

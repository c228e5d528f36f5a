#include "plugins/text_files/text_helpers/text_replace.h"

#include <QLocale>
#include <QStringView>

#include <algorithm>
#include <vector>

namespace {

const QString Backslash = QStringLiteral("\\");

// Copies the text between the occurrences that AFind reports and puts the replacement in their
// place. AFind(from) returns the start of the next occurrence at or after from, or -1.
template <typename TFind>
QString ReplaceOccurrences(const QString& AText, qsizetype AMatchLength,
                           const QString& AReplacement, TFind AFind) {
    QString result;
    qsizetype copied = 0;
    for (qsizetype found = AFind(0); found >= 0; found = AFind(copied)) {
        result += QStringView(AText).mid(copied, found - copied);
        result += AReplacement;
        copied = found + AMatchLength;
    }
    if (copied == 0) {
        return AText;
    }
    result += QStringView(AText).mid(copied);
    return result;
}

// Replaces the first four escapes of the table: \r, \n, \t and \f.
QString ExpandControlEscapes(const QString& AText) {
    QString text = ExpandEscapedKey(AText, QStringLiteral("\r"), QStringLiteral("r"));
    text = ExpandEscapedKey(text, QStringLiteral("\n"), QStringLiteral("n"));
    text = ExpandEscapedKey(text, QStringLiteral("\t"), QStringLiteral("t"));
    return ExpandEscapedKey(text, QStringLiteral("\f"), QStringLiteral("f"));
}

}  // namespace

QString ReplaceAllText(const QString& AText, const QString& AMatch, const QString& AReplacement,
                       bool AIgnoreCase) {
    if (AMatch.isEmpty() || AMatch == AReplacement) {
        return AText;
    }
    if (!AIgnoreCase) {
        return ReplaceOccurrences(AText, AMatch.size(), AReplacement, [&](qsizetype AFrom) {
            return AText.indexOf(AMatch, AFrom, Qt::CaseSensitive);
        });
    }
    const QLocale locale;
    const QString upperText = locale.toUpper(AText);
    const QString upperMatch = locale.toUpper(AMatch);
    // Upper-casing never shortens text, only lengthens it ("ß" becomes "SS"). When both keep
    // their length every code unit maps to one code unit, so a position found in the upper-cased
    // text is the same position in the original and the pieces can be cut from it.
    if (upperText.size() == AText.size() && upperMatch.size() == AMatch.size()) {
        return ReplaceOccurrences(AText, AMatch.size(), AReplacement, [&](qsizetype AFrom) {
            return upperText.indexOf(upperMatch, AFrom, Qt::CaseSensitive);
        });
    }
    // Otherwise positions in the upper-cased text no longer line up with the original, and cutting
    // there would damage the text. A comparison by simple case folding keeps positions and
    // lengths, at the price of the locale's special rules for these few texts.
    return ReplaceOccurrences(AText, AMatch.size(), AReplacement, [&](qsizetype AFrom) {
        return AText.indexOf(AMatch, AFrom, Qt::CaseInsensitive);
    });
}

QString ExpandEscapedKey(const QString& AText, const QString& AValue, const QString& AKey,
                         QChar AEscapeChar) {
    const qsizetype keyLength = AKey.size();
    // Every expansion needs an escape character, and most texts hold none.
    if (keyLength == 0 || AText.size() <= keyLength || !AText.contains(AEscapeChar)) {
        return AText;
    }
    const QStringView text(AText);
    // The result is built from its end: pieces are collected back to front and joined at the
    // end. Everything at or after `limit` has been emitted already; the key is only compared
    // with text before it, so an inserted value is never part of a later comparison.
    std::vector<QStringView> pieces;
    qsizetype limit = text.size();
    qsizetype pos = limit - keyLength;
    while (pos >= 0) {
        if (text.at(pos) == AKey.at(0) && text.mid(pos, keyLength) == AKey) {
            qsizetype runStart = pos;
            while (runStart > 0 && text.at(runStart - 1) == AEscapeChar) {
                --runStart;
            }
            if ((pos - runStart) % 2 == 1) {
                pieces.push_back(text.mid(pos + keyLength, limit - pos - keyLength));
                pieces.push_back(AValue);
                limit = runStart;
                pos = runStart - keyLength;
                continue;
            }
        }
        --pos;
    }
    if (pieces.empty()) {
        return AText;
    }
    pieces.push_back(text.left(limit));
    QString result;
    qsizetype length = 0;
    for (const QStringView piece : pieces) {
        length += piece.size();
    }
    result.reserve(length);
    std::for_each(pieces.rbegin(), pieces.rend(), [&](QStringView APiece) { result += APiece; });
    return result;
}

QString ExpandSimpleEscapes(const QString& AText) {
    return ExpandEscapedKey(ExpandControlEscapes(AText), Backslash, Backslash);
}

QString ExpandReplaceTemplate(const QString& ATemplate, const TRegexMatch& AMatch) {
    QString text = ExpandControlEscapes(ATemplate);
    // Downwards, so that a reference to group 12 is taken whole before the pass for group 1
    // could read it as group 1 followed by "2".
    for (int group = AMatch.HighestGroup; group >= 1; --group) {
        text = ExpandEscapedKey(text, AMatch.Group(group), QString::number(group));
    }
    return ExpandEscapedKey(text, Backslash, Backslash);
}

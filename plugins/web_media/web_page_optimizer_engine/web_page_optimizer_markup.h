#pragma once

// How the packer reads HTML markup where white space around and inside tags is concerned: where
// a tag starts and ends (as a browser's tokenizer finds it), and what an element does to the
// white space beside it. Only what can be decided for certain counts; anything unknown is
// treated as visible, so its white space stays.

#include <QtGlobal>

#include <cstdint>
#include <string_view>

// What an element's tags do to the white space next to them.
enum TqvWPOtagClass : std::uint8_t {
    wpotBlock,   // starts or ends a line box (block and table elements, br)
    wpotHidden,  // renders nothing (head content, html/head/body tags, declarations)
    wpotInline,  // an inline element whose tags render nothing: white space passes through
    wpotOther    // renders something or is unknown: white space beside it may show
};

// ALowerName: the tag name in ASCII lower case.
TqvWPOtagClass WpoTagClass(std::u16string_view ALowerName);
// Elements whose content is text up to their end tag, never markup (style, title, ...).
bool WpoIsRawTextElement(std::u16string_view ALowerName);
// Elements before whose start tag a line break takes the place of a space (p, div, menu, ul,
// ol, li).
bool WpoIsLineBreakElement(std::u16string_view ALowerName);

inline bool WpoIsHtmlSpace(char16_t AChar) {
    return AChar == u' ' || AChar == u'\t' || AChar == u'\n' || AChar == u'\r' || AChar == u'\f';
}

inline bool WpoIsAsciiLetter(char16_t AChar) {
    return (AChar >= u'a' && AChar <= u'z') || (AChar >= u'A' && AChar <= u'Z');
}

// One start or end tag as found at a "<".
struct TqvWPOtag {
    qsizetype Close = -1;      // its closing ">"
    qsizetype NameStart = -1;  // the first character of its name
    qsizetype NameEnd = -1;
    bool EndTag = false;
};

// Finds the end of the start or end tag whose "<" stands at APos ("<" and an ASCII letter, or
// "</" and one): the first ">" outside a quoted attribute value, where quotes open a value only
// after "=", as a browser reads them. Returns false when no tag starts there, when it has no end,
// or when ARegionAt says a protected region starts at a "<" inside it (the region, which the
// other passes skip whole, wins).
template <class TRegionAt>
bool WpoScanTag(const char16_t* AText, qsizetype APos, qsizetype ASize, TRegionAt ARegionAt,
                TqvWPOtag& ATag) {
    qsizetype i = APos + 1;
    ATag.EndTag = i < ASize && AText[i] == u'/';
    if (ATag.EndTag)
        ++i;
    if (i >= ASize || !WpoIsAsciiLetter(AText[i]))
        return false;
    ATag.NameStart = i;
    enum { KBeforeName, KName, KAfterName, KBeforeValue, KQuoted, KAfterQuoted, KUnquoted };
    int state = -1;  // the tag name
    char16_t quote = 0;
    for (; i < ASize; ++i) {
        const char16_t c = AText[i];
        if (c == u'<' && ARegionAt(i))
            return false;
        const bool space = WpoIsHtmlSpace(c);
        switch (state) {
            case -1:
                if (space || c == u'/' || c == u'>') {
                    ATag.NameEnd = i;
                    if (c == u'>') {
                        ATag.Close = i;
                        return true;
                    }
                    state = KBeforeName;
                }
                break;
            case KBeforeName:
                // "/" before anything but ">" is dropped: the scan goes on as before a name.
                if (c == u'>') {
                    ATag.Close = i;
                    return true;
                }
                if (!space && c != u'/')
                    state = KName;  // also "=": it begins a name here
                break;
            case KName:
                if (c == u'>') {
                    ATag.Close = i;
                    return true;
                }
                if (space)
                    state = KAfterName;
                else if (c == u'/')
                    state = KBeforeName;
                else if (c == u'=')
                    state = KBeforeValue;
                break;
            case KAfterName:
                if (c == u'>') {
                    ATag.Close = i;
                    return true;
                }
                if (c == u'/')
                    state = KBeforeName;
                else if (c == u'=')
                    state = KBeforeValue;
                else if (!space)
                    state = KName;
                break;
            case KBeforeValue:
                if (c == u'>') {
                    ATag.Close = i;
                    return true;
                }
                if (c == u'"' || c == u'\'') {
                    quote = c;
                    state = KQuoted;
                } else if (!space) {
                    state = KUnquoted;
                }
                break;
            case KQuoted:
                if (c == quote)
                    state = KAfterQuoted;
                break;
            case KAfterQuoted:
                if (c == u'>') {
                    ATag.Close = i;
                    return true;
                }
                state = KBeforeName;
                if (!space && c != u'/')
                    state = KName;
                break;
            case KUnquoted:
                if (c == u'>') {
                    ATag.Close = i;
                    return true;
                }
                if (space)
                    state = KBeforeName;
                break;
        }
    }
    return false;  // a tag cut off by the end of the text is no tag
}

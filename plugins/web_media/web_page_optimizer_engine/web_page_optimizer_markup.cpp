#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer_markup.h"

#include <algorithm>
#include <array>

namespace {

using namespace std::string_view_literals;

// Each list sorted, for a binary search.
constexpr std::array KBlock = {
    u"address"sv,   u"article"sv, u"aside"sv,    u"blockquote"sv, u"br"sv,       u"caption"sv,
    u"center"sv,    u"col"sv,     u"colgroup"sv, u"dd"sv,         u"details"sv,  u"dialog"sv,
    u"dir"sv,       u"div"sv,     u"dl"sv,       u"dt"sv,         u"fieldset"sv, u"figcaption"sv,
    u"figure"sv,    u"footer"sv,  u"form"sv,     u"frame"sv,      u"frameset"sv, u"h1"sv,
    u"h2"sv,        u"h3"sv,      u"h4"sv,       u"h5"sv,         u"h6"sv,       u"header"sv,
    u"hgroup"sv,    u"hr"sv,      u"legend"sv,   u"li"sv,         u"listing"sv,  u"main"sv,
    u"menu"sv,      u"nav"sv,     u"ol"sv,       u"optgroup"sv,   u"option"sv,   u"p"sv,
    u"plaintext"sv, u"pre"sv,     u"search"sv,   u"section"sv,    u"summary"sv,  u"table"sv,
    u"tbody"sv,     u"td"sv,      u"tfoot"sv,    u"th"sv,         u"thead"sv,    u"tr"sv,
    u"ul"sv,        u"xmp"sv};

// Rendering nothing wherever they stand. Not noscript: it shows when scripts are off. The
// html, head and body tags too: a browser ignores them in the middle of a page, and the head's
// content lies at the start of the page, where a line begins anyway.
constexpr std::array KHidden = {u"base"sv, u"body"sv,  u"head"sv,     u"html"sv, u"link"sv,
                                u"meta"sv, u"style"sv, u"template"sv, u"title"sv};

// Inline elements whose tags add nothing visible by themselves. Not q (it draws quotation
// marks), nor replaced or form elements (img, input, button, ...).
constexpr std::array KInline = {
    u"a"sv,      u"abbr"sv,   u"acronym"sv, u"b"sv,    u"bdi"sv,  u"bdo"sv,  u"big"sv,   u"cite"sv,
    u"code"sv,   u"data"sv,   u"del"sv,     u"dfn"sv,  u"em"sv,   u"font"sv, u"i"sv,     u"ins"sv,
    u"kbd"sv,    u"label"sv,  u"mark"sv,    u"nobr"sv, u"s"sv,    u"samp"sv, u"small"sv, u"span"sv,
    u"strike"sv, u"strong"sv, u"sub"sv,     u"sup"sv,  u"time"sv, u"tt"sv,   u"u"sv,     u"var"sv};

// Script and textarea are protected regions; they are listed for a start tag the region table
// does not take (too close to the end of the text).
constexpr std::array KRawText = {u"iframe"sv,   u"listing"sv,   u"noembed"sv, u"noframes"sv,
                                 u"noscript"sv, u"plaintext"sv, u"script"sv,  u"style"sv,
                                 u"textarea"sv, u"title"sv,     u"xmp"sv};

constexpr std::array KLineBreak = {u"div"sv, u"li"sv, u"menu"sv, u"ol"sv, u"p"sv, u"ul"sv};

template <std::size_t N>
constexpr bool Sorted(const std::array<std::u16string_view, N>& AList) {
    for (std::size_t i = 1; i < N; ++i)
        if (!(AList[i - 1] < AList[i]))
            return false;
    return true;
}
static_assert(Sorted(KBlock) && Sorted(KHidden) && Sorted(KInline) && Sorted(KRawText) &&
              Sorted(KLineBreak));

template <std::size_t N>
bool In(const std::array<std::u16string_view, N>& AList, std::u16string_view AName) {
    return std::binary_search(AList.begin(), AList.end(), AName);
}

}  // namespace

TqvWPOtagClass WpoTagClass(std::u16string_view ALowerName) {
    if (In(KBlock, ALowerName))
        return wpotBlock;
    if (In(KInline, ALowerName))
        return wpotInline;
    if (In(KHidden, ALowerName))
        return wpotHidden;
    return wpotOther;
}

bool WpoIsRawTextElement(std::u16string_view ALowerName) {
    return In(KRawText, ALowerName);
}

bool WpoIsLineBreakElement(std::u16string_view ALowerName) {
    return In(KLineBreak, ALowerName);
}

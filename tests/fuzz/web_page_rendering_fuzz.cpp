// The fuzz entry point that checks what packed pages show: a page is packed with the settings a
// new combination gets (HTML only, line breaks before block tags) and without the line breaks,
// and must show what it showed (the test oracle in tests/support) and never grow, also when the
// packer stops at a missing end marker. Input starting with "<" is a page as it is (UTF-8);
// any other input is read as choices that build a page from pieces real pages are made of:
// words, white space, inline and block tags, stray "<" and ">", values holding ">", comments,
// preformatted text, textareas (also without their end), scripts, head content, objects and
// server-side code.
#include <array>
#include <cstddef>
#include <cstdint>

#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/html_render_oracle.h"

namespace {

using TChoices = std::array<const char*, 8>;

const std::array<TChoices, 16> KPieces = {{
    {"a", "zpipe", "foo.txt", "be", "tter", "Hello", "0", "&lt;"},
    {" ", "\n", "\r\n  ", "\t", "  ", " \n ", "\r", " "},
    {"<b>", "<i>", "<span>", "<a href=\"x\">", "<span class='c  d'>", "<foo.txt>", "<EM>", "<a>"},
    {"</b>", "</i>", "</span>", "</a>", "</foo.txt>", "</EM >", "</b >", "</span\n>"},
    {"<p>", "</p>", "<div>", "</div>", "<li>", "<ul>", "<br>", "<td>"},
    {"<=", ">", " < ", " > ", "<>", "< b", "</ x>", "a<3"},
    {"<p title=\"Next >\" >", "<img src=a.png alt='1 > 0' >", "<br / >", "<input value=\"a  b\" >",
     "<p a\"b >", "<td align=right >", "<hr/>", "<table border=1 >"},
    {"<!-- c -->", "<!--#include virtual=\"/x\" -->", "<!---->", "<!DOCTYPE html>",
     "<!-- a > b -->", "<![CDATA[ x ]]>", "<!-- <p> -->", "<!--\n-->"},
    {"<pre>a</pre>", "<pre><b> x </b></pre>", "<PRE class=x>\n y  </PRE>",
     "<pre>  a  b\n < c > </pre>", "<pre>should be >= 0</pre>", "<pre>x <span>y</span> ></pre>",
     "<pre> </pre>", "<pre>\n\n</pre>"},
    {"<textarea>", "<textarea>a</textarea>", "<textarea name=t>a  b\n</textarea>", "<TEXTAREA>",
     "<textarea> <!-- x --> </textarea>", "<textareas>", "<textarea> < b > </textarea>",
     "<textarea/>"},
    {"<script>if (a < b) x = \"<p >\";</script>", "<script>f(  1 )</script>",
     "<script>\n<!--\n x  = 1;\n//--></script>", "<script type=x>  y  </script>",
     "<style>p > b { }</style>", "<title>a  b</title>", "<meta charset=utf-8>",
     "<link rel=x href=y>"},
    {"<img src=x>", "<input>", "<button>b</button>", "<q>q</q>", "<select><option>o</select>",
     "<wbr>", "<iframe src=x></iframe>", "<noscript>n</noscript>"},
    {"<?php echo '<b>x</b>'; ?>", "<% x %>", "<a href=\"<?php echo $u ?>\" >",
     "<?xml version=\"1.0\"?>", "<jsp:x a=\"1\" />", "<?php if ($a > 1) { ?>", "<? x ?>",
     "<%-- c --%>"},
    {"<html>", "<head>", "</head>", "<body>", "</body>", "</html>", "<h1>", "</h1>"},
    {"<table>", "<tr>", "</tr>", "</td>", "</table>", "<menu>", "<ol>", "</li>"},
    {"<xmp>a  <b></xmp>", "<listing>x</listing>", "<title>t</title>", "<noframes>n</noframes>",
     "<style>b{}</style>", "<template><p> x </p></template>", "<center>", "<nobr>"},
}};

QString PageFromChoices(const std::uint8_t* AData, std::size_t ASize) {
    QString page;
    for (std::size_t i = 0; i < ASize; ++i) {
        const TChoices& choices = KPieces[AData[i] % KPieces.size()];
        page += QString::fromUtf8(choices[(AData[i] / KPieces.size()) % choices.size()]);
    }
    return page;
}

void PackAndCompare(const QString& APage, bool ALineBreaks) {
    TqvWebPageOptimizer engine;
    engine.SetDetectLanMode(wpodHtmlMixOnlyDo);
    engine.SetHtml_MakeNS4Comp(ALineBreaks);
    engine.SetHtml_UseShortTags(false);
    QString packed = APage;
    try {
        engine.Parse(packed);
    } catch (const EqvTagMatchError&) {
        // The plugin writes back what the passes got to: that too must show the same.
    }
    if (packed.size() > APage.size())
        FuzzFinding("the packed page grew:", APage);
    const QString difference = RenderingDifference(APage, packed);
    if (!difference.isEmpty())
        FuzzFinding("the packed page shows something else:",
                    difference + QStringLiteral("\n--- page:\n") + APage +
                        QStringLiteral("\n--- packed:\n") + packed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const QString page =
        ASize > 0 && AData[0] == '<'
            ? QString::fromUtf8(reinterpret_cast<const char*>(AData), qsizetype(ASize))
            : PageFromChoices(AData, ASize);
    PackAndCompare(page, true);
    PackAndCompare(page, false);
    return 0;
}

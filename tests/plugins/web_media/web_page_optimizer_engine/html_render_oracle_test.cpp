// The oracle the packer's tests rely on: it must tell apart the changes a browser shows from
// those it does not. The changes that showed are the ones found on real pages.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "tests/support/html_render_oracle.h"

namespace {

QString S(const char* AText) {
    return QString::fromUtf8(AText);
}

struct TPair {
    const char* Name;
    QString Original;
    QString Changed;
    bool Shows;  // whether a browser shows the change
};

std::ostream& operator<<(std::ostream& AOut, const TPair& APair) {
    return AOut << APair.Name;
}

const std::vector<TPair> KPairs = {
    {"TextBecomesATag", S("zpipe < foo.txt > foo.txt.z"), S("zpipe <foo.txt> foo.txt.z"), true},
    {"TextBecomesBold", S("a < b and c > d"), S("a <b and c> d"), true},
    {"ValueLosesASpace", S("<p title=\"Next >\">x</p>"), S("<p title=\"Next>\">x</p>"), true},
    {"PreformattedText", S("<pre>should be >= 0</pre>"), S("<pre>should be>= 0</pre>"), true},
    {"ScriptText", S("<script>if (i < n) f();</script>"), S("<script>if (i <n) f();</script>"),
     true},
    {"TextareaText", S("<textarea>a  b</textarea>"), S("<textarea>a b</textarea>"), true},
    {"WordsJoined", S("Hello <b>big</b> <i>world</i>"), S("Hello <b>big</b><i>world</i>"), true},
    {"WordSplit", S("be<span>tter</span>"), S("be\r\n<span>tter</span>"), true},
    {"ObjectLosesItsSpace", S("<b>a</b> <img src=x> <i>b</i>"), S("<b>a</b><img src=x><i>b</i>"),
     true},
    {"LineBreakLost", S("a<br>b"), S("a b"), true},
    {"StrayBodyJoinsNothing", S("a <body> b"), S("a<body>b"), true},
    {"AttributeLost", S("<a href=x name=y>z</a>"), S("<a href=x>z</a>"), true},
    {"ElementBecomesText", S("<b>x</b>"), S("< b>x</b>"), true},
    {"HiddenTextChanged", S("<title>a</title>x"), S("<title>b</title>x"), false},
    {"WhiteSpaceRuns", S("a  \r\n\t b"), S("a b"), false},
    {"SpaceBesideBlocks", S("<p>a</p>\r\n  <p>b</p> <table> <tr> <td>c</td> <td>d</td></tr>"),
     S("<p>a</p><p>b</p><table><tr><td>c</td><td>d</td></tr>"), false},
    {"SpaceBeforeClose", S("<a href=\"x\" >y</a >"), S("<a href=\"x\">y</a>"), false},
    {"CommentsAndDoctype", S("<!DOCTYPE html><!-- c -->x<!-- d --!>y"), S("xy"), false},
    {"RunsInValues", S("<p title=\"a\r\n  b\">x</p>"), S("<p title=\"a b\">x</p>"), false},
    {"LineBreakForSpace", S("text <p>x"), S("text\n<p>x"), false},
    {"SlashOfAVoidElement", S("<br/><img src=x />"), S("<br><img src=x>"), false},
    {"SlashInForeignContent", S("<svg><g/><path/></svg>"), S("<svg><g><path></svg>"), true},
    {"NoBreakSpaceIsNoWhiteSpace", S("a\xC2\xA0 b"), S("a b"), true},
};

class HtmlRenderOracle : public ::testing::TestWithParam<TPair> {};

TEST_P(HtmlRenderOracle, SeesWhatABrowserShows) {
    const TPair& p = GetParam();
    const QString difference = RenderingDifference(p.Original, p.Changed);
    EXPECT_EQ(!difference.isEmpty(), p.Shows) << difference.toStdString();
    EXPECT_TRUE(RenderingDifference(p.Original, p.Original).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Pairs, HtmlRenderOracle, ::testing::ValuesIn(KPairs),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(HtmlRenderOracle, ReadsLinesElementsAndVerbatimText) {
    const THtmlRendering r =
        RenderHtml(S("<html><head><title>T</title><style>p{}</style></head><body>\n"
                     "<p CLASS='a  b'>one <b>two</b>\n three<br/>four<img src=x>five\n"
                     "<pre> x  y </pre><textarea>q <b> r</textarea><script>s < t</script>end"));
    EXPECT_EQ(r.Lines, QStringList({S("one two three"), S("four\uFFFCfive"), S("x y"),
                                    S("\uFFFC\uFFFCend")}));
    EXPECT_EQ(r.Elements.mid(8, 3), QStringList({S("<p class=\"a b\">"), S("<b>"), S("</b>")}));
    EXPECT_EQ(r.Verbatim,
              QStringList({S("pre:  x  y "), S("textarea: q <b> r"), S("script: s < t")}));
}

}  // namespace

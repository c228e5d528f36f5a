#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer.h"

#include <gtest/gtest.h>

#include "tests/support/html_render_oracle.h"

#include <optional>
#include <ostream>
#include <utility>
#include <vector>

inline void PrintTo(const QString& AText, std::ostream* AOut) {
    *AOut << '"' << AText.toStdString() << '"';
}

namespace {

QString S(const char* AText) {
    return QString::fromUtf8(AText);
}

struct TTagError {
    QString Start;
    QString End;
};

struct TCase {
    const char* Name;
    TqvWPOdetectLanMode Mode;
    bool NS4;
    QString Input;
    QString Expected;  // the page afterwards, also after an error
    std::optional<TTagError> Error;
};

std::ostream& operator<<(std::ostream& AOut, const TCase& ACase) {
    return AOut << ACase.Name;
}

struct TResult {
    QString Text;
    std::optional<TTagError> Error;
};

TResult Pack(const QString& AInput, TqvWPOdetectLanMode AMode, bool ANS4 = true,
             bool AShortTags = true) {
    TqvWebPageOptimizer engine;
    engine.SetDetectLanMode(AMode);
    engine.SetHtml_MakeNS4Comp(ANS4);
    engine.SetHtml_UseShortTags(AShortTags);
    TResult result{AInput, std::nullopt};
    try {
        engine.Parse(result.Text);
    } catch (const EqvTagMatchError& e) {
        result.Error = TTagError{e.FStartTag, e.FEndTag};
    }
    EXPECT_EQ(engine.CurrentLanguage(), wpoclNone) << "the language is restored after a pass";
    return result;
}

const std::vector<TCase> KCases = {
    // HTML white space and comments.
    {"WhiteSpaceBeforeABlockTagBecomesALineBreak",
     wpodTryAutoDetect,
     true,
     S("<p>a</p>\r\n  <p>b</p>"),
     S("<p>a</p>\n<p>b</p>"),
     {}},
    {"NoLineBreakWithoutTheOption",
     wpodTryAutoDetect,
     false,
     S("<p>a</p>\r\n  <p>b</p>"),
     S("<p>a</p><p>b</p>"),
     {}},
    {"LineBreaksOnlyWhereWhiteSpaceWas",
     wpodHtmlMixOnlyDo,
     true,
     S("<div><ul><li>x</li> <LI class=a>y</li></ul>\t<ol> <menu>a <span>z</span></div>"
       "<pre> <p>q</p></pre>"),
     S("<div><ul><li>x</li>\n<LI class=a>y</li></ul>\n<ol>\n<menu>a <span>z</span></div>"
       "<pre> <p>q</p></pre>"),
     {}},
    {"TagThatBeginsWithPreOpensARegion", wpodTryAutoDetect, true, S("<preview>x  y"),
     S("<preview>x  y"), TTagError{S("<pre"), S("</pre>")}},
    {"BlockTagNeedsSpaceOrClose",
     wpodHtmlMixOnlyDo,
     true,
     S("<b>x</b><param><pa><lip>"),
     S("<b>x</b><param><pa><lip>"),
     {}},
    {"IncludeKeptCommentsRemoved",
     wpodTryAutoDetect,
     true,
     S("<!--#include virtual=/x.html --><!-- note --><b>x</b> <!--[if IE]>old<![endif]-->"),
     S("<!--#include virtual=/x.html --><b>x</b>"),
     {}},
    {"IncludeRightAfterARemovedComment",
     wpodTryAutoDetect,
     true,
     S("<!-- c --><!--#include file=\"a.inc\" -->x"),
     S("<!--#include file=\"a.inc\" -->x"),
     {}},
    {"ScriptRightAfterARemovedCommentKeepsItsCode",
     wpodTryAutoDetect,
     true,
     S("<!-- c --><script><!--\r\nf();\r\n//--></script>"),
     S("<script><!--\r\nf();\r\n//--></script>"),
     {}},
    {"PreAndScriptKeepLineBreaksAndDoubleSpaces",
     wpodTryAutoDetect,
     true,
     S("<pre>a  b\r\n< i  ></pre> <script >x  = 1 >\r\n</script>  <b> y </b>"),
     S("<pre>a  b\r\n< i  ></pre><script >x  = 1 >\r\n</script><b> y </b>"),
     {}},
    {"MarkersIgnoreCaseCharacterByCharacter",
     wpodTryAutoDetect,
     true,
     S("İİ<PRE>a  b</Pre>  c<SCRIPT>\tx</SCRIPT>"),
     S("İİ<PRE>a  b</Pre> c<SCRIPT>\tx</SCRIPT>"),
     {}},
    {"StyleIsNotProtected",
     wpodTryAutoDetect,
     true,
     S("<style>\r\na  {b:c}<!-- x --></style>"),
     S("<style> a {b:c}</style>"),
     {}},
    {"LeadingAndTrailingSpaceTrimmed",
     wpodTryAutoDetect,
     true,
     S("\t <b>x</b>\r\n"),
     S("<b>x</b>"),
     {}},
    {"DeletionMarkInThePageIsRemoved",
     wpodTryAutoDetect,
     true,
     S("a\bb<pre>\b</pre>"),
     S("ab<pre></pre>"),
     {}},
    {"RegionMarkerNeedsTwoCharactersAfterIt", wpodTryAutoDetect, true, S("x  <?p"), S("x <?p"), {}},
    {"CommentMarkerNeedsTwoCharactersAfterIt",
     wpodTryAutoDetect,
     true,
     S("x  <!--y"),
     S("x <!--y"),
     {}},
    {"EmptyPage", wpodTryAutoDetect, true, QString(), QString(), {}},

    // Missing end markers.
    {"UnterminatedPhpRegion", wpodTryAutoDetect, true, S("<!-- c --><p>x</p> <?php echo 1;"),
     S("<p>x</p> <?php echo 1;"), TTagError{S("<?php"), S("?>")}},
    {"UnterminatedShortRegion", wpodTryAutoDetect, true, S("x<?pp"), S("x<?pp"),
     TTagError{S("<?"), S("?>")}},
    {"UnterminatedComment", wpodTryAutoDetect, true, S("<p>a</p><!-- x"), S("<p>a</p><!-- x"),
     TTagError{S("<!--"), S("-->")}},

    // Server-side regions.
    {"HtmlOnlyLeavesPhpAlone",
     wpodHtmlMixOnlyDo,
     true,
     S("<?php echo \"a  b\"; # note\r\n?>  <b>x</b>"),
     S("<?php echo \"a  b\"; # note\r\n?> <b>x</b>"),
     {}},
    {"PhpCommentAtRegionEndRemoved",
     wpodPhpDefault,
     true,
     S("<?php $a=1; # note ?>"),
     S("<?php $a=1; ?>"),
     {}},
    {"PhpCommentsWithTheirLineBreaks",
     wpodPhpDefault,
     true,
     S("<?php // c\r\n$a=1; /* d */ $b = 2; #e\n?>"),
     S("<?php $a=1;  $b = 2; ?>"),
     {}},
    {"PhpUnterminatedBlockCommentRunsToTheEnd",
     wpodPhpDefault,
     true,
     S("<?php $a=1; /* x ?>"),
     S("<?php $a=1; ?>"),
     {}},
    {"PhpEchoWalksJoinedLiterals",
     wpodTryAutoDetect,
     true,
     S("<?php echo \"a  b\" . 'c  d'; $x = \"e  f\"; ?>"),
     S("<?php echo \"a b\" . 'c d'; $x = \"e  f\"; ?>"),
     {}},
    {"PhpLiteralWalkPassesStatementEnds",
     wpodTryAutoDetect,
     true,
     S("<?php echo $a; $x = \"e  f\"; ?>"),
     S("<?php echo $a; $x = \"e f\"; ?>"),
     {}},
    {"PhpEscapedQuoteDoesNotEndTheLiteral",
     wpodTryAutoDetect,
     true,
     S("<?php echo \"a\\\"  b\"; ?>"),
     S("<?php echo \"a\\\" b\"; ?>"),
     {}},
    {"PhpQuoteAfterTwoBackslashesEndsIt",
     wpodTryAutoDetect,
     true,
     S("<?php echo \"a\\\\\" . \"  b\"; ?>"),
     S("<?php echo \"a\\\\\" . \" b\"; ?>"),
     {}},
    {"PhpOutputCallGetsRawLineBreaks",
     wpodTryAutoDetect,
     true,
     S("<?php print(\"<p>a</p> <p>b</p>\"); ?>"),
     S("<?php print(\"<p>a</p>\n<p>b</p>\"); ?>"),
     {}},
    {"OutputLiteralIsPackedByTheSameMarkupRules",
     wpodTryAutoDetect,
     false,
     S("<?php echo \" <b>a</b> <i>a < b</i >  <p title='x >' >c</p> <br> <i>d</i> \"; ?>"),
     S("<?php echo \" <b>a</b> <i>a < b</i><p title='x >'>c</p><br><i>d</i> \"; ?>"),
     {}},
    {"OutputNameFirstInRegionIsNoCall",
     wpodTryAutoDetect,
     true,
     S("<?echo \"a  b\"; ?>"),
     S("<?echo \"a  b\"; ?>"),
     {}},
    {"OutputStateClearedAtEveryRegion",
     wpodTryAutoDetect,
     true,
     S("<?php echo ?><?php $x = \"a  b\"; ?>"),
     S("<?php echo ?><?php $x = \"a  b\"; ?>"),
     {}},
    {"XmlAndJspTagsLeftAloneInAutoMode",
     wpodTryAutoDetect,
     true,
     S("<?xml a=\"1  2\" ?><jsp:x a=\"1  2\" />"),
     S("<?xml a=\"1  2\" ?><jsp:x a=\"1  2\" />"),
     {}},
    {"ErrorInACodePassKeepsTheRegion", wpodTryAutoDetect, true,
     S("<!-- a --><b>  x</b><?php echo \"<script>x\"; ?>"),
     S("<b> x</b><?php echo \"<script>x\"; ?>"), TTagError{S("<script"), S("</script>")}},
    {"JspLongerOutputNameWins",
     wpodJspDefault,
     true,
     S("<% out.println(\"a  b\"); out.print(\"<p>c</p> <p>d</p>\"); Out.print(\"e  f\"); %>"),
     S("<% out.println(\"a b\"); out.print(\"<p>c</p><p>d</p>\"); Out.print(\"e  f\"); %>"),
     {}},
    {"JspUnterminatedCommentRaises", wpodJspDefault, true, S("<% int a; /* x %> <b>y</b>"),
     S("<% int a; /* x %> <b>y</b>"), TTagError{S("/*"), QString()}},
    {"AspKeepsTheLineBreakAfterAComment",
     wpodTryAutoDetect,
     true,
     S("<% Response.Write \"a  b\" & x ' note\r\nResponse.Write \"c  d\" %>"),
     S("<% Response.Write \"a b\" & x \r\nResponse.Write \"c d\" %>"),
     {}},
    {"AspDoubledQuotesComeThroughWhole",
     wpodAspVbDefault,
     true,
     S("<% response.write \"say \"\"hi\"\"  <p>x</p> <p>y</p>\" %>"),
     // The line break would be an expression here, longer than the space it replaced.
     S("<% response.write \"say \"\"hi\"\" <p>x</p><p>y</p>\" %>"),
     {}},
    {"PerlWholeFile",
     wpodPerlDefault,
     true,
     S("$a = 1;\nprint \"<p>x</p>  <p>y</p>\";\n# note\n$b = 2;\n"),
     S("$a = 1;\nprint \"<p>x</p><p>y</p>\";\n$b = 2;\n"),
     {}},
    {"PerlUnterminatedCommentRaises", wpodPerlDefault, true, S("$a = 1; # note"),
     S("$a = 1; # note"), TTagError{S("# "), QString()}},

    // Style sheets.
    {"CssBlockCommentsAndWhiteSpace",
     wpodCssOnlyDo,
     true,
     S("a { color: red !important; }  /* c */\r\nb {\r\n  x: \"/* y */\";  }"),
     S("a { color: red !important; } b { x: \"/* y */\"; }"),
     {}},
    {"CssUnterminatedCommentRaises", wpodCssOnlyDo, true, S("a{}\b /* x"), S("a{} /* x"),
     TTagError{S("/*"), QString()}},
};

class WebPageOptimizerCases : public ::testing::TestWithParam<TCase> {};

TEST_P(WebPageOptimizerCases, Packs) {
    const TCase& c = GetParam();
    const TResult result = Pack(c.Input, c.Mode, c.NS4);
    EXPECT_EQ(result.Text, c.Expected);
    EXPECT_FALSE(result.Text.contains(QChar(0x0008)));
    ASSERT_EQ(result.Error.has_value(), c.Error.has_value());
    if (c.Error) {
        EXPECT_EQ(result.Error->Start, c.Error->Start);
        EXPECT_EQ(result.Error->End, c.Error->End);
    }
    // Where no server-side code is packed the page must show what it showed.
    if (c.Mode == wpodHtmlMixOnlyDo) {
        EXPECT_EQ(RenderingDifference(c.Input, result.Text), QString());
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, WebPageOptimizerCases, ::testing::ValuesIn(KCases),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

// Pages packed with the settings a new combination gets (HTML only, line breaks before block
// tags, no short tags): the result, and that a browser shows the same.
struct TShowCase {
    const char* Name;
    QString Input;
    QString Expected;
};

std::ostream& operator<<(std::ostream& AOut, const TShowCase& ACase) {
    return AOut << ACase.Name;
}

const std::vector<TShowCase> KShowCases = {
    // A tag starts at "<" and a letter (or "/" and one) and ends at its first ">" outside a
    // quoted attribute value; only the white space before that ">" goes.
    {"LessAndGreaterInTextStay", S("zpipe < foo.txt > foo.txt.z\n<p>a < b and c > d"),
     S("zpipe < foo.txt > foo.txt.z\n<p>a < b and c > d")},
    {"GreaterInAQuotedValueEndsNoTag", S("<p title=\"Next >\" >x</p ><img alt='1 > 0' >"),
     S("<p title=\"Next >\">x</p><img alt='1 > 0'>")},
    {"SpaceBeforeCloseOfUnquotedValueGoes", S("<td align=right >1</td >"),
     S("<td align=right>1</td>")},
    {"QuoteInANameOpensNoValue", S("<p a\"b >x\" >y</p>"), S("<p a\"b>x\" >y</p>")},
    {"SpaceAfterSlashStays", S("<br / ><svg><g / ></g></svg>"), S("<br / ><svg><g / ></g></svg>")},
    {"DeclarationsStay", S("<!DOCTYPE html >x<p> <![CDATA[ x > y ]]> <b>z</b>"),
     S("<!DOCTYPE html >x<p><![CDATA[ x > y ]]> <b>z</b>")},
    {"RegionInsideATagLeavesTheTag", S("<a href=\"<?php echo \"u\" ?>\" >x</a>"),
     S("<a href=\"<?php echo \"u\" ?>\" >x</a>")},
    {"RawTextIsNoMarkup",
     S("<title>a <b >c</title><style>p > b:after { content: \" <p >\" }</style>x"),
     S("<title>a <b >c</title><style>p > b:after { content: \" <p >\" }</style>x")},
    // Space between tags goes only where a line box begins or ends.
    {"SpaceBetweenInlineTagsStays", S("Hello <b>big</b> <i>world</i>"),
     S("Hello <b>big</b> <i>world</i>")},
    {"SpaceBesideBlockTagsGoes",
     S("<table> <tr> <td>a</td> <td>b</td> </tr> </table> <b>x</b> <br> <i>y</i> <hr> <i>z</i>"),
     S("<table><tr><td>a</td><td>b</td></tr></table><b>x</b><br><i>y</i><hr><i>z</i>")},
    {"StartAndEndOfABlockSeenThroughInlineTags",
     S("<div><span> <b>x</b> <a href=y>z</a> </span></div>"),
     S("<div><span><b>x</b> <a href=y>z</a></span></div>")},
    {"HeadContentAndPageEnds",
     S("<!DOCTYPE html>\n<title>t</title>\n<meta charset=utf-8>\n<link rel=x href=y>\n"
       "<style>p{}</style>\n<script>f()</script>\n<b>a</b> <i>b</i>\n<span>\n"),
     S("<!DOCTYPE html><title>t</title><meta charset=utf-8><link rel=x href=y><style>p{}</style>"
       "<script>f()</script><b>a</b> <i>b</i><span>")},
    {"DocumentTags",
     S("<html> <head> <title>t</title> </head> <body> <b>x</b> <i>y</i> </body> </html>"),
     S("<html><head><title>t</title></head><body><b>x</b> <i>y</i></body></html>")},
    {"StrayDocumentTagsAreNoLineBoundary", S("<p><b>a</b> <body> <i>b</i> </html> <q>c</q></p>"),
     S("<p><b>a</b> <body> <i>b</i> </html> <q>c</q></p>")},
    {"HiddenElementsBetweenWordsKeepTheirSpace",
     S("<p><i>a</i> <script>f()</script> <b>b</b> <style>x</style> <i>c</i></p>"),
     S("<p><i>a</i> <script>f()</script> <b>b</b> <style>x</style> <i>c</i></p>")},
    {"ObjectsKeepTheirSpace",
     S("<p><b>a</b> <img src=x> <i>b</i> <input> <foo.txt> <q>c</q> <textarea>d</textarea> "
       "<b>e</b></p>"),
     S("<p><b>a</b> <img src=x> <i>b</i> <input> <foo.txt> <q>c</q> <textarea>d</textarea> "
       "<b>e</b></p>")},
    {"ServerSideOutputKeepsItsSpace", S("<p><b>a</b> <?php echo 1; ?> <i>b</i> <% x %> <i>c</i>"),
     S("<p><b>a</b> <?php echo 1; ?> <i>b</i> <% x %> <i>c</i>")},
    {"LongerNamesAreNotTheProtectedElements",
     S("<p> <scripts>a</script> <b>b</b> <prefix>c</pre> <i>d</i></p>"),
     S("<p><scripts>a</script> <b>b</b> <prefix>c</pre> <i>d</i></p>")},
    // The line break before a block tag only ever takes the place of white space.
    {"NoLineBreakWhereNoWhiteSpaceWas", S("be<span>tter</span><p>a</p><p>b</p><div>c</div>"),
     S("be<span>tter</span><p>a</p><p>b</p><div>c</div>")},
    {"LineBreakReplacesTheSpaceBeforeABlockTag",
     S("<ul>\r\n  <li>a\r\n  <li>b <span>c</span>\r\n</ul>\r\ntext\r\n<p>d"),
     S("<ul>\n<li>a\n<li>b <span>c</span></ul> text\n<p>d")},
    {"NoLineBreakInsideAValue", S("<a title=\"x <p>\">y</a>"), S("<a title=\"x <p>\">y</a>")},
    // A textarea's text is protected like preformatted text.
    {"TextareaKeepsItsText",
     S("<textarea name=t>a  b\r\n  <!-- c -->\t< i ></textarea>  x <TEXTAREA>  y  </TEXTAREA>"),
     S("<textarea name=t>a  b\r\n  <!-- c -->\t< i ></textarea> x <TEXTAREA>  y  </TEXTAREA>")},
    {"TextareaWithoutItsEndRunsToTheEnd", S("<p>x  y</p>\n<textarea>a  b <p>c "),
     S("<p>x y</p><textarea>a  b <p>c ")},
    {"LongerNameIsNoTextarea", S("<textareas>a  b</textareas>"), S("<textareas>a b</textareas>")},
};

class WebPageOptimizerShows : public ::testing::TestWithParam<TShowCase> {};

TEST_P(WebPageOptimizerShows, TheSameAsBefore) {
    const TShowCase& c = GetParam();
    const TResult result = Pack(c.Input, wpodHtmlMixOnlyDo, true, false);
    EXPECT_FALSE(result.Error.has_value());
    EXPECT_EQ(result.Text, c.Expected);
    EXPECT_EQ(RenderingDifference(c.Input, result.Text), QString());
    EXPECT_LE(result.Text.size(), c.Input.size());
}

INSTANTIATE_TEST_SUITE_P(Engine, WebPageOptimizerShows, ::testing::ValuesIn(KShowCases),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(WebPageOptimizer, TextareaIsNotPackedAsCode) {
    // In a server-side mode every region but the protected ones gets the code pass.
    const QString page = S("<textarea># note\r\n$a  = 1;</textarea><% x = 1 # note\r\n%>");
    EXPECT_EQ(Pack(page, wpodPhpDefault).Text,
              S("<textarea># note\r\n$a  = 1;</textarea><% x = 1 %>"));
}

TEST(WebPageOptimizer, EmptyPageStaysEmptyInEveryMode) {
    for (const TqvWPOdetectLanMode mode :
         {wpodTryAutoDetect, wpodHtmlMixOnlyDo, wpodCssOnlyDo, wpodPhpDefault, wpodPerlDefault,
          wpodJspDefault, wpodAspVbDefault}) {
        const TResult result = Pack(QString(), mode);
        EXPECT_TRUE(result.Text.isEmpty()) << int(mode);
        EXPECT_FALSE(result.Error.has_value()) << int(mode);
    }
}

TEST(WebPageOptimizer, ConstructionAndModes) {
    TqvWebPageOptimizer engine;
    EXPECT_EQ(engine.DetectLanMode(), wpodTryAutoDetect);
    EXPECT_EQ(engine.CurrentLanguage(), wpoclNone);
    EXPECT_TRUE(engine.Document_TryAnalyseServerSideScipting());
    EXPECT_TRUE(engine.Html_MakeNS4Comp());
    EXPECT_TRUE(engine.Html_UseShortTags());
    EXPECT_EQ(engine.DynCurParserMethodALB(), S("\r\n"));
    const std::vector<std::pair<TqvWPOdetectLanMode, bool>> packs = {
        {wpodHtmlMixOnlyDo, false}, {wpodCssOnlyDo, false}, {wpodPhpDefault, true},
        {wpodPerlDefault, true},    {wpodJspDefault, true}, {wpodAspVbDefault, true},
        {wpodTryAutoDetect, true}};
    for (const auto& [mode, pack] : packs) {
        engine.SetDetectLanMode(mode);
        EXPECT_EQ(engine.Document_TryAnalyseServerSideScipting(), pack) << int(mode);
    }
}

TEST(WebPageOptimizer, ServerModesPackEveryRegionWithTheirLanguage) {
    // The same "<%" region: left in HTML-only mode, packed as PHP in PHP mode (where "#" starts
    // a comment) and as ASP in auto mode (where it does not).
    const QString page = S("<% x = 1 # note\r\n%>");
    EXPECT_EQ(Pack(page, wpodHtmlMixOnlyDo).Text, page);
    EXPECT_EQ(Pack(page, wpodPhpDefault).Text, S("<% x = 1 %>"));
    EXPECT_EQ(Pack(page, wpodTryAutoDetect).Text, page);
}

TEST(WebPageOptimizer, ShortTagOptionChangesNothing) {
    const QString page = S("<strong> a </strong>  <b>b</b><p>c</p>");
    EXPECT_EQ(Pack(page, wpodTryAutoDetect, true, true).Text,
              Pack(page, wpodTryAutoDetect, true, false).Text);
}

// The passes look at the text eight characters at a time: what they find must not depend on
// where a block boundary falls. Each piece is packed behind every shift from 0 to 17 letters.
TEST(WebPageOptimizer, WhatIsFoundDoesNotDependOnItsPositionInTheText) {
    const struct {
        QString Piece;
        QString Packed;
    } pieces[] = {
        {S("a          b"), S("a b")},
        {S("a\t\r\n\x01"
           "b"),
         S("a b")},
        {S("x<b>  <i>"), S("x<b> <i>")},
        {S("<p> <i>"), S("<p><i>")},
        {S("<i  >x< i>"), S("<i>x< i>")},
        {S("<pre>a  \t b</pre>"), S("<pre>a  \t b</pre>")},
        {S("<!-- gone -->c"), S("c")},
        {S("<?php  x ?> <b>"), S("<?php  x ?> <b>")},
        {S("x\n<p>y"), S("x\n<p>y")},
        {S("<textarea>a  \t b</textarea>"), S("<textarea>a  \t b</textarea>")},
    };
    for (const auto& piece : pieces) {
        for (int shift = 0; shift < 18; ++shift) {
            const QString lead(shift, u'z');
            SCOPED_TRACE(QString(lead + piece.Piece).toStdString());
            const TResult result = Pack(lead + piece.Piece + S("z"), wpodHtmlMixOnlyDo);
            EXPECT_FALSE(result.Error);
            EXPECT_EQ(result.Text, lead + piece.Packed + S("z"));
        }
    }
}

TEST(WebPageOptimizer, PackingTwiceChangesNothingMore) {
    const QString page =
        S("<html>\r\n <body>\r\n  <!-- menu -->\r\n  <ul>\r\n   <li>a</li>\r\n   <li>b</li>\r\n"
          "  </ul>\r\n  <pre>  x\r\n y</pre>\r\n <?php echo \"<p>q</p>  <p>r</p>\"; ?>\r\n"
          " </body>\r\n</html>\r\n");
    const QString once = Pack(page, wpodTryAutoDetect).Text;
    EXPECT_LT(once.size(), page.size());
    EXPECT_EQ(Pack(once, wpodTryAutoDetect).Text, once);
}

}  // namespace

#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer.h"

#include <gtest/gtest.h>

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
    {"TwoParagraphsGetOneLineBreak",
     wpodTryAutoDetect,
     true,
     S("<p>a</p>\r\n  <p>b</p>"),
     S("<p>a</p>\r\n<p>b</p>"),
     {}},
    {"NoLineBreakWithoutTheOption",
     wpodTryAutoDetect,
     false,
     S("<p>a</p>\r\n  <p>b</p>"),
     S("<p>a</p><p>b</p>"),
     {}},
    {"LineBreakBeforeEveryBlockTagButTheFirst",
     wpodHtmlMixOnlyDo,
     true,
     S("<div><ul><li>x</li><LI class=a>y</li></ul><ol><menu><span>z</span></div><pre>"
       "<p>q</p></pre>"),
     S("<div>\r\n<ul>\r\n<li>x</li>\r\n<LI class=a>y</li></ul>\r\n<ol>\r\n<menu>\r\n<span>z"
       "</span></div><pre><p>q</p></pre>"),
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
     S("<pre>a  b\r\n< i></pre> <script >x  = 1;\r\n</script>  <b> y </b>"),
     S("<pre>a  b\r\n<i></pre><script>x  = 1;\r\n</script><b> y </b>"),
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
     S("<?php echo \"a  b\"; # note\r\n?><b>x</b>"),
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
     S("<?php print(\"<p>a</p>\r\n<p>b</p>\"); ?>"),
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
     S("<% out.println(\"a b\"); out.print(\"<p>c</p>\"+\"\\n\"+\"<p>d</p>\"); "
       "Out.print(\"e  f\"); %>"),
     {}},
    {"JspUnterminatedCommentRaises", wpodJspDefault, true, S("<% int a; /* x %> <b>y</b>"),
     S("<% int a; /* x %><b>y</b>"), TTagError{S("/*"), QString()}},
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
     S("<% response.write \"say \"\"hi\"\" \"& vbCrLf &\"<p>x</p>\"& vbCrLf &\"<p>y</p>\" %>"),
     {}},
    {"PerlWholeFile",
     wpodPerlDefault,
     true,
     S("$a = 1;\nprint \"<p>x</p>  <p>y</p>\";\n# note\n$b = 2;\n"),
     S("$a = 1;\nprint \"<p>x</p>\".\"\\n\".\"<p>y</p>\";\n$b = 2;\n"),
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
}

INSTANTIATE_TEST_SUITE_P(Engine, WebPageOptimizerCases, ::testing::ValuesIn(KCases),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

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
        {S("a\t\r\n\x01" "b"), S("a b")},
        {S("<b>  <i>"), S("<b><i>")},
        {S("<b> <i>"), S("<b><i>")},
        {S("<i  >x< i>"), S("<i>x<i>")},
        {S("<pre>a  \t b</pre>"), S("<pre>a  \t b</pre>")},
        {S("<!-- gone -->c"), S("c")},
        {S("<?php  x ?> <b>"), S("<?php  x ?><b>")},
        {S("x\n<p>y"), S("x \r\n<p>y")},
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

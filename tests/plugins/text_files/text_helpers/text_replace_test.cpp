#include "plugins/text_files/text_helpers/text_replace.h"

#include <gtest/gtest.h>

#include "tests/plugins/text_files/text_helpers/qstring_print.h"

namespace {

QString Q(const char16_t* AText) {
    return QString::fromUtf16(AText);
}

// ---------------------------------------------------------------------------------------------
// Plain search and replace

struct TReplaceCase {
    const char* Name;
    const char16_t* Text;
    const char16_t* Match;
    const char16_t* Replacement;
    bool IgnoreCase;
    const char16_t* Expected;
};

TEST(ReplaceAllText, ReplacesLeftToRightWithoutOverlapOrRescan) {
    const TReplaceCase cases[] = {
        {"no overlap", u"aaa", u"aa", u"b", false, u"ba"},
        {"case sensitive", u"AaA", u"a", u"b", false, u"AbA"},
        {"ignore case", u"AaA", u"a", u"b", true, u"bbb"},
        {"ignore case, upper match", u"aaa", u"A", u"b", true, u"bbb"},
        {"inserted text not searched", u"xx", u"x", u"xx", false, u"xxxx"},
        {"inserted text not searched, ignore case", u"aXa", u"a", u"AA", true, u"AAXAA"},
        {"replacement is empty", u"a-b-c", u"-", u"", false, u"abc"},
        {"no occurrence", u"abc", u"d", u"e", false, u"abc"},
        {"empty match", u"abc", u"", u"x", true, u"abc"},
        {"match equals replacement", u"abc", u"b", u"b", false, u"abc"},
        // The rule compares match and replacement exactly, before any search.
        {"match equals replacement, ignore case", u"aBc", u"b", u"b", true, u"aBc"},
        {"cyrillic, ignore case", u"Привет ПРИВЕТ привет", u"привет", u"x", true, u"x x x"},
        // Upper-casing "ß" gives "SS": positions of the upper-cased text do not fit the
        // original, and the replaced pieces must still come out of the right places.
        {"sharp s in text", u"Maße und Masse", u"ss", u"_", true, u"Maße und Ma_e"},
        {"sharp s in match", u"Maße und MASSE", u"ß", u"ss", true, u"Masse und MASSE"},
    };
    for (const TReplaceCase& c : cases) {
        EXPECT_EQ(ReplaceAllText(Q(c.Text), Q(c.Match), Q(c.Replacement), c.IgnoreCase),
                  Q(c.Expected))
            << c.Name;
    }
}

// ---------------------------------------------------------------------------------------------
// Escapes typed by users

struct TEscapeCase {
    const char16_t* Typed;
    const char16_t* Expected;
};

TEST(ExpandSimpleEscapes, FollowsTheBackwardScan) {
    const TEscapeCase cases[] = {
        {uR"(a\nb)", u"a\nb"},    {uR"(\r\n\t\f)", u"\r\n\t\f"},
        {uR"(x\\n)", uR"(x\n)"},   // the doubled backslash keeps the letter literal
        {uR"(\\\n)", u"\n"},       // the whole odd run goes with the key
        {uR"(\\\\n)", uR"(\n)"},   // even before "n": the backslash pass takes all four
        {uR"(\\)", uR"(\)"},       // two backslashes become one
        {uR"(\\\)", uR"(\\)"},     // of three, the first two pair up
        {uR"(\\\\)", uR"(\)"},     // four: the last one has an odd run of three before it
        {uR"(\)", uR"(\)"},        // a lone backslash stays
        {uR"(a\qb)", uR"(a\qb)"},  // not a key
        {uR"(n\)", uR"(n\)"},      // the key must follow the backslash
        {uR"(\n\n)", u"\n\n"},
    };
    for (const TEscapeCase& c : cases) {
        EXPECT_EQ(ExpandSimpleEscapes(Q(c.Typed)), Q(c.Expected)) << Q(c.Typed).toStdString();
    }
}

TEST(ExpandEscapedKey, InsertedValueIsNeverScannedAgain) {
    // "\12" at the end is replaced; the "\1" before it, together with the inserted "2", would
    // read as "\12" again if the value were scanned.
    EXPECT_EQ(ExpandEscapedKey(Q(uR"(\1\12)"), Q(u"2"), Q(u"12")), Q(uR"(\12)"));
}

TEST(ExpandEscapedKey, UsesTheGivenEscapeCharacter) {
    EXPECT_EQ(ExpandEscapedKey(Q(u"a%nb\\n"), Q(u"\n"), Q(u"n"), u'%'), Q(u"a\nb\\n"));
    EXPECT_EQ(ExpandEscapedKey(Q(u"abc"), Q(u"x"), Q(u"")), Q(u"abc"));
}

// ---------------------------------------------------------------------------------------------
// Replacement templates

TRegexMatch MatchOf(int AHighestGroup, QStringList AGroups) {
    TRegexMatch match;
    match.HighestGroup = AHighestGroup;
    match.Groups = std::move(AGroups);
    return match;
}

struct TTemplateCase {
    const char* Name;
    const char16_t* Template;
    const char16_t* Expected;
};

TEST(ExpandReplaceTemplate, ResolvesGroupReferences) {
    const TRegexMatch match = MatchOf(
        2, {QStringLiteral("hello world"), QStringLiteral("hello"), QStringLiteral("world")});
    const TTemplateCase cases[] = {
        {"swap", uR"(\2-\1)", u"world-hello"},
        {"group 0 is no reference", uR"(\0)", uR"(\0)"},
        {"above the highest group", uR"(\3\1)", uR"(\3hello)"},
        {"escaped backslash", uR"(\\1)", uR"(\1)"},
        {"control escapes", uR"(\1\t\2\r\n)", u"hello\tworld\r\n"},
        {"doubled backslash before a letter", uR"(\\n)", uR"(\n)"},
        {"no references", u"plain", u"plain"},
    };
    for (const TTemplateCase& c : cases) {
        EXPECT_EQ(ExpandReplaceTemplate(Q(c.Template), match), Q(c.Expected)) << c.Name;
    }
}

TEST(ExpandReplaceTemplate, HigherGroupsFirst) {
    QStringList groups{QStringLiteral("all")};
    for (int group = 1; group <= 12; ++group) {
        groups << QStringLiteral("g%1").arg(group);
    }
    const TRegexMatch match = MatchOf(12, groups);
    EXPECT_EQ(ExpandReplaceTemplate(Q(uR"(\12|\1|\10)"), match), Q(u"g12|g1|g10"));
}

TEST(ExpandReplaceTemplate, GroupTextIsSeenByTheLowerGroupPasses) {
    // The text of group 2 holds "\1", which the pass for group 1 then resolves.
    const TRegexMatch match = MatchOf(2, {QString(), QStringLiteral("A"), Q(uR"(x\1y)")});
    EXPECT_EQ(ExpandReplaceTemplate(Q(uR"(\2)"), match), Q(u"xAy"));
}

TEST(ExpandReplaceTemplate, GroupThatTookNoPartIsEmpty) {
    const TRegexMatch match = MatchOf(2, {QStringLiteral("b"), QString(), QStringLiteral("b")});
    EXPECT_EQ(ExpandReplaceTemplate(Q(uR"([\1|\2])"), match), Q(u"[|b]"));
    EXPECT_EQ(ExpandReplaceTemplate(Q(uR"([\1])"), MatchOf(0, {QStringLiteral("b")})),
              Q(uR"([\1])"));
}

}  // namespace

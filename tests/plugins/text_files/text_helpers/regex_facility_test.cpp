#include "plugins/text_files/text_helpers/regex_facility.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/exceptions.h"
#include "tests/plugins/text_files/text_helpers/qstring_print.h"

namespace {

QString Q(const char16_t* AText) {
    return QString::fromUtf16(AText);
}

// The message of the EqvException that AAction raises; fails the test when it raises none.
template <typename TError, typename TAction>
QString ErrorMessage(TAction AAction) {
    try {
        AAction();
    } catch (const TError& error) {
        return error.Message();
    }
    ADD_FAILURE() << "no error raised";
    return {};
}

// ---------------------------------------------------------------------------------------------
// Modifier strings

TRegexModifiers With(void (*AChange)(TRegexModifiers&)) {
    TRegexModifiers modifiers;
    AChange(modifiers);
    return modifiers;
}

TEST(RegexModifiers, LettersBeforeTheMinusSwitchOnAfterItOff) {
    struct TCase {
        const char16_t* Modifiers;
        TRegexModifiers Expected;
    };
    const TCase cases[] = {
        {u"", TRegexModifiers()},
        {u"-", TRegexModifiers()},
        {u"i", With([](TRegexModifiers& m) { m.IgnoreCase = true; })},
        {u"I", With([](TRegexModifiers& m) { m.IgnoreCase = true; })},
        {u"mX", With([](TRegexModifiers& m) { m.MultiLine = m.Extended = true; })},
        {u"-r", With([](TRegexModifiers& m) { m.RussianRanges = false; })},
        {u"-RSG",
         With([](TRegexModifiers& m) { m.RussianRanges = m.DotMatchesAll = m.Greedy = false; })},
        {u"i-gs", With([](TRegexModifiers& m) {
             m.IgnoreCase = true;
             m.Greedy = m.DotMatchesAll = false;
         })},
        // Nothing switches a letter back on once the minus has been seen.
        {u"m-m", TRegexModifiers()},
        {u"-g-g", With([](TRegexModifiers& m) { m.Greedy = false; })},
        {u"-xg", With([](TRegexModifiers& m) { m.Greedy = false; })},
        {u"g", TRegexModifiers()},
    };
    for (const TCase& c : cases) {
        TRegexModifiers modifiers;
        modifiers.Apply(Q(c.Modifiers));
        EXPECT_TRUE(modifiers == c.Expected) << Q(c.Modifiers).toStdString();
    }
}

TEST(RegexModifiers, UnknownLetterIsRefusedByName) {
    for (const char16_t* bad : {u"q", u"iq", u"i g", u"é", u"+i"}) {
        TRegexModifiers modifiers;
        const QString message = ErrorMessage<EqvParamWrong>([&] { modifiers.Apply(Q(bad)); });
        EXPECT_TRUE(message.contains(QStringLiteral("Unknown regular expression modifier")))
            << message.toStdString();
        EXPECT_TRUE(modifiers == TRegexModifiers()) << "changed by a refused string";
    }
    TRegexModifiers modifiers;
    EXPECT_EQ(ErrorMessage<EqvParamWrong>([&] { modifiers.Apply(QStringLiteral("iq")); }),
              QStringLiteral("Unknown regular expression modifier \"q\" in \"iq\"; only the "
                             "letters i, r, s, g, m, x and \"-\" are allowed."));
}

// ---------------------------------------------------------------------------------------------
// Compiling

TEST(RegexFacility, InvalidPatternReportsEngineTextAndOffset) {
    EXPECT_EQ(ErrorMessage<EqvParamWrong>([] { TRegexFacility(QStringLiteral("a(b")); }),
              QStringLiteral("The regular expression \"a(b\" is not valid: missing closing "
                             "parenthesis at offset 3."));
    // The added ё must not shift the offset the user sees.
    const QString message = ErrorMessage<EqvParamWrong>([] { TRegexFacility(Q(u"[а-я](")); });
    EXPECT_TRUE(message.endsWith(QStringLiteral("at offset 6."))) << message.toStdString();
    EXPECT_TRUE(message.contains(Q(u"\"[а-я](\""))) << message.toStdString();
}

TEST(RegexFacility, EmptyPatternAndBadModifierAreRefused) {
    EXPECT_THROW(TRegexFacility{QString()}, EqvParamWrong);
    EXPECT_THROW(TRegexFacility(QStringLiteral("a"), QStringLiteral("ik")), EqvParamWrong);
}

TEST(RegexFacility, ModifiersApplyBeforeTheFirstCompile) {
    // Without x the "(" after the comment sign is an open group.
    EXPECT_THROW(TRegexFacility(QStringLiteral("a#(")), EqvParamWrong);
    TRegexFacility regex(QStringLiteral("a #("), QStringLiteral("x"));
    EXPECT_TRUE(regex.Matches(QStringLiteral("a")));
}

TEST(RegexFacility, FailedApplyLeavesTheExpressionAsItWas) {
    TRegexFacility regex(QStringLiteral("a #("), QStringLiteral("x"));
    EXPECT_THROW(regex.ApplyModifiers(QStringLiteral("-x")), EqvParamWrong);
    EXPECT_THROW(regex.ApplyModifiers(QStringLiteral("z")), EqvParamWrong);
    EXPECT_TRUE(regex.Modifiers().Extended);
    EXPECT_TRUE(regex.Matches(QStringLiteral("a")));
    regex.ApplyModifiers(QStringLiteral("i"));
    EXPECT_TRUE(regex.Matches(QStringLiteral("A")));
}

// ---------------------------------------------------------------------------------------------
// What each letter does

struct TMatchCase {
    const char16_t* Pattern;
    const char16_t* Modifiers;
    const char16_t* Text;
    bool Expected;
};

TEST(RegexFacility, EachLetterChangesWhatMatches) {
    const TMatchCase cases[] = {
        {u"abc", u"", u"xABCx", false},
        {u"abc", u"i", u"xABCx", true},
        {u"ё", u"i", u"Ё", true},
        {u"a.b", u"", u"a\nb", true},  // s is on by default
        {u"a.b", u"-s", u"a\nb", false},
        {u"^b$", u"", u"a\nb\nc", false},
        {u"^b$", u"m", u"a\nb\nc", true},
        {u"a b", u"", u"ab", false},
        {u"a b # a comment", u"x", u"ab", true},
        {u"\\w+", u"", u"мир", true},  // letters of every script are word characters
        // r: the Russian ranges take in ё and Ё
        {u"^[а-я]$", u"", u"ё", true},
        {u"^[а-я]$", u"-r", u"ё", false},
        {u"^[а-я]$", u"", u"Ё", false},
        {u"^[а-я]$", u"i", u"Ё", true},
        {u"^[А-Я]$", u"", u"Ё", true},
        {u"^[А-Я]$", u"-r", u"Ё", false},
        {u"^[А-Я]$", u"", u"ё", false},
        {u"^[а-Я]+$", u"", u"ЁёЖж", true},
        {u"^[А-я]+$", u"", u"ЁёЖж", true},
        {u"^[А-я]+$", u"-r", u"Ёё", false},
        {u"^[^а-я]$", u"", u"ё", false},
        {u"^[^а-я]$", u"-r", u"ё", true},
        {u"^\\[а-я]$", u"", u"[а-я]", true},  // an escaped bracket opens no class
    };
    for (const TMatchCase& c : cases) {
        const TRegexFacility regex(Q(c.Pattern), Q(c.Modifiers));
        EXPECT_EQ(regex.Matches(Q(c.Text)), c.Expected)
            << Q(c.Pattern).toStdString() << " /" << Q(c.Modifiers).toStdString() << " on "
            << Q(c.Text).toStdString();
    }
}

TEST(RegexFacility, OutOfOrderRussianRangeNeedsTheLetter) {
    EXPECT_THROW(TRegexFacility(Q(u"[а-Я]"), QStringLiteral("-r")), EqvParamWrong);
}

TEST(AddRussianYoToRanges, RewritesOnlyRangesInsideClasses) {
    struct TCase {
        const char16_t* Pattern;
        bool Extended;
        const char16_t* Expected;
    };
    const TCase cases[] = {
        {u"[а-я]", false, u"[а-яё]"},
        {u"[А-Я]", false, u"[А-ЯЁ]"},
        {u"[А-я]", false, u"[А-яЁё]"},
        {u"[а-Я]", false, u"[А-яЁё]"},
        {u"[^0-9а-яА-Я_]+", false, u"[^0-9а-яёА-ЯЁ_]+"},
        {u"[ба-я]", false, u"[ба-яё]"},
        {u"[]а-я]", false, u"[]а-яё]"},  // a leading "]" is a character
        {u"[\\]а-я]", false, u"[\\]а-яё]"},
        {u"[[:alpha:]а-я]", false, u"[[:alpha:]а-яё]"},
        {u"[\\dа-я]", false, u"[\\dа-яё]"},
        {u"[\\x{41}-Zа-я]", false, u"[\\x{41}-Zа-яё]"},
        {u"[а-я-я]", false, u"[а-яё-я]"},  // the hyphen after a range is a character
        {u"[а]-я", false, u"[а]-я"},
        {u"[я-а]", false, u"[я-а]"},
        {u"\\[а-я]", false, u"\\[а-я]"},
        {u"\\Q[а-я]\\E[а-я]", false, u"\\Q[а-я]\\E[а-яё]"},
        {u"(?#[а-я])[а-я]", false, u"(?#[а-я])[а-яё]"},
        {u"a#[а-я]\n[а-я]", true, u"a#[а-я]\n[а-яё]"},
        {u"a#[а-я]", false, u"a#[а-яё]"},
        {u"[а-я", false, u"[а-яё"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(AddRussianYoToRanges(Q(c.Pattern), c.Extended), Q(c.Expected))
            << Q(c.Pattern).toStdString();
    }
    std::vector<qsizetype> added;
    AddRussianYoToRanges(Q(u"[а-Я][а-я]"), false, &added);
    EXPECT_EQ(added, (std::vector<qsizetype>{4, 5, 11}));
}

// ---------------------------------------------------------------------------------------------
// Replacing

struct TReplaceCase {
    const char* Name;
    const char16_t* Pattern;
    const char16_t* Modifiers;
    const char16_t* Text;
    const char16_t* Template;
    const char16_t* Expected;
};

TEST(RegexFacility, ReplacesEveryMatchLeftToRight) {
    const TReplaceCase cases[] = {
        {"swap groups", uR"((\w+) (\w+))", u"", u"hello world", uR"(\2-\1)", u"world-hello"},
        {"ignore case", uR"((\w+)-(\w+))", u"i", u"Bob-Home", uR"(\2 at \1)", u"Home at Bob"},
        {"no overlap", u"aa", u"", u"aaa", u"X", u"Xa"},
        {"empty matches", u"x*", u"", u"abc", u"-", u"-a-b-c-"},
        {"empty and non-empty matches", u"a*", u"", u"baac", u"-", u"-b--c-"},
        {"empty text", u"x*", u"", u"", u"-", u"-"},
        {"empty match before a surrogate pair", u"x*", u"", u"a😀", u"-", u"-a-😀-"},
        {"greedy", u"<.+>", u"", u"<a><b>", u"X", u"X"},
        {"not greedy", u"<.+>", u"-g", u"<a><b>", u"X", u"XX"},
        {"lazy quantifier turns greedy without g", u"<.+?>", u"-g", u"<a><b>", u"X", u"X"},
        {"multi-line anchors", u"^", u"m", u"a\nb", u"> ", u"> a\n> b"},
        {"group above the highest taking part stays", u"(a)|(b)", u"", u"ab", uR"([\1|\2])",
         uR"([a|\2][|b])"},
        {"words of any script", uR"((\w+))", u"", u"Привет, мир", u"<\\0\\1>",
         u"<\\0Привет>, <\\0мир>"},
        {"no match", u"q", u"", u"abc", u"X", u"abc"},
    };
    for (const TReplaceCase& c : cases) {
        const TRegexFacility regex(Q(c.Pattern), Q(c.Modifiers));
        EXPECT_EQ(regex.ReplaceAllWithTemplate(Q(c.Text), Q(c.Template)), Q(c.Expected)) << c.Name;
    }
}

TEST(RegexFacility, CallbackReceivesTheGroupsThatTookPart) {
    const TRegexFacility regex(QStringLiteral("(a)|(b)(c)?"));
    std::vector<TRegexMatch> seen;
    const QString result = regex.ReplaceAll(QStringLiteral("xabc"), [&](const TRegexMatch& AMatch) {
        seen.push_back(AMatch);
        return QString::number(AMatch.HighestGroup);
    });
    EXPECT_EQ(result, QStringLiteral("x13"));
    ASSERT_EQ(seen.size(), 2U);
    EXPECT_EQ(seen[0].Groups, (QStringList{QStringLiteral("a"), QStringLiteral("a")}));
    EXPECT_EQ(seen[1].Groups, (QStringList{QStringLiteral("bc"), QString(), QStringLiteral("b"),
                                           QStringLiteral("c")}));
}

TEST(RegexFacility, SearchThatCannotBeDoneIsAnError) {
    QString broken = QStringLiteral("abc");
    broken[1] = QChar(0xD800);  // an unpaired high surrogate
    const TRegexFacility letter(QStringLiteral("c"));
    EXPECT_THROW(letter.Matches(broken), EqvOperationNotPossible);
    EXPECT_THROW(letter.ReplaceAllWithTemplate(broken, QStringLiteral("x")),
                 EqvOperationNotPossible);

    // Nested quantifiers that fail at the end exhaust the engine's match limit.
    const TRegexFacility backtracking(QStringLiteral("(a+)+$"));
    const QString text = QString(40, u'a') + u'b';
    EXPECT_THROW(backtracking.Matches(text), EqvOperationNotPossible);
    EXPECT_THROW(backtracking.ReplaceAllWithTemplate(text, QStringLiteral("x")),
                 EqvOperationNotPossible);
}

TEST(RegexFacility, OneExpressionServesSeveralThreads) {
    const TRegexFacility regex(QStringLiteral("(\\d+)"));
    constexpr int ThreadCount = 4;
    std::vector<QString> results(ThreadCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < ThreadCount; ++t) {
        threads.emplace_back([&regex, &results, t] {
            QString text;
            for (int i = 0; i < 500; ++i) {
                text += QStringLiteral("%1-%2 ").arg(t).arg(i);
            }
            results[t] = regex.ReplaceAllWithTemplate(text, QStringLiteral("<\\1>"));
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < ThreadCount; ++t) {
        QString expected;
        for (int i = 0; i < 500; ++i) {
            expected += QStringLiteral("<%1>-<%2> ").arg(t).arg(i);
        }
        EXPECT_EQ(results[t], expected) << "thread " << t;
    }
}

}  // namespace

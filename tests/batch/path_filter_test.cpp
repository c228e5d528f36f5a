#include "batch/path_filter.h"

#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "tests/support/temp_folders.h"

namespace {

// A small batch root on disk; names ending with "/" are folders. "gone.htm" and "gonedir/" are
// never created: they stand for paths that vanished during a batch.
class PathFilterTest : public ::testing::Test {
protected:
    PathFilterTest() {
        FRoot = FTemp.MakeFolder(QStringLiteral("root"));
        for (const char* file : {"readme", "A.HTM", "index.htm", "a.txt", "imgfile"})
            FTemp.WriteFile(QStringLiteral("root/") + QLatin1String(file), "x");
        for (const char* folder : {"ver1.2", "img", "sub/a.txt"})
            FTemp.MakeFolder(QStringLiteral("root/") + QLatin1String(folder));
    }
    QString Path(const char* ARelative) const { return FRoot + QLatin1String(ARelative); }

    TTempFolder FTemp;
    QString FRoot;
};

struct TFilterCase {
    const char* Path;  // relative to the batch root; "" is the root itself
    const char* Filter;
    bool Expected;
};

const TFilterCase KFilterCases[] = {
    // A file without an extension is matched like a directory name by masks.
    {"readme", "*.", true},
    {"readme", "*.*", true},
    {"readme", "/read*", true},
    {"readme", "/README", true},
    {"readme", "read*", false},
    {"readme", "/", false},
    {"readme", ":", false},
    // Extensions and masks ignore letter case.
    {"A.HTM", "*.htm", true},
    {"A.HTM", "*.HTM", true},
    {"A.HTM", "a.htm", true},
    {"A.HTM", "*.*", true},
    {"A.HTM", "*.", false},
    {"A.HTM", "/a*", false},
    {"index.htm", "index?.htm", false},
    {"index.htm", "inde?.htm", true},
    {"index.htm", "*.ht", false},
    // A directory is "/" + its name, whatever dots it holds.
    {"ver1.2/", "/", true},
    {"ver1.2/", "\\", true},
    {"ver1.2/", "/ver1*", true},
    {"ver1.2/", "/VER1.2", true},
    {"ver1.2/", "*.2", false},
    {"ver1.2/", "*.*", false},
    {"ver1.2/", "ver1.2", false},
    {"ver1.2/", ":", false},
    {"img/", "\\img*", true},
    {"imgfile", "/img*", true},
    // The batch root answers to ":" alone.
    {"", ":", true},
    {"", "/", false},
    {"", "*", false},
    {"", "/*", false},
    {"", "*.*", false},
    // Vanished paths: no type test can pass, but a mask still can.
    {"gonedir/", "/", false},
    {"gonedir/", "/gone*", true},
    {"gone.htm", "*.", false},
    {"gone.htm", "gone.*", true},
    {"gone.htm", "*.htm", true},
    // An empty filter matches nothing.
    {"a.txt", "", false},
    {"sub/a.txt/", "*.txt", false},
    {"a.txt", "*.txt", true},
};

TEST_F(PathFilterTest, SingleFilterMatch) {
    for (const TFilterCase& c : KFilterCases) {
        const QString filter = QLatin1String(c.Filter);
        EXPECT_EQ(PathMatchesFilter(Path(c.Path), filter, FRoot), c.Expected)
            << "path '" << c.Path << "' filter '" << c.Filter << "'";
        const TPathFilter compiled(filter);
        EXPECT_EQ(compiled.Matches(Path(c.Path), FRoot), c.Expected) << c.Path << " " << c.Filter;
    }
}

// The text-only test may say "perhaps" too often, never "no" for a path that matches: every
// path of the table is tried as it is on disk, as if it had become a file, and as if it had
// become a folder (a plugin may have replaced one by the other).
TEST_F(PathFilterTest, MayMatchNeverRulesOutAPathThatMatches) {
    for (const TFilterCase& c : KFilterCases) {
        const TPathFilter filter{QLatin1String(c.Filter)};
        const QString path = Path(c.Path);
        const bool root = path == FRoot;
        const bool may = filter.MayMatch(path, FRoot);
        EXPECT_TRUE(!c.Expected || may) << c.Path << " " << c.Filter;
        for (const auto kind : {TPathFacts::TKind::File, TPathFacts::TKind::Directory}) {
            if (kind == TPathFacts::TKind::File && path.endsWith(QLatin1Char('/')))
                continue;  // the file system never calls "name/" a file
            if (filter.Matches(TPathFacts(path, FRoot, kind))) {
                EXPECT_TRUE(may) << c.Path << " " << c.Filter << (root ? " (root)" : "");
            }
        }
    }
    // And it does rule out what no file system state could make match.
    struct {
        const char* Path;
        const char* Filter;
    } const ruledOut[] = {
        {"a.txt", "*.htm"}, {"a.txt", ":"},      {"a.txt", "index*"}, {"img/", "*.txt"},
        {"img/", "img"},    {"readme", "read*"}, {"", "*.*"},         {"a.txt", ""},
    };
    for (const auto& c : ruledOut)
        EXPECT_FALSE(TPathFilter(QLatin1String(c.Filter)).MayMatch(Path(c.Path), FRoot))
            << c.Path << " " << c.Filter;
}

TEST_F(PathFilterTest, ListMatchTakesTypeKeysFirstThenMasksInOrder) {
    const QStringList imgThenTxt = {QStringLiteral("/img*"), QStringLiteral("*.txt")};
    EXPECT_FALSE(PathMatchesFilterList(Path("sub/a.txt/"), imgThenTxt, FRoot));
    EXPECT_TRUE(PathMatchesFilterList(Path("a.txt"), imgThenTxt, FRoot));
    EXPECT_TRUE(PathMatchesFilterList(Path("img/"), imgThenTxt, FRoot));
    EXPECT_TRUE(PathMatchesFilterList(Path("imgfile"), imgThenTxt, FRoot));
    EXPECT_FALSE(PathMatchesFilterList(Path("readme"), imgThenTxt, FRoot));
    EXPECT_FALSE(PathMatchesFilterList(FRoot, imgThenTxt, FRoot));
    EXPECT_TRUE(PathMatchesFilterList(FRoot, {QStringLiteral("*.*"), QStringLiteral(":")}, FRoot));
    EXPECT_TRUE(PathMatchesFilterList(Path("A.HTM"), {QStringLiteral("*.Htm")}, FRoot));
    EXPECT_FALSE(PathMatchesFilterList(Path("a.txt"), {}, FRoot));

    // An invalid mask is only looked at when no type key matched and its turn comes.
    const TPathFilterList broken({QStringLiteral("[abc"), QStringLiteral("*.txt")});
    EXPECT_TRUE(broken.Matches(Path("a.txt"), FRoot));
    EXPECT_FALSE(broken.Matches(Path("ver1.2/"), FRoot));  // no "/" mask to try
    EXPECT_THROW(broken.Matches(Path("gone.htm"), FRoot), EqvParamWrong);
}

TEST_F(PathFilterTest, ListMatchAgreesWithSingleMatches) {
    const QStringList lists[] = {
        {QStringLiteral(":"), QStringLiteral("/")},
        {QStringLiteral("*.HTM"), QStringLiteral("/read*")},
        {QStringLiteral("*."), QStringLiteral("*.*")},
        {QStringLiteral("\\ver*"), QStringLiteral("gone.*"), QStringLiteral("")},
    };
    for (const QStringList& list : lists) {
        const TPathFilterList compiled(list);
        for (const TFilterCase& c : KFilterCases) {
            bool any = false;
            for (const QString& filter : list)
                any = any || PathMatchesFilter(Path(c.Path), filter, FRoot);
            EXPECT_EQ(compiled.Matches(Path(c.Path), FRoot), any)
                << c.Path << " in " << list.join(QLatin1Char(' ')).toStdString();
        }
    }
}

TEST(PathNames, MatchNameAndTypeKey) {
    const QString root = QStringLiteral("/w/");
    struct {
        const char* Path;
        const char* MatchName;
        const char* TypeKey;
    } const cases[] = {
        {"/w/", "/w", ":"},
        {"/w", "/w", "*."},  // not the root: the comparison is exact
        {"/w/sub/", "/sub", "/"},
        {"/w/index.htm", "index.htm", "*.htm"},
        {"/w/A.HTM", "A.HTM", "*.HTM"},
        {"/w/readme", "/readme", "*."},
        {"/w/a.tar.gz", "a.tar.gz", "*.gz"},
        {"/w/.profile", ".profile", "*.profile"},
        {"/w/ver1.2/", "/ver1.2", "/"},
        {"C:\\w\\sub\\", "/sub", "/"},
        {"C:\\w\\a.txt", "a.txt", "*.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathMatchName(QLatin1String(c.Path)), QLatin1String(c.MatchName)) << c.Path;
        EXPECT_EQ(PathTypeKey(QLatin1String(c.Path), root), QLatin1String(c.TypeKey)) << c.Path;
    }
}

TEST(PathMask, Syntax) {
    struct {
        const char* Mask;
        const char* Name;
        bool Expected;
    } const cases[] = {
        {"*", "", true},
        {"*", "anything.at.all", true},
        {"?", "", false},
        {"?", "a", true},
        {"??", "a", false},
        {"*.htm", "x.html", false},  // the whole name must match
        {"*.htm", "X.HTM", true},
        {"a*b*c", "aXXbYYc", true},
        {"a*b*c", "aXXcYYb", false},
        {"*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaab", true},
        {"*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaa", false},
        {"[a-c]x", "bx", true},
        {"[a-c]x", "Bx", true},
        {"[A-C]x", "bx", true},
        {"[a-c]x", "dx", false},
        {"[c-a]", "b", true},  // a reversed range means the ordered one
        {"[ace]", "c", true},
        {"[ace]", "d", false},
        {"[!x]y", "ay", true},
        {"[!x]y", "xy", false},
        {"[!x]y", "Xy", false},
        {"[!a-c]", "d", true},
        {"[!a-c]", "B", false},
        {"[a-]", "-", true},
        {"[a-]", "b", false},
        {"[]x", "x", false},  // an empty set matches no character
        {"[!]x", "ax", true},
        {"file[[]1]", "file[1]", true},
        {"ümlaut*", "ÜMLAUT.txt", true},
    };
    for (const auto& c : cases) {
        const TPathMask mask(QString::fromUtf8(c.Mask));
        ASSERT_TRUE(mask.IsValid()) << c.Mask;
        EXPECT_EQ(mask.Matches(QString::fromUtf8(c.Name)), c.Expected)
            << "mask '" << c.Mask << "' name '" << c.Name << "'";
    }
}

TEST(PathMask, UnclosedSetIsInvalidAtItsBracket) {
    struct {
        const char* Mask;
        int Position;
    } const cases[] = {{"[abc", 1}, {"ab[", 3}, {"a[b]c[d", 6}, {"[!", 1}, {"*.[ht", 3}};
    for (const auto& c : cases) {
        const QString text = QLatin1String(c.Mask);
        const TPathMask mask(text);
        EXPECT_FALSE(mask.IsValid()) << c.Mask;
        EXPECT_EQ(mask.ErrorPosition(), c.Position) << c.Mask;
        const QString expected =
            QStringLiteral("'%1' is an invalid mask at (%2)").arg(text).arg(c.Position);
        try {
            mask.Matches(QStringLiteral("abc"));
            ADD_FAILURE() << "no error for " << c.Mask;
        } catch (const EqvParamWrong& e) {
            EXPECT_EQ(e.Message(), expected);
        }
    }
}

TEST_F(PathFilterTest, InvalidMaskRaisesOnlyWhenTheMaskIsTested) {
    const TPathFilter filter(QStringLiteral("*.[ht"));
    // The root and paths whose match name begins with "/" never reach the mask.
    EXPECT_FALSE(filter.Matches(FRoot, FRoot));
    EXPECT_FALSE(filter.Matches(Path("readme"), FRoot));
    try {
        filter.Matches(Path("index.htm"), FRoot);
        ADD_FAILURE() << "no error";
    } catch (const EqvParamWrong& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'*.[ht' is an invalid mask at (3)"));
    }
}

}  // namespace

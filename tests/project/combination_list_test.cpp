#include "project/combination_list.h"

#include <QMimeDatabase>

#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "tests/project/test_plugins.h"
#include "tests/support/scripted_prompts.h"

void PrintTo(const QString& AText, std::ostream* AOut) {
    *AOut << '"' << AText.toStdString() << '"';
}

namespace {

QStringList Texts(const std::vector<const TPatternMeta*>& APatterns) {
    QStringList texts;
    for (const TPatternMeta* pattern : APatterns)
        texts << pattern->PatType;
    return texts;
}

QStringList Filters(const TCombinationList& AList) {
    QStringList filters;
    for (const TCombinationEntry& entry : AList.Entries())
        filters << entry.Pattern->PatType + QLatin1Char('>') + entry.Plugin->FPluginInfoHost.StrID;
    return filters;
}

class CombinationListTest : public ProjectPluginsTest {
protected:
    TPluginStoredLibInfo* Plugin(const QString& AStrID) { return &FPlugins.Plugin(AStrID); }

    TScriptedPrompts FPrompts;
};

}  // namespace

TEST(PatternRegistry, BuiltInPatternsComeFirstWithFixedKindsAndImages) {
    TPatternRegistry registry;
    struct TCase {
        QString Text;
        QString Description;
        std::uint32_t Kind;
        int Image;
    };
    const std::vector<TCase> cases = {
        {QStringLiteral(":"), QStringLiteral("Root Directory"), PLV_CAN_WORK_ROOT, 0},
        {QStringLiteral("/"), QStringLiteral("All Directories"), PLV_CAN_WORK_DIRECTORIES, 0},
        {QStringLiteral("*.*"), QStringLiteral("All Files"), PLV_CAN_WORK_FILES, 1},
        {QStringLiteral("*."), QStringLiteral("Untyped File"), PLV_CAN_WORK_FILES, 2},
    };
    for (const TCase& c : cases) {
        const TPatternMeta* meta = registry.Find(c.Text);
        ASSERT_NE(meta, nullptr) << c.Text.toStdString();
        EXPECT_EQ(meta->PatAddType, patApp);
        EXPECT_EQ(meta->PatDescription, c.Description);
        EXPECT_EQ(meta->CanWorkCategory, c.Kind);
        EXPECT_EQ(meta->ImageIndex, c.Image);
    }
    EXPECT_EQ(registry.ImageIconNames().at(0), QStringLiteral("folder"));
    // Root before all directories (same image), then by image.
    EXPECT_EQ(Texts(registry.ChooserPatterns()),
              QStringList({QStringLiteral(":"), QStringLiteral("/"), QStringLiteral("*.*"),
                           QStringLiteral("*.")}));
}

TEST(PatternRegistry, RegisteringAnExistingTextInAnyCaseKeepsTheFirstEntry) {
    TPatternRegistry registry;
    const TPatternMeta& first = registry.Register(QStringLiteral("*.HTM"), patUser, 1);
    const TPatternMeta& again = registry.Register(QStringLiteral("*.htm"), patPlugin, 2);
    EXPECT_EQ(&first, &again);
    EXPECT_EQ(again.PatType, QStringLiteral("*.HTM"));
    EXPECT_EQ(again.PatAddType, patUser);
    EXPECT_EQ(again.CanWorkCategory, 1u);
    // A built-in pattern keeps its kind whoever registers it.
    EXPECT_EQ(registry.Register(QStringLiteral(":"), patUser, 1).CanWorkCategory,
              PLV_CAN_WORK_ROOT);
    EXPECT_EQ(Texts(registry.Entries()),
              QStringList({QStringLiteral("*."), QStringLiteral("*.*"), QStringLiteral("*.HTM"),
                           QStringLiteral("/"), QStringLiteral(":")}));
}

TEST(PatternRegistry, DescriptionsOfUnknownPatternsNameTheirKind) {
    EXPECT_EQ(DescribePattern(QStringLiteral("*.zzqqx")), QStringLiteral("*.ZZQQX file"));
    EXPECT_EQ(DescribePattern(QStringLiteral("/backup")), QStringLiteral("/BACKUP directory"));
    EXPECT_EQ(DescribePattern(QStringLiteral("index*.htm")), QStringLiteral("INDEX*.HTM file"));
    // A known file type gets the platform's name for it.
    const QMimeType html =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("x.htm"), QMimeDatabase::MatchExtension);
    if (html.isDefault())
        GTEST_SKIP() << "the MIME database knows no HTML type here";
    EXPECT_EQ(DescribePattern(QStringLiteral("*.htm")), html.comment());
}

TEST(TypedPattern, Normalisation) {
    struct TCase {
        QString Typed;
        QString Text;
        std::uint32_t Kind;
    };
    const std::vector<TCase> cases = {
        {QStringLiteral(".HTM"), QStringLiteral("*.HTM"), PLV_CAN_WORK_FILES},
        {QStringLiteral("\\backup\\"), QStringLiteral("/backup"), PLV_CAN_WORK_DIRECTORIES},
        {QStringLiteral("my?[x]"), QStringLiteral("myx"), PLV_CAN_WORK_FILES},
        {QStringLiteral("  *.txt  "), QStringLiteral("*.txt"), PLV_CAN_WORK_FILES},
        {QStringLiteral("/a/b\\c"), QStringLiteral("/abc"), PLV_CAN_WORK_DIRECTORIES},
        {QStringLiteral("a/b\\c.d"), QStringLiteral("abc.d"), PLV_CAN_WORK_FILES},
        {QStringLiteral("/"), QStringLiteral("/"), PLV_CAN_WORK_DIRECTORIES},
        {QStringLiteral("."), QStringLiteral("*."), PLV_CAN_WORK_FILES},
        {QStringLiteral("?[]"), QString(), PLV_CAN_WORK_FILES},
    };
    for (const TCase& c : cases) {
        const TTypedPattern typed = NormaliseTypedPattern(c.Typed);
        EXPECT_EQ(typed.Text, c.Text) << c.Typed.toStdString();
        EXPECT_EQ(typed.CanWorkCategory, c.Kind) << c.Typed.toStdString();
    }
}

TEST_F(CombinationListTest, PluginSuggestionsAreOfferedOnceSortedAndUserPatternsNever) {
    TCombinationList list(FPlugins.Host(), &FPrompts);
    // ".htm" (first in plugin order) and ".HTM" are one pattern.
    EXPECT_EQ(Texts(list.Patterns().ChooserPatterns()),
              QStringList({QStringLiteral(":"), QStringLiteral("/"), QStringLiteral("*.*"),
                           QStringLiteral("*."), QStringLiteral("*.css"), QStringLiteral("*.htm"),
                           QStringLiteral("*.txt")}));
    EXPECT_EQ(list.Patterns().Find(QStringLiteral("*.htm"))->PatAddType, patPlugin);

    ASSERT_EQ(list.AddItem(QStringLiteral("*.zzqqx"), true, Plugin(KFilesID)).Result,
              TCombinationList::TAddResult::Added);
    EXPECT_EQ(list.Patterns().Find(QStringLiteral("*.zzqqx"))->PatAddType, patUser);
    EXPECT_FALSE(Texts(list.Patterns().ChooserPatterns()).contains(QStringLiteral("*.zzqqx")));
}

TEST_F(CombinationListTest, TypedPatternsReuseRegisteredSpellingsOrBecomeUserPatterns) {
    TCombinationList list(FPlugins.Host(), &FPrompts);
    struct TCase {
        QString Typed;
        QString Pattern;
        TPatAddType Origin;
        std::uint32_t Kind;
    };
    const std::vector<TCase> cases = {
        {QStringLiteral(".HTM"), QStringLiteral("*.htm"), patPlugin, PLV_CAN_WORK_FILES},
        {QStringLiteral(".XHT"), QStringLiteral("*.XHT"), patUser, PLV_CAN_WORK_FILES},
        {QStringLiteral(".xht"), QStringLiteral("*.XHT"), patUser, PLV_CAN_WORK_FILES},
        {QStringLiteral("\\backup\\"), QStringLiteral("/backup"), patUser,
         PLV_CAN_WORK_DIRECTORIES},
        {QStringLiteral("my?[x]"), QStringLiteral("myx"), patUser, PLV_CAN_WORK_FILES},
    };
    for (const TCase& c : cases) {
        const auto outcome = list.AddItem(c.Typed, true, Plugin(KBothID));
        ASSERT_EQ(outcome.Result, TCombinationList::TAddResult::Added) << c.Typed.toStdString();
        const TPatternMeta& pattern = *list.At(outcome.Index).Pattern;
        EXPECT_EQ(pattern.PatType, c.Pattern) << c.Typed.toStdString();
        EXPECT_EQ(pattern.PatAddType, c.Origin) << c.Typed.toStdString();
        EXPECT_EQ(pattern.CanWorkCategory, c.Kind) << c.Typed.toStdString();
    }
    // A picked text is looked up, not normalised.
    EXPECT_EQ(list.ResolvePattern(QStringLiteral("*.*"), false)->PatAddType, patApp);
    EXPECT_EQ(list.ResolvePattern(QStringLiteral("  "), true), nullptr);
    EXPECT_EQ(list.AddItem(QStringLiteral("[?]"), true, Plugin(KBothID)).Result,
              TCombinationList::TAddResult::NoPattern);
    EXPECT_EQ(list.AddItem(QStringLiteral("*.*"), false, nullptr).Result,
              TCombinationList::TAddResult::NoPlugin);
    EXPECT_EQ(list.Count(), static_cast<int>(cases.size()));
}

TEST_F(CombinationListTest, PluginMustAcceptEveryKindBitOfTheFilter) {
    struct TCase {
        QString Pattern;
        bool Typed;
        QString Plugin;
        bool Accepted;
    };
    const std::vector<TCase> cases = {
        {QStringLiteral("/"), false, KFilesID, false},
        {QStringLiteral("/"), false, KDirsID, true},
        {QStringLiteral("/"), false, KBothID, true},
        {QStringLiteral(":"), false, KBothID, false},
        {QStringLiteral(":"), false, KRootID, true},
        {QStringLiteral(":"), false, KAllID, true},
        {QStringLiteral("*.*"), false, KDirsID, false},
        {QStringLiteral("*.*"), false, KRootID, false},
        {QStringLiteral("*.*"), false, KFilesID, true},
        {QStringLiteral("\\backup\\"), true, KFilesID, false},
        {QStringLiteral("\\backup\\"), true, KDirsID, true},
    };
    for (const TCase& c : cases) {
        TScriptedPrompts prompts;
        TCombinationList list(FPlugins.Host(), &prompts);
        const auto outcome = list.AddItem(c.Pattern, c.Typed, Plugin(c.Plugin));
        const std::string name = (c.Pattern + QLatin1Char(' ') + c.Plugin).toStdString();
        EXPECT_EQ(outcome.Result == TCombinationList::TAddResult::Added, c.Accepted) << name;
        EXPECT_EQ(list.Count(), c.Accepted ? 1 : 0) << name;
        EXPECT_EQ(list.Changed(), c.Accepted) << name;
        EXPECT_EQ(prompts.Shown,
                  c.Accepted ? QStringList()
                             : QStringList({QStringLiteral(
                                   "The plugin chosen has marked itself as being non-compatible "
                                   "with the filter currently selected.")}))
            << name;
    }
}

TEST_F(CombinationListTest, AddInsertDeleteAndMoveKeepTheRunOrder) {
    TCombinationList list(FPlugins.Host(), &FPrompts);
    list.AddItem(QStringLiteral("*.txt"), false, Plugin(KFilesID));
    list.AddItem(QStringLiteral("/"), false, Plugin(KDirsID));
    EXPECT_EQ(list.InsertItem(1, QStringLiteral(":"), false, Plugin(KRootID)).Index, 1);
    EXPECT_EQ(list.InsertItem(3, QStringLiteral("*.css"), false, Plugin(KBothID)).Index, 3);
    EXPECT_EQ(
        Filters(list),
        QStringList({QStringLiteral("*.txt>zq_test_files"), QStringLiteral(":>zq_test_root"),
                     QStringLiteral("/>zq_test_dirs"), QStringLiteral("*.css>zq_test_both")}));
    EXPECT_THROW(list.InsertItem(5, QStringLiteral("*.*"), false, Plugin(KFilesID)),
                 EqvParamOutOfValidRangeError);

    EXPECT_EQ(list.SwapItemUp(0), 0);
    EXPECT_EQ(list.SwapItemDown(3), 3);
    EXPECT_EQ(list.SwapItemDown(0), 1);
    EXPECT_EQ(list.SwapItemUp(3), 2);
    EXPECT_EQ(
        Filters(list),
        QStringList({QStringLiteral(":>zq_test_root"), QStringLiteral("*.txt>zq_test_files"),
                     QStringLiteral("*.css>zq_test_both"), QStringLiteral("/>zq_test_dirs")}));

    // Deleting the last entry selects the new last one; the only entry leaves nothing.
    EXPECT_EQ(list.DeleteItem(3), 2);
    EXPECT_EQ(list.DeleteItem(0), 0);
    EXPECT_EQ(list.DeleteItem(0), 0);
    EXPECT_EQ(list.DeleteItem(0), -1);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_THROW(list.DeleteItem(0), EqvParamOutOfValidRangeError);
}

TEST_F(CombinationListTest, EveryEditMarksTheListChanged) {
    TCombinationList list(FPlugins.Host(), &FPrompts);
    const auto editWith = [&](const char* AName, const std::function<void()>& AEdit,
                              bool AChanges) {
        list.ClearChanged();
        AEdit();
        EXPECT_EQ(list.Changed(), AChanges) << AName;
    };
    editWith(
        "add", [&] { list.AddItem(QStringLiteral("*.txt"), false, Plugin(KFilesID)); }, true);
    editWith(
        "insert", [&] { list.InsertItem(0, QStringLiteral("*.*"), false, Plugin(KFilesID)); },
        true);
    editWith(
        "move", [&] { list.SwapItemDown(0); }, true);
    editWith(
        "move at the end", [&] { list.SwapItemDown(1); }, false);
    editWith(
        "value",
        [&] { list.SetValueStream(0, QStringLiteral("Opt"), StoredSingle(QStringLiteral("off"))); },
        true);
    editWith(
        "same value",
        [&] { list.SetValueStream(0, QStringLiteral("Opt"), StoredSingle(QStringLiteral("off"))); },
        false);
    editWith(
        "delete", [&] { list.DeleteItem(1); }, true);
    editWith(
        "load", [&] { list.Clear(); }, false);
    EXPECT_THROW(list.SetValueStream(0, QStringLiteral("Opt"), {}), EqvParamOutOfValidRangeError);
}

TEST_F(CombinationListTest, EntriesStartWithOneEmptyStreamPerPropertyAndHandOverCopies) {
    TCombinationList list(FPlugins.Host(), &FPrompts);
    list.AddItem(QStringLiteral("*.*"), false, Plugin(KAllID));
    const TPropertyStreams expected = {
        {QStringLiteral("Mode"), {}},  {QStringLiteral("Set"), {}}, {QStringLiteral("Boxes"), {}},
        {QStringLiteral("Rules"), {}}, {QStringLiteral("Doc"), {}}, {QStringLiteral("Custom"), {}}};
    EXPECT_EQ(list.At(0).Values, expected);
    EXPECT_EQ(list.ModuleColumnText(0), QStringLiteral("Internal/All"));
    EXPECT_THROW(list.SetValueStream(0, QStringLiteral("Nope"), StoredSingle(QStringLiteral("a"))),
                 EqvParamWrong);

    list.SetValueStream(0, QStringLiteral("Mode"), StoredSingle(QStringLiteral("c")));
    const std::vector<TBatchCombination> batch = list.BatchCombinations();
    list.SetValueStream(0, QStringLiteral("Mode"), StoredSingle(QStringLiteral("a")));
    list.DeleteItem(0);

    ASSERT_EQ(batch.size(), 1u);
    EXPECT_EQ(batch[0].Filter, QStringLiteral("*.*"));
    EXPECT_EQ(batch[0].Props.LibInfo_Ref, Plugin(KAllID));
    EXPECT_EQ(batch[0].Props.StoredStream(QStringLiteral("Mode")),
              StoredSingle(QStringLiteral("c")));
    // Never-opened properties deliver the declaration defaults.
    EXPECT_EQ(
        FPlugins.Deliver(batch[0]),
        QStringList(
            {QStringLiteral("ChoiceValue(Mode,c)"), QStringLiteral("ChoiceValueCount(Set,2)"),
             QStringLiteral("ChoiceValue(Set,a)"), QStringLiteral("ChoiceValue(Set,c)"),
             QStringLiteral("TextBoxValue(Boxes,user,anna)"),
             QStringLiteral("TextBoxValue(Boxes,port,21)"),
             QStringLiteral("GridValueCount(Rules,2)"), QStringLiteral("GridValue(Rules,find,0,x)"),
             QStringLiteral("GridValue(Rules,replace,0,y)"),
             QStringLiteral("FileValue(Doc,default document\r\n)")}));
}

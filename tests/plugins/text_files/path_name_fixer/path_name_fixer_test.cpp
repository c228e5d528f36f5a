#include "plugins/text_files/path_name_fixer/plugin_internal_path_name_fixer.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <vector>

#include "base/stream_fields.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"

namespace {

const QString KProp = QStringLiteral("NameAlterations");
const QStringList KColumns = {QStringLiteral("CASE_SENSITIVE"), QStringLiteral("INCLUDE_EXTENSION"),
                              QStringLiteral("ADD_INCREMENT"),  QStringLiteral("CHANGE_CASE"),
                              QStringLiteral("MATCH"),          QStringLiteral("REPLACE")};

QString S(const char* AText) {
    return QString::fromUtf8(AText);
}

// One rule row: case-sensitive, include extension, increment, case change, match, replace.
QStringList Rule(const char* ACaseSensitive, const char* AIncludeExtension, const char* AIncrement,
                 const char* ACaseChange, const char* AMatch, const char* AReplace) {
    return {S(ACaseSensitive), S(AIncludeExtension), S(AIncrement), S(ACaseChange),
            S(AMatch),         S(AReplace)};
}

class PathNameFixerTest : public ::testing::Test {
protected:
    QString Root() const { return FHarness.Temp().Path(QStringLiteral("w/")); }
    QString At(const QString& ARelative) const { return Root() + ARelative; }

    // Creates the entries (a name ending in "/" is a folder) and runs one combination over the
    // paths; returns the output paths relative to the root.
    QStringList Rename(const QList<QStringList>& ARules, const QStringList& AExisting,
                       const QStringList& APaths) {
        for (const QString& entry : AExisting) {
            if (entry.endsWith(u'/'))
                FHarness.Temp().MakeFolder(QStringLiteral("w/") + entry);
            else
                FHarness.Temp().WriteFile(QStringLiteral("w/") + entry, entry.toUtf8());
        }
        QStringList paths;
        for (const QString& path : APaths)
            paths << At(path);
        QHash<QString, QByteArray> values;
        values.insert(KProp, StoredGrid(KColumns, ARules));
        QStringList outputs = FHarness.Run(Root(), values, paths);
        for (QString& output : outputs)
            if (output.startsWith(Root()))
                output.remove(0, Root().size());
        return outputs;
    }

    // The entries below the root, relative, sorted; folders end with "/".
    QStringList Entries() const {
        QStringList entries;
        const QDir root(Root());
        for (const QFileInfo& info : root.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                        QDir::System | QDir::Hidden))
            entries << info.fileName() + (info.isDir() ? QStringLiteral("/") : QString());
        entries.sort();
        return entries;
    }

    TPluginBatchHarness FHarness{QStringLiteral("PathNameFixer"),
                                 [] { return std::make_unique<TPluginInternal_PathNameFixer>(); }};
};

TEST_F(PathNameFixerTest, InformationAndDeclarations) {
    TPluginStoredLibInfo& plugin = FHarness.Descriptor();
    const TPluginInfoHost& info = plugin.FPluginInfoHost;
    EXPECT_EQ(info.StrID, QStringLiteral("zq_kestrin_PathNameFixer"));
    EXPECT_EQ(info.PluginDesc,
              QStringLiteral("Alter directory and file path names in various ways."));
    EXPECT_TRUE(info.CanLaunchFilesSep.isEmpty() && info.CanLaunchFilesList.isEmpty());
    EXPECT_TRUE(info.HasLogo.isEmpty() && info.SuggestedExts.isEmpty());
    EXPECT_EQ(info.PluginVersion, QStringLiteral("1.04"));
    EXPECT_EQ(info.InterfaceVersion, QStringLiteral("1.0.4"));
    EXPECT_EQ(info.PluginCategory, pcFileProcessing);
    EXPECT_EQ(info.CanWorkCategory, 3u);
    EXPECT_EQ(info.ReleaseState, 4u);

    ASSERT_EQ(plugin.FProperties.size(), 1u);
    const auto* grid = dynamic_cast<const TPluginPropertyGrid*>(plugin.FProperties[0].get());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->FPropName, KProp);
    EXPECT_EQ(grid->FShownName, QStringLiteral("Rename"));
    EXPECT_EQ(grid->FReadyServices, 0u);
    EXPECT_EQ(grid->FPropGridIgnoreRowsLevel, pgirlAllRowCellsEmptyWhenTrimmed);
    EXPECT_TRUE(grid->FHint.isEmpty());
    EXPECT_EQ(grid->FHelp,
              QStringLiteral("A \"path name\" is either a \"file\" or last \"directory\" name in "
                             "path. \r\nWith files, the name matched can optionally \"Include "
                             "Extension\". \r\n\r\n\"Add Increment\" and \"Change Case\" will only "
                             "happen if \"Match\" is empty or if \"Match\" is found in \"path "
                             "name\"."));

    TStreamWriter expected;
    expected.WriteInt32(6);
    const std::vector<std::tuple<const char*, const char*, const char*, std::int32_t>> columns = {
        {"CASE_SENSITIVE", "Case Sensitive", "60+", 4096},
        {"INCLUDE_EXTENSION", "Include Extension", "60+", 4096},
        {"ADD_INCREMENT", "Add Increment", "60+", 512},
        {"CHANGE_CASE", "Change Case", "60+", 512},
        {"MATCH", "Match", "50%", 0},
        {"REPLACE", "Replace", "50%", 0},
    };
    for (const auto& [id, caption, width, flags] : columns) {
        expected.WriteAnsiString(S(id));
        expected.WriteUtf8String(S(caption));
        expected.WriteAnsiString(S(width));
        expected.WriteInt32(flags);
    }
    expected.WriteInt32(2);
    expected.WriteInt32(2);
    expected.WriteInt32(0);
    expected.WriteUtf8String(QStringLiteral(",none,none,prepend,append"));
    expected.WriteInt32(3);
    expected.WriteInt32(0);
    expected.WriteUtf8String(QStringLiteral(",none,none,lower,upper"));
    EXPECT_EQ(grid->FInitStreamData, expected.Data());
}

TEST_F(PathNameFixerTest, RulesRenameTheLastName) {
    struct TCase {
        const char* Name;
        QList<QStringList> Rules;
        QStringList Existing;
        QStringList Paths;
        QStringList Outputs;
        QStringList EntriesAfter;
        int Reports;
    };
    const std::vector<TCase> cases = {
        {"replace ignoring case",
         {Rule("False", "", "none", "none", "photo", "img")},
         {S("Photo.JPG")},
         {S("Photo.JPG")},
         {S("img.JPG")},
         {S("img.JPG")},
         0},
        {"replace minding case finds nothing",
         {Rule("True", "", "none", "none", "photo", "img")},
         {S("Photo.JPG")},
         {S("Photo.JPG")},
         {S("Photo.JPG")},
         {S("Photo.JPG")},
         0},
        {"the extension only when included",
         {Rule("True", "True", "none", "none", ".JPG", ".jpg")},
         {S("Photo.JPG")},
         {S("Photo.JPG")},
         {S("Photo.jpg")},
         {S("Photo.jpg")},
         0},
        {"running numbers rise over the paths",
         {Rule("", "", "append", "none", "", "")},
         {S("a.txt"), S("b.txt")},
         {S("a.txt"), S("b.txt")},
         {S("a1.txt"), S("b2.txt")},
         {S("a1.txt"), S("b2.txt")},
         0},
        {"a number in use is skipped",
         {Rule("", "", "append", "none", "", "")},
         {S("a.txt"), S("b.txt"), S("a1.txt")},
         {S("a.txt"), S("b.txt")},
         {S("a2.txt"), S("b3.txt")},
         {S("a1.txt"), S("a2.txt"), S("b3.txt")},
         0},
        {"a number whose name a folder holds is skipped",
         {Rule("", "", "append", "none", "", "")},
         {S("a.txt"), S("a1.txt/")},
         {S("a.txt")},
         {S("a2.txt")},
         {S("a1.txt/"), S("a2.txt")},
         0},
        {"upper case leaves the extension",
         {Rule("", "", "none", "upper", "", "")},
         {S("photo.jpg")},
         {S("photo.jpg")},
         {S("PHOTO.jpg")},
         {S("PHOTO.jpg")},
         0},
        {"a folder gets its number in front",
         {Rule("", "", "prepend", "none", "", "")},
         {S("sub/")},
         {S("sub/")},
         {S("1sub/")},
         {S("1sub/")},
         0},
        {"a folder name has no extension",
         {Rule("", "", "none", "upper", "", "")},
         {S("my.dir/")},
         {S("my.dir/")},
         {S("MY.DIR/")},
         {S("MY.DIR/")},
         0},
        {"the number goes before the last dot of the name",
         {Rule("", "", "append", "none", "", "")},
         {S("archive.tar.gz")},
         {S("archive.tar.gz")},
         {S("archive1.tar.gz")},
         {S("archive1.tar.gz")},
         0},
        {"with the extension included the number goes before the extension",
         {Rule("", "1", "append", "none", "", "")},
         {S("archive.tar.gz")},
         {S("archive.tar.gz")},
         {S("archive.tar1.gz")},
         {S("archive.tar1.gz")},
         0},
        {"a name that is all extension",
         {Rule("", "", "append", "none", "", "")},
         {S(".profile")},
         {S(".profile")},
         {S("1.profile")},
         {S("1.profile")},
         0},
        {"only the first rule that asks adds a number",
         {Rule("", "", "prepend", "none", "", ""), Rule("", "", "append", "none", "", "")},
         {S("x.txt")},
         {S("x.txt")},
         {S("1x.txt")},
         {S("1x.txt")},
         0},
        {"a Match not found adds no number and changes no case",
         {Rule("", "", "append", "upper", "zzz", "y")},
         {S("x.txt")},
         {S("x.txt")},
         {S("x.txt")},
         {S("x.txt")},
         0},
        {"a found Match allows number and case",
         {Rule("False", "", "append", "lower", "X", "Yy")},
         {S("aXb.TXT")},
         {S("aXb.TXT")},
         {S("ayyb1.TXT")},
         {S("ayyb1.TXT")},
         0},
        {"rules work one after the other",
         {Rule("True", "", "none", "none", "a", "b"), Rule("True", "", "none", "none", "b", "c")},
         {S("a.txt")},
         {S("a.txt")},
         {S("c.txt")},
         {S("c.txt")},
         0},
        {"an existing target is never replaced",
         {Rule("True", "", "none", "none", "a", "b")},
         {S("a.txt"), S("b.txt")},
         {S("a.txt")},
         {S("a.txt")},
         {S("a.txt"), S("b.txt")},
         1},
        {"a new name may not leave the folder",
         {Rule("True", "", "none", "none", "a", "../a")},
         {S("a.txt")},
         {S("a.txt")},
         {S("a.txt")},
         {S("a.txt")},
         1},
        {"a new name may not be empty",
         {Rule("True", "1", "none", "none", "a.txt", "")},
         {S("a.txt")},
         {S("a.txt")},
         {S("a.txt")},
         {S("a.txt")},
         1},
        {"a path that is gone is reported",
         {Rule("True", "", "none", "none", "a", "b")},
         {},
         {S("a.txt")},
         {S("a.txt")},
         {},
         1},
    };
    for (const TCase& c : cases) {
        QDir(Root()).removeRecursively();
        QDir().mkpath(Root());
        FHarness.Sink().Clear();
        EXPECT_EQ(Rename(c.Rules, c.Existing, c.Paths), c.Outputs) << c.Name;
        EXPECT_EQ(Entries(), c.EntriesAfter) << c.Name;
        EXPECT_EQ(FHarness.Sink().Errors().size(), c.Reports) << c.Name;
        EXPECT_FALSE(FHarness.Sink().AnyAdvice()) << c.Name;
    }
}

TEST_F(PathNameFixerTest, TheTargetKeepsItsContentWhenTheRenameIsRefused) {
    EXPECT_EQ(Rename({Rule("True", "", "none", "none", "a", "b")}, {S("a.txt"), S("b.txt")},
                     {S("a.txt")}),
              QStringList{S("a.txt")});
    EXPECT_EQ(FHarness.Temp().ReadFile(QStringLiteral("w/b.txt")), QByteArray("b.txt"));
    EXPECT_EQ(FHarness.Temp().ReadFile(QStringLiteral("w/a.txt")), QByteArray("a.txt"));
    ASSERT_EQ(FHarness.Sink().Errors().size(), 1);
    EXPECT_TRUE(FHarness.Sink().Errors().front().contains(At(QStringLiteral("b.txt"))));
}

TEST_F(PathNameFixerTest, TheDefaultRowRenamesNothingAndNumbersRestartPerCombination) {
    const QString a = FHarness.Temp().WriteFile(QStringLiteral("w/a.txt"), "a");
    // Never opened: the declared row with its value-list texts, which ask for nothing.
    EXPECT_EQ(FHarness.Run(Root(), {}, {a}), QStringList{a});
    EXPECT_EQ(Entries(), QStringList{S("a.txt")});

    const QHash<QString, QByteArray> numbered = {
        {KProp, StoredGrid(KColumns, {Rule("", "", "PREPEND ", "none", "", "")})}};
    EXPECT_EQ(FHarness.Run(Root(), numbered, {a}), QStringList{At(S("1a.txt"))});
    const QString b = FHarness.Temp().WriteFile(QStringLiteral("w/b.txt"), "b");
    EXPECT_EQ(FHarness.Run(Root(), numbered, {b}), QStringList{At(S("1b.txt"))});
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());
}

TEST_F(PathNameFixerTest, WorkersAtOnceNeverTakeTheSameNumber) {
    constexpr int KThreads = 6;
    constexpr int KFilesEach = 12;
    QStringList paths;
    for (int i = 0; i < KThreads * KFilesEach; ++i)
        paths << FHarness.Temp().WriteFile(QStringLiteral("w/f.%1").arg(i), "x");
    // Every file is named "f" plus a number plus its extension.
    FHarness.Start(Root(),
                   {{KProp, StoredGrid(KColumns, {Rule("", "", "append", "none", "", "")})}});
    std::vector<QStringList> outputs(KThreads);
    std::vector<std::thread> workers;
    for (int t = 0; t < KThreads; ++t)
        workers.emplace_back([&, t] {
            for (int i = t * KFilesEach; i < (t + 1) * KFilesEach; ++i)
                outputs[static_cast<std::size_t>(t)] << FHarness.Work(paths.at(i));
        });
    for (std::thread& worker : workers)
        worker.join();
    FHarness.End();
    std::set<QString> numbers;
    for (const QStringList& list : outputs)
        for (const QString& output : list) {
            const QString name = QFileInfo(output).fileName();
            EXPECT_TRUE(QFileInfo::exists(output)) << name.toStdString();
            numbers.insert(name.section(u'.', 0, 0));
        }
    std::set<QString> expected;
    for (int n = 1; n <= KThreads * KFilesEach; ++n)
        expected.insert(QStringLiteral("f%1").arg(n));
    EXPECT_EQ(numbers, expected);
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());
}

}  // namespace

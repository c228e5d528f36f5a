#include "plugins/text_files/list_paths/plugin_internal_list_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <vector>

#include "base/stream_fields.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"
#include "tests/support/child_process.h"

namespace {

QString S(const char* AText) {
    return QString::fromUtf8(AText);
}

const QString KClear = QStringLiteral("CLEAR_OUTPUT_FILE_CONTENT");
const QString KRelative = QStringLiteral("WRITE_PATHS_RELATIVE");
const QString KSorted = QStringLiteral("WRITE_PATHS_SORTED");
const QString KTrimmed = QStringLiteral("WRITE_PATHS_TRIMED");
const QString KNewline = QStringLiteral("WRITE_PATHS_NEWLINE");
const QString KSearch = QStringLiteral("WRITE_PATHS_DOCONTENTSEARCH");

class ListPathsTest : public ::testing::Test {
protected:
    void SetUp() override { FHarness.Temp().MakeFolder(QStringLiteral("out")); }

    QString Root() const { return FHarness.Temp().Path(QStringLiteral("w/")); }
    QString OutputFile() const { return FHarness.Temp().Path(QStringLiteral("out/list.txt")); }

    // The values of one combination; the output file is OutputFile() unless given.
    static QHash<QString, QByteArray> Values(const QStringList& AOptions, const QString& ASeparator,
                                             const QString& AOutputFile,
                                             const QList<QStringList>& ASimple = {},
                                             const QList<QStringList>& ARegex = {},
                                             const QString& AAdvanced = {}) {
        QHash<QString, QByteArray> values;
        values.insert(QStringLiteral("SelectOptions"), StoredChoices(AOptions));
        values.insert(QStringLiteral("EditOptions"),
                      StoredTextBoxes({{QStringLiteral("OUTPUT_FILE_PATH"), AOutputFile},
                                       {QStringLiteral("SEP_STR"), ASeparator}}));
        values.insert(
            QStringLiteral("ContentSearchSimple"),
            StoredGrid({QStringLiteral("CASE_SENSITIVE"), QStringLiteral("MATCH")}, ASimple));
        values.insert(QStringLiteral("ContentSearchRegex"),
                      StoredGrid({QStringLiteral("MODIFIERS"), QStringLiteral("MATCH")}, ARegex));
        if (!AAdvanced.isEmpty())
            values.insert(QStringLiteral("ContentSearchOptions"), StoredFile(AAdvanced));
        return values;
    }

    // Creates the entries below the root (a name ending in "/" is a folder; the file content is
    // what follows "=" in the name, if anything) and returns their full paths.
    QStringList MakeEntries(const QStringList& AEntries) const {
        QStringList paths;
        for (const QString& entry : AEntries) {
            const QString name = entry.section(u'=', 0, 0);
            if (name.endsWith(u'/'))
                paths << FHarness.Temp().MakeFolder(QStringLiteral("w/") + name);
            else
                paths << FHarness.Temp().WriteFile(QStringLiteral("w/") + name,
                                                   entry.section(u'=', 1).toUtf8());
        }
        return paths;
    }

    TPluginBatchHarness FHarness{QStringLiteral("ListPaths"),
                                 [] { return std::make_unique<TPluginInternal_ListPaths>(); }};
};

TEST_F(ListPathsTest, InformationAndDeclarations) {
    TPluginStoredLibInfo& plugin = FHarness.Descriptor();
    const TPluginInfoHost& info = plugin.FPluginInfoHost;
    EXPECT_EQ(info.StrID, QStringLiteral("zq_kestrin_ListPaths"));
    EXPECT_EQ(info.PluginDesc,
              QStringLiteral("All paths passed to plugin will be separated by a string, e.g. "
                             "\",\", and written to a designated file."));
    EXPECT_TRUE(info.CanLaunchFilesSep.isEmpty());
    EXPECT_EQ(info.CanLaunchFilesList, QStringLiteral("default.txt"));
    EXPECT_TRUE(info.HasLogo.isEmpty() && info.SuggestedExts.isEmpty());
    EXPECT_EQ(info.PluginVersion, QStringLiteral("1.0.4"));
    EXPECT_EQ(info.InterfaceVersion, QStringLiteral("1.0.4"));
    EXPECT_EQ(info.PluginCategory, pcMiscellaneous);
    EXPECT_EQ(info.CanWorkCategory, 3u);
    EXPECT_EQ(info.ReleaseState, 4u);

    struct TExpected {
        const char* Name;
        const char* Shown;
        TVisualPropType Kind;
        std::uint32_t Services;
    };
    const std::vector<TExpected> expected = {
        {"SelectOptions", "Output Config", vtpChoiceMultiple, 0},
        {"EditOptions", "Output File", vptTextBoxes, 3},
        {"ContentSearchSimple", "Content Search Simple", vptGrid, 2},
        {"ContentSearchRegex", "Content Search Regex", vptGrid, 2},
        {"ContentSearchOptions", "Content Search Advanced", vptFile, 0},
    };
    ASSERT_EQ(plugin.FProperties.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const TPluginProperty& property = *plugin.FProperties[i];
        EXPECT_EQ(property.FPropName, S(expected[i].Name));
        EXPECT_EQ(property.FShownName, S(expected[i].Shown));
        EXPECT_EQ(property.FVisualPropType, expected[i].Kind);
        EXPECT_EQ(property.FReadyServices, expected[i].Services);
        if (const auto* grid = dynamic_cast<const TPluginPropertyGrid*>(&property)) {
            EXPECT_EQ(grid->FPropGridIgnoreRowsLevel, pgirlNever);
        }
    }

    TStreamWriter choices;
    choices.WriteInt32(6);
    const std::vector<std::pair<QString, const char*>> items = {
        {KClear, "Clear output file content before adding paths"},
        {KRelative, "Instead of full, write paths relative to work directory"},
        {KSorted,
         "Write paths sorted (directories first and then files, both alphabeticly) - requires "
         "seperator string is not found in paths passed"},
        {KTrimmed, "Write paths trimmed for leading and trailing spaces"},
        {KNewline, "Add a newline after each path"},
        {KSearch, "Search inside file content and only list if successful"},
    };
    for (const auto& [id, caption] : items) {
        choices.WriteAnsiString(id);
        choices.WriteUtf8String(S(caption));
        choices.WriteByte(0);
    }
    EXPECT_EQ(plugin.GetPluginInitData(QStringLiteral("SelectOptions")), choices.Data());

    TStreamWriter boxes;
    boxes.WriteInt32(2);
    boxes.WriteAnsiString(QStringLiteral("OUTPUT_FILE_PATH"));
    boxes.WriteUtf8String(QStringLiteral("Output file path"));
    boxes.WriteUtf8String(FHarness.PluginFolder() + QStringLiteral("default.txt"));
    boxes.WriteAnsiString(QStringLiteral("SEP_STR"));
    boxes.WriteUtf8String(QStringLiteral("Separator string"));
    boxes.WriteUtf8String(QStringLiteral(","));
    EXPECT_EQ(plugin.GetPluginInitData(QStringLiteral("EditOptions")), boxes.Data());

    const auto grid = [](const char* AFirstId, const char* AFirstCaption,
                         std::int32_t AFirstFlags) {
        TStreamWriter writer;
        writer.WriteInt32(2);
        writer.WriteAnsiString(S(AFirstId));
        writer.WriteUtf8String(S(AFirstCaption));
        writer.WriteAnsiString(QStringLiteral("80+"));
        writer.WriteInt32(AFirstFlags);
        writer.WriteAnsiString(QStringLiteral("MATCH"));
        writer.WriteUtf8String(QStringLiteral("Match"));
        writer.WriteAnsiString({});
        writer.WriteInt32(64);
        writer.WriteInt32(0);
        return writer.TakeData();
    };
    EXPECT_EQ(plugin.GetPluginInitData(QStringLiteral("ContentSearchSimple")),
              grid("CASE_SENSITIVE", "Case Sensitive", 4096));
    EXPECT_EQ(plugin.GetPluginInitData(QStringLiteral("ContentSearchRegex")),
              grid("MODIFIERS", "Modifiers", 0));

    TStreamReader advanced(plugin.GetPluginInitData(QStringLiteral("ContentSearchOptions")));
    const QString document = advanced.ReadUtf8String();
    EXPECT_EQ(document, QString::fromUtf8(
                            ShippedResource(QStringLiteral("modules/Internal/ListPaths/dao.ini"))));
    EXPECT_TRUE(document.contains(QStringLiteral("EnableSimpleMatch=0")));
    EXPECT_EQ(advanced.ReadInt32(), 1);
    EXPECT_TRUE(advanced.AtEnd());
}

TEST_F(ListPathsTest, ListsPathsAsTheOptionsSay) {
    const QString escapes = QStringLiteral("[EscapeSequenceSupport]\r\nEnableSimpleMatch=1\r\n");
    struct TCase {
        const char* Name;
        QStringList Options;
        QString Separator;
        std::optional<QByteArray> Before;  // the output file's bytes; none: no file
        QStringList Entries;               // worked in this order; "name=content"
        QString Expected;                  // "{R}" stands for the batch root
        int Reports = 0;
        QList<QStringList> Simple = {};
        QList<QStringList> Regex = {};
        QString Advanced = {};
    };
    const std::vector<TCase> cases = {
        {"defaults: full paths in order, no trailing separator",
         {},
         S(","),
         std::nullopt,
         {S("p1"), S("p2"), S("p3")},
         S("{R}p1,{R}p2,{R}p3")},
        {"present content is kept", {}, S(","), "x,y", {S("p1")}, S("x,y,{R}p1")},
        {"an empty output file", {}, S(","), "", {S("p1")}, S("{R}p1")},
        {"clearing drops present content", {KClear}, S(","), "x,y", {S("p1")}, S("{R}p1")},
        {"relative to the root",
         {KRelative},
         S(","),
         std::nullopt,
         {S("sub/a.txt")},
         S("sub/a.txt")},
        {"sorted: folders and paths below them first, equal names once",
         {KRelative, KSorted},
         S(","),
         std::nullopt,
         {S("b.txt"), S("sub/"), S("a.txt"), S("sub/c.txt")},
         S("sub/,sub/c.txt,a.txt,b.txt")},
        {"sorted: names differing in case only are kept once, the later one",
         {KRelative, KSorted},
         S(";"),
         std::nullopt,
         {S("A.txt"), S("b.txt"), S("a.txt")},
         S("a.txt;b.txt")},
        {"a path holding the separator stops the sort",
         {KRelative, KSorted},
         S(","),
         std::nullopt,
         {S("b.txt"), S("a,b.txt")},
         S("b.txt,a,b.txt"),
         1},
        {"new lines: every entry ends with separator and line break, but the last",
         {KRelative, KNewline},
         S(","),
         "x,\r\ny",
         {S("b.txt"), S("a.txt")},
         S("x,\r\ny,\r\nb.txt,\r\na.txt")},
        {"new lines, sorted",
         {KRelative, KNewline, KSorted},
         S(";"),
         std::nullopt,
         {S("c.txt"), S("a.txt"), S("b.txt")},
         S("a.txt;\r\nb.txt;\r\nc.txt")},
        {"an empty separator: back to back",
         {KRelative},
         S(""),
         "x",
         {S("a.txt"), S("b.txt")},
         S("xa.txtb.txt")},
        {"an empty separator, sorted: one entry",
         {KRelative, KSorted},
         S(""),
         std::nullopt,
         {S("b.txt"), S("a.txt")},
         S("b.txta.txt")},
        {"trimmed", {KRelative, KTrimmed}, S(","), std::nullopt, {S(" a b.txt \t")}, S("a b.txt")},
        {"UTF-16 content is converted once to UTF-8",
         {KRelative},
         S(","),
         QByteArray("\xFF\xFE\xE9\0", 4),
         {S("a.txt")},
         S("é,a.txt")},
        {"a UTF-8 mark is dropped",
         {KRelative},
         S(","),
         "\xEF\xBB\xBFx",
         {S("a.txt")},
         S("x,a.txt")},
        {"content search: plain rule ignoring case",
         {KRelative, KSearch},
         S(","),
         std::nullopt,
         {S("h.txt=HELLO world"), S("n.txt=nothing")},
         S("h.txt"),
         0,
         {{S("False"), S("hello")}}},
        {"content search: a plain rule minding case, then a regex rule",
         {KRelative, KSearch},
         S(","),
         std::nullopt,
         {S("h.txt=HELLO world"), S("n.txt=nothing")},
         S("h.txt"),
         0,
         {{S("True"), S("hello")}, {S("False"), S("")}},
         {{S("i"), S("^hel+o\\b")}}},
        {"content search: a folder is searched as empty text",
         {KRelative, KSearch},
         S(","),
         std::nullopt,
         {S("sub/"), S("a.txt=x")},
         S("a.txt"),
         0,
         {{S("True"), S("x")}}},
        {"content search: a folder matches a pattern that takes empty text",
         {KRelative, KSearch},
         S(","),
         std::nullopt,
         {S("sub/"), S("a.txt=x")},
         S("sub/,a.txt"),
         0,
         {},
         {{S(""), S(".*")}}},
        {"content search with escapes in plain rules",
         {KRelative, KSearch},
         S(","),
         std::nullopt,
         {S("t.txt=a\tb"), S("l.txt=a\\tb")},
         S("t.txt"),
         0,
         {{S("True"), S("a\\tb")}},
         {},
         escapes},
        {"content search: a wrong modifier lists nothing and is reported per path",
         {KRelative, KSearch},
         S(","),
         std::nullopt,
         {S("a.txt=x"), S("b.txt=y")},
         S(""),
         2,
         {},
         {{S("q"), S("x")}}},
        {"content search: an empty pattern is an error",
         {KRelative, KSearch},
         S(","),
         std::nullopt,
         {S("a.txt=x")},
         S(""),
         1,
         {},
         {{S(""), S("")}}},
        {"content search: an earlier match spares the wrong rule",
         {KRelative, KSearch},
         S(","),
         std::nullopt,
         {S("a.txt=x")},
         S("a.txt"),
         0,
         {},
         {{S(""), S("x")}, {S("q"), S("x")}}},
        {"undecodable present content is kept and nothing added",
         {KRelative},
         S(","),
         "x\x81\xC3",
         {S("a.txt")},
         S("x\u0081\u00C3"),
         1},
    };
    for (const TCase& c : cases) {
        QDir(Root()).removeRecursively();
        QDir(FHarness.Temp().Path(QStringLiteral("out"))).removeRecursively();
        FHarness.Sink().Clear();
        if (c.Before)
            FHarness.Temp().WriteFile(QStringLiteral("out/list.txt"), *c.Before);
        else
            FHarness.Temp().MakeFolder(QStringLiteral("out"));
        FHarness.Run(Root(),
                     Values(c.Options, c.Separator, OutputFile(), c.Simple, c.Regex, c.Advanced),
                     MakeEntries(c.Entries));
        QString expected = c.Expected;
        expected.replace(QStringLiteral("{R}"), Root());
        const QByteArray expectedBytes =
            c.Before && c.Before->contains('\x81') ? *c.Before : expected.toUtf8();
        EXPECT_EQ(ReadWholeFile(OutputFile()), expectedBytes) << c.Name;
        EXPECT_EQ(FHarness.Sink().Errors().size(), c.Reports) << c.Name;
        EXPECT_FALSE(FHarness.Sink().AnyAdvice()) << c.Name;
    }
}

TEST_F(ListPathsTest, TheSeparatorMessageNamesTheSeparator) {
    FHarness.Run(Root(), Values({KRelative, KSorted}, S(","), OutputFile()),
                 MakeEntries({S("a,b.txt")}));
    EXPECT_EQ(FHarness.Sink().Errors(),
              QStringList{S("The path contained the separator string: \",\". This means sorting "
                            "can not be done")});
}

TEST_F(ListPathsTest, NeverOpenedOptionsWriteToTheDefaultFileInThePluginFolder) {
    const QStringList paths = MakeEntries({S("a.txt"), S("b.txt")});
    FHarness.Run(Root(), {}, paths);
    EXPECT_EQ(ReadWholeFile(FHarness.PluginFolder() + QStringLiteral("default.txt")),
              (paths.join(u',')).toUtf8());
}

TEST_F(ListPathsTest, ClearingCreatesOneMissingFolderLevelOnly) {
    const QStringList paths = MakeEntries({S("a.txt")});
    const QString oneLevel = FHarness.Temp().Path(QStringLiteral("new/list.txt"));
    FHarness.Run(Root(), Values({KClear, KRelative}, S(","), oneLevel), paths);
    EXPECT_EQ(ReadWholeFile(oneLevel), QByteArray("a.txt"));
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());

    const QString twoLevels = FHarness.Temp().Path(QStringLiteral("x/y/list.txt"));
    FHarness.Run(Root(), Values({KClear, KRelative}, S(","), twoLevels), paths);
    EXPECT_FALSE(QFileInfo::exists(FHarness.Temp().Path(QStringLiteral("x"))));
    EXPECT_EQ(FHarness.Sink().Errors().size(), 1);  // the path could not be listed
}

// The folder of the output file turns read-only (as a file system does after errors) once the
// paths are listed, in a child process with a mount namespace of its own: the end of the
// combination cannot cut the last separator or write the sorted list, and says so.
TEST_F(ListPathsTest, AFinalCutOrSortThatFailsIsReported) {
    struct TCase {
        const char* Name;
        QStringList Options;
    };
    const std::vector<TCase> cases = {
        {"cutting the last separator", {KRelative}},
        {"writing the sorted paths", {KRelative, KSorted}},
    };
    const QStringList paths = MakeEntries({S("b.txt"), S("a.txt")});
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QFile::remove(OutputFile());
        const TChildOutcome outcome = RunInChildProcess([&] {
            if (const QString problem = EnterPrivateMountNamespace(); !problem.isEmpty())
                return KChildSkipped + problem.toUtf8();
            FHarness.Start(Root(), Values(c.Options, S(","), OutputFile()));
            for (const QString& path : paths)
                FHarness.Work(path);
            if (const QString problem = MakeReadOnly(FHarness.Temp().Path(QStringLiteral("out")));
                !problem.isEmpty())
                return KChildSkipped + problem.toUtf8();
            try {
                FHarness.End();
            } catch (const std::exception& e) {
                return QByteArray("raised: ") + e.what();
            }
            return QByteArray("no error");
        });
        ASSERT_TRUE(outcome.Exited) << outcome.Output.toStdString();
        if (outcome.Output.startsWith(KChildSkipped))
            GTEST_SKIP() << "no read-only mount can be made here: " << outcome.Output.toStdString();
        EXPECT_TRUE(outcome.Output.startsWith("raised: ")) << outcome.Output.toStdString();
        EXPECT_TRUE(QString::fromUtf8(outcome.Output).contains(OutputFile()))
            << outcome.Output.toStdString();
        EXPECT_EQ(ReadWholeFile(OutputFile()), QByteArray("b.txt,a.txt,"));
    }
}

// Converting the present content to UTF-8 would lose the odd last byte of this UTF-16 file.
TEST_F(ListPathsTest, AnOutputFileThatCannotBeConvertedWithoutLossIsKept) {
    const QByteArray odd("\xFF\xFEx\0y", 5);
    FHarness.Temp().WriteFile(QStringLiteral("out/list.txt"), odd);
    FHarness.Run(Root(), Values({KRelative}, S(","), OutputFile()), MakeEntries({S("a.txt")}));
    EXPECT_EQ(ReadWholeFile(OutputFile()), odd);
    EXPECT_EQ(FHarness.Sink().Errors().size(), 1);
}

TEST_F(ListPathsTest, CombinationsAppendToTheSameFile) {
    const QStringList paths = MakeEntries({S("a.txt"), S("b.txt")});
    const auto values = Values({KRelative, KNewline}, S(","), OutputFile());
    FHarness.Run(Root(), values, {paths.at(0)});
    FHarness.Run(Root(), values, {paths.at(1)});
    EXPECT_EQ(ReadWholeFile(OutputFile()), QByteArray("a.txt,\r\nb.txt"));
}

TEST_F(ListPathsTest, ManyWorkersAppendWholeEntries) {
    constexpr int KThreads = 6;
    constexpr int KPathsEach = 40;
    FHarness.Start(Root(), Values({KRelative, KNewline}, S(";"), OutputFile()));
    std::vector<std::thread> workers;
    for (int t = 0; t < KThreads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < KPathsEach; ++i)
                FHarness.Work(Root() + QStringLiteral("t%1/p%2.txt").arg(t).arg(i));
        });
    for (std::thread& worker : workers)
        worker.join();
    FHarness.End();
    QStringList entries =
        QString::fromUtf8(ReadWholeFile(OutputFile())).split(QStringLiteral(";\r\n"));
    EXPECT_EQ(entries.size(), KThreads * KPathsEach);
    entries.sort();
    QStringList expected;
    for (int t = 0; t < KThreads; ++t)
        for (int i = 0; i < KPathsEach; ++i)
            expected << QStringLiteral("t%1/p%2.txt").arg(t).arg(i);
    expected.sort();
    EXPECT_EQ(entries, expected);
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());
}

TEST_F(ListPathsTest, TheOutputPathMustNameAFileUnlessItIsTheDefault) {
    TPluginStoredLibInfo& plugin = FHarness.Descriptor();
    const QString existing = FHarness.Temp().WriteFile(QStringLiteral("out/list.txt"), "");
    const QString defaultPath = FHarness.PluginFolder() + QStringLiteral("default.txt");
    QFile::remove(defaultPath);
    const QString missing = FHarness.Temp().Path(QStringLiteral("out/none.txt"));
    const QString folder = FHarness.Temp().Path(QStringLiteral("out"));
    struct TCase {
        QString Box;
        QString Value;
        QStringList Reports;
    };
    const std::vector<TCase> cases = {
        {QStringLiteral("OUTPUT_FILE_PATH"), existing, {}},
        {QStringLiteral("OUTPUT_FILE_PATH"), defaultPath, {}},
        {QStringLiteral("OUTPUT_FILE_PATH"),
         missing,
         {QStringLiteral("OUTPUT_FILE_PATH|File path: \"") + missing +
          QStringLiteral("\" does not exist.|")}},
        {QStringLiteral("OUTPUT_FILE_PATH"),
         folder,
         {QStringLiteral("OUTPUT_FILE_PATH|File path: \"") + folder +
          QStringLiteral("\" does not exist.|")}},
        {QStringLiteral("SEP_STR"), missing, {}},
    };
    for (const TCase& c : cases) {
        QStringList reports;
        plugin.NP_VerifyPropTextBoxValue(
            QStringLiteral("EditOptions"), c.Box, c.Value,
            [&](const QString& ABox, const QString& AError, const QString& AAdvice) {
                reports << ABox + u'|' + AError + u'|' + AAdvice;
            });
        EXPECT_EQ(reports, c.Reports) << c.Value.toStdString();
    }

    // Rows of the plain search grid are never rejected.
    bool rejected = false;
    plugin.NP_PrepareVerifyGridRow(QStringLiteral("ContentSearchSimple"));
    plugin.NP_AddVerifyPropGridValue(QStringLiteral("ContentSearchSimple"), QString());
    plugin.NP_AddVerifyPropGridValue(QStringLiteral("ContentSearchSimple"), QString());
    plugin.NP_EndVerifyGridRow(
        QStringLiteral("ContentSearchSimple"),
        [&](std::int32_t, const QString&, const QString&) { rejected = true; });
    EXPECT_FALSE(rejected);
}

}  // namespace

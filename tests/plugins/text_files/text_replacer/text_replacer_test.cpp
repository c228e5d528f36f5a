#include "plugins/text_files/text_replacer/plugin_internal_text_replacer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "base/stream_fields.h"
#include "base/text_file.h"
#include "platform/ansi_code_page.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"
#include "tests/support/child_process.h"

namespace {

const QStringList KSimpleColumns = {QStringLiteral("CASE_SENSITIVE"), QStringLiteral("MATCH"),
                                    QStringLiteral("REPLACE")};
const QStringList KRegexColumns = {QStringLiteral("MODIFIERS"), QStringLiteral("MATCH"),
                                   QStringLiteral("REPLACE")};

QString S(const char* AText) {
    return QString::fromUtf8(AText);
}

class TextReplacerTest : public ::testing::Test {
protected:
    static QHash<QString, QByteArray> Values(const QList<QStringList>& ASimple,
                                             const QList<QStringList>& ARegex,
                                             const QString& AAdvanced = {}) {
        QHash<QString, QByteArray> values;
        if (!ASimple.isEmpty())
            values.insert(QStringLiteral("Simple"), StoredGrid(KSimpleColumns, ASimple));
        if (!ARegex.isEmpty())
            values.insert(QStringLiteral("Regex"), StoredGrid(KRegexColumns, ARegex));
        if (!AAdvanced.isEmpty())
            values.insert(QStringLiteral("General"), StoredFile(AAdvanced));
        return values;
    }

    // One combination over one file holding ABytes; returns the file's bytes afterwards.
    QByteArray RunOnFile(const QHash<QString, QByteArray>& AValues, const QByteArray& ABytes) {
        const QString file = FHarness.Temp().WriteFile(QStringLiteral("work/f.txt"), ABytes);
        const QStringList outputs = FHarness.Run(Root(), AValues, {file});
        EXPECT_EQ(outputs, QStringList{file});  // the path itself never changes
        return ReadWholeFile(file);
    }

    QString Root() const { return FHarness.Temp().Path(QStringLiteral("work/")); }

    TPluginBatchHarness FHarness{QStringLiteral("TextReplacer"),
                                 [] { return std::make_unique<TPluginInternal_TextReplacer>(); }};
};

TEST_F(TextReplacerTest, InformationAndDeclarations) {
    TPluginStoredLibInfo& plugin = FHarness.Descriptor();
    const TPluginInfoHost& info = plugin.FPluginInfoHost;
    EXPECT_EQ(info.StrID, QStringLiteral("zq_kestrin_TextReplacer"));
    EXPECT_EQ(info.PluginName, QStringLiteral("TextReplacer"));
    EXPECT_EQ(info.PluginDesc, QStringLiteral("Search and replace text (strings) in files."));
    EXPECT_EQ(info.CanLaunchFilesSep, QStringLiteral(","));
    EXPECT_EQ(info.CanLaunchFilesList, QStringLiteral("regex-help.txt"));
    EXPECT_EQ(info.SuggestedExts, QStringLiteral(".txt"));
    EXPECT_EQ(info.PluginVersion, QStringLiteral("1.05"));
    EXPECT_EQ(info.InterfaceVersion, QStringLiteral("1.0.4"));
    EXPECT_EQ(info.PluginCategory, pcFileProcessing);
    EXPECT_EQ(info.PluginLoadingScheme, plsCanDynamicAsNeeded);
    EXPECT_EQ(info.CanWorkCategory, 1u);
    EXPECT_EQ(info.ReleaseState, 4u);
    EXPECT_FALSE(info.Author.isEmpty());

    struct TExpected {
        QString Name;
        QString Shown;
        TVisualPropType Kind;
        std::uint32_t Services;
    };
    const std::vector<TExpected> expected = {
        {QStringLiteral("Simple"), QStringLiteral("Simple"), vptGrid, 2},
        {QStringLiteral("Regex"), QStringLiteral("Regex"), vptGrid, 2},
        {QStringLiteral("General"), QStringLiteral("Advanced Setup"), vptFile, 0},
    };
    ASSERT_EQ(plugin.FProperties.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const TPluginProperty& property = *plugin.FProperties[i];
        EXPECT_EQ(property.FPropName, expected[i].Name);
        EXPECT_EQ(property.FShownName, expected[i].Shown);
        EXPECT_EQ(property.FVisualPropType, expected[i].Kind);
        EXPECT_EQ(property.FReadyServices, expected[i].Services);
        EXPECT_TRUE(property.FHint.isEmpty() && property.FHelp.isEmpty());
        if (const auto* grid = dynamic_cast<const TPluginPropertyGrid*>(&property)) {
            EXPECT_EQ(grid->FPropGridIgnoreRowsLevel, pgirlAllRowCellsEmpty);
        }
    }

    // Columns: ID, caption, width, flags; no default rows.
    const auto gridDeclaration = [](const QString& AFirstId, const QString& AFirstCaption,
                                    std::int32_t AFirstFlags) {
        TStreamWriter writer;
        writer.WriteInt32(3);
        writer.WriteAnsiString(AFirstId);
        writer.WriteUtf8String(AFirstCaption);
        writer.WriteAnsiString(QStringLiteral("80+"));
        writer.WriteInt32(AFirstFlags);
        for (const char* column : {"Match", "Replace"}) {
            writer.WriteAnsiString(QString::fromLatin1(column).toUpper());
            writer.WriteUtf8String(QString::fromLatin1(column));
            writer.WriteAnsiString({});
            writer.WriteInt32(64);
        }
        writer.WriteInt32(0);
        return writer.TakeData();
    };
    EXPECT_EQ(
        plugin.GetPluginInitData(QStringLiteral("Simple")),
        gridDeclaration(QStringLiteral("CASE_SENSITIVE"), QStringLiteral("Case Sensitive"), 4096));
    EXPECT_EQ(plugin.GetPluginInitData(QStringLiteral("Regex")),
              gridDeclaration(QStringLiteral("MODIFIERS"), QStringLiteral("Modifiers"), 0));

    // The advanced options default to the shipped "dao.ini", an INI document (flag 1).
    TStreamReader general(plugin.GetPluginInitData(QStringLiteral("General")));
    const QString document = general.ReadUtf8String();
    EXPECT_EQ(document, QString::fromUtf8(ShippedResource(
                            QStringLiteral("modules/Internal/TextReplacer/dao.ini"))));
    EXPECT_TRUE(document.contains(QStringLiteral("EnableSimpleMatch=0")));
    EXPECT_TRUE(document.contains(QStringLiteral("EnableSimpleReplace=0")));
    EXPECT_EQ(general.ReadInt32(), 1);
    EXPECT_TRUE(general.AtEnd());
}

TEST_F(TextReplacerTest, RulesApplyInOrderOnTheText) {
    const QString escapesInMatch =
        QStringLiteral("[EscapeSequenceSupport]\r\nEnableSimpleMatch=1\r\n");
    const QString escapesInReplace =
        QStringLiteral("[EscapeSequenceSupport]\r\nEnableSimpleReplace=yes\r\n");
    struct TCase {
        const char* Name;
        QList<QStringList> Simple;
        QList<QStringList> Regex;
        QString Advanced;
        QString Input;
        QString Expected;
        int Reports;
    };
    const std::vector<TCase> cases = {
        {"plain rule ignoring case", {{S("False"), S("a"), S("b")}}, {}, {}, S("AaA"), S("bbb"), 0},
        {"plain rule minding case", {{S("True"), S("a"), S("b")}}, {}, {}, S("AaA"), S("AbA"), 0},
        {"an empty case cell ignores case", {{S(""), S("x"), S("y")}}, {}, {}, S("X"), S("y"), 0},
        {"plain rules in row order",
         {{S("1"), S("a"), S("b")}, {S("1"), S("b"), S("c")}},
         {},
         {},
         S("ab"),
         S("cc"),
         0},
        {"escapes off: the four characters are searched literally",
         {{S("True"), S("\\r\\n"), S("+")}},
         {},
         {},
         S("a\r\nb\\r\\nc"),
         S("a\r\nb+c"),
         0},
        {"escapes on in Match: a line break",
         {{S("True"), S("\\r\\n"), S("+")}},
         {},
         escapesInMatch,
         S("a\r\nb\\r\\nc"),
         S("a+b\\r\\nc"),
         0},
        {"escapes on in Replace only",
         {{S("True"), S(";"), S("\\t")}},
         {},
         escapesInReplace,
         S("a;b"),
         S("a\tb"),
         0},
        {"regex with groups and modifiers",
         {},
         {{S("i"), S("(\\w+)-(\\w+)"), S("\\2 at \\1")}},
         {},
         S("Bob-Home"),
         S("Home at Bob"),
         0},
        {"a regex rule sees the text the plain rules produced",
         {{S("True"), S("cat"), S("dog")}},
         {{S(""), S("d(o)g"), S("w\\1lf")}},
         {},
         S("cat"),
         S("wolf"),
         0},
        {"a wrong modifier: the rules before it stay applied, the rules after it are skipped",
         {{S("True"), S("a"), S("b")}},
         {{S(""), S("x"), S("y")}, {S("q"), S("x"), S("z")}, {S(""), S("b"), S("c")}},
         {},
         S("ax"),
         S("by"),
         1},
        {"a pattern that does not compile",
         {},
         {{S(""), S("(unclosed"), S("y")}},
         {},
         S("(unclosed"),
         S("(unclosed"),
         1},
        {"an empty pattern", {}, {{S("i"), S(""), S("y")}}, {}, S("abc"), S("abc"), 1},
    };
    for (const TCase& c : cases) {
        FHarness.Sink().Clear();
        const QByteArray after = RunOnFile(Values(c.Simple, c.Regex, c.Advanced), c.Input.toUtf8());
        EXPECT_EQ(QString::fromUtf8(after), c.Expected) << c.Name;
        EXPECT_EQ(FHarness.Sink().Errors().size(), c.Reports) << c.Name;
        EXPECT_FALSE(FHarness.Sink().AnyAdvice()) << c.Name;
    }
}

TEST_F(TextReplacerTest, RewrittenFilesKeepTheirEncoding) {
    struct TCase {
        const char* Name;
        QByteArray Before;
        QByteArray After;
    };
    // "x" becomes "é".
    const std::vector<TCase> cases = {
        {"UTF-8 without mark", "x1",
         "\xC3\xA9"
         "1"},
        {"UTF-8 with mark", "\xEF\xBB\xBFx1",
         "\xEF\xBB\xBF\xC3\xA9"
         "1"},
        {"UTF-16 little-endian with mark",
         QByteArray("\xFF\xFEx\0"
                    "1\0",
                    6),
         QByteArray("\xFF\xFE\xE9\0"
                    "1\0",
                    6)},
        {"UTF-16 big-endian with mark",
         QByteArray("\xFE\xFF\0x\0"
                    "1",
                    6),
         QByteArray("\xFE\xFF\0\xE9\0"
                    "1",
                    6)},
        {"UTF-16 little-endian without mark",
         QByteArray("x\0"
                    "1\0 \0\r\0\n\0",
                    10),
         QByteArray("\xE9\0"
                    "1\0 \0\r\0\n\0",
                    10)},
        {"8-bit ANSI", "x1\xE9",
         "\xE9"
         "1\xE9"},
    };
    const auto values = Values({{S("True"), S("x"), S("é")}}, {});
    for (const TCase& c : cases) {
        EXPECT_EQ(RunOnFile(values, c.Before), c.After) << c.Name;
    }
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());
}

TEST_F(TextReplacerTest, AFileNoRuleChangedIsNotRewritten) {
    struct TCase {
        const char* Name;
        QList<QStringList> Simple;
        QList<QStringList> Regex;
    };
    const std::vector<TCase> cases = {
        {"no rules at all", {}, {}},
        {"a rule that matches nothing", {{S("False"), S("zzz"), S("y")}}, {}},
        {"an empty Match", {{S("False"), S(""), S("y")}}, {}},
        {"Match equal to Replace", {{S("True"), S("a"), S("a")}}, {}},
        {"a regex that gives back what it found", {}, {{S(""), S("(a)"), S("\\1")}}},
    };
    const QDateTime old = QDateTime::fromSecsSinceEpoch(1000000000, Qt::UTC);
    for (const TCase& c : cases) {
        const QString path = FHarness.Temp().WriteFile(QStringLiteral("work/u.txt"),
                                                       "\xEF\xBB\xBF"
                                                       "abc");
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
        FHarness.Run(Root(), Values(c.Simple, c.Regex), {path});
        EXPECT_EQ(QFileInfo(path).lastModified(), old) << c.Name;
        EXPECT_EQ(ReadWholeFile(path), QByteArray("\xEF\xBB\xBF"
                                                  "abc"))
            << c.Name;
    }
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());
}

TEST_F(TextReplacerTest, FilesThatCannotBeReadOrDoNotExistAreReportedAndLeftAlone) {
    const auto values = Values({{S("False"), S("a"), S("b")}}, {});
    const QString missing = FHarness.Temp().Path(QStringLiteral("work/missing.txt"));
    const QString folder = FHarness.Temp().MakeFolder(QStringLiteral("work/folder.txt"));
    FHarness.Run(Root(), values, {missing, folder});
    EXPECT_FALSE(QFileInfo::exists(missing));  // not created
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(FHarness.Sink().Errors().size(), 2);
}

TEST_F(TextReplacerTest, AFileWithoutReadPermissionIsNotOverwritten) {
    const auto values = Values({{S("False"), S("a"), S("b")}}, {});
    const QString locked = FHarness.Temp().WriteFile(QStringLiteral("work/locked.txt"), "aaa");
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    if (QFile(locked).open(QIODevice::ReadOnly))
        GTEST_SKIP() << "running with rights that read any file";
    FHarness.Run(Root(), values, {locked});
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(ReadWholeFile(locked), QByteArray("aaa"));
    EXPECT_EQ(FHarness.Sink().Errors().size(), 1);
}

TEST_F(TextReplacerTest, BytesThatDecodeOnlyWithLossAreNotRewritten) {
    // Neither UTF-8 nor Windows-1252 (0x81 is unassigned there).
    const QByteArray bytes("ax\x81\xC3");
    const QString path = FHarness.Temp().WriteFile(QStringLiteral("work/lossy.txt"), bytes);
    ASSERT_EQ(ReadTextFileDetected(path).Encoding, TTextEncoding::Utf8Lossy);
    FHarness.Run(Root(), Values({{S("True"), S("x"), S("y")}}, {}), {path});
    EXPECT_EQ(ReadWholeFile(path), bytes);
    EXPECT_EQ(FHarness.Sink().Errors().size(), 1);
}

// A rewrite that cannot finish, run in a child process: under a file-size limit, or on a small
// file system that is full. The file keeps every byte and the failure is reported.
enum class TUnfinishedWrite { FileSizeLimit, FullFileSystem };

class TextReplacerUnfinishedWriteTest : public TextReplacerTest,
                                        public ::testing::WithParamInterface<TUnfinishedWrite> {};

TEST_P(TextReplacerUnfinishedWriteTest, LeavesTheFileAsItWasAndIsReported) {
    const bool limit = GetParam() == TUnfinishedWrite::FileSizeLimit;
    const QByteArray before(4096, 'x');
    const auto values = Values({{S("True"), S("x"), S("xyz")}}, {});
    const QString work = FHarness.Temp().MakeFolder(QStringLiteral("work"));
    const QString file = work + QStringLiteral("f.txt");
    const TChildOutcome outcome = RunInChildProcess([&] {
        QString problem;
        if (limit) {
            problem = LimitFileSizeOfThisProcess(8192);
        } else {
            problem = EnterPrivateMountNamespace();
            if (problem.isEmpty())
                problem = MountSmallTmpfs(work, 64 * 1024);
        }
        if (!problem.isEmpty())
            return KChildSkipped + problem.toUtf8();
        QFile old(file);
        if (!old.open(QIODevice::WriteOnly) || old.write(before) != before.size())
            return QByteArray("cannot write the file");
        old.close();
        if (!limit)
            problem = FillFileSystem(work + QStringLiteral("filler"));
        if (!problem.isEmpty())
            return problem.toUtf8();
        FHarness.Run(Root(), values, {file});
        return FHarness.Sink().Errors().join(u'\n').toUtf8() + '|' + ReadWholeFile(file);
    });
    ASSERT_TRUE(outcome.Exited) << outcome.Output.toStdString();
    if (!limit && outcome.Output.startsWith(KChildSkipped))
        GTEST_SKIP() << "no small file system can be mounted here: "
                     << outcome.Output.toStdString();
    const qsizetype bar = outcome.Output.indexOf('|');
    ASSERT_GE(bar, 0) << outcome.Output.left(200).toStdString();
    EXPECT_EQ(outcome.Output.mid(bar + 1), before);
    const QStringList errors = QString::fromUtf8(outcome.Output.left(bar)).split(u'\n');
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.at(0).contains(QStringLiteral("left unchanged")))
        << errors.at(0).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Conditions, TextReplacerUnfinishedWriteTest,
                         ::testing::Values(TUnfinishedWrite::FileSizeLimit,
                                           TUnfinishedWrite::FullFileSystem),
                         [](const ::testing::TestParamInfo<TUnfinishedWrite>& AInfo) {
                             return AInfo.param == TUnfinishedWrite::FileSizeLimit
                                        ? std::string("FileSizeLimit")
                                        : std::string("FullFileSystem");
                         });

TEST_F(TextReplacerTest, ARewriteKeepsModeOwnerAndSymbolicLinks) {
    const bool root = ::geteuid() == 0;
    const QString real = FHarness.Temp().WriteFile(QStringLiteral("real/t.txt"), "abc");
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0751), 0);
    if (root) {
        ASSERT_EQ(::chown(QFile::encodeName(real).constData(), 4321, 8765), 0);
    }
    const QString plain = FHarness.Temp().WriteFile(QStringLiteral("work/p.txt"), "abc");
    ASSERT_EQ(::chmod(QFile::encodeName(plain).constData(), 0604), 0);
    const QString link = Root() + QStringLiteral("link.txt");
    ASSERT_EQ(::symlink("../real/t.txt", QFile::encodeName(link).constData()), 0);
    struct stat realBefore {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &realBefore), 0);

    FHarness.Run(Root(), Values({{S("True"), S("b"), S("B")}}, {}), {link, plain});
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty())
        << FHarness.Sink().Errors().join(u'\n').toStdString();

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), QFileInfo(real).canonicalFilePath());
    char target[256] = {};
    ASSERT_GT(::readlink(QFile::encodeName(link).constData(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "../real/t.txt");
    EXPECT_EQ(ReadWholeFile(real), QByteArray("aBc"));
    struct stat realAfter {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &realAfter), 0);
    EXPECT_EQ(realAfter.st_mode & 07777, 0751u);
    EXPECT_EQ(realAfter.st_uid, realBefore.st_uid);
    EXPECT_EQ(realAfter.st_gid, realBefore.st_gid);

    EXPECT_EQ(ReadWholeFile(plain), QByteArray("aBc"));
    struct stat plainAfter {};
    ASSERT_EQ(::stat(QFile::encodeName(plain).constData(), &plainAfter), 0);
    EXPECT_EQ(plainAfter.st_mode & 07777, 0604u);
    // Nothing left beside the files.
    EXPECT_EQ(QDir(Root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("link.txt"), QStringLiteral("p.txt")}));
    EXPECT_EQ(QDir(QFileInfo(real).absolutePath())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("t.txt")});
}

// The 8-bit code page has no such character: nothing is written (never a "?" for it), and the
// report names the encoding and the character.
TEST_F(TextReplacerTest, TextTheFilesCodePageCannotHoldIsReportedAndTheFileKept) {
    const QByteArray before("x1\xE9");  // "x1é" in the ANSI code page
    const QString codePage = QString::fromLatin1(TAnsiCodePage::System().Name());
    struct TCase {
        QString Replace;
        const char* Named;
    };
    const std::vector<TCase> cases = {
        {S("中"), "U+4E2D"},
        {S("Ā"), "U+0100"},
        {S("😀"), "U+1F600"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Named);
        FHarness.Sink().Clear();
        const QString path = FHarness.Temp().WriteFile(QStringLiteral("work/a.txt"), before);
        ASSERT_EQ(ReadTextFileDetected(path).Encoding, TTextEncoding::Ansi);
        FHarness.Run(Root(), Values({{S("True"), S("x"), c.Replace}}, {}), {path});
        EXPECT_EQ(ReadWholeFile(path), before);
        const QStringList errors = FHarness.Sink().Errors();
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors.at(0).contains(codePage)) << errors.at(0).toStdString();
        EXPECT_TRUE(errors.at(0).contains(QString::fromLatin1(c.Named)))
            << errors.at(0).toStdString();
    }
    // A question mark the rule itself writes is text like any other.
    FHarness.Sink().Clear();
    EXPECT_EQ(RunOnFile(Values({{S("True"), S("x"), S("?")}}, {}), before), QByteArray("?1\xE9"));
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());
}

// The odd byte is no UTF-16 code unit and would be lost by a rewrite.
TEST_F(TextReplacerTest, AUtf16FileWithAnOddLastByteIsReportedAndKept) {
    const QByteArray cases[] = {
        QByteArray("\xFF\xFEx\0"
                   "1\0z",
                   7),
        QByteArray("\xFE\xFF\0x\0"
                   "1z",
                   7),
    };
    for (const QByteArray& before : cases) {
        SCOPED_TRACE(before.toHex().toStdString());
        FHarness.Sink().Clear();
        EXPECT_EQ(RunOnFile(Values({{S("True"), S("x"), S("y")}}, {}), before), before);
        EXPECT_EQ(FHarness.Sink().Errors().size(), 1);
    }
}

TEST_F(TextReplacerTest, RulesAreRebuiltForEveryCombination) {
    const QString path = FHarness.Temp().WriteFile(QStringLiteral("work/c.txt"), "a");
    FHarness.Run(Root(), Values({{S("True"), S("a"), S("b")}}, {}), {path});
    FHarness.Run(Root(), Values({}, {{S(""), S("b"), S("c")}}), {path});
    FHarness.Run(Root(), Values({}, {}), {path});
    EXPECT_EQ(ReadWholeFile(path), QByteArray("c"));
}

TEST_F(TextReplacerTest, ManyWorkersReplaceAtOnce) {
    constexpr int KThreads = 6;
    constexpr int KFilesEach = 15;
    QStringList paths;
    for (int i = 0; i < KThreads * KFilesEach; ++i)
        paths << FHarness.Temp().WriteFile(QStringLiteral("work/m%1.txt").arg(i),
                                           QStringLiteral("n%1@h%1 and x").arg(i).toUtf8());
    FHarness.Start(Root(), Values({{S("True"), S("and"), S("&")}},
                                  {{S(""), S("(\\w+)@(\\w+)"), S("\\2/\\1")}}));
    std::vector<std::thread> workers;
    for (int t = 0; t < KThreads; ++t)
        workers.emplace_back([&, t] {
            for (int i = t * KFilesEach; i < (t + 1) * KFilesEach; ++i)
                FHarness.Work(paths.at(i));
        });
    for (std::thread& worker : workers)
        worker.join();
    FHarness.End();
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_EQ(ReadWholeFile(paths.at(i)), QStringLiteral("h%1/n%1 & x").arg(i).toUtf8());
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());
}

TEST_F(TextReplacerTest, SimpleRowsWithTheSameMatchAndReplaceAreRejected) {
    TPluginStoredLibInfo& plugin = FHarness.Descriptor();
    struct TCase {
        const char* Name;
        QString Grid;
        QStringList Row;
        bool Rejected;
    };
    const std::vector<TCase> cases = {
        {"same text", QStringLiteral("Simple"), {S("True"), S("x"), S("x")}, true},
        {"both empty", QStringLiteral("Simple"), {S("True"), S(""), S("")}, true},
        {"differ in case only", QStringLiteral("Simple"), {S("False"), S("a"), S("A")}, false},
        {"different", QStringLiteral("Simple"), {S(""), S("a"), S("b")}, false},
        {"the regex grid is not checked", QStringLiteral("Regex"), {S(""), S("x"), S("x")}, false},
    };
    for (const TCase& c : cases) {
        QStringList reports;
        plugin.NP_PrepareVerifyGridRow(c.Grid);
        for (const QString& cell : c.Row)
            plugin.NP_AddVerifyPropGridValue(c.Grid, cell);
        plugin.NP_EndVerifyGridRow(
            c.Grid, [&](std::int32_t AField, const QString& AError, const QString& AAdvice) {
                reports << QStringLiteral("%1|%2|%3").arg(AField).arg(AError, AAdvice);
            });
        const QStringList expected =
            c.Rejected ? QStringList{QStringLiteral(
                             "1|Value is wrong.|You can not have same string in both \"Match\" "
                             "and \"Replace\" fields.")}
                       : QStringList{};
        EXPECT_EQ(reports, expected) << c.Name;
    }
}

}  // namespace

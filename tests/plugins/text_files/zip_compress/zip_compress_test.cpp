// The zip compress plugin through the host as a batch drives it; the archives are checked with
// the system's own unzip, so what passes here opens in other unpackers too.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "plugins/text_files/zip_compress/plugin_internal_zip_compress.h"
#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"
#include "tests/support/child_process.h"
#include "tests/support/process_run.h"
#include "tests/support/temp_folders.h"

namespace {

QString S(const char* AText) {
    return QString::fromUtf8(AText);
}

// unzip shows and writes names beyond ASCII as they are only under a UTF-8 locale.
TProcessRun RunTool(const QString& AProgram, const QStringList& AArguments) {
    EnsureCoreApplication();
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(AProgram, AArguments);
    return FinishProcess(process);
}

QByteArray RandomBytes(qsizetype ASize) {
    QByteArray bytes(ASize, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

QByteArray CompressibleText(int ALines) {
    QByteArray text;
    for (int i = 0; i < ALines; ++i)
        text += "<p class=\"line\">Line " + QByteArray::number(i) + " of the page.</p>\n";
    return text;
}

// One entry of `unzip -Z`: its name and its method ("stor", "defN", ...).
struct TEntry {
    QString Name;
    QString Method;
    bool operator==(const TEntry&) const = default;
};

void PrintTo(const TEntry& AEntry, std::ostream* AOut) {
    *AOut << AEntry.Name.toStdString() << " (" << AEntry.Method.toStdString() << ")";
}

class ZipCompressTest : public ::testing::Test {
protected:
    ZipCompressTest()
        : FHarness(QStringLiteral("ZipCompress"),
                   [] { return std::make_unique<TPluginInternal_ZipCompress>(); }) {}

    QString Root() const { return FHarness.Temp().Path(QStringLiteral("root/")); }
    QString Write(const QString& ARelative, const QByteArray& ABytes) const {
        return FHarness.Temp().WriteFile(QStringLiteral("root/") + ARelative, ABytes);
    }
    void Pack(const QStringList& APaths) { FHarness.Run(Root(), {}, APaths); }

    // The archive passes unzip's own test.
    static void ExpectSound(const QString& AArchive) {
        const TProcessRun test =
            RunTool(QStringLiteral("unzip"), {QStringLiteral("-tq"), AArchive});
        EXPECT_EQ(test.ExitCode, 0) << test.Out.toStdString() << test.Err.toStdString();
    }
    // The entries as `unzip -Z` lists them, sorted by name.
    static std::vector<TEntry> Entries(const QString& AArchive) {
        const TProcessRun list = RunTool(QStringLiteral("unzip"), {QStringLiteral("-Z"), AArchive});
        EXPECT_EQ(list.ExitCode, 0) << list.Err.toStdString();
        std::vector<TEntry> entries;
        for (const QString& line : list.Out.split(u'\n')) {
            const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
            // Entry lines start with the mode, e.g. "-rw-r--r--" or "drwxr-xr-x".
            if (fields.size() < 9 || fields.at(0).size() != 10)
                continue;
            // The name is everything after the time (it may hold blanks).
            const qsizetype at = line.indexOf(fields.at(7) + u' ');
            entries.push_back({line.mid(at + fields.at(7).size() + 1), fields.at(5)});
        }
        std::sort(entries.begin(), entries.end(),
                  [](const TEntry& A, const TEntry& B) { return A.Name < B.Name; });
        return entries;
    }
    // An entry's content as unzip unpacks it. The whole archive is unpacked: unzip reads
    // entry names given to it as wildcard patterns.
    QByteArray Content(const QString& AArchive, const QString& AEntry) {
        const QString folder = FHarness.Temp().Path(QStringLiteral("unpacked/"));
        RemoveTreeNative(folder);
        const TProcessRun run = RunTool(QStringLiteral("unzip"), {QStringLiteral("-qo"), AArchive,
                                                                  QStringLiteral("-d"), folder});
        EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
        return ReadWholeFile(folder + AEntry);
    }

    TPluginBatchHarness FHarness;
};

TEST_F(ZipCompressTest, AFileBecomesAnArchiveBesideItThatIsAddedToTheBatch) {
    const QByteArray text = CompressibleText(200);
    const QString file = Write(QStringLiteral("a.txt"), text);
    Pack({file});
    const QString archive = file + QStringLiteral(".zip");
    ExpectSound(archive);
    EXPECT_EQ(Entries(archive), (std::vector<TEntry>{{QStringLiteral("a.txt"), S("defN")}}));
    EXPECT_EQ(Content(archive, QStringLiteral("a.txt")), text);
    EXPECT_EQ(ReadWholeFile(file), text) << "the packed file stays";
    EXPECT_EQ(FHarness.Sink().AddedPaths(), QStringList{archive});
    EXPECT_EQ(FHarness.Sink().Errors(), QStringList());
}

TEST_F(ZipCompressTest, AFileAloneIsDeflatedOrStoredAndKeepsItsMode) {
    struct TCase {
        const char* Name;
        QByteArray Bytes;
        const char* Method;
    };
    const TCase cases[] = {{"page.htm", CompressibleText(300), "defN"},
                           {"noise.bin", RandomBytes(5000), "stor"},
                           {"empty.txt", QByteArray(), "stor"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString file = Write(S(c.Name), c.Bytes);
        ASSERT_TRUE(QFile::setPermissions(
            file, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
        Pack({file});
        const QString archive = file + QStringLiteral(".zip");
        ExpectSound(archive);
        EXPECT_EQ(Entries(archive), (std::vector<TEntry>{{S(c.Name), S(c.Method)}}));
        EXPECT_TRUE(Content(archive, S(c.Name)) == c.Bytes);
        const TProcessRun list = RunTool(QStringLiteral("unzip"), {QStringLiteral("-Z"), archive});
        EXPECT_TRUE(list.Out.contains(QStringLiteral("-rw-r-----"))) << list.Out.toStdString();
    }
    EXPECT_EQ(FHarness.Sink().Errors(), QStringList());
    // No temporary file is left beside the archives.
    for (const QString& name : FolderListing(Root()))
        EXPECT_FALSE(name.contains(QStringLiteral("plvtmp"))) << name.toStdString();
}

TEST_F(ZipCompressTest, ADirectoryGivesItsDirectEntriesHiddenOnesAndOddNamesIncluded) {
    const QString docs = FHarness.Temp().MakeFolder(QStringLiteral("root/docs"));
    // Names with wildcard characters are taken literally: "*.txt" must not pull in b.txt twice.
    const QStringList names = {S("b.txt"),     S(".hidden"),     S("*.txt"),
                               S("a?[1].txt"), S("grüße Ω.txt"), S("with space.htm")};
    for (const QString& name : names)
        Write(QStringLiteral("docs/") + name, name.toUtf8() + CompressibleText(20));
    Write(QStringLiteral("docs/sub/deep.txt"), "not packed");
    FHarness.Temp().MakeFolder(QStringLiteral("root/docs/empty"));
    Pack({docs});

    const QString archive = Root() + QStringLiteral("docs.zip");
    ExpectSound(archive);
    std::vector<TEntry> expected;
    for (const QString& name : names)
        expected.push_back({name, S("defN")});
    expected.push_back({S("empty/"), S("stor")});
    expected.push_back({S("sub/"), S("stor")});
    std::sort(expected.begin(), expected.end(),
              [](const TEntry& A, const TEntry& B) { return A.Name < B.Name; });
    EXPECT_EQ(Entries(archive), expected);
    for (const QString& name : names)
        EXPECT_EQ(Content(archive, name), name.toUtf8() + CompressibleText(20))
            << name.toStdString();
    EXPECT_FALSE(QFile::exists(docs + QStringLiteral("docs.zip"))) << "not inside the directory";
    EXPECT_EQ(FHarness.Sink().AddedPaths(), QStringList{archive});
}

// unzip escapes what it lists, so the flag is read from the archive's bytes: every entry's
// local header (general purpose bit 11 = names in UTF-8).
TEST_F(ZipCompressTest, ANameBeyondAsciiIsStoredInUtf8WithTheLanguageEncodingFlag) {
    const QString name = S("Übersicht – 日本.txt");
    const QString file = Write(name, "x");
    Pack({file});
    const QByteArray bytes = ReadWholeFile(file + QStringLiteral(".zip"));
    ASSERT_GT(bytes.size(), 30);
    ASSERT_TRUE(bytes.startsWith("PK\x03\x04"));
    const int flags =
        static_cast<unsigned char>(bytes.at(6)) | (static_cast<unsigned char>(bytes.at(7)) << 8);
    EXPECT_NE(flags & 0x800, 0);
    const int nameLength =
        static_cast<unsigned char>(bytes.at(26)) | (static_cast<unsigned char>(bytes.at(27)) << 8);
    EXPECT_EQ(bytes.mid(30, nameLength), name.toUtf8());
}

// Small files are deflated once in memory; large ones are measured first and compressed by the
// archive library: both ways choose the method alike.
TEST_F(ZipCompressTest, WhatDeflatingDoesNotShrinkIsStored) {
    for (const int lines : {50, 120000}) {
        SCOPED_TRACE(lines);
        const QString name = QStringLiteral("mixed%1").arg(lines);
        const QByteArray noise = RandomBytes(lines * 100);
        const QByteArray text = CompressibleText(lines);
        const QString docs = FHarness.Temp().MakeFolder(QStringLiteral("root/") + name);
        Write(name + QStringLiteral("/noise.bin"), noise);
        Write(name + QStringLiteral("/empty.txt"), "");
        Write(name + QStringLiteral("/page.htm"), text);
        Pack({docs});
        const QString archive = Root() + name + QStringLiteral(".zip");
        ExpectSound(archive);
        EXPECT_EQ(Entries(archive), (std::vector<TEntry>{{S("empty.txt"), S("stor")},
                                                         {S("noise.bin"), S("stor")},
                                                         {S("page.htm"), S("defN")}}));
        EXPECT_TRUE(Content(archive, S("noise.bin")) == noise);
        EXPECT_TRUE(Content(archive, S("page.htm")) == text);
    }
}

TEST_F(ZipCompressTest, AnExistingArchiveIsAddedToAndItsEntriesAreLeftAsTheyWere) {
    const QString file = Write(QStringLiteral("a.txt"), "first version");
    Pack({file});
    const QString archive = file + QStringLiteral(".zip");
    ASSERT_TRUE(QFile::exists(archive));
    Write(QStringLiteral("a.txt"), "second version");
    Pack({file});
    ExpectSound(archive);
    EXPECT_EQ(Entries(archive), (std::vector<TEntry>{{S("a.txt"), S("stor")}}));
    EXPECT_EQ(Content(archive, S("a.txt")), QByteArray("first version"));

    // A directory's archive gains the entries it lacks, keeping the rest.
    const QString docs = FHarness.Temp().MakeFolder(QStringLiteral("root/docs"));
    Write(QStringLiteral("docs/one.txt"), "one");
    Pack({docs});
    const QString docsArchive = Root() + QStringLiteral("docs.zip");
    ASSERT_EQ(::chmod(QFile::encodeName(docsArchive).constData(), 0640), 0);
    Write(QStringLiteral("docs/one.txt"), "one changed");
    Write(QStringLiteral("docs/two.txt"), "two");
    Pack({docs});
    ExpectSound(docsArchive);
    EXPECT_EQ(Content(docsArchive, S("one.txt")), QByteArray("one"));
    EXPECT_EQ(Content(docsArchive, S("two.txt")), QByteArray("two"));
    // Rewritten through a temporary file that took its place: the mode is kept and nothing is
    // left beside it.
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(docsArchive).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(QDir(Root()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList({QStringLiteral("a.txt"), QStringLiteral("a.txt.zip"),
                           QStringLiteral("docs.zip")}));
}

TEST_F(ZipCompressTest, AFileInTheArchivesPlaceThatIsNoArchiveIsReportedAndKept) {
    const QString file = Write(QStringLiteral("a.txt"), "text");
    const QByteArray garbage = "this is no zip archive at all, just text";
    const QString archive = Write(QStringLiteral("a.txt.zip"), garbage);
    Pack({file});
    ASSERT_EQ(FHarness.Sink().Errors().size(), 1);
    EXPECT_TRUE(FHarness.Sink().Errors().at(0).contains(archive))
        << FHarness.Sink().Errors().at(0).toStdString();
    EXPECT_EQ(ReadWholeFile(archive), garbage);
}

TEST_F(ZipCompressTest, APathThatIsGoneIsSkippedWithoutAMessage) {
    Pack({Root() + QStringLiteral("gone.txt"), Root() + QStringLiteral("gone/")});
    EXPECT_EQ(FHarness.Sink().Errors(), QStringList());
    EXPECT_EQ(FHarness.Sink().AddedPaths(), QStringList());
    EXPECT_FALSE(QFile::exists(Root() + QStringLiteral("gone.txt.zip")));
}

// A link is packed as the file it points to only when that file lies inside the batch root.
TEST_F(ZipCompressTest, LinksArePackedOnlyWhenTheyPointInsideTheBatchRoot) {
    const QString docs = FHarness.Temp().MakeFolder(QStringLiteral("root/docs"));
    const QString inside = Write(QStringLiteral("other/inside.txt"), "inside the root");
    const QString outside = FHarness.Temp().WriteFile(QStringLiteral("secret.txt"), "outside");
    Write(QStringLiteral("docs/plain.txt"), "plain");
    ASSERT_TRUE(QFile::link(inside, docs + QStringLiteral("to-inside.txt")));
    ASSERT_TRUE(QFile::link(outside, docs + QStringLiteral("to-outside.txt")));
    ASSERT_TRUE(QFile::link(Root() + QStringLiteral("nothing"), docs + QStringLiteral("dangling")));
    Pack({docs});
    const QString archive = Root() + QStringLiteral("docs.zip");
    ExpectSound(archive);
    EXPECT_EQ(Entries(archive),
              (std::vector<TEntry>{{S("plain.txt"), S("stor")}, {S("to-inside.txt"), S("stor")}}));
    EXPECT_EQ(Content(archive, S("to-inside.txt")), QByteArray("inside the root"));
    const QStringList errors = FHarness.Sink().Errors();
    ASSERT_EQ(errors.size(), 2) << errors.join(u'\n').toStdString();
    EXPECT_TRUE(errors.filter(S("to-outside.txt")).size() == 1 &&
                errors.filter(S("dangling")).size() == 1)
        << errors.join(u'\n').toStdString();
}

TEST_F(ZipCompressTest, SpecialFilesInADirectoryAreNeverOpened) {
    const QString docs = FHarness.Temp().MakeFolder(QStringLiteral("root/docs"));
    Write(QStringLiteral("docs/plain.txt"), "plain");
    // Opening a FIFO for reading would block this test for ever.
    ASSERT_EQ(::mkfifo(QFile::encodeName(docs + QStringLiteral("pipe")).constData(), 0600), 0);
    Pack({docs});
    const QString archive = Root() + QStringLiteral("docs.zip");
    ExpectSound(archive);
    EXPECT_EQ(Entries(archive), (std::vector<TEntry>{{S("plain.txt"), S("stor")}}));
    ASSERT_EQ(FHarness.Sink().Errors().size(), 1);
    EXPECT_TRUE(FHarness.Sink().Errors().at(0).contains(S("pipe")));
}

// The entries of an archive as Python's zipfile reads them: name and content.
QList<QPair<QString, QByteArray>> PythonZipEntries(const QString& AArchive) {
    const TProcessRun run = RunTool(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import base64, json, sys, zipfile\n"
                        "z = zipfile.ZipFile(sys.argv[1])\n"
                        "print(json.dumps([[i.filename, base64.b64encode(z.read(i)).decode()]"
                        " for i in z.infolist()]))\n"),
         AArchive});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    QList<QPair<QString, QByteArray>> entries;
    for (const QJsonValue entry : QJsonDocument::fromJson(run.Out.toUtf8()).array())
        entries.append(
            {entry[0].toString(), QByteArray::fromBase64(entry[1].toString().toLatin1())});
    return entries;
}

// Every entry of a directory that cannot go into its archive is named once in the report for
// that archive, and the rest is packed. Run as an ordinary user, so an unreadable file is one.
TEST_F(ZipCompressTest, EveryEntryLeftOutOfAnArchiveIsNamed) {
    const QString docs = FHarness.Temp().MakeFolder(QStringLiteral("root/docs"));
    Write(QStringLiteral("docs/fine.txt"), "fine");
    const QString secret = Write(QStringLiteral("docs/secret.txt"), "secret");
    ASSERT_TRUE(QFile::setPermissions(secret, {}));
    const QByteArray native = QFile::encodeName(docs);
    const QList<QByteArray> odd = {"bad\xff.txt", "back\\slash.txt", "line\nbreak.txt",
                                   "esc\x1b[31m.txt", "c1\xc2\x85.txt"};
    for (const QByteArray& name : odd) {
        const int fd = ::open((native + name).constData(), O_CREAT | O_WRONLY | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << name.toStdString();
        ASSERT_EQ(::write(fd, "odd", 3), 3);
        ::close(fd);
    }
    std::optional<passwd> runner;
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        ASSERT_NE(nobody, nullptr) << "root ignores permissions, and there is no user nobody";
        runner = *nobody;
        // The user reaches the folders and may write the archive beside the directory.
        ASSERT_EQ(::chmod(QFile::encodeName(FHarness.Temp().Path()).constData(), 0755), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(Root()).constData(), 0777), 0);
    }
    const TChildOutcome outcome = RunInChildProcess([&]() -> QByteArray {
        if (runner && (::setgid(runner->pw_gid) != 0 || ::setuid(runner->pw_uid) != 0))
            return KChildSkipped + "cannot become nobody";
        Pack({docs});
        return FHarness.Sink().Errors().join(u'\0').toUtf8();
    });
    ASSERT_TRUE(outcome.Exited);
    ASSERT_FALSE(outcome.Output.startsWith(KChildSkipped)) << outcome.Output.toStdString();
    const QStringList errors = QString::fromUtf8(outcome.Output).split(u'\0', Qt::SkipEmptyParts);
    const QString archive = Root() + QStringLiteral("docs.zip");
    const QString into =
        QStringLiteral("\" was not packed into \"") + archive + QStringLiteral("\": ");
    const QStringList expected = {
        docs + S("back\\slash.txt") + into + S("its name holds a backslash"),
        docs + S("bad\\xFF.txt") + into + S("its name is not valid UTF-8"),
        docs + S("c1\u0085.txt") + into + S("its name holds a control character (U+0085)"),
        docs + S("esc\x1b[31m.txt") + into + S("its name holds a control character (U+001B)"),
        docs + S("line\nbreak.txt") + into + S("its name holds a control character (U+000A)"),
        docs + S("secret.txt") + into};
    ASSERT_EQ(errors.size(), expected.size()) << errors.join(u'\n').toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(errors.at(i).startsWith(S("The entry \"") + expected.at(i)))
            << errors.at(i).toStdString();
    const QList<QPair<QString, QByteArray>> entries = {{S("fine.txt"), QByteArray("fine")}};
    EXPECT_EQ(PythonZipEntries(archive), entries);

    // A file whose own name cannot be an entry gives no archive.
    FHarness.Sink().Clear();
    const QString slashed = Write(S("a\\b.txt"), "x");
    Pack({slashed});
    ASSERT_EQ(FHarness.Sink().Errors().size(), 1);
    EXPECT_TRUE(FHarness.Sink().Errors().at(0).contains(S("backslash")));
    EXPECT_FALSE(QFile::exists(slashed + S(".zip")));
    EXPECT_EQ(FHarness.Sink().AddedPaths(), QStringList());
}

// An archive that cannot be written completely never appears under its name, and no partial
// file is left beside it.
TEST_F(ZipCompressTest, AnArchiveThatCannotBeWrittenLeavesNothingBehind) {
    const QString file = Write(QStringLiteral("big.bin"), RandomBytes(200000));
    const QStringList before = FolderListing(Root());
    const TChildOutcome outcome = RunInChildProcess([&]() -> QByteArray {
        const QString problem = LimitFileSizeOfThisProcess(16384);
        if (!problem.isEmpty())
            return KChildSkipped + problem.toUtf8();
        Pack({file});
        return FHarness.Sink().Errors().join(u'\n').toUtf8();
    });
    ASSERT_TRUE(outcome.Exited);
    if (outcome.Output.startsWith(KChildSkipped))
        GTEST_SKIP() << outcome.Output.toStdString();
    EXPECT_FALSE(outcome.Output.isEmpty()) << "the failure was not reported";
    EXPECT_EQ(FolderListing(Root()), before);
}

}  // namespace

#include "app/folder_walk.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include <stdexcept>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_folders.h"

namespace {
class FolderWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        FRoot = FTemp.MakeFolder(QStringLiteral("root"));
        FTemp.WriteFile(QStringLiteral("root/a.txt"), "a");
        FTemp.WriteFile(QStringLiteral("root/sub/b.htm"), "b");
        FTemp.WriteFile(QStringLiteral("root/sub/deep/c.txt"), "c");
        FTemp.WriteFile(QStringLiteral("root/.hidden"), "h");
        FTemp.MakeFolder(QStringLiteral("root/empty"));
    }
    TTempFolder FTemp;
    QString FRoot;
};
}  // namespace

TEST_F(FolderWalkTest, ListsInPreOrderWithSeparators) {
    QStringList files;
    QStringList folders;
    TWalkFolderOptions options;
    options.Files = &files;
    options.Folders = &folders;
    EXPECT_EQ(WalkFolder(FRoot, options), 0);
    files.sort();
    EXPECT_EQ(files,
              QStringList({FRoot + QStringLiteral(".hidden"), FRoot + QStringLiteral("a.txt"),
                           FRoot + QStringLiteral("sub/b.htm"),
                           FRoot + QStringLiteral("sub/deep/c.txt")}));
    ASSERT_EQ(folders.size(), 3);
    EXPECT_TRUE(folders.contains(FRoot + QStringLiteral("empty/")));
    EXPECT_LT(folders.indexOf(FRoot + QStringLiteral("sub/")),
              folders.indexOf(FRoot + QStringLiteral("sub/deep/")));
}

TEST_F(FolderWalkTest, MaskAppliesToFoldersToo) {
    QStringList files;
    TWalkFolderOptions options;
    options.Files = &files;
    options.Mask = QStringLiteral("*.TXT");
    WalkFolder(FRoot, options);
    // "sub" does not match the mask, so its files are not reached.
    EXPECT_EQ(files, QStringList(FRoot + QStringLiteral("a.txt")));
}

TEST_F(FolderWalkTest, CountOnlySkipsHiddenFilesAndNoRecurse) {
    int count = -1;
    TWalkFolderOptions options;
    options.FileCount = &count;
    WalkFolder(FRoot, options);
    EXPECT_EQ(count, 3);
    options.Recurse = false;
    WalkFolder(FRoot, options);
    EXPECT_EQ(count, 1);
}

TEST_F(FolderWalkTest, AbortTestEndsAtOnce) {
    QStringList files;
    int asked = 0;
    TWalkFolderOptions options;
    options.Files = &files;
    options.AbortTest = [&] { return ++asked > 2; };
    WalkFolder(FRoot, options);
    EXPECT_EQ(asked, 3);
    EXPECT_LE(files.size(), 2);
}

TEST_F(FolderWalkTest, FolderLinksAreNeverFollowed) {
    ASSERT_EQ(::symlink(FRoot.toUtf8().constData(),
                        (FRoot + QStringLiteral("loop")).toUtf8().constData()),
              0);
    QStringList files;
    QStringList links;
    TWalkFolderOptions options;
    options.Files = &files;
    options.SkippedFolderLinks = &links;
    WalkFolder(FRoot, options);
    EXPECT_EQ(files.size(), 4);
    EXPECT_EQ(links, QStringList(FRoot + QStringLiteral("loop")));
}

TEST_F(FolderWalkTest, SpecialFilesAreSetApartAndOnlyOrdinaryFilesCounted) {
    const auto link = [this](const QString& ATarget, const char* AName) {
        return ::symlink(ATarget.toUtf8().constData(),
                         (FRoot + QLatin1String(AName)).toUtf8().constData());
    };
    ASSERT_EQ(link(FRoot + QStringLiteral("a.txt"), "to-file"), 0);
    ASSERT_EQ(link(FRoot + QStringLiteral("nowhere"), "broken"), 0);
    ASSERT_EQ(::mkfifo((FRoot + QStringLiteral("pipe")).toUtf8().constData(), 0600), 0);
    ASSERT_EQ(link(FRoot + QStringLiteral("pipe"), "to-pipe"), 0);
    FTemp.WriteFile(QStringLiteral("root/.cache/inside.txt"), "i");

    QStringList files;
    QStringList entries;
    QStringList special;
    TWalkFolderOptions list;
    list.Files = &files;
    list.Entries = &entries;
    list.SpecialFiles = &special;
    EXPECT_EQ(WalkFolder(FRoot, list), 0);
    files.sort();
    EXPECT_EQ(
        files,
        QStringList({FRoot + QStringLiteral(".cache/inside.txt"), FRoot + QStringLiteral(".hidden"),
                     FRoot + QStringLiteral("a.txt"), FRoot + QStringLiteral("broken"),
                     FRoot + QStringLiteral("sub/b.htm"), FRoot + QStringLiteral("sub/deep/c.txt"),
                     FRoot + QStringLiteral("to-file")}));
    // The kinds say what each entry is, a link that leads nowhere included.
    std::vector<TWalkEntryKind> kinds;
    QStringList kindEntries;
    TWalkFolderOptions withKinds;
    withKinds.Entries = &kindEntries;
    withKinds.EntryKinds = &kinds;
    WalkFolder(FRoot, withKinds);
    ASSERT_EQ(kinds.size(), static_cast<std::size_t>(kindEntries.size()));
    for (qsizetype i = 0; i < kindEntries.size(); ++i) {
        const QString& entry = kindEntries[i];
        const TWalkEntryKind expected = entry.endsWith(QLatin1Char('/')) ? TWalkEntryKind::Folder
                                        : entry.endsWith(QStringLiteral("broken"))
                                            ? TWalkEntryKind::Missing
                                            : TWalkEntryKind::File;
        EXPECT_EQ(kinds[static_cast<std::size_t>(i)], expected) << entry.toStdString();
    }
    // A fifo, or a link to one, is never listed: whoever opened it would wait for ever.
    special.sort();
    EXPECT_EQ(special,
              QStringList({FRoot + QStringLiteral("pipe"), FRoot + QStringLiteral("to-pipe")}));
    EXPECT_FALSE(entries.contains(FRoot + QStringLiteral("pipe")));

    // Counting takes ordinary files (a link to one included) and leaves hidden folders out.
    int count = -1;
    TWalkFolderOptions counting;
    counting.FileCount = &count;
    WalkFolder(FRoot, counting);
    EXPECT_EQ(count, 4);
}

TEST_F(FolderWalkTest, EntriesAreAbsoluteAndCleanWhateverTheRootLooksLike) {
    QStringList files;
    TWalkFolderOptions options;
    options.Files = &files;
    options.Recurse = false;
    WalkFolder(FRoot + QStringLiteral("sub/../"), options);
    EXPECT_TRUE(files.contains(FRoot + QStringLiteral("a.txt"))) << files.join(u' ').toStdString();
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(FRoot));
    files.clear();
    WalkFolder(QStringLiteral("sub"), options);
    QDir::setCurrent(old);
    EXPECT_EQ(files, QStringList(FRoot + QStringLiteral("sub/b.htm")));
}

TEST_F(FolderWalkTest, OnEntrySeesTheEntriesInOrderAndItsErrorEndsTheWalk) {
    QStringList entries;
    QStringList seen;
    TWalkFolderOptions options;
    options.Entries = &entries;
    options.OnEntry = [&](const QString& AEntry) { seen << AEntry; };
    WalkFolder(FRoot, options);
    EXPECT_EQ(seen, entries);
    EXPECT_EQ(seen.size(), 7);

    int calls = 0;
    TWalkFolderOptions failing;
    failing.OnEntry = [&](const QString&) {
        if (++calls == 2)
            throw std::runtime_error("stop here");
    };
    EXPECT_THROW(WalkFolder(FRoot, failing), std::runtime_error);
    EXPECT_EQ(calls, 2);
}

TEST_F(FolderWalkTest, MissingRootCountsAnError) {
    TWalkFolderOptions options;
    EXPECT_EQ(WalkFolder(FTemp.Path(QStringLiteral("nothing")), options), 1);
}

TEST(MaskMatches, Table) {
    const std::vector<std::tuple<QString, QString, bool>> cases = {
        {QStringLiteral("*.*"), QStringLiteral("noext"), true},
        {QStringLiteral("*"), QStringLiteral("a.b"), true},
        {QStringLiteral("*.htm"), QStringLiteral("INDEX.HTM"), true},
        {QStringLiteral("*.htm"), QStringLiteral("index.html"), false},
        {QStringLiteral("a?c.txt"), QStringLiteral("abc.txt"), true},
        {QStringLiteral("a?c.txt"), QStringLiteral("ac.txt"), false},
    };
    for (const auto& [mask, name, expected] : cases)
        EXPECT_EQ(MaskMatches(mask, name), expected)
            << mask.toStdString() << " " << name.toStdString();
}

TEST(CopyTreeMissing, ModesAndModificationTimes) {
    TTempFolder temp;
    const QString source = temp.MakeFolder(QStringLiteral("src"));
    const QString target = temp.MakeFolder(QStringLiteral("dst"));
    temp.WriteFile(QStringLiteral("src/new.txt"), "new");
    temp.WriteFile(QStringLiteral("src/sub/newer.txt"), "source newer");
    temp.WriteFile(QStringLiteral("src/older.txt"), "source older");
    temp.WriteFile(QStringLiteral("dst/sub/newer.txt"), "target");
    temp.WriteFile(QStringLiteral("dst/older.txt"), "target");
    const QDateTime past = QDateTime::currentDateTime().addDays(-3);
    const QDateTime future = QDateTime::currentDateTime().addDays(3);
    const auto setTime = [&](const QString& ARel, const QDateTime& AWhen) {
        QFile f(temp.Path(ARel));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(AWhen, QFileDevice::FileModificationTime));
    };
    setTime(QStringLiteral("dst/sub/newer.txt"), past);
    setTime(QStringLiteral("dst/older.txt"), future);
    setTime(QStringLiteral("src/new.txt"), past);

    struct TCase {
        TCopyTreeMode Mode;
        QByteArray Newer;
        QByteArray Older;
    };
    const std::vector<TCase> cases = {
        {TCopyTreeMode::NeverOverwrite, "target", "target"},
        {TCopyTreeMode::OverwriteWhenNewer, "source newer", "target"},
        {TCopyTreeMode::AlwaysOverwrite, "source newer", "source older"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(CopyTreeMissing(source, target, c.Mode), 0);
        EXPECT_EQ(temp.ReadFile(QStringLiteral("dst/new.txt")), QByteArray("new"));
        EXPECT_EQ(temp.ReadFile(QStringLiteral("dst/sub/newer.txt")), c.Newer);
        EXPECT_EQ(temp.ReadFile(QStringLiteral("dst/older.txt")), c.Older);
    }
    // A copy keeps the source's modification time.
    EXPECT_EQ(QFileInfo(temp.Path(QStringLiteral("dst/new.txt"))).lastModified().toSecsSinceEpoch(),
              past.toSecsSinceEpoch());
}

TEST_F(FolderWalkTest, DeletesFilesPermanentlyWhenAskedAndKeepsFolders) {
    // No trash may be touched: the files go for good.
    const TScopedEnv dataHome("XDG_DATA_HOME", FTemp.MakeFolder(QStringLiteral("xdg")).toUtf8());
    QStringList files;
    TWalkFolderOptions options;
    options.Files = &files;
    options.Mask = QStringLiteral("*.txt");
    options.DeleteFiles = true;
    options.DeleteToTrash = false;
    EXPECT_EQ(WalkFolder(FRoot, options), 0);
    EXPECT_EQ(files, QStringList(FRoot + QStringLiteral("a.txt")));
    EXPECT_FALSE(QFileInfo::exists(FRoot + QStringLiteral("a.txt")));
    EXPECT_TRUE(QFileInfo::exists(FRoot + QStringLiteral("sub/b.htm")));
    EXPECT_FALSE(QFileInfo::exists(FTemp.Path(QStringLiteral("xdg/Trash"))));
}

TEST_F(FolderWalkTest, NamesThatAreNotTextAreHandedOutByTheirBytes) {
    const QByteArray root = QFile::encodeName(FRoot);
    ASSERT_EQ(::mkdir((root + "d\xE9").constData(), 0755), 0);
    FTemp.WriteFile(QStringLiteral("root/plain.txt"), "p");
    const auto touch = [](const QByteArray& APath) {
        const int fd = ::open(APath.constData(), O_WRONLY | O_CREAT, 0644);
        if (fd >= 0)
            ::close(fd);
        return fd >= 0;
    };
    ASSERT_TRUE(touch(root + "f\xFF.txt"));
    ASSERT_TRUE(touch(root + "d\xE9/inner.txt"));
    ASSERT_EQ(::mkfifo((root + "p\xE9").constData(), 0600), 0);

    QStringList entries;
    std::vector<std::pair<QByteArray, TWalkNativeKind>> undecodable;
    TWalkFolderOptions options;
    options.Entries = &entries;
    options.OnUndecodable = [&](const QByteArray& APath, TWalkNativeKind AKind) {
        undecodable.emplace_back(APath, AKind);
    };
    EXPECT_EQ(WalkFolder(FRoot, options), 0);
    // No entry under a changed name, and nothing below a folder whose name is not text.
    for (const QString& entry : std::as_const(entries))
        EXPECT_FALSE(entry.contains(QChar(0xFFFD))) << entry.toStdString();
    EXPECT_FALSE(entries.join(QLatin1Char('|')).contains(QStringLiteral("inner.txt")));
    EXPECT_TRUE(entries.contains(FRoot + QStringLiteral("plain.txt")));
    std::sort(undecodable.begin(), undecodable.end());
    const std::vector<std::pair<QByteArray, TWalkNativeKind>> expected = {
        {root + "d\xE9", TWalkNativeKind::Folder},
        {root + "f\xFF.txt", TWalkNativeKind::File},
        {root + "p\xE9", TWalkNativeKind::Special},
    };
    EXPECT_EQ(undecodable, expected);

    // Whoever does not take them hears of them as errors.
    TWalkFolderOptions plain;
    plain.Entries = &entries;
    EXPECT_EQ(WalkFolder(FRoot, plain), 3);
}

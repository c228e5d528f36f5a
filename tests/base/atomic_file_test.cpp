#include "base/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/child_process.h"
#include "tests/support/temp_folders.h"

TEST(AtomicFile, BackupNames) {
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("/a/options.ini"), QStringLiteral("/a/options.~ini")},
        {QStringLiteral("/a/demo.plv"), QStringLiteral("/a/demo.~plv")},
        {QStringLiteral("/a.b/noext"), QStringLiteral("/a.b/noext.~")},
        {QStringLiteral("x.tar.gz"), QStringLiteral("x.tar.~gz")},
    };
    for (const auto& [path, backup] : cases)
        EXPECT_EQ(BackupFileName(path), backup) << path.toStdString();
}

TEST(AtomicFile, ReplacesContentAndLeavesNoTemporaryFiles) {
    TTempFolder temp;
    const QString path = temp.WriteFile(QStringLiteral("f.ini"), "old");
    ASSERT_TRUE(WriteFileAtomically(path, "new content"));
    EXPECT_EQ(ReadWholeFile(path), QByteArray("new content"));
    EXPECT_EQ(QDir(temp.Path()).entryList(QDir::Files), QStringList(QStringLiteral("f.ini")));
}

// A file saved through a link stays a link to the file that gets the content, and a saved file
// keeps its mode.
TEST(AtomicFile, ALinkStaysALinkAndTheModeIsKept) {
    TTempFolder temp;
    const QString real = temp.WriteFile(QStringLiteral("real/f.ini"), "old");
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0600), 0);
    const QString link = temp.Path(QStringLiteral("f.ini"));
    ASSERT_EQ(::symlink("real/f.ini", QFile::encodeName(link).constData()), 0);
    ASSERT_TRUE(WriteFileAtomically(link, "new"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadWholeFile(real), QByteArray("new"));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(QDir(temp.Path(QStringLiteral("real"))).entryList(QDir::Files | QDir::Hidden),
              QStringList(QStringLiteral("f.ini")));
}

// Targets nothing can be written to: what was at the path stays as it was.
TEST(AtomicFile, FailedWriteLeavesWhatWasThere) {
    TTempFolder temp;
    const QString folder = temp.MakeFolder(QStringLiteral("in-the-way"));
    temp.WriteFile(QStringLiteral("in-the-way/keep.ini"), "keep");
    const QString missing = temp.Path(QStringLiteral("missing/f.ini"));
    QString error;
    EXPECT_FALSE(WriteFileAtomically(missing, "x", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(missing).absolutePath()));

    error.clear();
    EXPECT_FALSE(WriteFileAtomically(folder.chopped(1), "x", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(temp.ReadFile(QStringLiteral("in-the-way/keep.ini")), QByteArray("keep"));
    EXPECT_EQ(QDir(temp.Path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("in-the-way")});
}

// Replacing an existing file with content that cannot be written whole (a child limited to
// 1 KB per file): the old content is still there and no temporary file is left.
TEST(AtomicFile, AReplacementThatCannotFinishKeepsTheOldContent) {
    TTempFolder temp;
    const QString path = temp.WriteFile(QStringLiteral("f.ini"), "old content");
    const TChildOutcome outcome = RunInChildProcess([&] {
        const QString limited = LimitFileSizeOfThisProcess(1024);
        if (!limited.isEmpty())
            return KChildSkipped + limited.toUtf8();
        QString error;
        if (WriteFileAtomically(path, QByteArray(4096, 'n'), &error))
            return QByteArray("written");
        return "failed: " + error.toUtf8();
    });
    ASSERT_TRUE(outcome.Exited) << outcome.Output.toStdString();
    EXPECT_TRUE(outcome.Output.startsWith("failed: ")) << outcome.Output.toStdString();
    EXPECT_EQ(ReadWholeFile(path), QByteArray("old content"));
    EXPECT_EQ(QDir(temp.Path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("f.ini")});
}

TEST(AtomicFile, BackupCopyReplacesTheOldBackup) {
    TTempFolder temp;
    const QString path = temp.WriteFile(QStringLiteral("f.ini"), "v2");
    temp.WriteFile(QStringLiteral("f.~ini"), "v1");
    ASSERT_TRUE(WriteBackupCopy(path, BackupFileName(path)));
    EXPECT_EQ(temp.ReadFile(QStringLiteral("f.~ini")), QByteArray("v2"));
}

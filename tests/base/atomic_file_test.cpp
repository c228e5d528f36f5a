#include "base/atomic_file.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

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

TEST(AtomicFile, FailedWriteLeavesThePreviousFile) {
    TTempFolder temp;
    const QString path = temp.WriteFile(QStringLiteral("f.ini"), "old");
    // The target is a folder name inside a missing folder: nothing can be written.
    QString error;
    EXPECT_FALSE(WriteFileAtomically(temp.Path(QStringLiteral("missing/f.ini")), "x", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadWholeFile(path), QByteArray("old"));
}

TEST(AtomicFile, BackupCopyReplacesTheOldBackup) {
    TTempFolder temp;
    const QString path = temp.WriteFile(QStringLiteral("f.ini"), "v2");
    temp.WriteFile(QStringLiteral("f.~ini"), "v1");
    ASSERT_TRUE(WriteBackupCopy(path, BackupFileName(path)));
    EXPECT_EQ(temp.ReadFile(QStringLiteral("f.~ini")), QByteArray("v2"));
}

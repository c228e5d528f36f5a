#include "platform/file_copy.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/temp_folders.h"

namespace {
void SetModified(const QString& APath, const QDateTime& AWhen) {
    QFile file(APath);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(AWhen, QFileDevice::FileModificationTime));
}
}  // namespace

TEST(FileCopy, NewAndExistingTargetsGetTheBytesAndTheTime) {
    TTempFolder temp;
    const QString source = temp.WriteFile(QStringLiteral("src.txt"), QByteArray(100000, 'a'));
    const QDateTime past = QDateTime::currentDateTime().addDays(-7);
    SetModified(source, past);
    for (const QString& target :
         {temp.Path(QStringLiteral("new.txt")),
          temp.WriteFile(QStringLiteral("old.txt"), "old and longer content")}) {
        QString error;
        ASSERT_TRUE(CopyFileComplete(source, target, &error)) << error.toStdString();
        EXPECT_EQ(ReadWholeFile(target), QByteArray(100000, 'a'));
        EXPECT_EQ(QFileInfo(target).lastModified().toSecsSinceEpoch(), past.toSecsSinceEpoch());
    }
    // No temporary file is left behind.
    EXPECT_EQ(QDir(temp.Path()).entryList(QDir::Files).size(), 3);
}

TEST(FileCopy, FailuresLeaveNothingHalfWritten) {
    TTempFolder temp;
    const QString source = temp.WriteFile(QStringLiteral("src.txt"), "x");
    QString error;
    // A folder stands where the file should go: it stays, nothing else appears.
    temp.WriteFile(QStringLiteral("blocked/inner.txt"), "keep");
    EXPECT_FALSE(CopyFileComplete(source, temp.Path(QStringLiteral("blocked")), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(temp.ReadFile(QStringLiteral("blocked/inner.txt")), QByteArray("keep"));
    EXPECT_EQ(QDir(temp.Path()).entryList(QDir::Files), QStringList(QStringLiteral("src.txt")));
    // A missing source creates no target.
    EXPECT_FALSE(CopyFileComplete(temp.Path(QStringLiteral("none.txt")),
                                  temp.Path(QStringLiteral("t.txt")), &error));
    EXPECT_FALSE(QFileInfo::exists(temp.Path(QStringLiteral("t.txt"))));
    // A missing target folder fails cleanly.
    EXPECT_FALSE(CopyFileComplete(source, temp.Path(QStringLiteral("no/dir/t.txt")), &error));
}

TEST(FileCopy, SpecialFilesAreRefusedWithoutWaiting) {
    TTempFolder temp;
    const QString fifo = temp.Path(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString error;
    // Opening a fifo for reading would wait for a writer for ever.
    EXPECT_FALSE(CopyFileComplete(fifo, temp.Path(QStringLiteral("copy")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("not an ordinary file"))) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(temp.Path(QStringLiteral("copy"))));
}

TEST(FileCopy, NativeTreeCopyKeepsEveryNameByteForByte) {
    TTempFolder temp;
    const QByteArray root = QFile::encodeName(temp.Path());
    const QByteArray source = root + "caf\xE9";
    ASSERT_EQ(::mkdir(source.constData(), 0755), 0);
    ASSERT_EQ(::mkdir((source + "/sub\xFF").constData(), 0700), 0);
    const auto write = [](const QByteArray& APath, const QByteArray& ABytes) {
        const int fd = ::open(APath.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << APath.toStdString();
        ASSERT_EQ(::write(fd, ABytes.constData(), static_cast<size_t>(ABytes.size())),
                  ABytes.size());
        ::close(fd);
    };
    write(source + "/na\xEFve.txt", "one");
    write(source + "/sub\xFF/plain.txt", "two");
    ASSERT_EQ(::mkfifo((source + "/pipe\xE9").constData(), 0600), 0);
    ASSERT_EQ(::symlink("/", (source + "/up").constData()), 0);

    QStringList problems;
    const QByteArray target = root + "copy\xE9";
    EXPECT_EQ(CopyFolderNative(source, target, {}, problems), 0);
    const auto read = [](const QByteArray& APath) {
        QByteArray bytes(16, '\0');
        const int fd = ::open(APath.constData(), O_RDONLY);
        if (fd < 0)
            return QByteArray("(missing)");
        bytes.resize(::read(fd, bytes.data(), 16));
        ::close(fd);
        return bytes;
    };
    EXPECT_EQ(read(target + "/na\xEFve.txt"), QByteArray("one"));
    EXPECT_EQ(read(target + "/sub\xFF/plain.txt"), QByteArray("two"));
    struct stat info {};
    EXPECT_NE(::lstat((target + "/pipe\xE9").constData(), &info), 0);
    EXPECT_NE(::lstat((target + "/up").constData(), &info), 0);
    ASSERT_EQ(::stat((target + "/sub\xFF").constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(problems.size(), 2) << problems.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(problems.join(QLatin1Char('|')).contains(QStringLiteral("pipe\\xE9")));
}

TEST(FileCopy, FolderCopyFindsFilesByNameAndNamesWholePathsInErrors) {
    TTempFolder temp;
    temp.WriteFile(QStringLiteral("src/a.txt"), "new a");
    temp.WriteFile(QStringLiteral("dst/a.txt"), "old a, longer");
    temp.WriteFile(QStringLiteral("src/b.txt"), "b");
    const TFolderCopy copy(QFile::encodeName(temp.Path(QStringLiteral("src"))),
                           QFile::encodeName(temp.Path(QStringLiteral("dst/"))));
    QString error;
    EXPECT_TRUE(copy.CopyFile("a.txt", &error)) << error.toStdString();
    EXPECT_TRUE(copy.CopyFile("b.txt", &error)) << error.toStdString();
    EXPECT_EQ(temp.ReadFile(QStringLiteral("dst/a.txt")), QByteArray("new a"));
    EXPECT_EQ(temp.ReadFile(QStringLiteral("dst/b.txt")), QByteArray("b"));
    EXPECT_EQ(QDir(temp.Path(QStringLiteral("dst"))).entryList(QDir::Files).size(), 2);
    EXPECT_FALSE(copy.CopyFile("none.txt", &error));
    EXPECT_TRUE(error.contains(temp.Path(QStringLiteral("src/none.txt")))) << error.toStdString();

    // A target folder that is not there: the whole path says which.
    const TFolderCopy missing(QFile::encodeName(temp.Path(QStringLiteral("src"))),
                              QFile::encodeName(temp.Path(QStringLiteral("gone"))));
    EXPECT_FALSE(missing.CopyFile("a.txt", &error));
    EXPECT_TRUE(error.contains(temp.Path(QStringLiteral("gone/a.txt")))) << error.toStdString();
}

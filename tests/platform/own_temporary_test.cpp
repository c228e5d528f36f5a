#include "platform/own_temporary.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_folders.h"

TEST(OwnTemporary, NamesAreMadeAndToldApartFromOtherProgramsNames) {
    const std::int64_t self = ::getpid();
    for (const TOwnTemporaryKind kind :
         {TOwnTemporaryKind::Rewrite, TOwnTemporaryKind::Copy, TOwnTemporaryKind::Archive}) {
        const QByteArray path = OwnTemporaryPath("/some/folder/page.htm", kind);
        SCOPED_TRACE(path.toStdString());
        ASSERT_TRUE(path.startsWith("/some/folder/"));
        const QByteArray name = path.mid(13);
        // The file's name shows what the temporary belongs to; only a copy is not hidden.
        EXPECT_EQ(name.startsWith(".page.htm."), kind != TOwnTemporaryKind::Copy);
        EXPECT_EQ(OwnTemporaryProcess(name.constData()), self);
        EXPECT_NE(OwnTemporaryPath("page.htm", kind), OwnTemporaryPath("page.htm", kind));
    }
    // Where the file's name would make it too long, only the marker part is left.
    const QByteArray longName(NAME_MAX - 5, 'x');
    const QByteArray shortened = OwnTemporaryPath(longName, TOwnTemporaryKind::Rewrite);
    EXPECT_LE(shortened.size(), NAME_MAX);
    EXPECT_EQ(OwnTemporaryProcess(shortened.constData()), self);

    const struct {
        const char* Name;
        std::int64_t Process;
    } cases[] = {
        {".a.txt.plvtmp-0123456789abcdef-4711", 4711},
        {"a.txt.plvcopy-fedcba9876543210-1", 1},
        {".docs.zip.plvzip-00000000000000ff-123456", 123456},
        {".plvtmp-0123456789abcdef-99", 99},
        // Other programs' patterns and near misses are not ours.
        {"report.zip.202401", 0},
        {"docs.zip.aB3xYz", 0},
        {"a.txt.plvtmp-0123456789abcdef", 0},       // no process id
        {"a.txt.plvtmp-0123456789abcde-4711", 0},   // 15 hex digits
        {"a.txt.plvtmp-0123456789ABCDEF-4711", 0},  // upper case
        {"a.txt.plvtmp-0123456789abcdef-0471", 0},  // a leading zero
        {"a.txt.plvtmp-0123456789abcdef-", 0},
        {"a.txt.plvtemp-0123456789abcdef-4711", 0},
        {"a.txt-plvtmp-0123456789abcdef-4711", 0},
        {"a.txt.plvtmp-0123456789abcdef-12345678901", 0},  // too many digits
        {"4711", 0},
        {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OwnTemporaryProcess(c.Name), c.Process) << c.Name;
}

TEST(OwnTemporary, OnlyAProcessThatEndedLeavesLeftovers) {
    EXPECT_FALSE(ProcessHasEnded(::getpid()));
    EXPECT_FALSE(ProcessHasEnded(::getppid()));
    EXPECT_FALSE(ProcessHasEnded(1));
    EXPECT_FALSE(ProcessHasEnded(0));
    EXPECT_TRUE(ProcessHasEnded(EndedProcessId()));
}

TEST(OwnTemporary, AFileIsPutInPlaceOnlyWhenCommittedAndKeepsTheTargetsMode) {
    TTempFolder temp;
    const QString target = temp.WriteFile(QStringLiteral("a.zip"), "old");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    {
        TOwnTemporaryFile file(QFile::encodeName(target), TOwnTemporaryKind::Archive);
        ASSERT_EQ(file.Create(), 0);
        ASSERT_EQ(file.Write("new content", 11), 0);
        // Written again at an earlier place, as an archive writer fills in a header.
        ASSERT_TRUE(file.Seek(4));
        ASSERT_EQ(file.Write("CONTENT", 7), 0);
        EXPECT_FALSE(file.Seek(12));
        EXPECT_EQ(file.Length(), 11u);
        const QStringList during = QDir(temp.Path()).entryList(QDir::Files | QDir::Hidden);
        ASSERT_EQ(during.size(), 2) << during.join(u' ').toStdString();
        EXPECT_EQ(ReadWholeFile(target), QByteArray("old"));
        ASSERT_EQ(file.Commit(), 0);
    }
    EXPECT_EQ(ReadWholeFile(target), QByteArray("new CONTENT"));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(QDir(temp.Path()).entryList(QDir::Files | QDir::Hidden),
              QStringList(QStringLiteral("a.zip")));

    // Not committed: the target stays and nothing is left beside it.
    {
        TOwnTemporaryFile file(QFile::encodeName(target), TOwnTemporaryKind::Archive);
        ASSERT_EQ(file.Create(), 0);
        ASSERT_EQ(file.Write("lost", 4), 0);
    }
    EXPECT_EQ(ReadWholeFile(target), QByteArray("new CONTENT"));
    EXPECT_EQ(QDir(temp.Path()).entryList(QDir::Files | QDir::Hidden),
              QStringList(QStringLiteral("a.zip")));

    // A folder that cannot be written to gives the system's reason.
    TOwnTemporaryFile nowhere(QFile::encodeName(temp.Path(QStringLiteral("none/a.zip"))),
                              TOwnTemporaryKind::Archive);
    EXPECT_EQ(nowhere.Create(), ENOENT);
}

TEST(OwnTemporary, ALeftoverIsRemovedByItsNativePath) {
    TTempFolder temp;
    const QByteArray path = QFile::encodeName(temp.Path()) + "caf\xE9.plvtmp-0123456789abcdef-1";
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    QString error;
    EXPECT_TRUE(RemoveLeftoverFile(path, error));
    EXPECT_TRUE(QDir(temp.Path()).isEmpty());
    // Already gone counts as removed; a folder in its place is not removed.
    EXPECT_TRUE(RemoveLeftoverFile(path, error));
    const QString folder = temp.MakeFolder(QStringLiteral("f.plvtmp-0123456789abcdef-1"));
    EXPECT_FALSE(RemoveLeftoverFile(QFile::encodeName(folder.chopped(1)), error));
    EXPECT_FALSE(error.isEmpty());
}

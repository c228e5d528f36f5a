#include "platform/file_replace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_folders.h"

namespace {

struct stat StatOf(const QString& APath) {
    struct stat info {};
    EXPECT_EQ(::stat(QFile::encodeName(APath).constData(), &info), 0) << APath.toStdString();
    return info;
}

// Every entry of a folder, hidden ones included: a temporary file left behind shows here.
QStringList EntriesOf(const QString& AFolder) {
    return QDir(AFolder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString LinkTarget(const QString& ALink) {
    char buffer[4096];
    const ssize_t n = ::readlink(QFile::encodeName(ALink).constData(), buffer, sizeof buffer - 1);
    return n < 0 ? QString() : QFile::decodeName(QByteArray(buffer, n));
}

bool MakeLink(const QString& ATarget, const QString& ALink) {
    return ::symlink(QFile::encodeName(ATarget).constData(),
                     QFile::encodeName(ALink).constData()) == 0;
}

using TReplaceFunction = bool (*)(const QString&, const QByteArray&, QString*);

struct TReplaceWay {
    const char* Name;
    TReplaceFunction Function;
};

// Both ways (an unnamed temporary file named once complete, and a named one from the start)
// keep the same promises.
class FileReplaceTest : public ::testing::TestWithParam<TReplaceWay> {
protected:
    static bool Replace(const QString& APath, const QByteArray& ABytes, QString* AError = nullptr) {
        return GetParam().Function(APath, ABytes, AError);
    }
};

TEST_P(FileReplaceTest, KeepsModeAndOwner) {
    const bool root = ::geteuid() == 0;
    struct TCase {
        mode_t Mode;
        bool OtherOwner;  // owner and group that are not the process's (needs the superuser)
    };
    // 04755 with another owner: the change of owner clears the set-user-ID bit, which must be
    // set again afterwards.
    const std::vector<TCase> cases = {
        {0644, false}, {0600, false}, {0751, false}, {0444, false},
        {0640, true},  {04755, true}, {02750, true},
    };
    TTempFolder temp;
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::oct << c.Mode << (c.OtherOwner ? " other" : ""));
        if (c.OtherOwner && !root)
            continue;
        const QString path = temp.WriteFile(QStringLiteral("f.txt"), "old");
        const QByteArray name = QFile::encodeName(path);
        if (c.OtherOwner) {
            ASSERT_EQ(::chown(name.constData(), 4321, 8765), 0);
        }
        ASSERT_EQ(::chmod(name.constData(), c.Mode), 0);
        const struct stat before = StatOf(path);

        QString error;
        ASSERT_TRUE(Replace(path, "new content", &error)) << error.toStdString();
        const struct stat after = StatOf(path);
        EXPECT_EQ(after.st_mode & 07777, c.Mode);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(ReadWholeFile(path), QByteArray("new content"));
        EXPECT_EQ(EntriesOf(temp.Path()), QStringList{QStringLiteral("f.txt")});
        ASSERT_TRUE(QFile::remove(path));
    }
}

TEST_P(FileReplaceTest, ASymbolicLinkStaysTheSameLinkAndItsTargetGetsTheContent) {
    struct TCase {
        const char* Name;
        QString LinkText;  // what the link holds, relative to the folder "links/"
        QString Chain;     // a second link the first one points at, or empty
    };
    const std::vector<TCase> cases = {
        {"relative link into another folder", QStringLiteral("../real/t.txt"), {}},
        {"link to a link", QStringLiteral("hop.txt"), QStringLiteral("../real/t.txt")},
        {"link through a linked folder", QStringLiteral("realdir/t.txt"), {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempFolder temp;
        const QString target = temp.WriteFile(QStringLiteral("real/t.txt"), "old");
        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
        const QString links = temp.MakeFolder(QStringLiteral("links"));
        ASSERT_TRUE(MakeLink(QStringLiteral("../real"), links + QStringLiteral("realdir")));
        if (!c.Chain.isEmpty()) {
            ASSERT_TRUE(MakeLink(c.Chain, links + QStringLiteral("hop.txt")));
        }
        const QString link = links + QStringLiteral("l.txt");
        ASSERT_TRUE(MakeLink(c.LinkText, link));
        const QStringList linksBefore = EntriesOf(links);

        QString error;
        ASSERT_TRUE(Replace(link, "new", &error)) << error.toStdString();
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_EQ(LinkTarget(link), c.LinkText);
        EXPECT_EQ(ReadWholeFile(target), QByteArray("new"));
        EXPECT_EQ(StatOf(target).st_mode & 07777, 0640u);
        EXPECT_EQ(EntriesOf(links), linksBefore);
        EXPECT_EQ(EntriesOf(temp.Path(QStringLiteral("real"))),
                  QStringList{QStringLiteral("t.txt")});
    }
}

// As `sed -i` does it: the written name leads to a new file, other names keep the old one.
TEST_P(FileReplaceTest, AHardLinkKeepsTheOldContent) {
    TTempFolder temp;
    const QString path = temp.WriteFile(QStringLiteral("a.txt"), "old");
    const QString other = temp.Path(QStringLiteral("b.txt"));
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    ASSERT_TRUE(Replace(path, "new"));
    EXPECT_EQ(ReadWholeFile(path), QByteArray("new"));
    EXPECT_EQ(ReadWholeFile(other), QByteArray("old"));
}

TEST_P(FileReplaceTest, CreatesAMissingFileWithTheUsualMode) {
    TTempFolder temp;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    // A name as long as a name may be: the temporary file must still find a name beside it.
    const QStringList names = {QStringLiteral("new.txt"), QString(255, u'n')};
    for (const QString& name : names) {
        SCOPED_TRACE(name.size());
        const QString path = temp.Path(name);
        QString error;
        ASSERT_TRUE(Replace(path, "x", &error)) << error.toStdString();
        EXPECT_EQ(ReadWholeFile(path), QByteArray("x"));
        EXPECT_EQ(StatOf(path).st_mode & 07777, 0666u & ~mask);
        ASSERT_TRUE(Replace(path, "yz", &error)) << error.toStdString();
        EXPECT_EQ(ReadWholeFile(path), QByteArray("yz"));
        EXPECT_EQ(EntriesOf(temp.Path()), QStringList{name});
        ASSERT_TRUE(QFile::remove(path));
    }
}

TEST_P(FileReplaceTest, RefusesWhatIsNoRegularFileAndChangesNothing) {
    struct TCase {
        const char* Name;
        std::function<QString(const TTempFolder&)> Make;  // returns the path to write
        std::function<bool(const QString&)> Unchanged;
    };
    const std::vector<TCase> cases = {
        {"a folder",
         [](const TTempFolder& T) {
             T.WriteFile(QStringLiteral("d/keep.txt"), "keep");
             return T.Path(QStringLiteral("d"));
         },
         [](const QString& P) {
             return QFileInfo(P).isDir() &&
                    ReadWholeFile(P + QStringLiteral("/keep.txt")) == "keep";
         }},
        {"a FIFO",
         [](const TTempFolder& T) {
             const QString path = T.Path(QStringLiteral("fifo"));
             EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
             return path;
         },
         [](const QString& P) {
             struct stat info {};
             return ::lstat(QFile::encodeName(P).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
         }},
        {"a link that leads nowhere",
         [](const TTempFolder& T) {
             const QString path = T.Path(QStringLiteral("dangling"));
             EXPECT_TRUE(MakeLink(QStringLiteral("gone.txt"), path));
             return path;
         },
         [](const QString& P) { return QFileInfo(P).isSymLink() && !QFileInfo::exists(P); }},
        {"a missing folder",
         [](const TTempFolder& T) { return T.Path(QStringLiteral("no/f.txt")); },
         [](const QString& P) { return !QFileInfo::exists(QFileInfo(P).absolutePath()); }},
        {"an empty path", [](const TTempFolder&) { return QString(); },
         [](const QString&) { return true; }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempFolder temp;
        const QString path = c.Make(temp);
        const QStringList before = EntriesOf(temp.Path());
        QString error;
        EXPECT_FALSE(Replace(path, "x", &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(c.Unchanged(path));
        EXPECT_EQ(EntriesOf(temp.Path()), before);
    }
}

// A child limited to 1 KB per file: the write fails, the file is as it was and no temporary file
// is left, named or not.
TEST_P(FileReplaceTest, AWriteThatCannotFinishLeavesTheFileAndNothingElse) {
    TTempFolder temp;
    const QByteArray old(100, 'o');
    const QString path = temp.WriteFile(QStringLiteral("f.txt"), old);
    const TChildOutcome outcome = RunInChildProcess([&] {
        if (const QString problem = LimitFileSizeOfThisProcess(1024); !problem.isEmpty())
            return KChildSkipped + problem.toUtf8();
        QString error;
        if (Replace(path, QByteArray(4096, 'n'), &error))
            return QByteArray("written");
        return "failed: " + error.toUtf8();
    });
    ASSERT_TRUE(outcome.Exited) << outcome.Output.toStdString();
    EXPECT_TRUE(outcome.Output.startsWith("failed: ")) << outcome.Output.toStdString();
    EXPECT_TRUE(outcome.Output.contains(QFile::encodeName(path))) << outcome.Output.toStdString();
    EXPECT_EQ(ReadWholeFile(path), old);
    EXPECT_EQ(EntriesOf(temp.Path()), QStringList{QStringLiteral("f.txt")});
}

INSTANTIATE_TEST_SUITE_P(
    Ways, FileReplaceTest,
    ::testing::Values(
        TReplaceWay{"Named", &ReplaceFileContent},
        TReplaceWay{"Unnamed",
                    [](const QString& APath, const QByteArray& ABytes, QString* AError) {
                        return ReplaceFileContentByUnnamedTemporary(APath, ABytes, AError);
                    }},
        // As a caller that has just read the file hands
        // over what it found: a regular file, no link.
        TReplaceWay{"UnnamedKnownFile",
                    [](const QString& APath, const QByteArray& ABytes, QString* AError) {
                        struct stat info {};
                        const bool known =
                            ::lstat(QFile::encodeName(APath).constData(), &info) == 0 &&
                            S_ISREG(info.st_mode);
                        return ReplaceFileContentByUnnamedTemporary(APath, ABytes, AError,
                                                                    known ? &info : nullptr);
                    }}),
    [](const ::testing::TestParamInfo<TReplaceWay>& AInfo) {
        return std::string(AInfo.param.Name);
    });

}  // namespace

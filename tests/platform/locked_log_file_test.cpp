#include "platform/locked_log_file.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include "tests/support/process_run.h"
#include "tests/support/temp_folders.h"

namespace {

// Another process holding a file's advisory lock, as a second run on the same data root does:
// flock(1) takes it, says so, and keeps it until its input closes.
class TPeerLock {
public:
    explicit TPeerLock(const QString& APath) {
        EnsureCoreApplication();
        FProcess.start(QStringLiteral("flock"),
                       {QStringLiteral("-x"), APath, QStringLiteral("sh"), QStringLiteral("-c"),
                        QStringLiteral("echo locked; cat")});
        Held = FProcess.waitForReadyRead(60000) &&
               FProcess.readAllStandardOutput().startsWith("locked");
    }
    ~TPeerLock() {
        FProcess.closeWriteChannel();
        FProcess.waitForFinished(60000);
    }
    bool Held = false;

private:
    QProcess FProcess;
};

}  // namespace

TEST(LockedLogFile, ANameAlreadyTakenGetsTheNextNumberAndIsNeverTruncated) {
    TTempFolder temp;
    const QString wanted = temp.Path(QStringLiteral("20240306_142501007_MySite.log"));
    temp.WriteFile(QStringLiteral("20240306_142501007_MySite.log"), "another batch's entries");
    QString error;
    const auto second = TLockedLogFile::CreateFree(wanted, error);
    ASSERT_NE(second, nullptr) << error.toStdString();
    const auto third = TLockedLogFile::CreateFree(wanted, error);
    ASSERT_NE(third, nullptr) << error.toStdString();
    EXPECT_EQ(second->Path(), temp.Path(QStringLiteral("20240306_142501007_MySite_2.log")));
    EXPECT_EQ(third->Path(), temp.Path(QStringLiteral("20240306_142501007_MySite_3.log")));
    // Sorted by name, the later ones come after the first.
    EXPECT_LT(wanted, second->Path());
    EXPECT_LT(second->Path(), third->Path());
    EXPECT_EQ(ReadWholeFile(wanted), QByteArray("another batch's entries"));

    EXPECT_TRUE(second->Append("one entry\r\n", error));
    EXPECT_TRUE(second->Append("two\r\n", error));
    EXPECT_EQ(ReadWholeFile(second->Path()), QByteArray("one entry\r\ntwo\r\n"));
}

TEST(LockedLogFile, CreateFailsWithTheReason) {
    TTempFolder temp;
    QString error;
    EXPECT_EQ(TLockedLogFile::CreateFree(temp.Path(QStringLiteral("missing/x.log")), error),
              nullptr);
    EXPECT_EQ(error, QStringLiteral("No such file or directory"));
}

TEST(LockedLogFile, ALogInUseIsNotDeleted) {
    TTempFolder temp;
    struct TCase {
        const char* Name;
        bool HeldHere;
        bool HeldByPeer;
        bool Exists;
        TUnlockedDeleteResult Expected;
    } const cases[] = {
        {"written by this process", true, false, true, TUnlockedDeleteResult::InUse},
        {"locked by another process", false, true, true, TUnlockedDeleteResult::InUse},
        {"not in use", false, false, true, TUnlockedDeleteResult::Deleted},
        {"gone", false, false, false, TUnlockedDeleteResult::Failed},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = temp.Path(QString::fromLatin1(c.Name) + QStringLiteral(".log"));
        std::unique_ptr<TLockedLogFile> here;
        std::unique_ptr<TPeerLock> peer;
        if (c.HeldHere) {
            QString error;
            here = TLockedLogFile::CreateFree(path, error);
            ASSERT_NE(here, nullptr);
        } else if (c.Exists) {
            temp.WriteFile(QString::fromLatin1(c.Name) + QStringLiteral(".log"), "entries");
        }
        if (c.HeldByPeer) {
            peer = std::make_unique<TPeerLock>(path);
            ASSERT_TRUE(peer->Held);
        }
        EXPECT_EQ(DeleteUnlessLocked(path), c.Expected);
        EXPECT_EQ(QFile::exists(path), c.Expected == TUnlockedDeleteResult::InUse);
        // Once the writer is done, the log can go.
        here.reset();
        peer.reset();
        if (c.Expected == TUnlockedDeleteResult::InUse) {
            EXPECT_EQ(DeleteUnlessLocked(path), TUnlockedDeleteResult::Deleted);
        }
    }
}

#include "platform/file_copy.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

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

#include "platform/file_read.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/native_path.h"
#include "tests/support/temp_folders.h"

namespace {

QByteArray Native(const QString& APath) {
    return QFile::encodeName(APath);
}

}  // namespace

TEST(FileRead, AnOrdinaryFileIsReadWholeUpToTheLimitAndOnlyMeasuredBeyondIt) {
    TTempFolder temp;
    struct TCase {
        QByteArray Bytes;
        qint64 Limit;
        bool Complete;
    };
    const TCase cases[] = {{"", 10, true},
                           {"twelve bytes", 12, true},
                           {"twelve bytes", 11, false},
                           {QByteArray(300000, 'x'), 1 << 20, true},
                           {"any", -1, false}};
    int index = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(index);
        const QString path = temp.WriteFile(QStringLiteral("f%1").arg(index++), c.Bytes);
        TOrdinaryFileRead read;
        QString error;
        ASSERT_TRUE(ReadOrdinaryFile(path, c.Limit, read, error)) << error.toStdString();
        EXPECT_EQ(read.Complete, c.Complete);
        EXPECT_EQ(read.Info.st_size, c.Bytes.size());
        EXPECT_TRUE(S_ISREG(read.Info.st_mode));
        EXPECT_TRUE(read.Bytes == (c.Complete ? c.Bytes : QByteArray()));
    }
}

TEST(FileRead, WhatIsNoOrdinaryFileIsRefusedWithoutWaiting) {
    TTempFolder temp;
    const QString fifo = temp.Path(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(Native(fifo).constData(), 0600), 0);
    const QString folder = temp.MakeFolder(QStringLiteral("folder"));
    const QString dangling = temp.Path(QStringLiteral("dangling"));
    ASSERT_EQ(::symlink("nowhere", Native(dangling).constData()), 0);
    // A FIFO with no writer would block an ordinary open for ever.
    for (const QString& path : {fifo, folder, dangling, temp.Path(QStringLiteral("missing"))}) {
        SCOPED_TRACE(path.toStdString());
        TOrdinaryFileRead read;
        QString error;
        EXPECT_FALSE(ReadOrdinaryFile(path, 1000, read, error));
        EXPECT_TRUE(error.contains(path)) << error.toStdString();
        EXPECT_FALSE(read.Complete);
    }
}

TEST(FileRead, ALinkToAFileGivesTheFilesFactsAndBytes) {
    TTempFolder temp;
    const QString file = temp.WriteFile(QStringLiteral("target.txt"), "content");
    const QString link = temp.Path(QStringLiteral("link"));
    ASSERT_EQ(::symlink(Native(file).constData(), Native(link).constData()), 0);
    TOrdinaryFileRead read;
    QString error;
    ASSERT_TRUE(ReadOrdinaryFile(link, 100, read, error)) << error.toStdString();
    EXPECT_EQ(read.Bytes, QByteArray("content"));
    EXPECT_TRUE(S_ISREG(read.Info.st_mode));
    // Only the file read under its own name is known to be no link.
    EXPECT_FALSE(read.NotALink);
    ASSERT_TRUE(ReadOrdinaryFile(file, 100, read, error)) << error.toStdString();
    EXPECT_TRUE(read.NotALink);
}

TEST(NativePathKind, TellsWhatAPathNamesAndWhetherItIsALink) {
    TTempFolder temp;
    const QString file = temp.WriteFile(QStringLiteral("file"), "x");
    const QString folder = temp.MakeFolder(QStringLiteral("folder"));
    const QString fifo = temp.Path(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(Native(fifo).constData(), 0600), 0);
    const auto link = [&](const char* AName, const QString& ATarget) {
        const QString path = temp.Path(QString::fromUtf8(AName));
        EXPECT_EQ(::symlink(Native(ATarget).constData(), Native(path).constData()), 0);
        return path;
    };
    struct TCase {
        QString Path;
        TNativePathKind Kind;
        bool IsLink;
    };
    const TCase cases[] = {
        {file, TNativePathKind::File, false},
        {folder, TNativePathKind::Folder, false},
        {fifo, TNativePathKind::Other, false},
        {temp.Path(QStringLiteral("missing")), TNativePathKind::Missing, false},
        {link("to-file", file), TNativePathKind::File, true},
        {link("to-folder", folder), TNativePathKind::Folder, true},
        {link("dangling", QStringLiteral("nowhere")), TNativePathKind::Missing, true},
        {QString(), TNativePathKind::Missing, false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Path.toStdString());
        bool isLink = !c.IsLink;
        EXPECT_EQ(PathKindOf(c.Path, isLink), c.Kind);
        EXPECT_EQ(isLink, c.IsLink);
        EXPECT_EQ(PathKindOf(c.Path), c.Kind) << "the same kind as when following";
    }
}

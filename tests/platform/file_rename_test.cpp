#include "platform/file_rename.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/support/temp_folders.h"

namespace {

using TRenameFunction = bool (*)(const QString&, const QString&, QString*);

struct TRenameWay {
    const char* Name;
    TRenameFunction Function;
    bool MovesDirectories;
};

// Both ways must keep the same promise: an existing target, of whatever kind, is never
// replaced.
class FileRenameTest : public ::testing::TestWithParam<TRenameWay> {
protected:
    bool Rename(const QString& AFrom, const QString& ATo, QString* AError) {
        return GetParam().Function(AFrom, ATo, AError);
    }
    TTempFolder FTemp;
};

TEST_P(FileRenameTest, MovesAFileToAFreeName) {
    const QString from = FTemp.WriteFile(QStringLiteral("a.txt"), "A");
    QString error;
    EXPECT_TRUE(Rename(from, FTemp.Path(QStringLiteral("b.txt")), &error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(from));
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("b.txt")), QByteArray("A"));
}

TEST_P(FileRenameTest, ChangesOnlyTheCaseOfAName) {
    const QString from = FTemp.WriteFile(QStringLiteral("Photo.JPG"), "P");
    EXPECT_TRUE(Rename(from, FTemp.Path(QStringLiteral("photo.jpg")), nullptr));
    EXPECT_EQ(QDir(FTemp.Path()).entryList(QDir::Files), QStringList{QStringLiteral("photo.jpg")});
}

TEST_P(FileRenameTest, NeverReplacesAnExistingTarget) {
    struct TCase {
        const char* Name;
        std::function<QString(TTempFolder&)> MakeTarget;
    };
    const std::vector<TCase> cases = {
        {"file", [](TTempFolder& T) { return T.WriteFile(QStringLiteral("t.txt"), "T"); }},
        {"empty directory",
         [](TTempFolder& T) {
             QString dir = T.MakeFolder(QStringLiteral("tdir"));
             dir.chop(1);
             return dir;
         }},
        {"dangling link",
         [](TTempFolder& T) {
             const QString link = T.Path(QStringLiteral("tlink"));
             QFile::link(T.Path(QStringLiteral("nowhere")), link);
             return link;
         }},
    };
    for (const TCase& c : cases) {
        const QString from = FTemp.WriteFile(QStringLiteral("src.txt"), "S");
        const QString target = c.MakeTarget(FTemp);
        const QFileInfo before(target);
        QString error;
        EXPECT_FALSE(Rename(from, target, &error)) << c.Name;
        EXPECT_FALSE(error.isEmpty()) << c.Name;
        EXPECT_EQ(FTemp.ReadFile(QStringLiteral("src.txt")), QByteArray("S")) << c.Name;
        const QFileInfo after(target);
        EXPECT_EQ(after.isSymLink(), before.isSymLink()) << c.Name;
        EXPECT_EQ(after.isDir(), before.isDir()) << c.Name;
        if (before.isFile()) {
            EXPECT_EQ(ReadWholeFile(target), QByteArray("T")) << c.Name;
        }
    }
}

TEST_P(FileRenameTest, MissingSourceOrEmptyPathFails) {
    QString error;
    EXPECT_FALSE(
        Rename(FTemp.Path(QStringLiteral("none")), FTemp.Path(QStringLiteral("x")), &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(Rename(QString(), FTemp.Path(QStringLiteral("x")), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(FTemp.Path(QStringLiteral("x"))));
}

TEST_P(FileRenameTest, DirectoriesMoveOnlyByTheFileSystemsOwnRename) {
    FTemp.WriteFile(QStringLiteral("d/inner.txt"), "I");
    QString error;
    const bool moved =
        Rename(FTemp.Path(QStringLiteral("d")), FTemp.Path(QStringLiteral("e")), &error);
    EXPECT_EQ(moved, GetParam().MovesDirectories);
    if (moved) {
        EXPECT_EQ(FTemp.ReadFile(QStringLiteral("e/inner.txt")), QByteArray("I"));
        EXPECT_FALSE(QFileInfo::exists(FTemp.Path(QStringLiteral("d"))));
    } else {
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(FTemp.ReadFile(QStringLiteral("d/inner.txt")), QByteArray("I"));
        EXPECT_FALSE(QFileInfo::exists(FTemp.Path(QStringLiteral("e"))));
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, FileRenameTest,
                         ::testing::Values(TRenameWay{"NoReplace", &RenameNoReplace, true},
                                           TRenameWay{"ByLink", &RenameNoReplaceByLink, false}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(FileRename, ADirectoryCannotMoveIntoItself) {
    TTempFolder temp;
    const QString dir = temp.MakeFolder(QStringLiteral("d"));
    QString error;
    EXPECT_FALSE(
        RenameNoReplace(temp.Path(QStringLiteral("d")), dir + QStringLiteral("sub"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(dir).isDir());
}

}  // namespace

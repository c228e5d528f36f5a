#include "platform/trash.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <optional>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_folders.h"

namespace {
// Points the freedesktop trash into the test's own folder, so no test touches a real home.
class TrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        FDataHome.emplace("XDG_DATA_HOME", FTemp.MakeFolder(QStringLiteral("xdg")).toUtf8());
    }
    void TearDown() override { FDataHome.reset(); }
    TTempFolder FTemp;
    std::optional<TScopedEnv> FDataHome;
};
}  // namespace

TEST_F(TrashTest, FileGoesToTheTrash) {
    const QString file = FTemp.WriteFile(QStringLiteral("work/a.txt"), "x");
    EXPECT_EQ(MoveToTrashOrDelete(file, true), TTrashResult::Trashed);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("xdg/Trash/files/a.txt")), QByteArray("x"));
}

TEST_F(TrashTest, FolderTreeGoesToTheTrash) {
    FTemp.WriteFile(QStringLiteral("work/d/sub/b.txt"), "y");
    const QString folder = FTemp.Path(QStringLiteral("work/d"));
    EXPECT_EQ(MoveToTrashOrDelete(folder, true), TTrashResult::Trashed);
    EXPECT_FALSE(QDir(folder).exists());
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("xdg/Trash/files/d/sub/b.txt")), QByteArray("y"));
}

TEST_F(TrashTest, MissingPathFails) {
    EXPECT_EQ(MoveToTrashOrDelete(FTemp.Path(QStringLiteral("nothing")), true),
              TTrashResult::Failed);
}

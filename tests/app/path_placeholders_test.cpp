#include "app/path_placeholders.h"

#include <gtest/gtest.h>

TEST(PathPlaceholders, DataFolderInsideProgramFolderCollapsesToDataPlaceholder) {
    const TPathPlaceholders table(QStringLiteral("/opt/plv/data/"), QStringLiteral("/opt/plv/"));
    QString text = QStringLiteral("In=/opt/plv/data/demos/site/\r\nMod=/opt/plv/modules/x\r\n");
    table.Collapse(text);
    EXPECT_EQ(text,
              QStringLiteral("In=?($AppDirData)?demos/site/\r\nMod=?($AppPath)?modules/x\r\n"));
    table.Expand(text);
    EXPECT_EQ(text, QStringLiteral("In=/opt/plv/data/demos/site/\r\nMod=/opt/plv/modules/x\r\n"));
}

TEST(PathPlaceholders, StoredPathFollowsTheMovedDataRoot) {
    const TPathPlaceholders before(QStringLiteral("/opt/plv/data/"), QStringLiteral("/opt/plv/"));
    QString stored = QStringLiteral("/opt/plv/data/in/");
    before.Collapse(stored);
    ASSERT_EQ(stored, QStringLiteral("?($AppDirData)?in/"));
    const TPathPlaceholders after(QStringLiteral("/home/u/Documents/Kestrin/Plovane 3/data/"),
                                  QStringLiteral("/opt/plv/"));
    after.Expand(stored);
    EXPECT_EQ(stored, QStringLiteral("/home/u/Documents/Kestrin/Plovane 3/data/in/"));
}

TEST(PathPlaceholders, LegacyPlaceholderIsReadButNeverWritten) {
    const TPathPlaceholders table(QStringLiteral("/d/data/"), QStringLiteral("/p/"));
    QString text = QStringLiteral("?PLV?x|?($AppPath)?y");
    table.Expand(text);
    EXPECT_EQ(text, QStringLiteral("/p/x|/p/y"));
    table.Collapse(text);
    EXPECT_EQ(text, QStringLiteral("?($AppPath)?x|?($AppPath)?y"));
}

TEST(PathPlaceholders, ComparisonIsCaseSensitiveAndEmptyFoldersAreSkipped) {
    const TPathPlaceholders table(QString(), QStringLiteral("/P/"));
    QString text = QStringLiteral("/p/a /P/b ?($appPath)?c");
    table.Collapse(text);
    EXPECT_EQ(text, QStringLiteral("/p/a ?($AppPath)?b ?($appPath)?c"));
}

TEST(PathPlaceholders, FolderContainingAPlaceholderTextDoesNotLoop) {
    // The real folder begins with its own placeholder: a naive rescan would never end.
    const TPathPlaceholders table(QStringLiteral("?($AppDirData)?x/"), QStringLiteral("/p/"));
    QString text = QStringLiteral("?($AppDirData)?f");
    table.Expand(text);
    EXPECT_TRUE(text.endsWith(QStringLiteral("x/f")));
}

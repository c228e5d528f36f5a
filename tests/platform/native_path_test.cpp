#include "platform/native_path.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/support/temp_folders.h"

TEST(NativePath, RealFolderPathGivesOneFormForEveryWayOfWritingAFolder) {
    TTempFolder temp;
    const QString base = QDir(temp.Path()).canonicalPath() + QLatin1Char('/');
    temp.MakeFolder(QStringLiteral("in/sub"));
    ASSERT_EQ(::symlink(QFile::encodeName(base + QStringLiteral("in/sub")).constData(),
                        QFile::encodeName(base + QStringLiteral("link")).constData()),
              0);
    struct TCase {
        QString Written;
        QString Expected;
    };
    const TCase cases[] = {
        {base + QStringLiteral("in"), base + QStringLiteral("in/")},
        {base + QStringLiteral("in/"), base + QStringLiteral("in/")},
        {base + QStringLiteral("./in/./"), base + QStringLiteral("in/")},
        {base + QStringLiteral("in//sub//"), base + QStringLiteral("in/sub/")},
        {base + QStringLiteral("in/sub/../"), base + QStringLiteral("in/")},
        {base + QStringLiteral("link"), base + QStringLiteral("in/sub/")},
        {base + QStringLiteral("link/"), base + QStringLiteral("in/sub/")},
        // Folders still to be made keep their clean form below the part that exists.
        {base + QStringLiteral("link/new//deeper/./"), base + QStringLiteral("in/sub/new/deeper/")},
        {base + QStringLiteral("none/../none2"), base + QStringLiteral("none2/")},
        {QString(), QString()},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(RealFolderPath(c.Written), c.Expected) << c.Written.toStdString();

    // A relative folder is taken from the current folder.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(base + QStringLiteral("in")));
    EXPECT_EQ(RealFolderPath(QStringLiteral("./sub")), base + QStringLiteral("in/sub/"));
    EXPECT_EQ(RealFolderPath(QStringLiteral("../link")), base + QStringLiteral("in/sub/"));
    QDir::setCurrent(before);
}

TEST(NativePath, RealLocationFollowsEveryLinkAlsoToNamesNotYetThere) {
    TTempFolder temp;
    const QString base = QDir(temp.Path()).canonicalPath() + QLatin1Char('/');
    temp.WriteFile(QStringLiteral("in/real.txt"), "r");
    temp.WriteFile(QStringLiteral("outside/secret.txt"), "s");
    const auto link = [&](const char* ATarget, const QString& AName) {
        ASSERT_EQ(::symlink(ATarget, QFile::encodeName(base + AName).constData()), 0);
    };
    link("../outside/secret.txt", QStringLiteral("in/out.txt"));
    link("../outside", QStringLiteral("in/outdir"));
    link("real.txt", QStringLiteral("in/inside.txt"));
    link("../outside/new.txt", QStringLiteral("in/dangling.txt"));
    link("dangling.txt", QStringLiteral("in/chain.txt"));
    link("loop.txt", QStringLiteral("in/loop.txt"));
    const struct {
        QString Path;
        QString Expected;
    } cases[] = {
        {base + QStringLiteral("in/real.txt"), base + QStringLiteral("in/real.txt")},
        {base + QStringLiteral("in/out.txt"), base + QStringLiteral("outside/secret.txt")},
        {base + QStringLiteral("in/outdir"), base + QStringLiteral("outside")},
        {base + QStringLiteral("in/outdir/secret.txt"),
         base + QStringLiteral("outside/secret.txt")},
        {base + QStringLiteral("in/inside.txt"), base + QStringLiteral("in/real.txt")},
        // A link to a name not yet there leads where that name would be made.
        {base + QStringLiteral("in/dangling.txt"), base + QStringLiteral("outside/new.txt")},
        {base + QStringLiteral("in/chain.txt"), base + QStringLiteral("outside/new.txt")},
        {base + QStringLiteral("in/outdir/new.txt"), base + QStringLiteral("outside/new.txt")},
        {base + QStringLiteral("in/new.txt"), base + QStringLiteral("in/new.txt")},
        {base + QStringLiteral("in/loop.txt"), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RealLocation(c.Path), c.Expected) << c.Path.toStdString();
}

TEST(NativePath, NamesThatAreNotTextAreToldAndShownEscaped) {
    struct TCase {
        QByteArray Name;
        bool Text;
        QString Shown;
    };
    const TCase cases[] = {
        {"plain.txt", true, QStringLiteral("plain.txt")},
        {"caf\xC3\xA9.txt", true, QString::fromUtf8("caf\xC3\xA9.txt")},
        {"\xF0\x9F\x98\x80", true, QString::fromUtf8("\xF0\x9F\x98\x80")},
        {"caf\xE9.txt", false, QStringLiteral("caf\\xE9.txt")},      // Latin-1
        {"\xC3", false, QStringLiteral("\\xC3")},                    // cut short
        {"\xC0\xAF", false, QStringLiteral("\\xC0\\xAF")},           // overlong "/"
        {"\xED\xA0\x80", false, QStringLiteral("\\xED\\xA0\\x80")},  // a surrogate
        {"a\xFF"
         "b\xC3\xA9",
         false, QStringLiteral("a\\xFFb") + QString::fromUtf8("\xC3\xA9")},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(IsTextName(c.Name.constData()), c.Text) << c.Name.toHex().toStdString();
        EXPECT_EQ(EscapedNativePath(c.Name), c.Shown) << c.Name.toHex().toStdString();
    }
}

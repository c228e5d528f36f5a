#include "platform/trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "tests/support/child_process.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folders.h"

namespace {

QByteArray Native(const QString& APath) {
    return QFile::encodeName(APath);
}

QByteArray TrashDirName() {
    return ".Trash-" + QByteArray::number(::getuid());
}

bool Exists(const QByteArray& APath) {
    struct stat info {};
    return ::lstat(APath.constData(), &info) == 0;
}

bool WriteNative(const QByteArray& APath, const QByteArray& ABytes) {
    const int fd = ::open(APath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written =
        ::write(fd, ABytes.constData(), static_cast<std::size_t>(ABytes.size())) == ABytes.size();
    return ::close(fd) == 0 && written;
}

QByteArray ReadNative(const QByteArray& APath) {
    QFile file;
    const int fd = ::open(APath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return "<missing>";
    return file.readAll();
}

// The info file's lines, the deletion date checked for its form and then left out.
QByteArray InfoWithoutDate(const QByteArray& AInfoFile) {
    const QByteArray text = ReadNative(AInfoFile);
    static const QRegularExpression KDate(
        QStringLiteral("\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n$"));
    const QString asText = QString::fromLatin1(text);
    if (!KDate.match(asText).hasMatch())
        return "no deletion date in: " + text;
    return text.left(text.indexOf("\nDeletionDate="));
}

// Every trash of these tests lies in the test's own folder: the home trash by injection, a
// top-folder one by an injected mount point or on a file system mounted in a namespace of a
// child process.
class TrashTest : public ::testing::Test {
protected:
    TTrashPlaces HomePlaces() const {
        TTrashPlaces places;
        places.HomeTrash = FTemp.Path(QStringLiteral("xdg/Trash"));
        places.TopFolderOf = [](const QByteArray&) { return QByteArray(); };
        return places;
    }
    QByteArray HomeTrash() const { return Native(FTemp.Path(QStringLiteral("xdg/Trash"))); }
    TTempFolder FTemp;
};

}  // namespace

// A missing home trash is made (private to the user); files, folders with their content, links
// (never followed) and names that are not UTF-8 go into files/ with an info file each whose Path=
// is the original path, percent-encoded byte for byte.
TEST_F(TrashTest, HomeTrashIsMadeAndTakesEveryKindOfEntryWithItsInfo) {
    FTemp.WriteFile(QStringLiteral("work/a b%.txt"), "file");
    FTemp.WriteFile(QStringLiteral("work/d/sub/b.txt"), "below");
    const QString outside = FTemp.WriteFile(QStringLiteral("outside.txt"), "not moved");
    const QByteArray work = Native(FTemp.Path(QStringLiteral("work/")));
    ASSERT_EQ(::symlink(Native(outside).constData(), (work + "link").constData()), 0);
    ASSERT_TRUE(WriteNative(work + "caf\xe9", "latin"));
    struct TCase {
        QByteArray Name;
        QByteArray Encoded;  // Path= after the work folder
        QByteArray Probe;    // a file below the trashed entry, with its content
        QByteArray Content;
    };
    const TCase cases[] = {
        {"a b%.txt", "a%20b%25.txt", "", "file"},
        {"d", "d", "/sub/b.txt", "below"},
        {"link", "link", "", "not moved"},
        {"caf\xe9", "caf%E9", "", "latin"},
    };
    TTrash trash(HomePlaces(), FTemp.Path(QStringLiteral("work")));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name.toStdString());
        QString error;
        ASSERT_EQ(trash.Move(work + c.Name, false, &error), TTrashResult::Trashed)
            << error.toStdString();
        EXPECT_FALSE(Exists(work + c.Name));
        EXPECT_EQ(ReadNative(HomeTrash() + "/files/" + c.Name + c.Probe), c.Content);
        EXPECT_EQ(InfoWithoutDate(HomeTrash() + "/info/" + c.Name + ".trashinfo"),
                  "[Trash Info]\nPath=" + work.toPercentEncoding("/") + c.Encoded);
    }
    // The link was moved, not what it leads to.
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("outside.txt")), QByteArray("not moved"));
    for (const char* folder : {"", "/files", "/info"}) {
        struct stat info {};
        ASSERT_EQ(::stat((HomeTrash() + folder).constData(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }
}

// A name already taken in files/ or info/ (by an earlier entry, a leftover file without its info,
// or an info without its file) is never replaced: the entry gets the next free number.
TEST_F(TrashTest, NamesInTheTrashNeverClash) {
    TTrash trash(HomePlaces());
    const QString work = FTemp.MakeFolder(QStringLiteral("work"));
    for (const char* content : {"one", "two", "three"}) {
        FTemp.WriteFile(QStringLiteral("work/a.txt"), content);
        ASSERT_EQ(trash.Move(Native(work + QStringLiteral("a.txt")), false), TTrashResult::Trashed);
    }
    EXPECT_EQ(ReadNative(HomeTrash() + "/files/a.txt"), QByteArray("one"));
    EXPECT_EQ(ReadNative(HomeTrash() + "/files/a.2.txt"), QByteArray("two"));
    EXPECT_EQ(ReadNative(HomeTrash() + "/files/a.3.txt"), QByteArray("three"));
    EXPECT_TRUE(Exists(HomeTrash() + "/info/a.3.txt.trashinfo"));

    FTemp.WriteFile(QStringLiteral("xdg/Trash/files/orphan"), "left by someone");
    FTemp.WriteFile(QStringLiteral("xdg/Trash/info/lonely.trashinfo"), "[Trash Info]\n");
    for (const char* name : {"orphan", "lonely"}) {
        SCOPED_TRACE(name);
        FTemp.WriteFile(QStringLiteral("work/") + QLatin1String(name), "mine");
        ASSERT_EQ(trash.Move(Native(work + QLatin1String(name)), false), TTrashResult::Trashed);
        EXPECT_EQ(ReadNative(HomeTrash() + "/files/" + name + ".2"), QByteArray("mine"));
        EXPECT_TRUE(Exists(HomeTrash() + "/info/" + name + ".2.trashinfo"));
    }
    EXPECT_EQ(ReadNative(HomeTrash() + "/files/orphan"), QByteArray("left by someone"));
    // No info file is left behind without its entry.
    EXPECT_FALSE(Exists(HomeTrash() + "/info/orphan.trashinfo"));
}

// The home trash comes from XDG_DATA_HOME when that is absolute, else from the home folder; a
// relative one is never a place below the current folder.
TEST_F(TrashTest, HomeTrashComesFromAbsolutePlacesOnly) {
    struct TCase {
        const char* DataHome;
        const char* Home;
        QString Expected;
    };
    const TCase cases[] = {
        {"/data/home", "/h", QStringLiteral("/data/home/Trash")},
        {"relative/share", "/h", QStringLiteral("/h/.local/share/Trash")},
        {"", "/h/", QStringLiteral("/h/.local/share/Trash")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.DataHome);
        const TScopedEnv dataHome("XDG_DATA_HOME", c.DataHome);
        const TScopedEnv home("HOME", c.Home);
        EXPECT_EQ(TTrashPlaces::FromEnvironment().HomeTrash, c.Expected);
    }
}

// Without an absolute home trash and without a top folder, nothing is written anywhere (least
// of all into the current folder): the entry may only be deleted for good, and the reason is
// told.
TEST_F(TrashTest, WithoutAnyTrashNothingIsWrittenAndTheEntryIsDeletedOnlyWhenAllowed) {
    const QString current = FTemp.MakeFolder(QStringLiteral("current"));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(current));
    TTrashPlaces places;
    places.HomeTrash = QStringLiteral("relative/Trash");
    places.TopFolderOf = [](const QByteArray&) { return QByteArray("relative-top"); };
    TTrash trash(places);
    const QString file = FTemp.WriteFile(QStringLiteral("work/old.txt"), "old");
    QString why;
    EXPECT_EQ(trash.Move(Native(file), false, &why), TTrashResult::NoTrash);
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_TRUE(why.startsWith(QStringLiteral("No trash can be had"))) << why.toStdString();
    EXPECT_EQ(trash.Move(Native(file), true, &why), TTrashResult::DeletedPermanently);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_TRUE(QDir(current).isEmpty());
    QDir::setCurrent(previous);
}

// On another file system than the home trash, the entry goes to the top folder's
// ".Trash-<uid>" (Path= relative to the top folder) — unless that would lie inside the entry or
// the folder being emptied, or is not a folder of this user: then there is no trash.
TEST_F(TrashTest, TopFolderTrashIsUsedOnlyOutsideWhatIsEmptied) {
    const QString top = FTemp.MakeFolder(QStringLiteral("mnt"));
    const QString work = FTemp.MakeFolder(QStringLiteral("mnt/work"));
    struct TCase {
        const char* Name;
        QString KeepOutOf;  // the folder being emptied
        QString TopFolder;  // what the mount point decision says
        bool Trashed;
        QString HomeTrash;  // empty: none, as if it were on another file system
    };
    const TCase cases[] = {
        {"outside", work, top, true, {}},
        {"home trash inside the emptied folder", work, top, true,
         work + QStringLiteral("xdg/Trash")},
        {"work itself is the top", work, work, false, {}},
        {"the top holds the emptied folder", top, top, false, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTrashPlaces places;
        places.HomeTrash = c.HomeTrash;
        const QByteArray topFolder = Native(QDir::cleanPath(c.TopFolder));
        places.TopFolderOf = [topFolder](const QByteArray&) { return topFolder; };
        TTrash trash(places, c.KeepOutOf);
        const QString file = FTemp.WriteFile(QStringLiteral("mnt/work/x.txt"), "x");
        QString why;
        const TTrashResult result = trash.Move(Native(file), true, &why);
        EXPECT_EQ(result, c.Trashed ? TTrashResult::Trashed : TTrashResult::DeletedPermanently);
        EXPECT_FALSE(QFileInfo::exists(file));
        if (c.Trashed) {
            EXPECT_EQ(ReadNative(topFolder + '/' + TrashDirName() + "/files/x.txt"), "x");
            EXPECT_EQ(InfoWithoutDate(topFolder + '/' + TrashDirName() + "/info/x.txt.trashinfo"),
                      QByteArray("[Trash Info]\nPath=work/x.txt"));
            QDir(QFile::decodeName(topFolder + '/' + TrashDirName())).removeRecursively();
        } else {
            EXPECT_TRUE(why.contains(QStringLiteral("would lie inside"))) << why.toStdString();
            EXPECT_FALSE(Exists(Native(work) + '/' + TrashDirName()));
            EXPECT_FALSE(Exists(Native(top) + '/' + TrashDirName()));
        }
        EXPECT_FALSE(QFileInfo::exists(work + QStringLiteral("xdg")));
    }
    // A link where the trash should be is nobody's trash: never followed.
    const QString elsewhere = FTemp.MakeFolder(QStringLiteral("elsewhere"));
    ASSERT_EQ(
        ::symlink(Native(elsewhere).constData(), (Native(top) + '/' + TrashDirName()).constData()),
        0);
    TTrashPlaces places;
    places.TopFolderOf = [top = Native(QDir::cleanPath(top))](const QByteArray&) { return top; };
    TTrash trash(places, work);
    const QString file = FTemp.WriteFile(QStringLiteral("mnt/work/y.txt"), "y");
    QString why;
    EXPECT_EQ(trash.Move(Native(file), false, &why), TTrashResult::NoTrash);
    EXPECT_TRUE(why.contains(QStringLiteral("is not a trash folder of this user")))
        << why.toStdString();
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
}

// On real file systems (a tmpfs mounted in a child's own mount namespace): the mount point is
// found by itself; a work folder below it trashes into the mount's ".Trash-<uid>"; a work folder
// that is the mount point itself has no trash outside it and is emptied for good; a file system
// mounted inside the emptied folder is neither moved nor emptied.
TEST_F(TrashTest, OnARealSecondFileSystemTheMountPointDecides) {
    const QString mount = FTemp.MakeFolder(QStringLiteral("mnt"));
    TTrashPlaces places;
    places.HomeTrash = FTemp.Path(QStringLiteral("xdg/Trash"));  // on the first file system
    const TChildOutcome outcome = RunInChildProcess([&]() -> QByteArray {
        QString reason = EnterPrivateMountNamespace();
        if (reason.isEmpty())
            reason = MountSmallTmpfs(mount, 1024 * 1024);
        if (!reason.isEmpty())
            return KChildSkipped + reason.toUtf8();
        QStringList found;
        const QByteArray top = Native(QDir::cleanPath(mount));
        found << QString::fromUtf8(FileSystemTopFolder(top));
        // Below the mount point: its top-folder trash.
        QDir().mkpath(mount + QStringLiteral("work/inner"));
        WriteNative(top + "/work/a.txt", "a");
        found << QString::fromUtf8(FileSystemTopFolder(top + "/work/a.txt"));
        {
            TTrash trash(places, mount + QStringLiteral("work"));
            found << QString::number(static_cast<int>(trash.Move(top + "/work/a.txt", true)));
            found << QString::number(Exists(top + '/' + TrashDirName() + "/files/a.txt"));
        }
        // The mount point itself emptied: no trash outside it.
        {
            TTrash trash(places, mount);
            QString why;
            found << QString::number(static_cast<int>(trash.Move(top + "/work", true, &why)));
            found << QString::number(why.contains(QStringLiteral("would lie inside")));
        }
        // A mount point inside the emptied folder stays with its content.
        {
            TTrash trash(places, FTemp.Path());
            WriteNative(top + "/kept.txt", "kept");
            QString why;
            found << QString::number(static_cast<int>(trash.Move(top, true, &why)));
            found << QString::number(QFileInfo::exists(mount + QStringLiteral("kept.txt")));
            found << QString::number(DeleteTreeNative(top, &why));
            found << QString::number(QFileInfo::exists(mount + QStringLiteral("kept.txt")));
        }
        return found.join(u'|').toUtf8();
    });
    ASSERT_TRUE(outcome.Exited) << outcome.Output.toStdString();
    if (outcome.Output.startsWith(KChildSkipped))
        GTEST_SKIP() << outcome.Output.toStdString();
    const QString mountText = QDir::cleanPath(mount);
    const QStringList expected = {
        mountText,
        mountText,
        QString::number(static_cast<int>(TTrashResult::Trashed)),
        QStringLiteral("1"),
        QString::number(static_cast<int>(TTrashResult::DeletedPermanently)),
        QStringLiteral("1"),
        QString::number(static_cast<int>(TTrashResult::Failed)),
        QStringLiteral("1"),
        QStringLiteral("0"),
        QStringLiteral("1"),
    };
    EXPECT_EQ(QString::fromUtf8(outcome.Output).split(u'|'), expected);
    // Nothing reached the home trash on the other file system.
    EXPECT_FALSE(QFileInfo::exists(FTemp.Path(QStringLiteral("xdg/Trash/files"))));
}

// Deleting for good keeps every name's bytes and never follows a link out of the tree.
TEST_F(TrashTest, DeletingForGoodTakesOddNamesAndLeavesWhatLinksLeadTo) {
    FTemp.WriteFile(QStringLiteral("outside/keep.txt"), "keep");
    const QByteArray tree = Native(FTemp.MakeFolder(QStringLiteral("tree")));
    ASSERT_EQ(::mkdir((tree + "d\xff").constData(), 0700), 0);
    ASSERT_TRUE(WriteNative(tree + "d\xff/f\xfe", "odd"));
    ASSERT_EQ(::symlink(Native(FTemp.Path(QStringLiteral("outside"))).constData(),
                        (tree + "d\xff/out").constData()),
              0);
    QString error;
    EXPECT_TRUE(DeleteTreeNative(tree, &error)) << error.toStdString();
    EXPECT_FALSE(Exists(tree));
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("outside/keep.txt")), QByteArray("keep"));
    EXPECT_FALSE(DeleteTreeNative(tree, &error));
    EXPECT_EQ(MoveToTrashOrDelete(FTemp.Path(QStringLiteral("nothing")), true),
              TTrashResult::Failed);
}

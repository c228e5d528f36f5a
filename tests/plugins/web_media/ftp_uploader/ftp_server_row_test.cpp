#include "plugins/web_media/ftp_uploader/ftp_server_row.h"

#include "plugins/web_media/ftp_uploader/ftp_client.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "tests/plugins/text_files/text_helpers/qstring_print.h"
#include "tests/support/temp_folders.h"

namespace {

QString S(const char* AText) {
    return QString::fromUtf8(AText);
}

TEST(FtpServerRow, CellsAreNormalisedByColumn) {
    struct TCase {
        const char* Column;
        const char* Value;
        const char* Expected;
    };
    const TCase cases[] = {
        {"HOST", "/ftp.example.com/", "ftp.example.com"},
        {"HOST", "\\\\ftp.example.com\\\\", "\\ftp.example.com\\"},  // one of each end only
        {"HOST", "ftpes://ftp.example.com/", "ftpes://ftp.example.com"},
        {"REMOTE_START_DIR", "/www/", "www"},
        {"REMOTE_START_DIR", "\\www\\sub\\", "www\\sub"},
        {"REMOTE_START_DIR", "//www//", "/www/"},
        {"PORT", " 21 ", " 21 "},
        {"CONNECT_MODE", "ACTIVE", "active"},
        {"CONNECT_MODE", "Passive", "passive"},
        {"CONNECT_MODE", "pasv", "auto"},
        {"OVERRIDE_MODE", "Newer", "newer"},
        {"OVERRIDE_MODE", "older", "always"},
        {"TRANSFER_MODE", "ASCII", "ascii"},
        {"TRANSFER_MODE", "Binary", "binary"},
        {"TRANSFER_MODE", "text", "auto"},
        {"LOGIN", " Anonymous ", " Anonymous "},
        {"PASSWORD", "Pa ss", "Pa ss"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(NormaliseFtpCell(S(c.Column), S(c.Value)), S(c.Expected))
            << c.Column << " " << c.Value;
}

TEST(FtpServerRow, TransferTypeFollowsModeOrExtension) {
    struct TCase {
        const char* Mode;
        const char* File;
        bool Ascii;
    };
    const TCase cases[] = {
        {"auto", "INDEX.HTM", true}, {"auto", "readme", false},         {"auto", "a.png", false},
        {"auto", "style.Css", true}, {"auto", "archive.tar.gz", false}, {"auto", "x.php5", true},
        {"auto", ".htm", true},      {"auto", "notes.txt.", false},     {"ascii", "a.png", true},
        {"binary", "a.htm", false},
    };
    for (const TCase& c : cases) {
        TFtpServerRow row;
        row.TransferMode = S(c.Mode);
        EXPECT_EQ(row.UsesAscii(S(c.File)), c.Ascii) << c.Mode << " " << c.File;
    }
}

TEST(FtpServerRow, StringIdJoinsCellsAndHidesThePassword) {
    TFtpServerRow row;
    row.Host = S("h");
    row.Port = S("21");
    row.Login = S("user");
    row.Password = S("secret");
    EXPECT_EQ(row.StringID(), S("h21usersecret"));
    EXPECT_EQ(row.ShownStringID(), S("h21user***"));
    EXPECT_EQ(row.MaskPassword(S("530 Login incorrect for secret (secret)")),
              S("530 Login incorrect for *** (***)"));
    // An empty password hides nothing and is not made to look like one.
    row.Password.clear();
    EXPECT_EQ(row.ShownStringID(), S("h21user"));
    EXPECT_EQ(row.MaskPassword(S("530 Login incorrect")), S("530 Login incorrect"));
}

// Rows share a client only when every part agrees; the joined string ID cannot tell these apart.
TEST(FtpServerRow, ClientKeyKeepsThePartsAndTheConnectMode) {
    TFtpServerRow a;
    a.Host = S("h");
    a.Port = S("21");
    a.Login = S("ab");
    a.Password = S("c");
    a.ConnectMode = S("passive");
    TFtpServerRow b = a;
    b.Login = S("a");
    b.Password = S("bc");
    EXPECT_EQ(a.StringID(), b.StringID());
    EXPECT_NE(a.ClientKey(), b.ClientKey());
    TFtpServerRow active = a;
    active.ConnectMode = S("active");
    EXPECT_NE(a.ClientKey(), active.ClientKey());
    EXPECT_EQ(a.ClientKey(), TFtpServerRow(a).ClientKey());
}

TEST(FtpLineEnds, BareLineFeedsGetACarriageReturnAndNothingElseChanges) {
    struct TCase {
        QByteArrayList Pieces;  // converted one after the other
        QByteArray Sent;
    };
    const TCase cases[] = {
        {{""}, ""},
        {{"a\nb\n"}, "a\r\nb\r\n"},
        {{"a\r\nb\r\n"}, "a\r\nb\r\n"},
        {{"x\ry\n\n"}, "x\ry\r\n\r\n"},
        {{"\r\r\n"}, "\r\r\n"},
        {{"a\r", "\nb\n"}, "a\r\nb\r\n"},
        {{"a\n", "\n"}, "a\r\n\r\n"},
    };
    for (const TCase& c : cases) {
        bool previousCR = false;
        QByteArray sent;
        for (const QByteArray& piece : c.Pieces)
            sent += ToNetworkLineEnds(piece, previousCR);
        EXPECT_EQ(sent, c.Sent) << c.Pieces.join('|').toStdString();
    }
}

TEST(FtpServerRow, PortMustBeAWholeNumber) {
    TFtpServerRow row;
    for (const char* good : {"21", "2121", "65535"}) {
        row.Port = S(good);
        EXPECT_EQ(row.PortNumber(), S(good).toInt());
    }
    for (const char* bad : {"21a", "", "0", "65536", "-1", "2.5"}) {
        row.Port = S(bad);
        EXPECT_THROW(row.PortNumber(), EqvParamWrong) << bad;
    }
}

TEST(FtpServerRow, ExplicitTlsPrefixIsTakenOffTheHost) {
    TFtpServerRow row;
    row.Host = S("FTPES://files.example.com");
    EXPECT_TRUE(row.ExplicitTls());
    EXPECT_EQ(row.HostName(), S("files.example.com"));
    row.Host = S("files.example.com");
    EXPECT_FALSE(row.ExplicitTls());
    EXPECT_EQ(row.HostName(), S("files.example.com"));
}

TEST(FtpRemotePaths, RemoteDirectoryJoinsLoginStartAndRelative) {
    struct TCase {
        const char* Login;
        const char* Start;
        const char* Relative;
        const char* Expected;
    };
    const TCase cases[] = {
        {"/", "www", "site/img/", "/www/site/img/"},
        {"/home/u", "www", "site/img/", "/home/u/www/site/img/"},
        {"/home/u/", "www", "", "/home/u/www/"},
        {"/", "www", "", "/www/"},
        {"/", "", "", "/"},
        {"/", "", "a/", "/a/"},
        {"/", "/www/", "a//b/", "/www/a/b/"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(JoinRemoteDirectory(S(c.Login), S(c.Start), S(c.Relative)), S(c.Expected))
            << c.Login << " " << c.Start << " " << c.Relative;
}

TEST(FtpRemotePaths, RelativeDirectoryIsTakenBelowTheRoot) {
    EXPECT_EQ(RelativeDirectoryBelowRoot(S("/w/"), S("/w/site/img/a.png")), S("site/img/"));
    EXPECT_EQ(RelativeDirectoryBelowRoot(S("/w/"), S("/w/a.png")), QString());
    EXPECT_THROW(RelativeDirectoryBelowRoot(S("/w/"), S("/x/a.png")), EqvParamWrong);
}

TEST(FtpLocalTime, TimeIsFlooredToTwoSeconds) {
    TTempFolder temp;
    const QString file = temp.WriteFile(S("f.txt"), "x");
    for (const qint64 seconds : {1700000000LL, 1700000001LL}) {
        QFile handle(file);
        ASSERT_TRUE(handle.open(QIODevice::ReadWrite));
        ASSERT_TRUE(
            handle.setFileTime(QDateTime::fromMSecsSinceEpoch(seconds * 1000 + 900, Qt::UTC),
                               QFileDevice::FileModificationTime));
        handle.close();
        EXPECT_EQ(LocalFileTimeTwoSeconds(file), 1700000000) << seconds;
    }
    EXPECT_EQ(LocalFileTimeTwoSeconds(temp.Path(S("missing"))), 0);
}

}  // namespace

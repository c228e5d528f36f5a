#include "plugins/web_media/ftp_uploader/plugin_internal_ftp_uploader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <tuple>
#include <vector>

#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"
#include "tests/support/ftp_test_server.h"
#include "tests/support/temp_folders.h"

namespace {

const QString KProp = QStringLiteral("FtpServersUploadList");
const QStringList KColumns = {QStringLiteral("HOST"),
                              QStringLiteral("PORT"),
                              QStringLiteral("REMOTE_START_DIR"),
                              QStringLiteral("CONNECT_MODE"),
                              QStringLiteral("OVERRIDE_MODE"),
                              QStringLiteral("TRANSFER_MODE"),
                              QStringLiteral("LOGIN"),
                              QStringLiteral("PASSWORD")};

QString S(const char* AText) {
    return QString::fromUtf8(AText);
}

// The cells of one server row.
struct TRow {
    QString Host = QStringLiteral("127.0.0.1");
    QString StartDir = QStringLiteral("www");
    QString ConnectMode = QStringLiteral("auto");
    QString OverrideMode = QStringLiteral("always");
    QString TransferMode = QStringLiteral("auto");
    QString Login = QStringLiteral("u");
    QString Password = QStringLiteral("pw");
};

void SetModified(const QString& AFile, qint64 ASeconds) {
    QFile file(AFile);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite)) << AFile.toStdString();
    ASSERT_TRUE(file.setFileTime(QDateTime::fromSecsSinceEpoch(ASeconds, Qt::UTC),
                                 QFileDevice::FileModificationTime));
}

// The transfer type the server was set to before it was sent the file ANAME last.
QString TypeBeforeStore(const QStringList& ACommands, const QString& AName) {
    QString type;
    QString typeAtStore;
    for (const QString& line : ACommands) {
        const QString command = line.section(u' ', 1, 1);
        if (command == QStringLiteral("TYPE"))
            type = line.section(u' ', 2);
        else if (command == QStringLiteral("STOR") && line.section(u' ', 2).endsWith(AName))
            typeAtStore = type;
    }
    return typeAtStore;
}

class FtpUploaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString missing = FtpTestServerMissing();
        if (!missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
    }

    // The plugin, discovered by a real host, with time-outs that end a failing test soon.
    void MakePlugin(TFtpUploaderSetup ASetup = Quick()) {
        FHarness = std::make_unique<TPluginBatchHarness>(QStringLiteral("FtpUploader"), [ASetup] {
            return std::make_unique<TPluginInternal_FtpUploader>(ASetup);
        });
    }

    static TFtpUploaderSetup Quick() {
        TFtpUploaderSetup setup;
        setup.Timeouts.Connect = std::chrono::seconds(20);
        setup.Timeouts.Stall = std::chrono::seconds(20);
        return setup;
    }

    // The server with the users "u" (password "pw", starting in its home "/") and "d" (password
    // "pw2", starting in "/home/u" of its home).
    void StartServer(TFtpTestServerOptions AOptions = {}) {
        if (!FHarness)
            MakePlugin();
        AOptions.Users << TFtpTestUser{S("u"), S("pw"), S("home-u"), {}}
                       << TFtpTestUser{S("d"), S("pw2"), S("home-d"), S("home/u")};
        FServer = std::make_unique<TFtpTestServer>(ServerRoot(), AOptions);
        ASSERT_TRUE(FServer->StartError().isEmpty()) << FServer->StartError().toStdString();
    }

    QString ServerRoot() const { return FHarness->Temp().MakeFolder(S("server")); }
    QString Root() const { return FHarness->Temp().MakeFolder(S("work")); }
    QString Port() const { return QString::number(FServer->Port()); }
    // A file the server holds, by its path below the server's root.
    QByteArray ServerFile(const QString& APath) const {
        return ReadWholeFile(ServerRoot() + APath);
    }
    bool ServerHas(const QString& APath) const { return QFile::exists(ServerRoot() + APath); }

    QString WorkFile(const QString& ARelative, const QByteArray& ABytes) const {
        return FHarness->Temp().WriteFile(S("work/") + ARelative, ABytes);
    }

    QByteArray Grid(const QList<TRow>& ARows) const {
        QList<QStringList> cells;
        for (const TRow& row : ARows)
            cells << QStringList{row.Host,         Port(),           row.StartDir, row.ConnectMode,
                                 row.OverrideMode, row.TransferMode, row.Login,    row.Password};
        return StoredGrid(KColumns, cells);
    }

    // One combination over the files; returns the messages reported.
    QStringList Upload(const QList<TRow>& ARows, const QStringList& AFiles) {
        FHarness->Sink().Clear();
        const QStringList outputs = FHarness->Run(Root(), {{KProp, Grid(ARows)}}, AFiles);
        EXPECT_EQ(outputs, AFiles);  // the paths are never changed
        EXPECT_FALSE(FHarness->Sink().AnyAdvice());
        return FHarness->Sink().Errors();
    }

    std::unique_ptr<TPluginBatchHarness> FHarness;
    std::unique_ptr<TFtpTestServer> FServer;
};

// Login directory "/" and a deeper one: the files keep their place below the batch root under
// the start directory, which is taken relative to the login directory. None of the remote
// folders exists beforehand, so every level of a deep path has to be made.
TEST_F(FtpUploaderTest, StructureIsMirroredBelowTheStartDirectory) {
    struct TCase {
        const char* Login;
        const char* Password;
        const char* ServerFolder;  // where the login directory lies below the server's root
    };
    const TCase cases[] = {{"u", "pw", "home-u/"}, {"d", "pw2", "home-d/home/u/"}};
    StartServer();
    const QString image = WorkFile(S("site/img/a.png"), QByteArray("\x89PNG\r\n\x1a\n\0\1", 10));
    const QString top = WorkFile(S("top.txt"), "in the root\n");
    for (const TCase& c : cases) {
        TRow row;
        row.Login = S(c.Login);
        row.Password = S(c.Password);
        row.StartDir = S("/www/");  // normalised to "www"
        EXPECT_EQ(Upload({row}, {image, top}), QStringList()) << c.Login;
        const QString base = S(c.ServerFolder);
        EXPECT_EQ(ServerFile(base + S("www/site/img/a.png")), ReadWholeFile(image)) << c.Login;
        EXPECT_EQ(ServerFile(base + S("www/top.txt")), ReadWholeFile(top)) << c.Login;
        EXPECT_EQ(TypeBeforeStore(FServer->Commands(), S("a.png")), S("I")) << c.Login;
    }
    // The login directory was never doubled nor lost.
    EXPECT_FALSE(ServerHas(S("home-d/www")));
    EXPECT_FALSE(ServerHas(S("home-d/home/u/home")));
}

TEST_F(FtpUploaderTest, AutoTransferTypeFollowsTheExtension) {
    struct TCase {
        const char* Mode;
        const char* File;
        const char* Type;
    };
    const TCase cases[] = {{"auto", "INDEX.HTM", "A"},
                           {"auto", "readme", "I"},
                           {"auto", "photo.jpg", "I"},
                           {"ascii", "photo2.jpg", "A"},
                           {"binary", "page.htm", "I"}};
    StartServer();
    for (const TCase& c : cases) {
        FServer->ClearCommands();
        TRow row;
        row.TransferMode = S(c.Mode);
        const QString file = WorkFile(S(c.File), "line one\nline two\n");
        EXPECT_EQ(Upload({row}, {file}), QStringList()) << c.File;
        EXPECT_EQ(TypeBeforeStore(FServer->Commands(), S(c.File)), S(c.Type)) << c.File;
        EXPECT_TRUE(ServerHas(S("home-u/www/") + S(c.File))) << c.File;
    }
}

// Text goes with the network's line ends exactly once, whatever the file had: this server, on
// a system with LF line ends, stores LF. The size announced is that of the bytes sent. A binary
// file after text files on the same connection is sent as it is, and a UTF-16 text goes binary
// in "auto" mode.
TEST_F(FtpUploaderTest, TextGoesWithNetworkLineEndsOnce) {
    struct TCase {
        const char* Name;
        QByteArray Local;
        QByteArray Stored;
        qsizetype Sent;
        const char* Type;
    };
    const QByteArray utf16("\xFF\xFEl\0i\0\r\0\n\0", 10);
    const TCase cases[] = {
        {"crlf.txt", "one\r\ntwo\r\n", "one\ntwo\n", 10, "A"},
        {"lf.txt", "one\ntwo\n", "one\ntwo\n", 10, "A"},
        {"mixed.htm", "a\rb\nc\r\n", "a\rb\nc\n", 8, "A"},
        {"data.bin", "\r\n\n\r\r\n", "\r\n\n\r\r\n", 6, "I"},
        {"wide.txt", utf16, utf16, 10, "I"},
    };
    StartServer();
    QStringList files;
    for (const TCase& c : cases)
        files << WorkFile(S(c.Name), c.Local);
    EXPECT_EQ(Upload({TRow{}}, files), QStringList());
    const QStringList allo = FServer->CommandsNamed(S("ALLO"));
    ASSERT_EQ(allo.size(), static_cast<qsizetype>(std::size(cases)));
    for (qsizetype i = 0; i < files.size(); ++i) {
        const TCase& c = cases[i];
        EXPECT_EQ(ServerFile(S("home-u/www/") + S(c.Name)), c.Stored) << c.Name;
        EXPECT_EQ(allo.at(i), S("u ALLO ") + QString::number(c.Sent)) << c.Name;
        EXPECT_EQ(TypeBeforeStore(FServer->Commands(), S(c.Name)), S(c.Type)) << c.Name;
    }
    EXPECT_EQ(FServer->CommandsNamed(S("USER")).size(), 1);
}

// Rows that differ only in their connect mode each get their own client in that mode.
TEST_F(FtpUploaderTest, RowsDifferingOnlyInConnectModeKeepTheirModes) {
    StartServer();
    TRow passive;
    passive.ConnectMode = S("passive");
    passive.StartDir = S("p");
    TRow active = passive;
    active.ConnectMode = S("active");
    active.StartDir = S("a");
    EXPECT_EQ(Upload({passive, active}, {WorkFile(S("x.bin"), "x")}), QStringList());
    EXPECT_TRUE(ServerHas(S("home-u/p/x.bin")));
    EXPECT_TRUE(ServerHas(S("home-u/a/x.bin")));
    EXPECT_GT(FServer->CommandsNamed(S("EPSV")).size() + FServer->CommandsNamed(S("PASV")).size(),
              0);
    EXPECT_GT(FServer->CommandsNamed(S("EPRT")).size() + FServer->CommandsNamed(S("PORT")).size(),
              0);
}

// A server that quotes the password in its refusal: it is asked once for the combination (not
// again in the other mode, not again per file), every file gets its report, and the password
// appears nowhere.
TEST_F(FtpUploaderTest, ARefusedLoginIsAskedOnceAndThePasswordNeverShows) {
    TFtpTestServerOptions options;
    options.QuotePasswordInRefusal = true;
    StartServer(options);
    TRow wrong;
    wrong.Password = S("Sekr1t-word");
    const QStringList files = {WorkFile(S("a.txt"), "a"), WorkFile(S("b.txt"), "b"),
                               WorkFile(S("c.txt"), "c")};
    const QStringList errors = Upload({wrong}, files);
    ASSERT_EQ(errors.size(), files.size()) << errors.join(u'\n').toStdString();
    for (const QString& error : errors) {
        EXPECT_TRUE(error.startsWith(S("Could not connect to ftp server \"127.0.0.1\".")))
            << error.toStdString();
        EXPECT_TRUE(error.contains(S("Login incorrect for ***"))) << error.toStdString();
        EXPECT_FALSE(error.contains(S("Sekr1t-word"))) << error.toStdString();
    }
    EXPECT_EQ(FServer->CommandsNamed(S("PASS")).size(), 1);
}

// "newer": the server's copy is replaced only when it is older than the local file at
// two-second resolution; a missing copy is uploaded.
TEST_F(FtpUploaderTest, NewerReplacesOnlyOlderRemoteCopies) {
    constexpr qint64 KLocal = 1700000001;  // floors to ...000
    struct TCase {
        const char* Name;
        bool RemoteExists;
        qint64 RemoteTime;
        bool Replaced;
    };
    const TCase cases[] = {
        {"same.txt", true, 1700000000, false},  {"samesecond.txt", true, 1700000001, false},
        {"older.txt", true, KLocal - 60, true}, {"newer.txt", true, KLocal + 60, false},
        {"missing.txt", false, 0, true},
    };
    StartServer();
    QStringList files;
    for (const TCase& c : cases) {
        const QString file = WorkFile(S("n/") + S(c.Name), "local copy");
        SetModified(file, KLocal);
        files << file;
        if (c.RemoteExists) {
            const QString remote =
                FHarness->Temp().WriteFile(S("server/home-u/www/n/") + S(c.Name), "server copy");
            SetModified(remote, c.RemoteTime);
        }
    }
    TRow row;
    row.OverrideMode = S("Newer");
    EXPECT_EQ(Upload({row}, files), QStringList());
    for (const TCase& c : cases)
        EXPECT_EQ(ServerFile(S("home-u/www/n/") + S(c.Name)),
                  c.Replaced ? QByteArray("local copy") : QByteArray("server copy"))
            << c.Name;
    EXPECT_EQ(FServer->CommandsNamed(S("MDTM")).size(), qsizetype(std::size(cases)));
}

TEST_F(FtpUploaderTest, AlwaysReplacesANewerRemoteCopy) {
    StartServer();
    const QString file = WorkFile(S("a.txt"), "local copy");
    SetModified(file, 1700000000);
    SetModified(FHarness->Temp().WriteFile(S("server/home-u/www/a.txt"), "server copy"),
                1800000000);
    EXPECT_EQ(Upload({TRow{}}, {file}), QStringList());
    EXPECT_EQ(ServerFile(S("home-u/www/a.txt")), QByteArray("local copy"));
    EXPECT_TRUE(FServer->CommandsNamed(S("MDTM")).isEmpty());
}

TEST_F(FtpUploaderTest, EveryServerRowGetsEachFileOverItsOwnLogin) {
    StartServer();
    TRow second;
    second.Login = S("d");
    second.Password = S("pw2");
    second.StartDir = S("mirror");
    const QString file = WorkFile(S("docs/a.txt"), "twice");
    EXPECT_EQ(Upload({TRow{}, second}, {file}), QStringList());
    EXPECT_EQ(ServerFile(S("home-u/www/docs/a.txt")), QByteArray("twice"));
    EXPECT_EQ(ServerFile(S("home-d/home/u/mirror/docs/a.txt")), QByteArray("twice"));
    EXPECT_EQ(FServer->CommandsNamed(S("USER")), (QStringList{S("- USER u"), S("- USER d")}));
}

TEST_F(FtpUploaderTest, WrongPasswordGivesTheConnectMessage) {
    StartServer();
    TRow wrong;
    wrong.Password = S("not-the-password");
    const QString a = WorkFile(S("a.txt"), "a");
    const QString b = WorkFile(S("b.txt"), "b");
    const QStringList errors = Upload({wrong, TRow{}}, {a, b});
    // The first row's failure ends the work on the path: the second row is not tried either.
    ASSERT_EQ(errors.size(), 2) << errors.join(u'\n').toStdString();
    for (const QString& error : errors) {
        EXPECT_TRUE(error.startsWith(S("Could not connect to ftp server \"127.0.0.1\".")))
            << error.toStdString();
        EXPECT_FALSE(error.contains(S("not-the-password"))) << error.toStdString();
    }
    EXPECT_FALSE(ServerHas(S("home-u/www")));
}

TEST_F(FtpUploaderTest, ConnectModeChoosesPassiveOrActiveData) {
    struct TCase {
        const char* Mode;
        bool Active;
    };
    const TCase cases[] = {{"passive", false}, {"active", true}, {"auto", false}};
    StartServer();
    for (const TCase& c : cases) {
        FServer->ClearCommands();
        TRow row;
        row.ConnectMode = S(c.Mode);
        const QString file = WorkFile(S(c.Mode) + S(".bin"), QByteArray(70000, 'z'));
        EXPECT_EQ(Upload({row}, {file}), QStringList()) << c.Mode;
        EXPECT_EQ(ServerFile(S("home-u/www/") + S(c.Mode) + S(".bin")), ReadWholeFile(file));
        const qsizetype active =
            FServer->CommandsNamed(S("EPRT")).size() + FServer->CommandsNamed(S("PORT")).size();
        const qsizetype passive =
            FServer->CommandsNamed(S("EPSV")).size() + FServer->CommandsNamed(S("PASV")).size();
        EXPECT_EQ(active > 0, c.Active) << c.Mode;
        EXPECT_EQ(passive > 0, !c.Active) << c.Mode;
    }
}

// A server that refuses passive data connections: "auto" goes on in active mode, "passive"
// reports the failure.
TEST_F(FtpUploaderTest, AutoModeSwitchesToActiveWhenPassiveIsRefused) {
    TFtpTestServerOptions options;
    options.RefusePassive = true;
    StartServer(options);
    TRow autoRow;
    TRow passiveRow;
    passiveRow.ConnectMode = S("passive");
    passiveRow.StartDir = S("strict");
    // Another login: rows that differ only in their modes share one client.
    passiveRow.Login = S("d");
    passiveRow.Password = S("pw2");
    const QStringList files = {WorkFile(S("a.bin"), "a"), WorkFile(S("b.bin"), "b")};
    const QStringList errors = Upload({autoRow, passiveRow}, files);
    EXPECT_EQ(ServerFile(S("home-u/www/a.bin")), QByteArray("a"));
    EXPECT_EQ(ServerFile(S("home-u/www/b.bin")), QByteArray("b"));
    EXPECT_FALSE(ServerHas(S("home-d/home/u/strict/a.bin")));
    ASSERT_EQ(errors.size(), 2) << errors.join(u'\n').toStdString();
    for (const QString& error : errors)
        EXPECT_TRUE(error.startsWith(
            S("The file could not be uploaded to ftp server \"127.0.0.1\" as \"/home/u/strict/")))
            << error.toStdString();
    EXPECT_GT(FServer->CommandsNamed(S("EPRT")).size() + FServer->CommandsNamed(S("PORT")).size(),
              0);
}

// One login per server row for the whole combination, closed at its end.
TEST_F(FtpUploaderTest, OneConnectionServesEveryFileOfTheCombination) {
    StartServer();
    const QStringList files = {WorkFile(S("a.txt"), "a"), WorkFile(S("x/b.txt"), "b"),
                               WorkFile(S("x/y/c.txt"), "c"), WorkFile(S("d.txt"), "d")};
    EXPECT_EQ(Upload({TRow{}}, files), QStringList());
    for (const char* name : {"a.txt", "x/b.txt", "x/y/c.txt", "d.txt"})
        EXPECT_TRUE(ServerHas(S("home-u/www/") + S(name))) << name;
    EXPECT_EQ(FServer->CommandsNamed(S("USER")).size(), 1);
    EXPECT_EQ(FServer->CommandsNamed(S("QUIT")).size(), 1);
    EXPECT_EQ(FServer->CommandsNamed(S("STOR")).size(), 4);
}

TEST_F(FtpUploaderTest, ADroppedConnectionIsOpenedAgain) {
    TFtpTestServerOptions options;
    options.DropAfterStore << S("first.txt");
    StartServer(options);
    const QStringList files = {WorkFile(S("first.txt"), "1"), WorkFile(S("second.txt"), "2")};
    EXPECT_EQ(Upload({TRow{}}, files), QStringList());
    EXPECT_EQ(ServerFile(S("home-u/www/first.txt")), QByteArray("1"));
    EXPECT_EQ(ServerFile(S("home-u/www/second.txt")), QByteArray("2"));
    EXPECT_EQ(FServer->CommandsNamed(S("USER")).size(), 2);
}

// A store the server refuses is reported with its reply; the other files still go.
TEST_F(FtpUploaderTest, RefusedStoreIsReportedWithTheReply) {
    TFtpTestServerOptions options;
    options.RefuseStore << S("refused.bin");
    StartServer(options);
    TRow second;
    second.StartDir = S("second");
    const QStringList files = {WorkFile(S("refused.bin"), "r"), WorkFile(S("fine.bin"), "f")};
    const QStringList errors = Upload({TRow{}, second}, files);
    ASSERT_EQ(errors.size(), 2) << errors.join(u'\n').toStdString();
    for (const char* folder : {"/www/", "/second/"}) {
        const QString expected =
            S("The file could not be uploaded to ftp server \"127.0.0.1\" as \"") + S(folder) +
            S("refused.bin\": ");
        EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [&](const QString& AError) {
            return AError.startsWith(expected) && AError.contains(S("553"));
        })) << errors.join(u'\n').toStdString();
    }
    EXPECT_EQ(ServerFile(S("home-u/www/fine.bin")), QByteArray("f"));
    EXPECT_EQ(ServerFile(S("home-u/second/fine.bin")), QByteArray("f"));
}

TEST_F(FtpUploaderTest, StalledStoreEndsAfterTheTimeout) {
    TFtpUploaderSetup setup = Quick();
    setup.Timeouts.Stall = std::chrono::seconds(1);
    MakePlugin(setup);
    TFtpTestServerOptions options;
    options.StallStore << S("stall.bin");
    StartServer(options);
    const QStringList errors = Upload({TRow{}}, {WorkFile(S("stall.bin"), "s")});
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().startsWith(S("The file could not be uploaded to ftp server")))
        << errors.front().toStdString();
}

// A server that takes the connection but never greets.
TEST_F(FtpUploaderTest, SilentServerEndsAfterTheConnectTimeout) {
    TFtpUploaderSetup setup = Quick();
    setup.Timeouts.Connect = std::chrono::seconds(1);
    MakePlugin(setup);
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 8), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    QList<QStringList> cells = {{S("127.0.0.1"), QString::number(ntohs(address.sin_port)), S("www"),
                                 S("auto"), S("always"), S("auto"), S("u"), S("pw")}};
    FHarness->Run(Root(), {{KProp, StoredGrid(KColumns, cells)}}, {WorkFile(S("a.txt"), "a")});
    ::close(listener);
    const QStringList errors = FHarness->Sink().Errors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().startsWith(S("Could not connect to ftp server \"127.0.0.1\".")))
        << errors.front().toStdString();
}

// A row without a client (its port was refused at delivery) is reported without its password.
TEST_F(FtpUploaderTest, MissingClientMessageHidesThePassword) {
    TPluginInternal_FtpUploader plugin(Quick());
    TRecordingWorkSink sink;
    TTempFolder temp;
    const QString root = temp.MakeFolder(S("work"));
    plugin.PluginSetupWorkStart(TExeInfoHost{}, root, sink);
    plugin.PluginSetPropGridValueCount(KProp, 8);
    const QStringList cells = {S("h"),      S("21x"),  S("www"),  S("auto"),
                               S("always"), S("auto"), S("user"), S("secret")};
    for (qsizetype i = 0; i + 1 < cells.size(); ++i)
        plugin.PluginSetPropGridValue(KProp, KColumns.at(i), 0, cells.at(i));
    EXPECT_THROW(plugin.PluginSetPropGridValue(KProp, S("PASSWORD"), 0, S("secret")),
                 EqvParamWrong);
    TWorkPathOutput out(temp.WriteFile(S("work/a.txt"), "a"));
    plugin.PluginWorkPath(temp.Path(S("work/a.txt")), out);
    plugin.PluginSetupWorkEnd(TExeInfoHost{});
    EXPECT_EQ(sink.Errors(), QStringList{S("Could not find the ftp client instance in list that "
                                           "matches string ID \"h21xuser***\".")});
}

// A row whose password cell is empty never reaches the plugin.
TEST_F(FtpUploaderTest, RowWithAnEmptyCellIsIgnored) {
    StartServer();
    TRow blank;
    blank.Password = S("  ");
    const QString file = WorkFile(S("a.txt"), "a");
    EXPECT_EQ(Upload({blank}, {file}), QStringList());
    EXPECT_TRUE(FServer->Commands().isEmpty());
}

// Needs no server.
TEST(FtpUploaderDeclarations, InformationGridAndDefaultRow) {
    TPluginBatchHarness harness(QStringLiteral("FtpUploader"),
                                [] { return std::make_unique<TPluginInternal_FtpUploader>(); });
    TPluginStoredLibInfo& plugin = harness.Descriptor();
    const TPluginInfoHost& info = plugin.FPluginInfoHost;
    EXPECT_EQ(info.StrID, S("zq_kestrin_FtpUploader"));
    EXPECT_EQ(info.PluginName, S("FtpUploader"));
    EXPECT_EQ(info.PluginDesc, S("Upload files to FTP servers."));
    EXPECT_EQ(info.HasCompany, S("Kestrin"));
    EXPECT_TRUE(info.CanLaunchFilesSep.isEmpty() && info.CanLaunchFilesList.isEmpty());
    EXPECT_TRUE(info.HasLogo.isEmpty() && info.SuggestedExts.isEmpty());
    EXPECT_EQ(info.PluginVersion, S("1.0"));
    EXPECT_EQ(info.InterfaceVersion, S("1.0.4"));
    EXPECT_EQ(info.PluginCategory, pcWebDevelopment);
    EXPECT_EQ(info.CanWorkCategory, 1u);
    EXPECT_EQ(info.ReleaseState, 20u);

    ASSERT_EQ(plugin.FProperties.size(), 1u);
    const auto* grid = dynamic_cast<const TPluginPropertyGrid*>(plugin.FProperties[0].get());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->FPropName, KProp);
    EXPECT_EQ(grid->FShownName, S("FTP Servers Upload"));
    EXPECT_EQ(grid->FReadyServices, 0u);
    EXPECT_EQ(grid->FPropGridIgnoreRowsLevel, pgirlRowHasEmptyCellsWhenTrimmed);
    const QStringList paragraphs = grid->FHelp.split(S("\r\n\r\n"));
    ASSERT_EQ(paragraphs.size(), 5);
    EXPECT_TRUE(paragraphs[0].startsWith(S("If you have a firewall installed")));
    EXPECT_EQ(paragraphs[4],
              S("\"Transfer Mode\" can be \"ascii\" (typical for text files), \"binary\" (typical "
                "for all other), or \"auto\" (which will try guess when to use \"ascii\" and else "
                "use \"binary\")."));

    TStreamWriter expected;
    expected.WriteInt32(8);
    const std::vector<std::tuple<const char*, const char*, const char*, std::int32_t>> columns = {
        {"HOST", "Host", "", 0},
        {"PORT", "Port", "40+", 2},
        {"REMOTE_START_DIR", "Start Dir", "", 0},
        {"CONNECT_MODE", "Connect Mode", "", 0x200},
        {"OVERRIDE_MODE", "Override Mode", "", 0x200},
        {"TRANSFER_MODE", "Transfer Mode", "", 0x200},
        {"LOGIN", "Login", "", 0},
        {"PASSWORD", "Password", "", 0x20},
    };
    for (const auto& [id, caption, width, flags] : columns) {
        expected.WriteAnsiString(S(id));
        expected.WriteUtf8String(S(caption));
        expected.WriteAnsiString(S(width));
        expected.WriteInt32(flags);
    }
    const char* defaults[] = {"",
                              "21",
                              "",
                              ",auto,auto,passive,active",
                              ",always,always,newer",
                              ",auto,auto,ascii,binary",
                              "anonymous",
                              "visitr@"};
    expected.WriteInt32(8);
    for (std::int32_t col = 0; col < 8; ++col) {
        expected.WriteInt32(col);
        expected.WriteInt32(0);
        expected.WriteUtf8String(S(defaults[col]));
    }
    EXPECT_EQ(grid->FInitStreamData, expected.Data());
}

class FtpUploaderTlsTest : public FtpUploaderTest {
protected:
    void StartTlsServer() {
        FCerts = FTemp.MakeFolder(S("certs"));
        const QString made = MakeFtpTestCertificates(FCerts);
        ASSERT_TRUE(made.isEmpty()) << made.toStdString();
        TFtpTestServerOptions options;
        options.TlsCertificate = FCerts + S("server.pem");
        options.TlsKey = FCerts + S("server.key");
        StartServer(options);
    }
    TTempFolder FTemp;
    QString FCerts;
};

TEST_F(FtpUploaderTlsTest, ExplicitTlsUploadsWithATrustedCertificate) {
    TFtpUploaderSetup setup = Quick();
    setup.Trust.CaFile = FTemp.Path(S("certs/ca.pem"));
    MakePlugin(setup);
    StartTlsServer();
    TRow row;
    row.Host = S("ftpes://127.0.0.1");
    const QString file = WorkFile(S("s/secret.txt"), "over TLS");
    EXPECT_EQ(Upload({row}, {file}), QStringList());
    EXPECT_EQ(ServerFile(S("home-u/www/s/secret.txt")), QByteArray("over TLS"));
    EXPECT_EQ(FServer->CommandsNamed(S("AUTH")), QStringList{S("- AUTH TLS")});
    EXPECT_EQ(FServer->CommandsNamed(S("PROT")), QStringList{S("u PROT P")});
}

TEST_F(FtpUploaderTlsTest, UntrustedCertificateIsAConnectError) {
    TFtpUploaderSetup setup = Quick();
    setup.Trust.CaFile = FTemp.Path(S("certs/other-ca.pem"));
    MakePlugin(setup);
    StartTlsServer();
    TRow row;
    row.Host = S("ftpes://127.0.0.1");
    const QStringList errors = Upload({row}, {WorkFile(S("a.txt"), "a")});
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(
        errors.front().startsWith(S("Could not connect to ftp server \"ftpes://127.0.0.1\".")))
        << errors.front().toStdString();
    EXPECT_TRUE(errors.front().contains(S("certificate"), Qt::CaseInsensitive))
        << errors.front().toStdString();
    EXPECT_TRUE(FServer->CommandsNamed(S("USER")).isEmpty());
    EXPECT_FALSE(ServerHas(S("home-u/www")));
}

}  // namespace

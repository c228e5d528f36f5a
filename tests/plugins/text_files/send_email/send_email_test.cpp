// The send email plugin through the host as a batch drives it. Messages go to a fake sendmail
// that stores them, or through the real msmtp to an SMTP server on 127.0.0.1; either way they
// are read back with Python's MIME parser, not with our own code.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeDatabase>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <vector>

#include "plugin_host/plugin_descriptor.h"
#include "plugins/text_files/send_email/plugin_internal_send_email.h"
#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"
#include "tests/support/process_run.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folders.h"

namespace {

const QStringList KColumns = {QStringLiteral("EMAIL_ADDRESS"), QStringLiteral("EMAIL_SUBJECT"),
                              QStringLiteral("EMAIL_CONTENT"), QStringLiteral("EMAIL_ATTACH"),
                              QStringLiteral("EMAIL_DIALOG")};
const QString KPython = QStringLiteral("/usr/bin/python3");
const QString KTestDir = QStringLiteral(PLOVANE_SEND_EMAIL_TEST_DIR);

QString S(const char* AText) {
    return QString::fromUtf8(AText);
}

// Stores its standard input as the next <n>.eml in $MAILDIR and its arguments, separated by
// NUL bytes, as <n>.args.
const QByteArray KFakeSendmail =
    "#!/bin/sh\n"
    "n=$(ls \"$MAILDIR\" | grep -c '\\.eml$')\n"
    "printf '%s\\0' \"$@\" > \"$MAILDIR/$n.args\"\n"
    "cat > \"$MAILDIR/$n.eml\"\n";

// A mail program that refuses, as a misconfigured one does.
const QByteArray KFailingSendmail =
    "#!/bin/sh\n"
    "cat > /dev/null\n"
    "echo 'sendmail: cannot connect to mail.example.org: relay denied' >&2\n"
    "exit 3\n";

// Records its arguments, separated by NUL bytes, as the compose window program.
const QByteArray KFakeXdgEmail =
    "#!/bin/sh\n"
    "printf '%s\\0' \"$@\" >> \"$MAILDIR/compose.args\"\n";

struct TParsedMail {
    QString To;
    QString Subject;
    QByteArray Body;
    QString BodyCharset;
    bool HasBcc = false;
    struct TAttachment {
        QString FileName;
        QString Type;
        QByteArray Data;
    };
    std::vector<TAttachment> Attachments;
};

// Parses a stored message with Python's email package.
std::optional<TParsedMail> ParseMail(const QString& APath) {
    EnsureCoreApplication();
    QProcess process;
    process.start(KPython, {KTestDir + QStringLiteral("/parse_mail.py"), APath});
    const TProcessRun run = FinishProcess(process);
    if (run.ExitCode != 0) {
        ADD_FAILURE() << "the message could not be parsed: " << run.Err.toStdString();
        return std::nullopt;
    }
    const QJsonObject json = QJsonDocument::fromJson(run.Out.toUtf8()).object();
    TParsedMail mail;
    mail.To = json.value(QStringLiteral("to")).toString();
    mail.Subject = json.value(QStringLiteral("subject")).toString();
    mail.Body = QByteArray::fromBase64(json.value(QStringLiteral("body")).toString().toLatin1());
    mail.BodyCharset = json.value(QStringLiteral("body_charset")).toString();
    mail.HasBcc = json.value(QStringLiteral("bcc")).toBool();
    for (const QJsonValue& value : json.value(QStringLiteral("attachments")).toArray()) {
        const QJsonObject attachment = value.toObject();
        mail.Attachments.push_back(
            {attachment.value(QStringLiteral("filename")).toString(),
             attachment.value(QStringLiteral("type")).toString(),
             QByteArray::fromBase64(
                 attachment.value(QStringLiteral("data")).toString().toLatin1())});
    }
    return mail;
}

QStringList NulSeparated(const QByteArray& ABytes) {
    QStringList words;
    for (const QByteArray& word : ABytes.split('\0'))
        words << QString::fromUtf8(word);
    if (!words.isEmpty() && words.last().isEmpty())
        words.removeLast();
    return words;
}

class SendEmailTest : public ::testing::Test {
protected:
    SendEmailTest()
        : FHarness(QStringLiteral("SendEmail"),
                   [] { return std::make_unique<TPluginInternal_SendEmail>(); }) {}

    void SetUp() override {
        FMailDir = FHarness.Temp().MakeFolder(QStringLiteral("mail"));
        FMailDirEnv.emplace("MAILDIR", QFile::encodeName(FMailDir));
        UseSendmail(Program(QStringLiteral("sendmail"), KFakeSendmail));
        FXdgEmailEnv.emplace("PLOVANE_XDG_EMAIL", QFile::encodeName(Program(
                                                      QStringLiteral("xdg-email"), KFakeXdgEmail)));
    }

    QString Program(const QString& AName, const QByteArray& AText) const {
        const QString path = FHarness.Temp().WriteFile(QStringLiteral("bin/") + AName, AText);
        EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), 0755), 0);
        return path;
    }
    void UseSendmail(const QString& AProgram) {
        FSendmailEnv.reset();
        FSendmailEnv.emplace("PLOVANE_SENDMAIL", QFile::encodeName(AProgram));
    }
    QString Root() const { return FHarness.Temp().Path(QStringLiteral("root/")); }
    QString Write(const QString& ARelative, const QByteArray& ABytes) const {
        return FHarness.Temp().WriteFile(QStringLiteral("root/") + ARelative, ABytes);
    }
    void Run(const QList<QStringList>& ARows, const QStringList& APaths) {
        FHarness.Run(Root(), {{QStringLiteral("SendEmailList"), StoredGrid(KColumns, ARows)}},
                     APaths);
    }
    // The stored messages in the order they were sent.
    std::vector<TParsedMail> Mails() const {
        std::vector<TParsedMail> mails;
        for (int n = 0; QFile::exists(FMailDir + QString::number(n) + QStringLiteral(".eml"));
             ++n) {
            const auto mail = ParseMail(FMailDir + QString::number(n) + QStringLiteral(".eml"));
            if (mail)
                mails.push_back(*mail);
        }
        return mails;
    }

    TPluginBatchHarness FHarness;
    QString FMailDir;
    std::optional<TScopedEnv> FMailDirEnv;
    std::optional<TScopedEnv> FSendmailEnv;
    std::optional<TScopedEnv> FXdgEmailEnv;
};

QByteArray SomeBinary() {
    QByteArray bytes;
    for (int i = 0; i < 5000; ++i)
        bytes.append(static_cast<char>((i * 7919) % 256));
    return bytes;
}

TEST_F(SendEmailTest, EveryFileIsSentWithItselfAttachedInUtf8) {
    const QByteArray binary = SomeBinary();
    const QStringList files = {Write(S("Bericht ü.pdf"), binary), Write(S("b.txt"), "plain\n")};
    const QString subject = S("Grüße – Bericht 日本 with a long tail to be folded over words");
    Run({{S("empfänger@example.org"), subject, S("Hello\r\nZeile zwei: ÄÖÜ €"), S("True"),
          S("False")}},
        files);
    EXPECT_EQ(FHarness.Sink().Errors(), QStringList());
    const std::vector<TParsedMail> mails = Mails();
    ASSERT_EQ(mails.size(), 2u);
    const QMimeDatabase types;
    for (std::size_t i = 0; i < mails.size(); ++i) {
        SCOPED_TRACE(files.at(static_cast<qsizetype>(i)).toStdString());
        const TParsedMail& mail = mails[i];
        EXPECT_EQ(mail.To, S("empfänger@example.org"));
        EXPECT_EQ(mail.Subject, subject);
        EXPECT_EQ(mail.Body, S("Hello\r\nZeile zwei: ÄÖÜ €\r\n").toUtf8());
        EXPECT_EQ(mail.BodyCharset, S("utf-8"));
        ASSERT_EQ(mail.Attachments.size(), 1u);
        const QString& file = files.at(static_cast<qsizetype>(i));
        EXPECT_EQ(mail.Attachments[0].FileName, QFileInfo(file).fileName());
        EXPECT_EQ(mail.Attachments[0].Type, types.mimeTypeForFile(file).name());
        EXPECT_EQ(mail.Attachments[0].Data, ReadWholeFile(file));
    }
    // Recipients come from the message's own headers.
    EXPECT_EQ(NulSeparated(ReadWholeFile(FMailDir + S("0.args"))), (QStringList{S("-t"), S("-i")}));
}

TEST_F(SendEmailTest, TwoRowsSendTwoMailsPerPathInRowOrder) {
    const QString file = Write(S("a.txt"), "x");
    Run({{S("first@example.org"), S("One"), S("Hello"), S("False"), S("False")},
         {S("second@example.org"), S("Two"), S(""), S("0"), S("no")}},
        {file});
    EXPECT_EQ(FHarness.Sink().Errors(), QStringList());
    const std::vector<TParsedMail> mails = Mails();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0].To, S("first@example.org"));
    EXPECT_EQ(mails[0].Subject, S("One"));
    EXPECT_EQ(mails[0].Body, QByteArray("Hello\r\n"));
    EXPECT_TRUE(mails[0].Attachments.empty());
    EXPECT_EQ(mails[1].To, S("second@example.org"));
    EXPECT_EQ(mails[1].Body, QByteArray()) << "an empty body stays empty";
    EXPECT_TRUE(mails[1].Attachments.empty());
}

TEST_F(SendEmailTest, TheDialogRowOpensTheComposeWindowFilledIn) {
    const QString file = Write(S("Bericht ü.txt"), "x");
    Run({{S("a@example.org"), S("Grüße"), S("Hello"), S("True"), S("True")},
         {S("b@example.org"), S("Plain"), S(""), S("False"), S("True")}},
        {file});
    EXPECT_EQ(FHarness.Sink().Errors(), QStringList());
    EXPECT_TRUE(Mails().empty()) << "nothing was sent directly";
    EXPECT_EQ(NulSeparated(ReadWholeFile(FMailDir + S("compose.args"))),
              (QStringList{S("--utf8"), S("--subject"), S("Grüße"), S("--body"), S("Hello\r\n"),
                           S("--attach"), file, S("a@example.org"), S("--utf8"), S("--subject"),
                           S("Plain"), S("--body"), S(""), S("b@example.org")}));
}

TEST_F(SendEmailTest, AMailProgramThatFailsGivesOneReportPerPath) {
    const QStringList files = {Write(S("a.txt"), "x"), Write(S("b.txt"), "y")};
    struct TCase {
        const char* Name;
        QString Program;
        QStringList Expected;  // every report holds these
    };
    const QString missing = FHarness.Temp().Path(S("bin/no-such-sendmail"));
    const std::vector<TCase> cases = {
        {"missing", missing, {missing, S("could not be started")}},
        {"failing", Program(S("failing"), KFailingSendmail), {S("exit code 3"), S("relay denied")}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        FHarness.Sink().Clear();
        UseSendmail(c.Program);
        // The later rows are skipped after the first one failed, and the report says so.
        Run({{S("a@example.org"), S("s"), S("b"), S("False"), S("False")},
             {S("b@example.org"), S("s"), S("b"), S("False"), S("False")},
             {S("c@example.org"), S("s"), S("b"), S("False"), S("True")}},
            files);
        const QStringList errors = FHarness.Sink().Errors();
        ASSERT_EQ(errors.size(), 2) << errors.join(u'\n').toStdString();
        for (const QString& error : errors) {
            EXPECT_TRUE(error.contains(S("a@example.org"))) << error.toStdString();
            for (const QString& part : c.Expected)
                EXPECT_TRUE(error.contains(part)) << error.toStdString();
            EXPECT_TRUE(error.endsWith(S(" The 2 remaining rows were skipped for this path.")))
                << error.toStdString();
        }
        EXPECT_FALSE(QFile::exists(FMailDir + S("compose.args"))) << "a skipped row ran";

        // A failing last row skips nothing, and says nothing of it.
        FHarness.Sink().Clear();
        Run({{S("c@example.org"), S("s"), S("b"), S("False"), S("True")},
             {S("a@example.org"), S("s"), S("b"), S("False"), S("False")}},
            {files.front()});
        ASSERT_EQ(FHarness.Sink().Errors().size(), 1);
        EXPECT_FALSE(FHarness.Sink().Errors().front().contains(S("skipped")));
        EXPECT_TRUE(QFile::exists(FMailDir + S("compose.args")));
        QFile::remove(FMailDir + S("compose.args"));
    }
}

// No text of a row can add a header to the message or an option to the mail program. The host
// removes line breaks from these cells; the plugin refuses them all the same, for any caller.
TEST_F(SendEmailTest, LineBreaksInHeadersAndOptionLikeAddressesAreRefused) {
    const QString file = Write(S("a.txt"), "x");
    const std::vector<QStringList> rows = {
        {S("a@example.org"), S("Hi\r\nBcc: victim@example.org"), S("b"), S("False"), S("False")},
        {S("a@example.org"), S("Hi\nBcc: victim@example.org"), S("b"), S("False"), S("True")},
        {S("a@example.org\nBcc: victim@example.org"), S("s"), S("b"), S("False"), S("False")},
        {S("a@example.org"), S("Hi\u2028Bcc: victim@example.org"), S("b"), S("False"), S("False")},
        {S("-oQ/tmp/x"), S("s"), S("b"), S("False"), S("True")},
    };
    for (const QStringList& row : rows) {
        SCOPED_TRACE(row.join(u'|').toStdString());
        TPluginInternal_SendEmail plugin;
        TRecordingWorkSink sink;
        plugin.PluginSetupWorkStart(TExeInfoHost{}, Root(), sink);
        for (qsizetype col = 0; col < KColumns.size(); ++col)
            plugin.PluginSetPropGridValue(S("SendEmailList"), KColumns.at(col), 0, row.at(col));
        TWorkPathOutput out(file);
        plugin.PluginWorkPath(file, out);
        plugin.PluginSetupWorkEnd(TExeInfoHost{});
        EXPECT_EQ(sink.Errors().size(), 1);
        EXPECT_TRUE(Mails().empty());
        EXPECT_FALSE(QFile::exists(FMailDir + S("compose.args")));
    }

    // Through the host, which takes the line breaks out of these cells first.
    Run({{S("a@example.org"), S("Hi\r\nBcc: victim@example.org"), S("b"), S("False"), S("False")}},
        {file});
    const std::vector<TParsedMail> mails = Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_FALSE(mails[0].HasBcc);
    EXPECT_FALSE(mails[0].Subject.contains(u'\n'));
}

TEST_F(SendEmailTest, RowVerificationRejectsABlankAddress) {
    TPluginStoredLibInfo& plugin = FHarness.Descriptor();
    plugin.LoadPlugin();
    for (const QString& address : {S("a@example.org"), S(""), S("   ")}) {
        QStringList reports;
        plugin.NP_PrepareVerifyGridRow(S("SendEmailList"));
        for (const QString& cell : {address, S("s"), S("b"), S("False"), S("True")})
            plugin.NP_AddVerifyPropGridValue(S("SendEmailList"), cell);
        plugin.NP_EndVerifyGridRow(
            S("SendEmailList"),
            [&](std::int32_t AField, const QString& AError, const QString& AAdvice) {
                reports << QString::number(AField) + u'|' + AError + u'|' + AAdvice;
            });
        EXPECT_EQ(reports, address.trimmed().isEmpty()
                               ? QStringList{S("0|The email path has to be filled.|")}
                               : QStringList())
            << address.toStdString();
    }
}

// The whole way through a real sendmail-compatible client: msmtp, configured in the test's own
// folder, delivers by SMTP to a server on 127.0.0.1, and the message the server received is
// parsed.
TEST_F(SendEmailTest, ARealMailClientDeliversTheMessageOverSmtp) {
    const QString msmtp = QStringLiteral("/usr/bin/msmtp");
    if (!QFileInfo(msmtp).isExecutable())
        GTEST_SKIP() << "msmtp is not installed (scripts/install-deps.sh installs it)";
    EnsureCoreApplication();
    const QString received = FHarness.Temp().MakeFolder(S("received"));
    QProcess server;
    server.start(KPython, {KTestDir + S("/smtp_sink.py"), received});
    ASSERT_TRUE(server.waitForStarted(120000));
    // The server prints its port once it listens.
    while (!server.canReadLine() && server.state() == QProcess::Running)
        server.waitForReadyRead(120000);
    const int port = QString::fromLatin1(server.readLine()).trimmed().toInt();
    ASSERT_GT(port, 0) << server.readAllStandardError().toStdString();

    const QString config = FHarness.Temp().WriteFile(
        S("msmtprc"), "defaults\nauth off\ntls off\n\naccount default\nhost 127.0.0.1\nport " +
                          QByteArray::number(port) + "\nfrom plovane@example.org\n");
    // msmtp refuses a configuration others may read.
    ASSERT_EQ(::chmod(QFile::encodeName(config).constData(), 0600), 0);
    UseSendmail(Program(S("msmtp-sendmail"), "#!/bin/sh\nexec /usr/bin/msmtp -C '" +
                                                 QFile::encodeName(config) + "' \"$@\"\n"));

    const QByteArray binary = SomeBinary();
    const QString file = Write(S("Anhang ü.bin"), binary);
    Run({{S("rcpt@example.org"), S("Über SMTP"), S("Line one\r\n.\r\nLine three"), S("True"),
          S("False")}},
        {file});
    EXPECT_EQ(FHarness.Sink().Errors(), QStringList());

    server.closeWriteChannel();
    const TProcessRun end = FinishProcess(server);
    EXPECT_EQ(end.ExitCode, 0) << end.Err.toStdString();
    ASSERT_TRUE(QFile::exists(received + S("0.eml"))) << end.Err.toStdString();
    const auto mail = ParseMail(received + S("0.eml"));
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->To, S("rcpt@example.org"));
    EXPECT_EQ(mail->Subject, S("Über SMTP"));
    EXPECT_EQ(mail->Body, QByteArray("Line one\r\n.\r\nLine three\r\n"));
    ASSERT_EQ(mail->Attachments.size(), 1u);
    EXPECT_EQ(mail->Attachments[0].FileName, S("Anhang ü.bin"));
    EXPECT_EQ(mail->Attachments[0].Data, binary);
}

}  // namespace

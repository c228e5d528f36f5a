#pragma once

// A real FTP server for tests: pyftpdlib run by Debian's /usr/bin/python3 on 127.0.0.1, on a
// port the system picks, serving folders below a test's temporary folder. It logs every command
// it is sent before answering it, so what a client did can be read back once it got its reply.

#include <QList>
#include <QString>
#include <QStringList>

#include <sys/types.h>

struct TFtpTestUser {
    QString Name;
    QString Password;
    QString Home;   // relative to the server's root folder
    QString Start;  // where a login starts (what PWD answers), below the home; empty: the home
};

struct TFtpTestServerOptions {
    QList<TFtpTestUser> Users;
    QStringList RefuseStore;     // file names whose STOR is answered with 553
    QStringList StallStore;      // file names whose STOR is never answered
    QStringList DropAfterStore;  // file names after whose storing the server hangs up
    bool RefusePassive = false;  // PASV and EPSV answered with 502
    // A wrong password is refused with "530 Login incorrect for <password>", as some servers do.
    bool QuotePasswordInRefusal = false;
    QString TlsCertificate;  // explicit TLS required, with this certificate and key
    QString TlsKey;
};

// Empty when the server can run here, else why not (for the test's skip message).
QString FtpTestServerMissing();

// Writes ca.pem, other-ca.pem (an unrelated authority), server.pem (for 127.0.0.1, signed by
// ca.pem) and server.key into AFolder. Empty on success, else the reason.
QString MakeFtpTestCertificates(const QString& AFolder);

class TFtpTestServer {
public:
    // Starts the server and waits until it listens. ARoot must exist.
    TFtpTestServer(const QString& ARoot, const TFtpTestServerOptions& AOptions);
    // Stops the server.
    ~TFtpTestServer();
    TFtpTestServer(const TFtpTestServer&) = delete;
    TFtpTestServer& operator=(const TFtpTestServer&) = delete;

    // Empty when the server listens, else why it does not.
    const QString& StartError() const { return FStartError; }
    int Port() const { return FPort; }
    // The commands received so far, each "<user> <COMMAND> <argument>" ("-" before login).
    QStringList Commands() const;
    // The commands received so far whose name is ACommand.
    QStringList CommandsNamed(const QString& ACommand) const;
    void ClearCommands() const;

private:
    QString FLogFile;
    pid_t FPid = -1;
    int FPort = 0;
    QString FStartError;
};

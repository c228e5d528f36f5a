#include "tests/support/ftp_test_server.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include "tests/support/process_run.h"
#include "tests/support/temp_folders.h"

namespace {

const QString KPython = QStringLiteral("/usr/bin/python3");
const QString KScript = QStringLiteral(PLOVANE_FTP_SERVER_SCRIPT);
constexpr int KWaitMs = 60000;

}  // namespace

QString FtpTestServerMissing() {
    EnsureCoreApplication();
    QProcess probe;
    probe.start(KPython, {QStringLiteral("-c"), QStringLiteral("import pyftpdlib")});
    if (!probe.waitForStarted(KWaitMs))
        return KPython + QStringLiteral(" could not be started");
    probe.waitForFinished(KWaitMs);
    if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        return KPython + QStringLiteral(
                             " lacks pyftpdlib (Debian package python3-pyftpdlib, installed by "
                             "scripts/install-deps.sh)");
    return {};
}

QString MakeFtpTestCertificates(const QString& AFolder) {
    EnsureCoreApplication();
    QProcess maker;
    maker.start(KPython, {KScript, QStringLiteral("--make-cert"), AFolder});
    if (!maker.waitForFinished(KWaitMs) || maker.exitStatus() != QProcess::NormalExit ||
        maker.exitCode() != 0)
        return QStringLiteral("the test certificates could not be made: ") +
               QString::fromUtf8(maker.readAllStandardError());
    return {};
}

TFtpTestServer::TFtpTestServer(const QString& ARoot, const TFtpTestServerOptions& AOptions)
    : FLogFile(QDir(ARoot).absoluteFilePath(QStringLiteral("../ftp-commands.log"))),
      FProcess(std::make_unique<QProcess>()) {
    EnsureCoreApplication();
    QStringList args = {KScript, QStringLiteral("--root"), ARoot, QStringLiteral("--log"),
                        FLogFile};
    for (const TFtpTestUser& user : AOptions.Users)
        args << QStringLiteral("--user")
             << QStringList{user.Name, user.Password, user.Home, user.Start}.join(u':');
    for (const QString& name : AOptions.RefuseStore)
        args << QStringLiteral("--refuse-store") << name;
    for (const QString& name : AOptions.StallStore)
        args << QStringLiteral("--stall-store") << name;
    for (const QString& name : AOptions.DropAfterStore)
        args << QStringLiteral("--drop-after-store") << name;
    if (AOptions.RefusePassive)
        args << QStringLiteral("--refuse-passive");
    if (!AOptions.TlsCertificate.isEmpty())
        args << QStringLiteral("--tls-cert") << AOptions.TlsCertificate
             << QStringLiteral("--tls-key") << AOptions.TlsKey;
    // Standard error goes to a file: a pipe nobody reads could fill and stall the server.
    const QString errors = FLogFile + QStringLiteral(".err");
    FProcess->setStandardErrorFile(errors);
    FProcess->start(KPython, args);
    if (!FProcess->waitForStarted(KWaitMs)) {
        FStartError = QStringLiteral("the FTP server could not be started");
        return;
    }
    // The server says "READY <port>" once it listens; waiting for that line is the readiness.
    QByteArray out;
    while (!out.contains('\n')) {
        if (!FProcess->waitForReadyRead(KWaitMs)) {
            FStartError = QStringLiteral("the FTP server did not get ready: ") +
                          QString::fromUtf8(ReadWholeFile(errors));
            return;
        }
        out += FProcess->readAllStandardOutput();
    }
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    bool ok = false;
    if (line.startsWith("READY "))
        FPort = line.mid(6).toInt(&ok);
    if (!ok)
        FStartError = QStringLiteral("the FTP server said: ") + QString::fromUtf8(line);
}

TFtpTestServer::~TFtpTestServer() {
    if (FProcess->state() == QProcess::NotRunning)
        return;
    FProcess->terminate();
    if (!FProcess->waitForFinished(KWaitMs)) {
        FProcess->kill();
        FProcess->waitForFinished(KWaitMs);
    }
}

QStringList TFtpTestServer::Commands() const {
    QFile file(FLogFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

QStringList TFtpTestServer::CommandsNamed(const QString& ACommand) const {
    QStringList named;
    for (const QString& line : Commands())
        if (line.section(u' ', 1, 1) == ACommand)
            named << line;
    return named;
}

void TFtpTestServer::ClearCommands() const {
    QFile file(FLogFile);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.close();
}

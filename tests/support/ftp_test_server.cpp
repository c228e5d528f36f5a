#include "tests/support/ftp_test_server.h"

#include <QDir>
#include <QFile>

#include "platform/child_program.h"
#include "tests/support/temp_folders.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

namespace {

const QString KPython = QStringLiteral("/usr/bin/python3");
const QString KScript = QStringLiteral(PLOVANE_FTP_SERVER_SCRIPT);
constexpr int KWaitMs = 60000;

// Python is started with fork, not QProcess: QProcess starts a child on the parent's own memory
// and thread state until it execs (a vfork-like clone), which the thread sanitizer cannot
// follow; it then misses later locking on the starting thread and reports races in code that
// locks correctly. Short jobs go through the program's own child starter; the server, which
// keeps running and tells its port on its output, is started here.
struct TPythonChild {
    pid_t Pid = -1;
    int Out = -1;  // the read end of its standard output
    QString Error;
};

// Standard error goes to AErrorFile: a pipe nobody reads could fill and stall the child.
TPythonChild StartPython(const QStringList& AArgs, const QString& AErrorFile) {
    TPythonChild child;
    // Everything exec needs is made before fork: the child of a threaded process may only make
    // async-signal-safe calls.
    std::vector<QByteArray> words{QFile::encodeName(KPython)};
    for (const QString& arg : AArgs)
        words.push_back(QFile::encodeName(arg));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const QByteArray errorFile = QFile::encodeName(AErrorFile);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        child.Error = QStringLiteral("pipe: ") + QString::fromLocal8Bit(std::strerror(errno));
        return child;
    }
    child.Pid = ::fork();
    if (child.Pid == 0) {
        const int err = ::open(errorFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = ::open("/dev/null", O_RDONLY);
        if (err < 0 || in < 0 || ::dup2(in, 0) < 0 || ::dup2(fds[1], 1) < 0 || ::dup2(err, 2) < 0)
            ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    if (child.Pid < 0) {
        child.Error = QStringLiteral("fork: ") + QString::fromLocal8Bit(std::strerror(errno));
        ::close(fds[0]);
        return child;
    }
    child.Out = fds[0];
    return child;
}

// Reads the child's output until a line ends, the output ends or KWaitMs pass.
QByteArray ReadLine(int AFd) {
    QByteArray out;
    while (!out.contains('\n')) {
        pollfd ready{AFd, POLLIN, 0};
        const int n = ::poll(&ready, 1, KWaitMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        char buffer[512];
        const ssize_t got = ::read(AFd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        out.append(buffer, got);
    }
    return out;
}

// Waits for the child's end (and reaps it).
void WaitForExit(pid_t APid) {
    int status = 0;
    while (::waitpid(APid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

QString FtpTestServerMissing() {
    const TChildProgramResult run = RunChildProgram(
        {KPython, {QStringLiteral("-c"), QStringLiteral("import pyftpdlib")}, {}}, true);
    if (!run.Started)
        return run.StartError;
    if (run.ExitCode != 0)
        return KPython + QStringLiteral(
                             " lacks pyftpdlib (Debian package python3-pyftpdlib, installed by "
                             "scripts/install-deps.sh)");
    return {};
}

QString MakeFtpTestCertificates(const QString& AFolder) {
    const TChildProgramResult run =
        RunChildProgram({KPython, {KScript, QStringLiteral("--make-cert"), AFolder}, {}}, true);
    if (!run.Started)
        return run.StartError;
    if (run.ExitCode != 0)
        return QStringLiteral("the test certificates could not be made: ") +
               QString::fromUtf8(run.Output);
    return {};
}

TFtpTestServer::TFtpTestServer(const QString& ARoot, const TFtpTestServerOptions& AOptions)
    : FLogFile(QDir(ARoot).absoluteFilePath(QStringLiteral("../ftp-commands.log"))) {
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
    if (AOptions.QuotePasswordInRefusal)
        args << QStringLiteral("--quote-password");
    if (!AOptions.TlsCertificate.isEmpty())
        args << QStringLiteral("--tls-cert") << AOptions.TlsCertificate
             << QStringLiteral("--tls-key") << AOptions.TlsKey;
    const QString errors = FLogFile + QStringLiteral(".err");
    TPythonChild child = StartPython(args, errors);
    if (child.Pid < 0) {
        FStartError = QStringLiteral("the FTP server could not be started: ") + child.Error;
        return;
    }
    FPid = child.Pid;
    // The server says "READY <port>" once it listens; waiting for that line is the readiness.
    // Its later output is not read: it writes nothing more there.
    const QByteArray out = ReadLine(child.Out);
    ::close(child.Out);
    if (!out.contains('\n')) {
        FStartError = QStringLiteral("the FTP server did not get ready: ") +
                      QString::fromUtf8(ReadWholeFile(errors));
        return;
    }
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    bool ok = false;
    if (line.startsWith("READY "))
        FPort = line.mid(6).toInt(&ok);
    if (!ok)
        FStartError = QStringLiteral("the FTP server said: ") + QString::fromUtf8(line);
}

TFtpTestServer::~TFtpTestServer() {
    if (FPid < 0)
        return;
    // Python ends on SIGTERM at once; a server that hangs would keep the test from ending,
    // where a killed one only loses nothing.
    ::kill(FPid, SIGTERM);
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, FPid, 0));
    if (pidFd >= 0) {
        pollfd ended{pidFd, POLLIN, 0};
        if (::poll(&ended, 1, KWaitMs) <= 0)
            ::kill(FPid, SIGKILL);
        ::close(pidFd);
    }
    WaitForExit(FPid);
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

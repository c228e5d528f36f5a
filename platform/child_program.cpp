#include "platform/child_program.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

QString ErrnoText(int ACode) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static string instead of filling the buffer.
    return QString::fromLocal8Bit(strerror_r(ACode, buffer, sizeof buffer));
}

// A file descriptor closed when it goes out of scope.
class TFd {
public:
    TFd() = default;
    explicit TFd(int AFd) : FFd(AFd) {}
    ~TFd() { Close(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    void Reset(int AFd) {
        Close();
        FFd = AFd;
    }
    void Close() {
        if (FFd >= 0)
            ::close(FFd);
        FFd = -1;
    }

private:
    int FFd = -1;
};

// The program's name and arguments as the bytes exec wants, made before fork: the child may
// only make async-signal-safe calls.
struct TExecArgs {
    QByteArray Program;
    QByteArray WorkFolder;
    std::vector<QByteArray> Words;
    std::vector<char*> Argv;

    // For a file without a "#!" line, which exec refuses: run by /bin/sh, as a shell does.
    QByteArray Shell = "/bin/sh";
    std::vector<char*> ShellArgv;

    explicit TExecArgs(const TChildProgramRequest& ARequest)
        // Absolute: the child changes to its working folder before it executes.
        : Program(QFile::encodeName(AbsoluteProgram(ARequest.Program))),
          WorkFolder(QFile::encodeName(ARequest.WorkFolder)) {
        Words.push_back(Program);
        for (const QString& argument : ARequest.Arguments)
            Words.push_back(QFile::encodeName(argument));
        for (QByteArray& word : Words)
            Argv.push_back(word.data());
        Argv.push_back(nullptr);
        ShellArgv.push_back(Shell.data());
        for (QByteArray& word : Words)
            ShellArgv.push_back(word.data());
        ShellArgv.push_back(nullptr);
    }

    static QString AbsoluteProgram(const QString& AProgram) {
        return AProgram.isEmpty() || QDir::isAbsolutePath(AProgram)
                   ? AProgram
                   : QDir::current().absoluteFilePath(AProgram);
    }
};

// The file descriptors the child gets as its standard streams (Input -1: /dev/null; Output
// -1: this process's own, or /dev/null with NullOutput).
struct TChildStreams {
    int Input = -1;
    int Output = -1;
    bool NullOutput = false;
};

// In the child only: tells the parent through AReport why the program did not start and ends.
[[noreturn]] void FailInChild(int AReport, int ACode) {
    ssize_t written = 0;
    do {
        written = ::write(AReport, &ACode, sizeof ACode);
    } while (written < 0 && errno == EINTR);
    ::_exit(127);
}

// In the child only: sets up the streams, the folder and the signal state, then executes.
[[noreturn]] void ExecInChild(const TExecArgs& AArgs, const TChildStreams& AStreams, int AReport) {
    // Ignored signals and a blocked mask would be inherited by the program.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP)
            ::signal(sig, SIG_DFL);
    }
    const int null = ::open("/dev/null", O_RDWR);
    if (null < 0)
        FailInChild(AReport, errno);
    const int input = AStreams.Input >= 0 ? AStreams.Input : null;
    if (::dup2(input, STDIN_FILENO) < 0)
        FailInChild(AReport, errno);
    const int output = AStreams.NullOutput ? null : AStreams.Output;
    if (output >= 0 && (::dup2(output, STDOUT_FILENO) < 0 || ::dup2(output, STDERR_FILENO) < 0))
        FailInChild(AReport, errno);
    if (!AArgs.WorkFolder.isEmpty() && ::chdir(AArgs.WorkFolder.constData()) != 0)
        FailInChild(AReport, errno);
    ::execv(AArgs.Program.constData(), AArgs.Argv.data());
    if (errno == ENOEXEC)
        ::execv(AArgs.Shell.constData(), AArgs.ShellArgv.data());
    FailInChild(AReport, errno);
}

// Reads the child's start report: empty when exec succeeded (the pipe closed on exec), else
// the reason.
QString ReadStartReport(int AReport) {
    int code = 0;
    ssize_t got = 0;
    do {
        got = ::read(AReport, &code, sizeof code);
    } while (got < 0 && errno == EINTR);
    if (got == static_cast<ssize_t>(sizeof code))
        return ErrnoText(code);
    return {};
}

int WaitForChild(pid_t APid, int* AStatus) {
    pid_t done = 0;
    do {
        done = ::waitpid(APid, AStatus, 0);
    } while (done < 0 && errno == EINTR);
    return done < 0 ? errno : 0;
}

QString NotStarted(const TChildProgramRequest& ARequest, const QString& AReason) {
    return QStringLiteral("The program \"") + ARequest.Program +
           QStringLiteral("\" could not be started: ") + AReason;
}

// Feeds AInput to AInputFd (closed when done) and collects AOutputFd until it closes.
void ExchangeWithChild(TFd& AInputFd, TFd& AOutputFd, const QByteArray& AInput,
                       QByteArray& AOutput) {
    qsizetype sent = 0;
    if (AInput.isEmpty())
        AInputFd.Close();
    while (AOutputFd.Get() >= 0 || AInputFd.Get() >= 0) {
        pollfd fds[2] = {{AInputFd.Get(), POLLOUT, 0}, {AOutputFd.Get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (AInputFd.Get() >= 0 && (fds[0].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            // A socket, so a program that stops reading gives an error instead of SIGPIPE; and
            // never a blocking send, which would wait for ever on a program that is itself
            // waiting for its output to be read.
            const ssize_t n =
                ::send(AInputFd.Get(), AInput.constData() + sent,
                       static_cast<size_t>(AInput.size() - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent += n;
            if ((n < 0 && errno != EINTR && errno != EAGAIN) || sent == AInput.size())
                AInputFd.Close();
        }
        if (AOutputFd.Get() >= 0 && (fds[1].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
            char buffer[4096];
            const ssize_t n = ::read(AOutputFd.Get(), buffer, sizeof buffer);
            if (n > 0)
                AOutput.append(buffer, n);
            else if (n == 0 || errno != EINTR)
                AOutputFd.Close();
        }
    }
}

}  // namespace

QString StartChildProgramDetached(const TChildProgramRequest& ARequest) {
    const TExecArgs args(ARequest);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return NotStarted(ARequest, ErrnoText(errno));
    TFd reportRead(report[0]);
    TFd reportWrite(report[1]);
    // Started by a short-lived intermediate child: the program becomes a child of the system's
    // reaper, which collects it when it ends.
    const pid_t middle = ::fork();
    if (middle < 0)
        return NotStarted(ARequest, ErrnoText(errno));
    if (middle == 0) {
        ::setsid();
        const pid_t program = ::fork();
        if (program < 0)
            FailInChild(reportWrite.Get(), errno);
        // A program left running must not hold this process's output open: whoever reads it
        // (a pipe into another program) would wait for it as long as it runs.
        if (program == 0)
            ExecInChild(args, {-1, -1, true}, reportWrite.Get());
        ::_exit(0);
    }
    reportWrite.Close();
    int status = 0;
    const int waitError = WaitForChild(middle, &status);
    const QString reason = ReadStartReport(reportRead.Get());
    if (!reason.isEmpty())
        return NotStarted(ARequest, reason);
    if (waitError != 0)
        return NotStarted(ARequest, ErrnoText(waitError));
    return {};
}

TChildProgramResult RunChildProgram(const TChildProgramRequest& ARequest, bool ACaptureOutput,
                                    const QByteArray& AInput) {
    TChildProgramResult result;
    const TExecArgs args(ARequest);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        result.StartError = NotStarted(ARequest, ErrnoText(errno));
        return result;
    }
    TFd reportRead(report[0]);
    TFd reportWrite(report[1]);
    // Every descriptor is close-on-exec, so programs other threads start meanwhile never hold
    // these open (which would keep the output from ever ending).
    TFd inputParent, inputChild, outputParent, outputChild;
    if (ACaptureOutput) {
        int sockets[2];
        int pipeFds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0 ||
            ::pipe2(pipeFds, O_CLOEXEC) != 0) {
            result.StartError = NotStarted(ARequest, ErrnoText(errno));
            return result;
        }
        inputParent.Reset(sockets[0]);
        inputChild.Reset(sockets[1]);
        outputParent.Reset(pipeFds[0]);
        outputChild.Reset(pipeFds[1]);
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        result.StartError = NotStarted(ARequest, ErrnoText(errno));
        return result;
    }
    if (pid == 0)
        ExecInChild(args, {inputChild.Get(), outputChild.Get(), false}, reportWrite.Get());
    reportWrite.Close();
    inputChild.Close();
    outputChild.Close();
    const QString reason = ReadStartReport(reportRead.Get());
    if (ACaptureOutput && reason.isEmpty())
        ExchangeWithChild(inputParent, outputParent, AInput, result.Output);
    inputParent.Close();
    outputParent.Close();
    int status = 0;
    const int waitError = WaitForChild(pid, &status);
    if (!reason.isEmpty()) {
        result.StartError = NotStarted(ARequest, reason);
        return result;
    }
    if (waitError != 0) {
        result.StartError = NotStarted(ARequest, ErrnoText(waitError));
        return result;
    }
    result.Started = true;
    if (WIFEXITED(status)) {
        result.ExitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.Signal = WTERMSIG(status);
    }
    return result;
}

QStringList SplitShellWords(const QString& AText) {
    return SplitShellWords(AText, QString(), QString());
}

QStringList SplitShellWords(const QString& AText, const QString& APlaceholder,
                            const QString& AValue) {
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const QChar c = AText[i];
        if (!APlaceholder.isEmpty() &&
            QStringView(AText).sliced(i).startsWith(APlaceholder, Qt::CaseSensitive)) {
            // The value goes in after splitting: its blanks and quotes are its own text.
            word += AValue;
            inWord = true;
            i += APlaceholder.size() - 1;
        } else if (c == u'"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n')) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

bool IsExecutableFile(const QString& APath) {
    struct stat info {};
    const QByteArray native = QFile::encodeName(APath);
    return !native.isEmpty() && ::stat(native.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(native.constData(), X_OK) == 0;
}

QString FindExecutableInPath(const QString& AName) {
    if (AName.isEmpty())
        return {};
    if (AName.contains(u'/'))
        return IsExecutableFile(AName) ? AName : QString();
    const QString path = qEnvironmentVariable("PATH");
    for (const QString& folder : path.split(u':', Qt::SkipEmptyParts)) {
        const QString candidate = QDir(folder).filePath(AName);
        if (IsExecutableFile(candidate))
            return candidate;
    }
    return {};
}

QString DescribeProgramEnd(const TChildProgramResult& AResult) {
    if (AResult.Signal != 0)
        return QStringLiteral("ended by signal ") + QString::number(AResult.Signal);
    return QStringLiteral("exit code ") + QString::number(AResult.ExitCode);
}

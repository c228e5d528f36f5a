#include "platform/mail_client.h"

#include <QStringList>

#include "platform/child_program.h"

namespace {

// What a failed mail program said, kept short enough for one log line.
QString QuotedOutput(const QByteArray& AOutput) {
    QString text = QString::fromLocal8Bit(AOutput).trimmed();
    constexpr qsizetype KLimit = 500;
    if (text.size() > KLimit)
        text = text.left(KLimit) + QStringLiteral("...");
    text.replace(u'\n', u' ');
    return text.isEmpty() ? QString() : QStringLiteral(": ") + text;
}

QString ProgramFromEnvironment(const char* AVariable, const QStringList& ACandidates) {
    const QString configured = qEnvironmentVariable(AVariable);
    if (!configured.isEmpty())
        return configured;
    for (const QString& candidate : ACandidates) {
        const QString found = FindExecutableInPath(candidate);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString RunMailProgram(const QString& AWhat, const TChildProgramRequest& ARequest,
                       const QByteArray& AInput) {
    const TChildProgramResult result = RunChildProgram(ARequest, true, AInput);
    if (!result.Started)
        return result.StartError;
    if (result.ExitCode != 0 || result.Signal != 0)
        return AWhat + QStringLiteral(" \"") + ARequest.Program + QStringLiteral("\" failed (") +
               DescribeProgramEnd(result) + QStringLiteral(")") + QuotedOutput(result.Output);
    return {};
}

}  // namespace

QString SendMailThroughSendmail(const QByteArray& AMessage) {
    TChildProgramRequest request;
    // Not every user's PATH holds the system folders where sendmail lives.
    request.Program = ProgramFromEnvironment(
        "PLOVANE_SENDMAIL", {QStringLiteral("sendmail"), QStringLiteral("/usr/sbin/sendmail"),
                             QStringLiteral("/usr/lib/sendmail")});
    if (request.Program.isEmpty())
        return QStringLiteral(
            "No sendmail-compatible mail program was found (install one, or name it in "
            "PLOVANE_SENDMAIL).");
    request.Arguments = {QStringLiteral("-t"), QStringLiteral("-i")};
    return RunMailProgram(QStringLiteral("The mail program"), request, AMessage);
}

QString OpenMailComposeWindow(const TMailCompose& AMail) {
    TChildProgramRequest request;
    request.Program = ProgramFromEnvironment("PLOVANE_XDG_EMAIL", {QStringLiteral("xdg-email")});
    if (request.Program.isEmpty())
        return QStringLiteral(
            "xdg-email, which opens the mail program's compose window, was not found (install "
            "xdg-utils, or name another program in PLOVANE_XDG_EMAIL).");
    request.Arguments = {QStringLiteral("--utf8"), QStringLiteral("--subject"), AMail.Subject,
                         QStringLiteral("--body"), AMail.Body};
    if (!AMail.AttachmentPath.isEmpty())
        request.Arguments << QStringLiteral("--attach") << AMail.AttachmentPath;
    request.Arguments << AMail.To;
    return RunMailProgram(QStringLiteral("The compose window program"), request, {});
}

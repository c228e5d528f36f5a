#include "platform/shell_start.h"

#include <QFileInfo>

#include "platform/child_program.h"

QString ShellVerbFor(const QString& ATarget) {
    return QFileInfo(ATarget).suffix().toLower() == u"rdp" ? QStringLiteral("connect")
                                                           : QStringLiteral("open");
}

QString ShellStart(const TShellStartRequest& ARequest) {
    if (!QFileInfo::exists(ARequest.Target))
        return QStringLiteral("The program or document \"") + ARequest.Target +
               QStringLiteral("\" does not exist.");
    TChildProgramRequest child;
    child.WorkFolder = ARequest.WorkFolder;
    const bool isProgram = IsExecutableFile(ARequest.Target);
    if (isProgram) {
        child.Program = ARequest.Target;
        child.Arguments = ARequest.Arguments;
    } else {
        child.Program = FindExecutableInPath(QStringLiteral("xdg-open"));
        if (child.Program.isEmpty())
            return QStringLiteral("\"") + ARequest.Target +
                   QStringLiteral(
                       "\" is no executable program, and xdg-open, which opens "
                       "documents, was not found.");
        // Absolute: xdg-open runs in the document's folder, not in ours.
        child.Arguments = QStringList{QFileInfo(ARequest.Target).absoluteFilePath()};
    }
    if (!ARequest.Wait)
        return StartChildProgramDetached(child);
    const TChildProgramResult result = RunChildProgram(child, false);
    if (!result.Started)
        return result.StartError;
    // xdg-open's own failure means nothing was opened; a program's exit status is its own.
    if (!isProgram && (result.ExitCode != 0 || result.Signal != 0))
        return QStringLiteral("xdg-open could not open \"") + ARequest.Target +
               QStringLiteral("\" (") + DescribeProgramEnd(result) + QStringLiteral(").");
    return {};
}

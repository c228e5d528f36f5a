#pragma once

#include <QString>
#include <QStringList>

// Starting a program or opening a document the way a desktop shell does, optionally waiting.
// An executable file is started directly with its arguments; anything else is handed to
// xdg-open, which opens it with the program associated with its type. A relative target is
// taken from the current folder. Linux has no shell verbs: the verb is kept for platforms
// that have them, and both "open" and "connect" start the same way here.
struct TShellStartRequest {
    QString Target;         // the program or document, as typed
    QStringList Arguments;  // for a program, one word each; a document takes none
    QString WorkFolder;     // empty: the current folder
    QString Verb = QStringLiteral("open");
    bool Wait = false;  // wait until the started process has ended
};

// "connect" for a remote-desktop file (".rdp", in any case), otherwise "open".
QString ShellVerbFor(const QString& ATarget);

// Empty when the program was started (and, when asked, has ended), else why it could not be
// started. What the started program does and how it ends is not judged.
QString ShellStart(const TShellStartRequest& ARequest);

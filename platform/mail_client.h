#pragma once

#include <QByteArray>
#include <QString>

// The user's mail program, reached the Unix way: a finished message is handed to a
// sendmail-compatible program ("sendmail -t -i": recipients from the message's headers, a lone
// "." line not special), and a compose window is opened through xdg-email. The environment
// variables PLOVANE_SENDMAIL and PLOVANE_XDG_EMAIL name other programs to use instead.

// Sends the message (MIME, lines ending in LF). Empty on success, else why it failed: no mail
// program found, it could not be started, or it ended with an error (its output is quoted).
QString SendMailThroughSendmail(const QByteArray& AMessage);

// What the compose window is filled with.
struct TMailCompose {
    QString To;
    QString Subject;
    QString Body;
    QString AttachmentPath;  // empty: no attachment
};

// Opens the mail program's compose window, filled in. Empty when it was opened (whatever the
// user then does there), else why not.
QString OpenMailComposeWindow(const TMailCompose& AMail);

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One e-mail as the send email plugin builds it: one "To" recipient, a subject, a body and at
// most one attached file.
struct TMailMessage {
    QString To;
    QString Subject;
    QString Body;
    QString AttachmentPath;  // empty: no attachment
};

// The body as sent: a body that is not empty ends with CR LF (added when missing).
QString MailBodyWithLineEnd(const QString& ABody);

// Refuses, with EqvParamWrong, what would let a text change the message's headers or the mail
// program's arguments: an empty address, a line break in the address or the subject, an
// address starting with "-".
void CheckMailFields(const TMailMessage& AMessage);

// The message in MIME for a sendmail-compatible program, lines ending in LF: UTF-8 throughout,
// the subject encoded by RFC 2047 where it is not plain ASCII, the body base64-encoded (so its
// CR LF line ends reach the recipient as they are), the attachment base64-encoded with its file
// name and a MIME type from the MIME database. AMessage must have passed CheckMailFields; the
// attachment is read here (EqvOperationNotPossible when it cannot be). ABoundary separates the
// parts of a message with an attachment.
QByteArray BuildMimeMessage(const TMailMessage& AMessage, const QDateTime& ADate,
                            const QByteArray& ABoundary);

// A boundary no base64 text and no header of ours can hold.
QByteArray NewMimeBoundary();

#include "plugins/text_files/send_email/mail_message.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRandomGenerator>

#include "base/exceptions.h"

namespace {

bool IsPlainAscii(const QString& AText) {
    for (const QChar c : AText) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    return true;
}

// RFC 2047 encoded words of at most 75 characters, split between whole characters.
QByteArray EncodedWords(const QString& AText) {
    constexpr qsizetype KMaxPayload = 45;  // bytes of UTF-8 per word: 60 in base64
    QByteArray result;
    QByteArray chunk;
    const auto flush = [&] {
        if (chunk.isEmpty())
            return;
        if (!result.isEmpty())
            result += "\n ";
        result += "=?UTF-8?B?" + chunk.toBase64() + "?=";
        chunk.clear();
    };
    for (qsizetype i = 0; i < AText.size(); ++i) {
        qsizetype length = 1;
        if (AText.at(i).isHighSurrogate() && i + 1 < AText.size())
            length = 2;
        const QByteArray bytes = AText.mid(i, length).toUtf8();
        i += length - 1;
        if (chunk.size() + bytes.size() > KMaxPayload)
            flush();
        chunk += bytes;
    }
    flush();
    return result;
}

QByteArray HeaderText(const QString& AText) {
    // "=?" in plain text would read as the start of an encoded word.
    if (IsPlainAscii(AText) && !AText.contains(QStringLiteral("=?")) && AText.size() <= 900)
        return AText.toLatin1();
    return EncodedWords(AText);
}

QByteArray Base64Lines(const QByteArray& ABytes) {
    const QByteArray encoded = ABytes.toBase64();
    QByteArray lines;
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        lines += encoded.mid(i, 76) + '\n';
    return lines;
}

// A MIME parameter: quoted when plain ASCII, else RFC 2231 UTF-8 with percent escapes.
QByteArray Parameter(const char* AName, const QString& AValue) {
    if (IsPlainAscii(AValue) && !AValue.contains(u'"') && !AValue.contains(u'\\'))
        return QByteArray(AName) + "=\"" + AValue.toLatin1() + '"';
    return QByteArray(AName) + "*=UTF-8''" + AValue.toUtf8().toPercentEncoding();
}

QByteArray TextPart(const QString& ABody) {
    return "Content-Type: text/plain; charset=UTF-8\n"
           "Content-Transfer-Encoding: base64\n\n" +
           Base64Lines(MailBodyWithLineEnd(ABody).toUtf8());
}

}  // namespace

QString MailBodyWithLineEnd(const QString& ABody) {
    if (ABody.isEmpty() || ABody.endsWith(QStringLiteral("\r\n")))
        return ABody;
    return ABody + QStringLiteral("\r\n");
}

void CheckMailFields(const TMailMessage& AMessage) {
    const auto hasBreak = [](const QString& AText) {
        return AText.contains(u'\r') || AText.contains(u'\n') || AText.contains(QChar(0x2028)) ||
               AText.contains(QChar(0x2029)) || AText.contains(QChar(0x85));
    };
    if (AMessage.To.trimmed().isEmpty())
        throw EqvParamWrong(QStringLiteral("The email address is empty; nothing was sent."));
    if (hasBreak(AMessage.To))
        throw EqvParamWrong(
            QStringLiteral("The email address holds a line break; nothing was sent."));
    if (AMessage.To.startsWith(u'-'))
        throw EqvParamWrong(
            QStringLiteral("The email address \"") + AMessage.To +
            QStringLiteral("\" starts with \"-\" and is no address; nothing was sent."));
    if (hasBreak(AMessage.Subject))
        throw EqvParamWrong(
            QStringLiteral("The email subject holds a line break; nothing was sent."));
}

QByteArray BuildMimeMessage(const TMailMessage& AMessage, const QDateTime& ADate,
                            const QByteArray& ABoundary) {
    QByteArray message = "To: " + AMessage.To.toUtf8() + '\n';
    message += "Subject: " + HeaderText(AMessage.Subject) + '\n';
    message += "Date: " + ADate.toString(Qt::RFC2822Date).toLatin1() + '\n';
    message += "MIME-Version: 1.0\n";
    if (AMessage.AttachmentPath.isEmpty())
        return message + TextPart(AMessage.Body);

    QFile file(AMessage.AttachmentPath);
    if (!file.open(QIODevice::ReadOnly))
        throw EqvOperationNotPossible(
            QStringLiteral("The attachment \"") + AMessage.AttachmentPath +
            QStringLiteral("\" could not be read: ") + file.errorString());
    const QByteArray content = file.readAll();
    if (content.size() != file.size())
        throw EqvOperationNotPossible(
            QStringLiteral("The attachment \"") + AMessage.AttachmentPath +
            QStringLiteral("\" could not be read: ") + file.errorString());
    const QString fileName = QFileInfo(AMessage.AttachmentPath).fileName();
    const QByteArray type =
        QMimeDatabase().mimeTypeForFile(AMessage.AttachmentPath).name().toLatin1();
    message += "Content-Type: multipart/mixed; boundary=\"" + ABoundary + "\"\n\n";
    message += "--" + ABoundary + '\n' + TextPart(AMessage.Body);
    message += "--" + ABoundary + '\n';
    message += "Content-Type: " + (type.isEmpty() ? QByteArray("application/octet-stream") : type) +
               "; " + Parameter("name", fileName) + '\n';
    message += "Content-Disposition: attachment; " + Parameter("filename", fileName) + '\n';
    message += "Content-Transfer-Encoding: base64\n\n";
    message += Base64Lines(content);
    message += "--" + ABoundary + "--\n";
    return message;
}

QByteArray NewMimeBoundary() {
    // "=_" never occurs in base64 text, nor in our headers.
    return "=_plovane_" + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
}

// The e-mail message builder: the input is address, subject, body, attachment name and
// attachment bytes, separated by zero bytes (UTF-8). Checks, on every message the field check
// lets through: the message has exactly the headers it should (no text adds one), its address
// and subject read back as given (encoded words decoded), and its body and attachment parts,
// base64 decoded, give back the body with its line end and the attachment's bytes and name.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/exceptions.h"
#include "plugins/text_files/send_email/mail_message.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct THeader {
    QByteArray Name;
    QByteArray Value;  // unfolded
};

// Header lines up to the first empty line (folded lines start with a blank); ARest gets what
// follows the empty line.
QList<THeader> ParseHeaders(const QByteArray& AText, QByteArray& ARest) {
    const qsizetype end = AText.indexOf("\n\n");
    if (end < 0)
        FuzzFinding("no empty line after the headers");
    ARest = AText.mid(end + 2);
    QList<THeader> headers;
    for (const QByteArray& line : AText.left(end).split('\n')) {
        if (!headers.isEmpty() && (line.startsWith(' ') || line.startsWith('\t'))) {
            headers.last().Value += line;
            continue;
        }
        const qsizetype colon = line.indexOf(": ");
        if (colon <= 0)
            FuzzFinding("a header line without a name:", QString::fromUtf8(line));
        headers.append({line.left(colon), line.mid(colon + 2)});
    }
    return headers;
}

QByteArray NamesOf(const QList<THeader>& AHeaders) {
    QByteArrayList names;
    for (const THeader& header : AHeaders)
        names << header.Name;
    return names.join(',');
}

// A subject as a reader decodes it: encoded words (separated by blanks, which then do not
// count) or plain text.
QString DecodeSubject(const QByteArray& AValue) {
    if (!AValue.startsWith("=?UTF-8?B?"))
        return QString::fromLatin1(AValue);
    QByteArray bytes;
    for (const QByteArray& word : AValue.split(' ')) {
        if (word.isEmpty())
            continue;
        if (!word.startsWith("=?UTF-8?B?") || !word.endsWith("?="))
            FuzzFinding("a broken encoded word:", QString::fromLatin1(AValue));
        if (word.size() > 75)
            FuzzFinding("an encoded word longer than 75 characters");
        bytes += QByteArray::fromBase64(word.mid(10, word.size() - 12));
    }
    return QString::fromUtf8(bytes);
}

// The base64 lines of a part, checked for their length, decoded.
QByteArray DecodeLines(const QByteArray& ALines) {
    for (const QByteArray& line : ALines.split('\n'))
        if (line.size() > 76)
            FuzzFinding("a base64 line longer than 76 characters");
    return QByteArray::fromBase64(QByteArray(ALines).replace('\n', ""),
                                  QByteArray::AbortOnBase64DecodingErrors);
}

// The file name of an attachment's parameter, quoted or in RFC 2231 form.
QString ParameterValue(const QByteArray& AHeader, const QByteArray& AName) {
    const qsizetype plain = AHeader.indexOf(AName + "=\"");
    if (plain >= 0) {
        const qsizetype start = plain + AName.size() + 2;
        return QString::fromLatin1(AHeader.mid(start, AHeader.indexOf('"', start) - start));
    }
    const qsizetype encoded = AHeader.indexOf(AName + "*=UTF-8''");
    if (encoded < 0)
        return {};
    return QString::fromUtf8(
        QByteArray::fromPercentEncoding(AHeader.mid(encoded + AName.size() + 9)));
}

TTempFolder& Temp() {
    static TTempFolder* temp = new TTempFolder();
    return *temp;
}

void Check(const TMailMessage& AMessage, const QByteArray& AAttachment) {
    const QByteArray boundary = NewMimeBoundary();
    const QByteArray message = BuildMimeMessage(AMessage, QDateTime::currentDateTime(), boundary);
    QByteArray body;
    const QList<THeader> headers = ParseHeaders(message, body);
    const bool attached = !AMessage.AttachmentPath.isEmpty();
    const QByteArray expectedNames =
        attached ? "To,Subject,Date,MIME-Version,Content-Type"
                 : "To,Subject,Date,MIME-Version,Content-Type,Content-Transfer-Encoding";
    if (NamesOf(headers) != expectedNames)
        FuzzFinding("the headers are not the expected ones:", QString::fromUtf8(NamesOf(headers)));
    if (QString::fromUtf8(headers[0].Value) != AMessage.To)
        FuzzFinding("the address changed:", AMessage.To);
    if (DecodeSubject(headers[1].Value) != AMessage.Subject)
        FuzzFinding("the subject changed:", AMessage.Subject);
    const QByteArray expectedBody = MailBodyWithLineEnd(AMessage.Body).toUtf8();
    if (!attached) {
        if (DecodeLines(body) != expectedBody)
            FuzzFinding("the body changed:", AMessage.Body);
        return;
    }
    const QList<QByteArray> parts = body.split('\n');
    QByteArrayList chunks;  // the parts between the boundary lines
    QByteArray current;
    bool closed = false;
    for (const QByteArray& line : parts) {
        if (line == "--" + boundary) {
            chunks << current;
            current.clear();
        } else if (line == "--" + boundary + "--") {
            chunks << current;
            closed = true;
            break;
        } else {
            current += line + '\n';
        }
    }
    if (!closed || chunks.size() != 3)
        FuzzFinding("the parts are not the text and the attachment");
    QByteArray text;
    const QList<THeader> textHeaders = ParseHeaders(chunks[1], text);
    if (NamesOf(textHeaders) != "Content-Type,Content-Transfer-Encoding" ||
        DecodeLines(text) != expectedBody)
        FuzzFinding("the body part changed:", AMessage.Body);
    QByteArray file;
    const QList<THeader> fileHeaders = ParseHeaders(chunks[2], file);
    if (NamesOf(fileHeaders) != "Content-Type,Content-Disposition,Content-Transfer-Encoding")
        FuzzFinding("the attachment's headers are not the expected ones");
    if (DecodeLines(file) != AAttachment)
        FuzzFinding("the attachment's bytes changed");
    const QString name = QFileInfo(AMessage.AttachmentPath).fileName();
    if (ParameterValue(fileHeaders[1].Value, "filename") != name ||
        ParameterValue(fileHeaders[0].Value, "name") != name)
        FuzzFinding("the attachment's name changed:", name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const QList<QByteArray> fields = FuzzBytes(AData, ASize).split('\0');
    TMailMessage message;
    message.To = QString::fromUtf8(fields.value(0));
    message.Subject = QString::fromUtf8(fields.value(1));
    message.Body = QString::fromUtf8(fields.value(2));
    try {
        CheckMailFields(message);
    } catch (const EqvParamWrong&) {
        return 0;  // refused before anything is built
    }
    Check(message, {});
    // The attachment: a file of the given name (when the name can be one) and bytes.
    QString name = QString::fromUtf8(fields.value(3)).left(100);
    if (name.isEmpty() || name.contains(u'/') || name == u"." || name == u".." ||
        name.toUtf8().size() > 200)
        name = QStringLiteral("a.bin");
    const QByteArray bytes = fields.mid(4).join('\0');
    const QString folder = Temp().MakeFolder(QStringLiteral("attachment"));
    RemoveTreeNative(folder);
    const QString path = Temp().WriteFile(QStringLiteral("attachment/") + name, bytes);
    if (!QFile::exists(path))
        return 0;
    message.AttachmentPath = path;
    Check(message, bytes);
    return 0;
}

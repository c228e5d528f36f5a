#include "plugins/web_media/ftp_uploader/ftp_server_row.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "base/exceptions.h"

namespace {

const QString KTlsPrefix = QStringLiteral("ftpes://");

// The extensions of files sent as text when the transfer mode is "auto".
const QStringList& AsciiExtensions() {
    static const QStringList list =
        QStringLiteral(
            "xml,dtd,htm,html,shtm,xhtml,shtml,jhtml,phtml,mhtml,chtml,php,php3,php4,php5,php6,"
            "asp,aspx,cfc,cfm,cfml,cms,ece,do,jsp,jspa,pl,mvc,cgi,css,js,dic,stw,log,ini,txt,inc,"
            "bat,sht,sh,c,cpp,pas,dpr,java")
            .split(u',');
    return list;
}

bool IsSlash(QChar AChar) {
    return AChar == u'/' || AChar == u'\\';
}

QString RemoveLeadingSlash(QString AText) {
    if (!AText.isEmpty() && IsSlash(AText.front()))
        AText.remove(0, 1);
    return AText;
}

QString RemoveTrailingSlash(QString AText) {
    if (!AText.isEmpty() && IsSlash(AText.back()))
        AText.chop(1);
    return AText;
}

QString OneOf(const QString& AValue, const QStringList& AChoices, const QString& AOtherwise) {
    const QString lower = AValue.toLower();
    return AChoices.contains(lower) ? lower : AOtherwise;
}

}  // namespace

QString TFtpServerRow::StringID() const {
    return Host + Port + Login + Password;
}

QString TFtpServerRow::ShownStringID() const {
    return MaskPassword(StringID());
}

QStringList TFtpServerRow::ClientKey() const {
    return {Host, Port, Login, Password, ConnectMode};
}

QString TFtpServerRow::MaskPassword(const QString& AText) const {
    return Password.isEmpty() ? AText : QString(AText).replace(Password, QStringLiteral("***"));
}

int TFtpServerRow::PortNumber() const {
    bool ok = false;
    const int port = Port.toInt(&ok, 10);
    if (!ok || port < 1 || port > 65535)
        throw EqvParamWrong(QStringLiteral("\"") + Port +
                            QStringLiteral("\" is not a valid port number."));
    return port;
}

bool TFtpServerRow::ExplicitTls() const {
    return Host.startsWith(KTlsPrefix, Qt::CaseInsensitive);
}

QString TFtpServerRow::HostName() const {
    return ExplicitTls() ? Host.mid(KTlsPrefix.size()) : Host;
}

bool TFtpServerRow::UsesAscii(const QString& AFileName) const {
    if (TransferMode != QStringLiteral("auto"))
        return TransferMode == QStringLiteral("ascii");
    const qsizetype dot = AFileName.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    return AsciiExtensions().contains(AFileName.mid(dot + 1).toLower());
}

bool TFtpServerRow::UsesAsciiForFile(const QString& ALocalFile) const {
    if (!UsesAscii(QFileInfo(ALocalFile).fileName()))
        return false;
    if (TransferMode != QStringLiteral("auto"))
        return true;
    QFile file(ALocalFile);
    const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(2) : QByteArray();
    return head != QByteArray("\xFF\xFE") && head != QByteArray("\xFE\xFF");
}

QString NormaliseFtpCell(const QString& AColID, const QString& AValue) {
    if (AColID == QStringLiteral("HOST"))
        return RemoveTrailingSlash(RemoveLeadingSlash(AValue));
    if (AColID == QStringLiteral("REMOTE_START_DIR"))
        return RemoveTrailingSlash(RemoveLeadingSlash(AValue));
    if (AColID == QStringLiteral("CONNECT_MODE"))
        return OneOf(AValue, {QStringLiteral("active"), QStringLiteral("passive")},
                     QStringLiteral("auto"));
    if (AColID == QStringLiteral("OVERRIDE_MODE"))
        return OneOf(AValue, {QStringLiteral("newer")}, QStringLiteral("always"));
    if (AColID == QStringLiteral("TRANSFER_MODE"))
        return OneOf(AValue, {QStringLiteral("ascii"), QStringLiteral("binary")},
                     QStringLiteral("auto"));
    return AValue;
}

QString RelativeDirectoryBelowRoot(const QString& ARootBatchPath, const QString& ALocalFile) {
    if (!ALocalFile.startsWith(ARootBatchPath))
        throw EqvParamWrong(QStringLiteral("The file \"") + ALocalFile +
                            QStringLiteral("\" is not below the batch root \"") + ARootBatchPath +
                            QStringLiteral("\"."));
    QString relative = ALocalFile.mid(ARootBatchPath.size());
    relative.replace(u'\\', u'/');
    return relative.left(relative.lastIndexOf(u'/') + 1);
}

QString JoinRemoteDirectory(const QString& ALoginDirectory, const QString& AStartDirectory,
                            const QString& ARelativeDirectory) {
    QStringList parts;
    for (const QString& part : {ALoginDirectory, AStartDirectory, ARelativeDirectory})
        for (const QString& piece : part.split(u'/', Qt::SkipEmptyParts))
            parts << piece;
    return parts.isEmpty() ? QStringLiteral("/") : u'/' + parts.join(u'/') + u'/';
}

std::int64_t LocalFileTimeTwoSeconds(const QString& ALocalFile) {
    const QFileInfo info(ALocalFile);
    if (!info.exists())
        return 0;
    const std::int64_t seconds = info.lastModified().toMSecsSinceEpoch() / 1000;
    // Floored, also for times before 1970.
    return seconds - ((seconds % 2) + 2) % 2;
}

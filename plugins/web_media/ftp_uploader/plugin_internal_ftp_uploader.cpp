#include "plugins/web_media/ftp_uploader/plugin_internal_ftp_uploader.h"

#include <QFileInfo>

#include <utility>

#include "base/exceptions.h"
#include "plugin_host/internal_plugin_info.h"
#include "plugins/text_files/text_helpers/grid_rows.h"

namespace {

const QString KPropServers = QStringLiteral("FtpServersUploadList");
const QString KColHost = QStringLiteral("HOST");
const QString KColPort = QStringLiteral("PORT");
const QString KColStartDir = QStringLiteral("REMOTE_START_DIR");
const QString KColConnectMode = QStringLiteral("CONNECT_MODE");
const QString KColOverrideMode = QStringLiteral("OVERRIDE_MODE");
const QString KColTransferMode = QStringLiteral("TRANSFER_MODE");
const QString KColLogin = QStringLiteral("LOGIN");
const QString KColPassword = QStringLiteral("PASSWORD");

// A remote copy this much (0.000001 day) older than the local file is still up to date.
constexpr double KNewerMarginSeconds = 0.0864;

QString HelpText() {
    const QString gap = QStringLiteral("\r\n\r\n");
    return QStringLiteral(
               "If you have a firewall installed, be aware that this plugin might "
               "trigger it. You will possibly need to configure your firewall.") +
           gap +
           QStringLiteral(
               "Remember, depending on the operating system of your host, things such "
               "as remote start dir etc. may be case sensitive.") +
           gap +
           QStringLiteral(
               "Remember to have a backup of the files on the FTP servers you upload "
               "to.") +
           gap +
           QStringLiteral(
               "Files will be placed in the same structure (with directories created "
               "as needed) as they are placed in the work directory path.") +
           gap +
           QStringLiteral(
               "\"Transfer Mode\" can be \"ascii\" (typical for text files), \"binary\" "
               "(typical for all other), or \"auto\" (which will try guess when to use "
               "\"ascii\" and else use \"binary\").");
}

}  // namespace

TFtpUploaderSetup TFtpUploaderSetup::FromEnvironment() {
    TFtpUploaderSetup setup;
    setup.Trust.CaFile = qEnvironmentVariable("SSL_CERT_FILE");
    setup.Trust.CaFolder = qEnvironmentVariable("SSL_CERT_DIR");
    return setup;
}

TPluginInternal_FtpUploader::TPluginInternal_FtpUploader()
    : TPluginInternal_FtpUploader(TFtpUploaderSetup::FromEnvironment()) {}

TPluginInternal_FtpUploader::TPluginInternal_FtpUploader(TFtpUploaderSetup ASetup)
    : FInfo(MakeInternalPluginInfo(QStringLiteral("FtpUploader"),
                                   QStringLiteral("Upload files to FTP servers."),
                                   QStringLiteral("1.0"))),
      FSetup(std::move(ASetup)) {
    FInfo.HasCompany = QStringLiteral("Kestrin");
    FInfo.PluginCategory = pcWebDevelopment;
    FInfo.CanWorkCategory = PLV_CAN_WORK_FILES;
    FInfo.ReleaseState = PLV_RELEASE_STABLE | PLV_RELEASE_BETA;
}

TPluginInternal_FtpUploader::~TPluginInternal_FtpUploader() = default;

void TPluginInternal_FtpUploader::PluginSetupInit(const TExeInfoHost&,
                                                  IExeInitCallbacks& ACallbacks) {
    ACallbacks.ExeMakePropName(KPropServers, QStringLiteral("FTP Servers Upload"), vptGrid, 0, {},
                               HelpText());
    ACallbacks.ExeSetPropMetasGrid(KPropServers, pgirlRowHasEmptyCellsWhenTrimmed);
}

void TPluginInternal_FtpUploader::PluginSetupPreEdit(const TExeInfoHost&,
                                                     IExePreEditCallbacks& ACallbacks) {
    struct TColumn {
        const QString& ID;
        QString Caption;
        QString Width;
        std::int32_t Flags;
        QString Default;
    };
    const TColumn columns[] = {
        {KColHost, QStringLiteral("Host"), {}, 0, {}},
        {KColPort, QStringLiteral("Port"), QStringLiteral("40+"), KColFlagAlignRight,
         QStringLiteral("21")},
        {KColStartDir, QStringLiteral("Start Dir"), {}, 0, {}},
        {KColConnectMode,
         QStringLiteral("Connect Mode"),
         {},
         KColFlagValueList,
         QStringLiteral(",auto,auto,passive,active")},
        {KColOverrideMode,
         QStringLiteral("Override Mode"),
         {},
         KColFlagValueList,
         QStringLiteral(",always,always,newer")},
        {KColTransferMode,
         QStringLiteral("Transfer Mode"),
         {},
         KColFlagValueList,
         QStringLiteral(",auto,auto,ascii,binary")},
        {KColLogin, QStringLiteral("Login"), {}, 0, QStringLiteral("anonymous")},
        {KColPassword, QStringLiteral("Password"), {}, KColFlagPassword, QStringLiteral("visitr@")},
    };
    const auto count = static_cast<std::int32_t>(std::size(columns));
    ACallbacks.ExeSetPropGridColumnCount(KPropServers, count);
    for (const TColumn& column : columns)
        ACallbacks.ExeAddPropGridColumn(KPropServers, column.ID, column.Caption, column.Width,
                                        column.Flags);
    ACallbacks.ExeSetPropDefaultGridValueCount(KPropServers, count);
    for (std::int32_t i = 0; i < count; ++i)
        ACallbacks.ExeAddPropDefaultGridValue(KPropServers, i, 0, columns[i].Default);
}

void TPluginInternal_FtpUploader::ClearWorkState() {
    // Closing a client logs out of its kept connection.
    FClients.clear();
    FRows.clear();
    FCallbacks = nullptr;
    FRootBatchPath.clear();
}

void TPluginInternal_FtpUploader::PluginSetupWorkStart(const TExeInfoHost&,
                                                       const QString& ARootBatchPath,
                                                       IExeWorkCallbacks& ACallbacks) {
    ClearWorkState();
    FCallbacks = &ACallbacks;
    FRootBatchPath = ARootBatchPath;
}

void TPluginInternal_FtpUploader::PluginSetupWorkEnd(const TExeInfoHost&) {
    const std::lock_guard lock(FUploadLock);
    ClearWorkState();
}

void TPluginInternal_FtpUploader::PluginSetPropGridValueCount(const QString& APropName,
                                                              std::int32_t) {
    if (APropName != KPropServers)
        return;
    FRows.clear();
    FClients.clear();
}

void TPluginInternal_FtpUploader::PluginSetPropGridValue(const QString& APropName,
                                                         const QString& AColID,
                                                         std::int32_t ARowIdx,
                                                         const QString& AFieldValue) {
    if (APropName != KPropServers)
        return;
    TFtpServerRow& row = RuleAt(FRows, ARowIdx);
    const QString value = NormaliseFtpCell(AColID, AFieldValue);
    if (AColID == KColHost)
        row.Host = value;
    else if (AColID == KColPort)
        row.Port = value;
    else if (AColID == KColStartDir)
        row.StartDirectory = value;
    else if (AColID == KColConnectMode)
        row.ConnectMode = value;
    else if (AColID == KColOverrideMode)
        row.OverrideMode = value;
    else if (AColID == KColTransferMode)
        row.TransferMode = value;
    else if (AColID == KColLogin)
        row.Login = value;
    else if (AColID == KColPassword) {
        row.Password = value;
        row.Complete = true;
        CompleteRow(row);
    }
}

void TPluginInternal_FtpUploader::CompleteRow(const TFtpServerRow& ARow) {
    TFtpClientSettings settings;
    settings.Host = ARow.HostName();
    settings.Port = ARow.PortNumber();
    settings.UserName = ARow.Login;
    settings.Password = ARow.Password;
    settings.Passive = ARow.ConnectMode != QStringLiteral("active");
    settings.SwitchDataModeOnFailure = ARow.ConnectMode == QStringLiteral("auto");
    settings.ExplicitTls = ARow.ExplicitTls();
    settings.Timeouts = FSetup.Timeouts;
    settings.Trust = FSetup.Trust;
    FClients.try_emplace(ARow.ClientKey(), std::make_unique<TFtpClient>(std::move(settings)));
}

void TPluginInternal_FtpUploader::Report(const QString& AMessage) const {
    if (FCallbacks != nullptr)
        FCallbacks->ExeHandleWorkPathErrorMsg(AMessage, QString());
}

bool TPluginInternal_FtpUploader::UploadToRow(const TFtpServerRow& ARow, const QString& ALocalFile,
                                              const QString& ARelativeDirectory) {
    const QFileInfo local(ALocalFile);
    const QString fileName = local.fileName();
    const bool ascii = ARow.UsesAsciiForFile(ALocalFile);
    const auto found = FClients.find(ARow.ClientKey());
    if (found == FClients.end()) {
        Report(QStringLiteral("Could not find the ftp client instance in list that matches string "
                              "ID \"") +
               ARow.ShownStringID() + QStringLiteral("\"."));
        return false;
    }
    const std::int64_t localTime = LocalFileTimeTwoSeconds(ALocalFile);

    const std::lock_guard lock(FUploadLock);
    TFtpClient& client = *found->second;
    // A refused login is remembered by the client: the server is not asked again for the
    // other files, each of which still gets this report.
    if (const QString reason = ConnectWithRetry(client); !reason.isEmpty()) {
        Report(QStringLiteral("Could not connect to ftp server \"") + ARow.Host +
               QStringLiteral("\". ") + ARow.MaskPassword(reason));
        return false;
    }
    const QString remoteFile =
        JoinRemoteDirectory(client.LoginDirectory(), ARow.StartDirectory, ARelativeDirectory) +
        fileName;
    if (ARow.OverrideMode == QStringLiteral("newer")) {
        const auto remoteTime = static_cast<double>(client.RemoteFileTime(remoteFile));
        if (!(remoteTime + KNewerMarginSeconds < static_cast<double>(localTime)))
            return true;  // the server's copy is up to date
    }
    try {
        client.Store(ALocalFile, remoteFile, ascii);
    } catch (const std::exception& e) {
        Report(QStringLiteral("The file could not be uploaded to ftp server \"") + ARow.Host +
               QStringLiteral("\" as \"") + remoteFile + QStringLiteral("\": ") +
               ARow.MaskPassword(ExceptionMessage(e)));
    }
    return true;
}

void TPluginInternal_FtpUploader::PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput&) {
    try {
        const QString relative = RelativeDirectoryBelowRoot(FRootBatchPath, AWorkPathNameIn);
        for (const TFtpServerRow& row : FRows)
            if (!UploadToRow(row, AWorkPathNameIn, relative))
                return;
    } catch (const std::exception& e) {
        Report(ExceptionMessage(e));
    }
}

void TPluginInternal_FtpUploader::PluginPrepareVerifyGridRow(const QString& APropName) {
    if (APropName == KPropServers)
        FVerifyRow.clear();
}

void TPluginInternal_FtpUploader::PluginAddVerifyPropGridValue(const QString& APropName,
                                                               const QString& APropValue) {
    if (APropName == KPropServers)
        FVerifyRow << APropValue;
}

void TPluginInternal_FtpUploader::PluginEndVerifyGridRow(const QString& APropName,
                                                         const TExeHandleEditPropGridErrorMsg&) {
    // Every row is acceptable; a wrong server shows when the batch connects.
    if (APropName == KPropServers)
        FVerifyRow.clear();
}

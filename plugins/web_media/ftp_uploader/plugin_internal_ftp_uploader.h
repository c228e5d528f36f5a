#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "plugin_host/plugin_internal.h"
#include "plugins/web_media/ftp_uploader/ftp_client.h"
#include "plugins/web_media/ftp_uploader/ftp_server_row.h"

// What the uploader's clients are made with beyond the grid: the time-outs and where server
// certificates are checked.
struct TFtpUploaderSetup {
    TFtpTimeouts Timeouts;
    TFtpTrust Trust;

    // The default time-outs; the certificate store named by SSL_CERT_FILE and SSL_CERT_DIR when
    // they are set, else the system's.
    static TFtpUploaderSetup FromEnvironment();
};

// Uploads every file passed to it to the FTP servers of its grid, keeping the file's place
// below the batch root. One logged-in connection per server is kept for the whole combination
// and used for every file; all FTP work in the program runs one transfer at a time.
class TPluginInternal_FtpUploader : public TPluginInternal {
public:
    TPluginInternal_FtpUploader();
    explicit TPluginInternal_FtpUploader(TFtpUploaderSetup ASetup);
    ~TPluginInternal_FtpUploader() override;

    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks& ACallbacks) override;
    void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks& ACallbacks) override;
    void PluginSetupWorkStart(const TExeInfoHost&, const QString& ARootBatchPath,
                              IExeWorkCallbacks& ACallbacks) override;
    void PluginSetupWorkEnd(const TExeInfoHost&) override;
    void PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput& AOut) override;
    void PluginPrepareVerifyGridRow(const QString& APropName) override;
    void PluginAddVerifyPropGridValue(const QString& APropName, const QString& APropValue) override;
    void PluginEndVerifyGridRow(const QString& APropName,
                                const TExeHandleEditPropGridErrorMsg& AExeCallBack) override;
    void PluginSetPropGridValueCount(const QString& APropName, std::int32_t AValueCount) override;
    void PluginSetPropGridValue(const QString& APropName, const QString& AColID,
                                std::int32_t ARowIdx, const QString& AFieldValue) override;

private:
    // Makes the client of a row whose password arrived, unless one with its ID exists.
    void CompleteRow(const TFtpServerRow& ARow);
    // Uploads one file to one server row; false when the path's work must end here.
    bool UploadToRow(const TFtpServerRow& ARow, const QString& ALocalFile,
                     const QString& ARelativeDirectory);
    void Report(const QString& AMessage) const;
    void ClearWorkState();

    TPluginInfoHost FInfo;
    TFtpUploaderSetup FSetup;
    // Set up on the engine thread from work start through the delivery, only read while paths
    // are worked on.
    IExeWorkCallbacks* FCallbacks = nullptr;
    QString FRootBatchPath;
    std::vector<TFtpServerRow> FRows;
    std::map<QStringList, std::unique_ptr<TFtpClient>> FClients;
    // One transfer at a time in the whole program; also guards the clients while they work.
    std::mutex FUploadLock;
    QStringList FVerifyRow;
};

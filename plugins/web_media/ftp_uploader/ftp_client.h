#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>

// How long a client waits before it gives up: for the connection and login, and for a
// transfer or a reply during which no byte moves.
struct TFtpTimeouts {
    std::chrono::milliseconds Connect = std::chrono::seconds(30);
    std::chrono::milliseconds Stall = std::chrono::seconds(60);
};

// Where certificates of explicit-TLS servers are checked against; empty: the system's store.
struct TFtpTrust {
    QString CaFile;
    QString CaFolder;
};

// What a client needs to reach one server and log in.
struct TFtpClientSettings {
    QString Host;
    int Port = 21;
    QString UserName;
    QString Password;
    bool Passive = true;
    // When a data connection cannot be made in one mode, the other one is tried, and kept.
    bool SwitchDataModeOnFailure = false;
    // AUTH TLS on the control connection and a protected data channel, certificate verified.
    bool ExplicitTls = false;
    TFtpTimeouts Timeouts;
    TFtpTrust Trust;
};

// One FTP server connection through libcurl. The logged-in connection is kept between the
// operations and used again; libcurl opens a new one when the server closed it meanwhile, and an
// operation that fails on a kept connection because it broke is tried once more on a fresh one.
// Not for use by several threads at once.
class TFtpClient {
public:
    explicit TFtpClient(TFtpClientSettings ASettings);
    ~TFtpClient();
    TFtpClient(const TFtpClient&) = delete;
    TFtpClient& operator=(const TFtpClient&) = delete;

    const TFtpClientSettings& Settings() const { return FSettings; }
    bool Passive() const { return FSettings.Passive; }
    void SetPassive(bool APassive) { FSettings.Passive = APassive; }

    bool Connected() const { return FConnected; }
    // Connects and logs in (also when already connected: the login is checked again). Throws
    // EqvOperationNotPossible with the reason. Once the server has refused the login, it is not
    // asked again: every later Connect throws with that refusal.
    void Connect();
    // The server's refusal of the login (empty while none came).
    const QString& LoginRefusal() const { return FLoginRefusal; }
    // The directory the login started in (the server's answer to PWD), known once connected.
    const QString& LoginDirectory() const { return FLoginDirectory; }
    // The modification time of an absolute remote file in seconds since 1970 (UTC); 0 when the
    // server tells none (a missing file, no MDTM).
    std::int64_t RemoteFileTime(const QString& ARemoteFile);
    // Stores a local file under an absolute remote name, creating the missing remote folders
    // first. Its size as sent is reserved on the server first (a refusal of that is no
    // failure). AAscii sends it as text (TYPE A) with the network's CR LF line ends: a bare LF
    // becomes CR LF, a CR LF stays as it is. Throws EqvOperationNotPossible with the server's
    // reply when the file was not stored whole.
    void Store(const QString& ALocalFile, const QString& ARemoteFile, bool AAscii);
    // Logs out and closes the connection.
    void Disconnect();

private:
    struct TCurl;
    // The URL of an absolute remote path ("/" alone: the server itself).
    QByteArray UrlOf(const QString& ARemotePath) const;
    void ApplyCommonOptions();
    QString FailureText(int ACode) const;

    TFtpClientSettings FSettings;
    std::unique_ptr<TCurl> FCurl;
    bool FConnected = false;
    QString FLoginDirectory;
    QString FLoginRefusal;
};

// Text with the network's line ends, as a text transfer sends it: every LF that does not follow
// a CR gets one put before it; everything else is kept. APreviousCR carries whether the byte
// before AText was a CR, so a file can be converted piece by piece.
QByteArray ToNetworkLineEnds(const QByteArray& AText, bool& APreviousCR);

// Connects unless connected: on a failure flips the passive setting and tries once more (not
// when the login was refused, which no mode changes), then restores the setting as it was. Empty
// when a connection exists, else the reason of the last attempt.
QString ConnectWithRetry(TFtpClient& AClient);

#include "plugins/web_media/ftp_uploader/ftp_client.h"

#include <QFile>
#include <QScopeGuard>
#include <QStringList>
#include <QUrl>

#include <curl/curl.h>
#include <sys/select.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>

#include "base/exceptions.h"

namespace {

// libcurl's process-wide set-up is not safe to run on two threads at once; done once, before the
// first handle, and never undone (other parts of the process may use libcurl as well).
void EnsureCurlReady() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

long WholeSeconds(std::chrono::milliseconds ATime) {
    return std::max<long>(1, static_cast<long>((ATime.count() + 999) / 1000));
}

// Failures that mean the connection itself broke (the server closed a kept connection), so one
// more try on a new connection may succeed.
bool IsBrokenConnection(CURLcode ACode) {
    switch (ACode) {
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_WEIRD_SERVER_REPLY:
            return true;
        default:
            return false;
    }
}

// Reads the local file for an upload; rewound when the upload is tried again. A text upload
// hands on the file converted to network line ends.
struct TUploadSource {
    std::FILE* File = nullptr;
    bool ReadFailed = false;
    bool Ascii = false;
    bool PreviousCR = false;
    QByteArray Pending;  // converted bytes not yet handed on

    void Rewind() {
        std::rewind(File);
        ReadFailed = false;
        PreviousCR = false;
        Pending.clear();
    }
};

// What libcurl would otherwise write to standard output: the header-like lines it makes of a
// file's time and size.
size_t DiscardData(char*, size_t ASize, size_t ACount, void*) {
    return ASize * ACount;
}

size_t ReadUpload(char* ABuffer, size_t ASize, size_t ACount, void* AUser) {
    auto* source = static_cast<TUploadSource*>(AUser);
    const size_t room = ASize * ACount;
    if (!source->Ascii || room == 0) {
        const size_t got = std::fread(ABuffer, 1, room, source->File);
        if (got == 0 && std::ferror(source->File)) {
            source->ReadFailed = true;
            return CURL_READFUNC_ABORT;
        }
        return got;
    }
    if (source->Pending.isEmpty()) {
        QByteArray chunk(static_cast<qsizetype>(room), Qt::Uninitialized);
        const size_t got = std::fread(chunk.data(), 1, room, source->File);
        if (got == 0 && std::ferror(source->File)) {
            source->ReadFailed = true;
            return CURL_READFUNC_ABORT;
        }
        chunk.truncate(static_cast<qsizetype>(got));
        source->Pending = ToNetworkLineEnds(chunk, source->PreviousCR);
    }
    const size_t count = std::min(room, static_cast<size_t>(source->Pending.size()));
    std::memcpy(ABuffer, source->Pending.constData(), count);
    source->Pending.remove(0, static_cast<qsizetype>(count));
    return count;
}

// The size of a file as sent: for a text upload after the line-end conversion. -1 when it
// cannot be read.
std::int64_t UploadSize(TUploadSource& ASource) {
    if (!ASource.Ascii) {
        struct stat info {};
        return ::fstat(fileno(ASource.File), &info) == 0 ? static_cast<std::int64_t>(info.st_size)
                                                         : -1;
    }
    std::int64_t size = 0;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    bool previousCR = false;
    for (;;) {
        const size_t got =
            std::fread(chunk.data(), 1, static_cast<size_t>(chunk.size()), ASource.File);
        if (got == 0) {
            if (std::ferror(ASource.File))
                return -1;
            break;
        }
        size += ToNetworkLineEnds(chunk.left(static_cast<qsizetype>(got)), previousCR).size();
    }
    ASource.Rewind();
    return size;
}

// Failures to open a data connection in the chosen mode (passive refused, the server cannot
// connect back, a wrong passive address).
bool IsDataConnectionFailure(CURLcode ACode) {
    switch (ACode) {
        case CURLE_FTP_WEIRD_PASV_REPLY:
        case CURLE_FTP_WEIRD_227_FORMAT:
        case CURLE_FTP_CANT_GET_HOST:
        case CURLE_FTP_PORT_FAILED:
        case CURLE_FTP_ACCEPT_FAILED:
        case CURLE_FTP_ACCEPT_TIMEOUT:
        case CURLE_COULDNT_CONNECT:
            return true;
        default:
            return false;
    }
}

constexpr long KLongestWaitMs = 1000;
constexpr long KIdleStepWaitMs = 1;

}  // namespace

struct TFtpClient::TCurl {
    CURL* Handle = nullptr;
    // The transfers run through a multi handle of their own (which also keeps the connection):
    // libcurl's plain perform can sit idle for a whole second after a passive-mode reply before
    // it opens the data connection, as it then waits on no socket, only on its one-second poll.
    CURLM* Multi = nullptr;
    char Error[CURL_ERROR_SIZE] = {};
    // The server's last reply line, for the messages of failures.
    QByteArray LastReply;

    TCurl() {
        EnsureCurlReady();
        Handle = curl_easy_init();
        Multi = curl_multi_init();
        if (Handle == nullptr || Multi == nullptr) {
            curl_easy_cleanup(Handle);
            curl_multi_cleanup(Multi);
            throw EqvOperationNotPossible(QStringLiteral("The FTP client could not be made."));
        }
    }
    ~TCurl() {
        // The kept connection belongs to the multi handle; cleaning it up says QUIT.
        curl_multi_cleanup(Multi);
        curl_easy_cleanup(Handle);
    }

    static size_t OnReply(char* ABuffer, size_t ASize, size_t ACount, void* AUser) {
        auto* self = static_cast<TCurl*>(AUser);
        const QByteArray line =
            QByteArray(ABuffer, static_cast<qsizetype>(ASize * ACount)).trimmed();
        if (!line.isEmpty())
            self->LastReply = line;
        return ASize * ACount;
    }

    bool WaitsOnSockets() {
        fd_set read;
        fd_set write;
        fd_set error;
        FD_ZERO(&read);
        FD_ZERO(&write);
        FD_ZERO(&error);
        int highest = -1;
        curl_multi_fdset(Multi, &read, &write, &error, &highest);
        return highest >= 0;
    }

    CURLcode Perform() {
        Error[0] = '\0';
        LastReply.clear();
        if (curl_multi_add_handle(Multi, Handle) != CURLM_OK)
            return CURLE_FAILED_INIT;
        CURLcode result = CURLE_OK;
        for (;;) {
            int running = 0;
            if (curl_multi_perform(Multi, &running) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            if (running == 0) {
                int left = 0;
                while (CURLMsg* message = curl_multi_info_read(Multi, &left))
                    if (message->msg == CURLMSG_DONE && message->easy_handle == Handle)
                        result = message->data.result;
                break;
            }
            // libcurl's own time-outs end a stalled transfer. A step that waits on no socket
            // at all is only looked at again after a moment.
            long wait = -1;
            curl_multi_timeout(Multi, &wait);
            if (wait < 0 || wait > KLongestWaitMs)
                wait = KLongestWaitMs;
            if (!WaitsOnSockets() && wait > KIdleStepWaitMs)
                wait = KIdleStepWaitMs;
            curl_multi_poll(Multi, nullptr, 0, static_cast<int>(wait), nullptr);
        }
        curl_multi_remove_handle(Multi, Handle);
        return result;
    }

    // Performs; when a kept connection turned out broken, once more on a new connection.
    CURLcode PerformReconnecting(const std::function<void()>& ABeforeRetry) {
        CURLcode code = Perform();
        long connects = 1;
        curl_easy_getinfo(Handle, CURLINFO_NUM_CONNECTS, &connects);
        if (code == CURLE_OK || connects != 0 || !IsBrokenConnection(code))
            return code;
        if (ABeforeRetry)
            ABeforeRetry();
        curl_easy_setopt(Handle, CURLOPT_FRESH_CONNECT, 1L);
        code = Perform();
        curl_easy_setopt(Handle, CURLOPT_FRESH_CONNECT, 0L);
        return code;
    }
};

TFtpClient::TFtpClient(TFtpClientSettings ASettings)
    : FSettings(std::move(ASettings)), FCurl(std::make_unique<TCurl>()) {}

TFtpClient::~TFtpClient() = default;

QByteArray TFtpClient::UrlOf(const QString& ARemotePath) const {
    QByteArray host = FSettings.Host.toUtf8();
    if (host.contains(':'))
        host = '[' + host + ']';
    QByteArray url = "ftp://" + host + ':' + QByteArray::number(FSettings.Port) + '/';
    QStringList segments = ARemotePath.split(u'/');
    if (ARemotePath.startsWith(u'/')) {
        // "%2F" makes the path absolute instead of relative to the login directory.
        segments.removeFirst();
        if (!(segments.size() == 1 && segments.front().isEmpty()))
            url += "%2F";
    }
    QByteArrayList encoded;
    for (const QString& segment : segments)
        encoded << QUrl::toPercentEncoding(segment);
    return url + encoded.join('/');
}

void TFtpClient::ApplyCommonOptions() {
    CURL* handle = FCurl->Handle;
    curl_easy_reset(handle);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, FCurl->Error);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &TCurl::OnReply);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, FCurl.get());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &DiscardData);
    // Worker threads: no signals for the time-outs.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(handle, CURLOPT_USERNAME, FSettings.UserName.toUtf8().constData());
    curl_easy_setopt(handle, CURLOPT_PASSWORD, FSettings.Password.toUtf8().constData());
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(FSettings.Timeouts.Connect.count()));
    const long stall = WholeSeconds(FSettings.Timeouts.Stall);
    curl_easy_setopt(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT, stall);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, stall);
    curl_easy_setopt(handle, CURLOPT_ACCEPTTIMEOUT_MS,
                     static_cast<long>(FSettings.Timeouts.Stall.count()));
    curl_easy_setopt(handle, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(handle, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_MULTICWD));
    // Active mode: the server connects back to the address of the control connection.
    curl_easy_setopt(handle, CURLOPT_FTPPORT, FSettings.Passive ? nullptr : "-");
    if (FSettings.ExplicitTls) {
        curl_easy_setopt(handle, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        curl_easy_setopt(handle, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
        curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!FSettings.Trust.CaFile.isEmpty())
            curl_easy_setopt(handle, CURLOPT_CAINFO,
                             QFile::encodeName(FSettings.Trust.CaFile).constData());
        if (!FSettings.Trust.CaFolder.isEmpty())
            curl_easy_setopt(handle, CURLOPT_CAPATH,
                             QFile::encodeName(FSettings.Trust.CaFolder).constData());
    }
}

QByteArray ToNetworkLineEnds(const QByteArray& AText, bool& APreviousCR) {
    QByteArray out;
    out.reserve(AText.size() + AText.count('\n'));
    for (const char c : AText) {
        if (c == '\n' && !APreviousCR)
            out += '\r';
        out += c;
        APreviousCR = c == '\r';
    }
    return out;
}

QString TFtpClient::FailureText(int ACode) const {
    const auto code = static_cast<CURLcode>(ACode);
    QString text =
        QString::fromUtf8(FCurl->Error[0] != '\0' ? FCurl->Error : curl_easy_strerror(code));
    if (text.endsWith(u'\n'))
        text.chop(1);
    const QString reply = QString::fromUtf8(FCurl->LastReply);
    if (!reply.isEmpty() && !text.contains(reply))
        text += QStringLiteral(" (server reply: \"") + reply + QStringLiteral("\")");
    // Some servers quote the password in their refusal; it never reaches a log.
    if (!FSettings.Password.isEmpty())
        text.replace(FSettings.Password, QStringLiteral("***"));
    return text;
}

void TFtpClient::Connect() {
    if (!FLoginRefusal.isEmpty())
        throw EqvOperationNotPossible(FLoginRefusal);
    ApplyCommonOptions();
    CURL* handle = FCurl->Handle;
    const QByteArray url = UrlOf(QStringLiteral("/"));
    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    const CURLcode code = FCurl->PerformReconnecting({});
    if (code != CURLE_OK) {
        FConnected = false;
        const QString reason = FailureText(code);
        if (code == CURLE_LOGIN_DENIED)
            FLoginRefusal = reason;
        throw EqvOperationNotPossible(reason);
    }
    const char* entry = nullptr;
    curl_easy_getinfo(handle, CURLINFO_FTP_ENTRY_PATH, &entry);
    FLoginDirectory = entry != nullptr ? QString::fromUtf8(entry) : QStringLiteral("/");
    FConnected = true;
}

std::int64_t TFtpClient::RemoteFileTime(const QString& ARemoteFile) {
    ApplyCommonOptions();
    CURL* handle = FCurl->Handle;
    const QByteArray url = UrlOf(ARemoteFile);
    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(handle, CURLOPT_FILETIME, 1L);
    // A missing file (or folder) fails this request; that only means there is no time.
    FCurl->PerformReconnecting({});
    curl_off_t time = -1;
    curl_easy_getinfo(handle, CURLINFO_FILETIME_T, &time);
    return time > 0 ? static_cast<std::int64_t>(time) : 0;
}

void TFtpClient::Store(const QString& ALocalFile, const QString& ARemoteFile, bool AAscii) {
    TUploadSource source;
    source.File = std::fopen(QFile::encodeName(ALocalFile).constData(), "rb");
    if (source.File == nullptr)
        throw EqvOperationNotPossible(QStringLiteral("The local file could not be opened."));
    const auto closeFile = qScopeGuard([&] { std::fclose(source.File); });
    source.Ascii = AAscii;
    const std::int64_t size = UploadSize(source);
    if (size < 0)
        throw EqvOperationNotPossible(QStringLiteral("The local file could not be read."));

    const QByteArray url = UrlOf(ARemoteFile);
    // libcurl's own text mode would turn every LF into CR LF, also those of CR LF (giving
    // CR CR LF): the type is set here and the bytes converted above. Set for every transfer,
    // since libcurl keeps the type it set itself and would not set it back.
    curl_slist* prequote = curl_slist_append(nullptr, AAscii ? "TYPE A" : "TYPE I");
    const auto freeList = qScopeGuard([&] { curl_slist_free_all(prequote); });
    // "*": a server that does not reserve space is no failure.
    const QByteArray allo = "*ALLO " + QByteArray::number(static_cast<qlonglong>(size));
    prequote = curl_slist_append(prequote, allo.constData());
    const auto prepare = [&] {
        ApplyCommonOptions();
        CURL* handle = FCurl->Handle;
        curl_easy_setopt(handle, CURLOPT_URL, url.constData());
        curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(handle, CURLOPT_READFUNCTION, &ReadUpload);
        curl_easy_setopt(handle, CURLOPT_READDATA, &source);
        curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
        curl_easy_setopt(handle, CURLOPT_TRANSFERTEXT, 0L);
        // Every missing folder of the path is made, parents first.
        curl_easy_setopt(handle, CURLOPT_FTP_CREATE_MISSING_DIRS,
                         static_cast<long>(CURLFTP_CREATE_DIR_RETRY));
        curl_easy_setopt(handle, CURLOPT_PREQUOTE, prequote);
    };
    const auto rewind = [&] { source.Rewind(); };
    prepare();
    CURLcode code = FCurl->PerformReconnecting(rewind);
    if (IsDataConnectionFailure(code) && FSettings.SwitchDataModeOnFailure && !source.ReadFailed) {
        FSettings.Passive = !FSettings.Passive;
        prepare();
        rewind();
        code = FCurl->PerformReconnecting(rewind);
    }
    if (source.ReadFailed)
        throw EqvOperationNotPossible(QStringLiteral("The local file could not be read."));
    if (code != CURLE_OK)
        throw EqvOperationNotPossible(FailureText(code));
}

void TFtpClient::Disconnect() {
    // Cleaning up the handle sends QUIT on its kept connection.
    FCurl = std::make_unique<TCurl>();
    FConnected = false;
    FLoginDirectory.clear();
}

QString ConnectWithRetry(TFtpClient& AClient) {
    if (AClient.Connected())
        return {};
    const bool passive = AClient.Passive();
    QString reason;
    for (const bool mode : {passive, !passive}) {
        AClient.SetPassive(mode);
        try {
            AClient.Connect();
            break;
        } catch (const std::exception& e) {
            reason = ExceptionMessage(e);
        }
        if (!AClient.LoginRefusal().isEmpty())
            break;
    }
    AClient.SetPassive(passive);
    return AClient.Connected() ? QString() : reason;
}

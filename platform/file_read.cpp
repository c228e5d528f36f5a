#include "platform/file_read.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

QString ReasonText(const QString& APath, const char* AReason) {
    return QStringLiteral("\"") + APath + QStringLiteral("\" could not be read: ") +
           QString::fromLocal8Bit(AReason);
}

// Closes the descriptor on every way out.
class TReadFd {
public:
    explicit TReadFd(int AFd) : FFd(AFd) {}
    ~TReadFd() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TReadFd(const TReadFd&) = delete;
    TReadFd& operator=(const TReadFd&) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

}  // namespace

bool ReadOrdinaryFile(const QString& APath, qint64 AMaxBytes, TOrdinaryFileRead& AResult,
                      QString& AError) {
    AResult = TOrdinaryFileRead();
    const QByteArray path = QFile::encodeName(APath);
    constexpr int KFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    // Tried without following a link first: a writer that knows the path is no link needs
    // not ask again. A link costs one more open.
    int opened = ::open(path.constData(), KFlags | O_NOFOLLOW);
    AResult.NotALink = opened >= 0;
    if (opened < 0 && errno == ELOOP)
        opened = ::open(path.constData(), KFlags);
    const TReadFd fd(opened);
    if (fd.Get() < 0) {
        AError = ReasonText(APath, std::strerror(errno));
        return false;
    }
    if (::fstat(fd.Get(), &AResult.Info) != 0) {
        AError = ReasonText(APath, std::strerror(errno));
        return false;
    }
    if (!S_ISREG(AResult.Info.st_mode)) {
        AError = ReasonText(APath, "it is no regular file");
        return false;
    }
    const qint64 size = AResult.Info.st_size;
    if (size > AMaxBytes)
        return true;
    // One byte more than the size: a file that grew meanwhile is noticed in the same call.
    AResult.Bytes.resize(size + 1);
    qint64 got = 0;
    for (;;) {
        const auto wanted = static_cast<size_t>(AResult.Bytes.size() - got);
        const ssize_t n = ::read(fd.Get(), AResult.Bytes.data() + got, wanted);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            AError = ReasonText(APath, std::strerror(errno));
            return false;
        }
        if (n == 0)
            break;
        got += n;
        // Past the size, or the whole size and not the byte after it: the end is known without
        // another call.
        if (got > size || (got == size && static_cast<size_t>(n) < wanted))
            break;
    }
    if (got != size) {
        AError = ReasonText(APath, "its size changed while it was read");
        return false;
    }
    AResult.Bytes.resize(size);
    AResult.Complete = true;
    return true;
}

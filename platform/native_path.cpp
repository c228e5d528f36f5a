#include "platform/native_path.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/system_folders.h"

namespace {

// The length of the valid UTF-8 sequence at APos, or 0 when the byte there starts none
// (overlong forms, surrogates and values above U+10FFFF are not valid).
int Utf8SequenceLength(const QByteArray& ABytes, qsizetype APos) {
    const auto byte = [&](qsizetype AIndex) {
        return AIndex < ABytes.size() ? static_cast<unsigned char>(ABytes[AIndex]) : 0u;
    };
    const unsigned lead = byte(APos);
    const auto continuation = [&](qsizetype AIndex, unsigned ALow = 0x80, unsigned AHigh = 0xBF) {
        const unsigned b = byte(AIndex);
        return AIndex < ABytes.size() && b >= ALow && b <= AHigh;
    };
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return continuation(APos + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned high = lead == 0xED ? 0x9F : 0xBF;
        return continuation(APos + 1, low, high) && continuation(APos + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned high = lead == 0xF4 ? 0x8F : 0xBF;
        return continuation(APos + 1, low, high) && continuation(APos + 2) && continuation(APos + 3)
                   ? 4
                   : 0;
    }
    return 0;
}

}  // namespace

QString RealFolderPath(const QString& AFolder) {
    if (AFolder.isEmpty())
        return {};
    const QString clean = QDir::cleanPath(QDir(AFolder).absolutePath());
    // The longest part that exists is resolved; the rest (folders still to be made) is kept.
    QString existing = clean;
    QString rest;
    for (;;) {
        const QByteArray native = QFile::encodeName(existing);
        char resolved[PATH_MAX];
        if (::realpath(native.constData(), resolved) != nullptr) {
            QString real = QFile::decodeName(resolved);
            if (!rest.isEmpty())
                real = IncludeTrailingSeparator(real) + rest;
            return IncludeTrailingSeparator(real);
        }
        const qsizetype cut = existing.lastIndexOf(QLatin1Char('/'));
        if (cut <= 0)
            return IncludeTrailingSeparator(clean);
        rest = rest.isEmpty() ? existing.mid(cut + 1)
                              : existing.mid(cut + 1) + QLatin1Char('/') + rest;
        existing.truncate(cut);
    }
}

QString RealLocation(const QString& APath) {
    QByteArray path = QFile::encodeName(QDir::cleanPath(QDir(APath).absolutePath()));
    // As many links as the system itself follows in one path.
    for (int hop = 0; hop < 40; ++hop) {
        char resolved[PATH_MAX];
        if (::realpath(path.constData(), resolved) != nullptr)
            return QFile::decodeName(resolved);
        if (errno != ENOENT)
            return {};
        struct stat info {};
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray folder = path.left(slash + 1);
        if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            // Nothing of this name: where it would be made.
            const QString real = RealFolderPath(QFile::decodeName(folder));
            return real + QFile::decodeName(path.mid(slash + 1));
        }
        // A link that leads to nothing (yet): follow it by hand.
        char target[PATH_MAX];
        const ssize_t size = ::readlink(path.constData(), target, sizeof target - 1);
        if (size <= 0)
            return {};
        const QByteArray next(target, size);
        // Relative to the link's real folder, so that ".." in it goes where the system goes.
        path = next.startsWith('/')
                   ? next
                   : QFile::encodeName(RealFolderPath(QFile::decodeName(folder))) + next;
    }
    return {};
}

namespace {

TNativePathKind KindOfMode(mode_t AMode) {
    if (S_ISREG(AMode))
        return TNativePathKind::File;
    if (S_ISDIR(AMode))
        return TNativePathKind::Folder;
    return TNativePathKind::Other;
}

}  // namespace

TNativePathKind PathKindOf(const QString& APath) {
    struct stat info {};
    if (APath.isEmpty() || ::stat(QFile::encodeName(APath).constData(), &info) != 0)
        return TNativePathKind::Missing;
    return KindOfMode(info.st_mode);
}

TNativePathKind PathKindOf(const QString& APath, bool& AIsLink) {
    AIsLink = false;
    struct stat info {};
    if (APath.isEmpty() || ::lstat(QFile::encodeName(APath).constData(), &info) != 0)
        return TNativePathKind::Missing;
    if (!S_ISLNK(info.st_mode))
        return KindOfMode(info.st_mode);
    AIsLink = true;
    return PathKindOf(APath);
}

bool IsTextName(const char* ANativeName) {
    const char* p = ANativeName;
    while (*p != '\0' && static_cast<unsigned char>(*p) < 0x80)
        ++p;
    if (*p == '\0')
        return true;  // plain ASCII, the common case
    const QByteArray name(ANativeName);
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

QString EscapedNativePath(const QByteArray& ANativePath) {
    QString text;
    qsizetype pos = 0;
    while (pos < ANativePath.size()) {
        const int length = Utf8SequenceLength(ANativePath, pos);
        if (length == 0) {
            text += QStringLiteral("\\x") +
                    QString::number(static_cast<unsigned char>(ANativePath[pos]), 16)
                        .toUpper()
                        .rightJustified(2, QLatin1Char('0'));
            ++pos;
            continue;
        }
        text += QString::fromUtf8(ANativePath.constData() + pos, length);
        pos += length;
    }
    return text;
}

namespace {

QString ErrnoText(int ACode) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static string instead of filling the buffer.
    return QString::fromLocal8Bit(strerror_r(ACode, buffer, sizeof buffer));
}

}  // namespace

bool ListFolderNative(const QByteArray& AFolder, std::vector<TFolderEntryNative>& AEntries,
                      QString* AError) {
    AEntries.clear();
    DIR* dir = ::opendir(AFolder.constData());
    if (dir == nullptr) {
        if (AError != nullptr)
            *AError = ErrnoText(errno);
        return false;
    }
    const QByteArray prefix = AFolder.endsWith('/') ? AFolder : AFolder + '/';
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr)
            break;
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        TFolderEntryNative listed;
        listed.Name = QByteArray(name);
        unsigned char type = entry->d_type;
        struct stat info {};
        if (type == DT_UNKNOWN || type == DT_LNK) {
            const QByteArray path = prefix + listed.Name;
            if (::lstat(path.constData(), &info) == 0) {
                if (S_ISLNK(info.st_mode))
                    listed.OrdinaryFile =
                        ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode);
                else
                    type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : 0;
            }
        }
        if (type == DT_DIR)
            listed.Folder = true;
        else if (type == DT_REG)
            listed.OrdinaryFile = true;
        AEntries.push_back(std::move(listed));
    }
    const int code = errno;
    ::closedir(dir);
    if (code != 0) {
        if (AError != nullptr)
            *AError = ErrnoText(code);
        return false;
    }
    return true;
}

bool ListFolderNames(const QString& AFolder, QList<QByteArray>& ANames, QString& AError) {
    ANames.clear();
    std::vector<TFolderEntryNative> entries;
    if (!ListFolderNative(QFile::encodeName(AFolder), entries, &AError))
        return false;
    for (TFolderEntryNative& entry : entries)
        ANames << std::move(entry.Name);
    std::sort(ANames.begin(), ANames.end());
    return true;
}

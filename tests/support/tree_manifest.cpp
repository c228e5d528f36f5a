#include "tests/support/tree_manifest.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray HashOf(const QByteArray& APath) {
    const int fd = ::open(APath.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return QByteArrayLiteral("unreadable");
    QCryptographicHash hash(QCryptographicHash::Sha256);
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        hash.addData(QByteArrayView(buffer, got));
    ::close(fd);
    return got < 0 ? QByteArrayLiteral("unreadable") : hash.result().toHex();
}

void Walk(const QByteArray& AFolder, const QByteArray& ARelative, TTreeManifest& AOut) {
    DIR* dir = ::opendir(AFolder.constData());
    if (dir == nullptr)
        return;
    while (const dirent* item = ::readdir(dir)) {
        const QByteArray name(item->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = AFolder + '/' + name;
        const QByteArray relative = ARelative.isEmpty() ? name : ARelative + '/' + name;
        struct stat info {};
        if (::lstat(path.constData(), &info) != 0)
            continue;
        TManifestEntry entry;
        entry.Mode = info.st_mode & 07777;
        entry.MTimeNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        if (S_ISREG(info.st_mode)) {
            entry.Kind = 'f';
            entry.Size = info.st_size;
            entry.Sha256 = HashOf(path);
        } else if (S_ISDIR(info.st_mode)) {
            entry.Kind = 'd';
        } else if (S_ISLNK(info.st_mode)) {
            entry.Kind = 'l';
            char target[4096];
            const ssize_t length = ::readlink(path.constData(), target, sizeof target);
            entry.LinkTarget = QByteArray(target, length > 0 ? length : 0);
        } else {
            entry.Kind = 'o';
        }
        AOut[relative] = entry;
        if (entry.Kind == 'd')
            Walk(path, relative, AOut);
    }
    ::closedir(dir);
}

QString Shown(const QByteArray& AName) {
    // Names that are not UTF-8 are shown with their bytes escaped.
    QString text;
    for (const char c : AName) {
        const auto byte = static_cast<unsigned char>(c);
        text += byte >= 0x20 && byte < 0x7F
                    ? QString(QLatin1Char(c))
                    : QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return text;
}

QString Described(const TManifestEntry& AEntry) {
    return QStringLiteral("%1 size %2 mode %3 mtime %4 %5%6")
        .arg(QLatin1Char(AEntry.Kind))
        .arg(AEntry.Size)
        .arg(AEntry.Mode, 0, 8)
        .arg(AEntry.MTimeNs)
        .arg(QString::fromLatin1(AEntry.Sha256.left(12)), QString::fromUtf8(AEntry.LinkTarget));
}

}  // namespace

TTreeManifest ManifestOf(const QString& AFolder) {
    TTreeManifest manifest;
    QByteArray folder = QFile::encodeName(AFolder);
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    Walk(folder, {}, manifest);
    return manifest;
}

QStringList ManifestDifferences(const TTreeManifest& ABefore, const TTreeManifest& AAfter) {
    QStringList lines;
    for (const auto& [name, entry] : ABefore) {
        const auto found = AAfter.find(name);
        if (found == AAfter.end())
            lines << QStringLiteral("gone ") + Shown(name);
        else if (!(found->second == entry))
            lines << QStringLiteral("changed ") + Shown(name) + QStringLiteral(": ") +
                         Described(entry) + QStringLiteral(" -> ") + Described(found->second);
    }
    for (const auto& [name, entry] : AAfter)
        if (ABefore.find(name) == ABefore.end())
            lines << QStringLiteral("new ") + Shown(name);
    return lines;
}

QStringList UnfinishedWrites(const TTreeManifest& AManifest, const QStringList& AArchiveNames) {
    static const QRegularExpression temporary(
        QStringLiteral("(\\.plvtmp-|\\.plvcopy-|\\.plvzip-|^qt_temp\\.|/qt_temp\\.)"));
    QStringList found;
    for (const auto& [name, entry] : AManifest) {
        const QString text = QString::fromUtf8(name);
        bool unfinished = temporary.match(text).hasMatch();
        for (const QString& archive : AArchiveNames)
            if (text.startsWith(archive + QLatin1Char('.')) && text.size() == archive.size() + 7)
                unfinished = true;
        if (unfinished)
            found << Shown(name);
    }
    return found;
}

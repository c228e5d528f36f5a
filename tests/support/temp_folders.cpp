#include "tests/support/temp_folders.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

TTempFolder::TTempFolder() : FDir(QDir::tempPath() + QStringLiteral("/plovane-test-XXXXXX")) {
    if (!FDir.isValid())
        ADD_FAILURE() << "cannot create a temporary folder";
}

TTempFolder::~TTempFolder() {
    if (FDir.isValid())
        RemoveTreeNative(FDir.path());
}

bool RemoveTreeNative(const QString& AFolder) {
    std::error_code error;
    const std::filesystem::path path(QFile::encodeName(AFolder).toStdString());
    // Read-only folders inside would keep their entries: make them writable first.
    for (auto it = std::filesystem::recursive_directory_iterator(path, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, error);
    }
    error.clear();
    std::filesystem::remove_all(path, error);
    return !error;
}

QString TTempFolder::Path(const QString& ARelative) const {
    QString base = FDir.path() + QLatin1Char('/');
    return base + ARelative;
}

QString TTempFolder::MakeFolder(const QString& ARelative) const {
    QString path = Path(ARelative);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    if (!QDir().mkpath(path))
        ADD_FAILURE() << "cannot create " << path.toStdString();
    return path;
}

QString TTempFolder::WriteFile(const QString& ARelative, const QByteArray& ABytes) const {
    const QString path = Path(ARelative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ABytes) != ABytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}

QByteArray TTempFolder::ReadFile(const QString& ARelative) const {
    return ReadWholeFile(Path(ARelative));
}

QByteArray ReadWholeFile(const QString& APath) {
    QFile file(APath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QStringList FolderListing(const QString& AFolder) {
    QStringList entries;
    QDirIterator it(AFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        entries << path + QLatin1Char(' ') + QString::number(QFileInfo(path).size());
    }
    entries.sort();
    return entries;
}

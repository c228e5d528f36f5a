#include "platform/system_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString IncludeTrailingSeparator(const QString& APath) {
    if (APath.isEmpty() || APath.endsWith(QLatin1Char('/')))
        return APath;
    return APath + QLatin1Char('/');
}

QString UserDocumentsFolder() {
    return IncludeTrailingSeparator(
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

QString ExecutableFolder() {
    QString path;
    if (QCoreApplication::instance() != nullptr) {
        path = QCoreApplication::applicationDirPath();
    } else {
        path = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        path = QFileInfo(path).absolutePath();
    }
    return IncludeTrailingSeparator(QDir::cleanPath(path));
}

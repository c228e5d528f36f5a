#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A private temporary folder for one test, removed afterwards. Paths end with "/".
class TTempFolder {
public:
    TTempFolder();
    // Removes the folder by its bytes: Qt cannot name entries whose names are not UTF-8.
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    // Full path of a name inside the folder.
    QString Path(const QString& ARelative = {}) const;
    // Creates the folder (with parents) and returns its path ending with "/".
    QString MakeFolder(const QString& ARelative) const;
    // Writes bytes to a file inside the folder (creating parent folders).
    QString WriteFile(const QString& ARelative, const QByteArray& ABytes) const;
    QByteArray ReadFile(const QString& ARelative) const;

private:
    QTemporaryDir FDir;
};

// Removes a folder tree by its bytes, whatever its names are; false when something stays.
bool RemoveTreeNative(const QString& AFolder);

// Reads a whole file by absolute path; empty when it cannot be read.
QByteArray ReadWholeFile(const QString& APath);

// Every entry below a folder (hidden ones too) with its size, sorted: two listings differ when
// anything was created, removed or resized there.
QStringList FolderListing(const QString& AFolder);

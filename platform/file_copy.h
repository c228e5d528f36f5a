#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Copies a file so that the target is complete or absent, keeping the source's modification
// time; the bytes are copied in the kernel where it can. The copy is written to an unnamed file
// in the target's folder and named only once complete (a new target gets its name directly, an
// existing one is replaced by renaming the complete copy over it), so not even a killed process
// leaves a cut-off target. Where unnamed files are not to be had, a new target is created
// exclusively under its own name and removed again when the copy fails, and an existing target
// is replaced by renaming a complete temporary copy (created exclusively beside it) over it. Not
// synced to disk: this is for bulk copies.
// Returns false (AError receives the reason) on failure; the target is then untouched.
// Only ordinary files are copied: a fifo, socket or device is refused without waiting on it.
bool CopyFileComplete(const QString& ASource, const QString& ATarget, QString* AError = nullptr);
// The same for native paths (names are bytes: not every name reads as text).
bool CopyFileCompleteNative(const QByteArray& ASource, const QByteArray& ATarget,
                            QString* AError = nullptr);

// Copies files from one folder into another by their names, as CopyFileCompleteNative does, with
// both folders opened once: a file is found by its name alone, not by its whole path again (the
// batch copies many small files folder by folder).
class TFolderCopy {
public:
    TFolderCopy(const QByteArray& ASourceFolder, const QByteArray& ATargetFolder);
    ~TFolderCopy();
    TFolderCopy(const TFolderCopy&) = delete;
    TFolderCopy& operator=(const TFolderCopy&) = delete;

    // Copies the file of this name (no folder part) from the source into the target folder.
    bool CopyFile(const QByteArray& AName, QString* AError = nullptr) const;

private:
    QByteArray FSource;
    QByteArray FTarget;
    int FSourceDir;
    int FTargetDir;
};

// Copies a folder tree by native paths, every name byte for byte: folders are created, ordinary
// files (and links to them) copied as CopyFileCompleteNative does; links to folders and special
// files are left out. Every file not copied and everything left out adds one text to AProblems.
// AAbort, asked before each entry, ends the copy early. Returns the number of failures.
int CopyFolderNative(const QByteArray& ASource, const QByteArray& ATarget,
                     const std::function<bool()>& AAbort, QStringList& AProblems);

#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/file_read.h"

struct zip;
struct zip_source;
struct stat;
class TZipDeflater;

// Deflaters kept for reuse across archives: setting one up costs more than deflating a small
// file. Safe to use from several threads at once.
class TZipDeflaterPool {
public:
    TZipDeflaterPool();
    ~TZipDeflaterPool();
    TZipDeflaterPool(const TZipDeflaterPool&) = delete;
    TZipDeflaterPool& operator=(const TZipDeflaterPool&) = delete;

    // A deflater ready for a new stream.
    std::unique_ptr<TZipDeflater> Take();
    void Give(std::unique_ptr<TZipDeflater> ADeflater);

private:
    std::mutex FLock;
    std::vector<std::unique_ptr<TZipDeflater>> FFree;
};

// One ZIP archive opened for adding entries: an existing archive of that name is opened and
// added to, a missing one is created. Nothing reaches the archive's name before Save: the whole
// archive is written to a temporary file of the program's own beside it (see OwnTemporaryPath,
// so that what a killed batch leaves is known and removed by the next) and renamed into place,
// so an interrupted write never leaves a broken archive under the final name. A new archive
// whose entries are known to be small is built in memory and written in one piece, which spares
// the file system most of the work per archive; any other is written by the archive library
// through that temporary file. Entry
// names are stored in UTF-8 (with the language-encoding flag where a name is not plain ASCII).
// Each file is deflated at the normal level and stored instead when deflating does not make it
// smaller. Errors raise EqvOperationNotPossible with the archive library's reason.
class TZipArchiveWriter {
public:
    // AContentBytes: how many bytes the entries will hold, when the caller knows (-1 when not).
    TZipArchiveWriter(const QString& AArchivePath, TZipDeflaterPool& ADeflaters,
                      qint64 AContentBytes = -1);
    // Discards what was added when Save was not reached; the archive stays as it was.
    ~TZipArchiveWriter();
    TZipArchiveWriter(const TZipArchiveWriter&) = delete;
    TZipArchiveWriter& operator=(const TZipArchiveWriter&) = delete;

    // Whether an entry of this name is already in the archive (names of folders end with "/").
    bool HasEntry(const QString& AEntryName) const;
    // Adds the file's content under AEntryName, with its modification time and mode.
    void AddFile(const QString& AEntryName, const QString& AFilePath);
    // The same for a file read beforehand by ReadEntryFile.
    void AddFile(const QString& AEntryName, const QString& AFilePath,
                 const TOrdinaryFileRead& AFile);
    // A file's facts, and its bytes when it is small enough to be held in memory; raises when
    // it cannot be read or is no ordinary file.
    static TOrdinaryFileRead ReadEntryFile(const QString& AFilePath);
    // Adds an empty folder entry (AEntryName ends with "/"); no content below it.
    void AddFolder(const QString& AEntryName, const QString& AFolderPath);
    // Writes the archive and renames it into place. Returns whether the archive exists now: a
    // new one that got no entry is not created.
    bool Save();

private:
    [[noreturn]] void Fail(const QString& AWhat) const;
    void SetAttributes(std::int64_t AIndex, const QString& APath, const struct stat& AInfo,
                       bool AFolder);
    // The file's facts (following links); raises when it cannot be asked.
    static struct stat StatOf(const QString& APath);
    // Adds the entry for a file held whole in memory.
    std::int64_t AddHeldFile(const QByteArray& AName, const QString& AFilePath,
                             const QByteArray& ABytes, std::int64_t AMTime, bool& ADeflate);
    // Adds the entry for a larger file, which the archive library reads itself at Save.
    std::int64_t AddLargeFile(const QByteArray& AName, const QString& AFilePath, std::int64_t ASize,
                              bool& ADeflate);

    QString FArchivePath;
    zip* FArchive = nullptr;
    // The memory an archive built in memory is written to (null for one written by the library).
    zip_source* FMemory = nullptr;
    bool FExisted = false;
    TZipDeflaterPool& FDeflaters;
    // Deflated bytes held for the write at Save; past the budget, files are read again there.
    std::int64_t FHeldBytes = 0;
};

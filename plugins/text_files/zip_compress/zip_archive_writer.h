#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

struct zip;
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
// added to, a missing one is created. Nothing reaches the archive's name before Save: the
// archive library writes the whole archive to a temporary file beside it and renames that into
// place, so an interrupted write never leaves a broken archive under the final name. Entry
// names are stored in UTF-8 (with the language-encoding flag where a name is not plain ASCII).
// Each file is deflated at the normal level and stored instead when deflating does not make it
// smaller. Errors raise EqvOperationNotPossible with the archive library's reason.
class TZipArchiveWriter {
public:
    TZipArchiveWriter(const QString& AArchivePath, TZipDeflaterPool& ADeflaters);
    // Discards what was added when Save was not reached; the archive stays as it was.
    ~TZipArchiveWriter();
    TZipArchiveWriter(const TZipArchiveWriter&) = delete;
    TZipArchiveWriter& operator=(const TZipArchiveWriter&) = delete;

    // Whether an entry of this name is already in the archive (names of folders end with "/").
    bool HasEntry(const QString& AEntryName) const;
    // Adds the file's content under AEntryName, with its modification time and mode.
    void AddFile(const QString& AEntryName, const QString& AFilePath);
    // Adds an empty folder entry (AEntryName ends with "/"); no content below it.
    void AddFolder(const QString& AEntryName, const QString& AFolderPath);
    // Writes the archive and renames it into place.
    void Save();

private:
    [[noreturn]] void Fail(const QString& AWhat) const;
    void SetAttributes(std::int64_t AIndex, const QString& APath, const struct stat& AInfo,
                       bool AFolder);
    // The file's facts (following links); raises when it cannot be asked.
    static struct stat StatOf(const QString& APath);

    QString FArchivePath;
    zip* FArchive = nullptr;
    TZipDeflaterPool& FDeflaters;
    // Deflated bytes held for the write at Save; past the budget, files are read again there.
    std::int64_t FHeldBytes = 0;
};

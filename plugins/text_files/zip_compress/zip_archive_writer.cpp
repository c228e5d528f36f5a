#include "plugins/text_files/zip_compress/zip_archive_writer.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <zip.h>
#include <zlib.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>

#include "base/exceptions.h"
#include "platform/file_read.h"
#include "platform/file_replace.h"
#include "platform/own_temporary.h"

namespace {

// Files up to this size are deflated once in memory and the result handed to the archive;
// larger ones are measured in a first pass and compressed again by the archive library, so
// memory stays bounded.
constexpr qint64 KInMemoryFileLimit = 4 * 1024 * 1024;
// How many deflated bytes one archive holds until Save, at most.
constexpr std::int64_t KHeldBytesBudget = 64 * 1024 * 1024;
constexpr int KNormalLevel = 6;
constexpr qint64 KChunk = 256 * 1024;

QString ZipErrorText(zip_error_t* AError) {
    return QString::fromLocal8Bit(zip_error_strerror(AError));
}

}  // namespace

// A raw deflate stream (what a ZIP entry holds) at the normal level.
class TZipDeflater {
public:
    TZipDeflater() {
        if (deflateInit2(&FStream, KNormalLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
            Z_OK)
            throw EqvOperationNotPossible(QStringLiteral("The compressor could not be set up."));
    }
    ~TZipDeflater() { deflateEnd(&FStream); }
    TZipDeflater(const TZipDeflater&) = delete;
    TZipDeflater& operator=(const TZipDeflater&) = delete;

    // Ready for a new stream, keeping what was set up.
    bool Reset() { return deflateReset(&FStream) == Z_OK; }

    // Compresses AInput; with AOut the output is appended there, otherwise only counted.
    // Returns the bytes produced by this call.
    std::int64_t Feed(const char* AInput, qint64 ASize, bool AFinish, QByteArray* AOut) {
        FStream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(AInput));
        FStream.avail_in = static_cast<uInt>(ASize);
        std::int64_t produced = 0;
        unsigned char buffer[64 * 1024];
        int result = Z_OK;
        do {
            FStream.next_out = buffer;
            FStream.avail_out = sizeof buffer;
            result = deflate(&FStream, AFinish ? Z_FINISH : Z_NO_FLUSH);
            if (result == Z_STREAM_ERROR)
                throw EqvOperationNotPossible(QStringLiteral("The compressor failed."));
            const auto got = static_cast<std::int64_t>(sizeof buffer - FStream.avail_out);
            produced += got;
            if (AOut != nullptr)
                AOut->append(reinterpret_cast<const char*>(buffer), got);
        } while (FStream.avail_out == 0 || (AFinish && result != Z_STREAM_END));
        return produced;
    }

private:
    z_stream FStream{};
};

TZipDeflaterPool::TZipDeflaterPool() = default;
TZipDeflaterPool::~TZipDeflaterPool() = default;

std::unique_ptr<TZipDeflater> TZipDeflaterPool::Take() {
    {
        const std::lock_guard lock(FLock);
        if (!FFree.empty()) {
            std::unique_ptr<TZipDeflater> deflater = std::move(FFree.back());
            FFree.pop_back();
            return deflater;
        }
    }
    return std::make_unique<TZipDeflater>();
}

void TZipDeflaterPool::Give(std::unique_ptr<TZipDeflater> ADeflater) {
    // One that cannot start a new stream is dropped.
    if (ADeflater == nullptr || !ADeflater->Reset())
        return;
    const std::lock_guard lock(FLock);
    FFree.push_back(std::move(ADeflater));
}

namespace {

// A deflater of the pool for one file, given back when done.
class TDeflaterLease {
public:
    explicit TDeflaterLease(TZipDeflaterPool& APool) : FPool(APool), FDeflater(APool.Take()) {}
    ~TDeflaterLease() { FPool.Give(std::move(FDeflater)); }
    TDeflaterLease(const TDeflaterLease&) = delete;
    TDeflaterLease& operator=(const TDeflaterLease&) = delete;
    TZipDeflater& operator*() const { return *FDeflater; }

private:
    TZipDeflaterPool& FPool;
    std::unique_ptr<TZipDeflater> FDeflater;
};

// Entry data deflated beforehand, handed to the archive library as already compressed data
// with its size and checksum, so it is written as it is.
struct TDeflatedData {
    QByteArray Deflated;
    zip_uint64_t Size = 0;
    zip_uint32_t Crc = 0;
    time_t MTime = 0;
    qsizetype Position = 0;
    zip_error_t Error{};
};

zip_int64_t DeflatedSourceCallback(void* AUserData, void* AData, zip_uint64_t ALength,
                                   zip_source_cmd_t ACommand) {
    auto* source = static_cast<TDeflatedData*>(AUserData);
    switch (ACommand) {
        case ZIP_SOURCE_OPEN:
            source->Position = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const auto left = static_cast<zip_uint64_t>(source->Deflated.size() - source->Position);
            const zip_uint64_t count = std::min(left, ALength);
            std::memcpy(AData, source->Deflated.constData() + source->Position, count);
            source->Position += static_cast<qsizetype>(count);
            return static_cast<zip_int64_t>(count);
        }
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, AData, ALength, &source->Error);
            if (stat == nullptr)
                return -1;
            zip_stat_init(stat);
            stat->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                          ZIP_STAT_MTIME | ZIP_STAT_ENCRYPTION_METHOD;
            stat->size = source->Size;
            stat->comp_size = static_cast<zip_uint64_t>(source->Deflated.size());
            stat->comp_method = ZIP_CM_DEFLATE;
            stat->encryption_method = ZIP_EM_NONE;
            stat->crc = source->Crc;
            stat->mtime = source->MTime;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&source->Error, AData, ALength);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&source->Error);
            delete source;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&source->Error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
    }
}

// The archive on disk as the archive library sees it: the existing archive is read through
// Qt, and the new one is written to a temporary file of the program's own (not the library's
// "NAME.zip.XXXXXX"), so that what a killed batch leaves is known by its name and removed by
// the next batch.
struct TArchiveFile {
    QByteArray Path;
    QFile In;
    bool Existed = false;
    TOwnTemporaryFile Out;
    zip_error_t Error{};

    explicit TArchiveFile(const QByteArray& APath, bool AExisted)
        : Path(APath),
          In(QFile::decodeName(APath)),
          Existed(AExisted),
          Out(APath, TOwnTemporaryKind::Archive) {
        zip_error_init(&Error);
    }
    ~TArchiveFile() { zip_error_fini(&Error); }
    TArchiveFile(const TArchiveFile&) = delete;
    TArchiveFile& operator=(const TArchiveFile&) = delete;

    zip_int64_t Fail(int AZipError, int ASystemError) {
        zip_error_set(&Error, AZipError, ASystemError);
        return -1;
    }
};

zip_int64_t ArchiveFileCallback(void* AUserData, void* AData, zip_uint64_t ALength,
                                zip_source_cmd_t ACommand) {
    auto* file = static_cast<TArchiveFile*>(AUserData);
    switch (ACommand) {
        case ZIP_SOURCE_OPEN:
            if (!file->In.isOpen() && !file->In.open(QIODevice::ReadOnly))
                return file->Fail(ZIP_ER_OPEN, EACCES);
            return 0;
        case ZIP_SOURCE_READ: {
            const qint64 got = file->In.read(static_cast<char*>(AData),
                                             static_cast<qint64>(std::min<zip_uint64_t>(
                                                 ALength, std::numeric_limits<qint64>::max())));
            return got < 0 ? file->Fail(ZIP_ER_READ, EIO) : got;
        }
        case ZIP_SOURCE_CLOSE:
            file->In.close();
            return 0;
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t offset = zip_source_seek_compute_offset(
                static_cast<zip_uint64_t>(file->In.pos()),
                static_cast<zip_uint64_t>(file->In.size()), AData, ALength, &file->Error);
            if (offset < 0)
                return -1;
            return file->In.seek(offset) ? 0 : file->Fail(ZIP_ER_SEEK, EIO);
        }
        case ZIP_SOURCE_TELL:
            return file->In.pos();
        case ZIP_SOURCE_STAT: {
            auto* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, AData, ALength, &file->Error);
            if (stat == nullptr)
                return -1;
            // The library's sign for "no archive yet": a read error with ENOENT.
            if (!file->Existed)
                return file->Fail(ZIP_ER_READ, ENOENT);
            const QFileInfo info(QFile::decodeName(file->Path));
            if (!info.exists())
                return file->Fail(ZIP_ER_READ, ENOENT);
            zip_stat_init(stat);
            stat->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            stat->size = static_cast<zip_uint64_t>(info.size());
            stat->mtime = static_cast<time_t>(info.lastModified().toSecsSinceEpoch());
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_BEGIN_WRITE:
            if (const int code = file->Out.Create(); code != 0)
                return file->Fail(ZIP_ER_TMPOPEN, code);
            return 0;
        case ZIP_SOURCE_WRITE:
            if (const int code = file->Out.Write(AData, ALength); code != 0)
                return file->Fail(ZIP_ER_WRITE, code);
            return static_cast<zip_int64_t>(ALength);
        case ZIP_SOURCE_SEEK_WRITE: {
            const zip_int64_t offset = zip_source_seek_compute_offset(
                file->Out.Position(), file->Out.Length(), AData, ALength, &file->Error);
            if (offset < 0)
                return -1;
            return file->Out.Seek(static_cast<std::uint64_t>(offset))
                       ? 0
                       : file->Fail(ZIP_ER_SEEK, EINVAL);
        }
        case ZIP_SOURCE_TELL_WRITE:
            return static_cast<zip_int64_t>(file->Out.Position());
        case ZIP_SOURCE_COMMIT_WRITE:
            if (const int code = file->Out.Commit(); code != 0)
                return file->Fail(ZIP_ER_RENAME, code);
            file->Existed = true;
            return 0;
        case ZIP_SOURCE_ROLLBACK_WRITE:
            file->Out.Discard();
            return 0;
        case ZIP_SOURCE_REMOVE:
            // Only asked for when every entry of an existing archive was deleted, which this
            // writer never does; the archive is then left as it is.
            return file->Fail(ZIP_ER_REMOVE, EPERM);
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&file->Error, AData, ALength);
        case ZIP_SOURCE_FREE:
            delete file;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_WRITABLE;
        default:
            return file->Fail(ZIP_ER_OPNOTSUPP, 0);
    }
}

QByteArray EntryNameBytes(const QString& AEntryName) {
    return AEntryName.toUtf8();
}

}  // namespace

TZipArchiveWriter::TZipArchiveWriter(const QString& AArchivePath, TZipDeflaterPool& ADeflaters,
                                     qint64 AContentBytes)
    : FArchivePath(AArchivePath), FDeflaters(ADeflaters) {
    const QByteArray nativePath = QFile::encodeName(AArchivePath);
    struct stat info {};
    FExisted = ::lstat(nativePath.constData(), &info) == 0 || errno != ENOENT;
    zip_error_t error;
    zip_error_init(&error);
    if (!FExisted && AContentBytes >= 0 && AContentBytes <= KInMemoryFileLimit) {
        FMemory = zip_source_buffer_create(nullptr, 0, 0, &error);
        if (FMemory != nullptr) {
            // Kept after the archive is closed, to take the written bytes from it.
            zip_source_keep(FMemory);
            FArchive = zip_open_from_source(FMemory, ZIP_TRUNCATE, &error);
        }
    } else {
        auto* file = new TArchiveFile(nativePath, FExisted);
        zip_source_t* source = zip_source_function_create(ArchiveFileCallback, file, &error);
        if (source == nullptr) {
            delete file;
        } else {
            FArchive = zip_open_from_source(source, ZIP_CREATE, &error);
            if (FArchive == nullptr)
                zip_source_free(source);  // frees the file too
        }
    }
    if (FArchive == nullptr) {
        const QString reason = ZipErrorText(&error);
        zip_error_fini(&error);
        if (FMemory != nullptr)
            zip_source_free(FMemory);
        throw EqvOperationNotPossible(QStringLiteral("The archive \"") + AArchivePath +
                                      QStringLiteral("\" could not be opened: ") + reason);
    }
    zip_error_fini(&error);
}

TZipArchiveWriter::~TZipArchiveWriter() {
    if (FArchive != nullptr)
        zip_discard(FArchive);
    if (FMemory != nullptr)
        zip_source_free(FMemory);
}

void TZipArchiveWriter::Fail(const QString& AWhat) const {
    throw EqvOperationNotPossible(AWhat + QStringLiteral(" (archive \"") + FArchivePath +
                                  QStringLiteral("\"): ") + ZipErrorText(zip_get_error(FArchive)));
}

bool TZipArchiveWriter::HasEntry(const QString& AEntryName) const {
    return zip_name_locate(FArchive, EntryNameBytes(AEntryName).constData(), 0) >= 0;
}

struct stat TZipArchiveWriter::StatOf(const QString& APath) {
    struct stat info {};
    if (::stat(QFile::encodeName(APath).constData(), &info) != 0)
        throw EqvOperationNotPossible(QStringLiteral("\"") + APath +
                                      QStringLiteral("\" could not be read: ") +
                                      QString::fromLocal8Bit(std::strerror(errno)));
    return info;
}

void TZipArchiveWriter::SetAttributes(std::int64_t AIndex, const QString& APath,
                                      const struct stat& AInfo, bool AFolder) {
    const auto index = static_cast<zip_uint64_t>(AIndex);
    const zip_uint32_t mode = (AInfo.st_mode & 07777) | (AFolder ? S_IFDIR : S_IFREG);
    // Unix mode bits in the high half, as unpackers on this system read them back.
    if (zip_file_set_external_attributes(FArchive, index, 0, ZIP_OPSYS_UNIX, mode << 16) != 0 ||
        zip_file_set_mtime(FArchive, index, AInfo.st_mtime, 0) != 0)
        Fail(QStringLiteral("The attributes of \"") + APath + QStringLiteral("\" were not kept"));
}

std::int64_t TZipArchiveWriter::AddHeldFile(const QByteArray& AName, const QString& AFilePath,
                                            const QByteArray& ABytes, std::int64_t AMTime,
                                            bool& ADeflate) {
    auto data = std::make_unique<TDeflatedData>();
    zip_error_init(&data->Error);
    {
        const TDeflaterLease deflater(FDeflaters);
        (*deflater).Feed(ABytes.constData(), ABytes.size(), true, &data->Deflated);
    }
    ADeflate = data->Deflated.size() < ABytes.size();
    FHeldBytes += ADeflate ? data->Deflated.size() : ABytes.size();
    zip_source_t* source = nullptr;
    if (ADeflate) {
        data->Size = static_cast<zip_uint64_t>(ABytes.size());
        data->Crc =
            static_cast<zip_uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(ABytes.constData()),
                                            static_cast<uInt>(ABytes.size())));
        data->MTime = static_cast<time_t>(AMTime);
        source = zip_source_function(FArchive, DeflatedSourceCallback, data.get());
        if (source != nullptr)
            data.release();  // the source owns it now
        else
            zip_error_fini(&data->Error);
    } else {
        zip_error_fini(&data->Error);
        // The archive library takes the copy and frees it with the source. An empty file gets
        // no buffer: the library keeps none for zero bytes, so a copy would never be freed.
        if (ABytes.isEmpty()) {
            source = zip_source_buffer(FArchive, nullptr, 0, 0);
        } else if (void* copy = std::malloc(static_cast<size_t>(ABytes.size())); copy != nullptr) {
            std::memcpy(copy, ABytes.constData(), static_cast<size_t>(ABytes.size()));
            source = zip_source_buffer(FArchive, copy, static_cast<zip_uint64_t>(ABytes.size()), 1);
            if (source == nullptr)
                std::free(copy);
        }
    }
    if (source == nullptr)
        Fail(QStringLiteral("The file \"") + AFilePath + QStringLiteral("\" was not added"));
    const zip_int64_t index = zip_file_add(FArchive, AName.constData(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        Fail(QStringLiteral("The file \"") + AFilePath + QStringLiteral("\" was not added"));
    }
    return index;
}

std::int64_t TZipArchiveWriter::AddLargeFile(const QByteArray& AName, const QString& AFilePath,
                                             std::int64_t ASize, bool& ADeflate) {
    QFile file(AFilePath);
    if (!file.open(QIODevice::ReadOnly))
        throw EqvOperationNotPossible(QStringLiteral("The file \"") + AFilePath +
                                      QStringLiteral("\" could not be read: ") +
                                      file.errorString());
    // Measured first: only the size deflating would give is kept.
    const TDeflaterLease deflater(FDeflaters);
    std::int64_t deflatedSize = 0;
    QByteArray chunk;
    for (;;) {
        chunk = file.read(KChunk);
        if (chunk.isEmpty() && !file.atEnd())
            throw EqvOperationNotPossible(QStringLiteral("The file \"") + AFilePath +
                                          QStringLiteral("\" could not be read: ") +
                                          file.errorString());
        const bool last = chunk.size() < KChunk;
        deflatedSize += (*deflater).Feed(chunk.constData(), chunk.size(), last, nullptr);
        if (last)
            break;
    }
    ADeflate = deflatedSize < ASize;
    zip_source_t* source =
        zip_source_file(FArchive, QFile::encodeName(AFilePath).constData(), 0, -1);
    if (source == nullptr)
        Fail(QStringLiteral("The file \"") + AFilePath + QStringLiteral("\" was not added"));
    const zip_int64_t index = zip_file_add(FArchive, AName.constData(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        Fail(QStringLiteral("The file \"") + AFilePath + QStringLiteral("\" was not added"));
    }
    return index;
}

namespace {

TOrdinaryFileRead ReadFileUpTo(const QString& AFilePath, qint64 ALimit) {
    TOrdinaryFileRead read;
    QString reason;
    if (!ReadOrdinaryFile(AFilePath, ALimit, read, reason))
        throw EqvOperationNotPossible(QStringLiteral("The file ") + reason);
    return read;
}

}  // namespace

TOrdinaryFileRead TZipArchiveWriter::ReadEntryFile(const QString& AFilePath) {
    return ReadFileUpTo(AFilePath, KInMemoryFileLimit);
}

void TZipArchiveWriter::AddFile(const QString& AEntryName, const QString& AFilePath) {
    // Facts and bytes from one descriptor; past the budget only the facts.
    AddFile(AEntryName, AFilePath,
            ReadFileUpTo(AFilePath, FHeldBytes < KHeldBytesBudget ? KInMemoryFileLimit : -1));
}

void TZipArchiveWriter::AddFile(const QString& AEntryName, const QString& AFilePath,
                                const TOrdinaryFileRead& AFile) {
    const QByteArray name = EntryNameBytes(AEntryName);
    const TOrdinaryFileRead& read = AFile;
    bool deflate = false;
    const zip_int64_t index =
        read.Complete ? AddHeldFile(name, AFilePath, read.Bytes, read.Info.st_mtime, deflate)
                      : AddLargeFile(name, AFilePath, read.Info.st_size, deflate);
    const auto entry = static_cast<zip_uint64_t>(index);
    if (zip_set_file_compression(FArchive, entry, deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                                 deflate ? KNormalLevel : 0) != 0)
        Fail(QStringLiteral("The compression of \"") + AFilePath +
             QStringLiteral("\" could not be chosen"));
    SetAttributes(index, AFilePath, read.Info, false);
}

void TZipArchiveWriter::AddFolder(const QString& AEntryName, const QString& AFolderPath) {
    QString name = AEntryName;
    if (name.endsWith(u'/'))
        name.chop(1);
    const zip_int64_t index =
        zip_dir_add(FArchive, EntryNameBytes(name).constData(), ZIP_FL_ENC_UTF_8);
    if (index < 0)
        Fail(QStringLiteral("The folder \"") + AFolderPath + QStringLiteral("\" was not added"));
    SetAttributes(index, AFolderPath, StatOf(AFolderPath), true);
}

bool TZipArchiveWriter::Save() {
    const bool hasEntries = zip_get_num_entries(FArchive, 0) > 0;
    if (FMemory == nullptr) {
        if (zip_close(FArchive) != 0)
            Fail(QStringLiteral("The archive could not be written"));
        FArchive = nullptr;
        return FExisted || hasEntries;
    }
    if (!hasEntries)
        return false;  // as the archive library does: no file for an empty new archive
    if (zip_close(FArchive) != 0)
        Fail(QStringLiteral("The archive could not be written"));
    FArchive = nullptr;
    QByteArray bytes;
    zip_stat_t written;
    zip_stat_init(&written);
    bool taken = zip_source_stat(FMemory, &written) == 0 && (written.valid & ZIP_STAT_SIZE) != 0 &&
                 zip_source_open(FMemory) == 0;
    if (taken) {
        bytes.resize(static_cast<qsizetype>(written.size));
        taken = zip_source_read(FMemory, bytes.data(), written.size) ==
                static_cast<zip_int64_t>(written.size);
        zip_source_close(FMemory);
    }
    if (!taken)
        throw EqvOperationNotPossible(QStringLiteral("The archive \"") + FArchivePath +
                                      QStringLiteral("\" could not be written: ") +
                                      ZipErrorText(zip_source_error(FMemory)));
    QString reason;
    if (!ReplaceFileContent(FArchivePath, bytes, &reason))
        throw EqvOperationNotPossible(QStringLiteral("The archive \"") + FArchivePath +
                                      QStringLiteral("\" could not be written: ") + reason);
    return true;
}

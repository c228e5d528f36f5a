#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// The temporary files this program makes beside the files they belong to (a rewrite's new
// content, a copy, an archive being written) carry a name no user or other program gives: the
// file's own name, a marker of the kind, 16 random hex digits and the id of the process that
// made it, e.g. ".page.htm.plvtmp-0123456789abcdef-4711". A batch killed at the wrong moment
// leaves such a file behind; the next batch tells it by its name alone and, once the process
// that made it has ended, removes it.
enum class TOwnTemporaryKind { Rewrite, Copy, Archive };

// A fresh name for a temporary file beside APath (a name or a path; its folder part is kept).
// Random: a caller creates it exclusively and takes the next name when it is taken. Where the
// file's name would make it too long, the temporary name holds only the marker part.
QByteArray OwnTemporaryPath(const QByteArray& APath, TOwnTemporaryKind AKind);

// The id of the process that made a temporary file of this name (no folder part), or 0 when the
// name is not one this program makes. Looks at the name only.
std::int64_t OwnTemporaryProcess(const char* AName);

// True when the process of this id has ended, so what it left is a leftover. This process
// itself has not ended, nor has one the system will not tell about.
bool ProcessHasEnded(std::int64_t AProcess);

// Removes a leftover file by its native path; false with the reason in AError on failure.
bool RemoveLeftoverFile(const QByteArray& APath, QString& AError);

// A temporary file of this program's own beside a target: created exclusively under a name of
// OwnTemporaryPath, written, and put in place of the target only by Commit (the mode of a target
// that exists is kept, a new one gets the usual mode less the umask). Removed again when it is
// not committed, so only a killed process leaves one behind.
class TOwnTemporaryFile {
public:
    TOwnTemporaryFile(const QByteArray& ATarget, TOwnTemporaryKind AKind);
    ~TOwnTemporaryFile();
    TOwnTemporaryFile(const TOwnTemporaryFile&) = delete;
    TOwnTemporaryFile& operator=(const TOwnTemporaryFile&) = delete;

    // Each call returns 0 or the system's error code.
    // Creates the file (a new one, when one is open already).
    int Create();
    // Writes at the current position, which then moves past what was written.
    int Write(const void* AData, std::uint64_t ASize);
    // The position for the next write, from the start; at most the length written so far.
    bool Seek(std::uint64_t APosition);
    std::uint64_t Position() const { return FPosition; }
    std::uint64_t Length() const { return FLength; }
    // Puts the complete file in place of the target; on failure the file is removed. ASync
    // first writes the content to the disk, for files that must survive a power cut.
    int Commit(bool ASync = false);
    // Removes the file, if there is one.
    void Discard();

private:
    QByteArray FTarget;
    TOwnTemporaryKind FKind;
    QByteArray FPath;
    int FFd = -1;
    std::uint64_t FPosition = 0;
    std::uint64_t FLength = 0;
};

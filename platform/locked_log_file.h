#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// A log file one batch appends to: created exclusively (never someone else's file, never
// truncated) and held under an advisory lock while it is open, so that another process sharing
// the folder knows the log is in use. Entries go out in one write each, so writers that share
// the descriptor (a signal handler too) never cut into each other's entries.
class TLockedLogFile {
public:
    ~TLockedLogFile();
    TLockedLogFile(const TLockedLogFile&) = delete;
    TLockedLogFile& operator=(const TLockedLogFile&) = delete;

    // Creates the first free name of APath, APath itself or else APath with "_2", "_3"...
    // before its extension (which sort after it), locks it and keeps it open. Null with the
    // reason in AError when no file can be created.
    static std::unique_ptr<TLockedLogFile> CreateFree(const QString& APath, QString& AError);

    const QString& Path() const { return FPath; }
    // The open descriptor, for writers that may use nothing else (a signal handler).
    int Descriptor() const { return FFd; }
    // Appends the bytes; false with the reason (such as "No space left on device").
    bool Append(const QByteArray& ABytes, QString& AError) const;

private:
    TLockedLogFile(int AFd, QString APath);

    int FFd = -1;
    QString FPath;
};

enum class TUnlockedDeleteResult { Deleted, InUse, Failed };

// Deletes a file unless another open description holds its advisory lock (a log still being
// written, by this process or another).
TUnlockedDeleteResult DeleteUnlessLocked(const QString& APath);

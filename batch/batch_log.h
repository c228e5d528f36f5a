#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TLockedLogFile;

// Now, as the batch log sees it; the system clock (local time) when empty.
using TBatchLogClock = std::function<QDateTime()>;

// One batch's log file in the batch logs folder: a sequence of time-stamped entries, appended
// in UTF-8 without a mark, with CR LF line breaks. The class holds no module state, so it can be
// used on any folder, clock and lock.
class TBatchLog {
public:
    explicit TBatchLog(QString AFolder, TBatchLogClock AClock = {});

    // The batch logs folder, ending with "/".
    const QString& Folder() const { return FFolder; }
    // Full path of the current log; empty before Create (and then nothing is written).
    const QString& FileName() const { return FFileName; }
    void SetFileName(const QString& AFileName) { FFileName = AFileName; }
    // The open log Create made; without one, Write opens the named file for each entry.
    const std::shared_ptr<TLockedLogFile>& File() const { return FFile; }
    void SetFile(std::shared_ptr<TLockedLogFile> AFile) { FFile = std::move(AFile); }
    // The lock that serialises entries; not owned. Without one the caller must make sure that
    // only one thread writes.
    void SetLock(std::mutex* ALock) { FLock = ALock; }

    // "PLV_NewProject" for no project file, else the file name without its extension.
    static QString ProjectName(const QString& AProjectFileName);
    // "yyyyMMdd_HHmmsszzz" + "_" + project name + ".log".
    static QString ComposeFileName(const QDateTime& AStart, const QString& AProjectFileName);
    // The bytes of one entry: "--" date time "--", "Message: ", the message as passed, then two
    // line breaks; the date and time in the user's short-date and long-time formats.
    static QByteArray EntryBytes(const QDateTime& AWhen, const QString& AMessage);
    // The bytes of an entry up to where its message begins.
    static QByteArray EntryHeadBytes(const QDateTime& AWhen);

    // Composes the name from the clock and the project and creates the file exclusively
    // (creating the folder when it is missing): a name already taken, by a batch of another
    // process in the same millisecond say, gets "_2", "_3"... before ".log". The file stays open
    // under an advisory lock until the last copy of this log goes, so that Prune in another
    // process leaves it alone. Makes it the current log and returns its full path. Raises
    // EqvOperationNotPossible when the file cannot be created.
    QString Create(const QString& AProjectFileName);

    // Appends one entry to the current log, under the lock when there is one; nothing when no
    // log is current. The file is appended to, never read. Raises EqvOperationNotPossible with
    // the path and the reason when the entry cannot be written; the lock is released either way.
    void Write(const QString& AMessage) const;

    // Deletes the oldest "*.log" files directly in the folder until AKeepCount remain. Oldest
    // means first by full path (the names begin with their start time). The current log counts
    // as the newest, so a clock set back never makes it the victim, unless AKeepCount is 0.
    // A log in use (its writer's lock held, in any process) or that cannot be deleted is left
    // silently. Returns the deleted paths.
    QStringList Prune(int AKeepCount) const;

    // The full paths of the "*.log" files directly in a folder, ascending.
    static QStringList ListLogs(const QString& AFolder);

private:
    QDateTime Now() const;

    QString FFolder;
    TBatchLogClock FClock;
    QString FFileName;
    std::shared_ptr<TLockedLogFile> FFile;
    std::mutex* FLock = nullptr;
};

// The Logs page's data, without widgets: two root nodes, "Misc" (the "*.log" files of the misc
// logs folder) and "Batches" (those of the batch logs folder), each listing its file names in
// ascending order. It is built once; files written later are not listed.
class TLogsPageModel {
public:
    struct TNode {
        QString Caption;   // root: "Misc" or "Batches"; file: its name
        QString FullPath;  // file: its full path; root: empty
    };
    struct TRoot {
        TNode Node;
        QString Folder;
        std::vector<TNode> Files;
    };
    // A node: root index and file index, -1 for the root itself.
    struct TRef {
        int Root = -1;
        int File = -1;
        bool operator==(const TRef&) const = default;
    };

    static constexpr int KMiscRoot = 0;
    static constexpr int KBatchesRoot = 1;

    TLogsPageModel(const QString& AMiscLogsFolder, const QString& ABatchLogsFolder);

    const std::vector<TRoot>& Roots() const { return FRoots; }
    // The first file of "Misc", or "Misc" itself when it holds none.
    TRef InitialSelection() const;
    bool IsValid(TRef ARef) const;
    // The full path shown for a node: a file's path; empty for a root or an unknown node.
    QString FullPath(TRef ARef) const;
    // The file's current text for the viewer (encoding detected); empty for a root.
    QString LoadText(TRef ARef) const;

private:
    std::vector<TRoot> FRoots;
};

// The application module's batch log: the module's batch logs folder, clock, current name and
// lock. Without a module these do nothing.

// The batch log part of starting a batch: creates the module's lock, composes and creates the
// log file and stores its name and open file in the module. Returns the name.
QString BeginModuleBatchLog(const QString& AProjectFileName);
// Appends an entry to the module's current log, under the module's lock when it exists; nothing
// when no log has been created yet.
void WriteInBatchLog(const QString& ABatchStr);
// The batch log part of ending a batch: frees the module's lock (no writer may be left) and
// closes the log, then deletes the oldest logs beyond the program option BatchLogCount.
void EndModuleBatchLog();
// The Logs page data for the module's folders.
TLogsPageModel ModuleLogsPageModel();

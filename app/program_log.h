#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class TUserPrompts;

// Who raised or reports something: its type name and, for a named component, its name.
struct TLogSender {
    QString ClassName;
    QString Name;
};

// Translated texts for the error dialogs: (section key, English default) -> text.
using TLogTextLookup = std::function<QString(const QString& AKey, const QString& ADefault)>;

// The program log: a cumulative text file of unexpected errors and notable events with the
// context needed to diagnose them later. Entries from any thread are serialised and each is
// written complete; the file is only ever appended to, in UTF-8 with CR LF line ends.
class TqvLogging {
public:
    TqvLogging();

    QString FLogFileName;             // empty: entries stay in memory only
    bool FAutoSaveLog = true;         // write after every entry
    bool FWriteLogCumulative = true;  // append rather than replace

    // Appends one entry; every argument may be absent. Errors while logging never escape.
    void Log(const TLogSender* ASender, const std::exception* AException,
             const std::optional<QString>& ACustomMessage = std::nullopt,
             const std::optional<QString>& ACustomID = std::nullopt);

    // The application's error handler: logs always; on the user-interface thread also asks the
    // user whether to open the support page about it.
    void HandleErrorException(const TLogSender* ASenderObj, const std::exception& E);
    // A named problem: asks whether to view details on the support page.
    void HandleErrorGeneral(const QString& AName);

    // Dependencies; without prompts no dialog is shown.
    void SetPrompts(TUserPrompts* APrompts) { FPrompts = APrompts; }
    void SetTextLookup(TLogTextLookup ALookup) { FTextLookup = std::move(ALookup); }
    void SetClock(std::function<QDateTime()> AClock);
    // The thread that counts as the user-interface thread (the creating thread by default).
    void SetMainThread(std::thread::id AId, std::int64_t ANativeId);

    // Lines not yet written (kept when there is no file or auto-save is off).
    QStringList PendingLines() const;
    // Writes the pending lines now.
    void Flush();

    static QUrl SupportUrl(const QString& AErrorClass, const QString& AMessage);

private:
    // Called with FCS_ThreadSafeLog held; ALastError is the system error the caller had.
    QStringList BuildEntry(int ALastError, const TLogSender* ASender,
                           const std::exception* AException, const std::optional<QString>& AMessage,
                           const std::optional<QString>& AId) const;
    void SaveLocked();
    QString Text(const QString& AKey, const QString& ADefault) const;
    bool OnMainThread() const;

    mutable std::mutex FCS_ThreadSafeLog;
    QStringList FLogStrings;
    // A save failed and nothing was saved since: the failure has been told once already.
    bool FSaveFailing = false;
    TUserPrompts* FPrompts = nullptr;
    TLogTextLookup FTextLookup;
    std::function<QDateTime()> FClock;
    std::thread::id FMainThread;
    std::int64_t FMainThreadNativeId = 0;
};

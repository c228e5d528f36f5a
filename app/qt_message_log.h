#pragma once

#include <QString>
#include <QtMessageHandler>

#include <mutex>
#include <optional>
#include <vector>

class TqvLogging;

// Routes the messages of the Qt library itself (such as a MIME description it cannot read) while
// it lives: to standard error as Qt would print them, unless quiet; and, from warnings up, into
// the program log. Qt has one message handler per process, so one of these is made at the start
// of an executable (before the application object, whose own warnings it then catches) and
// puts the previous handler back when it goes. Messages that come before a program log is
// attached are written into it when it is; when none ever is, they are printed at the end
// after all, rather than lost.
class TQtMessageLog {
public:
    explicit TQtMessageLog(bool AQuiet = false);
    ~TQtMessageLog();
    TQtMessageLog(const TQtMessageLog&) = delete;
    TQtMessageLog& operator=(const TQtMessageLog&) = delete;

    // The program log from now on; null detaches it. Detach before the log goes, while no other
    // thread can produce messages.
    void Attach(TqvLogging* ALog);

    // What the handler does with one message; callable from any thread.
    void Handle(QtMsgType AType, const QMessageLogContext& AContext, const QString& AMessage);

private:
    struct TEntry {
        QString Id;
        QString Message;
        QString Line;  // as printed on standard error
    };
    static std::optional<TEntry> LogEntry(QtMsgType AType, const QMessageLogContext& AContext,
                                          const QString& AMessage, const QString& ALine);

    const bool FQuiet;
    std::mutex FLock;
    TqvLogging* FLog = nullptr;
    std::vector<TEntry> FPending;
    QtMessageHandler FPrevious = nullptr;
};

// Keeps a program log attached to a message log for a scope.
class TQtMessageLogAttachment {
public:
    TQtMessageLogAttachment(TQtMessageLog& AMessages, TqvLogging& ALog) : FMessages(AMessages) {
        FMessages.Attach(&ALog);
    }
    ~TQtMessageLogAttachment() { FMessages.Attach(nullptr); }
    TQtMessageLogAttachment(const TQtMessageLogAttachment&) = delete;
    TQtMessageLogAttachment& operator=(const TQtMessageLogAttachment&) = delete;

private:
    TQtMessageLog& FMessages;
};

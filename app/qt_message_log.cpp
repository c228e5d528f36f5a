#include "app/qt_message_log.h"

#include "app/program_log.h"
#include "app/user_prompts.h"
#include "base/qt_warning_capture.h"

namespace {

// Qt's handler is a plain function, so the routing object has to be found through this one
// pointer; it is set and cleared only by the object's own lifetime.
TQtMessageLog* GActive = nullptr;

// Set while this thread routes a message: a message that the routing itself causes (writing the
// program log) goes to standard error only, instead of locking up in the log it is writing.
thread_local bool GRouting = false;

void Route(QtMsgType AType, const QMessageLogContext& AContext, const QString& AMessage) {
    // A warning a part of the program catches to report it with what it belongs to.
    if (CaptureQtWarning(AType, AContext, AMessage))
        return;
    if (GActive != nullptr)
        GActive->Handle(AType, AContext, AMessage);
}

void PrintLine(const QString& ALine) {
    WriteConsole(stderr, ALine + QLatin1Char('\n'));
}

// Notices that tell nothing a person at a terminal can act on: a shell without a login session
// has no runtime folder, and Qt takes one of its own. They still reach the program log.
bool WorthATerminalLine(QtMsgType AType, const QString& AMessage) {
    return AType != QtWarningMsg ||
           !AMessage.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set"));
}

}  // namespace

TQtMessageLog::TQtMessageLog(bool AQuiet) : FQuiet(AQuiet) {
    GActive = this;
    FPrevious = qInstallMessageHandler(Route);
}

TQtMessageLog::~TQtMessageLog() {
    qInstallMessageHandler(FPrevious);
    GActive = nullptr;
    // No program log ever took them (the run ended before it had one): they were not shown
    // when quiet, and there is no other place left for them.
    if (FQuiet)
        for (const TEntry& entry : FPending)
            if (entry.Id != QStringLiteral("QtWarningMsg") ||
                WorthATerminalLine(QtWarningMsg, entry.Message))
                PrintLine(entry.Line);
}

std::optional<TQtMessageLog::TEntry> TQtMessageLog::LogEntry(QtMsgType AType,
                                                             const QMessageLogContext& AContext,
                                                             const QString& AMessage,
                                                             const QString& ALine) {
    QString id;
    switch (AType) {
        case QtWarningMsg:
            id = QStringLiteral("QtWarningMsg");
            break;
        case QtCriticalMsg:
            id = QStringLiteral("QtCriticalMsg");
            break;
        case QtFatalMsg:
            id = QStringLiteral("QtFatalMsg");
            break;
        case QtDebugMsg:
        case QtInfoMsg:
            // Chatter, not a problem: the program log keeps errors and notable events.
            return std::nullopt;
    }
    const QString category = QString::fromUtf8(AContext.category ? AContext.category : "");
    const bool named = !category.isEmpty() && category != QStringLiteral("default");
    return TEntry{id, named ? category + QStringLiteral(": ") + AMessage : AMessage, ALine};
}

void TQtMessageLog::Handle(QtMsgType AType, const QMessageLogContext& AContext,
                           const QString& AMessage) {
    // A fatal message ends the program right after this: it is always shown, so the end has a
    // reason on the terminal.
    const QString line = qFormatLogMessage(AType, AContext, AMessage);
    if ((!FQuiet && WorthATerminalLine(AType, AMessage)) || AType == QtFatalMsg || GRouting)
        PrintLine(line);
    if (GRouting)
        return;
    const std::optional<TEntry> entry = LogEntry(AType, AContext, AMessage, line);
    if (!entry)
        return;
    GRouting = true;
    TqvLogging* log = nullptr;
    {
        const std::lock_guard lock(FLock);
        log = FLog;
        if (log == nullptr)
            FPending.push_back(*entry);
    }
    if (log != nullptr)
        log->Log(nullptr, nullptr, entry->Message, entry->Id);
    GRouting = false;
}

void TQtMessageLog::Attach(TqvLogging* ALog) {
    std::vector<TEntry> pending;
    {
        const std::lock_guard lock(FLock);
        FLog = ALog;
        if (ALog != nullptr)
            pending.swap(FPending);
    }
    GRouting = true;
    for (const TEntry& entry : pending)
        ALog->Log(nullptr, nullptr, entry.Message, entry.Id);
    GRouting = false;
}

#include "plugin_host/plugin_call_watch.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/fatal_signal_note.h"

namespace {

using TClock = std::chrono::steady_clock;

struct TWatchedCall {
    TClock::time_point Deadline;
    const char* EntryPoint = nullptr;
    QString Plugin;
    QString Path;
};

// Guards the current state and every state's calls.
std::mutex GLock;

QString LimitText(std::chrono::milliseconds ALimit) {
    return QString::number(static_cast<double>(ALimit.count()) / 1000.0);
}

}  // namespace

struct TPluginCallWatching::TState {
    TPluginCallWatchSetup Setup;
    std::condition_variable Changed;
    // By id, which is also deadline order: every call gets the same limit.
    std::map<std::uint64_t, TWatchedCall> Calls;
    bool Stop = false;
    std::thread Watchdog;
    std::unique_ptr<TFatalSignalNotes> Notes;

    void Watch();
};

namespace {

std::shared_ptr<TPluginCallWatching::TState> GState;
std::uint64_t GNextId = 0;

}  // namespace

void TPluginCallWatching::TState::Watch() {
    std::unique_lock lock(GLock);
    while (!Stop) {
        if (Calls.empty()) {
            // Never longer than one limit: a call that starts meanwhile has a later deadline,
            // so it needs no wake-up of its own (waking this thread for every call cost two
            // futex calls per path).
            Changed.wait_for(lock, Setup.WarnAfter);
            continue;
        }
        const auto first = Calls.begin();
        // A copy: the call may end, and its entry go, while this thread waits.
        const TClock::time_point deadline = first->second.Deadline;
        if (TClock::now() < deadline) {
            Changed.wait_until(lock, deadline);
            continue;
        }
        // Told once: the call leaves the watch and goes on undisturbed.
        const TWatchedCall call = std::move(first->second);
        Calls.erase(first);
        lock.unlock();
        QString entry = QStringLiteral("  Plugin \"") + call.Plugin +
                        QStringLiteral("\" has been working on one call for more than ") +
                        LimitText(Setup.WarnAfter) +
                        QStringLiteral(
                            " seconds and goes on (not counted as a problem): "
                            "entry point \"") +
                        QString::fromLatin1(call.EntryPoint) + QLatin1Char('"');
        if (!call.Path.isEmpty())
            entry += QStringLiteral(", path \"") + call.Path + QLatin1Char('"');
        entry += QStringLiteral(".\r\n");
        try {
            if (Setup.WarnWriter)
                Setup.WarnWriter(entry);
        } catch (...) {
            // The writer reports its own failures; this thread must not end over one.
        }
        lock.lock();
    }
}

TPluginCallWatching::TPluginCallWatching(TPluginCallWatchSetup ASetup)
    : FState(std::make_shared<TState>()) {
    FState->Setup = std::move(ASetup);
    if (FState->Setup.CrashLogDescriptor >= 0)
        FState->Notes = std::make_unique<TFatalSignalNotes>(FState->Setup.CrashLogDescriptor);
    if (FState->Setup.WarnAfter.count() > 0)
        FState->Watchdog = std::thread([state = FState.get()] { state->Watch(); });
    const std::lock_guard lock(GLock);
    GState = FState;
}

TPluginCallWatching::~TPluginCallWatching() {
    {
        const std::lock_guard lock(GLock);
        if (GState == FState)
            GState.reset();
        FState->Stop = true;
    }
    FState->Changed.notify_all();
    if (FState->Watchdog.joinable())
        FState->Watchdog.join();
    FState->Notes.reset();
}

TPluginCallScope::TPluginCallScope(const char* AEntryPoint, const QString& APlugin,
                                   const QString& APath) {
    {
        const std::lock_guard lock(GLock);
        if (!GState)
            return;
        FState = GState;
        if (FState->Setup.WarnAfter.count() > 0) {
            FId = ++GNextId;
            // No wake-up: the watchdog never sleeps past one limit from when it went to sleep,
            // which is before this deadline, and a later call never has an earlier deadline.
            FState->Calls.emplace(FId, TWatchedCall{TClock::now() + FState->Setup.WarnAfter,
                                                    AEntryPoint, APlugin, APath});
        }
    }
    if (!FState->Notes)
        return;
    // Made now, while anything may still be done; the signal handler only writes the bytes. A
    // thread calls the same plugin and entry point over and over: their texts are kept.
    thread_local QString lastPlugin;
    thread_local QByteArray pluginBytes;
    thread_local const char* lastEntryPoint = nullptr;
    thread_local QByteArray entryPointBytes;
    if (pluginBytes.isEmpty() || lastPlugin != APlugin) {
        lastPlugin = APlugin;
        pluginBytes = (QStringLiteral("  Plugin \"") + APlugin +
                       QStringLiteral("\" ended the program with the fatal signal "))
                          .toUtf8();
    }
    if (lastEntryPoint != AEntryPoint) {
        lastEntryPoint = AEntryPoint;
        entryPointBytes = QByteArray(" in entry point \"") + AEntryPoint + '"';
    }
    FHead = FState->Setup.EntryHead ? FState->Setup.EntryHead() : QByteArray();
    FPlugin = pluginBytes;
    FEntryPoint = entryPointBytes;
    static constexpr char KPathStart[] = ", path \"";
    static constexpr char KPathEnd[] = "\".\r\n\r\n\r\n";
    static constexpr char KEnd[] = ".\r\n\r\n\r\n";
    const auto literal = [](const char* AText, std::size_t ASize) {
        return TFatalSignalNote::TPiece{AText, ASize - 1};
    };
    if (APath.isEmpty()) {
        FNote.emplace(
            std::initializer_list<TFatalSignalNote::TPiece>{TFatalSignalNote::Piece(FHead),
                                                            TFatalSignalNote::Piece(FPlugin)},
            std::initializer_list<TFatalSignalNote::TPiece>{TFatalSignalNote::Piece(FEntryPoint),
                                                            literal(KEnd, sizeof KEnd)});
        return;
    }
    FPath = APath.toUtf8();
    FNote.emplace(std::initializer_list<TFatalSignalNote::TPiece>{TFatalSignalNote::Piece(FHead),
                                                                  TFatalSignalNote::Piece(FPlugin)},
                  std::initializer_list<TFatalSignalNote::TPiece>{
                      TFatalSignalNote::Piece(FEntryPoint), literal(KPathStart, sizeof KPathStart),
                      TFatalSignalNote::Piece(FPath), literal(KPathEnd, sizeof KPathEnd)});
}

TPluginCallScope::~TPluginCallScope() {
    FNote.reset();
    if (FId == 0)
        return;
    const std::lock_guard lock(GLock);
    FState->Calls.erase(FId);
}

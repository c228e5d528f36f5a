#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/fatal_signal_note.h"

// What a batch learns of the plugin calls it makes: a call that ends the program with a fatal
// signal leaves a last entry in the batch log, and a call running longer than a limit gets one
// batch log line (the call is left alone: long programs and uploads are normal).
struct TPluginCallWatchSetup {
    // The open batch log the last entry goes to; -1 for none.
    int CrashLogDescriptor = -1;
    // The first bytes of a batch log entry, up to where its message begins (called for every
    // call: it should keep what it made while the time stays in the same second).
    std::function<QByteArray()> EntryHead;
    // How long a call may run before it is told; zero or less: never.
    std::chrono::milliseconds WarnAfter{0};
    // Writes the line of a call running too long (on the watch's own thread).
    std::function<void(const QString& AEntry)> WarnWriter;
};

// While it exists, every plugin call (TPluginCallScope) is watched; one at a time. A single
// thread keeps the deadlines and sleeps until the earliest: nothing is polled per call.
class TPluginCallWatching {
public:
    explicit TPluginCallWatching(TPluginCallWatchSetup ASetup);
    ~TPluginCallWatching();
    TPluginCallWatching(const TPluginCallWatching&) = delete;
    TPluginCallWatching& operator=(const TPluginCallWatching&) = delete;

    struct TState;

private:
    std::shared_ptr<TState> FState;
};

// Around one plugin call, on the calling thread; costs nothing when no batch watches. APlugin
// names the plugin, APath the path the call works on (empty for the calls without one).
class TPluginCallScope {
public:
    TPluginCallScope(const char* AEntryPoint, const QString& APlugin, const QString& APath);
    ~TPluginCallScope();
    TPluginCallScope(const TPluginCallScope&) = delete;
    TPluginCallScope& operator=(const TPluginCallScope&) = delete;

private:
    std::shared_ptr<TPluginCallWatching::TState> FState;
    std::uint64_t FId = 0;
    // The note's pieces; most are made once per thread and kept while they stay the same.
    QByteArray FHead;
    QByteArray FPlugin;
    QByteArray FEntryPoint;
    QByteArray FPath;
    std::optional<TFatalSignalNote> FNote;
};

#pragma once

#include <QByteArray>

// A last word when the program dies of a fatal signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL,
// SIGABRT) inside a call that cannot be trusted, such as a plugin's: the thread's note, made
// before the call, is written to an already open descriptor with async-signal-safe calls only;
// then the signal takes its course as it would have (the handler that was there before, or the
// default action).

// While it exists, fatal signals are caught and a note of the dying thread goes to ADescriptor.
// One at a time; the handlers that were there before come back when it ends.
class TFatalSignalNotes {
public:
    explicit TFatalSignalNotes(int ADescriptor);
    ~TFatalSignalNotes();
    TFatalSignalNotes(const TFatalSignalNotes&) = delete;
    TFatalSignalNotes& operator=(const TFatalSignalNotes&) = delete;
};

// Whether notes are being taken; a caller may skip preparing one otherwise.
bool FatalSignalNotesActive();

// The calling thread's note while it exists: AHead, the signal's name ("SIGSEGV"), ATail. The
// bytes are not copied and must outlive it. Notes nest; the inner one is the one written.
class TFatalSignalNote {
public:
    TFatalSignalNote(const QByteArray& AHead, const QByteArray& ATail);
    ~TFatalSignalNote();
    TFatalSignalNote(const TFatalSignalNote&) = delete;
    TFatalSignalNote& operator=(const TFatalSignalNote&) = delete;

private:
    const TFatalSignalNote* FOuter = nullptr;

public:
    const char* const Head;
    const std::size_t HeadSize;
    const char* const Tail;
    const std::size_t TailSize;
};

#pragma once

#include <QByteArray>

#include <cstddef>
#include <initializer_list>

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

// The calling thread's note while it exists: the pieces of ABefore, the signal's name
// ("SIGSEGV"), the pieces of AAfter (up to four each). The bytes are not copied and must outlive
// it. Notes nest; the inner one is the one written.
class TFatalSignalNote {
public:
    struct TPiece {
        const char* Data = nullptr;
        std::size_t Size = 0;
    };
    static constexpr std::size_t KMaxPieces = 4;

    TFatalSignalNote(std::initializer_list<TPiece> ABefore, std::initializer_list<TPiece> AAfter);
    ~TFatalSignalNote();
    TFatalSignalNote(const TFatalSignalNote&) = delete;
    TFatalSignalNote& operator=(const TFatalSignalNote&) = delete;

    static TPiece Piece(const QByteArray& ABytes) {
        return {ABytes.constData(), static_cast<std::size_t>(ABytes.size())};
    }

    TPiece Before[KMaxPieces];
    std::size_t BeforeCount = 0;
    TPiece After[KMaxPieces];
    std::size_t AfterCount = 0;

private:
    const TFatalSignalNote* FOuter = nullptr;
};

#include "platform/fatal_signal_note.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr int KSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr const char* KSignalNames[] = {"SIGSEGV", "SIGBUS", "SIGFPE", "SIGILL", "SIGABRT"};
constexpr std::size_t KSignalCount = sizeof KSignals / sizeof KSignals[0];

// Read by the handler: plain globals set before the handlers are installed.
struct sigaction GPrevious[KSignalCount];
std::atomic<int> GDescriptor{-1};
std::atomic<bool> GWritten{false};
// The thread's innermost note; the initial-exec model of the executable's thread-local
// storage is safe to read in a handler.
__attribute__((tls_model("initial-exec"))) thread_local const TFatalSignalNote* GNote = nullptr;

extern "C" void OnFatalSignal(int ASignal, siginfo_t* AInfo, void*) {
    const int savedErrno = errno;
    std::size_t index = 0;
    while (index < KSignalCount && KSignals[index] != ASignal)
        ++index;
    const TFatalSignalNote* note = GNote;
    const int fd = GDescriptor.load();
    // One note only: a second thread dying at the same moment adds nothing.
    if (note != nullptr && fd >= 0 && index < KSignalCount && !GWritten.exchange(true)) {
        iovec parts[2 * TFatalSignalNote::KMaxPieces + 1];
        int count = 0;
        for (std::size_t i = 0; i < note->BeforeCount; ++i)
            parts[count++] = {const_cast<char*>(note->Before[i].Data), note->Before[i].Size};
        parts[count++] = {const_cast<char*>(KSignalNames[index]), std::strlen(KSignalNames[index])};
        for (std::size_t i = 0; i < note->AfterCount; ++i)
            parts[count++] = {const_cast<char*>(note->After[i].Data), note->After[i].Size};
        ssize_t written = 0;
        do {
            written = ::writev(fd, parts, count);
        } while (written < 0 && errno == EINTR);
    }
    // The signal goes on as it would have without us: back to the earlier handler (a
    // sanitizer's report) or the default action. A fault comes again when the instruction is
    // retried on return; a sent signal (abort, kill) is sent again.
    if (index < KSignalCount) {
        struct sigaction previous = GPrevious[index];
        if (previous.sa_handler == SIG_IGN)
            previous.sa_handler = SIG_DFL;
        ::sigaction(ASignal, &previous, nullptr);
    } else {
        ::signal(ASignal, SIG_DFL);
    }
    if (AInfo == nullptr || AInfo->si_code <= 0)
        ::raise(ASignal);
    errno = savedErrno;
}

}  // namespace

TFatalSignalNotes::TFatalSignalNotes(int ADescriptor) {
    GWritten = false;
    GDescriptor = ADescriptor;
    struct sigaction action {};
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < KSignalCount; ++i)
        ::sigaction(KSignals[i], &action, &GPrevious[i]);
}

TFatalSignalNotes::~TFatalSignalNotes() {
    for (std::size_t i = 0; i < KSignalCount; ++i)
        ::sigaction(KSignals[i], &GPrevious[i], nullptr);
    GDescriptor = -1;
}

bool FatalSignalNotesActive() {
    return GDescriptor.load() >= 0;
}

TFatalSignalNote::TFatalSignalNote(std::initializer_list<TPiece> ABefore,
                                   std::initializer_list<TPiece> AAfter)
    : FOuter(GNote) {
    for (const TPiece& piece : ABefore)
        if (BeforeCount < KMaxPieces)
            Before[BeforeCount++] = piece;
    for (const TPiece& piece : AAfter)
        if (AfterCount < KMaxPieces)
            After[AfterCount++] = piece;
    // The handler must see the note complete before it sees the pointer.
    std::atomic_signal_fence(std::memory_order_release);
    GNote = this;
    std::atomic_signal_fence(std::memory_order_release);
}

TFatalSignalNote::~TFatalSignalNote() {
    GNote = FOuter;
    std::atomic_signal_fence(std::memory_order_release);
}

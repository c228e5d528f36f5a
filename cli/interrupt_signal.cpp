#include "cli/interrupt_signal.h"

#include <unistd.h>

#include <atomic>

namespace {

// A signal handler has no context but what is global; only these two are touched there.
std::atomic<int> GInterrupts{0};
std::atomic<int> GExitCodeOnSecond{1};

extern "C" void OnInterruptSignal(int) {
    if (GInterrupts.fetch_add(1) >= 1)
        _exit(GExitCodeOnSecond.load());
}

}  // namespace

TInterruptSignal::TInterruptSignal(int AExitCodeOnSecond) {
    GInterrupts = 0;
    GExitCodeOnSecond = AExitCodeOnSecond;
    struct sigaction action {};
    action.sa_handler = OnInterruptSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &FPrevious);
}

TInterruptSignal::~TInterruptSignal() {
    sigaction(SIGINT, &FPrevious, nullptr);
}

bool TInterruptSignal::Requested() const {
    return GInterrupts.load() > 0;
}

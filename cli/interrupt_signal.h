#pragma once

#include <signal.h>

// Ctrl+C while a batch runs: the first one is counted (the run asks the batch to stop), a
// second one ends the process at once with the exit code given. While it lives it replaces the
// process's SIGINT handler and puts the previous one back when it goes; one at a time.
class TInterruptSignal {
public:
    explicit TInterruptSignal(int AExitCodeOnSecond);
    ~TInterruptSignal();
    TInterruptSignal(const TInterruptSignal&) = delete;
    TInterruptSignal& operator=(const TInterruptSignal&) = delete;

    // Ctrl+C was pressed since this was made.
    bool Requested() const;

private:
    struct sigaction FPrevious {};
};

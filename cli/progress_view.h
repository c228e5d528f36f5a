#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <mutex>
#include <optional>

#include "cli/interrupt_signal.h"
#include "project/headless_run.h"

// How plovane-run shows a batch: on a terminal a bar redrawn in place, otherwise a plain line
// every two seconds, nothing when quiet; progress and the stop announcement on standard error,
// the outcome on standard output. While the batch runs, Ctrl+C asks it to stop (a second one
// ends at once).
class TTerminalProgressView : public THeadlessRunView {
public:
    TTerminalProgressView(bool AQuiet, bool ATerminal, FILE* AProgressStream = stderr);

    void BatchStarting() override;
    void Progress(int AMax, int APosition) override;
    void WaitTick() override;
    bool StopRequested() override;
    void StopPassedOn() override;
    void BatchEnded() override;

private:
    void Draw();
    void Print(const QString& AText);

    const bool FQuiet;
    const bool FTerminal;
    std::optional<TInterruptSignal> FInterrupt;
    FILE* const FStream;
    bool FDrew = false;
    std::mutex FLock;  // the numbers come from the batch threads
    int FMax = 0;
    int FPosition = 0;
    QElapsedTimer FTimer;
    qint64 FLastLine = -2000;
};

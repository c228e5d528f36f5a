#include "ui/main_window/progress_relay.h"

TProgressRelay::TProgressRelay(TApply AApply, int AIntervalMs) : FApply(std::move(AApply)) {
    FTimer.setSingleShot(true);
    FTimer.setInterval(AIntervalMs);
    QObject::connect(&FTimer, &QTimer::timeout, &FTimer, [this] { Deliver(); });
}

void TProgressRelay::Post(int AMax, int APosition) {
    {
        const std::lock_guard lock(FLock);
        FMax = AMax;
        FPosition = APosition;
    }
    // One queued call per delivery: later posts only update the numbers it will read.
    if (FPosted.exchange(true))
        return;
    QMetaObject::invokeMethod(
        &FTimer,
        [this] {
            if (!FTimer.isActive())
                FTimer.start();
        },
        Qt::QueuedConnection);
}

void TProgressRelay::Cancel() {
    FTimer.stop();
    FPosted = false;
}

void TProgressRelay::Deliver() {
    // Cleared before reading, so a post from now on schedules the next delivery.
    if (!FPosted.exchange(false))
        return;
    int max = 0;
    int position = 0;
    {
        const std::lock_guard lock(FLock);
        max = FMax;
        position = FPosition;
    }
    FApply(max, position);
}

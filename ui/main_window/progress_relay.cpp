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
    // By the slot's name, so no functor allocated here is freed on the relay's thread (a
    // hand-over inside Qt that ThreadSanitizer cannot see). The timer is single-shot and
    // inactive whenever a call is queued; a start after Cancel only restarts it.
    QMetaObject::invokeMethod(&FTimer, "start", Qt::QueuedConnection);
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

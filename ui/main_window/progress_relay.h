#pragma once

#include <QTimer>

#include <atomic>
#include <functional>
#include <mutex>

// Hands batch progress from any thread to the thread the relay lives on, coalesced: however
// often it is posted, the receiver sees the latest numbers at most once per interval.
class TProgressRelay {
public:
    using TApply = std::function<void(int AMax, int APosition)>;
    TProgressRelay(TApply AApply, int AIntervalMs);

    // Any thread.
    void Post(int AMax, int APosition);
    // The relay's thread: forgets what was posted and not yet shown.
    void Cancel();

private:
    void Deliver();

    TApply FApply;
    QTimer FTimer;  // lives on the relay's thread; the queued calls run there
    std::mutex FLock;
    int FMax = 0;
    int FPosition = 0;
    std::atomic<bool> FPosted{false};
};

#include "batch/worker_pool.h"

#include "platform/process_info.h"

TWorkerPool::~TWorkerPool() {
    {
        const std::lock_guard lock(FLock);
        FStopping = true;
    }
    FWake.notify_all();
    for (std::thread& thread : FThreads)
        thread.join();
}

void TWorkerPool::Submit(std::function<void()> ATask) {
    {
        const std::lock_guard lock(FLock);
        FTasks.push_back(std::move(ATask));
        if (FIdle < FTasks.size())
            FThreads.emplace_back([this] { Run(); });
    }
    FWake.notify_one();
}

std::size_t TWorkerPool::ThreadCount() const {
    const std::lock_guard lock(FLock);
    return FThreads.size();
}

void TWorkerPool::Run() {
    LowerCurrentThreadPriority();
    std::unique_lock lock(FLock);
    for (;;) {
        ++FIdle;
        FWake.wait(lock, [this] { return FStopping || !FTasks.empty(); });
        --FIdle;
        if (FTasks.empty())
            return;  // stopping and nothing left
        std::function<void()> task = std::move(FTasks.front());
        FTasks.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

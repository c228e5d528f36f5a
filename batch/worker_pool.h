#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Reusable threads for the batch's dispatch loops (each works on one path after another). A
// thread is added only when every existing one is busy, so the pool grows to the largest number
// of tasks that ran at once; the caller limits that number. Threads run at lower than normal
// priority.
class TWorkerPool {
public:
    TWorkerPool() = default;
    ~TWorkerPool();
    TWorkerPool(const TWorkerPool&) = delete;
    TWorkerPool& operator=(const TWorkerPool&) = delete;

    void Submit(std::function<void()> ATask);
    std::size_t ThreadCount() const;

private:
    void Run();

    mutable std::mutex FLock;
    std::condition_variable FWake;
    std::deque<std::function<void()>> FTasks;
    std::vector<std::thread> FThreads;
    std::size_t FIdle = 0;
    bool FStopping = false;
};

// Worker threads that compute the FGT's missing values off the caller's
// thread: jobs run in the order they were queued, Cancel drops those that
// have not started, and the destructor waits for the one each thread is
// running (a job is a short piece: a few blocks of one row). The owner keeps
// everything a job touches alive until the destructor returns.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class FGTWorkers {
public:
    explicit FGTWorkers(int threads) : m_nThreads(threads) {}
    ~FGTWorkers();
    FGTWorkers(const FGTWorkers&) = delete;
    FGTWorkers& operator=(const FGTWorkers&) = delete;

    // Queues `jobs` after those waiting. The threads start with the first
    // jobs; without any thread the jobs run here, before this returns.
    void Add(std::vector<std::function<void()>> jobs);
    // Drops the jobs that have not started.
    void Cancel();
    // Waits until no job is queued or running.
    void WaitIdle();
    // True while a job is queued or running.
    bool Busy();

private:
    void Run();

    const int m_nThreads;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_jobs;
    int m_nRunning = 0;
    bool m_bStop = false;
};

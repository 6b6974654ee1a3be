#include "FGTWorkers.h"

#include <system_error>

FGTWorkers::~FGTWorkers() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads) thread.join();
}

void FGTWorkers::Add(std::vector<std::function<void()>> jobs) {
    if (jobs.empty()) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& job : jobs) m_jobs.push_back(std::move(job));
        while (static_cast<int>(m_threads.size()) < m_nThreads) {
            try {
                m_threads.emplace_back(&FGTWorkers::Run, this);
            } catch (const std::system_error&) {
                break;  // fewer threads share the jobs
            }
        }
    }
    m_wake.notify_all();
    if (m_threads.empty()) {
        // No thread could be made: the caller does the work.
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_jobs.empty()) {
            std::function<void()> job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }
}

void FGTWorkers::Cancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.clear();
    if (m_nRunning == 0) m_idle.notify_all();
}

void FGTWorkers::WaitIdle() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return m_jobs.empty() && m_nRunning == 0; });
}

bool FGTWorkers::Busy() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_jobs.empty() || m_nRunning > 0;
}

void FGTWorkers::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bStop || !m_jobs.empty(); });
        if (m_bStop) return;
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        ++m_nRunning;
        lock.unlock();
        job();
        lock.lock();
        --m_nRunning;
        if (m_jobs.empty() && m_nRunning == 0) m_idle.notify_all();
    }
}

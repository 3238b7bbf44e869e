#include "board/pool.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace pm::board {

WorkerPool::WorkerPool(int threads, size_t queue, int nice) : limit_(std::max<size_t>(queue, 1)) {
    for (int i = 0; i < std::max(threads, 1); ++i) threads_.emplace_back([this, nice] { Work(nice); });
}

WorkerPool::~WorkerPool() { Stop(); }

bool WorkerPool::TryPost(Job job) {
    std::lock_guard lock(mutex_);
    if (stopping_ || jobs_.size() >= limit_) return false;
    jobs_.push_back(std::move(job));
    ready_.notify_one();
    return true;
}

void WorkerPool::DropWaiting() {
    std::deque<Job> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(jobs_);
    }
    for (Job& job : dropped) job(false);
}

void WorkerPool::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    DropWaiting();
    ready_.notify_all();
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
}

size_t WorkerPool::Waiting() {
    std::lock_guard lock(mutex_);
    return jobs_.size();
}

size_t WorkerPool::Running() {
    std::lock_guard lock(mutex_);
    return running_;
}

void WorkerPool::Work(int nice) {
    if (nice) ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), nice);
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            ++running_;
        }
        try {
            job(true);
        } catch (...) {
            // A job answers for its own failures (OnPool hands them back).
        }
        job = nullptr;   // what it holds goes before the next job starts
        std::lock_guard lock(mutex_);
        --running_;
    }
}

}  // namespace pm::board

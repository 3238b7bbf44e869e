// A bounded pool of threads for blocking work (verifying a run, asking the
// database), never done on the threads that read and write connections.
// A full queue refuses a job at once instead of growing; at a stop the jobs
// still waiting can be dropped, each told so.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

#include "board/asio.h"

namespace pm::board {

class WorkerPool {
public:
    // A job is called once: with true on a pool thread to do its work, or
    // with false when it is dropped unrun (DropWaiting, or the pool's end).
    using Job = std::function<void(bool run)>;

    // `nice`: the threads' priority (0 as the process; 10 below it).
    WorkerPool(int threads, size_t queue, int nice = 0);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // False when the queue is full or the pool stopped: the job is not kept.
    bool TryPost(Job job);
    // Every job still waiting is called with false now; the ones running go on.
    void DropWaiting();
    // Takes no more jobs, drops the waiting ones, lets the running ones
    // finish and joins the threads.
    void Stop();
    size_t Waiting();
    size_t Running();

private:
    void Work(int nice);

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Job> jobs_;
    std::vector<std::thread> threads_;
    size_t limit_;
    size_t running_ = 0;
    bool stopping_ = false;
};

// What a coroutine gets back from work done on a pool.
template <typename R>
struct PoolResult {
    enum Kind : uint8_t {
        Done,       // Value, or Error when the work threw
        Full,       // the pool's queue was full: not done
        Dropped,    // dropped unrun at a stop
        TimedOut,   // no answer in the time given (the work may still run)
    };
    Kind Status = Done;
    std::optional<R> Value;
    std::exception_ptr Error;
};

// Runs `work` on `pool` and resumes the calling coroutine with its result on
// the coroutine's own executor: the pool thread posts the result there and
// cancels a timer the coroutine waits on. With a timeout, the coroutine is
// resumed then at the latest (TimedOut), and a late result is thrown away.
template <typename F>
asio::awaitable<PoolResult<std::invoke_result_t<F&>>> OnPool(
    WorkerPool& pool, F work, std::optional<std::chrono::milliseconds> timeout = std::nullopt) {
    using R = std::invoke_result_t<F&>;
    struct State {
        explicit State(const asio::any_io_executor& ex) : Wake(ex) {}
        asio::steady_timer Wake;
        std::optional<PoolResult<R>> Result;
    };
    const asio::any_io_executor ex = co_await asio::this_coro::executor;
    auto state = std::make_shared<State>(ex);
    state->Wake.expires_at(timeout ? std::chrono::steady_clock::now() + *timeout
                                   : std::chrono::steady_clock::time_point::max());
    const bool posted = pool.TryPost([state, work = std::move(work)](bool run) mutable {
        PoolResult<R> r;
        if (!run) {
            r.Status = PoolResult<R>::Dropped;
        } else {
            try {
                r.Value.emplace(work());
            } catch (...) {
                r.Error = std::current_exception();
            }
        }
        asio::post(state->Wake.get_executor(), [state, r = std::move(r)]() mutable {
            if (state->Result) return;
            state->Result = std::move(r);
            state->Wake.cancel();
        });
    });
    if (!posted) co_return PoolResult<R>{PoolResult<R>::Full, std::nullopt, nullptr};
    // The job's answer is posted to this coroutine's executor (a strand):
    // it cannot run before this wait has begun.
    boost::system::error_code ec;
    co_await state->Wake.async_wait(asio::redirect_error(asio::use_awaitable, ec));
    if (!state->Result) {
        state->Result.emplace();   // a late answer is dropped
        co_return PoolResult<R>{PoolResult<R>::TimedOut, std::nullopt, nullptr};
    }
    co_return std::move(*state->Result);
}

}  // namespace pm::board

// A submission, from the body of POST /api/runs to a row on the table: the
// rate limit, the body read, the name and the replay checked, the run played
// on the verification pool and stored. Each ending is a type of its own, and
// the HTTP status is chosen from the type (ReplyFor), never from the words
// of a message.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <variant>

#include "board/asio.h"
#include "board/limiter.h"
#include "board/pool.h"
#include "board/store.h"
#include "board/verify.h"

namespace pm::board {

// The time now in UTC as the table keeps its dates: "2026-01-31T12:00:00Z".
std::string UtcNow();

namespace outcome {
struct Ranked {            // 201: on the table
    int64_t Id = 0;
    int64_t Rank = 0;
    std::string Name;
    RunFacts Best;
};
struct Duplicate {};       // 409: the same run is on the table already
struct Invalid {           // 400: not a JSON object with the fields, a bad name, a malformed replay
    std::string Reason;
};
struct TooLarge {          // 413: longer than the table takes
    std::string Reason;
};
struct Refused {           // 422: it does not end as it says, or cannot be ranked
    std::string Reason;
};
struct RateLimited {       // 429: this address sent too often
    int RetryAfter = 60;
};
struct Busy {};            // 503: the verification queue is full
struct Stopping {};        // 503: the server stopped before this run's turn
struct StoreDown {         // 503: the database did not take it
    std::string Reason;
};
struct Failed {            // 500: anything else
    std::string Reason;
};
}  // namespace outcome

using Outcome = std::variant<outcome::Ranked, outcome::Duplicate, outcome::Invalid, outcome::TooLarge,
                             outcome::Refused, outcome::RateLimited, outcome::Busy, outcome::Stopping,
                             outcome::StoreDown, outcome::Failed>;

// What the client is answered.
struct Reply {
    Reply() = default;
    Reply(int status, nlohmann::json body, int retryAfter = 0, std::string log = {})
        : Status(status), Body(std::move(body)), RetryAfter(retryAfter), Log(std::move(log)) {}
    int Status = 500;
    nlohmann::json Body;
    int RetryAfter = 0;          // seconds; 0: no Retry-After
    std::string Log;             // a line for the server's log (the real reason of a 500 or 503), if any
};
Reply ReplyFor(const Outcome& outcome);

class SubmissionService {
public:
    // `onRanked` is called (on a worker) after each run goes on the table.
    SubmissionService(Store& store, RateLimiter& limiter, WorkerPool& pool, std::function<void()> onRanked = {});

    // The blocking part, for a worker: the body read, the name and the
    // replay checked, the run played and stored.
    Outcome Verify(std::string_view body, const std::string& address) const;

    // The whole submission from `address`: the rate limit, then Verify on
    // the pool. Every 503 (Busy, Stopping, StoreDown) gives the address its
    // token back.
    asio::awaitable<Outcome> Submit(std::string body, std::string address);

private:
    Store& store_;
    RateLimiter& limiter_;
    WorkerPool& pool_;
    std::function<void()> onRanked_;
};

}  // namespace pm::board

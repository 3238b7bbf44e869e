// The board's HTTP side: the score API, the table page and, when given one,
// the browser build's folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pm::board {

// Limits of the server, each a named constant (the README lists them).
inline constexpr size_t MaxBodyBytes = 1u << 20;          // a request body: 1 MiB
inline constexpr int64_t MaxTopLimit = 100;                // rows per GET /api/top
inline constexpr int64_t MaxTopOffset = 1000000;
inline constexpr int DefaultSubmitsPerMinute = 6;          // per address, after a burst of...
inline constexpr int DefaultSubmitBurst = 10;
inline constexpr size_t MaxTrackedAddresses = 100000;      // the rate limiter forgets beyond this
inline constexpr int RetryAfterSeconds = 5;                // told with 503
inline constexpr int TopCacheMilliseconds = 1000;          // how old a served table may be
inline constexpr int ConnectionThreads = 64;               // readers of requests
inline constexpr int ReadTimeoutSeconds = 10;              // a client that sends nothing for this long is dropped

struct ServerOptions {
    std::string Listen = "127.0.0.1";
    int Port = 8080;                 // 0: any free port
    std::string Db = "scores.db";
    std::string Site;                // the browser build's folder, if any
    int Workers = 0;                 // verification threads; 0: one per core
    int Queue = 32;                  // verifications waiting at most
    int SubmitsPerMinute = DefaultSubmitsPerMinute;
    int SubmitBurst = DefaultSubmitBurst;
    bool TrustProxy = false;         // take the client's address from X-Forwarded-For
    bool Quiet = false;              // no request log
};

// Runs until SIGTERM or SIGINT; finishes the requests in flight and closes
// the database. Prints "listening on http://HOST:PORT" once ready. Returns
// the exit status.
int RunServer(const ServerOptions& options);

}  // namespace pm::board

// The board's HTTP side: the score API, the table page and, when given one,
// the browser build's folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pm::board {

// Limits of the server, each a named constant (the README lists them).
inline constexpr size_t MaxBodyBytes = 1u << 20;          // a request body on the wire, any transfer coding: 1 MiB (413)
inline constexpr size_t MaxHeaderBytes = 16u << 10;       // a request's line and headers: 16 KiB (431)
inline constexpr int HeadTimeoutSeconds = 10;              // the whole request line and headers, from the first byte
inline constexpr int BodyTimeoutSeconds = 30;              // the whole body, from the end of the headers
inline constexpr int KeepAliveIdleSeconds = 5;             // between two requests on one connection
inline constexpr int WriteTimeoutSeconds = 10;             // an answer's client that takes no byte for this long
inline constexpr int LingerMilliseconds = 2000;            // after an error answer, unread input is read away this long...
inline constexpr size_t LingerBytes = 16u << 20;           // ...or this much at most, so the client sees the answer
inline constexpr int MaxConnectionsPerAddress = 64;        // past it a connection is closed at once (not with --trust-proxy)
inline constexpr int MaxConnections = 50000;               // in all (and below the open-file limit)
inline constexpr int ListenBacklog = 0;                    // 0: the system's maximum (net.core.somaxconn)
inline constexpr int IoThreads = 2;                        // threads that read and write every connection
inline constexpr int StoreThreads = 2;                     // threads that read the database for GET requests
inline constexpr int StoreQueue = 256;                     // reads waiting at most (past that: 503)
inline constexpr int StoreTimeoutMilliseconds = 10000;     // a GET that waits longer for the database: 503
inline constexpr int HealthTimeoutMilliseconds = 2000;     // /healthz's question to the database: 503 past it
inline constexpr int StopDrainSeconds = 5;                 // after SIGTERM: verifications still waiting then get 503
inline constexpr int StopDeadlineSeconds = 9;              // after SIGTERM: every connection closed, exit
inline constexpr int64_t MaxTopLimit = 100;                // rows per GET /api/top
inline constexpr int64_t MaxTopOffset = 1000000;
inline constexpr int DefaultSubmitsPerMinute = 6;          // per address, after a burst of...
inline constexpr int DefaultSubmitBurst = 10;
inline constexpr size_t MaxTrackedAddresses = 100000;      // the rate limiter forgets beyond this
inline constexpr int RetryAfterSeconds = 5;                // told with 503
inline constexpr int TopCacheMilliseconds = 1000;          // how old a served table may be
inline constexpr size_t TopCacheAnswers = 64;              // answers of the cached rows kept at once

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

// Runs until SIGTERM or SIGINT; then stops accepting, drops the connections
// that are still being read, finishes the verifications in hand and sends
// their answers, closes the database and returns 0 (within
// StopDeadlineSeconds, whatever the clients do). Prints "listening on
// http://HOST:PORT" once ready. Returns the exit status.
int RunServer(const ServerOptions& options);

}  // namespace pm::board

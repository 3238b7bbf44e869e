// The board server's pieces, each on its own: the worker pool and the way a
// coroutine waits for it, the rate limiter, the cache of the table, the
// submission service and its typed outcomes, and the HTTP layer with short
// limits (a real server in this process, real sockets on loopback).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <latch>
#include <thread>

#include "board/cache.h"
#include "board/http.h"
#include "board/limiter.h"
#include "board/pool.h"
#include "board/service.h"
#include "board/store.h"
#include "driver/session.h"
#include "hosts/headless/headless_host.h"

namespace {

using namespace pm::board;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class Scratch {
public:
    Scratch() {
        char tmpl[] = "/tmp/pm-board-parts.XXXXXX";
        path_ = ::mkdtemp(tmpl);
    }
    ~Scratch() { std::system(("rm -rf " + path_).c_str()); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Runs `body` as a coroutine on a strand of `io` (run on this thread) and
// returns what it returns.
template <typename T>
T RunCoroutine(asio::io_context& io, asio::awaitable<T> body) {
    std::optional<T> out;
    std::exception_ptr failed;
    asio::co_spawn(asio::make_strand(io), std::move(body), [&](std::exception_ptr e, T v) {
        failed = e;
        if (!e) out = std::move(v);
    });
    io.restart();
    io.run();
    if (failed) std::rethrow_exception(failed);
    return std::move(*out);
}

// ---- The worker pool --------------------------------------------------------

TEST(BoardPool, ABoundedQueueRefusesAtOnceAndDropsWhatWaitsAtAStop) {
    WorkerPool pool(1, 2);
    std::promise<void> release;
    std::shared_future<void> go = release.get_future().share();
    std::atomic<int> ran{0}, dropped{0};
    std::latch started(1);
    ASSERT_TRUE(pool.TryPost([&](bool run) {
        started.count_down();
        go.wait();
        run ? ++ran : ++dropped;
    }));
    started.wait();
    EXPECT_TRUE(pool.TryPost([&](bool run) { run ? ++ran : ++dropped; }));
    EXPECT_TRUE(pool.TryPost([&](bool run) { run ? ++ran : ++dropped; }));
    EXPECT_FALSE(pool.TryPost([&](bool) { ADD_FAILURE() << "a job past the queue was kept"; }));
    EXPECT_EQ(pool.Waiting(), 2u);
    EXPECT_EQ(pool.Running(), 1u);
    pool.DropWaiting();   // the one in hand goes on
    EXPECT_EQ(dropped, 2);
    release.set_value();
    pool.Stop();
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(pool.TryPost([](bool) {}));
}

TEST(BoardPool, ACoroutineGetsItsResultOnItsOwnThreadNeverThePools) {
    WorkerPool pool(2, 4);
    asio::io_context io(1);
    const std::thread::id ioThread = std::this_thread::get_id();
    auto body = [&]() -> asio::awaitable<int> {
        std::thread::id worker;
        auto job = [&worker] {
            worker = std::this_thread::get_id();
            return 42;
        };
        auto r = co_await OnPool(pool, std::move(job));
        EXPECT_EQ(r.Status, PoolResult<int>::Done);
        EXPECT_NE(worker, ioThread);
        EXPECT_EQ(std::this_thread::get_id(), ioThread);
        auto failing = []() -> int { throw StoreError("gone"); };
        auto f = co_await OnPool(pool, std::move(failing));
        EXPECT_EQ(f.Status, PoolResult<int>::Done);
        EXPECT_TRUE(f.Error);
        EXPECT_FALSE(f.Value);
        co_return *r.Value;
    };
    EXPECT_EQ(RunCoroutine(io, body()), 42);
    pool.Stop();
}

TEST(BoardPool, AFullPoolAnAnswerTooLateAndADropAreToldApart) {
    WorkerPool pool(1, 1);
    asio::io_context io(1);
    std::promise<void> release;
    std::shared_future<void> go = release.get_future().share();
    std::latch started(1);
    pool.TryPost([&started, go](bool) {
        started.count_down();
        go.wait();
    });
    started.wait();
    auto body = [&]() -> asio::awaitable<int> {
        auto slow = [go] {
            go.wait();
            return 1;
        };
        // The queue's one place taken by a job that waits 100 ms at most.
        const auto t0 = Clock::now();
        auto late = co_await OnPool(pool, std::move(slow), 100ms);
        EXPECT_EQ(late.Status, PoolResult<int>::TimedOut);
        EXPECT_LT(Clock::now() - t0, 2s);
        // Still waiting in the queue: the next is refused.
        auto other = [] { return 2; };
        auto full = co_await OnPool(pool, std::move(other));
        EXPECT_EQ(full.Status, PoolResult<int>::Full);
        co_return 0;
    };
    RunCoroutine(io, body());
    // A job dropped at a stop answers its coroutine.
    auto dropped = [&]() -> asio::awaitable<int> {
        auto job = [] { return 3; };
        auto r = co_await OnPool(pool, std::move(job));
        co_return static_cast<int>(r.Status);
    };
    std::optional<int> status;
    pool.DropWaiting();   // the timed-out job goes; one place free again
    asio::co_spawn(asio::make_strand(io), dropped(), [&](std::exception_ptr, int s) { status = s; });
    io.restart();
    io.poll();   // the job is queued behind the one in hand
    pool.DropWaiting();
    io.restart();
    io.run();
    EXPECT_EQ(status, PoolResult<int>::Dropped);
    release.set_value();
    pool.Stop();   // its jobs hold timers of `io`: gone before it
}

// ---- The rate limiter -------------------------------------------------------

TEST(BoardRateLimiter, ABurstThenTheRateAndA503GivesTheTokenBack) {
    RateLimiter limiter(6, 3);   // 3 at once, then one each 10 s
    const auto t0 = Clock::now();
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(limiter.Allow("a", t0)) << i;
    EXPECT_FALSE(limiter.Allow("a", t0));
    EXPECT_TRUE(limiter.Allow("b", t0)) << "another address has its own bucket";
    EXPECT_FALSE(limiter.Allow("a", t0 + 9s));
    EXPECT_TRUE(limiter.Allow("a", t0 + 10s));
    EXPECT_FALSE(limiter.Allow("a", t0 + 10s));
    // Refused for a full queue: the token comes back, and only one.
    limiter.Refund("a", t0 + 10s);
    EXPECT_TRUE(limiter.Allow("a", t0 + 10s));
    EXPECT_FALSE(limiter.Allow("a", t0 + 10s));
    // Never above the burst.
    for (int i = 0; i < 10; ++i) limiter.Refund("c", t0);
    limiter.Allow("c", t0);
    for (int i = 0; i < 10; ++i) limiter.Refund("c", t0);
    int allowed = 0;
    while (limiter.Allow("c", t0)) ++allowed;
    EXPECT_EQ(allowed, 3);
    EXPECT_EQ(limiter.RetryAfter(), 10);
    EXPECT_EQ(RateLimiter(1000000, 1).RetryAfter(), 1);
}

// ---- The cache of the table ----------------------------------------------------

NewRun Row(int i, int score) {
    NewRun r;
    r.Name = "P" + std::to_string(i);
    r.Score = score;
    r.Level = 1 + i % 3;
    r.Frames = 100 + static_cast<uint64_t>(i);
    r.SessionFrames = r.Frames;
    r.Seed = static_cast<uint32_t>(i);
    r.StartRecord = 1000;
    r.Hash = "hash" + std::to_string(i);
    r.Replay = "x";
    r.Address = "127.0.0.1";
    r.Date = "2026-01-31T12:00:00Z";
    return r;
}

TEST(BoardTopCache, ReadsTheTableOnceASecondAndAtOnceAfterARun) {
    Scratch scratch;
    auto store = OpenSqlite(scratch.File("t.db"));
    for (int i = 0; i < 5; ++i) store->Insert(Row(i, 100 * i));
    TopCache cache(*store, std::chrono::milliseconds(60000));
    EXPECT_FALSE(cache.Fresh(10, 0)) << "nothing is fresh before the first read";
    const auto all = nlohmann::json::parse(cache.Answer(10, 0));
    EXPECT_EQ(all["total"], 5);
    ASSERT_EQ(all["runs"].size(), 5u);
    EXPECT_EQ(all["runs"][0]["score"], 400);
    EXPECT_EQ(all["runs"][0]["rank"], 1);
    EXPECT_EQ(cache.Reads(), 1);
    // Any limit and offset within the first rows comes from them.
    for (int limit = 1; limit <= 100; ++limit)
        for (int offset = 0; offset + limit <= 100; offset += 7) ASSERT_TRUE(cache.Fresh(limit, offset));
    EXPECT_EQ(cache.Reads(), 1);
    EXPECT_EQ(nlohmann::json::parse(*cache.Fresh(2, 1))["runs"][0]["score"], 300);
    EXPECT_FALSE(cache.Fresh(100, 1)) << "past the first 100 rows: the database answers";
    store->Insert(Row(9, 1000));
    cache.Invalidate();
    EXPECT_FALSE(cache.Fresh(10, 0));
    EXPECT_EQ(nlohmann::json::parse(cache.Answer(10, 0))["runs"][0]["score"], 1000);
    EXPECT_EQ(cache.Reads(), 2);
    // Old rows are read again.
    TopCache quick(*store, std::chrono::milliseconds(20));
    quick.Answer(5, 0);
    std::this_thread::sleep_for(40ms);
    EXPECT_FALSE(quick.Fresh(5, 0));
    // A database that is gone: the answer throws, nothing is kept.
    store->Close();
    EXPECT_THROW(quick.Answer(5, 0), StoreError);
}

TEST(BoardTopCache, ARowInTheApiHasEveryFieldOfTheTable) {
    TableRow r;
    r.Rank = 3;
    r.Id = 7;
    r.Name = "Ana";
    r.Score = 1200;
    r.Level = 4;
    r.Frames = 3600;
    r.Date = "2026-01-31T12:00:00Z";
    r.Flag = "17 of 18 key spans are multiples of 8 frames";
    EXPECT_EQ(RowJson(r), nlohmann::json::parse(R"({"rank":3,"id":7,"name":"Ana","score":1200,"level":4,
                                                   "frames":3600,"date":"2026-01-31T12:00:00Z",
                                                   "flag":"17 of 18 key spans are multiples of 8 frames"})"));
    EXPECT_EQ(nlohmann::json::parse(RenderTop({r}, 10, 2))["offset"], 2);
}

// ---- The submission service ---------------------------------------------------

// A genuine session of `frames` frames from `seed`, its end line the game's own.
std::string Session(uint32_t seed, uint64_t frames) {
    pm::Replay r;
    r.Seed = seed;
    r.HighScore = 1000;
    uint32_t x = seed * 2654435761u + 1;
    uint64_t total = 0;
    while (total < frames) {
        x = x * 1103515245u + 12345u;
        pm::keys::ScriptSpan span;
        if (total == 0 || (x >> 16) % 7 == 0) {
            span.Keys.Add(pm::Key::LShift);
            span.Count = 1;
        } else {
            span.Keys.Add((x >> 8) % 2 ? pm::Key::Right : pm::Key::Left);
            if ((x >> 12) % 3 == 0) span.Keys.Add(pm::Key::Space);
            span.Count = static_cast<uint32_t>(std::min<uint64_t>(3 + (x >> 20) % 40, frames - total));
        }
        total += span.Count;
        r.Keys.Spans.push_back(span);
    }
    r.EndFrame = frames;
    pm::HeadlessHost host;
    const pm::ReplayOutcome ended = pm::PlayBack(r, host);
    r.EndFrame = ended.Frames;
    r.End = ended.End;
    r.EndHighScore = ended.HighScore;
    return pm::FormatReplay(r);
}

std::string Body(const std::string& name, const std::string& replay) {
    return nlohmann::json{{"name", name}, {"replay", replay}}.dump();
}

TEST(BoardService, EachEndingIsATypeAndTheStatusComesFromTheType) {
    Scratch scratch;
    auto store = OpenSqlite(scratch.File("s.db"));
    RateLimiter limiter(6, 100);
    WorkerPool pool(1, 4);
    int ranked = 0;
    SubmissionService service(*store, limiter, pool, [&] { ++ranked; });
    const std::string good = Session(5, 1500);

    const Outcome first = service.Verify(Body(" Ana ", good), "10.0.0.1");
    ASSERT_TRUE(std::holds_alternative<outcome::Ranked>(first)) << ReplyFor(first).Body.dump();
    EXPECT_EQ(std::get<outcome::Ranked>(first).Name, "Ana");
    EXPECT_EQ(std::get<outcome::Ranked>(first).Rank, 1);
    EXPECT_EQ(ranked, 1);
    EXPECT_EQ(ReplyFor(first).Status, 201);
    EXPECT_EQ(ReplyFor(first).Body["id"], std::get<outcome::Ranked>(first).Id);
    EXPECT_TRUE(std::holds_alternative<outcome::Duplicate>(service.Verify(Body("Bo", good), "10.0.0.2")));

    std::string forged = good;
    forged.replace(forged.rfind(' ') + 1, std::string::npos, "999999\n");
    const Outcome refused = service.Verify(Body("Cy", forged), "10.0.0.3");
    EXPECT_TRUE(std::holds_alternative<outcome::Refused>(refused));
    EXPECT_EQ(ReplyFor(refused).Status, 422);
    EXPECT_TRUE(std::holds_alternative<outcome::Invalid>(service.Verify("{", "x")));
    EXPECT_TRUE(std::holds_alternative<outcome::Invalid>(service.Verify("[]", "x")));
    EXPECT_TRUE(std::holds_alternative<outcome::Invalid>(service.Verify(Body("<b>", good), "x")));
    EXPECT_TRUE(std::holds_alternative<outcome::Invalid>(service.Verify(Body("Di", "pellimunch-replay 1\nseed x\n"), "x")));
    const Outcome tooLong =
        service.Verify(Body("Ed", "pellimunch-replay 1\nseed 1\nhighscore 1000\n1 -\nend 1000000000000 close 1\n"), "x");
    EXPECT_TRUE(std::holds_alternative<outcome::TooLarge>(tooLong));
    EXPECT_EQ(ReplyFor(tooLong).Status, 413);

    // The database gone: a 503 the client may try again after, with the real
    // reason kept for the log, not shown.
    store->Close();
    const Outcome down = service.Verify(Body("Fay", Session(6, 1500)), "x");
    ASSERT_TRUE(std::holds_alternative<outcome::StoreDown>(down));
    const Reply reply = ReplyFor(down);
    EXPECT_EQ(reply.Status, 503);
    EXPECT_GT(reply.RetryAfter, 0);
    EXPECT_NE(reply.Log.find("closed"), std::string::npos);
    EXPECT_EQ(reply.Body.dump().find("closed"), std::string::npos);

    // Each type has its status, whatever its words.
    EXPECT_EQ(ReplyFor(outcome::Invalid{"conflict on the table already"}).Status, 400);
    EXPECT_EQ(ReplyFor(outcome::Refused{"busy"}).Status, 422);
    EXPECT_EQ(ReplyFor(outcome::RateLimited{7}).Status, 429);
    EXPECT_EQ(ReplyFor(outcome::RateLimited{7}).RetryAfter, 7);
    EXPECT_EQ(ReplyFor(outcome::Busy{}).Status, 503);
    EXPECT_EQ(ReplyFor(outcome::Stopping{}).Status, 503);
    EXPECT_EQ(ReplyFor(outcome::Failed{"x"}).Status, 500);
}

TEST(BoardService, AFullQueueIs503AndGivesTheTokenBackTheRateLimitIs429) {
    Scratch scratch;
    auto store = OpenSqlite(scratch.File("q.db"));
    RateLimiter limiter(1, 2);   // two at once, then one a minute
    WorkerPool pool(1, 1);
    SubmissionService service(*store, limiter, pool);
    asio::io_context io(1);
    // The pool's thread and its one waiting place taken.
    std::promise<void> release;
    std::shared_future<void> go = release.get_future().share();
    std::latch started(1);
    pool.TryPost([&started, go](bool) {
        started.count_down();
        go.wait();
    });
    started.wait();
    pool.TryPost([go](bool) { go.wait(); });
    for (int i = 0; i < 5; ++i) {
        const Outcome busy = RunCoroutine(io, service.Submit("{}", "10.1.1.1"));
        ASSERT_TRUE(std::holds_alternative<outcome::Busy>(busy)) << i << ": " << ReplyFor(busy).Status;
    }
    release.set_value();
    while (pool.Waiting() + pool.Running() > 0) std::this_thread::sleep_for(1ms);
    // Five 503s cost nothing: the two tokens are there.
    EXPECT_TRUE(std::holds_alternative<outcome::Invalid>(RunCoroutine(io, service.Submit("{}", "10.1.1.1"))));
    EXPECT_TRUE(std::holds_alternative<outcome::Invalid>(RunCoroutine(io, service.Submit("{}", "10.1.1.1"))));
    const Outcome limited = RunCoroutine(io, service.Submit("{}", "10.1.1.1"));
    ASSERT_TRUE(std::holds_alternative<outcome::RateLimited>(limited));
    EXPECT_EQ(ReplyFor(limited).RetryAfter, 60);
    pool.Stop();
}

// ---- The HTTP layer -------------------------------------------------------------

namespace bh = boost::beast::http;

// A server of the layer alone on a free port of 127.0.0.1, its handler given.
class LiveServer {
public:
    LiveServer(http::Config config, http::Handler handler) {
        config.Log = false;
        server_ = std::make_unique<http::Server>(io_, config, std::move(handler));
        port_ = server_->Listen("127.0.0.1", 0);
        server_->Start();
        thread_ = std::thread([this] { io_.run(); });
    }
    ~LiveServer() {
        server_->CloseAll();
        io_.stop();
        thread_.join();
        server_.reset();
    }
    http::Server& Server() { return *server_; }
    uint16_t Port() const { return port_; }

private:
    asio::io_context io_{1};
    std::unique_ptr<http::Server> server_;
    uint16_t port_ = 0;
    std::thread thread_;
};

// A raw client socket, from a loopback address of its choice.
class Client {
public:
    Client(uint16_t port, const char* from = "127.0.0.1") {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &a.sin_addr);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        a.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Client() { ::close(fd_); }
    bool Connected() const { return connected_; }
    bool Send(std::string_view data) {
        while (!data.empty()) {
            const ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
            if (n <= 0) return false;
            data.remove_prefix(static_cast<size_t>(n));
        }
        return true;
    }
    // What arrives within `wait` (until the server closes, or a whole answer when `oneAnswer`).
    std::string Read(std::chrono::milliseconds wait, bool oneAnswer = true) {
        const auto until = Clock::now() + wait;
        for (;;) {
            if (oneAnswer && Complete()) break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
            if (left <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
            char buf[65536];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) {
                closed_ = true;
                break;
            }
            got_.append(buf, static_cast<size_t>(n));
        }
        std::string out;
        if (oneAnswer && Complete()) {
            out = got_.substr(0, AnswerEnd());
            got_.erase(0, out.size());
        } else {
            out.swap(got_);
        }
        return out;
    }
    // True once the server has closed the connection (waiting `wait` at most).
    bool ClosedWithin(std::chrono::milliseconds wait) {
        Read(wait, false);
        return closed_;
    }

private:
    size_t AnswerEnd() const {
        const size_t head = got_.find("\r\n\r\n");
        if (head == std::string::npos) return std::string::npos;
        const size_t cl = got_.find("Content-Length: ");
        const size_t length = cl < head ? std::stoul(got_.substr(cl + 16)) : 0;
        return head + 4 + length;
    }
    bool Complete() const {
        const size_t end = AnswerEnd();
        return end != std::string::npos && got_.size() >= end;
    }

    int fd_;
    bool connected_ = false;
    bool closed_ = false;
    std::string got_;
};

int StatusOf(const std::string& answer) { return answer.size() > 12 ? std::atoi(answer.c_str() + 9) : 0; }

http::Handler Echo(std::atomic<int>* calls = nullptr) {
    return [calls](http::Request& req) -> asio::awaitable<http::Response> {
        if (calls) ++*calls;
        co_return http::Response(200, "text/plain", std::string(req.Method()) + " " + req.Path + " " +
                                                        std::to_string(req.Body().size()) + " " + req.Client);
    };
}

TEST(BoardHttp, EveryAnswerCarriesTheSecurityHeadersAndAConnectionServesManyRequests) {
    LiveServer s({}, Echo());
    Client c(s.Port());
    ASSERT_TRUE(c.Send("GET /a%20b?x=1 HTTP/1.1\r\nHost: x\r\n\r\nHEAD /b HTTP/1.1\r\nHost: x\r\n\r\n"));
    const std::string a = c.Read(2s);
    EXPECT_EQ(StatusOf(a), 200) << a;
    EXPECT_NE(a.find("\r\n\r\nGET /a b 0 127.0.0.1"), std::string::npos) << a;
    for (const char* h : {"Content-Security-Policy: default-src 'self'; script-src 'self' blob: 'wasm-unsafe-eval';",
                          "frame-ancestors 'none'", "X-Content-Type-Options: nosniff", "Referrer-Policy: no-referrer"})
        EXPECT_NE(a.find(h), std::string::npos) << h;
    EXPECT_EQ(a.find("Access-Control-Allow-Origin"), std::string::npos);
    const std::string b = c.Read(300ms, false);   // (no body follows to wait for)
    EXPECT_EQ(StatusOf(b), 200) << b;
    EXPECT_NE(b.find("Content-Length: 19"), std::string::npos) << "HEAD tells the length of GET's body: " << b;
    EXPECT_TRUE(b.ends_with("\r\n\r\n")) << "and sends none";
    // Refusals carry them too.
    Client big(s.Port());
    big.Send("GET / HTTP/1.1\r\nX: " + std::string(20000, 'a') + "\r\n\r\n");
    const std::string refused = big.Read(2s);
    EXPECT_EQ(StatusOf(refused), 431);
    EXPECT_NE(refused.find("Content-Security-Policy"), std::string::npos);
}

TEST(BoardHttp, AHeaderFloodIs431AtOnceWithoutReadingIt) {
    std::atomic<int> calls{0};
    LiveServer s({}, Echo(&calls));
    Client c(s.Port());
    const auto t0 = Clock::now();
    std::thread flood([&] {
        c.Send("GET / HTTP/1.1\r\nHost: x\r\n");
        const std::string line = "X-Pad: " + std::string(1000, 'p') + "\r\n";
        for (int i = 0; i < 40000 && c.Send(line); ++i) {
        }
    });
    const std::string a = c.Read(5s);
    EXPECT_EQ(StatusOf(a), 431) << a;
    EXPECT_LT(Clock::now() - t0, 1s);
    EXPECT_TRUE(c.ClosedWithin(5s)) << "after a while the rest is not read either";
    flood.join();
    EXPECT_EQ(calls, 0);
}

TEST(BoardHttp, ABodyPastTheLimitIs413WhateverItsCoding) {
    http::Config config;
    config.Limit.BodyBytes = 1000;
    std::atomic<int> calls{0};
    LiveServer s(config, Echo(&calls));
    {
        Client c(s.Port());   // declared: refused before a byte of it
        c.Send("POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 1001\r\n\r\n");
        EXPECT_EQ(StatusOf(c.Read(2s)), 413);
    }
    {
        Client c(s.Port());   // chunked: refused as it passes the limit
        c.Send("POST / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n");
        for (int i = 0; i < 12; ++i) c.Send("64\r\n" + std::string(100, 'b') + "\r\n");
        EXPECT_EQ(StatusOf(c.Read(2s)), 413);
    }
    {
        Client c(s.Port());   // chunk framing counts: a few bytes of body behind a long extension
        c.Send("POST / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n");
        for (int i = 0; i < 10; ++i) c.Send("1;pad=" + std::string(200, 'e') + "\r\nb\r\n");
        const int status = StatusOf(c.Read(2s));
        EXPECT_TRUE(status == 413 || status == 400) << status;
    }
    {
        Client c(s.Port());   // within the limit, framing and all, chunked: served
        c.Send("POST / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n384\r\n" + std::string(900, 'c') +
               "\r\n0\r\n\r\n");
        const std::string a = c.Read(2s);
        EXPECT_EQ(StatusOf(a), 200) << a;
        EXPECT_NE(a.find("POST / 900"), std::string::npos);
    }
    EXPECT_EQ(calls, 1);
}

TEST(BoardHttp, DeadlinesDropSlowHeadsLyingBodiesAndIdleConnectionsWhileOthersAreServed) {
    http::Config config;
    config.Limit.Head = 400ms;
    config.Limit.Body = 400ms;
    config.Limit.Idle = 300ms;
    std::atomic<int> posts{0};
    auto handler = [&posts](http::Request& req) -> asio::awaitable<http::Response> {
        if (req.Message.method() == bh::verb::post) ++posts;
        co_return http::Response(200, "text/plain", "ok");
    };
    LiveServer s(config, handler);
    Client slow(s.Port()), lying(s.Port()), idle(s.Port());
    lying.Send("POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n0123456789");
    idle.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(StatusOf(idle.Read(2s)), 200);
    const auto t0 = Clock::now();
    // A header line every 100 ms: each in time for a per-read timeout, but
    // the head as a whole has 400 ms.
    bool dropped = false;
    slow.Send("GET / HTTP/1.1\r\n");
    for (int i = 0; i < 20 && !dropped; ++i) {
        dropped = !slow.Send("X-Slow: 1\r\n") || slow.ClosedWithin(100ms);
        Client other(s.Port());
        other.Send("GET /other HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        EXPECT_EQ(StatusOf(other.Read(1s)), 200) << "served beside the slow ones";
    }
    EXPECT_TRUE(dropped);
    EXPECT_LT(Clock::now() - t0, 1500ms);
    EXPECT_TRUE(lying.ClosedWithin(1s));
    EXPECT_TRUE(idle.ClosedWithin(1s));
    EXPECT_EQ(posts, 0) << "a body that never came is never handled";
    for (int i = 0; i < 100 && s.Server().Connections() > 0; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(s.Server().Connections(), 0u);
}

TEST(BoardHttp, ConnectionsPastTheCapOfAnAddressAreClosedAtOnce) {
    http::Config config;
    config.Limit.PerAddress = 3;
    LiveServer s(config, Echo());
    std::vector<std::unique_ptr<Client>> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(std::make_unique<Client>(s.Port(), "127.0.0.5"));
        held.back()->Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
        EXPECT_EQ(StatusOf(held.back()->Read(2s)), 200);
    }
    Client fourth(s.Port(), "127.0.0.5");
    fourth.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    const auto t0 = Clock::now();
    EXPECT_TRUE(fourth.ClosedWithin(2s));
    EXPECT_LT(Clock::now() - t0, 500ms);
    Client elsewhere(s.Port(), "127.0.0.6");
    elsewhere.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(StatusOf(elsewhere.Read(2s)), 200) << "another address is not held up";
    held.pop_back();
    int status = 0;
    for (int i = 0; i < 50 && status != 200; ++i) {   // the server sees the close in a moment
        Client again(s.Port(), "127.0.0.5");
        again.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
        status = StatusOf(again.Read(1s));
        if (status != 200) std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(status, 200);
}

TEST(BoardHttp, AStopDropsReadersAndAnswersTheRequestsInHand) {
    auto handler = [](http::Request& req) -> asio::awaitable<http::Response> {
        if (req.Path == "/slow") {
            asio::steady_timer t(co_await asio::this_coro::executor, 400ms);
            co_await t.async_wait(asio::use_awaitable);
        }
        co_return http::Response(200, "text/plain", "done");
    };
    LiveServer s({}, handler);
    Client idle(s.Port()), half(s.Port()), busy(s.Port());
    idle.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(StatusOf(idle.Read(2s)), 200);
    half.Send("GET / HTTP/1.1\r\nHos");
    busy.Send("GET /slow HTTP/1.1\r\nHost: x\r\n\r\n");
    std::this_thread::sleep_for(100ms);
    std::atomic<int> closed{0};
    s.Server().Stop([&] { ++closed; });
    EXPECT_TRUE(idle.ClosedWithin(300ms));
    EXPECT_TRUE(half.ClosedWithin(300ms));
    const std::string a = busy.Read(2s);
    EXPECT_EQ(StatusOf(a), 200) << a;
    EXPECT_NE(a.find("Connection: close"), std::string::npos);
    EXPECT_TRUE(busy.ClosedWithin(1s));
    for (int i = 0; i < 100 && closed == 0; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(closed, 1);
    Client late(s.Port());
    EXPECT_TRUE(!late.Connected() || late.ClosedWithin(1s)) << "no new connection is served";
}

TEST(BoardHttp, ExpectContinueAndAHandlerThatThrows) {
    auto handler = [](http::Request& req) -> asio::awaitable<http::Response> {
        if (req.Path == "/throw") throw std::runtime_error("test failure");
        co_return http::Response(200, "text/plain", req.Body());
    };
    LiveServer s({}, handler);
    Client c(s.Port());
    c.Send("POST /x HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\nExpect: 100-continue\r\n\r\n");
    EXPECT_EQ(c.Read(2s), "HTTP/1.1 100 Continue\r\n\r\n");
    c.Send("hello");
    const std::string a = c.Read(2s);
    EXPECT_TRUE(a.ends_with("\r\n\r\nhello")) << a;
    c.Send("GET /throw HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(StatusOf(c.Read(2s)), 500);
    Client bad(s.Port());
    bad.Send("GET / HTTP/9.9 nonsense\r\n\r\n");
    EXPECT_EQ(StatusOf(bad.Read(2s)), 400);
}

TEST(BoardHttp, TheLogTheClientAndTheTypeOfABody) {
    EXPECT_EQ(http::EscapeForLog("GET"), "GET");
    EXPECT_EQ(http::EscapeForLog("a b\x1b[31m\n\\\x7f\xc2\x9b"), "a\\x20b\\x1b[31m\\x0a\\x5c\\x7f\\xc2\\x9b");
    EXPECT_EQ(http::ClientAddress("127.0.0.1", "1.2.3.4, 5.6.7.8 ", true), "5.6.7.8");
    EXPECT_EQ(http::ClientAddress("127.0.0.1", "1.2.3.4", false), "127.0.0.1");
    EXPECT_EQ(http::ClientAddress("127.0.0.1", " , ", true), "127.0.0.1");
    EXPECT_EQ(http::ClientAddress("127.0.0.1", std::string(65, 'a'), true), "127.0.0.1");
    EXPECT_TRUE(http::IsJsonType("application/json"));
    EXPECT_TRUE(http::IsJsonType("Application/JSON; charset=utf-8"));
    for (const char* t : {"", "text/plain", "application/x-www-form-urlencoded", "multipart/form-data; boundary=x",
                          "application/jsonp", "text/json"})
        EXPECT_FALSE(http::IsJsonType(t)) << t;
    EXPECT_EQ(http::PercentDecode("/a%20b%2F"), "/a b/");
    EXPECT_FALSE(http::PercentDecode("/a%2"));
    EXPECT_FALSE(http::PercentDecode("/a%zz"));
    EXPECT_FALSE(http::PercentDecode("/a%00"));
    http::Request r;
    r.Query = "limit=5&offset=&x=a+b&limit=9";
    EXPECT_EQ(r.Param("limit"), "5");
    EXPECT_EQ(r.Param("offset"), "");
    EXPECT_EQ(r.Param("x"), "a b");
    EXPECT_FALSE(r.Param("y"));
    EXPECT_GT(http::SystemBacklog(), 0);
}

}  // namespace

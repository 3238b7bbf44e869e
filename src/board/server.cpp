// The board's server: its routes on the HTTP layer (http.h), the
// verifications on their pool (service.h), the database's reads for GET
// requests on a small pool of their own, and the stop on SIGTERM.
#include "board/server.h"

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "board/cache.h"
#include "board/daily.h"
#include "board/http.h"
#include "board/limiter.h"
#include "board/pool.h"
#include "board/service.h"
#include "board/site_files.h"
#include "board/store.h"

namespace pm::board {

namespace {

using Json = nlohmann::json;
using http::Request;
using http::Response;
namespace bh = boost::beast::http;
using Ms = std::chrono::milliseconds;

constexpr int VerifyNice = 10;

Response JsonAnswer(unsigned status, const Json& body) { return Response(status, "application/json", body.dump()); }
Response Refusal(unsigned status, const std::string& why) { return JsonAnswer(status, {{"error", why}}); }
Response Unavailable(const std::string& why) {
    return Refusal(503, why).With("Retry-After", std::to_string(RetryAfterSeconds));
}

// A number from the query: the default when absent, nothing when bad.
std::optional<int64_t> QueryNumber(const Request& req, const char* name, int64_t fallback, int64_t most) {
    const std::optional<std::string> text = req.Param(name);
    if (!text) return fallback;
    if (text->empty() || text->size() > 9 || text->find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int64_t v = std::stoll(*text);
    if (v > most) return std::nullopt;
    return v;
}

// The type a file of the browser build is sent with.
std::string TypeOf(const std::string& path) {
    static const std::pair<const char*, const char*> types[] = {
        {".html", "text/html; charset=utf-8"},
        {".htm", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".mjs", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".json", "application/json"},
        {".webmanifest", "application/manifest+json"},
        {".wasm", "application/wasm"},
        {".data", "application/octet-stream"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".gif", "image/gif"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".webp", "image/webp"},
        {".txt", "text/plain; charset=utf-8"},
        {".replay", "text/plain; charset=utf-8"},
        {".wav", "audio/wav"},
        {".ogg", "audio/ogg"},
        {".mp3", "audio/mpeg"},
        {".woff2", "font/woff2"},
        {".woff", "font/woff"},
        {".ttf", "font/ttf"},
        {".gz", "application/gzip"},
        {".map", "application/json"},
    };
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && path.find('/', dot) == std::string::npos)
        for (const auto& [ext, type] : types)
            if (path.compare(dot, std::string::npos, ext) == 0) return type;
    return "application/octet-stream";
}

// A path under the site folder that names no hidden file and does not climb out.
bool SafePath(const std::string& path) {
    if (path.empty() || path[0] != '/' || path.find('\\') != std::string::npos) return false;
    for (size_t at = 1; at <= path.size();) {
        const size_t next = std::min(path.find('/', at), path.size());
        const std::string_view part = std::string_view(path).substr(at, next - at);
        if (!part.empty() && part[0] == '.') return false;   // ".", "..", ".git"
        at = next + 1;
    }
    return true;
}

class Board {
public:
    Board(const ServerOptions& o, Store& store, TopCache& top, SubmissionService& service, WorkerPool& verifiers,
          WorkerPool& readers)
        : options_(o), store_(store), top_(top), service_(service), verifiers_(verifiers), readers_(readers) {}

    asio::awaitable<Response> Handle(Request& req) {
        const std::string& path = req.Path;
        const bh::verb method = req.Message.method();
        const bool get = method == bh::verb::get || method == bh::verb::head;
        if (method == bh::verb::options) {
            // No preflight is granted: no other site may call the API from a
            // visitor's browser (and none gets an Access-Control-Allow-Origin).
            co_return Refusal(405, "OPTIONS is not served").With("Allow", "GET, HEAD, POST");
        }
        if (path == "/api/runs") {
            if (method != bh::verb::post) co_return Refusal(405, "POST a run here").With("Allow", "POST");
            co_return co_await Submit(req);
        }
        if (path == "/healthz" || path == "/api/top" || path.rfind("/api/", 0) == 0) {
            if (!get) co_return Refusal(405, "only GET here").With("Allow", "GET, HEAD");
            if (path == "/healthz") co_return co_await Health();
            if (path == "/api/top") co_return co_await Top(req);
            if (path == "/api/daily")
                co_return Response(200, "application/json", DailyAnswer(static_cast<int64_t>(std::time(nullptr))))
                    .With("Cache-Control", "no-cache");
            static const std::regex replay(R"(/api/runs/(\d{1,15})/replay)");
            std::smatch m;
            if (std::regex_match(path, m, replay)) co_return co_await ReplayOf(std::stoll(m[1].str()));
            co_return Refusal(404, "no such page");
        }
        if (!get) co_return Refusal(405, "only GET here").With("Allow", "GET, HEAD");
        if (std::optional<Response> page = Page(path)) co_return std::move(*page);
        co_return Response(404, "text/plain; charset=utf-8", "no such page\n");
    }

private:
    asio::awaitable<Response> Submit(Request& req) {
        // A form or a text/plain fetch from another site cannot send this.
        if (!http::IsJsonType(req.Header(bh::field::content_type)))
            co_return Refusal(415, "a run is sent as Content-Type: application/json");
        const Outcome outcome = co_await service_.Submit(std::move(req.Body()), req.Client);
        const Reply reply = ReplyFor(outcome);
        if (!reply.Log.empty()) std::fprintf(stderr, "pellimunch-board: %s\n", reply.Log.c_str());
        Response res = JsonAnswer(static_cast<unsigned>(reply.Status), reply.Body);
        if (reply.RetryAfter > 0) res.With("Retry-After", std::to_string(reply.RetryAfter));
        co_return res;
    }

    asio::awaitable<Response> Health() {
        // (Each job is named before the co_await: GCC 12 mishandles a lambda
        // with captures made inside the co_await expression itself.)
        auto ping = [this] { return store_.Ping(); };
        const auto asked = co_await OnPool(readers_, std::move(ping), Ms(HealthTimeoutMilliseconds));
        const bool up = asked.Status == PoolResult<bool>::Done && !asked.Error && *asked.Value;
        Json body{{"ok", up}, {"service", "pellimunch-board"}, {"game", !options_.Site.empty()},
                  {"waiting", verifiers_.Waiting()}, {"database", up}};
        if (up) co_return JsonAnswer(200, body);
        body["error"] = asked.Status == PoolResult<bool>::TimedOut ? "the database did not answer in time"
                                                                   : "the database does not answer";
        co_return JsonAnswer(503, body).With("Retry-After", std::to_string(RetryAfterSeconds));
    }

    asio::awaitable<Response> Top(const Request& req) {
        const auto limit = QueryNumber(req, "limit", MaxTopLimit, MaxTopLimit);
        const auto offset = QueryNumber(req, "offset", 0, MaxTopOffset);
        if (!limit || !offset || *limit < 1)
            co_return Refusal(400, "limit is 1 to " + std::to_string(MaxTopLimit) + ", offset 0 or more");
        if (const std::optional<std::string> day = req.Param("day")) co_return co_await DayTable(*day, *limit, *offset);
        // The cached rows on this thread; the database on the readers' pool.
        std::optional<std::string> answer = top_.Fresh(*limit, *offset);
        if (!answer) {
            auto job = [this, l = *limit, o = *offset] { return top_.Answer(l, o); };
            auto read = co_await OnPool(readers_, std::move(job), Ms(StoreTimeoutMilliseconds));
            if (auto failed = ReadFailed(read)) co_return std::move(*failed);
            answer = std::move(read.Value);
        }
        co_return Response(200, "application/json", std::move(*answer)).With("Cache-Control", "no-cache");
    }

    // The table of a day: each name's best run of that day, read on the
    // readers' pool.
    asio::awaitable<Response> DayTable(const std::string& text, int64_t limit, int64_t offset) {
        const std::optional<Day> day = ParseDay(text);
        if (!day) co_return Refusal(400, "day is a date written YYYY-MM-DD");
        auto job = [this, d = DayText(*day), limit, offset] { return store_.TopOfDay(d, limit, offset); };
        auto read = co_await OnPool(readers_, std::move(job), Ms(StoreTimeoutMilliseconds));
        if (auto failed = ReadFailed(read)) co_return std::move(*failed);
        const std::vector<TableRow>& rows = *read.Value;
        co_return Response(200, "application/json",
                           RenderTop(rows, offset + static_cast<int64_t>(rows.size()), offset))
            .With("Cache-Control", "no-cache");
    }

    asio::awaitable<Response> ReplayOf(int64_t id) {
        auto job = [this, id] { return store_.ReplayText(id); };
        auto read = co_await OnPool(readers_, std::move(job), Ms(StoreTimeoutMilliseconds));
        if (auto failed = ReadFailed(read)) co_return std::move(*failed);
        if (!*read.Value) co_return Refusal(404, "no such run");
        co_return Response(200, "text/plain; charset=utf-8", std::move(**read.Value))
            .With("Content-Disposition", "inline; filename=\"run-" + std::to_string(id) + ".replay\"");
    }

    // The answer when a read of the database did not give one.
    template <typename R>
    static std::optional<Response> ReadFailed(const PoolResult<R>& read) {
        switch (read.Status) {
        case PoolResult<R>::Full: return Unavailable("the server is busy; try again shortly");
        case PoolResult<R>::Dropped: return Unavailable("the server is stopping; try again shortly");
        case PoolResult<R>::TimedOut: return Unavailable("the database did not answer in time");
        case PoolResult<R>::Done: break;
        }
        if (!read.Error) return std::nullopt;
        try {
            std::rethrow_exception(read.Error);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "pellimunch-board: %s\n", e.what());
        } catch (...) {
        }
        return Unavailable("the database does not answer; try again shortly");
    }

    // The table page, built in, before the game's folder (which has its own index.html).
    std::optional<Response> Page(const std::string& path) {
        // The game's board.js, told that a board serves it: on a static host
        // the same file finds no such line and shows nothing.
        if (path == "/board.js" && !options_.Site.empty()) {
            std::ifstream in(options_.Site + "/board.js", std::ios::binary);
            if (in)
                return Response(200, "text/javascript; charset=utf-8",
                                "window.pmBoardServer = true;\n" + std::string(std::istreambuf_iterator<char>(in), {}))
                    .With("Cache-Control", "no-cache");
        }
        if (const SiteFile* f = FindSiteFile(path == "/" ? "/scores.html" : path))
            return Response(200, std::string(f->Type), std::string(f->Body)).With("Cache-Control", "no-cache");
        if (options_.Site.empty() || !SafePath(path)) return std::nullopt;
        std::string file = options_.Site + path;
        if (file.back() == '/') file += "index.html";
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
        Response res(200, TypeOf(file), {});
        boost::system::error_code ec;
        res.File.emplace();
        res.File->open(file.c_str(), boost::beast::file_mode::scan, ec);
        if (ec) return std::nullopt;
        return res;
    }

    const ServerOptions& options_;
    Store& store_;
    TopCache& top_;
    SubmissionService& service_;
    WorkerPool& verifiers_;
    WorkerPool& readers_;
};

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int RunServer(const ServerOptions& o) {
    ::signal(SIGPIPE, SIG_IGN);
    const int files = http::RaiseOpenFileLimit();

    std::unique_ptr<Store> store;
    try {
        store = OpenStore(o.Db);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pellimunch-board: %s\n", e.what());
        return 1;
    }
    if (!o.Site.empty() && !IsFolder(o.Site)) {
        std::fprintf(stderr, "pellimunch-board: %s: not a folder\n", o.Site.c_str());
        return 1;
    }
    const int workers = o.Workers > 0 ? o.Workers : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // Verifying is batch work: below the threads that answer requests, so
    // the table stays quick to read while runs are checked.
    WorkerPool verifiers(workers, static_cast<size_t>(o.Queue), VerifyNice);
    WorkerPool readers(StoreThreads, StoreQueue);
    TopCache top(*store, Ms(TopCacheMilliseconds));
    RateLimiter limiter(o.SubmitsPerMinute, o.SubmitBurst);
    SubmissionService service(*store, limiter, verifiers, [&top] { top.Invalidate(); });
    Board board(o, *store, top, service, verifiers, readers);

    // Declared after everything its handlers use: destroyed first.
    asio::io_context io(IoThreads);
    http::Config config;
    // Behind a proxy every connection comes from the proxy: the cap per
    // address is the proxy's to keep then (the total cap still holds).
    config.Limit.PerAddress = o.TrustProxy ? 0 : MaxConnectionsPerAddress;
    config.Limit.Total = std::max(16, std::min(MaxConnections, files - 64));
    config.TrustProxy = o.TrustProxy;
    config.Log = !o.Quiet;
    http::Server server(io, config, [&board](Request& req) { return board.Handle(req); });
    int port = o.Port;
    try {
        port = server.Listen(o.Listen, static_cast<uint16_t>(o.Port));
    } catch (const std::exception&) {
        std::fprintf(stderr, "pellimunch-board: cannot listen on %s port %d\n", o.Listen.c_str(), o.Port);
        return 1;
    }

    // The stop, on a strand of its own: SIGTERM or SIGINT stops accepting
    // and drops the connections being read; verifications still waiting
    // after StopDrainSeconds are answered 503; after StopDeadlineSeconds
    // whatever is left is closed.
    auto control = asio::make_strand(io);
    asio::signal_set signals(control, SIGTERM, SIGINT);
    asio::steady_timer drain(control), deadline(control);
    signals.async_wait([&](const boost::system::error_code& ec, int sig) {
        if (ec) return;
        std::fprintf(stderr, "pellimunch-board: signal %d: finishing the requests in hand\n", sig);
        drain.expires_after(std::chrono::seconds(StopDrainSeconds));
        drain.async_wait([&](const boost::system::error_code& e) {
            if (e) return;
            verifiers.DropWaiting();
            readers.DropWaiting();
        });
        deadline.expires_after(std::chrono::seconds(StopDeadlineSeconds));
        deadline.async_wait([&](const boost::system::error_code& e) {
            if (e) return;
            std::fprintf(stderr, "pellimunch-board: %zu connections still open: closed\n", server.Connections());
            server.CloseAll();
            io.stop();
        });
        server.Stop([&] {
            asio::post(control, [&] {
                drain.cancel();
                deadline.cancel();
                io.stop();
            });
        });
    });
    server.Start();

    std::printf("pellimunch-board: listening on http://%s:%d (database %s, schema version %d)\n", o.Listen.c_str(),
                port, IsPostgres(o.Db) ? "PostgreSQL" : o.Db.c_str(), store->SchemaVersion());
    std::fflush(stdout);

    std::vector<std::thread> threads;
    for (int i = 1; i < IoThreads; ++i) threads.emplace_back([&io] { io.run(); });
    io.run();
    for (std::thread& t : threads) t.join();
    // The verifications in hand have answered (or the deadline passed);
    // then the pools, then the database.
    verifiers.Stop();
    readers.Stop();
    store->Close();
    std::fprintf(stderr, "pellimunch-board: stopped; database closed\n");
    return 0;
}

}  // namespace pm::board

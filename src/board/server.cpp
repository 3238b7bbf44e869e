#include "board/server.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>
#include <unordered_map>

#include "board/daily.h"
#include "board/names.h"
#include "board/site_files.h"
#include "board/store.h"
#include "board/verify.h"

namespace pm::board {

namespace {

using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr int VerifyNice = 10;

// Verifications run here, never on a thread that reads requests. The queue
// is bounded: a full one is refused at once instead of growing.
class WorkerPool {
public:
    WorkerPool(int threads, int queue) : limit_(static_cast<size_t>(std::max(queue, 1))) {
        for (int i = 0; i < std::max(threads, 1); ++i) threads_.emplace_back([this] { Work(); });
    }
    ~WorkerPool() { Stop(); }

    // False when the queue is full.
    bool TryPost(std::function<void()> job) {
        std::lock_guard lock(mutex_);
        if (stopping_ || jobs_.size() >= limit_) return false;
        jobs_.push_back(std::move(job));
        ready_.notify_one();
        return true;
    }
    // Runs what is queued and in hand, then joins.
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        ready_.notify_all();
        for (std::thread& t : threads_)
            if (t.joinable()) t.join();
    }
    size_t Waiting() {
        std::lock_guard lock(mutex_);
        return jobs_.size();
    }

private:
    void Work() {
        // Verifying is batch work: below the threads that answer requests,
        // so the table stays quick to read while runs are checked.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), VerifyNice);
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
                if (jobs_.empty()) return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    size_t limit_;
    bool stopping_ = false;
};

// A token bucket per address: `burst` submissions at once, then one more
// each 60/perMinute seconds.
class RateLimiter {
public:
    RateLimiter(int perMinute, int burst) : perSecond_(perMinute / 60.0), burst_(std::max(burst, 1)) {}

    bool Allow(const std::string& address) {
        std::lock_guard lock(mutex_);
        const Clock::time_point now = Clock::now();
        if (buckets_.size() >= MaxTrackedAddresses) Forget(now);
        auto [it, fresh] = buckets_.try_emplace(address, Bucket{static_cast<double>(burst_), now});
        Bucket& b = it->second;
        if (!fresh) {
            b.Tokens = std::min<double>(burst_, b.Tokens + Seconds(now - b.At) * perSecond_);
            b.At = now;
        }
        if (b.Tokens < 1) return false;
        b.Tokens -= 1;
        return true;
    }

private:
    struct Bucket {
        double Tokens;
        Clock::time_point At;
    };
    static double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
    // Addresses whose bucket has filled again are as good as new.
    void Forget(Clock::time_point now) {
        for (auto it = buckets_.begin(); it != buckets_.end();)
            it = it->second.Tokens + Seconds(now - it->second.At) * perSecond_ >= burst_ ? buckets_.erase(it) : std::next(it);
        if (buckets_.size() >= MaxTrackedAddresses) buckets_.clear();   // a flood of addresses: start over
    }

    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
    double perSecond_;
    int burst_;
};

// The first rows of the table, read at most once a TopCacheMilliseconds
// (and again at once after a run of ours goes on it), with their answers.
class TopCache {
public:
    explicit TopCache(Store& store) : store_(store) {}

    std::string Answer(int64_t limit, int64_t offset) {
        if (offset + limit > MaxTopLimit) return Render(store_.Top(limit, offset), store_.Count(), offset);
        std::lock_guard lock(mutex_);
        const Clock::time_point now = Clock::now();
        if (!valid_ || now - at_ > std::chrono::milliseconds(TopCacheMilliseconds)) {
            rows_ = store_.Top(MaxTopLimit, 0);
            total_ = store_.Count();
            answers_.clear();
            at_ = now;
            valid_ = true;
        }
        std::string& answer = answers_[{limit, offset}];
        if (answer.empty()) {
            const auto from = rows_.begin() + std::min<int64_t>(offset, static_cast<int64_t>(rows_.size()));
            const auto to = rows_.begin() + std::min<int64_t>(offset + limit, static_cast<int64_t>(rows_.size()));
            answer = Render({from, to}, total_, offset);
        }
        return answer;
    }
    void Invalidate() {
        std::lock_guard lock(mutex_);
        valid_ = false;
    }

    static std::string Render(const std::vector<TableRow>& rows, int64_t total, int64_t offset) {
        Json list = Json::array();
        for (const TableRow& r : rows)
            list.push_back({{"rank", r.Rank}, {"id", r.Id}, {"name", r.Name}, {"score", r.Score},
                            {"level", r.Level}, {"frames", r.Frames}, {"date", r.Date}, {"flag", r.Flag}});
        return Json{{"runs", list}, {"total", total}, {"offset", offset}}.dump();
    }

private:

    Store& store_;
    std::mutex mutex_;
    bool valid_ = false;
    Clock::time_point at_;
    std::vector<TableRow> rows_;
    int64_t total_ = 0;
    std::map<std::pair<int64_t, int64_t>, std::string> answers_;
};

std::string UtcNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

void Answer(httplib::Response& res, int status, const Json& body) {
    res.status = status;
    res.set_content(body.dump(), "application/json");
}
void Refuse(httplib::Response& res, int status, const std::string& why) { Answer(res, status, {{"error", why}}); }

// A number from the query: the default when absent, nothing when bad.
std::optional<int64_t> QueryNumber(const httplib::Request& req, const char* name, int64_t fallback, int64_t most) {
    if (!req.has_param(name)) return fallback;
    const std::string text = req.get_param_value(name);
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const int64_t v = std::stoll(text);
    if (v > most) return std::nullopt;
    return v;
}

thread_local Clock::time_point RequestStart;

class Board {
public:
    Board(const ServerOptions& o, Store& store)
        : options_(o), store_(store), top_(store), limiter_(o.SubmitsPerMinute, o.SubmitBurst),
          pool_(o.Workers > 0 ? o.Workers : static_cast<int>(std::max(1u, std::thread::hardware_concurrency())),
                o.Queue) {}

    void Routes(httplib::Server& svr) {
        svr.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
            RequestStart = Clock::now();
            // The table page, before the game's folder (which has its own index.html).
            if (req.method == "GET" || req.method == "HEAD") {
                // The game's board.js, told that a board serves it: on a
                // static host the same file finds no such line and shows nothing.
                if (req.path == "/board.js" && !options_.Site.empty()) {
                    std::ifstream in(options_.Site + "/board.js", std::ios::binary);
                    if (in) {
                        res.set_content("window.pmBoardServer = true;\n" + std::string(std::istreambuf_iterator<char>(in), {}),
                                        "text/javascript; charset=utf-8");
                        res.set_header("Cache-Control", "no-cache");
                        return httplib::Server::HandlerResponse::Handled;
                    }
                }
                const SiteFile* f = FindSiteFile(req.path == "/" ? "/scores.html" : req.path);
                if (f) {
                    res.set_content(std::string(f->Body), std::string(f->Type).c_str());
                    res.set_header("Cache-Control", "no-cache");
                    return httplib::Server::HandlerResponse::Handled;
                }
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
        svr.set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
            // A stored replay may hold any text in its comments: it is
            // served as text, and no browser may take it for a page.
            res.set_header("X-Content-Type-Options", "nosniff");
        });
        svr.Get("/healthz", [this](const httplib::Request&, httplib::Response& res) {
            if (!store_.Ping()) return Refuse(res, 503, "the database does not answer");
            Answer(res, 200, {{"ok", true}, {"service", "pellimunch-board"}, {"game", !options_.Site.empty()},
                              {"waiting", pool_.Waiting()}});
        });
        svr.Get("/api/daily", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(DailyAnswer(static_cast<int64_t>(std::time(nullptr))), "application/json");
            res.set_header("Cache-Control", "no-cache");
        });
        svr.Get("/api/top", [this](const httplib::Request& req, httplib::Response& res) {
            const auto limit = QueryNumber(req, "limit", MaxTopLimit, MaxTopLimit);
            const auto offset = QueryNumber(req, "offset", 0, MaxTopOffset);
            if (!limit || !offset || *limit < 1)
                return Refuse(res, 400, "limit is 1 to " + std::to_string(MaxTopLimit) + ", offset 0 or more");
            if (req.has_param("day")) return DayTable(req.get_param_value("day"), *limit, *offset, res);
            res.set_content(top_.Answer(*limit, *offset), "application/json");
            res.set_header("Cache-Control", "no-cache");
        });
        svr.Get(R"(/api/runs/(\d{1,15})/replay)", [this](const httplib::Request& req, httplib::Response& res) {
            const std::optional<std::string> text = store_.ReplayText(std::stoll(req.matches[1].str()));
            if (!text) return Refuse(res, 404, "no such run");
            res.set_content(*text, "text/plain; charset=utf-8");
            res.set_header("Content-Disposition", "inline; filename=\"run-" + req.matches[1].str() + ".replay\"");
        });
        svr.Post("/api/runs", [this](const httplib::Request& req, httplib::Response& res) { Submit(req, res); });
        svr.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
            std::string why = "unknown error";
            try {
                std::rethrow_exception(ep);
            } catch (const StoreError& e) {
                // The database, not the request: come back shortly.
                std::fprintf(stderr, "pellimunch-board: %s\n", e.what());
                res.set_header("Retry-After", std::to_string(RetryAfterSeconds));
                return Refuse(res, 503, "the database does not answer just now; try again shortly");
            } catch (const std::exception& e) {
                why = e.what();
            } catch (...) {
            }
            std::fprintf(stderr, "pellimunch-board: %s\n", why.c_str());
            Refuse(res, 500, "the server failed; try again later");
        });
        if (!options_.Quiet)
            svr.set_logger([](const httplib::Request& req, const httplib::Response& res) {
                const double ms = std::chrono::duration<double, std::milli>(Clock::now() - RequestStart).count();
                std::fprintf(stderr, "%s %s %s %d %.1fms\n", req.remote_addr.c_str(), req.method.c_str(),
                             req.path.c_str(), res.status, ms);
            });
    }

    void Stop() { pool_.Stop(); }

private:
    std::string Address(const httplib::Request& req) const {
        if (options_.TrustProxy && req.has_header("X-Forwarded-For")) {
            // The proxy in front appends the address it saw: the last one.
            std::string list = req.get_header_value("X-Forwarded-For");
            const size_t comma = list.rfind(',');
            std::string last = comma == std::string::npos ? list : list.substr(comma + 1);
            last.erase(0, last.find_first_not_of(' '));
            last.erase(last.find_last_not_of(' ') + 1);
            if (!last.empty() && last.size() <= 64) return last;
        }
        return req.remote_addr;
    }

    // The table of a day: each name's best run of that day.
    void DayTable(const std::string& text, int64_t limit, int64_t offset, httplib::Response& res) {
        const std::optional<Day> day = ParseDay(text);
        if (!day) return Refuse(res, 400, "day is a date written YYYY-MM-DD");
        const std::vector<TableRow> rows = store_.TopOfDay(DayText(*day), limit, offset);
        res.set_content(TopCache::Render(rows, offset + static_cast<int64_t>(rows.size()), offset), "application/json");
        res.set_header("Cache-Control", "no-cache");
    }

    void Submit(const httplib::Request& req, httplib::Response& res) {
        const std::string address = Address(req);
        if (!limiter_.Allow(address)) {
            res.set_header("Retry-After", std::to_string(static_cast<int>(60 / std::max(options_.SubmitsPerMinute, 1))));
            return Refuse(res, 429, "too many submissions from this address; try again in a minute");
        }
        const Json body = Json::parse(req.body, nullptr, false);
        if (body.is_discarded() || !body.is_object()) return Refuse(res, 400, "the body is not a JSON object");
        const auto name = body.find("name");
        const auto text = body.find("replay");
        if (name == body.end() || !name->is_string() || text == body.end() || !text->is_string())
            return Refuse(res, 400, "the body needs \"name\" and \"replay\", both strings");
        std::string why;
        const std::optional<std::string> clean = CleanName(name->get_ref<const std::string&>(), why);
        if (!clean) return Refuse(res, 400, why);

        auto replay = std::make_shared<Replay>();
        const std::string& replayText = text->get_ref<const std::string&>();
        Verification checked = Check(replayText, *replay);
        if (checked.Result == Verdict::Malformed) return Refuse(res, 400, "replay " + checked.Message);
        if (checked.Result == Verdict::TooLong) return Refuse(res, 413, checked.Message);
        if (checked.Result == Verdict::Mismatch) return Refuse(res, 422, checked.Message);

        auto done = std::make_shared<std::promise<Verification>>();
        std::future<Verification> result = done->get_future();
        const bool posted = pool_.TryPost([replay, done, v = std::move(checked)]() mutable {
            try {
                Run(*replay, v);
                done->set_value(std::move(v));
            } catch (...) {
                done->set_exception(std::current_exception());
            }
        });
        if (!posted) {
            res.set_header("Retry-After", std::to_string(RetryAfterSeconds));
            return Refuse(res, 503, "the server is busy checking other runs; try again shortly");
        }
        const Verification v = result.get();
        if (v.Result != Verdict::Ranked) return Refuse(res, 422, v.Message);

        NewRun run;
        run.Name = *clean;
        run.Score = v.Best.Score;
        run.Level = v.Best.Level;
        run.Frames = v.Best.Frames;
        run.SessionFrames = v.SessionFrames;
        run.Seed = v.Seed;
        run.StartRecord = v.StartRecord;
        run.Hash = v.Hash;
        run.GameHash = v.GameHash;
        run.Flag = v.Flag;
        run.Replay = replayText;
        run.Address = address;
        run.Date = UtcNow();
        if (const std::optional<Day> day = DailyDayOf(*replay, v.Games, static_cast<int64_t>(std::time(nullptr))))
            run.Daily = DayText(*day);
        const Inserted in = store_.Insert(run);
        if (in.Duplicate) return Refuse(res, 409, "this run is on the table already");
        top_.Invalidate();
        Answer(res, 201, {{"id", in.Id}, {"score", run.Score}, {"level", run.Level}, {"frames", run.Frames},
                          {"rank", in.Rank}, {"name", run.Name}});
    }

    const ServerOptions& options_;
    Store& store_;
    TopCache top_;
    RateLimiter limiter_;
    WorkerPool pool_;
};

}  // namespace

int RunServer(const ServerOptions& o) {
    // SIGTERM and SIGINT go to one thread that stops the server; every other
    // thread (started after this) has them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<Store> store;
    try {
        store = OpenStore(o.Db);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pellimunch-board: %s\n", e.what());
        return 1;
    }
    httplib::Server svr;
    svr.new_task_queue = [] { return new httplib::ThreadPool(ConnectionThreads); };
    svr.set_payload_max_length(MaxBodyBytes);
    svr.set_read_timeout(ReadTimeoutSeconds, 0);
    svr.set_write_timeout(ReadTimeoutSeconds, 0);
    svr.set_keep_alive_max_count(1000);
    svr.set_tcp_nodelay(true);   // an answer goes out in two writes: no waiting for the first one's ACK
    if (!o.Site.empty() && !svr.set_mount_point("/", o.Site)) {
        std::fprintf(stderr, "pellimunch-board: %s: not a folder\n", o.Site.c_str());
        return 1;
    }
    svr.set_file_extension_and_mimetype_mapping("wasm", "application/wasm");
    svr.set_file_extension_and_mimetype_mapping("data", "application/octet-stream");

    Board board(o, *store);
    board.Routes(svr);

    const int port = o.Port == 0 ? svr.bind_to_any_port(o.Listen) : (svr.bind_to_port(o.Listen, o.Port) ? o.Port : -1);
    if (port < 0) {
        std::fprintf(stderr, "pellimunch-board: cannot listen on %s port %d\n", o.Listen.c_str(), o.Port);
        return 1;
    }
    std::atomic<bool> stopped{false}, signalled{false};
    std::thread signals([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        signalled = true;
        if (stopped) return;
        std::fprintf(stderr, "pellimunch-board: signal %d: finishing the requests in hand\n", sig);
        svr.stop();
    });
    std::printf("pellimunch-board: listening on http://%s:%d (database %s, schema version %d)\n", o.Listen.c_str(),
                port, IsPostgres(o.Db) ? "PostgreSQL" : o.Db.c_str(), store->SchemaVersion());
    std::fflush(stdout);
    const bool ok = svr.listen_after_bind();
    // The readers have all answered by now; then the verifications, then the database.
    stopped = true;
    if (!signalled) pthread_kill(signals.native_handle(), SIGTERM);
    signals.join();
    board.Stop();
    store->Close();
    std::fprintf(stderr, "pellimunch-board: stopped; database closed\n");
    return ok ? 0 : 1;
}

}  // namespace pm::board

// The table in PostgreSQL, for several board servers behind one proxy: a
// small pool of connections, each with the statements prepared once. A
// server that stops answering (frozen, cut off) costs a call at most
// StoreTimeoutMs: PostgreSQL's own statement_timeout ends slow statements,
// and a watch of the store's own cuts a connection whose answer is late
// (which the server's statement_timeout cannot: it does not run at all).
// A lost connection is opened again once before a call fails.
#include <pqxx/pqxx>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "board/store.h"

namespace pm::board {

namespace {

using Clock = std::chrono::steady_clock;

// Any key will do, as long as every board server takes the same one.
constexpr int64_t MigrationLock = 0x706d626f617264;   // "pmboard"
// How often the watch looks at the connections in use.
constexpr int WatchMs = 100;

// The statements, prepared on each connection by name.
const std::pair<const char*, const char*> Prepared[] = {
    {"insert", sql::Insert},   {"rank", sql::Rank},       {"top", sql::Top},
    {"replay", sql::Replay},   {"count", sql::Count},     {"hide", sql::Hide},
    {"unhide", sql::Unhide},   {"ping", sql::Ping},       {"count_score", sql::CountScore},
    {"count_bucket", sql::CountBucket}, {"exists", sql::Exists}, {"buckets", sql::Buckets},
    {"scores", sql::Scores},   {"id_at", sql::IdAt},      {"page_from", sql::PageFrom},
    {"top_of_day", sql::TopOfDay},
};

const char* NameOf(const char* text) {
    for (auto [name, sql] : Prepared)
        if (sql == text) return name;
    throw StoreError("a statement that was never prepared");
}

void Counts(pqxx::work& w, int64_t score, int64_t change) {
    w.exec_prepared("count_score", score, change);
    w.exec_prepared("count_bucket", score, change);
}

// The connection string with the timeouts added, unless it sets them.
std::string WithTimeouts(const std::string& uri) {
    std::string out = uri;
    auto add = [&](const std::string& key, const std::string& value) {
        if (uri.find(key + "=") != std::string::npos) return;
        out += out.find('?') == std::string::npos ? '?' : '&';
        out += key + "=" + value;
    };
    add("connect_timeout", std::to_string(ConnectTimeoutSeconds));
    add("options", "-c%20statement_timeout%3D" + std::to_string(StoreTimeoutMs));
    return out;
}

struct Slot {
    std::unique_ptr<pqxx::connection> Conn;
    Clock::time_point Deadline{};   // while a call runs on it
    bool Busy = false;
    bool Cut = false;               // the watch cut it: the answer came too late
};

class PostgresStore : public Store {
public:
    explicit PostgresStore(const std::string& uri) : uri_(WithTimeouts(uri)), slots_(PostgresConnections) {
        watch_ = std::thread([this] { Watch(); });
        try {
            Migrate();
        } catch (...) {
            Close();
            throw;
        }
    }
    ~PostgresStore() override { Close(); }

    int SchemaVersion() override {
        return Do(StoreTimeoutMs, [&](pqxx::work& w) { return w.exec1(sql::SchemaVersion)[0].as<int>(); });
    }

    Inserted Insert(const NewRun& r) override {
        return Do(StoreTimeoutMs, [&](pqxx::work& w) {
            Inserted out;
            const pqxx::result ins = w.exec_prepared(
                "insert", r.Name, r.Score, r.Level, static_cast<int64_t>(r.Frames),
                static_cast<int64_t>(r.SessionFrames), static_cast<int64_t>(r.Seed), r.StartRecord, r.Hash, r.Replay,
                r.Address, r.Date, r.GameHash, r.Flag, r.Daily);
            if (ins.empty()) {
                out.Duplicate = true;
            } else {
                out.Id = ins[0][0].as<int64_t>();
                Counts(w, r.Score, 1);
                out.Rank = w.exec_prepared("rank", r.Score, out.Id)[0][0].as<int64_t>();
            }
            w.commit();
            return out;
        });
    }

    std::vector<TableRow> Top(int64_t limit, int64_t offset) override {
        return Do(StoreTimeoutMs, [&](pqxx::work& w) {
            std::vector<TableRow> rows;
            auto take = [&](const pqxx::result& result) {
                for (const auto& row : result)
                    rows.push_back({offset + static_cast<int64_t>(rows.size()) + 1, row[0].as<int64_t>(),
                                    row[1].as<std::string>(), row[2].as<int32_t>(), row[3].as<int32_t>(),
                                    static_cast<uint64_t>(row[4].as<int64_t>()), row[5].as<std::string>(),
                                    row[6].as<std::string>()});
            };
            if (offset < DeepPage) {
                take(w.exec_prepared("top", limit, offset));
                return rows;
            }
            // The counts and the page from one snapshot of the table.
            w.exec("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ READ ONLY");
            const auto key = KeyAt(offset, [&](const char* text, const std::vector<int64_t>& params) {
                Pairs out;
                for (const auto& row : w.exec_prepared(NameOf(text), pqxx::prepare::make_dynamic_params(params)))
                    out.emplace_back(row[0].as<int64_t>(), text == sql::IdAt ? 0 : row[1].as<int64_t>());
                return out;
            });
            if (key) take(w.exec_prepared("page_from", key->first, key->second, limit));
            return rows;
        });
    }

    std::vector<TableRow> TopOfDay(const std::string& day, int64_t limit, int64_t offset) override {
        return Do(StoreTimeoutMs, [&](pqxx::work& w) {
            std::vector<TableRow> rows;
            for (const auto& row : w.exec_prepared("top_of_day", day, limit, offset))
                rows.push_back({offset + static_cast<int64_t>(rows.size()) + 1, row[0].as<int64_t>(),
                                row[1].as<std::string>(), row[2].as<int32_t>(), row[3].as<int32_t>(),
                                static_cast<uint64_t>(row[4].as<int64_t>()), row[5].as<std::string>(),
                                row[6].as<std::string>()});
            return rows;
        });
    }

    std::optional<std::string> ReplayText(int64_t id) override {
        return Do(StoreTimeoutMs, [&](pqxx::work& w) -> std::optional<std::string> {
            const pqxx::result r = w.exec_prepared("replay", id);
            if (r.empty()) return std::nullopt;
            return r[0][0].as<std::string>();
        });
    }

    int64_t Count() override {
        return Do(StoreTimeoutMs, [&](pqxx::work& w) { return w.exec_prepared("count")[0][0].as<int64_t>(); });
    }

    bool Hide(int64_t id, const std::string& reason, const std::string& date) override {
        return Do(StoreTimeoutMs, [&](pqxx::work& w) { return Moderate(w, id, w.exec_prepared("hide", id, reason, date), -1); });
    }

    bool Unhide(int64_t id) override {
        return Do(StoreTimeoutMs, [&](pqxx::work& w) { return Moderate(w, id, w.exec_prepared("unhide", id), 1); });
    }

    bool Ping() override {
        try {
            return Do(PingTimeoutMs, [&](pqxx::work& w) { return w.exec_prepared("ping").size() == 1; });
        } catch (const StoreError&) {
            return false;
        }
    }

    void Close() override {
        {
            std::unique_lock lock(mutex_);
            if (closed_ && !watch_.joinable()) return;
            closed_ = true;
            changed_.notify_all();
            // Calls in hand end (each within its deadline).
            changed_.wait(lock, [&] {
                for (const Slot& s : slots_)
                    if (s.Busy) return false;
                return true;
            });
            for (Slot& s : slots_) {
                if (s.Conn) s.Conn->disconnect();
                s.Conn.reset();
            }
        }
        if (watch_.joinable()) watch_.join();
    }

private:
    // After hide or unhide: the counts follow a run that changed; the
    // answer is whether the run is there at all.
    static bool Moderate(pqxx::work& w, int64_t id, const pqxx::result& changed, int64_t delta) {
        bool found = true;
        if (!changed.empty())
            Counts(w, changed[0][0].as<int64_t>(), delta);
        else
            found = !w.exec_prepared("exists", id).empty();
        w.commit();
        return found;
    }

    // Cuts the connections whose call is past its deadline: the blocked
    // call sees its connection lost and fails at once.
    void Watch() {
        std::unique_lock lock(mutex_);
        while (!closed_) {
            changed_.wait_for(lock, std::chrono::milliseconds(WatchMs));
            const Clock::time_point now = Clock::now();
            for (Slot& s : slots_)
                if (s.Busy && s.Conn && !s.Cut && now > s.Deadline) {
                    s.Cut = true;
                    const int fd = s.Conn->sock();
                    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
                }
        }
    }

    Slot& Acquire(Clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        Slot* found = nullptr;
        if (!changed_.wait_until(lock, deadline, [&] {
                if (closed_) return true;
                for (Slot& s : slots_)
                    if (!s.Busy) return (found = &s), true;
                return false;
            }))
            throw StoreError("PostgreSQL: every connection is busy");
        if (closed_) throw StoreError("the database is closed");
        found->Busy = true;
        found->Cut = false;
        found->Deadline = deadline;
        return *found;
    }

    void Release(Slot& s, bool drop) {
        std::lock_guard lock(mutex_);
        if (drop || s.Cut) s.Conn.reset();
        s.Busy = false;
        changed_.notify_all();
    }

    void Connect(Slot& s) {
        try {
            auto conn = std::make_unique<pqxx::connection>(uri_);
            for (auto [name, text] : Prepared) conn->prepare(name, text);
            std::lock_guard lock(mutex_);
            s.Conn = std::move(conn);
        } catch (const pqxx::broken_connection& e) {
            throw StoreError(std::string("cannot connect to PostgreSQL: ") + e.what());
        }
    }

    // One transaction on a connection of the pool, all within `ms`; once
    // more on a new connection when the old one was lost (not when it was
    // cut for being late).
    template <typename F>
    auto Do(int ms, F&& body) -> decltype(body(std::declval<pqxx::work&>())) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
        Slot& s = Acquire(deadline);
        for (int attempt = 0;; ++attempt) {
            bool cut = false;
            try {
                if (!s.Conn) Connect(s);
                pqxx::work w(*s.Conn);
                auto result = body(w);
                Release(s, false);
                return result;
            } catch (const pqxx::broken_connection& e) {
                {
                    std::lock_guard lock(mutex_);
                    cut = s.Cut;
                }
                if (cut || attempt > 0 || Clock::now() > deadline) {
                    Release(s, true);
                    throw StoreError(cut ? "PostgreSQL did not answer within " + std::to_string(ms) + " ms"
                                         : std::string("PostgreSQL: ") + e.what());
                }
                std::lock_guard lock(mutex_);
                s.Conn.reset();
            } catch (const pqxx::failure& e) {
                Release(s, false);
                throw StoreError(std::string("PostgreSQL: ") + e.what());
            } catch (...) {
                Release(s, true);
                throw;
            }
        }
    }

    void Migrate() {
        // No deadline of ours here: a migration may build an index over
        // every run, and a second server waits for the first one's.
        Do(24 * 60 * 60 * 1000, [&](pqxx::work& w) {
            w.exec("SET LOCAL statement_timeout = 0");
            // Two servers starting at once: the second waits, then finds
            // the schema up to date.
            w.exec_params("SELECT pg_advisory_xact_lock($1)", MigrationLock);
            w.exec(sql::CreateSchemaVersion);
            ApplyMigrations(
                w.exec1(sql::SchemaVersion)[0].as<int>(), true,
                [&](const std::string& sql) { w.exec(sql); },
                [&](int version) {
                    w.exec_params("INSERT INTO schema_version (version, applied_at) VALUES "
                                  "($1, to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'))",
                                  version);
                });
            w.commit();
            return 0;
        });
    }

    const std::string uri_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Slot> slots_;
    bool closed_ = false;
    std::thread watch_;
};

}  // namespace

std::unique_ptr<Store> OpenPostgres(const std::string& uri) { return std::make_unique<PostgresStore>(uri); }

}  // namespace pm::board

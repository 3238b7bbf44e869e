// The table in PostgreSQL, for several board servers behind one proxy. One
// connection per server, used by one thread at a time; a lost connection is
// opened again once before a request fails.
#include <pqxx/pqxx>

#include <mutex>

#include "board/store.h"

namespace pm::board {

namespace {

// Any key will do, as long as every board server takes the same one.
constexpr int64_t MigrationLock = 0x706d626f617264;   // "pmboard"

class PostgresStore : public Store {
public:
    explicit PostgresStore(std::string uri) : uri_(std::move(uri)) {
        Connect();
        Migrate();
    }

private:
    void Connect() {
        try {
            conn_ = std::make_unique<pqxx::connection>(uri_);
        } catch (const std::exception& e) {
            throw StoreError(std::string("cannot connect to PostgreSQL: ") + e.what());
        }
    }

    // One transaction on the connection; once more on a new connection
    // when the old one was lost.
    template <typename F>
    auto Do(F&& body) -> decltype(body(std::declval<pqxx::work&>())) {
        std::lock_guard lock(mutex_);
        for (int attempt = 0;; ++attempt) {
            try {
                if (!conn_) Connect();
                pqxx::work w(*conn_);
                return body(w);
            } catch (const pqxx::broken_connection& e) {
                conn_.reset();
                if (attempt > 0) throw StoreError(std::string("PostgreSQL: ") + e.what());
            } catch (const pqxx::failure& e) {
                throw StoreError(std::string("PostgreSQL: ") + e.what());
            }
        }
    }

public:
    int SchemaVersion() override {
        return Do([&](pqxx::work& w) { return w.exec1(sql::SchemaVersion)[0].as<int>(); });
    }

    Inserted Insert(const NewRun& r) override {
        return Do([&](pqxx::work& w) {
            Inserted out;
            const pqxx::result ins = w.exec_params(
                sql::Insert, r.Name, r.Score, r.Level, static_cast<int64_t>(r.Frames), static_cast<int64_t>(r.SessionFrames),
                static_cast<int64_t>(r.Seed), r.StartRecord, r.Hash, r.Replay, r.Address, r.Date, r.Daily);
            if (ins.empty()) {
                out.Duplicate = true;
            } else {
                out.Id = ins[0][0].as<int64_t>();
                out.Rank = w.exec_params1(sql::Rank, r.Score, out.Id)[0].as<int64_t>();
            }
            w.commit();
            return out;
        });
    }

    std::vector<TableRow> Top(int64_t limit, int64_t offset) override {
        return Do([&](pqxx::work& w) { return Rows(w.exec_params(sql::Top, limit, offset), offset); });
    }

    std::vector<TableRow> TopOfDay(const std::string& day, int64_t limit, int64_t offset) override {
        return Do([&](pqxx::work& w) { return Rows(w.exec_params(sql::TopOfDay, day, limit, offset), offset); });
    }

    static std::vector<TableRow> Rows(const pqxx::result& result, int64_t offset) {
        std::vector<TableRow> rows;
        for (const auto& row : result)
            rows.push_back({offset + static_cast<int64_t>(rows.size()) + 1, row[0].as<int64_t>(),
                            row[1].as<std::string>(), row[2].as<int32_t>(), row[3].as<int32_t>(),
                            static_cast<uint64_t>(row[4].as<int64_t>()), row[5].as<std::string>()});
        return rows;
    }

    std::optional<std::string> ReplayText(int64_t id) override {
        return Do([&](pqxx::work& w) -> std::optional<std::string> {
            const pqxx::result r = w.exec_params(sql::Replay, id);
            if (r.empty()) return std::nullopt;
            return r[0][0].as<std::string>();
        });
    }

    int64_t Count() override {
        return Do([&](pqxx::work& w) { return w.exec1(sql::Count)[0].as<int64_t>(); });
    }

    void Close() override {
        std::lock_guard lock(mutex_);
        if (conn_) conn_->disconnect();
        conn_.reset();
    }

private:

    void Migrate() {
        Do([&](pqxx::work& w) {
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

    std::string uri_;
    std::mutex mutex_;
    std::unique_ptr<pqxx::connection> conn_;
};

}  // namespace

std::unique_ptr<Store> OpenPostgres(const std::string& uri) { return std::make_unique<PostgresStore>(uri); }

}  // namespace pm::board

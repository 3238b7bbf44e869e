// The table in one SQLite file: one connection, used by one thread at a
// time, in write-ahead-log mode so a backup or a reader never stops it.
#include <sqlite3.h>

#include <mutex>

#include "board/store.h"

namespace pm::board {

namespace {

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK)
            throw StoreError(std::string("sqlite: ") + sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(st_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int i, int64_t v) { return Check(sqlite3_bind_int64(st_, i, v)); }
    Statement& Bind(int i, const std::string& v) {
        return Check(sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    }
    // True while there is a row.
    bool Step() {
        const int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw StoreError(std::string("sqlite: ") + sqlite3_errmsg(db_));
    }
    int64_t Int(int col) { return sqlite3_column_int64(st_, col); }
    std::string Text(int col) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col));
        return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(st_, col))) : std::string();
    }

private:
    Statement& Check(int rc) {
        if (rc != SQLITE_OK) throw StoreError(std::string("sqlite: ") + sqlite3_errmsg(db_));
        return *this;
    }
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
};

class SqliteStore : public Store {
public:
    explicit SqliteStore(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw StoreError("cannot open " + path + ": " + why);
        }
        sqlite3_busy_timeout(db_, 5000);
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=FULL");
        Migrate();
    }
    ~SqliteStore() override { Close(); }

    int SchemaVersion() override {
        std::lock_guard lock(mutex_);
        return Version();
    }

    Inserted Insert(const NewRun& r) override {
        std::lock_guard lock(mutex_);
        Exec("BEGIN IMMEDIATE");
        try {
            Inserted out;
            Statement ins(Db(), sql::Insert);
            ins.Bind(1, r.Name).Bind(2, r.Score).Bind(3, r.Level).Bind(4, static_cast<int64_t>(r.Frames));
            ins.Bind(5, static_cast<int64_t>(r.SessionFrames)).Bind(6, int64_t{r.Seed}).Bind(7, r.StartRecord);
            ins.Bind(8, r.Hash).Bind(9, r.Replay).Bind(10, r.Address).Bind(11, r.Date).Bind(12, r.Daily);
            if (!ins.Step()) {
                out.Duplicate = true;
            } else {
                out.Id = ins.Int(0);
                while (ins.Step()) {
                }
                Statement rank(Db(), sql::Rank);
                rank.Bind(1, r.Score).Bind(2, out.Id).Step();
                out.Rank = rank.Int(0);
            }
            Exec("COMMIT");
            return out;
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    std::vector<TableRow> Top(int64_t limit, int64_t offset) override {
        std::lock_guard lock(mutex_);
        Statement s(Db(), sql::Top);
        s.Bind(1, limit).Bind(2, offset);
        return Rows(s, offset);
    }

    std::vector<TableRow> TopOfDay(const std::string& day, int64_t limit, int64_t offset) override {
        std::lock_guard lock(mutex_);
        Statement s(Db(), sql::TopOfDay);
        s.Bind(1, day).Bind(2, limit).Bind(3, offset);
        return Rows(s, offset);
    }

    static std::vector<TableRow> Rows(Statement& s, int64_t offset) {
        std::vector<TableRow> rows;
        while (s.Step())
            rows.push_back({offset + static_cast<int64_t>(rows.size()) + 1, s.Int(0), s.Text(1),
                            static_cast<int32_t>(s.Int(2)), static_cast<int32_t>(s.Int(3)),
                            static_cast<uint64_t>(s.Int(4)), s.Text(5)});
        return rows;
    }

    std::optional<std::string> ReplayText(int64_t id) override {
        std::lock_guard lock(mutex_);
        Statement s(Db(), sql::Replay);
        if (!s.Bind(1, id).Step()) return std::nullopt;
        return s.Text(0);
    }

    int64_t Count() override {
        std::lock_guard lock(mutex_);
        Statement s(Db(), sql::Count);
        s.Step();
        return s.Int(0);
    }

    void Close() override {
        std::lock_guard lock(mutex_);
        if (!db_) return;
        sqlite3_close_v2(db_);   // every statement is finalised by then
        db_ = nullptr;
    }

private:
    sqlite3* Db() {
        if (!db_) throw StoreError("the database is closed");
        return db_;
    }
    void Exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(Db(), sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string why = error ? error : "unknown error";
            sqlite3_free(error);
            throw StoreError("sqlite: " + why);
        }
    }
    int Version() {
        Statement s(Db(), sql::SchemaVersion);
        s.Step();
        return static_cast<int>(s.Int(0));
    }
    void Migrate() {
        Exec(sql::CreateSchemaVersion);
        Exec("BEGIN IMMEDIATE");
        try {
            ApplyMigrations(
                Version(), false, [&](const std::string& sql) { Exec(sql); },
                [&](int version) {
                    Exec("INSERT INTO schema_version (version, applied_at) VALUES (" + std::to_string(version) +
                         ", strftime('%Y-%m-%dT%H:%M:%SZ', 'now'))");
                });
            Exec("COMMIT");
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
};

}  // namespace

std::unique_ptr<Store> OpenSqlite(const std::string& path) { return std::make_unique<SqliteStore>(path); }

void BackupSqlite(const std::string& source, const std::string& target) {
    sqlite3* from = nullptr;
    sqlite3* to = nullptr;
    auto fail = [&](const std::string& why) {
        sqlite3_close(from);
        sqlite3_close(to);
        throw StoreError(why);
    };
    if (sqlite3_open_v2(source.c_str(), &from, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        fail("cannot open " + source + ": " + sqlite3_errmsg(from));
    if (sqlite3_open(target.c_str(), &to) != SQLITE_OK) fail("cannot open " + target + ": " + sqlite3_errmsg(to));
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup) fail("cannot back up to " + target + ": " + sqlite3_errmsg(to));
    // A page at a time with short rests: a busy server goes on writing, and
    // the copy starts again from where the writes left it.
    int rc;
    while ((rc = sqlite3_backup_step(backup, 256)) == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
        sqlite3_sleep(5);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) fail("backup to " + target + " failed: " + sqlite3_errmsg(to));
    sqlite3_close(from);
    sqlite3_close(to);
}

}  // namespace pm::board

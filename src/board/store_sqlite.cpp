// The table in one SQLite file, in write-ahead-log mode so a backup or a
// reader never stops it.
#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "board/store.h"

namespace pm::board {

namespace {

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st_, nullptr) != SQLITE_OK)
            throw StoreError(std::string("sqlite: ") + sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(st_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Ready for another use: its last one reset, its values cleared.
    Statement& Fresh() {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
        return *this;
    }
    // The value of $i (SQLite numbers its parameters in the order they
    // first appear, not by the number in their name).
    Statement& Bind(int i, int64_t v) { return Check(sqlite3_bind_int64(st_, Index(i), v)); }
    Statement& Bind(int i, const std::string& v) {
        return Check(sqlite3_bind_text(st_, Index(i), v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
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
    int Index(int i) {
        const int at = sqlite3_bind_parameter_index(st_, ("$" + std::to_string(i)).c_str());
        if (at == 0) throw StoreError("sqlite: a statement has no $" + std::to_string(i));
        return at;
    }
    Statement& Check(int rc) {
        if (rc != SQLITE_OK) throw StoreError(std::string("sqlite: ") + sqlite3_errmsg(db_));
        return *this;
    }
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
};

sqlite3* Open(const std::string& path, int flags) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        const std::string why = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw StoreError("cannot open " + path + ": " + why);
    }
    sqlite3_busy_timeout(db, StoreTimeoutMs);
    return db;
}

void Exec(sqlite3* db, const std::string& sql) {
    if (!db) throw StoreError("the database is closed");
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string why = error ? error : "unknown error";
        sqlite3_free(error);
        throw StoreError("sqlite: " + why);
    }
}

// The journal mode a connection is in, as SQLite names it.
std::string JournalMode(sqlite3* db, const char* set) {
    Statement s(db, set);
    return s.Step() ? s.Text(0) : std::string();
}

// A reading connection with its statements, prepared once.
struct Reader {
    explicit Reader(const std::string& path)
        : Db(Open(path, SQLITE_OPEN_READONLY)), Top(Db, sql::Top), Count(Db, sql::Count), Replay(Db, sql::Replay),
          Ping(Db, "SELECT COUNT(*) FROM schema_version"), Buckets(Db, sql::Buckets), Scores(Db, sql::Scores),
          IdAt(Db, sql::IdAt), PageFrom(Db, sql::PageFrom), TopOfDay(Db, sql::TopOfDay) {}
    // Ends the read: a statement left unreset would hold its snapshot of
    // the table, and the next read would not see new runs.
    void Done() {
        for (Statement* s : {&Top, &Count, &Replay, &Ping, &Buckets, &Scores, &IdAt, &PageFrom, &TopOfDay})
            s->Fresh();
    }
    sqlite3* Db;
    Statement Top, Count, Replay, Ping, Buckets, Scores, IdAt, PageFrom, TopOfDay;
};

// The table in one SQLite file in write-ahead-log mode: one writing
// connection, taken by one thread at a time, and SqliteReaders reading
// connections, so reading the table never waits behind a submission.
class SqliteStore : public Store {
public:
    explicit SqliteStore(const std::string& path) : path_(path) {
        db_ = Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        try {
            // Readers beside a writer need the write-ahead log; a file
            // system that cannot keep one (some network ones) leaves the
            // database in its old mode, and says so here.
            const std::string mode = JournalMode(db_, "PRAGMA journal_mode=WAL");
            if (mode != "wal")
                throw StoreError(path + ": SQLite cannot keep a write-ahead log there (journal mode " + mode +
                                 "); put the database on a local file system");
            Exec(db_, "PRAGMA synchronous=FULL");
            Migrate();
            insert_ = std::make_unique<Statement>(db_, sql::Insert);
            rank_ = std::make_unique<Statement>(db_, sql::Rank);
            hide_ = std::make_unique<Statement>(db_, sql::Hide);
            unhide_ = std::make_unique<Statement>(db_, sql::Unhide);
            count_score_ = std::make_unique<Statement>(db_, sql::CountScore);
            count_bucket_ = std::make_unique<Statement>(db_, sql::CountBucket);
            exists_ = std::make_unique<Statement>(db_, sql::Exists);
            for (int i = 0; i < SqliteReaders; ++i) {
                auto reader = std::make_unique<ReaderSlot>(path);
                if (JournalMode(reader->R.Db, "PRAGMA journal_mode") != "wal")
                    throw StoreError(path + ": a reading connection is not in write-ahead-log mode");
                free_.push_back(reader.get());
                readers_.push_back(std::move(reader));
            }
        } catch (...) {
            Close();
            throw;
        }
    }
    ~SqliteStore() override { Close(); }

    int SchemaVersion() override {
        std::lock_guard lock(write_);
        return Version();
    }

    Inserted Insert(const NewRun& r) override {
        std::lock_guard lock(write_);
        Exec(Db(), "BEGIN IMMEDIATE");
        try {
            Inserted out;
            Statement& ins = insert_->Fresh();
            ins.Bind(1, r.Name).Bind(2, r.Score).Bind(3, r.Level).Bind(4, static_cast<int64_t>(r.Frames));
            ins.Bind(5, static_cast<int64_t>(r.SessionFrames)).Bind(6, int64_t{r.Seed}).Bind(7, r.StartRecord);
            ins.Bind(8, r.Hash).Bind(9, r.Replay).Bind(10, r.Address).Bind(11, r.Date);
            ins.Bind(12, r.GameHash).Bind(13, r.Flag);
            ins.Bind(14, r.Daily);
            if (!ins.Step()) {
                out.Duplicate = true;
            } else {
                out.Id = ins.Int(0);
                while (ins.Step()) {
                }
                Counts(r.Score, 1);
                Statement& rank = rank_->Fresh();
                rank.Bind(1, r.Score).Bind(2, out.Id).Step();
                out.Rank = rank.Int(0);
                rank.Fresh();
            }
            ins.Fresh();
            Exec(db_, "COMMIT");
            return out;
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    bool Hide(int64_t id, const std::string& reason, const std::string& date) override {
        return Moderate(id, [&](Statement& s) { s.Bind(1, id).Bind(2, reason).Bind(3, date); }, *hide_, -1);
    }

    bool Unhide(int64_t id) override {
        return Moderate(id, [&](Statement& s) { s.Bind(1, id); }, *unhide_, 1);
    }

    std::vector<TableRow> Top(int64_t limit, int64_t offset) override {
        return Read([&](Reader& r) {
            std::vector<TableRow> rows;
            auto take = [&](Statement& s) {
                while (s.Step())
                    rows.push_back({offset + static_cast<int64_t>(rows.size()) + 1, s.Int(0), s.Text(1),
                                    static_cast<int32_t>(s.Int(2)), static_cast<int32_t>(s.Int(3)),
                                    static_cast<uint64_t>(s.Int(4)), s.Text(5), s.Text(6)});
            };
            if (offset < DeepPage) {
                Statement& s = r.Top.Fresh();
                s.Bind(1, limit).Bind(2, offset);
                take(s);
                return rows;
            }
            // The counts and the page from one snapshot of the table.
            Exec(r.Db, "BEGIN");
            try {
                const auto key = KeyAt(offset, [&](const char* text, const std::vector<int64_t>& params) {
                    Statement& s = (text == sql::Buckets ? r.Buckets : text == sql::Scores ? r.Scores : r.IdAt).Fresh();
                    for (size_t i = 0; i < params.size(); ++i) s.Bind(static_cast<int>(i + 1), params[i]);
                    Pairs out;
                    while (s.Step()) out.emplace_back(s.Int(0), text == sql::IdAt ? 0 : s.Int(1));
                    return out;
                });
                if (key) {
                    Statement& s = r.PageFrom.Fresh();
                    s.Bind(1, key->first).Bind(2, key->second).Bind(3, limit);
                    take(s);
                }
                r.Done();
                Exec(r.Db, "COMMIT");
            } catch (...) {
                r.Done();
                sqlite3_exec(r.Db, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
            return rows;
        });
    }

    std::vector<TableRow> TopOfDay(const std::string& day, int64_t limit, int64_t offset) override {
        return Read([&](Reader& r) {
            std::vector<TableRow> rows;
            Statement& s = r.TopOfDay.Fresh();
            s.Bind(1, day).Bind(2, limit).Bind(3, offset);
            while (s.Step())
                rows.push_back({offset + static_cast<int64_t>(rows.size()) + 1, s.Int(0), s.Text(1),
                                static_cast<int32_t>(s.Int(2)), static_cast<int32_t>(s.Int(3)),
                                static_cast<uint64_t>(s.Int(4)), s.Text(5), s.Text(6)});
            return rows;
        });
    }

    std::optional<std::string> ReplayText(int64_t id) override {
        return Read([&](Reader& r) -> std::optional<std::string> {
            Statement& s = r.Replay.Fresh();
            if (!s.Bind(1, id).Step()) return std::nullopt;
            return s.Text(0);
        });
    }

    int64_t Count() override {
        return Read([&](Reader& r) {
            Statement& s = r.Count.Fresh();
            s.Step();
            return s.Int(0);
        });
    }

    bool Ping() override {
        try {
            return Read([&](Reader& r) { return r.Ping.Fresh().Step(); });
        } catch (const StoreError&) {
            return false;
        }
    }

    void Close() override {
        {
            std::unique_lock lock(readers_mutex_);
            closed_ = true;
            // Readers in use finish first.
            returned_.wait(lock, [&] { return free_.size() == readers_.size(); });
            free_.clear();
            readers_.clear();
        }
        std::lock_guard lock(write_);
        insert_.reset();
        rank_.reset();
        hide_.reset();
        unhide_.reset();
        count_score_.reset();
        count_bucket_.reset();
        exists_.reset();
        if (!db_) return;
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }

private:
    struct ReaderSlot {
        explicit ReaderSlot(const std::string& path) : R(path) {}
        ~ReaderSlot() {
            // The statements are finalised by their own destructors after
            // this; sqlite3_close_v2 waits for them.
            sqlite3_close_v2(R.Db);
        }
        Reader R;
    };

    // One reading connection for the length of `body`: waits for one to
    // come free, at most StoreTimeoutMs.
    template <typename F>
    auto Read(F&& body) -> decltype(body(std::declval<Reader&>())) {
        ReaderSlot* slot = nullptr;
        {
            std::unique_lock lock(readers_mutex_);
            if (!returned_.wait_for(lock, std::chrono::milliseconds(StoreTimeoutMs),
                                    [&] { return closed_ || !free_.empty(); }))
                throw StoreError("sqlite: every reading connection is busy");
            if (closed_) throw StoreError("the database is closed");
            slot = free_.back();
            free_.pop_back();
        }
        struct Back {
            SqliteStore& store;
            ReaderSlot* slot;
            ~Back() {
                slot->R.Done();
                std::lock_guard lock(store.readers_mutex_);
                store.free_.push_back(slot);
                store.returned_.notify_all();
            }
        } back{*this, slot};
        return body(slot->R);
    }

    sqlite3* Db() {
        if (!db_) throw StoreError("the database is closed");
        return db_;
    }
    // The counts of shown runs after one of `score` came or went.
    void Counts(int64_t score, int64_t change) {
        for (Statement* s : {count_score_.get(), count_bucket_.get()}) {
            s->Fresh().Bind(1, score).Bind(2, change).Step();
            s->Fresh();
        }
    }
    // Hide or unhide: the run's row and the counts in one transaction.
    template <typename BindFn>
    bool Moderate(int64_t id, BindFn bind, Statement& change, int64_t delta) {
        std::lock_guard lock(write_);
        Exec(Db(), "BEGIN IMMEDIATE");
        try {
            Statement& s = change.Fresh();
            bind(s);
            bool found = true;
            if (s.Step()) {
                const int64_t score = s.Int(0);
                while (s.Step()) {
                }
                s.Fresh();
                Counts(score, delta);
            } else {
                s.Fresh();
                found = exists_->Fresh().Bind(1, id).Step();
                exists_->Fresh();
            }
            Exec(db_, "COMMIT");
            return found;
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    int Version() {
        Statement s(Db(), sql::SchemaVersion);
        s.Step();
        return static_cast<int>(s.Int(0));
    }
    void Migrate() {
        Exec(db_, sql::CreateSchemaVersion);
        Exec(db_, "BEGIN IMMEDIATE");
        try {
            ApplyMigrations(
                Version(), false, [&](const std::string& sql) { Exec(db_, sql); },
                [&](int version) {
                    Exec(db_, "INSERT INTO schema_version (version, applied_at) VALUES (" + std::to_string(version) +
                                  ", strftime('%Y-%m-%dT%H:%M:%SZ', 'now'))");
                });
            Exec(db_, "COMMIT");
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    std::string path_;
    std::mutex write_;
    sqlite3* db_ = nullptr;
    std::unique_ptr<Statement> insert_, rank_, hide_, unhide_, count_score_, count_bucket_, exists_;

    std::mutex readers_mutex_;
    std::condition_variable returned_;
    std::vector<std::unique_ptr<ReaderSlot>> readers_;
    std::vector<ReaderSlot*> free_;
    bool closed_ = false;
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

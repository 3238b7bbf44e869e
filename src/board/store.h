// Where the table lives: SQLite by default, PostgreSQL when several board
// servers share one database. Both keep the same schema, brought up to date
// by the same numbered migrations when the server starts.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pm::board {

struct NewRun {
    std::string Name;
    int32_t Score = 0;
    int32_t Level = 0;
    uint64_t Frames = 0;          // the best game's length
    uint64_t SessionFrames = 0;
    uint32_t Seed = 0;
    int32_t StartRecord = 0;
    std::string Hash;             // unique: one run is on the table once
    std::string Replay;           // as submitted
    std::string Address;
    std::string Date;             // UTC, "2026-01-31T12:00:00Z"
    std::string Daily;            // the day whose table it is on ("2026-01-31"), or empty
};

struct TableRow {
    int64_t Rank = 0;
    int64_t Id = 0;
    std::string Name;
    int32_t Score = 0;
    int32_t Level = 0;
    uint64_t Frames = 0;
    std::string Date;
};

struct Inserted {
    bool Duplicate = false;
    int64_t Id = 0;
    int64_t Rank = 0;
};

struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The order of the table: higher score first; on equal scores the run
// that came first.
class Store {
public:
    virtual ~Store() = default;
    virtual int SchemaVersion() = 0;
    virtual Inserted Insert(const NewRun& run) = 0;   // one transaction; Duplicate on a known hash
    virtual std::vector<TableRow> Top(int64_t limit, int64_t offset) = 0;
    // The table of a day: each name's best run of the day, in table order.
    virtual std::vector<TableRow> TopOfDay(const std::string& day, int64_t limit, int64_t offset) = 0;
    virtual std::optional<std::string> ReplayText(int64_t id) = 0;
    virtual int64_t Count() = 0;
    virtual void Close() = 0;
};

// True when `where` names a PostgreSQL database ("postgresql://..." or
// "postgres://..."); anything else is a SQLite file.
bool IsPostgres(const std::string& where);

// The database `where` names, with the migrations applied. Throws StoreError.
std::unique_ptr<Store> OpenStore(const std::string& where);

std::unique_ptr<Store> OpenSqlite(const std::string& path);
std::unique_ptr<Store> OpenPostgres(const std::string& uri);   // throws when built without it

// Copies a live SQLite database to `target` with SQLite's online backup.
void BackupSqlite(const std::string& source, const std::string& target);

// The statements both stores run, written with the placeholders both accept
// ($1..$n; SQLite takes a repeated $n as the same parameter).
namespace sql {
inline constexpr const char* CreateSchemaVersion =
    "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL, applied_at TEXT NOT NULL)";
inline constexpr const char* SchemaVersion = "SELECT COALESCE(MAX(version), 0) FROM schema_version";
inline constexpr const char* Insert =
    "INSERT INTO runs (name, score, level, frames, session_frames, seed, start_record, replay_hash, replay, "
    "address, submitted_at, daily) VALUES ($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,NULLIF(CAST($12 AS TEXT),'')) "
    "ON CONFLICT (replay_hash) DO NOTHING RETURNING id";
inline constexpr const char* Rank = "SELECT COUNT(*) + 1 FROM runs WHERE score > $1 OR (score = $1 AND id < $2)";
inline constexpr const char* Top =
    "SELECT id, name, score, level, frames, submitted_at FROM runs ORDER BY score DESC, id LIMIT $1 OFFSET $2";
// One row per name: its best run of the day (on equal scores its first).
inline constexpr const char* TopOfDay =
    "SELECT id, name, score, level, frames, submitted_at FROM (SELECT id, name, score, level, frames, submitted_at, "
    "ROW_NUMBER() OVER (PARTITION BY name ORDER BY score DESC, id) AS nth FROM runs WHERE daily = $1) AS best "
    "WHERE nth = 1 ORDER BY score DESC, id LIMIT $2 OFFSET $3";
inline constexpr const char* Replay = "SELECT replay FROM runs WHERE id = $1";
inline constexpr const char* Count = "SELECT COUNT(*) FROM runs";
}  // namespace sql

// The migrations, in order: migration i brings the schema to version i + 1.
// The column types that differ are written {id} and {big}.
const std::vector<std::vector<std::string>>& Migrations();

// A migration's statement with {id} and {big} written for PostgreSQL or
// SQLite.
std::string Dialect(std::string sql, bool postgres);

// Brings a schema at version `have` up to date, inside the caller's
// transaction: each statement of each missing migration through `exec`, then
// `stamp(version)` to record it. Throws StoreError when `have` is newer than
// the migrations this server knows.
void ApplyMigrations(int have, bool postgres, const std::function<void(const std::string&)>& exec,
                     const std::function<void(int)>& stamp);

}  // namespace pm::board

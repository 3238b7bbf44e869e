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
    std::string Hash;             // the keys' identity (unique; the identity of rows before GameHash)
    std::string GameHash;         // unique: one run is on the table once
    std::string Flag;             // why its input looks machine-made, or empty
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
    std::string Flag;             // empty when not flagged
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
// that came first. Hidden runs are not on it (nor in its ranks or count),
// but stay stored, replay and all.
//
// Every call is safe from several threads at once, and bounded in time: a
// database that does not answer costs a call StoreTimeoutMs or so, then a
// StoreError, never a hang.
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
    // Takes a run off the table (false: no such run); kept with the reason.
    virtual bool Hide(int64_t id, const std::string& reason, const std::string& date) = 0;
    virtual bool Unhide(int64_t id) = 0;   // false: no such run
    // A trivial query within PingTimeoutMs: true when the database answers.
    virtual bool Ping() = 0;
    virtual void Close() = 0;
};

// How long a call may wait for the database: a statement (PostgreSQL's
// statement_timeout, and the store's own watch on a server that does not
// answer at all), a connection, and a health check.
inline constexpr int StoreTimeoutMs = 4000;
inline constexpr int ConnectTimeoutSeconds = 2;   // libpq's least
inline constexpr int PingTimeoutMs = 2000;
// Connections a PostgreSQL store keeps; SQLite reading connections.
inline constexpr int PostgresConnections = 4;
inline constexpr int SqliteReaders = 4;

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
// ($1..$n; SQLite takes a repeated $n as the same parameter, and the store
// binds each by its name).
namespace sql {
inline constexpr const char* CreateSchemaVersion =
    "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL, applied_at TEXT NOT NULL)";
inline constexpr const char* SchemaVersion = "SELECT COALESCE(MAX(version), 0) FROM schema_version";
// A conflict on either identity (the game's, or the keys' of older rows).
inline constexpr const char* Insert =
    "INSERT INTO runs (name, score, level, frames, session_frames, seed, start_record, replay_hash, replay, "
    "address, submitted_at, game_hash, flag, daily) "
    "VALUES ($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,NULLIF($12,''),NULLIF($13,''),NULLIF($14,'')) "
    "ON CONFLICT DO NOTHING RETURNING id";
// The counts of shown runs by score and by ScoreBucket scores answer a
// rank, and where a deep page starts, without reading the runs above it.
inline constexpr const char* CountScore =
    "INSERT INTO score_counts (score, n) VALUES ($1, $2) ON CONFLICT (score) DO UPDATE SET n = score_counts.n + $2";
inline constexpr const char* CountBucket =
    "INSERT INTO score_buckets (bucket, n) VALUES ($1 / 1024, $2) ON CONFLICT (bucket) DO UPDATE SET n = "
    "score_buckets.n + $2";
inline constexpr const char* Rank =
    "SELECT 1 + (SELECT COALESCE(SUM(n), 0) FROM score_buckets WHERE bucket > $1 / 1024) + "
    "(SELECT COALESCE(SUM(n), 0) FROM score_counts WHERE score > $1 AND score < (CAST($1 AS BIGINT) / 1024 + 1) * 1024) + "
    "(SELECT COUNT(*) FROM runs WHERE hidden_reason IS NULL AND score = $1 AND id < $2)";
inline constexpr const char* Buckets = "SELECT bucket, n FROM score_buckets WHERE n > 0 ORDER BY bucket DESC";
inline constexpr const char* Scores =
    "SELECT score, n FROM score_counts WHERE n > 0 AND score >= CAST($1 AS BIGINT) * 1024 "
    "AND score < (CAST($1 AS BIGINT) + 1) * 1024 "
    "ORDER BY score DESC";
inline constexpr const char* IdAt =
    "SELECT id FROM runs WHERE hidden_reason IS NULL AND score = $1 ORDER BY score DESC, id LIMIT 1 OFFSET $2";
// A page from its first run's key, on the index of shown runs (score <= $1
// bounds the index scan; the rest drops the first score's earlier runs).
inline constexpr const char* PageFrom =
    "SELECT id, name, score, level, frames, submitted_at, COALESCE(flag, '') FROM runs WHERE hidden_reason IS NULL "
    "AND score <= $1 AND (score < $1 OR id >= $2) ORDER BY score DESC, id LIMIT $3";
// The page's keys first, from the index of shown runs alone (runs_shown:
// score, id), then the page's rows by their keys.
inline constexpr const char* Top =
    "SELECT r.id, r.name, r.score, r.level, r.frames, r.submitted_at, COALESCE(r.flag, '') FROM runs r "
    "JOIN (SELECT id FROM runs WHERE hidden_reason IS NULL ORDER BY score DESC, id LIMIT $1 OFFSET $2) page "
    "ON r.id = page.id ORDER BY r.score DESC, r.id";
// The table of a day, one row per name: its best shown run of the day (on
// equal scores its first).
inline constexpr const char* TopOfDay =
    "SELECT id, name, score, level, frames, submitted_at, flag FROM (SELECT id, name, score, level, frames, "
    "submitted_at, COALESCE(flag, '') AS flag, ROW_NUMBER() OVER (PARTITION BY name ORDER BY score DESC, id) AS nth "
    "FROM runs WHERE daily = $1 AND hidden_reason IS NULL) AS best "
    "WHERE nth = 1 ORDER BY score DESC, id LIMIT $2 OFFSET $3";
inline constexpr const char* Replay = "SELECT replay FROM runs WHERE id = $1";
inline constexpr const char* Count = "SELECT COALESCE(SUM(n), 0) FROM score_buckets";
inline constexpr const char* Exists = "SELECT score FROM runs WHERE id = $1";
// Each gives the run's score when it changed the table (and the counts
// must follow), no row when the run was already so or is not there.
inline constexpr const char* Hide =
    "UPDATE runs SET hidden_reason = $2, hidden_at = $3 WHERE id = $1 AND hidden_reason IS NULL RETURNING score";
inline constexpr const char* Unhide =
    "UPDATE runs SET hidden_reason = NULL, hidden_at = NULL WHERE id = $1 AND hidden_reason IS NOT NULL "
    "RETURNING score";
inline constexpr const char* Ping = "SELECT 1";
}  // namespace sql

// Top's answer for pages from DeepPage on: the key (score, id) of the run
// at `offset`, found from the counts (`rows` runs a query of the three
// above, Buckets, Scores or IdAt, with its parameters, and gives its rows
// as pairs); nothing past the table's end.
inline constexpr int64_t DeepPage = 1000;
using Pairs = std::vector<std::pair<int64_t, int64_t>>;
std::optional<std::pair<int64_t, int64_t>> KeyAt(
    int64_t offset, const std::function<Pairs(const char* sql, const std::vector<int64_t>& params)>& rows);

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

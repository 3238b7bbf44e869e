// What both stores share: the migrations and how they are applied, and the
// choice of database from its name.
#include "board/store.h"

namespace pm::board {

const std::vector<std::vector<std::string>>& Migrations() {
    static const std::vector<std::vector<std::string>> all{
        // 1: the runs.
        {"CREATE TABLE runs (id {id}, name TEXT NOT NULL, score INTEGER NOT NULL, level INTEGER NOT NULL, "
         "frames {big} NOT NULL, session_frames {big} NOT NULL, seed {big} NOT NULL, start_record INTEGER NOT NULL, "
         "replay_hash TEXT NOT NULL, replay TEXT NOT NULL, address TEXT NOT NULL, submitted_at TEXT NOT NULL, "
         "CONSTRAINT runs_once UNIQUE (replay_hash))",
         "CREATE INDEX runs_by_rank ON runs (score DESC, id)"},
        // 2: the game's identity (older rows keep only the keys'), a flag for
        // runs that look machine-made, runs an operator took off the table;
        // the table's order on shown runs alone.
        {"ALTER TABLE runs ADD COLUMN game_hash TEXT", "CREATE UNIQUE INDEX runs_game_once ON runs (game_hash)",
         "ALTER TABLE runs ADD COLUMN flag TEXT", "ALTER TABLE runs ADD COLUMN hidden_reason TEXT",
         "ALTER TABLE runs ADD COLUMN hidden_at TEXT",
         "CREATE INDEX runs_shown ON runs (score DESC, id) WHERE hidden_reason IS NULL", "DROP INDEX runs_by_rank",
         // The shown runs counted by score and by 1024 scores: ranks and
         // deep pages from them (sql::Rank, KeyAt).
         "CREATE TABLE score_counts (score INTEGER PRIMARY KEY, n {big} NOT NULL)",
         "CREATE TABLE score_buckets (bucket INTEGER PRIMARY KEY, n {big} NOT NULL)",
         "INSERT INTO score_counts (score, n) SELECT score, COUNT(*) FROM runs GROUP BY score",
         "INSERT INTO score_buckets (bucket, n) SELECT score / 1024, COUNT(*) FROM runs GROUP BY score / 1024"},
        // 3: the daily tables: the day a run is on the table of.
        {"ALTER TABLE runs ADD COLUMN daily TEXT",
         "CREATE INDEX runs_by_day ON runs (daily, score DESC, id) WHERE hidden_reason IS NULL"},
    };
    return all;
}

std::string Dialect(std::string sql, bool postgres) {
    const std::pair<const char*, const char*> types[] = {
        {"{id}", postgres ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY"},
        {"{big}", postgres ? "BIGINT" : "INTEGER"},
    };
    for (auto [from, to] : types)
        for (size_t at; (at = sql.find(from)) != std::string::npos;) sql.replace(at, std::string(from).size(), to);
    return sql;
}

void ApplyMigrations(int have, bool postgres, const std::function<void(const std::string&)>& exec,
                     const std::function<void(int)>& stamp) {
    const auto& all = Migrations();
    if (have > static_cast<int>(all.size()))
        throw StoreError("the database has schema version " + std::to_string(have) +
                         ", newer than this server knows (" + std::to_string(all.size()) + ")");
    for (size_t v = static_cast<size_t>(have); v < all.size(); ++v) {
        for (const std::string& sql : all[v]) exec(Dialect(sql, postgres));
        stamp(static_cast<int>(v + 1));
    }
}

std::optional<std::pair<int64_t, int64_t>> KeyAt(
    int64_t offset, const std::function<Pairs(const char* sql, const std::vector<int64_t>& params)>& rows) {
    int64_t skip = offset;
    for (auto [bucket, n] : rows(sql::Buckets, {})) {
        if (skip >= n) {
            skip -= n;
            continue;
        }
        for (auto [score, m] : rows(sql::Scores, {bucket})) {
            if (skip >= m) {
                skip -= m;
                continue;
            }
            const Pairs id = rows(sql::IdAt, {score, skip});
            if (id.empty()) return std::nullopt;   // the counts moved under us: an empty page
            return std::pair{score, id[0].first};
        }
        return std::nullopt;
    }
    return std::nullopt;
}

bool IsPostgres(const std::string& where) {
    return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Store> OpenStore(const std::string& where) {
    return IsPostgres(where) ? OpenPostgres(where) : OpenSqlite(where);
}

}  // namespace pm::board

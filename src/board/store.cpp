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
        // 2: the daily tables: the day a run is on the table of.
        {"ALTER TABLE runs ADD COLUMN daily TEXT", "CREATE INDEX runs_by_day ON runs (daily, score DESC, id)"},
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

bool IsPostgres(const std::string& where) {
    return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Store> OpenStore(const std::string& where) {
    return IsPostgres(where) ? OpenPostgres(where) : OpenSqlite(where);
}

}  // namespace pm::board

// The first rows of the table, read from the database at most once a
// TopCacheMilliseconds (and again at once after a run of ours goes on it),
// with their JSON answers. Fresh() never asks the database, so the threads
// that serve connections may call it; Answer() may, and runs on a pool.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "board/store.h"

namespace pm::board {

// One row of the table as the API shows it: every field of TableRow.
nlohmann::json RowJson(const TableRow& row);
// GET /api/top's answer.
std::string RenderTop(const std::vector<TableRow>& rows, int64_t total, int64_t offset);

class TopCache {
public:
    using Clock = std::chrono::steady_clock;

    explicit TopCache(Store& store, std::chrono::milliseconds maxAge = std::chrono::milliseconds(1000));

    // The answer when the cached rows are fresh and cover it; nothing when
    // only the database can answer.
    std::optional<std::string> Fresh(int64_t limit, int64_t offset);
    // The answer, from the database when need be. Throws StoreError.
    std::string Answer(int64_t limit, int64_t offset);
    // A run was added: the next answer reads the table again.
    void Invalidate();
    // How many times the rows were read (for the tests).
    int64_t Reads();

private:
    // With mutex_ held:
    std::optional<std::string> FromRows(int64_t limit, int64_t offset);
    std::string Render(int64_t limit, int64_t offset) const;

    Store& store_;
    const std::chrono::milliseconds maxAge_;
    std::mutex refresh_;   // one reader of the database at a time
    std::mutex mutex_;     // the fields below; never held while the database is asked
    bool valid_ = false;
    uint64_t generation_ = 0;   // counts Invalidate()
    Clock::time_point at_;
    std::vector<TableRow> rows_;
    int64_t total_ = 0;
    int64_t reads_ = 0;
    std::map<std::pair<int64_t, int64_t>, std::string> answers_;
};

}  // namespace pm::board

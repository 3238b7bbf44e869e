#include "board/cache.h"

#include <algorithm>

#include "board/server.h"

namespace pm::board {

nlohmann::json RowJson(const TableRow& r) {
    return {{"rank", r.Rank}, {"id", r.Id},         {"name", r.Name}, {"score", r.Score},
            {"level", r.Level}, {"frames", r.Frames}, {"date", r.Date}, {"flag", r.Flag}};
}

std::string RenderTop(const std::vector<TableRow>& rows, int64_t total, int64_t offset) {
    nlohmann::json list = nlohmann::json::array();
    for (const TableRow& r : rows) list.push_back(RowJson(r));
    return nlohmann::json{{"runs", list}, {"total", total}, {"offset", offset}}.dump();
}

TopCache::TopCache(Store& store, std::chrono::milliseconds maxAge) : store_(store), maxAge_(maxAge) {}

std::string TopCache::Render(int64_t limit, int64_t offset) const {
    const auto size = static_cast<int64_t>(rows_.size());
    const auto from = rows_.begin() + std::min(offset, size);
    const auto to = rows_.begin() + std::min(offset + limit, size);
    return RenderTop({from, to}, total_, offset);
}

std::optional<std::string> TopCache::FromRows(int64_t limit, int64_t offset) {
    if (!valid_ || Clock::now() - at_ > maxAge_) return std::nullopt;
    const auto key = std::make_pair(limit, offset);
    if (const auto it = answers_.find(key); it != answers_.end()) return it->second;
    std::string answer = Render(limit, offset);
    // Every limit and offset asked within a second would be kept otherwise.
    if (answers_.size() < TopCacheAnswers) answers_.emplace(key, answer);
    return answer;
}

std::optional<std::string> TopCache::Fresh(int64_t limit, int64_t offset) {
    if (offset + limit > MaxTopLimit) return std::nullopt;
    std::lock_guard lock(mutex_);
    return FromRows(limit, offset);
}

std::string TopCache::Answer(int64_t limit, int64_t offset) {
    if (offset + limit > MaxTopLimit) {
        const std::vector<TableRow> rows = store_.Top(limit, offset);
        return RenderTop(rows, store_.Count(), offset);
    }
    std::lock_guard one(refresh_);
    uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        if (auto answer = FromRows(limit, offset)) return *answer;   // another reader just did it
        generation = generation_;
    }
    std::vector<TableRow> rows = store_.Top(MaxTopLimit, 0);
    const int64_t total = store_.Count();
    std::lock_guard lock(mutex_);
    rows_ = std::move(rows);
    total_ = total;
    ++reads_;
    at_ = Clock::now();
    answers_.clear();
    // A run added while the rows were read may be missing from them: they
    // answer this request, and the next one reads again.
    valid_ = generation == generation_;
    return Render(limit, offset);
}

void TopCache::Invalidate() {
    std::lock_guard lock(mutex_);
    valid_ = false;
    ++generation_;
}

int64_t TopCache::Reads() {
    std::lock_guard lock(mutex_);
    return reads_;
}

}  // namespace pm::board

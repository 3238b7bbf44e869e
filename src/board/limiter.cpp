#include "board/limiter.h"

#include <algorithm>
#include <iterator>

#include "board/server.h"

namespace pm::board {

namespace {
double Seconds(RateLimiter::Clock::duration d) { return std::chrono::duration<double>(d).count(); }
}  // namespace

RateLimiter::RateLimiter(int perMinute, int burst)
    : perSecond_(std::max(perMinute, 1) / 60.0), burst_(std::max(burst, 1)), perMinute_(std::max(perMinute, 1)) {}

void RateLimiter::Fill(Bucket& b, Clock::time_point now) const {
    if (now > b.At) {
        b.Tokens = std::min<double>(burst_, b.Tokens + Seconds(now - b.At) * perSecond_);
        b.At = now;
    }
}

bool RateLimiter::Allow(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    if (buckets_.size() >= MaxTrackedAddresses) Forget(now);
    auto [it, fresh] = buckets_.try_emplace(address, Bucket{static_cast<double>(burst_), now});
    Bucket& b = it->second;
    if (!fresh) Fill(b, now);
    if (b.Tokens < 1) return false;
    b.Tokens -= 1;
    return true;
}

void RateLimiter::Refund(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    const auto it = buckets_.find(address);
    if (it == buckets_.end()) return;   // forgotten meanwhile: a full bucket again
    Fill(it->second, now);
    it->second.Tokens = std::min<double>(burst_, it->second.Tokens + 1);
}

int RateLimiter::RetryAfter() const { return std::max(60 / perMinute_, 1); }

size_t RateLimiter::Tracked() {
    std::lock_guard lock(mutex_);
    return buckets_.size();
}

// Addresses whose bucket has filled again are as good as new.
void RateLimiter::Forget(Clock::time_point now) {
    for (auto it = buckets_.begin(); it != buckets_.end();)
        it = it->second.Tokens + Seconds(now - it->second.At) * perSecond_ >= burst_ ? buckets_.erase(it) : std::next(it);
    if (buckets_.size() >= MaxTrackedAddresses) buckets_.clear();   // a flood of addresses: start over
}

}  // namespace pm::board

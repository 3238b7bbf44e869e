// How often one address may submit: a token bucket per address, `burst`
// submissions at once, then one more each 60/perMinute seconds.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace pm::board {

class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;

    RateLimiter(int perMinute, int burst);

    // Takes a token; false when the address has none left.
    bool Allow(const std::string& address, Clock::time_point now = Clock::now());
    // Gives back the token of a submission the server could not take (a
    // 503): a client that comes back after Retry-After is not then turned
    // away for having tried.
    void Refund(const std::string& address, Clock::time_point now = Clock::now());
    // Seconds until an address that was refused has a token again (Retry-After of a 429).
    int RetryAfter() const;
    size_t Tracked();

private:
    struct Bucket {
        double Tokens;
        Clock::time_point At;
    };
    void Fill(Bucket& b, Clock::time_point now) const;
    void Forget(Clock::time_point now);

    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
    double perSecond_;
    int burst_;
    int perMinute_;
};

}  // namespace pm::board

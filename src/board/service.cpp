#include "board/service.h"

#include <ctime>

#include "board/daily.h"
#include "board/names.h"
#include "board/server.h"

namespace pm::board {

std::string UtcNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

namespace {

nlohmann::json Error(const std::string& why) { return {{"error", why}}; }

template <typename... F>
struct Overload : F... {
    using F::operator()...;
};
template <typename... F>
Overload(F...) -> Overload<F...>;

}  // namespace

Reply ReplyFor(const Outcome& o) {
    using namespace outcome;
    return std::visit(
        Overload{
            [](const Ranked& r) {
                return Reply{201, {{"id", r.Id}, {"score", r.Best.Score}, {"level", r.Best.Level},
                                   {"frames", r.Best.Frames}, {"rank", r.Rank}, {"name", r.Name}}};
            },
            [](const Duplicate&) { return Reply{409, Error("this run is on the table already")}; },
            [](const Invalid& r) { return Reply{400, Error(r.Reason)}; },
            [](const TooLarge& r) { return Reply{413, Error(r.Reason)}; },
            [](const Refused& r) { return Reply{422, Error(r.Reason)}; },
            [](const RateLimited& r) {
                return Reply{429, Error("too many submissions from this address; try again in a minute"), r.RetryAfter};
            },
            [](const Busy&) {
                return Reply{503, Error("the server is busy checking other runs; try again shortly"), RetryAfterSeconds};
            },
            [](const Stopping&) {
                return Reply{503, Error("the server is stopping; try again shortly"), RetryAfterSeconds};
            },
            [](const StoreDown& r) {
                return Reply{503, Error("the table cannot be written just now; try again shortly"), RetryAfterSeconds,
                             r.Reason};
            },
            [](const Failed& r) { return Reply{500, Error("the server failed; try again later"), 0, r.Reason}; },
        },
        o);
}

SubmissionService::SubmissionService(Store& store, RateLimiter& limiter, WorkerPool& pool, std::function<void()> onRanked)
    : store_(store), limiter_(limiter), pool_(pool), onRanked_(std::move(onRanked)) {}

Outcome SubmissionService::Verify(std::string_view bodyText, const std::string& address) const {
    using namespace outcome;
    const nlohmann::json body = nlohmann::json::parse(bodyText, nullptr, false);
    if (body.is_discarded() || !body.is_object()) return Invalid{"the body is not a JSON object"};
    const auto name = body.find("name");
    const auto text = body.find("replay");
    if (name == body.end() || !name->is_string() || text == body.end() || !text->is_string())
        return Invalid{"the body needs \"name\" and \"replay\", both strings"};
    std::string why;
    const std::optional<std::string> clean = CleanName(name->get_ref<const std::string&>(), why);
    if (!clean) return Invalid{why};

    const std::string& replayText = text->get_ref<const std::string&>();
    Replay replay;
    Verification v = Check(replayText, replay);
    switch (v.Result) {
    case Verdict::Malformed: return Invalid{"replay " + v.Message};
    case Verdict::TooLong: return TooLarge{v.Message};
    case Verdict::Mismatch: return Refused{v.Message};
    case Verdict::Refused: return Refused{v.Message};
    case Verdict::Ranked: break;
    }
    try {
        Run(replay, v);
    } catch (const std::exception& e) {
        return Failed{std::string("verifying: ") + e.what()};
    }
    if (v.Result != Verdict::Ranked) return Refused{v.Message};

    NewRun run;
    run.Name = *clean;
    run.Score = v.Best.Score;
    run.Level = v.Best.Level;
    run.Frames = v.Best.Frames;
    run.SessionFrames = v.SessionFrames;
    run.Seed = v.Seed;
    run.StartRecord = v.StartRecord;
    run.Hash = v.Hash;
    run.GameHash = v.GameHash;
    run.Flag = v.Flag;
    run.Replay = replayText;
    run.Address = address;
    run.Date = UtcNow();
    if (const std::optional<Day> day = DailyDayOf(replay, v.Games, static_cast<int64_t>(std::time(nullptr))))
        run.Daily = DayText(*day);
    Inserted in;
    try {
        in = store_.Insert(run);
    } catch (const StoreError& e) {
        return StoreDown{e.what()};
    } catch (const std::exception& e) {
        return Failed{e.what()};
    }
    if (in.Duplicate) return Duplicate{};
    if (onRanked_) onRanked_();
    return Ranked{in.Id, in.Rank, run.Name, v.Best};
}

asio::awaitable<Outcome> SubmissionService::Submit(std::string body, std::string address) {
    if (!limiter_.Allow(address)) co_return outcome::RateLimited{limiter_.RetryAfter()};
    // (A named job: GCC 12 mishandles a lambda with captures made inside the
    // co_await expression itself.)
    auto job = [this, body = std::move(body), address]() { return Verify(body, address); };
    auto done = co_await OnPool(pool_, std::move(job));
    switch (done.Status) {
    case PoolResult<Outcome>::Full:
        limiter_.Refund(address);
        co_return outcome::Busy{};
    case PoolResult<Outcome>::Dropped:
    case PoolResult<Outcome>::TimedOut:
        limiter_.Refund(address);
        co_return outcome::Stopping{};
    case PoolResult<Outcome>::Done:
        break;
    }
    if (done.Error) {
        try {
            std::rethrow_exception(done.Error);
        } catch (const std::exception& e) {
            co_return outcome::Failed{e.what()};
        } catch (...) {
            co_return outcome::Failed{"unknown error"};
        }
    }
    if (std::holds_alternative<outcome::StoreDown>(*done.Value)) limiter_.Refund(address);
    co_return std::move(*done.Value);
}

}  // namespace pm::board

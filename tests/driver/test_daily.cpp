// The daily run through the driver: the day's seed, the session that starts
// its own game whatever the player holds, the day's best attempt kept beside
// the other replays, and a ghost that races the player without touching the
// player's game.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "driver/daily.h"
#include "driver/ghost.h"
#include "driver/options.h"
#include "driver/replay_keeper.h"
#include "driver/session.h"
#include "hosts/headless/headless_host.h"

namespace pm {
namespace {

TEST(Daily, SeedsOfDaysWorkedOutByHand) {
    // SplitMix64 of the number YYYYMMDD, worked out apart from this code.
    EXPECT_EQ(DailySeed(20261208u), 3673815445u);
    EXPECT_EQ(DailySeed(20261209u), 2558010032u);
    EXPECT_EQ(DailySeed(20240229u), 3928351882u);
    EXPECT_EQ(DailySeed(20270101u), 3741673311u);
    EXPECT_EQ(DailySeed(0u), 2065550767u);
    EXPECT_EQ(DailySeed(Day{2026, 12, 8}), 3673815445u);
    EXPECT_EQ(DayOfSeed(3928351882u), (Day{2024, 2, 29}));
    EXPECT_FALSE(DayOfSeed(12345u));
}

TEST(Daily, DaysAndTheClock) {
    // 2026-12-08T00:00:00Z is 1796688000 seconds after 1970 began.
    EXPECT_EQ(UtcDayOf(1796688000), (Day{2026, 12, 8}));
    EXPECT_EQ(UtcDayOf(1796688000 - 1), (Day{2026, 12, 7}));
    EXPECT_EQ(NextDayStarts(Day{2026, 12, 8}), 1796688000 + 86400);
    EXPECT_EQ(IsoUtc(1796688000 + 86400), "2026-12-09T00:00:00Z");
    EXPECT_EQ(NextDay(Day{2024, 2, 28}), (Day{2024, 2, 29}));
    EXPECT_EQ(PreviousDay(Day{2027, 1, 1}), (Day{2026, 12, 31}));
    EXPECT_EQ(ParseDay("2024-02-29"), (Day{2024, 2, 29}));
    for (const char* bad : {"2026-02-29", "2026-13-01", "2026-12-8", "1999-12-31", "2026-12-08x", "2026/12/08"})
        EXPECT_FALSE(ParseDay(bad)) << bad;
    EXPECT_EQ(ShareLine(Day{2026, 12, 8}, 12340, 7), "Pellimunch daily 2026-12-08: 12,340 (level 7)");
    EXPECT_EQ(ShareLine(Day{2026, 12, 8}, 1234567, 12), "Pellimunch daily 2026-12-08: 1,234,567 (level 12)");
    EXPECT_EQ(ShareLine(Day{2026, 12, 8}, 340, 1), "Pellimunch daily 2026-12-08: 340 (level 1)");
}

TEST(Daily, CommandLine) {
    const auto parse = [](std::vector<const char*> args, std::string& error) {
        args.insert(args.begin(), "pellimunch");
        Options o;
        error.clear();
        ParseOptions(static_cast<int>(args.size()), args.data(), o, error);
        return o;
    };
    std::string error;
    Options o = parse({"--daily=2026-12-08", "--ghost", "x.replay"}, error);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(o.Daily);
    EXPECT_EQ(o.DailyDay, (Day{2026, 12, 8}));
    EXPECT_EQ(o.Ghost, "x.replay");
    EXPECT_FALSE(parse({"--daily"}, error).DailyDay);
    parse({"--daily=2026-02-30"}, error);
    EXPECT_EQ(error, "bad value \"2026-02-30\" for --daily (a day as YYYY-MM-DD)");
    parse({"--ghost", "x.replay"}, error);
    EXPECT_EQ(error, "option --ghost races a daily run: give --daily too");
    parse({"--daily", "--replay", "best"}, error);
    EXPECT_EQ(error, "options --daily and --replay cannot both be given");
}

// The keys a test player holds before each frame (1, 2, ...).
using Player = std::function<std::vector<uint8_t>(uint64_t frame)>;

struct Folder {
    std::string Path;
    Folder() {
        char name[] = "/tmp/pm-daily-XXXXXX";
        Path = ::mkdtemp(name);
    }
    ~Folder() { std::system(("rm -rf '" + Path + "'").c_str()); }
    std::string File(const std::string& name) const { return Path + "/" + name; }
};

struct DailyOutcome {
    Replay Recording;
    std::vector<RunResult> Ended;   // what the daily keeper heard
    std::vector<bool> Kept;
    std::vector<uint64_t> Pictures;   // a hash of the game's own frame, each frame
    int32_t Record = 0;
};

uint64_t HashOf(const Surface& s) {
    uint64_t h = 1469598103934665603ull;
    for (uint16_t p : s.Pixels) h = (h ^ p) * 1099511628211ull;
    return h;
}

// The headless host with a main sheet that is not all colour key, so that
// the ball (and the ghost's silhouette) leave pixels in the frames.
class SheetHost : public HeadlessHost {
public:
    Surface LoadBitmap(const BitmapFile& entry) override {
        Surface s = HeadlessHost::LoadBitmap(entry);
        if (entry.Id == BitmapId::Main) std::fill(s.Pixels.begin(), s.Pixels.end(), uint16_t{0x1234});
        return s;
    }
};

// A whole daily session on the headless host, with or without a ghost,
// keeping its attempt in `folder`.
DailyOutcome PlayDailySession(const Day& day, const Player& player, uint64_t frames, const Folder& folder,
                              const Replay* raced = nullptr, std::vector<Surface>* shown = nullptr) {
    SheetHost host;
    FixedRecord record(500);
    host.UseRecords(&record);
    if (shown) host.OnPresent = [shown](const Surface& s) { shown->push_back(s); };
    DailyOutcome out;
    ReplayKeeper keeper(folder.File("last.replay"), folder.File("best.replay"));
    keeper.KeepDaily(folder.File("daily-" + DayText(day) + ".replay"), [&](const Replay&, const RunResult& run, bool kept) {
        out.Ended.push_back(run);
        out.Kept.push_back(kept);
    });
    std::optional<Ghost> ghost;
    std::optional<GhostLens> lens;
    if (raced) {
        ghost.emplace(*raced);
        lens.emplace(host, *ghost);
    }
    SessionSetup setup;
    setup.Keeper = &keeper;
    Session session(lens ? static_cast<Host&>(*lens) : host, nullptr, setup);
    session.PlayDaily();
    if (ghost) {
        lens->Follow(session.View());
        session.Race(*ghost);
        ghost->Start();
    }
    session.Start(DailySeed(day));
    for (uint64_t f = 1; f <= frames; ++f) {
        host.Keys = {};
        for (uint8_t k : player(f)) host.Keys[k] = 128;
        if (session.Run() != Session::Tick::Played) break;
        host.SoundLog.clear();
        out.Pictures.push_back(HashOf(session.View().Picture()));
    }
    host.CloseRequested = true;
    session.Run();
    session.Finish();
    out.Recording = session.Recording().Snapshot(session.End(), session.View().KeptRecord());
    out.Record = session.View().KeptRecord();
    host.UseRecords(nullptr);
    return out;
}

// Runs right and dashes through the first items, gives the run up with
// Delete at frame 300, and stays through the game over back to the title.
std::vector<uint8_t> Scorer(uint64_t f) {
    if (f >= 70 && f < 120) return {Key::Right};
    if (f >= 120 && f < 123) return {Key::Right, Key::Space};
    if (f >= 140 && f < 142) return {Key::Up};
    if (f == 300) return {Key::Delete};
    return {};
}

// Holds Shift, Right and Space before the game starts, then plays as Scorer.
std::vector<uint8_t> Eager(uint64_t f) {
    if (f < DailyStartFrame) return {Key::LShift, Key::Right, Key::Space, Key::Up};
    return Scorer(f);
}

std::vector<uint8_t> GivesUp(uint64_t f) { return f == 100 ? std::vector<uint8_t>{Key::Delete} : std::vector<uint8_t>{}; }

constexpr Day Today{2026, 12, 8};
constexpr uint64_t Frames = 1400;

TEST(DailySession, StartsItsOwnGameAndKeepsTheAttempt) {
    Folder folder;
    const DailyOutcome out = PlayDailySession(Today, Eager, Frames, folder);
    EXPECT_EQ(out.Recording.Seed, DailySeed(Today));
    EXPECT_TRUE(HasDailyStart(out.Recording.Keys));
    // One attempt: the run ended, and nothing after it is the daily.
    ASSERT_EQ(out.Ended.size(), 1u);
    EXPECT_TRUE(out.Kept[0]);
    EXPECT_GT(out.Ended[0].Score, 0);

    // The kept file is an ordinary replay that plays back to the same run,
    // and the watcher calls it the day's.
    Replay kept;
    std::string message;
    ASSERT_TRUE(LoadReplay(folder.File("daily-2026-12-08.replay"), kept, message)) << message;
    EXPECT_TRUE(HasDailyStart(kept.Keys));
    EXPECT_EQ(DailyTitle(kept), "Daily 2026-12-08");
    const std::optional<RunResult> again = FirstRun(kept);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Score, out.Ended[0].Score);
    EXPECT_EQ(again->Level, out.Ended[0].Level);
    EXPECT_EQ(kept.EndFrame, again->End);

    // What the player held before frame 60 never reached the game: the same
    // session without it is the same, frame for frame and byte for byte.
    const DailyOutcome calm = PlayDailySession(Today, Scorer, Frames, folder);
    EXPECT_EQ(FormatReplay(calm.Recording), FormatReplay(out.Recording));
    EXPECT_EQ(calm.Pictures, out.Pictures);
}

TEST(DailySession, ALowerAttemptNeverReplacesTheDaysBest) {
    Folder folder;
    const std::string file = folder.File("daily-2026-12-08.replay");
    const DailyOutcome low = PlayDailySession(Today, GivesUp, 900, folder);
    ASSERT_EQ(low.Kept, std::vector<bool>{true});
    const DailyOutcome high = PlayDailySession(Today, Scorer, Frames, folder);
    ASSERT_GT(high.Ended[0].Score, low.Ended[0].Score);
    EXPECT_EQ(high.Kept, std::vector<bool>{true});
    const DailyOutcome lowAgain = PlayDailySession(Today, GivesUp, 900, folder);
    EXPECT_EQ(lowAgain.Kept, std::vector<bool>{false});
    Replay kept;
    std::string message;
    ASSERT_TRUE(LoadReplay(file, kept, message)) << message;
    EXPECT_EQ(FirstRun(kept)->Score, high.Ended[0].Score);
    // Another day's attempt is another file; this one stays.
    PlayDailySession(NextDay(Today), GivesUp, 900, folder);
    struct stat st {};
    EXPECT_EQ(::stat(folder.File("daily-2026-12-09.replay").c_str(), &st), 0);
    ASSERT_TRUE(LoadReplay(file, kept, message)) << message;
    EXPECT_EQ(FirstRun(kept)->Score, high.Ended[0].Score);
}

TEST(DailySession, AGhostChangesNothingOfThePlayersGame) {
    Folder folder;
    PlayDailySession(Today, Scorer, Frames, folder);
    Replay raced;
    std::string message;
    ASSERT_TRUE(LoadReplay(folder.File("daily-2026-12-08.replay"), raced, message)) << message;

    const DailyOutcome alone = PlayDailySession(Today, GivesUp, Frames, folder);
    std::vector<Surface> shown;
    const DailyOutcome racing = PlayDailySession(Today, GivesUp, Frames, folder, &raced, &shown);
    EXPECT_EQ(FormatReplay(racing.Recording), FormatReplay(alone.Recording));
    EXPECT_EQ(racing.Pictures, alone.Pictures);
    EXPECT_EQ(racing.Record, alone.Record);
    EXPECT_EQ(racing.Ended[0].Score, alone.Ended[0].Score);

    // The frames shown carry the ghost's silhouette while the player's
    // daily game runs (it is given up at frame 100); once the title is back
    // the player plays on alone. The game's own frames never carry it.
    ASSERT_GT(shown.size(), 200u);
    EXPECT_NE(HashOf(shown[80]), racing.Pictures[80]);
    EXPECT_EQ(HashOf(shown[200]), racing.Pictures[200]);
}

TEST(DailySession, TheGhostPlaysItsRunAsTheRecordingDid) {
    Folder folder;
    const DailyOutcome leader = PlayDailySession(Today, Scorer, Frames, folder);
    Replay raced;
    std::string message;
    ASSERT_TRUE(LoadReplay(folder.File("daily-2026-12-08.replay"), raced, message)) << message;
    HeadlessHost host;
    FormMain player(host);
    player.Form_Load(1, StartOptions{.Picture = false});
    Ghost ghost(raced);
    ghost.Start();
    int32_t best = 0;
    bool overSeen = false;
    for (uint64_t f = 0; f < raced.EndFrame + Ghost::FadeFrames + 10; ++f) {
        ghost.Frame();
        const GhostNote note = ghost.Note(GameView(player));
        best = std::max(best, note.Score);
        if (ghost.GameOver() && !overSeen) {
            overSeen = true;
            EXPECT_GT(note.Opacity, 0);
        }
    }
    EXPECT_TRUE(overSeen);
    const GhostNote last = ghost.Note(GameView(player));
    EXPECT_EQ(last.Score, leader.Ended[0].Score);   // the band keeps its final score
    EXPECT_EQ(best, leader.Ended[0].Score);
    EXPECT_EQ(last.Difference, -leader.Ended[0].Score);
    EXPECT_FALSE(last.BallShown);   // faded
    EXPECT_EQ(GhostBandText(last), "GHOST " + std::to_string(last.Score) + "  " + std::to_string(last.Difference));
}

}  // namespace
}  // namespace pm

// A long random run: keys held for random spans, through many runs, fevers
// and game overs, with the record's invariants checked after every frame.
// Under the sanitizers this is where an index out of range or an undefined
// conversion would show. Two pairs of hands play, each its own seeds: one
// that knows the title from play and never presses Escape, one that holds
// any mix of keys, the three hidden ones included, and taps Delete alone.
//
// The ordinary test run plays a short soak; PELLIMUNCH_SOAK_FRAMES (the frames
// each pair of hands plays, over all its seeds) and PELLIMUNCH_SOAK_SEEDS make
// the full one, best in a sanitizer build:
//
//   cmake -S . -B build-asan -DPELLIMUNCH_SANITIZE=ON && cmake --build build-asan -j2 --target pellimunch_game_tests
//   PELLIMUNCH_SOAK_FRAMES=1000000 PELLIMUNCH_SOAK_SEEDS=50 build-asan/pellimunch_game_tests --gtest_filter='Soak.*'
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

namespace pm::test {
namespace {

uint64_t EnvCount(const char* name, uint64_t fallback) {
    const char* v = std::getenv(name);
    if (!v || !*v) return fallback;
    char* end = nullptr;
    const unsigned long long n = std::strtoull(v, &end, 10);
    return (end && *end == '\0' && n > 0) ? n : fallback;
}

// Hands that look at the screen: Shift to get out of the title, then mostly
// running and jumping, now and then a hidden key, rarely Delete. Never Escape.
class TitleAwareHands {
public:
    explicit TitleAwareHands(uint64_t seed) : rng_(static_cast<uint32_t>(seed * 2654435761u + 17)) {}

    void Next(std::array<uint8_t, 256>& keys, int16_t gameState) {
        if (left_ == 0) {
            Choose(gameState);
            left_ = std::uniform_int_distribution<int>(1, 45)(rng_);
        }
        --left_;
        keys = {};
        for (uint8_t k : held_) keys[k] = 128;
    }

private:
    void Choose(int16_t gameState) {
        std::uniform_real_distribution<double> u(0, 1);
        held_.clear();
        auto maybe = [&](uint8_t key, double p) {
            if (u(rng_) < p) held_.push_back(key);
        };
        if (gameState == 0) {
            maybe(u(rng_) < 0.5 ? Key::LShift : Key::RShift, 0.6);
            return;
        }
        maybe(Key::Left, 0.35);
        maybe(Key::Right, 0.4);
        maybe(Key::Space, 0.3);
        maybe(Key::Up, 0.25);
        maybe(Key::W, 0.04);
        maybe(Key::E, 0.03);
        maybe(Key::R, 0.03);
        maybe(Key::Delete, 0.004);
        maybe(Key::LShift, 0.02);
    }

    std::mt19937 rng_;
    std::vector<uint8_t> held_;
    int left_ = 0;
};

// Blind hands: any mix of keys held for spans of frames, whatever the screen
// shows; Delete comes alone for a single frame.
class BlindHands {
public:
    explicit BlindHands(uint64_t seed) : s_(static_cast<uint32_t>(seed) * 2654435761u + 1u) {}

    void Next(std::array<uint8_t, 256>& keys, int16_t) {
        if (left_ == 0) Choose();
        --left_;
        keys = held_;
    }

private:
    uint32_t Draw() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return s_;
    }
    bool Chance(uint32_t inThousand) { return Draw() % 1000 < inThousand; }

    void Choose() {
        held_.fill(0);
        left_ = 1 + Draw() % 40;
        const auto hold = [&](uint8_t k) { held_[k] = 128; };
        if (Chance(450)) hold(Key::Right);
        if (Chance(350)) hold(Key::Left);
        if (Chance(400)) hold(Key::Space);
        if (Chance(150)) hold(Key::Up);
        if (Chance(120)) hold(Chance(500) ? Key::LShift : Key::RShift);
        if (Chance(15)) hold(Key::W);
        if (Chance(15)) hold(Key::E);
        if (Chance(15)) hold(Key::R);
        if (Chance(4)) {
            hold(Key::Delete);
            left_ = 1;
        }
    }

    uint32_t s_;
    uint32_t left_ = 0;
    std::array<uint8_t, 256> held_{};
};

// What is wrong with the record after a frame, or an empty string.
std::string Broken(const FormMain& f, int32_t highScoreBefore) {
    std::ostringstream out;
    auto finite = [&out](const char* name, float v) {
        if (!std::isfinite(v)) out << name << " = " << v << "; ";
    };
    auto within = [&out](const char* name, int64_t v, int64_t lo, int64_t hi) {
        if (v < lo || v > hi) out << name << " = " << v << "; ";
    };

    within("GameState", f.GameState, 0, 3);
    if (f.GameState == 2) out << "GameState = 2; ";
    within("LastActiveItem", f.LastActiveItem, 0, 99);
    within("LastBaseItem", f.LastBaseItem, 0, 99);
    within("BallKind", f.BallKind, 0, 2);
    within("RivalFrame", f.RivalFrame, 0, 1);
    within("GroundFrame", f.GroundFrame, 0, 7);
    within("SpinAngle", f.SpinAngle, 0, 359);
    for (const Item& i : f.Items) {
        within("Item.Kind", i.Kind, 0, 5);
        within("Item.Plain", i.Plain, -1, 0);
        finite("Item.X", i.X);
        finite("Item.Y", i.Y);
        finite("Item.VX", i.VX);
    }
    for (const Particle& p : f.Particles) {
        within("Particle.Kind", p.Kind, 0, 1);
        finite("Particle.X", p.X);
        finite("Particle.Y", p.Y);
        finite("Particle.VX", p.VX);
        finite("Particle.VY", p.VY);
    }
    for (const Popup& p : f.Popups) {
        within("Popup.Kind", p.Kind, 0, 5);
        finite("Popup.Y", p.Y);
        finite("Popup.VY", p.VY);
    }
    for (const Speck& s : f.Specks) {
        within("Speck.Kind", s.Kind, 0, 8);
        finite("Speck.X", s.X);
        finite("Speck.Y", s.Y);
        finite("Speck.VX", s.VX);
        finite("Speck.VY", s.VY);
    }
    const std::pair<const char*, float> scalars[] = {
        {"ChainShine", f.ChainShine}, {"ShineSweep", f.ShineSweep},       {"BallX", f.BallX},
        {"BallY", f.BallY},           {"BallVX", f.BallVX},               {"BallVY", f.BallVY},
        {"BannerTextY", f.BannerTextY}, {"BannerTextSpeed", f.BannerTextSpeed}, {"ShotX", f.ShotX},
        {"ShotY", f.ShotY},           {"ShotVX", f.ShotVX},               {"RivalX", f.RivalX},
        {"RivalY", f.RivalY},         {"RivalVX", f.RivalVX},             {"RivalBumpVX", f.RivalBumpVX},
        {"RivalMaxSpeed", f.RivalMaxSpeed}, {"RivalVY", f.RivalVY},       {"RivalAccel", f.RivalAccel}};
    for (const auto& [name, v] : scalars) finite(name, v);

    if (f.GameState == 1 && f.Lives < 0) out << "Lives = " << f.Lives << " in play; ";
    if (f.ShownScore > f.Score) out << "ShownScore " << f.ShownScore << " > Score " << f.Score << "; ";
    if (f.Score < 0) out << "Score = " << f.Score << "; ";
    if (f.HighScore < highScoreBefore) out << "HighScore fell to " << f.HighScore << "; ";
    return out.str();
}

struct Tally {
    int64_t Frames = 0;
    int Runs = 0, GameOvers = 0, Fevers = 0, LivesLost = 0, LastLivesLost = 0;
    int64_t FeverFrames = 0;
    int32_t BestScore = 0, BestLevel = 0;
};

// One seed's soak with one pair of hands; stops at the first broken invariant.
template <class Hands>
void Soak(uint64_t seed, int64_t frames, Tally& tally) {
    Game g(static_cast<uint32_t>(seed));
    FormMain& f = g.form;
    Hands hands(seed);

    // Painting 800 x 600 pixels a frame would make the soak crawl (and far
    // more under the sanitizers), while nothing in the game looks at what was
    // painted. So most frames draw onto a 1 x 1 buffer, where every fill and
    // copy is skipped whole; every 16th frame paints the real buffer, so the
    // pixel loops still meet whatever the game throws at them.
    Surface fullBuffer("BackBuffer", 1, 1);
    std::swap(f.BackBuffer, fullBuffer);

    int16_t lastState = f.GameState;
    int16_t lastFever = f.Fever;
    int16_t lastLives = f.Lives;
    for (int64_t frame = 1; frame <= frames; ++frame) {
        hands.Next(g.host.Keys, f.GameState);
        const int32_t highScore = f.HighScore;
        const bool paint = frame % 16 == 0;
        if (paint) std::swap(f.BackBuffer, fullBuffer);
        const bool running = f.Step(ReadInput(g.host)) == FrameEnd::GoingOn;
        if (paint) std::swap(f.BackBuffer, fullBuffer);
        ASSERT_TRUE(running) << "seed " << seed << " frame " << frame << ": the loop ended";
        g.host.SoundLog.clear();

        const std::string broken = Broken(f, highScore);
        ASSERT_EQ(broken, "") << "seed " << seed << " frame " << frame;

        ++tally.Frames;
        if (lastState == 0 && f.GameState == 1) ++tally.Runs;
        if (lastState == 1 && f.GameState == 3) {
            ++tally.GameOvers;
            if (f.Lives == 0) ++tally.LastLivesLost;
        }
        if (lastFever == 0 && f.Fever != 0) ++tally.Fevers;
        if (f.GameState == 1 && f.Fever != 0) ++tally.FeverFrames;
        if (f.GameState == 1 && lastState == 1 && f.Lives < lastLives) ++tally.LivesLost;
        tally.BestScore = std::max(tally.BestScore, f.Score);
        tally.BestLevel = std::max<int32_t>(tally.BestLevel, f.Level);
        lastState = f.GameState;
        lastFever = f.Fever;
        lastLives = f.Lives;
    }
}

TEST(Soak, RandomKeysKeepTheRecordSound) {
    const uint64_t firstSeeds[] = {1, 4242, 86399, 123457};
    const uint64_t frames = EnvCount("PELLIMUNCH_SOAK_FRAMES", 100000);
    const uint64_t seeds = EnvCount("PELLIMUNCH_SOAK_SEEDS", std::size(firstSeeds));
    // Each pair of hands plays the frames spread over the seeds, each with
    // seeds of its own.
    const int64_t each = static_cast<int64_t>((frames + seeds - 1) / seeds);
    Tally aware, blind;
    const auto start = std::chrono::steady_clock::now();
    for (uint64_t s = 0; s < seeds && !HasFatalFailure(); ++s) {
        Soak<TitleAwareHands>(s < std::size(firstSeeds) ? firstSeeds[s] : 1000003 * s + 1, each, aware);
        if (!HasFatalFailure()) Soak<BlindHands>(7919 * s + 13, each, blind);
    }
    if (HasFatalFailure()) return;
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (const auto& [who, t] : {std::pair<const char*, const Tally&>{"title-aware", aware}, {"blind", blind}})
        std::printf("soak, %s hands: %lld frames over %llu seeds: %d runs, %d game overs (%d by the last life), "
                    "%d fevers (%lld frames), %d lives lost, best score %d, best level %d\n",
                    who, static_cast<long long>(t.Frames), static_cast<unsigned long long>(seeds), t.Runs,
                    t.GameOvers, t.LastLivesLost, t.Fevers, static_cast<long long>(t.FeverFrames), t.LivesLost,
                    t.BestScore, t.BestLevel);
    std::printf("soak: %.1f s\n", secs);
    RecordProperty("runs", aware.Runs + blind.Runs);
    RecordProperty("game_overs", aware.GameOvers + blind.GameOvers);
    RecordProperty("fevers", aware.Fevers + blind.Fevers);
    // The keys must really have gone through the game's turns, or the soak
    // proves little. (Figures for the ordinary run; a longer one passes more.)
    EXPECT_GE(aware.Runs, 8);
    EXPECT_GE(aware.GameOvers, 8);
    EXPECT_GE(aware.LastLivesLost, 1);
    EXPECT_GE(aware.Fevers, 4);
    EXPECT_GE(aware.LivesLost, 8);
    EXPECT_GT(blind.Runs, 0);
    EXPECT_GT(blind.GameOvers, 0);
    EXPECT_GT(blind.FeverFrames, 0);
}

}  // namespace
}  // namespace pm::test

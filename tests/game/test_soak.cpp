// A long random run: keys held for random spans, through many runs, fevers
// and game-overs, with the record's invariants checked after every frame.
// Under the sanitizers this is where an index out of range or an undefined
// conversion would show. PM_SOAK_FRAMES raises the number of frames.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

namespace pm::test {
namespace {

int64_t SoakFrames() {
    if (const char* env = std::getenv("PM_SOAK_FRAMES")) {
        const long long n = std::atoll(env);
        if (n > 0) return n;
    }
    return 100000;
}

struct Tally {
    int Runs = 0, GameOvers = 0, Fevers = 0, LivesLost = 0, LastLivesLost = 0;
    int32_t BestLevel = 0;
};

// What is wrong with the record, or an empty string.
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
    if (f.HighScore < highScoreBefore) out << "HighScore fell to " << f.HighScore << "; ";
    return out.str();
}

// Picks the keys of the next span: mostly running and jumping, now and then
// a test key, rarely Delete, Shift to get out of the title. Never Escape.
std::vector<uint8_t> PickKeys(std::mt19937& rng, int16_t gameState) {
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<uint8_t> keys;
    auto maybe = [&](uint8_t key, double p) {
        if (u(rng) < p) keys.push_back(key);
    };
    if (gameState == 0) {
        maybe(u(rng) < 0.5 ? Key::LShift : Key::RShift, 0.6);
        return keys;
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
    return keys;
}

void Soak(uint64_t seed, int64_t frames, Tally& tally) {
    Game g(seed);
    FormMain& f = g.form;
    std::mt19937 keyRng(static_cast<uint32_t>(seed * 2654435761u + 17));
    std::uniform_int_distribution<int> spanLength(1, 45);

    // Painting 800 x 600 pixels a frame would make the soak crawl (and far
    // more under the sanitizers), while nothing in the game looks at what was
    // painted. So most frames draw onto a 1 x 1 buffer, where every fill and
    // copy is skipped whole; every 16th frame paints the real buffer, so the
    // pixel loops still meet whatever the game throws at them.
    Surface fullBuffer("BackBuffer", 1, 1);
    std::swap(f.BackBuffer, fullBuffer);

    std::vector<uint8_t> held;
    int spanLeft = 0;
    int16_t lastState = f.GameState;
    int16_t lastFever = f.Fever;
    int16_t lastLives = f.Lives;
    for (int64_t frame = 1; frame <= frames; ++frame) {
        if (spanLeft == 0) {
            held = PickKeys(keyRng, f.GameState);
            spanLeft = spanLength(keyRng);
        }
        --spanLeft;
        g.host.Keys = {};
        for (uint8_t k : held) g.host.Keys[k] = 128;
        const int32_t highScore = f.HighScore;
        const bool paint = frame % 16 == 0;
        if (paint) std::swap(f.BackBuffer, fullBuffer);
        const bool running = f.Step(test::ReadInput(g.host)) == FrameEnd::GoingOn;
        if (paint) std::swap(f.BackBuffer, fullBuffer);
        ASSERT_TRUE(running) << "seed " << seed << " frame " << frame;
        g.host.SoundLog.clear();

        const std::string broken = Broken(f, highScore);
        ASSERT_EQ(broken, "") << "seed " << seed << " frame " << frame;

        if (lastState == 0 && f.GameState == 1) ++tally.Runs;
        if (lastState == 1 && f.GameState == 3) {
            ++tally.GameOvers;
            if (f.Lives == 0) ++tally.LastLivesLost;
        }
        if (lastFever == 0 && f.Fever != 0) ++tally.Fevers;
        if (f.GameState == 1 && lastState == 1 && f.Lives < lastLives) ++tally.LivesLost;
        if (f.Level > tally.BestLevel) tally.BestLevel = f.Level;
        lastState = f.GameState;
        lastFever = f.Fever;
        lastLives = f.Lives;
    }
}

TEST(Soak, RandomKeysKeepTheRecordSound) {
    const uint64_t seeds[] = {1, 4242, 86399, 123457};
    const int64_t total = SoakFrames();
    const int64_t each = total / static_cast<int64_t>(std::size(seeds));
    Tally tally;
    for (uint64_t seed : seeds) {
        Soak(seed, each, tally);
        if (HasFatalFailure()) return;
    }
    RecordProperty("runs", tally.Runs);
    RecordProperty("game_overs", tally.GameOvers);
    RecordProperty("fevers", tally.Fevers);
    std::printf("soak: %lld frames, %d runs, %d game-overs (%d by the last life), %d fevers, %d lives lost, "
                "best level %d\n",
                static_cast<long long>(each * static_cast<int64_t>(std::size(seeds))), tally.Runs,
                tally.GameOvers, tally.LastLivesLost, tally.Fevers, tally.LivesLost, tally.BestLevel);
    // The run must really have gone through the game's turns.
    EXPECT_GE(tally.Runs, 8);
    EXPECT_GE(tally.GameOvers, 8);
    EXPECT_GE(tally.LastLivesLost, 1);
    EXPECT_GE(tally.Fevers, 4);
    EXPECT_GE(tally.LivesLost, 8);
}

}  // namespace
}  // namespace pm::test

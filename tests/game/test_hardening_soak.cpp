// A long run of random keys over many seeds with the record's invariants
// checked after every frame. The ordinary test run plays a short soak; the
// full one is a separate command, best in a sanitizer build:
//
//   cmake -S . -B build-asan -DPELLIMUNCH_SANITIZE=ON && make -C build-asan -j2 pellimunch_tests
//   PELLIMUNCH_SOAK_FRAMES=1000000 PELLIMUNCH_SOAK_SEEDS=50
//     build-asan/pellimunch_tests --gtest_filter='HardeningSoak.*'
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness.h"

namespace pm {
namespace {

using namespace pm::test;

uint64_t EnvCount(const char* name, uint64_t fallback) {
    const char* v = std::getenv(name);
    if (!v || !*v) return fallback;
    char* end = nullptr;
    const unsigned long long n = std::strtoull(v, &end, 10);
    return (end && *end == '\0' && n > 0) ? n : fallback;
}

// The player's hands: keys held for spans of frames, mostly running and
// jumping, now and then a shift to start, the three hidden keys, or Delete.
class RandomHands {
public:
    explicit RandomHands(uint32_t seed) : s_(seed * 2654435761u + 1u) {}

    void Next(std::array<uint8_t, 256>& keys) {
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

bool Finite(float v) { return std::isfinite(v); }

// Everything that must hold after any frame; empty when it does.
std::string Broken(const FormMain& f, int32_t highBefore) {
    auto in = [](int64_t v, int64_t lo, int64_t hi) { return v >= lo && v <= hi; };
    if (f.GameState != 0 && f.GameState != 1 && f.GameState != 3) return "GameState " + std::to_string(f.GameState);
    if (f.GameState == 1 && f.Lives < 0) return "Lives " + std::to_string(f.Lives) + " in play";
    if (f.ShownScore > f.Score) return "ShownScore " + std::to_string(f.ShownScore) + " above Score " + std::to_string(f.Score);
    if (f.Score < 0) return "Score " + std::to_string(f.Score);
    if (f.HighScore < highBefore) return "HighScore lowered from " + std::to_string(highBefore) + " to " + std::to_string(f.HighScore);
    if (!in(f.GroundFrame, 0, 7)) return "GroundFrame " + std::to_string(f.GroundFrame);
    if (!in(f.BallKind, 0, 2)) return "BallKind " + std::to_string(f.BallKind);
    if (!in(f.RivalFrame, 0, 1)) return "RivalFrame " + std::to_string(f.RivalFrame);
    if (!in(f.LastActiveItem, 0, 99)) return "LastActiveItem " + std::to_string(f.LastActiveItem);
    if (!in(f.LastBaseItem, 0, 99)) return "LastBaseItem " + std::to_string(f.LastBaseItem);
    for (size_t i = 0; i < f.Items.size(); ++i) {
        const Item& it = f.Items[i];
        if (!in(it.Kind, 0, 5)) return "Items(" + std::to_string(i) + ").Kind " + std::to_string(it.Kind);
        if (!Finite(it.X) || !Finite(it.Y) || !Finite(it.VX)) return "Items(" + std::to_string(i) + ") not finite";
    }
    for (size_t i = 0; i < f.Popups.size(); ++i) {
        const Popup& p = f.Popups[i];
        if (p.X != 9999 && !in(p.Kind, 0, 5)) return "Popups(" + std::to_string(i) + ").Kind " + std::to_string(p.Kind);
        if (!Finite(p.Y) || !Finite(p.VY)) return "Popups(" + std::to_string(i) + ") not finite";
    }
    for (size_t i = 0; i < f.Specks.size(); ++i) {
        const Speck& s = f.Specks[i];
        if (!in(s.Kind, 0, 8)) return "Specks(" + std::to_string(i) + ").Kind " + std::to_string(s.Kind);
        if (!Finite(s.X) || !Finite(s.Y) || !Finite(s.VX) || !Finite(s.VY)) return "Specks(" + std::to_string(i) + ") not finite";
    }
    for (size_t i = 0; i < f.Particles.size(); ++i) {
        const Particle& p = f.Particles[i];
        if (p.X != 9999.0f && !in(p.Kind, 0, 1)) return "Particles(" + std::to_string(i) + ").Kind " + std::to_string(p.Kind);
        if (!Finite(p.X) || !Finite(p.Y) || !Finite(p.VX) || !Finite(p.VY)) return "Particles(" + std::to_string(i) + ") not finite";
    }
    for (float v : {f.BallX, f.BallY, f.BallVX, f.BallVY, f.RivalX, f.RivalY, f.RivalVX, f.RivalVY, f.RivalBumpVX,
                    f.RivalMaxSpeed, f.RivalAccel, f.ShotX, f.ShotY, f.ShotVX, f.ChainShine, f.ShineSweep,
                    f.BannerTextY, f.BannerTextSpeed})
        if (!Finite(v)) return "a scalar of the record is not finite";
    return {};
}

struct Figures {
    uint64_t Frames = 0, Runs = 0, GameOvers = 0, FeverFrames = 0;
    int32_t BestScore = 0, TopLevel = 0;
};

// One seed's soak; stops at the first broken invariant.
void Soak(uint32_t seed, uint64_t frames, Figures& fig) {
    Game g(seed);
    RandomHands hands(seed);
    int16_t lastState = g.form.GameState;
    for (uint64_t n = 1; n <= frames; ++n) {
        const int32_t high = g.form.HighScore;
        hands.Next(g.host.Keys);
        ASSERT_EQ(g.form.Step(test::ReadInput(g.host)), FrameEnd::GoingOn) << "seed " << seed << " frame " << n << ": the loop ended";
        const std::string why = Broken(g.form, high);
        ASSERT_EQ(why, "") << "seed " << seed << " frame " << n;
        const int16_t state = g.form.GameState;
        fig.Runs += state == 1 && lastState == 0;
        fig.GameOvers += state == 3 && lastState == 1;
        fig.FeverFrames += state == 1 && g.form.Fever != 0;
        fig.BestScore = std::max(fig.BestScore, g.form.Score);
        fig.TopLevel = std::max(fig.TopLevel, g.form.Level);
        lastState = state;
        ++fig.Frames;
    }
}

TEST(HardeningSoak, RandomKeysKeepTheRecordSound) {
    const uint64_t total = EnvCount("PELLIMUNCH_SOAK_FRAMES", 20000);
    const uint64_t seeds = EnvCount("PELLIMUNCH_SOAK_SEEDS", 4);
    const uint64_t each = (total + seeds - 1) / seeds;
    Figures fig;
    const auto start = std::chrono::steady_clock::now();
    for (uint64_t s = 0; s < seeds && !HasFatalFailure(); ++s) Soak(static_cast<uint32_t>(7919 * s + 13), each, fig);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("soak: %llu frames over %llu seeds in %.1f s: %llu runs, %llu game overs, %llu fever frames, "
                "best score %d, top level %d\n",
                static_cast<unsigned long long>(fig.Frames), static_cast<unsigned long long>(seeds), secs,
                static_cast<unsigned long long>(fig.Runs), static_cast<unsigned long long>(fig.GameOvers),
                static_cast<unsigned long long>(fig.FeverFrames), fig.BestScore, fig.TopLevel);
    // The keys must actually reach play, game over and fevers, or the soak
    // proves little.
    if (!HasFatalFailure()) {
        EXPECT_GT(fig.Runs, 0u);
        EXPECT_GT(fig.GameOvers, 0u);
        EXPECT_GT(fig.FeverFrames, 0u);
    }
}

}  // namespace
}  // namespace pm

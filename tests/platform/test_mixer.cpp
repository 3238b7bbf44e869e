// The mixer's buffers behave like the game expects of a sound buffer: stop
// keeps the place, play goes on from it, the end stops and rewinds, the
// frequency sets the speed, and pan attenuates the far channel in decibels.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/mixer.h"

namespace pm {
namespace {

// A constant wave: every sample `level` (128 is silence).
WaveData Constant(size_t count, uint8_t level = 228, int32_t rate = 11025) {
    WaveData w;
    w.Rate = rate;
    w.Samples.assign(count, level);
    return w;
}

std::vector<int16_t> Render(Mixer& m, size_t frames) {
    std::vector<int16_t> out(2 * frames, 12345);
    m.Mix(out.data(), frames);
    return out;
}

// Frames of the rendered block whose left channel is not silent.
size_t Sounding(const std::vector<int16_t>& out) {
    size_t n = 0;
    for (size_t f = 0; f < out.size() / 2; ++f) n += out[2 * f] != 0;
    return n;
}

TEST(Mixer, StopKeepsThePlaceAndPlayGoesOnFromIt) {
    Mixer m(2);
    m.Load(0, Constant(100));   // 100 samples at 11025 Hz: 400 output frames
    EXPECT_EQ(Sounding(Render(m, 50)), 0u) << "a loaded buffer is silent until played";

    m.Play(0);
    EXPECT_EQ(Sounding(Render(m, 100)), 100u);
    EXPECT_DOUBLE_EQ(m.Position(0), 25.0);
    m.Stop(0);
    EXPECT_EQ(Sounding(Render(m, 100)), 0u);
    EXPECT_DOUBLE_EQ(m.Position(0), 25.0);

    m.Play(0);
    Render(m, 100);
    m.Play(0);   // already playing: goes on, no restart
    EXPECT_DOUBLE_EQ(m.Position(0), 50.0);
    // 200 frames were left: they sound, then the buffer stops by itself.
    EXPECT_EQ(Sounding(Render(m, 300)), 200u);
    EXPECT_FALSE(m.Playing(0));
    EXPECT_DOUBLE_EQ(m.Position(0), 0.0);

    // Played again after the end: from the start, the whole sound once.
    m.Play(0);
    EXPECT_EQ(Sounding(Render(m, 1000)), 400u);
}

TEST(Mixer, FrequencyChangesTheSpeedFromNowOn) {
    Mixer m(1);
    m.Load(0, Constant(100));
    m.SetFrequency(0, 22050);
    m.Play(0);
    EXPECT_EQ(Sounding(Render(m, 1000)), 200u);

    // Half at the file's rate, the rest at four times it.
    m.SetFrequency(0, 0);   // back to the wave's own rate
    m.Play(0);
    Render(m, 200);
    EXPECT_DOUBLE_EQ(m.Position(0), 50.0);
    m.SetFrequency(0, 44100);
    EXPECT_EQ(Sounding(Render(m, 1000)), 50u);
}

TEST(Mixer, ResamplesBetweenSamples) {
    WaveData w = Constant(2, 128, 22050);
    w.Samples = {128, 228};   // silence, then +100
    Mixer m(1);
    m.Load(0, w);
    m.Play(0);
    const std::vector<int16_t> out = Render(m, 4);
    const int16_t full = static_cast<int16_t>(100 * 256 * Mixer::Headroom);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], full / 2);   // halfway between the two samples
    EXPECT_EQ(out[4], full);
    EXPECT_EQ(out[6], full / 2);   // past the last sample it fades to silence
}

TEST(Mixer, PanAttenuatesTheOtherChannelInHundredthsOfADecibel) {
    Mixer m(1);
    m.Load(0, Constant(1000));
    const double full = 100 * 256 * Mixer::Headroom;
    struct Case {
        int32_t Pan;
        double Left, Right;
    } cases[] = {
        {0, full, full},
        {-2000, full, full * 0.1},                        // 20 dB off the right
        {1995, full * std::pow(10.0, -1995 / 2000.0), full},   // 19.95 dB off the left
    };
    for (const Case& c : cases) {
        m.SetPan(0, c.Pan);
        m.Play(0);
        const std::vector<int16_t> out = Render(m, 8);
        EXPECT_NEAR(out[14], c.Left, 1.0) << c.Pan;
        EXPECT_NEAR(out[15], c.Right, 1.0) << c.Pan;
    }
}

TEST(Mixer, SumsVoicesAndClamps) {
    Mixer m(14);
    for (size_t i = 0; i < 14; ++i) {
        m.Load(i, Constant(100, 255));
        m.Play(i);
    }
    const std::vector<int16_t> loud = Render(m, 4);
    EXPECT_EQ(loud[0], 32767);
    EXPECT_EQ(loud[1], 32767);

    Mixer q(2);
    q.Load(0, Constant(100, 138));   // +10
    q.Load(1, Constant(100, 98));    // -30
    q.Play(0);
    q.Play(1);
    EXPECT_EQ(Render(q, 1)[0], static_cast<int16_t>(-20 * 256 * Mixer::Headroom));
}

TEST(Mixer, VolumeAndMuteActOnTheOutputOnly) {
    Mixer m(1);
    m.Load(0, Constant(20000, 228));   // +100
    m.Play(0);
    const int16_t full = Render(m, 1)[0];
    EXPECT_EQ(full, static_cast<int16_t>(100 * 256 * Mixer::Headroom));

    m.SetVolume(50, false);
    EXPECT_EQ(Render(m, 1)[0], static_cast<int16_t>(full * 0.25));
    m.SetVolume(0, false);
    EXPECT_EQ(Render(m, 1)[0], 0);

    // Muted, the buffer plays on in silence: unmuting finds it further on,
    // exactly where it would have been.
    m.SetVolume(100, true);
    const double before = m.Position(0);
    EXPECT_EQ(Sounding(Render(m, 441)), 0u);
    EXPECT_TRUE(m.Playing(0));
    EXPECT_DOUBLE_EQ(m.Position(0), before + 441 * 11025.0 / Mixer::OutputRate);
    m.SetVolume(100, false);
    EXPECT_EQ(Render(m, 1)[0], full);

    // Out-of-range volumes are held to 0..100.
    EXPECT_EQ(Mixer::VolumeGain(150, false), 1.0);
    EXPECT_EQ(Mixer::VolumeGain(-5, false), 0.0);
    EXPECT_EQ(Mixer::VolumeGain(100, true), 0.0);
}

// The hosts hand the game's four buffer operations straight to Apply: each
// reaches the named sound and no other.
TEST(Mixer, ApplyRunsTheGamesOperationsOnTheNamedSound) {
    Mixer m;
    for (size_t i = 0; i < SoundCount; ++i) m.Load(i, Constant(1000));
    const size_t bell = static_cast<size_t>(SoundId::Bell);
    m.Apply(SoundId::Bell, SoundOp::Pan, -10000);
    m.Apply(SoundId::Bell, SoundOp::Frequency, 22050);
    m.Apply(SoundId::Bell, SoundOp::Play, 0);
    std::vector<int16_t> out = Render(m, 8);
    EXPECT_NEAR(out[14], 100 * 256 * Mixer::Headroom, 1.0);
    EXPECT_EQ(out[15], 0) << "panned hard left";
    for (size_t i = 0; i < SoundCount; ++i) EXPECT_EQ(m.Playing(i), i == bell) << i;
    EXPECT_NEAR(m.Position(bell), 8 * 22050.0 / Mixer::OutputRate, 1e-9) << "at the new frequency";

    m.Apply(SoundId::Bell, SoundOp::Stop, 0);
    EXPECT_FALSE(m.Playing(bell));
    EXPECT_EQ(Sounding(Render(m, 8)), 0u);
}

}  // namespace
}  // namespace pm

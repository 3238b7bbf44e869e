// The game's sound mixer: one buffer per sound effect, each with its own play
// position, rate and pan, mixed into 16-bit stereo at 44100 Hz. A buffer
// behaves like a static hardware sound buffer: stopping keeps the position,
// playing goes on from it, and reaching the end stops and rewinds.
//
// Not thread-safe by itself: whoever calls Mix from an audio thread must hold
// the same lock around the other calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "machine/host.h"

namespace pm {

class Mixer {
public:
    static constexpr int32_t OutputRate = 44100;
    // Frequencies are kept in the range a sound card's buffers accept.
    static constexpr int32_t MinFrequency = 100;
    static constexpr int32_t MaxFrequency = 200000;
    // Pan limits: hundredths of a decibel, at which a channel is silent.
    static constexpr int32_t PanLimit = 10000;
    // Every voice is scaled by this before summing, so a few loud sounds
    // together rarely reach the clamp.
    static constexpr double Headroom = 0.5;

    explicit Mixer(size_t buffers = SoundCount);

    // Gives buffer i its sound: stopped, at the start, centred, at the
    // wave's own rate.
    void Load(size_t i, const WaveData& wave);

    void Stop(size_t i);
    void Play(size_t i);
    // Samples per second from now on; 0 returns to the wave's own rate.
    void SetFrequency(size_t i, int32_t hz);
    // Negative attenuates the right channel, positive the left, by |pan| / 100 dB.
    void SetPan(size_t i, int32_t pan);
    // One of the game's four buffer operations (Host::Sound) on its sound.
    void Apply(SoundId id, SoundOp op, int32_t value);

    // Renders `frames` interleaved stereo frames (left, right) into out.
    void Mix(int16_t* out, size_t frames);

    // The player's volume, applied to the finished mix only: the buffers
    // play on as before, so muting never changes where a sound is.
    // 0 to 100; muted is silence whatever the volume.
    void SetVolume(int32_t percent, bool muted);
    // The output gain for a volume: its square, so that each step sounds
    // about as large as the next (50 is about half as loud as 100).
    static double VolumeGain(int32_t percent, bool muted);

    bool Playing(size_t i) const { return voices_.at(i).Playing; }
    double Position(size_t i) const { return voices_.at(i).Position; }
    size_t Size() const { return voices_.size(); }

    // The gain of each channel for a pan value.
    struct Gains {
        double Left, Right;
    };
    static Gains PanGains(int32_t pan);

private:
    struct Voice {
        std::vector<uint8_t> Samples;
        int32_t Rate = 0;
        int32_t Frequency = 0;
        double Position = 0;   // in samples of the wave
        bool Playing = false;
        Gains Gain{1.0, 1.0};
    };
    std::vector<Voice> voices_;
    std::vector<double> scratch_;   // one frame block of the stereo sum
    double outputGain_ = 1.0;
};

}  // namespace pm

#include "platform/mixer.h"

#include <algorithm>
#include <cmath>

namespace pm {

namespace {
// Frames summed at a time; the sum buffer is allocated once, up front, so the
// audio thread never allocates.
constexpr size_t Block = 1024;
}  // namespace

Mixer::Mixer(size_t buffers) : voices_(buffers), scratch_(2 * Block, 0.0) {}

void Mixer::Load(size_t i, const WaveData& wave) {
    Voice& v = voices_.at(i);
    v = Voice{};
    v.Samples = wave.Samples;
    v.Rate = std::clamp(wave.Rate, MinFrequency, MaxFrequency);
    v.Frequency = v.Rate;
}

void Mixer::Stop(size_t i) { voices_.at(i).Playing = false; }

void Mixer::Play(size_t i) {
    Voice& v = voices_.at(i);
    if (!v.Samples.empty()) v.Playing = true;
}

void Mixer::SetFrequency(size_t i, int32_t hz) {
    Voice& v = voices_.at(i);
    v.Frequency = hz == 0 ? v.Rate : std::clamp(hz, MinFrequency, MaxFrequency);
}

void Mixer::SetPan(size_t i, int32_t pan) { voices_.at(i).Gain = PanGains(pan); }

void Mixer::Apply(SoundId id, SoundOp op, int32_t value) {
    const size_t i = static_cast<size_t>(id);
    switch (op) {
        case SoundOp::Stop: Stop(i); break;
        case SoundOp::Frequency: SetFrequency(i, value); break;
        case SoundOp::Pan: SetPan(i, value); break;
        case SoundOp::Play: Play(i); break;
    }
}

Mixer::Gains Mixer::PanGains(int32_t pan) {
    pan = std::clamp(pan, -PanLimit, PanLimit);
    const double attenuated = pan == PanLimit || pan == -PanLimit ? 0.0 : std::pow(10.0, -std::abs(pan) / 2000.0);
    if (pan < 0) return {1.0, attenuated};
    if (pan > 0) return {attenuated, 1.0};
    return {1.0, 1.0};
}

void Mixer::Mix(int16_t* out, size_t frames) {
    while (frames > 0) {
        const size_t n = std::min(frames, Block);
        std::fill(scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(2 * n), 0.0);
        for (Voice& v : voices_) {
            if (!v.Playing) continue;
            const double step = static_cast<double>(v.Frequency) / OutputRate;
            const size_t count = v.Samples.size();
            const double left = v.Gain.Left * Headroom * 256.0;
            const double right = v.Gain.Right * Headroom * 256.0;
            for (size_t f = 0; f < n; ++f) {
                // Linear interpolation between neighbouring samples; past the
                // last sample the wave fades toward silence.
                const size_t k = static_cast<size_t>(v.Position);
                const double frac = v.Position - static_cast<double>(k);
                const double a = static_cast<double>(v.Samples[k]) - 128.0;
                const double b = k + 1 < count ? static_cast<double>(v.Samples[k + 1]) - 128.0 : 0.0;
                const double s = a + (b - a) * frac;
                scratch_[2 * f] += s * left;
                scratch_[2 * f + 1] += s * right;
                v.Position += step;
                if (v.Position >= static_cast<double>(count)) {
                    // Played once to the end: stop and rewind.
                    v.Playing = false;
                    v.Position = 0;
                    break;
                }
            }
        }
        for (size_t j = 0; j < 2 * n; ++j)
            out[j] = static_cast<int16_t>(std::clamp(scratch_[j] * outputGain_, -32768.0, 32767.0));
        out += 2 * n;
        frames -= n;
    }
}

double Mixer::VolumeGain(int32_t percent, bool muted) {
    if (muted) return 0.0;
    const double v = std::clamp(percent, 0, 100) / 100.0;
    return v * v;
}

void Mixer::SetVolume(int32_t percent, bool muted) { outputGain_ = VolumeGain(percent, muted); }

}  // namespace pm

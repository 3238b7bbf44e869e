// Sounds for the data generator: synthesis helpers working in doubles
// (-1..1) and the writer for 8-bit unsigned mono PCM wave files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gen {

struct Sound {
    int Rate = 11025;
    std::vector<double> S;   // -1..1
};

// RIFF/WAVE, PCM, mono, 8 bits, fmt chunk of 16 bytes. Samples beyond
// full scale are clamped.
std::string EncodeWav(const Sound& s);

// Scales the sound so its largest magnitude is `peak` (of full scale).
void Normalize(Sound& s, double peak);

// A small deterministic generator (xorshift) for noise.
class Prng {
public:
    explicit Prng(uint32_t seed) : s_(seed ? seed : 0x9E3779B9u) {}
    uint32_t Next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return s_;
    }
    double Uniform() { return (Next() >> 8) * (1.0 / 16777216.0); }   // 0..1
    double Signed() { return Uniform() * 2.0 - 1.0; }                 // -1..1

private:
    uint32_t s_;
};

}  // namespace gen

#include "wave.h"
#include "common/file_bytes.h"

#include <algorithm>
#include <cmath>

namespace gen {

using pm::files::Put16;
using pm::files::Put32;

std::string EncodeWav(const Sound& snd) {
    const uint32_t n = static_cast<uint32_t>(snd.S.size());
    std::string s;
    s += "RIFF";
    Put32(s, 36 + n + (n & 1));
    s += "WAVE";
    s += "fmt ";
    Put32(s, 16);
    Put16(s, 1);                                    // PCM
    Put16(s, 1);                                    // mono
    Put32(s, static_cast<uint32_t>(snd.Rate));
    Put32(s, static_cast<uint32_t>(snd.Rate));      // bytes per second
    Put16(s, 1);                                    // block align
    Put16(s, 8);
    s += "data";
    Put32(s, n);
    for (double v : snd.S) {
        const long q = std::lround(128.0 + std::clamp(v, -1.0, 1.0) * 127.0);
        s.push_back(static_cast<char>(static_cast<uint8_t>(std::clamp(q, 0L, 255L))));
    }
    if (n & 1) s.push_back(static_cast<char>(0x80));   // chunks are word-aligned
    return s;
}

void Normalize(Sound& s, double peak) {
    double m = 0;
    for (double v : s.S) m = std::max(m, std::fabs(v));
    if (m <= 0) return;
    const double k = peak / m;
    for (double& v : s.S) v *= k;
}

}  // namespace gen

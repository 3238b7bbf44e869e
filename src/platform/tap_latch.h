// Quick taps. Reading which keys are held at the start of a frame misses a
// key that went down and up again in between (10 to 15 ms, as some keyboards
// and every key-sender give). The host notes each press as it arrives, and
// the next read of the keys counts it as held, so no tap is ever lost. The
// frame then sees the key exactly as if it had been held at that read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace pm {

class TapLatch {
public:
    // A key went down (0, a key the table does not know, is ignored).
    void Press(uint8_t code) {
        if (code != 0) pressed_[code] = 1;
    }

    // Marks every key pressed since the last read as held, then forgets them.
    void Apply(std::array<uint8_t, 256>& keys) {
        for (size_t k = 0; k < keys.size(); ++k)
            if (pressed_[k]) keys[k] = 128;
        pressed_.fill(0);
    }

    void Clear() { pressed_.fill(0); }

private:
    std::array<uint8_t, 256> pressed_{};
};

}  // namespace pm

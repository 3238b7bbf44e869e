// The keys held now, as a host's key events tell (a page's, a window's). A
// key pressed and let go between two reads still counts as held for the next
// read (platform/tap_latch.h), so a tap shorter than a frame is never lost.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/tap_latch.h"

namespace pm {

class KeyTable {
public:
    void Down(uint8_t code);
    void Up(uint8_t code);
    // Forget every key: the host lost the keyboard and will not hear the
    // releases.
    void Clear();
    // The table for one frame: 128 for each held (or tapped) key, 0 else.
    void Read(std::array<uint8_t, 256>& keys);

private:
    std::array<bool, 256> held_{};
    TapLatch taps_;
};

}  // namespace pm

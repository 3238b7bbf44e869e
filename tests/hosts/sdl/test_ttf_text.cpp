// The desktop's font renderer draws onto the game's software canvas: glyphs
// blended into the 16-bit surface with no window, clipped at its edges, and
// nothing at all when the font is missing.
#include <gtest/gtest.h>

#include "game/canvas/canvas.h"
#include "hosts/sdl/ttf_text.h"

namespace pm {
namespace {

TEST(TextOnCanvas, BlendsGlyphsIntoThe16BitSurfaceWithoutAWindow) {
    sdl::TtfText text;
    if (!text.Ready()) GTEST_SKIP() << "no font installed";

    Surface screen("BackBuffer", 800, 600, Rgb565(0, 0, 255));
    text.Draw(screen, 100, 165, "[SPACE]  JUMP", Rgb{255, 255, 255});
    size_t lit = 0, white = 0, blended = 0;
    for (int32_t y = 0; y < 600; ++y)
        for (int32_t x = 0; x < 800; ++x) {
            const uint16_t p = screen.At(x, y);
            if (p == Rgb565(0, 0, 255)) continue;
            ++lit;
            EXPECT_TRUE(x >= 100 && x < 300 && y >= 165 && y < 190) << x << "," << y;
            if (p == 0xFFFF) ++white;
            else if ((p & 0x1F) == 0x1F && p != 0xFFFF) ++blended;   // blue kept, some white added
        }
    EXPECT_GT(white, 20u);
    EXPECT_GT(blended, 0u) << "edges are anti-aliased";

    // The same line again (from the cache) in another colour, and a line
    // hanging off the surface's corner: clipped, not skipped.
    Surface other("BackBuffer", 800, 600);
    text.Draw(other, 100, 165, "[SPACE]  JUMP", Rgb{255, 0, 0});
    for (uint16_t p : other.Pixels) EXPECT_EQ(p & 0x07FF, 0) << "only red is drawn";
    auto litIn = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        size_t n = 0;
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x) n += other.At(x, y) != 0;
        return n;
    };
    text.Draw(other, 790, 590, "[SPACE]  JUMP", Rgb{255, 255, 255});
    EXPECT_GT(litIn(790, 590, 800, 600), 0u);
    text.Draw(other, -5, -5, "[SPACE]  JUMP", Rgb{255, 255, 255});
    EXPECT_GT(litIn(0, 0, 100, 15), 0u);

    sdl::TtfText none(12, "/nonexistent/font.ttf");
    EXPECT_FALSE(none.Ready());
    Surface untouched("BackBuffer", 800, 600);
    none.Draw(untouched, 100, 105, "[ESC]  QUIT", Rgb{255, 255, 255});
    for (uint16_t p : untouched.Pixels) ASSERT_EQ(p, 0);
}

}  // namespace
}  // namespace pm

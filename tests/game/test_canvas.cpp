// The software canvas: a copy either lands wholly on the target or draws
// nothing, keyed copies skip pixels equal to the 16-bit key, and bitmaps
// keep the key's meaning after their colours are reduced to 16 bits.
#include <gtest/gtest.h>

#include "game/canvas/canvas.h"

namespace pm {
namespace {

Surface Sprite(int32_t w, int32_t h) {
    Surface s("Sprite", w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) s.At(x, y) = static_cast<uint16_t>(1 + x + 10 * y);
    return s;
}

size_t Painted(const Surface& s) {
    size_t n = 0;
    for (uint16_t p : s.Pixels) n += p != 0;
    return n;
}

TEST(Canvas, CopyLandsWhollyOnTheScreenOrNotAtAll) {
    const Surface src = Sprite(10, 8);
    const Rect all{0, 0, 10, 8};
    struct Case {
        int32_t X, Y;
        bool Drawn;
    } cases[] = {
        {0, 0, true},   {-1, 0, false},   {791, 0, false},   // right edge at 801
        {790, 0, true},  {0, 592, true},   {0, 593, false},   // edges exactly at 800 and 600
        {790, 592, true}, {0, -1, false}, {INT32_MIN, 0, false}, {INT32_MAX, 0, false},
    };
    for (const Case& c : cases) {
        Surface screen("BackBuffer", 800, 600);
        EXPECT_EQ(CopySurface(screen, c.X, c.Y, src, all, false), c.Drawn) << c.X << "," << c.Y;
        EXPECT_EQ(Painted(screen), c.Drawn ? 80u : 0u) << c.X << "," << c.Y;
        if (c.Drawn) {
            EXPECT_EQ(screen.At(c.X, c.Y), 1);
            EXPECT_EQ(screen.At(c.X + 9, c.Y + 7), 1 + 9 + 70);
        }
    }
    // A source rectangle reaching outside its own surface draws nothing either.
    Surface screen("BackBuffer", 800, 600);
    EXPECT_FALSE(CopySurface(screen, 0, 0, src, Rect{5, 0, 11, 8}, false));
    EXPECT_EQ(Painted(screen), 0u);
}

TEST(Canvas, FillObeysTheSameEdges) {
    Surface screen("BackBuffer", 800, 600);
    EXPECT_TRUE(FillSurface(screen, Rect{0, 0, 800, 600}, 0x1234));
    EXPECT_EQ(screen.At(799, 599), 0x1234);
    EXPECT_FALSE(FillSurface(screen, Rect{0, 0, 801, 600}, 0));
    EXPECT_FALSE(FillSurface(screen, Rect{-1, 0, 10, 10}, 0));
    EXPECT_EQ(screen.At(0, 0), 0x1234);
}

TEST(Canvas, KeyedCopySkipsTheKeyOpaqueCopyPaintsEverything) {
    // A sprite sheet whose white background became 0xFFFF, including an
    // off-white that reduces to the same 16-bit pixel.
    Surface sheet("MainSurface", 3, 1);
    sheet.At(0, 0) = Rgb565(255, 255, 255);
    sheet.At(1, 0) = Rgb565(250, 253, 249);
    sheet.At(2, 0) = Rgb565(247, 255, 255);   // loses its top red bit: drawn
    sheet.HasKey = true;
    sheet.Key = 0xFFFF;
    ASSERT_EQ(sheet.At(1, 0), 0xFFFF);

    Surface keyed("BackBuffer", 800, 600, 0x0042);
    CopySurface(keyed, 5, 5, sheet, Rect{0, 0, 3, 1}, true);
    EXPECT_EQ(keyed.At(5, 5), 0x0042);
    EXPECT_EQ(keyed.At(6, 5), 0x0042);
    EXPECT_EQ(keyed.At(7, 5), Rgb565(247, 255, 255));

    Surface opaque("BackBuffer", 800, 600, 0x0042);
    CopySurface(opaque, 5, 5, sheet, Rect{0, 0, 3, 1}, false);
    EXPECT_EQ(opaque.At(5, 5), 0xFFFF);
    EXPECT_EQ(opaque.At(6, 5), 0xFFFF);

    // Black keys (the logo and gauges): near-black reduces to 0 as well.
    Surface logo("TitleSurface", 2, 1);
    logo.At(0, 0) = Rgb565(7, 3, 7);
    logo.At(1, 0) = Rgb565(8, 0, 0);
    logo.HasKey = true;
    logo.Key = 0;
    Surface screen("BackBuffer", 800, 600, 0x0042);
    CopySurface(screen, 0, 0, logo, Rect{0, 0, 2, 1}, true);
    EXPECT_EQ(screen.At(0, 0), 0x0042);
    EXPECT_EQ(screen.At(1, 0), Rgb565(8, 0, 0));
}

}  // namespace
}  // namespace pm

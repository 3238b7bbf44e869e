// Text drawn from a stored atlas must be the font renderer's text, pixel for
// pixel, whatever lies under it; and a line the atlas lacks draws nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "hosts/sdl/ttf_text.h"
#include "platform/text_atlas.h"

namespace pm {
namespace {

// Every 16-bit value somewhere on the surface, so each blend path is met.
Surface Noise(uint32_t seed) {
    Surface s("BackBuffer", 800, 600);
    uint32_t x = seed;
    for (uint16_t& p : s.Pixels) {
        x = x * 1664525u + 1013904223u;
        p = static_cast<uint16_t>(x >> 16);
    }
    return s;
}

TEST(TextAtlas, BlendsCoverageExactlyAndClipsToTheSurface) {
    TextCoverage line;
    line.Width = 3;
    line.Height = 2;
    line.Alpha = {0, 255, 128, 255, 0, 1};
    Surface s("BackBuffer", 4, 4, Rgb565(0, 0, 248));
    BlendCoverage(s, 2, 2, line, Rgb{248, 0, 0});
    EXPECT_EQ(s.At(2, 2), Rgb565(0, 0, 248)) << "no coverage, no change";
    EXPECT_EQ(s.At(3, 2), Rgb565(248, 0, 0)) << "full coverage is the colour";
    EXPECT_EQ(s.At(2, 3), Rgb565(248, 0, 0));
    EXPECT_EQ(s.At(3, 3), Rgb565(0, 0, 248));
    // Half coverage over blue: red (255 * 128 + 127) / 255 = 128, blue
    // (255 * 127 + 127) / 255 = 127, each then cut to its 5 bits.
    Surface half("BackBuffer", 1, 1, Rgb565(0, 0, 255));
    TextCoverage dot{1, 1, {128}};
    BlendCoverage(half, 0, 0, dot, Rgb{255, 0, 0});
    EXPECT_EQ(half.At(0, 0), Rgb565(128, 0, 127));
    // Off every edge: nothing outside is touched, nothing crashes.
    Surface edge("BackBuffer", 2, 2);
    TextCoverage full{4, 4, std::vector<uint8_t>(16, 255)};
    BlendCoverage(edge, -3, -3, full, Rgb{255, 255, 255});
    EXPECT_EQ(edge.At(0, 0), 0xFFFF);
    EXPECT_EQ(edge.At(1, 0), 0);
    BlendCoverage(edge, 5, 0, full, Rgb{255, 255, 255});
    BlendCoverage(edge, 0, -9, full, Rgb{255, 255, 255});
    EXPECT_EQ(edge.At(1, 1), 0);
}

TEST(TextAtlas, DrawsTheTitleExactlyAsTheFontRendererDoes) {
    sdl::TtfText font;
    if (!font.Ready()) GTEST_SKIP() << "no font installed";

    // The title's own lines, asked of the game as the atlas tool asks them.
    struct Lines : DrawObserver {
        std::vector<std::string> Text;
        void OnFill(const Rect&, Rgb) override {}
        void OnCopy(bool, const Surface&, const Rect&, int32_t, int32_t) override {}
        void OnText(int32_t, int32_t, std::string_view utf8) override { Text.emplace_back(utf8); }
    } lines;
    test::Game game;
    game.host.Draws = &lines;
    game.form.DrawTitleText();
    ASSERT_EQ(lines.Text.size(), 8u);

    AtlasText atlas(nullptr, 0);
    for (const std::string& l : lines.Text) atlas.Add(l, font.Render(l));
    ASSERT_EQ(atlas.Size(), lines.Text.size());

    // Over noise, in white and another colour, whole and hanging off edges.
    const std::vector<std::pair<int32_t, int32_t>> places = {{100, 105}, {460, 400}, {-20, -7}, {700, 590}};
    for (Rgb colour : {Rgb{255, 255, 255}, Rgb{40, 200, 90}}) {
        for (auto [x, y] : places) {
            Surface byFont = Noise(static_cast<uint32_t>(x * 31 + y));
            Surface byAtlas = byFont;
            for (const std::string& l : lines.Text) {
                font.Draw(byFont, x, y, l, colour);
                atlas.Draw(byAtlas, x, y, l, colour);
            }
            ASSERT_EQ(byFont.Pixels, byAtlas.Pixels) << "at " << x << "," << y;
        }
    }

    // A line the atlas was never given is skipped, not guessed.
    Surface untouched("BackBuffer", 800, 600);
    atlas.Draw(untouched, 100, 105, "NOT IN THE ATLAS", Rgb{255, 255, 255});
    for (uint16_t p : untouched.Pixels) ASSERT_EQ(p, 0);
}

TEST(TextAtlas, SourceHoldsEveryLineEscapedAndSized) {
    std::vector<std::pair<std::string, TextCoverage>> lines;
    lines.push_back({"[\xE2\x86\x90] \"q\"?", TextCoverage{2, 1, {0, 255}}});
    lines.push_back({"plain", TextCoverage{1, 2, {7, 9}}});
    const std::string src = AtlasSource(lines, "Demo");
    EXPECT_NE(src.find("{\"[\\342\\206\\220] \\042q\\042\\077\", 2, 1, Alpha0}"), std::string::npos) << src;
    EXPECT_NE(src.find("{\"plain\", 1, 2, Alpha1}"), std::string::npos);
    EXPECT_NE(src.find("0, 255,"), std::string::npos);
    EXPECT_NE(src.find("const size_t DemoCount = 2;"), std::string::npos);
}

}  // namespace
}  // namespace pm

// The picture on the desktop: its place in a window of any size, the notice
// over a paused game and over a watched replay.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "driver/replay.h"

#include "platform/letterbox.h"
#include "platform/pause_overlay.h"
#include "platform/watch_overlay.h"

namespace pm {
namespace {

namespace fs = std::filesystem;

TEST(Letterbox, KeepsFourToThreeCentredWithBlackBars) {
    struct Case {
        int32_t W, H;
        Box Picture;
        int32_t Bars;
    };
    for (const Case& c : {
             Case{800, 600, {0, 0, 800, 600}, 0},
             Case{1280, 800, {107, 0, 1066, 800}, 2},      // wide screen: bars left and right
             Case{1280, 1024, {0, 32, 1280, 960}, 2},      // tall screen: bars above and below
             Case{1920, 1080, {240, 0, 1440, 1080}, 2},
             Case{801, 600, {0, 0, 800, 600}, 1},          // one spare column: one bar
             Case{3, 2, {0, 0, 2, 2}, 1},                  // tiny, rounded down
             Case{7680, 4320, {960, 0, 5760, 4320}, 2},
         }) {
        SCOPED_TRACE(std::to_string(c.W) + "x" + std::to_string(c.H));
        const Letterbox l = FitPicture(c.W, c.H);
        EXPECT_EQ(l.Picture, c.Picture);
        ASSERT_EQ(l.BarCount, c.Bars);
        // Picture and bars cover the drawable exactly once.
        int64_t area = int64_t{l.Picture.W} * l.Picture.H;
        for (int32_t i = 0; i < l.BarCount; ++i) {
            const Box& b = l.Bars[static_cast<size_t>(i)];
            EXPECT_GT(b.W, 0);
            EXPECT_GT(b.H, 0);
            EXPECT_GE(b.X, 0);
            EXPECT_GE(b.Y, 0);
            EXPECT_LE(b.X + b.W, c.W);
            EXPECT_LE(b.Y + b.H, c.H);
            area += int64_t{b.W} * b.H;
        }
        EXPECT_EQ(area, int64_t{c.W} * c.H);
    }
    EXPECT_EQ(FitPicture(0, 600).BarCount, 0);
    EXPECT_EQ(FitPicture(800, -1).Picture, Box{});
}

TEST(Letterbox, WindowForAScaleFitsTheScreen) {
    EXPECT_EQ(WindowForScale(1, 1920, 1040), (Box{0, 0, 800, 600}));
    EXPECT_EQ(WindowForScale(2, 0, 0), (Box{0, 0, 1600, 1200}));       // screen unknown
    EXPECT_EQ(WindowForScale(2, 1920, 1040), (Box{0, 0, 1386, 1040}));  // shrunk, still 4:3
    EXPECT_EQ(WindowForScale(0, 1920, 1040), (Box{0, 0, 800, 600}));
}

// Text as a block of ink, 8 pixels a character and 10 high.
class BlockText : public TextRenderer {
public:
    void Draw(Surface& dst, int32_t x, int32_t y, std::string_view utf8, Rgb) override {
        for (int32_t j = 0; j < 10; ++j)
            for (int32_t i = 0; i < static_cast<int32_t>(utf8.size()) * 8; ++i)
                if (x + i >= 0 && x + i < dst.Width && y + j >= 0 && y + j < dst.Height)
                    dst.At(x + i, y + j) = 0xFFFF;
    }
};

TEST(PauseOverlay, DarkensACopyAndCentresTheNotice) {
    Surface last("BackBuffer", 800, 600, Rgb565(200, 100, 50));
    last.At(0, 0) = 0xFFFF;
    const Surface before = last;
    BlockText large, small;
    const Surface shown = PausedPicture(last, &large, &small);
    EXPECT_EQ(last.Pixels, before.Pixels);

    // Half as bright outside the band, an eighth inside it.
    EXPECT_EQ(shown.At(0, 0), Rgb565(123, 125, 123));
    EXPECT_EQ(shown.At(5, 5), Rgb565(100, 50, 25));
    EXPECT_EQ(shown.At(5, PauseBandTop), Rgb565(25, 12, 6));
    EXPECT_EQ(shown.At(5, PauseBandTop - 1), Rgb565(100, 50, 25));
    EXPECT_EQ(shown.At(5, PauseBandBottom), Rgb565(100, 50, 25));

    // PAUSED is 48 pixels of ink: from x 376 to 423, in the band.
    const int32_t y = PauseBandTop + 18;
    EXPECT_EQ(shown.At(375, y), Rgb565(25, 12, 6));
    EXPECT_EQ(shown.At(376, y), 0xFFFF);
    EXPECT_EQ(shown.At(423, y), 0xFFFF);
    EXPECT_EQ(shown.At(424, y), Rgb565(25, 12, 6));
    int32_t inkRows = 0;
    for (int32_t yy = 0; yy < 600; ++yy) inkRows += shown.At(400, yy) == 0xFFFF;
    EXPECT_EQ(inkRows, 20);   // both lines, all inside the band
    for (int32_t yy = 0; yy < 600; ++yy) {
        if (shown.At(400, yy) == 0xFFFF) {
            EXPECT_TRUE(yy >= PauseBandTop && yy < PauseBandBottom) << yy;
        }
    }

    // No font: the darkened picture alone.
    const Surface plain = PausedPicture(last, nullptr, nullptr);
    EXPECT_EQ(plain.At(400, y), Rgb565(25, 12, 6));
}

// Block text that also keeps the lines it was asked to write.
class KeptText : public BlockText {
public:
    void Draw(Surface& dst, int32_t x, int32_t y, std::string_view utf8, Rgb colour) override {
        BlockText::Draw(dst, x, y, utf8, colour);
        if (x > 0) Lines.emplace_back(utf8);   // DrawCentred measures at x 0 first
    }
    std::vector<std::string> Lines;
};

TEST(WatchOverlay, ABandWhileWatchingAndHowItEndedAtTheEnd) {
    Surface frame("BackBuffer", 800, 600, Rgb565(200, 100, 50));
    const Surface before = frame;
    KeptText large, small;
    WatchNote note;
    Surface shown = WatchingPicture(frame, note, &large, &small);
    EXPECT_EQ(frame.Pixels, before.Pixels);
    // A quarter as bright along the top, the rest as the game drew it.
    EXPECT_EQ(shown.At(799, 0), Rgb565(50, 25, 12));
    EXPECT_EQ(shown.At(799, WatchBandHeight - 1), Rgb565(50, 25, 12));
    EXPECT_EQ(shown.At(0, WatchBandHeight), frame.At(0, 0));
    EXPECT_EQ(shown.At(400, 599), frame.At(0, 0));
    EXPECT_EQ(shown.At(10, 5), 0xFFFF);   // REPLAY's ink
    EXPECT_EQ(small.Lines, (std::vector<std::string>{"REPLAY", "F held: fast    P: pause    Esc: leave"}));

    note.Fast = true;
    small.Lines.clear();
    WatchingPicture(frame, note, &large, &small);
    EXPECT_EQ(small.Lines.at(0), "REPLAY x4");

    // The end: the notice over the darkened frame, with what differs.
    const Replay recorded{1, 0, {}, 90, ReplayEnd::Escape, 500};
    ReplayOutcome outcome{90, ReplayEnd::Escape, 500};
    note = EndNote(recorded, outcome);
    small.Lines.clear();
    shown = WatchingPicture(frame, note, &large, &small);
    EXPECT_EQ(small.Lines, (std::vector<std::string>{"REPLAY", "left with Escape at frame 90, high score 500",
                                                     "as recorded", "Esc: leave"}));
    EXPECT_EQ(large.Lines, std::vector<std::string>{"REPLAY OVER"});
    EXPECT_EQ(shown.At(799, WatchEndTop - 1), Rgb565(100, 50, 25));
    EXPECT_EQ(shown.At(799, WatchEndTop), Rgb565(12, 6, 3));

    outcome = {40, ReplayEnd::Close, 20};
    note = EndNote(recorded, outcome);
    EXPECT_FALSE(note.AsRecorded);
    small.Lines.clear();
    WatchingPicture(frame, note, &large, &small);
    EXPECT_EQ(small.Lines,
              (std::vector<std::string>{"REPLAY", "the recording ran out at frame 40, high score 20",
                                        "NOT as recorded:", "the frames ran out at frame 40",
                                        "but the file records its end at frame 90 (escape, high score 500)",
                                        "Esc: leave"}));
}


}  // namespace
}  // namespace pm

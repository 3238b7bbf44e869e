// The generated pictures and sounds: formats the loaders and the game rely
// on, every sprite present and inside its own rectangle, and a generator
// that writes the same bytes on every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/data_files.h"
#include "hosts/headless/headless_host.h"
#include "machine/host.h"
#include "game/shell/game_state.h"

namespace pm {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

uint32_t U16(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 8;
}
uint32_t U32(const std::string& s, size_t at) { return U16(s, at) | U16(s, at + 2) << 16; }

// A 24-bit BMP as the game sees it: 16-bit pixels, top row first.
struct Picture {
    int32_t Width = 0, Height = 0;
    std::vector<uint16_t> Px;
    uint16_t At(int32_t x, int32_t y) const { return Px[static_cast<size_t>(y) * Width + x]; }
};

Picture ParseBmp(const std::string& b) {
    Picture p;
    EXPECT_GE(b.size(), 54u);
    if (b.size() < 54) return p;
    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(U32(b, 2), b.size());
    const uint32_t offset = U32(b, 10);
    EXPECT_EQ(U32(b, 14), 40u);                    // BITMAPINFOHEADER
    p.Width = static_cast<int32_t>(U32(b, 18));
    p.Height = static_cast<int32_t>(U32(b, 22));   // positive: bottom-up
    EXPECT_EQ(U16(b, 26), 1u);
    EXPECT_EQ(U16(b, 28), 24u);
    EXPECT_EQ(U32(b, 30), 0u);                     // uncompressed
    const size_t row = (static_cast<size_t>(p.Width) * 3 + 3) & ~size_t{3};
    EXPECT_GT(p.Width, 0);
    EXPECT_GT(p.Height, 0);
    EXPECT_EQ(b.size(), offset + row * static_cast<size_t>(p.Height));
    if (p.Width <= 0 || p.Height <= 0 || b.size() < offset + row * static_cast<size_t>(p.Height)) return {};
    p.Px.resize(static_cast<size_t>(p.Width) * p.Height);
    for (int32_t y = 0; y < p.Height; ++y) {
        const size_t r = offset + row * static_cast<size_t>(p.Height - 1 - y);
        for (int32_t x = 0; x < p.Width; ++x) {
            const uint8_t bl = static_cast<uint8_t>(b[r + 3 * x]), g = static_cast<uint8_t>(b[r + 3 * x + 1]),
                          rd = static_cast<uint8_t>(b[r + 3 * x + 2]);
            p.Px[static_cast<size_t>(y) * p.Width + x] = Rgb565(rd, g, bl);
        }
    }
    return p;
}

const BitmapFile& EntryOf(BitmapId id) {
    return *std::find_if(Bitmaps.begin(), Bitmaps.end(), [id](const BitmapFile& s) { return s.Id == id; });
}

Picture LoadPicture(BitmapId id) {
    const BitmapFile& entry = EntryOf(id);
    Picture p = ParseBmp(ReadAll(fs::path(PM_BUILD_DIR) / entry.File));
    EXPECT_EQ(p.Width, entry.Width) << entry.File;
    EXPECT_EQ(p.Height, entry.Height) << entry.File;
    return p;
}

// The game's own rectangle tables.
struct Tables {
    HeadlessHost host;
    FormMain form{host};
    Tables() { form.InitRects(); }

    std::vector<Rect> MainSheet() const {
        std::vector<Rect> v(form.BallRects.begin(), form.BallRects.end());
        v.insert(v.end(), form.ItemRects.begin(), form.ItemRects.end());
        for (const auto& d : form.DigitRects) v.insert(v.end(), d.begin(), d.end());
        v.insert(v.end(), form.LabelRects.begin(), form.LabelRects.end());
        v.insert(v.end(), form.PopupRects.begin(), form.PopupRects.end());
        v.insert(v.end(), form.SpeckRects.begin(), form.SpeckRects.end());
        v.insert(v.end(), form.ParticleRects.begin(), form.ParticleRects.end());
        return v;
    }
    std::vector<Rect> ScaleSheet() const { return {form.GaugeRects.begin(), form.GaugeRects.end()}; }
};

int32_t CountNonKey(const Picture& p, const Rect& r, uint16_t key) {
    int32_t n = 0;
    for (int32_t y = r.Top; y < r.Bottom; ++y)
        for (int32_t x = r.Left; x < r.Right; ++x) n += p.At(x, y) != key;
    return n;
}

std::string Describe(const Rect& r) {
    return "(" + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
           std::to_string(r.Bottom) + ")";
}

// Every rectangle shows something, and no sprite pixel lies outside all
// rectangles (a sprite crossing its border would show in its neighbour's
// copies or be cut off in its own).
void ExpectSpritesInsideRects(const Picture& p, const std::vector<Rect>& rects, uint16_t key, const char* name) {
    ASSERT_FALSE(p.Px.empty()) << name;
    for (const Rect& r : rects) {
        ASSERT_TRUE(r.Left >= 0 && r.Top >= 0 && r.Right <= p.Width && r.Bottom <= p.Height) << name << Describe(r);
        EXPECT_GT(CountNonKey(p, r, key), 0) << name << " rectangle " << Describe(r) << " is empty";
    }
    std::vector<uint8_t> covered(p.Px.size(), 0);
    for (const Rect& r : rects)
        for (int32_t y = r.Top; y < r.Bottom; ++y)
            for (int32_t x = r.Left; x < r.Right; ++x) covered[static_cast<size_t>(y) * p.Width + x] = 1;
    int32_t stray = 0;
    std::string first;
    for (int32_t y = 0; y < p.Height; ++y)
        for (int32_t x = 0; x < p.Width; ++x)
            if (!covered[static_cast<size_t>(y) * p.Width + x] && p.At(x, y) != key) {
                if (stray++ == 0) first = "(" + std::to_string(x) + "," + std::to_string(y) + ")";
            }
    EXPECT_EQ(stray, 0) << name << ": pixels outside every rectangle, first at " << first;
}

TEST(GeneratedBitmaps, HaveTheSizesTheGameLoads) {
    for (const BitmapFile& entry : Bitmaps) {
        SCOPED_TRACE(entry.File);
        LoadPicture(entry.Id);
    }
}

TEST(GeneratedBitmaps, MainSheetSpritesFillAndStayInTheirRects) {
    const Picture p = LoadPicture(BitmapId::Main);
    Tables t;
    ExpectSpritesInsideRects(p, t.MainSheet(), 0xFFFF, "main.bmp");
}

TEST(GeneratedBitmaps, GaugesFillAndStayInTheirRects) {
    const Picture p = LoadPicture(BitmapId::Scale);
    Tables t;
    ExpectSpritesInsideRects(p, t.ScaleSheet(), 0, "scale.bmp");
    // The frame is drawn over the bars (2 px in, 8 px down, up to 255 by 29),
    // so it must leave that window transparent or it would hide them.
    const Rect frame = t.form.GaugeRects[0];
    const Rect window{frame.Left + 2, frame.Top + 8, frame.Left + 2 + 255, frame.Top + 8 + 29};
    EXPECT_EQ(CountNonKey(p, window, 0), 0);
}

TEST(GeneratedBitmaps, LogoIsDrawnOnATransparentBackground) {
    const Picture p = LoadPicture(BitmapId::Title);
    ASSERT_FALSE(p.Px.empty());
    Tables t;
    const Rect logo = t.form.LogoRect;
    const int32_t area = (logo.Right - logo.Left) * (logo.Bottom - logo.Top);
    const int32_t drawn = CountNonKey(p, logo, 0);
    // Big letters, but with the black key showing between and around them.
    EXPECT_GT(drawn, area / 5);
    EXPECT_LT(drawn, area * 9 / 10);
}

// The opaque sheets: the ground strips must differ from each other (they
// animate the scroll) and the banner must not be a flat colour.
TEST(GeneratedBitmaps, GroundStripsAnimateAndBannerHasAPattern) {
    const Picture g = LoadPicture(BitmapId::Ground);
    const Picture b = LoadPicture(BitmapId::PinkLine);
    ASSERT_FALSE(g.Px.empty());
    ASSERT_FALSE(b.Px.empty());
    Tables t;
    for (int32_t i = 0; i < 4; ++i) {
        const Rect a = t.form.GroundRects[i], n = t.form.GroundRects[(i + 1) % 4];
        int32_t differ = 0;
        for (int32_t y = 0; y < a.Bottom - a.Top; ++y)
            for (int32_t x = a.Left; x < a.Right; ++x) differ += g.At(x, a.Top + y) != g.At(x, n.Top + y);
        EXPECT_GT(differ, 100) << "ground strips " << i << " and " << (i + 1) % 4 << " look the same";
    }
    std::vector<uint16_t> colours;
    for (int32_t y = t.form.BannerRect.Top; y < t.form.BannerRect.Bottom; ++y)
        for (int32_t x = t.form.BannerRect.Left; x < t.form.BannerRect.Right; ++x) colours.push_back(b.At(x, y));
    std::sort(colours.begin(), colours.end());
    EXPECT_GE(std::unique(colours.begin(), colours.end()) - colours.begin(), 3);
}

// ---- Sounds -----------------------------------------------------------------

struct Wave {
    uint32_t FmtSize = 0, Format = 0, Channels = 0, Rate = 0, ByteRate = 0, Align = 0, Bits = 0;
    std::string Data;
};

Wave ParseWav(const std::string& b) {
    Wave w;
    EXPECT_GE(b.size(), 12u);
    if (b.size() < 12) return w;
    EXPECT_EQ(b.substr(0, 4), "RIFF");
    EXPECT_EQ(b.substr(8, 4), "WAVE");
    EXPECT_EQ(U32(b, 4) + 8, b.size());
    size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::string id = b.substr(at, 4);
        const uint32_t size = U32(b, at + 4);
        const size_t body = at + 8;
        if (body + size > b.size()) {
            ADD_FAILURE() << "chunk " << id << " runs past the end";
            break;
        }
        if (id == "fmt ") {
            w.FmtSize = size;
            if (size >= 16) {
                w.Format = U16(b, body);
                w.Channels = U16(b, body + 2);
                w.Rate = U32(b, body + 4);
                w.ByteRate = U32(b, body + 8);
                w.Align = U16(b, body + 12);
                w.Bits = U16(b, body + 14);
            }
        } else if (id == "data") {
            w.Data = b.substr(body, size);
        }
        at = body + size + (size & 1);
    }
    return w;
}

TEST(GeneratedSounds, AreEightBitMonoPcmAtTheirRates) {
    for (const SoundFile& entry : Sounds) {
        SCOPED_TRACE(entry.File);
        const Wave w = ParseWav(ReadAll(fs::path(PM_BUILD_DIR) / entry.File));
        EXPECT_EQ(w.FmtSize, 16u);
        EXPECT_EQ(w.Format, 1u);
        EXPECT_EQ(w.Channels, 1u);
        EXPECT_EQ(w.Bits, 8u);
        EXPECT_EQ(w.Align, 1u);
        EXPECT_EQ(w.Rate, static_cast<uint32_t>(entry.Rate));
        EXPECT_EQ(w.ByteRate, static_cast<uint32_t>(entry.Rate));
        // Short effects: a few hundredths of a second up to a couple of seconds.
        EXPECT_GE(w.Data.size(), static_cast<size_t>(entry.Rate) / 40);
        EXPECT_LE(w.Data.size(), static_cast<size_t>(entry.Rate) * 3);
    }
}

TEST(GeneratedSounds, AreLoudButDoNotClip) {
    for (const SoundFile& entry : Sounds) {
        SCOPED_TRACE(entry.File);
        const Wave w = ParseWav(ReadAll(fs::path(PM_BUILD_DIR) / entry.File));
        ASSERT_FALSE(w.Data.empty());
        int32_t run = 0, longest = 0, peak = 0;
        for (char c : w.Data) {
            const int32_t v = static_cast<uint8_t>(c);
            run = (v == 0 || v == 255) ? run + 1 : 0;
            longest = std::max(longest, run);
            peak = std::max(peak, std::abs(v - 128));
        }
        EXPECT_LE(longest, 3);
        EXPECT_GE(peak, 128 * 6 / 10);   // clearly audible
    }
}

// The bell rings through a whole dash.
TEST(GeneratedSounds, BellLastsAboutASecond) {
    const SoundFile& bell = Sounds[static_cast<size_t>(SoundId::Bell)];
    const Wave w = ParseWav(ReadAll(fs::path(PM_BUILD_DIR) / bell.File));
    EXPECT_GE(w.Data.size(), static_cast<size_t>(bell.Rate) * 8 / 10);
}

// The game's own readers take every file, and see what the file holds.
TEST(GeneratedData, LoadWithTheGamesReaders) {
    for (const BitmapFile& entry : Bitmaps) {
        SCOPED_TRACE(entry.File);
        const Surface s = LoadBmpFile(std::string(PM_BUILD_DIR) + entry.File, entry.Width, entry.Height);
        const Picture p = LoadPicture(entry.Id);
        ASSERT_EQ(s.Pixels.size(), p.Px.size());
        EXPECT_TRUE(s.Pixels == p.Px);
    }
    for (const SoundFile& entry : Sounds) {
        SCOPED_TRACE(entry.File);
        const WaveData w = LoadWavFile(std::string(PM_BUILD_DIR) + entry.File, entry.Rate);
        EXPECT_EQ(w.Rate, entry.Rate);
        EXPECT_EQ(w.Samples.size(), ParseWav(ReadAll(fs::path(PM_BUILD_DIR) / entry.File)).Data.size());
    }
}

// ---- The generator ----------------------------------------------------------

std::vector<std::pair<std::string, std::string>> Generate(const fs::path& dir) {
    fs::remove_all(dir);
    const std::string cmd = std::string("\"") + PM_BUILD_DIR + "pellimunch-gen\" \"" + dir.string() + "\"";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) files.emplace_back(fs::relative(e.path(), dir).string(), ReadAll(e.path()));
    std::sort(files.begin(), files.end());
    return files;
}

TEST(Generator, WritesTheSameBytesOnEveryRun) {
    const fs::path base = fs::temp_directory_path() / ("pellimunch-gen-test-" + std::to_string(::getpid()));
    const auto first = Generate(base / "a");
    const auto second = Generate(base / "b");
    fs::remove_all(base);
    EXPECT_EQ(first.size(), Bitmaps.size() + Sounds.size());
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].first, second[i].first);
        EXPECT_TRUE(first[i].second == second[i].second) << first[i].first << " differs between runs";
    }
    // Exactly the files the game loads.
    for (const BitmapFile& s : Bitmaps)
        EXPECT_TRUE(std::any_of(first.begin(), first.end(), [&](const auto& f) { return f.first == s.File; })) << s.File;
    for (const SoundFile& s : Sounds)
        EXPECT_TRUE(std::any_of(first.begin(), first.end(), [&](const auto& f) { return f.first == s.File; })) << s.File;
}

TEST(Generator, RefusesAMissingOutputFolderArgument) {
    const std::string cmd = std::string("\"") + PM_BUILD_DIR + "pellimunch-gen\" > /dev/null 2>&1";
    EXPECT_NE(std::system(cmd.c_str()), 0);
}

}  // namespace
}  // namespace pm

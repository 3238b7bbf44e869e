// The fuzzers' checks on the committed seed corpus and on every input a
// fuzzer has ever caught failing (fuzz/regressions/<target>/), so each crash
// found stays a regression test in the ordinary build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../../fuzz/fuzz_checks.h"

namespace pm {
namespace {

namespace fs = std::filesystem;

using Check = std::string (*)(const uint8_t*, size_t);

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a check on every file of fuzz/corpus/<target> and
// fuzz/regressions/<target>; returns how many files there were.
int RunAll(const std::string& target, Check check) {
    int files = 0;
    for (const char* set : {"corpus", "regressions"}) {
        const fs::path dir = fs::path(PM_SOURCE_DIR) / "fuzz" / set / target;
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (!entry.is_regular_file()) continue;
            const std::string bytes = Slurp(entry.path());
            const std::string why = check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            EXPECT_EQ(why, "") << entry.path();
            ++files;
        }
    }
    return files;
}

TEST(HardeningFuzzCorpus, EveryInputPassesItsChecks) {
    EXPECT_GE(RunAll("bmp", fuzz::CheckBmp), 8);
    EXPECT_GE(RunAll("wav", fuzz::CheckWav), 6);
    EXPECT_GE(RunAll("score", fuzz::CheckScore), 10);
    EXPECT_GE(RunAll("script", fuzz::CheckScript), 6);
}

// The seeds are what they claim to be: the well-formed ones load, the broken
// ones are refused with the reason a player would need.
TEST(HardeningFuzzCorpus, SeedsLoadOrFailAsNamed) {
    const fs::path bmp = fs::path(PM_SOURCE_DIR) / "fuzz/corpus/bmp";
    struct Case {
        const char* File;
        int32_t W, H;
        const char* Refusal;   // null: must load
    };
    const Case bitmaps[] = {
        {"gen-8x6.bmp", 8, 6, nullptr},
        {"gen-5x3-padded.bmp", 5, 3, nullptr},
        {"pal8-4x4.bmp", 4, 4, nullptr},
        {"pal8-full-3x2.bmp", 3, 2, nullptr},
        {"rgb32-3x3.bmp", 3, 3, nullptr},
        {"bitfields32-2x2-topdown.bmp", 2, 2, nullptr},
        {"rgb24-topdown-3x2.bmp", 3, 2, nullptr},
        {"gen-5x3-truncated.bmp", 5, 3, "truncated"},
        {"rle8-2x2.bmp", 2, 2, "compress"},
        {"not-a-bitmap.bmp", 2, 2, "not a BMP"},
        {"gen-8x6.bmp", 8, 7, "wrong size 8 x 6, expected 8 x 7"},
    };
    for (const Case& c : bitmaps) {
        const std::string bytes = Slurp(bmp / c.File);
        ASSERT_FALSE(bytes.empty() && c.Refusal == nullptr) << c.File;
        try {
            const Surface s = DecodeBmp(c.File, bytes, c.W, c.H);
            EXPECT_EQ(c.Refusal, nullptr) << c.File << " loaded";
            EXPECT_EQ(s.Width, c.W);
        } catch (const StartupError& e) {
            ASSERT_NE(c.Refusal, nullptr) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.Refusal), std::string::npos) << e.what();
        }
    }

    const fs::path wav = fs::path(PM_SOURCE_DIR) / "fuzz/corpus/wav";
    const std::pair<const char*, const char*> waves[] = {
        {"gen-eat.wav", nullptr},        {"gen-land.wav", nullptr},   {"odd-33.wav", nullptr},
        {"list-chunk.wav", nullptr},     {"rate-22050.wav", "22050"}, {"stereo16.wav", "channels"},
        {"truncated.wav", "truncated"},
    };
    for (const auto& [file, refusal] : waves) {
        try {
            const WaveData w = DecodeWav(file, Slurp(wav / file), 11025);
            EXPECT_EQ(refusal, nullptr) << file << " loaded";
            if (std::string(file) == "odd-33.wav" || std::string(file) == "list-chunk.wav") {
                EXPECT_EQ(w.Samples.size(), 33u);
            }
        } catch (const StartupError& e) {
            ASSERT_NE(refusal, nullptr) << e.what();
            EXPECT_NE(std::string(e.what()).find(refusal), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace pm

// The bitmap and wave readers on files made here: good files in every layout
// the readers accept, and the damaged ones they must refuse with a message
// that names the file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "common/file_bytes.h"
#include "platform/data_files.h"

namespace pm {
namespace {

using files::Put32;
using files::Set16;
using files::Set32;

// A w x h BMP whose pixel (x, y) (top-left origin) has colour f(x, y).
std::string MakeBmp(int32_t w, int32_t h, int bits, bool topDown, const std::function<Rgb(int, int)>& f,
                    std::vector<Rgb> palette = {}) {
    const size_t paletteBytes = bits == 8 ? 4 * palette.size() : 0;
    const size_t stride = (static_cast<size_t>(w) * bits + 31) / 32 * 4;
    const size_t offset = 14 + 40 + paletteBytes;
    std::string b(offset + stride * h, '\0');
    b[0] = 'B';
    b[1] = 'M';
    Set32(b, 2, static_cast<uint32_t>(b.size()));
    Set32(b, 10, static_cast<uint32_t>(offset));
    Set32(b, 14, 40);
    Set32(b, 18, static_cast<uint32_t>(w));
    Set32(b, 22, static_cast<uint32_t>(topDown ? -h : h));
    Set16(b, 26, 1);
    Set16(b, 28, static_cast<uint32_t>(bits));
    Set32(b, 46, static_cast<uint32_t>(palette.size()));
    for (size_t i = 0; i < palette.size(); ++i) {
        b[54 + 4 * i] = static_cast<char>(palette[i].B);
        b[55 + 4 * i] = static_cast<char>(palette[i].G);
        b[56 + 4 * i] = static_cast<char>(palette[i].R);
    }
    for (int y = 0; y < h; ++y) {
        const size_t row = offset + stride * static_cast<size_t>(topDown ? y : h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const Rgb c = f(x, y);
            if (bits == 8) {
                size_t index = 0;
                while (index < palette.size() && (palette[index].R != c.R || palette[index].G != c.G ||
                                                  palette[index].B != c.B))
                    ++index;
                b[row + x] = static_cast<char>(index);
            } else {
                const size_t at = row + static_cast<size_t>(x) * (bits / 8);
                b[at] = static_cast<char>(c.B);
                b[at + 1] = static_cast<char>(c.G);
                b[at + 2] = static_cast<char>(c.R);
                if (bits == 32) b[at + 3] = static_cast<char>(0xFF);
            }
        }
    }
    return b;
}

Rgb Pattern(int x, int y) {
    return Rgb{static_cast<uint8_t>(x * 40), static_cast<uint8_t>(y * 60), static_cast<uint8_t>(x * 7 + y)};
}

// The message of the StartupError that f throws, or "" when it throws none.
std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const StartupError& e) {
        return e.what();
    }
    return "";
}

std::string BmpError(const std::string& bytes, int32_t w = 5, int32_t h = 3) {
    return ErrorOf([&] { DecodeBmp("bmp/main.bmp", bytes, w, h); });
}

TEST(BmpReader, ReadsEveryLayoutPixelForPixel) {
    for (int bits : {24, 32}) {
        for (bool topDown : {false, true}) {
            const Surface s = DecodeBmp("bmp/x.bmp", MakeBmp(5, 3, bits, topDown, Pattern), 5, 3);
            ASSERT_EQ(s.Width, 5);
            ASSERT_EQ(s.Height, 3);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 5; ++x) {
                    const Rgb c = Pattern(x, y);
                    EXPECT_EQ(s.At(x, y), Rgb565(c.R, c.G, c.B)) << bits << " bits, top-down " << topDown;
                }
        }
    }
    // Paletted: a smaller palette than 256 entries (colours-used set).
    const std::vector<Rgb> palette{{0, 0, 0}, {255, 255, 255}, {200, 16, 64}};
    auto f = [&](int x, int y) { return palette[(x + y) % 3]; };
    const Surface s = DecodeBmp("bmp/x.bmp", MakeBmp(5, 3, 8, false, f, palette), 5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(s.At(x, y), Rgb565(f(x, y).R, f(x, y).G, f(x, y).B));
    EXPECT_EQ(s.At(1, 0), 0xFFFF);
}

TEST(BmpReader, RefusesDamagedFilesWithOneLineNamingTheFile) {
    const std::string good = MakeBmp(5, 3, 24, false, Pattern);
    ASSERT_EQ(BmpError(good), "");

    // Truncated at every length: always a clean error.
    for (size_t n = 0; n < good.size(); ++n) {
        const std::string message = BmpError(good.substr(0, n));
        EXPECT_EQ(message.rfind("bmp/main.bmp: ", 0), 0u) << n << ": " << message;
        EXPECT_EQ(message.find('\n'), std::string::npos);
    }
    EXPECT_EQ(BmpError(good.substr(0, good.size() - 1)), "bmp/main.bmp: truncated: the pixel data is cut short");

    EXPECT_EQ(BmpError(good, 6, 3), "bmp/main.bmp: wrong size 5 x 3, expected 6 x 3");
    EXPECT_EQ(BmpError(good, 5, 4), "bmp/main.bmp: wrong size 5 x 3, expected 5 x 4");

    std::string b = good;
    Set16(b, 28, 16);
    EXPECT_EQ(BmpError(b), "bmp/main.bmp: unsupported bit depth 16 (need 8, 24 or 32)");
    b = good;
    Set32(b, 30, 1);   // run-length compressed
    EXPECT_NE(BmpError(b).find("compress"), std::string::npos);
    b = good;
    b[0] = 'P';
    EXPECT_EQ(BmpError(b), "bmp/main.bmp: not a BMP file");
    b = good;
    Set32(b, 14, 12);   // the old core header
    EXPECT_NE(BmpError(b).find("unsupported bitmap header"), std::string::npos);

    // Absurd header values.
    b = good;
    Set32(b, 22, 0x80000000u);   // the most negative height
    EXPECT_NE(BmpError(b).find("wrong size"), std::string::npos);
    b = good;
    Set32(b, 10, 0xFFFFFFF0u);   // pixel data far beyond the end
    EXPECT_EQ(BmpError(b), "bmp/main.bmp: truncated: the pixel data is cut short");
    b = good;
    Set32(b, 10, 4);   // pixel data inside the header
    EXPECT_NE(BmpError(b).find("offset"), std::string::npos);
    b = good;
    Set32(b, 14, 0xFFFFFFFFu);
    EXPECT_NE(BmpError(b).find("truncated"), std::string::npos);

    // Paletted: a palette too large, and a pixel beyond a short palette.
    const std::vector<Rgb> two{{0, 0, 0}, {9, 9, 9}};
    std::string p = MakeBmp(5, 3, 8, false, [&](int, int) { return two[1]; }, two);
    ASSERT_EQ(BmpError(p), "");
    Set32(p, 46, 257);
    EXPECT_NE(BmpError(p).find("palette"), std::string::npos);
    Set32(p, 46, 2);
    p[p.size() - 4] = 7;   // a pixel of the first row uses entry 7
    EXPECT_NE(BmpError(p).find("beyond the palette"), std::string::npos);
}

TEST(BmpReader, SurvivesCorruptedBytes) {
    // Every single byte of the headers set to extreme values: no crash, and
    // either a clean error or a picture of the expected size.
    const std::string good = MakeBmp(5, 3, 8, true, [](int, int) { return Rgb{1, 2, 3}; }, {{1, 2, 3}});
    for (size_t at = 0; at < 60; ++at) {
        for (int v : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
            std::string b = good;
            b[at] = static_cast<char>(v);
            try {
                const Surface s = DecodeBmp("bmp/x.bmp", b, 5, 3);
                EXPECT_EQ(s.Pixels.size(), 15u);
            } catch (const StartupError& e) {
                EXPECT_EQ(std::string(e.what()).rfind("bmp/x.bmp: ", 0), 0u);
            }
        }
    }
}

// An 8-bit mono wave with the given header fields and an extra chunk before
// the samples.
std::string MakeWav(const std::string& samples, uint32_t rate = 11025, uint16_t channels = 1,
                    uint16_t bits = 8, uint16_t format = 1, const std::string& extra = std::string("LIST\x03\0\0\0abc", 11)) {
    std::string fmt(16, '\0');
    Set16(fmt, 0, format);
    Set16(fmt, 2, channels);
    Set32(fmt, 4, rate);
    Set32(fmt, 8, rate * channels * bits / 8);
    Set16(fmt, 12, static_cast<uint32_t>(channels * bits / 8));
    Set16(fmt, 14, bits);
    std::string b = "RIFF";
    Put32(b, 0);
    b += "WAVE";
    b += "fmt ";
    Put32(b, 16);
    b += fmt;
    b += extra;
    if (extra.size() % 2) b += '\0';   // the pad byte of an odd chunk
    b += "data";
    Put32(b, static_cast<uint32_t>(samples.size()));
    b += samples;
    Set32(b, 4, static_cast<uint32_t>(b.size() - 8));
    return b;
}

std::string WavError(const std::string& bytes, int32_t rate = 11025) {
    return ErrorOf([&] { DecodeWav("wav/eat.wav", bytes, rate); });
}

TEST(WavReader, ReadsSamplesPastOtherChunks) {
    const std::string samples{'\x80', '\xFF', '\x00', '\x10', '\x81'};
    const WaveData w = DecodeWav("wav/eat.wav", MakeWav(samples), 11025);
    EXPECT_EQ(w.Rate, 11025);
    EXPECT_EQ(std::string(w.Samples.begin(), w.Samples.end()), samples);
    // The odd sample count with its pad byte missing at the end of the file.
    EXPECT_EQ(DecodeWav("w", MakeWav(samples, 8820), 8820).Samples.size(), 5u);
}

TEST(WavReader, RefusesWrongFormatsAndDamagedFiles) {
    const std::string s(100, '\x80');
    EXPECT_EQ(WavError(MakeWav(s, 22050), 11025), "wav/eat.wav: sample rate 22050 Hz, expected 11025 Hz");
    EXPECT_EQ(WavError(MakeWav(s, 11025, 2, 8)), "wav/eat.wav: 2 channels, need mono");
    EXPECT_EQ(WavError(MakeWav(s, 11025, 1, 16)), "wav/eat.wav: 16-bit samples, need 8-bit");
    EXPECT_EQ(WavError(MakeWav(s, 11025, 1, 8, 3)), "wav/eat.wav: not PCM (format 3)");
    EXPECT_EQ(WavError(std::string("RIFF\0\0\0\0WAVE", 12)), "wav/eat.wav: no 'fmt ' chunk");
    EXPECT_EQ(WavError(MakeWav(s).substr(0, 48)), "wav/eat.wav: no 'data' chunk");

    const std::string good = MakeWav(s);
    for (size_t n = 0; n < good.size(); ++n) {
        const std::string message = WavError(good.substr(0, n));
        EXPECT_EQ(message.rfind("wav/eat.wav: ", 0), 0u) << n << ": " << message;
    }
    EXPECT_EQ(WavError(good.substr(0, good.size() - 1)), "wav/eat.wav: truncated: the 'data' chunk is cut short");
    std::string b = good;
    Set32(b, 40, 0xFFFFFFFFu);   // the LIST chunk claims 4 GB
    EXPECT_EQ(WavError(b), "wav/eat.wav: truncated: the 'LIST' chunk is cut short");
    b = good;
    b[36] = '\n';   // a chunk name with control bytes stays a one-line message
    Set32(b, 40, 0xFFFFFFFFu);
    EXPECT_EQ(WavError(b), "wav/eat.wav: truncated: the '?IST' chunk is cut short");
}

class DataFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pellimunch-data-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string dir_;
};

TEST_F(DataFolder, LoadsFilesAndExplainsWhyOneCannotBeRead) {
    const std::string bmp = Write("a.bmp", MakeBmp(4, 2, 24, false, Pattern));
    EXPECT_EQ(LoadBmpFile(bmp, 4, 2).At(3, 1), Rgb565(Pattern(3, 1).R, Pattern(3, 1).G, Pattern(3, 1).B));
    const std::string wav = Write("a.wav", MakeWav("abc", 44100));
    EXPECT_EQ(LoadWavFile(wav, 44100).Samples.size(), 3u);

    const std::string missing = dir_ + "/none.bmp";
    EXPECT_EQ(ErrorOf([&] { LoadBmpFile(missing, 4, 2); }), missing + ": cannot open: No such file or directory");
    EXPECT_EQ(ErrorOf([&] { LoadWavFile(dir_, 11025); }), dir_ + ": is a directory, not a file");
    if (geteuid() != 0) {   // root reads anything
        chmod(bmp.c_str(), 0);
        EXPECT_EQ(ErrorOf([&] { LoadBmpFile(bmp, 4, 2); }), bmp + ": cannot open: Permission denied");
    }
}

// Opening a named pipe waits for a writer that never comes, and a device may
// never end: both are refused at once, before any read.
TEST_F(DataFolder, PipesAndDevicesAreRefusedWithoutWaiting) {
    const std::string pipe = dir_ + "/eat.wav";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(ErrorOf([&] { LoadWavFile(pipe, 11025); }), pipe + ": is a named pipe, not a file");
    EXPECT_EQ(ErrorOf([&] { LoadBmpFile("/dev/zero", 4, 2); }), "/dev/zero: is a device, not a file");
    // Through a symbolic link just the same.
    const std::string link = dir_ + "/main.bmp";
    std::filesystem::create_symlink("/dev/zero", link);
    EXPECT_EQ(ErrorOf([&] { LoadBmpFile(link, 4, 2); }), link + ": is a device, not a file");
}

TEST(ProgramFolder, IsTheExecutablesFolderWithASlash) {
    const std::string folder = MyPath();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(std::filesystem::canonical(folder),
              std::filesystem::canonical("/proc/self/exe").parent_path());
}

}  // namespace
}  // namespace pm

// make_seeds DIR: writes the fuzzers' seed corpus into DIR/{bmp,wav,score,script}.
// Pictures and sounds come from the data generator's own writers (small sizes
// keep the fuzzers fast), plus the hand-made variants the game's reader
// accepts or must refuse: palette and 32-bit bitmaps, top-down rows, odd
// chunks. The committed corpus is this program's output; run it again after
// changing it.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "image.h"
#include "sounds.h"
#include "wave.h"

namespace {

namespace fs = std::filesystem;

void Put16(std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A bitmap of any of the depths the game reads, written by hand.
// coloursUsed is the header's field: 0 means a full palette of 256.
std::string HandBmp(int32_t w, int32_t h, uint16_t bits, uint32_t compression, uint32_t coloursUsed, bool topDown) {
    const uint32_t paletteEntries = bits == 8 ? (coloursUsed ? coloursUsed : 256) : 0;
    const uint32_t stride = (static_cast<uint32_t>(w) * bits + 31) / 32 * 4;
    const uint32_t masks = compression == 3 ? 12 : 0;
    const uint32_t offset = 14 + 40 + masks + paletteEntries * 4;
    std::string s = "BM";
    Put32(s, offset + stride * static_cast<uint32_t>(h));
    Put32(s, 0);
    Put32(s, offset);
    Put32(s, 40);
    Put32(s, static_cast<uint32_t>(w));
    Put32(s, static_cast<uint32_t>(topDown ? -h : h));
    Put16(s, 1);
    Put16(s, bits);
    Put32(s, compression);
    Put32(s, stride * static_cast<uint32_t>(h));
    Put32(s, 2835);
    Put32(s, 2835);
    Put32(s, coloursUsed);
    Put32(s, 0);
    if (masks) {
        Put32(s, 0x00FF0000u);
        Put32(s, 0x0000FF00u);
        Put32(s, 0x000000FFu);
    }
    for (uint32_t i = 0; i < paletteEntries; ++i) Put32(s, i * 0x00102030u);
    for (int32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < stride; ++x)
            s += static_cast<char>(bits == 8 ? (x + static_cast<uint32_t>(y)) % paletteEntries
                                             : (x * 37 + static_cast<uint32_t>(y) * 11) & 0xFF);
    return s;
}

gen::Image Pattern(int w, int h) {
    gen::Image img(w, h, gen::Rgb(255, 255, 255));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x + y) % 3 == 0) img.Set(x, y, gen::Rgb(x * 40, y * 50, 200));
    return img;
}

std::string WavWithList(const gen::Sound& s) {
    // The generator's file with a LIST chunk (odd-sized, so padded) put in
    // before the samples, as many editors write.
    std::string plain = gen::EncodeWav(s);
    const std::string fmtPart = plain.substr(12, 8 + 16);
    const std::string dataPart = plain.substr(12 + 24);
    std::string list = "LIST";
    Put32(list, 5);
    list += "INFOx";
    list += '\0';
    std::string body = "WAVE" + fmtPart + list + dataPart;
    std::string out = "RIFF";
    Put32(out, static_cast<uint32_t>(body.size()));
    return out + body;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    const fs::path root = argv[1];
    bool ok = true;
    auto put = [&](const char* sub, const std::string& name, const std::string& bytes) {
        fs::create_directories(root / sub);
        ok = gen::WriteFile((root / sub / name).string(), bytes) && ok;
    };

    // Bitmaps.
    put("bmp", "gen-8x6.bmp", Pattern(8, 6).EncodeBmp());
    put("bmp", "gen-5x3-padded.bmp", Pattern(5, 3).EncodeBmp());
    const std::string cut = Pattern(5, 3).EncodeBmp();
    put("bmp", "gen-5x3-truncated.bmp", cut.substr(0, cut.size() - 5));
    put("bmp", "pal8-4x4.bmp", HandBmp(4, 4, 8, 0, 4, false));
    put("bmp", "pal8-full-3x2.bmp", HandBmp(3, 2, 8, 0, 0, false));
    put("bmp", "rgb32-3x3.bmp", HandBmp(3, 3, 32, 0, 0, false));
    put("bmp", "bitfields32-2x2-topdown.bmp", HandBmp(2, 2, 32, 3, 0, true));
    put("bmp", "rgb24-topdown-3x2.bmp", HandBmp(3, 2, 24, 0, 0, true));
    put("bmp", "rle8-2x2.bmp", HandBmp(2, 2, 8, 1, 2, false));
    put("bmp", "not-a-bitmap.bmp", "BA not a bitmap at all, just text\n");

    // Waves: the game's smallest real sound, and hand-shaped variants.
    for (const gen::NamedSound& s : gen::MakeSounds())
        if (s.File == "wav/eat.wav" || s.File == "wav/land.wav") put("wav", "gen-" + s.File.substr(4), gen::EncodeWav(s.Data));
    gen::Sound tone;
    tone.Rate = 11025;
    for (int i = 0; i < 33; ++i) tone.S.push_back((i % 8) / 4.0 - 1.0);
    put("wav", "odd-33.wav", gen::EncodeWav(tone));
    put("wav", "list-chunk.wav", WavWithList(tone));
    gen::Sound other = tone;
    other.Rate = 22050;
    put("wav", "rate-22050.wav", gen::EncodeWav(other));
    std::string stereo16 = gen::EncodeWav(tone);
    stereo16[22] = 2;    // channels
    stereo16[34] = 16;   // bits per sample
    put("wav", "stereo16.wav", stereo16);
    const std::string full = gen::EncodeWav(tone);
    put("wav", "truncated.wav", full.substr(0, 40));

    // score.dat contents.
    const char* scores[][2] = {
        {"default.dat", " 1000 \r\n"}, {"zero.dat", " 0 \r\n"},     {"empty.dat", ""},
        {"spaces.dat", "     "},       {"garbage.dat", "hello\r\n"}, {"negative.dat", "-42 \r\n"},
        {"max.dat", " 2147483647 \r\n"}, {"over.dat", " 2147483648 \r\n"}, {"comma.dat", "12,34\r\n"},
        {"tab.dat", "\t99\n"},         {"plus.dat", "+7 "},         {"digits-then-text.dat", "12abc"},
    };
    for (const auto& s : scores) put("score", s[0], s[1]);

    // Key scripts.
    put("script", "example.txt",
        "# comments and blank lines are ignored\n\n60 -              # idle\n1 LShift\n30 Right\n"
        "12 Right+Space\n1 Up\n200 -\n1 Escape\n");
    put("script", "all-keys.txt", "1 Escape+LShift+RShift+Space+Up+Left+Right+Delete+W+E+R\n2 mouse\n3 left+MOUSE\n");
    put("script", "crlf.txt", "10 -\r\n5 Space\r\n");
    put("script", "bad-count.txt", "10 -\n0 Space\n");
    put("script", "bad-key.txt", "5 Right+Jump\n");
    put("script", "huge-count.txt", "4294967295 -\n4294967296 -\n");
    put("script", "no-newline.txt", "7 Left+Right");

    if (!ok) std::fprintf(stderr, "make_seeds: some files could not be written\n");
    return ok ? 0 : 1;
}

// Reading the game's bitmaps and wave files. The readers trust nothing in a
// file: every offset and size is checked against the bytes actually present
// before it is used, so a damaged or hostile file gives a one-line error
// naming the file, never a crash.
#include "platform/data_files.h"

#include <optional>

namespace pm {

namespace {

[[noreturn]] void Fail(const std::string& name, const std::string& reason) {
    throw StartupError(name + ": " + reason);
}

// Little-endian reads at an offset already known to be in range.
uint16_t U16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t U32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}
int32_t S32(const std::string& b, size_t at) { return static_cast<int32_t>(U32(b, at)); }

std::string Size(int64_t w, int64_t h) { return std::to_string(w) + " x " + std::to_string(h); }

// Game data files are a few hundred kilobytes; anything far larger is not one
// of ours and is refused before it is read into memory.
constexpr uint64_t MaxDataFileBytes = 64 * 1024 * 1024;

std::string ReadWholeFile(const std::string& path) {
    FileRead read = ReadRegularFile(path, MaxDataFileBytes);
    switch (read.Status) {
        case FileRead::Result::Ok: break;
        case FileRead::Result::Missing: Fail(path, "cannot open: " + read.SystemText);
        case FileRead::Result::NotRegular: Fail(path, NotAFileText(read.Kind));
        case FileRead::Result::TooLarge: Fail(path, "file too large (" + std::to_string(read.Size) + " bytes)");
        case FileRead::Result::Failed: Fail(path, read.Why);
    }
    return std::move(read.Bytes);
}

}  // namespace

Surface DecodeBmp(const std::string& name, const std::string& bytes, int32_t width, int32_t height) {
    constexpr size_t FileHeader = 14;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
        Fail(name, "unusable expected size " + Size(width, height));
    if (bytes.size() < FileHeader + 4) Fail(name, "truncated: too short for a bitmap header");
    if (bytes[0] != 'B' || bytes[1] != 'M') Fail(name, "not a BMP file");

    const uint32_t dataOffset = U32(bytes, 10);
    const uint32_t infoSize = U32(bytes, FileHeader);
    if (infoSize < 40) Fail(name, "unsupported bitmap header (" + std::to_string(infoSize) + " bytes; need 40 or more)");
    if (infoSize > bytes.size() - FileHeader) Fail(name, "truncated: the bitmap header is cut short");

    const int32_t fileWidth = S32(bytes, 18);
    const int32_t fileHeightSigned = S32(bytes, 22);
    const uint16_t planes = U16(bytes, 26);
    const uint16_t bits = U16(bytes, 28);
    const uint32_t compression = U32(bytes, 30);
    const uint32_t coloursUsed = U32(bytes, 46);

    // A negative height marks a top-down bitmap; widen before negating so the
    // most negative value cannot overflow.
    const bool topDown = fileHeightSigned < 0;
    const int64_t fileHeight = topDown ? -static_cast<int64_t>(fileHeightSigned) : fileHeightSigned;
    if (fileWidth != width || fileHeight != height)
        Fail(name, "wrong size " + Size(fileWidth, fileHeight) + ", expected " + Size(width, height));
    if (planes != 1) Fail(name, "bad plane count " + std::to_string(planes));
    if (bits != 8 && bits != 24 && bits != 32)
        Fail(name, "unsupported bit depth " + std::to_string(bits) + " (need 8, 24 or 32)");

    constexpr uint32_t BiRgb = 0, BiBitfields = 3;
    if (compression == BiBitfields && bits == 32) {
        // Some writers label plain 32-bit pixels with explicit masks; accept
        // them only when the masks describe the plain layout.
        if (bytes.size() < FileHeader + 52) Fail(name, "truncated: the colour masks are cut short");
        if (U32(bytes, FileHeader + 40) != 0x00FF0000u || U32(bytes, FileHeader + 44) != 0x0000FF00u ||
            U32(bytes, FileHeader + 48) != 0x000000FFu)
            Fail(name, "unsupported colour masks");
    } else if (compression != BiRgb) {
        Fail(name, "compressed bitmaps are not supported (compression " + std::to_string(compression) + ")");
    }

    // The palette of an 8-bit bitmap: four bytes (blue, green, red, unused)
    // per entry, right after the header.
    std::vector<uint16_t> palette;
    if (bits == 8) {
        const uint32_t entries = coloursUsed == 0 ? 256 : coloursUsed;
        if (entries > 256) Fail(name, "bad palette size " + std::to_string(coloursUsed));
        const uint64_t paletteStart = FileHeader + static_cast<uint64_t>(infoSize);
        if (paletteStart + 4ull * entries > bytes.size()) Fail(name, "truncated: the palette is cut short");
        palette.resize(entries);
        for (uint32_t i = 0; i < entries; ++i) {
            const size_t at = static_cast<size_t>(paletteStart + 4ull * i);
            palette[i] = Rgb565(static_cast<uint8_t>(bytes[at + 2]), static_cast<uint8_t>(bytes[at + 1]),
                                static_cast<uint8_t>(bytes[at]));
        }
    }

    // Rows are padded to a multiple of four bytes. The size was checked
    // against the expected one above, so these products are small.
    const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    const uint64_t dataBytes = stride * static_cast<uint64_t>(height);
    if (dataOffset < FileHeader + static_cast<uint64_t>(infoSize)) Fail(name, "bad pixel data offset " + std::to_string(dataOffset));
    if (dataOffset > bytes.size() || dataBytes > bytes.size() - dataOffset)
        Fail(name, "truncated: the pixel data is cut short");

    Surface s(name, width, height);
    const size_t bytesPerPixel = bits / 8;
    for (int32_t y = 0; y < height; ++y) {
        const int32_t fileRow = topDown ? y : height - 1 - y;
        const size_t row = static_cast<size_t>(dataOffset + stride * static_cast<uint64_t>(fileRow));
        uint16_t* out = &s.At(0, y);
        for (int32_t x = 0; x < width; ++x) {
            const size_t at = row + static_cast<size_t>(x) * bytesPerPixel;
            if (bits == 8) {
                const uint8_t index = static_cast<uint8_t>(bytes[at]);
                if (index >= palette.size())
                    Fail(name, "pixel colour " + std::to_string(index) + " is beyond the palette");
                out[x] = palette[index];
            } else {
                out[x] = Rgb565(static_cast<uint8_t>(bytes[at + 2]), static_cast<uint8_t>(bytes[at + 1]),
                                static_cast<uint8_t>(bytes[at]));
            }
        }
    }
    return s;
}

WaveData DecodeWav(const std::string& name, const std::string& bytes, int32_t rate) {
    if (bytes.size() < 12) Fail(name, "truncated: too short for a wave file");
    if (bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) Fail(name, "not a RIFF/WAVE file");

    struct Span {
        size_t At, Size;
    };
    std::optional<Span> fmt, data;
    // Walk the chunks by the bytes actually present; the RIFF size field is
    // often wrong in files from careless writers and is not needed.
    size_t at = 12;
    while (at < bytes.size() && !(fmt && data)) {
        if (bytes.size() - at < 8) Fail(name, "truncated: a chunk header is cut short");
        std::string id = bytes.substr(at, 4);
        for (char& c : id)
            if (c < 0x20 || c > 0x7E) c = '?';   // keep the message one printable line
        const uint32_t size = U32(bytes, at + 4);
        const size_t body = at + 8;
        if (size > bytes.size() - body) Fail(name, "truncated: the '" + id + "' chunk is cut short");
        if (id == "fmt " && !fmt) fmt = Span{body, size};
        if (id == "data" && !data) data = Span{body, size};
        // Chunks are padded to an even size; the pad byte may be missing at
        // the very end of the file.
        at = body + size + (size & 1u);
    }
    if (!fmt) Fail(name, "no 'fmt ' chunk");
    if (!data) Fail(name, "no 'data' chunk");
    if (fmt->Size < 16) Fail(name, "'fmt ' chunk too short");

    const uint16_t format = U16(bytes, fmt->At);
    const uint16_t channels = U16(bytes, fmt->At + 2);
    const uint32_t fileRate = U32(bytes, fmt->At + 4);
    const uint16_t blockAlign = U16(bytes, fmt->At + 12);
    const uint16_t bits = U16(bytes, fmt->At + 14);
    if (format != 1) Fail(name, "not PCM (format " + std::to_string(format) + ")");
    if (channels != 1) Fail(name, std::to_string(channels) + " channels, need mono");
    if (bits != 8) Fail(name, std::to_string(bits) + "-bit samples, need 8-bit");
    if (blockAlign != 1) Fail(name, "bad block alignment " + std::to_string(blockAlign));
    if (static_cast<int64_t>(fileRate) != rate)
        Fail(name, "sample rate " + std::to_string(fileRate) + " Hz, expected " + std::to_string(rate) + " Hz");

    WaveData wave;
    wave.Rate = rate;
    wave.Samples.assign(bytes.begin() + static_cast<std::ptrdiff_t>(data->At),
                        bytes.begin() + static_cast<std::ptrdiff_t>(data->At + data->Size));
    return wave;
}

Surface LoadBmpFile(const std::string& path, int32_t width, int32_t height) {
    return DecodeBmp(path, ReadWholeFile(path), width, height);
}

WaveData LoadWavFile(const std::string& path, int32_t rate) {
    return DecodeWav(path, ReadWholeFile(path), rate);
}

}  // namespace pm

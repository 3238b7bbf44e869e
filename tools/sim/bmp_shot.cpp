#include "bmp_shot.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pm::sim {

namespace {

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

std::string EncodeBmp24(const Surface& s) {
    const uint32_t width = static_cast<uint32_t>(s.Width);
    const uint32_t height = static_cast<uint32_t>(s.Height);
    const uint32_t rowBytes = (width * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * height;
    std::string out;
    out.reserve(54 + imageBytes);
    out += "BM";
    Put32(out, 54 + imageBytes);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height);
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);            // no compression
    Put32(out, imageBytes);
    Put32(out, 2835);         // 72 dots per inch
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int32_t y = s.Height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < s.Width; ++x) {
            const uint16_t p = s.At(x, y);
            const uint32_t r5 = p >> 11, g6 = (p >> 5) & 0x3F, b5 = p & 0x1F;
            out += static_cast<char>((b5 << 3) | (b5 >> 2));
            out += static_cast<char>((g6 << 2) | (g6 >> 4));
            out += static_cast<char>((r5 << 3) | (r5 >> 2));
        }
        for (uint32_t pad = width * 3; pad < rowBytes; ++pad) out += '\0';
    }
    return out;
}

bool SaveBmp24(const Surface& surface, const std::string& path, std::string& error) {
    const std::string bytes = EncodeBmp24(surface);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const int savedErrno = errno;
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        error = path + ": " + std::strerror(written ? errno : savedErrno);
        return false;
    }
    return true;
}

}  // namespace pm::sim

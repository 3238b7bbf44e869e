// A PNG writer for the tools: straight RGBA, 8 bits a channel. The pixels go
// into stored (uncompressed) deflate blocks: an icon is a few kilobytes
// either way, and no library is needed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "file_bytes.h"

namespace pm::files {

inline uint32_t Crc32(const std::string& bytes, uint32_t crc = 0) {
    static const auto table = [] {
        std::vector<uint32_t> t(256);
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

inline void PutPngChunk(std::string& png, const char* type, const std::string& data) {
    PutBe32(png, static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    PutBe32(png, Crc32(body));
}

// rgba holds width * height pixels of four bytes, row by row from the top.
inline std::string EncodePng(int32_t width, int32_t height, const std::vector<uint8_t>& rgba) {
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    std::string raw;
    for (int32_t y = 0; y < height; ++y) {
        raw += '\0';   // no row filter
        raw.append(reinterpret_cast<const char*>(&rgba[static_cast<size_t>(y) * rowBytes]), rowBytes);
    }
    std::string z = "\x78\x01";
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        const bool last = at + n >= raw.size();
        z += static_cast<char>(last ? 1 : 0);
        z += static_cast<char>(n & 0xFF);
        z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF);
        z += static_cast<char>((~n >> 8) & 0xFF);
        z.append(raw, at, n);
        if (last) break;
    }
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBe32(z, b << 16 | a);

    std::string ihdr;
    PutBe32(ihdr, static_cast<uint32_t>(width));
    PutBe32(ihdr, static_cast<uint32_t>(height));
    ihdr += '\x08';   // bits per channel
    ihdr += '\x06';   // RGBA
    ihdr += std::string(3, '\0');
    std::string png = "\x89PNG\r\n\x1a\n";
    PutPngChunk(png, "IHDR", ihdr);
    PutPngChunk(png, "IDAT", z);
    PutPngChunk(png, "IEND", "");
    return png;
}

}  // namespace pm::files

// The one BMP writer of the tools: 24 bits a pixel, uncompressed, the
// BITMAPINFOHEADER, rows bottom-up of blue, green, red, each padded to four
// bytes, 72 dots per inch.
#pragma once

#include <cstdint>
#include <string>

#include "file_bytes.h"

namespace pm::files {

// pixelAt(x, y) gives the colour at (x, y), as anything with R, G and B.
template <class PixelAt>
std::string EncodeBmp24(int32_t width, int32_t height, PixelAt pixelAt) {
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(height);
    std::string s;
    s.reserve(54 + imageBytes);
    // BITMAPFILEHEADER
    s += "BM";
    Put32(s, 54 + imageBytes);
    Put32(s, 0);
    Put32(s, 54);
    // BITMAPINFOHEADER
    Put32(s, 40);
    Put32(s, static_cast<uint32_t>(width));
    Put32(s, static_cast<uint32_t>(height));   // positive: bottom-up
    Put16(s, 1);
    Put16(s, 24);
    Put32(s, 0);                               // BI_RGB
    Put32(s, imageBytes);
    Put32(s, 2835);                            // 72 dpi
    Put32(s, 2835);
    Put32(s, 0);
    Put32(s, 0);
    for (int32_t y = height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < width; ++x) {
            const auto c = pixelAt(x, y);
            s.push_back(static_cast<char>(c.B));
            s.push_back(static_cast<char>(c.G));
            s.push_back(static_cast<char>(c.R));
        }
        for (uint32_t pad = static_cast<uint32_t>(width) * 3; pad < rowBytes; ++pad) s.push_back('\0');
    }
    return s;
}

}  // namespace pm::files

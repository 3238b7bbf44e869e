// pellimunch-icon MAIN_BMP OUTDIR [SIZE...]: the desktop icon, made from the
// plain ball of the game's own sprite sheet exactly as the game shows it
// (16-bit colours, the sheet's white key transparent), centred on a square
// and resampled to the icon sizes a desktop asks for (or to the SIZEs given,
// 16 to 1024: the web page's icons). Writes OUTDIR/<size>/pellimunch.png for
// each size. With --maskable (the web page's icon that a phone crops to its
// own shape) the ball sits in the middle 60 % of an opaque black square, all
// of it inside the circle of 80 % that every crop keeps, written as
// OUTDIR/<size>/pellimunch-maskable.png.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/png_write.h"
#include "platform/data_files.h"
#include "game/sprite_rects.h"
#include "machine/host.h"

namespace {

constexpr int DesktopSizes[] = {16, 32, 48, 64, 128, 256};

// Straight RGBA, 8 bits a channel.
struct Picture {
    int W = 0, H = 0;
    std::vector<uint8_t> Px;   // W * H * 4
};

// Area resampling with premultiplied alpha, so the transparent border does
// not darken the ball's edge.
Picture Resample(const Picture& src, int size) {
    Picture out{size, size, std::vector<uint8_t>(static_cast<size_t>(size) * size * 4)};
    const double scale = static_cast<double>(src.W) / size;
    for (int oy = 0; oy < size; ++oy) {
        for (int ox = 0; ox < size; ++ox) {
            const double x0 = ox * scale, x1 = (ox + 1) * scale, y0 = oy * scale, y1 = (oy + 1) * scale;
            double acc[4] = {0, 0, 0, 0}, area = 0;
            for (int sy = static_cast<int>(y0); sy < y1 && sy < src.H; ++sy) {
                const double hy = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
                for (int sx = static_cast<int>(x0); sx < x1 && sx < src.W; ++sx) {
                    const double wgt = hy * (std::min<double>(sx + 1, x1) - std::max<double>(sx, x0));
                    if (wgt <= 0) continue;
                    const uint8_t* p = &src.Px[(static_cast<size_t>(sy) * src.W + sx) * 4];
                    const double alpha = p[3] / 255.0;
                    for (int c = 0; c < 3; ++c) acc[c] += wgt * p[c] * alpha;
                    acc[3] += wgt * alpha;
                    area += wgt;
                }
            }
            uint8_t* o = &out.Px[(static_cast<size_t>(oy) * size + ox) * 4];
            if (area <= 0 || acc[3] <= 0) continue;   // fully transparent
            for (int c = 0; c < 3; ++c) o[c] = static_cast<uint8_t>(std::min(255.0, acc[c] / acc[3] + 0.5));
            o[3] = static_cast<uint8_t>(std::min(255.0, 255.0 * acc[3] / area + 0.5));
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const bool maskable = argc > 1 && std::string(argv[1]) == "--maskable";
    if (maskable) {
        --argc;
        ++argv;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: pellimunch-icon [--maskable] MAIN_BMP OUTDIR [SIZE...]\n");
        return 2;
    }
    std::vector<int> sizes(std::begin(DesktopSizes), std::end(DesktopSizes));
    if (argc > 3) sizes.clear();
    for (int i = 3; i < argc; ++i) {
        char* end = nullptr;
        const long size = std::strtol(argv[i], &end, 10);
        if (end == argv[i] || *end != '\0' || size < 16 || size > 1024) {
            std::fprintf(stderr, "pellimunch-icon: bad size %s (expected 16 to 1024)\n", argv[i]);
            return 2;
        }
        sizes.push_back(static_cast<int>(size));
    }
    try {
        // The sprite's place on the sheet comes from the game's own table.
        const pm::Rect r = pm::sprites::Balls[pm::BallKind::Plain];
        const pm::Surface sheet = pm::LoadBmpFile(argv[1], pm::Bitmaps[0].Width, pm::Bitmaps[0].Height);

        const int w = r.Right - r.Left, h = r.Bottom - r.Top;
        const int side = maskable ? std::max(w, h) * 5 / 3 : std::max(w, h);
        Picture square{side, side, std::vector<uint8_t>(static_cast<size_t>(side) * side * 4, 0)};
        if (maskable)
            for (size_t i = 3; i < square.Px.size(); i += 4) square.Px[i] = 255;   // opaque black
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint16_t p = sheet.At(r.Left + x, r.Top + y);
                if (p == 0xFFFF) continue;   // the sheet's colour key
                const pm::Rgb c = pm::WidenRgb565(p);
                uint8_t* o = &square.Px[(static_cast<size_t>(y + (side - h) / 2) * side + x + (side - w) / 2) * 4];
                o[0] = c.R;
                o[1] = c.G;
                o[2] = c.B;
                o[3] = 255;
            }
        }

        for (int size : sizes) {
            const std::filesystem::path dir = std::filesystem::path(argv[2]) / std::to_string(size);
            std::filesystem::create_directories(dir);
            const Picture icon = Resample(square, size);
            const std::string png = pm::files::EncodePng(icon.W, icon.H, icon.Px);
            const std::filesystem::path file = dir / (maskable ? "pellimunch-maskable.png" : "pellimunch.png");
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out.write(png.data(), static_cast<std::streamsize>(png.size()));
            if (!out.flush()) {
                std::fprintf(stderr, "pellimunch-icon: cannot write %s\n", file.c_str());
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pellimunch-icon: %s\n", e.what());
        return 1;
    }
    return 0;
}

#include "image.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "common/bmp_write.h"

namespace gen {

void Image::Fill(const Box& b, Color c) {
    for (int y = b.T; y < b.B; ++y)
        for (int x = b.L; x < b.R; ++x) Set(x, y, c);
}

std::string Image::EncodeBmp() const {
    return pm::files::EncodeBmp24(w_, h_, [this](int32_t x, int32_t y) { return At(x, y); });
}

void Layer::Rect(double x0, double y0, double x1, double y1, Color c) {
    const int xa = static_cast<int>(std::ceil(std::min(x0, x1) - 1e-9));
    const int xb = static_cast<int>(std::floor(std::max(x0, x1) + 1e-9));
    const int ya = static_cast<int>(std::ceil(std::min(y0, y1) - 1e-9));
    const int yb = static_cast<int>(std::floor(std::max(y0, y1) + 1e-9));
    for (int y = std::max(ya, 0); y <= std::min(yb, h_ - 1); ++y)
        for (int x = std::max(xa, 0); x <= std::min(xb, w_ - 1); ++x) Set(x, y, c);
}

void Layer::Ellipse(double cx, double cy, double rx, double ry, Color c) {
    if (rx <= 0 || ry <= 0) return;
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) {
            const double dx = (x - cx) / rx, dy = (y - cy) / ry;
            if (dx * dx + dy * dy <= 1.0 + 1e-9) Set(x, y, c);
        }
}

void Layer::Polygon(const std::vector<std::pair<double, double>>& pts, Color c) {
    const size_t n = pts.size();
    if (n < 3) return;
    for (int y = 0; y < h_; ++y) {
        std::vector<double> xs;
        const double sy = y;
        for (size_t i = 0; i < n; ++i) {
            const auto [x0, y0] = pts[i];
            const auto [x1, y1] = pts[(i + 1) % n];
            if ((y0 <= sy && y1 > sy) || (y1 <= sy && y0 > sy)) xs.push_back(x0 + (sy - y0) / (y1 - y0) * (x1 - x0));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            const int xa = static_cast<int>(std::ceil(xs[i] - 0.5));
            const int xb = static_cast<int>(std::floor(xs[i + 1] + 0.5));
            for (int x = std::max(xa, 0); x <= std::min(xb, w_ - 1); ++x) Set(x, y, c);
        }
    }
}

void Layer::Line(double x0, double y0, double x1, double y1, double width, Color c) {
    const double r = width / 2.0;
    const double dx = x1 - x0, dy = y1 - y0;
    const double len2 = dx * dx + dy * dy;
    const int xa = static_cast<int>(std::floor(std::min(x0, x1) - r)), xb = static_cast<int>(std::ceil(std::max(x0, x1) + r));
    const int ya = static_cast<int>(std::floor(std::min(y0, y1) - r)), yb = static_cast<int>(std::ceil(std::max(y0, y1) + r));
    for (int y = std::max(ya, 0); y <= std::min(yb, h_ - 1); ++y)
        for (int x = std::max(xa, 0); x <= std::min(xb, w_ - 1); ++x) {
            double t = len2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0.0;
            t = std::clamp(t, 0.0, 1.0);
            const double px = x0 + t * dx - x, py = y0 + t * dy - y;
            if (px * px + py * py <= r * r + 0.25) Set(x, y, c);
        }
}

int Layer::ShadeIndex(double x, double y, double cx, double cy, double rx, double ry, size_t shades) {
    if (rx <= 0 || ry <= 0 || shades == 0) return -1;
    const double dx = (x - cx) / rx, dy = (y - cy) / ry;
    const double d2 = dx * dx + dy * dy;
    if (d2 > 1.0 + 1e-9) return -1;
    // Light from the upper left and a little toward the viewer.
    const double nz = std::sqrt(std::max(0.0, 1.0 - d2));
    const double lx = -0.5, ly = -0.6, lz = 0.62;
    double lit = (dx * lx + dy * ly + nz * lz) / std::sqrt(lx * lx + ly * ly + lz * lz);
    lit = std::clamp((lit + 0.2) / 1.2, 0.0, 1.0);
    if (shades == 1) return 0;
    // Even steps for the body shades, a narrow top step for the highlight.
    const double top = 0.9;
    if (lit >= top) return static_cast<int>(shades - 1);
    const int k = static_cast<int>(lit / top * static_cast<double>(shades - 1));
    return std::min(k, static_cast<int>(shades) - 2);
}

void Layer::ShadedEllipse(double cx, double cy, double rx, double ry, const std::vector<Color>& shades) {
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) {
            const int k = ShadeIndex(x, y, cx, cy, rx, ry, shades.size());
            if (k >= 0) Set(x, y, shades[static_cast<size_t>(k)]);
        }
}

void Layer::Outline(Color c, bool diagonal) {
    std::vector<uint8_t> add(on_.size(), 0);
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) {
            if (On(x, y)) continue;
            bool touch = On(x - 1, y) || On(x + 1, y) || On(x, y - 1) || On(x, y + 1);
            if (diagonal && !touch) touch = On(x - 1, y - 1) || On(x + 1, y - 1) || On(x - 1, y + 1) || On(x + 1, y + 1);
            if (touch) add[Idx(x, y)] = 1;
        }
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x)
            if (add[Idx(x, y)]) Set(x, y, c);
}

void Layer::DrawOnto(Layer& dst, int x, int y) const {
    for (int j = 0; j < h_; ++j)
        for (int i = 0; i < w_; ++i)
            if (On(i, j)) dst.Set(x + i, y + j, At(i, j));
}

void Paste(Image& sheet, const Box& box, const Layer& layer, uint16_t avoid, int dx, int dy) {
    for (int j = 0; j < layer.H(); ++j)
        for (int i = 0; i < layer.W(); ++i) {
            if (!layer.On(i, j)) continue;
            const int x = box.L + dx + i, y = box.T + dy + j;
            if (x < box.L || y < box.T || x >= box.R || y >= box.B) continue;
            Color c = layer.At(i, j);
            if (To565(c) == avoid) {
                // Off-white for a white key, a dark blue-grey for a black one.
                c = avoid == 0xFFFF ? Rgb(240, 240, 240) : Rgb(16, 12, 32);
            }
            sheet.Set(x, y, c);
        }
}

Color Mix(Color a, Color b, double t) {
    auto m = [t](uint8_t p, uint8_t q) {
        const double v = p + (q - p) * t;
        return static_cast<uint8_t>(std::clamp(static_cast<int>(std::lround(v)), 0, 255));
    };
    return Color{m(a.R, b.R), m(a.G, b.G), m(a.B, b.B)};
}
Color Darker(Color c, double f) { return Mix(c, Rgb(0, 0, 0), f); }
Color Lighter(Color c, double f) { return Mix(c, Rgb(255, 255, 255), f); }

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

}  // namespace gen

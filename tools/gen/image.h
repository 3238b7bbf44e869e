// Pictures for the data generator: an RGB image, a clipped drawing layer with
// a coverage mask (so sprites can be outlined and pasted without spilling into
// a neighbour), and a 24-bit BMP writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gen {

struct Color {
    uint8_t R = 0, G = 0, B = 0;
    friend bool operator==(const Color&, const Color&) = default;
};

constexpr Color Rgb(int r, int g, int b) {
    return Color{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
}

// The game reduces every pixel to 16 bits (5-6-5); the colour keys are
// compared there.
constexpr uint16_t To565(Color c) {
    return static_cast<uint16_t>(((c.R >> 3) << 11) | ((c.G >> 2) << 5) | (c.B >> 3));
}

// Left, top, right, bottom; right and bottom exclusive (as in the game).
struct Box {
    int L = 0, T = 0, R = 0, B = 0;
    int W() const { return R - L; }
    int H() const { return B - T; }
};

class Image {
public:
    Image(int w, int h, Color fill) : w_(w), h_(h), px_(static_cast<size_t>(w) * h, fill) {}
    int W() const { return w_; }
    int H() const { return h_; }
    Color At(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }
    void Set(int x, int y, Color c) {
        if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[static_cast<size_t>(y) * w_ + x] = c;
    }
    void Fill(const Box& b, Color c);

    // 24-bit uncompressed, BITMAPINFOHEADER, rows bottom-up, padded to 4 bytes.
    std::string EncodeBmp() const;

private:
    int w_, h_;
    std::vector<Color> px_;
};

// A sprite being drawn: a w x h canvas whose pixels are either empty or set.
// Everything drawn outside is dropped, so a sprite can never leave its box.
class Layer {
public:
    Layer(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h), on_(static_cast<size_t>(w) * h, 0) {}
    int W() const { return w_; }
    int H() const { return h_; }
    bool On(int x, int y) const { return In(x, y) && on_[Idx(x, y)] != 0; }
    Color At(int x, int y) const { return px_[Idx(x, y)]; }
    void Set(int x, int y, Color c) {
        if (!In(x, y)) return;
        px_[Idx(x, y)] = c;
        on_[Idx(x, y)] = 1;
    }
    void Clear(int x, int y) {
        if (In(x, y)) on_[Idx(x, y)] = 0;
    }
    // Changes only pixels already set.
    void Recolor(int x, int y, Color c) {
        if (On(x, y)) px_[Idx(x, y)] = c;
    }

    // Shapes (all filled, inclusive of their edges).
    void Rect(double x0, double y0, double x1, double y1, Color c);
    void Ellipse(double cx, double cy, double rx, double ry, Color c);
    void Polygon(const std::vector<std::pair<double, double>>& pts, Color c);
    void Line(double x0, double y0, double x1, double y1, double width, Color c);
    // A ball lit from the upper left in a few flat shades, darkest first;
    // the last (highlight) shade covers only a small spot.
    void ShadedEllipse(double cx, double cy, double rx, double ry, const std::vector<Color>& shades);
    // The shade a ShadedEllipse would give at (x, y), or -1 outside it.
    static int ShadeIndex(double x, double y, double cx, double cy, double rx, double ry, size_t shades);

    // Sets every empty pixel that touches a set one (4- or 8-neighbourhood).
    void Outline(Color c, bool diagonal = true);

    // Copies the set pixels onto another layer at (x, y).
    void DrawOnto(Layer& dst, int x, int y) const;

private:
    bool In(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
    size_t Idx(int x, int y) const { return static_cast<size_t>(y) * w_ + x; }
    int w_, h_;
    std::vector<Color> px_;
    std::vector<uint8_t> on_;
};

// Pastes a layer's set pixels into the box of a sheet (clipped to the box).
// `avoid` is the sheet's 16-bit key: a sprite colour that would turn into
// the key is nudged so it stays visible.
void Paste(Image& sheet, const Box& box, const Layer& layer, uint16_t avoid, int dx = 0, int dy = 0);

// Colour helpers.
Color Mix(Color a, Color b, double t);
Color Darker(Color c, double f);
Color Lighter(Color c, double f);

bool WriteFile(const std::string& path, const std::string& bytes);

}  // namespace gen

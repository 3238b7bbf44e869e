// Text for the game's screens: a Japanese gothic font found through
// fontconfig, rendered with SDL_ttf and alpha-blended onto a 16-bit surface.
// Needs no window or video subsystem, so the headless runner can use it too.
#pragma once

#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "game/canvas/canvas.h"
#include "platform/text_atlas.h"

typedef struct _TTF_Font TTF_Font;

namespace pm::sdl {

// The font file fontconfig offers for the game's text: a Japanese gothic if
// one is installed, else any monospace font; empty when there is none.
std::string FindGameFont();

class TtfText : public TextRenderer {
public:
    // pointSize at 96 dots per inch, the desktop size the game was laid out
    // for; fontFile empty: look one up with FindGameFont. Without a usable
    // font every Draw is skipped, after one warning on stderr.
    explicit TtfText(int pointSize = 12, std::string fontFile = {});
    ~TtfText() override;
    TtfText(const TtfText&) = delete;
    TtfText& operator=(const TtfText&) = delete;

    bool Ready() const { return font_ != nullptr; }
    const std::string& FontFile() const { return fontFile_; }

    void Draw(Surface& dst, int32_t x, int32_t y, std::string_view utf8, Rgb colour) override;

    // A rendered line as coverage only, so one entry serves any colour (and
    // a line can be stored for a build that has no font renderer). Only
    // when Ready().
    using Line = TextCoverage;
    const Line& Render(std::string_view utf8);

private:
    std::string fontFile_;
    TTF_Font* font_ = nullptr;
    bool ttfStarted_ = false;
    // Most recently used lines first; the title redraws the same few every frame.
    static constexpr size_t CacheLines = 64;
    std::list<std::pair<std::string, Line>> lines_;
    std::unordered_map<std::string, std::list<std::pair<std::string, Line>>::iterator> index_;
};

}  // namespace pm::sdl

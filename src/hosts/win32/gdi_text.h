// Text drawn by the system's own font renderer, for the host's notices (the
// pause band). The game's title text comes from the prerendered atlas, so
// it is the same on every platform; this is only for what the host adds.
#pragma once

#include <string>

#include "game/canvas/canvas.h"

namespace pm::win32 {

class GdiText : public TextRenderer {
public:
    GdiText(int pixelHeight, bool bold);
    ~GdiText() override;
    GdiText(const GdiText&) = delete;
    GdiText& operator=(const GdiText&) = delete;

    void Draw(Surface& dst, int32_t x, int32_t y, std::string_view utf8, Rgb colour) override;

private:
    void* font_ = nullptr;   // HFONT
};

}  // namespace pm::win32

#include "shot_text.h"

#include "platform/sdl/ttf_text.h"

namespace pm::sim {

std::unique_ptr<TextRenderer> MakeShotTextRenderer() {
    // The game's own text: the same face and size as in the window.
    const std::string font = sdl::FindGameFont();
    if (font.empty()) return nullptr;
    auto text = std::make_unique<sdl::TtfText>(12, font);
    if (!text->Ready()) return nullptr;
    return text;
}

}  // namespace pm::sim

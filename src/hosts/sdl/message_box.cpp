#include "hosts/sdl/message_box.h"

#include <SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "hosts/sdl/library_noise.h"
#include "hosts/sdl/sdl_host.h"
#include "hosts/sdl/ttf_text.h"

namespace pm::sdl {

namespace {

constexpr int Margin = 16;
constexpr int MarkSize = 32;
constexpr int MaxTextWidth = 600;
constexpr int ButtonWidth = 88, ButtonHeight = 28;
constexpr SDL_Color Ink{0, 0, 0, 255};

// The length in bytes of the UTF-8 character starting with `lead` (1 for a
// stray byte, so a broken string still advances).
size_t CharBytes(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

uint32_t Decode(std::string_view s, size_t at, size_t bytes) {
    const auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(s[at + i])); };
    switch (bytes) {
        case 2: return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
        case 3: return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
        case 4: return (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F);
        default: return b(0);
    }
}

int WidthOf(TTF_Font* font, const std::string& s) {
    int w = 0, h = 0;
    if (s.empty() || TTF_SizeUTF8(font, s.c_str(), &w, &h) != 0) return 0;
    return w;
}

// The text as lines no wider than MaxTextWidth: broken at '\n' (a '\r'
// before it is dropped), then, where a line is too wide, after the last
// space or '/' that fits, or else between characters (a path or a Japanese
// sentence has few spaces).
std::vector<std::string> WrapLines(TTF_Font* font, std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view rest = text.substr(start, end - start);
        if (!rest.empty() && rest.back() == '\r') rest.remove_suffix(1);
        do {
            std::string line;
            size_t used = 0, lastBreak = 0;
            while (used < rest.size()) {
                const size_t n = std::min(CharBytes(static_cast<unsigned char>(rest[used])), rest.size() - used);
                std::string wider = line + std::string(rest.substr(used, n));
                if (!line.empty() && WidthOf(font, wider) > MaxTextWidth) break;
                line = std::move(wider);
                used += n;
                if (rest[used - 1] == ' ' || rest[used - 1] == '/') lastBreak = used;
            }
            if (used < rest.size() && lastBreak > 0) {
                line.resize(lastBreak);
                used = lastBreak;
            }
            lines.push_back(line);
            rest.remove_prefix(used);
        } while (!rest.empty());
        start = end + 1;
    }
    return lines;
}

void PutPixel(SDL_Surface* s, int x, int y, uint32_t argb) {
    if (x < 0 || y < 0 || x >= s->w || y >= s->h) return;
    reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch)[x] = argb;
}

// A red disc with a white cross: the critical-error mark.
void DrawMark(SDL_Surface* s, int left, int top) {
    const float r = MarkSize / 2.0f, cx = left + r, cy = top + r;
    for (int y = top; y < top + MarkSize; ++y)
        for (int x = left; x < left + MarkSize; ++x) {
            const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
            if (dx * dx + dy * dy > r * r) continue;
            const bool cross = std::max(std::abs(dx), std::abs(dy)) < r * 0.5f &&
                               (std::abs(dx - dy) < 2.6f || std::abs(dx + dy) < 2.6f);
            PutPixel(s, x, y, cross ? 0xFFFFFFFFu : 0xFFC8281Eu);
        }
}

void DrawFrame(SDL_Surface* s, const SDL_Rect& r, uint32_t border, uint32_t fill) {
    SDL_FillRect(s, &r, border);
    const SDL_Rect inner{r.x + 1, r.y + 1, r.w - 2, r.h - 2};
    SDL_FillRect(s, &inner, fill);
}

void Blit(TTF_Font* font, const std::string& text, SDL_Surface* dst, int x, int y) {
    if (text.empty()) return;
    SDL_Surface* glyphs = TTF_RenderUTF8_Blended(font, text.c_str(), Ink);
    if (!glyphs) return;
    SDL_Rect at{x, y, glyphs->w, glyphs->h};
    SDL_SetSurfaceBlendMode(glyphs, SDL_BLENDMODE_BLEND);
    SDL_BlitSurface(glyphs, nullptr, dst, &at);
    SDL_FreeSurface(glyphs);
}

bool NoDisplay() {
    // As at start-up: the off-screen drivers SDL falls back to show nothing.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    return !driver || ((SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0) &&
                       !(asked && SDL_strcasecmp(asked, driver) == 0));
}

bool Inside(const SDL_Rect& r, int x, int y) { return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h; }

// Shows the picture until the player closes it or a signal comes.
void RunBox(std::string_view title, const ErrorBoxPicture& box) {
    const std::string caption(title);
    SDL_Window* window = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          box.Surface->w, box.Surface->h, SDL_WINDOW_ALWAYS_ON_TOP);
    if (!window) return;
    SDL_RaiseWindow(window);
    bool open = true;
    while (open && !StopRequested) {
        if (SDL_Surface* screen = SDL_GetWindowSurface(window)) {
            SDL_BlitSurface(box.Surface, nullptr, screen, nullptr);
            SDL_UpdateWindowSurface(window);
        }
        // A short wait, so a signal is noticed within a tenth of a second.
        SDL_Event e;
        if (!SDL_WaitEventTimeout(&e, 100)) continue;
        do {
            switch (e.type) {
                case SDL_QUIT: open = false; break;
                case SDL_WINDOWEVENT:
                    if (e.window.event == SDL_WINDOWEVENT_CLOSE) open = false;
                    break;
                case SDL_KEYDOWN:
                    switch (e.key.keysym.scancode) {
                        case SDL_SCANCODE_RETURN:
                        case SDL_SCANCODE_KP_ENTER:
                        case SDL_SCANCODE_SPACE:
                        case SDL_SCANCODE_ESCAPE: open = false; break;
                        default: break;
                    }
                    break;
                case SDL_MOUSEBUTTONUP:
                    if (e.button.button == SDL_BUTTON_LEFT && Inside(box.Button, e.button.x, e.button.y)) open = false;
                    break;
                default: break;
            }
        } while (open && SDL_PollEvent(&e));
    }
    SDL_DestroyWindow(window);
}

}  // namespace

std::string MissingGlyphs(TTF_Font* font, std::string_view utf8) {
    std::string missing;
    for (size_t i = 0; i < utf8.size();) {
        const size_t n = std::min(CharBytes(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        const uint32_t c = Decode(utf8, i, n);
        if (c >= 0x20 && !TTF_GlyphIsProvided32(font, c)) missing += utf8.substr(i, n);
        i += n;
    }
    return missing;
}

ErrorBoxPicture DrawErrorBox(TTF_Font* font, std::string_view text) {
    ErrorBoxPicture box;
    const std::vector<std::string> lines = WrapLines(font, text);
    const int lineHeight = TTF_FontLineSkip(font);
    int textWidth = 0;
    for (const std::string& line : lines) textWidth = std::max(textWidth, WidthOf(font, line));
    const int textHeight = lineHeight * static_cast<int>(lines.size());

    const int textLeft = Margin + MarkSize + Margin;
    const int width = std::max(textLeft + textWidth + Margin, 2 * Margin + ButtonWidth + 200);
    const int bodyHeight = std::max(textHeight, MarkSize);
    const int height = Margin + bodyHeight + Margin + ButtonHeight + Margin;
    box.Surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!box.Surface) return box;
    SDL_FillRect(box.Surface, nullptr, 0xFFF0F0F0u);
    DrawMark(box.Surface, Margin, Margin);
    box.Text = {textLeft, Margin, textWidth, textHeight};
    for (size_t i = 0; i < lines.size(); ++i)
        Blit(font, lines[i], box.Surface, textLeft, Margin + lineHeight * static_cast<int>(i));

    box.Button = {width - Margin - ButtonWidth, height - Margin - ButtonHeight, ButtonWidth, ButtonHeight};
    DrawFrame(box.Surface, box.Button, 0xFF707070u, 0xFFE1E1E1u);
    const int labelWidth = WidthOf(font, "OK");
    Blit(font, "OK", box.Surface, box.Button.x + (ButtonWidth - labelWidth) / 2,
         box.Button.y + (ButtonHeight - TTF_FontHeight(font)) / 2);
    return box;
}

bool ShowErrorBox(std::string_view title, std::string_view text) {
    if (!DisplayMayExist() || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    bool shown = false;
    if (!NoDisplay()) {
        const std::string fontFile = FindGameFont();
        TTF_Font* font = nullptr;
        if (!fontFile.empty() && TTF_Init() == 0) {
            font = TTF_OpenFontDPI(fontFile.c_str(), 12, 96, 96);
            if (font) {
                const ErrorBoxPicture box = DrawErrorBox(font, text);
                if (box.Surface) {
                    RunBox(title, box);
                    SDL_FreeSurface(box.Surface);
                    shown = true;
                }
                TTF_CloseFont(font);
            }
            TTF_Quit();
        }
        if (!shown) {
            // No font to draw with: the system's box is better than none.
            std::string body;
            for (char c : text)
                if (c != '\r') body += c;
            shown = SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, std::string(title).c_str(), body.c_str(),
                                             nullptr) == 0;
        }
    }
    // What the box loaded stays loaded, so a leak report names it.
    KeepLibrariesForLeakReports();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
    return shown;
}

}  // namespace pm::sdl

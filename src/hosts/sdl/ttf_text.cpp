#include "hosts/sdl/ttf_text.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <cstdio>

namespace pm::sdl {

namespace {

// The file of fontconfig's best match for a pattern; when needJapanese, only
// a font that covers Japanese counts (fontconfig always returns something).
std::string MatchFont(const char* pattern, bool needJapanese) {
    std::string file;
    FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    if (!pat) return file;
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    if (match) {
        FcChar8* path = nullptr;
        bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
        if (ok && needJapanese) {
            FcLangSet* langs = nullptr;
            ok = FcPatternGetLangSet(match, FC_LANG, 0, &langs) == FcResultMatch &&
                 FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual;
        }
        if (ok) file = reinterpret_cast<const char*>(path);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pat);
    return file;
}

}  // namespace

std::string FindGameFont() {
    if (!FcInit()) return {};
    std::string file = MatchFont("IPAGothic:style=Regular", true);
    if (file.empty()) file = MatchFont(":lang=ja:spacing=mono:style=Regular", true);
    if (file.empty()) file = MatchFont(":lang=ja:style=Regular", true);
    if (file.empty()) file = MatchFont("monospace:style=Regular", false);
    return file;
}

TtfText::TtfText(int pointSize, std::string fontFile) : fontFile_(std::move(fontFile)) {
    if (fontFile_.empty()) fontFile_ = FindGameFont();
    if (fontFile_.empty()) {
        std::fprintf(stderr, "pellimunch: no font found; text will not be shown\n");
        return;
    }
    if (TTF_Init() != 0) {
        std::fprintf(stderr, "pellimunch: cannot start the font renderer (%s); text will not be shown\n",
                     TTF_GetError());
        return;
    }
    ttfStarted_ = true;
    font_ = TTF_OpenFontDPI(fontFile_.c_str(), pointSize, 96, 96);
    if (!font_)
        std::fprintf(stderr, "pellimunch: cannot open the font %s (%s); text will not be shown\n",
                     fontFile_.c_str(), TTF_GetError());
}

TtfText::~TtfText() {
    if (font_) TTF_CloseFont(font_);
    if (ttfStarted_) TTF_Quit();
}

const TtfText::Line& TtfText::Render(std::string_view utf8) {
    std::string key(utf8);
    if (auto found = index_.find(key); found != index_.end()) {
        lines_.splice(lines_.begin(), lines_, found->second);
        return found->second->second;
    }

    Line line;
    // White coverage; the colour is applied when the line is blended.
    if (SDL_Surface* glyphs = TTF_RenderUTF8_Blended(font_, key.c_str(), SDL_Color{255, 255, 255, 255})) {
        if (SDL_Surface* argb = SDL_ConvertSurfaceFormat(glyphs, SDL_PIXELFORMAT_ARGB8888, 0)) {
            line.Width = argb->w;
            line.Height = argb->h;
            line.Alpha.resize(static_cast<size_t>(argb->w) * static_cast<size_t>(argb->h));
            SDL_LockSurface(argb);
            for (int y = 0; y < argb->h; ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(argb->pixels) +
                                                                    static_cast<size_t>(y) * argb->pitch);
                for (int x = 0; x < argb->w; ++x)
                    line.Alpha[static_cast<size_t>(y) * argb->w + x] = static_cast<uint8_t>(row[x] >> 24);
            }
            SDL_UnlockSurface(argb);
            SDL_FreeSurface(argb);
        }
        SDL_FreeSurface(glyphs);
    }

    if (lines_.size() >= CacheLines) {
        index_.erase(lines_.back().first);
        lines_.pop_back();
    }
    lines_.emplace_front(key, std::move(line));
    index_[key] = lines_.begin();
    return lines_.front().second;
}

void TtfText::Draw(Surface& dst, int32_t x, int32_t y, std::string_view utf8, Rgb colour) {
    if (!font_ || utf8.empty()) return;
    BlendCoverage(dst, x, y, Render(utf8), colour);
}

}  // namespace pm::sdl

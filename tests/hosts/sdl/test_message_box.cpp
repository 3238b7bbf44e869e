// The error box the game draws itself: every character of its messages has
// a glyph in the game's font (so nothing shows as empty boxes in any
// locale), long lines are wrapped to fit, and the text and the button are
// really drawn.
#include <SDL.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include "hosts/sdl/message_box.h"
#include "hosts/sdl/ttf_text.h"

namespace pm::sdl {
namespace {

class ErrorBox : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string file = FindGameFont();
        if (file.empty()) GTEST_SKIP() << "no font installed";
        ASSERT_EQ(TTF_Init(), 0);
        font_ = TTF_OpenFontDPI(file.c_str(), 12, 96, 96);
        ASSERT_NE(font_, nullptr) << file;
    }
    void TearDown() override {
        if (font_) TTF_CloseFont(font_);
        if (TTF_WasInit()) TTF_Quit();
    }

    // Pixels darker than the box's background inside a rectangle.
    static int DarkPixels(SDL_Surface* s, const SDL_Rect& r) {
        int n = 0;
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x) {
                const uint32_t p = static_cast<const uint32_t*>(s->pixels)[y * s->pitch / 4 + x];
                if (((p >> 8) & 0xFF) < 0x80) ++n;
            }
        return n;
    }

    TTF_Font* font_ = nullptr;
};

TEST_F(ErrorBox, TheSaveMessageHasEveryGlyph) {
    const std::string text =
        "score.datに対して正しい書き込みが行えませんでした。\r\n"
        "書き込み禁止属性が掛かっている場合は解除してください。";
    EXPECT_EQ(MissingGlyphs(font_, text), "") << "this font cannot show the message";
    EXPECT_EQ(MissingGlyphs(font_, "終了時、書き込みエラー"), "");
    // The check itself sees a character no font here has.
    EXPECT_EQ(MissingGlyphs(font_, "a\xF3\xB0\x80\x80" "b"), "\xF3\xB0\x80\x80");
}

TEST_F(ErrorBox, TextAndButtonAreDrawnAndLongLinesWrapped) {
    const std::string path = "/home/someone/.local/share/pellimunch/" + std::string(150, 'd') + "/score.dat";
    const ErrorBoxPicture box = DrawErrorBox(font_, "一行目\r\n\r\n" + path + ": the file is read-only");
    ASSERT_NE(box.Surface, nullptr);
    // Wrapped to a width a screen can show; the text is in lines of the font's
    // height (one, a blank one, and the long one in several).
    EXPECT_LE(box.Surface->w, 720);
    EXPECT_GE(box.Text.h, 4 * TTF_FontLineSkip(font_));
    // The button lies inside the box, below the text.
    EXPECT_GE(box.Button.y, box.Text.y + box.Text.h);
    EXPECT_LE(box.Button.x + box.Button.w, box.Surface->w);
    EXPECT_LE(box.Button.y + box.Button.h, box.Surface->h);
    EXPECT_GT(DarkPixels(box.Surface, box.Text), 200);
    const SDL_Rect label{box.Button.x + 2, box.Button.y + 2, box.Button.w - 4, box.Button.h - 4};
    EXPECT_GT(DarkPixels(box.Surface, label), 20);   // "OK"
    SDL_FreeSurface(box.Surface);
}

}  // namespace
}  // namespace pm::sdl

// The title: banner, logo, the line of text that drifts through the banner,
// the key help and the credits. A Shift key starts a run.
#include "game/shell/game_state.h"

namespace pm {

void FormMain::TitleFrame() {
    // No life icons while the title is up.
    Lives = -1;
    BltOpaque(216, 240, PinkLineSurface, BannerRect);
    BltKeyed(188, 19, TitleSurface, LogoRect);

    // The run starts next frame; this title frame is still drawn to the end.
    if (KeyState[Key::LShift] != 0 || KeyState[Key::RShift] != 0) {
        ResetGame();
        GameState = State::Play;
    }

    // The text rests inside the banner, then drifts down, wraps to the top
    // and comes back to rest at the same place.
    if (BannerTextPause > 0) {
        BannerTextPause = BannerTextPause - 1;
    } else {
        BannerTextY = BannerTextY + BannerTextSpeed;
        if (BannerTextY >= 330) BannerTextY = 170;
        if (BannerTextY == 270) BannerTextPause = 140;
    }
    BltKeyed(BannerTextX, CLng(BannerTextY), MainSurface, LabelRects[Label::BannerText]);

    DrawTitleText();
    GroundFrame = static_cast<int16_t>((GroundFrame + 1) % 8);
}

void FormMain::DrawTitleText() {
    // The leading spaces line up the key names.
    DrawText(100, 105, "   [←]  LEFT MOVE");
    DrawText(100, 125, "   [→]  RIGHT MOVE");
    DrawText(100, 145, "   [↑]  HISSATSU WAZA");
    DrawText(100, 165, "[SPACE]  JUMP");
    DrawText(100, 185, "  [Del]  BACK TO TITLE");
    DrawText(100, 205, "  [ESC]  QUIT");
    DrawText(460, 380, "PELLIMUNCH  (C) 2026");
    DrawText(460, 400, "MADE BY THE PELLIMUNCH TEAM");
}

}  // namespace pm

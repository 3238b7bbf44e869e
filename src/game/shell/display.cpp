// Start-up of the display, keyboard and sound, the sprite rectangle tables,
// and the drawing operations the game uses on its back buffer.
#include "game/shell/game_state.h"
#include "game/sprite_rects.h"

namespace pm {

void FormMain::InitDisplay() {
    HostPtr->OpenDisplay();
    BackBuffer = Options.Picture ? Surface("BackBuffer", 800, 600) : Surface("BackBuffer", 0, 0);
    Surface* targets[] = {&MainSurface, &GroundSurface, &PinkLineSurface, &TitleSurface, &ScaleSurface};
    for (size_t i = 0; i < Bitmaps.size(); ++i) {
        Surface s = HostPtr->LoadBitmap(Bitmaps[i]);
        if (s.Width != Bitmaps[i].Width || s.Height != Bitmaps[i].Height)
            throw StartupError(std::string(Bitmaps[i].File) + ": wrong size " + std::to_string(s.Width) + " x " +
                               std::to_string(s.Height) + ", expected " + std::to_string(Bitmaps[i].Width) +
                               " x " + std::to_string(Bitmaps[i].Height));
        s.Name = Bitmaps[i].Surface;
        *targets[i] = std::move(s);
    }
    // Source colour keys, compared with the stored 16-bit pixel.
    MainSurface.HasKey = true;
    MainSurface.Key = 0xFFFF;
    TitleSurface.HasKey = true;
    TitleSurface.Key = Rgb565(0, 0, 0);
    ScaleSurface.HasKey = true;
    ScaleSurface.Key = Rgb565(0, 0, 0);
}

void FormMain::InitKeyboard() { HostPtr->OpenKeyboard(); }

void FormMain::InitSound() {
    HostPtr->OpenSound();
    for (const SoundFile& entry : Sounds) HostPtr->LoadSound(entry);
}

void FormMain::InitRects() {
    ScreenRect = sprites::Screen;
    BallRects = sprites::Balls;
    for (int32_t i = 0; i < 6; ++i) ItemRects[i] = sprites::Item(i);
    for (int32_t d = 0; d < 10; ++d)
        for (int32_t s = 0; s < 4; ++s) DigitRects[d][s] = sprites::Digit(d, s);
    LabelRects = sprites::Labels;
    for (int32_t i = 0; i < 4; ++i) GroundRects[i] = sprites::GroundStrip(i);
    BannerRect = sprites::Banner;
    for (int32_t i = 0; i < 6; ++i) PopupRects[i] = sprites::Popup(i);
    SpeckRects = sprites::Specks;
    ParticleRects = sprites::Particles;
    LogoRect = sprites::Logo;
    GaugeRects = sprites::Gauges;
}

void FormMain::FillRect(const Rect& r, Rgb colour) {
    if (DrawObserver* rec = HostPtr->DrawLog()) rec->OnFill(r, colour);
    FillSurface(BackBuffer, r, Rgb565(colour.R, colour.G, colour.B));
}

void FormMain::BltOpaque(int32_t x, int32_t y, const Surface& src, const Rect& sr) {
    if (DrawObserver* rec = HostPtr->DrawLog()) rec->OnCopy(false, src, sr, x, y);
    CopySurface(BackBuffer, x, y, src, sr, false);
}

void FormMain::BltKeyed(int32_t x, int32_t y, const Surface& src, const Rect& sr) {
    if (DrawObserver* rec = HostPtr->DrawLog()) rec->OnCopy(true, src, sr, x, y);
    CopySurface(BackBuffer, x, y, src, sr, true);
}

void FormMain::DrawText(int32_t x, int32_t y, std::string_view utf8) {
    if (DrawObserver* rec = HostPtr->DrawLog()) rec->OnText(x, y, utf8);
    if (TextRenderer* text = HostPtr->Text()) text->Draw(BackBuffer, x, y, utf8, TextColour);
}

void FormMain::SetTextColour(Rgb colour) { TextColour = colour; }

// The text face is the host's (a Japanese gothic at 12 point); nothing to
// switch here, but the round reset names the step.
void FormMain::SetFont() {}

}  // namespace pm

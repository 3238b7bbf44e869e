// Start-up of the display, keyboard and sound, the sprite rectangle tables,
// and the drawing operations the game uses on its back buffer.
#include "shell/game_state.h"

namespace pm {

void FormMain::InitDisplay() {
    HostPtr->OpenDisplay();
    BackBuffer = Surface("BackBuffer", 800, 600);
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
    for (const SoundSpec& spec : Sounds) HostPtr->LoadSound(spec);
}

void FormMain::InitRects() {
    ScreenRect = {0, 0, 800, 600};
    BallRects = {{{1, 1, 71, 82}, {72, 1, 142, 82}, {143, 1, 213, 82},
                  {191, 239, 214, 297}, {1, 115, 82, 196}, {83, 115, 164, 196}}};
    for (int32_t i = 0; i < 6; ++i) ItemRects[i] = {1 + 32 * i, 83, 32 + 32 * i, 114};
    for (int32_t d = 0; d < 10; ++d)
        for (int32_t s = 0; s < 4; ++s) DigitRects[d][s] = {1 + 19 * d, 197 + 33 * s, 19 + 19 * d, 229 + 33 * s};
    LabelRects = {{{315, 65, 422, 122}, {191, 208, 491, 237}, {214, 65, 313, 95}, {214, 129, 313, 165},
                   {191, 299, 208, 327}, {214, 187, 364, 206}, {214, 97, 314, 128}, {214, 1, 447, 32},
                   {315, 124, 345, 160}, {214, 33, 390, 64}, {214, 166, 431, 186}, {214, 187, 365, 207},
                   {366, 187, 485, 199}, {216, 239, 365, 254}}};
    for (int32_t i = 0; i < 4; ++i) GroundRects[i] = {0, 44 * i, 799, 44 * i + 42};
    BannerRect = {0, 0, 366, 85};
    for (int32_t i = 0; i < 6; ++i) PopupRects[i] = {165, 115 + 13 * i, 210, 127 + 13 * i};
    SpeckRects = {{{193, 83, 199, 89}, {200, 83, 206, 89}, {193, 90, 201, 98}, {202, 90, 209, 97},
                   {207, 83, 211, 87}, {193, 99, 199, 105}, {200, 99, 208, 103}, {193, 106, 197, 110},
                   {198, 106, 203, 111}}};
    ParticleRects = {{{191, 193, 199, 205}, {200, 193, 208, 205}}};
    LogoRect = {0, 0, 461, 65};
    GaugeRects = {{{0, 0, 264, 42}, {0, 44, 264, 72}, {0, 75, 264, 104}, {0, 106, 264, 135}}};
}

void FormMain::FillRect(const Rect& r, Rgb colour) {
    if (DrawRecorder* rec = HostPtr->Recorder()) rec->OnFill(r, colour);
    FillSurface(BackBuffer, r, Rgb565(colour.R, colour.G, colour.B));
}

void FormMain::BltOpaque(int32_t x, int32_t y, const Surface& src, const Rect& sr) {
    if (DrawRecorder* rec = HostPtr->Recorder()) rec->OnCopy(false, src, sr, x, y);
    CopySurface(BackBuffer, x, y, src, sr, false);
}

void FormMain::BltKeyed(int32_t x, int32_t y, const Surface& src, const Rect& sr) {
    if (DrawRecorder* rec = HostPtr->Recorder()) rec->OnCopy(true, src, sr, x, y);
    CopySurface(BackBuffer, x, y, src, sr, true);
}

void FormMain::DrawText(int32_t x, int32_t y, std::string_view utf8) {
    if (DrawRecorder* rec = HostPtr->Recorder()) rec->OnText(x, y, utf8);
    if (TextRenderer* text = HostPtr->Text()) text->Draw(BackBuffer, x, y, utf8, TextColour);
}

void FormMain::SetTextColour(Rgb colour) { TextColour = colour; }

// The text face is the host's (a Japanese gothic at 12 point); nothing to
// switch here, but the round reset names the step.
void FormMain::SetFont() {}

}  // namespace pm

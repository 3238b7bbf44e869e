// One frame of the game, in order. The game never loops by itself: a driver
// (the window's, the page's, the runner's, a test's) calls Step once a
// frame, so it can also pace the frames, hold them (pause) or run them flat
// out.
#include "game/shell/game_state.h"

namespace pm {

FrameEnd FormMain::Step(const FrameInput& input) {
    // A failure inside a frame ends the game through the usual shutdown too.
    try {
        // 1. A way out taken at the end of the last frame has already shut down.
        if (Ended != FrameEnd::GoingOn) return Ended;

        // 2. The keyboard as the driver read it for this frame.
        KeyState = input.Keys;
        if (!Frame()) return Ended = FrameEnd::Escape;

        // 15. The window's messages: a mouse press or a close request shuts
        // down here, after the whole frame has been shown.
        if (input.MousePressed) {
            Form_MouseDown();
            return Ended = FrameEnd::Mouse;
        }
        if (input.CloseRequested) {
            CloseWindow();
            return Ended = FrameEnd::Close;
        }
        return FrameEnd::GoingOn;
    } catch (...) {
        Form_Unload();
        throw;
    }
}

bool FormMain::Frame() {
    // 3. Escape leaves at once, before anything is drawn.
    if (KeyState[Key::Escape] != 0) {
        Form_Unload();
        return false;
    }

    // 4. Clear the screen.
    FillRect(ScreenRect, Rgb{0, 0, 0});

    // 5-6. The ground strip; the random number is drawn every frame so the
    // sequence does not depend on whether the ground shakes.
    const float r = Rnd();
    const int32_t strip = static_cast<int32_t>(Int(GroundFrame / 2.0));
    int32_t groundY = 467;
    if (QuakeTimer > 0) groundY = CLng(467 + 7 * static_cast<double>(r));
    BltOpaque(0, groundY, GroundSurface, GroundRects[strip]);

    // 7. Background specks, beneath everything else.
    UpdateSpecks();

    // 8-9. The block of the current state.
    ShowHighScore = True;
    switch (GameState) {
        case State::Title: TitleFrame(); break;
        case State::Play: PlayFrame(); break;
        case State::GameOver: GameOverFrame(); break;
        default: break;
    }

    // 10. Status display, above the state's picture.
    StatusDisplay();

    // 11-13. The frame's clocks.
    SpinAngle = static_cast<int16_t>((SpinAngle + 11) % 360);
    ShineSweep = ShineSweep + 0.2f;
    if (ShineSweep >= 40) ShineSweep = -16;
    Blink = static_cast<int16_t>(~Blink);

    // 14. Show the frame.
    HostPtr->Present(BackBuffer);
    return true;
}

}  // namespace pm

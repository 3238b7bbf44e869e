// Start-up, the frame loop and the ways out of it. The whole game runs on one
// thread inside Form_Load: start up, then one Frame() per display refresh
// until Escape, a mouse press, a closed window or a failure ends it.
#include "shell/game_state.h"

namespace pm {

void FormMain::Form_Load() {
    // A failure while starting (a missing bitmap, no sound device) still runs
    // the shutdown, which gives back whatever was set up; the caller reports it.
    try {
        StartUp();
    } catch (...) {
        Form_Unload();
        throw;
    }
    try {
        while (Frame()) SaveRecordIfRaised();
    } catch (...) {
        Form_Unload();
        throw;
    }
}

void FormMain::StartUp() {
    Rng.Seed(HostPtr->ClockSeed());
    GameState = 0;
    GroundFrame = 0;
    InitDisplay();
    InitKeyboard();
    InitRects();
    InitSound();
    ResetRound();
    QuitFlag = False;
    LoadHighScore();
    HighScoreLoaded = true;
    ResetGame();
    HostPtr->ShowCursor(false);
}

bool FormMain::Frame() {
    // 1. A mouse press at the end of the last frame has already shut down.
    if (QuitFlag) return false;

    // 2-3. Keyboard; Escape leaves at once, before anything is drawn.
    HostPtr->ReadKeyboard(KeyState);
    if (KeyState[1] != 0) {
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
        case 0: TitleFrame(); break;
        case 1: PlayFrame(); break;
        case 3: GameOverFrame(); break;
        default: break;
    }

    // 10. Status display, above the state's picture.
    StatusDisplay();

    // 11-13. The frame's clocks.
    SpinAngle = static_cast<int16_t>((SpinAngle + 11) % 360);
    ShineSweep = ShineSweep + 0.2f;
    if (ShineSweep >= 40) ShineSweep = -16;
    Blink = static_cast<int16_t>(~Blink);

    // 14-15. Show the frame, then let the window handle its messages (a
    // mouse press or a close request shuts down here).
    HostPtr->Present(*this);
    HostPtr->DoEvents(*this);
    return true;
}

void FormMain::Form_MouseDown() {
    QuitFlag = True;
    Form_Unload();
}

void FormMain::CloseWindow() {
    QuitFlag = True;
    Form_Unload();
}

void FormMain::Form_Unload() {
    if (Unloaded) return;
    Unloaded = true;
    HostPtr->ShowCursor(true);
    HostPtr->RestoreDisplay();
    HostPtr->Release();
    // Only a record we actually read may be written back: a start that failed
    // before the file was read must not replace the player's best score.
    if (HighScoreLoaded) SaveHighScore();
}

void FormMain::ResetGame() {
    Score = 0;
    ShownScore = 0;
    Level = 1;
    Lives = 3;
}

}  // namespace pm

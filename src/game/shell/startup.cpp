// Start-up and the ways out: the load sequence, the mouse press, the
// window's close and the shutdown that every one of them ends in.
#include "game/shell/game_state.h"

namespace pm {

void FormMain::Form_Load(uint32_t seed, StartOptions options) {
    Options = options;
    // A failure while starting (a missing bitmap, no sound device) still runs
    // the shutdown, which gives back whatever was set up; the caller reports it.
    try {
        StartUp(seed);
    } catch (...) {
        Form_Unload();
        throw;
    }
}

void FormMain::StartUp(uint32_t seed) {
    // The seed is the time of day as the driver read it (seconds since
    // midnight), or a recorded session's own.
    Rng.Seed(seed);
    GameState = State::Title;
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

void FormMain::Form_MouseDown() {
    QuitFlag = True;
    Form_Unload();
}

void FormMain::CloseWindow() {
    QuitFlag = True;
    Form_Unload();
}

FrameEnd FormMain::Quit(FrameEnd how) {
    if (Ended != FrameEnd::GoingOn) return Ended;
    switch (how) {
        case FrameEnd::GoingOn: return Ended;
        case FrameEnd::Escape: Form_Unload(); break;
        case FrameEnd::Mouse: Form_MouseDown(); break;
        case FrameEnd::Close: CloseWindow(); break;
    }
    return Ended = how;
}

void FormMain::Form_Unload() {
    if (Unloaded) return;
    Unloaded = true;
    HostPtr->ShowCursor(true);
    HostPtr->RestoreDisplay();
    HostPtr->Release();
    // Mended: only a record we actually read may be written back; a start
    // that failed before the file was read must not replace the best score.
    if (HighScoreLoaded) SaveHighScore();
}

void FormMain::ResetGame() {
    Score = 0;
    ShownScore = 0;
    Level = 1;
    Lives = 3;
}

}  // namespace pm

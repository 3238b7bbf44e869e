// The game-over state: the caption and the falling particles, a fixed wait,
// the high score climbing to the shown score, then back to the title.
#include "game/shell/game_state.h"

namespace pm {

void FormMain::GameOverFrame() {
    int32_t nextState = State::Title;
    GroundFrame = static_cast<int16_t>((GroundFrame + 1) % 8);
    BltKeyed(293, 200, MainSurface, LabelRects[Label::GameOverCaption]);

    // The particles see the timer before this frame's count-down.
    ParticleGameOverStep();

    // Stay while anything is still running: the wait, the score count-up,
    // the chain-bonus display, the high score's climb.
    if (GameOverTimer > 0) {
        GameOverTimer = GameOverTimer - 1;
        nextState = State::GameOver;
    }
    if (Score > ShownScore) nextState = State::GameOver;
    if (ChainBonusTimer > 0) nextState = State::GameOver;
    if (ShownScore > HighScore) {
        nextState = State::GameOver;
        // Coarse steps while far behind, so a big record does not take
        // minutes; each test sees the value left by the one before, so the
        // climb ends exactly on the shown score.
        HighScore = HighScore + 1;
        if (ShownScore > int64_t{HighScore} + 160) HighScore = HighScore + 10;
        if (ShownScore > int64_t{HighScore} + 600) HighScore = HighScore + 100;
        if (ShownScore > int64_t{HighScore} + 6000) HighScore = HighScore + 1000;
        if (ShownScore == HighScore) Play(HighScoreSound);
    }

    GameState = static_cast<int16_t>(nextState);
    if (GameState == State::Title) ResetRound();
}

}  // namespace pm

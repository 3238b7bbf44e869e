// The status display, drawn above every state's picture: chain counter, chain
// bonus, pop-ups, lives, level or fever, score and high score. It also counts
// the shown score up toward the real one and grants the extra lives.
#include <cstdlib>

#include "game/shell/game_state.h"

namespace pm {

void FormMain::StatusDisplay() {
    // Chain counter, from a chain of 30 on (a fever has its own display).
    if (ChainCount >= 30 && !Fever) {
        ChainShine = ChainShine + 0.25f;
        if (ChainShine >= 50) ChainShine = 50;
        // Every tenth item sends the shine over the digits again.
        if (ChainShine > 10 && ChainCount % 10 == 0) ChainShine = 1;
        std::string text = Str(ChainCount);
        const int32_t x = DrawNumber(586, 1, text, CInt(Int(ChainShine)), 5);
        BltKeyed(x + 5, 1, MainSurface, LabelRects[Label::ChainCaption]);
    }

    // Chain bonus: hidden, then the points, then paid, then the chain's
    // length, then the points once more.
    if (ChainBonusTimer > 0) {
        ChainBonusTimer = ChainBonusTimer - 1;
        const int32_t t = ChainBonusTimer;
        if (t >= 130 && t <= 249) {
            std::string text = Str(LastChainCount);
            const int32_t x = DrawNumber(586, 1, text, CInt(Int((std::abs(t - 300) % 93) / 3.0)), 5);
            BltKeyed(x + 5, 1, MainSurface, LabelRects[Label::ChainCaption]);
        } else if (t == 259) {
            Score = Score + ChainBonus;
        } else if ((t >= 0 && t <= 119) || (t >= 260 && t <= 374)) {
            BltKeyed(586, 1, MainSurface, LabelRects[Label::BonusMark]);
            std::string text = Str(ChainBonus);
            DrawNumber(608, 1, text, CInt(Int((t % 93) / 3.0)), 5);
        }
    }

    PopupStep();

    const int16_t lives = Lives;
    for (int32_t j = 1; j <= lives; ++j) BltKeyed(30 * j + 46, 12, MainSurface, LabelRects[Label::LifeIcon]);

    if (Fever) {
        BltKeyed(14, 523, MainSurface, LabelRects[Label::FeverCaption]);
    } else {
        BltKeyed(10, 522, MainSurface, LabelRects[Label::LevelCaption]);
        std::string text = Str(Level);
        DrawNumber(124, 522, text, CInt(Int(ShineSweep + 16.0)), 2);
    }

    BltKeyed(228, 530, MainSurface, LabelRects[Label::ScoreCaption]);

    // A gauge of the play state may cover this place for the frame.
    if (ShowHighScore) {
        BltKeyed(490, 538, MainSurface, LabelRects[Label::HighScoreCaption]);
        std::string text = Str(HighScore);
        DrawNumber(679, 536, text, CInt(Int(ShineSweep)), 10);
    }

    // The score shown is the value before this frame's count-up.
    std::string scoreText = Str(ShownScore).substr(1);
    if (ShownScore < Score) ShownScore = ShownScore + 1;
    if (int64_t{ShownScore} + 30 < Score) ShownScore = ShownScore + 10;
    if (int64_t{ShownScore} + 1000 < Score) ShownScore = ShownScore + 100;
    if (scoreText.size() < 4) {
        scoreText = "000" + scoreText;
        scoreText = scoreText.substr(scoreText.size() - 4);
    }
    DrawNumber(347, 529, scoreText, CInt(Int(ShineSweep + 6.0)), 10);

    // Extra lives at every 5000 of the shown score, up to 30000, in play only.
    for (int32_t i = 0; i <= 5; ++i) {
        if (ShownScore >= 5000 * (i + 1) && !ExtraLifeGiven[i] && GameState == State::Play) {
            ExtraLifeGiven[i] = True;
            Lives = static_cast<int16_t>(Lives + 1);
        }
    }
}

}  // namespace pm

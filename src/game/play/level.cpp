// The level clock: each level is a span of frames; its end plays the
// level-up sound, may open an item slot, sets the next level's length and
// retunes the rival, or, with a full fever gauge, starts a fever instead.
#include <cmath>

#include "game/shell/game_state.h"

namespace pm {

void FormMain::LevelTimerStep() {
    LevelTimer = LevelTimer - 1;
    if (LevelTimer == 0) LevelChange();
}

void FormMain::LevelChange() {
    Play(LevelUpSound);
    LevelBannerTimer = 34;

    // Leaving these levels opens one more item slot.
    // Mended: the list ends at slot 99; opening one past it would write
    // beyond the item list, so past it nothing more opens.
    if ((Level == 9 || Level == 14 || Level == 24 || Level == 29) && LastBaseItem < 99) {
        LastBaseItem = static_cast<int16_t>(LastBaseItem + 1);
        Items[LastBaseItem].X = Parked;
    }
    LastActiveItem = LastBaseItem;
    Fever = False;

    Level = Level + 1;
    // The length is that of the level just reached, even of 101.
    LevelTimer = CLng(Int(std::log(Level / 16.0 + 1.0) * 420.0) + 870.0);
    if (Level == 101) Level = 1;

    // The rival's tuning for the new level.
    RivalVX = Level / 3.0 + 3.0;
    if (Level % 5 == 0) RivalVX = RivalVX * 0.75;
    if (RivalVX > 17 && Level % 5 == 2) RivalVX = 17;
    RivalMaxSpeed = RivalVX;
    RivalAccel = Level * 0.01 + 0.03;
    if (RivalAccel > 0.2f) RivalAccel = 0.2f;
    if (Rnd() >= 0.5) RivalVX = -RivalVX;

    if (FeverGauge / 20.0 >= FeverThreshold) {
        FeverPoints = static_cast<int16_t>(FeverPoints - FeverThreshold);
        FeverGauge = 0;
        Stop(LevelUpSound);
        Play(BonusSound);
        if (FeverGaugeTimer > 0) FeverGaugeTimer = 20;
        Fever = True;
        LastActiveItem = 99;
        // The rival leaps off and is held away for the whole fever.
        RivalVX = 0;
        RivalVY = -30;
        FeverThreshold = static_cast<int16_t>(FeverThreshold + 10);
        LevelTimer = 790;
        // The fever stands in for the level just reached; its end reaches it again.
        Level = Level - 1;
        RivalStunTimer = 880;
        // Every slot takes part; the ones opened by the fever start empty and
        // fill in after short delays.
        for (int j = 0; j <= 99; ++j) {
            Items[j].Plain = False;
            if (j > LastBaseItem) {
                Items[j].Delay = CLng(Rnd() * 90.0);
                Items[j].X = Parked;
            }
        }
    }
}

}  // namespace pm

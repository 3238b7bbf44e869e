// The round reset: the ball, the rival and every list of the play field go
// back to their start values. Runs at start-up and whenever game over hands
// back to the title, so the title and the next run start from fresh values.
#include "game/shell/game_state.h"

namespace pm {

void FormMain::ResetRound() {
    // Ball.
    BallX = 400.0;
    BallY = 450.0;
    BallVX = 0;
    BallVY = 0;
    OnGround = True;
    Dashing = False;
    DashCooldown = 0;
    ComboCount = 0;
    BallKind = BallKind::Plain;
    KindTimer = 0;
    StaggerTimer = 0;
    QuakeTimer = 0;
    HighJump = False;
    SlamTimer = 0;
    GraceTimer = 0;
    KindBoost = False;

    // Rival.
    RivalY = 450.0;
    RivalX = 41.0;
    RivalVX = 3.0;
    RivalVY = 0;
    RivalDizzyTimer = 0;
    RivalStunTimer = 0;
    RivalBumpVX = Parked;
    RivalMaxSpeed = 3.0;
    RivalFrame = 0;
    RivalAwayTimer = 0;
    RivalAccel = 0;

    // Frame-loop animation.
    ShineSweep = Parked;
    Blink = False;
    SpinAngle = 0;
    ChainShine = 0;

    SetTextColour({255, 255, 255});
    SetFont();

    // Title banner.
    BannerTextX = 248;
    BannerTextY = 270.0;
    BannerTextPause = 160;
    BannerTextSpeed = 2.0;

    // Items wait a random while before they stream in; the delays are drawn
    // before the specks so a seeded run replays the same field.
    for (Item& item : Items) {
        item.X = Parked;
        item.Kind = ItemKind::Plain;
        item.Delay = CLng(Int(Rnd() * 150.0));
    }
    for (Popup& popup : Popups) popup.X = ParkedAt;
    FillSpecks();
    for (Particle& particle : Particles) particle.X = Parked;

    ShotX = Parked;
    ChainCount = 0;
    LastChainCount = 0;
    ChainBonusTimer = 0;
    LevelTimer = 840;
    LevelBannerTimer = 0;
    LastBaseItem = 4;
    FeverPoints = 0;
    FeverThreshold = 20;
    FeverGaugeTimer = 0;
    FeverGauge = 0;
    Fever = False;

    ExtraLifeGiven.fill(False);

    LastActiveItem = LastBaseItem;
}

}  // namespace pm

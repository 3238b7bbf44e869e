// The ball meets the rival: the jumper knocks it away (three times as hard
// when it slams down from a high jump), any other ball loses a life, and the
// last life lost settles the chain bonuses and ends the run in a burst.
#include <cmath>

#include "game/effects/score_formulas.h"
#include "game/shell/game_state.h"

namespace pm {

namespace {

int32_t Sgn(double v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

}  // namespace

void FormMain::RivalContact() {
    // The shooter and the high jump eat with a wider mouth.
    if (BallKind == BallKind::Shooter || HighJump != 0) {
        MouthRect = {CLng(static_cast<double>(BallX) - 27), CLng(static_cast<double>(BallY) - 44),
                     CLng(static_cast<double>(BallX) + 30), CLng(static_cast<double>(BallY) + 50)};
    } else {
        MouthRect = {CLng(static_cast<double>(BallX) - 10), CLng(static_cast<double>(BallY) - 39),
                     CLng(static_cast<double>(BallX) + 30), CLng(static_cast<double>(BallY) + 34)};
    }
    BodyRect = {CLng(static_cast<double>(BallX) - 50), CLng(static_cast<double>(BallY) - 50),
                CLng(static_cast<double>(BallX) + 52), CLng(static_cast<double>(BallY) + 55)};

    if (GraceTimer >= 1) {
        GraceTimer = GraceTimer - 1;
        return;
    }
    if (RectsOverlap(BodyRect, RivalRect) == 0) return;

    const int32_t d = DistanceSquared(static_cast<float>(static_cast<double>(BallX) - 6), BallY, RivalX, RivalY);
    if (d < 6300) {
        if (BallKind == BallKind::Jumper) {
            if (Fever == 0) {
                GraceTimer = GraceTimer + 25;
                const int32_t s = -Sgn(static_cast<double>(BallX) - RivalX);   // away from the ball
                const double r1 = Rnd();
                RivalVX = static_cast<float>((r1 * 7 + 9) * s);
                const double r2 = Rnd();
                RivalVY = static_cast<float>(-(r2 * 5 + 15));
                if (KindBoost == 0) BallVX = static_cast<float>(-RivalVX * 0.9);
                if (OnGround != 0) {
                    RivalVY = static_cast<float>(RivalVY * 0.67);
                    RivalVX = static_cast<float>(RivalVX * 0.8);
                    BallVX = static_cast<float>(-RivalVX * 0.5);
                }
                RivalStunTimer = 90;
                RivalDizzyTimer = 0;
                // Falling from a high jump, or just landed from one: the slam.
                if (SlamTimer != 0) {
                    RivalVX = static_cast<float>(RivalVX * 3.0);
                    RivalVY = static_cast<float>(RivalVY * 3.0);
                    RivalDizzyTimer = 0;
                    RivalStunTimer = 180;
                    Play(BombSound);
                    Stop(QuakeSound);
                    KindTimer = 38;
                }
            }
        } else if (d < 2200 && RivalStunTimer == 0) {
            Lives = static_cast<int16_t>(Lives - 1);
            GraceTimer = GraceTimer + 60;
            SetPan(HitSound, PanFromX(BallX));
            Play(HitSound);
            for (int16_t k = 0; k <= 63; ++k) {
                const double angle = Rnd() * 360.0;
                const double speed = Rnd() * 8.0 + 3;
                SpawnParticle(static_cast<float>(angle), static_cast<float>(speed), k);
            }
        }
    }

    if (Lives != 0) return;

    // The last life: pay whatever chain bonus is still owed, once.
    if (ChainBonusTimer > 259) {
        Score = AddLong(Score, ChainBonus);
        ChainBonusTimer = 258;   // the status display must not add it again at 259
    }
    if (ChainCount > 30) {
        ChainBonus = LengthBonus(ChainCount);
        Score = AddLong(Score, ChainBonus);
        ChainBonusTimer = 258;
        LastChainCount = ChainCount;
        ChainCount = 0;
    }
    GameState = State::GameOver;
    GameOverTimer = 130;

    // The shower the game-over state lets fall, from between ball and rival.
    for (Particle& p : Particles) {
        const int32_t a = CLng(Rnd() * 360.0);
        p.X = static_cast<float>((static_cast<double>(RivalX) + BallX) / 2);
        p.Y = static_cast<float>((static_cast<double>(RivalY) + BallY) / 2);
        p.Kind = CInt(Int(Rnd() * 2.0));
        p.Timer = CLng(Rnd() * 8.0);
        const double vxScale = Rnd() * 13.0 + 1;
        p.VX = static_cast<float>(vxScale * std::cos(a * RadiansPerDegree));
        const double vyScale = Rnd() * 13.0 + 1;
        p.VY = static_cast<float>(vyScale * std::sin(a * RadiansPerDegree) - 7);
    }
}

}  // namespace pm

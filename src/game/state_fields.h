// The game-state record's fields as the runner's trace shows them, in one
// place: the trace writes them as JSON (game/state_text.cpp), the board
// hashes them as bytes to know a run by what the game did. Only the values of the game are here:
// no surface, no host, no key table, no bookkeeping of the host's.
//
// A visitor has:
//   Scalar(name, value)       an int16_t, int32_t or float of the record
//   Box(name, rect)           one of the rectangles
//   List(name, array, slot)   a slot list; slot(element) gives its fields
//   Fields(values...)         a slot's fields in record order
//   Element(value)            a slot that is a single value
#pragma once

#include "game/shell/game_state.h"

namespace pm {

template <typename V>
void VisitState(const FormMain& f, V& v) {
    v.Scalar("SpinAngle", f.SpinAngle);
    v.Scalar("ChainShine", f.ChainShine);
    v.Scalar("QuitFlag", f.QuitFlag);
    v.Scalar("GameState", f.GameState);
    v.Scalar("Blink", f.Blink);
    v.Scalar("GroundFrame", f.GroundFrame);
    v.Scalar("ShineSweep", f.ShineSweep);
    v.Scalar("LastActiveItem", f.LastActiveItem);
    v.Scalar("BallX", f.BallX);
    v.Scalar("BallY", f.BallY);
    v.Scalar("BallVX", f.BallVX);
    v.Scalar("BallVY", f.BallVY);
    v.Scalar("OnGround", f.OnGround);
    v.Scalar("Dashing", f.Dashing);
    v.Scalar("DashCooldown", f.DashCooldown);
    v.Scalar("ComboCount", f.ComboCount);
    v.Scalar("BallKind", f.BallKind);
    v.Scalar("KindTimer", f.KindTimer);
    v.Scalar("QuakeTimer", f.QuakeTimer);
    v.Scalar("HighJump", f.HighJump);
    v.Scalar("SlamTimer", f.SlamTimer);
    v.Scalar("KindBoost", f.KindBoost);
    v.Scalar("StaggerTimer", f.StaggerTimer);
    v.Scalar("Lives", f.Lives);
    v.Scalar("GraceTimer", f.GraceTimer);
    v.Scalar("BannerTextX", f.BannerTextX);
    v.Scalar("BannerTextY", f.BannerTextY);
    v.Scalar("BannerTextSpeed", f.BannerTextSpeed);
    v.Scalar("BannerTextPause", f.BannerTextPause);
    v.Scalar("ShotX", f.ShotX);
    v.Scalar("ShotY", f.ShotY);
    v.Scalar("ShotVX", f.ShotVX);
    v.Scalar("Score", f.Score);
    v.Scalar("ShownScore", f.ShownScore);
    v.Scalar("HighScore", f.HighScore);
    v.Scalar("ShowHighScore", f.ShowHighScore);
    v.Scalar("ChainCount", f.ChainCount);
    v.Scalar("LastChainCount", f.LastChainCount);
    v.Scalar("ChainBonusTimer", f.ChainBonusTimer);
    v.Scalar("ChainBonus", f.ChainBonus);
    v.Scalar("FeverPoints", f.FeverPoints);
    v.Scalar("FeverThreshold", f.FeverThreshold);
    v.Scalar("FeverGaugeTimer", f.FeverGaugeTimer);
    v.Scalar("FeverGauge", f.FeverGauge);
    v.Scalar("Fever", f.Fever);
    v.Scalar("Level", f.Level);
    v.Scalar("LevelTimer", f.LevelTimer);
    v.Scalar("LevelBannerTimer", f.LevelBannerTimer);
    v.Scalar("GameOverTimer", f.GameOverTimer);
    v.Scalar("LastBaseItem", f.LastBaseItem);
    v.Scalar("RivalX", f.RivalX);
    v.Scalar("RivalY", f.RivalY);
    v.Scalar("RivalVX", f.RivalVX);
    v.Scalar("RivalBumpVX", f.RivalBumpVX);
    v.Scalar("RivalMaxSpeed", f.RivalMaxSpeed);
    v.Scalar("RivalVY", f.RivalVY);
    v.Scalar("RivalAccel", f.RivalAccel);
    v.Scalar("RivalDizzyTimer", f.RivalDizzyTimer);
    v.Scalar("RivalFrame", f.RivalFrame);
    v.Scalar("RivalStunTimer", f.RivalStunTimer);
    v.Scalar("RivalAwayTimer", f.RivalAwayTimer);

    v.Box("WorkRect", f.WorkRect);
    v.Box("MouthRect", f.MouthRect);
    v.Box("BodyRect", f.BodyRect);
    v.Box("ShotRect", f.ShotRect);
    v.Box("RivalRect", f.RivalRect);

    v.List("Items", f.Items, [&](const Item& i) { v.Fields(i.X, i.Y, i.VX, i.Plain, i.Kind, i.Delay); });
    v.List("Popups", f.Popups, [&](const Popup& p) { v.Fields(p.X, p.Y, p.VY, p.Timer, p.Kind); });
    v.List("Specks", f.Specks, [&](const Speck& s) { v.Fields(s.X, s.Y, s.VX, s.VY, s.Delay, s.Kind); });
    v.List("Particles", f.Particles, [&](const Particle& p) { v.Fields(p.X, p.Y, p.VX, p.VY, p.Timer, p.Kind); });
    v.List("ExtraLifeGiven", f.ExtraLifeGiven, [&](int16_t given) { v.Element(given); });
}

}  // namespace pm

// The particle list: sparks thrown off by the ball and the shot in play, and
// the shower that falls while the game-over caption shows. 64 fixed slots; a
// slot is free exactly when its X is 9999.
#include <cmath>

#include "game/shell/game_state.h"

namespace pm {

namespace {

// The two particle sprites.
// Mended: a stray kind still picks one of them rather than reading past
// the table.
const Rect& ParticleSprite(const std::array<Rect, 2>& rects, int16_t kind) { return rects[kind == 1 ? 1 : 0]; }

// Sprays fill the lowest free slot; null when all 64 are live.
Particle* LowestFreeParticle(std::array<Particle, 64>& particles) {
    for (Particle& p : particles)
        if (p.X == Parked) return &p;
    return nullptr;
}

}  // namespace

void FormMain::SpawnParticle(float angle, float speed, int16_t slot) {
    if (slot < 0 || slot >= static_cast<int16_t>(Particles.size())) return;
    Particle& p = Particles[static_cast<size_t>(slot)];
    p.X = BallX;
    p.Y = BallY;
    const double a = angle * RadiansPerDegree;
    p.VX = static_cast<float>(std::cos(a) * speed);
    p.VY = static_cast<float>(-std::sin(a) * speed);
    p.Kind = CInt(Int(2.0 * Rnd()));
    p.Timer = CLng(Rnd() * 30.0 + 10);
}

void FormMain::SpawnBallSpray(int32_t count, float vx, float vy, int32_t life, int32_t spread) {
    for (int64_t k = 0; k <= count; ++k) {
        Particle* p = LowestFreeParticle(Particles);
        if (p == nullptr) return;   // a full list stays full for the later rounds too
        p->X = static_cast<float>(Rnd() * 6.0 + BallX + 4);
        p->Y = static_cast<float>(Rnd() * 12.0 + BallY - 6);
        const double r1 = Rnd();
        const double r2 = Rnd();
        p->VX = static_cast<float>(r1 * spread / 2 + vx - r2 * spread);
        p->Timer = CLng(Int(static_cast<double>(Rnd()) * spread * 1.5) + life);
        p->Kind = CInt(Int(2.0 * Rnd()));
        p->VY = static_cast<float>(Rnd() * static_cast<double>(spread) + vy);
    }
}

void FormMain::SpawnSpotSpray(int32_t count, float vx, float vy, int32_t life, int32_t spread) {
    for (int64_t k = 0; k <= count; ++k) {
        Particle* p = LowestFreeParticle(Particles);
        if (p == nullptr) return;
        p->X = static_cast<float>(ShotX - Rnd() * 16.0);
        p->Y = static_cast<float>(Rnd() * 52.0 + ShotY - 26);
        const double r1 = Rnd();
        const double r2 = Rnd();
        p->VX = static_cast<float>(r1 * spread / 2 + vx - r2 * spread);
        p->Timer = CLng(Int(static_cast<double>(Rnd()) * spread * 1.5) + life);
        p->Kind = CInt(Int(2.0 * Rnd()));
        // The trail keeps close to the shot's line: spread does not widen VY.
        p->VY = static_cast<float>(Rnd() * 3.0 + vy - 1.5);
    }
}

void FormMain::ParticlePlayStep() {
    for (Particle& p : Particles) {
        if (p.X == Parked) continue;
        p.Timer = p.Timer - 1;
        p.X = static_cast<float>(p.X + static_cast<double>(p.VX));
        p.VX = static_cast<float>(p.VX * 0.95);
        p.Y = static_cast<float>(p.Y + static_cast<double>(p.VY));
        p.VY = static_cast<float>(p.VY * 0.95);
        BltKeyed(CLng(p.X), CLng(p.Y), MainSurface, ParticleSprite(ParticleRects, p.Kind));
        // Drawn in the frame its life runs out, freed after.
        if (p.Timer == 0) p.X = Parked;
    }
}

void FormMain::ParticleGameOverStep() {
    for (Particle& p : Particles) {
        if (p.Timer > 0) p.Timer = p.Timer - 1;
        if (p.Timer != 0) continue;   // still waiting (or never to move)
        p.X = static_cast<float>(p.X + static_cast<double>(p.VX));
        p.Y = static_cast<float>(p.Y + static_cast<double>(p.VY));
        p.VY = static_cast<float>(p.VY + 0.2);
        // The shower falls harder once the caption has been up a while.
        if (GameOverTimer < 100) p.VY = static_cast<float>(p.VY + 0.25);
        BltKeyed(CLng(p.X), CLng(p.Y), MainSurface, ParticleSprite(ParticleRects, p.Kind));
    }
}

}  // namespace pm

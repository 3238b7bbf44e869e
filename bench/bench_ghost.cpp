// What a ghost costs the player's frame: the ghost's own game frame (no
// picture, no sound) and the overlay drawn on a copy of the player's frame
// (the copy, the silhouette and the band).
//
//   build/pellimunch-bench --benchmark_filter=Ghost
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "driver/daily.h"
#include "driver/ghost.h"
#include "driver/session.h"
#include "hosts/headless/headless_host.h"
#include "machine/key_codes.h"

namespace {

// A daily run of a few thousand frames: the game started on frame 60, a
// stretch of running and jumping about, then given up.
pm::Replay DailyRun() {
    pm::Replay r;
    r.Seed = pm::DailySeed(pm::Day{2026, 12, 8});
    const auto add = [&r](uint32_t count, pm::keys::KeySet keys) {
        pm::keys::ScriptSpan span;
        span.Count = count;
        span.Keys = keys;
        r.Keys.Spans.push_back(span);
    };
    add(59, {});
    add(1, {pm::Key::LShift});
    for (int i = 0; i < 40; ++i) {
        add(40, {pm::Key::Right});
        add(3, {pm::Key::Right, pm::Key::Space});
        add(40, {pm::Key::Left});
        add(2, {pm::Key::Up});
    }
    add(1, {pm::Key::Delete});
    add(900, {});
    r.EndFrame = r.Keys.TotalFrames();
    pm::HeadlessHost host;
    const pm::ReplayOutcome out = pm::PlayBack(r, host, {}, {}, pm::StartOptions{.Picture = false});
    r.End = out.End;
    r.EndHighScore = out.HighScore;
    return r;
}

void BM_GhostFrame(benchmark::State& state) {
    const pm::Replay run = DailyRun();
    pm::HeadlessHost host;
    pm::FormMain player(host);
    player.Form_Load(1, pm::StartOptions{.Picture = false});
    auto ghost = std::make_unique<pm::Ghost>(run);
    ghost->Start();
    for (auto _ : state) {
        if (ghost->Frames() >= run.EndFrame) {
            state.PauseTiming();
            ghost = std::make_unique<pm::Ghost>(run);
            ghost->Start();
            state.ResumeTiming();
        }
        ghost->Frame();
        benchmark::DoNotOptimize(ghost->Note(pm::GameView(player)));
    }
    state.SetLabel("the ghost's game, one frame (average over a whole daily run)");
}
BENCHMARK(BM_GhostFrame);

void BM_GhostOverlay(benchmark::State& state) {
    pm::Surface frame("BackBuffer", 800, 600, 0);
    pm::Surface sheet("MainSurface", 493, 329, 0x1234);
    sheet.HasKey = true;
    sheet.Key = 0xFFFF;
    pm::GhostNote note;
    note.BallShown = true;
    note.X = 400;
    note.Y = 420;
    note.Sheet = &sheet;
    note.Where = {0, 0, 84, 84};
    note.Opacity = pm::GhostOpacity;
    note.Score = 12340;
    note.Difference = -80;
    pm::Surface shown;
    for (auto _ : state) {
        shown = frame;
        pm::DrawGhost(shown, note);
        benchmark::DoNotOptimize(shown.Pixels.data());
    }
    state.SetLabel("a copy of the frame, the silhouette and the band");
}
BENCHMARK(BM_GhostOverlay);

}  // namespace

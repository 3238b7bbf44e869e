// Frames per second of the game's own frame loop on the headless host:
// a title frame, a busy play frame (a fever with all 100 item slots on the
// screen, every particle and pop-up in flight) and a game-over frame, each
// with drawing into the back buffer and for the logic alone.
//
// "Logic alone" gives the game a back buffer of 0 x 0 pixels: every fill and
// copy then fails the game's own rule that a copy not wholly on the target
// draws nothing, so the frame runs exactly the same game code (including
// the calls to the drawing operations) while no pixel is touched.
//
//   build/pellimunch-bench                       (all of them)
//   build/pellimunch-bench --benchmark_filter=Busy
//
// The bitmaps are read from bmp/ beside the program when they are there (as
// in the game), else blank surfaces stand in.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "platform/data_files.h"
#include "hosts/headless/headless_host.h"
#include "game/shell/game_state.h"

namespace {

using pm::FormMain;
using pm::HeadlessHost;

std::string DataDir() {
    try {
        const std::string dir = pm::MyPath();
        struct stat st {};
        if (::stat((dir + "bmp/main.bmp").c_str(), &st) == 0) return dir;
    } catch (...) {
    }
    return {};
}

struct Bench {
    HeadlessHost Host{DataDir()};
    std::unique_ptr<FormMain> Form;

    explicit Bench(bool draw) {
        Form = std::make_unique<FormMain>(Host);
        Form->StartUp(12345);
        if (!draw) Form->BackBuffer = pm::Surface("BackBuffer", 0, 0);
    }

    void Frame(std::initializer_list<uint8_t> keys = {}) {
        pm::FrameInput input;
        for (uint8_t k : keys) input.Keys[k] = 128;
        Form->Step(input);
        Host.SoundLog.clear();
    }
};

void Label(benchmark::State& state) {
    state.SetLabel(state.range(0) ? "with drawing" : "logic alone");
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_TitleFrame(benchmark::State& state) {
    Bench b(state.range(0) != 0);
    for (auto _ : state) b.Frame();
    Label(state);
}
BENCHMARK(BM_TitleFrame)->Arg(0)->Arg(1);

// The busiest frame play can show: a fever pours items from every slot,
// the particle list and the pop-ups are full. The record is set to that
// picture before every frame, so every frame measured is equally busy.
struct BusyPicture {
    std::array<pm::Item, 100> Items;
    std::array<pm::Particle, 64> Particles;
    std::array<pm::Popup, 11> Popups;

    BusyPicture() {
        for (size_t i = 0; i < Items.size(); ++i) {
            pm::Item& it = Items[i];
            it.X = static_cast<float>(40 + (i * 7) % 720);       // all on screen, clear of the left edge
            it.Y = static_cast<float>(45 + (i * 29) % 316);
            it.VX = static_cast<float>(-4.4 - i * 2.6 / 99);
            it.Plain = 0;
            it.Kind = static_cast<int16_t>(i % 5);
            it.Delay = 0;
        }
        for (size_t i = 0; i < Particles.size(); ++i) {
            pm::Particle& p = Particles[i];
            p.X = static_cast<float>(100 + (i * 37) % 600);
            p.Y = static_cast<float>(80 + (i * 53) % 340);
            p.VX = static_cast<float>(static_cast<int>(i % 7) - 3);
            p.VY = static_cast<float>(static_cast<int>(i % 5) - 2);
            p.Timer = 30;
            p.Kind = static_cast<int16_t>(i % 2);
        }
        for (size_t i = 0; i < Popups.size(); ++i) {
            pm::Popup& p = Popups[i];
            p.X = static_cast<int32_t>(60 + 65 * i);
            p.Y = static_cast<float>(200 + 10 * i);
            p.VY = -1.5f;
            p.Timer = 40;
            p.Kind = static_cast<int16_t>(i % 6);
        }
    }

    void Apply(FormMain& f) const {
        f.GameState = 1;
        f.Fever = pm::True;
        f.LastActiveItem = 99;
        f.LevelTimer = 500;
        f.Lives = 3;
        f.GraceTimer = 0;
        f.BallX = 120;   // the ball runs under the stream without eating all of it
        f.BallY = 450;
        f.BallVX = 0;
        f.BallVY = 0;
        f.OnGround = pm::True;
        f.ComboCount = 0;
        f.Items = Items;
        f.Particles = Particles;
        f.Popups = Popups;
    }
};

void BM_BusyPlayFrame(benchmark::State& state) {
    Bench b(state.range(0) != 0);
    b.Frame({pm::Key::LShift});   // start a run
    for (int i = 0; i < 30; ++i) b.Frame();
    const BusyPicture picture;
    const pm::Random rng = b.Form->Rng;
    for (auto _ : state) {
        picture.Apply(*b.Form);
        b.Form->Rng = rng;
        b.Frame();
    }
    Label(state);
}
BENCHMARK(BM_BusyPlayFrame)->Arg(0)->Arg(1);

// Game over with the caption up, the particle shower falling, the score
// still counting up and the high score climbing toward it.
void BM_GameOverFrame(benchmark::State& state) {
    Bench b(state.range(0) != 0);
    b.Frame({pm::Key::LShift});
    for (int i = 0; i < 30; ++i) b.Frame();
    std::array<pm::Particle, 64> shower{};
    for (size_t i = 0; i < shower.size(); ++i) {
        pm::Particle& p = shower[i];
        p.X = 400;
        p.Y = 300;
        p.VX = static_cast<float>(static_cast<int>(i % 13) - 6);
        p.VY = static_cast<float>(-7 + static_cast<int>(i % 5));
        p.Timer = 0;
        p.Kind = static_cast<int16_t>(i % 2);
    }
    const pm::Random rng = b.Form->Rng;
    for (auto _ : state) {
        FormMain& f = *b.Form;
        f.GameState = 3;
        f.GameOverTimer = 100;
        f.Score = 123456;
        f.ShownScore = 120000;
        f.HighScore = 100000;
        f.Lives = 0;
        f.Particles = shower;
        f.Rng = rng;
        b.Frame();
    }
    Label(state);
}
BENCHMARK(BM_GameOverFrame)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();

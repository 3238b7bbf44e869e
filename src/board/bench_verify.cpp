// How fast the board verifies: a ten-minute session (36,000 frames) of
// lively play, verified as a submission is, in CPU time of one thread;
// and, for comparison, the same with the picture drawn.
//
//   pellimunch-board-bench [SESSIONS]
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/verify.h"
#include "driver/session.h"
#include "machine/key_codes.h"
#include "hosts/headless/headless_host.h"

namespace {

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Ten minutes of a player who starts a game whenever the title shows and
// then runs, jumps and uses the special move, in spans of a few frames.
pm::Replay Session(uint32_t seed, uint64_t frames) {
    pm::Replay r;
    r.Seed = seed;
    r.HighScore = 1000;
    uint32_t x = seed * 2654435761u + 1;
    const uint8_t moves[][2] = {{pm::Key::Right, 0}, {pm::Key::Left, 0}, {pm::Key::Right, pm::Key::Space},
                                {pm::Key::Left, pm::Key::Space}, {pm::Key::Up, 0}, {pm::Key::Space, 0}};
    uint64_t total = 0;
    while (total < frames) {
        x = x * 1103515245u + 12345u;
        pm::keys::ScriptSpan span;
        if ((x >> 16) % 7 == 0) {
            span.Keys = {pm::Key::LShift};   // starts a game from the title; nothing in play
            span.Count = 1;
        } else {
            const auto& m = moves[(x >> 8) % 6];
            for (uint8_t k : m)
                if (k) span.Keys.Add(k);
            span.Count = 3 + (x >> 20) % 40;
        }
        span.Count = std::min<uint64_t>(span.Count, frames - total);
        total += span.Count;
        r.Keys.Spans.push_back(span);
    }
    // The end line as the game itself ends it.
    r.EndFrame = frames;
    pm::HeadlessHost host;
    const pm::ReplayOutcome ended = pm::PlayBack(r, host);
    r.EndFrame = ended.Frames;
    r.End = ended.End;
    r.EndHighScore = ended.HighScore;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const char* const usage =
        "usage: pellimunch-board-bench [SESSIONS]\n"
        "Verifies SESSIONS (1 to 1000, default 5) ten-minute sessions as the board does and prints\n"
        "the CPU time of one thread for each, without and with the picture drawn.\n";
    int sessions = 5;
    if (argc > 2) {
        std::fprintf(stderr, "pellimunch-board-bench: one argument at most\n%s", usage);
        return 2;
    }
    if (argc == 2) {
        if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
            std::fputs(usage, stdout);
            return 0;
        }
        char* end = nullptr;
        errno = 0;
        const long n = std::strtol(argv[1], &end, 10);
        if (errno || end == argv[1] || *end || n < 1 || n > 1000) {
            std::fprintf(stderr, "pellimunch-board-bench: %s: SESSIONS is a number from 1 to 1000\n%s", argv[1], usage);
            return 2;
        }
        sessions = static_cast<int>(n);
    }
    constexpr uint64_t Frames = 36000;
    double verify = 0, picture = 0;
    uint64_t frames = 0;
    int ranked = 0;
    for (int i = 0; i < sessions; ++i) {
        const pm::Replay r = Session(static_cast<uint32_t>(1000 + i), Frames);
        const std::string text = pm::FormatReplay(r);
        double t0 = ThreadSeconds();
        const pm::board::Verification v = pm::board::VerifyReplay(text);
        verify += ThreadSeconds() - t0;
        frames += v.SessionFrames;
        if (v.Result == pm::board::Verdict::Ranked) ++ranked;
        else std::fprintf(stderr, "session %d: %s\n", i, v.Message.c_str());
        pm::Replay parsed;
        pm::board::Verification withPicture = pm::board::Check(text, parsed);
        pm::board::RunHooks hooks;
        hooks.Picture = true;
        t0 = ThreadSeconds();
        pm::board::Run(parsed, withPicture, hooks);
        picture += ThreadSeconds() - t0;
        std::printf("session %d: %llu frames, best game %d points (level %d, %llu frames)\n", i,
                    static_cast<unsigned long long>(v.SessionFrames), v.Best.Score, v.Best.Level,
                    static_cast<unsigned long long>(v.Best.Frames));
    }
    std::printf("verified %d of %d ten-minute sessions: %.3f s of CPU each, %.0f frames/s (with the picture: %.3f s, %.0f frames/s)\n",
                ranked, sessions, verify / sessions, static_cast<double>(frames) / verify, picture / sessions,
                static_cast<double>(frames) / picture);
    return ranked == sessions ? 0 : 1;
}

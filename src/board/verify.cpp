#include "board/verify.h"

#include <nettle/sha2.h>

#include <algorithm>
#include <memory>

#include "game/game_constants.h"
#include "driver/session.h"
#include "hosts/headless/headless_host.h"
#include "game/shell/game_state.h"

namespace pm::board {

namespace {

// Frames in the key spans, stopping once past the limit (the counts of a
// hostile file could overflow a plain sum).
uint64_t SpanFrames(const Replay& replay) {
    uint64_t total = 0;
    for (const keys::ScriptSpan& span : replay.Keys.Spans) {
        if (span.Count > MaxSessionFrames - total) return MaxSessionFrames + 1;
        total += span.Count;
    }
    return total;
}

bool HoldsHiddenKey(const FrameInput& input) {
    // The three keys the help never names: in play they change the level
    // timer, the fever points and the item slots.
    return input.Keys[Key::W] != 0 || input.Keys[Key::E] != 0 || input.Keys[Key::R] != 0;
}

}  // namespace

std::string RunHash(const Replay& replay, uint64_t frames) {
    // One line per run of equal frames, keys in code order: the same frames
    // always give the same text, however the file spelled them.
    std::string text = "seed " + std::to_string(replay.Seed) + "\n";
    std::string last;
    uint64_t count = 0;
    auto flush = [&] {
        if (count > 0) text += std::to_string(count) + ' ' + last + '\n';
    };
    for (const keys::ScriptSpan& original : replay.Keys.Spans) {
        if (frames == 0) break;
        keys::ScriptSpan span = original;
        span.Count = static_cast<uint32_t>(std::min<uint64_t>(span.Count, frames));
        frames -= span.Count;
        if (span.Count == 0) continue;
        std::vector<uint8_t> keys;
        for (uint8_t k : span.Keys) keys.push_back(k);
        std::sort(keys.begin(), keys.end());
        std::string frame;
        for (uint8_t k : keys) frame += std::to_string(k) + ',';
        if (span.Mouse) frame += 'm';
        if (count > 0 && frame == last) {
            count += span.Count;
        } else {
            flush();
            last = std::move(frame);
            count = span.Count;
        }
    }
    flush();
    sha256_ctx ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, text.size(), reinterpret_cast<const uint8_t*>(text.data()));
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&ctx, sizeof digest, digest);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : digest) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

Verification Check(std::string_view text, Replay& replay) {
    Verification v;
    // What the file says of its end, before its keys: a claim past the
    // table's limit is too long whatever the keys hold.
    const auto tooLong = [&v] {
        v.Result = Verdict::TooLong;
        v.Message = "the session is longer than the table takes (" + std::to_string(MaxSessionFrames) +
                    " frames, five hours)";
        return v;
    };
    const std::optional<ReplayEndLine> claimed = ReplayEndOf(text, text, true);
    if (claimed && claimed->Frames > MaxSessionFrames) return tooLong();
    keys::ScriptError error;
    if (!ParseReplay(text, replay, error)) {
        v.Message = "line " + std::to_string(error.Line) + ": " + error.Message;
        // The reader refuses keys that do not add up to the end line: a
        // well-formed file that was edited, not a broken one.
        if (claimed && error.Message.find("the end line says") != std::string::npos) v.Result = Verdict::Mismatch;
        return v;
    }
    v.Seed = replay.Seed;
    v.StartRecord = replay.HighScore;
    const uint64_t frames = SpanFrames(replay);
    if (replay.EndFrame > MaxSessionFrames || frames > MaxSessionFrames) return tooLong();
    // A recorded session holds one key line per frame it ran: keys beyond
    // the end (never played, but making a "new" run of an old one) or short
    // of it are an edited file.
    if (frames != replay.EndFrame) {
        v.Result = Verdict::Mismatch;
        v.Message = "the keys hold " + std::to_string(frames) + " frames, but the end line says " +
                    std::to_string(replay.EndFrame);
        return v;
    }
    v.Result = Verdict::Ranked;
    return v;
}

void Run(const Replay& replay, Verification& v, const RunHooks& hooks) {
    // The session as the runner plays a recording back: the record it
    // started with held in memory, no file; blank surfaces, since the
    // game's state never depends on pixels.
    HeadlessHost host;
    uint64_t played = 0;
    const FormMain* shownForm = nullptr;
    if (hooks.OnFrame) host.OnPresent = [&](const Surface&) { hooks.OnFrame(played + 1, *shownForm); };

    // The session's runs as the game played them; the best is ranked.
    RunWatch runs;
    bool hadGame = false;
    uint64_t hiddenAt = 0, bestEnd = 0;
    bool inPlay = false;   // before the frame being run
    auto gameOver = [&](const RunResult& run) {
        if (!hadGame || run.Score > v.Best.Score) {
            v.Best = {run.Score, run.Level, run.Frames()};
            bestEnd = run.End;
        }
        hadGame = true;
    };
    // No picture: every drawing call is still made, but a back buffer of no
    // pixels takes none of them, and nothing in the game reads it back.
    StartOptions options;
    options.Picture = hooks.Picture;
    const ReplayOutcome outcome = PlayBack(
        replay, host,
        [&](const FormMain& form, const FrameInput& input) {
            const GameView game(form);
            const uint64_t n = ++played;
            if (inPlay && HoldsHiddenKey(input) && hiddenAt == 0) hiddenAt = n;
            const RunWatch::Event event = runs.Frame(game, n);
            if (event == RunWatch::Event::Began) ++v.Games;
            if (event == RunWatch::Event::Ended) gameOver(runs.Last());
            inPlay = game.InPlay();
        },
        [&](const FormMain& form) {
            shownForm = &form;
            runs.Start(GameView(form));
            inPlay = GameView(form).InPlay();
            if (hooks.OnFrame) hooks.OnFrame(0, form);
        },
        options);
    if (runs.InRun()) gameOver(runs.Last());   // the session ended during a game
    v.SessionFrames = outcome.Frames;

    const std::string differs = CompareWithRecording(replay, outcome);
    if (!differs.empty()) {
        v.Result = Verdict::Mismatch;
        v.Message = differs;
        v.Best = {};
    } else if (hiddenAt != 0) {
        v.Result = Verdict::Refused;
        v.Message = "W, E or R was pressed during play at frame " + std::to_string(hiddenAt) +
                    "; the table does not rank such runs";
        v.Best = {};
    } else if (!hadGame) {
        v.Result = Verdict::Refused;
        v.Message = "the session holds no game";
    } else {
        v.Result = Verdict::Ranked;
        v.Hash = RunHash(replay, bestEnd);
    }
}

Verification VerifyReplay(std::string_view text) {
    Replay replay;
    Verification v = Check(text, replay);
    if (v.Result == Verdict::Ranked) Run(replay, v);   // throws only when the machine fails
    return v;
}

}  // namespace pm::board

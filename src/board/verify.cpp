#include "board/verify.h"

#include <nettle/sha2.h>

#include <algorithm>
#include <memory>

#include "names.h"
#include "platform/headless_host.h"
#include "shell/game_state.h"

namespace pm::board {

namespace {

// Frames in the key spans, stopping once past the limit (the counts of a
// hostile file could overflow a plain sum).
uint64_t SpanFrames(const Replay& replay) {
    uint64_t total = 0;
    for (const sim::ScriptSpan& span : replay.Keys.Spans) {
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

std::string RunHash(const Replay& replay) {
    // One line per run of equal frames, keys in code order: the same frames
    // always give the same text, however the file spelled them.
    std::string text = "seed " + std::to_string(replay.Seed) + "\nstart " + std::to_string(replay.HighScore) + "\n";
    std::string last;
    uint64_t count = 0;
    auto flush = [&] {
        if (count > 0) text += std::to_string(count) + ' ' + last + '\n';
    };
    for (const sim::ScriptSpan& span : replay.Keys.Spans) {
        if (span.Count == 0) continue;
        std::vector<uint8_t> keys = span.Keys;
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
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
    sim::ScriptError error;
    if (!ParseReplay(text, replay, error)) {
        v.Message = "line " + std::to_string(error.Line) + ": " + error.Message;
        return v;
    }
    v.Seed = replay.Seed;
    v.StartRecord = replay.HighScore;
    const uint64_t frames = SpanFrames(replay);
    if (replay.EndFrame > MaxSessionFrames || frames > MaxSessionFrames) {
        v.Result = Verdict::TooLong;
        v.Message = "the session is longer than the table takes (" + std::to_string(MaxSessionFrames) +
                    " frames, five hours)";
        return v;
    }
    v.Hash = RunHash(replay);
    v.Result = Verdict::Ranked;
    return v;
}

void Run(const Replay& replay, Verification& v, const RunHooks& hooks) {
    // The starting record goes in through a score file of its own; the
    // game's state never depends on pixels, so the surfaces stay blank.
    ScratchScoreFile scratch(replay.HighScore);
    HeadlessHost host({}, scratch.Path());
    host.Seed = replay.Seed;
    auto form = std::make_unique<FormMain>(host);
    uint64_t shown = 0;
    if (hooks.OnFrame) host.OnPresent = [&](const Surface&) { hooks.OnFrame(shown, *form); };
    form->Form_Load();
    if (hooks.OnFrame) hooks.OnFrame(0, *form);
    // No picture: every drawing call is still made, but a back buffer of no
    // pixels takes none of them, and nothing in the game reads it back.
    if (!hooks.Picture) form->BackBuffer = Surface("BackBuffer", 0, 0);

    const uint64_t total = SpanFrames(replay);
    sim::ScriptCursor cursor(replay.Keys);
    ReplayOutcome outcome;
    outcome.End = ReplayEnd::Close;
    bool inGame = false, hadGame = false;
    uint64_t hiddenAt = 0;
    uint64_t gameStart = 0;
    auto gameOver = [&](uint64_t frame) {
        const uint64_t length = frame - gameStart;
        if (!hadGame || form->Score > v.Best.Score) v.Best = {form->Score, form->Level, length};
        hadGame = true;
        inGame = false;
    };
    if (total == 0) form->CloseWindow();
    for (uint64_t n = 1; n <= total; ++n) {
        FrameInput input;
        if (const sim::ScriptSpan* span = cursor.Next()) input = InputOf(*span);
        input.CloseRequested = n == total;
        const int16_t before = form->GameState;
        if (before == State::Play && HoldsHiddenKey(input) && hiddenAt == 0) {
            hiddenAt = n;
            if (!hooks.RunThrough) break;
        }
        outcome.Frames = n;
        shown = n;
        const bool goesOn = form->Step(input);
        if (before == State::Title && form->GameState == State::Play) {
            inGame = true;
            gameStart = n - 1;
        } else if (inGame && before == State::GameOver && form->GameState == State::Title) {
            gameOver(n);
        }
        if (!goesOn) {
            outcome.End = !form->QuitFlag ? ReplayEnd::Escape : input.MousePressed ? ReplayEnd::Mouse : ReplayEnd::Close;
            break;
        }
    }
    form->Form_Unload();
    if (hiddenAt != 0) {
        v.Result = Verdict::Refused;
        v.Message = "W, E or R was pressed during play at frame " + std::to_string(hiddenAt) +
                    "; the table does not rank such runs";
        v.Best = {};
        return;
    }
    if (inGame) gameOver(outcome.Frames);   // the session ended during a game
    outcome.HighScore = form->HighScore;
    v.SessionFrames = outcome.Frames;

    const std::string differs = CompareWithRecording(replay, outcome);
    if (!differs.empty()) {
        v.Result = Verdict::Mismatch;
        v.Message = differs;
        v.Best = {};
    } else if (!hadGame) {
        v.Result = Verdict::Refused;
        v.Message = "the session holds no game";
    } else {
        v.Result = Verdict::Ranked;
    }
}

Verification VerifyReplay(std::string_view text) {
    Replay replay;
    Verification v = Check(text, replay);
    if (v.Result == Verdict::Ranked) Run(replay, v);   // throws only when the machine fails
    return v;
}

}  // namespace pm::board

#include "board/verify.h"

#include <nettle/sha2.h>

#include <algorithm>
#include <array>
#include <stdexcept>
#include <bit>
#include <type_traits>
#include <cstring>
#include <map>
#include <memory>

#include "driver/session.h"
#include "game/game_constants.h"
#include "game/state_fields.h"
#include "game/view.h"
#include "hosts/headless/headless_host.h"

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

std::string Hex(const uint8_t* digest, size_t size) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

// What a game did, as one SHA-256: the record's state after each of its
// frames, from the frame the title handed over to play to the frame the
// last life was lost, then the score and level it is ranked with. The state
// is every field the runner's trace shows (game/state_fields.h) except the
// record (HighScore: the starting record changes nothing else in play), and
// the random generator's state; each little-endian at its own width, floats
// by their bits. The key table is not in it: only what the keys did is.
// Frames after the game over (its screen, whose length the record sets; the
// title; idle frames) are not in it either.
class GameDigest {
public:
    void Begin() {
        sha256_init(&ctx_);
        on_ = true;
        first_ = true;
    }
    bool On() const { return on_; }
    // A frame's state. What the digest takes is the first frame whole, then
    // of each frame the blocks that changed since the frame before, each
    // with its place, and an end mark: the same frames give the same bytes
    // and other frames other bytes, and a frame costs only what moved.
    void Add(const FormMain& f) {
        used_ = 0;
        VisitState(f, *this);
        Put(GameView(f).RandomState());
        for (size_t at = 0; at < used_; at += Block) {
            const size_t n = std::min(Block, used_ - at);
            if (!first_ && std::memcmp(Now() + at, Before() + at, n) == 0) continue;
            const uint16_t place = static_cast<uint16_t>(at / Block);
            sha256_update(&ctx_, sizeof place, reinterpret_cast<const uint8_t*>(&place));
            sha256_update(&ctx_, n, Now() + at);
        }
        const uint16_t end = 0xFFFF;
        sha256_update(&ctx_, sizeof end, reinterpret_cast<const uint8_t*>(&end));
        flip_ ^= 1;
        first_ = false;
    }
    void Stop() { on_ = false; }
    std::string Finish(const RunFacts& facts) {
        on_ = false;
        const int32_t ranked[] = {facts.Score, facts.Level};
        sha256_update(&ctx_, sizeof ranked, reinterpret_cast<const uint8_t*>(ranked));
        uint8_t digest[SHA256_DIGEST_SIZE];
        sha256_digest(&ctx_, sizeof digest, digest);
        return Hex(digest, sizeof digest);
    }

    // The visitor of VisitState.
    void Scalar(const char* name, float v) { Put(v); (void)name; }
    void Scalar(const char* name, int32_t v) {
        if (std::strcmp(name, "HighScore") != 0) Put(v);
    }
    void Scalar(const char* name, int16_t v) { Put(v); (void)name; }
    void Box(const char*, const Rect& r) { Fields(r.Left, r.Top, r.Right, r.Bottom); }
    template <typename Slots, typename Slot>
    void List(const char*, const Slots& list, Slot slot) {
        for (const auto& element : list) slot(element);
    }
    template <typename... T>
    void Fields(T... values) {
        (Put(values), ...);
    }
    void Element(int16_t v) { Put(v); }

private:
    static constexpr size_t Block = 64;
    // Each value at its own width, little-endian, floats by their bits; one
    // after the other with no padding.
    template <typename T>
    void Put(T v) {
        static_assert(std::endian::native == std::endian::little, "the digest is of little-endian bytes");
        static_assert(std::is_arithmetic_v<T>);
        if (used_ + sizeof v > Size) throw std::logic_error("the game's state outgrew its digest");
        std::memcpy(Now() + used_, &v, sizeof v);
        used_ += sizeof v;
    }

    sha256_ctx ctx_{};
    bool on_ = false, first_ = true;
    static constexpr size_t Size = 8192;
    uint8_t* Now() { return frames_[flip_].data(); }
    uint8_t* Before() { return frames_[flip_ ^ 1].data(); }
    std::array<std::array<uint8_t, Size>, 2> frames_{};
    int flip_ = 0;
    size_t used_ = 0;
};

}  // namespace

std::string MachineMade(const Replay& replay) {
    // Spans as the frames ran, however the file split them.
    std::map<uint64_t, size_t> lengths;   // length -> spans of it
    size_t spans = 0;
    uint64_t count = 0;
    const keys::ScriptSpan* last = nullptr;
    auto close = [&] {
        if (count > 0) {
            ++lengths[count];
            ++spans;
        }
    };
    for (const keys::ScriptSpan& span : replay.Keys.Spans) {
        if (last && span.Keys == last->Keys && span.Mouse == last->Mouse) {
            count += span.Count;
        } else {
            close();
            count = span.Count;
        }
        last = &span;
    }
    close();
    if (spans < MachineSpansMin) return {};
    // The longest such period says the most of how the input was made.
    for (int period = MachinePeriodMax; period >= MachinePeriodMin; --period) {
        size_t multiples = 0;
        for (auto [length, n] : lengths)
            if (length % static_cast<uint64_t>(period) == 0) multiples += n;
        if (static_cast<double>(multiples) >= MachineShare * static_cast<double>(spans))
            return std::to_string(multiples) + " of " + std::to_string(spans) + " key spans are multiples of " +
                   std::to_string(period) + " frames";
    }
    return {};
}

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
    return Hex(digest, sizeof digest);
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
    v.Flag = MachineMade(replay);
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

    // The session's runs as the game played them; the best is ranked, and
    // known by what its game did.
    RunWatch runs;
    bool hadGame = false;
    uint64_t hiddenAt = 0, bestEnd = 0;
    bool inPlay = false;   // before the frame being run
    GameDigest digest;
    auto gameOver = [&](const RunResult& run) {
        const RunFacts facts{run.Score, run.Level, run.Frames()};
        std::string game = digest.Finish(facts);
        if (!hadGame || run.Score > v.Best.Score) {
            v.Best = facts;
            v.GameHash = std::move(game);
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
            if (event == RunWatch::Event::Began) {
                ++v.Games;
                digest.Begin();
            }
            if (digest.On()) {
                digest.Add(form);
                if (!game.InPlay()) digest.Stop();   // lost: the game-over screen starts
            }
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
        v.GameHash.clear();
    } else if (hiddenAt != 0) {
        v.Result = Verdict::Refused;
        v.Message = "W, E or R was pressed during play at frame " + std::to_string(hiddenAt) +
                    "; the table does not rank such runs";
        v.Best = {};
        v.GameHash.clear();
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

// pellimunch-bot: plays the game from a seed as a careful player would, with
// the ordinary keys only (no test keys), and writes what it pressed as a key
// script for the runner. It looks ahead on copies of the game record: every
// few frames it tries each move for a while, followed by a few ways to go on,
// and keeps the move whose best future loses the fewest lives and scores the
// most. It plays the same every time, so a script can be made again.
//
//   pellimunch-bot --seed N --level L [--dir DATA] [--out FILE]
//
// It starts a run and plays until the run reaches level L; then it lets the
// rival have the ball (no key at all) until the game over hands back to the
// title, and leaves with Escape.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "driver/script.h"
#include "game/game_constants.h"
#include "hosts/headless/headless_host.h"
#include "machine/record_store.h"
#include "game/view.h"

namespace {

using pm::FormMain;
using pm::GameView;
using pm::FrameInput;
namespace Key = pm::Key;

// The moves it chooses from, as held keys.
struct Move {
    bool Left, Right, Jump, Special;
};
constexpr Move Moves[] = {
    {false, false, false, false}, {true, false, false, false}, {false, true, false, false},
    {false, false, true, false},  {true, false, true, false},  {false, true, true, false},
    {false, false, false, true},  {true, false, false, true},  {false, true, false, true},
};
constexpr int MoveCount = static_cast<int>(sizeof Moves / sizeof Moves[0]);

FrameInput InputOf(const Move& m) {
    FrameInput in;
    if (m.Left) in.Keys[Key::Left] = 128;
    if (m.Right) in.Keys[Key::Right] = 128;
    if (m.Jump) in.Keys[Key::Space] = 128;
    if (m.Special) in.Keys[Key::Up] = 128;
    return in;
}

constexpr int DecideEvery = 8;    // frames a chosen move is held
constexpr int Horizon = 56;       // frames each future is followed

// How good a future is: lives come first, then the score.
double Value(const FormMain& before, const FormMain& after) {
    const GameView was(before), now(after);
    const double lives = static_cast<double>(now.Lives()) - was.Lives();
    const double over = !now.InPlay() ? -1e9 : 0.0;
    return over + lives * 1e7 + (static_cast<double>(now.Score()) - was.Score());
}

class Bot {
public:
    Bot(pm::HeadlessHost& host, FormMain& game, uint32_t dice) : host_(host), game_(game), dice_(dice) {
        runs_.Start(GameView(game_));
    }

    // Runs one frame of the real game with `in` and writes it down.
    bool Play(const FrameInput& in) {
        pm::keys::ScriptSpan span;
        span.Count = 1;
        for (uint8_t code : pm::keys::NamedKeyCodes)
            if (in.Keys[code] != 0) span.Keys.Add(code);
        if (!script_.empty() && script_.back().Keys == span.Keys && script_.back().Count < 100000)
            ++script_.back().Count;
        else
            script_.push_back(span);
        ++frames_;
        const bool on = game_.Step(in) == pm::FrameEnd::GoingOn;
        if (runs_.Frame(GameView(game_), frames_) == pm::RunWatch::Event::Ended) runEnded_ = true;
        host_.SoundLog.clear();
        return on;
    }

    // The move to hold next. The wish comes from a wandering plan (sweep
    // toward a target, jump now and then); it is kept when some way of going
    // on from it loses no life. Otherwise every move is tried and the one
    // whose best future is best wins.
    int Choose() {
        const int wish = Wish();
        if (Safe(wish)) return last_ = wish;
        double best = -1e300;
        int chosen = wish;
        for (int m = 0; m < MoveCount; ++m) {
            double future = BestFuture(m, false);
            if (m == wish) future += 0.5;   // ties go to the plan
            if (future > best) {
                best = future;
                chosen = m;
            }
        }
        return last_ = chosen;
    }

    std::string Script() const {
        std::string text;
        for (const pm::keys::ScriptSpan& s : script_) text += pm::keys::FormatSpan(s) + '\n';
        return text;
    }
    uint64_t Frames() const { return frames_; }
    bool RunEnded() const { return runEnded_; }

private:
    // The bot's own dice, apart from the game's generator.
    uint32_t Dice() {
        dice_ = dice_ * 1103515245u + 12345u;
        return dice_ >> 16;
    }

    // Toward the lowest item on the screen (the next to be missed), else
    // toward a target of its own; a jump when an item is overhead.
    int Wish() {
        const GameView game(game_);
        const std::span<const pm::Item> items = game.ItemsInPlay();
        const double x = game.Ball().X;
        int item = -1;
        for (int j = 0; j < static_cast<int>(items.size()); ++j) {
            const pm::Item& it = items[j];
            if (it.X < 20 || it.X > 780 || it.Y < 0 || it.Y > 470) continue;
            if (item < 0 || it.Y > items[item].Y) item = j;
        }
        if (item >= 0) {
            target_ = static_cast<int>(items[item].X);
        } else if (target_ < 0 || std::abs(x - target_) < 30) {
            target_ = 80 + static_cast<int>(Dice() % 640);
        }
        const int way = std::abs(x - target_) < 12 ? 0 : x < target_ ? 2 : 1;   // stay, Right or Left
        const bool overhead = item >= 0 && std::abs(x - target_) < 60 && items[item].Y < game.Ball().Y - 60;
        const uint32_t roll = Dice() % 16;
        if (roll == 0 && way != 0) return way + 6;   // the special move on the way
        if (overhead || roll < 2) return way + 3;    // a jump
        return way;
    }

    // The value of holding `move` for a decision's frames, then the best of a
    // few ways to go on; with `stopWhenSafe`, stops at the first future that
    // loses nothing.
    double BestFuture(int move, bool stopWhenSafe) {
        FormMain first = game_;
        Run(first, move, DecideEvery);
        double future = -1e300;
        for (int then : {move, 0, 4, 5, 3}) {
            FormMain f = first;
            Run(f, then, Horizon);
            const double v = Value(game_, f);
            if (v > future) future = v;
            if (stopWhenSafe && future >= 0) break;
        }
        return future;
    }
    bool Safe(int move) { return BestFuture(move, true) >= 0; }

    void Run(FormMain& f, int move, int frames) {
        const FrameInput in = InputOf(Moves[move]);
        for (int i = 0; i < frames && GameView(f).InPlay(); ++i) {
            f.Step(in);
            host_.SoundLog.clear();
        }
    }

    pm::HeadlessHost& host_;
    FormMain& game_;
    std::vector<pm::keys::ScriptSpan> script_;
    uint64_t frames_ = 0;
    int last_ = 0;
    int target_ = -1;
    uint32_t dice_ = 1;
    pm::RunWatch runs_;
    bool runEnded_ = false;
};

int Usage() {
    std::fputs("usage: pellimunch-bot --seed N --level L [--dir DATA] [--out FILE]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long seed = 1;
    long level = 0;
    std::string dir, out;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return Usage();
        const char* v = argv[++i];
        if (a == "--seed") seed = std::strtoul(v, nullptr, 10);
        else if (a == "--level") level = std::strtol(v, nullptr, 10);
        else if (a == "--dir") dir = std::string(v) + "/";
        else if (a == "--out") out = v;
        else return Usage();
    }
    if (level < 1) return Usage();

    // No record kept yet, as the stored replays start with none.
    pm::FixedRecord record;
    pm::HeadlessHost host(dir);
    host.UseRecords(&record);
    auto game = std::make_unique<FormMain>(host);
    game->Form_Load(static_cast<uint32_t>(seed));
    Bot bot(host, *game, static_cast<uint32_t>(seed));

    // A moment on the title, then Shift starts the run.
    for (int i = 0; i < 30; ++i) bot.Play(FrameInput{});
    FrameInput shift;
    shift.Keys[Key::LShift] = 128;
    bot.Play(shift);

    const GameView view(*game);
    while (view.InPlay() && view.Level() < level) {
        const FrameInput in = InputOf(Moves[bot.Choose()]);
        for (int i = 0; i < DecideEvery && view.InPlay(); ++i) bot.Play(in);
        if (bot.Frames() % 960 < DecideEvery)
            std::fprintf(stderr, "frame %llu: level %d, lives %d, score %d\n",
                         static_cast<unsigned long long>(bot.Frames()), view.Level(), view.Lives(), view.Score());
    }
    std::fprintf(stderr, "reached level %d at frame %llu: lives %d, score %d\n", view.Level(),
                 static_cast<unsigned long long>(bot.Frames()), view.Lives(), view.Score());
    // The rival ends the run; its game over hands back to the title.
    for (int i = 0; i < 30000 && !bot.RunEnded(); ++i) bot.Play(FrameInput{});
    for (int i = 0; i < 30; ++i) bot.Play(FrameInput{});
    FrameInput escape;
    escape.Keys[Key::Escape] = 128;
    bot.Play(escape);
    std::fprintf(stderr, "left at frame %llu: state %d, record %d\n", static_cast<unsigned long long>(bot.Frames()),
                 view.GameState(), view.Record());

    const std::string text = "# Made by pellimunch-bot --seed " + std::to_string(seed) + " --level " +
                             std::to_string(level) + "\n" + bot.Script();
    if (out.empty()) {
        std::fputs(text.c_str(), stdout);
    } else {
        std::FILE* f = std::fopen(out.c_str(), "wb");
        if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "pellimunch-bot: cannot write %s\n", out.c_str());
            return 1;
        }
    }
    return 0;
}

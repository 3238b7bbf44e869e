// The game in a web page: a thin main around the one driver. The browser
// calls Tick once per display refresh; the session runs the ticks that are
// due at 60 a second and decides, as on the desktop, about the pause (P,
// Pause, a pad's Start, a hidden tab, the page losing the keyboard), mute
// (M) and the ways out (Escape or a mouse press on the game end the session
// with the save, and the page offers another).
//
// The page (tools/web/page/page.js) calls the functions marked
// EMSCRIPTEN_KEEPALIVE below; it also has a test mode that runs a seeded key
// script to a given frame as fast as it can, in slices that leave the tab
// free between them, and leaves that frame shown.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "driver/daily.h"
#include "driver/driver.h"
#include "driver/ghost.h"
#include "driver/replay.h"
#include "driver/replay_keeper.h"
#include "driver/script.h"
#include "driver/session.h"
#include "machine/key_codes.h"
#include "hosts/web/browser_record.h"
#include "hosts/web/web_host.h"

// The page's side.
EM_JS(void, pm_js_ended, (int highScore), { Module.pmPage.ended(highScore); });
EM_JS(void, pm_js_failed, (const char* message), { Module.pmPage.failed(UTF8ToString(message)); });
EM_JS(void, pm_js_started, (), { Module.pmPage.started(); });
EM_JS(void, pm_js_test_done, (int frame), { Module.pmPage.testDone(frame); });
EM_JS(void, pm_js_new_best, (int highScore), { Module.pmPage.newBest(highScore); });
EM_JS(void, pm_js_daily_ended, (int score, int level, const char* share),
      { Module.pmPage.dailyEnded(score, level, UTF8ToString(share)); });

namespace {

struct FrameStats {
    double Frames = 0, TotalMs = 0, MaxMs = 0, Over1Ms = 0;
    void Add(double ms) {
        Frames += 1;
        TotalMs += ms;
        if (ms > MaxMs) MaxMs = ms;
        if (ms > 1.0) Over1Ms += 1;
    }
};

// ---- The world table's side (tools/web/page/board.js) ----------------------
// A run that sets the player's best is kept as a replay of the session up
// to its game over, for the page to send to the table; and a run from the
// table can be watched, with a record of its own.
struct BoardLink {
    pm::keys::Script WatchedKeys;
    pm::FixedRecord WatchedRecord;
    std::string Best;   // the session up to the run that set the best, as a replay
    pm::ReplayKeeper Keeper{{}, {}, [this](const pm::Replay& sofar, int32_t record) {
                                Best = pm::FormatReplay(sofar);
                                pm_js_new_best(record);
                            }};
};
// -----------------------------------------------------------------------------

// ---- The daily run (tools/web/page/daily.js) --------------------------------
// The day's seed, the game started by the session itself, one game; the page
// keeps the day's best attempt and may race it, or the day's leader, as a
// ghost drawn over the frames shown.
struct DailyLink {
    std::optional<pm::Day> Day;           // this session is that day's run
    std::string Attempt;                  // its attempt, once over, as a replay
    std::unique_ptr<pm::Ghost> Ghost;
    std::unique_ptr<pm::GhostLens> Lens;
};
// -----------------------------------------------------------------------------

struct Page {
    pm::web::WebHost Host{"/"};
    BoardLink Board;
    DailyLink Daily;
    bool Watching = false;
    pm::web::BrowserRecord Record;
    pm::RecordStore* Store = nullptr;  // the running session's
    pm::FixedRecord NoRecord;          // the test mode's: nothing read or written
    pm::keys::Script TestScript;
    std::unique_ptr<pm::Session> Session;
    pm::TickSchedule Schedule;
    pm::DesktopSettings Settings;
    bool Running = false;
    bool LoopStarted = false;
    FrameStats Stats;
    double Ticks = 0;   // the session's ticks, each one a read of the keys
};

Page* ThePage = nullptr;

void Fail(const std::string& message) {
    pm::SayLine(message);
    pm_js_failed(pm::OneLine(message).c_str());
}

// The next session is not a daily run, and races nobody. The last session
// (which may still follow the ghost) is let go first.
void NotDaily(Page& p) {
    p.Session.reset();
    p.Daily.Day.reset();
    p.Daily.Lens.reset();
    p.Daily.Ghost.reset();
}

// The daily run's part of a new session: the session starts its own game,
// the keeper hears of the attempt, the ghost (if any) runs beside it. Any
// other session clears it away.
void StartDaily(Page& p) {
    if (!p.Daily.Day) {
        p.Board.Keeper.KeepDaily({}, {});
        return;
    }
    p.Daily.Attempt.clear();
    const pm::Day day = *p.Daily.Day;
    p.Board.Keeper.KeepDaily({}, [&p, day](const pm::Replay& attempt, const pm::RunResult& run, bool) {
        p.Daily.Attempt = pm::FormatReplay(attempt);
        pm_js_daily_ended(run.Score, run.Level, pm::ShareLine(day, run.Score, run.Level).c_str());
    });
    p.Session->PlayDaily();
    if (p.Daily.Ghost) {
        p.Daily.Lens->Follow(p.Session->View());
        p.Session->Race(*p.Daily.Ghost);
        p.Daily.Ghost->Start();
    }
}

// A new session on the page's host, its game started; false (and said on
// the page) when the start-up failed.
bool StartSession(Page& p, pm::RecordStore& record, uint32_t seed, const pm::keys::Script* script, uint64_t stop,
                  pm::Source source = pm::Source::Script, pm::FrameEnd quitAfter = pm::FrameEnd::GoingOn) {
    p.Host.Keys.Clear();
    p.Host.ForgetEvents();
    p.Host.UseRecords(&record);
    p.Store = &record;
    pm::SessionSetup setup;
    setup.Settings = p.Settings;
    setup.Remember = [&p](const pm::DesktopSettings& s) { p.Settings = s; };
    setup.Keeper = &p.Board.Keeper;   // heard only for the player's own sessions
    p.Board.Best.clear();
    pm::Host& game = p.Daily.Lens ? static_cast<pm::Host&>(*p.Daily.Lens) : p.Host;
    p.Session = std::make_unique<pm::Session>(game, &p.Host, std::move(setup));
    if (script) p.Session->Follow(*script, source, stop, source == pm::Source::Watch);
    p.Session->QuitAfter(quitAfter);
    p.Watching = source == pm::Source::Watch;
    try {
        StartDaily(p);
        p.Session->Start(seed);
    } catch (const std::exception& e) {
        Fail(e.what());
        return false;
    }
    return true;
}

// One tick, timed when it ran a frame: the game's frame with its drawing and
// the picture handed to the canvas.
pm::Session::Tick TimedTick(Page& p) {
    const double t0 = emscripten_get_now();
    p.Ticks += 1;
    const pm::Session::Tick tick = p.Session->Run();
    if (p.Session->FramesLastTick() > 0) p.Stats.Add(emscripten_get_now() - t0);
    return tick;
}

void EndSession(Page& p) {
    p.Running = false;
    p.Session->Finish();
    // Mended: the end panel showed this session's record even when another
    // tab had stored a higher one meanwhile; it shows what the storage holds
    // (the save kept the higher of the two).
    int32_t shown = p.Session->View().KeptRecord();
    if (p.Store == &p.Record) {
        const pm::RecordRead stored = p.Record.Load();
        if (stored.Status == pm::RecordStatus::Ok) shown = stored.Value;
    }
    pm_js_ended(shown);
}

void Tick() {
    Page& p = *ThePage;
    if (!p.Running) return;
    const int32_t due = p.Schedule.Due(static_cast<uint64_t>(emscripten_get_now() * 1000.0));
    for (int32_t n = 0; n < due && p.Running; ++n) {
        try {
            switch (TimedTick(p)) {
                case pm::Session::Tick::Over: EndSession(p); return;
                case pm::Session::Tick::Held: EndSession(p); return;   // a watched run is over
                case pm::Session::Tick::Resumed: p.Schedule.Restart(); return;
                case pm::Session::Tick::Paused: return;
                default: break;
            }
        } catch (const std::exception& e) {
            p.Running = false;
            Fail(std::string("frame ") + std::to_string(p.Session->Frames() + 1) + ": " + e.what());
            return;
        }
    }
}

EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* e, void*) {
    Page& p = *ThePage;
    const uint8_t code = pm::web::DomKeyCode(e->code);
    if (type == EMSCRIPTEN_EVENT_KEYDOWN) {
        if (!e->repeat) p.Host.Keys.Down(code);
    } else {
        p.Host.Keys.Up(code);
    }
    // The game's keys, and P and M, are the game's while it runs; every
    // other key keeps the browser's meaning.
    const bool ours = pm::web::GameUsesKey(code) || code == pm::Key::P || code == pm::Key::M;
    return p.Running && ours && !e->altKey && !e->ctrlKey && !e->metaKey;
}

EM_BOOL OnMouseDown(int, const EmscriptenMouseEvent*, void*) {
    Page& p = *ThePage;
    if (!p.Running || p.Session->Paused()) return EM_FALSE;
    p.Host.MousePress();
    return EM_TRUE;
}

EM_BOOL OnBlur(int, const EmscriptenFocusEvent*, void*) {
    // The key releases will not come: forget every key, and hold the game.
    ThePage->Host.Keys.Clear();
    ThePage->Host.FocusLoss();
    return EM_FALSE;
}

EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent* e, void*) {
    if (e->hidden) ThePage->Host.FocusLoss();
    return EM_FALSE;
}

// The session just started runs at the display's pace from now on.
void Begin(Page& p) {
    p.Running = true;
    p.Schedule.Restart();
    if (!p.LoopStarted) {
        p.LoopStarted = true;
        emscripten_set_main_loop(Tick, 0, 0);
    }
}

}  // namespace

extern "C" {

// Starts a session at the player's click (the browser allows sound only
// after one), and again for each "play again". `muted` is the page's
// remembered choice.
EMSCRIPTEN_KEEPALIVE void pm_play(int muted) {
    Page& p = *ThePage;
    if (p.Running) return;
    p.Settings.Muted = muted != 0;
    NotDaily(p);
    if (!StartSession(p, p.Record, pm::ClockSeed(), nullptr, 0)) return;
    Begin(p);
}

// The daily run of the day `yyyymmdd` (the page's UTC day), racing `ghost`
// (a daily replay's text of the same day) unless it is empty. Non-zero, said
// on the page, for a day that is no date or a ghost of another run.
EMSCRIPTEN_KEEPALIVE int pm_daily(int yyyymmdd, const char* ghost, int muted) {
    Page& p = *ThePage;
    if (p.Running) return 1;
    const std::optional<pm::Day> day =
        pm::ParseDay(pm::DayText({yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100}));
    if (!day || static_cast<int>(pm::DayNumber(*day)) != yyyymmdd) {
        Fail("no such day: " + std::to_string(yyyymmdd));
        return 1;
    }
    NotDaily(p);
    if (ghost && *ghost) {
        pm::Replay raced;
        pm::keys::ScriptError bad;
        if (!pm::ParseReplay(ghost, raced, bad)) {
            Fail("the ghost's replay, line " + std::to_string(bad.Line) + ": " + bad.Message);
            return 1;
        }
        if (raced.Seed != pm::DailySeed(*day) || !pm::HasDailyStart(raced.Keys)) {
            Fail("the ghost is not a daily run of " + pm::DayText(*day));
            return 1;
        }
        p.Daily.Ghost = std::make_unique<pm::Ghost>(std::move(raced));
        p.Daily.Lens = std::make_unique<pm::GhostLens>(p.Host, *p.Daily.Ghost);
    }
    p.Daily.Day = day;
    p.Settings.Muted = muted != 0;
    if (!StartSession(p, p.Record, pm::DailySeed(*day), nullptr, 0)) return 1;
    Begin(p);
    return 0;
}

// The daily attempt of the last daily session, as a replay file's text;
// empty until its game is over.
EMSCRIPTEN_KEEPALIVE const char* pm_daily_replay() { return ThePage->Daily.Attempt.c_str(); }

// The test mode: the seed, a key script (lines may be joined with ';') and
// the frame to stop after. Only sets the run up: pm_test_slice runs it.
// No record is read or written: the high score starts at its default.
EMSCRIPTEN_KEEPALIVE int pm_test(uint32_t seed, const char* scriptText, uint32_t stop) {
    Page& p = *ThePage;
    std::string text(scriptText);
    for (char& c : text)
        if (c == ';') c = '\n';
    pm::keys::ScriptError bad;
    p.TestScript = pm::keys::Script{};
    if (!pm::keys::ParseScript(text, p.TestScript, bad)) {
        Fail("key script line " + std::to_string(bad.Line) + ": " + bad.Message);
        return 1;
    }
    p.NoRecord = pm::FixedRecord();
    NotDaily(p);
    return StartSession(p, p.NoRecord, seed, &p.TestScript, stop) ? 0 : 1;
}

// Runs the test flat out for about `budgetMs` (at least one frame); returns
// the frames run so far, or -1 once the run is over (the page is told, and
// the canvas keeps the last frame), or -2 when a frame failed (said on the
// page). Between two slices the browser draws and hears the player.
EMSCRIPTEN_KEEPALIVE double pm_test_slice(double budgetMs) {
    Page& p = *ThePage;
    if (!p.Session) return -2;
    const double until = emscripten_get_now() + budgetMs;
    // Only the slice's last frame is shown.
    p.Host.Quiet = true;
    bool over = false;
    try {
        do {
            over = TimedTick(p) == pm::Session::Tick::Over;
        } while (!over && emscripten_get_now() < until);
    } catch (const std::exception& e) {
        p.Host.Quiet = false;
        Fail(std::string("frame ") + std::to_string(p.Session->Frames() + 1) + ": " + e.what());
        return -2;
    }
    p.Host.Quiet = false;
    p.Host.ShowLast();
    if (over) {
        pm_js_test_done(static_cast<int>(p.Session->Frames()));
        return -1;
    }
    return static_cast<double>(p.Session->Frames());
}

// The world table: the session up to the run that set the player's best,
// as a replay file's text; empty when this session set none.
EMSCRIPTEN_KEEPALIVE const char* pm_best_replay() { return ThePage->Board.Best.c_str(); }

// The world table: watches a replay (its text) at the game's own pace, from
// its seed and the record it started with; the player's record is neither
// read nor written. Non-zero when the text is no replay.
EMSCRIPTEN_KEEPALIVE int pm_watch(const char* text, int muted) {
    Page& p = *ThePage;
    if (p.Running) return 1;
    pm::Replay replay;
    pm::keys::ScriptError bad;
    if (!pm::ParseReplay(text, replay, bad)) {
        Fail("replay line " + std::to_string(bad.Line) + ": " + bad.Message);
        return 1;
    }
    p.Settings.Muted = muted != 0;
    p.Board.WatchedKeys = std::move(replay.Keys);
    p.Board.WatchedRecord = pm::FixedRecord(replay.HighScore);
    NotDaily(p);
    if (!StartSession(p, p.Board.WatchedRecord, replay.Seed, &p.Board.WatchedKeys, replay.EndFrame, pm::Source::Watch,
                      replay.End))
        return 1;
    Begin(p);
    return 0;
}

// The audio callback's source: `frames` stereo frames of the game's mix.
EMSCRIPTEN_KEEPALIVE void pm_mix(int16_t* out, int frames) {
    ThePage->Host.Mix(out, static_cast<size_t>(frames > 0 ? frames : 0));
}

// A key of the game's key table pressed or let go by the page's own controls
// (on-screen buttons, a pad), as the keyboard would.
EMSCRIPTEN_KEEPALIVE void pm_key(int code, int down) {
    if (code <= 0 || code > 255) return;
    if (down) {
        ThePage->Host.Keys.Down(static_cast<uint8_t>(code));
    } else {
        ThePage->Host.Keys.Up(static_cast<uint8_t>(code));
    }
}

// The game's code of a key named as KeyboardEvent.code names it ("ArrowLeft"),
// or 0: the page's on-screen keys name the keys they stand for.
EMSCRIPTEN_KEEPALIVE int pm_key_code(const char* domCode) { return pm::web::DomKeyCode(domCode ? domCode : ""); }

// The session so far as the game read it, in the replay format (for the
// page's tests: the runner plays it back to the same state). Valid until the
// next call.
EMSCRIPTEN_KEEPALIVE const char* pm_replay() {
    static std::string text;
    const Page& p = *ThePage;
    if (!p.Session) return "";
    const pm::GameView game = p.Session->View();
    text = pm::FormatReplay(p.Session->Recording().Snapshot(game.Ended(), game.Record()));
    return text.c_str();
}

// The page's layout changed under a finger that held a key (the device
// turned): as when the page loses the keyboard, every key is let go and the
// game holds.
EMSCRIPTEN_KEEPALIVE void pm_focus_lost() {
    ThePage->Host.Keys.Clear();
    ThePage->Host.FocusLoss();
}

// How the page draws: 1 for WebGL, which takes the 16-bit frame as it is,
// 0 for a 2D canvas, which is given RGBA bytes.
EMSCRIPTEN_KEEPALIVE void pm_canvas_gl(int gl) { ThePage->Host.WidenForCanvas = gl == 0; }

// The pause notice's button was pressed.
EMSCRIPTEN_KEEPALIVE void pm_resume() { ThePage->Host.ResumeRequest(); }

// The page is going away: the window's close, with the save.
EMSCRIPTEN_KEEPALIVE void pm_page_closing() {
    Page& p = *ThePage;
    if (!p.Running) return;
    p.Session->Close();
    // Should the browser keep the page and bring it back, it offers a new session.
    EndSession(p);
}

// A few numbers for the page's tests and figures.
EMSCRIPTEN_KEEPALIVE double pm_probe(int what) {
    const Page& p = *ThePage;
    const std::optional<pm::GameView> game =
        p.Session ? std::optional<pm::GameView>(p.Session->View()) : std::nullopt;
    switch (what) {
        case 0: return p.Session ? static_cast<double>(p.Session->Frames()) : 0;
        case 1: return game ? game->GameState() : -1;
        case 2: return game ? game->Ball().X : 0;
        case 3: return game ? game->Score() : 0;
        case 4: return game ? game->Record() : 0;
        case 5: return p.Running ? 1 : 0;
        case 6: return p.Session && p.Session->Paused() ? 1 : 0;
        case 10: return p.Stats.Frames;
        case 11: return p.Stats.TotalMs;
        case 12: return p.Stats.MaxMs;
        case 13: return p.Stats.Over1Ms;
        case 14: return p.Host.PresentMs;
        case 15: return p.Ticks;
        case 20: return p.Watching ? 1 : 0;
        case 21: return p.Daily.Ghost ? p.Daily.Ghost->View().Score() : -1;
        case 22: return p.Daily.Ghost ? p.Daily.Ghost->View().Ball().X : 0;
        case 23: return p.Daily.Ghost ? p.Daily.Ghost->View().Ball().Y : 0;
        case 24: return p.Daily.Ghost ? static_cast<double>(p.Daily.Ghost->Frames()) : 0;
        case 25: return p.Daily.Day ? pm::DailySeed(*p.Daily.Day) : 0;
        default: return 0;
    }
}

}  // extern "C"

int main() {
    ThePage = new Page();
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, 1, OnKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, 1, OnKey);
    emscripten_set_mousedown_callback("#canvas", nullptr, 1, OnMouseDown);
    // Not in the capture phase: there it would also hear every element of
    // the page losing focus, not only the window.
    emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, 0, OnBlur);
    emscripten_set_visibilitychange_callback(nullptr, 1, OnVisibility);
    pm_js_started();
    return 0;
}

// The game in a web page: the browser calls us once per display refresh and
// the game runs the frames that are due at 60 a second, each one Step as on
// the desktop. A hidden tab, a page without the keyboard or the P key pauses
// (no frame runs, the sound is held); Escape or a mouse press on the game
// ends the session with the save, and the page offers another.
//
// The page (tools/web/page/page.js) calls the functions marked
// EMSCRIPTEN_KEEPALIVE below; it also has a test mode that runs a seeded key
// script to a given frame as fast as it can and leaves that frame shown.
#include <emscripten.h>
#include <emscripten/html5.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "driver/driver.h"
#include "driver/replay.h"
#include "driver/script.h"
#include "names.h"
#include "platform/web/web_host.h"
#include "shell/game_state.h"

// The page's side.
EM_JS(char*, pm_js_load_record, (), {
    var text = null;
    try { text = window.localStorage.getItem("pellimunch/score.dat"); } catch (e) {}
    if (text === null) return 0;
    var size = lengthBytesUTF8(text) + 1;
    var p = _malloc(size);
    stringToUTF8(text, p, size);
    return p;
});
EM_JS(void, pm_js_store_record, (const char* text), {
    try {
        window.localStorage.setItem("pellimunch/score.dat", UTF8ToString(text));
    } catch (e) {
        console.error("pellimunch: the browser's storage refused the high score (" + e + ")");
    }
});
EM_JS(void, pm_js_paused, (int paused), { Module.pmPage.paused(!!paused); });
EM_JS(void, pm_js_ended, (int highScore), { Module.pmPage.ended(highScore); });
EM_JS(void, pm_js_failed, (const char* message), { Module.pmPage.failed(UTF8ToString(message)); });
EM_JS(void, pm_js_toggle_mute, (), { Module.pmPage.toggleMute(); });
EM_JS(void, pm_js_started, (), { Module.pmPage.started(); });
EM_JS(void, pm_js_test_done, (int frame), { Module.pmPage.testDone(frame); });
EM_JS(void, pm_js_new_best, (int highScore), { Module.pmPage.newBest(highScore); });

namespace {

constexpr const char* RecordFile = "/save/score.dat";

// Frames at most in one call, after which the clock starts afresh: a slow
// machine slows the game down rather than skipping ahead.
constexpr int MaxStepsPerCall = 4;

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
// The session is recorded as a replay, so that a run that sets the player's
// best can be sent to the table; and a run from the table can be watched.
constexpr const char* WatchRecordFile = "/watch/score.dat";

struct BoardLink {
    pm::ReplayRecorder Recorder;
    bool Recording = false;
    int16_t LastState = 0;
    int32_t RecordBeforeRun = 0;
    std::string Best;        // the session up to the run that set the best
    std::unique_ptr<pm::Replay> Watched;
    std::unique_ptr<pm::sim::ScriptCursor> Cursor;
    uint64_t WatchedFrames = 0;

    void Start(uint32_t seed, const pm::FormMain& form) {
        Recorder.Begin(seed, form.HighScore);
        Recording = !Watched;
        LastState = form.GameState;
        RecordBeforeRun = form.HighScore;
        Best.clear();
    }
    // After each frame of a session: a run that ends above the record it
    // started from is the player's new best.
    void Frame(const pm::FrameInput& input, const pm::FormMain& form) {
        if (!Recording) return;
        Recorder.Add(input);
        if (LastState == pm::State::Title && form.GameState == pm::State::Play) RecordBeforeRun = form.HighScore;
        if (LastState == pm::State::GameOver && form.GameState == pm::State::Title &&
            form.HighScore > RecordBeforeRun) {
            Best = pm::FormatReplay(Recorder.Snapshot(pm::ReplayEnd::Running, form.HighScore));
            pm_js_new_best(form.HighScore);
        }
        LastState = form.GameState;
    }
    // The next frame of the run being watched; false once it is spent.
    bool NextWatched(pm::FrameInput& input) {
        const pm::sim::ScriptSpan* span = Cursor->Next();
        if (!span) return false;
        input = pm::InputOf(*span);
        input.CloseRequested = ++WatchedFrames == Watched->Keys.TotalFrames();
        return true;
    }
};
// -----------------------------------------------------------------------------

struct Page {
    pm::web::WebHost Host{"/", RecordFile};
    BoardLink Board;
    std::unique_ptr<pm::FormMain> Form;
    pm::FramePacer Pacer{1000000, pm::FrameClock::FramesPerSecond};   // microseconds
    bool Running = false;
    bool Paused = false;
    bool LoopStarted = false;
    uint64_t Due = 0;        // when the next frame is due, in microseconds
    bool HaveDue = false;
    uint64_t Frame = 0;
    FrameStats Stats;
};

Page* ThePage = nullptr;

void Fail(const std::string& message) {
    std::string line = message;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "pellimunch: %s\n", line.c_str());
    pm_js_failed(line.c_str());
}

// The record file mirrors the browser's storage: copied in before the game
// reads it, copied out after the shutdown wrote it.
void LoadRecord() {
    std::remove(RecordFile);
    char* text = pm_js_load_record();
    if (!text) return;
    if (std::FILE* f = std::fopen(RecordFile, "wb")) {
        std::fputs(text, f);
        std::fclose(f);
    }
    std::free(text);
}

void StoreRecord() {
    std::FILE* f = std::fopen(RecordFile, "rb");
    if (!f) return;
    std::string text;
    char buf[256];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    pm_js_store_record(text.c_str());
}

bool StartGame(Page& p) {
    p.Host.Keys.Clear();
    p.Host.ForgetEvents();
    p.Form = std::make_unique<pm::FormMain>(p.Host);
    p.Frame = 0;
    try {
        p.Form->Form_Load();
    } catch (const std::exception& e) {
        Fail(e.what());
        return false;
    }
    return true;
}

// One Step, timed: the game's frame with its drawing and the picture handed
// to the canvas.
bool TimedStep(Page& p, const pm::FrameInput& input) {
    const double t0 = emscripten_get_now();
    const bool goesOn = p.Form->Step(input);
    p.Stats.Add(emscripten_get_now() - t0);
    ++p.Frame;
    if (p.Running) p.Board.Frame(input, *p.Form);
    // A record is kept as soon as the run that set it is over, as on the
    // desktop, and goes to the browser's storage at once.
    const int32_t saved = p.Form->SavedHighScore;
    p.Form->SaveRecordIfRaised();
    if (p.Form->SavedHighScore != saved && p.Running) StoreRecord();
    return goesOn;
}

void EndSession(Page& p) {
    p.Running = false;
    p.Paused = false;
    p.Form->Form_Unload();   // done already by every way out; a no-op then
    StoreRecord();
    pm_js_ended(p.Form->HighScore);
}

void Tick() {
    Page& p = *ThePage;
    if (!p.Running || p.Paused) return;
    const uint64_t now = static_cast<uint64_t>(emscripten_get_now() * 1000.0);
    // A quarter of a frame early still counts as on time: display refreshes
    // jitter, and a frame run a little early beats one run a refresh late.
    constexpr uint64_t Slack = 1000000 / pm::FrameClock::FramesPerSecond / 4;
    for (int n = 0; n < MaxStepsPerCall; ++n) {
        if (!p.HaveDue) {
            p.Due = p.Pacer.Deadline(now);
            p.HaveDue = true;
        }
        if (now + Slack < p.Due) return;
        p.HaveDue = false;
        pm::HostEvents events;
        pm::FrameInput input = pm::GatherInput(p.Host, events);
        // Watching a run: its own keys; Escape or the run's end stops it.
        if (p.Board.Watched && (input.Keys[pm::Key::Escape] != 0 || !p.Board.NextWatched(input))) {
            p.Form->CloseWindow();
            EndSession(p);
            return;
        }
        try {
            if (!TimedStep(p, input)) {
                EndSession(p);
                return;
            }
        } catch (const std::exception& e) {
            p.Running = false;
            Fail(std::string("frame ") + std::to_string(p.Frame) + ": " + e.what());
            return;
        }
    }
    // Still behind after the frames allowed in one call: the clock starts
    // afresh at the next, as after a stall on the desktop.
    p.Pacer = pm::FramePacer(1000000, pm::FrameClock::FramesPerSecond);
    p.HaveDue = false;
}

void SetPaused(Page& p, bool paused) {
    if (!p.Running || p.Paused == paused) return;
    p.Paused = paused;
    p.Host.Keys.Clear();
    if (!paused) {
        p.Pacer = pm::FramePacer(1000000, pm::FrameClock::FramesPerSecond);
        p.HaveDue = false;
    }
    pm_js_paused(paused ? 1 : 0);
}

EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* e, void*) {
    Page& p = *ThePage;
    const uint8_t code = pm::web::DomKeyCode(e->code);
    // The page's own keys, as on the desktop: P or Pause pauses and goes on,
    // M mutes and unmutes. The game never reads them.
    if (type == EMSCRIPTEN_EVENT_KEYDOWN && p.Running && !e->repeat && !e->altKey && !e->ctrlKey && !e->metaKey) {
        if (code == pm::Key::P || code == pm::Key::Pause) {
            SetPaused(p, !p.Paused);
            return EM_TRUE;
        }
        if (code == pm::Key::M) {
            pm_js_toggle_mute();
            return EM_TRUE;
        }
    }
    if (type == EMSCRIPTEN_EVENT_KEYDOWN) {
        // Any other key on a paused game goes on with it (Escape then quits).
        if (p.Paused && !e->altKey && !e->ctrlKey && !e->metaKey) SetPaused(p, false);
        if (!e->repeat) p.Host.Keys.Down(code);
    } else {
        p.Host.Keys.Up(code);
    }
    return p.Running && pm::web::GameUsesKey(code);
}

EM_BOOL OnMouseDown(int, const EmscriptenMouseEvent*, void*) {
    Page& p = *ThePage;
    if (!p.Running || p.Paused) return EM_FALSE;
    p.Host.MousePress();
    return EM_TRUE;
}

EM_BOOL OnBlur(int, const EmscriptenFocusEvent*, void*) {
    // The key releases will not come: forget every key, and hold the game.
    ThePage->Host.Keys.Clear();
    SetPaused(*ThePage, true);
    return EM_FALSE;
}

EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent* e, void*) {
    if (e->hidden) SetPaused(*ThePage, true);
    return EM_FALSE;
}

}  // namespace

extern "C" {

// Starts a session at the player's click (the browser allows sound only
// after one), and again for each "play again".
EMSCRIPTEN_KEEPALIVE void pm_play() {
    Page& p = *ThePage;
    if (p.Running) return;
    p.Host.SetScoreFile(RecordFile);
    // The seed is the clock's, as on the desktop, and goes into the replay.
    p.Host.FixedSeed = false;
    p.Host.Seed = p.Host.ClockSeed();
    p.Host.FixedSeed = true;
    p.Board.Watched.reset();
    LoadRecord();
    if (!StartGame(p)) return;
    p.Board.Start(static_cast<uint32_t>(p.Host.Seed), *p.Form);
    p.Running = true;
    p.Paused = false;
    p.Pacer = pm::FramePacer(1000000, pm::FrameClock::FramesPerSecond);
    p.HaveDue = false;
    if (!p.LoopStarted) {
        p.LoopStarted = true;
        emscripten_set_main_loop(Tick, 0, 0);
    }
}

// The test mode: the seed, a key script (lines may be joined with ';') and
// the frame to stop after. Runs flat out; the canvas keeps the last frame.
// No record is read or written: the high score starts at its default.
EMSCRIPTEN_KEEPALIVE int pm_test(uint32_t seed, const char* scriptText, uint32_t stop) {
    Page& p = *ThePage;
    std::string text(scriptText);
    for (char& c : text)
        if (c == ';') c = '\n';
    pm::sim::Script script;
    pm::sim::ScriptError bad;
    if (!pm::sim::ParseScript(text, script, bad)) {
        Fail("key script line " + std::to_string(bad.Line) + ": " + bad.Message);
        return 1;
    }
    p.Host.SetScoreFile("");
    p.Host.FixedSeed = true;
    p.Host.Seed = seed;
    p.Board.Watched.reset();
    if (!StartGame(p)) return 1;
    pm::sim::ScriptCursor cursor(script);
    try {
        for (uint32_t n = 1; n <= stop; ++n) {
            const pm::sim::ScriptSpan* span = cursor.Next();
            if (!TimedStep(p, span ? pm::InputOf(*span) : pm::FrameInput{})) break;
        }
    } catch (const std::exception& e) {
        Fail(std::string("frame ") + std::to_string(p.Frame) + ": " + e.what());
        return 1;
    }
    pm_js_test_done(static_cast<int>(p.Frame));
    return 0;
}

// The world table: the session up to the run that set the player's best,
// as a replay file's text; empty when this session set none.
EMSCRIPTEN_KEEPALIVE const char* pm_best_replay() { return ThePage->Board.Best.c_str(); }

// The world table: watches a replay (its text) at the game's own pace, from
// its seed and starting record; the player's record is neither read nor
// written. Non-zero when the text is no replay.
EMSCRIPTEN_KEEPALIVE int pm_watch(const char* text) {
    Page& p = *ThePage;
    if (p.Running) return 1;
    auto replay = std::make_unique<pm::Replay>();
    pm::sim::ScriptError bad;
    if (!pm::ParseReplay(text, *replay, bad)) {
        Fail("replay line " + std::to_string(bad.Line) + ": " + bad.Message);
        return 1;
    }
    mkdir("/watch", 0755);
    if (std::FILE* f = std::fopen(WatchRecordFile, "wb")) {
        std::fprintf(f, "%d \r\n", static_cast<int>(replay->HighScore));
        std::fclose(f);
    }
    p.Host.SetScoreFile(WatchRecordFile);
    p.Host.FixedSeed = true;
    p.Host.Seed = replay->Seed;
    p.Board.Watched = std::move(replay);
    p.Board.Cursor = std::make_unique<pm::sim::ScriptCursor>(p.Board.Watched->Keys);
    p.Board.WatchedFrames = 0;
    if (!StartGame(p)) return 1;
    p.Board.Start(p.Board.Watched->Seed, *p.Form);
    p.Running = true;
    p.Paused = false;
    p.Pacer = pm::FramePacer(1000000, pm::FrameClock::FramesPerSecond);
    p.HaveDue = false;
    if (!p.LoopStarted) {
        p.LoopStarted = true;
        emscripten_set_main_loop(Tick, 0, 0);
    }
    return 0;
}

// The audio callback's source: `frames` stereo frames of the game's mix.
EMSCRIPTEN_KEEPALIVE void pm_mix(int16_t* out, int frames) {
    ThePage->Host.Mix(out, static_cast<size_t>(frames > 0 ? frames : 0));
}

// The pause overlay was clicked.
EMSCRIPTEN_KEEPALIVE void pm_resume() { SetPaused(*ThePage, false); }

// The page is going away: the window's close, with the save.
EMSCRIPTEN_KEEPALIVE void pm_page_closing() {
    Page& p = *ThePage;
    if (!p.Running) return;
    p.Running = false;
    p.Paused = false;
    p.Form->CloseWindow();
    StoreRecord();
    // Should the browser keep the page and bring it back, it offers a new session.
    pm_js_ended(p.Form->HighScore);
}

// A few numbers for the page's tests and figures.
EMSCRIPTEN_KEEPALIVE double pm_probe(int what) {
    const Page& p = *ThePage;
    const pm::FormMain* f = p.Form.get();
    switch (what) {
        case 0: return static_cast<double>(p.Frame);
        case 1: return f ? f->GameState : -1;
        case 2: return f ? f->BallX : 0;
        case 3: return f ? f->Score : 0;
        case 4: return f ? f->HighScore : 0;
        case 5: return p.Running ? 1 : 0;
        case 6: return p.Paused ? 1 : 0;
        case 10: return p.Stats.Frames;
        case 11: return p.Stats.TotalMs;
        case 12: return p.Stats.MaxMs;
        case 13: return p.Stats.Over1Ms;
        case 14: return p.Host.PresentMs;
        case 20: return p.Board.Watched ? 1 : 0;
        default: return 0;
    }
}

}  // extern "C"

int main() {
    // The memory file system starts with a umask that would leave a saved
    // record unreadable.
    umask(022);
    mkdir("/save", 0755);
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

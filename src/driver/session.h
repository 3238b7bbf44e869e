// The one driver: a session decides each tick for every host (the desktop's
// window, the browser's page, the replay watcher, the headless runner and
// anything that verifies a recording): where the frame's keys come from, the
// pause, mute, the gamepad's Start, the ways out of a paused game, recording
// the player's session and keeping a new record. The game itself only ever
// sees the frames it is given; a paused game is simply not given any, so
// nothing here can change a frame of it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "driver/driver.h"
#include "driver/replay.h"
#include "game/view.h"
#include "platform/desktop.h"

namespace pm {

class Ghost;
class ReplayKeeper;

// Where a session's frames get their keys.
enum class Source : uint8_t {
    Player,   // the keyboard and the pads, as the host reads them
    Watch,    // a recording shown to a player, who steers the watching: F fast, P pause, Escape leaves
    Script,   // a recording run as fast as it is asked for: no pause, no keys but its own
};

struct SessionSetup {
    DesktopSettings Settings;   // the player's choices; mute and full screen change them
    std::function<void(const DesktopSettings&)> Remember;   // called whenever the player changes one
    ReplayKeeper* Keeper = nullptr;   // keeps the player's sessions as replay files
};

class Session {
public:
    enum class Tick {
        Played,    // the game ran its frames
        Paused,    // no frame: the game is paused (or was paused just now)
        Resumed,   // no frame: the pause ended; the next tick plays at once
        Held,      // no frame: a watched recording is over and its last frame stays up
        Over,      // the game has shut down, the player left, or a script ran out
    };

    // `desktop` is the host's pause picture, volume and full screen; null
    // where there are none (the runner, a server).
    Session(Host& host, DesktopControls* desktop, SessionSetup setup = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Before Start: the frames come from a recording. `frames` is how many
    // to run (0: as many as the script holds; past its end no key is down).
    // A Script closes the window after its last frame when `closeAtEnd`.
    void Follow(const keys::Script& script, Source source, uint64_t frames = 0, bool closeAtEnd = true);
    // Before Start: a recording shown to a player, who sees that it is one
    // and, at its end, how it ended against how it was recorded.
    void Watch(const Replay& recording);
    // Before Start, after Follow: how the followed recording says its session
    // ended. A player who leaves while paused (Escape or a click, on a frame
    // that never ran) quits from outside a frame, after the last one: an end
    // of escape or mouse whose key the last frame does not hold. Once the
    // frames are spent, the game quits that way unless a frame already ended
    // it. A close needs nothing: the last frame's close is the same shutdown.
    void QuitAfter(FrameEnd recorded);

    // Before Start: the player's session is a daily run (the seed given to
    // Start is the day's): frames 1 to 59 get no key (Escape, a mouse press
    // and a close still end the session) and frame 60 Left Shift alone.
    void PlayDaily() { daily_ = true; }
    bool Daily() const { return daily_; }
    // Before Start: a ghost plays its own game one frame for each of the
    // player's. Nothing of it reaches the player's game.
    void Race(Ghost& ghost) { ghost_ = &ghost; }

    // The game's start-up. Throws what the start-up throws; the game has
    // shut down by then.
    void Start(uint32_t seed, StartOptions options = {});

    // One tick: the host's messages and keys, the session's decisions, then
    // the frames due: one, none while paused, more while watching fast.
    Tick Run();

    // Ends the game as the window's close would (the page going away).
    void Close();
    // After the last tick: the shutdown, when no way out has run it, and
    // the player's replay files.
    void Finish();

    // The game, to read (everything outside it reads it through its view),
    // and the record itself, to copy (a snapshot of the game) or, in the
    // game's own tests, to set up.
    GameView View() const { return GameView(*form_); }
    const FormMain& Game() const { return *form_; }
    FormMain& Game() { return *form_; }
    bool Paused() const { return paused_; }
    uint64_t Frames() const { return frames_; }   // frames the game has run
    int32_t FramesLastTick() const { return ranLastTick_; }
    // How the game ended: GoingOn while it runs, or when a script ran out
    // without closing it.
    FrameEnd End() const { return View().Ended(); }
    // The input of the last frame run.
    const FrameInput& LastInput() const { return lastInput_; }
    // The player's session so far, as a replay.
    const ReplayBuilder& Recording() const { return recording_; }
    // While watching: how the recording played out, once it is spent.
    const std::optional<ReplayOutcome>& Watched() const { return watched_; }
    const DesktopSettings& Settings() const { return setup_.Settings; }

    // After the window gets the focus back, a mouse press within this many
    // ticks is the click that gave it, not a request to quit.
    static constexpr int32_t FocusClickTicks = 15;
    // Frames a tick runs while the watcher holds F.
    static constexpr int32_t FastWatchFrames = 4;

private:
    bool PlayFrame(const FrameInput& input);
    Tick ScriptFrame();
    Tick WatchFrames(const FrameInput& live);
    void EndWatch(FrameEnd end, uint64_t frames);
    void ShowWatching();
    void KeepRaisedRecord();
    void Pause();
    void Resume();
    bool QuitWhilePaused(const FrameInput& live);
    void Remember();
    void DailyKeys(FrameInput& input) const;

    Host& host_;
    DesktopControls* desktop_;
    SessionSetup setup_;
    std::unique_ptr<FormMain> form_;
    Source source_ = Source::Player;
    std::optional<keys::ScriptCursor> cursor_;
    uint64_t total_ = 0;
    bool closeAtEnd_ = true;
    FrameEnd quitAfter_ = FrameEnd::GoingOn;   // Escape or Mouse: how a recording was left between frames

    std::array<uint8_t, 256> previous_{};
    bool paused_ = false;
    bool over_ = false;
    int32_t focusClick_ = 0;
    uint64_t frames_ = 0;
    int32_t ranLastTick_ = 0;
    FrameInput lastInput_;
    int32_t savedRecord_ = 0;
    ReplayBuilder recording_;
    std::optional<ReplayOutcome> watched_;
    const Replay* watchedRecording_ = nullptr;
    WatchNote note_;
    std::string watchTitle_;
    bool daily_ = false;
    Ghost* ghost_ = nullptr;
};

// A recording run through the game from its seed and the record it started
// with, flat out, on the given host (its record store is replaced by the
// recording's own): how it ended. `afterStart` sees the game after its
// start-up, before the first frame; `afterFrame` after each frame with the
// input it read.
ReplayOutcome PlayBack(const Replay& replay, Host& host,
                       const std::function<void(const FormMain&, const FrameInput&)>& afterFrame = {},
                       const std::function<void(const FormMain&)>& afterStart = {}, StartOptions options = {});

}  // namespace pm

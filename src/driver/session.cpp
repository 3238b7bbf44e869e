#include "driver/session.h"

#include <utility>

#include "driver/daily.h"
#include "driver/ghost.h"
#include "driver/replay_keeper.h"

namespace pm {

Session::Session(Host& host, DesktopControls* desktop, SessionSetup setup)
    : host_(host), desktop_(desktop), setup_(std::move(setup)), form_(std::make_unique<FormMain>(host)) {}

Session::~Session() = default;

void Session::Follow(const keys::Script& script, Source source, uint64_t frames, bool closeAtEnd) {
    source_ = source;
    cursor_.emplace(script);
    total_ = frames ? frames : script.TotalFrames();
    closeAtEnd_ = closeAtEnd;
}

void Session::Watch(const Replay& recording) {
    Follow(recording.Keys, Source::Watch, recording.EndFrame);
    QuitAfter(recording.End);
    watchedRecording_ = &recording;
    watchTitle_ = DailyTitle(recording);
}

void Session::QuitAfter(FrameEnd recorded) {
    if (recorded != FrameEnd::Escape && recorded != FrameEnd::Mouse) return;
    quitAfter_ = recorded;
    // The recorded quit is the session's end; a close on the last frame
    // would come first.
    closeAtEnd_ = false;
}

void Session::Start(uint32_t seed, StartOptions options) {
    form_->Form_Load(seed, options);
    savedRecord_ = View().Record();
    if (source_ == Source::Watch) ShowWatching();
    if (source_ != Source::Player) return;
    recording_.Begin(seed, View().Record());
    if (setup_.Keeper) setup_.Keeper->Start(View());
}

Session::Tick Session::Run() {
    ranLastTick_ = 0;
    if (over_) return Tick::Over;
    HostEvents events;
    FrameInput live = GatherInput(host_, events);
    if (source_ == Source::Script) return ScriptFrame();

    // A key counts when it goes down: held keys do not repeat the command.
    const auto pressed = [&](uint8_t key) { return live.Keys[key] != 0 && previous_[key] == 0; };
    const bool pauseKey = pressed(Key::P) || pressed(Key::Pause);
    const bool muteKey = pressed(Key::M);
    previous_ = live.Keys;

    if (desktop_ && events.FullScreenToggled && desktop_->FullScreen() != setup_.Settings.FullScreen) {
        setup_.Settings.FullScreen = desktop_->FullScreen();
        Remember();
    }
    if (muteKey) {
        setup_.Settings.Muted = !setup_.Settings.Muted;
        if (desktop_) desktop_->SetVolume(setup_.Settings.Volume, setup_.Settings.Muted);
        Remember();
    }

    if (paused_) {
        if (events.FocusGained) focusClick_ = FocusClickTicks;
        if (focusClick_ > 0) {
            --focusClick_;
            live.MousePressed = false;
        }
        if (QuitWhilePaused(live)) return Tick::Over;
        if (pauseKey || events.PadStart || events.ResumeRequested) {
            Resume();
            return Tick::Resumed;
        }
        return Tick::Paused;
    }

    // Start begins a run on the title, as Shift does; anywhere else it
    // pauses. A recording that is over has nothing left to hold.
    const bool startOnTitle = source_ == Source::Player && events.PadStart && View().OnTitle();
    if (!watched_ && (pauseKey || (events.PadStart && !startOnTitle) || events.FocusLost)) {
        Pause();
        // A close that came with the focus loss still closes.
        if (QuitWhilePaused(live)) return Tick::Over;
        return Tick::Paused;
    }
    if (source_ == Source::Watch) return WatchFrames(live);
    if (startOnTitle) live.Keys[Key::LShift] = 128;
    if (daily_) DailyKeys(live);
    return PlayFrame(live) ? Tick::Played : Tick::Over;
}

bool Session::PlayFrame(const FrameInput& input) {
    ++frames_;
    ++ranLastTick_;
    lastInput_ = input;
    if (ghost_) ghost_->Frame();
    const FrameEnd end = form_->Step(input);
    if (source_ == Source::Player) {
        recording_.Add(input, View().Record());
        if (setup_.Keeper) setup_.Keeper->Frame(recording_, View(), frames_);
    }
    KeepRaisedRecord();
    if (end == FrameEnd::GoingOn) return true;
    over_ = true;
    return false;
}

// A record is set when the game-over state hands back to the title; it is
// kept then, so that whatever ends the program later (a lost display, a
// signal that cannot be caught, a crash) loses at most the run in progress.
// A failure here is left for the shutdown's save to report, so it is not
// said twice.
void Session::KeepRaisedRecord() {
    const GameView game = View();
    if (game.ShutDown() || game.InGameOver() || game.Record() <= savedRecord_) return;
    savedRecord_ = game.Record();
    host_.SaveRecord(savedRecord_);
}

// A daily session starts its game itself: whatever the player holds before
// frame 60 is not given to the game, then Left Shift alone. Escape stays the
// way out.
void Session::DailyKeys(FrameInput& input) const {
    const uint64_t frame = frames_ + 1;
    if (frame > DailyStartFrame) return;
    const bool escape = input.Keys[Key::Escape] != 0 && frame < DailyStartFrame;
    input.Keys = {};
    if (escape) input.Keys[Key::Escape] = 128;
    if (frame == DailyStartFrame) input.Keys[Key::LShift] = 128;
}

Session::Tick Session::ScriptFrame() {
    if (frames_ >= total_) {
        // Nothing (more) to play: a recording left between frames quits as
        // it was left (a no-op when its last frame ended the game); with no
        // frame at all the window closes before the first.
        if (quitAfter_ != FrameEnd::GoingOn) form_->Quit(quitAfter_);
        if (closeAtEnd_ && frames_ == 0) form_->Quit(FrameEnd::Close);
        over_ = true;
        return Tick::Over;
    }
    FrameInput input;
    if (const keys::ScriptSpan* span = cursor_->Next()) input = InputOf(*span);
    input.CloseRequested = closeAtEnd_ && frames_ + 1 == total_;
    return PlayFrame(input) ? Tick::Played : Tick::Over;
}

Session::Tick Session::WatchFrames(const FrameInput& live) {
    if (live.Keys[Key::Escape] != 0 || live.MousePressed || live.CloseRequested) {
        form_->Form_Unload();
        over_ = true;
        return Tick::Over;
    }
    if (watched_) {
        host_.Present(View().Picture());   // the last frame stays up
        return Tick::Held;
    }
    const int32_t steps = live.Keys[Key::F] != 0 ? FastWatchFrames : 1;
    if (note_.Fast != (steps > 1)) {
        note_.Fast = steps > 1;
        ShowWatching();
    }
    for (int32_t i = 0; i < steps && !watched_; ++i) {
        const keys::ScriptSpan* span = frames_ < total_ ? cursor_->Next() : nullptr;
        if (!span) {   // a recording of no frame
            EndWatch(quitAfter_ != FrameEnd::GoingOn ? quitAfter_ : FrameEnd::Close, frames_);
            break;
        }
        FrameInput input = InputOf(*span);
        const bool last = frames_ + 1 == total_;
        // The session's own ways out would take the window down with it;
        // its last picture stays up instead.
        if (input.Keys[Key::Escape] != 0) {
            EndWatch(FrameEnd::Escape, frames_ + 1);
            break;
        }
        // The last frame ends as the window's close, or as the quit between
        // frames that followed it.
        FrameEnd recorded = quitAfter_ != FrameEnd::GoingOn ? quitAfter_ : FrameEnd::Close;
        if (last && input.MousePressed) {
            recorded = FrameEnd::Mouse;
            input.MousePressed = false;
        }
        if (!PlayFrame(input)) {
            // A mouse press before the end: the game has shut down.
            EndWatch(View().Ended(), frames_);
            return Tick::Over;
        }
        if (last) EndWatch(recorded, frames_);
    }
    return Tick::Played;
}

void Session::EndWatch(FrameEnd end, uint64_t frames) {
    watched_ = ReplayOutcome{frames, end, View().RecordToKeep()};
    if (watchedRecording_) {
        note_ = EndNote(*watchedRecording_, *watched_);
    } else {
        note_.Ended = true;
        note_.HowItEnded = DescribeEnd(*watched_);
    }
    ShowWatching();
}

// Every frame the host shows while watching carries the note.
void Session::ShowWatching() {
    note_.Title = watchTitle_;
    if (desktop_) desktop_->ShowWatching(&note_);
}

void Session::Pause() {
    paused_ = true;
    focusClick_ = 0;
    if (desktop_) desktop_->Pause(View().Picture());   // the frame last shown
}

void Session::Resume() {
    paused_ = false;
    if (desktop_) desktop_->Resume();
}

// The same shutdown as the game's own ways out: Escape unloads at once, a
// mouse press and a close request as at the end of a frame.
bool Session::QuitWhilePaused(const FrameInput& live) {
    FrameEnd how = FrameEnd::GoingOn;
    if (live.Keys[Key::Escape] != 0) {
        how = FrameEnd::Escape;
    } else if (live.MousePressed) {
        how = FrameEnd::Mouse;
    } else if (live.CloseRequested) {
        how = FrameEnd::Close;
    }
    if (how == FrameEnd::GoingOn) return false;
    // Watching, the recording's game is not the player's to end: only the
    // watching ends.
    if (source_ == Source::Watch) {
        form_->Form_Unload();
    } else {
        form_->Quit(how);
    }
    over_ = true;
    return true;
}

void Session::Close() {
    form_->Quit(FrameEnd::Close);
    over_ = true;
}

void Session::Finish() {
    form_->Form_Unload();   // already done by every way out; a no-op then
    over_ = true;
    if (source_ == Source::Watch && desktop_) desktop_->ShowWatching(nullptr);
    if (source_ == Source::Player && setup_.Keeper) setup_.Keeper->Finish(recording_, View());
}

void Session::Remember() {
    if (setup_.Remember) setup_.Remember(setup_.Settings);
}

ReplayOutcome PlayBack(const Replay& replay, Host& host,
                       const std::function<void(const FormMain&, const FrameInput&)>& afterFrame,
                       const std::function<void(const FormMain&)>& afterStart, StartOptions options) {
    FixedRecord record(replay.HighScore);
    host.UseRecords(&record);
    Session session(host, nullptr);
    session.Follow(replay.Keys, Source::Script, replay.EndFrame);
    session.QuitAfter(replay.End);
    session.Start(replay.Seed, options);
    if (afterStart) afterStart(session.Game());
    while (session.Run() != Session::Tick::Over)
        if (afterFrame) afterFrame(session.Game(), session.LastInput());
    if (afterFrame && session.FramesLastTick() > 0) afterFrame(session.Game(), session.LastInput());
    session.Finish();
    host.UseRecords(nullptr);
    return ReplayOutcome{session.Frames(), session.End(), session.View().KeptRecord()};
}

}  // namespace pm

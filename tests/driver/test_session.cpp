// The desktop driver's decisions: a pause holds every frame of the game and
// changes none, its ways out shut down as the game's own do, quick taps and
// the gamepad's Start reach the game as keys, and the player's choices are
// remembered.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include <fstream>
#include <sstream>

#include "driver/session.h"
#include "harness.h"
#include "trace_writer.h"

namespace pm {
namespace {

constexpr uint8_t kLShift = Key::LShift, kRight = Key::Right, kSpace = Key::Space, kUp = Key::Up, kP = Key::P,
                  kPause = Key::Pause, kM = Key::M, kEscape = Key::Escape;

// A headless host whose window reports what the test queues, one pump each.
class ScriptedHost : public HeadlessHost {
public:
    using HeadlessHost::HeadlessHost;
    std::deque<HostEvents> Pending;
    int32_t Releases = 0;
    HostEvents PumpEvents() override {
        HostEvents events = HeadlessHost::PumpEvents();
        if (!Pending.empty()) {
            const HostEvents next = Pending.front();
            Pending.pop_front();
            events.FocusLost = next.FocusLost;
            events.FocusGained = next.FocusGained;
            events.FullScreenToggled = next.FullScreenToggled;
            events.PadStart = next.PadStart;
            events.MousePressed = events.MousePressed || next.MousePressed;
            events.CloseRequested = events.CloseRequested || next.CloseRequested;
        }
        return events;
    }
    void Release() override { ++Releases; }
};

class FakeDesktop : public DesktopControls {
public:
    std::vector<std::string> Calls;
    bool Full = true;
    const Surface* Shown = nullptr;
    void Pause(const Surface& lastFrame) override {
        Calls.push_back("pause");
        Shown = &lastFrame;
    }
    void Resume() override { Calls.push_back("resume"); }
    void SetVolume(int32_t percent, bool muted) override {
        Calls.push_back("volume " + std::to_string(percent) + (muted ? " muted" : ""));
    }
    bool FullScreen() const override { return Full; }
};

struct Rig {
    ScriptedHost host;
    FakeDesktop desktop;
    std::vector<DesktopSettings> remembered;
    Session session{host, &desktop,
                    SessionSetup{DesktopSettings{}, [this](const DesktopSettings& s) { remembered.push_back(s); }}};
    FormMain& form = session.Game();

    explicit Rig(uint32_t seed = 7) { session.Start(seed); }
    Session::Tick Tick(const std::vector<uint8_t>& keys = {}, HostEvents events = {}) {
        host.Keys = {};
        for (uint8_t k : keys) host.Keys[k] = 128;
        host.Pending.push_back(events);
        return session.Run();
    }
    std::string State() const {
        std::string out;
        sim::AppendState(out, form);
        return out;
    }
};

HostEvents FocusLost() {
    HostEvents e;
    e.FocusLost = true;
    return e;
}
HostEvents FocusGained() {
    HostEvents e;
    e.FocusGained = true;
    return e;
}
HostEvents PadStart() {
    HostEvents e;
    e.PadStart = true;
    return e;
}
HostEvents Mouse() {
    HostEvents e;
    e.MousePressed = true;
    return e;
}
HostEvents Close() {
    HostEvents e;
    e.CloseRequested = true;
    return e;
}

// The keys of frame f of a run that starts, runs right and jumps now and then.
std::vector<uint8_t> ScriptKeys(int f) {
    std::vector<uint8_t> keys;
    if (f == 3) keys.push_back(kLShift);
    if (f % 40 < 25) keys.push_back(kRight);
    if (f % 50 < 8) keys.push_back(kSpace);
    if (f % 97 == 0) keys.push_back(kUp);
    return keys;
}

TEST(Session, APauseHoldsTheGameAndChangesNoFrame) {
    // The same run twice, the second paused three times over (by P, by the
    // Pause key and by losing the focus) with keys hammered while paused: the
    // game's record and its sounds come out the same, frame for frame.
    Rig plain, paused;
    std::vector<std::string> plainStates;
    std::vector<SoundCall> plainSound;
    for (int f = 0; f < 400; ++f) {
        ASSERT_EQ(plain.Tick(ScriptKeys(f)), Session::Tick::Played);
        plainStates.push_back(plain.State());
    }
    plainSound = plain.host.SoundLog;

    int f = 0;
    auto playTo = [&](int until) {
        for (; f < until; ++f) {
            ASSERT_EQ(paused.Tick(ScriptKeys(f)), Session::Tick::Played) << f;
            ASSERT_EQ(paused.State(), plainStates[static_cast<size_t>(f)]) << "frame " << f;
        }
    };
    auto holdWhilePaused = [&](int ticks) {
        const std::string held = paused.State();
        const uint64_t frames = paused.session.Frames();
        const int32_t presents = paused.host.Presents;
        for (int t = 0; t < ticks; ++t) {
            ASSERT_EQ(paused.Tick({kRight, kSpace, kUp, kLShift, 17, 18, 19}), Session::Tick::Paused);
            ASSERT_TRUE(paused.session.Paused());
        }
        EXPECT_EQ(paused.State(), held);
        EXPECT_EQ(paused.session.Frames(), frames);
        EXPECT_EQ(paused.host.Presents, presents);
    };

    playTo(100);
    EXPECT_EQ(paused.Tick({kP}), Session::Tick::Paused);
    holdWhilePaused(30);
    EXPECT_EQ(paused.Tick({kP}), Session::Tick::Resumed);
    playTo(200);
    EXPECT_EQ(paused.Tick({kPause}), Session::Tick::Paused);
    holdWhilePaused(5);
    EXPECT_EQ(paused.Tick({kPause}), Session::Tick::Resumed);
    playTo(300);
    EXPECT_EQ(paused.Tick({}, FocusLost()), Session::Tick::Paused);
    holdWhilePaused(5);
    // Getting the focus back does not resume by itself: the player says when.
    EXPECT_EQ(paused.Tick({}, FocusGained()), Session::Tick::Paused);
    EXPECT_EQ(paused.Tick({kP}), Session::Tick::Resumed);
    playTo(400);
    EXPECT_EQ(paused.host.SoundLog, plainSound);
    EXPECT_EQ(paused.session.Frames(), 400u);
    EXPECT_EQ(paused.desktop.Calls,
              (std::vector<std::string>{"pause", "resume", "pause", "resume", "pause", "resume"}));
    // The notice is drawn over the frame last shown, which is the game's.
    EXPECT_EQ(paused.desktop.Shown, &paused.form.BackBuffer);
}

TEST(Session, AHeldPauseKeyTogglesOnceAndAPressPausesAtOnce) {
    Rig rig;
    EXPECT_EQ(rig.Tick({}), Session::Tick::Played);
    EXPECT_EQ(rig.Tick({kP}), Session::Tick::Paused);
    EXPECT_EQ(rig.Tick({kP}), Session::Tick::Paused);   // still held: no second toggle
    EXPECT_EQ(rig.Tick({kP}), Session::Tick::Paused);
    EXPECT_EQ(rig.Tick({}), Session::Tick::Paused);
    EXPECT_EQ(rig.Tick({kP}), Session::Tick::Resumed);
    EXPECT_EQ(rig.Tick({kP}), Session::Tick::Played);    // held from the resume: plays on
    EXPECT_EQ(rig.session.Frames(), 2u);
}

TEST(Session, APausedGameStillQuitsTheUsualWays) {
    for (const char* way : {"escape", "mouse", "close", "close with the focus loss"}) {
        SCOPED_TRACE(way);
        Rig rig;
        rig.Tick({});
        const std::string w = way;
        if (w == "close with the focus loss") {
            HostEvents e = FocusLost();
            e.CloseRequested = true;
            EXPECT_EQ(rig.Tick({}, e), Session::Tick::Over);
        } else {
            EXPECT_EQ(rig.Tick({kP}), Session::Tick::Paused);
            const Session::Tick end = w == "escape" ? rig.Tick({kEscape})
                                      : w == "mouse"  ? rig.Tick({}, Mouse())
                                                      : rig.Tick({}, Close());
            EXPECT_EQ(end, Session::Tick::Over);
        }
        // The shutdown ran once, as for a quit in play.
        EXPECT_TRUE(rig.form.Unloaded);
        EXPECT_EQ(rig.host.Releases, 1);
        rig.form.Form_Unload();
        EXPECT_EQ(rig.host.Releases, 1);
    }
}

TEST(Session, TheClickThatBringsTheFocusBackIsNoQuit) {
    Rig rig;
    rig.Tick({});
    EXPECT_EQ(rig.Tick({}, FocusLost()), Session::Tick::Paused);
    HostEvents click = FocusGained();
    click.MousePressed = true;
    EXPECT_EQ(rig.Tick({}, click), Session::Tick::Paused);
    EXPECT_EQ(rig.Tick({}, Mouse()), Session::Tick::Paused);   // a second click just after
    for (int t = 0; t < Session::FocusClickTicks; ++t) rig.Tick({});
    EXPECT_FALSE(rig.form.Unloaded);
    EXPECT_EQ(rig.Tick({}, Mouse()), Session::Tick::Over);     // later, a click quits again
}

TEST(Session, PadStartRunsFromTheTitleAndPausesElsewhere) {
    Rig rig;
    rig.Tick({});
    ASSERT_EQ(rig.form.GameState, 0);
    // On the title Start is Shift for one frame, so the game reads it.
    EXPECT_EQ(rig.Tick({}, PadStart()), Session::Tick::Played);
    EXPECT_EQ(rig.form.GameState, 1);
    EXPECT_EQ(rig.Tick({}), Session::Tick::Played);
    // In play it pauses and resumes.
    EXPECT_EQ(rig.Tick({}, PadStart()), Session::Tick::Paused);
    EXPECT_EQ(rig.Tick({}), Session::Tick::Paused);
    EXPECT_EQ(rig.Tick({}, PadStart()), Session::Tick::Resumed);
    EXPECT_EQ(rig.Tick({}), Session::Tick::Played);
    EXPECT_EQ(rig.form.GameState, 1);
}

TEST(Session, MuteAndFullScreenAreRemembered) {
    Rig rig;
    rig.Tick({kM});
    rig.Tick({kM});   // held: once
    rig.Tick({});
    EXPECT_TRUE(rig.session.Settings().Muted);
    rig.Tick({kP});
    rig.Tick({kM});   // works while paused too
    EXPECT_FALSE(rig.session.Settings().Muted);
    EXPECT_EQ(rig.desktop.Calls, (std::vector<std::string>{"volume 100 muted", "pause", "volume 100"}));

    rig.desktop.Full = false;
    HostEvents toggled;
    toggled.FullScreenToggled = true;
    rig.Tick({}, toggled);
    EXPECT_FALSE(rig.session.Settings().FullScreen);

    ASSERT_EQ(rig.remembered.size(), 3u);
    EXPECT_TRUE(rig.remembered[0].Muted);
    EXPECT_FALSE(rig.remembered[1].Muted);
    EXPECT_FALSE(rig.remembered[2].FullScreen);
}

// A stored replay's keys (tests/golden), as a recording of the player.
Replay StoredReplay(const std::string& name, uint32_t seed, int32_t record) {
    std::ifstream in(std::string(PM_SOURCE_DIR) + "tests/golden/" + name + ".keys");
    std::stringstream text;
    text << in.rdbuf();
    Replay r;
    keys::ScriptError bad;
    EXPECT_TRUE(keys::ParseScript(text.str(), r.Keys, bad)) << bad.Message;
    r.Seed = seed;
    r.HighScore = record;
    r.EndFrame = r.Keys.TotalFrames();
    return r;
}

// Every driver plays a recording to the same end: flat out (the runner, a
// server), watched at 60 frames a second, and watched with F held.
TEST(Session, ARecordingEndsAlikeInEveryDriver) {
    for (const auto& [name, seed] : {std::pair{"delete", 3u}, std::pair{"patterns", 13u}}) {
        SCOPED_TRACE(name);
        const Replay replay = StoredReplay(name, seed, 1000);
        HeadlessHost flat;
        std::string flatState;
        const ReplayOutcome outcome = PlayBack(replay, flat, [&](const FormMain& f, const FrameInput& input) {
            // The last frame: the window closes at its end, which the
            // watcher leaves to the player.
            if (!input.CloseRequested && f.Ended == FrameEnd::GoingOn) return;
            FormMain open = f;
            open.QuitFlag = False;
            sim::AppendState(flatState, open);
        });
        ASSERT_GT(outcome.Frames, 100u);

        for (bool fast : {false, true}) {
            ScriptedHost host;
            FakeDesktop desktop;
            FixedRecord record(replay.HighScore);
            host.UseRecords(&record);
            Session watch(host, &desktop);
            watch.Follow(replay.Keys, Source::Watch, replay.EndFrame);
            watch.Start(replay.Seed);
            int32_t ticks = 0;
            while (!watch.Watched() && ticks < 100000) {
                host.Keys = {};
                if (fast) host.Keys[Key::F] = 128;
                ASSERT_NE(watch.Run(), Session::Tick::Over);
                ++ticks;
            }
            ASSERT_TRUE(watch.Watched());
            const ReplayOutcome& seen = *watch.Watched();
            EXPECT_EQ(seen.Frames, outcome.Frames);
            EXPECT_EQ(seen.End, outcome.End == FrameEnd::Close ? FrameEnd::Close : outcome.End);
            EXPECT_EQ(seen.HighScore, outcome.HighScore);
            // Held F runs four frames a tick.
            EXPECT_LE(ticks, static_cast<int32_t>(fast ? outcome.Frames / 4 + 2 : outcome.Frames + 1));
            if (outcome.End != FrameEnd::Escape) {   // the watcher never feeds the Escape frame
                std::string state;
                sim::AppendState(state, watch.Game());
                EXPECT_TRUE(state == flatState) << "the watched game ends elsewhere than the played-back one";
            }
            // The last picture stays up until the player leaves.
            host.Keys = {};
            EXPECT_EQ(watch.Run(), Session::Tick::Held);
            host.Keys[Key::Escape] = 128;
            EXPECT_EQ(watch.Run(), Session::Tick::Over);
            watch.Finish();
        }
    }
}

// A session the player leaves while paused (Escape or a click on a frame
// that never ran, or a focus loss and a close) plays back to the end it
// recorded: flat out, as the runner and the board do, and watched.
TEST(Session, ASessionLeftWhilePausedVerifies) {
    for (const char* way : {"escape", "mouse", "close after a focus loss", "escape before any frame"}) {
        SCOPED_TRACE(way);
        const std::string w = way;
        Rig rig;
        const int frames = w == "escape before any frame" ? 0 : 300;
        for (int f = 1; f <= frames; ++f) rig.Tick(ScriptKeys(f));
        ASSERT_EQ(rig.Tick({}, FocusLost()), Session::Tick::Paused);
        const Session::Tick end = w == "mouse" ? rig.Tick({}, Mouse())
                                  : w == "close after a focus loss" ? rig.Tick({}, Close())
                                                                   : rig.Tick({kEscape});
        ASSERT_EQ(end, Session::Tick::Over);
        rig.session.Finish();
        const Replay replay = rig.session.Recording().Snapshot(rig.form.Ended, rig.form.KeptRecord);
        ASSERT_EQ(replay.EndFrame, static_cast<uint64_t>(frames));
        ASSERT_NE(replay.End, FrameEnd::GoingOn);

        // Through the file, as a player's last.replay is read.
        Replay read;
        keys::ScriptError bad;
        ASSERT_TRUE(ParseReplay(FormatReplay(replay), read, bad)) << bad.Message;
        HeadlessHost flat;
        EXPECT_EQ(CompareWithRecording(read, PlayBack(read, flat)), "");

        ScriptedHost host;
        FakeDesktop desktop;
        FixedRecord record(read.HighScore);
        host.UseRecords(&record);
        Session watch(host, &desktop);
        watch.Watch(read);
        watch.Start(read.Seed);
        for (int32_t ticks = 0; !watch.Watched() && ticks < 1000; ++ticks) ASSERT_NE(watch.Run(), Session::Tick::Over);
        ASSERT_TRUE(watch.Watched());
        EXPECT_EQ(CompareWithRecording(read, *watch.Watched()), "");
        watch.Finish();
    }
    // A forged end still fails: Escape on a frame before the last one ends
    // the game there.
    Replay forged = StoredReplay("delete", 3, 1000);
    forged.Keys.Spans.insert(forged.Keys.Spans.begin(), keys::ScriptSpan{});
    forged.Keys.Spans.front().Count = 1;
    forged.Keys.Spans.front().Keys.Add(kEscape);
    forged.EndFrame += 1;
    forged.End = FrameEnd::Escape;
    HeadlessHost flat;
    EXPECT_NE(CompareWithRecording(forged, PlayBack(forged, flat)), "");
}

// Quitting on the game-over screen while the record still climbs keeps the
// record the run earned, not the value the climb had reached.
TEST(Session, AQuitDuringTheClimbKeepsTheWholeRecord) {
    const Replay fevers = StoredReplay("fevers", 11, 10);
    HeadlessHost host;
    FixedRecord record(10);
    host.UseRecords(&record);
    Session session(host, nullptr);
    session.Follow(fevers.Keys, Source::Script, 2480, false);
    session.Start(fevers.Seed);
    while (session.Run() != Session::Tick::Over) {
    }
    const FormMain& climbing = session.Game();
    ASSERT_EQ(climbing.GameState, State::GameOver);
    ASSERT_GT(climbing.HighScore, 10);
    ASSERT_LT(climbing.HighScore, 21415);   // mid-climb
    for (FrameEnd way : {FrameEnd::Escape, FrameEnd::Mouse, FrameEnd::Close}) {
        HeadlessHost other;
        FixedRecord kept(10);
        other.UseRecords(&kept);
        FormMain f = climbing;
        f.HostPtr = &other;
        f.Quit(way);
        EXPECT_EQ(f.KeptRecord, 21415);
        EXPECT_EQ(kept.Value(), 21415);
        EXPECT_EQ(f.HighScore, climbing.HighScore);   // the picture of the climb is as it was
    }
}

// A record below zero (the game never writes one) is read as 0, so the
// game over does not climb for hours.
TEST(Session, ARecordBelowZeroStartsAtZero) {
    HeadlessHost host;
    FixedRecord record(INT32_MIN);
    host.UseRecords(&record);
    Session session(host, nullptr);
    session.Start(5);
    EXPECT_EQ(session.Game().HighScore, 0);
    int32_t frames = 0;
    host.Keys[Key::LShift] = 128;
    session.Run();
    host.Keys = {};
    host.Keys[Key::Delete] = 128;
    session.Run();
    host.Keys = {};
    while (session.Game().GameState != State::Title && frames < 1000) {
        session.Run();
        ++frames;
    }
    EXPECT_LT(frames, 1000);
}

}  // namespace
}  // namespace pm

// The game as everything outside it sees it. The driver, the hosts, the
// tools and the board read the game through this view and never name a
// field of the record: it only reads, so nothing here can change a frame.
#pragma once

#include <cstdint>
#include <span>

#include "game/shell/game_state.h"

namespace pm {

// Where the ball is and what it looks like: enough to draw it again.
struct BallPose {
    float X = 0, Y = 0;   // its centre; Y below 24 is above the screen
    int16_t Kind = 0;     // BallKind
};

// One picture of the game's sheets.
struct SheetPicture {
    const Surface* Sheet = nullptr;
    Rect Where;
};

class GameView {
public:
    explicit GameView(const FormMain& game) : g_(&game) {}

    int16_t GameState() const { return g_->GameState; }   // State::
    bool OnTitle() const { return g_->GameState == State::Title; }
    bool InPlay() const { return g_->GameState == State::Play; }
    bool InGameOver() const { return g_->GameState == State::GameOver; }

    // The record as the game holds it now (it climbs on the game-over
    // screen), what a quit now would keep, and what the shutdown kept.
    int32_t Record() const { return g_->HighScore; }
    int32_t RecordToKeep() const { return g_->RecordToKeep(); }
    int32_t KeptRecord() const { return g_->KeptRecord; }
    // The game has run its shutdown, and how it ended.
    bool ShutDown() const { return g_->Unloaded; }
    FrameEnd Ended() const { return g_->Ended; }

    int32_t Score() const { return g_->Score; }
    int32_t Level() const { return g_->Level; }
    int16_t Lives() const { return g_->Lives; }
    BallPose Ball() const { return {g_->BallX, g_->BallY, g_->BallKind}; }
    // The item slots that run this frame, as a player sees them.
    std::span<const Item> ItemsInPlay() const {
        return std::span<const Item>(g_->Items).first(static_cast<size_t>(g_->LastActiveItem) + 1);
    }

    // The frame last drawn, and the ball's pictures (BallKind or
    // BallPicture) on the main sheet.
    const Surface& Picture() const { return g_->BackBuffer; }
    // The random generator's state, the one part of the game's state that
    // the record's text leaves out (it shows in what the game draws next).
    uint32_t RandomState() const { return g_->Rng.State; }
    SheetPicture BallPicture(int16_t index) const {
        return {&g_->MainSurface, g_->BallRects[static_cast<size_t>(index)]};
    }

private:
    const FormMain* g_;
};

// Follows the runs of a session frame by frame: the one place that says
// when a run began, when it ended and what it earned. A run begins when the
// title hands over to play and ends when its game over hands back to the
// title (the record has stopped climbing by then); a session may also be
// left in the middle of one.
struct RunResult {
    int32_t Score = 0;
    int32_t Level = 0;
    uint64_t Begin = 0;          // the frame before its first
    uint64_t End = 0;            // its last frame
    int32_t RecordBefore = 0;    // the record when it began
    int32_t Record = 0;          // the record after it
    uint64_t Frames() const { return End - Begin; }
    bool RaisedRecord() const { return Record > RecordBefore; }
};

class RunWatch {
public:
    enum class Event : uint8_t { None, Began, Ended };

    // After the start-up (frame 0).
    void Start(const GameView& game);
    // After frame `frame` (1, 2, ...): whether a run began or ended with it.
    // Last() is the run that ended.
    Event Frame(const GameView& game, uint64_t frame);

    bool Started() const { return started_; }
    bool InRun() const { return inRun_; }
    // The session was left on a game-over screen (the run has earned its
    // score; the record is the game's RecordToKeep()).
    bool InGameOver() const { return started_ && last_ == State::GameOver; }
    // The run in progress so far, or the last that ended.
    const RunResult& Last() const { return run_; }

private:
    bool started_ = false;
    bool inRun_ = false;
    int16_t last_ = 0;
    RunResult run_;
};

inline void RunWatch::Start(const GameView& game) {
    started_ = true;
    inRun_ = false;
    last_ = game.GameState();
    run_ = {};
    run_.RecordBefore = run_.Record = game.Record();
}

inline RunWatch::Event RunWatch::Frame(const GameView& game, uint64_t frame) {
    if (!started_) return Event::None;
    Event event = Event::None;
    if (last_ == State::Title && game.InPlay()) {
        inRun_ = true;
        run_ = {};
        run_.Begin = frame - 1;
        run_.RecordBefore = game.Record();
        event = Event::Began;
    }
    if (inRun_) {
        run_.Score = game.Score();
        run_.Level = game.Level();
        run_.End = frame;
        run_.Record = game.Record();
        if (last_ == State::GameOver && game.OnTitle()) {
            inRun_ = false;
            event = Event::Ended;
        }
    }
    last_ = game.GameState();
    return event;
}

}  // namespace pm

#include "driver/ghost.h"

#include <utility>

#include "driver/session.h"

namespace pm {

Surface QuietHost::LoadBitmap(const BitmapFile& entry) {
    // The sheets' sizes are all the game takes from them with no picture.
    return Surface(entry.Surface, entry.Width, entry.Height, entry.Id == BitmapId::Main ? 0xFFFF : 0);
}

std::optional<RunResult> FirstRun(const Replay& replay) {
    QuietHost host;
    RunWatch runs;
    std::optional<RunResult> first;
    uint64_t frame = 0;
    PlayBack(
        replay, host,
        [&](const FormMain& game, const FrameInput&) {
            if (first) return;
            const GameView view(game);
            const RunWatch::Event event = runs.Frame(view, ++frame);
            if (event == RunWatch::Event::Ended || (runs.InRun() && view.ShutDown())) first = runs.Last();
        },
        [&](const FormMain& game) { runs.Start(GameView(game)); }, StartOptions{.Picture = false});
    if (!first && runs.InRun()) first = runs.Last();
    return first;
}

Ghost::Ghost(Replay replay) : replay_(std::move(replay)), record_(replay_.HighScore) {
    host_.UseRecords(&record_);
    form_ = std::make_unique<FormMain>(host_);
}

Ghost::~Ghost() { host_.UseRecords(nullptr); }

void Ghost::Start() {
    cursor_.emplace(replay_.Keys);
    form_->Form_Load(replay_.Seed, StartOptions{.Picture = false});
    running_ = true;
}

void Ghost::Frame() {
    if (over_ && faded_ < FadeFrames) ++faded_;
    if (!running_) return;
    const keys::ScriptSpan* span = frames_ < replay_.EndFrame ? cursor_->Next() : nullptr;
    if (!span) {
        running_ = false;
        over_ = over_ || began_;
        return;
    }
    ++frames_;
    if (form_->Step(InputOf(*span)) != FrameEnd::GoingOn) running_ = false;
    const GameView game = View();
    if (game.InPlay()) {
        began_ = true;
        score_ = game.Score();
    } else if (began_ && !over_) {
        // The game-over screen: the score is what the run earned.
        score_ = game.Score();
        over_ = true;
    }
}

GhostNote Ghost::Note(const GameView& player) const {
    GhostNote note;
    const GameView game = View();
    note.BallShown = began_ && faded_ < FadeFrames;
    const BallPose ball = game.Ball();
    note.X = ball.X;
    note.Y = ball.Y;
    // The ghost has no picture of its own: the player's sheet has the same.
    const SheetPicture picture = player.BallPicture(ball.Kind);
    note.Sheet = picture.Sheet;
    note.Where = picture.Where;
    note.Opacity = GhostOpacity * (FadeFrames - faded_) / FadeFrames;
    note.Score = score_;
    note.Difference = player.Score() - score_;
    return note;
}

void GhostLens::Present(const Surface& backBuffer) {
    if (player_) {
        if (player_->InPlay()) playerBegan_ = true;
        if (playerBegan_ && player_->OnTitle()) playerDone_ = true;
    }
    if (!player_ || playerDone_) {
        inner_.Present(backBuffer);
        return;
    }
    shown_ = backBuffer;
    DrawGhost(shown_, ghost_.Note(*player_));
    inner_.Present(shown_);
}

}  // namespace pm

// Racing a ghost: a recorded daily run played by a second game record, one
// frame for each frame of the player's, with no sound and no picture (a 0 x 0
// back buffer, as the board verifies). The player's game never sees it: the
// ghost has its own record, its own host and its own keys, and what the
// player is shown of it is drawn on a copy of the player's frame.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "driver/replay.h"
#include "game/view.h"
#include "machine/host.h"
#include "platform/ghost_overlay.h"

namespace pm {

// A host that shows, plays and keeps nothing: blank sheets, no sound, no
// window. The record is the store the caller gives it.
class QuietHost : public Host {
public:
    void OpenDisplay() override {}
    Surface LoadBitmap(const BitmapFile& entry) override;
    TextRenderer* Text() override { return nullptr; }
    DrawObserver* DrawLog() override { return nullptr; }
    void OpenKeyboard() override {}
    void ReadKeyboard(std::array<uint8_t, 256>& keys) override { keys = {}; }
    void OpenSound() override {}
    void LoadSound(const SoundFile&) override {}
    void Sound(SoundId, SoundOp, int32_t) override {}
    void Present(const Surface&) override {}
    HostEvents PumpEvents() override { return {}; }
    void ShowCursor(bool) override {}
    void RestoreDisplay() override {}
    void Release() override {}
    void ShowSaveError(std::string_view, std::string_view) override {}
    void Say(const std::string&) override {}
};

// The first run of a recorded session, played back quietly with no picture:
// what a daily replay's one game earned. Nothing when no run began.
std::optional<RunResult> FirstRun(const Replay& replay);

class Ghost {
public:
    // Frames the silhouette takes to fade once the ghost's game is over.
    static constexpr int32_t FadeFrames = 60;

    explicit Ghost(Replay replay);
    ~Ghost();
    Ghost(const Ghost&) = delete;
    Ghost& operator=(const Ghost&) = delete;

    // Its start-up; then one frame for each of the player's.
    void Start();
    void Frame();

    GameView View() const { return GameView(*form_); }
    uint64_t Frames() const { return frames_; }
    bool GameOver() const { return over_; }
    // The ghost as the player is shown it, against the player's game.
    GhostNote Note(const GameView& player) const;

private:
    Replay replay_;
    QuietHost host_;
    FixedRecord record_;
    std::unique_ptr<FormMain> form_;
    std::optional<keys::ScriptCursor> cursor_;
    uint64_t frames_ = 0;
    bool running_ = false;   // has keys left and its game has not shut down
    bool began_ = false;     // its game has been in play
    bool over_ = false;      // ... and is over
    int32_t score_ = 0;      // its score, kept at its game's end
    int32_t faded_ = 0;
};

// The player's host with the ghost drawn over every frame it shows (on a
// copy). Everything else goes to the player's host as it is. The ghost is
// shown until the player's own game is over and the title is back.
class GhostLens : public Host {
public:
    GhostLens(Host& inner, const Ghost& ghost) : inner_(inner), ghost_(ghost) {}
    // The player's game, whose frames are shown (before its start-up).
    void Follow(const GameView& player) { player_ = player; }

    void OpenDisplay() override { inner_.OpenDisplay(); }
    Surface LoadBitmap(const BitmapFile& entry) override { return inner_.LoadBitmap(entry); }
    TextRenderer* Text() override { return inner_.Text(); }
    DrawObserver* DrawLog() override { return inner_.DrawLog(); }
    void OpenKeyboard() override { inner_.OpenKeyboard(); }
    void ReadKeyboard(std::array<uint8_t, 256>& keys) override { inner_.ReadKeyboard(keys); }
    void OpenSound() override { inner_.OpenSound(); }
    void LoadSound(const SoundFile& entry) override { inner_.LoadSound(entry); }
    void Sound(SoundId id, SoundOp op, int32_t value) override { inner_.Sound(id, op, value); }
    void Present(const Surface& backBuffer) override;
    HostEvents PumpEvents() override { return inner_.PumpEvents(); }
    void ShowCursor(bool show) override { inner_.ShowCursor(show); }
    void RestoreDisplay() override { inner_.RestoreDisplay(); }
    void Release() override { inner_.Release(); }
    RecordRead LoadRecord() override { return inner_.LoadRecord(); }
    RecordSave SaveRecord(int32_t record) override { return inner_.SaveRecord(record); }
    void ShowSaveError(std::string_view title, std::string_view text) override { inner_.ShowSaveError(title, text); }
    void Say(const std::string& line) override { inner_.Say(line); }

private:
    Host& inner_;
    const Ghost& ghost_;
    std::optional<GameView> player_;
    bool playerBegan_ = false, playerDone_ = false;
    Surface shown_;
};

}  // namespace pm

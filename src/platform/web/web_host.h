// The browser's host: the page's canvas shows the back buffer, the page's
// key events fill the key table, the game's own mixer feeds WebAudio, and
// the data files come from the site's packaged bmp/ and wav/. The high-score
// file lives in the module's memory file system; the driver copies it to and
// from the browser's storage.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/host.h"
#include "platform/mixer.h"
#include "platform/text_atlas.h"
#include "platform/web/dom_keys.h"

namespace pm::web {

class WebHost : public Host {
public:
    WebHost(std::string dataDir, std::string scoreFile);

    // Empty: no record is read or written.
    void SetScoreFile(std::string file) { scoreFile_ = std::move(file); }

    // A fixed seed (the page's test mode); otherwise the time of day.
    bool FixedSeed = false;
    uint64_t Seed = 1;

    // What the page reports between frames.
    KeyTable Keys;
    void MousePress() { mousePressed_ = true; }
    void CloseRequest() { closeRequested_ = true; }
    // Any pending mouse press or close request is forgotten (a new session).
    void ForgetEvents() { mousePressed_ = closeRequested_ = false; }

    // Time spent showing frames (widening and the canvas), in ms.
    double PresentMs = 0;

    // The audio callback: the next `frames` stereo frames of the mix.
    void Mix(int16_t* out, size_t frames) { mixer_.Mix(out, frames); }

    uint64_t ClockSeed() override;
    void OpenDisplay() override;
    Surface LoadBitmap(const BitmapFile& entry) override;
    TextRenderer* Text() override { return &text_; }
    DrawRecorder* Recorder() override { return nullptr; }
    void OpenKeyboard() override {}
    void ReadKeyboard(std::array<uint8_t, 256>& keys) override { Keys.Read(keys); }
    void OpenSound() override;
    void LoadSound(const SoundFile& entry) override;
    void Sound(SoundId id, SoundOp op, int32_t value) override;
    void Present(const Surface& backBuffer) override;
    HostEvents PumpEvents() override;
    void ShowCursor(bool show) override;
    void RestoreDisplay() override {}
    void Release() override;
    std::string ScoreFile() override { return scoreFile_; }
    void ShowSaveError(std::string_view title, std::string_view text) override;

private:
    std::string dataDir_, scoreFile_;
    AtlasText text_;
    Mixer mixer_;
    std::vector<uint32_t> widen_;   // RGB565 to the canvas's RGBA bytes
    std::vector<uint32_t> frame_;    // what the canvas is given
    std::vector<uint16_t> shown_;    // the back buffer of the last frame shown
    bool mousePressed_ = false, closeRequested_ = false;
};

}  // namespace pm::web

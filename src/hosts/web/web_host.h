// The browser's host: the page's canvas shows the back buffer, the page's
// key events fill the key table, the game's own mixer feeds WebAudio, and
// the data files come from the site's packaged bmp/ and wav/. What happens on
// the page (a click, the tab hidden, the pause notice's button) is reported
// to the driver as values; the pause, the volume and full screen are the
// page's overlays and controls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.h"
#include "machine/host.h"
#include "platform/key_table.h"
#include "platform/mixer.h"
#include "platform/text_atlas.h"
#include "hosts/web/dom_keys.h"
#include "hosts/web/web_pad.h"

namespace pm::web {

class WebHost : public Host, public DesktopControls {
public:
    explicit WebHost(std::string dataDir);

    // What the page reports between frames.
    KeyTable Keys;
    void MousePress() { pending_.MousePressed = true; }
    void FocusLoss() { pending_.FocusLost = true; }
    void ResumeRequest() { pending_.ResumeRequested = true; }
    // Any pending report is forgotten (a new session).
    void ForgetEvents() { pending_ = HostEvents{}; }

    // Time spent showing frames (for a 2D canvas finding the changed rows
    // and widening them; the page's drawing), in ms.
    double PresentMs = 0;
    // The page draws with WebGL, which takes the 16-bit pixels as they are;
    // a 2D canvas needs them widened to RGBA bytes.
    bool WidenForCanvas = true;
    // Frames run flat out (the test mode) are not shown one by one: Present
    // only notes the back buffer while this is set, and ShowLast shows the
    // last frame noted.
    bool Quiet = false;
    void ShowLast();

    // The audio callback: the next `frames` stereo frames of the mix.
    void Mix(int16_t* out, size_t frames) { mixer_.Mix(out, frames); }

    void OpenDisplay() override;
    Surface LoadBitmap(const BitmapFile& entry) override;
    TextRenderer* Text() override { return &text_; }
    DrawObserver* DrawLog() override { return nullptr; }
    void OpenKeyboard() override {}
    // The page's keys, and the keys the gamepads hold.
    void ReadKeyboard(std::array<uint8_t, 256>& keys) override;
    void OpenSound() override;
    void LoadSound(const SoundFile& entry) override;
    void Sound(SoundId id, SoundOp op, int32_t value) override;
    void Present(const Surface& backBuffer) override;
    HostEvents PumpEvents() override;
    void ShowCursor(bool show) override;
    void RestoreDisplay() override {}
    void Release() override;
    void ShowSaveError(std::string_view title, std::string_view text) override;

    // The page's overlays and controls.
    void Pause(const Surface& lastFrame) override;
    void Resume() override;
    void SetVolume(int32_t percent, bool muted) override;
    bool FullScreen() const override { return false; }   // the page's own button and Alt+Enter

private:
    std::string dataDir_;
    AtlasText text_;
    Mixer mixer_;
    std::vector<uint32_t> widen_;   // RGB565 to the canvas's RGBA bytes
    std::vector<uint32_t> frame_;    // what a 2D canvas is given
    std::vector<uint16_t> shown_;    // the back buffer of the last frame shown on a 2D canvas
    bool widened_ = false;           // frame_ holds all of shown_ widened
    const Surface* unshown_ = nullptr;   // the back buffer noted while quiet
    HostEvents pending_;
    Pads pads_;
    std::array<uint8_t, 256> padKeys_{};   // what the pads held at the last PumpEvents
};

}  // namespace pm::web

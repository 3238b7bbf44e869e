// The real host: an SDL window showing the 800 x 600 back buffer scaled to
// the screen, SDL's keyboard state with gamepads seen as keys, and the sound
// mixer on an SDL audio device. It shows what it is given at once; the
// driver keeps the pace and decides about pause, mute and full screen.
#pragma once

#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <csignal>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "machine/host.h"
#include "platform/letterbox.h"
#include "platform/mixer.h"
#include "platform/notice_overlay.h"
#include "hosts/sdl/ttf_text.h"
#include "platform/tap_latch.h"

namespace pm::sdl {

// Set by a SIGINT/SIGTERM/SIGHUP handler; the next pump reports it as a
// close request, so the shutdown and the save run as for any other quit.
extern volatile std::sig_atomic_t StopRequested;
void RequestStop(int signal);   // a signal handler

class SdlHost : public Host, public DesktopControls {
public:
    SdlHost();
    ~SdlHost() override;
    SdlHost(const SdlHost&) = delete;
    SdlHost& operator=(const SdlHost&) = delete;

    void OpenDisplay() override;
    Surface LoadBitmap(const BitmapFile& entry) override;
    TextRenderer* Text() override { return text_.get(); }
    DrawObserver* DrawLog() override { return nullptr; }
    void OpenKeyboard() override;
    void ReadKeyboard(std::array<uint8_t, 256>& keys) override;
    void OpenSound() override;
    void LoadSound(const SoundFile& entry) override;
    void Sound(SoundId id, SoundOp op, int32_t value) override;
    void Present(const Surface& backBuffer) override;
    HostEvents PumpEvents() override;
    void ShowCursor(bool show) override;
    void RestoreDisplay() override;
    void Release() override;
    void ShowSaveError(std::string_view title, std::string_view text) override;
    // The record, and the store's notice (a file set aside) over the first
    // seconds of the picture.
    RecordRead LoadRecord() override;

    // The window's icon: a sprite (white is transparent) of a loaded sheet.
    void SetIcon(const Surface& sheet, const Rect& sprite);

    // Run when the connection to the display breaks (the X server went
    // away), after which the process ends with status 1: it should save what
    // a clean shutdown saves. The host has let go of the display by then, so
    // the game's own shutdown may run. Only one host is watched at a time.
    void OnDisplayLost(std::function<void()> save) { displayLost_ = std::move(save); }

    // The player's choices for the window and the sound; before start-up.
    void Choose(const DesktopSettings& settings) { choice_ = settings; }

    void Pause(const Surface& lastFrame) override;
    void Resume() override;
    void SetVolume(int32_t percent, bool muted) override;
    bool FullScreen() const override { return fullScreen_; }
    void ShowWatching(const WatchNote* note) override;
    void SetCaption(const std::string& caption) override;

    // Where the picture went in the last frame shown, in window pixels.
    const Box& PicturePlace() const { return place_; }
    size_t OpenPads() const { return pads_.size(); }

private:
    void ToggleFullScreen();
    void EnterFullScreen();
    void LeaveFullScreen();
    void NoteRealSize();
    void ShowTexture();
    void UploadFrame(const Surface& picture);
    TextRenderer* LargeText();
    void OpenPad(int deviceIndex);
    void ClosePad(SDL_JoystickID id);
    static void AudioCallback(void* self, Uint8* stream, int len);
    static void DisplayLost();

    static SdlHost* watched_;   // the host whose display loss is watched
    std::function<void()> displayLost_;
    bool displayGone_ = false;
    bool seenViewable_ = false;   // the X server has shown the window at least once

    std::string folder_;      // where bmp/ and wav/ are, with a trailing '/'
    bool videoStarted_ = false;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    std::unique_ptr<TtfText> text_;
    std::vector<uint32_t> widen_;   // RGB565 to 32-bit colour
    bool softwareRenderer_ = false;  // draws into the window's own pixels, which keep between frames

    DesktopSettings choice_;
    bool fullScreen_ = false;
    bool fullScreenByHand_ = false;  // no window manager to ask: the window was sized to the screen
    Box windowed_;                   // the window's size when not full screen
    bool realKnown_ = false;         // the X server's idea of the window's size
    int realW_ = 0, realH_ = 0;
    Box place_;

    bool paused_ = false;
    std::unique_ptr<TtfText> largeText_;
    std::optional<WatchNote> watching_;
    std::string caption_ = "Pellimunch";
    TimedNotice notice_;

    TapLatch taps_;
    bool padsStarted_ = false;
    std::vector<SDL_GameController*> pads_;

    Mixer mixer_;
    bool audioStarted_ = false;
    SDL_AudioDeviceID audio_ = 0;
};

}  // namespace pm::sdl

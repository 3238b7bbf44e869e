// The real host: an SDL window showing the 800 x 600 back buffer scaled to
// the screen, SDL's keyboard state, and the sound mixer on an SDL audio
// device. It shows what it is given at once; the driver keeps the pace.
#pragma once

#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <csignal>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/mixer.h"
#include "platform/sdl/ttf_text.h"

namespace pm::sdl {

// Set by a SIGINT/SIGTERM/SIGHUP handler; the next pump reports it as a
// close request, so the shutdown and the save run as for any other quit.
extern volatile std::sig_atomic_t StopRequested;
void RequestStop(int signal);   // a signal handler

class SdlHost : public Host {
public:
    SdlHost();
    ~SdlHost() override;
    SdlHost(const SdlHost&) = delete;
    SdlHost& operator=(const SdlHost&) = delete;

    uint64_t ClockSeed() override;
    void OpenDisplay() override;
    Surface LoadBitmap(const BitmapSpec& spec) override;
    TextRenderer* Text() override { return text_.get(); }
    DrawRecorder* Recorder() override { return nullptr; }
    void OpenKeyboard() override {}
    void ReadKeyboard(std::array<uint8_t, 256>& keys) override;
    void OpenSound() override;
    void LoadSound(const SoundSpec& spec) override;
    void Sound(SoundId id, SoundOp op, int32_t value) override;
    void Present(const Surface& backBuffer) override;
    HostEvents PumpEvents() override;
    void ShowCursor(bool show) override;
    void RestoreDisplay() override;
    void Release() override;
    std::string ScoreFile() override;
    void ShowSaveError(std::string_view title, std::string_view text) override;

    // The window's icon: a sprite (white is transparent) of a loaded sheet.
    void SetIcon(const Surface& sheet, const Rect& sprite);

    // A replay brings its own seed and its own high-score file.
    void UseSeed(uint64_t seed) { seed_ = seed; }
    void UseScoreFile(std::string path) { scoreFile_ = std::move(path); }

private:
    void ToggleFullScreen();
    static void AudioCallback(void* self, Uint8* stream, int len);

    std::string folder_;      // where bmp/ and wav/ are, with a trailing '/'
    std::string scoreFile_;   // beside the game, or in the player's data folder
    std::optional<uint64_t> seed_;
    bool videoStarted_ = false;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    std::unique_ptr<TtfText> text_;
    std::vector<uint32_t> widen_;   // RGB565 to 32-bit colour
    std::vector<uint32_t> frame_;   // the back buffer in 32 bits

    Mixer mixer_;
    bool audioStarted_ = false;
    SDL_AudioDeviceID audio_ = 0;
};

}  // namespace pm::sdl

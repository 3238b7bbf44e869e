// The Windows host: a window of its own showing the 800 x 600 back buffer
// scaled with nearest pixels to whatever size the window has, letterboxed;
// the keyboard from the window's key messages and XInput pads as keys; the game's mixer on a waveOut stream. It shows what it is given
// at once; the driver keeps the pace and decides about pause and mute.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "machine/host.h"
#include "platform/key_table.h"
#include "platform/letterbox.h"
#include "platform/mixer.h"
#include "platform/notice_overlay.h"
#include "platform/text_atlas.h"
#include "hosts/win32/gdi_text.h"
#include "hosts/win32/wave_out.h"

namespace pm::win32 {

// A message box in the game's words (UTF-8, shown through the wide API so
// that any script reads right).
void ShowErrorBox(std::string_view title, std::string_view text);

class WinHost : public Host, public DesktopControls {
public:
    WinHost();
    ~WinHost() override;
    WinHost(const WinHost&) = delete;
    WinHost& operator=(const WinHost&) = delete;

    void OpenDisplay() override;
    Surface LoadBitmap(const BitmapFile& entry) override;
    TextRenderer* Text() override { return &text_; }
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

    void Pause(const Surface& lastFrame) override;
    void Resume() override;
    void SetVolume(int32_t percent, bool muted) override;
    bool FullScreen() const override { return fullScreen_; }
    void ShowWatching(const WatchNote* note) override;
    void SetCaption(const std::string& caption) override;

    // The player's choices for the window and the sound; before start-up.
    void Choose(const DesktopSettings& settings) { choice_ = settings; }

private:
    static intptr_t __stdcall WindowProc(void* window, unsigned message, uintptr_t wParam, intptr_t lParam);
    intptr_t Handle(unsigned message, uintptr_t wParam, intptr_t lParam);
    void Widen(const Surface& picture);
    void Blit();
    void ToggleFullScreen();
    void PollPads();
    void MakeNoticeText();   // the notices' fonts, made when first needed

    std::string folder_;      // where bmp\ and wav\ are
    DesktopSettings choice_;

    void* window_ = nullptr;  // HWND
    std::vector<uint32_t> widen_;   // RGB565 to 32-bit colour
    std::vector<uint32_t> frame_;   // what the window shows, 800 x 600
    bool haveFrame_ = false;
    bool fullScreen_ = false;
    long windowedStyle_ = 0;
    std::vector<unsigned char> placement_;   // WINDOWPLACEMENT before full screen
    bool cursorHidden_ = false;

    AtlasText text_;
    std::unique_ptr<GdiText> largeText_, smallText_;
    bool paused_ = false;
    std::wstring caption_ = L"Pellimunch";   // plain ASCII
    std::optional<WatchNote> watching_;   // a replay is watched: its band and notice
    TimedNotice notice_;                  // the record store's word, for a few seconds

    KeyTable keys_;
    HostEvents pending_;
    bool outOfSight_ = false;   // minimised or dragged since the last pump

    struct Pad {
        bool Connected = false;
        uint16_t Buttons = 0;
        int16_t LeftX = 0;
    };
    std::array<Pad, 4> pads_{};
    int32_t padProbe_ = 0;   // polls until absent pads are looked for again
    bool padsOpen_ = false;

    std::mutex mixerLock_;
    Mixer mixer_;
    WaveOut wave_;
};

}  // namespace pm::win32

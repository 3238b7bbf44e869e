// A host without a window or a sound device: keys come from the caller frame
// by frame, sound operations and drawing calls are recorded, and the bitmaps
// are either read from a data folder or, for unit tests, blank surfaces.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "machine/host.h"

namespace pm {

struct SoundCall {
    SoundId Id;
    SoundOp Op;
    int32_t Value;
    friend bool operator==(const SoundCall&, const SoundCall&) = default;
};

class HeadlessHost : public Host {
public:
    // dataDir empty: blank surfaces filled with their colour key, no wave
    // files read. Otherwise the folder holding bmp/ and wav/.
    explicit HeadlessHost(std::string dataDir = {});

    std::array<uint8_t, 256> Keys{};       // the key table the next read returns
    bool MousePressed = false;             // reported (once) by the next pump
    bool CloseRequested = false;           // likewise, as a window close
    std::vector<SoundCall> SoundLog;       // cleared by the caller as it likes
    DrawObserver* Draws = nullptr;
    TextRenderer* TextOut = nullptr;
    std::function<void(const Surface&)> OnPresent;
    std::vector<std::string> SaveErrors;   // message boxes that would show
    int32_t Presents = 0;

    void OpenDisplay() override {}
    Surface LoadBitmap(const BitmapFile& entry) override;
    TextRenderer* Text() override { return TextOut; }
    DrawObserver* DrawLog() override { return Draws; }
    void OpenKeyboard() override {}
    void ReadKeyboard(std::array<uint8_t, 256>& keys) override { keys = Keys; }
    void OpenSound() override {}
    void LoadSound(const SoundFile& entry) override;
    void Sound(SoundId id, SoundOp op, int32_t value) override { SoundLog.push_back({id, op, value}); }
    void Present(const Surface& backBuffer) override;
    HostEvents PumpEvents() override;
    void ShowCursor(bool) override {}
    void RestoreDisplay() override {}
    void Release() override {}
    void ShowSaveError(std::string_view title, std::string_view text) override;

private:
    std::string dataDir_;
};

}  // namespace pm

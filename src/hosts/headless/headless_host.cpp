#include "hosts/headless/headless_host.h"

#include <utility>

#include "platform/data_files.h"

namespace pm {

HeadlessHost::HeadlessHost(std::string dataDir) : dataDir_(std::move(dataDir)) {}

Surface HeadlessHost::LoadBitmap(const BitmapFile& entry) {
    if (dataDir_.empty()) {
        const uint16_t fill = entry.Id == BitmapId::Main ? 0xFFFF : 0;
        return Surface(entry.Surface, entry.Width, entry.Height, fill);
    }
    return LoadBmpFile(dataDir_ + entry.File, entry.Width, entry.Height);
}

void HeadlessHost::LoadSound(const SoundFile& entry) {
    if (!dataDir_.empty()) LoadWavFile(dataDir_ + entry.File, entry.Rate);
}

void HeadlessHost::Present(const Surface& backBuffer) {
    ++Presents;
    if (OnPresent) OnPresent(backBuffer);
}

HostEvents HeadlessHost::PumpEvents() {
    HostEvents events;
    events.MousePressed = std::exchange(MousePressed, false);
    events.CloseRequested = std::exchange(CloseRequested, false);
    return events;
}

void HeadlessHost::ShowSaveError(std::string_view title, std::string_view text) {
    SaveErrors.push_back(std::string(title) + "\n" + std::string(text));
}

}  // namespace pm

#include "platform/headless_host.h"

#include <utility>

#include "platform/data_files.h"

namespace pm {

HeadlessHost::HeadlessHost(std::string dataDir) : dataDir_(std::move(dataDir)) {}

Surface HeadlessHost::LoadBitmap(const BitmapSpec& spec) {
    if (dataDir_.empty()) {
        const uint16_t fill = spec.Id == BitmapId::Main ? 0xFFFF : 0;
        return Surface(spec.Surface, spec.Width, spec.Height, fill);
    }
    return LoadBmpFile(dataDir_ + spec.File, spec.Width, spec.Height);
}

void HeadlessHost::LoadSound(const SoundSpec& spec) {
    if (!dataDir_.empty()) LoadWavFile(dataDir_ + spec.File, spec.Rate);
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

#include "platform/notice_overlay.h"

#include "platform/pause_overlay.h"

namespace pm {

void TimedNotice::Show(std::string line, int32_t frames) {
    line_ = std::move(line);
    left_ = frames;
}

void TimedNotice::DrawOn(Surface& shown, TextRenderer* text) {
    if (left_ <= 0) return;
    --left_;
    for (int32_t y = NoticeBandTop; y < NoticeBandBottom && y < shown.Height; ++y)
        for (int32_t x = 0; x < shown.Width; ++x) shown.At(x, y) = Darker(shown.At(x, y), 2);
    if (text) DrawCentred(shown, *text, NoticeBandTop + 8, line_, Rgb{255, 224, 64});
}

}  // namespace pm

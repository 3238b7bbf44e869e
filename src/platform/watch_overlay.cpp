#include "platform/watch_overlay.h"

#include "platform/pause_overlay.h"

namespace pm {

namespace {

void DarkenRows(Surface& s, int32_t top, int32_t bottom, int shift) {
    for (int32_t y = top; y < bottom && y < s.Height; ++y)
        for (int32_t x = 0; x < s.Width; ++x) s.At(x, y) = Darker(s.At(x, y), shift);
}

constexpr Rgb Yellow{255, 224, 64}, White{255, 255, 255}, Green{96, 232, 96}, Red{255, 96, 80};

}  // namespace

Surface WatchingPicture(const Surface& frame, const WatchNote& note, TextRenderer* large, TextRenderer* small) {
    Surface shown = frame;
    shown.Name = "Watching";
    if (note.Ended) {
        DarkenRows(shown, WatchBandHeight, WatchEndTop, 1);
        DarkenRows(shown, WatchEndTop, WatchEndBottom, 4);
        DarkenRows(shown, WatchEndBottom, shown.Height, 1);
    }
    DarkenRows(shown, 0, WatchBandHeight, 2);
    if (small) {
        small->Draw(shown, 8, 1, note.Fast ? "REPLAY x4" : "REPLAY", Yellow);
        if (!note.Ended) small->Draw(shown, 120, 1, "F held: fast    P: pause    Esc: leave", White);
        if (!note.Title.empty()) small->Draw(shown, 600, 1, note.Title, Yellow);
    }
    if (!note.Ended) return shown;

    if (large) DrawCentred(shown, *large, WatchEndTop + 16, "REPLAY OVER", Yellow);
    if (!small) return shown;
    DrawCentred(shown, *small, WatchEndTop + 76, note.HowItEnded, White);
    if (note.AsRecorded) {
        DrawCentred(shown, *small, WatchEndTop + 104, "as recorded", Green);
    } else {
        DrawCentred(shown, *small, WatchEndTop + 104, "NOT as recorded:", Red);
        // The difference names both ends; one line each.
        const std::string& d = note.Difference;
        const size_t but = d.find(", but ");
        DrawCentred(shown, *small, WatchEndTop + 126, d.substr(0, but), White);
        if (but != std::string::npos) DrawCentred(shown, *small, WatchEndTop + 146, d.substr(but + 2), White);
    }
    DrawCentred(shown, *small, WatchEndTop + 176, "Esc: leave", White);
    return shown;
}

}  // namespace pm

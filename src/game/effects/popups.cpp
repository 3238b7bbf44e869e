// Score pop-ups (small labels that rise from where an item was eaten) and the
// digit-sprite number drawing with its moving highlight.
#include "game/shell/game_state.h"

namespace pm {

void FormMain::SpawnPopup(int16_t count, int16_t special, float x, float y, int16_t fever) {
    // Slot 10 is never handed out; a full list gives up its oldest-placed
    // entry, slot 0.
    int32_t slot = 0;
    for (int32_t i = 0; i <= 9; ++i) {
        if (Popups[i].X == ParkedAt) {
            slot = i;
            break;
        }
    }

    int16_t kind;
    if (special != 0) {
        kind = PopupKind::Stagger;
    } else if (fever != 0) {
        kind = PopupKind::First;
    } else {
        // A negative count never comes from play; it is kept off the sprite
        // table all the same.
        kind = count < 0 ? PopupKind::First : count;
        if (count >= PopupKind::Most) {
            kind = PopupKind::Most;
            Stop(FeverSound);
            Play(FeverSound);
        }
    }

    Popup& p = Popups[slot];
    p.X = CLng(x - 8.0);
    if (p.X > 758) p.X = 758;
    p.Y = y + 13.0;
    p.Kind = kind;
    p.VY = -1.0;
    p.Timer = kind * 10 + 60;
}

void FormMain::PopupStep() {
    for (Popup& p : Popups) {
        if (p.X == ParkedAt) continue;
        p.VY = p.VY + 0.01;
        p.Y = p.Y + p.VY;
        p.Timer = p.Timer - 1;
        // Drawn in the frame its time runs out, then freed.
        BltKeyed(p.X, CLng(p.Y), MainSurface, PopupRects[p.Kind]);
        if (p.Timer <= 0) p.X = ParkedAt;
    }
}

int32_t FormMain::DrawNumber(int32_t x, int32_t y, std::string& text, int16_t shine, int16_t most) {
    // The sign place of a non-negative number's text is dropped, and the
    // caller keeps the shortened text.
    if (!text.empty() && text[0] == ' ') text.erase(0, 1);
    int32_t n = static_cast<int32_t>(text.size());
    if (most < n) n = most;
    for (int32_t i = 1; i <= n; ++i) {
        // The highlight covers three shine steps per digit, then one plain.
        const int32_t g = 3 * i;
        int32_t style = DigitStyle::Plain;
        if (g - 2 <= shine && shine <= g + 1) style = shine - g + 2;
        const char c = text[static_cast<size_t>(i - 1)];
        const int32_t digit = c >= '0' && c <= '9' ? c - '0' : 0;
        BltKeyed(x, y, MainSurface, DigitRects[digit][style]);
        x = x + 22;
    }
    return x;
}

}  // namespace pm

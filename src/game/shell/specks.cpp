// The background specks: thirty-one small sprites drifting from the right and
// top edges toward the lower left behind everything else. A speck that leaves
// waits a random while and comes back in at an edge with fresh values.
#include "game/shell/game_state.h"

namespace pm {

void FormMain::FillSpecks() {
    for (Speck& s : Specks) {
        s.X = Rnd() * 800.0;
        s.Delay = 0;
        if (Rnd() > 0.6f) {
            s.X = Parked;
            s.Delay = CLng(Int(Rnd() * 130.0));
        }
        s.Y = Rnd() * 450.0;
        s.VX = -(Rnd() * 9.0 + 1);
        s.VY = Rnd() * 5.0;
        s.Kind = CInt(Int(Rnd() * 9.0));
    }
}

void FormMain::UpdateSpecks() {
    for (Speck& s : Specks) {
        if (s.X == Parked) {
            s.Delay = s.Delay - 1;
            if (s.Delay > 0) continue;
            // Re-enter at the right edge or the top edge; not drawn until the
            // next frame has moved it.
            if (Rnd() > 0.4f) {
                s.X = 790;
                s.Y = Rnd() * 450.0;
            } else {
                s.Y = 0;
                s.X = Rnd() * 790.0;
            }
            if (Rnd() > 0.8) {
                s.Kind = CInt(Int(Rnd() * 4.0) + 5);
                s.VX = -(Rnd() * 4.0 + 5);
                s.VY = Rnd() * 3.0 + 2;
            } else {
                s.Kind = CInt(Int(Rnd() * 5.0));
                s.VX = -(Rnd() * 4.0 + 1);
                s.VY = Rnd() * 2.0 + 1;
            }
            // Specks born in a fever keep the doubled speed for their pass.
            if (Fever) {
                s.VX = s.VX * 2.0;
                s.VY = s.VY * 2.0;
            }
            continue;
        }
        s.X = s.X + s.VX;
        s.Y = s.Y + s.VY;
        if (!(s.X > 0) || s.Y >= 464) {
            s.X = Parked;
            s.Delay = CLng(Int(Rnd() * 180.0));
            continue;
        }
        BltKeyed(CLng(s.X), CLng(s.Y), MainSurface, SpeckRects[s.Kind]);
    }
}

void FormMain::QuakeKickSpecks() {
    // The quake throws every speck straight down; waiting ones come back
    // within a few frames.
    for (Speck& s : Specks) {
        s.VY = s.VY + 5.0;
        s.VX = 0;
        s.Delay = CLng(Int(Rnd() * 10.0));
    }
}

}  // namespace pm

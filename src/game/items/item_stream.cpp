// The item pass: items wait off screen, spawn at the right edge, drift left,
// are eaten by the ball's mouth or its shot, and escape at the left edge,
// where a plain item ends the chain.
#include "game/effects/score_formulas.h"
#include "game/shell/game_state.h"

namespace pm {

void FormMain::ItemPass() {
    // Long chains bring the items back sooner, but spread them wider.
    int32_t range = 140;
    if (ChainCount > 116) range = range + 30;
    if (ChainCount > 160) range = range + 32;
    if (ChainCount > 220) range = range + 35;

    // The bound is read once: a level change cannot reach into this pass,
    // and whatever the test keys did, it stays inside the list.
    int32_t last = LastActiveItem;
    if (last > static_cast<int32_t>(Items.size()) - 1) last = static_cast<int32_t>(Items.size()) - 1;

    for (int32_t i = 0; i <= last; ++i) {
        Item& item = Items[static_cast<size_t>(i)];

        if (item.X == Parked) {
            item.Delay = item.Delay - 1;
            if (item.Delay > 0) continue;
            item.X = 765.0f;
            item.Y = static_cast<float>(Rnd() * 316.0 + 45);
            item.Kind = ItemKind::Plain;
            item.VX = static_cast<float>(-2.75 - Rnd() / 2.0 - ChainCount / 110.0);
            // The odds are compared in single precision.
            if (Rnd() > 0.97f) item.Kind = ItemKind::Jumper;
            if (Rnd() > 0.965f) item.Kind = ItemKind::Shooter;
            const bool upgrade = Rnd() < 0.16f;
            // From level 2 a kind may come boosted.
            if (upgrade && item.Kind >= ItemKind::Jumper && Level > 1)
                item.Kind = static_cast<int16_t>(item.Kind + (ItemKind::BoostedJumper - ItemKind::Jumper));
            const bool stagger = Rnd() > 0.99f;
            if (stagger && Level > 2) item.Kind = ItemKind::Stagger;
            item.Plain = Bool(item.Kind == ItemKind::Plain);
            if (Fever != 0) {
                item.Plain = False;
                item.Kind = ItemKind::Plain;
                item.VX = static_cast<float>(-4.4 - i * 2.6 / 99);
            }
            continue;   // a fresh item first moves in the next pass
        }

        // While the ground quakes hard the items stand still and tremble.
        int32_t row = CLng(item.Y);
        if (QuakeTimer > 80) {
            row = CLng(static_cast<double>(item.Y) - 5 + Rnd() * 10.0);
        } else {
            item.X = static_cast<float>(item.X + static_cast<double>(item.VX));
        }

        // The hit box follows the item, not its trembling picture.
        WorkRect = {CLng(item.X + 6.0), CLng(item.Y + 6.0), CLng(item.X + 20.0), CLng(item.Y + 20.0)};
        int16_t hit = 0;
        if (RectsOverlap(ShotRect, WorkRect) != 0 && ShotX != Parked) hit = 2;
        if (RectsOverlap(MouthRect, WorkRect) != 0) hit = 1;   // the mouth wins over the shot

        // A ball that has changed kind sees every item but the stagger one as plain.
        if (BallKind != BallKind::Plain && item.Kind != ItemKind::Stagger) item.Kind = ItemKind::Plain;

        if (hit != 0) {
            ComboCount = ComboCount + 1;
            if (Fever == 0) {
                if (item.Kind == ItemKind::Plain) ChainCount = ChainCount + 1;
                if (ComboCount >= 5) {
                    if (BallKind == BallKind::Plain || BallKind == BallKind::Jumper) {
                        FeverPoints = static_cast<int16_t>(FeverPoints + 4);
                    } else if (BallKind == BallKind::Shooter && KindBoost == 0) {
                        FeverPoints = static_cast<int16_t>(FeverPoints + 2);
                    } else if (BallKind == BallKind::Shooter) {
                        FeverPoints = static_cast<int16_t>(FeverPoints + 1);
                    }
                    FeverGaugeTimer = 180;
                }
            }
            const bool mouthStagger = hit == 1 && item.Kind == ItemKind::Stagger;
            if (mouthStagger) StaggerTimer = StaggerTimer + 600;

            Stop(EatSound);
            SetFrequency(EatSound, StepPitch(11025, CInt(static_cast<double>(ComboCount) - 1), 8));
            SetPan(EatSound, PanFromX(item.X));
            Play(EatSound);

            SpawnPopup(CInt(static_cast<double>(ComboCount) - 1), Bool(mouthStagger), item.X, item.Y, Fever);
            Score = AddLong(Score, Fever != 0 ? 5 : 5 * static_cast<int64_t>(ComboCount));

            switch (item.Kind) {
                case ItemKind::Jumper: BallKind = BallKind::Jumper; KindTimer = 560; break;
                case ItemKind::Shooter: BallKind = BallKind::Shooter; KindTimer = 460; break;
                case ItemKind::BoostedJumper:
                    BallKind = BallKind::Jumper; KindTimer = 620; KindBoost = True; break;
                case ItemKind::BoostedShooter:
                    BallKind = BallKind::Shooter; KindTimer = 900; KindBoost = True; break;
                default: break;
            }
            item.X = Eaten;
        }

        if (item.X < 0) {
            // Only an escape ends the chain; an eaten item just goes back to waiting.
            if (item.X != Eaten && item.Plain != 0) {
                if (ChainCount > 30) {
                    ChainBonus = LengthBonus(ChainCount);
                    ChainBonusTimer = 430;
                    LastChainCount = ChainCount;
                }
                ChainCount = 0;
            }
            item.X = Parked;
            item.Delay = CLng(Rnd() * static_cast<double>(range));
            continue;
        }

        // Mended: a kind outside the table draws as plain food rather than
        // reading past it.
        const size_t kind = item.Kind >= 0 && item.Kind < static_cast<int16_t>(ItemRects.size())
                                ? static_cast<size_t>(item.Kind) : static_cast<size_t>(ItemKind::Plain);
        BltKeyed(CLng(item.X), row, MainSurface, ItemRects[kind]);
    }
}

}  // namespace pm

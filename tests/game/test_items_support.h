// Set-up for the tests of the second half of the play frame and its effects:
// a game whose run has started, with the item list parked, so that a test
// places exactly the items, shot and rival it is about and calls the step.
#pragma once

#include <string>
#include <vector>

#include "draw_log.h"
#include "harness.h"

namespace pm::test {

struct ItemsGame : Game {
    DrawLog Draws;

    explicit ItemsGame(uint64_t seed = 1) : Game(seed) {
        StartRun();
        Park();
        host.Draws = &Draws;
        host.SoundLog.clear();
    }

    // Every item slot waits for ever; the rival is far away and the ball immune.
    void Park() {
        for (Item& item : form.Items) {
            item.X = 9999.0f;
            item.Delay = 1000000;
            item.Kind = 0;
            item.Plain = False;
        }
        form.ShotX = 9999.0f;
        form.ShotRect = {-5000, -5000, -4990, -4990};
        form.MouthRect = {-3000, -3000, -2990, -2990};
    }

    // An active item whose hit box is (x + 6, y + 6)-(x + 20, y + 20) after
    // a pass with the given speed.
    Item& Place(size_t slot, float x, float y, int16_t kind = 0, int16_t plain = True, float vx = 0) {
        Item& item = form.Items[slot];
        item.X = x;
        item.Y = y;
        item.VX = vx;
        item.Kind = kind;
        item.Plain = plain;
        item.Delay = 0;
        return item;
    }

    std::vector<SoundCall> SoundsOf(SoundId id) const {
        std::vector<SoundCall> out;
        for (const SoundCall& c : host.SoundLog)
            if (c.Id == id) out.push_back(c);
        return out;
    }
};

}  // namespace pm::test

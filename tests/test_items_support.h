// Set-up for the tests of the second half of the play frame and its effects:
// a game whose run has started, with the item list parked, so that a test
// places exactly the items, shot and rival it is about and calls the step.
#pragma once

#include <string>
#include <vector>

#include "harness.h"

namespace pm::test {

// Every drawing call, with the source surface's name.
struct Drawn {
    bool Keyed;
    std::string Surface;
    Rect Source;
    int32_t X, Y;
};

struct DrawList : DrawRecorder {
    std::vector<Drawn> Calls;
    void OnFill(const Rect&, Rgb) override {}
    void OnCopy(bool keyed, const Surface& src, const Rect& sr, int32_t x, int32_t y) override {
        Calls.push_back({keyed, src.Name, sr, x, y});
    }
    void OnText(int32_t, int32_t, std::string_view) override {}

    std::vector<Drawn> Of(const Rect& source) const {
        std::vector<Drawn> out;
        for (const Drawn& c : Calls)
            if (c.Source == source) out.push_back(c);
        return out;
    }
};

struct ItemsGame : Game {
    DrawList Draws;

    explicit ItemsGame(uint64_t seed = 1) : Game(seed) {
        StartRun();
        Park();
        host.DrawLog = &Draws;
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

#include "game/state_text.h"

#include <charconv>
#include <cstdio>
#include <type_traits>

#include "game/shell/game_state.h"

namespace pm {

void AppendInt(std::string& out, int64_t value) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
}

void AppendFloat(std::string& out, float value) {
    // to_chars with a precision formats exactly as printf("%.9g") does, only
    // much faster; the tests hold the two side by side.
    char buf[32];
#if defined(__cpp_lib_to_chars)
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 9);
    out.append(buf, res.ptr);
#else
    // A standard library without floating-point to_chars (the WebAssembly
    // build's): printf itself.
    const int n = std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(value));
    out.append(buf, static_cast<size_t>(n));
#endif
}

namespace {

// A fixed group of fields (a slot of a list, a rectangle, a colour) as an
// array in record order: 32-bit floats with nine significant digits,
// integers as they are.
template <typename T>
void AppendFieldOf(std::string& out, T v) {
    if constexpr (std::is_same_v<T, float>) AppendFloat(out, v);
    else AppendInt(out, static_cast<int64_t>(v));
}

template <typename First, typename... Rest>
void AppendFields(std::string& out, First first, Rest... rest) {
    out += '[';
    AppendFieldOf(out, first);
    ((out += ',', AppendFieldOf(out, rest)), ...);
    out += ']';
}

// A whole slot list as an array of slots.
template <typename List, typename WriteSlot>
void AppendSlots(std::string& out, const List& list, WriteSlot writeSlot) {
    out += '[';
    bool first = true;
    for (const auto& slot : list) {
        if (!first) out += ',';
        first = false;
        writeSlot(slot);
    }
    out += ']';
}

}  // namespace

void AppendRect(std::string& out, const Rect& r) { AppendFields(out, r.Left, r.Top, r.Right, r.Bottom); }

namespace {

// Small helpers that keep the member list below readable.
struct ObjectWriter {
    std::string& out;
    bool first = true;

    void Key(const char* name) {
        if (!first) out += ',';
        first = false;
        out += '"';
        out += name;
        out += "\":";
    }
    void Int(const char* name, int64_t v) {
        Key(name);
        AppendInt(out, v);
    }
    void Float(const char* name, float v) {
        Key(name);
        AppendFloat(out, v);
    }
    void RectMember(const char* name, const Rect& r) {
        Key(name);
        AppendRect(out, r);
    }
};

void Sep(std::string& out, bool& first) {
    if (!first) out += ',';
    first = false;
}

}  // namespace

void AppendState(std::string& out, const FormMain& f) {
    out += '{';
    ObjectWriter w{out};
    w.Int("SpinAngle", f.SpinAngle);
    w.Float("ChainShine", f.ChainShine);
    w.Int("QuitFlag", f.QuitFlag);
    w.Int("GameState", f.GameState);
    w.Int("Blink", f.Blink);
    w.Int("GroundFrame", f.GroundFrame);
    w.Float("ShineSweep", f.ShineSweep);
    w.Int("LastActiveItem", f.LastActiveItem);
    w.Float("BallX", f.BallX);
    w.Float("BallY", f.BallY);
    w.Float("BallVX", f.BallVX);
    w.Float("BallVY", f.BallVY);
    w.Int("OnGround", f.OnGround);
    w.Int("Dashing", f.Dashing);
    w.Int("DashCooldown", f.DashCooldown);
    w.Int("ComboCount", f.ComboCount);
    w.Int("BallKind", f.BallKind);
    w.Int("KindTimer", f.KindTimer);
    w.Int("QuakeTimer", f.QuakeTimer);
    w.Int("HighJump", f.HighJump);
    w.Int("SlamTimer", f.SlamTimer);
    w.Int("KindBoost", f.KindBoost);
    w.Int("StaggerTimer", f.StaggerTimer);
    w.Int("Lives", f.Lives);
    w.Int("GraceTimer", f.GraceTimer);
    w.Int("BannerTextX", f.BannerTextX);
    w.Float("BannerTextY", f.BannerTextY);
    w.Float("BannerTextSpeed", f.BannerTextSpeed);
    w.Int("BannerTextPause", f.BannerTextPause);
    w.Float("ShotX", f.ShotX);
    w.Float("ShotY", f.ShotY);
    w.Float("ShotVX", f.ShotVX);
    w.Int("Score", f.Score);
    w.Int("ShownScore", f.ShownScore);
    w.Int("HighScore", f.HighScore);
    w.Int("ShowHighScore", f.ShowHighScore);
    w.Int("ChainCount", f.ChainCount);
    w.Int("LastChainCount", f.LastChainCount);
    w.Int("ChainBonusTimer", f.ChainBonusTimer);
    w.Int("ChainBonus", f.ChainBonus);
    w.Int("FeverPoints", f.FeverPoints);
    w.Int("FeverThreshold", f.FeverThreshold);
    w.Int("FeverGaugeTimer", f.FeverGaugeTimer);
    w.Int("FeverGauge", f.FeverGauge);
    w.Int("Fever", f.Fever);
    w.Int("Level", f.Level);
    w.Int("LevelTimer", f.LevelTimer);
    w.Int("LevelBannerTimer", f.LevelBannerTimer);
    w.Int("GameOverTimer", f.GameOverTimer);
    w.Int("LastBaseItem", f.LastBaseItem);
    w.Float("RivalX", f.RivalX);
    w.Float("RivalY", f.RivalY);
    w.Float("RivalVX", f.RivalVX);
    w.Float("RivalBumpVX", f.RivalBumpVX);
    w.Float("RivalMaxSpeed", f.RivalMaxSpeed);
    w.Float("RivalVY", f.RivalVY);
    w.Float("RivalAccel", f.RivalAccel);
    w.Int("RivalDizzyTimer", f.RivalDizzyTimer);
    w.Int("RivalFrame", f.RivalFrame);
    w.Int("RivalStunTimer", f.RivalStunTimer);
    w.Int("RivalAwayTimer", f.RivalAwayTimer);

    w.RectMember("WorkRect", f.WorkRect);
    w.RectMember("MouthRect", f.MouthRect);
    w.RectMember("BodyRect", f.BodyRect);
    w.RectMember("ShotRect", f.ShotRect);
    w.RectMember("RivalRect", f.RivalRect);

    w.Key("Items");
    AppendSlots(out, f.Items, [&](const Item& i) { AppendFields(out, i.X, i.Y, i.VX, i.Plain, i.Kind, i.Delay); });
    w.Key("Popups");
    AppendSlots(out, f.Popups, [&](const Popup& p) { AppendFields(out, p.X, p.Y, p.VY, p.Timer, p.Kind); });
    w.Key("Specks");
    AppendSlots(out, f.Specks, [&](const Speck& s) { AppendFields(out, s.X, s.Y, s.VX, s.VY, s.Delay, s.Kind); });
    w.Key("Particles");
    AppendSlots(out, f.Particles,
                [&](const Particle& p) { AppendFields(out, p.X, p.Y, p.VX, p.VY, p.Timer, p.Kind); });

    w.Key("ExtraLifeGiven");
    out += '[';
    bool first = true;
    for (int16_t given : f.ExtraLifeGiven) {
        Sep(out, first);
        AppendInt(out, given);
    }
    out += ']';
    out += '}';
}

}  // namespace pm

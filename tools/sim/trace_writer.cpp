#include "trace_writer.h"

#include <charconv>
#include <cstdio>
#include <type_traits>

#include "game/shell/game_state.h"

namespace pm::sim {

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

// Length of the valid UTF-8 sequence starting at s[i], or 0 if it is not one.
size_t Utf8Length(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    size_t n;
    uint32_t min;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    uint32_t cp = c & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view utf8) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            switch (c) {
                case '\n': out += "\\n"; break;
                case '\r': out += "\\r"; break;
                case '\t': out += "\\t"; break;
                case '\b': out += "\\b"; break;
                case '\f': out += "\\f"; break;
                default:
                    out += "\\u00";
                    out += hex[c >> 4];
                    out += hex[c & 15];
            }
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if (const size_t n = Utf8Length(utf8, i)) {
            out.append(utf8.data() + i, n);
            i += n;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    out += '"';
}

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

namespace {

const char* OpName(SoundOp op) {
    switch (op) {
        case SoundOp::Stop: return "stop";
        case SoundOp::Frequency: return "freq";
        case SoundOp::Pan: return "pan";
        case SoundOp::Play: return "play";
    }
    return "?";
}

const char* BufferName(SoundId id) {
    for (const SoundFile& entry : Sounds)
        if (entry.Id == id) return entry.Buffer;
    return "?";
}

}  // namespace

void AppendSound(std::string& out, const std::vector<SoundCall>& calls) {
    out += '[';
    bool first = true;
    for (const SoundCall& call : calls) {
        Sep(out, first);
        out += "[\"";
        out += BufferName(call.Id);
        out += "\",\"";
        out += OpName(call.Op);
        out += '"';
        if (call.Op == SoundOp::Frequency || call.Op == SoundOp::Pan) {
            out += ',';
            AppendInt(out, call.Value);
        }
        out += ']';
    }
    out += ']';
}

void DrawTrace::OnFill(const Rect& r, Rgb colour) {
    Separate();
    entries_ += "[\"fill\",";
    AppendRect(entries_, r);
    entries_ += ',';
    AppendFields(entries_, colour.R, colour.G, colour.B);
    entries_ += ']';
}

void DrawTrace::OnCopy(bool keyed, const Surface& src, const Rect& sr, int32_t x, int32_t y) {
    Separate();
    entries_ += keyed ? "[\"keyed\"," : "[\"opaque\",";
    AppendJsonString(entries_, src.Name);
    entries_ += ',';
    AppendRect(entries_, sr);
    entries_ += ',';
    AppendInt(entries_, x);
    entries_ += ',';
    AppendInt(entries_, y);
    entries_ += ']';
}

void DrawTrace::OnText(int32_t x, int32_t y, std::string_view utf8) {
    Separate();
    entries_ += "[\"text\",";
    AppendInt(entries_, x);
    entries_ += ',';
    AppendInt(entries_, y);
    entries_ += ',';
    AppendJsonString(entries_, utf8);
    entries_ += ']';
}

void AppendFrameLine(std::string& out, int64_t frame, const Channels& channels, const FormMain& form,
                     const std::vector<SoundCall>& sound, std::string_view drawEntries) {
    out += "{\"frame\":";
    AppendInt(out, frame);
    if (channels.State) {
        out += ",\"state\":";
        AppendState(out, form);
    }
    if (channels.Sound) {
        out += ",\"sound\":";
        AppendSound(out, sound);
    }
    if (channels.Draw) {
        out += ",\"draw\":[";
        out += drawEntries;
        out += ']';
    }
    out += "}\n";
}

void AppendEndLine(std::string& out, int64_t frame, std::string_view end, int32_t highScore) {
    out += "{\"frame\":";
    AppendInt(out, frame);
    out += ",\"end\":";
    AppendJsonString(out, end);
    out += ",\"HighScore\":";
    AppendInt(out, highScore);
    out += "}\n";
}

}  // namespace pm::sim

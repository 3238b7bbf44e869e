#include "trace_writer.h"

#include <charconv>
#include <cstdio>
#include <type_traits>

#include "shell/game_state.h"
#include "shell/state_fields.h"

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

namespace {

// The record's fields (shell/state_fields.h) as the members of "state".
struct StateJson {
    std::string& out;
    ObjectWriter w{out};

    void Scalar(const char* name, float v) { w.Float(name, v); }
    void Scalar(const char* name, int32_t v) { w.Int(name, v); }
    void Scalar(const char* name, int16_t v) { w.Int(name, v); }
    void Box(const char* name, const Rect& r) { w.RectMember(name, r); }
    template <typename Slots, typename Slot>
    void List(const char* name, const Slots& list, Slot slot) {
        w.Key(name);
        AppendSlots(out, list, slot);
    }
    template <typename... T>
    void Fields(T... values) {
        AppendFields(out, values...);
    }
    void Element(int64_t v) { AppendInt(out, v); }
};

}  // namespace

void AppendState(std::string& out, const FormMain& f) {
    out += '{';
    StateJson json{out};
    VisitState(f, json);
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

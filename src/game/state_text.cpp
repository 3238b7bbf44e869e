#include "game/state_text.h"

#include <charconv>
#include <cstdio>
#include <type_traits>

#include "game/shell/game_state.h"
#include "game/state_fields.h"

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

// The record's fields (game/state_fields.h) as the members of "state".
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

}  // namespace pm

#include "trace_writer.h"

#include "game/shell/game_state.h"

namespace pm::sim {

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

void Sep(std::string& out, bool& first) {
    if (!first) out += ',';
    first = false;
}

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
    entries_ += '[';
    AppendInt(entries_, colour.R);
    entries_ += ',';
    AppendInt(entries_, colour.G);
    entries_ += ',';
    AppendInt(entries_, colour.B);
    entries_ += ']';
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

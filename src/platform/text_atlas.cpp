#include "platform/text_atlas.h"

#include <cstdio>

namespace pm {

void BlendCoverage(Surface& dst, int32_t x, int32_t y, const TextCoverage& line, Rgb colour) {
    for (int32_t j = 0; j < line.Height; ++j) {
        const int64_t dy = static_cast<int64_t>(y) + j;
        if (dy < 0 || dy >= dst.Height) continue;
        for (int32_t i = 0; i < line.Width; ++i) {
            const int64_t dx = static_cast<int64_t>(x) + i;
            if (dx < 0 || dx >= dst.Width) continue;
            const uint32_t a = line.Alpha[static_cast<size_t>(j) * line.Width + i];
            if (a == 0) continue;
            uint16_t& p = dst.At(static_cast<int32_t>(dx), static_cast<int32_t>(dy));
            // Fully covered: the blend below gives the colour itself.
            if (a == 255) {
                p = Rgb565(colour.R, colour.G, colour.B);
                continue;
            }
            // Expand the 5-6-5 pixel to 8 bits a channel, blend, pack again.
            const Rgb under = WidenRgb565(p);
            const auto mix = [a](uint32_t fg, uint32_t bgc) {
                return static_cast<uint8_t>((fg * a + bgc * (255 - a) + 127) / 255);
            };
            p = Rgb565(mix(colour.R, under.R), mix(colour.G, under.G), mix(colour.B, under.B));
        }
    }
}

AtlasText::AtlasText(const AtlasLine* lines, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const AtlasLine& l = lines[i];
        TextCoverage c;
        c.Width = l.Width;
        c.Height = l.Height;
        c.Alpha.assign(l.Alpha, l.Alpha + static_cast<size_t>(l.Width) * static_cast<size_t>(l.Height));
        Add(l.Text, std::move(c));
    }
}

void AtlasText::Add(std::string text, TextCoverage line) { lines_[std::move(text)] = std::move(line); }

const TextCoverage* AtlasText::Find(std::string_view utf8) const {
    const auto found = lines_.find(std::string(utf8));
    return found == lines_.end() ? nullptr : &found->second;
}

void AtlasText::Draw(Surface& dst, int32_t x, int32_t y, std::string_view utf8, Rgb colour) {
    if (utf8.empty()) return;
    if (const TextCoverage* line = Find(utf8)) {
        BlendCoverage(dst, x, y, *line, colour);
        return;
    }
    // A line that was never rendered means the atlas is older than the game.
    auto [it, first] = warned_.emplace(std::string(utf8), true);
    if (first) std::fprintf(stderr, "pellimunch: no rendered text for \"%s\"; it is not shown\n", it->first.c_str());
}

std::string AtlasSource(const std::vector<std::pair<std::string, TextCoverage>>& lines, std::string_view symbol) {
    std::string out = "// Made by pellimunch-textatlas from the game's own text renderer; do not edit.\n"
                      "#include \"platform/text_atlas.h\"\n\nnamespace pm {\n\nnamespace {\n";
    for (size_t n = 0; n < lines.size(); ++n) {
        const TextCoverage& c = lines[n].second;
        out += "const uint8_t Alpha" + std::to_string(n) + "[] = {";
        for (size_t i = 0; i < c.Alpha.size(); ++i) {
            if (i % 32 == 0) out += "\n   ";
            out += " " + std::to_string(c.Alpha[i]) + ",";
        }
        if (c.Alpha.empty()) out += "0";   // an array may not be empty
        out += "\n};\n";
    }
    out += "}  // namespace\n\nextern const AtlasLine " + std::string(symbol) + "[];\nextern const size_t " +
           std::string(symbol) + "Count;\n\nconst AtlasLine " + std::string(symbol) + "[] = {\n";
    for (size_t n = 0; n < lines.size(); ++n) {
        // The text as an escaped C string: every byte outside plain ASCII in octal.
        std::string text;
        for (unsigned char ch : lines[n].first) {
            if (ch < 0x20 || ch >= 0x7F || ch == '"' || ch == '\\' || ch == '?') {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\%03o", ch);
                text += esc;
            } else {
                text += static_cast<char>(ch);
            }
        }
        out += "    {\"" + text + "\", " + std::to_string(lines[n].second.Width) + ", " +
               std::to_string(lines[n].second.Height) + ", Alpha" + std::to_string(n) + "},\n";
    }
    if (lines.empty()) out += "    {\"\", 0, 0, nullptr},\n";
    out += "};\nconst size_t " + std::string(symbol) + "Count = " + std::to_string(lines.size()) +
           ";\n\n}  // namespace pm\n";
    return out;
}

}  // namespace pm

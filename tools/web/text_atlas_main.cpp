// pellimunch-textatlas: renders every line of text the game draws with the
// desktop's own text renderer and writes them as C++ source, so a build
// without a font renderer (the browser's) draws the very same pixels.
//
//     pellimunch-textatlas OUT.cpp
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hosts/headless/headless_host.h"
#include "hosts/sdl/ttf_text.h"
#include "platform/text_atlas.h"
#include "game/shell/game_state.h"

namespace {

// Collects the text of every drawing call.
struct TextLines : pm::DrawObserver {
    std::vector<std::string> Lines;
    void OnFill(const pm::Rect&, pm::Rgb) override {}
    void OnCopy(bool, const pm::Surface&, const pm::Rect&, int32_t, int32_t) override {}
    void OnText(int32_t, int32_t, std::string_view utf8) override {
        for (const std::string& l : Lines)
            if (l == utf8) return;
        Lines.emplace_back(utf8);
    }
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "pellimunch-textatlas: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return Fail("usage: pellimunch-textatlas OUT.cpp");

    // The lines are the title's, drawn by the game itself in its first
    // frame, so that the list can never fall behind it.
    pm::HeadlessHost host;
    pm::FixedRecord record;
    host.UseRecords(&record);
    TextLines lines;
    host.Draws = &lines;
    auto form = std::make_unique<pm::FormMain>(host);
    try {
        form->Form_Load(1);
        form->Step(pm::FrameInput{});
        form->Form_Unload();
    } catch (const std::exception& e) {
        return Fail(std::string("the game did not start: ") + e.what());
    }
    if (lines.Lines.empty()) return Fail("the game draws no text");

    // No font means no atlas: a browser build without its text would not
    // look like the desktop, so this is an error, not a warning.
    const std::string font = pm::sdl::FindGameFont();
    if (font.empty()) return Fail("no font found (install fonts-ipafont-gothic)");
    pm::sdl::TtfText text(12, font);
    if (!text.Ready()) return Fail("cannot open the font " + font);

    std::vector<std::pair<std::string, pm::TextCoverage>> rendered;
    for (const std::string& l : lines.Lines) {
        const pm::TextCoverage& c = text.Render(l);
        if (c.Width <= 0 || c.Height <= 0) return Fail("cannot render \"" + l + "\" with " + font);
        rendered.emplace_back(l, c);
    }

    const std::string source = pm::AtlasSource(rendered, "TitleTextAtlas");
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) return Fail(std::string("cannot write ") + argv[1]);
    const bool ok = std::fwrite(source.data(), 1, source.size(), f) == source.size();
    if (std::fclose(f) != 0 || !ok) return Fail(std::string("cannot write ") + argv[1]);
    return 0;
}

#include "hosts/web/web_host.h"

#include <emscripten.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/data_files.h"

namespace pm {
// The title's lines, rendered at build time by the desktop's text renderer.
extern const AtlasLine TitleTextAtlas[];
extern const size_t TitleTextAtlasCount;
}  // namespace pm

// The page's side (tools/web/page/page.js keeps the canvas and the overlays;
// screen.js draws). Rows `first` to `end` (not included) changed.
EM_JS(void, pm_js_present, (const uint16_t* rgb565, const uint32_t* rgba, int width, int height, int first, int end), {
    Module.pmPage.present(rgb565, rgba, width, height, first, end);
});
EM_JS(void, pm_js_cursor, (int show), { Module.pmPage.cursor(!!show); });
EM_JS(void, pm_js_paused, (int paused), { Module.pmPage.paused(!!paused); });
EM_JS(void, pm_js_muted, (int muted), { Module.pmPage.muted(!!muted); });
EM_JS(void, pm_js_save_error, (const char* title, const char* text), {
    Module.pmPage.saveError(UTF8ToString(title), UTF8ToString(text));
});

namespace pm::web {

WebHost::WebHost(std::string dataDir) : dataDir_(std::move(dataDir)), text_(TitleTextAtlas, TitleTextAtlasCount) {}

void WebHost::OpenDisplay() {
    if (!widen_.empty()) return;
    // The same widening as the desktop's. Bytes R, G, B, A in memory order.
    widen_.resize(65536);
    for (uint32_t p = 0; p < 65536; ++p) {
        const Rgb c = WidenRgb565(static_cast<uint16_t>(p));
        widen_[p] = 0xFF000000u | uint32_t{c.B} << 16 | uint32_t{c.G} << 8 | c.R;
    }
}

Surface WebHost::LoadBitmap(const BitmapFile& entry) {
    return LoadBmpFile(dataDir_ + entry.File, entry.Width, entry.Height);
}

void WebHost::OpenSound() { mixer_ = Mixer(); }

void WebHost::LoadSound(const SoundFile& entry) {
    mixer_.Load(static_cast<size_t>(entry.Id), LoadWavFile(dataDir_ + entry.File, entry.Rate));
}

void WebHost::Sound(SoundId id, SoundOp op, int32_t value) {
    mixer_.Apply(id, op, value);
}

namespace {

// Eight bytes at a time: the C library's memcmp goes byte by byte here.
bool SameRow(const uint16_t* a, const uint16_t* b, size_t n) {
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        uint64_t x, y;
        std::memcpy(&x, a + i, sizeof x);
        std::memcpy(&y, b + i, sizeof y);
        if (x != y) return false;
    }
    for (; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

}  // namespace

void WebHost::ShowLast() {
    if (const Surface* back = std::exchange(unshown_, nullptr)) Present(*back);
}

void WebHost::Present(const Surface& back) {
    if (Quiet) {
        unshown_ = &back;
        return;
    }
    const double t0 = emscripten_get_now();
    // WebGL takes the whole frame as it is: cheaper than finding the rows
    // that changed (most do: the sky's specks move everywhere).
    if (!WidenForCanvas) {
        pm_js_present(back.Pixels.data(), nullptr, back.Width, back.Height, 0, back.Height);
        PresentMs += emscripten_get_now() - t0;
        return;
    }
    const size_t w = static_cast<size_t>(back.Width), h = static_cast<size_t>(back.Height), n = back.Pixels.size();
    const bool fresh = shown_.size() != n;
    if (fresh) {
        shown_.assign(n, 0);
        frame_.assign(n, 0);
        widened_ = false;
    }
    const bool widenAll = !widened_;
    // For a 2D canvas: most of a frame is what the last one was (the black
    // sky, the status line), so only the rows that changed are handed on,
    // and only the groups of four pixels that changed are widened again.
    size_t first = h, end = 0;
    for (size_t y = 0; y < h; ++y) {
        const uint16_t* now = back.Pixels.data() + y * w;
        uint16_t* was = shown_.data() + y * w;
        const bool same = !fresh && SameRow(now, was, w);
        if (!same) {
            if (first == h) first = y;
            end = y + 1;
        }
        if (!same || widenAll) {
            uint32_t* out = frame_.data() + y * w;
            size_t i = 0;
            for (; i + 4 <= w; i += 4) {
                uint64_t a, b;
                std::memcpy(&a, now + i, sizeof a);
                std::memcpy(&b, was + i, sizeof b);
                if (a == b && !fresh && !widenAll) continue;
                out[i] = widen_[now[i]];
                out[i + 1] = widen_[now[i + 1]];
                out[i + 2] = widen_[now[i + 2]];
                out[i + 3] = widen_[now[i + 3]];
            }
            for (; i < w; ++i) out[i] = widen_[now[i]];
        }
        if (!same) std::memcpy(was, now, w * sizeof *now);
    }
    if (widenAll) {
        widened_ = true;
        first = 0;
        end = h;
    }
    pm_js_present(shown_.data(), frame_.data(), back.Width, back.Height, static_cast<int>(first), static_cast<int>(end));
    PresentMs += emscripten_get_now() - t0;
}

// The pads are read with the page's messages, so that a Start and the keys
// held with it belong to the same tick.
HostEvents WebHost::PumpEvents() {
    padKeys_.fill(0);
    bool start = false;
    pads_.Read(padKeys_, start);
    if (start) pending_.PadStart = true;
    return std::exchange(pending_, HostEvents{});
}

void WebHost::ReadKeyboard(std::array<uint8_t, 256>& keys) {
    Keys.Read(keys);
    for (size_t k = 0; k < keys.size(); ++k) keys[k] |= padKeys_[k];
}

void WebHost::Pause(const Surface&) {
    // The keys let go while the notice is up would never be heard.
    Keys.Clear();
    pm_js_paused(1);
}

void WebHost::Resume() {
    Keys.Clear();
    pm_js_paused(0);
}

void WebHost::SetVolume(int32_t, bool muted) { pm_js_muted(muted ? 1 : 0); }

void WebHost::ShowCursor(bool show) { pm_js_cursor(show ? 1 : 0); }

void WebHost::Release() {
    // The session is over: every sound stops where it is.
    for (size_t i = 0; i < mixer_.Size(); ++i) mixer_.Stop(i);
    Keys.Clear();
}

void WebHost::ShowSaveError(std::string_view title, std::string_view text) {
    std::string body;
    for (char c : text)
        if (c != '\r') body += c;
    const std::string caption(title);
    pm_js_save_error(caption.c_str(), body.c_str());
}

}  // namespace pm::web

#include "hosts/win32/gdi_text.h"

#include <windows.h>

#include "platform/text_atlas.h"
#include "platform/files/windows_text.h"

namespace pm::win32 {

GdiText::GdiText(int pixelHeight, bool bold) {
    font_ = CreateFontW(-pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS,
                        L"Tahoma");
}

GdiText::~GdiText() {
    if (font_) DeleteObject(static_cast<HFONT>(font_));
}

// White on black into a scratch bitmap; how white each pixel came out is
// how much the glyphs cover it, blended like every other text of the game.
void GdiText::Draw(Surface& dst, int32_t x, int32_t y, std::string_view utf8, Rgb colour) {
    if (!font_ || utf8.empty()) return;
    const std::wstring text = Wide(utf8);
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return;
    const HGDIOBJ oldFont = SelectObject(dc, static_cast<HFONT>(font_));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    if (size.cx > 0 && size.cy > 0) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = size.cx;
        info.bmiHeader.biHeight = -size.cy;   // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap && bits) {
            const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
            SetTextColor(dc, RGB(255, 255, 255));
            SetBkColor(dc, RGB(0, 0, 0));
            SetBkMode(dc, OPAQUE);
            TextOutW(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
            GdiFlush();
            TextCoverage line;
            line.Width = size.cx;
            line.Height = size.cy;
            line.Alpha.resize(static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy));
            const auto* px = static_cast<const uint32_t*>(bits);
            for (size_t i = 0; i < line.Alpha.size(); ++i) {
                const uint32_t p = px[i];
                line.Alpha[i] = static_cast<uint8_t>((((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3);
            }
            BlendCoverage(dst, x, y, line, colour);
            SelectObject(dc, oldBitmap);
        }
        if (bitmap) DeleteObject(bitmap);
    }
    SelectObject(dc, oldFont);
    DeleteDC(dc);
}

}  // namespace pm::win32

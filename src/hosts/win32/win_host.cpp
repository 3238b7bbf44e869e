#include "hosts/win32/win_host.h"

#include <windows.h>
#include <xinput.h>
// The system names a function of its own so; ours is the Host's.
#undef LoadBitmap

#include <atomic>
#include <cstdio>
#include <utility>

#include "platform/data_files.h"
#include "platform/notice_overlay.h"
#include "platform/pause_overlay.h"
#include "platform/score_path.h"
#include "platform/watch_overlay.h"
#include "hosts/win32/input_map.h"
#include "platform/files/windows_text.h"
#include "machine/key_codes.h"

namespace pm {
// The title's lines, rendered at build time by the desktop's text renderer.
extern const AtlasLine TitleTextAtlas[];
extern const size_t TitleTextAtlasCount;
}  // namespace pm

namespace pm::win32 {

namespace {

constexpr wchar_t WindowClass[] = L"Pellimunch";
constexpr int32_t PictureW = 800, PictureH = 600;
// Absent pads are looked for about twice a second: asking XInput about an
// empty slot is slow on some systems.
constexpr int32_t PadProbeInterval = 30;

std::atomic<bool> StopRequested{false};

BOOL WINAPI ConsoleControl(DWORD) {
    StopRequested = true;
    return TRUE;   // the game shuts down by itself, saving the record
}

HWND Hwnd(void* w) { return static_cast<HWND>(w); }

}  // namespace

void ShowErrorBox(std::string_view title, std::string_view text) {
    MessageBoxW(nullptr, Wide(text).c_str(), Wide(title).c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

WinHost::WinHost() : folder_(DataFolder(MyPath())), text_(TitleTextAtlas, TitleTextAtlasCount) {
    SetConsoleCtrlHandler(ConsoleControl, TRUE);
}

WinHost::~WinHost() { Release(); }

void WinHost::OpenDisplay() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    wc.lpfnWndProc = reinterpret_cast<WNDPROC>(&WinHost::WindowProc);
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = WindowClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw StartupError(LastErrorText("cannot open the window"));

    // The window's inside is 800 x 600 times the scale, shrunk to the
    // screen's free area if need be.
    RECT work{0, 0, 0, 0};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame{0, 0, 0, 0};
    AdjustWindowRect(&frame, style, FALSE);
    const int32_t frameW = frame.right - frame.left, frameH = frame.bottom - frame.top;
    const Box inside = WindowForScale(choice_.Scale, work.right - work.left - frameW, work.bottom - work.top - frameH);
    const int32_t w = inside.W + frameW, h = inside.H + frameH;
    const int32_t x = work.left + (work.right - work.left - w) / 2, y = work.top + (work.bottom - work.top - h) / 2;
    window_ = CreateWindowExW(0, WindowClass, caption_.c_str(), style, x < work.left ? work.left : x,
                              y < work.top ? work.top : y, w, h, nullptr, nullptr, instance, this);
    if (!window_) throw StartupError(LastErrorText("cannot open the window"));
    windowedStyle_ = static_cast<long>(style);

    widen_.resize(65536);
    for (uint32_t p = 0; p < 65536; ++p) {
        const Rgb c = WidenRgb565(static_cast<uint16_t>(p));
        widen_[p] = static_cast<uint32_t>(c.R) << 16 | static_cast<uint32_t>(c.G) << 8 | c.B;
    }
    frame_.assign(static_cast<size_t>(PictureW) * PictureH, 0);

    if (choice_.FullScreen) ToggleFullScreen();
    ShowWindow(Hwnd(window_), SW_SHOW);
    SetForegroundWindow(Hwnd(window_));
    UpdateWindow(Hwnd(window_));
}

Surface WinHost::LoadBitmap(const BitmapFile& entry) {
    return LoadBmpFile(folder_ + entry.File, entry.Width, entry.Height);
}

void WinHost::OpenKeyboard() { padsOpen_ = true; }

void WinHost::PollPads() {
    if (!padsOpen_) return;
    const bool probe = padProbe_-- <= 0;
    if (probe) padProbe_ = PadProbeInterval;
    for (DWORD i = 0; i < pads_.size(); ++i) {
        Pad& pad = pads_[i];
        if (!pad.Connected && !probe) continue;
        XINPUT_STATE state{};
        if (XInputGetState(i, &state) != ERROR_SUCCESS) {
            pad = Pad{};
            continue;
        }
        const uint16_t buttons = state.Gamepad.wButtons;
        // Start is the driver's: it starts a run or pauses.
        if (StartWentDown(pad.Buttons & XINPUT_GAMEPAD_START, buttons & XINPUT_GAMEPAD_START))
            pending_.PadStart = true;
        pad.Connected = true;
        pad.Buttons = buttons;
        pad.LeftX = state.Gamepad.sThumbLX;
    }
}

// The keys held now and every key pressed since the last read, and what
// the pads hold.
void WinHost::ReadKeyboard(std::array<uint8_t, 256>& keys) {
    keys_.Read(keys);
    for (const Pad& pad : pads_)
        if (pad.Connected) ApplyPad(PadReading{pad.Buttons, pad.LeftX}, keys);
}

void WinHost::OpenSound() {
    std::string why;
    {
        std::lock_guard<std::mutex> hold(mixerLock_);
        mixer_.SetVolume(choice_.Volume, choice_.Muted);
    }
    const bool opened = wave_.Open(
        [this](int16_t* out, size_t frames) {
            std::lock_guard<std::mutex> hold(mixerLock_);
            mixer_.Mix(out, frames);
        },
        why);
    // No sound card is no reason not to play.
    if (!opened) std::fprintf(stderr, "pellimunch: no sound (%s); playing silently\n", why.c_str());
    if (opened && paused_) wave_.Pause(true);
}

void WinHost::LoadSound(const SoundFile& entry) {
    const WaveData wave = LoadWavFile(folder_ + entry.File, entry.Rate);
    std::lock_guard<std::mutex> hold(mixerLock_);
    mixer_.Load(static_cast<size_t>(entry.Id), wave);
}

void WinHost::Sound(SoundId id, SoundOp op, int32_t value) {
    std::lock_guard<std::mutex> hold(mixerLock_);
    mixer_.Apply(id, op, value);
}

void WinHost::Widen(const Surface& picture) {
    if (picture.Width != PictureW || picture.Height != PictureH) throw StartupError("the back buffer is not 800 x 600");
    const uint16_t* from = picture.Pixels.data();
    for (size_t i = 0; i < frame_.size(); ++i) frame_[i] = widen_[from[i]];
    haveFrame_ = true;
}

void WinHost::Present(const Surface& back) {
    if (!window_) return;
    if (watching_ || notice_.Active()) {
        MakeNoticeText();
        Surface shown = watching_ ? WatchingPicture(back, *watching_, largeText_.get(), smallText_.get()) : back;
        notice_.DrawOn(shown, smallText_.get());
        Widen(shown);
    } else {
        Widen(back);
    }
    Blit();
}

void WinHost::SetCaption(const std::string& caption) {
    caption_.assign(caption.begin(), caption.end());
    if (window_) SetWindowTextW(static_cast<HWND>(window_), caption_.c_str());
}

RecordRead WinHost::LoadRecord() {
    RecordRead read = Host::LoadRecord();
    if (std::string notice = RecordNotice(); !notice.empty()) notice_.Show(std::move(notice));
    return read;
}

void WinHost::ShowWatching(const WatchNote* note) {
    if (note)
        watching_ = *note;
    else
        watching_.reset();
}

void WinHost::MakeNoticeText() {
    if (largeText_) return;
    largeText_ = std::make_unique<GdiText>(40, true);
    smallText_ = std::make_unique<GdiText>(16, false);
}

// The picture as large as the window's inside allows, keeping 4:3, each
// picture pixel a block of screen pixels; black bars on the sides left over.
void WinHost::Blit() {
    if (!window_) return;
    RECT client{};
    GetClientRect(Hwnd(window_), &client);
    const Letterbox box = FitPicture(client.right - client.left, client.bottom - client.top);
    HDC dc = GetDC(Hwnd(window_));
    if (!dc) return;
    const HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    for (int32_t i = 0; i < box.BarCount; ++i) {
        const Box& b = box.Bars[static_cast<size_t>(i)];
        const RECT bar{b.X, b.Y, b.X + b.W, b.Y + b.H};
        FillRect(dc, &bar, black);
    }
    if (haveFrame_ && box.Picture.W > 0 && box.Picture.H > 0) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = PictureW;
        info.bmiHeader.biHeight = -PictureH;   // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetStretchBltMode(dc, COLORONCOLOR);   // nearest pixel: sharp at any size
        StretchDIBits(dc, box.Picture.X, box.Picture.Y, box.Picture.W, box.Picture.H, 0, 0, PictureW, PictureH,
                      frame_.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    } else if (!haveFrame_) {
        FillRect(dc, &client, black);
    }
    ReleaseDC(Hwnd(window_), dc);
}

// Borderless over the whole of the monitor the window is on, and back to
// the window as it was.
void WinHost::ToggleFullScreen() {
    const HWND w = Hwnd(window_);
    if (!fullScreen_) {
        placement_.assign(sizeof(WINDOWPLACEMENT), 0);
        auto* place = reinterpret_cast<WINDOWPLACEMENT*>(placement_.data());
        place->length = sizeof(WINDOWPLACEMENT);
        GetWindowPlacement(w, place);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST), &monitor);
        SetWindowLongPtrW(w, GWL_STYLE, (windowedStyle_ & ~WS_OVERLAPPEDWINDOW) | WS_POPUP | (GetWindowLongPtrW(w, GWL_STYLE) & WS_VISIBLE));
        const RECT& r = monitor.rcMonitor;
        SetWindowPos(w, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
        fullScreen_ = true;
    } else {
        SetWindowLongPtrW(w, GWL_STYLE, windowedStyle_ | (GetWindowLongPtrW(w, GWL_STYLE) & WS_VISIBLE));
        if (placement_.size() == sizeof(WINDOWPLACEMENT))
            SetWindowPlacement(w, reinterpret_cast<WINDOWPLACEMENT*>(placement_.data()));
        SetWindowPos(w, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
        fullScreen_ = false;
    }
    InvalidateRect(w, nullptr, FALSE);
}

intptr_t __stdcall WinHost::WindowProc(void* window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    const HWND w = Hwnd(window);
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<WinHost*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (self && self->window_ == window) return self->Handle(message, wParam, lParam);
    return DefWindowProcW(w, message, wParam, lParam);
}

intptr_t WinHost::Handle(unsigned message, uintptr_t wParam, intptr_t lParam) {
    const HWND w = Hwnd(window_);
    switch (message) {
        case WM_CLOSE:
            pending_.CloseRequested = true;   // the shutdown closes the window
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN:
            pending_.MousePressed = true;
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            const bool repeat = (lParam >> 30) & 1;
            const bool alt = (lParam >> 29) & 1;
            if (!repeat && alt && wParam == VK_RETURN) {
                ToggleFullScreen();
                pending_.FullScreenToggled = true;
                return 0;
            }
            if (!repeat) keys_.Down(KeyCodeOf(static_cast<uint32_t>(lParam), static_cast<uint32_t>(wParam)));
            // Alt+F4 still closes; no other key reaches the window's menu.
            if (message == WM_SYSKEYDOWN && wParam == VK_F4) break;
            return 0;
        }
        case WM_KEYUP:
        case WM_SYSKEYUP:
            keys_.Up(KeyCodeOf(static_cast<uint32_t>(lParam), static_cast<uint32_t>(wParam)));
            return 0;
        case WM_SYSCHAR:
        case WM_CHAR:
            return 0;   // no beep for Alt+key
        case WM_ACTIVATE: {
            // Only where the focus ended up counts (unless the window was
            // out of sight, see PumpEvents).
            const bool lost = LOWORD(wParam) == WA_INACTIVE || HIWORD(wParam) != 0;
            pending_.FocusLost = lost;
            pending_.FocusGained = !lost;
            if (lost) keys_.Clear();   // the releases will go to another window
            break;
        }
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) outOfSight_ = true;
            InvalidateRect(w, nullptr, FALSE);
            return 0;
        case WM_ENTERSIZEMOVE:
            // Dragging the window holds the game's loop: better paused.
            outOfSight_ = true;
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                SetCursor(cursorHidden_ ? nullptr : LoadCursorW(nullptr, IDC_ARROW));
                return TRUE;
            }
            break;
        case WM_ERASEBKGND:
            return 1;   // Blit paints every pixel
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(w, &ps);
            EndPaint(w, &ps);
            Blit();
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(w, message, wParam, lParam);
}

HostEvents WinHost::PumpEvents() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // Mended: a focus gain in the same pump as the minimising (WM_SIZE then
    // WM_ACTIVATE) used to clear the loss, and the start of a drag left a
    // gain standing beside the loss. Whatever the focus does, a window that
    // was minimised or dragged since the last pump, or is minimised now, is
    // a lost one.
    if (std::exchange(outOfSight_, false) || (window_ && IsIconic(Hwnd(window_)))) {
        pending_.FocusLost = true;
        pending_.FocusGained = false;
    }
    PollPads();
    if (StopRequested.exchange(false)) pending_.CloseRequested = true;
    return std::exchange(pending_, HostEvents{});
}

void WinHost::ShowCursor(bool show) {
    cursorHidden_ = !show;
    if (!window_) return;
    POINT p{};
    GetCursorPos(&p);
    SetCursorPos(p.x, p.y);   // a WM_SETCURSOR now, not at the next move
}

void WinHost::Pause(const Surface& lastFrame) {
    if (paused_) return;
    paused_ = true;
    wave_.Pause(true);
    if (!window_ || lastFrame.Width != PictureW || lastFrame.Height != PictureH) return;
    // The notice over a darkened copy of the last frame (and of the replay's
    // band, when one is watched); the window keeps it while the pause lasts.
    MakeNoticeText();
    const Surface& shown =
        watching_ ? WatchingPicture(lastFrame, *watching_, largeText_.get(), smallText_.get()) : lastFrame;
    Widen(PausedPicture(shown, largeText_.get(), smallText_.get()));
    Blit();
}

void WinHost::Resume() {
    if (!paused_) return;
    paused_ = false;
    wave_.Pause(false);
}

void WinHost::SetVolume(int32_t percent, bool muted) {
    choice_.Volume = percent;
    choice_.Muted = muted;
    std::lock_guard<std::mutex> hold(mixerLock_);
    mixer_.SetVolume(percent, muted);
}

void WinHost::RestoreDisplay() {
    if (!window_) return;
    ShowWindow(Hwnd(window_), SW_HIDE);
    fullScreen_ = false;
}

void WinHost::Release() {
    wave_.Close();
    if (window_) {
        DestroyWindow(Hwnd(window_));
        window_ = nullptr;
    }
    largeText_.reset();
    smallText_.reset();
}

void WinHost::ShowSaveError(std::string_view title, std::string_view text) {
    if (window_) ShowWindow(Hwnd(window_), SW_HIDE);
    ShowErrorBox(title, text);
}

}  // namespace pm::win32

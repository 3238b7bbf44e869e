#include "hosts/sdl/sdl_host.h"

#include <algorithm>
#include <cstdio>

#include "platform/data_files.h"
#include "platform/notice_overlay.h"
#include "platform/pause_overlay.h"
#include "platform/watch_overlay.h"
#include "hosts/sdl/render_device.h"
#include "platform/score_path.h"
#include "hosts/sdl/keymap.h"
#include "hosts/sdl/library_noise.h"
#include "hosts/sdl/message_box.h"
#include "hosts/sdl/padmap.h"
#include "hosts/sdl/x11_window.h"

namespace pm::sdl {

volatile std::sig_atomic_t StopRequested = 0;

void RequestStop(int) { StopRequested = 1; }

namespace {

constexpr const char* NoDisplayFound = "cannot start the video: no display found (is DISPLAY or WAYLAND_DISPLAY set?)";

[[noreturn]] void SdlFailure(const std::string& what) { throw StartupError(what + ": " + SDL_GetError()); }

// A colour as the 32-bit ARGB8888 pixel of the texture and the icon, alpha 0.
uint32_t Argb(Rgb c) { return uint32_t{c.R} << 16 | uint32_t{c.G} << 8 | c.B; }

// True when the renderer is OpenGL on a software rasteriser. A renderer the
// player chose by name (SDL_RENDER_DRIVER) is always kept.
bool RendersOnTheProcessor(SDL_Renderer* renderer) {
    if (SDL_getenv("SDL_RENDER_DRIVER")) return false;
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || !info.name) return false;
    if (SDL_strncmp(info.name, "opengl", 6) != 0) return false;
    using GetString = const unsigned char* (*)(unsigned int);
    const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    if (!getString) return false;
    constexpr unsigned int kGlRenderer = 0x1F01;
    const char* name = reinterpret_cast<const char*>(getString(kGlRenderer));
    if (!name) return false;
    for (const char* soft : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"})
        if (SDL_strstr(name, soft)) return true;
    return false;
}

}  // namespace

// A game run from its own folder reads its data there; an installed one
// from the shared folder.
SdlHost::SdlHost() : folder_(DataFolder(MyPath())) {}

SdlHost::~SdlHost() { Release(); }

SdlHost* SdlHost::watched_ = nullptr;

// Xlib calls this, from inside whichever SDL call found the connection
// broken, and ends the process after it. Nothing of the display may be
// touched again: the host forgets it, so that the shutdown run by the hook
// closes only the sound and saves.
void SdlHost::DisplayLost() {
    SdlHost* host = watched_;
    watched_ = nullptr;   // a second break (from the hook itself) only ends
    if (host) {
        host->displayGone_ = true;
        host->videoStarted_ = false;
        host->window_ = nullptr;
        host->renderer_ = nullptr;
        host->texture_ = nullptr;
        host->paused_ = false;
        if (host->displayLost_) host->displayLost_();
    }
    std::fprintf(stderr, "pellimunch: the connection to the display broke; the game ends\n");
    std::fflush(stderr);
}

void SdlHost::OpenDisplay() {
    // Desktop full screen never changes the monitor's mode, so switching
    // away must not minimise the game.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The driver keeps the game's 60 Hz clock; waiting for a 144 Hz
    // monitor's refresh would only add latency.
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    if (!DisplayMayExist()) throw StartupError(NoDisplayFound);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) SdlFailure("cannot start the video");
    videoStarted_ = true;
    // With no display at all SDL falls back to an invisible off-screen
    // driver; a game nobody can see is a failure unless asked for by name.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0) &&
        !(asked && SDL_strcasecmp(asked, driver) == 0))
        throw StartupError(NoDisplayFound);

    // The window starts hidden, so that it is shown only once it has its
    // final size and place.
    SDL_Rect usable{0, 0, 0, 0};
    SDL_GetDisplayUsableBounds(0, &usable);
    windowed_ = WindowForScale(choice_.Scale, usable.w, usable.h);
    window_ = SDL_CreateWindow(caption_.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, windowed_.W, windowed_.H,
                               SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    if (!window_) SdlFailure("cannot open the window");
    watched_ = this;
    X11WatchConnection(window_, &SdlHost::DisplayLost);
    if (!SDL_getenv("SDL_RENDER_DRIVER") && !HasRenderDevice()) {
        // No graphics device: OpenGL could only draw on the processor, and
        // loading it would cost more than the whole game. Straight to SDL's
        // software renderer, on the window's own framebuffer.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    } else {
        renderer_ = SDL_CreateRenderer(window_, -1, 0);
    }
    if (renderer_ && RendersOnTheProcessor(renderer_)) {
        // OpenGL drawn by the processor (no graphics driver, a virtual X
        // server) costs many times what SDL's own software renderer does for
        // one 800 x 600 picture a frame.
        SDL_DestroyRenderer(renderer_);
        renderer_ = nullptr;
        // The window's own framebuffer, not another OpenGL one behind it.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) SdlFailure("cannot draw into the window");
    SDL_RendererInfo info{};
    softwareRenderer_ = SDL_GetRendererInfo(renderer_, &info) == 0 && (info.flags & SDL_RENDERER_SOFTWARE);
    // A graphics card scales smoothly for nothing. On the processor a smooth
    // scale to 1280 x 800 alone costs some 6 % of a core, the whole game with
    // a nearest-pixel scale 7 %; the pixels stay sharp either way. (The
    // player's SDL_RENDER_SCALE_QUALITY, read when the texture is made, wins.)
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, softwareRenderer_ ? "nearest" : "linear");
    // A 32-bit texture: the renderers scale it on their fast paths, where a
    // 16-bit one goes through a slow per-pixel conversion in software.
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, 800, 600);
    if (!texture_) SdlFailure("cannot create the screen texture");

    if (choice_.FullScreen) EnterFullScreen();
    SDL_ShowWindow(window_);
    NoteRealSize();
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);

    text_ = std::make_unique<TtfText>(12);
}

Surface SdlHost::LoadBitmap(const BitmapFile& entry) {
    return LoadBmpFile(folder_ + entry.File, entry.Width, entry.Height);
}

void SdlHost::OpenKeyboard() {
    // Gamepads are keys to the game. Without them the keyboard still plays.
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "pellimunch: no gamepads (%s)\n", SDL_GetError());
        return;
    }
    padsStarted_ = true;
    // Pads already plugged in are reported as added, like any plugged in later.
}

// The keys as of the last pump, so that the held keys and the presses noted
// from the events tell the same story: the keyboard, every open pad, and
// every key pressed since the last read.
void SdlHost::ReadKeyboard(std::array<uint8_t, 256>& keys) {
    if (!videoStarted_) {
        keys.fill(0);
        return;
    }
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    FillKeyTable(state, count, keys);
    for (SDL_GameController* pad : pads_) ApplyPad(ReadPad(pad), keys);
    taps_.Apply(keys);
}

void SdlHost::OpenPad(int deviceIndex) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    for (SDL_GameController* pad : pads_)
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == id) return;
    if (SDL_GameController* pad = SDL_GameControllerOpen(deviceIndex)) pads_.push_back(pad);
}

void SdlHost::ClosePad(SDL_JoystickID id) {
    for (size_t i = 0; i < pads_.size(); ++i) {
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pads_[i])) != id) continue;
        SDL_GameControllerClose(pads_[i]);
        pads_.erase(pads_.begin() + static_cast<std::ptrdiff_t>(i));
        return;
    }
}

void SdlHost::OpenSound() {
    SilenceSoundLibrary();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "pellimunch: no sound (%s); playing silently\n", SDL_GetError());
        return;
    }
    audioStarted_ = true;
    SDL_AudioSpec want{};
    want.freq = Mixer::OutputRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 512;   // about 12 ms: short enough that sounds keep up with the picture
    want.callback = &SdlHost::AudioCallback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the device really takes.
    mixer_.SetVolume(choice_.Volume, choice_.Muted);
    audio_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (audio_ == 0) {
        std::fprintf(stderr, "pellimunch: no sound device (%s); playing silently\n", SDL_GetError());
        return;
    }
    SDL_PauseAudioDevice(audio_, paused_ ? 1 : 0);
}

void SdlHost::AudioCallback(void* self, Uint8* stream, int len) {
    static_cast<SdlHost*>(self)->mixer_.Mix(reinterpret_cast<int16_t*>(stream),
                                            static_cast<size_t>(len) / (2 * sizeof(int16_t)));
}

void SdlHost::LoadSound(const SoundFile& entry) {
    const WaveData wave = LoadWavFile(folder_ + entry.File, entry.Rate);
    if (audio_) SDL_LockAudioDevice(audio_);
    mixer_.Load(static_cast<size_t>(entry.Id), wave);
    if (audio_) SDL_UnlockAudioDevice(audio_);
}

void SdlHost::Sound(SoundId id, SoundOp op, int32_t value) {
    if (audio_) SDL_LockAudioDevice(audio_);
    mixer_.Apply(id, op, value);
    if (audio_) SDL_UnlockAudioDevice(audio_);
}

void SdlHost::SetIcon(const Surface& sheet, const Rect& r) {
    if (!window_) return;
    if (r.Left < 0 || r.Top < 0 || r.Right > sheet.Width || r.Bottom > sheet.Height || r.Right <= r.Left ||
        r.Bottom <= r.Top)
        return;
    SDL_Surface* icon =
        SDL_CreateRGBSurfaceWithFormat(0, r.Right - r.Left, r.Bottom - r.Top, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!icon) return;
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(icon->pixels) +
                                                static_cast<size_t>(y - r.Top) * icon->pitch);
        for (int32_t x = r.Left; x < r.Right; ++x) {
            const uint16_t p = sheet.At(x, y);
            // White is the sprite sheet's transparent colour.
            const uint32_t alpha = p == 0xFFFF ? 0 : 0xFF;
            row[x - r.Left] = alpha << 24 | Argb(WidenRgb565(p));
        }
    }
    SDL_SetWindowIcon(window_, icon);
    SDL_FreeSurface(icon);
}

void SdlHost::Present(const Surface& back) {
    if (!renderer_) return;
    if (notice_.Active()) {
        Surface shown = watching_ ? WatchingPicture(back, *watching_, LargeText(), text_.get()) : back;
        notice_.DrawOn(shown, text_.get());
        UploadFrame(shown);
    } else {
        UploadFrame(watching_ ? WatchingPicture(back, *watching_, LargeText(), text_.get()) : back);
    }
    ShowTexture();
}

void SdlHost::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (window_) SDL_SetWindowTitle(window_, caption_.c_str());
}

RecordRead SdlHost::LoadRecord() {
    RecordRead read = Host::LoadRecord();
    if (std::string notice = RecordNotice(); !notice.empty()) notice_.Show(std::move(notice));
    return read;
}

void SdlHost::ShowWatching(const WatchNote* note) {
    if (note)
        watching_ = *note;
    else
        watching_.reset();
}

TextRenderer* SdlHost::LargeText() {
    if (!largeText_ && text_ && text_->Ready()) largeText_ = std::make_unique<TtfText>(40, text_->FontFile());
    return largeText_.get();
}

// The picture widened to 32 bits straight into the texture's own pixels.
void SdlHost::UploadFrame(const Surface& picture) {
    if (picture.Width != 800 || picture.Height != 600) throw StartupError("the back buffer is not 800 x 600");
    if (widen_.empty()) {
        // Every RGB565 value to its 32-bit colour.
        widen_.resize(65536);
        for (uint32_t p = 0; p < 65536; ++p) widen_[p] = Argb(WidenRgb565(static_cast<uint16_t>(p)));
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0) SdlFailure("cannot show the frame");
    for (int32_t y = 0; y < 600; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pixels) + static_cast<size_t>(y) * pitch);
        const uint16_t* from = picture.Pixels.data() + static_cast<size_t>(y) * 800;
        for (int32_t x = 0; x < 800; ++x) row[x] = widen_[from[x]];
    }
    SDL_UnlockTexture(texture_);
}

// The picture as large as the window's real drawable size allows, keeping
// 4:3, asked afresh every time: whatever happened to the window (Alt+Enter,
// a resize, a window manager that ignored a request) the frame is whole.
void SdlHost::ShowTexture() {
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(renderer_, &w, &h) != 0) SdlFailure("cannot show the frame");
    // SDL may believe in a size the X server never gave the window.
    if (realKnown_) {
        w = std::min(w, realW_);
        h = std::min(h, realH_);
    }
    const Letterbox box = FitPicture(w, h);
    place_ = box.Picture;
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    if (softwareRenderer_) {
        // The window's pixels keep between frames: only the bars need black.
        for (int32_t i = 0; i < box.BarCount; ++i) {
            const Box& b = box.Bars[static_cast<size_t>(i)];
            const SDL_Rect bar{b.X, b.Y, b.W, b.H};
            SDL_RenderFillRect(renderer_, &bar);
        }
    } else {
        SDL_RenderClear(renderer_);
    }
    const SDL_Rect dst{place_.X, place_.Y, place_.W, place_.H};
    if (dst.w > 0 && dst.h > 0 && SDL_RenderCopy(renderer_, texture_, nullptr, &dst) != 0)
        SdlFailure("cannot show the frame");
    SDL_RenderPresent(renderer_);
}

void SdlHost::NoteRealSize() { realKnown_ = X11WindowSize(window_, realW_, realH_); }

void SdlHost::ToggleFullScreen() {
    if (fullScreen_)
        LeaveFullScreen();
    else
        EnterFullScreen();
    NoteRealSize();
}

void SdlHost::EnterFullScreen() {
    if (fullScreen_) return;
    fullScreen_ = true;
    const WindowManager manager = X11WindowManager(window_);
    if (manager == WindowManager::NotX11 || manager == WindowManager::FullScreen) {
        SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
        return;
    }
    // Nobody to ask for full screen (kiosks, some remote desktops): the
    // window itself covers the screen, without a border.
    fullScreenByHand_ = true;
    SDL_Rect screen{0, 0, 800, 600};
    SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window_)), &screen);
    SDL_SetWindowBordered(window_, SDL_FALSE);
    SDL_SetWindowPosition(window_, screen.x, screen.y);
    SDL_SetWindowSize(window_, screen.w, screen.h);
}

void SdlHost::LeaveFullScreen() {
    if (!fullScreen_) return;
    fullScreen_ = false;
    if (!fullScreenByHand_) {
        SDL_SetWindowFullscreen(window_, 0);
        return;
    }
    fullScreenByHand_ = false;
    SDL_SetWindowBordered(window_, SDL_TRUE);
    SDL_SetWindowSize(window_, windowed_.W, windowed_.H);
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

void SdlHost::Pause(const Surface& lastFrame) {
    if (paused_) return;
    paused_ = true;
    if (audio_) SDL_PauseAudioDevice(audio_, 1);
    if (!renderer_ || lastFrame.Width != 800 || lastFrame.Height != 600) return;
    // The notice over a darkened copy of the last frame; the texture keeps
    // it for as long as the pause lasts.
    const Surface& shown = watching_ ? WatchingPicture(lastFrame, *watching_, LargeText(), text_.get()) : lastFrame;
    UploadFrame(PausedPicture(shown, LargeText(), text_.get()));
    ShowTexture();
}

void SdlHost::Resume() {
    if (!paused_) return;
    paused_ = false;
    if (audio_) SDL_PauseAudioDevice(audio_, 0);
}

void SdlHost::SetVolume(int32_t percent, bool muted) {
    choice_.Volume = percent;
    choice_.Muted = muted;
    if (audio_) SDL_LockAudioDevice(audio_);
    mixer_.SetVolume(percent, muted);
    if (audio_) SDL_UnlockAudioDevice(audio_);
}

HostEvents SdlHost::PumpEvents() {
    HostEvents events;
    if (!videoStarted_) return events;
    bool redraw = false;
    bool outOfSight = false;   // minimised or hidden at some moment of this pump
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
            case SDL_MOUSEBUTTONDOWN:
                events.MousePressed = true;
                break;
            case SDL_QUIT:
                events.CloseRequested = true;
                break;
            case SDL_WINDOWEVENT:
                switch (event.window.event) {
                    case SDL_WINDOWEVENT_CLOSE: events.CloseRequested = true; break;
                    // Only where the focus ended up counts: lost and found
                    // again within one pump is no loss (unless the window
                    // is out of sight, below).
                    case SDL_WINDOWEVENT_MINIMIZED:
                    case SDL_WINDOWEVENT_HIDDEN:
                        outOfSight = true;
                        [[fallthrough]];
                    case SDL_WINDOWEVENT_FOCUS_LOST:
                        events.FocusLost = true;
                        events.FocusGained = false;
                        break;
                    case SDL_WINDOWEVENT_FOCUS_GAINED:
                        events.FocusGained = true;
                        events.FocusLost = false;
                        break;
                    case SDL_WINDOWEVENT_SHOWN:
                    case SDL_WINDOWEVENT_EXPOSED:
                    case SDL_WINDOWEVENT_RESIZED:
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                    case SDL_WINDOWEVENT_MAXIMIZED:
                    case SDL_WINDOWEVENT_RESTORED: redraw = true; break;
                    default: break;
                }
                break;
            case SDL_CONTROLLERDEVICEADDED: OpenPad(event.cdevice.which); break;
            case SDL_CONTROLLERDEVICEREMOVED: ClosePad(event.cdevice.which); break;
            case SDL_CONTROLLERBUTTONDOWN:
                if (event.cbutton.button == SDL_CONTROLLER_BUTTON_START)
                    events.PadStart = true;
                else
                    taps_.Press(PadButtonKey(static_cast<SDL_GameControllerButton>(event.cbutton.button)));
                break;
            case SDL_KEYDOWN:
                if (!event.key.repeat) taps_.Press(KeyCode(event.key.keysym.scancode));
                if (!event.key.repeat && (event.key.keysym.mod & KMOD_ALT) &&
                    (event.key.keysym.scancode == SDL_SCANCODE_RETURN ||
                     event.key.keysym.scancode == SDL_SCANCODE_KP_ENTER)) {
                    ToggleFullScreen();
                    events.FullScreenToggled = true;
                }
                break;
            default:
                break;
        }
    }
    // Mended: a focus gain in the same pump as the minimising used to clear
    // the loss, and a minimised window played on unseen. Whatever the focus
    // does, a window that was out of sight in this pump, or still is, is a
    // lost one.
    // The X server is asked too: a window manager's iconify is not always
    // told as one. Only once the window has been seen, so that a window
    // manager still framing the new window is no loss.
    if (const std::optional<bool> viewable = X11WindowViewable(window_)) {
        if (*viewable)
            seenViewable_ = true;
        else if (seenViewable_)
            outOfSight = true;
    }
    if (outOfSight ||
        (window_ && (SDL_GetWindowFlags(window_) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) != 0)) {
        events.FocusLost = true;
        events.FocusGained = false;
    }
    if (redraw) {
        NoteRealSize();
        // A paused game shows no new frames: its picture is shown again here.
        if (paused_ && renderer_) ShowTexture();
    }
    if (StopRequested) {
        StopRequested = 0;
        events.CloseRequested = true;
    }
    return events;
}

void SdlHost::ShowCursor(bool show) {
    if (videoStarted_) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void SdlHost::RestoreDisplay() {
    if (!window_) return;
    SDL_HideWindow(window_);
    if (fullScreen_ && !fullScreenByHand_) SDL_SetWindowFullscreen(window_, 0);
    fullScreen_ = fullScreenByHand_ = false;
}

void SdlHost::Release() {
    KeepLibrariesForLeakReports();
    // Sound first, then the picture and the window, then SDL itself.
    if (audio_) {
        SDL_CloseAudioDevice(audio_);
        audio_ = 0;
    }
    const bool started = videoStarted_ || audioStarted_ || padsStarted_;
    if (audioStarted_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioStarted_ = false;
    }
    for (SDL_GameController* pad : pads_) SDL_GameControllerClose(pad);
    pads_.clear();
    if (padsStarted_) {
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
        padsStarted_ = false;
    }
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = nullptr;
    if (renderer_) SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    largeText_.reset();
    text_.reset();
    videoStarted_ = false;
    if (watched_ == this) watched_ = nullptr;
    // SDL's own shutdown would talk to a display that is gone.
    if (started && !displayGone_) SDL_Quit();
}

void SdlHost::ShowSaveError(std::string_view title, std::string_view text) {
    if (displayGone_) return;   // nowhere to show it; the line on standard error stays
    if (window_) SDL_HideWindow(window_);
    // Without a display the line on standard error is all there is.
    ShowErrorBox(title, text);
}

}  // namespace pm::sdl

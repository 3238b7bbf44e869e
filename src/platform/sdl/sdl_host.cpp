#include "platform/sdl/sdl_host.h"

#include <cstdio>
#include <ctime>

#include "platform/data_files.h"
#include "platform/score_path.h"
#include "platform/sdl/keymap.h"
#include "platform/sdl/library_noise.h"
#include "platform/sdl/message_box.h"

namespace pm::sdl {

volatile std::sig_atomic_t StopRequested = 0;

void RequestStop(int) { StopRequested = 1; }

namespace {

constexpr const char* NoDisplayFound = "cannot start the video: no display found (is DISPLAY or WAYLAND_DISPLAY set?)";

[[noreturn]] void SdlFailure(const std::string& what) { throw StartupError(what + ": " + SDL_GetError()); }

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

// A game run from its own folder keeps everything there; an installed one
// reads its data from the shared folder and keeps the record in the
// player's data folder.
SdlHost::SdlHost() : folder_(DataFolder(MyPath())), scoreFile_(ScoreFilePath(MyPath())) {}

// The player's data folder may not exist yet: the save creates it, and names
// the folder it cannot create.
std::string SdlHost::ScoreFile() { return scoreFile_; }

SdlHost::~SdlHost() { Release(); }

uint64_t SdlHost::ClockSeed() {
    if (seed_) return *seed_;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<uint64_t>(local.tm_hour) * 3600 + static_cast<uint64_t>(local.tm_min) * 60 +
           static_cast<uint64_t>(local.tm_sec);
}

void SdlHost::OpenDisplay() {
    // Desktop full screen never changes the monitor's mode, so switching
    // away must not minimise the game.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
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

    window_ = SDL_CreateWindow("Pellimunch", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 800, 600,
                               SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_RESIZABLE);
    if (!window_) SdlFailure("cannot open the window");
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
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
    // Scale the 800 x 600 picture to the window, keeping 4:3 with black bars.
    if (SDL_RenderSetLogicalSize(renderer_, 800, 600) != 0) SdlFailure("cannot scale the picture");
    // A 32-bit texture: the renderers scale it on their fast paths, where a
    // 16-bit one goes through a slow per-pixel conversion in software.
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, 800, 600);
    if (!texture_) SdlFailure("cannot create the screen texture");

    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);

    text_ = std::make_unique<TtfText>(12);
}

Surface SdlHost::LoadBitmap(const BitmapSpec& spec) {
    return LoadBmpFile(folder_ + spec.File, spec.Width, spec.Height);
}

void SdlHost::ReadKeyboard(std::array<uint8_t, 256>& keys) {
    if (!videoStarted_) {
        keys.fill(0);
        return;
    }
    SDL_PumpEvents();
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    FillKeyTable(state, count, keys);
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
    audio_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (audio_ == 0) {
        std::fprintf(stderr, "pellimunch: no sound device (%s); playing silently\n", SDL_GetError());
        return;
    }
    SDL_PauseAudioDevice(audio_, 0);
}

void SdlHost::AudioCallback(void* self, Uint8* stream, int len) {
    static_cast<SdlHost*>(self)->mixer_.Mix(reinterpret_cast<int16_t*>(stream),
                                            static_cast<size_t>(len) / (2 * sizeof(int16_t)));
}

void SdlHost::LoadSound(const SoundSpec& spec) {
    const WaveData wave = LoadWavFile(folder_ + spec.File, spec.Rate);
    if (audio_) SDL_LockAudioDevice(audio_);
    mixer_.Load(static_cast<size_t>(spec.Id), wave);
    if (audio_) SDL_UnlockAudioDevice(audio_);
}

void SdlHost::Sound(SoundId id, SoundOp op, int32_t value) {
    const size_t i = static_cast<size_t>(id);
    if (audio_) SDL_LockAudioDevice(audio_);
    switch (op) {
        case SoundOp::Stop: mixer_.Stop(i); break;
        case SoundOp::Frequency: mixer_.SetFrequency(i, value); break;
        case SoundOp::Pan: mixer_.SetPan(i, value); break;
        case SoundOp::Play: mixer_.Play(i); break;
    }
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
            const uint32_t r5 = p >> 11, g6 = (p >> 5) & 0x3F, b5 = p & 0x1F;
            // White is the sprite sheet's transparent colour.
            const uint32_t alpha = p == 0xFFFF ? 0 : 0xFF;
            row[x - r.Left] = alpha << 24 | ((r5 << 3) | (r5 >> 2)) << 16 | ((g6 << 2) | (g6 >> 4)) << 8 |
                              ((b5 << 3) | (b5 >> 2));
        }
    }
    SDL_SetWindowIcon(window_, icon);
    SDL_FreeSurface(icon);
}

void SdlHost::Present(const Surface& back) {
    if (!renderer_) return;
    if (back.Width != 800 || back.Height != 600) throw StartupError("the back buffer is not 800 x 600");
    if (widen_.empty()) {
        // Every RGB565 value to its 32-bit colour, the low bits filled from
        // the high ones so white stays white.
        widen_.resize(65536);
        for (uint32_t p = 0; p < 65536; ++p) {
            const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
            widen_[p] = ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
        }
        frame_.resize(800 * 600);
    }
    for (size_t i = 0; i < frame_.size(); ++i) frame_[i] = widen_[back.Pixels[i]];
    if (SDL_UpdateTexture(texture_, nullptr, frame_.data(), 800 * static_cast<int>(sizeof(uint32_t))) != 0)
        SdlFailure("cannot show the frame");
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (SDL_RenderCopy(renderer_, texture_, nullptr, nullptr) != 0) SdlFailure("cannot show the frame");
    SDL_RenderPresent(renderer_);
}

void SdlHost::ToggleFullScreen() {
    const bool full = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_SetWindowFullscreen(window_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
}

HostEvents SdlHost::PumpEvents() {
    HostEvents events;
    if (!videoStarted_) return events;
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
                    case SDL_WINDOWEVENT_FOCUS_LOST:
                    case SDL_WINDOWEVENT_MINIMIZED: events.FocusLost = true; break;
                    case SDL_WINDOWEVENT_FOCUS_GAINED: events.FocusGained = true; break;
                    default: break;
                }
                break;
            case SDL_KEYDOWN:
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
    SDL_SetWindowFullscreen(window_, 0);
}

void SdlHost::Release() {
    KeepLibrariesForLeakReports();
    // Sound first, then the picture and the window, then SDL itself.
    if (audio_) {
        SDL_CloseAudioDevice(audio_);
        audio_ = 0;
    }
    const bool started = videoStarted_ || audioStarted_;
    if (audioStarted_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioStarted_ = false;
    }
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = nullptr;
    if (renderer_) SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    text_.reset();
    videoStarted_ = false;
    if (started) SDL_Quit();
}

void SdlHost::ShowSaveError(std::string_view title, std::string_view text) {
    if (window_) SDL_HideWindow(window_);
    // Without a display the line on standard error is all there is.
    ShowErrorBox(title, text);
}

}  // namespace pm::sdl
